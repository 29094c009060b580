// What the fuzz targets share: the split of one input into a keywords file
// and a source, files in memory to hand to the program, and findings.

#ifndef KARVEL_TESTS_FUZZ_FUZZ_INPUT_H_
#define KARVEL_TESTS_FUZZ_FUZZ_INPUT_H_

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "files/text_encoding.h"

namespace karvel::fuzz {

[[noreturn]] inline void fail(const std::string& what) {
  fprintf(stderr, "FUZZ FINDING: %s\n", what.c_str());
  abort();
}

// A finding when `got` is not `expected`; `item` numbers the read or block.
inline void expect_equal(uint64_t got, uint64_t expected, const char* what, uint64_t item = 0) {
  if (got != expected) {
    fail(std::string(what) + " " + std::to_string(item) + ": " + std::to_string(got) +
         ", expected " + std::to_string(expected));
  }
}

// An input is the keywords file, two NUL bytes, then the source; without the
// two NULs the whole input serves as both. It is read as UTF-8 when its first
// byte is odd, so that both encodings meet every kind of text.
struct SplitInput {
  std::string keywords, source;
  TextEncoding encoding;
};

inline SplitInput split_input(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  size_t cut = bytes.find(std::string(2, '\0'));
  TextEncoding encoding = size > 0 && (data[0] & 1) ? TextEncoding::kUtf8 : TextEncoding::kCp866;
  if (cut == std::string::npos) return {bytes, bytes, encoding};
  return {bytes.substr(0, cut), bytes.substr(cut + 2), encoding};
}

// A file in memory holding `bytes` (named /proc/self/fd/N for open()).
inline int memory_file(const std::string& bytes) {
  int fd = memfd_create("karvel-fuzz", MFD_CLOEXEC);
  if (fd < 0 || pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
    fail("no file in memory");
  }
  return fd;
}

inline std::string contents(int fd) {
  std::string bytes;
  char chunk[65536];
  for (ssize_t got; (got = pread(fd, chunk, sizeof chunk, bytes.size())) > 0;) {
    bytes.append(chunk, static_cast<size_t>(got));
  }
  return bytes;
}

}  // namespace karvel::fuzz

#endif  // KARVEL_TESTS_FUZZ_FUZZ_INPUT_H_
