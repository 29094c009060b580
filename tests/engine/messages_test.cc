// The output list and the protocol: channels, capacities and line feeds.

#include "messages/messages.h"

#include <string>

#include <gtest/gtest.h>

#include "files/output_file.h"
#include "records/program_configuration.h"
#include "test_support.h"

namespace karvel {
namespace {

class MessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(protocol_.open(dir_.file("log"), OutputFile::Mode::kCreate));
    messages_.set_window(&view_);
    messages_.set_protocol(&protocol_);
  }
  std::string protocol_text() {
    protocol_.flush();
    return testing::read_file(dir_.file("log"));
  }

  testing::TempDir dir_;
  testing::RecordingView view_;
  OutputFile protocol_;
  Messages messages_;
};

TEST_F(MessagesTest, EachFunctionReachesItsChannels) {
  messages_.show_message("list only %d", 1);
  messages_.write_protocol("%lu blocks", 5ul);
  messages_.show_and_protocol("both %s", "ways");
  messages_.show_error("Can't open source file x");
  EXPECT_EQ(view_.lines, (std::vector<std::string>{"list only 1", "both ways",
                                                   "Error: Can't open source file x"}));
  EXPECT_EQ(protocol_text(), "5 blocks\nboth ways\nError: Can't open source file x\n");
}

TEST_F(MessagesTest, ProtocolLineFeedsAreAddedOnlyToTextsWithoutOne) {
  messages_.write_protocol("ends with one\n");
  messages_.write_protocol("one in the\nmiddle");
  messages_.write_protocol("Error: %s\n", "x");
  EXPECT_EQ(protocol_text(), "ends with one\none in the\nmiddleError: x\n");
}

TEST_F(MessagesTest, LongTextsAreCutToTheirLines) {
  std::string long_text(200, 'a');
  messages_.show_message("%s", long_text.c_str());
  messages_.write_protocol("%s", long_text.c_str());
  messages_.show_and_protocol("%s", long_text.c_str());
  messages_.write_protocol("Error: %s\n", long_text.c_str());
  EXPECT_EQ(view_.lines[0], std::string(79, 'a'));
  EXPECT_EQ(view_.lines[1], std::string(79, 'a'));
  std::string cut98 = std::string(98, 'a') + "\n";
  EXPECT_EQ(protocol_text(), cut98 + cut98 + "Error: " + std::string(91, 'a') + "\n");
}

TEST_F(MessagesTest, Utf8LinesAreCutOnACharacterBoundary) {
  messages_.set_text_encoding(TextEncoding::kUtf8);
  std::string text;
  for (int i = 0; i < 100; i++) text += "\xD0\xB6";
  messages_.show_and_protocol("%s", text.c_str());
  messages_.show_error(text);
  EXPECT_EQ(view_.lines[0], text.substr(0, 78));
  EXPECT_EQ(protocol_text(), text.substr(0, 98) + "\nError: " + text.substr(0, 90) + "\n");
}

TEST_F(MessagesTest, WithoutWindowOrProtocolNothingIsShownOrWritten) {
  Messages idle;
  EXPECT_EQ(idle.show_message("nobody sees %s", "this"), 1);
  EXPECT_EQ(idle.write_protocol("nothing"), 0);
  testing::RecordingView main_window;
  idle.set_main_window(&main_window);
  idle.show_message("before any run");
  EXPECT_EQ(main_window.lines, std::vector<std::string>{"before any run"});
}

TEST_F(MessagesTest, UsageTextHasSixteenLinesAndStopsTheRun) {
  ProgramConfiguration configuration;
  messages_.show_usage(&configuration);
  ASSERT_EQ(view_.lines.size(), 16u);
  EXPECT_EQ(view_.lines[1],
            "          and searching for similar blocks. Last edition: Oct 12 1999, ver. 5.0");
  EXPECT_EQ(view_.lines[1].size(), 79u);
  EXPECT_EQ(view_.lines[11],
            " len_rat - acceptable ration (in percents) of block lengths (default=70%)");
  EXPECT_EQ(view_.lines[13], " ans - default answer on the question \"Are two blocks similar?\"");
  EXPECT_EQ(configuration.get_stop(), 1);
  EXPECT_EQ(protocol_text(), "");
  messages_.show_usage(nullptr);  // with no configuration it only shows
  EXPECT_EQ(view_.lines.size(), 32u);
}

TEST_F(MessagesTest, FieldsAreWrittenAsUnsignedOrSignedDecimals) {
  messages_.set_field(kBlocksTotal, 4294967295u);
  messages_.set_signed_field(kSimilarFound, -3);
  EXPECT_EQ(view_.fields[kBlocksTotal], "4294967295");
  EXPECT_EQ(view_.fields[kSimilarFound], "-3");
}

TEST(OutputFileTest, AFullDiskIsAFailureNotASilentLoss) {
  OutputFile out;
  ASSERT_TRUE(out.open("/dev/full", OutputFile::Mode::kAppend));
  out.write(std::string(100, 'x'));
  EXPECT_FALSE(out.flush());
  EXPECT_TRUE(out.failed());
  EXPECT_FALSE(out.close());
}

TEST(ProgramConfigurationTest, FreshRecordAndDefaultAnswer) {
  ProgramConfiguration c;
  EXPECT_EQ(c.get_check_similarity(), 1);
  EXPECT_EQ(c.get_always_yes(), 0);
  EXPECT_EQ(c.get_group_mode(), 0);
  EXPECT_EQ(c.get_stop(), 0);
  EXPECT_EQ(c.get_sort(), 1);
  EXPECT_EQ(c.get_debug(), 0);
  EXPECT_EQ(c.get_length_ratio(), 60u);
  EXPECT_EQ(c.get_similarity_ratio(), 50u);
  EXPECT_EQ(c.get_default_answer(), 'g');
  apply_default_answer(c);
  EXPECT_EQ(c.get_group_mode(), 1);
  EXPECT_EQ(c.get_always_yes(), 0);
  EXPECT_EQ(c.get_check_similarity(), 1);
  for (char answer : {'A', 'q', 'x'}) {
    ProgramConfiguration d;
    d.set_default_answer_for_batch(answer);
    apply_default_answer(d);
    EXPECT_EQ(d.get_always_yes(), answer == 'A' ? 1 : 0);
    EXPECT_EQ(d.get_check_similarity(), answer == 'q' ? 0 : 1);
    EXPECT_EQ(d.get_group_mode(), 0);
  }
}

}  // namespace
}  // namespace karvel
