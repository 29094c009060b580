// Copies of source blocks into the destination, doubles and rest files.

#include "themes/output_files.h"

#include <cstring>
#include <string>

#include "files/line_reader.h"
#include "files/output_file.h"
#include "files/source_file.h"
#include "index/block_index.h"
#include "messages/messages.h"
#include "records/file_statistics.h"

namespace karvel {

namespace {

unsigned long ul(uint64_t v) { return static_cast<unsigned long>(v); }

// Bytes of the source held at once by a copy, whatever the size of a block.
constexpr uint64_t kCopyPiece = 1 << 20;

// Copies the source's bytes [offset, offset + length) to `out`, piece by
// piece straight into its buffer. Once the output has failed (the run reports
// it) the source is still read, so that a failed read is reported as before.
Status copy_range(const SourceFile& source, uint64_t offset, uint64_t length, OutputFile& out) {
  std::string dropped;
  for (uint64_t done = 0; done < length;) {
    uint64_t piece = length - done < kCopyPiece ? length - done : kCopyPiece;
    char* room = out.room(piece);
    if (room == nullptr) {
      dropped.resize(piece);
      room = dropped.data();
    }
    Status status = source.read_into(offset + done, piece, room);
    if (!status.ok()) return status;
    if (room != dropped.data()) out.commit(piece);
    done += piece;
  }
  return Status::OK();
}

// Gathers blocks that lie next to each other in the source into one read.
class BlockCopier {
 public:
  BlockCopier(const SourceFile& source, OutputFile& out) : source_(source), out_(out) {}

  Status add(uint64_t offset, uint64_t length) {
    if (offset != end_ || end_ - start_ >= kCopyPiece) {
      Status status = flush();
      if (!status.ok()) return status;
      start_ = end_ = offset;
    }
    end_ += length;
    return Status::OK();
  }

  Status flush() {
    Status status = copy_range(source_, start_, end_ - start_, out_);
    start_ = end_ = 0;
    return status;
  }

 private:
  const SourceFile& source_;
  OutputFile& out_;
  uint64_t start_ = 0;  // pending range of the source
  uint64_t end_ = 0;
};

// A stop between blocks: the blocks taken so far are written whole.
Status stopped(BlockCopier& copier) {
  Status status = copier.flush();
  return status.ok() ? Status::Stopped() : status;
}

}  // namespace

Status copy_block(BlockIndex& index, uint32_t b, const SourceFile& source, OutputFile& out) {
  Status status = copy_range(source, index.offset(b), index.get_length_in_bytes(b), out);
  if (!status.ok()) return status;
  index.mark_written(b);
  return Status::OK();
}

Status Save_Sorted_Blocks(BlockIndex& index, const ThemeBuckets& buckets, const SourceFile& source,
                          OutputFile& out, int sort, FileStatistics& statistics,
                          Messages& messages) {
  if (sort == 0) return Status::OK();
  BlockCopier copier(source, out);
  for (uint32_t t = 0; t < kThemeScanCount; ++t) {
    for (uint32_t k = buckets.begin(t); k < buckets.end(t); ++k) {
      if (k % 256 == 0 && messages.stop_requested()) return stopped(copier);
      uint32_t b = buckets.blocks()[k];
      if (!index.is_unwritten(b)) continue;
      Status status = copier.add(index.offset(b), index.get_length_in_bytes(b));
      if (!status.ok()) return status;
      index.mark_written(b);
      ++statistics.saved_as_found_in_themes;
    }
  }
  return copier.flush();
}

Status Save_Rest_Of_File(const SourceFile& source, OutputFile& rest, FileStatistics& statistics,
                         BlockIndex& index, Messages& messages) {
  messages.show_message("Rest file saving...");
  uint32_t saved = 0;
  BlockCopier copier(source, rest);
  uint32_t n = index.block_count();
  for (uint32_t b = 0; b < n; ++b) {
    if (b != 0 && b % 10000 == 0) messages.show_message("%lu blocks", ul(b));
    if (b % 256 == 0 && messages.stop_requested()) return stopped(copier);
    if (!index.has_no_theme(b)) continue;
    ++saved;
    Status status = copier.add(index.offset(b), index.get_length_in_bytes(b));
    if (!status.ok()) return status;
  }
  Status status = copier.flush();
  if (!status.ok()) return status;
  messages.show_message("Done...");
  statistics.saved_as_no_themes += saved;
  messages.show_and_protocol("%lu blocks saved in the rest file", ul(saved));

  // The lines after the last empty line form no block; they go to the rest
  // file as they stand so that no part of the source is lost.
  uint64_t tail = index.offset(n);
  if (tail >= source.size) return source.check_mapped_size();
  LineReader reader(source.fd, tail, source.size, &source.map);
  uint64_t lines = 0;
  LineRead read;
  while (reader.next(&read)) {
    rest.write(read.bytes, read.raw_length);
    ++lines;
  }
  if (reader.error() != 0) {
    return Status::Error(format_text("Can't read source file %s: %s", source.name.c_str(),
                                     strerror(reader.error())));
  }
  if (reader.position() != source.size) {
    return Status::Error(format_text("Source file %s changed during the run", source.name.c_str()));
  }
  status = source.check_mapped_size();
  if (!status.ok()) return status;
  messages.show_and_protocol("%lu lines after the last block saved in the rest file", ul(lines));
  return Status::OK();
}

}  // namespace karvel
