// Reading one block of the source into folded line slots.

#include "text/current_block.h"

#include <cstring>
#include <new>

#include "files/block_ends.h"
#include "files/line_reader.h"
#include "text/fold.h"

namespace karvel {

Status CurrentBlock::create(uint32_t capacity) {
  line_count_ = 0;
  capacity_ = 0;
  try {
    slots_.assign(static_cast<size_t>(capacity) * kLineSlotSize, '\0');
  } catch (const std::bad_alloc&) {
    slots_.clear();
    return Status::Error("Not enough memory for current_block allocation");
  }
  capacity_ = capacity;
  return Status::OK();
}

Status CurrentBlock::append_line(const char* text_with_nul) {
  if (line_count_ == capacity_) return Status::Error("CB_get_from_file: Too long block");
  char* slot = &slots_[static_cast<size_t>(line_count_) * kLineSlotSize];
  size_t n = strnlen(text_with_nul, kLineSlotSize - 1);
  memcpy(slot, text_with_nul, n);
  slot[n] = '\0';
  fold_line(slot);
  ++line_count_;
  return Status::OK();
}

Status CurrentBlock::CB_get_from_file(LineReader& reader, BlockEnds& ends) {
  line_count_ = 0;
  LineRead read;
  char slot[kLineSlotSize];
  while (reader.next(&read)) {
    read.copy_to_slot(slot);
    Status status = append_line(slot);
    if (!status.ok()) return status;
    if (ends.ends_block(read)) break;
  }
  return Status::OK();
}

}  // namespace karvel
