// A fast 64-bit mixing hash over the reads of a block.

#include "index/block_hash.h"

#include <cstring>

namespace karvel {

namespace {

inline uint64_t mix(uint64_t a, uint64_t b) {
  __uint128_t product =
      static_cast<__uint128_t>(a ^ 0xA0761D6478BD642Full) * (b ^ 0xE7037ED1A0B428DBull);
  return static_cast<uint64_t>(product) ^ static_cast<uint64_t>(product >> 64);
}

inline uint64_t load64(const char* p) {
  uint64_t v;
  memcpy(&v, p, 8);
  return v;
}

}  // namespace

void BlockHasher::add_read(const char* text, size_t length) {
  uint64_t h = mix(state_, length);
  size_t i = 0;
  for (; i + 16 <= length; i += 16) h = mix(h ^ load64(text + i), load64(text + i + 8));
  if (i + 8 <= length) {
    h = mix(h, load64(text + i));
    i += 8;
  }
  // The bytes left, then zeros.
  state_ = mix(h, load64(text + i) ^ (length << 56));
}

}  // namespace karvel
