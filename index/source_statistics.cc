// The statistics pass: the first read of the source, which counts its bytes,
// line reads and blocks before anything else of the run reads it.

#include "index/source_statistics.h"

#include <unistd.h>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

#include "files/block_ends.h"
#include "files/line_reader.h"
#include "messages/messages.h"
#include "text/utf8_check.h"
#include "text/utf8_vectors.h"

namespace karvel {

namespace {

unsigned long ul(uint64_t v) { return static_cast<unsigned long>(v); }

// Block numbers carry the written flag in bit 31, so a source can have at most
// this many blocks.
constexpr uint32_t kMaxBlocks = 0x7FFFFFFF;

// Progress of the statistics pass: a line every 80000 line reads.
constexpr uint64_t kProgressLines = 80000;

// Bytes of the file kept in memory before the buffer, and NULs after its end,
// for the in-place UTF-8 check.
constexpr size_t kBytesBefore = 64;
constexpr size_t kNulsAfter = 32;

}  // namespace

namespace {

// Counts line reads for the statistics pass. Whole lines of text without NUL
// bytes are counted from their length alone; anything else is cut read by
// read, exactly as the block reader cuts it. Blocks end by the rule of
// BlockEnds: in text without NUL that is a line of nothing but its line feed
// (or CR LF), and only where it begins a line of the file.
//
// With `utf8` (in-place form) the bytes are checked too, in the walk that
// finds the line feeds where there is one, until the first fault. The buffer
// has the file's kBytesBefore bytes before it, and kNulsAfter NULs after
// the file's end.
class StatisticsCounter {
 public:
  StatisticsCounter(FileStatistics& statistics, Messages& messages, Utf8Check* utf8)
      : s_(statistics), messages_(messages), utf8_(utf8) {}

  // Counts what it can of buffer[0, n): everything when `at_eof`, otherwise up
  // to a point from which the rest is counted once more bytes follow. Returns
  // the number of bytes counted, which the caller then drops from the buffer.
  // Returns false when the source has more blocks than block numbers allow.
  bool count(const char* buffer, size_t n, bool at_eof, size_t* counted);

 private:
  size_t count_lines(const char* p, size_t pos, size_t n, bool* ok);
  // Checks p[utf8_from_, end) for UTF-8 where it was not checked yet.
  void check_utf8(const char* p, size_t end);

 public:
  // Shows "%lu lines" for every multiple of 80000 up to `lines`.
  __attribute__((noinline, cold)) void show_progress(uint64_t lines, uint64_t* next_mark);

 private:
  // `reads` line reads, the last of which ends the block when `ends_block`,
  // the longest `longest` characters.
  // Returns false when the source has more blocks than block numbers allow.
  bool add_reads(uint64_t reads, bool ends_block, uint32_t longest) {
    s_.file_lines += reads;
    while (s_.file_lines >= next_mark_) {
      messages_.show_message("%lu lines", ul(next_mark_));
      next_mark_ += kProgressLines;
    }
    running_ += reads;
    if (longest > s_.max_len_line) s_.max_len_line = longest;
    if (!ends_block) return true;
    if (running_ > s_.max_block_lines) s_.max_block_lines = static_cast<uint32_t>(running_);
    running_ = 0;
    if (s_.file_blocks == kMaxBlocks) return false;
    ++s_.file_blocks;
    return true;
  }

  FileStatistics& s_;
  Messages& messages_;
  BlockEnds ends_;                       // whether the next read begins a line
  Utf8Check* utf8_;                      // null when not checking (any more)
  size_t utf8_from_ = 0;                 // buffer offset of the first unchecked byte
  uint64_t running_ = 0;                 // line reads of the block being counted
  uint64_t next_mark_ = kProgressLines;  // next multiple of 80000 line reads
};

// The counters of the line loop, kept in registers while it runs.
struct LineTally {
  uint64_t lines;          // file_lines
  uint64_t running;        // line reads of the block being counted
  uint64_t next_mark;      // next multiple of 80000 line reads
  uint32_t blocks;         // file_blocks
  uint32_t longest_line;   // max_len_line
  uint32_t longest_block;  // max_block_lines
  bool too_many;           // more blocks than block numbers allow
};

// Counts the line of `chars` characters, its line feed included;
// `begins_line` is false for the rest of a line whose first reads were
// counted before. Returns true when a progress mark was passed.
inline __attribute__((always_inline)) bool tally_line(LineTally& t, size_t chars,
                                                      bool begins_line) {
  uint64_t reads = 1;
  // Only a line of nothing but its line feed begins with an empty read; the
  // lone line feed after 99, 198, ... characters ends no block.
  bool ends_block = begins_line && chars == 1;
  if (chars > kMaxReadChars) {
    reads = (chars + kMaxReadChars - 1) / kMaxReadChars;
    chars = kMaxReadChars;
  }
  if (chars > t.longest_line) t.longest_line = static_cast<uint32_t>(chars);
  t.lines += reads;
  t.running += reads;
  if (ends_block) {
    if (t.running > t.longest_block) t.longest_block = static_cast<uint32_t>(t.running);
    t.running = 0;
    t.too_many |= t.blocks == kMaxBlocks;
    ++t.blocks;
  }
  return t.lines >= t.next_mark;
}

#if defined(__x86_64__)
// A bit for every line feed of p[0, 64).
inline __attribute__((always_inline)) uint64_t line_feeds_sse2(const char* p) {
  const __m128i lf = _mm_set1_epi8('\n');
  uint64_t mask = 0;
  for (int k = 0; k < 4; ++k) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    uint64_t bits = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf)));
    mask |= bits << (16 * k);
  }
  return mask;
}

