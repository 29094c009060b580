// The blocks that may be similar to a left-hand block, found without trying
// every later block: for the similar-blocks pass.
//
// The word test of a pair (see similar_blocks.h) asks that
//   found * 100 >= count * similarity_ratio                (unsigned 32-bit)
// where `count` is the size of the left-hand block p's word list and `found`
// the number of its entries whose word is in block q's word set. With the
// product reduced to 32 bits as the test takes it, q passes exactly when
// found >= need = ceil(product / 100). Order the distinct words of p's list
// from the rarest (held by the fewest blocks of the theme) to the most
// common, and cut the order after the shortest prefix whose remaining words
// stand fewer than `need` times in the list: a block holding none of the
// prefix words finds fewer than `need` words, so it cannot pass. The
// candidates for p are therefore the blocks holding a prefix word, taken from
// the word-to-blocks table of those words alone. While the table's entries
// of the next words are few compared with the candidates, they are read too,
// counting the entries found so far in each candidate; a candidate whose
// count, with every entry of the words not read, stays below `need` is
// dropped. The others are tried with the exact count. When need is 0 every
// block passes the word test, and every alive block of the range is a
// candidate.
//
// Words are numbered from the rarest to the most common, and each word set
// is kept in increasing number, so a list's words come rarest first without
// a sort; a word held by the left-hand block alone gives no candidate.
// Entries of the table that lie at or before the left-hand block can never
// be candidates again (left-hand positions only grow), nor those of a block
// no longer alive (blocks only ever die), so they are dropped as they are
// met (those of dead blocks while candidates are gathered).

#ifndef KARVEL_THEMES_SIMILAR_CANDIDATES_H_
#define KARVEL_THEMES_SIMILAR_CANDIDATES_H_

#include <cstdint>
#include <vector>

#include "files/status.h"
#include "themes/word_list.h"

namespace karvel {

class BlockIndex;
class Messages;
class ProgramConfiguration;
struct SourceFile;
struct ThemeBlocks;

class SimilarCandidates {
 public:
  // The word lists and word sets of the theme's alive blocks, and the
  // word-to-blocks table. Blocks dead now never take part. In a large theme
  // the current-block field shows the reading go on, and a stop request
  // ends it with `stopped`.
  Status prepare(const ThemeBlocks& theme, const SourceFile& source, const BlockIndex& index,
                 const ProgramConfiguration& configuration, Messages& messages,
                 const Status& stopped);
  void release();

  // Makes the word list of the block at p the current one and gathers its
  // candidates among the positions p + 1 to `last`, for the ratio.
  void start(const ThemeBlocks& theme, uint32_t p, uint32_t last, uint32_t similarity_ratio);
  // The next candidate, in increasing position, alive when it is handed out;
  // false when there is none left.
  bool next(const ThemeBlocks& theme, uint32_t* q);
  // The word test of the current word list against the block at q.
  bool words_similar(uint32_t q) const;

 private:
  // The first alive position at or after q (n when there is none); dead
  // positions are linked past, so each is skipped once.
  uint32_t next_alive(const ThemeBlocks& theme, uint32_t q);
  // The entries of word w's blocks in the current range; the entries
  // before it, at or before p, are dropped.
  struct Entries {
    uint32_t* from;
    uint32_t* stop;
    size_t size() const { return static_cast<size_t>(stop - from); }
  };
  Entries in_range(uint32_t w, uint32_t p);
  // Fetches the table's parts for the words a few places after the k-th.
  void look_ahead(size_t k) const;
  // Adds w's weight to the found count of the blocks of `entries` that are
  // candidates; with gather() the others alive become candidates (the
  // entries of dead blocks are dropped). Both return the number of entries.
  size_t gather(const ThemeBlocks& theme, uint32_t w, Entries entries);
  size_t tally(uint32_t w, Entries entries);
  // Drops the candidates that found fewer than `least` entries.
  void drop_hopeless(uint64_t least);

  WordDictionary dictionary_;
  std::vector<uint32_t> list_start_;  // by position: where its word list starts in list_words_
  std::vector<uint32_t> list_words_;  // the word lists, position after position
  std::vector<uint32_t> set_start_;   // by position: where its word set starts in set_words_
  std::vector<uint32_t> set_words_;   // the word sets, position after position, each increasing
  std::vector<uint32_t> holders_;     // positions of the blocks holding each word, increasing
  struct Span {
    uint32_t first;  // its first entry of holders_ still kept
    uint32_t end;    // the end of its entries
  };
  std::vector<Span> spans_;           // by word number: its entries of holders_
  std::vector<uint16_t> weight_;      // by word number: times it stands in the current list,
                                      // 0 once its blocks have been read
  std::vector<uint32_t> skip_;        // by position: a position at or before the next alive one
  uint32_t lone_words_ = 0;           // words held by one block: numbered 0 to this - 1
  std::vector<uint32_t> distinct_;    // the current list's words, each once, rarest first
  std::vector<uint32_t> candidates_;  // the current candidates: the first candidate_count_
  uint32_t candidate_count_ = 0;
  std::vector<uint16_t> found_;  // by position: entries of the current list found in the
                                 // words read for a candidate; 0 for any other block
  uint32_t product_ = 0;         // count * similarity_ratio, modulo 2^32
  uint32_t last_ = 0;            // the last position of the current range
  uint32_t at_ = 0;              // next candidate: index, or position when every_block_
  bool every_block_ = false;     // need is 0: every alive position is a candidate
};

}  // namespace karvel

#endif  // KARVEL_THEMES_SIMILAR_CANDIDATES_H_
