// Randomized runs: hundreds of seeded sources and keywords files, each run
// whole and checked by the conservation check, and the bundled examples. Each
// run must complete, leave its inputs alone, and write and show with 2, 3 or
// 8 threads, without the mapping, and in a context that did completed,
// refused, failed and stopped runs before, what it does fresh with one thread.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "conservation.h"
#include "files/source_map.h"
#include "random_corpus.h"
#include "test_support.h"

namespace karvel::hardening {
namespace {

using namespace karvel::testing;

struct Switches {
  bool rst_eq_dst = true;
  bool similar = true;
  uint32_t length_ratio = 50, similarity_ratio = 60;
  char default_answer = 'g';  // another answer makes the run ask for each pair
  std::string keys;           // the user's answers, key by key
  EncodingChoice encoding = EncodingChoice::kAuto;
  unsigned threads = 1;
  int debug = 0;  // adds the run's counters to the output list and the protocol
};

// What a run wrote and showed, but for the protocol's line of elapsed seconds.
struct RunOutputs {
  std::string dst, dbl, rst, log;
  std::vector<std::string> list;
  bool operator==(const RunOutputs&) const = default;
};

// One run over `source` and `keywords` in `dir` (outputs removed first).
// Returns a description of what went wrong, or an empty string.
std::string run_and_check(RunContext& context, const TempDir& dir, const std::string& source,
                          const std::string& keywords, const Switches& switches,
                          RunOutputs* outputs) {
  RunNames names = RunNames::defaults_in(dir.path());
  names.remove_outputs();
  write_file(names.src, source);
  write_file(names.kwd, keywords);
  context.set_default_answer(switches.default_answer);
  context.set_encoding_choice(switches.encoding);
  context.set_thread_count(switches.threads);
  RecordingView view;
  view.keys = switches.keys;
  int result = context.run_processing(&view, switches.debug, switches.similar ? 1 : 0, 1,
                                      switches.rst_eq_dst ? 1 : 0, names.src, names.dst, names.dbl,
                                      names.rst, names.kwd, names.log, switches.length_ratio,
                                      switches.similarity_ratio);
  std::string problems;
  if (result != 0) problems += "the run did not complete\n";
  for (const std::string& error : error_lines(view.lines)) problems += error + "\n";
  if (read_file(names.src) != source) problems += "the source file changed\n";
  if (read_file(names.kwd) != keywords) problems += "the keywords file changed\n";
  std::string log = read_file(names.log);
  *outputs = {read_file(names.dst), read_file(names.dbl), read_file(names.rst),
              log.substr(0, log.find("The program worked")), view.lines};
  // With Rst=Dst off the themed blocks go to the destination and the rest
  // (with the tail) to the rest file: together they hold what the rest file
  // holds with it on.
  const RunOutputs& o = *outputs;
  ConservationResult conservation = switches.rst_eq_dst
                                        ? check_conservation(source, o.dst, o.dbl, o.rst)
                                        : check_conservation(source, "", o.dbl, o.dst + o.rst);
  // "Always yes" deletes the second block of each similar pair, as the user chose.
  if (switches.default_answer != 'a') problems += conservation.describe();
  return problems;
}

// Presses Stop when the run first shows its total of blocks, that is after
// its configuration exists and before its stop check.
class StoppingView : public RecordingView {
 public:
  explicit StoppingView(RunContext& context) : context_(context) {}
  void set_field(int control, const std::string& text) override {
    RecordingView::set_field(control, text);
    if (control == kBlocksTotal) context_.request_stop(1);
  }

