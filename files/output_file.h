// An output file of a run: destination, doubles, rest or protocol.
//
// Bytes are gathered in a large buffer and written with write(2). The first
// failed write, flush or close is kept, so that the run can report it and end
// instead of reporting a completed run whose output is incomplete.

#ifndef KARVEL_FILES_OUTPUT_FILE_H_
#define KARVEL_FILES_OUTPUT_FILE_H_

#include <cstddef>
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

  // Adds bytes to the file. After a failure further writes are dropped.
  void write(const char* bytes, size_t n);
  void write(const std::string& text) { write(text.data(), text.size()); }

  // Writes out what is buffered. Returns false when this or an earlier write
  // failed.
  bool flush();

  // Flushes and closes. Returns false when anything failed since open().
  bool close();

  bool is_open() const { return fd_ >= 0; }
  bool failed() const { return error_ != 0; }
  int error() const { return error_; }
  const std::string& name() const { return name_; }

 private:
  int fd_ = -1;
  int error_ = 0;
  std::string name_;
  std::string buffer_;
};

}  // namespace karvel

#endif  // KARVEL_FILES_OUTPUT_FILE_H_
