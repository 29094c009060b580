// The folding and word-boundary rules of a run's text encoding, as the
// keywords loader, the keyword matcher, the block index and the word lists
// of the similarity test use them.
//
// Code page 866 keeps the byte rules of fold.h and words.h. UTF-8 folds and
// delimits whole characters (utf8_text.h); a byte-order mark at the start of
// a file belongs to no keyword and no word.

#ifndef KARVEL_TEXT_TEXT_RULES_H_
#define KARVEL_TEXT_TEXT_RULES_H_

#include <cstddef>

#include "files/text_encoding.h"

namespace karvel {

// Folds a NUL-terminated line in place up to its first line feed or NUL.
void fold_text(char* line, TextEncoding encoding);

// The same for a line whose first NUL is at line[length], which saves
// finding it.
void fold_text(char* line, size_t length, TextEncoding encoding);

// True when an occurrence that begins at line[start] begins the line or
// follows a delimiter.
bool follows_delimiter(const unsigned char* line, size_t start, TextEncoding encoding);

// True when line[pos] begins a delimiter or pos is the end of the line's
// `length` characters.
bool precedes_delimiter(const unsigned char* line, size_t length, size_t pos,
                        TextEncoding encoding);

// Length of the delimiter that begins at line[pos], pos < length; 0 when
// none begins there.
size_t delimiter_length(const unsigned char* line, size_t length, size_t pos,
                        TextEncoding encoding);

// Bytes of the byte-order mark that begins the first read of a file: 3 when
// the encoding is UTF-8 and the read begins with one, else 0.
size_t byte_order_mark_length(const char* first_read, size_t length, TextEncoding encoding);

}  // namespace karvel

#endif  // KARVEL_TEXT_TEXT_RULES_H_
