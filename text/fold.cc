// The case-folding table and the folding of one line for keyword matching.
//
// The table starts out filled, so that text folded before the first run (in
// tests, say) is folded right; build_fold_table fills it again from the rule.

#include "text/fold.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cstring>

namespace karvel {

// clang-format off
unsigned char fold_table[256] = {
    0,   1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  11,  12,  13,  14,  15,
    16,  17,  18,  19,  20,  21,  22,  23,  24,  25,  26,  27,  28,  29,  30,  31,
    32,  33,  34,  35,  36,  37,  38,  39,  40,  41,  42,  43,  44,  45,  46,  47,
    48,  49,  50,  51,  52,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,  63,
    64,  97,  98,  99,  100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111,
    112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 91,  92,  93,  94,  95,
    96,  97,  98,  99,  100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111,
    112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 127,
    160, 161, 162, 163, 164, 165, 166, 167, 168, 169, 170, 171, 172, 173, 174, 175,
    224, 225, 226, 227, 228, 229, 230, 231, 232, 233, 234, 235, 236, 237, 238, 239,
    160, 161, 162, 163, 164, 165, 166, 167, 168, 169, 170, 171, 172, 173, 174, 175,
    176, 177, 178, 179, 180, 181, 182, 183, 184, 185, 186, 187, 188, 189, 190, 191,
    192, 193, 194, 195, 196, 197, 198, 199, 200, 201, 202, 203, 204, 205, 206, 207,
    208, 209, 210, 211, 212, 213, 214, 215, 216, 217, 218, 219, 220, 221, 222, 223,
    224, 225, 226, 227, 228, 229, 230, 231, 232, 233, 234, 235, 236, 237, 238, 239,
    240, 241, 242, 243, 244, 245, 246, 247, 248, 249, 250, 251, 252, 253, 254, 255,
};
// clang-format on

void build_fold_table() {
  for (int v = 0; v < 256; v++) {
    int folded = v;
    if ((v >= 'A' && v <= 'Z') || (v >= 128 && v <= 143)) {
      folded = v + 32;  // ASCII capitals; Cyrillic capitals A to P
    } else if (v >= 144 && v <= 159) {
      folded = v + 80;  // Cyrillic capitals R to Ya
    }
    fold_table[v] = static_cast<unsigned char>(folded);
  }
}

#if defined(__SSE2__)
namespace {

// 0xFF in the bytes of v from `low` to `high`.
__m128i in_range(__m128i v, char low, char high) {
  __m128i above = _mm_subs_epu8(_mm_sub_epi8(v, _mm_set1_epi8(low)), _mm_set1_epi8(high - low));
  return _mm_cmpeq_epi8(above, _mm_setzero_si128());
}

}  // namespace
#endif

// Sixteen bytes at a time by the rule itself, where the processor has SSE2;
// the rest through the table.
void fold_line(char* line) { fold_line(line, strcspn(line, "\n")); }

void fold_line(char* line, size_t length) {
  unsigned char* p = reinterpret_cast<unsigned char*>(line);
  const unsigned char* end = p + length;
#if defined(__SSE2__)
  for (; end - p >= 16; p += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i by_32 = _mm_or_si128(in_range(v, 'A', 'Z'), in_range(v, '\x80', '\x8f'));
    __m128i by_80 = in_range(v, '\x90', '\x9f');
    __m128i add = _mm_or_si128(_mm_and_si128(by_32, _mm_set1_epi8(32)),
                               _mm_and_si128(by_80, _mm_set1_epi8(80)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_add_epi8(v, add));
  }
#endif
  for (; p < end; p++) *p = fold_table[*p];
}

}  // namespace karvel
