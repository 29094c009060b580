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
// Whatever the theme's size, the pass finds, asks about and decides the same
// pairs in the same order as trying every later block j of each left-hand
// block i would: the blocks tried are those within the length test (which,
// lengths growing with the position, holds for a run of positions after i)
// that can still reach the word test, found through the rarest words of i's
// list (see similar_candidates.h), in increasing position.

#ifndef KARVEL_THEMES_SIMILAR_BLOCKS_H_
#define KARVEL_THEMES_SIMILAR_BLOCKS_H_

#include <cstdint>
#include <vector>

#include "files/status.h"
#include "themes/doubles_list.h"
#include "themes/similar_candidates.h"

namespace karvel {

class BlockIndex;
class Messages;
class OutputFile;
class ProgramConfiguration;
struct FileStatistics;
struct SourceFile;
struct ThemeBlocks;

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
  // at once for a theme of no blocks or of the configuration's similar limit
  // of blocks or more (a limit of 0 searches every theme); otherwise clears
  // the doubles list and shows the theme's number of blocks, and searches
  // when check_similarity is on. A stop request ends the pass; nothing is
  // written then.
  Status find_similar_blocks(ThemeBlocks& theme, const SourceFile& source, OutputFile& doubles,
                             BlockIndex& index, ProgramConfiguration& configuration,
                             FileStatistics& statistics, Messages& messages);

  // find_similar_blocks in two halves: the search, which leaves the doubles
  // list of the theme, and the copy of that list to `doubles`.
  Status search(ThemeBlocks& theme, const SourceFile& source, BlockIndex& index,
                ProgramConfiguration& configuration, FileStatistics& statistics,
                Messages& messages);
  Status write_doubles(const SourceFile& source, BlockIndex& index, OutputFile& doubles) const;
  // The blocks of the doubles list, in the order write_doubles copies them.
  void list_doubled_blocks(std::vector<uint32_t>* blocks) const;

  void release();

 private:
  Status ask_user_choice(const ThemeBlocks& theme, const SourceFile& source,
                         const BlockIndex& index, ProgramConfiguration& configuration,
                         Messages& messages, uint32_t p, uint32_t q, UserChoice* choice);
  Status show_block(const ThemeBlocks& theme, const SourceFile& source, const BlockIndex& index,
                    Messages& messages, uint32_t p);

  DoublesList doubles_list_;
  SimilarCandidates candidates_;
};

}  // namespace karvel

#endif  // KARVEL_THEMES_SIMILAR_BLOCKS_H_
