// Loading a theme, sorting it and deleting its equal blocks, through the
// theme workspace; random themes against the pairwise loop as written.

#include "themes/equal_blocks.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "theme_fixture.h"
#include "themes/theme_blocks.h"
#include "themes/theme_workspace.h"

namespace karvel {
namespace {

using testing::IndexedSource;
using testing::LiteralTheme;

std::vector<std::string> field_values(const testing::RecordingView& view, int control) {
  std::vector<std::string> values;
  for (const auto& [c, text] : view.field_history) {
    if (c == control) values.push_back(text);
  }
  return values;
}

// Loads, sorts and clears theme t; returns the blocks that became written.
std::set<uint32_t> run_equal_pass(IndexedSource& s, ThemeWorkspace& workspace, uint32_t t) {
  EXPECT_TRUE(workspace.load_theme(s.source, s.index, s.buckets, t, s.messages).ok());
  workspace.sort_by_length();
  EXPECT_TRUE(workspace.delete_equal_blocks(s.source, s.index, s.statistics, s.messages).ok());
  std::set<uint32_t> written;
  for (uint32_t b = 0; b < s.index.block_count(); ++b) {
    if (!s.index.is_unwritten(b)) written.insert(b);
  }
  return written;
}

TEST(EqualBlocks, ThemeLargerThanTheRoomIsAnError) {
  IndexedSource s;
  s.build({"a\n\n", "b\n\n"}, {0, 0});
  FileStatistics small = s.statistics;
  small.theme_max_blocks = 1;
  ThemeWorkspace workspace;
  ASSERT_TRUE(workspace.create(small).ok());
  EXPECT_FALSE(workspace.load_theme(s.source, s.index, s.buckets, 0, s.messages).ok());
}

TEST(EqualBlocks, BlocksOfMoreThan32767LinesKeepTheirTrueLength) {
  IndexedSource s;
  // 65537 line reads reduce to 1 in 16 bits: the block must not be taken
  // for the one-line blocks, nor sorted before them.
  std::string huge = "q\n";
  for (int i = 0; i < 65535; ++i) huge += "a\n";
  s.build({huge + "\n", "\n", "\n"}, {0, 0, 0});
  ThemeWorkspace workspace;
  ASSERT_TRUE(workspace.create(s.statistics).ok());
  std::set<uint32_t> written = run_equal_pass(s, workspace, 0);
  EXPECT_EQ(written, (std::set<uint32_t>{2}));
  EXPECT_EQ(workspace.theme().real_numbers[2], 0u);
}

TEST(EqualBlocks, BlocksTooBigToHoldAreComparedWhileStreaming) {
  IndexedSource s;
  std::string body;
  while (body.size() < (1 << 20) + 1000) body += "a line of the big block\n";
  std::string crlf;
  for (char c : body) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  // Equal to the first read by read, though not byte for byte; the last
  // one differs in its last line only.
  s.build({body + "end\n\n", crlf + "end\r\n\n", body + "End\n\n"}, {0, 0, 0});
  ThemeWorkspace workspace;
  ASSERT_TRUE(workspace.create(s.statistics).ok());
  EXPECT_EQ(run_equal_pass(s, workspace, 0), (std::set<uint32_t>{1}));
}

// Random themes of blocks made from a few lines, so that equal blocks, equal
// fingerprints and equal lengths are common.
std::vector<std::string> random_blocks(std::mt19937& random, int count) {
  const std::string pieces[] = {"a\n",
                                "b\n",
                                "A\n",
                                "a\r\n",
                                std::string("a\0z\n", 4),
                                "a b\n",
                                std::string(120, 'l') + "\n",
                                "b\r\n",
                                std::string(99, 'l') + "\r\n",
                                std::string(99, 'l') + std::string("\0z\n", 3)};
  std::vector<std::string> blocks;
  for (int i = 0; i < count; ++i) {
    std::string block;
    int lines = static_cast<int>(random() % 4);
    for (int l = 0; l < lines; ++l) block += pieces[random() % 10];
    blocks.push_back(block + "\n");
  }
  return blocks;
}

void compare_with_literal_pass(bool same_fingerprints) {
  std::mt19937 random(same_fingerprints ? 99 : 4242);
  for (int round = 0; round < 3; ++round) {
    IndexedSource s;
    const uint32_t themes = 400;
    int count = 4000;
    std::vector<uint32_t> theme_of;
    for (int i = 0; i < count; ++i) theme_of.push_back(random() % themes);
    s.build(random_blocks(random, count), theme_of, same_fingerprints);
    ThemeWorkspace workspace;
    ASSERT_TRUE(workspace.create(s.statistics).ok());
    uint64_t bytes = 0;
    uint32_t found = 0;
    for (uint32_t t = 0; t < themes; ++t) {
      LiteralTheme literal = testing::literal_load_and_sort(s, t);
      std::vector<std::string> fields;
      std::vector<uint32_t> deleted = testing::literal_equal_pass(literal, &fields);
      s.view.field_history.clear();
      s.view.lines.clear();
      std::set<uint32_t> before = run_equal_pass(s, workspace, t);
      (void)before;
      const ThemeBlocks& theme = workspace.theme();
      ASSERT_EQ(theme.block_count, literal.numbers.size());
      for (uint32_t p = 0; p < theme.block_count; ++p) {
        ASSERT_EQ(theme.block_at(p), literal.numbers[p]) << "theme " << t << " position " << p;
        ASSERT_EQ(theme.is_alive(p), literal.alive[p] == 1) << "theme " << t << " position " << p;
      }
      for (uint32_t b : deleted) {
        ASSERT_FALSE(s.index.is_unwritten(b));
        bytes += s.block_bytes[b].size();
      }
      found += static_cast<uint32_t>(deleted.size());
      EXPECT_EQ(field_values(s.view, kCurrentBlock), fields) << "theme " << t;
      std::vector<std::string> lines;
      if (!deleted.empty()) lines.push_back(std::to_string(deleted.size()) + " equal blocks found");
      EXPECT_EQ(s.view.lines, lines);
    }
    uint32_t written = 0;
    for (uint32_t b = 0; b < s.index.block_count(); ++b) written += !s.index.is_unwritten(b);
    EXPECT_EQ(written, found);
    EXPECT_EQ(s.statistics.equal_blocks, found);
    EXPECT_EQ(s.statistics.deleted_equal_bytes, bytes);
  }
}

TEST(EqualBlocks, MatchesThePairwiseLoopOnRandomThemes) { compare_with_literal_pass(false); }

TEST(EqualBlocks, FingerprintsThatCollideAreToldApartByTheText) { compare_with_literal_pass(true); }

TEST(BlocksEqual, ComparesReadByRead) {
  auto equal = [](const std::string& a, const std::string& b) {
    return blocks_equal(a.data(), a.size(), b.data(), b.size());
  };
  EXPECT_EQ(equal("ab\r\n\n", "ab\n\r\n"), 1);
  EXPECT_EQ(equal("ab\n\n", "aB\n\n"), 0);
  EXPECT_EQ(equal("ab\n\n", "ab\n\n\n"), 0);
  // 150 characters are two reads; so are 99 characters and a line feed.
  std::string long_line(150, 'x');
  EXPECT_EQ(equal(long_line + "\n\n", long_line + "\n\n"), 1);
  EXPECT_EQ(equal(std::string(99, 'x') + "\n\n", std::string(99, 'x') + "\n"), 0);
}

}  // namespace
}  // namespace karvel
