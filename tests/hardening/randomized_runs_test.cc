// The conservation check, and randomized runs (seeded inputs, the examples)
// checked by it: each must complete, keep its inputs, and with 2, 3 or 8
// threads, without the mapping, and after runs that fail in its context, do
// what it does fresh with one thread.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/source_map.h"
#include "test_support.h"

namespace karvel::hardening {
namespace {

using namespace karvel::testing;

// Rows with no problem text are sound outputs; the others must fail with it.
TEST(ConservationCheck, AcceptsSoundOutputsAndCatchesEveryDamage) {
  const std::string source = "one\n\ntwo\n\none\n\nthree\r\n\r\ntail";
  const std::string nul_ab("ab\0x\n\nab\0y\n\n", 12), w99(99, 'w'), w21(21, 'w');
  const std::string w120 = std::string(120, 'w') + "\n\n";
  const std::string nul_source("e\n\n\0e\n\n\0", 8), nul_rst("\0e\n\n\0e\n\n", 8);
  // A block that ends the source with a NUL read, and one whose empty read
  // of 99 characters ends with a CR: written in another order, the reads of
  // the output fall differently, and the cut must still find the blocks.
  const std::string cr_end = "y\n" + std::string(1, '\0') + std::string(97, 'p') + "\r",
                    nul_end = "x\n" + std::string(1, '\0');
  const struct {
    std::string source, dst, dbl, rst;
    const char* problem;  // a piece of its text, or "" when sound
    size_t written;
  } cases[] = {
      // "one" twice: one copy deleted as equal. The tail ends the rest file.
      {source, "", "two\n\n", "one\n\nthree\r\n\r\ntail", "", 3},
      // Both copies written is sound too (a theme that was not examined).
      {source, "", "", "one\n\none\n\nthree\r\n\r\ntwo\n\ntail", "", 4},
      // An equal block of other bytes stands in for its kind: equality drops
      // the CR of CR LF and the text after a NUL, but not a lone CR, a
      // letter's case or the reads of a long line.
      {"a\n\na\r\n\r\n", "", "", "a\r\n\r\n", "", 1},
      {nul_ab, "", "", nul_ab.substr(0, 6), "", 1},
      {"ab\r\r\n\nab\r\n\n", "", "", "ab\r\n\n", "cannot be cut", 0},
      {"Ab\n\nab\n\n", "", "", "ab\n\n", "cannot be cut", 0},
      {w120 + w99 + "\n" + w21 + "\n\n", "", "", w120, "cannot be cut", 0},
      {cr_end + "z\n\n\n" + nul_end, "", "", nul_end + "z\n\n" + cr_end + "\n", "", 4},
      // "\0" then "e\n\n" reads as "\0e\n" and "\n", two other blocks of the
      // source: only the counts tell which cut is the true one.
      {nul_source, "", "", nul_rst, "", 4},
      // Half of it lacks a kind of block whichever way it is cut.
      {nul_source, "", "", nul_rst.substr(0, 4), "cannot be cut", 0},
      {source, "", "", "one\n\nthree\r\n\r\ntail", "cannot be cut", 0},
      {source, "", "two\n\n", "two\n\none\n\nthree\r\n\r\ntail", "cannot be cut", 0},
      {source, "", "two\n\n", "one\n\nthree\r\n\r\n", "tail after the last block", 0},
      {source, "", "two\n\n", "one\n\ntailthree\r\n\r\n", "tail after the last block", 0},
      {source, "", "two\n\n", "one\n\nthree\n\ntail", "rest file is not made of", 0},
      {source, "", "two\n\nX", "one\n\nthree\r\n\r\ntail", "doubles file is not made of", 0},
      {source, "two\n\n", "", "one\n\nthree\r\n\r\ntail", "destination file is not empty", 0},
  };
  for (const auto& c : cases) {
    ConservationResult result = check_conservation(c.source, c.dst, c.dbl, c.rst);
    SCOPED_TRACE(printable(c.dbl) + " " + printable(c.rst) + "\n" + result.describe());
    EXPECT_EQ(result.ok(), *c.problem == '\0');
    EXPECT_NE(result.describe().find(c.problem), std::string::npos);
    EXPECT_EQ(result.ok() ? result.written_blocks : 0u, c.written);
  }
}

struct Switches {
  bool rst_eq_dst = true, similar = true;
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

// One run in `dir` (outputs removed first); returns what went wrong.
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
  // With Rst=Dst off the destination and the rest file hold together what
  // the rest file holds with it on.
  const RunOutputs& o = *outputs;
  ConservationResult conservation = switches.rst_eq_dst
                                        ? check_conservation(source, o.dst, o.dbl, o.rst)
                                        : check_conservation(source, "", o.dbl, o.dst + o.rst);
  // "Always yes" deletes the second block of each similar pair, as the user chose.
  if (switches.default_answer != 'a') problems += conservation.describe();
  return problems;
}

// A run in `dir` that does not complete: refused (a zero ratio, no source),
// failed on a full disk, or stopped when it first shows its total of blocks.
std::string run_that_fails(RunContext& context, const TempDir& dir, int kind) {
  RunNames names = RunNames::defaults_in(dir.path());
  if (kind == 1) names.src = dir.file("missing");
  if (kind == 2) names.rst = "/dev/full";
  RecordingView view;
  view.on_field = [&](int control) {
    if (kind == 3 && control == kBlocksTotal) context.request_stop(1);
  };
  int result = context.run_processing(&view, 0, 1, 1, 1, names.src, names.dst, names.dbl, names.rst,
                                      names.kwd, names.log, 50, kind == 0 ? 0 : 60);
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

// Runs `count` seeds from `first`; `vary` may change the inputs and switches.
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
      ADD_FAILURE() << "seed " << seed << ", source " << printable(source, 400) << ", keywords "
                    << printable(keywords, 200) << ":\n"
                    << problems;
    }
  }
}