__attribute__((target("avx2"), always_inline)) inline uint64_t line_feeds_avx2(const char* p) {
  const __m256i lf = _mm256_set1_epi8('\n');
  __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
  uint64_t low_bits = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, lf)));
  uint64_t high_bits = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, lf)));
  return low_bits | high_bits << 32;
}
#endif

// Counts the lines whose line feeds are the bits of `mask`, the line feeds of
// p[i, i + 64). This runs once for every line of the source.
inline __attribute__((always_inline)) void take_line_feeds(uint64_t mask, const char* p, size_t i,
                                                           LineTally& t, size_t* line_start,
                                                           StatisticsCounter* counter) {
  while (mask != 0) {
    size_t f = i + static_cast<size_t>(__builtin_ctzll(mask));
    mask &= mask - 1;
    size_t chars = f - *line_start + 1 - (f > *line_start && p[f - 1] == '\r');
    *line_start = f + 1;
    if (tally_line(t, chars, true)) counter->show_progress(t.lines, &t.next_mark);
  }
}

#if defined(__x86_64__)
// Counts the lines of p[i, n) sixty-four bytes at a time; returns the offset
// of the bytes left over. The second form uses the wider comparisons of
// processors that have them.
size_t count_line_feeds(const char* p, size_t i, size_t n, LineTally& t, size_t* line_start,
                        StatisticsCounter* counter) {
  for (; i + 64 <= n; i += 64)
    take_line_feeds(line_feeds_sse2(p + i), p, i, t, line_start, counter);
  return i;
}

__attribute__((target("avx2"))) size_t count_line_feeds_avx2(const char* p, size_t i, size_t n,
                                                             LineTally& t, size_t* line_start,
                                                             StatisticsCounter* counter) {
  for (; i + 64 <= n; i += 64)
    take_line_feeds(line_feeds_avx2(p + i), p, i, t, line_start, counter);
  return i;
}

// The same, checking the bytes for UTF-8 as they are loaded (p[i - 32, i) are
// the file's bytes before them).
__attribute__((target("avx2"))) size_t count_line_feeds_utf8(const char* p, size_t i, size_t n,
                                                             LineTally& t, size_t* line_start,
                                                             StatisticsCounter* counter,
                                                             Utf8Check* utf8) {
  if (i + 64 > n) return i;
  const __m256i lf = _mm256_set1_epi8('\n');
  __m256i previous = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i - 32));
  __m256i errors = _mm256_setzero_si256();
  __m256i incomplete = utf8_vectors::ends_incomplete(previous);
  bool multibyte = false;
  for (; i + 64 <= n; i += 64) {
    __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 32));
    uint64_t low_bits = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, lf)));
    uint64_t high_bits = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, lf)));
    multibyte |= utf8_vectors::check_64(low, high, previous, errors, incomplete);
    take_line_feeds(low_bits | high_bits << 32, p, i, t, line_start, counter);
  }
  // A character cut off at i is left to the check of the bytes from i.
  utf8->add_found(!_mm256_testz_si256(errors, errors), multibyte);
  return i;
}
#endif

// Counts the lines of p[pos, n) that end at a line feed; returns the offset
// after the last of them.
size_t StatisticsCounter::count_lines(const char* p, size_t pos, size_t n, bool* ok) {
  LineTally t = {s_.file_lines,   running_,           next_mark_, s_.file_blocks,
                 s_.max_len_line, s_.max_block_lines, false};
  size_t line_start = pos;
  size_t i = pos;
  if (!ends_.begins_line()) {
    // The rest of a line whose first reads were counted before.
    const char* lf = static_cast<const char*>(memchr(p + pos, '\n', n - pos));
    if (lf == nullptr) {
      i = n;
    } else {
      size_t f = static_cast<size_t>(lf - p);
      size_t chars = f - pos + 1 - (f > pos && p[f - 1] == '\r');
      line_start = i = f + 1;
      if (tally_line(t, chars, false)) show_progress(t.lines, &t.next_mark);
    }
  }
#if defined(__x86_64__)
  static const bool wide = __builtin_cpu_supports("avx2");
  if (utf8_ != nullptr) {
    // (Only where the processor has AVX2.)
    check_utf8(p, i);
    i = count_line_feeds_utf8(p, i, n, t, &line_start, this, utf8_);
    utf8_from_ = std::max(utf8_from_, i);
  } else {
    i = wide ? count_line_feeds_avx2(p, i, n, t, &line_start, this)
             : count_line_feeds(p, i, n, t, &line_start, this);
  }
#endif
  for (; i < n; ++i) {
    if (p[i] != '\n') continue;
    size_t chars = i - line_start + 1 - (i > line_start && p[i - 1] == '\r');
    line_start = i + 1;
    if (tally_line(t, chars, true)) show_progress(t.lines, &t.next_mark);
  }
  if (line_start != pos) ends_.set_begins_line(true);
  s_.file_lines = t.lines;
  running_ = t.running;
  next_mark_ = t.next_mark;
  s_.file_blocks = t.too_many ? kMaxBlocks : t.blocks;
  s_.max_len_line = t.longest_line;
  s_.max_block_lines = t.longest_block;
  *ok = !t.too_many;
  return line_start;
}

