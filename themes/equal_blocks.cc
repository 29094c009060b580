// Deleting the blocks of a theme that are equal to another of its blocks.

#include "themes/equal_blocks.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "files/line_reader.h"
#include "files/source_file.h"
#include "index/block_index.h"
#include "messages/messages.h"
#include "records/file_statistics.h"
#include "themes/theme_blocks.h"

namespace karvel {

namespace {

// Blocks up to this size are compared in memory; larger ones are streamed,
// so that no block is ever held whole however big it is.
constexpr uint64_t kWholeBlockLimit = 1 << 20;

// 1 when the two reads have the same slot string.
int reads_equal(const LineRead& a, const LineRead& b) {
  char slot_a[kLineSlotSize];
  char slot_b[kLineSlotSize];
  a.copy_to_slot(slot_a);
  b.copy_to_slot(slot_b);
  return strcmp(slot_a, slot_b) == 0;
}

Status source_changed(const SourceFile& source) {
  return Status::Error(format_text("Source file %s changed during the run", source.name.c_str()));
}

// blocks_equal for two blocks too big to be held: both are read in step, one
// line read at a time.
Status stream_blocks_equal(const SourceFile& source, const BlockIndex& index, uint32_t a,
                           uint32_t b, int* equal) {
  LineReader reader_a(source.fd, index.offset(a), index.offset(a + 1), &source.map);
  LineReader reader_b(source.fd, index.offset(b), index.offset(b + 1), &source.map);
  uint32_t reads = 0;
  *equal = 1;
  for (;;) {
    LineRead read_a, read_b;
    bool more_a = reader_a.next(&read_a);
    bool more_b = reader_b.next(&read_b);
    int error = reader_a.error() != 0 ? reader_a.error() : reader_b.error();
    if (error != 0) {
      return Status::Error(
          format_text("Can't read source file %s: %s", source.name.c_str(), strerror(error)));
    }
    if (!more_a || !more_b) {
      if (more_a != more_b) *equal = 0;
      break;
    }
    ++reads;
    if (!reads_equal(read_a, read_b)) {
      *equal = 0;
      return Status::OK();
    }
  }
  // Both blocks have the length that the index recorded, or the file changed.
  if (*equal && reads != index.lines(a)) return source_changed(source);
  return Status::OK();
}

// blocks_equal of two blocks seen in the source's mapping.
struct MappedBlocks {
  const char* a;
  size_t a_size;
  const char* b;
  size_t b_size;
  int equal;
};

void compare_mapped(void* context) {
  MappedBlocks* blocks = static_cast<MappedBlocks*>(context);
  blocks->equal = blocks_equal(blocks->a, blocks->a_size, blocks->b, blocks->b_size);
}

}  // namespace

int blocks_equal(const char* a, size_t a_size, const char* b, size_t b_size) {
  // The same bytes always give the same reads.
  if (a_size == b_size && memcmp(a, b, a_size) == 0) return 1;
  while (a_size > 0 && b_size > 0) {
    LineRead read_a = cut_line_read(a, a_size);
    LineRead read_b = cut_line_read(b, b_size);
    if (!reads_equal(read_a, read_b)) return 0;
    a += read_a.raw_length;
    a_size -= read_a.raw_length;
    b += read_b.raw_length;
    b_size -= read_b.raw_length;
  }
  return a_size == 0 && b_size == 0;
}

bool EqualBlocks::reserve(uint32_t max_blocks) {
  try {
    candidates_.reserve(max_blocks);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void EqualBlocks::release() {
  candidates_ = std::vector<Candidate>();
  survivors_ = std::vector<uint32_t>();
  first_bytes_ = std::string();
  second_bytes_ = std::string();
  first_held_ = UINT32_MAX;
  second_held_ = UINT32_MAX;
}

Status EqualBlocks::read_block(const SourceFile& source, const BlockIndex& index, uint32_t b,
                               std::string* bytes, uint32_t* held) {
  if (*held == b) return Status::OK();
  *held = UINT32_MAX;
  Status status = source.read_range(index.offset(b), index.get_length_in_bytes(b), bytes);
  if (status.ok()) *held = b;
  return status;
}

Status EqualBlocks::compare_blocks(const SourceFile& source, const BlockIndex& index, uint32_t a,
                                   uint32_t b, int* equal) {
  // Blocks in the mapping are compared where they lie.
  const SourceMap& map = source.map;
  if (map.data() != nullptr && index.offset(a + 1) <= map.size() &&
      index.offset(b + 1) <= map.size()) {
    MappedBlocks blocks{
        map.data() + index.offset(a), static_cast<size_t>(index.get_length_in_bytes(a)),
        map.data() + index.offset(b), static_cast<size_t>(index.get_length_in_bytes(b)), 0};
    if (guarded_access(map.data(), map.size(), compare_mapped, &blocks)) {
      *equal = blocks.equal;
      return Status::OK();
    }
    // The mapped pages are gone: the reads below find how the file changed.
  }
  if (index.get_length_in_bytes(a) > kWholeBlockLimit ||
      index.get_length_in_bytes(b) > kWholeBlockLimit) {
    return stream_blocks_equal(source, index, a, b, equal);
  }
  Status status = read_block(source, index, a, &first_bytes_, &first_held_);
  if (status.ok()) status = read_block(source, index, b, &second_bytes_, &second_held_);
  if (!status.ok()) return status;
  *equal = blocks_equal(first_bytes_.data(), first_bytes_.size(), second_bytes_.data(),
                        second_bytes_.size());
  return Status::OK();
}

Status EqualBlocks::delete_equal_blocks(ThemeBlocks& theme, const SourceFile& source,
                                        BlockIndex& index, FileStatistics& statistics,
                                        Messages& messages) {
  uint32_t n = theme.block_count;
  if (n == 0) return Status::OK();
  std::fill(theme.theme_bitmap.begin(), theme.theme_bitmap.begin() + n, 1);
  messages.set_field(kCurrentBlock, 0);
  // The file may have changed since the index was made: cached bytes are only
  // trusted within one pass.
  first_held_ = UINT32_MAX;
  second_held_ = UINT32_MAX;

  uint32_t found = 0;
  // Equal blocks have equal lengths, and the lengths are sorted: each run of
  // one length is searched on its own.
  for (uint32_t start = 0, end = 0; start < n; start = end) {
    uint32_t length = theme.get_length(start);
    for (end = start + 1; end < n && theme.get_length(end) == length; ++end) {
    }
    if (end - start < 2) continue;
    candidates_.clear();
    for (uint32_t p = start; p < end; ++p) {
      candidates_.push_back({index.content_hash(theme.block_at(p)), p});
    }
    std::sort(candidates_.begin(), candidates_.end(), [](const Candidate& x, const Candidate& y) {
      return x.hash != y.hash ? x.hash < y.hash : x.position < y.position;
    });
    // Within a group of one fingerprint, in increasing position: a block
    // equal to a surviving one is deleted, any other block survives.
    for (size_t g = 0, h = 0; g < candidates_.size(); g = h) {
      for (h = g + 1; h < candidates_.size() && candidates_[h].hash == candidates_[g].hash; ++h) {
      }
      if (h - g < 2) continue;
      survivors_.clear();
      survivors_.push_back(theme.block_at(candidates_[g].position));
      for (size_t c = g + 1; c < h; ++c) {
        if (messages.stop_requested()) return Status::Stopped();
        uint32_t p = candidates_[c].position;
        uint32_t b = theme.block_at(p);
        int equal = 0;
        for (uint32_t survivor : survivors_) {
          Status status = compare_blocks(source, index, survivor, b, &equal);
          if (!status.ok()) return status;
          if (equal) break;
        }
        if (!equal) {
          survivors_.push_back(b);
          continue;
        }
        theme.theme_bitmap[p] = 0;
        statistics.deleted_equal_bytes += index.get_length_in_bytes(b);
        ++found;
        index.mark_written(b);
      }
    }
  }

  // A block is deleted only by an equal block at a lower position, so whether
  // position i is alive when the search reaches it is already decided.
  for (uint32_t i = 0; i + 1 < n; i += 10) {
    if (theme.is_alive(i)) messages.set_field(kCurrentBlock, i);
  }
  if (found != 0) {
    messages.show_message("%lu equal blocks found", static_cast<unsigned long>(found));
    statistics.equal_blocks += found;
  }
  return Status::OK();
}

}  // namespace karvel
