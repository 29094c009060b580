// Conversion of code page 866 text with iconv.

#include "text/text_conversion.h"

#include <iconv.h>

#include <cerrno>

namespace karvel {

std::string convert_from_cp866(const std::string& text, const char* to) {
  iconv_t convert = iconv_open((std::string(to) + "//TRANSLIT").c_str(), "CP866");
  if (convert == reinterpret_cast<iconv_t>(-1)) return text;
  std::string out;
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  char buffer[256];
  while (in_left > 0) {
    char* next = buffer;
    size_t room = sizeof buffer;
    size_t done = iconv(convert, &in, &in_left, &next, &room);
    out.append(buffer, static_cast<size_t>(next - buffer));
    if (done == static_cast<size_t>(-1) && errno != E2BIG) {
      // A character the target cannot show at all.
      out += '?';
      ++in;
      --in_left;
    }
  }
  iconv_close(convert);
  return out;
}

}  // namespace karvel
