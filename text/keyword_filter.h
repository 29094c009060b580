// A filter on the first bytes of the folded keywords, in front of the keyword
// automaton: for each position of a line it tells whether a keyword may begin
// there, so that the automaton steps only through the stretches of the line
// around such positions and skips the rest.
//
// The filter is used where the processor has AVX2; elsewhere the automaton
// walks every line whole. Two tests, both of which every position where a
// keyword begins passes:
// - first, the keywords are put into eight groups by their
//   first byte (and their second, with fewer first bytes than groups), and
//   each of a position's first four bytes is looked up by its two halves (4
//   bits each) in tables of the groups that have a keyword with such a half
//   at that place: a position passes when one group has all eight. This
//   takes 32 positions at a time;
// - then, for the positions that passed, a keyword of eight bytes or more is
//   known by a hash of its first eight bytes, one of four to seven by a hash
//   of its first four; a hash sets one bit of a table small enough to stay
//   in the processor's first-level cache. A shorter keyword is known by its
//   first two bytes (all second bytes for a keyword of one), each pair a bit
//   of a second table.

#ifndef KARVEL_TEXT_KEYWORD_FILTER_H_
#define KARVEL_TEXT_KEYWORD_FILTER_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace karvel {

class KeywordTable;

// Bytes of a position that the groups look at.
inline constexpr size_t kGroupBytes = 4;
// Readable bytes that find_keyword_candidates needs past the end of a line.
inline constexpr size_t kFilterPadding = 32 + 8;

struct KeywordFilter {
  uint32_t shift = 32;                       // a hash is the top 32 - shift bits of a product
  std::vector<uint64_t> long_bits;           // by hash of the first four (or eight) bytes
  std::vector<uint64_t> pair_bits;           // by the first two bytes; empty without short keywords
  uint8_t low_groups[kGroupBytes][16] = {};  // per place and low half: bits of the groups
  uint8_t high_groups[kGroupBytes][16] = {};  // per place and high half: bits of the groups
  bool in_use = false;                        // built: the processor has AVX2
};

// Builds the filter of the non-empty keywords of `table` where the processor
// has AVX2 and `wanted` is true; else the filter is not in use.
void build_keyword_filter(const KeywordTable& table, KeywordFilter* filter, bool wanted = true);

// For a filter in use: sets bit i % 64 of passed[i / 64] for each position i < length of `line`
// that passes, and clears the others: (length + 63) / 64 words. The
// kFilterPadding bytes past the end of the line must be readable and zero.
void find_keyword_candidates(const KeywordFilter& filter, const unsigned char* line, size_t length,
                             uint64_t* passed);

}  // namespace karvel

#endif  // KARVEL_TEXT_KEYWORD_FILTER_H_
