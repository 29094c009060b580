// The source file of a run, read by offset once its blocks are indexed.
//
// Blocks are found again by the offsets that the block index recorded; a
// block's bytes are the range from its offset to the next block's offset.
// Reads never go past the size measured by the statistics pass. Once that
// size is known the file is mapped, when it can be, and read from the
// mapping (see files/source_map.h).

#ifndef KARVEL_FILES_SOURCE_FILE_H_
#define KARVEL_FILES_SOURCE_FILE_H_

#include <cstdint>
#include <string>

#include "files/source_map.h"
#include "files/status.h"
#include "files/text_encoding.h"

namespace karvel {

struct SourceFile {
  int fd = -1;                                   // open for reading
  std::string name;                              // as the user gave it, for messages
  uint64_t size = 0;                             // file_bytes of the statistics pass
  TextEncoding encoding = TextEncoding::kCp866;  // of its text, for the word lists
  SourceMap map;                                 // its first `size` bytes, when mapped

  // Reads `length` bytes at `offset` into *out. A short read (the file shrank)
  // or a failed read is an error naming the file.
  Status read_range(uint64_t offset, uint64_t length, std::string* out) const;
  // The same into the `length` bytes at `out`.
  Status read_into(uint64_t offset, uint64_t length, char* out) const;

  // After the last read: an error when a mapped file has become shorter than
  // `size`. Where a shrinking file cut its last mapped page, the mapping reads
  // zeros instead of failing, so only the file's size can tell.
  Status check_mapped_size() const;
};

}  // namespace karvel

#endif  // KARVEL_FILES_SOURCE_FILE_H_
