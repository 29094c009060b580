// Seeded random numbers for the source generator.
//
// xoshiro256** seeded through splitmix64. Every draw is plain integer or
// IEEE double arithmetic written out here (no <random> distributions, whose
// results differ between standard libraries), so one seed gives the same
// files with every compiler.

#ifndef KARVEL_BENCH_GENERATOR_RANDOM_H_
#define KARVEL_BENCH_GENERATOR_RANDOM_H_

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace karvel::bench {

class Random {
 public:
  explicit Random(uint64_t seed);

  uint64_t next();

  // A number from 0 to n - 1; n must be at least 1.
  uint32_t below(uint32_t n);

  // A number from low to high, both included.
  uint32_t between(uint32_t low, uint32_t high) { return low + below(high - low + 1); }

  // A number in [0, 1).
  double unit();

  // True with the given probability.
  bool chance(double probability) { return unit() < probability; }

 private:
  uint64_t state_[4];
};

// Draws indexes 0 .. n-1 with fixed relative weights in constant time
// (Vose's alias method).
class WeightedPicker {
 public:
  explicit WeightedPicker(const std::vector<double>& weights);

  uint32_t pick(Random& random) const;
  uint32_t size() const { return static_cast<uint32_t>(probability_.size()); }

 private:
  std::vector<double> probability_;
  std::vector<uint32_t> alias_;
};

// Weights 1 / (rank + 1)^exponent for ranks 0 .. n-1: a few heavy ranks and a
// long tail of light ones.
std::vector<double> zipf_weights(uint32_t n, double exponent);

// Reorders `items` at random (Fisher-Yates).
template <typename T>
void shuffle(std::vector<T>& items, Random& random) {
  for (std::size_t i = items.size(); i > 1; --i) {
    std::size_t j = random.below(static_cast<uint32_t>(i));
    std::swap(items[i - 1], items[j]);
  }
}

}  // namespace karvel::bench

#endif  // KARVEL_BENCH_GENERATOR_RANDOM_H_
