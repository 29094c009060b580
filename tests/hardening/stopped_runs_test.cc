// Runs of karvel-batch stopped by a signal at a random moment, over a
// generated source of about 100 MB (less in the slower sanitizer builds).
// The first SIGINT, SIGTERM or SIGHUP stops the run: exit status 128 plus the
// signal's number, every output holds whole source blocks, the protocol is
// the complete run's protocol up to some line, the inputs are unchanged. A
// second signal ends the process at once.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "random_corpus.h"
#include "test_support.h"

#ifndef __has_feature
#define __has_feature(x) 0
#endif

namespace karvel::hardening {
namespace {

using namespace karvel::testing;

#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer) || \
    __has_feature(thread_sanitizer)
[[maybe_unused]] const char kSourceSize[] = "20M";
#else
[[maybe_unused]] const char kSourceSize[] = "100M";
#endif

TEST(StoppedRuns, SignalsStopTheRunAndKeepWholeBlocks) {
#ifndef KARVEL_GENERATE_PATH
  GTEST_SKIP() << "karvel-generate is not built";
#else
  TempDir dir;
  std::string generate = std::string(KARVEL_GENERATE_PATH) + " --seed 7 --keywords 500 --size " +
                         kSourceSize + " --out " + dir.path() + " >/dev/null";
  ASSERT_EQ(std::system(generate.c_str()), 0);
  const std::string source = read_file(dir.file("#src"));
  const std::string keywords = read_file(dir.file("#kwd"));
  auto start = std::chrono::steady_clock::now();
  BatchRun complete = run_batch(dir.path(), {}, {600});
  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  ASSERT_EQ(complete.status, 0) << complete.out;
  std::vector<std::string> protocol = split_lines(read_file(dir.file("#log")));
  protocol.pop_back();  // the elapsed-time line
  Random random(3);
  const struct {
    int signal;
    bool twice;
  } cases[] = {{SIGINT, false}, {SIGTERM, false}, {SIGHUP, false}, {SIGTERM, true}};
  for (const auto& c : cases) {
    RunNames::defaults_in(dir.path()).remove_outputs();
    BatchOptions options = {600};
    options.signal = c.signal;
    options.signal_after_ms =
        static_cast<int>(random.below(static_cast<uint32_t>(took.count() * 3 / 4) + 1));
    options.second_after_ms = c.twice ? 5 : -1;
    SCOPED_TRACE("signal " + std::to_string(c.signal) + " after " +
                 std::to_string(options.signal_after_ms) + " ms");
    BatchRun stopped = run_batch(dir.path(), {}, options);
    // A run that was quicker this time may have ended before the signal.
    if (stopped.status == 0 &&
        read_file(dir.file("#log")).find("The program worked") != std::string::npos) {
      continue;
    }
    EXPECT_EQ(stopped.status, 128 + c.signal) << stopped.out;
    EXPECT_TRUE(read_file(dir.file("#src")) == source && read_file(dir.file("#kwd")) == keywords);
    if (c.twice) continue;  // ended at once: nothing more is promised
    EXPECT_TRUE(stopped.errors().empty()) << stopped.out;
    ConservationResult whole =
        check_conservation(source, read_file(dir.file("#dst")), read_file(dir.file("#dbl")),
                           read_file(dir.file("#rst")), /*complete=*/false);
    EXPECT_TRUE(whole.ok()) << whole.describe();
    std::string log = read_file(dir.file("#log"));
    std::vector<std::string> lines = split_lines(log);
    EXPECT_TRUE(log.empty() || log.back() == '\n');
    // A signal after the last stage leaves the run complete.
    if (!lines.empty() && lines.back().rfind("The program worked", 0) == 0) lines.pop_back();
    ASSERT_LE(lines.size(), protocol.size());
    EXPECT_TRUE(std::equal(lines.begin(), lines.end(), protocol.begin()));
  }
#endif
}

}  // namespace
}  // namespace karvel::hardening
