// The streaming UTF-8 check.
//
// The vector form classifies every byte by the high nibble of the byte before
// it, the low nibble of the byte before it and its own high nibble, three
// table look-ups whose results share a bit only where the pair of bytes is
// wrong: a lead byte without its continuation, a continuation byte without a
// lead, an overlong form, a surrogate or a code point past U+10FFFF. The
// third and fourth bytes of long characters are checked against the lead
// bytes two and three places back. A block of plain ASCII skips all of this.

#include "text/utf8_check.h"

#include <unistd.h>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace karvel {

namespace {

#if defined(__x86_64__)
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

__attribute__((target("avx2"))) inline __m256i table(const uint8_t (&t)[16]) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t)));
}

// The bytes of `input` moved n places on, the last n of `previous` before them.
template <int n>
__attribute__((target("avx2"))) inline __m256i before(__m256i input, __m256i previous) {
  return _mm256_alignr_epi8(input, _mm256_permute2x128_si256(previous, input, 0x21), 16 - n);
}

__attribute__((target("avx2"))) inline __m256i high_nibbles(__m256i v) {
  return _mm256_and_si256(_mm256_srli_epi16(v, 4), _mm256_set1_epi8(0x0F));
}

// Non-zero bytes where `input`, after `previous`, is not valid UTF-8.
__attribute__((target("avx2"))) inline __m256i check_block(__m256i input, __m256i previous) {
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
__attribute__((target("avx2"))) inline __m256i ends_incomplete(__m256i input) {
  const __m256i limits =
      _mm256_setr_epi8(char(255), char(255), char(255), char(255), char(255), char(255), char(255),
                       char(255), char(255), char(255), char(255), char(255), char(255), char(255),
                       char(255), char(255), char(255), char(255), char(255), char(255), char(255),
                       char(255), char(255), char(255), char(255), char(255), char(255), char(255),
                       char(255), char(0xF0 - 1), char(0xE0 - 1), char(0xC0 - 1));
  return _mm256_subs_epu8(input, limits);
}
#endif

}  // namespace

#if defined(__x86_64__)
__attribute__((target("avx2"))) void Utf8Check::add_blocks_avx2(const unsigned char* p, size_t n) {
  __m256i previous = _mm256_load_si256(reinterpret_cast<const __m256i*>(previous_));
  __m256i errors = _mm256_setzero_si256();
  __m256i incomplete = incomplete_ ? _mm256_set1_epi8(1) : _mm256_setzero_si256();
  bool multibyte = multibyte_;
  for (size_t i = 0; i < n; i += 64) {
    __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 32));
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
  }
  _mm256_store_si256(reinterpret_cast<__m256i*>(previous_), previous);
  error_ |= !_mm256_testz_si256(errors, errors);
  incomplete_ = !_mm256_testz_si256(incomplete, incomplete);
  multibyte_ = multibyte;
}
#else
void Utf8Check::add_blocks_avx2(const unsigned char* p, size_t n) { add_bytes(p, n); }
#endif

void Utf8Check::add_bytes(const unsigned char* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    unsigned char b = p[i];
    if (due_ > 0) {
      if (b < low_ || b > high_) {
        error_ = true;
        due_ = 0;
        continue;
      }
      --due_;
      low_ = 0x80, high_ = 0xBF;
      continue;
    }
    if (b < 0x80) {
      // Skip ASCII eight bytes at a time.
      uint64_t word;
      while (i + 8 < n && (memcpy(&word, p + i + 1, 8), (word & 0x8080808080808080ull) == 0))
        i += 8;
      continue;
    }
    multibyte_ = true;
    if (b >= 0xC2 && b <= 0xDF) {
      due_ = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      due_ = 2;
      if (b == 0xE0) low_ = 0xA0;
      if (b == 0xED) high_ = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      due_ = 3;
      if (b == 0xF0) low_ = 0x90;
      if (b == 0xF4) high_ = 0x8F;
    } else {
      error_ = true;
    }
  }
}

void Utf8Check::add_blocks(const unsigned char* p, size_t n) {
#if defined(__x86_64__)
  static const bool wide = __builtin_cpu_supports("avx2");
  if (wide && vectors_) {
    add_blocks_avx2(p, n);
    return;
  }
#endif
  add_bytes(p, n);
}

void Utf8Check::add(const char* bytes, size_t n) {
  // Once a fault is found the answer stands: the rest costs nothing.
  if (error_) return;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
  if (pending_count_ > 0) {
    size_t take = std::min(n, sizeof pending_ - pending_count_);
    memcpy(pending_ + pending_count_, p, take);
    pending_count_ += take;
    p += take;
    n -= take;
    if (pending_count_ < sizeof pending_) return;
    add_blocks(pending_, sizeof pending_);
    pending_count_ = 0;
  }
  size_t whole = n & ~size_t{63};
  if (whole > 0) add_blocks(p, whole);
  memcpy(pending_, p + whole, n - whole);
  pending_count_ = n - whole;
}

bool Utf8Check::valid() {
  // The last bytes, followed by NULs: a character cut off before them fails.
  if (pending_count_ > 0) {
    memset(pending_ + pending_count_, 0, sizeof pending_ - pending_count_);
    add_blocks(pending_, sizeof pending_);
    pending_count_ = 0;
  }
  error_ |= incomplete_ || due_ > 0;
  return !error_;
}

Status check_file_utf8(int fd, const std::string& what, Utf8Check* check) {
  std::vector<char> buffer(64 << 10);
  for (off_t offset = 0;;) {
    ssize_t got = pread(fd, buffer.data(), buffer.size(), offset);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0)
      return Status::Error(format_text("Can't read %s: %s", what.c_str(), strerror(errno)));
    if (got == 0) return Status::OK();
    check->add(buffer.data(), static_cast<size_t>(got));
    offset += got;
  }
}

TextEncoding choose_text_encoding(EncodingChoice choice, Utf8Check& keywords, Utf8Check& source) {
  if (choice != EncodingChoice::kAuto) {
    return choice == EncodingChoice::kUtf8 ? TextEncoding::kUtf8 : TextEncoding::kCp866;
  }
  bool utf8 =
      keywords.valid() && source.valid() && (keywords.has_multibyte() || source.has_multibyte());
  return utf8 ? TextEncoding::kUtf8 : TextEncoding::kCp866;
}

}  // namespace karvel
