// The statistics pass: the first read of the source, which counts its bytes,
// line reads and blocks before anything else of the run reads it.

#ifndef KARVEL_INDEX_SOURCE_STATISTICS_H_
#define KARVEL_INDEX_SOURCE_STATISTICS_H_

#include <cstddef>
#include <string>

#include "files/status.h"
#include "records/file_statistics.h"

namespace karvel {

class Messages;
class Utf8Check;

// Reads the source (open as `fd`, `file_name` for messages) once from its
// start, zeroing and then filling file_bytes, file_lines, file_blocks,
// max_block_lines and max_len_line. Shows "Get_File_Statistics...", "%lu
// lines" every 80000 line reads and "Done". A read error is an error.
// `buffer_size` (at least 256) is the size of the reads from the file; the
// default keeps each read in the processor's cache while it is counted.
// With `utf8`, every byte of the source also goes through that check.
Status Get_File_Statistics(int fd, const std::string& file_name, FileStatistics& statistics,
                           Messages& messages, size_t buffer_size = 256 << 10,
                           Utf8Check* utf8 = nullptr);

}  // namespace karvel

#endif  // KARVEL_INDEX_SOURCE_STATISTICS_H_
