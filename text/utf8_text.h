// UTF-8 characters for keyword matching: decoding one character, case
// folding in place, and the delimiter set.
//
// Bytes that form no valid, complete character (a stray continuation byte,
// an overlong form, a surrogate, a code point past U+10FFFF, a character cut
// off at the end of a read) are taken one by one: they are never folded and
// never delimiters, so they match byte for byte.

#ifndef KARVEL_TEXT_UTF8_TEXT_H_
#define KARVEL_TEXT_UTF8_TEXT_H_

#include <cstddef>
#include <cstdint>

namespace karvel {

// Length (1 to 4) of the valid, complete character that begins at p, with
// `end` the first byte not to be looked at; 0 when none begins there.
// *code_point receives the character.
size_t utf8_character(const unsigned char* p, const unsigned char* end, uint32_t* code_point);

// Writes the character in `length` bytes (its UTF-8 length) at p.
void put_utf8_character(uint32_t code_point, size_t length, unsigned char* p);

// Simple case folding of one code point where it keeps the UTF-8 length;
// every other code point folds to itself.
uint32_t fold_code_point(uint32_t code_point);

// Folds the `length` bytes at `line` in place, up to the first line feed or
// NUL among them.
void fold_utf8_line(char* line, size_t length);

// True for the 14 ASCII delimiters, NUL, and the characters beyond ASCII of
// the general categories Z (separators) and P (punctuation). The rest of
// ASCII keeps its code page 866 rule: the apostrophe, the asterisk and the
// underscore are no delimiters.
bool is_utf8_delimiter(uint32_t code_point);

// Length of the delimiter character that begins at line[pos], pos < length;
// 0 when none begins there.
size_t utf8_delimiter_length(const unsigned char* line, size_t length, size_t pos);

// True when the character that ends just before line[pos] (pos > 0) is a
// delimiter; false when line[pos - 1] ends no valid character.
bool utf8_delimiter_before(const unsigned char* line, size_t pos);

// The byte-order mark EF BB BF.
inline constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

}  // namespace karvel

#endif  // KARVEL_TEXT_UTF8_TEXT_H_
