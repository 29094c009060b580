// Building the keyword filter and finding the positions of a line that pass.

#include "text/keyword_filter.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cstring>

#include "text/keyword_table.h"

namespace karvel {

namespace {

constexpr uint32_t kHashFactor = 0x9E3779B1u;
// At most 2^17 bits (16 KiB): with 4999 keywords a position passes by chance
// a few times in a hundred, and the table leaves room in the cache.
constexpr uint32_t kMaxTableBits = 17;
constexpr uint32_t kMinTableBits = 9;
constexpr uint32_t kGroups = 8;

// The four bytes at p, the first in the low byte.
uint32_t four_bytes(const unsigned char* p) {
  uint32_t w;
  memcpy(&w, p, sizeof w);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap32(w);
  return w;
}

uint32_t two_bytes(const unsigned char* p) { return p[0] | uint32_t{p[1]} << 8; }

void set_bit(std::vector<uint64_t>& bits, uint32_t n) { bits[n >> 6] |= uint64_t{1} << (n & 63); }

uint64_t bit(const uint64_t* bits, uint32_t n) { return bits[n >> 6] >> (n & 63) & 1; }

// The hash test of the position at p: 1 when it passes.
uint64_t hash_test(const KeywordFilter& f, const unsigned char* p) {
  uint64_t pass = bit(f.long_bits.data(), (four_bytes(p) * kHashFactor) >> f.shift);
  if (!f.pair_bits.empty()) pass |= bit(f.pair_bits.data(), two_bytes(p));
  return pass;
}

// Groups by first byte: the first bytes in falling order of their keyword
// counts take the groups in turn, so that the biggest ones part.
void build_groups(const KeywordTable& table, KeywordFilter* f) {
  uint32_t count[256] = {};
  for (uint32_t k = 0; k < table.get_keyword_count(); k++) {
    count[static_cast<unsigned char>(table.get_keyword(k)[0])]++;
  }
  count[0] = 0;  // empty keywords
  uint8_t order[256];
  for (int b = 0; b < 256; b++) order[b] = static_cast<uint8_t>(b);
  std::stable_sort(order, order + 256,
                   [&count](uint8_t x, uint8_t y) { return count[x] > count[y]; });
  uint8_t group_of[256];
  for (int rank = 0; rank < 256; rank++)
    group_of[order[rank]] = static_cast<uint8_t>(rank % kGroups);
  for (uint32_t k = 0; k < table.get_keyword_count(); k++) {
    const unsigned char* text = reinterpret_cast<const unsigned char*>(table.get_keyword(k));
    if (text[0] == 0) continue;
    uint8_t group = static_cast<uint8_t>(1u << group_of[text[0]]);
    bool ended = false;
    for (size_t place = 0; place < kGroupBytes; place++) {
      ended = ended || text[place] == 0;
      for (int half = 0; half < 16; half++) {
        // Past the end of the keyword any byte will do.
        if (ended || (text[place] & 15) == half) f->low_groups[place][half] |= group;
        if (ended || text[place] >> 4 == half) f->high_groups[place][half] |= group;
      }
    }
  }
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) __m256i group_table(const uint8_t (&t)[16]) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t)));
}

// The group test, 32 positions at a time, then the hash test of the
// positions that passed it.
__attribute__((target("avx2"))) void find_candidates_avx2(const KeywordFilter& f,
                                                          const unsigned char* line, size_t length,
                                                          uint64_t* passed) {
  __m256i low[kGroupBytes], high[kGroupBytes];
  for (size_t place = 0; place < kGroupBytes; place++) {
    low[place] = group_table(f.low_groups[place]);
    high[place] = group_table(f.high_groups[place]);
  }
  const __m256i halves = _mm256_set1_epi8(0x0F);
  for (size_t base = 0; base < length; base += 32) {
    __m256i groups = _mm256_set1_epi8(-1);
    for (size_t place = 0; place < kGroupBytes; place++) {
      __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(line + base + place));
      __m256i l = _mm256_shuffle_epi8(low[place], _mm256_and_si256(v, halves));
      __m256i h =
          _mm256_shuffle_epi8(high[place], _mm256_and_si256(_mm256_srli_epi16(v, 4), halves));
      groups = _mm256_and_si256(groups, _mm256_and_si256(l, h));
    }
    __m256i none = _mm256_cmpeq_epi8(groups, _mm256_setzero_si256());
    uint64_t mask = ~static_cast<uint32_t>(_mm256_movemask_epi8(none));
    if (length - base < 32) mask &= (uint64_t{1} << (length - base)) - 1;
    uint64_t kept = 0;
    for (; mask != 0; mask &= mask - 1) {
      size_t i = static_cast<size_t>(std::countr_zero(mask));
      kept |= hash_test(f, line + base + i) << i;
    }
    if (base % 64 == 0) {
      passed[base / 64] = kept;
    } else {
      passed[base / 64] |= kept << 32;
    }
  }
}
#endif

}  // namespace

void build_keyword_filter(const KeywordTable& table, KeywordFilter* f, bool vectors) {
  uint32_t keywords = table.get_keyword_count();
  uint32_t table_bits = kMinTableBits;
  while (table_bits < kMaxTableBits && (uint64_t{1} << table_bits) < uint64_t{keywords} * 32) {
    table_bits++;
  }
  f->shift = 32 - table_bits;
  f->long_bits.assign((size_t{1} << table_bits) / 64, 0);
  f->pair_bits.clear();
  for (uint32_t k = 0; k < keywords; k++) {
    const unsigned char* text = reinterpret_cast<const unsigned char*>(table.get_keyword(k));
    size_t length = strnlen(table.get_keyword(k), kFilterBytes);
    if (length == kFilterBytes) {
      set_bit(f->long_bits, (four_bytes(text) * kHashFactor) >> f->shift);
    } else if (length > 0) {
      if (f->pair_bits.empty()) f->pair_bits.assign(65536 / 64, 0);
      if (length > 1) {
        set_bit(f->pair_bits, two_bytes(text));
      } else {
        for (uint32_t second = 0; second < 256; second++)
          set_bit(f->pair_bits, text[0] | second << 8);
      }
    }
  }
  f->vectors = false;
#if defined(__x86_64__)
  f->vectors = vectors && __builtin_cpu_supports("avx2");
#endif
  if (f->vectors) build_groups(table, f);
}

void find_keyword_candidates(const KeywordFilter& f, const unsigned char* line, size_t length,
                             uint64_t* passed) {
#if defined(__x86_64__)
  if (f.vectors) {
    find_candidates_avx2(f, line, length, passed);
    return;
  }
#endif
  for (size_t base = 0; base < length; base += 64) {
    size_t end = std::min(length, base + 64);
    uint64_t word = 0;
    for (size_t i = base; i < end; i++) word |= hash_test(f, line + i) << (i - base);
    passed[base / 64] = word;
  }
}

}  // namespace karvel
