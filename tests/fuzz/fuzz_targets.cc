// The three fuzz targets; KARVEL_FUZZ_TARGET names the function a target runs.
// An input is the keywords file, two NUL bytes, then the source; without the
// two NULs the whole input serves as both. It is read as UTF-8 when its first
// byte is odd, so that both encodings meet every kind of text.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "conservation.h"
#include "engine/run_context.h"
#include "files/block_ends.h"
#include "files/line_reader.h"
#include "files/output_file.h"
#include "files/text_encoding.h"
#include "index/block_index.h"
#include "index/source_statistics.h"
#include "messages/messages.h"
#include "messages/run_view.h"
#include "records/file_statistics.h"
#include "text/current_block.h"
#include "text/fold.h"
#include "text/keyword_matcher.h"
#include "text/keyword_table.h"
#include "text/text_rules.h"
#include "text/utf8_check.h"

namespace karvel::fuzz {

[[noreturn]] void fail(const std::string& what) {
  fprintf(stderr, "FUZZ FINDING: %s\n", what.c_str());
  abort();
}

// A finding when `got` is not `expected`; `item` numbers the read or block.
void expect_equal(uint64_t got, uint64_t expected, const char* what, uint64_t item = 0) {
  if (got != expected) {
    fail(std::string(what) + " " + std::to_string(item) + ": " + std::to_string(got) +
         ", expected " + std::to_string(expected));
  }
}

struct SplitInput {
  std::string keywords, source;
  TextEncoding encoding;
};

SplitInput split_input(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  size_t cut = bytes.find(std::string(2, '\0'));
  TextEncoding encoding = size > 0 && (data[0] & 1) ? TextEncoding::kUtf8 : TextEncoding::kCp866;
  if (cut == std::string::npos) return {bytes, bytes, encoding};
  return {bytes.substr(0, cut), bytes.substr(cut + 2), encoding};
}

// A file in memory holding `bytes` (named /proc/self/fd/N for open()).
int memory_file(const std::string& bytes) {
  int fd = memfd_create("karvel-fuzz", MFD_CLOEXEC);
  if (fd < 0 || pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
    fail("no file in memory");
  return fd;
}

std::string contents(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The keywords part loaded into `table` from a file in memory.
void load_table(const SplitInput& input, KeywordTable& table, Messages& messages) {
  int fd = memory_file(input.keywords);
  table.set_text_encoding(input.encoding);
  bool reached_end = false;
  Status status = table.load_keywords(fd, "#kwd", messages, &reached_end);
  close(fd);
  if (!status.ok()) fail("a keywords file in memory could not be loaded: " + status.text());
}

constexpr uint32_t kBlockReads = 300;

// keyword_in_block over lines folded in UTF-8, with its word boundaries.
bool in_utf8_block(const std::vector<std::string>& lines, const char* keyword, uint32_t type) {
  for (const std::string& folded : lines) {
    const char* line = folded.c_str();
    const char* hit = strstr(line, keyword);
    if (hit == nullptr) continue;
    const unsigned char* text = reinterpret_cast<const unsigned char*>(line);
    size_t at = static_cast<size_t>(hit - line);
    bool starts = follows_delimiter(text, at, TextEncoding::kUtf8);
    bool ends = precedes_delimiter(text, strlen(line), at + strlen(keyword), TextEncoding::kUtf8);
    return type == SEARCH_ANYWHERE || (type == SEARCH_WHOLE_WORD && starts && ends) ||
           (type == SEARCH_WORD_START && starts) || (type == SEARCH_WORD_END && ends);
  }
  return false;
}

// The theme the straightforward way: each keyword in table order.
uint32_t theme_by_keyword_loop(const KeywordTable& table, const CurrentBlock& block,
                               const std::vector<std::string>& folded_lines, Messages& messages) {
  for (uint32_t k = 0; k < table.get_keyword_count(); ++k) {
    const char* keyword = table.get_keyword(k);
    uint32_t type = table.get_search_type(k);
    if (table.text_encoding() == TextEncoding::kUtf8
            ? in_utf8_block(folded_lines, keyword, type)
            : keyword_in_block(block, keyword, type, messages) != 0) {
      return table.get_keyword_theme(k);
    }
  }
  return kNoTheme;
}

// The keywords loader and matcher: the source part is one block; the theme
// from the automaton, with and without its full table, must be that of the
// first keyword keyword_in_block accepts (in UTF-8, with its word boundaries).
int keywords_input(const uint8_t* data, size_t size) {
  SplitInput input = split_input(data, size);
  Messages messages;
  OutputFile protocol;
  if (protocol.open("/dev/null", OutputFile::Mode::kCreate)) messages.set_protocol(&protocol);
  KeywordTable table;
  load_table(input, table, messages);
  if (table.get_keyword_count() > kMaxKeywords) fail("more keywords than the limit");
  for (uint32_t k = 0; k < table.get_keyword_count(); ++k)
    if (table.get_search_type(k) > SEARCH_WORD_END) fail("a keyword with an unknown type");
  table.log_keywords_information(messages);
  // One block: the reads of the source part, up to the read that ends it.
  CurrentBlock block;
  if (!block.create(kBlockReads).ok()) return 0;
  KeywordMatcher matcher(table), sparse_matcher(table, 0);
  matcher.start_block();
  sparse_matcher.start_block();
  std::vector<std::string> folded_lines;  // the reads, folded in the encoding
  BlockEnds ends;
  bool block_ended = false;
  for_each_line_read(input.source.data(), input.source.size(), [&](const LineRead& read) {
    if (block_ended || block.get_line_count() == kBlockReads) return;
    char slot[kLineSlotSize];
    size_t length = read.copy_to_slot(slot);
    if (!block.append_line(slot).ok()) fail("append_line failed below the capacity");
    fold_text(slot, table.text_encoding());
    folded_lines.push_back(slot);
    if (!matcher.decided()) matcher.add_line(slot, length);
    sparse_matcher.add_line(slot, length);
    block_ended = ends.ends_block(read);
  });
  uint32_t expected = theme_by_keyword_loop(table, block, folded_lines, messages);
  expect_equal(matcher.block_theme(), expected, "automaton theme against the keyword loop");
  expect_equal(sparse_matcher.block_theme(), expected,
               "automaton without its table against the keyword loop");
  return 0;
}

// The line reader, the statistics pass (small buffers of varying size) and the
// block index must agree with the conservation check's splitter on every read
// and block; the pass's UTF-8 check with the byte form of the check.
int blocks_input(const uint8_t* data, size_t size) {
  SplitInput input = split_input(data, size);
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
  int fd = memory_file(source);
  LineReader reader(fd, 0);
  BlockEnds ends;
  LineRead read;
  uint64_t i = 0, position = 0;
  for (; reader.next(&read); ++i) {
    if (i == reads.size()) fail("the line reader gives more reads than there are");
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
  if (!status.ok()) fail("statistics pass failed: " + status.text());
  byte_form.add(source.data(), source.size());
  expect_equal(in_pass.valid(), byte_form.valid(), "UTF-8 check of the pass against the bytes");
  expect_equal(statistics.file_bytes, source.size(), "file_bytes");
  expect_equal(statistics.file_lines, reads.size(), "file_lines");
  expect_equal(statistics.file_blocks, block_reads.size(), "file_blocks");
  expect_equal(statistics.max_block_lines, longest, "max_block_lines");
  KeywordTable table;
  load_table(input, table, messages);
  KeywordMatcher matcher(table);
  BlockIndex index;
  if (!index.create(statistics.file_blocks, messages).ok()) fail("index not created");
  status = find_offsets(fd, "#src", matcher, statistics.file_blocks, statistics.max_block_lines,
                        index, messages);
  if (!status.ok()) fail("find_offsets failed: " + status.text());
  for (uint32_t b = 0; b < index.block_count(); ++b) {
    expect_equal(index.offset(b), block_starts[b], "offset of block", b);
    expect_equal(index.lines(b), block_reads[b], "reads of block", b);
    uint32_t theme = index.get_block_theme(b);
    if (theme != kNoTheme && theme >= kThemeScanCount) fail("theme out of range");
  }
  expect_equal(index.get_offset(index.block_count(), messages), block_starts.back(),
               "offset after the last block");
  close(fd);
  return 0;
}

// Keeps the "Error: " lines a run shows; answers no question.
class QuietView : public RunView {
 public:
  void append_output_line(const std::string& line) override {
    if (line.rfind("Error: ", 0) == 0) errors += line + "\n";
  }
  void set_field(int, const std::string&) override {}
  int read_answer_key(const char*) override { return -1; }
  std::string errors;
};

// A whole run over files in memory with the default switches (UTF-8 rules for
// inputs of an odd size) must complete, keep its inputs and be conserved.
int run_input(const uint8_t* data, size_t size) {
  SplitInput input = split_input(data, size);
  // The source, keywords, destination, doubles, rest and log files.
  const int fds[6] = {memory_file(input.source), memory_file(input.keywords),
                      memory_file(""),           memory_file(""),
                      memory_file(""),           memory_file("")};
  std::string names[6];
  for (int f = 0; f < 6; ++f) names[f] = "/proc/self/fd/" + std::to_string(fds[f]);
  RunContext context;
  // Half of the inputs are taken as UTF-8 whatever they hold.
  context.set_encoding_choice(size % 2 == 0 ? EncodingChoice::kAuto : EncodingChoice::kUtf8);
  QuietView view;
  int result = context.run_processing(&view, 0, 1, 1, 1, names[0], names[2], names[3], names[4],
                                      names[1], names[5], 50, 60);
  if (result != 0) fail("the run did not complete:\n" + view.errors);
  if (!view.errors.empty()) fail("a completed run showed errors:\n" + view.errors);
  if (contents(names[0]) != input.source) fail("the source file changed");
  if (contents(names[1]) != input.keywords) fail("the keywords file changed");
  hardening::ConservationResult conservation = hardening::check_conservation(
      input.source, contents(names[2]), contents(names[3]), contents(names[4]));
  if (!conservation.ok()) fail("conservation:\n" + conservation.describe());
  for (int fd : fds) close(fd);
  return 0;
}

}  // namespace karvel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return karvel::fuzz::KARVEL_FUZZ_TARGET(data, size);
}
