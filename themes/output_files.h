// Writing blocks of the source into the output files.
//
// Blocks are copied verbatim, the bytes as stored, their ending empty line
// included; nothing is added between them. Failed writes are kept by the
// OutputFile and reported by the run driver. A stop request is looked at
// between blocks, so a stopped run leaves whole blocks only.

#ifndef KARVEL_THEMES_OUTPUT_FILES_H_
#define KARVEL_THEMES_OUTPUT_FILES_H_

#include <cstdint>

#include "files/status.h"

namespace karvel {

class BlockIndex;
class Messages;
class OutputFile;
class ThemeBuckets;
struct FileStatistics;
struct SourceFile;

// Copies block `b` to `out` and sets its written flag.
Status copy_block(BlockIndex& index, uint32_t b, const SourceFile& source, OutputFile& out);

// With `sort` on, copies every unwritten themed block to `out`, themes in
// increasing number and each theme in source order, counting them in
// saved_as_found_in_themes. With `sort` off it does nothing.
Status Save_Sorted_Blocks(BlockIndex& index, const ThemeBuckets& buckets, const SourceFile& source,
                          OutputFile& out, int sort, FileStatistics& statistics,
                          Messages& messages);

// Copies every block without theme, in source order, to the rest file and
// reports "%lu blocks saved in the rest file"; then appends the lines after
// the last block, if any, and reports "%lu lines after the last block saved in
// the rest file".
Status Save_Rest_Of_File(const SourceFile& source, OutputFile& rest, FileStatistics& statistics,
                         BlockIndex& index, Messages& messages);

}  // namespace karvel

#endif  // KARVEL_THEMES_OUTPUT_FILES_H_
