// An output file of a run: destination, doubles, rest or protocol.
//
// Bytes are gathered in a large buffer and written with write(2). The first
// failed write, flush or close is kept, so that the run can report it and end
// instead of reporting a completed run whose output is incomplete. The system
// calls go through output_faults.h.

#ifndef KARVEL_FILES_OUTPUT_FILE_H_
#define KARVEL_FILES_OUTPUT_FILE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace karvel {

class OutputFile {
 public:
  enum class Mode { kAppend, kCreate };  // "a" and "w"

  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Opens `name`. Returns false (with errno kept in error()) when it cannot.
  bool open(const std::string& name, Mode mode);

  // Takes over `fd`, open for writing, as the file `name`.
  void adopt(int fd, const std::string& name);

  // Adds bytes to the file. After a failure further writes are dropped.
  void write(const char* bytes, size_t n);
  void write(const std::string& text) { write(text.data(), text.size()); }

  // Room for `n` more bytes at the end of the buffer, written out first when
  // they would not fit, so that a caller can fill it in place and then
  // commit() them: one copy of the bytes less. `n` is at most 1 MiB. nullptr
  // after a failure (the bytes are then dropped, as by write()).
  char* room(size_t n);
  void commit(size_t n);

  // Writes out what is buffered. Returns false when this or an earlier write
  // failed.
  bool flush();

  // Writes out what is buffered and flushes the file to the disk (files
  // that cannot be flushed, such as pipes and devices, count as flushed).
  // Returns false when this or an earlier step failed.
  bool sync();

  // Writes out what is buffered and asks the system to start writing the
  // file's pages to the disk without waiting for them, so that a later
  // sync() waits less. Regular files only; a failure here is not an error.
  void start_writeback();

  // Drops what is buffered and not yet written.
  void discard() { buffered_ = 0; }

  // Flushes and closes. Returns false when anything failed since open().
  bool close();

  // Bytes handed to write() since the file was opened.
  uint64_t bytes_added() const { return bytes_added_; }

  bool is_open() const { return fd_ >= 0; }
  bool failed() const { return error_ != 0; }
  int error() const { return error_; }
  const std::string& name() const { return name_; }

 private:
  // Writes the bytes to the file, keeping the first failure.
  void write_out(const char* bytes, size_t n);

  int fd_ = -1;
  int error_ = 0;
  uint64_t bytes_added_ = 0;
  uint64_t unsent_ = 0;  // bytes written since the last start of writeback
  std::string name_;
  std::unique_ptr<char[]> buffer_;  // 1 MiB, made by open() or adopt()
  size_t buffered_ = 0;             // bytes of buffer_ not yet written
};

}  // namespace karvel

#endif  // KARVEL_FILES_OUTPUT_FILE_H_
