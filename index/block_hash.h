// A fingerprint of a block's text, for finding equal blocks without holding
// their text.
//
// Two blocks are equal when they have the same number of line reads and each
// read's text, up to its first NUL, is the same. The fingerprint hashes
// exactly that, so equal blocks always have equal fingerprints; blocks with
// equal fingerprints are still compared before one is taken for the other.

#ifndef KARVEL_INDEX_BLOCK_HASH_H_
#define KARVEL_INDEX_BLOCK_HASH_H_

#include <cstddef>
#include <cstdint>

namespace karvel {

class BlockHasher {
 public:
  void reset() { state_ = kSeed; }

  // Adds the text of one read up to its first NUL (`length` characters, the
  // line feed included when the read has one). The 8 bytes after the text
  // must be readable and zero.
  void add_read(const char* text, size_t length);

  uint64_t value() const { return state_; }

 private:
  static constexpr uint64_t kSeed = 0x9E3779B97F4A7C15ull;
  uint64_t state_ = kSeed;
};

}  // namespace karvel

#endif  // KARVEL_INDEX_BLOCK_HASH_H_
