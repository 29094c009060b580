// The vector form of the UTF-8 check (AVX2), for loops that check bytes as
// they pass: the streaming check of utf8_check.cc, and the statistics pass,
// which checks the source in the same walk that finds its line feeds.
//
// Every byte is classified by the high nibble of the byte before it, the low
// nibble of the byte before it and its own high nibble, three table look-ups
// whose results share a bit only where the pair of bytes is wrong: a lead
// byte without its continuation, a continuation byte without a lead, an
// overlong form, a surrogate or a code point past U+10FFFF. The third and
// fourth bytes of long characters are checked against the lead bytes two and
// three places back. So a fault shows at the byte where it ends, looking no
// more than three bytes back: any bytes can be checked, more than once and in
// any order, as long as the 32 bytes before them are those of the file.

#ifndef KARVEL_TEXT_UTF8_VECTORS_H_
#define KARVEL_TEXT_UTF8_VECTORS_H_

#if defined(__x86_64__)
#include <immintrin.h>

#include <cstdint>

namespace karvel {
namespace utf8_vectors {

// Bits of the byte-pair classes.
constexpr uint8_t kTooShort = 1 << 0;      // lead byte followed by a lead byte or ASCII
constexpr uint8_t kTooLong = 1 << 1;       // ASCII followed by a continuation byte
constexpr uint8_t kOverlong3 = 1 << 2;     // E0 followed by 80..9F
constexpr uint8_t kTooLarge = 1 << 3;      // F4 followed by 90..BF, or F5..FF
constexpr uint8_t kSurrogate = 1 << 4;     // ED followed by A0..BF
constexpr uint8_t kOverlong2 = 1 << 5;     // C0 or C1
constexpr uint8_t kTooLarge1000 = 1 << 6;  // F5..FF followed by 80..8F
constexpr uint8_t kOverlong4 = 1 << 6;     // F0 followed by 80..8F
constexpr uint8_t kTwoConts = 1 << 7;      // two continuation bytes
constexpr uint8_t kCarry = kTooShort | kTooLong | kTwoConts;

__attribute__((target("avx2"), always_inline)) inline __m256i table(const uint8_t (&t)[16]) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t)));
}

// The bytes of `input` moved n places on, the last n of `previous` before them.
template <int n>
__attribute__((target("avx2"), always_inline)) inline __m256i before(__m256i input,
                                                                     __m256i previous) {
  return _mm256_alignr_epi8(input, _mm256_permute2x128_si256(previous, input, 0x21), 16 - n);
}

__attribute__((target("avx2"), always_inline)) inline __m256i high_nibbles(__m256i v) {
  return _mm256_and_si256(_mm256_srli_epi16(v, 4), _mm256_set1_epi8(0x0F));
}

// Non-zero bytes where `input`, after `previous`, is not valid UTF-8.
__attribute__((target("avx2"), always_inline)) inline __m256i check_block(__m256i input,
                                                                          __m256i previous) {
  // clang-format off
  static const uint8_t kFirstHigh[16] = {
      // 0_______: ASCII
      kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,
      // 10______: continuation
      kTwoConts, kTwoConts, kTwoConts, kTwoConts,
      // 1100____, 1101____: lead of two; 1110____: of three; 1111____: of four
      kTooShort | kOverlong2, kTooShort, kTooShort | kOverlong3 | kSurrogate,
      kTooShort | kTooLarge | kTooLarge1000 | kOverlong4};
  static const uint8_t kFirstLow[16] = {
      kCarry | kOverlong3 | kOverlong2 | kOverlong4,  // ____0000
      kCarry | kOverlong2,                            // ____0001
      kCarry, kCarry,                                 // ____001_
      kCarry | kTooLarge,                             // ____0100
      kCarry | kTooLarge | kTooLarge1000,             // ____0101 and up
      kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
      kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
      kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
      kCarry | kTooLarge | kTooLarge1000,
      kCarry | kTooLarge | kTooLarge1000 | kSurrogate,  // ____1101
      kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000};
  static const uint8_t kSecondHigh[16] = {
      // 0_______: ASCII
      kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
      kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4,  // 1000____
      kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge,                   // 1001____
      kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,                   // 101_____
      kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
      // 11______: a lead byte
      kTooShort, kTooShort, kTooShort, kTooShort};
  // clang-format on
  __m256i previous1 = before<1>(input, previous);
  __m256i first_high = _mm256_shuffle_epi8(table(kFirstHigh), high_nibbles(previous1));
  __m256i first_low =
      _mm256_shuffle_epi8(table(kFirstLow), _mm256_and_si256(previous1, _mm256_set1_epi8(0x0F)));
  __m256i second_high = _mm256_shuffle_epi8(table(kSecondHigh), high_nibbles(input));
  __m256i special = _mm256_and_si256(_mm256_and_si256(first_high, first_low), second_high);
  // A third or fourth byte must follow a lead of three or four bytes.
  __m256i third = _mm256_subs_epu8(before<2>(input, previous), _mm256_set1_epi8(char(0xE0 - 0x80)));
  __m256i fourth =
      _mm256_subs_epu8(before<3>(input, previous), _mm256_set1_epi8(char(0xF0 - 0x80)));
  __m256i must_continue =
      _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(char(0x80)));
  return _mm256_xor_si256(must_continue, special);
}

// Non-zero when the block ends inside a character.
__attribute__((target("avx2"), always_inline)) inline __m256i ends_incomplete(__m256i input) {
  const __m256i limits =
      _mm256_setr_epi8(char(255), char(255), char(255), char(255), char(255), char(255), char(255),
                       char(255), char(255), char(255), char(255), char(255), char(255), char(255),
                       char(255), char(255), char(255), char(255), char(255), char(255), char(255),
                       char(255), char(255), char(255), char(255), char(255), char(255), char(255),
                       char(255), char(0xF0 - 1), char(0xE0 - 1), char(0xC0 - 1));
  return _mm256_subs_epu8(input, limits);
}
// Checks the 64 bytes `low`, `high` that follow `previous` in the file, and
// moves `previous` on to `high`. `errors` gathers faults, `incomplete` says
// whether the bytes checked so far end inside a character; plain ASCII costs
// one test. Returns whether a byte from 128 up was seen.
__attribute__((target("avx2"), always_inline)) inline bool check_64(__m256i low, __m256i high,
                                                                    __m256i& previous,
                                                                    __m256i& errors,
                                                                    __m256i& incomplete) {
  bool multibyte = false;
  if (_mm256_movemask_epi8(_mm256_or_si256(low, high)) == 0) {
    // Plain ASCII: only a character cut off before it is wrong.
    errors = _mm256_or_si256(errors, incomplete);
    incomplete = _mm256_setzero_si256();
  } else {
    multibyte = true;
    errors = _mm256_or_si256(errors, check_block(low, previous));
    errors = _mm256_or_si256(errors, check_block(high, low));
    incomplete = ends_incomplete(high);
  }
  previous = high;
  return multibyte;
}

}  // namespace utf8_vectors
}  // namespace karvel

#endif  // defined(__x86_64__)
#endif  // KARVEL_TEXT_UTF8_VECTORS_H_
