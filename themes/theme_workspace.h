// Processing of one theme at a time, for the run driver: the theme's blocks
// loaded, sorted by length with the exchange sort, cleared of equal blocks,
// and searched for similar blocks, which move, grouped, to the doubles file.
//
// The workspace holds numbers only (see theme_blocks.h for its two index
// spaces); the blocks' text is read back from the source by offset when a
// pass needs it. Its room is made once per run for the largest theme.

#ifndef KARVEL_THEMES_THEME_WORKSPACE_H_
#define KARVEL_THEMES_THEME_WORKSPACE_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "files/status.h"

namespace karvel {

class BlockIndex;
class Messages;
class OutputFile;
class ProgramConfiguration;
class ThemeBuckets;
struct FileStatistics;
struct SourceFile;
struct ThemeBlocks;

class ThemeWorkspace {
 public:
  ThemeWorkspace();
  ~ThemeWorkspace();
  ThemeWorkspace(const ThemeWorkspace&) = delete;
  ThemeWorkspace& operator=(const ThemeWorkspace&) = delete;

  // Makes room for the largest theme (theme_max_blocks blocks). Allocation
  // failures give their "Not enough memory for ..." errors.
  Status create(const FileStatistics& statistics);
  // The same for a theme of at most `blocks` blocks.
  Status create(uint32_t blocks);
  uint32_t capacity() const;
  void release();

  // Loads the blocks of theme `t` (their numbers and lengths, in source
  // order) and shows their number in the total-blocks field. A theme bigger
  // than the room made by create() is an error.
  Status load_theme(const SourceFile& source, const BlockIndex& index, const ThemeBuckets& buckets,
                    uint32_t t, Messages& messages);

  // Orders the loaded blocks as the exchange sort by length does.
  void sort_by_length();

  // Deletes every block equal to an earlier one in sorted order.
  Status delete_equal_blocks(const SourceFile& source, BlockIndex& index,
                             FileStatistics& statistics, Messages& messages);

  // The similar-blocks pass and the copy of its doubles list to `doubles`.
  Status find_similar_blocks(const SourceFile& source, OutputFile& doubles, BlockIndex& index,
                             ProgramConfiguration& configuration, FileStatistics& statistics,
                             Messages& messages);

  // find_similar_blocks without the copy, for a theme whose doubles are
  // written later by another thread: the blocks of its doubles list, in the
  // order they go to the doubles file, are put in *doubled.
  Status search_similar_blocks(const SourceFile& source, BlockIndex& index,
                               ProgramConfiguration& configuration, FileStatistics& statistics,
                               Messages& messages, std::vector<uint32_t>* doubled);

  // The loaded theme: its blocks, their sorted order and alive flags.
  const ThemeBlocks& theme() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace karvel

#endif  // KARVEL_THEMES_THEME_WORKSPACE_H_