 private:
  RunContext& context_;
};

// A run in `dir` that does not complete: refused for a zero ratio or a
// missing source, failed on a full disk, or stopped during its set-up.
std::string run_that_fails(RunContext& context, const TempDir& dir, int kind) {
  RunNames names = RunNames::defaults_in(dir.path());
  if (kind == 1) names.src = dir.file("missing");
  if (kind == 2) names.rst = "/dev/full";
  StoppingView stopping(context);
  RecordingView view;
  int result = context.run_processing(kind == 3 ? &stopping : &view, 0, 1, 1, 1, names.src,
                                      names.dst, names.dbl, names.rst, names.kwd, names.log, 50,
                                      kind == 0 ? 0 : 60);
  // (One that writes nothing to the rest file completes on a full disk.)
  return result == -1 || kind == 2 ? "" : "run of kind " + std::to_string(kind) + " did not fail\n";
}

// The run in a fresh context with one thread, then in `used` with 2, 3 and 8
// threads, each after a run that fails, and with ordinary reads.
std::string compare_runs(RunContext& used, const TempDir& dir, const std::string& source,
                         const std::string& keywords, Switches switches) {
  RunOutputs one, more;
  RunContext fresh;
  std::string problems = run_and_check(fresh, dir, source, keywords, switches, &one);
  for (unsigned threads : {2u, 3u, 8u}) {
    problems += run_that_fails(used, dir, static_cast<int>(source.size() + threads) % 4);
    switches.threads = threads;
    problems += run_and_check(used, dir, source, keywords, switches, &more);
    if (!(more == one)) problems += std::to_string(threads) + " threads gave other outputs\n";
  }
  allow_source_mapping(false);
  problems += run_and_check(used, dir, source, keywords, switches, &more);
  allow_source_mapping(true);
  if (!(more == one)) problems += "ordinary reads gave other outputs\n";
  return problems;
}

// Runs `count` seeds from `first` over random sources and keywords, which
// `vary` may change along with the switches; reports the first few failing
// seeds with their problems.
template <typename Vary>
void run_seeds(uint64_t first, uint64_t count, Vary vary) {
  TempDir dir;
  RunContext used;  // one for all the seeds
  int failures = 0;
  for (uint64_t seed = first; seed < first + count && failures < 5; ++seed) {
    Random random(seed);
    std::vector<std::string> vocabulary = random_vocabulary(random);
    std::string source = random_source(random, vocabulary);
    std::string keywords = random_keywords(random, vocabulary);
    Switches switches;
    vary(random, source, keywords, switches);
    std::string problems = compare_runs(used, dir, source, keywords, switches);
    if (!problems.empty()) {
      ++failures;
      ADD_FAILURE() << "seed " << seed << " (Rst=Dst " << switches.rst_eq_dst << ", similar "
                    << switches.similar << ", ratios " << switches.length_ratio << " and "
                    << switches.similarity_ratio << "), source " << printable(source, 400)
                    << ", keywords " << printable(keywords, 200) << ":\n"
                    << problems;
    }
  }
}

TEST(RandomizedRuns, EveryBlockOfTextSourcesIsAccountedFor) {
  run_seeds(1, 400, [](Random& random, std::string&, std::string&, Switches& switches) {
    // The UTF-8 rules over text that is mostly not UTF-8 lose nothing either.
    if (random.chance(50)) switches.encoding = EncodingChoice::kUtf8;
    // The answers that ask nothing: group, always yes, never.
    switches.default_answer = "gaq"[random.below(3)];
    switches.debug = random.chance(50) ? 1 : 0;
  });
}

TEST(RandomizedRuns, DestinationAndRestTogetherHoldEverythingWithRstDstOffAndAnyRatios) {
  run_seeds(10001, 150, [](Random& random, std::string&, std::string&, Switches& switches) {
    switches.rst_eq_dst = false;
    switches.similar = random.chance(80);
    switches.length_ratio = 1 + random.below(99);
    switches.similarity_ratio = 1 + random.below(99);
  });
}

// The run asks about every similar pair; the user answers N (keep both), B
// (group them), G (group this and all later pairs) or Q (stop asking), with
// other keys in between, which are skipped; when the keys run out the
// answer is N.
TEST(RandomizedRuns, AnswersThatKeepBothBlocksLoseNothing) {
  run_seeds(30001, 150, [](Random& random, std::string&, std::string&, Switches& switches) {
    switches.default_answer = 'x';
    const char keys[] = "NnBbBbGgQqxZ\n ";
    for (uint32_t k = random.below(40); k > 0; --k) {
      switches.keys += keys[random.below(sizeof keys - 1)];
    }
  });
}

// Random bytes, with line feeds, NULs and CRs made frequent so that blocks
// form; keywords of random bytes too.
TEST(RandomizedRuns, BinarySourcesLoseNothing) {
  run_seeds(20001, 150, [](Random& random, std::string& source, std::string& keywords, Switches&) {
    const char common[] = {'\n', '\n', '\n', '\0', '\r', 'a', 'b', ' ', '\xFF', '\x80'};
    source.clear(), keywords.clear();
    for (size_t n = random.below(3000); n > 0; --n) {
      source += random.chance(50) ? common[random.below(sizeof common)]
                                  : static_cast<char>(random.below(256));
    }
    for (size_t n = random.below(200); n > 0; --n) {
      keywords += random.chance(20) ? '\n' : static_cast<char>(random.below(256));
    }
  });
}

// The example and its UTF-8 twin: through karvel-batch with its defaults, the
// user's way, and in this process with Rst=Dst on and off.
TEST(RandomizedRuns, BundledExamplesLoseNothing) {
  const struct {
    const char* folder;
    size_t blocks;
  } examples[] = {{"", 38}, {"/utf8", 44}};
  TempDir dir;
  RunContext used;
  for (const auto& e : examples) {
    const std::string source = read_file(KARVEL_EXAMPLES_DIR + std::string(e.folder) + "/#src");
    const std::string keywords = read_file(KARVEL_EXAMPLES_DIR + std::string(e.folder) + "/#kwd");
    ASSERT_FALSE(keywords.empty());
    CheckedRun run = run_checked(source, keywords);
    expect_completed_and_conserved(run);
    EXPECT_EQ(run.conservation.source_blocks, e.blocks);
    // Exact duplicates were deleted, so fewer blocks came out than went in.
    EXPECT_LT(run.conservation.written_blocks, e.blocks);
    EXPECT_FALSE(run.dbl.empty());
    Switches switches;
    EXPECT_EQ(compare_runs(used, dir, source, keywords, switches), "");
    switches.rst_eq_dst = false;
    EXPECT_EQ(compare_runs(used, dir, source, keywords, switches), "");
  }
}

}  // namespace
}  // namespace karvel::hardening
