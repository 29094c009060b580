// The order of a theme's blocks by length: the chain method against the
// exchange sort as written, on many random inputs.

#include "themes/exchange_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "theme_fixture.h"

namespace karvel {
namespace {

using testing::literal_exchange_sort;

// Few and many distinct lengths, long runs of one length, lengths past the
// 16-bit range, from the first order or a shuffled one.
TEST(ExchangeSort, MatchesTheLiteralSortOnRandomInputs) {
  std::mt19937 random(20240611);
  ExchangeSort sort;
  ASSERT_TRUE(sort.reserve(2024));
  const uint32_t spreads[] = {1, 2, 3, 5, 6, 20, 400, 70000};
  for (int trial = 0; trial < 2500; ++trial) {
    uint32_t n = random() % (trial % 10 == 0 ? 400 : 40);
    if (trial % 200 == 0) n = 1024 + random() % 1000;  // sort() takes the chains
    uint32_t base = trial % 3 == 0 ? 32760 : 1;
    std::vector<uint32_t> length(n), start(n);
    for (uint32_t& l : length) l = base + random() % spreads[trial % 8];
    if (trial % 5 == 0) std::sort(length.rbegin(), length.rend());  // longest chains
    std::iota(start.begin(), start.end(), 0);
    if (trial % 4 == 1) std::shuffle(start.begin(), start.end(), random);
    std::vector<uint32_t> expected = start, by_chains = start, chosen = start;
    literal_exchange_sort(length, expected);
    sort.sort_by_chains(length.data(), by_chains.data(), n);
    ASSERT_EQ(by_chains, expected) << "trial " << trial << ", " << n << " elements";
    sort.sort(length.data(), chosen.data(), n);
    ASSERT_EQ(chosen, expected) << "trial " << trial;
  }
}

}  // namespace
}  // namespace karvel
