// Words of a line: the delimiter set, the word splitter and whole-word search.
//
// The 14 delimiters are blank, tab, , . ; : ! ? - ( ) " CR and LF; the end of
// a string (NUL) counts as one too. The apostrophe, asterisk, underscore, "/",
// digits and every byte from 128 up are not delimiters.

#ifndef KARVEL_TEXT_WORDS_H_
#define KARVEL_TEXT_WORDS_H_

namespace karvel {

// 1 when `c` (taken as an 8-bit value) is a delimiter or NUL, else 0.
int is_delimiter(int c);

// Hands out the words of one line one by one, as strtok over a private copy
// of the line with the delimiters as separators would.
class WordSplitter {
 public:
  // With *started 0: copies `line` (at most 99 characters are kept) and
  // starts on it, setting *started to 1. Otherwise goes on in the copy and
  // `line` is ignored. `word` (100 bytes) receives the next word, or the empty
  // string once the line is exhausted.
  void next_word(const char* line, short* started, char* word);

 private:
  char buffer_[100] = {};  // copy of the line being split, NUL-terminated
  int position_ = 0;       // where the next word is looked for in buffer_
};

// 1 when `word` occurs in `text` as a whole word: at the start or after a
// delimiter, and followed by a delimiter or the end. Overlapping occurrences
// are tried in turn. Case-sensitive. An empty word is never found.
int find_whole_word(const char* text, const char* word);

// Removes every apostrophe and asterisk from a keyword (at most 99
// characters) in place.
void strip_marks(char* keyword);

}  // namespace karvel

#endif  // KARVEL_TEXT_WORDS_H_
