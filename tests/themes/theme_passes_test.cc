// Sorting a theme by length (the chain method against the exchange sort as
// written), and what random themes (compared with the passes as written in
// similar_random_test) do not reach: a theme larger than the room, blocks of
// many lines, blocks too big to hold, a stop request.

#include "themes/theme_workspace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "records/program_configuration.h"
#include "theme_fixture.h"
#include "themes/equal_blocks.h"
#include "themes/exchange_sort.h"
#include "themes/theme_blocks.h"

namespace karvel {
namespace {

// Few and many distinct lengths, long runs of one length, lengths past the
// 16-bit range, from the first order or a shuffled one.
TEST(ExchangeSort, MatchesTheLiteralSortOnRandomInputs) {
  std::mt19937 random(20240611);
  ExchangeSort sort;
  ASSERT_TRUE(sort.reserve(2024));
  const uint32_t spreads[] = {1, 2, 3, 5, 6, 20, 400, 70000};
  for (int trial = 0; trial < 2500; ++trial) {
    uint32_t n = random() % (trial % 10 == 0 ? 400 : 40);
    if (trial % 200 == 0) n = 1024 + random() % 1000;  // sort() takes the chains
    uint32_t base = trial % 3 == 0 ? 32760 : 1;
    std::vector<uint32_t> length(n), start(n);
    for (uint32_t& l : length) l = base + random() % spreads[trial % 8];
    if (trial % 5 == 0) std::sort(length.rbegin(), length.rend());  // longest chains
    std::iota(start.begin(), start.end(), 0);
    if (trial % 4 == 1) std::shuffle(start.begin(), start.end(), random);
    std::vector<uint32_t> expected = start, by_chains = start, chosen = start;
    testing::literal_exchange_sort(length, expected);
    sort.sort_by_chains(length.data(), by_chains.data(), n);
    ASSERT_EQ(by_chains, expected) << "trial " << trial << ", " << n << " elements";
    sort.sort(length.data(), chosen.data(), n);
    ASSERT_EQ(chosen, expected) << "trial " << trial;
  }
}

// Blocks of 65537 line reads (1 in 16 bits) must not be taken for the
// one-line blocks, nor sorted before them; blocks too big to hold are
// compared while streaming (equal read by read, though not byte for byte,
// or differing in their last line only), and the words deep in one count as
// well as any. A stop request ends the similar-blocks search; a theme larger
// than the room is an error.
TEST(EqualBlocks, LongAndBigBlocksStopAndTheRoom) {
  std::string huge = "q\n", body, crlf;
  for (int i = 0; i < 65535; ++i) huge += "a\n";
  while (body.size() < (1 << 20) + 1000) body += "a line of the big block\n";
  for (char c : body) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const std::string similar[] = {body + "beta, alpha End\n\n", "alpha beta\n\n"};
  testing::IndexedSource s;
  s.build({huge + "\n", "\n", "\n", body + "end\n\n", crlf + "end\r\n\n", similar[0], similar[1]},
          {0, 0, 0, 1, 1, 1, 1});
  ThemeWorkspace workspace;
  ASSERT_TRUE(workspace.create(s.statistics).ok());
  OutputFile doubles;
  ASSERT_TRUE(doubles.open(s.dir.file("doubles"), OutputFile::Mode::kAppend));
  ProgramConfiguration configuration;
  configuration.set_group_mode(1);
  configuration.set_length_ratio(0);
  const std::set<uint32_t> written[] = {{2}, {2, 3}};
  for (uint32_t t : {0, 1}) {
    ASSERT_TRUE(workspace.load_theme(s.source, s.index, s.buckets, t, s.messages).ok());
    workspace.sort_by_length();
    ASSERT_TRUE(workspace.delete_equal_blocks(s.source, s.index, s.statistics, s.messages).ok());
    std::set<uint32_t> now;
    for (uint32_t b = 0; b < s.index.block_count(); ++b)
      if (!s.index.is_unwritten(b)) now.insert(b);
    EXPECT_EQ(now, written[t]);
    EXPECT_TRUE(t == 1 || workspace.theme().real_numbers[2] == 0u);
  }
  for (int stop : {1, 0}) {
    configuration.set_stop(stop);
    EXPECT_EQ(workspace
                  .find_similar_blocks(s.source, doubles, s.index, configuration, s.statistics,
                                       s.messages)
                  .stopped(),
              stop == 1);
    EXPECT_EQ(s.statistics.saved_as_similar, stop ? 0u : 2u);
  }
  doubles.flush();
  EXPECT_EQ(testing::read_file(s.dir.file("doubles")), similar[1] + similar[0]);
  FileStatistics small = s.statistics;
  small.theme_max_blocks = 2;
  ASSERT_TRUE(workspace.create(small).ok());
  EXPECT_FALSE(workspace.load_theme(s.source, s.index, s.buckets, 0, s.messages).ok());
}

// Block texts compared read by read: CR LF reads as a line feed alone; 150
// characters are two reads, and so are 99 characters and a line feed.
TEST(BlocksEqual, ComparesReadByRead) {
  const std::string x150 = std::string(150, 'x') + "\n\n", x99(99, 'x');
  const struct {
    std::string a, b;
    int equal;
  } cases[] = {{"ab\r\n\n", "ab\n\r\n", 1},
               {"ab\n\n", "aB\n\n", 0},
               {"ab\n\n", "ab\n\n\n", 0},
               {x150, x150, 1},
               {x99 + "\n\n", x99 + "\n", 0}};
  for (const auto& c : cases)
    EXPECT_EQ(blocks_equal(c.a.data(), c.a.size(), c.b.data(), c.b.size()), c.equal) << c.a;
}

}  // namespace
}  // namespace karvel
