// karvel-stats-bench: times the statistics pass (Get_File_Statistics) over a
// file, best of three, without and with the UTF-8 check of the automatic
// text encoding, and for comparison a plain read of the file that counts line
// feeds, which is about what `wc -l` does. Beside each wall time it gives the
// processor time (user + system) of the same round, which other programs on a
// busy machine disturb less.

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "index/source_statistics.h"
#include "messages/messages.h"
#include "records/file_statistics.h"
#include "text/utf8_check.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Wall and processor seconds (user and system, as the scheduler counts them).
struct Times {
  double wall, processor;
};

Times times_now() {
  timespec cpu;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
  return {std::chrono::duration<double>(Clock::now().time_since_epoch()).count(),
          static_cast<double>(cpu.tv_sec) + static_cast<double>(cpu.tv_nsec) / 1e9};
}

// Keeps in `best` the least of each time of the rounds so far.
void keep_best(const Times& start, bool first, Times* best) {
  const Times now = times_now();
  const Times took = {now.wall - start.wall, now.processor - start.processor};
  if (first || took.wall < best->wall) best->wall = took.wall;
  if (first || took.processor < best->processor) best->processor = took.processor;
}

// Line feeds of the file, read in 1 MiB pieces; -1 on a read error.
long long count_line_feeds(int fd) {
  std::vector<char> buffer(1 << 20);
  long long count = 0;
  off_t offset = 0;
  for (;;) {
    const ssize_t got = pread(fd, buffer.data(), buffer.size(), offset);
    if (got < 0) return -1;
    if (got == 0) return count;
    const char* p = buffer.data();
    const char* end = p + got;
    while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p))))) {
      ++count;
      ++p;
    }
    offset += got;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
    std::fprintf(argc == 2 ? stdout : stderr,
                 "usage: karvel-stats-bench FILE\n"
                 "Times the statistics pass over FILE (best of 3) and a plain line-feed count.\n");
    return argc == 2 ? 0 : 2;
  }
  const std::string name = argv[1];
  const int fd = open(name.c_str(), O_RDONLY);
  if (fd < 0) {
    std::fprintf(stderr, "karvel-stats-bench: cannot open %s: %s\n", name.c_str(),
                 std::strerror(errno));
    return 1;
  }

  constexpr int kRounds = 3;
  karvel::Messages messages;  // no window, no protocol: every line is dropped
  karvel::FileStatistics statistics;
  Times plain = {}, checked_times = {};
  bool valid = false;
  for (int round = 0; round < 2 * kRounds; ++round) {
    // Rounds alternate between the plain pass and the pass with the check.
    const bool checked = round % 2 == 1;
    karvel::Utf8Check check;
    const Times start = times_now();
    const karvel::Status status = karvel::Get_File_Statistics(
        fd, name, statistics, messages, 256 << 10, checked ? &check : nullptr);
    keep_best(start, round < 2, checked ? &checked_times : &plain);
    if (!status.ok()) {
      std::fprintf(stderr, "karvel-stats-bench: %s\n", status.text().c_str());
      return 1;
    }
    if (checked) valid = check.valid();
  }

  double best_count = 0;
  long long line_feeds = 0;
  for (int round = 0; round < kRounds; ++round) {
    const Clock::time_point start = Clock::now();
    line_feeds = count_line_feeds(fd);
    const double elapsed = seconds_since(start);
    if (line_feeds < 0) {
      std::fprintf(stderr, "karvel-stats-bench: cannot read %s\n", name.c_str());
      return 1;
    }
    if (round == 0 || elapsed < best_count) best_count = elapsed;
  }
  close(fd);

  const double bytes = static_cast<double>(statistics.file_bytes);
  std::printf("file %s: %llu bytes, %llu line reads, %lu blocks, %lu lines in the longest block\n",
              name.c_str(), static_cast<unsigned long long>(statistics.file_bytes),
              static_cast<unsigned long long>(statistics.file_lines),
              static_cast<unsigned long>(statistics.file_blocks),
              static_cast<unsigned long>(statistics.max_block_lines));
  const Times* const rows[] = {&plain, &checked_times};
  for (const Times* t : rows) {
    std::printf("%s: %.3f s, %.2f GB/s; processor %.3f s (best of %d)%s\n",
                t == &plain ? "statistics pass" : "with the UTF-8 check", t->wall,
                t->wall > 0 ? bytes / t->wall / 1e9 : 0.0, t->processor, kRounds,
                t == &plain ? ""
                : valid     ? "; valid UTF-8"
                            : "; not UTF-8");
  }
  std::printf("line-feed count: %.3f s, %.2f GB/s, %lld line feeds (best of %d)\n", best_count,
              best_count > 0 ? bytes / best_count / 1e9 : 0.0, line_feeds, kRounds);
  std::printf("seconds %.3f\n", plain.wall);
  return 0;
}
