// The doubles list: the similar blocks of one theme, grouped, in the order in
// which they go to the doubles file. For the similar-blocks pass.
//
// entries[k], for k < count:
//   bits 0..30  the block's number in the BlockIndex
//   bit 31      the group-start flag, set on the entry that opened a group
// Wherever an entry is compared with a block number or used as one, bit 31 is
// masked off; nothing else reads the flag. The members of one group are
// always adjacent, and add_pair lists a block at most once. The list grows as
// a theme needs: it holds at most every block of the theme.

#ifndef KARVEL_THEMES_DOUBLES_LIST_H_
#define KARVEL_THEMES_DOUBLES_LIST_H_

#include <cstdint>
#include <unordered_set>
#include <vector>

#include "files/status.h"

namespace karvel {

inline constexpr uint32_t kGroupStart = 0x80000000u;  // bit 31 of an entry
inline constexpr uint32_t kBlockNumberMask = 0x7FFFFFFFu;

// What add_pair did with a pair of blocks.
enum PairResult : uint32_t {
  PAIR_NEW_GROUP = 0,      // neither was listed: a opens a group, b follows it
  PAIR_FIRST_JOINED = 1,   // only b was listed: a is inserted at b's position
  PAIR_SECOND_JOINED = 2,  // only a was listed: b is inserted at a's position
  PAIR_BOTH_LISTED = 3,    // both were listed: nothing changed
};

class DoublesList {
 public:
  void clear();
  uint32_t get_count() const { return static_cast<uint32_t>(entries_.size()); }
  // Entry k as stored, the group-start flag included.
  uint32_t get_entry(uint32_t k) const { return entries_[k]; }

  // 1 when block b is listed, else 0.
  int contains(uint32_t b) const;
  // The position holding block b (the group being built stands at the end,
  // so it is looked for from there); "Bad searching of the block" when there
  // is none.
  Status find_position(uint32_t b, uint32_t* position) const;

  // Store block b (with the group-start flag when group_start is 1) at the
  // end, or at `position` after moving the entries from there up by one.
  Status append(uint32_t b, int group_start);
  Status insert_at(uint32_t b, uint32_t position, int group_start);

  // Records that blocks a and b (a at the lower sorted position) are similar.
  Status add_pair(uint32_t a, uint32_t b, PairResult* result);

 private:
  std::vector<uint32_t> entries_;        // block numbers, bit 31 the group-start flag
  std::unordered_set<uint32_t> listed_;  // the block numbers of entries_
};

}  // namespace karvel

#endif  // KARVEL_THEMES_DOUBLES_LIST_H_
