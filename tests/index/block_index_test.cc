// The block index: the fast pass that finds and themes every block, on random
// keywords files and sources, against the block reader and the keyword rule
// as written; the per-theme maxima.

#include "index/block_index.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/block_ends.h"
#include "files/line_reader.h"
#include "files/output_file.h"
#include "index/source_statistics.h"
#include "messages/messages.h"
#include "records/file_statistics.h"
#include "test_support.h"
#include "text/current_block.h"
#include "text/keyword_matcher.h"
#include "text/keyword_table.h"

namespace karvel {
namespace {

using testing::random_text;

// A source and a keywords file, the keywords loaded and the source counted,
// ready for find_offsets. The protocol goes to the file "log".
struct IndexRun {
  testing::TempDir dir;
  OutputFile protocol;
  Messages messages;
  KeywordTable table;
  FileStatistics statistics;
  BlockIndex index;
  int fd = -1;

  IndexRun(const std::string& source, const std::string& keywords) {
    testing::write_file(dir.file("src"), source);
    testing::write_file(dir.file("kwd"), keywords);
    EXPECT_TRUE(protocol.open(dir.file("log"), OutputFile::Mode::kCreate));
    messages.set_protocol(&protocol);
    fd = open(dir.file("kwd").c_str(), O_RDONLY);
    bool end = false;
    EXPECT_TRUE(table.load_keywords(fd, "kwd", messages, &end).ok());
    close(fd);
    fd = open(dir.file("src").c_str(), O_RDONLY);
    EXPECT_TRUE(Get_File_Statistics(fd, "src", statistics, messages).ok());
    EXPECT_TRUE(index.create(statistics.file_blocks, messages).ok());
  }
  ~IndexRun() { close(fd); }
};

const std::string kLetters = "aAbB \t.-\r`\x80\xa0\x90\xe0\x9f\xef";

// Keyword lines with marks anywhere, separators, short and long lines, so
// that both modes and all four search types come up.
std::string random_keywords_file(std::mt19937& rng) {
  std::string file;
  for (int i = 0, lines = 1 + rng() % 24; i < lines; i++) {
    uint32_t kind = rng() % 16;
    std::string line;
    if (kind == 1) {
      line = random_text(rng, kLetters, 95 + rng() % 60);  // read in two portions
    } else if (kind != 0) {
      line = random_text(rng, kLetters, rng() % 6);
      for (int m = rng() % 4; m > 0; m--)
        line.insert(rng() % (line.size() + 1), 1, rng() % 3 == 0 ? '\'' : '*');
    }
    file += line;
    if (i + 1 < lines || rng() % 2 == 0) file += "\n";
  }
  return file;
}

// Lines of the keywords' letters and marks; empty ones end blocks; now and
// then one ends at or next to the end of a read, or holds a NUL.
std::string random_source(std::mt19937& rng) {
  std::string source;
  for (int l = rng() % 60; l > 0; --l) {
    uint32_t kind = rng() % 16;
    std::string line = random_text(rng, kLetters + "'*", kind < 4 ? 0 : rng() % 14);
    if (kind == 4) {
      const size_t kEdges[] = {98, 99, 100, 198, 297};
      line = random_text(rng, kLetters, kEdges[rng() % 5]);
      if (rng() % 4 == 0) line[line.size() > 99 && rng() % 2 ? 99 : 0] = '\0';
    }
    source += line + (rng() % 5 == 0 ? "\r\n" : "\n");
  }
  if (rng() % 4 == 0 && !source.empty()) source.pop_back();  // no line feed at the end
  return source;
}

// Every block of `run` as the block reader reads it: its offset, lines, the
// theme of the first keyword in table order that keyword_in_block finds, and
// where it ends.
std::vector<std::vector<uint64_t>> literal_blocks(IndexRun& run) {
  CurrentBlock block;
  EXPECT_TRUE(block.create(run.statistics.max_block_lines).ok());
  LineReader reader(run.fd);
  BlockEnds ends;
  std::vector<std::vector<uint64_t>> blocks;
  for (uint32_t i = 0; i < run.statistics.file_blocks; ++i) {
    uint64_t offset = reader.position();
    EXPECT_TRUE(block.CB_get_from_file(reader, ends).ok());
    uint32_t theme = kNoTheme;
    for (uint32_t k = 0; k < run.table.get_keyword_count() && theme == kNoTheme; ++k) {
      if (keyword_in_block(block, run.table.get_keyword(k), run.table.get_search_type(k),
                           run.messages))
        theme = run.table.get_keyword_theme(k);
    }
    blocks.push_back({offset, block.get_line_count(), theme, reader.position()});
  }
  return blocks;
}

// A full table, with enough long keywords for more automaton nodes than
// 16-bit transitions can name, over lines made of its keywords, so that most
// lines hold occurrences of many keywords, rejected and accepted.
void full_table(std::mt19937& rng, std::string* source, std::string* file) {
  const char* marks[][2] = {{"", ""}, {"'", "'"}, {"", "*"}, {"*", ""}};
  std::vector<std::string> keywords;
  for (int k = 0; k < 4999; k++) {
    keywords.push_back("a" +
                       random_text(rng, "ab -", rng() % 4 == 0 ? 30 + rng() % 67 : 3 + rng() % 8));
    int type = rng() % 4;
    *file += marks[type][0] + keywords.back() + marks[type][1] + "\n";
  }
  for (int b = 0; b < 150; b++) {
    for (int i = rng() % 4; i >= 0; i--) {
      std::string line = random_text(rng, "ab -", rng() % 4);
      while (line.size() < 80)
        line += keywords[2500 + rng() % 2499] + random_text(rng, "ab -", rng() % 3);
      *source += line.substr(0, 98) + "\n";
    }
    *source += "\n";
  }
}

// Random inputs, and a full table in the first round, through every form of
// the matcher and every thread count. Then the per-theme maxima against sums
// over the literal blocks: a maximum is replaced only by a greater one, so
// ties go to the lowest theme; the checked accessors refuse an index past
// the tail.
TEST(BlockIndexTest, FindOffsetsMatchesTheBlockReaderAndKeywordRuleAsWritten) {
  std::mt19937 rng(20240611);
  uint32_t themed = 0, blocks = 0;
  for (int round = 0; round < 400; ++round) {
    std::string source, keywords;
    if (round == 0) {
      full_table(rng, &source, &keywords);
    } else {
      source = random_source(rng);
      keywords = random_keywords_file(rng);
    }
    IndexRun run(source, keywords);
    ASSERT_EQ(run.table.get_keyword_count() == 4999, round == 0);
    std::vector<std::vector<uint64_t>> want = literal_blocks(run);
    SCOPED_TRACE("round " + std::to_string(round));
    // find_offsets with each form of the matcher (0: dense, 1: failure links,
    // 2: shallow rows, 3: no filter), the source cut into 1 to 8 ranges.
    const int first_form = round == 0 ? 0 : round % 4, last_form = round == 0 ? 3 : round % 4;
    for (int form = first_form; form <= last_form; ++form) {
      const size_t kLimits[] = {size_t{1} << 24, 1, 64, 64};
      KeywordMatcher matcher(run.table, kLimits[form], form != 3);
      ASSERT_TRUE(find_offsets(run.fd, "src", matcher, run.statistics.file_blocks,
                               run.statistics.max_block_lines, run.index, run.messages,
                               1 + (round / 4 + form) % 8)
                      .ok());
      ASSERT_EQ(run.index.block_count(), want.size());
      for (uint32_t i = 0; i < want.size(); ++i) {
        std::vector<uint64_t> got = {run.index.offset(i), run.index.lines(i),
                                     run.index.get_block_theme(i), run.index.offset(i + 1)};
        ASSERT_EQ(got, want[i]) << "block " << i << ", matcher " << form;
      }
    }
    std::map<uint64_t, std::array<uint64_t, 3>> sums;  // blocks, lines, bytes by theme
    uint32_t n = run.index.block_count(), no_themes = 0;
    for (const auto& b : want) {
      no_themes += b[2] == kNoTheme;
      const uint64_t sizes[3] = {1, b[1], b[3] - b[0]};
      for (int m = 0; m < 3 && b[2] != kNoTheme; ++m) sums[b[2]][m] += sizes[m];
    }
    themed += n - no_themes;
    blocks += n;
    if (round == 0) {
      ASSERT_GT(themed, 100u);
    }
    ThemeBuckets buckets;
    buckets.build(run.index);
    get_stats_about_offsets(run.index, buckets, run.statistics, run.messages);
    run.index.get_offset(n + 1, run.messages);
    run.index.get_length_in_lines(n + 1, run.messages);
    ASSERT_TRUE(run.protocol.close());
    std::string expected = "==== Get Stats about offsets ====\n";
    const char* const units[] = {"blocks", "lines", "bytes"};
    for (int m = 0; m < 3; ++m) {
      uint64_t theme = 0, most = 0;
      for (const auto& [t, sum] : sums) {
        if (sum[m] > most) {
          theme = t;
          most = sum[m];
        }
      }
      expected += "Max Length of " + std::to_string(theme) + " theme is " + std::to_string(most) +
                  " " + units[m] + "\n";
    }
    for (const char* f : {"get_offset", "get_length_in_lines"})
      expected += std::string(f) + ": Too big index " + std::to_string(n + 1) + " for offset\n";
    std::string log = testing::read_file(run.dir.file("log"));
    ASSERT_EQ(log.substr(log.find("==== Get Stats")), expected);
    ASSERT_EQ(run.statistics.no_themes_in_source, no_themes);
  }
  // The inputs must give both outcomes often, or the comparison proves little.
  EXPECT_GT(themed, blocks / 5);
  EXPECT_LT(themed, blocks * 4 / 5);
}

}  // namespace
}  // namespace karvel
