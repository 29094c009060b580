// Theme assignment in one pass over a block, whatever the number of keywords.
//
// An Aho-Corasick automaton over the folded keywords finds, line by line, the
// first occurrence of every keyword in the first line of the block that holds
// it, walking only the stretches of a line where a filter on the keywords'
// first bytes lets a keyword begin; the match rule of the keyword is applied
// to that occurrence only. The block's theme is that of the first keyword in
// table order whose occurrence passed. The result is always the one of trying
// keyword_in_block for every keyword of the table in order.

#ifndef KARVEL_TEXT_KEYWORD_MATCHER_H_
#define KARVEL_TEXT_KEYWORD_MATCHER_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include "files/text_encoding.h"

namespace karvel {

class KeywordTable;

inline constexpr uint32_t kNoTheme = 0x7FFFFFFF;

class KeywordMatcher {
 public:
  // Builds the automaton for the keywords of `table`, whose text encoding
  // decides where words end; the matcher keeps what
  // it needs, so the table may change or go afterwards. `dense_state_limit`
  // caps the entries (4 bytes each) of the full transition table; past it the
  // automaton follows failure links instead, with the same results.
  // `filtered` false leaves the filter out, with the same results too.
  explicit KeywordMatcher(const KeywordTable& table, size_t dense_state_limit = 1 << 24,
                          bool filtered = true);
  ~KeywordMatcher();
  KeywordMatcher(const KeywordMatcher&) = delete;
  KeywordMatcher& operator=(const KeywordMatcher&) = delete;

  // A matcher of the same keywords with a block state of its own, sharing the
  // automaton (which no matcher changes): one for each thread of a pass.
  std::unique_ptr<KeywordMatcher> clone() const;

  // Begins a new block.
  void start_block();

  // Feeds the next line of the block: its folded text up to the first NUL
  // (with the line feed, when the read has one), `length` characters.
  void add_line(const char* folded, size_t length);
  // The same for a line followed by kFilterPadding (keyword_filter.h) zero
  // bytes, which the matcher then need not copy.
  void add_padded_line(const char* folded, size_t length);

  // True when no further line can change the block's theme: every keyword
  // before the lowest accepted one (or every keyword, when none was accepted)
  // has been judged. The caller may then skip the block's other lines.
  bool decided() const;

  // Theme of the first keyword in table order accepted by the block's lines so
  // far, or kNoTheme.
  uint32_t block_theme() const;

  // The text encoding of the keywords: lines must be folded in it.
  TextEncoding text_encoding() const;

 private:
  struct Impl;
  explicit KeywordMatcher(std::unique_ptr<Impl> impl);
  void add_line_of(const char* folded, size_t length, bool padded);  // the two above
  std::unique_ptr<Impl> impl_;
};

}  // namespace karvel

#endif  // KARVEL_TEXT_KEYWORD_MATCHER_H_
