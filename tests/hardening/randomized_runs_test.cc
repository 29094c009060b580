// Randomized runs: hundreds of seeded sources and keywords files, each run
// whole and checked by the conservation check; and the bundled example. Every
// run must complete, leave its inputs byte for byte as they were, account for
// every block of its source and for the tail after the last block, and write
// and show the same with 1, 2, 3 and 8 threads.

#include <unistd.h>

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

std::string run_and_check(const TempDir& dir, const std::string& source,
                          const std::string& keywords, const Switches& switches = {},
                          RunOutputs* outputs = nullptr) {
  RunNames names = RunNames::defaults_in(dir.path());
  for (const std::string* output : {&names.dst, &names.dbl, &names.rst, &names.log}) {
    unlink(output->c_str());
  }
  write_file(names.src, source);
  write_file(names.kwd, keywords);
  RunContext context;
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
  std::string dst = read_file(names.dst);
  std::string rst = read_file(names.rst);
  // With Rst=Dst off the themed blocks go to the destination and the rest
  // (with the tail) to the rest file: together they hold what the rest file
  // holds with it on.
  ConservationResult conservation =
      switches.rst_eq_dst ? check_conservation(source, dst, read_file(names.dbl), rst)
                          : check_conservation(source, "", read_file(names.dbl), dst + rst);
  // "Always yes" deletes the second block of each similar pair, as the user chose.
  if (switches.default_answer != 'a') problems += conservation.describe();
  if (outputs != nullptr) {
    std::string log = read_file(names.log);
    *outputs = {dst, read_file(names.dbl), rst, log.substr(0, log.find("The program worked")),
                view.lines};
  }
  return problems;
}

// The same run with 2, 3 and 8 threads, and with the source read without
// its mapping, must write and show what it does with one.
std::string compare_thread_counts(const TempDir& dir, const std::string& source,
                                  const std::string& keywords, Switches switches) {
  RunOutputs one, more;
  std::string problems = run_and_check(dir, source, keywords, switches, &one);
  for (unsigned threads : {2u, 3u, 8u}) {
    switches.threads = threads;
    problems += run_and_check(dir, source, keywords, switches, &more);
    if (!(more == one)) problems += std::to_string(threads) + " threads gave other outputs\n";
  }
  allow_source_mapping(false);
  problems += run_and_check(dir, source, keywords, switches, &more);
  allow_source_mapping(true);
  if (!(more == one)) problems += "ordinary reads gave other outputs\n";
  return problems;
}

