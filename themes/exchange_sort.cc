// The exchange sort by length, by chains of first occurrences.

#include "themes/exchange_sort.h"

#include <algorithm>
#include <new>

namespace karvel {

namespace {

constexpr uint32_t kNone = UINT32_MAX;  // no position
// Below this many elements the plain loops cost little whatever the lengths,
// while chains can cost up to the number of distinct lengths per pass.
constexpr uint32_t kPlainLoopLimit = 1024;
// Up to this many distinct lengths a pass looks at every rank below the
// first element's instead of asking the tree, and each rank keeps its
// positions as bits instead of in a heap: fewer steps, none dependent.
constexpr uint32_t kFewRanks = 512;

// Words of position bits that the sets of few lengths may take: 8 bytes an
// element of the reserved room, or a megabyte where that is more.
constexpr size_t kLeastBitWords = (1 << 20) / 8;

// Takes `top`, the smallest position of a rank's set of bits (`words`
// words), out of the set and puts `moved_to` (a later one, or kNone for
// none) in; returns the set's smallest position now, or kNone.
uint32_t move_top(uint64_t* set, size_t words, uint32_t top, uint32_t moved_to) {
  set[top / 64] &= ~(uint64_t{1} << (top % 64));
  if (moved_to != kNone) set[moved_to / 64] |= uint64_t{1} << (moved_to % 64);
  size_t w = top / 64;
  uint64_t bits = set[w] & (~uint64_t{0} << (top % 64));
  while (bits == 0) {
    if (++w == words) return kNone;
    bits = set[w];
  }
  return static_cast<uint32_t>(w * 64 + static_cast<size_t>(__builtin_ctzll(bits)));
}

uint32_t power_of_two_at_least(uint32_t n) {
  uint32_t p = 1;
  while (p < n) p <<= 1;
  return p;
}

}  // namespace

bool ExchangeSort::reserve(uint32_t max_elements) {
  max_elements_ = max_elements;
  try {
    uint64_t leaves = power_of_two_at_least(max_elements == 0 ? 1 : max_elements);
    rank_.resize(max_elements);
    distinct_.resize(max_elements);
    heap_.resize(max_elements);
    heap_base_.resize(static_cast<size_t>(max_elements) + 1);
    heap_size_.resize(max_elements);
    tree_.resize(2 * leaves);
    chain_.resize(max_elements);
  } catch (const std::bad_alloc&) {
    release();
    return false;
  }
  return true;
}

bool ExchangeSort::make_bits(size_t words) {
  if (bits_.size() >= words) return true;
  try {
    bits_.resize(words);
  } catch (const std::bad_alloc&) {
    return false;  // the heaps will do
  }
  return true;
}

void ExchangeSort::release() {
  rank_ = std::vector<uint32_t>();
  distinct_ = std::vector<uint32_t>();
  heap_ = std::vector<uint32_t>();
  heap_base_ = std::vector<uint32_t>();
  heap_size_ = std::vector<uint32_t>();
  tree_ = std::vector<uint32_t>();
  chain_ = std::vector<uint32_t>();
  bits_ = std::vector<uint64_t>();
}

void ExchangeSort::sort(const uint32_t* length, uint32_t* order, uint32_t n) {
  if (n >= kPlainLoopLimit) {
    sort_by_chains(length, order, n);
    return;
  }
  for (uint32_t i = 0; i + 1 < n; ++i) {
    for (uint32_t j = i + 1; j < n; ++j) {
      if (length[order[j]] < length[order[i]]) std::swap(order[i], order[j]);
    }
  }
}

void ExchangeSort::heap_pop(uint32_t rank) {
  uint32_t* heap = heap_.data() + heap_base_[rank];
  uint32_t size = --heap_size_[rank];
  if (size == 0) return;
  heap_replace_top(rank, heap[size]);
}

void ExchangeSort::heap_replace_top(uint32_t rank, uint32_t position) {
  uint32_t* heap = heap_.data() + heap_base_[rank];
  uint32_t size = heap_size_[rank];
  uint32_t hole = 0;
  for (;;) {
    uint32_t child = 2 * hole + 1;
    if (child >= size) break;
    if (child + 1 < size && heap[child + 1] < heap[child]) ++child;
    if (heap[child] >= position) break;
    heap[hole] = heap[child];
    hole = child;
  }
  heap[hole] = position;
}

void ExchangeSort::tree_update(uint32_t rank) {
  uint32_t node = leaves_ + rank;
  tree_[node] = heap_size_[rank] != 0 ? heap_[heap_base_[rank]] : kNone;
  // A node whose minimum stays leaves those above it as they are.
  for (node >>= 1; node >= 1; node >>= 1) {
    uint32_t least = std::min(tree_[2 * node], tree_[2 * node + 1]);
    if (tree_[node] == least) break;
    tree_[node] = least;
  }
}

uint32_t ExchangeSort::tree_prefix_min(uint32_t rank) const {
  uint32_t best = kNone;
  uint32_t lo = leaves_;
  uint32_t hi = leaves_ + rank;
  while (lo < hi) {
    if (lo & 1) best = std::min(best, tree_[lo++]);
    if (hi & 1) best = std::min(best, tree_[--hi]);
    lo >>= 1;
    hi >>= 1;
  }
  return best;
}

void ExchangeSort::sort_by_chains(const uint32_t* length, uint32_t* order, uint32_t n) {
  if (n < 2) return;

  // Ranks of the lengths.
  std::copy(length, length + n, distinct_.begin());
  std::sort(distinct_.begin(), distinct_.begin() + n);
  uint32_t ranks = static_cast<uint32_t>(std::unique(distinct_.begin(), distinct_.begin() + n) -
                                         distinct_.begin());
  for (uint32_t e = 0; e < n; ++e) {
    rank_[e] = static_cast<uint32_t>(
        std::lower_bound(distinct_.begin(), distinct_.begin() + ranks, length[e]) -
        distinct_.begin());
  }

  size_t bit_words = size_t{ranks} * ((n + 63) / 64);
  if (ranks <= kFewRanks && bit_words <= std::max<size_t>(kLeastBitWords, max_elements_) &&
      make_bits(bit_words)) {
    sort_few_lengths(order, n, ranks);
    return;
  }
  // One heap per rank, filled with its positions in increasing order, which
  // already is a valid min-heap.
  std::fill(heap_size_.begin(), heap_size_.begin() + ranks, 0);
  for (uint32_t p = 0; p < n; ++p) ++heap_size_[rank_[order[p]]];
  heap_base_[0] = 0;
  for (uint32_t r = 0; r < ranks; ++r) heap_base_[r + 1] = heap_base_[r] + heap_size_[r];
  std::fill(heap_size_.begin(), heap_size_.begin() + ranks, 0);
  for (uint32_t p = 0; p < n; ++p) {
    uint32_t r = rank_[order[p]];
    heap_[heap_base_[r] + heap_size_[r]++] = p;
  }

  leaves_ = power_of_two_at_least(ranks);
  for (uint32_t r = 0; r < leaves_; ++r) {
    tree_[leaves_ + r] = r < ranks ? heap_[heap_base_[r]] : kNone;
  }
  for (uint32_t node = leaves_ - 1; node >= 1; --node) {
    tree_[node] = std::min(tree_[2 * node], tree_[2 * node + 1]);
  }

  for (uint32_t i = 0; i + 1 < n; ++i) {
    uint32_t first = order[i];
    uint32_t first_rank = rank_[first];
    // The chain: each link is the smallest position holding a length below
    // the previous link's length. Position i is the top of first_rank's heap.
    uint32_t links = 0;
    for (uint32_t r = first_rank;;) {
      uint32_t q = tree_prefix_min(r);
      if (q == kNone) break;
      chain_[links++] = q;
      r = rank_[order[q]];
    }
    if (links == 0) {
      heap_pop(first_rank);
      tree_update(first_rank);
      continue;
    }
    // Every element of the chain moves on to the next link's position; the
    // last one comes to position i and leaves the unsorted part.
    heap_replace_top(first_rank, chain_[0]);
    tree_update(first_rank);
    for (uint32_t k = 0; k + 1 < links; ++k) {
      uint32_t r = rank_[order[chain_[k]]];
      heap_replace_top(r, chain_[k + 1]);
      tree_update(r);
    }
    uint32_t last = order[chain_[links - 1]];
    heap_pop(rank_[last]);
    tree_update(rank_[last]);
    for (uint32_t k = links - 1; k >= 1; --k) order[chain_[k]] = order[chain_[k - 1]];
    order[chain_[0]] = first;
    order[i] = last;
  }
}

void ExchangeSort::sort_few_lengths(uint32_t* order, uint32_t n, uint32_t ranks) {
  // Each rank's positions as a set of bits, and top[r], its smallest
  // position (kNone once none is left). A rank's smallest position never
  // goes down, so the search for the next one goes on from the last.
  size_t words = (static_cast<size_t>(n) + 63) / 64;
  uint64_t* bits = bits_.data();
  std::fill(bits, bits + ranks * words, 0);
  uint32_t* top = tree_.data();
  std::fill(top, top + ranks, kNone);
  for (uint32_t p = n; p-- > 0;) {
    uint32_t r = rank_[order[p]];
    bits[r * words + p / 64] |= uint64_t{1} << (p % 64);
    top[r] = p;
  }
  uint32_t* records = distinct_.data();  // the lengths are not needed any more
  for (uint32_t i = 0; i + 1 < n; ++i) {
    uint32_t first = order[i];
    uint32_t first_rank = rank_[first];
    // The chain's ranks are those below first_rank whose top is smaller than
    // the tops of every rank below them, taken from the highest down: each
    // link is the smallest position among the ranks below the one before.
    uint32_t count = 0;
    uint32_t best = kNone;
    for (uint32_t r = 0; r < first_rank; ++r) {
      if (top[r] < best) {
        best = top[r];
        records[count++] = r;
      }
    }
    uint32_t links = 0;
    for (uint32_t k = count; k-- > 0;) chain_[links++] = top[records[k]];
    if (links == 0) {
      top[first_rank] = move_top(bits + first_rank * words, words, i, kNone);
      continue;
    }
    // Every element of the chain moves on to the next link's position; the
    // last one comes to position i and leaves the unsorted part.
    top[first_rank] = move_top(bits + first_rank * words, words, i, chain_[0]);
    for (uint32_t k = 0; k + 1 < links; ++k) {
      uint32_t r = rank_[order[chain_[k]]];
      top[r] = move_top(bits + r * words, words, chain_[k], chain_[k + 1]);
    }
    uint32_t last = order[chain_[links - 1]];
    uint32_t last_rank = rank_[last];
    top[last_rank] = move_top(bits + last_rank * words, words, chain_[links - 1], kNone);
    for (uint32_t k = links - 1; k >= 1; --k) order[chain_[k]] = order[chain_[k - 1]];
    order[chain_[0]] = first;
    order[i] = last;
  }
}

}  // namespace karvel
