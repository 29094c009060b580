// Reading a block's line reads back from the source.

#include "themes/block_reads.h"

#include <cstring>

#include "files/source_file.h"
#include "index/block_index.h"

namespace karvel {

namespace {
constexpr uint64_t kWholeBlockLimit = 1 << 20;
}  // namespace

BlockReads::BlockReads() = default;
BlockReads::~BlockReads() = default;

Status BlockReads::open(const SourceFile& source, const BlockIndex& index, uint32_t b) {
  source_ = &source;
  position_ = 0;
  stream_.reset();
  status_ = Status::OK();
  uint64_t size = index.get_length_in_bytes(b);
  if (size > kWholeBlockLimit) {
    size_ = 0;
    stream_ =
        std::make_unique<LineReader>(source.fd, index.offset(b), index.offset(b + 1), &source.map);
    return Status::OK();
  }
  bytes_.resize(size + kReadPadding);
  status_ = source.read_into(index.offset(b), size, bytes_.data());
  size_ = status_.ok() ? size : 0;
  return status_;
}

bool BlockReads::next(LineRead* read) {
  if (stream_ == nullptr) {
    if (position_ >= size_) return false;
    *read = cut_line_read(bytes_.data() + position_, size_ - position_);
    position_ += read->raw_length;
    return true;
  }
  if (stream_->next(read)) return true;
  if (stream_->error() != 0 && status_.ok()) {
    status_ = Status::Error(format_text("Can't read source file %s: %s", source_->name.c_str(),
                                        strerror(stream_->error())));
  }
  return false;
}

}  // namespace karvel
