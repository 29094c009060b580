// Finding block starts near equal shares of the source.

#include "index/source_ranges.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace karvel {

namespace {

constexpr size_t kScanChunk = 64 << 10;

// The first block start after an empty line found at or after `from` and
// before `limit`, or 0 when there is none. An empty line must follow a line
// feed, so the scan looks from the byte before `from`.
uint64_t next_block_start(int fd, uint64_t from, uint64_t limit) {
  std::vector<char> chunk(kScanChunk + 2);
  uint64_t at = from - 1;  // from >= 1
  while (at < limit) {
    ssize_t got = pread(fd, chunk.data(), chunk.size(), static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return 0;
    size_t n = static_cast<size_t>(got);
    const char* p = chunk.data();
    // Only line feeds among the first n - 2 bytes are judged here; the two
    // after them are the overlap with the next chunk, unless the file ends.
    size_t judged = n == chunk.size() ? n - 2 : n;
    for (const char* lf = static_cast<const char*>(memchr(p, '\n', judged)); lf != nullptr;
         lf = static_cast<const char*>(memchr(lf + 1, '\n', judged - (lf + 1 - p)))) {
      size_t i = static_cast<size_t>(lf - p);
      uint64_t start = 0;
      if (i + 1 < n && p[i + 1] == '\n') {
        start = at + i + 2;
      } else if (i + 2 < n && p[i + 1] == '\r' && p[i + 2] == '\n') {
        start = at + i + 3;
      }
      if (start != 0) return start < limit ? start : 0;
      if (at + i + 1 >= limit) return 0;
    }
    if (n < chunk.size()) return 0;
    at += judged;
  }
  return 0;
}

}  // namespace

std::vector<uint64_t> find_range_starts(int fd, unsigned count) {
  std::vector<uint64_t> starts(1, 0);
  struct stat st;
  if (count <= 1 || fstat(fd, &st) != 0 || st.st_size <= 0) return starts;
  uint64_t size = static_cast<uint64_t>(st.st_size);
  for (unsigned k = 1; k < count; ++k) {
    uint64_t target = size / count * k + size % count * k / count;
    uint64_t limit = size / count * (k + 1) + size % count * (k + 1) / count;
    if (target <= starts.back()) target = starts.back() + 1;
    if (target >= limit) continue;
    uint64_t start = next_block_start(fd, target, limit);
    if (start != 0 && start < size) starts.push_back(start);
  }
  return starts;
}

}  // namespace karvel
