// The run driver through its public operation: the dialog's fields, and
// themes numbered past the theme count. (Whole runs, their outputs, errors
// and stops are in tests/batch and tests/hardening.)

#include "engine/run_context.h"

#include <string>

#include <gtest/gtest.h>

#include "test_support.h"

namespace karvel {
namespace {

using testing::read_file;
using testing::write_file;

// One run in a fresh folder: similarity search and sort on, Rst=Dst off.
struct DefaultRun {
  testing::TempDir dir;
  testing::RecordingView view;
  RunContext context;
  std::string f(const char* name) { return dir.file(name); }
  int run(const std::string& source, const std::string& keywords) {
    write_file(f("src"), source);
    write_file(f("kwd"), keywords);
    return context.run_processing(&view, 0, 1, 1, 0, f("src"), f("dst"), f("dbl"), f("rst"),
                                  f("kwd"), f("log"), 50, 60);
  }
};

// Three keywords, each a theme of its own: cat (whole word), dog* (word
// start) and *fish (word end). The dog theme holds two equal blocks, the cat
// theme a similar pair; one block has no theme.
const char kKeywords[] = "'cat'\n\ndog*\n\n*fish\n\n\n";
const char kSource[] =
    "a dog barks at night\n\n"
    "the cat sleeps all day long\n\n"
    "a dog barks at night\n\n"
    "nothing to see\n\n"
    "the cat sleeps all day longer\n\n"
    "goldfish swim in the bowl\n\n";

TEST(RunProcessingTest, FieldsShowTotalsThemesAndSimilarBlocks) {
  DefaultRun r;
  ASSERT_EQ(r.run(kSource, kKeywords), 0);
  const auto& view = r.view;
  EXPECT_EQ(view.fields.at(kBlocksTotal), "1");  // last written by the last theme's pass
  EXPECT_EQ(view.fields.at(kThemesTotal), "3");
  EXPECT_EQ(view.fields.at(kCurrentTheme), "2");
  EXPECT_EQ(view.fields.at(kSimilarFound), "2");
  // The total of blocks is first the source's, then each theme's.
  ASSERT_FALSE(view.field_history.empty());
  EXPECT_EQ(view.field_history[0], std::make_pair(int{kBlocksTotal}, std::string("6")));
  EXPECT_EQ(view.field_history[1], std::make_pair(int{kThemesTotal}, std::string("3")));
  EXPECT_EQ(read_file(r.f("dbl")),
            "the cat sleeps all day long\n\nthe cat sleeps all day longer\n\n");
  EXPECT_EQ(read_file(r.f("dst")), "a dog barks at night\n\ngoldfish swim in the bowl\n\n");
  EXPECT_EQ(read_file(r.f("rst")), "nothing to see\n\n");
}

// The last group has no separator after it: its theme number is the count.
// Its blocks are not examined for equal blocks, but written in theme order.
TEST(RunProcessingTest, ThemesAtOrAboveTheThemeCountStillReachTheSortedOutput) {
  DefaultRun r;
  ASSERT_EQ(r.run("goldfish\n\ngoldfish\n\n", "x\n\n\n\n\n\nfish\n"), 0);
  EXPECT_EQ(r.view.fields.at(kThemesTotal), "5");
  EXPECT_EQ(read_file(r.f("dst")), "goldfish\n\ngoldfish\n\n");
}

}  // namespace
}  // namespace karvel
