// Cutting a file into line reads, and the buffered sequential reader.

#include "files/line_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/source_map.h"

namespace karvel {

namespace {
constexpr size_t kBufferSize = 256 << 10;
}  // namespace

LineRead cut_line_read(const char* p, size_t available) {
  LineRead read;
  read.bytes = p;
  size_t window = available < kReadLookahead ? available : kReadLookahead;
  const char* lf = static_cast<const char*>(memchr(p, '\n', window));
  if (lf != nullptr) {
    size_t f = static_cast<size_t>(lf - p);
    bool crlf = f >= 1 && p[f - 1] == '\r';
    // Characters before the line feed: f, or f - 1 when a CR goes with it.
    size_t chars_before = crlf ? f - 1 : f;
    if (chars_before < kMaxReadChars) {
      read.raw_length = static_cast<uint32_t>(f + 1);
      read.crlf = crlf;
      return read;
    }
  }
  read.raw_length = static_cast<uint32_t>(window < kMaxReadChars ? window : kMaxReadChars);
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
  const void* nul = memchr(slot, '\0', n);
  return nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - slot) : n;
}

size_t LineRead::text_length() const {
  const void* nul = memchr(bytes, '\0', raw_length);
  if (nul == nullptr) return length();
  return static_cast<size_t>(static_cast<const char*>(nul) - bytes);
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
