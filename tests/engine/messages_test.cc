// The output list and the protocol: channels, capacities, line feeds, and
// the default answer applied to a run's record; the fields a run shows, and
// themes numbered past the theme count. (Whole runs, their outputs, errors
// and stops are in tests/batch and tests/hardening.)

#include "messages/messages.h"

#include <string>

#include <gtest/gtest.h>

#include "engine/run_context.h"
#include "files/output_file.h"
#include "records/program_configuration.h"
#include "test_support.h"

namespace karvel {
namespace {

// Each row writes its text through one channel: m show_message, p
// write_protocol, n write_protocol with a line feed, b show_and_protocol, e
// show_error, t show_text; u: the text is UTF-8.
TEST(MessagesTest, ChannelsCapacitiesAndLineFeeds) {
  std::string a200(200, 'a'), zh100;
  for (int i = 0; i < 100; i++) zh100 += "\xD0\xB6";
  const struct {
    const char* how;
    std::string text;
    std::vector<std::string> shown;
    std::string protocol;
  } cases[] = {
      {"m", "list only", {"list only"}, ""},
      {"p", "5 blocks", {}, "5 blocks\n"},
      {"b", "both", {"both"}, "both\n"},
      {"e", "x", {"Error: x"}, "Error: x\n"},
      // A line feed is added only to a text without one.
      {"p", "one in the\nmiddle", {}, "one in the\nmiddle"},
      {"n", "ends", {}, "ends\n"},
      // Long texts: 79 characters in the list, 98 and a line feed in the protocol.
      {"b", a200, {std::string(79, 'a')}, std::string(98, 'a') + "\n"},
      {"e", a200, {"Error: " + std::string(72, 'a')}, "Error: " + std::string(91, 'a') + "\n"},
      // UTF-8 text is cut on a character boundary.
      {"bu", zh100, {zh100.substr(0, 78)}, zh100.substr(0, 98) + "\n"},
      {"eu", zh100, {"Error: " + zh100.substr(0, 72)}, "Error: " + zh100.substr(0, 90) + "\n"},
      {"tu", "x" + zh100, {"x" + zh100.substr(0, 78)}, ""},
  };
  for (const auto& c : cases) {
    testing::TempDir dir;
    testing::RecordingView view;
    OutputFile protocol;
    ASSERT_TRUE(protocol.open(dir.file("log"), OutputFile::Mode::kCreate));
    Messages m;
    m.set_window(&view);
    m.set_protocol(&protocol);
    if (c.how[1] == 'u') m.set_text_encoding(TextEncoding::kUtf8);
    const char* text = c.text.c_str();
    if (c.how[0] == 'm') m.show_message("%s", text);
    if (c.how[0] == 'p') m.write_protocol("%s", text);
    if (c.how[0] == 'n') m.write_protocol("%s\n", text);
    if (c.how[0] == 'b') m.show_and_protocol("%s", text);
    if (c.how[0] == 'e') m.show_error(c.text);
    if (c.how[0] == 't') m.show_text(text);
    ASSERT_TRUE(protocol.close());
    EXPECT_EQ(view.lines, c.shown) << c.text;
    EXPECT_EQ(testing::read_file(dir.file("log")), c.protocol) << c.text;
  }
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

// A run (similarity search and sort on, Rst=Dst off) whose last keywords
// group has no separator after it: its theme number is the count. Its blocks
// are not examined for equal blocks, but written in theme order. The fields
// show the source's total of blocks first, then the themes.
TEST(RunProcessingTest, ThemesAtOrAboveTheThemeCountStillReachTheSortedOutput) {
  testing::TempDir dir;
  testing::RecordingView view;
  RunContext context;
  auto f = [&](const char* name) { return dir.file(name); };
  testing::write_file(f("src"), "goldfish\n\ngoldfish\n\nfrog\n\n");
  testing::write_file(f("kwd"), "x\n\n\n\n\n\nfish\n");
  ASSERT_EQ(context.run_processing(&view, 0, 1, 1, 0, f("src"), f("dst"), f("dbl"), f("rst"),
                                   f("kwd"), f("log"), 50, 60),
            0);
  EXPECT_EQ(view.field_history.at(0), std::make_pair(int{kBlocksTotal}, std::string("3")));
  EXPECT_EQ(view.field_history.at(1), std::make_pair(int{kThemesTotal}, std::string("5")));
  EXPECT_EQ(testing::read_file(f("dst")), "goldfish\n\ngoldfish\n\n");
}

}  // namespace
}  // namespace karvel
