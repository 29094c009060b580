// Decoding, case folding and delimiters of UTF-8 text.
//
// The folding and delimiter tables are built once, on first use, from the
// generated lists of unicode_tables.cc: folding in pages of 256 code points,
// delimiters of the Basic Multilingual Plane as a bitmap.

#include "text/utf8_text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
  // The folded bytes of the two-byte characters, by their 11 code-point bits
  // ((lead & 0x1F) << 6 | (continuation & 0x3F)); folding keeps them two bytes.
  unsigned char two_bytes[0x800][2] = {};
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
    for (uint32_t c = 0x80; c < 0x800; ++c) put_utf8_character(look_up(c), 2, two_bytes[c]);
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

namespace {

// Folds the character that begins with the byte 0x80 or above at p, p < end,
// or leaves that byte alone when it begins none. Returns the bytes taken.
size_t fold_beyond_ascii(const FoldingPages& table, unsigned char* p, const unsigned char* end) {
  if (p[0] >= 0xC2 && p[0] <= 0xDF && end - p >= 2 && is_continuation(p[1])) {
    memcpy(p, table.two_bytes[(p[0] & 0x1Fu) << 6 | (p[1] & 0x3Fu)], 2);
    return 2;
  }
  uint32_t c;
  size_t length = utf8_character(p, end, &c);
  if (length == 0) return 1;  // no character: the byte stays as it is
  uint32_t folded = table.look_up(c);
  if (folded != c) put_utf8_character(folded, length, p);
  return length;
}

}  // namespace

// Sixteen bytes at a time where the processor has SSE2: their ASCII capitals
// fold at once, as a byte below 0x80 is always a character of its own, and
// their two-byte characters straight through the table; any other byte
// beyond ASCII sends the sixteen through fold_beyond_ascii one character at a
// time. The last sixteen bytes of the line may overlap those already folded
// (folding them again changes nothing); a line shorter than sixteen is folded
// in a zero-filled copy. No valid character holds a line feed or NUL, so
// finding the end on the way folds the same bytes as finding it first.
void fold_utf8_line(char* line, size_t length) {
  const FoldingPages& table = folding_pages();
  unsigned char* p = reinterpret_cast<unsigned char*>(line);
  unsigned char* end = p + length;
#if defined(__SSE2__)
  const __m128i positions = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  alignas(16) unsigned char short_line[16] = {};
  if (length < 16) memcpy(short_line, p, length);
  while (p < end) {
    // The sixteen bytes at `base`, of which those from `p` on are new.
    unsigned char* base = length < 16 ? short_line : end - p >= 16 ? p : end - 16;
    const int skip = length < 16 ? 0 : static_cast<int>(p - base);
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base));
    const unsigned stops = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
        _mm_cmpeq_epi8(v, _mm_setzero_si128()), _mm_cmpeq_epi8(v, _mm_set1_epi8('\n')))));
    const int taken = stops == 0 ? 16 : __builtin_ctz(stops);
    // Signed comparisons: the bytes from 0x80 up are below 'A'.
    __m128i capitals = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('A' - 1)),
                                     _mm_cmplt_epi8(v, _mm_set1_epi8('Z' + 1)));
    if (stops != 0) {
      capitals = _mm_and_si128(capitals,
                               _mm_cmplt_epi8(positions, _mm_set1_epi8(static_cast<char>(taken))));
    }
    v = _mm_add_epi8(v, _mm_and_si128(capitals, _mm_set1_epi8(32)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(base), v);
    if (length < 16) {
      // Continue in the copy; it goes back to the line at the end.
      base = short_line;
      end = short_line + taken;
      p = short_line;
    } else if (taken < 16) {
      end = base + taken;
    }
    const unsigned within = ((1u << taken) - 1) & ~((1u << skip) - 1);
    const unsigned beyond_ascii = static_cast<unsigned>(_mm_movemask_epi8(v)) & within;
    if (beyond_ascii == 0 && length >= 16) {
      p = base + taken;
      if (taken < 16) break;
      continue;
    }
    // Lead bytes 0xC2 to 0xDF and continuation bytes, in signed terms.
    const unsigned leads =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(
            _mm_cmpgt_epi8(v, _mm_set1_epi8(-63)), _mm_cmplt_epi8(v, _mm_set1_epi8(-32))))) &
        within;
    const unsigned continuations =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(-64)))) & within;
    const unsigned pairs = leads & continuations >> 1;
    const unsigned last_lead = taken == 16 ? leads & ~pairs & 0x8000u : 0;
    if (beyond_ascii == (pairs | pairs << 1 | last_lead)) {
      // The last lead byte's continuation, if any, is the next byte.
      for (unsigned m = pairs; m != 0; m &= m - 1) {
        unsigned char* c = base + __builtin_ctz(m);
        memcpy(c, table.two_bytes[(c[0] & 0x1Fu) << 6 | (c[1] & 0x3Fu)], 2);
      }
      p = last_lead != 0 ? base + 15 + fold_beyond_ascii(table, base + 15, end) : base + taken;
    } else {
      const unsigned char* next = base + taken;
      p = base + __builtin_ctz(beyond_ascii);
      while (p < next) p += *p < 0x80 ? 1 : fold_beyond_ascii(table, p, end);
    }
    if (length < 16) {
      memcpy(line, short_line, static_cast<size_t>(taken));
      break;
    }
    if (taken < 16) break;
  }
#else
  for (; p < end && *p != '\0' && *p != '\n'; ++p) {
    if (*p >= 'A' && *p <= 'Z') {
      *p = static_cast<unsigned char>(*p + 32);
    } else if (*p >= 0x80) {
      p += fold_beyond_ascii(table, p, end) - 1;
    }
  }
#endif
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
