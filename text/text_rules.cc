// The rules of each text encoding, chosen per call.

#include "text/text_rules.h"

#include <cstring>

#include "text/fold.h"
#include "text/utf8_text.h"
#include "text/words.h"

namespace karvel {

void fold_text(char* line, TextEncoding encoding) { fold_text(line, strlen(line), encoding); }

void fold_text(char* line, size_t length, TextEncoding encoding) {
  if (encoding == TextEncoding::kUtf8) {
    fold_utf8_line(line, length);
  } else {
    fold_line(line, length);
  }
}

bool follows_delimiter(const unsigned char* line, size_t start, TextEncoding encoding) {
  if (start == 0) return true;
  if (encoding == TextEncoding::kUtf8) return utf8_delimiter_before(line, start);
  return is_delimiter(line[start - 1]) != 0;
}

bool precedes_delimiter(const unsigned char* line, size_t length, size_t pos,
                        TextEncoding encoding) {
  if (pos >= length) return true;
  return delimiter_length(line, length, pos, encoding) != 0;
}

size_t delimiter_length(const unsigned char* line, size_t length, size_t pos,
                        TextEncoding encoding) {
  if (encoding == TextEncoding::kUtf8) return utf8_delimiter_length(line, length, pos);
  return is_delimiter(line[pos]) != 0 ? 1 : 0;
}

size_t byte_order_mark_length(const char* first_read, size_t length, TextEncoding encoding) {
  const size_t mark = sizeof kByteOrderMark - 1;
  if (encoding != TextEncoding::kUtf8 || length < mark) return 0;
  return memcmp(first_read, kByteOrderMark, mark) == 0 ? mark : 0;
}

}  // namespace karvel
