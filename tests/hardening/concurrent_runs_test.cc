// Runs at the same time on shared files: a run that would write a file
// another run uses, or read one it writes, is refused before it creates or
// writes anything; otherwise the runs complete one after the other.

#include <unistd.h>

#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "random_corpus.h"
#include "test_support.h"

namespace karvel::hardening {
namespace {

using namespace karvel::testing;

std::string refusal(const std::string& title, const std::string& name) {
  return "Error: " + title + " file " + name + " is being used by another run";
}

// Two runs of their own sources and keywords onto one destination, the second
// started after a random delay, 200 times: each time both complete, one
// after the other, or one is refused; the destination holds exactly what the
// completed runs wrote.
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
    arguments[r] = {"src=" + p + "src", "kwd=" + p + "kwd", "dst=shared.dst", "rst=" + p + "rst",
                    "dbl=" + p + "dbl", "log=" + p + "log", "rst_dst=N"};
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
    const std::vector<std::string> message = {refusal("Destination", "shared.dst")};
    SCOPED_TRACE("round " + std::to_string(round));
    if (runs[0].status == 0 && runs[1].status == 0) {
      EXPECT_TRUE(dst == alone[0] + alone[1] || dst == alone[1] + alone[0]);
    } else {
      int done = runs[0].status == 0 ? 0 : 1;
      ++refused;
      EXPECT_EQ(runs[done].status, 0);
      EXPECT_EQ(runs[1 - done].status, 1);
      EXPECT_EQ(runs[1 - done].errors(), message) << runs[1 - done].out;
      EXPECT_EQ(dst, alone[done]);
    }
  }
  EXPECT_GT(refused, 0);
}

// A view whose first similarity question waits until the test lets it go:
// the run holds its files meanwhile.
class HeldView : public testing::RecordingView {
 public:
  int read_answer_key(const char*) override {
    if (!held_) {
      held_ = true;
      asked.set_value();
      released.get_future().wait();
    }
    return 'n';
  }
  std::promise<void> asked, released;

 private:
  bool held_ = false;
};

TEST(ConcurrentRuns, FilesOfARunningRunAreRefused) {
  TempDir dir;
  RunNames names = RunNames::defaults_in(dir.path());
  write_file(names.src, "the cat sat on the mat\n\nthe cat sat on a mat\n\nnothing\n\n");
  write_file(names.kwd, "cat\n");
  RunContext context;
  context.set_default_answer('x');  // ask for each similar pair
  HeldView view;
  int result = -2;
  std::thread running([&] {
    result = context.run_processing(&view, 0, 1, 1, 0, names.src, names.dst, names.dbl, names.rst,
                                    names.kwd, names.log, 50, 60);
  });
  view.asked.get_future().wait();
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
    std::vector<std::string> arguments = {"src=#src",  "kwd=#kwd",  "dst=o.dst", "dbl=o.dbl",
                                          "rst=o.rst", "log=o.log", c.word};
    BatchRun other = run_batch(dir.path(), arguments);
    if (c.error.empty()) {
      EXPECT_EQ(other.status, 0) << other.out;
      continue;
    }
    EXPECT_EQ(other.status, 1) << c.word;
    EXPECT_EQ(other.errors(), std::vector<std::string>{c.error}) << other.out;
    for (const char* name : {"o.dst", "o.dbl", "o.rst", "o.log"}) {
      EXPECT_FALSE(file_exists(dir.file(name))) << c.word << " created " << name;
    }
  }
  view.released.set_value();
  running.join();
  EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace karvel::hardening
