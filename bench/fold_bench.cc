// karvel-fold-bench: times the case folding that the theme assignment pass
// gives every line read before the keyword matcher sees it, in one text
// encoding, over a whole file: its reads are cut and copied into a slot as
// the pass does, once without folding and once with it (best of 3 each), so
// that the difference is the folding alone. Comparing a code page 866 file
// with its UTF-8 twin gives the cost of UTF-8 folding on the same text. Times
// are processor seconds, which other programs on a busy machine disturb less
// than wall time.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "files/line_reader.h"
#include "files/text_encoding.h"
#include "text/fold.h"
#include "text/text_rules.h"

namespace {

double processor_seconds() {
  timespec cpu;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
  return static_cast<double>(cpu.tv_sec) + static_cast<double>(cpu.tv_nsec) / 1e9;
}

// Cuts `n` bytes at `p` into reads and copies each into a slot, folding it
// when `fold`. Returns the number of reads and adds every slot's first byte
// into *sum, so that the work cannot be left out.
uint64_t copy_reads(const char* p, size_t n, bool fold, karvel::TextEncoding encoding,
                    unsigned* sum) {
  uint64_t reads = 0;
  karvel::for_each_line_read(p, n, [&](const karvel::LineRead& read) {
    char slot[karvel::kLineSlotSize];
    size_t length = read.copy_to_slot(slot);
    if (fold) karvel::fold_text(slot, length, encoding);
    *sum += static_cast<unsigned char>(slot[0]);
    ++reads;
  });
  return reads;
}

}  // namespace

int main(int argc, char** argv) {
  const bool usage =
      argc != 3 || (std::strcmp(argv[2], "cp866") != 0 && std::strcmp(argv[2], "utf8") != 0);
  if (usage) {
    std::fprintf(argc == 2 && std::strcmp(argv[1], "--help") == 0 ? stdout : stderr,
                 "usage: karvel-fold-bench FILE cp866|utf8\n"
                 "Times the folding of FILE's line reads in that encoding (best of 3).\n");
    return argc == 2 && std::strcmp(argv[1], "--help") == 0 ? 0 : 2;
  }
  const karvel::TextEncoding encoding = std::strcmp(argv[2], "utf8") == 0
                                            ? karvel::TextEncoding::kUtf8
                                            : karvel::TextEncoding::kCp866;
  const int fd = open(argv[1], O_RDONLY);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || st.st_size == 0) {
    std::fprintf(stderr, "karvel-fold-bench: cannot read %s\n", argv[1]);
    return 1;
  }
  const size_t size = static_cast<size_t>(st.st_size);
  void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
  close(fd);
  if (mapped == MAP_FAILED) {
    std::fprintf(stderr, "karvel-fold-bench: cannot map %s\n", argv[1]);
    return 1;
  }
  karvel::build_fold_table();

  double best[2] = {0, 0};  // copies only, copies and folding
  uint64_t reads = 0;
  unsigned sum = 0;
  for (int round = 0; round < 6; ++round) {
    const bool fold = round % 2 == 1;
    const double start = processor_seconds();
    reads = copy_reads(static_cast<const char*>(mapped), size, fold, encoding, &sum);
    const double elapsed = processor_seconds() - start;
    if (round < 2 || elapsed < best[fold]) best[fold] = elapsed;
  }
  munmap(mapped, size);
  std::printf("file %s: %zu bytes, %llu line reads, %s (check %u)\n", argv[1], size,
              static_cast<unsigned long long>(reads), argv[2], sum);
  std::printf("reads copied: %.3f s; copied and folded: %.3f s; folding: %.3f s, %.1f ns a read\n",
              best[0], best[1], best[1] - best[0],
              reads > 0 ? (best[1] - best[0]) * 1e9 / static_cast<double>(reads) : 0.0);
  return 0;
}
