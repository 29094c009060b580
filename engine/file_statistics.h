// The run's fifteen counters, the statistics pass that measures the source,
// the parameter lines, the final report and the program clock.
//
// Byte quantities are 64-bit so that sources past 4 GiB are measured and
// copied correctly; block and line counts are 32-bit as the block index
// stores them.

#ifndef KARVEL_ENGINE_FILE_STATISTICS_H_
#define KARVEL_ENGINE_FILE_STATISTICS_H_

#include <cstdint>
#include <string>

#include "messages/status.h"

namespace karvel {

class Messages;
class ProgramConfiguration;

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

// Reads the source (open as `fd`, `file_name` for messages) once from its
// start, zeroing and then filling file_bytes, file_lines, file_blocks,
// max_block_lines and max_len_line. Shows "Get_File_Statistics...", "%lu
// lines" every 80000 line reads and "Done". A read error is an error.
// `buffer_size` (at least 256) is the size of the reads from the file; the
// default keeps each read in the processor's cache while it is counted.
Status Get_File_Statistics(int fd, const std::string& file_name, FileStatistics& statistics,
                           Messages& messages, size_t buffer_size = 256 << 10);

// The ten "Set parameters:" lines, to the output list and the protocol.
void print_parameters(const std::string& src_file_name, const std::string& dst_file_name,
                      const std::string& kwd_file_name, const std::string& rst_file_name,
                      const std::string& log_file_name, const ProgramConfiguration& configuration,
                      Messages& messages);

// The eleven lines of the final report, to the output list and the protocol.
void print_run_report(const FileStatistics& statistics, Messages& messages);

// The program clock: seconds since mark_start_time, truncated.
void mark_start_time();
uint32_t elapsed_seconds();

}  // namespace karvel

#endif  // KARVEL_ENGINE_FILE_STATISTICS_H_
