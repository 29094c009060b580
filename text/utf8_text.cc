// Decoding, case folding and delimiters of UTF-8 text.
//
// The folding and delimiter tables are built once, on first use, from the
// generated lists of unicode_tables.cc: folding in pages of 256 code points,
// delimiters of the Basic Multilingual Plane as a bitmap.

#include "text/utf8_text.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "text/unicode_tables.h"
#include "text/words.h"

namespace karvel {

namespace {

constexpr uint32_t kCodePoints = 0x110000;
constexpr uint32_t kPageBits = 8;
constexpr uint32_t kPlaneOne = 0x10000;

struct FoldingPages {
  std::vector<uint16_t> page_of;  // by code point >> 8: page + 1, 0 when nothing folds there
  std::vector<uint32_t> pages;    // 256 entries per page: the folded code point
  uint16_t two_bytes[0x800];      // the same for the code points below U+0800
  FoldingPages() : page_of(kCodePoints >> kPageBits, 0) {
    for (size_t i = 0; i < kCaseFoldingCount; ++i) {
      uint32_t from = kCaseFoldings[i].from;
      uint16_t& page = page_of[from >> kPageBits];
      if (page == 0) {
        uint32_t first = from & ~((1u << kPageBits) - 1);
        for (uint32_t c = first; c < first + (1u << kPageBits); ++c) pages.push_back(c);
        page = static_cast<uint16_t>(pages.size() >> kPageBits);
      }
      pages[((page - 1u) << kPageBits) + (from & ((1u << kPageBits) - 1))] = kCaseFoldings[i].to;
    }
    for (uint32_t c = 0; c < 0x800; ++c) two_bytes[c] = static_cast<uint16_t>(look_up(c));
  }
  uint32_t look_up(uint32_t c) const {
    uint32_t page = page_of[c >> kPageBits];
    return page == 0 ? c : pages[((page - 1) << kPageBits) + (c & ((1u << kPageBits) - 1))];
  }
};

const FoldingPages& folding_pages() {
  static const FoldingPages table;
  return table;
}

struct DelimiterBitmap {
  std::vector<uint64_t> bits;  // by code point below U+10000
  DelimiterBitmap() : bits(kPlaneOne / 64, 0) {
    for (uint32_t c = 0; c < 128; ++c) {
      if (is_delimiter(static_cast<int>(c))) bits[c / 64] |= uint64_t{1} << (c % 64);
    }
    for (size_t i = 0; i < kDelimiterRangeCount; ++i) {
      uint32_t last = std::min(kDelimiterRanges[i].last, kPlaneOne - 1);
      for (uint32_t c = kDelimiterRanges[i].first; c <= last; ++c) {
        bits[c / 64] |= uint64_t{1} << (c % 64);
      }
    }
  }
};

const DelimiterBitmap& delimiter_bitmap() {
  static const DelimiterBitmap table;
  return table;
}

bool is_continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

}  // namespace

size_t utf8_character(const unsigned char* p, const unsigned char* end, uint32_t* code_point) {
  if (p >= end) return 0;
  unsigned char b = p[0];
  if (b < 0x80) {
    *code_point = b;
    return 1;
  }
  size_t length;
  uint32_t c;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
    c = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    c = b & 0x0F;
    if (b == 0xE0) low = 0xA0;   // no overlong forms
    if (b == 0xED) high = 0x9F;  // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    c = b & 0x07;
    if (b == 0xF0) low = 0x90;   // no overlong forms
    if (b == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (end - p < static_cast<ptrdiff_t>(length) || p[1] < low || p[1] > high) return 0;
  for (size_t i = 1; i < length; ++i) {
    if (!is_continuation(p[i])) return 0;
    c = c << 6 | (p[i] & 0x3F);
  }
  *code_point = c;
  return length;
}

void put_utf8_character(uint32_t c, size_t length, unsigned char* p) {
  static const unsigned char kLead[5] = {0, 0, 0xC0, 0xE0, 0xF0};
  for (size_t i = length - 1; i > 0; --i) {
    p[i] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    c >>= 6;
  }
  p[0] = static_cast<unsigned char>(length == 1 ? c : kLead[length] | c);
}

uint32_t fold_code_point(uint32_t c) { return c < kCodePoints ? folding_pages().look_up(c) : c; }

// Plain ASCII goes eight bytes at a time, and two-byte characters (Latin,
// Greek, Cyrillic, Armenian, ...) through a table of their own; the rest is
// decoded, folded and written back one character at a time.
void fold_utf8_line(char* line) {
  const FoldingPages& table = folding_pages();
  unsigned char* p = reinterpret_cast<unsigned char*>(line);
  const unsigned char* end = p + strcspn(line, "\n");
  constexpr uint64_t kHighBits = 0x8080808080808080ull;
  while (p < end) {
    uint64_t word;
    if (end - p >= 8 && (memcpy(&word, p, 8), (word & kHighBits) == 0)) {
      // Bit 7 of each byte of `capitals` is set for 'A' to 'Z'; no byte
      // carries into the next, as every byte is below 128.
      uint64_t capitals = (word + 0x3F3F3F3F3F3F3F3Full) & ~(word + 0x2525252525252525ull);
      word |= (capitals & kHighBits) >> 2;
      memcpy(p, &word, 8);
      p += 8;
    } else if (*p < 0x80) {
      if (*p >= 'A' && *p <= 'Z') *p = static_cast<unsigned char>(*p + 32);
      ++p;
    } else if (*p >= 0xC2 && *p <= 0xDF && end - p >= 2 && is_continuation(p[1])) {
      uint32_t c = (p[0] & 0x1Fu) << 6 | (p[1] & 0x3Fu);
      uint32_t folded = table.two_bytes[c];
      if (folded != c) put_utf8_character(folded, 2, p);
      p += 2;
    } else {
      uint32_t c;
      size_t length = utf8_character(p, end, &c);
      if (length == 0) {
        ++p;  // no character: the byte stays as it is
        continue;
      }
      uint32_t folded = table.look_up(c);
      if (folded != c) put_utf8_character(folded, length, p);
      p += length;
    }
  }
}

bool is_utf8_delimiter(uint32_t c) {
  if (c < kPlaneOne) return (delimiter_bitmap().bits[c / 64] >> (c % 64) & 1) != 0;
  const CodePointRange* end = kDelimiterRanges + kDelimiterRangeCount;
  const CodePointRange* it = std::upper_bound(
      kDelimiterRanges, end, c, [](uint32_t v, const CodePointRange& r) { return v < r.first; });
  return it != kDelimiterRanges && it[-1].last >= c;
}

size_t utf8_delimiter_length(const unsigned char* line, size_t length, size_t pos) {
  uint32_t c;
  size_t n = utf8_character(line + pos, line + length, &c);
  return n != 0 && is_utf8_delimiter(c) ? n : 0;
}

bool utf8_delimiter_before(const unsigned char* line, size_t pos) {
  // The character's first byte is the nearest byte before pos that is no
  // continuation byte, at most four bytes back.
  size_t start = pos - 1;
  while (start > 0 && pos - start < 4 && is_continuation(line[start])) --start;
  uint32_t c = 0;
  return utf8_character(line + start, line + pos, &c) == pos - start && is_utf8_delimiter(c);
}

}  // namespace karvel
