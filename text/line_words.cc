// Finding the words of a line read with bit masks: one bit a byte for the
// delimiters, the words read off as the runs of zero bits.

#include "text/line_words.h"

#include <cstring>

#include "text/text_rules.h"
#include "text/unicode_tables.h"
#include "text/words.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace karvel {

namespace {

using Mask = unsigned __int128;  // one bit a byte of a read's window

// Lead bytes of the UTF-8 delimiters beyond ASCII.
struct LeadBytes {
  bool begins_delimiter[256] = {};
  LeadBytes() {
    for (size_t i = 0; i < kDelimiterRangeCount; ++i) {
      for (uint32_t c = kDelimiterRanges[i].first; c <= kDelimiterRanges[i].last; ++c) {
        uint32_t lead = c < 0x800 ? 0xC0 | c >> 6 : c < 0x10000 ? 0xE0 | c >> 12 : 0xF0 | c >> 18;
        begins_delimiter[lead] = true;
      }
    }
  }
};

const LeadBytes& lead_bytes() {
  static const LeadBytes table;
  return table;
}

unsigned lowest_bit(Mask m) {
  uint64_t low = static_cast<uint64_t>(m);
  return low != 0 ? static_cast<unsigned>(__builtin_ctzll(low))
                  : 64 + static_cast<unsigned>(__builtin_ctzll(static_cast<uint64_t>(m >> 64)));
}

// Bits of the delimiter bytes and of the bytes from 128 up, in the first
// `vectors` sixteen bytes of the window.
void classify(const unsigned char* text, size_t vectors, Mask* delimiters, Mask* high) {
  *delimiters = 0;
  *high = 0;
#if defined(__SSE2__)
  for (size_t v = 0; v < vectors; ++v) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16 * v));
    auto is = [bytes](char c) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)); };
    // The delimiters " \t,.;:!?-()\"\r\n".
    __m128i found = _mm_or_si128(_mm_or_si128(is(' '), is('\t')), _mm_or_si128(is(','), is('.')));
    found = _mm_or_si128(
        found, _mm_or_si128(_mm_or_si128(is(';'), is(':')), _mm_or_si128(is('!'), is('?'))));
    found = _mm_or_si128(
        found, _mm_or_si128(_mm_or_si128(is('-'), is('(')), _mm_or_si128(is(')'), is('"'))));
    found = _mm_or_si128(found, _mm_or_si128(is('\r'), is('\n')));
    *delimiters |= Mask{static_cast<uint32_t>(_mm_movemask_epi8(found))} << (16 * v);
    *high |= Mask{static_cast<uint32_t>(_mm_movemask_epi8(bytes))} << (16 * v);
  }
#else
  for (size_t k = 0; k < 16 * vectors; ++k) {
    *delimiters |= Mask{is_delimiter(text[k]) != 0} << k;
    *high |= Mask{text[k] >= 0x80} << k;
  }
#endif
}

// A UTF-8 text a character at a time: a delimiter may begin at any byte.
size_t utf8_words(const unsigned char* text, size_t length, size_t position, WordSpan* words) {
  size_t count = 0;
  for (;;) {
    size_t skip;
    while (position < length &&
           (skip = delimiter_length(text, length, position, TextEncoding::kUtf8)) != 0) {
      position += skip;
    }
    if (position >= length) return count;
    size_t start = position;
    while (position < length &&
           delimiter_length(text, length, position, TextEncoding::kUtf8) == 0) {
      ++position;
    }
    words[count++] = {static_cast<uint8_t>(start), static_cast<uint8_t>(position - start)};
  }
}

}  // namespace

size_t find_line_words(const LineRead& read, TextEncoding encoding, size_t skip, WordSpan* words) {
  // The text ends at the read's first NUL, or with its characters; the CR
  // of a CR LF is no character, but it could only end the last word, as the
  // line feed does.
  size_t length = read.text_length();
  const unsigned char* text = reinterpret_cast<const unsigned char*>(read.bytes);
  Mask delimiters, high;
  classify(text, (length + 15) / 16, &delimiters, &high);
  Mask in_text = ((Mask{1} << length) - 1) & (~Mask{0} << skip);
  if (encoding == TextEncoding::kUtf8 && (high & in_text) != 0) {
    const bool* begins = lead_bytes().begins_delimiter;
    for (Mask m = high & in_text; m != 0; m &= m - 1) {
      if (begins[text[lowest_bit(m)]]) return utf8_words(text, length, skip, words);
    }
  }
  size_t count = 0;
  for (Mask m = ~delimiters & in_text; m != 0;) {
    unsigned start = lowest_bit(m);
    unsigned end = start + lowest_bit(~(m >> start));
    words[count++] = {static_cast<uint8_t>(start), static_cast<uint8_t>(end - start)};
    m &= ~Mask{0} << end;
  }
  return count;
}

}  // namespace karvel
