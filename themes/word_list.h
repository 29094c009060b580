// Words of blocks for the similarity test: for the similar-blocks pass.
//
// The words of a line are the runs of characters between delimiters, as the
// word splitter hands them out. A word holds no delimiter, so it occurs as a
// whole word in a line exactly when it is one of that line's words. The pass
// therefore works with word numbers: the words of a theme's word lists are
// numbered once (WordDictionary), the word list of a block becomes a list of
// numbers, and every block is described by the set of the numbers of its
// words. Comparing two numbers stands for comparing two words byte for byte,
// letter case included.

#ifndef KARVEL_THEMES_WORD_LIST_H_
#define KARVEL_THEMES_WORD_LIST_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/status.h"
#include "themes/block_reads.h"

namespace karvel {

class BlockIndex;
struct SourceFile;

inline constexpr uint32_t kWordListCapacity = 2000;  // words kept per block
inline constexpr size_t kMinWordLength = 3;          // shorter words are skipped

// Numbers words, 0, 1, 2, ... in the order they are first added.
class WordDictionary {
 public:
  void clear();
  uint32_t size() const { return static_cast<uint32_t>(words_.size()); }

  // The number of the word, which is added when it is new.
  uint32_t intern(const char* text, size_t length);
  // The same in two steps: the word's hash, for which the table's memory is
  // fetched ahead, and the number. Both read 8 bytes from the word's start,
  // however short it is.
  uint64_t look_ahead(const char* text, size_t length) const;
  uint32_t intern(const char* text, size_t length, uint64_t hash);

 private:
  struct Slot {
    uint64_t head = 0;    // the word's first 8 bytes, zero-padded
    uint32_t tag = 0;     // part of its hash, and its length up to 255
    uint32_t number = 0;  // its number + 1; 0 when the slot is empty
  };
  struct Word {
    uint32_t start;  // where the word starts in text_
    uint32_t size;   // its length
  };
  uint32_t lookup(const char* text, size_t length, uint64_t hash, uint64_t head) const;  // slot
  void grow();

  std::string text_;              // the words' characters, one after another
  std::vector<Word> words_;       // by number
  std::vector<uint64_t> hashes_;  // by number: its hash
  std::vector<Slot> slots_;       // open addressing, at most half taken
};

// Reads the words of blocks, one block at a time.
class BlockWordReader {
 public:
  // Reads block b of the index once, numbering its words of 3 or more
  // characters in `dictionary`, and appends
  //   - to `list` its word list: the numbers of those words, line after line
  //     in order, repeats kept; words past the 2000th are dropped;
  //   - to `set` its word set: the number of each of those words once, in
  //     the order met, however long the block.
  // A word is taken into the set unless it was taken with the same `stamp`
  // before, so a stamp not used before starts a fresh set.
  Status read(const SourceFile& source, const BlockIndex& index, uint32_t b,
              WordDictionary& dictionary, uint32_t stamp, std::vector<uint32_t>* list,
              std::vector<uint32_t>* set);

 private:
  BlockReads reads_;
  std::vector<uint32_t> seen_;  // by word number: the stamp it was last taken with
};

}  // namespace karvel

#endif  // KARVEL_THEMES_WORD_LIST_H_
