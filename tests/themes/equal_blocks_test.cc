// Loading a theme, sorting it and deleting its equal blocks, through the
// theme workspace, where random themes (compared with the pairwise loop as
// written in similar_random_test) do not reach: a theme larger than the
// room, blocks of many lines, blocks too big to hold.

#include "themes/equal_blocks.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "theme_fixture.h"
#include "themes/theme_blocks.h"
#include "themes/theme_workspace.h"

namespace karvel {
namespace {

using testing::IndexedSource;

// Blocks of 65537 line reads (1 in 16 bits) must not be taken for the
// one-line blocks, nor sorted before them; blocks too big to hold are
// compared while streaming (equal read by read, though not byte for byte,
// or differing in their last line only). A theme larger than the room is an
// error.
TEST(EqualBlocks, LongAndBigBlocksAndTheRoom) {
  std::string huge = "q\n", body, crlf;
  for (int i = 0; i < 65535; ++i) huge += "a\n";
  while (body.size() < (1 << 20) + 1000) body += "a line of the big block\n";
  for (char c : body) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  IndexedSource s;
  s.build({huge + "\n", "\n", "\n", body + "end\n\n", crlf + "end\r\n\n", body + "End\n\n"},
          {0, 0, 0, 1, 1, 1});
  ThemeWorkspace workspace;
  ASSERT_TRUE(workspace.create(s.statistics).ok());
  const std::set<uint32_t> written[] = {{2}, {2, 4}};
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
  FileStatistics small = s.statistics;
  small.theme_max_blocks = 2;
  ASSERT_TRUE(workspace.create(small).ok());
  EXPECT_FALSE(workspace.load_theme(s.source, s.index, s.buckets, 0, s.messages).ok());
}

// Block texts compared read by read: CR LF reads as a line feed alone.
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
