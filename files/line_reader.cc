// Cutting a file into line reads, and the buffered sequential reader.

#include "files/line_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "files/source_map.h"

namespace karvel {

namespace {
constexpr size_t kBufferSize = 256 << 10;
}  // namespace

namespace {

// Bytes looked at by the cut when that many are in view: sixteen at a time.
constexpr size_t kCutView = 112;

#if defined(__SSE2__)
// The place of the lowest bit set in m, or 128 when none is.
size_t lowest_bit(unsigned __int128 m) {
  uint64_t low = static_cast<uint64_t>(m), high = static_cast<uint64_t>(m >> 64);
  if (low != 0) return static_cast<size_t>(__builtin_ctzll(low));
  return high != 0 ? 64 + static_cast<size_t>(__builtin_ctzll(high)) : 128;
}
#endif

// The read's length and line end once its first line feed is known (or
// not: f == SIZE_MAX), as every cut takes them.
void take_line_end(LineRead* read, const char* p, size_t window, size_t f) {
  if (f < window) {
    bool crlf = f >= 1 && p[f - 1] == '\r';
    // Characters before the line feed: f, or f - 1 when a CR goes with it.
    size_t chars_before = crlf ? f - 1 : f;
    if (chars_before < kMaxReadChars) {
      read->raw_length = static_cast<uint32_t>(f + 1);
      read->crlf = crlf;
      return;
    }
  }
  read->raw_length = static_cast<uint32_t>(window < kMaxReadChars ? window : kMaxReadChars);
}

}  // namespace

LineRead cut_line_read(const char* p, size_t available) {
  LineRead read;
  read.bytes = p;
  size_t window = available < kReadLookahead ? available : kReadLookahead;
#if defined(__SSE2__)
  if (available >= kCutView) {
    // The line feeds and NULs of the bytes in view, one bit each.
    unsigned __int128 feeds = 0, nuls = 0;
    for (size_t v = 0; v < kCutView / 16; ++v) {
      __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * v));
      uint32_t feed =
          static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'))));
      uint32_t nul =
          static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_setzero_si128())));
      feeds |= static_cast<unsigned __int128>(feed) << (16 * v);
      nuls |= static_cast<unsigned __int128>(nul) << (16 * v);
    }
    take_line_end(&read, p, window, lowest_bit(feeds));
    read.text = static_cast<uint32_t>(std::min<size_t>(read.length(), lowest_bit(nuls)));
    return read;
  }
#endif
  const char* lf = static_cast<const char*>(memchr(p, '\n', window));
  take_line_end(&read, p, window, lf != nullptr ? static_cast<size_t>(lf - p) : SIZE_MAX);
  const void* nul = memchr(p, '\0', read.raw_length);
  read.text =
      nul != nullptr ? static_cast<uint32_t>(static_cast<const char*>(nul) - p) : read.length();
  return read;
}

size_t LineRead::copy_to_slot(char* slot) const {
  uint32_t n = length();
  if (crlf) {
    memcpy(slot, bytes, n - 1);
    slot[n - 1] = '\n';
  } else {
    memcpy(slot, bytes, n);
  }
  slot[n] = '\0';
  return text;
}

LineReader::LineReader(int fd, uint64_t start, uint64_t end, const SourceMap* map)
    : fd_(fd),
      end_(end),
      map_(map),
      buffer_(static_cast<char*>(malloc(kBufferSize))),
      capacity_(kBufferSize) {
  buffer_offset_ = start;
  if (buffer_ == nullptr) {
    error_ = ENOMEM;
    at_eof_ = true;
  }
}

LineReader::~LineReader() { free(buffer_); }

void LineReader::seek(uint64_t offset) {
  uint64_t buffered_end = buffer_offset_ + limit_;
  if (offset >= buffer_offset_ && offset <= buffered_end) {
    begin_ = static_cast<size_t>(offset - buffer_offset_);
    return;
  }
  buffer_offset_ = offset;
  begin_ = 0;
  limit_ = 0;
  at_eof_ = buffer_ == nullptr;
}

bool LineReader::fill() {
  if (begin_ > 0) {
    memmove(buffer_, buffer_ + begin_, limit_ - begin_);
    buffer_offset_ += begin_;
    limit_ -= begin_;
    begin_ = 0;
  }
  while (limit_ < capacity_) {
    uint64_t offset = buffer_offset_ + limit_;
    if (offset >= end_) {
      at_eof_ = true;
      return true;
    }
    size_t want = capacity_ - limit_;
    if (end_ - offset < want) want = static_cast<size_t>(end_ - offset);
    ssize_t got = map_ != nullptr ? map_->read_within_file(fd_, buffer_ + limit_, want, offset)
                                  : pread(fd_, buffer_ + limit_, want, static_cast<off_t>(offset));
    if (got < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      at_eof_ = true;
      return false;
    }
    if (got == 0) {
      at_eof_ = true;
      return true;
    }
    limit_ += static_cast<size_t>(got);
  }
  return true;
}

bool LineReader::next(LineRead* read) {
  if (limit_ - begin_ < kReadLookahead && !at_eof_) {
    if (!fill()) return false;
  }
  size_t available = limit_ - begin_;
  if (available == 0) return false;
  *read = cut_line_read(buffer_ + begin_, available);
  begin_ += read->raw_length;
  return true;
}

}  // namespace karvel
