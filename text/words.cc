// The delimiter test, the word splitter, whole-word search and the removal of
// match marks from keywords.

#include "text/words.h"

#include <cstring>

namespace karvel {

namespace {

// The delimiters; the terminating NUL of the string counts as one as well.
const char kDelimiters[] = " \t,.;:!?-()\"\r\n";

struct DelimiterTable {
  bool is_delimiter[256];  // indexed by the unsigned byte value
  DelimiterTable() : is_delimiter() {
    for (const char* d = kDelimiters; *d != '\0'; d++) {
      is_delimiter[static_cast<unsigned char>(*d)] = true;
    }
    is_delimiter[0] = true;
  }
};

const DelimiterTable& delimiter_table() {
  static const DelimiterTable table;
  return table;
}

}  // namespace

int is_delimiter(int c) {
  return delimiter_table().is_delimiter[static_cast<unsigned char>(c)] ? 1 : 0;
}

void WordSplitter::next_word(const char* line, short* started, char* word) {
  if (*started == 0) {
    size_t n = strnlen(line, sizeof buffer_ - 1);
    memcpy(buffer_, line, n);
    buffer_[n] = '\0';
    position_ = 0;
    *started = 1;
  }
  // Skip the delimiters before the word; the NUL ends the line.
  const char* p = buffer_ + position_;
  while (*p != '\0' && is_delimiter(static_cast<unsigned char>(*p))) p++;
  const char* start = p;
  while (!is_delimiter(static_cast<unsigned char>(*p))) p++;
  size_t length = static_cast<size_t>(p - start);
  memcpy(word, start, length);
  word[length] = '\0';
  // Go on after the delimiter that ended the word, or stay at the end.
  if (*p != '\0') p++;
  position_ = static_cast<int>(p - buffer_);
}

int find_whole_word(const char* text, const char* word) {
  size_t n = strlen(word);
  if (n == 0) return 0;  // an empty word is no word to find
  for (const char* hit = strstr(text, word); hit != nullptr; hit = strstr(hit + 1, word)) {
    bool starts_word = hit == text || is_delimiter(static_cast<unsigned char>(hit[-1]));
    bool ends_word = is_delimiter(static_cast<unsigned char>(hit[n]));
    if (starts_word && ends_word) return 1;
  }
  return 0;
}

void strip_marks(char* keyword) {
  char* out = keyword;
  for (const char* in = keyword; *in != '\0'; in++) {
    if (*in != '\'' && *in != '*') *out++ = *in;
  }
  *out = '\0';
}

}  // namespace karvel
