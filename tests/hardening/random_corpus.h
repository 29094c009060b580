// Seeded generators of small sources and keywords files for randomized runs.
//
// The alphabets are small so that exact duplicates, near duplicates and
// keyword matches are frequent. Sources mix LF and CR LF line ends, lone CRs,
// NUL bytes, bytes 0x80..0xFF (code page 866 Cyrillic capitals among them),
// long lines, runs of empty lines and a tail after the last block. Keywords
// files come in both modes, with all four marks, separators, lines of marks
// only and overlong lines. The same seed always gives the same bytes.

#ifndef KARVEL_TESTS_HARDENING_RANDOM_CORPUS_H_
#define KARVEL_TESTS_HARDENING_RANDOM_CORPUS_H_

#include <cstdint>
#include <string>
#include <vector>

namespace karvel::hardening {

// A small deterministic generator (the same numbers on every platform).
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint64_t next();
  // A number from 0 to n - 1 (n > 0).
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }
  // True with a chance of `percent` in 100.
  bool chance(uint32_t percent) { return below(100) < percent; }
  template <typename T>
  const T& pick(const std::vector<T>& items) {
    return items[below(static_cast<uint32_t>(items.size()))];
  }

 private:
  uint64_t state_;
};

// The words both generators draw from (a few per seed, so that they repeat).
std::vector<std::string> random_vocabulary(Random& random);

// A source of a few kilobytes.
std::string random_source(Random& random, const std::vector<std::string>& vocabulary);

// A keywords file over the same words, in separator or keyword mode.
std::string random_keywords(Random& random, const std::vector<std::string>& vocabulary);

}  // namespace karvel::hardening

#endif  // KARVEL_TESTS_HARDENING_RANDOM_CORPUS_H_
