// Runs that fail, stop or are refused on the way: every write, flush and
// close of the outputs fails in turn; the source shrinks while the run reads
// it; a signal stops karvel-batch at a random moment; a run would use the
// files of a run going on at the same time.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "files/output_faults.h"
#include "files/source_map.h"
#include "test_support.h"

namespace karvel::hardening {
namespace {

using namespace karvel::testing;

// Runs over earlier outputs; returns what is wrong: the run did not fail, or
// not with one error line, or changed an output.
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
  for (const std::string* output : outputs)
    if (read_file(*output) != "earlier " + *output + "\n\n") problems += *output + " changed\n";
  return problems;
}

// Fails every step of a run in turn; returns the problems found.
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
    if (run_that_fails(counting, names, similar, rst_eq_dst).find("not fail") == std::string::npos)
      return "the run without a fault failed\n";
    for (uint64_t k = 1, steps = output_steps(step); k <= steps; ++k) {
      arm_output_fault(step, k, step == OutputStep::kWrite ? ENOSPC : EIO);
      RecordingView view;
      std::string found = run_that_fails(view, names, similar, rst_eq_dst);
      if (read_file(names.src) != source || read_file(names.kwd) != keywords)
        found += "an input changed\n";
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
        RecordingView view;  // cuts the source when a line begins with `moment`
        view.on_line = [&](const std::string& line) {
          EXPECT_TRUE(line.rfind(moment, 0) != 0 || truncate(names.src.c_str(), size) == 0);
        };
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

// Over a generated source of 20 MB, the first SIGINT, SIGTERM or SIGHUP stops
// the run: exit status 128 plus the signal, whole source blocks in every
// output, the complete protocol up to some line, the inputs unchanged. A
// second signal ends the process at once.
TEST(StoppedRuns, SignalsStopTheRunAndKeepWholeBlocks) {
#ifndef KARVEL_GENERATE_PATH
  GTEST_SKIP() << "karvel-generate is not built";
#else
  TempDir dir;
  std::string generate = std::string(KARVEL_GENERATE_PATH) +
                         " --seed 7 --keywords 500 --size 20M --out " + dir.path() + " >/dev/null";
  ASSERT_EQ(std::system(generate.c_str()), 0);
  const std::string source = read_file(dir.file("#src"));
  const std::string keywords = read_file(dir.file("#kwd"));
  auto start = std::chrono::steady_clock::now();
  BatchRun complete = run_batch(dir.path(), {}, {600});
  auto took_ms = (std::chrono::steady_clock::now() - start) / std::chrono::milliseconds(1);
  ASSERT_EQ(complete.status, 0) << complete.out;
  std::vector<std::string> protocol = split_lines(read_file(dir.file("#log")));
  protocol.pop_back();  // the elapsed-time line
  Random random(3);
  for (int round = 0; round < 4; ++round) {
    const int signal = std::vector{SIGINT, SIGTERM, SIGHUP, SIGTERM}[round];
    const bool twice = round == 3;  // a second signal soon after the first
    RunNames::defaults_in(dir.path()).remove_outputs();
    BatchOptions options = {600};
    options.signal = signal;
    options.signal_after_ms =
        static_cast<int>(random.below(static_cast<uint32_t>(took_ms * 3 / 4) + 1));
    options.second_after_ms = twice ? 5 : -1;
    SCOPED_TRACE("signal " + std::to_string(signal) + " after " +
                 std::to_string(options.signal_after_ms) + " ms");
    BatchRun stopped = run_batch(dir.path(), {}, options);
    // A run that was quicker this time may have ended before the signal.
    if (stopped.status == 0 &&
        read_file(dir.file("#log")).find("The program worked") != std::string::npos)
      continue;
    EXPECT_EQ(stopped.status, 128 + signal) << stopped.out;
    EXPECT_TRUE(read_file(dir.file("#src")) == source && read_file(dir.file("#kwd")) == keywords);
    if (twice) continue;  // ended at once: nothing more is promised
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

std::string refusal(const std::string& title, const std::string& name) {
  return "Error: " + title + " file " + name + " is being used by another run";
}

// Two runs onto one destination, the second after a random delay, 200 times:
// both complete, one after the other, or one is refused; the destination
// holds exactly what the completed runs wrote.
TEST(ConcurrentRuns, TwoRunsOnOneDestinationNeverMix) {
  TempDir dir;
  Random random(11);
  std::vector<std::string> vocabulary = random_vocabulary(random);
  std::vector<std::string> arguments[2];
  std::string alone[2];  // what each run appends to an empty destination
  for (int r = 0; r < 2; ++r) {
    std::string source;
    while (source.size() < 300000) source += random_source(random, vocabulary);
    std::string p = r == 0 ? "a." : "b.";
    write_file(dir.file(p + "src"), source);
    write_file(dir.file(p + "kwd"), random_keywords(random, vocabulary));
    arguments[r] = {"dst=shared.dst", "rst_dst=N"};
    for (const char* name : {"src", "kwd", "rst", "dbl", "log"})
      arguments[r].push_back(name + ("=" + p) + name);
    ASSERT_EQ(run_batch(dir.path(), arguments[r]).status, 0);
    alone[r] = read_file(dir.file("shared.dst"));
    unlink(dir.file("shared.dst").c_str());
  }
  ASSERT_FALSE(alone[0].empty() || alone[1].empty());
  int refused = 0;
  for (int round = 0; round < 200; ++round) {
    unlink(dir.file("shared.dst").c_str());
    int first = static_cast<int>(random.below(2));
    useconds_t delay = random.below(30000);
    BatchRun runs[2];
    std::thread later([&] {
      usleep(delay);
      runs[1 - first] = run_batch(dir.path(), arguments[1 - first]);
    });
    runs[first] = run_batch(dir.path(), arguments[first]);
    later.join();
    std::string dst = read_file(dir.file("shared.dst"));
    SCOPED_TRACE("round " + std::to_string(round));
    if (runs[0].status == 0 && runs[1].status == 0) {
      EXPECT_TRUE(dst == alone[0] + alone[1] || dst == alone[1] + alone[0]);
    } else {
      int done = runs[0].status == 0 ? 0 : 1;
      ++refused;
      EXPECT_EQ(runs[done].status, 0);
      EXPECT_EQ(runs[1 - done].status, 1);
      EXPECT_EQ(runs[1 - done].errors(), std::vector{refusal("Destination", "shared.dst")});
      EXPECT_EQ(dst, alone[done]);
    }
  }
  EXPECT_GT(refused, 0);
}

TEST(ConcurrentRuns, FilesOfARunningRunAreRefused) {
  TempDir dir;
  RunNames names = RunNames::defaults_in(dir.path());
  write_file(names.src, "the cat sat on the mat\n\nthe cat sat on a mat\n\nnothing\n\n");
  write_file(names.kwd, "cat\n");
  RunContext context;
  context.set_default_answer('x');  // ask for each similar pair
  RecordingView view;               // its first similarity question waits until the test lets it go
  std::promise<void> asked, released;
  view.on_question = [&, held = false]() mutable {
    if (held) return;
    held = true;
    asked.set_value();
    released.get_future().wait();
  };
  int result = -2;
  std::thread running([&] {
    result = context.run_processing(&view, 0, 1, 1, 0, names.src, names.dst, names.dbl, names.rst,
                                    names.kwd, names.log, 50, 60);
  });
  asked.get_future().wait();
  const struct {
    std::string word, error;
  } cases[] = {{"src=#dst", refusal("Source", "#dst")},
               {"kwd=#rst", refusal("Keywords", "#rst")},
               {"dst=#dst", refusal("Destination", "#dst")},
               {"dbl=#dst", refusal("Doubles", "#dst")},
               {"rst=#log", refusal("Rest", "#log")},
               {"log=#dbl", refusal("Log", "#dbl")},
               {"src=#src", ""}};  // reading the same source is no conflict
  for (const auto& c : cases) {
    BatchRun other = run_batch(
        dir.path(), {"dst=o.dst", "dbl=o.dbl", "rst=o.rst", "log=o.log", "src=#src", c.word});
    if (c.error.empty()) {
      EXPECT_EQ(other.status, 0) << other.out;
      continue;
    }
    EXPECT_EQ(other.status, 1) << c.word;
    EXPECT_EQ(other.errors(), std::vector<std::string>{c.error}) << other.out;
    for (const char* name : {"o.dst", "o.dbl", "o.rst", "o.log"})
      EXPECT_FALSE(file_exists(dir.file(name))) << c.word << " created " << name;
  }
  released.set_value();
  running.join();
  EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace karvel::hardening
