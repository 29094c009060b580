// The source mapped read-only into memory, and the guard that keeps a run
// alive when the file shrinks under the mapping.
//
// Touching a mapped page that no longer lies in the file raises SIGBUS. Every
// access to the mapping therefore runs inside guarded_access(): a fault on
// the range it guards abandons the access and reports it, and the caller
// reads the range with an ordinary read instead, which sees the file as it now
// is (a short read: the source changed). Any other SIGBUS keeps the action it
// had before the first mapping.
//
// A file that can't be mapped (not a regular file, shorter than measured,
// empty, more than a quarter of the address space, or mmap refused) is read
// with ordinary reads; the bytes are the same either way.

#ifndef KARVEL_FILES_SOURCE_MAP_H_
#define KARVEL_FILES_SOURCE_MAP_H_

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace karvel {

class SourceMap {
 public:
  SourceMap() = default;
  ~SourceMap() { unmap(); }
  SourceMap(const SourceMap&) = delete;
  SourceMap& operator=(const SourceMap&) = delete;

  // Maps the first `size` bytes of the file open as `fd`, when it can.
  void map(int fd, uint64_t size);
  void unmap();

  // The mapped bytes, or nullptr when nothing is mapped.
  const char* data() const { return data_; }
  uint64_t size() const { return size_; }

  // Reads like pread(2) on `fd`, the file this maps: from the mapping where
  // it holds the bytes, else (or when the mapped pages are gone) with pread.
  // Where a shrinking file cut its last mapped page, the bytes cut off read
  // as zeros: the caller learns of it from the file's size at the end.
  ssize_t read(int fd, char* out, size_t length, uint64_t offset) const;

  // read(), and then the bytes past the file's present end are not counted,
  // as pread would not have read them. For the large reads of a pass through
  // the file, whose line reads must be those of the file as it is.
  ssize_t read_within_file(int fd, char* out, size_t length, uint64_t offset) const;

 private:
  const char* data_ = nullptr;
  uint64_t size_ = 0;
};

// Calls work(context), which may read [begin, begin + length) of a mapping.
// Returns false when that raised SIGBUS: `work` was abandoned part way, so it
// must not allocate, lock or own anything.
bool guarded_access(const char* begin, size_t length, void (*work)(void*), void* context);

// Whether sources may be mapped (they may unless a test says otherwise).
void allow_source_mapping(bool allowed);

}  // namespace karvel

#endif  // KARVEL_FILES_SOURCE_MAP_H_
