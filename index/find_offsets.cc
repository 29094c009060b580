// The pass that finds every block of the source and gives it its theme: in
// one range, or in several ranges read by threads at once and put together in
// source order.
//
// Every range but the first keeps its blocks in a list of its own until the
// ranges before it are in the index. The first range goes straight into the
// index, on the calling thread, with the progress lines as it goes; the lines
// of the later ranges follow as their lists are taken. A block found past the
// block count, or a failure past it, is dropped: one thread would have stopped
// before reading it.

#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "files/block_ends.h"
#include "files/line_reader.h"
#include "index/block_hash.h"
#include "index/block_index.h"
#include "index/source_ranges.h"
#include "messages/messages.h"
#include "text/keyword_filter.h"
#include "text/keyword_matcher.h"
#include "text/text_rules.h"

namespace karvel {

namespace {

unsigned long ul(uint64_t v) { return static_cast<unsigned long>(v); }

struct FoundBlock {
  uint64_t offset;
  uint64_t hash;
  uint32_t lines;
  uint32_t theme;
};

// The part of the pass over one range [start, end).
struct RangePass {
  uint64_t start = 0, end = UINT64_MAX;
  std::unique_ptr<KeywordMatcher> matcher;  // none for the first range
  std::vector<FoundBlock> blocks;           // found, in order (not the first range)
  Status status = Status::OK();             // the failure that ended the range
  uint64_t stop = 0;                        // end of the last block found
};

// Reads the blocks of the range until it ends (a block without reads), until
// `limit` blocks are found, or until `abandon` is set; gives each block to
// `found`. Fails on a read error or a block longer than `max_block_lines`.
template <typename Found>
Status read_range(int fd, const SourceMap* map, const std::string& file_name,
                  KeywordMatcher& matcher, uint32_t limit, uint32_t max_block_lines,
                  const std::atomic<bool>& abandon, RangePass& range, Found found) {
  LineReader reader(fd, range.start, range.end, map);
  const TextEncoding encoding = matcher.text_encoding();
  BlockHasher hasher;
  BlockEnds ends;
  // A read's text, then zeros: the hasher and the keyword filter look past
  // its end.
  char slot[kLineSlotSize + kFilterPadding];
  LineRead read;
  for (uint32_t i = 0; i < limit; ++i) {
    if (i % 1024 == 0 && abandon.load(std::memory_order_relaxed)) break;
    uint64_t offset = reader.position();
    range.stop = offset;
    uint32_t lines = 0;
    hasher.reset();
    matcher.start_block();
    while (reader.next(&read)) {
      if (lines == max_block_lines) return Status::Error("CB_get_from_file: Too long block");
      ++lines;
      size_t length = read.copy_to_slot(slot);
      memset(slot + length, 0, kFilterPadding);
      hasher.add_read(slot, length);
      if (!matcher.decided()) {
        // A byte-order mark that begins the file is no part of its text.
        size_t mark =
            offset == 0 && lines == 1 ? byte_order_mark_length(slot, length, encoding) : 0;
        fold_text(slot + mark, length - mark, encoding);
        matcher.add_padded_line(slot + mark, length - mark);
      }
      if (ends.ends_block(read)) break;
    }
    if (reader.error() != 0) {
      return Status::Error(format_text("Can't read source file %s: %s", file_name.c_str(),
                                       strerror(reader.error())));
    }
    if (lines == 0) break;
    found(FoundBlock{offset, hasher.value(), lines, matcher.block_theme()});
  }
  range.stop = reader.position();
  return Status::OK();
}

// Reads a range other than the first into its list.
void read_later_range(int fd, const SourceMap* map, const std::string& file_name, uint32_t limit,
                      uint32_t max_block_lines, const std::atomic<bool>& abandon,
                      RangePass& range) {
  try {
    range.status = read_range(fd, map, file_name, *range.matcher, limit, max_block_lines, abandon,
                              range, [&range](const FoundBlock& b) { range.blocks.push_back(b); });
  } catch (const std::bad_alloc&) {
    range.status = Status::Error("Not enough memory for the run");
  }
  range.blocks.shrink_to_fit();
}

// The threads of the later ranges; all are joined before it goes, after a
// failure too.
class RangeThreads {
 public:
  explicit RangeThreads(std::atomic<bool>& abandon) : abandon_(abandon) {}
  ~RangeThreads() {
    abandon_ = true;
    for (std::thread& t : threads_) {
      if (t.joinable()) t.join();
    }
  }
  // Starts `work` on a thread; false when no thread could be started.
  template <typename Work>
  bool start(Work work) {
    try {
      threads_.emplace_back(work);
    } catch (const std::system_error&) {
      return false;
    }
    return true;
  }
  void join(size_t k) {
    if (k < threads_.size() && threads_[k].joinable()) threads_[k].join();
  }

