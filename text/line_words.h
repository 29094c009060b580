// The words of one line read, for the word lists of the similarity test:
// the runs of characters between delimiters, found sixteen bytes at a time.
//
// A read's text is its characters up to the first NUL, its line end (LF, or
// CR LF read as LF) a delimiter like any other. In code page 866 every
// delimiter is one ASCII byte. In UTF-8 a delimiter may also be a character
// of one to four bytes (see text_rules.h), which always begins with one of
// a few lead bytes: C2 for the Latin-1 punctuation, E2 for the general
// punctuation, and so on, but never D0 or D1 (Cyrillic), C3 (Latin-1
// letters) or a byte that begins no character. A UTF-8 read without such a
// lead byte is split on its ASCII delimiters as code page 866 text is; any
// other is split a character at a time.

#ifndef KARVEL_TEXT_LINE_WORDS_H_
#define KARVEL_TEXT_LINE_WORDS_H_

#include <cstddef>
#include <cstdint>

#include "files/line_reader.h"
#include "files/text_encoding.h"

namespace karvel {

struct WordSpan {
  uint8_t start;   // the word's first byte, counted from the read's first byte
  uint8_t length;  // its bytes
};

// A read of 99 characters holds at most 50 words.
inline constexpr size_t kMaxLineWords = 50;

// Bytes that find_line_words reads from a read's first byte on: the read
// and what follows it, which must be readable.
inline constexpr size_t kLineWordsWindow = 112;

// Finds the words of `read` from its byte `skip` on (the byte-order mark
// that begins a UTF-8 file is no part of a word), in order, into `words`
// (room for kMaxLineWords). Returns their number. Words of any length are
// found; the bytes of each lie in read.bytes.
size_t find_line_words(const LineRead& read, TextEncoding encoding, size_t skip, WordSpan* words);

}  // namespace karvel

#endif  // KARVEL_TEXT_LINE_WORDS_H_
