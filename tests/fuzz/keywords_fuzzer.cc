// Fuzz target: the keywords loader and the keyword matcher. The source part,
// cut into reads, is one block; its theme from the automaton, with and without
// its full table, must be that of the first keyword keyword_in_block accepts
// (in UTF-8: with the word boundaries of UTF-8).

#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "files/block_ends.h"
#include "files/line_reader.h"
#include "files/output_file.h"
#include "fuzz_input.h"
#include "messages/messages.h"
#include "text/current_block.h"
#include "text/fold.h"
#include "text/keyword_matcher.h"
#include "text/keyword_table.h"
#include "text/text_rules.h"

using namespace karvel;

namespace {

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SplitInput input = fuzz::split_input(data, size);
  Messages messages;
  OutputFile protocol;
  if (protocol.open("/dev/null", OutputFile::Mode::kCreate)) messages.set_protocol(&protocol);

  int fd = fuzz::memory_file(input.keywords);
  KeywordTable table;
  table.set_text_encoding(input.encoding);
  bool reached_end = false;
  Status status = table.load_keywords(fd, "#kwd", messages, &reached_end);
  close(fd);
  if (!status.ok()) fuzz::fail("a keywords file in memory could not be loaded: " + status.text());
  if (table.get_keyword_count() > kMaxKeywords) fuzz::fail("more keywords than the limit");
  for (uint32_t k = 0; k < table.get_keyword_count(); ++k) {
    if (table.get_search_type(k) > SEARCH_WORD_END) fuzz::fail("a keyword with an unknown type");
  }
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
    if (!block.append_line(slot).ok()) fuzz::fail("append_line failed below the capacity");
    fold_text(slot, table.text_encoding());
    folded_lines.push_back(slot);
    if (!matcher.decided()) matcher.add_line(slot, length);
    sparse_matcher.add_line(slot, length);
    block_ended = ends.ends_block(read);
  });

  uint32_t expected = theme_by_keyword_loop(table, block, folded_lines, messages);
  fuzz::expect_equal(matcher.block_theme(), expected, "automaton theme against the keyword loop");
  fuzz::expect_equal(sparse_matcher.block_theme(), expected,
                     "automaton without its table against the keyword loop");
  return 0;
}
