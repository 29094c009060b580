// Equal blocks of a theme: for the theme workspace's delete_equal_blocks.
//
// Two blocks are equal when they have the same number of line reads and each
// read's text is the same, compared up to its first NUL (the slot string of
// the read, a CR LF read as a line feed). Letter case counts.
//
// The theme's blocks are never held in memory together. Blocks of equal
// length are grouped by their fingerprint (BlockIndex::content_hash, equal for
// equal blocks), and only blocks that share length and fingerprint are read
// back from the source and compared read by read. Among the blocks equal to
// each other the one at the lowest sorted position survives, as when every
// alive block is compared with every later block of its length.

#ifndef KARVEL_THEMES_EQUAL_BLOCKS_H_
#define KARVEL_THEMES_EQUAL_BLOCKS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/status.h"

namespace karvel {

class BlockIndex;
class Messages;
struct FileStatistics;
struct SourceFile;
struct ThemeBlocks;

// 1 when the two blocks, given as their bytes as stored in the source, have
// the same line reads, else 0.
int blocks_equal(const char* a, size_t a_size, const char* b, size_t b_size);

class EqualBlocks {
 public:
  // Makes room for themes of up to `max_blocks` blocks. Returns false when
  // memory is short.
  bool reserve(uint32_t max_blocks);
  void release();

  // Sets every alive flag, then deletes every block equal to one at a lower
  // sorted position: clears its alive flag, sets its written flag and adds its
  // size to deleted_equal_bytes. Shows "0", then every position i (0 .. n-2)
  // that is a multiple of 10 and still alive, in the current-block field;
  // "%lu equal blocks found" in the output list when any were found, which
  // adds them to equal_blocks. A failed read of the source is an error.
  Status delete_equal_blocks(ThemeBlocks& theme, const SourceFile& source, BlockIndex& index,
                             FileStatistics& statistics, Messages& messages);

 private:
  struct Candidate {
    uint64_t hash;      // fingerprint of the block
    uint32_t position;  // sorted position of the block
  };

  // Sets *equal to blocks_equal of blocks a and b of the index (block
  // numbers), reading them from the source.
  Status compare_blocks(const SourceFile& source, const BlockIndex& index, uint32_t a, uint32_t b,
                        int* equal);
  Status read_block(const SourceFile& source, const BlockIndex& index, uint32_t b,
                    std::string* bytes, uint32_t* held);

  std::vector<Candidate> candidates_;  // one equal-length run, ordered by (hash, position)
  std::vector<uint32_t> survivors_;    // block numbers of the distinct blocks of one group
  std::string first_bytes_;            // bytes of block first_held_
  uint32_t first_held_ = UINT32_MAX;   // block whose bytes first_bytes_ holds
  std::string second_bytes_;           // bytes of block second_held_
  uint32_t second_held_ = UINT32_MAX;  // block whose bytes second_bytes_ holds
};

}  // namespace karvel

#endif  // KARVEL_THEMES_EQUAL_BLOCKS_H_
