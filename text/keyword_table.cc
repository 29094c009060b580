// Loading the keywords file into the KeywordTable, the debug listing of the
// table, and the rule that decides whether one keyword occurs in a block.

#include "text/keyword_table.h"

#include <cerrno>
#include <cstring>

#include "files/line_reader.h"
#include "messages/messages.h"
#include "text/current_block.h"
#include "text/text_rules.h"
#include "text/words.h"

namespace karvel {

namespace {

// Room of the table: one slot more than the loader ever fills.
constexpr uint32_t kKeywordSlots = 5000;

// A line read shorter than this (its line feed included) is a short line;
// five or more of them put the file in separator mode.
constexpr size_t kShortLineLength = 3;
constexpr uint32_t kSeparatorModeShortLines = 5;

bool is_separator_line(const char* line) {
  return line[0] == '\0' || line[0] == '\n' || line[0] == ' ' || line[0] == '`';
}

// The match rule chosen by the marks of a keyword line.
uint32_t search_type_of(const char* line) {
  if (strchr(line, '\'') != nullptr) return SEARCH_WHOLE_WORD;
  if (line[0] == '*') {
    return strchr(line + 1, '*') != nullptr ? SEARCH_ANYWHERE : SEARCH_WORD_END;
  }
  if (strchr(line, '*') != nullptr) return SEARCH_WORD_START;
  return SEARCH_ANYWHERE;
}

Status read_error(const std::string& file_name, int error) {
  return Status::Error("Can't read keywords file " + file_name + ": " + strerror(error));
}

}  // namespace

KeywordTable::KeywordTable()
    : keywords_(kKeywordSlots), search_types_(kKeywordSlots), keyword_themes_(kKeywordSlots) {}

Status KeywordTable::load_keywords(int fd, const std::string& file_name, Messages& messages,
                                   bool* reached_end) {
  keyword_count_ = 0;
  theme_count_ = 0;
  *reached_end = false;
  LineReader reader(fd);
  LineRead read;

  // First pass: the number of short lines chooses the mode.
  // A byte-order mark before the first line is no part of it.
  uint32_t short_lines = 0;
  size_t mark = 0;
  for (bool first = true; reader.next(&read); first = false) {
    size_t length = read.text_length();
    if (first) mark = byte_order_mark_length(read.bytes, length, encoding_);
    if (length - (first ? mark : 0) < kShortLineLength) short_lines++;
  }
  if (reader.error() != 0) return read_error(file_name, reader.error());
  bool separator_mode = short_lines >= kSeparatorModeShortLines;

  // Second pass: keywords and separators.
  reader.seek(0);
  char slot[kLineSlotSize];
  for (bool first = true; theme_count_ < kMaxThemes; first = false) {
    if (!reader.next(&read)) {
      if (reader.error() != 0) return read_error(file_name, reader.error());
      *reached_end = true;
      break;
    }
    char* line = slot + (first ? mark : 0);
    size_t length = read.copy_to_slot(slot) - (first ? mark : 0);
    if (is_separator_line(line)) {
      if (separator_mode) theme_count_++;
      continue;
    }
    if (line[length - 1] == '\n') line[--length] = '\0';
    fold_text(line, encoding_);
    uint32_t search_type = search_type_of(line);
    if (strpbrk(line, "'*") != nullptr) strip_marks(line);
    memcpy(keywords_[keyword_count_].text, line, strlen(line) + 1);
    search_types_[keyword_count_] = search_type;
    keyword_themes_[keyword_count_] = theme_count_;
    keyword_count_++;
    if (!separator_mode) theme_count_++;
    if (keyword_count_ >= kMaxKeywords) break;
  }

  messages.show_and_protocol("%lu keywords, %lu themes got from kwd file",
                             static_cast<unsigned long>(keyword_count_),
                             static_cast<unsigned long>(theme_count_));
  return Status::OK();
}

void KeywordTable::log_keywords_information(Messages& messages) const {
  messages.write_protocol("==== Keywords information: %lu keywords, %lu themes ===",
                          static_cast<unsigned long>(keyword_count_),
                          static_cast<unsigned long>(theme_count_ - 1));
  for (uint32_t i = 0; i < keyword_count_; i++) {
    messages.write_protocol("'%-15s' - %5lu, th%lu", keywords_[i].text,
                            static_cast<unsigned long>(search_types_[i]),
                            static_cast<unsigned long>(keyword_themes_[i]));
  }
}

void KeywordTable::add_keyword(const char* folded_text, uint32_t search_type, uint32_t theme) {
  if (keyword_count_ >= kKeywordSlots) return;
  size_t n = strnlen(folded_text, kLineSlotSize - 1);
  memcpy(keywords_[keyword_count_].text, folded_text, n);
  keywords_[keyword_count_].text[n] = '\0';
  search_types_[keyword_count_] = search_type;
  keyword_themes_[keyword_count_] = theme;
  keyword_count_++;
  if (theme >= theme_count_) theme_count_ = theme + 1;
}

int keyword_in_block(const CurrentBlock& block, const char* keyword, uint32_t search_type,
                     Messages& messages) {
  size_t n = strlen(keyword);
  for (uint32_t i = 0; i < block.get_line_count(); i++) {
    const char* line = block.get_line(i);
    const char* hit = strstr(line, keyword);
    if (hit == nullptr) continue;
    // The first line holding the keyword decides, by its first occurrence.
    bool starts_word = hit == line || is_delimiter(static_cast<unsigned char>(hit[-1]));
    bool ends_word = is_delimiter(static_cast<unsigned char>(hit[n]));
    switch (search_type) {
      case SEARCH_ANYWHERE:
        return 1;
      case SEARCH_WHOLE_WORD:
        return starts_word && ends_word ? 1 : 0;
      case SEARCH_WORD_START:
        return starts_word ? 1 : 0;
      case SEARCH_WORD_END:
        return ends_word ? 1 : 0;
      default:
        messages.write_protocol("Bad searching type %lu", static_cast<unsigned long>(search_type));
        return 0;
    }
  }
  return 0;
}

}  // namespace karvel
