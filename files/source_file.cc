// Reading byte ranges of the source.

#include "files/source_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace karvel {

Status SourceFile::read_range(uint64_t offset, uint64_t length, std::string* out) const {
  out->resize(length);
  return read_into(offset, length, out->data());
}

Status SourceFile::read_into(uint64_t offset, uint64_t length, char* out) const {
  uint64_t done = 0;
  while (done < length) {
    ssize_t got = map.read(fd, out + done, length - done, offset + done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      return Status::Error(
          format_text("Can't read source file %s: %s", name.c_str(), strerror(errno)));
    }
    if (got == 0) {
      return Status::Error(format_text("Source file %s changed during the run", name.c_str()));
    }
    done += static_cast<uint64_t>(got);
  }
  return Status::OK();
}

Status SourceFile::check_mapped_size() const {
  struct stat st;
  if (map.data() == nullptr || (fstat(fd, &st) == 0 && static_cast<uint64_t>(st.st_size) >= size)) {
    return Status::OK();
  }
  return Status::Error(format_text("Source file %s changed during the run", name.c_str()));
}

}  // namespace karvel