// Runs `count` seeds from `first`; reports the first few failing seeds with
// their problems.
template <typename Make>
void run_seeds(uint64_t first, uint64_t count, Make make) {
  TempDir dir;
  int failures = 0;
  for (uint64_t seed = first; seed < first + count && failures < 5; ++seed) {
    Random random(seed);
    std::string source, keywords;
    Switches switches;
    make(random, &source, &keywords, &switches);
    std::string problems = compare_thread_counts(dir, source, keywords, switches);
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
  run_seeds(1, 400,
            [](Random& random, std::string* source, std::string* keywords, Switches* switches) {
              std::vector<std::string> vocabulary = random_vocabulary(random);
              *source = random_source(random, vocabulary);
              *keywords = random_keywords(random, vocabulary);
              // The UTF-8 rules over text that is mostly not UTF-8 lose nothing either.
              if (random.chance(50)) switches->encoding = EncodingChoice::kUtf8;
              // The answers that ask nothing: group, always yes, never.
              switches->default_answer = "gaq"[random.below(3)];
              switches->debug = random.chance(50) ? 1 : 0;
            });
}

TEST(RandomizedRuns, DestinationAndRestTogetherHoldEverythingWithRstDstOffAndAnyRatios) {
  run_seeds(10001, 150,
            [](Random& random, std::string* source, std::string* keywords, Switches* switches) {
              std::vector<std::string> vocabulary = random_vocabulary(random);
              *source = random_source(random, vocabulary);
              *keywords = random_keywords(random, vocabulary);
              switches->rst_eq_dst = false;
              switches->similar = random.chance(80);
              switches->length_ratio = 1 + random.below(99);
              switches->similarity_ratio = 1 + random.below(99);
            });
}

TEST(RandomizedRuns, AnswersThatKeepBothBlocksLoseNothing) {
  // The run asks about every similar pair; the user answers N (keep both),
  // B (group them), G (group this and all later pairs) or Q (stop asking),
  // with other keys in between, which are skipped; when the keys run out the
  // answer is N.
  run_seeds(30001, 150,
            [](Random& random, std::string* source, std::string* keywords, Switches* switches) {
              std::vector<std::string> vocabulary = random_vocabulary(random);
              *source = random_source(random, vocabulary);
              *keywords = random_keywords(random, vocabulary);
              switches->default_answer = 'x';
              const char keys[] = "NnBbBbGgQqxZ\n ";
              uint32_t count = random.below(40);
              for (uint32_t k = 0; k < count; ++k) {
                switches->keys += keys[random.below(sizeof keys - 1)];
              }
            });
}

TEST(RandomizedRuns, BinarySourcesLoseNothing) {
  // Random bytes, with line feeds, NULs and CRs made frequent so that blocks
  // form; keywords of random bytes too.
  run_seeds(20001, 150, [](Random& random, std::string* source, std::string* keywords, Switches*) {
    const char common[] = {'\n', '\n', '\n', '\0', '\r', 'a', 'b', ' ', '\xFF', '\x80'};
    size_t n = random.below(3000);
    source->clear();
    for (size_t i = 0; i < n; ++i) {
      *source += random.chance(50) ? common[random.below(sizeof common)]
                                   : static_cast<char>(random.below(256));
    }
    *keywords = random_bytes(random, random.below(200));
    for (char& c : *keywords) {
      if (random.chance(20)) c = '\n';
    }
  });
}

class BundledExample : public ::testing::TestWithParam<std::pair<const char*, uint32_t>> {};

// The example and its UTF-8 twin, with their numbers of blocks.
INSTANTIATE_TEST_SUITE_P(RandomizedRuns, BundledExample,
                         ::testing::Values(std::make_pair("", 38u), std::make_pair("/utf8", 44u)));

TEST_P(BundledExample, LosesNothing) {
  TempDir dir;
  const std::string examples = KARVEL_EXAMPLES_DIR + std::string(GetParam().first);
  std::string source = read_file(examples + "/#src");
  std::string keywords = read_file(examples + "/#kwd");
  ASSERT_FALSE(source.empty());
  ASSERT_FALSE(keywords.empty());
  write_file(dir.file("#src"), source);
  write_file(dir.file("#kwd"), keywords);

  // The user's way: karvel-batch with its defaults in the folder.
  BatchRun batch = run_batch(dir.path(), {});
  ASSERT_EQ(batch.status, 0) << batch.out << batch.err;
  EXPECT_TRUE(batch.errors().empty());
  ConservationResult result =
      check_conservation(source, read_file(dir.file("#dst")), read_file(dir.file("#dbl")),
                         read_file(dir.file("#rst")));
  EXPECT_TRUE(result.ok()) << result.describe();
  EXPECT_EQ(result.source_blocks, GetParam().second);
  // Exact duplicates were deleted, so fewer blocks came out than went in.
  EXPECT_LT(result.written_blocks, result.source_blocks);
  EXPECT_FALSE(read_file(dir.file("#dbl")).empty());
  EXPECT_EQ(read_file(dir.file("#src")), source);
  EXPECT_EQ(read_file(dir.file("#kwd")), keywords);

  // And in this process, with Rst=Dst on and off.
  EXPECT_EQ(compare_thread_counts(dir, source, keywords, {}), "");
  Switches rst_dst_off;
  rst_dst_off.rst_eq_dst = false;
  EXPECT_EQ(compare_thread_counts(dir, source, keywords, rst_dst_off), "");
}

}  // namespace
}  // namespace karvel::hardening