void StatisticsCounter::check_utf8(const char* p, size_t end) {
  if (utf8_ == nullptr || utf8_from_ >= end) return;
  utf8_->add_in_place(p + utf8_from_, end - utf8_from_);
  utf8_from_ = end;
}

void StatisticsCounter::show_progress(uint64_t lines, uint64_t* next_mark) {
  while (lines >= *next_mark) {
    messages_.show_message("%lu lines", ul(*next_mark));
    *next_mark += kProgressLines;
  }
}

bool StatisticsCounter::count(const char* p, size_t n, bool at_eof, size_t* counted) {
  bool ok = true;
  size_t pos = 0;
  if (memchr(p, '\0', n) == nullptr) {
    pos = count_lines(p, 0, n, &ok);
    size_t rest = n - pos;
    if (!ok || rest == 0) {
      // Nothing left over.
    } else if (at_eof) {
      // A last line without a line feed: full reads and one shorter.
      uint64_t reads = (rest + kMaxReadChars - 1) / kMaxReadChars;
      ok = add_reads(reads, false, static_cast<uint32_t>(std::min(rest, kMaxReadChars)));
      pos = n;
    } else if (rest > kMaxReadChars) {
      // Part of a long line: whole reads of 99 characters, leaving its last
      // byte, which may be a CR that goes with the next line feed.
      uint64_t reads = (rest - 1) / kMaxReadChars;
      ok = add_reads(reads, false, kMaxReadChars);
      pos += reads * kMaxReadChars;
      ends_.set_begins_line(false);
    }
  } else {
    while (ok && pos < n && (at_eof || n - pos >= kReadLookahead)) {
      LineRead read = cut_line_read(p + pos, n - pos);
      ok = add_reads(1, ends_.ends_block(read), static_cast<uint32_t>(read.text_length()));
      pos += read.raw_length;
    }
  }
  // The bytes counted leave the buffer: check them now if they were not.
  check_utf8(p, at_eof ? n + kNulsAfter : pos);
  if (utf8_ != nullptr && utf8_->failed()) utf8_ = nullptr;
  utf8_from_ -= std::min(utf8_from_, pos);
  *counted = pos;
  return ok;
}

}  // namespace

Status Get_File_Statistics(int fd, const std::string& file_name, FileStatistics& statistics,
                           Messages& messages, size_t buffer_size, Utf8Check* utf8) {
  messages.show_message("Get_File_Statistics...");
  statistics = FileStatistics();
  // The check goes into the counter's walk where it can be done in place.
  Utf8Check* in_place = utf8 != nullptr && utf8->in_place() ? utf8 : nullptr;
  StatisticsCounter counter(statistics, messages, in_place);
  const size_t capacity = std::max<size_t>(buffer_size, 2 * kReadLookahead);
  std::vector<char> memory(kBytesBefore + capacity + kNulsAfter);
  char* buffer = memory.data() + kBytesBefore;
  uint64_t offset = 0;  // file offset of buffer[0]
  size_t filled = 0;
  bool at_eof = false;
  while (!at_eof) {
    if (messages.stop_requested()) return Status::Stopped();
    ssize_t got =
        pread(fd, buffer + filled, capacity - filled, static_cast<off_t>(offset + filled));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      return Status::Error(
          format_text("Can't read source file %s: %s", file_name.c_str(), strerror(errno)));
    }
    if (utf8 != nullptr && in_place == nullptr)
      utf8->add(buffer + filled, static_cast<size_t>(got));
    filled += static_cast<size_t>(got);
    at_eof = got == 0;
    if (!at_eof && filled < capacity) continue;
    if (at_eof) memset(buffer + filled, 0, kNulsAfter);
    size_t counted = 0;
    if (!counter.count(buffer, filled, at_eof, &counted)) {
      return Status::Error(format_text("Source file %s has too many blocks", file_name.c_str()));
    }
    memmove(buffer - kBytesBefore, buffer + counted - kBytesBefore, kBytesBefore);
    memmove(buffer, buffer + counted, filled - counted);
    offset += counted;
    filled -= counted;
  }
  statistics.file_bytes = offset + filled;
  messages.show_message("Done");
  return Status::OK();
}

}  // namespace karvel
