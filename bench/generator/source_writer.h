// Writes the generated source file block by block through one large buffer
// and counts what it wrote.

#ifndef KARVEL_BENCH_GENERATOR_SOURCE_WRITER_H_
#define KARVEL_BENCH_GENERATOR_SOURCE_WRITER_H_

#include <cstdint>
#include <cstdio>
#include <string>

#include "generator/text.h"

namespace karvel::bench {

// What kind of block is written, for the summary.
enum class BlockKind { kFresh, kExactCopy, kNearCopy, kNoKeyword };

struct SourceCounts {
  uint64_t bytes = 0;
  uint64_t lines = 0;       // text lines, the blocks' empty lines included
  uint64_t long_lines = 0;  // lines of more than 99 characters
  uint64_t blocks = 0;
  uint64_t exact_copies = 0;
  uint64_t near_copies = 0;
  uint64_t no_keyword = 0;
  uint64_t cyrillic = 0;  // blocks with at least one byte from 128 up
};

class SourceWriter {
 public:
  SourceWriter() = default;
  SourceWriter(const SourceWriter&) = delete;
  SourceWriter& operator=(const SourceWriter&) = delete;
  ~SourceWriter();

  bool open(const std::string& path);
  void add(const Block& block, BlockKind kind);
  // The bytes of one rendered block (render_block).
  void add_rendered(const std::string& text, BlockKind kind);
  // Flushes and closes; false when any write failed.
  bool close();

  const SourceCounts& counts() const { return counts_; }

 private:
  void flush();

  FILE* file_ = nullptr;
  std::string buffer_;
  std::string scratch_;
  SourceCounts counts_;
  bool failed_ = false;
};

}  // namespace karvel::bench

#endif  // KARVEL_BENCH_GENERATOR_SOURCE_WRITER_H_
