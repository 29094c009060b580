// The line reads of one block, read back from the source by the block's
// offset: for the passes that look at a block's text (word lists, the
// similarity question).
//
// A block up to a megabyte is read whole with one read of the source; a
// bigger one is streamed, so that no block is ever held whole in memory.

#ifndef KARVEL_THEMES_BLOCK_READS_H_
#define KARVEL_THEMES_BLOCK_READS_H_

#include <cstdint>
#include <memory>
#include <string>

#include "files/line_reader.h"
#include "files/status.h"
#include "text/line_words.h"

namespace karvel {

class BlockIndex;
struct SourceFile;

// Readable bytes after each read of a block held whole.
inline constexpr size_t kReadPadding = kLineWordsWindow;

class BlockReads {
 public:
  BlockReads();
  ~BlockReads();
  BlockReads(const BlockReads&) = delete;
  BlockReads& operator=(const BlockReads&) = delete;

  // Starts on block b. A failed read of the source is an error.
  Status open(const SourceFile& source, const BlockIndex& index, uint32_t b);

  // Takes the block's next read; false after its last one, or when the
  // source could not be read (status() then tells why).
  bool next(LineRead* read);

  Status status() const { return status_; }

  // Whether the bytes of every read are followed by at least
  // kReadPadding readable bytes: true unless the block is streamed.
  bool padded() const { return stream_ == nullptr; }

 private:
  const SourceFile* source_ = nullptr;  // source of a streamed block
  std::string bytes_;                   // the block's bytes, when read whole, and room after
  size_t size_ = 0;                     // the block's bytes in bytes_
  size_t position_ = 0;                 // next unread byte of bytes_
  std::unique_ptr<LineReader> stream_;  // reader of a streamed block, else absent
  Status status_;                       // the first failure
};

}  // namespace karvel

#endif  // KARVEL_THEMES_BLOCK_READS_H_
