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
using testing::RecordingView;
using testing::TempDir;
using testing::write_file;

class RunProcessingTest : public ::testing::Test {
 protected:
  int run(RunView* view, int check_similarity = 1, int sort = 1, int rst_eq_dst = 0,
          uint32_t length_ratio = 50, uint32_t similarity_ratio = 60) {
    return context_.run_processing(view, 0, check_similarity, sort, rst_eq_dst, f("src"), f("dst"),
                                   f("dbl"), f("rst"), f("kwd"), f("log"), length_ratio,
                                   similarity_ratio);
  }
  std::string f(const std::string& name) { return dir_.file(name); }

  TempDir dir_;
  RunContext context_;
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

TEST_F(RunProcessingTest, FieldsShowTotalsThemesAndSimilarBlocks) {
  write_file(f("src"), kSource);
  write_file(f("kwd"), kKeywords);
  RecordingView view;
  ASSERT_EQ(run(&view), 0);
  EXPECT_EQ(view.fields[kBlocksTotal], "1");  // last written by the last theme's pass
  EXPECT_EQ(view.fields[kThemesTotal], "3");
  EXPECT_EQ(view.fields[kCurrentTheme], "2");
  EXPECT_EQ(view.fields[kSimilarFound], "2");
  // The total of blocks is first the source's, then each theme's.
  ASSERT_FALSE(view.field_history.empty());
  EXPECT_EQ(view.field_history[0], std::make_pair(int{kBlocksTotal}, std::string("6")));
  EXPECT_EQ(view.field_history[1], std::make_pair(int{kThemesTotal}, std::string("3")));
  EXPECT_EQ(read_file(f("dbl")),
            "the cat sleeps all day long\n\nthe cat sleeps all day longer\n\n");
  EXPECT_EQ(read_file(f("dst")), "a dog barks at night\n\ngoldfish swim in the bowl\n\n");
  EXPECT_EQ(read_file(f("rst")), "nothing to see\n\n");
}

TEST_F(RunProcessingTest, ThemesAtOrAboveTheThemeCountStillReachTheSortedOutput) {
  // The last group has no separator after it: its theme number is the count.
  write_file(f("kwd"), "x\n\n\n\n\n\nfish\n");
  write_file(f("src"), "goldfish\n\ngoldfish\n\n");
  RecordingView view;
  ASSERT_EQ(run(&view), 0);
  EXPECT_EQ(view.fields[kThemesTotal], "5");
  // Not examined for equal blocks, but written in theme order.
  EXPECT_EQ(read_file(f("dst")), "goldfish\n\ngoldfish\n\n");
}

}  // namespace
}  // namespace karvel
