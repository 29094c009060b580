// The block index: where every block of the source starts, how many line reads
// it has, which theme it took and whether it has been written.
//
// found_blocks[i]: bits 0..30 hold the theme number of block i, or kNoTheme
// (all 31 bits set) when no keyword matched; bit 31 is the written flag, set
// once the block has been written out or deleted and never cleared. Theme
// tests mask bit 31, so a written block keeps its theme.
//
// offsets has block_count + 1 entries: the last is the offset just after the
// last block, where the lines that form no block begin. A block's bytes are
// offsets[i] .. offsets[i + 1].

#ifndef KARVEL_INDEX_BLOCK_INDEX_H_
#define KARVEL_INDEX_BLOCK_INDEX_H_

#include <cstdint>
#include <vector>

#include "files/status.h"
#include "text/keyword_matcher.h"

namespace karvel {

class KeywordMatcher;
class Messages;
class SourceMap;
struct FileStatistics;

inline constexpr uint32_t kWrittenFlag = 0x80000000u;
inline constexpr uint32_t kThemeMask = 0x7FFFFFFFu;
// Theme numbers that the per-theme scans cover: 0 to 4999.
inline constexpr uint32_t kThemeScanCount = 5000;

class BlockIndex {
 public:
  // Makes room for `block_count` blocks and writes "Offsets require ..." and
  // "Lines require ..." to the protocol. Fails with "Not enough memory for
  // found_blocks" (offsets, lines).
  Status create(uint32_t block_count, Messages& messages);
  void release();

  uint32_t block_count() const { return block_count_; }

  void mark_written(uint32_t i) { found_blocks_[i] |= kWrittenFlag; }
  int is_unwritten(uint32_t i) const { return (found_blocks_[i] & kWrittenFlag) == 0; }
  uint32_t get_block_theme(uint32_t i) const { return found_blocks_[i] & kThemeMask; }
  int has_no_theme(uint32_t i) const { return (found_blocks_[i] & kThemeMask) == kNoTheme; }
  int is_in_theme(uint32_t i, uint32_t t) const { return (found_blocks_[i] & kThemeMask) == t; }
  uint64_t get_length_in_bytes(uint32_t i) const { return offsets_[i + 1] - offsets_[i]; }
  uint64_t content_hash(uint32_t i) const { return hashes_[i]; }

  // An index above the block count writes "get_offset: Too big index %lu for
  // offset" (get_length_in_lines likewise) to the protocol and yields 0.
  uint64_t get_offset(uint32_t i, Messages& messages) const;
  uint32_t get_length_in_lines(uint32_t i, Messages& messages) const;
  // The same without the check, for callers whose index is in range.
  uint64_t offset(uint32_t i) const { return offsets_[i]; }
  uint32_t lines(uint32_t i) const { return lines_[i]; }

  // Records block i as find_offsets found it.
  void set_block(uint32_t i, uint64_t offset, uint32_t lines, uint32_t theme, uint64_t hash) {
    offsets_[i] = offset;
    lines_[i] = lines;
    found_blocks_[i] = theme;
    hashes_[i] = hash;
  }
  void set_end_offset(uint64_t offset) { offsets_[block_count_] = offset; }

 private:
  uint32_t block_count_ = 0;
  std::vector<uint32_t> found_blocks_;  // theme and written flag of block i
  std::vector<uint64_t> offsets_;       // start of block i; one extra entry
  std::vector<uint32_t> lines_;         // line reads of block i
  std::vector<uint64_t> hashes_;        // BlockHasher value of block i's text
};

// The blocks of every theme number 0..4999, each list in source order; built
// in one pass over the index.
class ThemeBuckets {
 public:
  void build(const BlockIndex& index);
  void release();
  // Blocks of theme t: blocks()[begin(t)] .. blocks()[end(t) - 1].
  uint32_t begin(uint32_t t) const { return starts_[t]; }
  uint32_t end(uint32_t t) const { return starts_[t + 1]; }
  const uint32_t* blocks() const { return blocks_.data(); }

 private:
  std::vector<uint32_t> starts_;  // kThemeScanCount + 1 entries
  std::vector<uint32_t> blocks_;  // themed block numbers, grouped by theme
};

// Reads every block of the source (open as `fd`) from its start: its offset,
// its line reads, its fingerprint and the theme of the first keyword that
// matches. Shows "Find Offsets: %lu blocks", "%-lu blocks" every 10000 blocks
// and "Find Offsets done". A block longer than `max_block_lines` (the source
// changed) fails with "CB_get_from_file: Too long block". With `threads` above
// 1 the source is cut into as many ranges at block starts, read at once; the
// index, the messages and any failure are those of one thread. `map`, when
// given, is the source's mapping (files/source_map.h), read instead of `fd`.
Status find_offsets(int fd, const std::string& file_name, KeywordMatcher& matcher,
                    uint32_t block_count, uint32_t max_block_lines, BlockIndex& index,
                    Messages& messages, unsigned threads = 1, const SourceMap* map = nullptr);

// Fills no_themes_in_source, theme_max_blocks, theme_max_lines,
// theme_max_bytes and max_block_bytes (the lowest theme number wins among
// equal maxima), zeroes saved_as_no_themes, and writes the four "Get Stats
// about offsets" lines to the protocol.
void get_stats_about_offsets(const BlockIndex& index, const ThemeBuckets& buckets,
                             FileStatistics& statistics, Messages& messages);

}  // namespace karvel

#endif  // KARVEL_INDEX_BLOCK_INDEX_H_
