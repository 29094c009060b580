// Runs that fail on the way: every write, flush to the disk and close of the
// output files fails in turn, one per run; the source shrinks while the run
// reads it, through its mapping or with ordinary reads; the disk fills up.
// Each such run must fail with one "Error: " line, leave the destination,
// doubles and rest files byte for byte as they were before it, and leave its
// inputs alone.

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/output_faults.h"
#include "files/source_map.h"
#include "random_corpus.h"
#include "test_support.h"

namespace karvel::hardening {
namespace {

using namespace karvel::testing;

// Writes earlier contents to the outputs, runs, and returns what is wrong:
// the run did not fail, or not with one error line, or left an output other
// than it was before.
std::string run_that_fails(RecordingView& view, const RunNames& names, int similar = 1,
                           int rst_eq_dst = 1) {
  const std::string* outputs[] = {&names.dst, &names.dbl, &names.rst};
  for (const std::string* output : outputs) write_file(*output, "earlier " + *output + "\n\n");
  RunContext context;
  context.set_thread_count(2);
  int result = context.run_processing(&view, 0, similar, 1, rst_eq_dst, names.src, names.dst,
                                      names.dbl, names.rst, names.kwd, names.log, 50, 60);
  std::string problems = result == -1 ? "" : "the run did not fail\n";
  if (error_lines(view.lines).size() != 1) problems += "not one error line\n";
  for (const std::string* output : outputs) {
    if (read_file(*output) != "earlier " + *output + "\n\n") problems += *output + " changed\n";
  }
  return problems;
}

// Fails every step of a run over `source` and `keywords` in turn; returns
// the problems found, or an empty string.
std::string fail_each_step(const std::string& source, const std::string& keywords, int similar,
                           int rst_eq_dst) {
  TempDir dir;
  RunNames names = RunNames::defaults_in(dir.path());
  write_file(names.src, source);
  write_file(names.kwd, keywords);
  std::string problems;
  for (OutputStep step : {OutputStep::kWrite, OutputStep::kFlush, OutputStep::kClose}) {
    arm_output_fault(step, 0, 0);
    RecordingView counting;  // a run without a fault, which must complete
    if (run_that_fails(counting, names, similar, rst_eq_dst).find("not fail") ==
        std::string::npos) {
      return "the run without a fault failed\n";
    }
    for (uint64_t k = 1, steps = output_steps(step); k <= steps; ++k) {
      arm_output_fault(step, k, step == OutputStep::kWrite ? ENOSPC : EIO);
      RecordingView view;
      std::string found = run_that_fails(view, names, similar, rst_eq_dst);
      if (read_file(names.src) != source || read_file(names.kwd) != keywords) {
        found += "an input changed\n";
      }
      if (!found.empty()) {
        problems += "step " + std::to_string(static_cast<int>(step)) + " number " +
                    std::to_string(k) + ": " + found;
      }
    }
  }
  arm_output_fault(OutputStep::kWrite, 0, 0);
  return problems;
}

TEST(OutputFaults, EveryFailedStepRestoresTheOutputs) {
  const std::string example_source = read_file(KARVEL_EXAMPLES_DIR "/#src");
  const std::string example_keywords = read_file(KARVEL_EXAMPLES_DIR "/#kwd");
  for (int similar : {0, 1}) {
    EXPECT_EQ(fail_each_step(example_source, example_keywords, similar, 1 - similar), "");
    for (uint64_t seed = 1; seed <= 6; ++seed) {
      Random random(seed);
      std::vector<std::string> vocabulary = random_vocabulary(random);
      std::string source = random_source(random, vocabulary);
      std::string keywords = random_keywords(random, vocabulary);
      EXPECT_EQ(fail_each_step(source, keywords, similar, static_cast<int>(seed % 2)), "")
          << "seed " << seed;
    }
  }
}

// Cuts the source down to `size` bytes when a line of the output list begins
// with `moment`.
class ShrinkingView : public RecordingView {
 public:
  ShrinkingView(const std::string& source, const std::string& moment, off_t size)
      : source_(source), moment_(moment), size_(size) {}
  void append_output_line(const std::string& line) override {
    RecordingView::append_output_line(line);
    EXPECT_TRUE(line.rfind(moment_, 0) != 0 || truncate(source_.c_str(), size_) == 0);
  }

 private:
  std::string source_, moment_;
  off_t size_;
};

// Whenever and however far the source shrinks, read through its mapping or
// with ordinary reads, the run ends with the same error.
TEST(OutputFaults, SourceThatShrinksDuringTheRun) {
  TempDir dir;
  RunNames names = RunNames::defaults_in(dir.path());
  Random random(5);
  std::vector<std::string> vocabulary = random_vocabulary(random);
  std::string source;
  while (source.size() < 300000) source += random_source(random, vocabulary);
  source += "tail line";
  write_file(names.kwd, random_keywords(random, vocabulary));
  for (bool mapped : {true, false}) {
    for (const char* moment : {"Find Offsets:", "Themes processing", "Rest file saving"}) {
      for (off_t size : {off_t{0}, off_t{150001}, static_cast<off_t>(source.size() - 1)}) {
        SCOPED_TRACE(std::string(moment) + " to " + std::to_string(size) + " mapped " +
                     std::to_string(mapped));
        write_file(names.src, source);
        ShrinkingView view(names.src, moment, size);
        allow_source_mapping(mapped);
        EXPECT_EQ(run_that_fails(view, names), "");
        allow_source_mapping(true);
        EXPECT_EQ(error_lines(view.lines),
                  std::vector<std::string>{"Error: Source file " + names.src +
                                           " changed during the run"});
      }
    }
  }
}

// A disk that fills up during the run, as a file size limit and as a tmpfs of
// 16 KiB when this process may mount one: the rest file is cut back to what
// it held before the run, so no half block stays for the next run.
TEST(OutputFaults, DiskThatFillsUpDuringTheRun) {
  TempDir dir, small;
  std::string source;
  for (int b = 0; b < 40; ++b) {  // 40 blocks without theme, about 1 KB each
    for (int l = 0; l < 10; ++l)
      source += "block " + std::to_string(b) + std::string(90, 'x') + "\n";
    source += "\n";
  }
  write_file(dir.file("#src"), source);
  write_file(dir.file("#kwd"), "cat\n");
  bool mounted = mount("karvel-test", small.path().c_str(), "tmpfs", 0, "size=16k") == 0;
  const struct {
    std::string rest;
    uint64_t limit;
    const char* cause;
  } cases[] = {{dir.file("#rst"), 16384, "File too large"},
               {small.file("r.rst"), 0, "No space left on device"}};
  for (const auto& c : cases) {
    if (c.limit == 0 && !mounted) continue;
    write_file(c.rest, "an earlier run\n\n");
    BatchRun failed = run_batch(dir.path(), {"rst=" + c.rest}, {60, c.limit});
    std::string error = "Error: Can't write rest file " + c.rest + ": " + c.cause;
    EXPECT_EQ(failed.status, 1) << failed.out << failed.err;
    EXPECT_EQ(failed.errors(), std::vector<std::string>{error.substr(0, 79)});
    EXPECT_TRUE(has_line(failed.list(), "Outputs restored to their size before the run"));
    EXPECT_EQ(read_file(c.rest), "an earlier run\n\n");
    EXPECT_TRUE(has_line(split_lines(read_file(dir.file("#log"))), error.substr(0, 98)));
  }
  if (mounted) umount(small.path().c_str());
}

}  // namespace
}  // namespace karvel::hardening
