// Line reads: the unit in which every text file of a run is read.
//
// A line read takes at most 99 characters, or fewer through the next line
// feed, the way a line read into a 100-byte slot does. A longer line is taken
// in several reads, all but the last without a line feed, and each read counts
// as one line everywhere: block lengths, statistics, keywords.
//
// Line ends: a CR immediately followed by LF reads as the LF alone. The CR is
// not one of the read's characters and does not count toward the 99, so a CR LF
// file gives the same reads as its LF twin. A lone CR is an ordinary
// character. Offsets and sizes are those of the bytes as stored, CR included,
// and copies write the stored bytes.
//
// NUL bytes are characters of a read (they count toward the 99), but the tests
// of a line (empty, fold, match, words, length) see its text only up to the
// first NUL, as a C string in a slot would hold it.

#ifndef KARVEL_FILES_LINE_READER_H_
#define KARVEL_FILES_LINE_READER_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace karvel {

inline constexpr size_t kLineSlotSize = 100;  // 99 characters and the NUL
inline constexpr size_t kMaxReadChars = 99;
// Bytes a reader must have in view (or the end of the file) to cut one read.
inline constexpr size_t kReadLookahead = 100;

struct LineRead {
  const char* bytes = nullptr;  // the read's bytes as stored in the file
  uint32_t raw_length = 0;      // bytes taken from the file, 1 to 100
  uint32_t text = 0;            // characters before the first NUL (or all of them)
  bool crlf = false;            // ends with CR LF, which reads as one line feed

  // Number of characters of the read, its line feed included.
  uint32_t length() const { return crlf ? raw_length - 1 : raw_length; }

  // True when the read is empty: its first character is a line feed or NUL.
  // Whether an empty read ends its block is decided by BlockEnds.
  bool is_empty() const {
    return bytes[0] == '\n' || bytes[0] == '\0' || (crlf && raw_length == 2);
  }

  // True when the read ends with a line feed: the next read begins a line.
  bool ends_line() const { return bytes[raw_length - 1] == '\n'; }

  // Copies the characters into `slot` (kLineSlotSize bytes) and ends them
  // with a NUL. Returns the length of the text up to its first NUL.
  size_t copy_to_slot(char* slot) const;

  // Length of the text up to its first NUL (the length of the slot's string).
  size_t text_length() const { return text; }
};

// Cuts the read that starts at `p`. `available` is the number of bytes in view
// from p: at least kReadLookahead, or all that is left of the file. Requires
// available > 0.
LineRead cut_line_read(const char* p, size_t available);

class SourceMap;

// Reads a file sequentially in line reads, through large buffers.
//
// The bytes of a LineRead stay valid until the next call of next() or seek().
class LineReader {
 public:
  // Reads the file open as `fd` from `start` up to `end` (or its end of file);
  // through `map` when it is given (the file's mapping, mapped or not).
  explicit LineReader(int fd, uint64_t start = 0, uint64_t end = UINT64_MAX,
                      const SourceMap* map = nullptr);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Takes the next read. Returns false at the end of the file, or when the
  // file could not be read (error() then tells why).
  bool next(LineRead* read);

  // File offset of the next read.
  uint64_t position() const { return buffer_offset_ + begin_; }

  // Continues at `offset`; the next read starts there.
  void seek(uint64_t offset);

  // errno of the read that failed, 0 when none failed.
  int error() const { return error_; }

 private:
  bool fill();

  int fd_;
  uint64_t end_;
  const SourceMap* map_;
  char* buffer_;
  size_t capacity_;
  uint64_t buffer_offset_ = 0;  // file offset of buffer_[0]
  size_t begin_ = 0;            // next unread byte in the buffer
  size_t limit_ = 0;            // bytes in the buffer
  bool at_eof_ = false;         // nothing of the file lies beyond the buffer
  int error_ = 0;
};

// Calls `take` for each read of the bytes [p, p + n), in order, where the end
// of the range counts as the end of the file. Used for a block or a tail whose
// bytes were read as a whole.
template <typename Take>
void for_each_line_read(const char* p, size_t n, Take take) {
  while (n > 0) {
    LineRead read = cut_line_read(p, n);
    take(read);
    p += read.raw_length;
    n -= read.raw_length;
  }
}

}  // namespace karvel

#endif  // KARVEL_FILES_LINE_READER_H_
