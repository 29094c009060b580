// Cutting the source into ranges that begin at block starts, so that the
// blocks of each range can be found apart from the others.
//
// A range begins just after an empty line (a line feed, or CR LF, right after
// a line feed): that line ends its block, whatever came before, and the next
// read begins a line and a block. Reads never split a CR LF and always end at
// a line feed, so a range start is the start of a read and of a block of the
// whole file.

#ifndef KARVEL_INDEX_SOURCE_RANGES_H_
#define KARVEL_INDEX_SOURCE_RANGES_H_

#include <cstdint>
#include <vector>

namespace karvel {

// The starts of at most `count` ranges of the file open as `fd`, ascending;
// the first is 0. The range starts lie near equal shares of the file; a share
// without an empty line gives no start of its own. A failed read gives fewer
// ranges (the reads of the blocks will report it).
std::vector<uint64_t> find_range_starts(int fd, unsigned count);

}  // namespace karvel

#endif  // KARVEL_INDEX_SOURCE_RANGES_H_
