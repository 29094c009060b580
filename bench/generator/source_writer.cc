// Buffered writing and counting of the generated source file.

#include "generator/source_writer.h"

namespace karvel::bench {

namespace {
constexpr size_t kBufferSize = 8 << 20;
}

SourceWriter::~SourceWriter() {
  if (file_ != nullptr) std::fclose(file_);
}

bool SourceWriter::open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "wb");
  buffer_.reserve(kBufferSize + 65536);
  return file_ != nullptr;
}

void SourceWriter::add(const Block& block, BlockKind kind) {
  scratch_.clear();
  render_block(block, scratch_);
  add_rendered(scratch_, kind);
}

void SourceWriter::add_rendered(const std::string& text, BlockKind kind) {
  buffer_ += text;
  counts_.bytes += text.size();
  ++counts_.blocks;
  if (kind == BlockKind::kExactCopy) ++counts_.exact_copies;
  if (kind == BlockKind::kNearCopy) ++counts_.near_copies;
  if (kind == BlockKind::kNoKeyword) ++counts_.no_keyword;
  bool cyrillic = false;
  size_t line_start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 128) cyrillic = true;
    if (c == '\n') {
      ++counts_.lines;
      if (i - line_start > 99) ++counts_.long_lines;
      line_start = i + 1;
    }
  }
  if (cyrillic) ++counts_.cyrillic;
  if (buffer_.size() >= kBufferSize) flush();
}

void SourceWriter::flush() {
  if (file_ != nullptr && !buffer_.empty() &&
      std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
    failed_ = true;
  }
  buffer_.clear();
}

bool SourceWriter::close() {
  flush();
  if (file_ == nullptr) return false;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  return closed && !failed_;
}

}  // namespace karvel::bench
