// What the fuzz targets share: the split of one fuzz input into a keywords
// file and a source, and an in-memory file to hand to the readers.

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

// An input is the keywords file, two NUL bytes, then the source. Without the
// two NULs the whole input serves as both.
struct SplitInput {
  std::string keywords;
  std::string source;
};

inline SplitInput split_input(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  size_t cut = bytes.find(std::string(2, '\0'));
  if (cut == std::string::npos) return {bytes, bytes};
  return {bytes.substr(0, cut), bytes.substr(cut + 2)};
}

// The encoding an input is read in: UTF-8 when its first byte is odd, so
// that both are tried on every kind of text.
inline TextEncoding input_encoding(const uint8_t* data, size_t size) {
  return size > 0 && (data[0] & 1) != 0 ? TextEncoding::kUtf8 : TextEncoding::kCp866;
}

// A file in memory holding `bytes`, open for reading from its start; -1 when
// it cannot be made.
inline int memory_file(const std::string& bytes) {
  int fd = memfd_create("karvel-fuzz", MFD_CLOEXEC);
  if (fd < 0) return -1;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
    if (put <= 0) {
      close(fd);
      return -1;
    }
    done += static_cast<size_t>(put);
  }
  lseek(fd, 0, SEEK_SET);
  return fd;
}

// Stops the fuzzer with a finding.
[[noreturn]] inline void fail(const std::string& what) {
  fprintf(stderr, "FUZZ FINDING: %s\n", what.c_str());
  abort();
}

}  // namespace karvel::fuzz

#endif  // KARVEL_TESTS_FUZZ_FUZZ_INPUT_H_
