// The doubles list and the grouping of similar pairs.

#include "themes/doubles_list.h"

namespace karvel {

namespace {

// Bit 31 of an entry is the group-start flag, so a block number must leave
// it clear; a source of more than 2^31 blocks could otherwise have a block
// taken for another.
Status too_big(uint32_t b) {
  return Status::Error(format_text("Block %u is beyond the doubles list", b));
}

}  // namespace

void DoublesList::clear() {
  entries_.clear();
  listed_.clear();
}

int DoublesList::contains(uint32_t b) const { return listed_.count(b) != 0 ? 1 : 0; }

Status DoublesList::find_position(uint32_t b, uint32_t* position) const {
  for (size_t k = entries_.size(); k-- > 0;) {
    if ((entries_[k] & kBlockNumberMask) == b) {
      *position = static_cast<uint32_t>(k);
      return Status::OK();
    }
  }
  return Status::Error("Bad searching of the block");
}

Status DoublesList::append(uint32_t b, int group_start) {
  return insert_at(b, get_count(), group_start);
}

Status DoublesList::insert_at(uint32_t b, uint32_t position, int group_start) {
  if (b > kBlockNumberMask) return too_big(b);
  if (position > entries_.size()) {
    return Status::Error("Shit, check the code, something impossible happened");
  }
  entries_.insert(entries_.begin() + position, group_start == 1 ? (b | kGroupStart) : b);
  listed_.insert(b);
  return Status::OK();
}

Status DoublesList::add_pair(uint32_t a, uint32_t b, PairResult* result) {
  uint32_t state = 2 * static_cast<uint32_t>(contains(a)) + static_cast<uint32_t>(contains(b));
  Status status;
  uint32_t position = 0;
  switch (state) {
    case 0:
      status = append(a, 1);
      if (status.ok()) status = append(b, 0);
      *result = PAIR_NEW_GROUP;
      return status;
    case 1:
      status = find_position(b, &position);
      if (status.ok()) status = insert_at(a, position, 0);
      *result = PAIR_FIRST_JOINED;
      return status;
    case 2:
      status = find_position(a, &position);
      if (status.ok()) status = insert_at(b, position, 0);
      *result = PAIR_SECOND_JOINED;
      return status;
    case 3:
      *result = PAIR_BOTH_LISTED;
      return Status::OK();
    default:
      return Status::Error("Shit, check the code, something impossible happened");
  }
}

}  // namespace karvel
