// Processing of one theme at a time: its blocks loaded, sorted by length with
// the exchange sort, cleared of equal blocks, and searched for similar blocks,
// which move, grouped, to the doubles file.
//
// (Interface used by the run driver; the internals are free.)

#ifndef KARVEL_THEMES_THEME_WORKSPACE_H_
#define KARVEL_THEMES_THEME_WORKSPACE_H_

#include <cstdint>
#include <memory>

#include "messages/status.h"

namespace karvel {

class BlockIndex;
class Messages;
class OutputFile;
class ProgramConfiguration;
class ThemeBuckets;
struct FileStatistics;
struct SourceFile;

class ThemeWorkspace {
 public:
  ThemeWorkspace();
  ~ThemeWorkspace();

  // Makes room for the largest theme (theme_max_blocks, theme_max_lines).
  // Allocation failures give their "Not enough memory for ..." errors.
  Status create(const FileStatistics& statistics);
  void release();

  // Loads the blocks of theme `t` and shows their number in the total-blocks
  // field.
  Status load_theme(const SourceFile& source, const BlockIndex& index,
                    const ThemeBuckets& buckets, uint32_t t, Messages& messages);

  // Orders the loaded blocks as the exchange sort by length does.
  void sort_by_length();

  // Deletes every block equal to an earlier one in sorted order.
  Status delete_equal_blocks(const SourceFile& source, BlockIndex& index,
                             FileStatistics& statistics, Messages& messages);

  // The similar-blocks pass and the copy of its doubles list to `doubles`.
  Status find_similar_blocks(const SourceFile& source, OutputFile& doubles, BlockIndex& index,
                             ProgramConfiguration& configuration, FileStatistics& statistics,
                             Messages& messages);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace karvel

#endif  // KARVEL_THEMES_THEME_WORKSPACE_H_
