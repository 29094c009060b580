// The block index: the fast pass that finds every block against the block
// reader and keyword rule as written, the per-theme maxima and the checked
// accessors.

#include "index/block_index.h"

#include <fcntl.h>
#include <unistd.h>

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
#include "text/text_conversion.h"

namespace karvel {
namespace {

using testing::read_file;
using testing::TempDir;
using testing::write_file;

struct FoundBlock {
  uint64_t offset;
  uint32_t lines;
  uint32_t theme;
  bool operator==(const FoundBlock&) const = default;
};

// Every block as the block reader reads it, themed by trying the keywords in
// table order with the rule as written.
std::vector<FoundBlock> literal_blocks(int fd, const KeywordTable& table, uint32_t block_count,
                                       uint32_t capacity, Messages& messages) {
  CurrentBlock block;
  EXPECT_TRUE(block.create(capacity).ok());
  LineReader reader(fd);
  BlockEnds ends;
  std::vector<FoundBlock> blocks;
  for (uint32_t i = 0; i < block_count; ++i) {
    FoundBlock found = {reader.position(), 0, kNoTheme};
    EXPECT_TRUE(block.CB_get_from_file(reader, ends).ok());
    found.lines = block.get_line_count();
    for (uint32_t k = 0; k < table.get_keyword_count(); ++k) {
      if (keyword_in_block(block, table.get_keyword(k), table.get_search_type(k), messages)) {
        found.theme = table.get_keyword_theme(k);
        break;
      }
    }
    blocks.push_back(found);
  }
  return blocks;
}

TEST(BlockIndexTest, FindOffsetsMatchesTheBlockReaderAndKeywordRuleAsWritten) {
  std::mt19937 random(5);
  const std::vector<std::string> words = {"cat",      "Cat",      "dog",    "catalog",
                                          "\x80\x81", "\xa0\xa1", "bobcat", "x"};
  const char* const gaps[] = {" ", ", ", "-", "'", "\t", "\r"};
  for (int round = 0; round < 200; ++round) {
    std::string source;
    int lines = static_cast<int>(random() % 60);
    for (int l = 0; l < lines; ++l) {
      if (random() % 4 == 0) {
        source += random() % 5 == 0 ? "\r\n" : "\n";  // an empty line: a block ends
        continue;
      }
      int n = 1 + static_cast<int>(random() % 6);
      for (int w = 0; w < n; ++w) source += words[random() % words.size()] + gaps[random() % 6];
      if (random() % 10 == 0) source += std::string(120, 'c') + "at";
      if (random() % 6 == 0) {  // a line that ends at or next to the end of a read
        const size_t kEdges[] = {98, 99, 100, 198, 297};
        size_t line_start = source.rfind('\n') + 1, length = kEdges[random() % 5];
        source.resize(line_start + length, 'c');
        if (random() % 4 == 0) source[line_start + (length > 99 && random() % 2 ? 99 : 0)] = '\0';
      }
      source += random() % 5 == 0 ? "\r\n" : "\n";
    }
    if (random() % 4 == 0 && !source.empty()) source.pop_back();  // no line feed at the end
    KeywordTable table;
    for (int k = 0, n = static_cast<int>(random() % 6); k < n; ++k) {
      std::string keyword = k == 0 && random() % 5 == 0 ? "" : words[random() % 3];
      table.add_keyword(keyword.c_str(), static_cast<uint32_t>(random() % 4),
                        static_cast<uint32_t>(random() % 3));
    }

    TempDir dir;
    write_file(dir.file("src"), source);
    int fd = open(dir.file("src").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    Messages messages;
    FileStatistics statistics;
    ASSERT_TRUE(Get_File_Statistics(fd, "src", statistics, messages).ok());
    BlockIndex index;
    ASSERT_TRUE(index.create(statistics.file_blocks, messages).ok());
    KeywordMatcher matcher(table);
    // The source is cut into up to 8 ranges read by threads at once.
    unsigned threads = 1 + static_cast<unsigned>(round % 8);
    ASSERT_TRUE(find_offsets(fd, "src", matcher, statistics.file_blocks, statistics.max_block_lines,
                             index, messages, threads)
                    .ok());
    std::vector<FoundBlock> want =
        literal_blocks(fd, table, statistics.file_blocks, statistics.max_block_lines, messages);
    for (uint32_t i = 0; i < index.block_count(); ++i) {
      FoundBlock got = {index.offset(i), index.lines(i), index.get_block_theme(i)};
      ASSERT_EQ(got, want[i]) << "round " << round << " block " << i;
    }
    if (!want.empty()) {
      EXPECT_EQ(index.offset(index.block_count() - 1) +
                    index.get_length_in_bytes(index.block_count() - 1),
                index.offset(index.block_count()));
    }
    close(fd);
  }
}

// The per-theme maxima, one pass over the buckets: a maximum is replaced
// only by a strictly greater value, so ties go to the lowest theme number.
TEST(BlockIndexTest, MaximaPerThemeAndTheCheckedAccessors) {
  const struct {
    std::string source;
    std::vector<uint32_t> themes;  // of the keywords "b" and "e"
    uint32_t maxima[6];            // theme and count of the most blocks, lines, bytes
    uint32_t no_themes;
  } cases[] = {
      {"b\n\ne\n\nb\n\ne\nmore\n\ne\n\nzzz\n\n", {2, 5}, {5, 3, 5, 7, 5, 14}, 1},
      {"b\n\ne\n\nb\n\ne\n\n", {5, 2}, {2, 2, 2, 4, 2, 6}, 0},
      {"e\nxx\nxx\nxx\n\nb\n\nb\n\n", {0, 1}, {0, 2, 1, 5, 1, 12}, 0},
      {"one\n\ntwo\n\n", {}, {0, 0, 0, 0, 0, 0}, 2},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_file(dir.file("src"), c.source);
    OutputFile protocol;
    ASSERT_TRUE(protocol.open(dir.file("log"), OutputFile::Mode::kCreate));
    Messages messages;
    messages.set_protocol(&protocol);
    KeywordTable table;
    for (size_t k = 0; k < c.themes.size(); ++k) {
      table.add_keyword(k == 0 ? "b" : "e", SEARCH_ANYWHERE, c.themes[k]);
    }
    int fd = open(dir.file("src").c_str(), O_RDONLY);
    FileStatistics statistics;
    ASSERT_TRUE(Get_File_Statistics(fd, "src", statistics, messages).ok());
    BlockIndex index;
    ASSERT_TRUE(index.create(statistics.file_blocks, messages).ok());
    KeywordMatcher matcher(table);
    ASSERT_TRUE(find_offsets(fd, "src", matcher, statistics.file_blocks, statistics.max_block_lines,
                             index, messages)
                    .ok());
    close(fd);
    ThemeBuckets buckets;
    buckets.build(index);
    get_stats_about_offsets(index, buckets, statistics, messages);
    uint32_t n = index.block_count();
    EXPECT_EQ(index.get_offset(n, messages), c.source.size());  // where the tail begins
    index.get_offset(n + 1, messages);
    index.get_length_in_lines(n + 1, messages);
    ASSERT_TRUE(protocol.close());
    std::string expected = "==== Get Stats about offsets ====\n";
    const char* const units[] = {"blocks", "lines", "bytes"};
    for (int m = 0; m < 3; ++m) {
      expected += "Max Length of " + std::to_string(c.maxima[2 * m]) + " theme is " +
                  std::to_string(c.maxima[2 * m + 1]) + " " + units[m] + "\n";
    }
    for (const char* f : {"get_offset", "get_length_in_lines"}) {
      expected += std::string(f) + ": Too big index " + std::to_string(n + 1) + " for offset\n";
    }
    std::string log = read_file(dir.file("log"));
    EXPECT_EQ(log.substr(log.find("====")), expected) << c.source;
    EXPECT_EQ(statistics.no_themes_in_source, c.no_themes) << c.source;
  }
}

// The themes of the blocks of `source` under the keywords file `keywords`.
std::vector<uint32_t> themes_of(const std::string& source, const std::string& keywords,
                                TextEncoding encoding) {
  TempDir dir;
  write_file(dir.file("src"), source);
  write_file(dir.file("kwd"), keywords);
  int fd = open(dir.file("kwd").c_str(), O_RDONLY);
  Messages messages;
  KeywordTable table;
  table.set_text_encoding(encoding);
  bool end = false;
  EXPECT_TRUE(table.load_keywords(fd, "kwd", messages, &end).ok());
  close(fd);
  fd = open(dir.file("src").c_str(), O_RDONLY);
  FileStatistics statistics;
  BlockIndex index;
  KeywordMatcher matcher(table);
  EXPECT_TRUE(Get_File_Statistics(fd, "src", statistics, messages).ok());
  EXPECT_TRUE(index.create(statistics.file_blocks, messages).ok());
  EXPECT_TRUE(find_offsets(fd, "src", matcher, statistics.file_blocks, statistics.max_block_lines,
                           index, messages)
                  .ok());
  close(fd);
  std::vector<uint32_t> themes;
  for (uint32_t i = 0; i < index.block_count(); ++i) themes.push_back(index.get_block_theme(i));
  return themes;
}

TEST(BlockIndexTest, CodePage866AndItsUtf8TwinThemeTheSameBlocks) {
  std::mt19937 random(866);
  // Letters whose case both encodings fold alike, and the ASCII delimiters.
  const std::vector<std::string> pieces = {"a",    "K",    "\x80", "\x8f", "\x90",
                                           "\x9f", "\xa0", "\xaf", "\xe0", "\xef",
                                           " ",    ", ",   "-",    "'",    "\t"};
  int themed = 0;
  for (int round = 0; round < 150; ++round) {
    auto text = [&](size_t n) {
      std::string s;
      while (s.size() < n) s += pieces[random() % pieces.size()];
      return s;
    };
    std::string keywords, source;
    for (int k = 0; k < 5; ++k) {
      const char* marks[][2] = {{"", ""}, {"'", "'"}, {"", "*"}, {"*", ""}};
      int type = static_cast<int>(random() % 4);
      keywords += marks[type][0] + ("a" + text(random() % 3)) + marks[type][1] + "\n";
    }
    for (int l = 0; l < 40; ++l) source += random() % 4 == 0 ? "\n" : text(random() % 40) + "\n";
    std::vector<uint32_t> cp866 = themes_of(source, keywords, TextEncoding::kCp866);
    // A mark before an empty first line would make that line no longer empty.
    std::string mark = random() % 2 == 0 && source[0] != '\n' ? "\xEF\xBB\xBF" : "";
    ASSERT_EQ(themes_of(mark + convert_from_cp866(source, "UTF-8"),
                        mark + convert_from_cp866(keywords, "UTF-8"), TextEncoding::kUtf8),
              cp866)
        << "round " << round;
    for (uint32_t t : cp866) themed += t != kNoTheme;
  }
  EXPECT_GT(themed, 500);
}

}  // namespace
}  // namespace karvel
