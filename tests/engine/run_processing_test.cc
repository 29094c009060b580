// The run driver through its public operation: fields, stop requests, the
// order of stages and the way every kind of run ends.

#include "engine/run_context.h"

#include <sys/stat.h>
#include <unistd.h>

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

// Stops the run as soon as the run shows its source's block count, which
// happens after its configuration exists and before its stop check.
class StoppingView : public RecordingView {
 public:
  explicit StoppingView(RunContext* context) : context_(context) {}
  void set_field(int control, const std::string& text) override {
    RecordingView::set_field(control, text);
    if (control == kBlocksTotal) context_->request_stop(1);
  }

 private:
  RunContext* context_;
};

TEST_F(RunProcessingTest, StopRequestEndsTheRunWithoutAWord) {
  write_file(f("src"), kSource);
  write_file(f("kwd"), kKeywords);
  context_.request_stop(1);  // before any run: changes nothing
  RecordingView plain;
  ASSERT_EQ(run(&plain), 0);

  StoppingView stopping(&context_);
  EXPECT_EQ(run(&stopping), -1);
  EXPECT_EQ(stopping.lines.back(), "sort=1");  // parameters printed, then nothing further
  std::string protocol = read_file(f("log"));
  EXPECT_EQ(protocol.find("The program worked"), std::string::npos);  // silent clean-up
  // The stop belonged to that run: the next run completes.
  RecordingView next;
  EXPECT_EQ(run(&next), 0);
}

TEST_F(RunProcessingTest, SwitchesChooseWhereThemedBlocksGo) {
  write_file(f("src"), kSource);
  write_file(f("kwd"), kKeywords);
  RecordingView view;
  ASSERT_EQ(run(&view, /*check_similarity=*/0, /*sort=*/0), 0);
  EXPECT_EQ(read_file(f("dst")), "");  // sort off: surviving themed blocks go nowhere
  EXPECT_EQ(read_file(f("dbl")), "");  // similarity off: the doubles file stays unchanged
  EXPECT_EQ(read_file(f("rst")), "nothing to see\n\n");
  ASSERT_EQ(run(&view, 0, 1, /*rst_eq_dst=*/1), 0);
  EXPECT_EQ(read_file(f("dst")), "");
  EXPECT_EQ(read_file(f("rst")),
            "nothing to see\n\n"
            "the cat sleeps all day long\n\nthe cat sleeps all day longer\n\n"
            "a dog barks at night\n\ngoldfish swim in the bowl\n\nnothing to see\n\n");
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

TEST_F(RunProcessingTest, CrLfSourceGivesTheSameRunAsItsLfTwin) {
  std::string lf = kSource;
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  write_file(f("kwd"), kKeywords);
  write_file(f("src"), lf);
  RecordingView lf_view;
  ASSERT_EQ(run(&lf_view), 0);
  std::string lf_dst = read_file(f("dst"));
  unlink(f("dst").c_str());
  write_file(f("src"), crlf);
  RecordingView crlf_view;
  ASSERT_EQ(run(&crlf_view), 0);
  EXPECT_EQ(crlf_view.lines, lf_view.lines);
  std::string dst = read_file(f("dst"));
  std::string expected;
  for (char c : lf_dst) expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(dst, expected);  // copies keep the bytes as stored
}

TEST_F(RunProcessingTest, TheLinesAfterTheLastBlockAreKeptInTheRestFile) {
  write_file(f("kwd"), "cat\n");
  write_file(f("src"), "cat one\n\nlast words\nwithout an empty line");
  RecordingView view;
  ASSERT_EQ(run(&view), 0);
  EXPECT_EQ(read_file(f("rst")), "last words\nwithout an empty line");
  EXPECT_EQ(view.lines[view.lines.size() - 2], "0 blocks saved in the rest file");
  EXPECT_EQ(view.lines.back(), "2 lines after the last block saved in the rest file");
  std::string protocol = read_file(f("log"));
  EXPECT_NE(protocol.find("0 blocks saved in the rest file\n"
                          "2 lines after the last block saved in the rest file\n"
                          "The program worked"),
            std::string::npos);
}

TEST_F(RunProcessingTest, AFailedWriteIsAnErrorNeverACompletedRun) {
  write_file(f("src"), kSource);
  write_file(f("kwd"), kKeywords);
  RecordingView view;
  EXPECT_EQ(context_.run_processing(&view, 0, 1, 1, 0, f("src"), "/dev/full", f("dbl"), f("rst"),
                                    f("kwd"), f("log"), 50, 60),
            -1);
  ASSERT_GE(view.lines.size(), 2u);
  EXPECT_EQ(view.lines[view.lines.size() - 2],
            "Error: Can't write destination file /dev/full: No space left on device");
  EXPECT_EQ(view.lines.back(), "Outputs restored to their size before the run");
  std::string protocol = read_file(f("log"));
  EXPECT_NE(protocol.find("Error: Can't write destination file /dev/full: No space left on device\n"
                          "Outputs restored to their size before the run\n"
                          "The program worked"),
            std::string::npos);
  RecordingView log_view;
  EXPECT_EQ(context_.run_processing(&log_view, 0, 1, 1, 0, f("src"), f("dst"), f("dbl"), f("rst"),
                                    f("kwd"), "/dev/full", 50, 60),
            -1);
  EXPECT_EQ(log_view.lines.back(),
            "Error: Can't write log file /dev/full: No space left on device");
}

TEST_F(RunProcessingTest, InputsMustBeRegularFilesAndAreNeverWaitedOn) {
  write_file(f("kwd"), kKeywords);
  mkdir(f("folder").c_str(), 0700);
  mkfifo(f("fifo").c_str(), 0600);
  for (const std::string& src : {f("folder"), f("fifo")}) {
    RecordingView view;
    EXPECT_EQ(context_.run_processing(&view, 0, 1, 1, 0, src, f("dst"), f("dbl"), f("rst"),
                                      f("kwd"), f("log"), 50, 60),
              -1);
    EXPECT_EQ(view.lines[0], ("Error: Can't open source file " + src).substr(0, 79));
    EXPECT_EQ(view.lines.size(), 17u);  // the error and the usage text
  }
}

}  // namespace
}  // namespace karvel
