// Code page 866 text converted for showing: to UTF-8 for the dialog, to the
// terminal's own encoding for karvel-batch.

#ifndef KARVEL_TEXT_TEXT_CONVERSION_H_
#define KARVEL_TEXT_TEXT_CONVERSION_H_

#include <string>

namespace karvel {

// `text` in code page 866, converted to the encoding that iconv knows as
// `to` ("UTF-8", or nl_langinfo(CODESET)). A character the target lacks
// becomes its nearest form or "?"; when the conversion is not to be had at
// all the text comes back unchanged.
std::string convert_from_cp866(const std::string& text, const char* to);

}  // namespace karvel

#endif  // KARVEL_TEXT_TEXT_CONVERSION_H_
