// The theme workspace: room for the largest theme, loading a theme, and the
// three passes over it.

#include "themes/theme_workspace.h"

#include <exception>
#include <new>
#include <vector>

#include "index/block_index.h"
#include "messages/messages.h"
#include "records/file_statistics.h"
#include "themes/equal_blocks.h"
#include "themes/exchange_sort.h"
#include "themes/similar_blocks.h"
#include "themes/theme_blocks.h"

namespace karvel {

struct ThemeWorkspace::Impl {
  uint32_t capacity = 0;          // most blocks a theme may have: theme_max_blocks
  ThemeBlocks theme;              // the loaded theme
  std::vector<uint32_t> lengths;  // by theme-local index: the block's line reads, for the sort
  ExchangeSort exchange_sort;
  EqualBlocks equal_blocks;
  SimilarBlocks similar_blocks;
};

namespace {

// Sizes `array` to `size` entries; false when memory is short.
template <typename T>
bool allocate(std::vector<T>& array, size_t size) {
  try {
    array.assign(size, T());
  } catch (const std::exception&) {  // bad_alloc, or a size past max_size
    return false;
  }
  return true;
}

}  // namespace

ThemeWorkspace::ThemeWorkspace() : impl_(std::make_unique<Impl>()) {}
ThemeWorkspace::~ThemeWorkspace() = default;

Status ThemeWorkspace::create(const FileStatistics& statistics) {
  return create(statistics.theme_max_blocks);
}

uint32_t ThemeWorkspace::capacity() const { return impl_->capacity; }

Status ThemeWorkspace::create(uint32_t blocks) {
  release();
  size_t entries = static_cast<size_t>(blocks) + 1;
  ThemeBlocks& theme = impl_->theme;
  if (!allocate(theme.start_lines, entries)) {
    return Status::Error("Not enough memory for start_lines");
  }
  if (!allocate(theme.numbers_blocks_in_theme, entries)) {
    return Status::Error("Not enough memory for numbers_blocks_in_theme");
  }
  if (!allocate(theme.real_numbers, entries)) {
    return Status::Error("Not enough memory for real_numbers");
  }
  if (!allocate(theme.theme_bitmap, entries)) {
    return Status::Error("Not enough memory for theme_bitmap");
  }
  if (!allocate(impl_->lengths, entries) || !impl_->exchange_sort.reserve(blocks)) {
    return Status::Error("Not enough memory for sort_by_length");
  }
  if (!impl_->equal_blocks.reserve(blocks)) {
    return Status::Error("Not enough memory for delete_equal_blocks");
  }
  impl_->capacity = blocks;
  return Status::OK();
}

void ThemeWorkspace::release() { impl_ = std::make_unique<Impl>(); }

Status ThemeWorkspace::load_theme(const SourceFile& /*source*/, const BlockIndex& index,
                                  const ThemeBuckets& buckets, uint32_t t, Messages& messages) {
  ThemeBlocks& theme = impl_->theme;
  theme.block_count = 0;
  theme.line_count = 0;
  uint32_t count = t < kThemeScanCount ? buckets.end(t) - buckets.begin(t) : 0;
  if (count > impl_->capacity) {
    return Status::Error(format_text("load_theme: theme %u has %u blocks, room was made for %u", t,
                                     count, impl_->capacity));
  }
  const uint32_t* blocks = count != 0 ? buckets.blocks() + buckets.begin(t) : nullptr;
  for (uint32_t k = 0; k < count; ++k) {
    theme.theme_bitmap[k] = 1;
    theme.numbers_blocks_in_theme[k] = blocks[k];
    theme.start_lines[k] = theme.line_count;
    theme.real_numbers[k] = k;
    theme.line_count += index.lines(blocks[k]);
  }
  theme.block_count = count;
  if (!theme.start_lines.empty()) {
    theme.start_lines[count] = theme.line_count;
    theme.theme_bitmap[count] = 0;
  }
  messages.set_field(kBlocksTotal, count);
  return Status::OK();
}

void ThemeWorkspace::sort_by_length() {
  ThemeBlocks& theme = impl_->theme;
  uint32_t n = theme.block_count;
  for (uint32_t k = 0; k < n; ++k) impl_->lengths[k] = theme.length_of(k);
  impl_->exchange_sort.sort(impl_->lengths.data(), theme.real_numbers.data(), n);
}

Status ThemeWorkspace::delete_equal_blocks(const SourceFile& source, BlockIndex& index,
                                           FileStatistics& statistics, Messages& messages) {
  return impl_->equal_blocks.delete_equal_blocks(impl_->theme, source, index, statistics, messages);
}

Status ThemeWorkspace::find_similar_blocks(const SourceFile& source, OutputFile& doubles,
                                           BlockIndex& index, ProgramConfiguration& configuration,
                                           FileStatistics& statistics, Messages& messages) {
  return impl_->similar_blocks.find_similar_blocks(impl_->theme, source, doubles, index,
                                                   configuration, statistics, messages);
}

Status ThemeWorkspace::search_similar_blocks(const SourceFile& source, BlockIndex& index,
                                             ProgramConfiguration& configuration,
                                             FileStatistics& statistics, Messages& messages,
                                             std::vector<uint32_t>* doubled) {
  Status status = impl_->similar_blocks.search(impl_->theme, source, index, configuration,
                                               statistics, messages);
  impl_->similar_blocks.list_doubled_blocks(doubled);
  return status;
}

const ThemeBlocks& ThemeWorkspace::theme() const { return impl_->theme; }

}  // namespace karvel
