// Building the keyword filter and finding the positions of a line that pass.

#include "text/keyword_filter.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "text/keyword_table.h"

namespace karvel {

namespace {

constexpr uint32_t kHashFactor = 0x9E3779B1u;
constexpr uint64_t kLongHashFactor = 0x9E3779B97F4A7C15u;
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

// The eight bytes at p, the first in the low byte.
uint64_t eight_bytes(const unsigned char* p) {
  uint64_t w;
  memcpy(&w, p, sizeof w);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
  return w;
}

uint32_t two_bytes(const unsigned char* p) { return p[0] | uint32_t{p[1]} << 8; }

void set_bit(std::vector<uint64_t>& bits, uint32_t n) { bits[n >> 6] |= uint64_t{1} << (n & 63); }

uint32_t hash_of_four(const KeywordFilter& f, const unsigned char* p) {
  return (four_bytes(p) * kHashFactor) >> f.shift;
}

uint32_t hash_of_eight(const KeywordFilter& f, const unsigned char* p) {
  return static_cast<uint32_t>((eight_bytes(p) * kLongHashFactor) >> (f.shift + 32));
}

// Marks the places of the keyword `text` in the tables of `group` (a bit).
void add_to_group(const unsigned char* text, uint8_t group, KeywordFilter* f) {
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

// A group that holds keywords of different first bytes also passes the
// bytes made of the halves of one and of another, so each first byte keeps
// groups of its own while there are enough: the first bytes with the most
// keywords per group take the spare groups, and their keywords are cut, in
// the order of their second bytes, into runs of about as many. With more
// first bytes than groups, they take the groups in turn in falling order of
// their keyword counts, so that the biggest ones part.
void build_groups(const KeywordTable& table, KeywordFilter* f) {
  std::vector<std::pair<uint32_t, uint32_t>> keys;  // first two bytes, keyword
  uint32_t count[256] = {};                         // keywords by first byte
  for (uint32_t k = 0; k < table.get_keyword_count(); k++) {
    const unsigned char* text = reinterpret_cast<const unsigned char*>(table.get_keyword(k));
    if (text[0] == 0) continue;
    keys.emplace_back(text[0] << 8 | text[1], k);
    count[text[0]]++;
  }
  if (keys.empty()) return;
  std::sort(keys.begin(), keys.end());
  std::vector<uint32_t> firsts;  // the first bytes, most keywords first
  for (uint32_t b = 1; b < 256; b++) {
    if (count[b] > 0) firsts.push_back(b);
  }
  std::stable_sort(firsts.begin(), firsts.end(),
                   [&count](uint32_t x, uint32_t y) { return count[x] > count[y]; });
  uint32_t groups[256] = {};       // groups of a first byte
  uint32_t first_group[256] = {};  // the first of them
  if (firsts.size() >= kGroups) {
    for (size_t rank = 0; rank < firsts.size(); rank++) first_group[firsts[rank]] = rank % kGroups;
  } else {
    for (uint32_t b : firsts) groups[b] = 1;
    for (size_t spare = kGroups - firsts.size(); spare > 0; spare--) {
      uint32_t most = firsts[0];
      for (uint32_t b : firsts) {
        if (uint64_t{count[b]} * groups[most] > uint64_t{count[most]} * groups[b]) most = b;
      }
      groups[most]++;
    }
    uint32_t next = 0;
    for (uint32_t b : firsts) {
      first_group[b] = next;
      next += groups[b];
    }
  }
  size_t start = 0;  // the first keyword of this first byte in `keys`
  size_t run = 0;    // the first keyword of these two bytes, which share a group
  for (size_t n = 0; n < keys.size(); n++) {
    uint32_t b = keys[n].first >> 8;
    if (keys[n].first >> 8 != keys[start].first >> 8) start = n;
    if (keys[n].first != keys[run].first) run = n;
    uint32_t group = first_group[b];
    if (groups[b] > 1) group += static_cast<uint32_t>((run - start) * groups[b] / count[b]);
    add_to_group(reinterpret_cast<const unsigned char*>(table.get_keyword(keys[n].second)),
                 static_cast<uint8_t>(1u << group), f);
  }
}

#if defined(__x86_64__)
uint64_t bit(const uint64_t* bits, uint32_t n) { return bits[n >> 6] >> (n & 63) & 1; }

// The hash test of the position at p: 1 when it passes.
uint64_t hash_test(const KeywordFilter& f, const unsigned char* p) {
  const uint64_t* bits = f.long_bits.data();
  uint64_t pass = bit(bits, hash_of_four(f, p)) | bit(bits, hash_of_eight(f, p));
  if (!f.pair_bits.empty()) pass |= bit(f.pair_bits.data(), two_bytes(p));
  return pass;
}

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

void build_keyword_filter(const KeywordTable& table, KeywordFilter* f, bool wanted) {
  *f = KeywordFilter();
#if defined(__x86_64__)
  f->in_use = wanted && __builtin_cpu_supports("avx2");
#endif
  if (!f->in_use) return;
  uint32_t keywords = table.get_keyword_count();
  uint32_t table_bits = kMinTableBits;
  while (table_bits < kMaxTableBits && (uint64_t{1} << table_bits) < uint64_t{keywords} * 32) {
    table_bits++;
  }
  f->shift = 32 - table_bits;
  f->long_bits.assign((size_t{1} << table_bits) / 64, 0);
  for (uint32_t k = 0; k < keywords; k++) {
    const unsigned char* text = reinterpret_cast<const unsigned char*>(table.get_keyword(k));
    size_t length = strnlen(table.get_keyword(k), 8);
    if (length == 8) {
      set_bit(f->long_bits, hash_of_eight(*f, text));
    } else if (length >= 4) {
      set_bit(f->long_bits, hash_of_four(*f, text));
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
  build_groups(table, f);
}

void find_keyword_candidates(const KeywordFilter& f, const unsigned char* line, size_t length,
                             uint64_t* passed) {
#if defined(__x86_64__)
  find_candidates_avx2(f, line, length, passed);
#else
  (void)f;
  (void)line;
  for (size_t base = 0; base < length; base += 64) passed[base / 64] = ~uint64_t{0};
#endif
}

}  // namespace karvel
