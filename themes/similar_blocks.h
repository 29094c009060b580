// The similar-blocks pass of a theme: pairs of similar blocks found, decided
// (kept, one deleted, or grouped) and the groups copied to the doubles file.
// For the theme workspace's find_similar_blocks.
//
// Block q is similar to block p (p at the lower sorted position) when
//   length(p) * 100 >= length(q) * length_ratio            (unsigned 32-bit)
// and, with the word list of p (its words of 3 or more characters, at most
// 2000, repeats kept) holding `count` words of which `found` occur as whole
// words in some line of q,
//   found * 100 >= count * similarity_ratio                (unsigned 32-bit).
// A word occurs as a whole word in a line exactly when it is one of the
// line's words, so `found` is counted on word numbers (see word_list.h): it
// is the sum, over the distinct words of p's word list, of the times the word
// stands in the list, for the words that are in q's word set.
//
// The counts of one left-hand block p against all later blocks are made at
// once from a word-to-blocks table (for each word, the positions of the
// blocks whose word set holds it), so a left-hand block costs the blocks
// that share a word with it, not every later block.

#ifndef KARVEL_THEMES_SIMILAR_BLOCKS_H_
#define KARVEL_THEMES_SIMILAR_BLOCKS_H_

#include <cstdint>
#include <vector>

#include "files/status.h"
#include "themes/doubles_list.h"
#include "themes/word_list.h"

namespace karvel {

class BlockIndex;
class Messages;
class OutputFile;
class ProgramConfiguration;
struct FileStatistics;
struct SourceFile;
struct ThemeBlocks;

// Themes of this many blocks or more are not searched for similar blocks.
inline constexpr uint32_t kSimilarSearchLimit = 500;

// The decision on a similar pair, by the user or automatically.
enum UserChoice : uint32_t {
  CHOICE_KEEP_BOTH = 0,      // both blocks stay
  CHOICE_DELETE_FIRST = 1,   // delete the block at the lower sorted position
  CHOICE_DELETE_SECOND = 2,  // delete the other block
  CHOICE_GROUP = 3,          // record the pair in the doubles list
};

class SimilarBlocks {
 public:
  // The whole pass for the loaded theme, the doubles file included. Returns
  // at once for a theme of no blocks or of kSimilarSearchLimit blocks or
  // more; otherwise clears the doubles list and shows the theme's number of
  // blocks, and searches when check_similarity is on. A full doubles list
  // ends the pass with its plain message; nothing is written then.
  Status find_similar_blocks(ThemeBlocks& theme, const SourceFile& source, OutputFile& doubles,
                             BlockIndex& index, ProgramConfiguration& configuration,
                             FileStatistics& statistics, Messages& messages);

  void release();

 private:
  // The word lists and the word-to-blocks table of the alive blocks.
  Status prepare(const ThemeBlocks& theme, const SourceFile& source, const BlockIndex& index);
  // Makes the word list of position p the current one, and counts its words
  // in every later block.
  void build_word_list(uint32_t p);
  // Clears the counts of the blocks after p (of n) for the next left-hand block.
  void clear_word_list(uint32_t p, uint32_t n);
  int blocks_similar(const ThemeBlocks& theme, const ProgramConfiguration& configuration,
                     uint32_t p, uint32_t q) const;
  Status ask_user_choice(const ThemeBlocks& theme, const SourceFile& source,
                         const BlockIndex& index, ProgramConfiguration& configuration,
                         Messages& messages, uint32_t p, uint32_t q, UserChoice* choice);
  Status show_block(const ThemeBlocks& theme, const SourceFile& source, const BlockIndex& index,
                    Messages& messages, uint32_t p);

  DoublesList doubles_list_;
  WordDictionary dictionary_;
  WordList word_list_;                   // scratch while the lists are made
  std::vector<uint32_t> list_start_;     // by position: where its word list starts in list_words_
  std::vector<uint32_t> list_words_;     // the word lists, position after position
  std::vector<uint32_t> set_start_;      // by position: where its word set starts in set_words_
  std::vector<uint32_t> set_words_;      // the word sets, position after position
  std::vector<uint32_t> seen_;           // by word number: position + 1 of the last set taking it
  std::vector<uint32_t> holders_start_;  // by word number: where its blocks start in holders_
  std::vector<uint32_t> holders_;        // positions of the blocks holding each word, increasing
  std::vector<uint32_t> cursor_;         // by word number: first entry of holders_ not yet passed
  std::vector<uint16_t> marks_;          // by word number: times it stands in the current word list
  std::vector<uint32_t> found_;          // by position: words of the current list found there
  uint32_t count_ = 0;                   // words in the current word list
};

}  // namespace karvel

#endif  // KARVEL_THEMES_SIMILAR_BLOCKS_H_