// Text sources in three ways: answers that ask nothing (group, always yes,
// never), UTF-8 rules over mostly other text, debug; Rst=Dst off, any ratios;
// every similar pair asked, answered N, B (group them), G (group all later
// pairs) or Q (stop asking), other keys skipped, N once the keys run out.
TEST(RandomizedRuns, EveryBlockOfTextSourcesIsAccountedFor) {
  run_seeds(1, 700, [](Random& random, std::string&, std::string&, Switches& switches) {
    switch (random.below(3)) {
      case 0:
        if (random.chance(50)) switches.encoding = EncodingChoice::kUtf8;
        switches.default_answer = "gaq"[random.below(3)];
        switches.debug = random.chance(50) ? 1 : 0;
        break;
      case 1:
        switches.rst_eq_dst = false;
        switches.similar = random.chance(80);
        switches.length_ratio = 1 + random.below(99);
        switches.similarity_ratio = 1 + random.below(99);
        break;
      default:
        switches.default_answer = 'x';
        for (uint32_t k = random.below(40); k > 0; --k)
          switches.keys += "NnBbBbGgQqxZ\n "[random.below(14)];
    }
  });
}

// Random bytes, with line feeds, NULs and CRs made frequent so that blocks
// form; keywords of random bytes too.
TEST(RandomizedRuns, BinarySourcesLoseNothing) {
  run_seeds(20001, 150, [](Random& random, std::string& source, std::string& keywords, Switches&) {
    const char common[] = {'\n', '\n', '\n', '\0', '\r', 'a', 'b', ' ', '\xFF', '\x80'};
    source.clear();
    keywords.clear();
    for (size_t n = random.below(3000); n > 0; --n) {
      source += random.chance(50) ? common[random.below(sizeof common)]
                                  : static_cast<char>(random.below(256));
    }
    for (size_t n = random.below(200); n > 0; --n)
      keywords += random.chance(20) ? '\n' : static_cast<char>(random.below(256));
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