 private:
  std::atomic<bool>& abandon_;
  std::vector<std::thread> threads_;
};

}  // namespace

Status find_offsets(int fd, const std::string& file_name, KeywordMatcher& matcher,
                    uint32_t block_count, uint32_t max_block_lines, BlockIndex& index,
                    Messages& messages, unsigned threads, const SourceMap* map) {
  messages.show_message("Find Offsets: %lu blocks", ul(block_count));
  std::vector<uint64_t> starts = find_range_starts(fd, threads);
  std::vector<RangePass> ranges(starts.size());
  for (size_t k = 0; k < ranges.size(); ++k) {
    ranges[k].start = starts[k];
    if (k + 1 < ranges.size()) ranges[k].end = starts[k + 1];
    if (k > 0) ranges[k].matcher = matcher.clone();
  }

  std::atomic<bool> abandon{false};
  const std::atomic<bool> never{false};
  size_t started = 1;  // ranges 1 .. started - 1 run on threads
  RangeThreads workers(abandon);
  while (started < ranges.size()) {
    RangePass* range = &ranges[started];
    auto work = [=, &file_name, &abandon] {
      read_later_range(fd, map, file_name, block_count, max_block_lines, abandon, *range);
    };
    if (!workers.start(work)) break;
    ++started;
  }

  uint32_t g = 0;                     // blocks in the index
  std::atomic<bool> stopping{false};  // a stop request came: the first range ends
  auto take = [&](const FoundBlock& b) {
    index.set_block(g, b.offset, b.lines, b.theme, b.hash);
    if (++g % 10000 == 0) messages.show_message("%-lu blocks", ul(g));
    if (g % 1024 == 0 && messages.stop_requested()) stopping.store(true);
  };
  Status status = read_range(fd, map, file_name, matcher, block_count, max_block_lines, stopping,
                             ranges[0], take);
  if (!status.ok()) return status;
  if (stopping.load()) return Status::Stopped();
  uint64_t end_offset = ranges[0].stop;
  for (size_t k = 1; k < ranges.size() && g < block_count; ++k) {
    RangePass& range = ranges[k];
    if (k < started) {
      workers.join(k - 1);
    } else {
      read_later_range(fd, map, file_name, block_count, max_block_lines, never, range);
    }
    size_t taken = 0;
    for (; taken < range.blocks.size() && g < block_count; ++taken) take(range.blocks[taken]);
    if (stopping.load()) return Status::Stopped();
    end_offset = taken < range.blocks.size() ? range.blocks[taken].offset : range.stop;
    if (g < block_count && !range.status.ok()) return range.status;
    range.blocks = std::vector<FoundBlock>();
  }

  // A source that ends before the block count (it changed): blocks without
  // reads at its end, as one thread finds them.
  BlockHasher hasher;
  matcher.start_block();
  while (g < block_count) take(FoundBlock{end_offset, hasher.value(), 0, matcher.block_theme()});
  index.set_end_offset(end_offset);
  messages.show_message("Find Offsets done");
  return Status::OK();
}

}  // namespace karvel
