// The run's fifteen counters: what the statistics pass measures of the source
// and what the later stages count, for the final report.
//
// Byte quantities are 64-bit so that sources past 4 GiB are measured and
// copied correctly; block and line counts are 32-bit as the block index
// stores them.

#ifndef KARVEL_RECORDS_FILE_STATISTICS_H_
#define KARVEL_RECORDS_FILE_STATISTICS_H_

#include <cstdint>

namespace karvel {

struct FileStatistics {
  uint64_t file_bytes = 0;                // size of the source: position after its last read
  uint64_t file_lines = 0;                // line reads of the source
  uint32_t file_blocks = 0;               // blocks: empty line reads
  uint32_t equal_blocks = 0;              // blocks deleted as equal to another of their theme
  uint32_t saved_as_similar = 0;          // blocks moved to the doubles file (as counted there)
  uint32_t saved_as_found_in_themes = 0;  // blocks written by the sorted output
  uint32_t no_themes_in_source = 0;       // blocks without theme
  uint32_t saved_as_no_themes = 0;        // blocks written to the rest file
  uint32_t theme_max_blocks = 0;          // most blocks of one theme
  uint32_t theme_max_lines = 0;           // most line reads of one theme
  uint64_t theme_max_bytes = 0;           // most bytes of one theme
  uint32_t max_block_lines = 0;           // most line reads of one block, empty line included
  uint64_t max_block_bytes = 0;           // largest block in bytes
  uint32_t max_len_line = 0;              // longest line read, its line feed included
  uint64_t deleted_equal_bytes = 0;       // bytes of the blocks deleted as equal
};

}  // namespace karvel

#endif  // KARVEL_RECORDS_FILE_STATISTICS_H_
