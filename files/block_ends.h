// Where blocks end: the one rule that every pass cutting the source into
// blocks follows (the statistics pass, the block index, the block reader).
//
// A block ends with an empty read (its first character is a line feed or
// NUL) that begins a line of the file: the file's first read, or a read after
// one that ended with a line feed. So a real empty line ends its block, and so
// does a line that begins with NUL. An empty read in the middle of a line --
// the lone line feed after a line of 99, 198, ... characters, or a read of a
// long line that begins with NUL -- is an ordinary read of its block: it
// counts as a line read like any other, and holds no word.

#ifndef KARVEL_FILES_BLOCK_ENDS_H_
#define KARVEL_FILES_BLOCK_ENDS_H_

#include "files/line_reader.h"

namespace karvel {

// Follows the reads of a file, in order, from its first.
class BlockEnds {
 public:
  // Takes the file's next read; true when it ends its block.
  bool ends_block(const LineRead& read) {
    bool ends = begins_line_ && read.is_empty();
    begins_line_ = read.ends_line();
    return ends;
  }

  // True when the next read begins a line of the file.
  bool begins_line() const { return begins_line_; }
  // For a pass that counts whole lines by itself rather than read by read.
  void set_begins_line(bool begins_line) { begins_line_ = begins_line; }

 private:
  bool begins_line_ = true;
};

}  // namespace karvel

#endif  // KARVEL_FILES_BLOCK_ENDS_H_
