// Fuzz target: the line reader, the statistics pass (with a small buffer of
// varying size) and the block index must agree with the conservation check's
// splitter on every read and block; the statistics pass's UTF-8 check with the
// byte form of the check.

#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "conservation.h"
#include "files/block_ends.h"
#include "files/line_reader.h"
#include "fuzz_input.h"
#include "index/block_index.h"
#include "index/source_statistics.h"
#include "messages/messages.h"
#include "records/file_statistics.h"
#include "text/keyword_matcher.h"
#include "text/keyword_table.h"
#include "text/utf8_check.h"

using namespace karvel;
using fuzz::expect_equal;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SplitInput input = fuzz::split_input(data, size);
  const std::string& source = input.source;

  // The oracle: reads, blocks and the reads of each block.
  std::vector<hardening::ReadEnd> reads = hardening::line_reads(source);
  std::vector<uint64_t> block_starts = {0};
  std::vector<uint32_t> block_reads;
  uint32_t in_block = 0, longest = 0;
  for (const hardening::ReadEnd& read : reads) {
    ++in_block;
    if (!read.ends_block) continue;
    block_reads.push_back(in_block);
    block_starts.push_back(read.end);
    longest = std::max(longest, in_block);
    in_block = 0;
  }
  int fd = fuzz::memory_file(source), kwd_fd = fuzz::memory_file(input.keywords);

  LineReader reader(fd, 0);
  BlockEnds ends;
  LineRead read;
  uint64_t i = 0, position = 0;
  for (; reader.next(&read); ++i) {
    if (i == reads.size()) fuzz::fail("the line reader gives more reads than there are");
    position += read.raw_length;
    expect_equal(position, reads[i].end, "end of read", i);
    expect_equal(read.is_empty(), reads[i].empty, "emptiness of read", i);
    expect_equal(ends.ends_block(read), reads[i].ends_block, "end of block at read", i);
  }
  expect_equal(reader.error(), 0, "error of the line reader in memory");
  expect_equal(i, reads.size(), "reads of the line reader");

  Messages messages;
  FileStatistics statistics;
  Utf8Check in_pass, byte_form(false);
  Status status = Get_File_Statistics(fd, "#src", statistics, messages, 256 + size % 300, &in_pass);
  if (!status.ok()) fuzz::fail("statistics pass failed: " + status.text());
  byte_form.add(source.data(), source.size());
  expect_equal(in_pass.valid(), byte_form.valid(), "UTF-8 check of the pass against the bytes");
  expect_equal(statistics.file_bytes, source.size(), "file_bytes");
  expect_equal(statistics.file_lines, reads.size(), "file_lines");
  expect_equal(statistics.file_blocks, block_reads.size(), "file_blocks");
  expect_equal(statistics.max_block_lines, longest, "max_block_lines");

  KeywordTable table;
  table.set_text_encoding(input.encoding);
  bool reached_end = false;
  if (!table.load_keywords(kwd_fd, "#kwd", messages, &reached_end).ok()) {
    fuzz::fail("keywords file in memory not loaded");
  }
  KeywordMatcher matcher(table);
  BlockIndex index;
  if (!index.create(statistics.file_blocks, messages).ok()) fuzz::fail("index not created");
  status = find_offsets(fd, "#src", matcher, statistics.file_blocks, statistics.max_block_lines,
                        index, messages);
  if (!status.ok()) fuzz::fail("find_offsets failed: " + status.text());
  for (uint32_t b = 0; b < index.block_count(); ++b) {
    expect_equal(index.offset(b), block_starts[b], "offset of block", b);
    expect_equal(index.lines(b), block_reads[b], "reads of block", b);
    uint32_t theme = index.get_block_theme(b);
    if (theme != kNoTheme && theme >= kThemeScanCount) fuzz::fail("theme out of range");
  }
  expect_equal(index.get_offset(index.block_count(), messages), block_starts.back(),
               "offset after the last block");
  close(fd);
  close(kwd_fd);
  return 0;
}
