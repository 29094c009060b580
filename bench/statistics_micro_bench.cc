// karvel-micro-bench: Google Benchmark runs of the statistics pass over
// in-memory files of one line length each, to see how the line reader copes
// with short lines, ordinary lines and lines longer than one 99-byte read.

#include <benchmark/benchmark.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "index/source_statistics.h"
#include "messages/messages.h"
#include "records/file_statistics.h"

namespace {

// A memory-backed file of about 64 MiB: blocks of five lines of
// `line_length` characters, each block ended by an empty line.
int make_file(size_t line_length) {
  const int fd = memfd_create("karvel-micro-bench", 0);
  if (fd < 0) return -1;
  std::string block;
  for (int line = 0; line < 5; ++line) {
    for (size_t i = 0; i < line_length; ++i) block.push_back(i % 7 == 6 ? ' ' : 'a' + i % 26);
    block.push_back('\n');
  }
  block.push_back('\n');
  std::string chunk;
  while (chunk.size() < (1u << 20)) chunk += block;
  for (size_t written = 0; written < (64u << 20); written += chunk.size()) {
    if (write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) {
      close(fd);
      return -1;
    }
  }
  return fd;
}

void BM_FileStatistics(benchmark::State& state) {
  const int fd = make_file(static_cast<size_t>(state.range(0)));
  if (fd < 0) {
    state.SkipWithError("cannot create the in-memory file");
    return;
  }
  karvel::Messages messages;
  karvel::FileStatistics statistics;
  for (auto _ : state) {
    const karvel::Status status = karvel::Get_File_Statistics(fd, "memory", statistics, messages);
    if (!status.ok()) {
      state.SkipWithError(status.text().c_str());
      break;
    }
    benchmark::DoNotOptimize(statistics.file_lines);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(statistics.file_bytes));
  close(fd);
}

BENCHMARK(BM_FileStatistics)->Arg(20)->Arg(70)->Arg(250)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
