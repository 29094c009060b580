// Fuzz target: the line reader, the statistics pass and the block index.
//
// The source part of the input is read three ways: by the line reader, by the
// statistics pass (with a small buffer whose size varies, so that reads fall
// across buffer boundaries) and by find_offsets, in the encoding the input
// chooses. Each must agree with the conservation check's own splitter: every
// read's size, emptiness and whether it ends a block, the counts of reads and
// blocks, the longest block, and every block's offset and number of reads.
// The UTF-8 check the statistics pass makes as it counts must agree with the
// byte form of the check.

#include <unistd.h>

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

namespace {

std::string number(uint64_t n) { return std::to_string(n); }

void check_line_reader(int fd, const std::vector<hardening::ReadEnd>& expected) {
  LineReader reader(fd, 0);
  BlockEnds ends;
  LineRead read;
  size_t i = 0;
  uint64_t position = 0;
  while (reader.next(&read)) {
    if (i == expected.size()) fuzz::fail("the line reader gives more reads than there are");
    position += read.raw_length;
    if (position != expected[i].end) {
      fuzz::fail("read " + number(i) + " ends at " + number(position) + ", expected " +
                 number(expected[i].end));
    }
    if (read.is_empty() != expected[i].empty) fuzz::fail("read " + number(i) + ": emptiness");
    if (ends.ends_block(read) != expected[i].ends_block) {
      fuzz::fail("read " + number(i) + ": end of block");
    }
    ++i;
  }
  if (reader.error() != 0) fuzz::fail("the line reader failed on a file in memory");
  if (i != expected.size()) fuzz::fail("the line reader stopped early at read " + number(i));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SplitInput input = fuzz::split_input(data, size);
  const std::string& source = input.source;

  // The oracle: reads, blocks and the reads of each block.
  std::vector<hardening::ReadEnd> reads = hardening::line_reads(source);
  std::vector<uint64_t> block_starts = {0};
  std::vector<uint32_t> block_reads;
  uint32_t in_block = 0;
  for (const hardening::ReadEnd& read : reads) {
    ++in_block;
    if (read.ends_block) {
      block_reads.push_back(in_block);
      block_starts.push_back(read.end);
      in_block = 0;
    }
  }
  uint32_t longest = 0;
  for (uint32_t n : block_reads) longest = n > longest ? n : longest;

  int fd = fuzz::memory_file(source);
  int kwd_fd = fuzz::memory_file(input.keywords);
  if (fd < 0 || kwd_fd < 0) {
    if (fd >= 0) close(fd);
    if (kwd_fd >= 0) close(kwd_fd);
    return 0;
  }
  check_line_reader(fd, reads);

  Messages messages;
  FileStatistics statistics;
  size_t buffer_size = 256 + size % 300;
  Utf8Check in_pass, byte_form(false);
  Status status = Get_File_Statistics(fd, "#src", statistics, messages, buffer_size, &in_pass);
  if (!status.ok()) fuzz::fail("statistics pass failed: " + status.text());
  byte_form.add(source.data(), source.size());
  if (in_pass.valid() != byte_form.valid()) fuzz::fail("the two UTF-8 checks disagree");
  if (statistics.file_bytes != source.size())
    fuzz::fail("file_bytes " + number(statistics.file_bytes));
  if (statistics.file_lines != reads.size())
    fuzz::fail("file_lines " + number(statistics.file_lines));
  if (statistics.file_blocks != block_reads.size()) {
    fuzz::fail("file_blocks " + number(statistics.file_blocks) + ", expected " +
               number(block_reads.size()));
  }
  if (statistics.max_block_lines != longest) {
    fuzz::fail("max_block_lines " + number(statistics.max_block_lines) + ", expected " +
               number(longest));
  }

  KeywordTable table;
  table.set_text_encoding(fuzz::input_encoding(data, size));
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
  for (uint32_t i = 0; i < index.block_count(); ++i) {
    if (index.offset(i) != block_starts[i]) {
      fuzz::fail("block " + number(i) + " at " + number(index.offset(i)) + ", expected " +
                 number(block_starts[i]));
    }
    if (index.lines(i) != block_reads[i]) {
      fuzz::fail("block " + number(i) + " has " + number(index.lines(i)) + " reads, expected " +
                 number(block_reads[i]));
    }
    uint32_t theme = index.get_block_theme(i);
    if (theme != kNoTheme && theme >= kThemeScanCount) fuzz::fail("theme out of range");
  }
  if (index.get_offset(index.block_count(), messages) != block_starts.back()) {
    fuzz::fail("the offset after the last block is wrong");
  }
  close(fd);
  close(kwd_fd);
  return 0;
}
