// A source file indexed and its blocks given chosen themes, for the theme
// pass tests, and small literal versions of the theme passes to compare the
// program with.

#ifndef KARVEL_TESTS_SUPPORT_THEME_FIXTURE_H_
#define KARVEL_TESTS_SUPPORT_THEME_FIXTURE_H_

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "files/line_reader.h"
#include "files/output_file.h"
#include "files/source_file.h"
#include "index/block_index.h"
#include "index/source_statistics.h"
#include "messages/messages.h"
#include "records/file_statistics.h"
#include "test_support.h"
#include "text/keyword_matcher.h"
#include "text/keyword_table.h"

namespace karvel::testing {

// A source written to a folder, counted and indexed, its blocks given the
// themes the test chooses.
struct IndexedSource {
  TempDir dir;
  std::vector<std::string> block_bytes;         // by block number
  std::vector<std::vector<std::string>> slots;  // by block number: slot strings of its reads
  SourceFile source;
  BlockIndex index;
  ThemeBuckets buckets;
  FileStatistics statistics;
  RecordingView view;
  Messages messages;
  OutputFile protocol;

  IndexedSource() {
    messages.set_window(&view);
    protocol.open(dir.file("protocol"), OutputFile::Mode::kCreate);
    messages.set_protocol(&protocol);
  }
  ~IndexedSource() {
    if (source.fd >= 0) close(source.fd);
  }

  // Writes `blocks` (each a whole block) one after another and gives block
  // i the theme themes[i]. With `same_fingerprints` every block gets the
  // same fingerprint, so that only the comparison of the texts tells them
  // apart.
  void build(const std::vector<std::string>& blocks, const std::vector<uint32_t>& themes,
             bool same_fingerprints = false) {
    std::string text;
    for (const std::string& b : blocks) text += b;
    write_file(dir.file("source"), text);
    source.fd = open(dir.file("source").c_str(), O_RDONLY);
    source.name = "source";
    source.size = text.size();
    Messages quiet;  // the index's own protocol lines are not under test
    ASSERT_TRUE(Get_File_Statistics(source.fd, "source", statistics, quiet).ok());
    uint32_t n = statistics.file_blocks;
    ASSERT_EQ(n, themes.size()) << "each block must end with an empty line";
    ASSERT_TRUE(index.create(n, quiet).ok());
    KeywordTable no_keywords;
    KeywordMatcher matcher(no_keywords);
    ASSERT_TRUE(
        find_offsets(source.fd, "source", matcher, n, statistics.max_block_lines, index, quiet)
            .ok());
    for (uint32_t i = 0; i < n; ++i) {
      uint64_t hash = same_fingerprints ? 7 : index.content_hash(i);
      index.set_block(i, index.offset(i), index.lines(i), themes[i], hash);
      block_bytes.push_back(text.substr(index.offset(i), index.offset(i + 1) - index.offset(i)));
      slots.emplace_back();
      for_each_line_read(block_bytes[i].data(), block_bytes[i].size(), [&](const LineRead& read) {
        char slot[kLineSlotSize];
        read.copy_to_slot(slot);
        slots.back().emplace_back(slot);
      });
    }
    buckets.build(index);
    for (uint32_t t = 0; t < kThemeScanCount; ++t) {
      statistics.theme_max_blocks =
          std::max(statistics.theme_max_blocks, buckets.end(t) - buckets.begin(t));
    }
  }
};

// The exchange sort as written: `order` holds elements, `length` their lengths.
inline void literal_exchange_sort(const std::vector<uint32_t>& length,
                                  std::vector<uint32_t>& order) {
  for (size_t i = 0; i + 1 < order.size(); ++i) {
    for (size_t j = i + 1; j < order.size(); ++j) {
      if (length[order[j]] < length[order[i]]) std::swap(order[i], order[j]);
    }
  }
}

// The blocks of one theme in sorted order, as the literal passes see them.
struct LiteralTheme {
  std::vector<uint32_t> numbers;                // by position: block number
  std::vector<std::vector<std::string>> lines;  // by position: slot strings
  std::vector<int> alive;                       // by position
};

inline LiteralTheme literal_load_and_sort(const IndexedSource& s, uint32_t t) {
  std::vector<uint32_t> blocks(s.buckets.blocks() + s.buckets.begin(t),
                               s.buckets.blocks() + s.buckets.end(t));
  std::vector<uint32_t> length, order;
  for (uint32_t k = 0; k < blocks.size(); ++k) {
    length.push_back(static_cast<uint32_t>(s.slots[blocks[k]].size()));
    order.push_back(k);
  }
  literal_exchange_sort(length, order);
  LiteralTheme theme;
  for (uint32_t k : order) {
    theme.numbers.push_back(blocks[k]);
    theme.lines.push_back(s.slots[blocks[k]]);
    theme.alive.push_back(1);
  }
  return theme;
}

// The equal-blocks pass as written: every alive block against every later
// block of its length. Returns the deleted block numbers in order of deletion;
// *fields gets the current-block field values.
inline std::vector<uint32_t> literal_equal_pass(LiteralTheme& theme,
                                                std::vector<std::string>* fields) {
  std::vector<uint32_t> deleted;
  size_t n = theme.numbers.size();
  if (n == 0) return deleted;
  fields->push_back("0");
  for (size_t i = 0; i + 1 < n; ++i) {
    if (!theme.alive[i]) continue;
    if (i % 10 == 0) fields->push_back(std::to_string(i));
    for (size_t j = i + 1; j < n; ++j) {
      if (theme.lines[j].size() != theme.lines[i].size()) break;
      if (theme.alive[j] && theme.lines[i] == theme.lines[j]) {
        theme.alive[j] = 0;
        deleted.push_back(theme.numbers[j]);
      }
    }
  }
  return deleted;
}

}  // namespace karvel::testing

#endif  // KARVEL_TESTS_SUPPORT_THEME_FIXTURE_H_
