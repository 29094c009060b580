// The output list and the protocol: channels, capacities, line feeds, the
// fields, and the default answer applied to a run's record.

#include "messages/messages.h"

#include <string>

#include <gtest/gtest.h>

#include "files/output_file.h"
#include "records/program_configuration.h"
#include "test_support.h"

namespace karvel {
namespace {

TEST(MessagesTest, ChannelsCapacitiesAndLineFeeds) {
  const std::string a200(200, 'a'), zh100 = [] {
    std::string s;
    for (int i = 0; i < 100; i++) s += "\xD0\xB6";
    return s;
  }();
  const struct {
    TextEncoding encoding;
    void (*write)(Messages&, const std::string&);
    std::string text;
    std::vector<std::string> shown;
    std::string protocol;
  } cases[] = {
      {TextEncoding::kCp866,
       [](Messages& m, const std::string& s) { m.show_message("%s", s.c_str()); },
       "list only",
       {"list only"},
       ""},
      {TextEncoding::kCp866,
       [](Messages& m, const std::string& s) { m.write_protocol("%s", s.c_str()); },
       "5 blocks",
       {},
       "5 blocks\n"},
      {TextEncoding::kCp866,
       [](Messages& m, const std::string& s) { m.show_and_protocol("%s", s.c_str()); },
       "both",
       {"both"},
       "both\n"},
      {TextEncoding::kCp866,
       [](Messages& m, const std::string& s) { m.show_error(s); },
       "x",
       {"Error: x"},
       "Error: x\n"},
      // A line feed is added only to a text without one.
      {TextEncoding::kCp866,
       [](Messages& m, const std::string& s) { m.write_protocol("%s", s.c_str()); },
       "one in the\nmiddle",
       {},
       "one in the\nmiddle"},
      {TextEncoding::kCp866,
       [](Messages& m, const std::string& s) { m.write_protocol("%s\n", s.c_str()); },
       "ends",
       {},
       "ends\n"},
      // Long texts: 79 characters in the list, 98 and a line feed in the protocol.
      {TextEncoding::kCp866,
       [](Messages& m, const std::string& s) { m.show_and_protocol("%s", s.c_str()); },
       a200,
       {std::string(79, 'a')},
       std::string(98, 'a') + "\n"},
      {TextEncoding::kCp866,
       [](Messages& m, const std::string& s) { m.show_error(s); },
       a200,
       {"Error: " + std::string(72, 'a')},
       "Error: " + std::string(91, 'a') + "\n"},
      // UTF-8 text is cut on a character boundary.
      {TextEncoding::kUtf8,
       [](Messages& m, const std::string& s) { m.show_and_protocol("%s", s.c_str()); },
       zh100,
       {zh100.substr(0, 78)},
       zh100.substr(0, 98) + "\n"},
      {TextEncoding::kUtf8,
       [](Messages& m, const std::string& s) { m.show_error(s); },
       zh100,
       {"Error: " + zh100.substr(0, 72)},
       "Error: " + zh100.substr(0, 90) + "\n"},
      {TextEncoding::kUtf8,
       [](Messages& m, const std::string& s) { m.show_text(s.c_str()); },
       "x" + zh100,
       {"x" + zh100.substr(0, 78)},
       ""},
  };
  for (const auto& c : cases) {
    testing::TempDir dir;
    testing::RecordingView view;
    OutputFile protocol;
    ASSERT_TRUE(protocol.open(dir.file("log"), OutputFile::Mode::kCreate));
    Messages messages;
    messages.set_window(&view);
    messages.set_protocol(&protocol);
    messages.set_text_encoding(c.encoding);
    c.write(messages, c.text);
    ASSERT_TRUE(protocol.close());
    EXPECT_EQ(view.lines, c.shown) << c.text;
    EXPECT_EQ(testing::read_file(dir.file("log")), c.protocol) << c.text;
  }
}

TEST(MessagesTest, FieldsWithoutWindowAndMainWindow) {
  testing::RecordingView view;
  Messages messages;
  EXPECT_EQ(messages.show_message("nobody sees %s", "this"), 1);
  EXPECT_EQ(messages.write_protocol("nothing"), 0);
  messages.set_main_window(&view);
  messages.show_message("before any run");
  messages.set_window(&view);
  messages.set_field(kBlocksTotal, 4294967295u);
  messages.set_signed_field(kSimilarFound, -3);
  EXPECT_EQ(view.lines, std::vector<std::string>{"before any run"});
  EXPECT_EQ(view.fields[kBlocksTotal], "4294967295");
  EXPECT_EQ(view.fields[kSimilarFound], "-3");
}

TEST(MessagesTest, DefaultAnswerSetsTheRunsSwitches) {
  const struct {
    char answer;
    int always_yes, group_mode, check_similarity;
  } cases[] = {{'g', 0, 1, 1}, {'G', 0, 1, 1}, {'a', 1, 0, 1}, {'A', 1, 0, 1},
               {'q', 0, 0, 0}, {'Q', 0, 0, 0}, {'x', 0, 0, 1}, {'n', 0, 0, 1}};
  for (const auto& c : cases) {
    ProgramConfiguration configuration;
    configuration.set_default_answer_for_batch(c.answer);
    apply_default_answer(configuration);
    EXPECT_EQ(configuration.get_always_yes(), c.always_yes) << c.answer;
    EXPECT_EQ(configuration.get_group_mode(), c.group_mode) << c.answer;
    EXPECT_EQ(configuration.get_check_similarity(), c.check_similarity) << c.answer;
  }
}

}  // namespace
}  // namespace karvel
