// The order of a theme's blocks by length: the chain method against the
// exchange sort as written, on many random inputs.

#include "themes/exchange_sort.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <vector>

#include "theme_fixture.h"

namespace karvel {
namespace {

using testing::literal_exchange_sort;

std::vector<uint32_t> identity(uint32_t n) {
  std::vector<uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  return order;
}

TEST(ExchangeSort, MatchesTheLiteralSortOnRandomInputs) {
  std::mt19937 random(20240611);
  ExchangeSort sort;
  ASSERT_TRUE(sort.reserve(2024));
  // Few and many distinct lengths, long runs of one length, lengths past the
  // 16-bit range.
  const uint32_t spreads[] = {1, 2, 3, 5, 20, 400, 70000};
  for (int trial = 0; trial < 2000; ++trial) {
    uint32_t n = random() % (trial % 10 == 0 ? 400 : 40);
    if (trial % 200 == 0) n = 1024 + random() % 1000;  // sort() takes the chains
    uint32_t spread = spreads[trial % 7];
    uint32_t base = trial % 3 == 0 ? 32760 : 1;
    std::vector<uint32_t> length(n);
    for (uint32_t& l : length) l = base + random() % spread;
    if (trial % 5 == 0) std::sort(length.rbegin(), length.rend());  // longest chains
    std::vector<uint32_t> expected = identity(n);
    literal_exchange_sort(length, expected);
    std::vector<uint32_t> by_chains = identity(n);
    sort.sort_by_chains(length.data(), by_chains.data(), n);
    ASSERT_EQ(by_chains, expected) << "trial " << trial << ", " << n << " elements";
    std::vector<uint32_t> chosen = identity(n);
    sort.sort(length.data(), chosen.data(), n);
    ASSERT_EQ(chosen, expected) << "trial " << trial;
  }
}

TEST(ExchangeSort, SortsAnyStartingPermutation) {
  std::mt19937 random(7);
  ExchangeSort sort;
  ASSERT_TRUE(sort.reserve(200));
  for (int trial = 0; trial < 500; ++trial) {
    uint32_t n = 1 + random() % 200;
    std::vector<uint32_t> length(n);
    for (uint32_t& l : length) l = random() % 6;
    std::vector<uint32_t> start = identity(n);
    std::shuffle(start.begin(), start.end(), random);
    std::vector<uint32_t> expected = start;
    literal_exchange_sort(length, expected);
    sort.sort_by_chains(length.data(), start.data(), n);
    ASSERT_EQ(start, expected) << "trial " << trial;
  }
}

}  // namespace
}  // namespace karvel
