// The block index: its creation and accessors, the per-theme buckets and
// the per-theme maxima.

#include "index/block_index.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "messages/messages.h"
#include "records/file_statistics.h"

namespace karvel {

namespace {

unsigned long ul(uint64_t v) { return static_cast<unsigned long>(v); }

template <typename T>
bool allocate(std::vector<T>& array, size_t n) {
  try {
    array.assign(n, T());
  } catch (const std::bad_alloc&) {
    array.clear();
    return false;
  }
  return true;
}

}  // namespace

Status BlockIndex::create(uint32_t block_count, Messages& messages) {
  release();
  block_count_ = block_count;
  uint64_t n = block_count;
  if (!allocate(found_blocks_, n) || !allocate(hashes_, n)) {
    release();
    return Status::Error("Not enough memory for found_blocks");
  }
  messages.write_protocol("Offsets require %lu*%u=%lu bytes", ul(n), 4u, ul(4 * n + 4));
  if (!allocate(offsets_, n + 1)) {
    release();
    return Status::Error("Not enough memory for offsets");
  }
  messages.write_protocol("Lines require %lu*%u=%lu bytes", ul(n), 4u, ul(4 * n + 4));
  if (!allocate(lines_, n + 1)) {
    release();
    return Status::Error("Not enough memory for lines");
  }
  return Status::OK();
}

void BlockIndex::release() {
  found_blocks_ = std::vector<uint32_t>();
  offsets_ = std::vector<uint64_t>();
  lines_ = std::vector<uint32_t>();
  hashes_ = std::vector<uint64_t>();
  block_count_ = 0;
}

uint64_t BlockIndex::get_offset(uint32_t i, Messages& messages) const {
  if (i > block_count_) {
    messages.write_protocol("get_offset: Too big index %lu for offset", ul(i));
    return 0;
  }
  return offsets_[i];
}

uint32_t BlockIndex::get_length_in_lines(uint32_t i, Messages& messages) const {
  if (i > block_count_) {
    messages.write_protocol("get_length_in_lines: Too big index %lu for offset", ul(i));
    return 0;
  }
  return i < block_count_ ? lines_[i] : 0;
}

void ThemeBuckets::build(const BlockIndex& index) {
  starts_.assign(kThemeScanCount + 1, 0);
  uint32_t n = index.block_count();
  uint32_t themed = 0;
  for (uint32_t b = 0; b < n; ++b) {
    uint32_t t = index.get_block_theme(b);
    if (t < kThemeScanCount) {
      ++starts_[t + 1];
      ++themed;
    }
  }
  for (uint32_t t = 0; t < kThemeScanCount; ++t) starts_[t + 1] += starts_[t];
  blocks_.assign(themed, 0);
  std::vector<uint32_t> next(starts_.begin(), starts_.end() - 1);
  for (uint32_t b = 0; b < n; ++b) {
    uint32_t t = index.get_block_theme(b);
    if (t < kThemeScanCount) blocks_[next[t]++] = b;
  }
}

void ThemeBuckets::release() {
  starts_ = std::vector<uint32_t>();
  blocks_ = std::vector<uint32_t>();
}

void get_stats_about_offsets(const BlockIndex& index, const ThemeBuckets& buckets,
                             FileStatistics& statistics, Messages& messages) {
  statistics.saved_as_no_themes = 0;
  uint32_t n = index.block_count();
  uint32_t no_themes = 0;
  uint64_t largest_block = 0;
  for (uint32_t b = 0; b < n; ++b) {
    if (index.has_no_theme(b)) ++no_themes;
    if (index.get_length_in_bytes(b) > largest_block) largest_block = index.get_length_in_bytes(b);
  }
  statistics.no_themes_in_source = no_themes;

  // One sum per theme number from the buckets; a maximum is replaced only by
  // a strictly greater value, so the lowest theme number wins a tie.
  uint32_t most_blocks = 0, most_blocks_theme = 0;
  uint32_t most_lines = 0, most_lines_theme = 0;
  uint64_t most_bytes = 0, most_bytes_theme = 0;
  for (uint32_t t = 0; t < kThemeScanCount; ++t) {
    uint32_t blocks = buckets.end(t) - buckets.begin(t);
    uint32_t lines = 0;
    uint64_t bytes = 0;
    for (uint32_t k = buckets.begin(t); k < buckets.end(t); ++k) {
      uint32_t b = buckets.blocks()[k];
      lines += index.lines(b);
      bytes += index.get_length_in_bytes(b);
    }
    if (blocks > most_blocks) most_blocks = blocks, most_blocks_theme = t;
    if (lines > most_lines) most_lines = lines, most_lines_theme = t;
    if (bytes > most_bytes) most_bytes = bytes, most_bytes_theme = t;
  }
  messages.write_protocol("==== Get Stats about offsets ====");
  messages.write_protocol("Max Length of %lu theme is %lu blocks", ul(most_blocks_theme),
                          ul(most_blocks));
  messages.write_protocol("Max Length of %lu theme is %lu lines", ul(most_lines_theme),
                          ul(most_lines));
  messages.write_protocol("Max Length of %lu theme is %lu bytes", ul(most_bytes_theme),
                          ul(most_bytes));
  statistics.theme_max_blocks = most_blocks;
  statistics.theme_max_lines = most_lines;
  statistics.theme_max_bytes = most_bytes;
  statistics.max_block_bytes = largest_block;
}

}  // namespace karvel
