// Case folding of 8-bit text for keyword matching.
//
// ASCII capitals fold to their small letters, and so do the 32 Cyrillic
// capitals of code page 866 (128..143 to 160..175, 144..159 to 224..239).
// No other byte changes: not 240 (capital Io), not accented Latin letters.

#ifndef KARVEL_TEXT_FOLD_H_
#define KARVEL_TEXT_FOLD_H_

#include <cstddef>

namespace karvel {

// The run-wide folding table, indexed by the unsigned byte value.
extern unsigned char fold_table[256];

// Fills fold_table. Called at the start of every run.
void build_fold_table();

// Folds a NUL-terminated line in place up to its first line feed or NUL.
void fold_line(char* line);
// Folds the first `length` bytes of a line in place (a line feed folds to
// itself, so a read's text may be given with its line feed).
void fold_line(char* line, size_t length);

}  // namespace karvel

#endif  // KARVEL_TEXT_FOLD_H_
