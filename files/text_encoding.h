// The encoding of the text in a run's files, which decides how letter case is
// folded and where words end.
//
// Code page 866: bytes are characters; the folding table and the 14
// delimiters of text/fold.h and text/words.h. UTF-8: characters of one to four
// bytes, Unicode simple case folding where it keeps a character's length, and
// the Unicode space separators and punctuation as further delimiters.

#ifndef KARVEL_FILES_TEXT_ENCODING_H_
#define KARVEL_FILES_TEXT_ENCODING_H_

namespace karvel {

enum class TextEncoding { kCp866, kUtf8 };

// What a run is told to use: kAuto picks UTF-8 when the keywords file and the
// whole source are valid UTF-8 and one of them holds a multi-byte character.
enum class EncodingChoice { kAuto, kUtf8, kCp866 };

}  // namespace karvel

#endif  // KARVEL_FILES_TEXT_ENCODING_H_
