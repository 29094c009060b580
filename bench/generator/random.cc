// Seeded random numbers for the source generator: xoshiro256** and the alias
// table of weighted draws.

#include "generator/random.h"

#include <cmath>

namespace karvel::bench {

namespace {

uint64_t splitmix64(uint64_t& x) {
  x += 0x9E3779B97F4A7C15ull;
  uint64_t z = x;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

uint64_t rotate_left(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

}  // namespace

Random::Random(uint64_t seed) {
  uint64_t x = seed;
  for (uint64_t& word : state_) word = splitmix64(x);
}

uint64_t Random::next() {
  const uint64_t result = rotate_left(state_[1] * 5, 7) * 9;
  const uint64_t t = state_[1] << 17;
  state_[2] ^= state_[0];
  state_[3] ^= state_[1];
  state_[1] ^= state_[2];
  state_[0] ^= state_[3];
  state_[2] ^= t;
  state_[3] = rotate_left(state_[3], 45);
  return result;
}

uint32_t Random::below(uint32_t n) {
  return static_cast<uint32_t>(((next() >> 32) * static_cast<uint64_t>(n)) >> 32);
}

double Random::unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

WeightedPicker::WeightedPicker(const std::vector<double>& weights)
    : probability_(weights.size(), 1.0), alias_(weights.size(), 0) {
  const size_t n = weights.size();
  double total = 0;
  for (double w : weights) total += w;
  std::vector<double> scaled(n);
  std::vector<uint32_t> small;
  std::vector<uint32_t> large;
  for (size_t i = 0; i < n; ++i) {
    scaled[i] = weights[i] * static_cast<double>(n) / total;
    (scaled[i] < 1.0 ? small : large).push_back(static_cast<uint32_t>(i));
  }
  while (!small.empty() && !large.empty()) {
    const uint32_t s = small.back();
    small.pop_back();
    const uint32_t l = large.back();
    probability_[s] = scaled[s];
    alias_[s] = l;
    scaled[l] = (scaled[l] + scaled[s]) - 1.0;
    if (scaled[l] < 1.0) {
      large.pop_back();
      small.push_back(l);
    }
  }
  // What is left stands at probability 1 (rounding leftovers included).
  for (uint32_t i : small) probability_[i] = 1.0;
  for (uint32_t i : large) probability_[i] = 1.0;
}

uint32_t WeightedPicker::pick(Random& random) const {
  const uint32_t i = random.below(size());
  return random.unit() < probability_[i] ? i : alias_[i];
}

std::vector<double> zipf_weights(uint32_t n, double exponent) {
  std::vector<double> weights(n);
  for (uint32_t r = 0; r < n; ++r)
    weights[r] = 1.0 / std::pow(static_cast<double>(r + 1), exponent);
  return weights;
}

}  // namespace karvel::bench
