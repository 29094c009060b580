// The UTF-8 check: the streaming form, in vectors (utf8_vectors.h) or byte
// by byte, and the in-place form.

#include "text/utf8_check.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "text/utf8_vectors.h"

namespace karvel {

#if defined(__x86_64__)
__attribute__((target("avx2"))) void Utf8Check::add_blocks_avx2(const unsigned char* p, size_t n) {
  __m256i previous = _mm256_load_si256(reinterpret_cast<const __m256i*>(previous_));
  __m256i errors = _mm256_setzero_si256();
  __m256i incomplete = incomplete_ ? _mm256_set1_epi8(1) : _mm256_setzero_si256();
  bool multibyte = multibyte_;
  for (size_t i = 0; i < n; i += 64) {
    __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 32));
    multibyte |= utf8_vectors::check_64(low, high, previous, errors, incomplete);
  }
  _mm256_store_si256(reinterpret_cast<__m256i*>(previous_), previous);
  error_ |= !_mm256_testz_si256(errors, errors);
  incomplete_ = !_mm256_testz_si256(incomplete, incomplete);
  multibyte_ = multibyte;
}

bool Utf8Check::in_place() const {
  static const bool wide = __builtin_cpu_supports("avx2");
  return wide && vectors_;
}

__attribute__((target("avx2"))) void Utf8Check::add_in_place(const char* bytes, size_t n) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
  __m256i errors = _mm256_setzero_si256();
  __m256i seen = _mm256_setzero_si256();
  for (size_t i = 0; i < n; i += 32) {
    // The last piece ends at p + n, going back over bytes checked before.
    const unsigned char* at = i + 32 <= n ? p + i : p + n - 32;
    __m256i input = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    __m256i previous = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at - 32));
    errors = _mm256_or_si256(errors, utf8_vectors::check_block(input, previous));
    seen = _mm256_or_si256(seen, input);
  }
  add_found(!_mm256_testz_si256(errors, errors), _mm256_movemask_epi8(seen) != 0);
}
#else
void Utf8Check::add_blocks_avx2(const unsigned char* p, size_t n) { add_bytes(p, n); }
bool Utf8Check::in_place() const { return false; }
void Utf8Check::add_in_place(const char* bytes, size_t n) { add(bytes, n); }  // not reached
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
  if (in_place()) {
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
