// The lines of one block, folded, as the keyword rules see them.
//
// A buffer of line slots (100 bytes each: at most 99 characters, the line
// feed kept, NUL-terminated), with room for the longest block of the source.

#ifndef KARVEL_TEXT_CURRENT_BLOCK_H_
#define KARVEL_TEXT_CURRENT_BLOCK_H_

#include <cstdint>
#include <vector>

#include "files/status.h"

namespace karvel {

class BlockEnds;
class LineReader;

class CurrentBlock {
 public:
  // Makes room for `capacity` lines. Fails with "Not enough memory for
  // current_block allocation".
  Status create(uint32_t capacity);

  uint32_t get_line_count() const { return line_count_; }
  const char* get_line(uint32_t i) const { return &slots_[static_cast<size_t>(i) * 100]; }

  // Reads the next block from `reader`: lines are folded and stored up to and
  // including the read that ends the block, or to the end of the file. `ends`
  // has followed the reader's earlier reads. A block longer than the capacity
  // fails with "CB_get_from_file: Too long block".
  Status CB_get_from_file(LineReader& reader, BlockEnds& ends);

  // Empties the buffer; then append_line adds lines as read (folded here).
  void clear() { line_count_ = 0; }
  Status append_line(const char* text_with_nul);

 private:
  std::vector<char> slots_;  // capacity_ slots of 100 bytes
  uint32_t capacity_ = 0;
  uint32_t line_count_ = 0;
};

}  // namespace karvel

#endif  // KARVEL_TEXT_CURRENT_BLOCK_H_
