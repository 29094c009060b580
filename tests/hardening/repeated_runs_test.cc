// A thousand runs in one RunContext, the way the dialog works: completed runs
// mixed with refused ones (a zero ratio, a missing file), stopped ones (Stop
// pressed while the run sets itself up), failed ones (an output on a full
// disk) and completed runs on another, larger file set. Whatever came before,
// a completed run on the same files gives exactly what it gives in a fresh
// context: the same output list, protocol and output files. Leaks of any of
// these runs are caught by LeakSanitizer in the sanitizer build.

#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "random_corpus.h"
#include "test_support.h"

namespace karvel::hardening {
namespace {

using namespace karvel::testing;

const char kSource[] =
    "the cat sat on the mat\n\nthe cat sat on the mat\n\nthe cat sat on a mat\n\n"
    "a dog ran\n\nnothing\n\ntail";
const char kKeywords[] = "cat\ndog\n";

// Presses Stop when the run first shows its total of blocks, that is after
// its configuration exists and before its stop check.
class StoppingView : public RecordingView {
 public:
  explicit StoppingView(RunContext& context) : context_(context) {}
  void set_field(int control, const std::string& text) override {
    RecordingView::set_field(control, text);
    if (control == kBlocksTotal && !stopped_) {
      stopped_ = true;
      context_.request_stop(1);
    }
  }

 private:
  RunContext& context_;
  bool stopped_ = false;
};

// What a completed run leaves: its list, its protocol without the seconds
// line, its outputs.
struct Outcome {
  std::vector<std::string> list, protocol;
  std::string dst, dbl, rst;
  bool operator==(const Outcome&) const = default;
};

class RepeatedRuns : public ::testing::Test {
 protected:
  void SetUp() override {
    names_ = RunNames::defaults_in(dir_.path());
    write_file(names_.src, kSource);
    write_file(names_.kwd, kKeywords);
    // A larger file set: more blocks, more themes, longer lines.
    other_ = RunNames::defaults_in(other_dir_.path());
    Random random(99);
    std::vector<std::string> vocabulary = random_vocabulary(random);
    std::string source;
    while (source.size() < 20000) source += random_source(random, vocabulary);
    write_file(other_.src, source);
    write_file(other_.kwd, random_keywords(random, vocabulary) + "cat\n'dog'\n*at*\n");
  }

  static void remove_outputs(const RunNames& names) {
    for (const std::string* output : {&names.dst, &names.dbl, &names.rst, &names.log}) {
      unlink(output->c_str());
    }
  }

  Outcome completed_run(RunContext& context) {
    remove_outputs(names_);
    RecordingView view;
    EXPECT_EQ(run_defaults(context, view, names_), 0);
    Outcome outcome{view.lines, split_lines(read_file(names_.log)), read_file(names_.dst),
                    read_file(names_.dbl), read_file(names_.rst)};
    if (!outcome.protocol.empty()) outcome.protocol.pop_back();  // the seconds
    return outcome;
  }

  TempDir dir_, other_dir_;
  RunNames names_, other_;
};

TEST_F(RepeatedRuns, EveryRunStartsFromASoundState) {
  Outcome fresh;
  {
    RunContext context;
    fresh = completed_run(context);
  }
  ASSERT_TRUE(check_conservation(kSource, fresh.dst, fresh.dbl, fresh.rst).ok());
  ASSERT_FALSE(fresh.dbl.empty());

  RunContext context;
  for (int pair = 0; pair < 500; ++pair) {
    // First some other run...
    int kind = pair % 5;
    remove_outputs(names_);
    RecordingView view;
    StoppingView stopping(context);
    int result = 0, expected = -1;
    switch (kind) {
      case 0: {  // a zero similarity ratio: refused with the usage text
        result = run_defaults(context, view, names_, 50, 0);
        EXPECT_FALSE(has_line(view.lines, "Set parameters:"));
        break;
      }
      case 1: {  // a missing source
        RunNames missing = names_;
        missing.src = dir_.file("missing");
        result = run_defaults(context, view, missing);
        EXPECT_EQ(error_lines(view.lines).size(), 1u);
        break;
      }
      case 2: {  // Stop pressed during the set-up: ends after the parameters
        result = run_defaults(context, stopping, names_);
        EXPECT_TRUE(has_line(stopping.lines, "Set parameters:"));
        EXPECT_FALSE(has_line(stopping.lines, "Themes processing"));
        EXPECT_EQ(read_file(names_.rst), "");
        break;
      }
      case 3: {  // the rest file on a full disk
        RunNames full = names_;
        full.rst = "/dev/full";
        result = run_defaults(context, view, full);
        EXPECT_FALSE(error_lines(view.lines).empty());
        break;
      }
      default: {  // a completed run on the larger file set
        remove_outputs(other_);
        result = run_defaults(context, view, other_);
        expected = 0;
        EXPECT_TRUE(error_lines(view.lines).empty());
        break;
      }
    }
    EXPECT_EQ(result, expected) << "kind " << kind;
    // ...then a completed run, which must not know of it.
    Outcome again = completed_run(context);
    ASSERT_EQ(again, fresh) << "after run " << 2 * pair << " (kind " << kind << ")";
  }
  EXPECT_EQ(read_file(names_.src), kSource);
  EXPECT_EQ(read_file(names_.kwd), kKeywords);
}

}  // namespace
}  // namespace karvel::hardening
