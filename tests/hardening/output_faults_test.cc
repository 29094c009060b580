// Faults injected into the output files: every write, flush to the disk and
// close of a run fails in turn, one per run; and a disk that fills up. Each
// such run must fail with one "Error: " line, leave the destination, doubles
// and rest files byte for byte as they were before it, and leave its inputs
// alone.

#include <sys/mount.h>

#include <cerrno>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/output_faults.h"
#include "random_corpus.h"
#include "test_support.h"

namespace karvel::hardening {
namespace {

using namespace karvel::testing;

// Fails every step of a run over `source` and `keywords` in turn; returns
// the problems found, or an empty string.
std::string fail_each_step(const std::string& source, const std::string& keywords, int similar,
                           int rst_eq_dst) {
  TempDir dir;
  RunNames names = RunNames::defaults_in(dir.path());
  write_file(names.src, source);
  write_file(names.kwd, keywords);
  const std::vector<std::pair<const std::string*, std::string>> before = {
      {&names.dst, "earlier destination\n\n"},
      {&names.dbl, "earlier doubles\n\n"},
      {&names.rst, "earlier rest\n"}};
  auto run = [&](RecordingView& view) {
    for (const auto& [name, bytes] : before) write_file(*name, bytes);
    RunContext context;
    return context.run_processing(&view, 0, similar, 1, rst_eq_dst, names.src, names.dst, names.dbl,
                                  names.rst, names.kwd, names.log, 50, 60);
  };
  std::string problems;
  for (OutputStep step : {OutputStep::kWrite, OutputStep::kFlush, OutputStep::kClose}) {
    arm_output_fault(step, 0, 0);
    RecordingView counting;
    if (run(counting) != 0) return "the run without a fault failed\n";
    uint64_t steps = output_steps(step);
    for (uint64_t k = 1; k <= steps; ++k) {
      arm_output_fault(step, k, step == OutputStep::kWrite ? ENOSPC : EIO);
      RecordingView view;
      int result = run(view);
      std::string at =
          "step " + std::to_string(static_cast<int>(step)) + " number " + std::to_string(k) + ": ";
      if (result != -1) problems += at + "the run did not fail\n";
      if (error_lines(view.lines).size() != 1) problems += at + "not one error line\n";
      for (const auto& [name, bytes] : before) {
        if (read_file(*name) != bytes) problems += at + *name + " not restored\n";
      }
      if (read_file(names.src) != source || read_file(names.kwd) != keywords) {
        problems += at + "an input changed\n";
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
    BatchRun failed = run_batch(dir.path(), {"rst=" + c.rest}, {60, false, c.limit});
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
