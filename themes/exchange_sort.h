// The order of a theme's blocks by length: for the theme workspace's
// sort_by_length.
//
// The order is the one the exchange sort gives, exactly, for every input:
//
//   for i in 0 .. n-2, for j in i+1 .. n-1:
//     if length[order[j]] < length[order[i]]: swap order[i], order[j]
//
// The order among blocks of equal length decides which of two equal blocks
// survives and in which order similar pairs are met, so no other sort (a
// stable one included) will do.
//
// Pass i of the exchange sort moves a chain of elements: the element at i is
// swapped with the first later element that is shorter, which is swapped in
// turn with the first later element shorter still, and so on. Every link of
// the chain is the first remaining occurrence of its length. ExchangeSort
// therefore keeps, per distinct length, the positions holding that length (a
// min-heap), and a tree over the lengths that answers "the smallest position
// among all lengths below L". A pass costs O((chain + 1) * log D) for D
// distinct lengths, instead of O(n).

#ifndef KARVEL_THEMES_EXCHANGE_SORT_H_
#define KARVEL_THEMES_EXCHANGE_SORT_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace karvel {

class ExchangeSort {
 public:
  // Makes room for up to `max_elements` elements. Returns false when memory
  // is short.
  bool reserve(uint32_t max_elements);
  void release();

  // Permutes order[0 .. n) as the exchange sort does. `order` holds a
  // permutation of 0 .. n-1 and length[e] is the length of element e.
  // Requires n <= the reserved room.
  void sort(const uint32_t* length, uint32_t* order, uint32_t n);

  // The chain method alone, whatever n is (sort() uses the plain loops for
  // small n).
  void sort_by_chains(const uint32_t* length, uint32_t* order, uint32_t n);

 private:
  // The passes when there are at most a few distinct lengths (ranks), whose
  // sets of positions fit bits_.
  void sort_few_lengths(uint32_t* order, uint32_t n, uint32_t ranks);
  // Room for `words` words of bits_; false when memory is short.
  bool make_bits(size_t words);
  void heap_pop(uint32_t rank);
  void heap_replace_top(uint32_t rank, uint32_t position);
  void tree_update(uint32_t rank);
  // Smallest position held by any rank below `rank`, or kNone.
  uint32_t tree_prefix_min(uint32_t rank) const;

  uint32_t max_elements_ = 0;        // the reserved room
  uint32_t leaves_ = 0;              // tree leaves in use: a power of two >= the ranks
  std::vector<uint32_t> rank_;       // by element: rank of its length among the distinct lengths
  std::vector<uint32_t> distinct_;   // the distinct lengths, increasing
  std::vector<uint32_t> heap_;       // positions, one min-heap per rank, stored rank after rank
  std::vector<uint32_t> heap_base_;  // by rank: where its heap starts in heap_
  std::vector<uint32_t> heap_size_;  // by rank: positions in its heap
  std::vector<uint32_t> tree_;       // min over ranks of their heap tops; leaves at leaves_ + rank
  std::vector<uint32_t> chain_;      // positions of the current pass's chain
  std::vector<uint64_t> bits_;       // with few lengths: each rank's positions, one bit each
};

}  // namespace karvel

#endif  // KARVEL_THEMES_EXCHANGE_SORT_H_
