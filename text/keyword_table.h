// The keywords file in memory, and the rule that decides whether a keyword
// occurs in a block.
//
// Each line of the keywords file is a keyword or a separator. A line is a
// separator when its first character is NUL, a line feed, a blank or a
// back-quote. Marks written into a keyword choose its match rule: an
// apostrophe anywhere makes it a whole word; an asterisk first and another
// later, or no mark, matches anywhere; an asterisk first and no other matches
// word ends; an asterisk elsewhere matches word starts. Keywords are folded
// and lose their marks.
//
// With five or more short lines (under 3 characters with the line feed) the
// file is in separator mode: keywords are grouped into themes and every
// separator line starts the next theme. Otherwise every keyword is a theme of
// its own and separator lines are comments. At most 4999 keywords and 4999
// themes are taken.

#ifndef KARVEL_TEXT_KEYWORD_TABLE_H_
#define KARVEL_TEXT_KEYWORD_TABLE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "files/status.h"
#include "files/text_encoding.h"

namespace karvel {

class CurrentBlock;
class Messages;

enum SearchType : uint32_t {
  SEARCH_ANYWHERE = 0,
  SEARCH_WHOLE_WORD = 1,
  SEARCH_WORD_START = 2,
  SEARCH_WORD_END = 3,
};

inline constexpr uint32_t kMaxKeywords = 4999;
inline constexpr uint32_t kMaxThemes = 4999;

class KeywordTable {
 public:
  KeywordTable();

  // The encoding in which keywords are folded and matched; set before the
  // keywords are loaded or added. Code page 866 unless set.
  void set_text_encoding(TextEncoding encoding) { encoding_ = encoding; }
  TextEncoding text_encoding() const { return encoding_; }

  // Reads the keywords file open as `fd` (from its start) in two passes and
  // fills the table, then announces "%lu keywords, %lu themes got from kwd
  // file". *reached_end tells whether the reads met the end of the file; the
  // caller then closes it at once, else at the end of the run. A file that
  // cannot be read is an error naming `file_name`.
  Status load_keywords(int fd, const std::string& file_name, Messages& messages, bool* reached_end);

  // Writes the table to the protocol (debug listing).
  void log_keywords_information(Messages& messages) const;

  // Adds a keyword as the loader stores it (folded, marks removed, at most 99
  // characters kept); for tests of the matching rules. The theme count grows
  // to cover `theme`. Ignored once the table's 5000 slots are full.
  void add_keyword(const char* folded_text, uint32_t search_type, uint32_t theme);

  const char* get_keyword(uint32_t i) const { return keywords_[i].text; }
  uint32_t get_search_type(uint32_t i) const { return search_types_[i]; }
  uint32_t get_keyword_theme(uint32_t i) const { return keyword_themes_[i]; }
  uint32_t get_keyword_count() const { return keyword_count_; }
  uint32_t get_theme_count() const { return theme_count_; }

 private:
  struct Slot {
    char text[100];
  };
  uint32_t keyword_count_ = 0;
  std::vector<Slot> keywords_;            // folded, marks removed, NUL-terminated
  std::vector<uint32_t> search_types_;    // SearchType of keyword i
  std::vector<uint32_t> keyword_themes_;  // theme number of keyword i
  uint32_t theme_count_ = 0;              // the loader's theme counter
  TextEncoding encoding_ = TextEncoding::kCp866;
};

// 1 when `keyword` occurs in the block under `search_type`. The first line of
// the block that holds the keyword decides, and only the first occurrence in
// that line is looked at. An unknown search type writes "Bad searching type
// %lu" to the protocol and gives 0.
int keyword_in_block(const CurrentBlock& block, const char* keyword, uint32_t search_type,
                     Messages& messages);

}  // namespace karvel

#endif  // KARVEL_TEXT_KEYWORD_TABLE_H_
