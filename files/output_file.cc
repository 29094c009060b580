// Buffered output files that remember their first failure.

#include "files/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "files/output_faults.h"

namespace karvel {

namespace {
constexpr size_t kBufferSize = 1 << 20;
// Written bytes after which the disk is asked to take them: a large output
// then goes to the disk while the run goes on, instead of all at its end.
constexpr uint64_t kWritebackBytes = 1 << 20;
}  // namespace

OutputFile::~OutputFile() { close(); }

bool OutputFile::open(const std::string& name, Mode mode) {
  close();
  error_ = 0;
  bytes_added_ = 0;
  name_ = name;
  // Opened without waiting: a FIFO with no reader fails at once instead of
  // hanging the run. Writes then block as usual.
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK;
  flags |= mode == Mode::kAppend ? O_APPEND : O_TRUNC;
  fd_ = ::open(name.c_str(), flags, 0666);
  if (fd_ < 0) {
    error_ = errno;
    return false;
  }
  error_ = 0;
  fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  if (!buffer_) buffer_.reset(new char[kBufferSize]);
  buffered_ = 0;
  return true;
}

void OutputFile::adopt(int fd, const std::string& name) {
  close();
  fd_ = fd;
  error_ = 0;
  bytes_added_ = 0;
  name_ = name;
  if (!buffer_) buffer_.reset(new char[kBufferSize]);
  buffered_ = 0;
}

void OutputFile::write(const char* bytes, size_t n) {
  if (fd_ < 0 || error_ != 0) return;
  bytes_added_ += n;
  if (buffered_ + n > kBufferSize) {
    if (!flush()) return;
    if (n >= kBufferSize) {
      write_out(bytes, n);
      return;
    }
  }
  memcpy(buffer_.get() + buffered_, bytes, n);
  buffered_ += n;
}

char* OutputFile::room(size_t n) {
  if (fd_ < 0 || error_ != 0) return nullptr;
  if (buffered_ + n > kBufferSize && !flush()) return nullptr;
  return buffer_.get() + buffered_;
}

void OutputFile::commit(size_t n) {
  bytes_added_ += n;
  buffered_ += n;
}

bool OutputFile::flush() {
  if (fd_ < 0) return error_ == 0;
  size_t n = buffered_;
  buffered_ = 0;  // before write_out(), whose start of writeback would flush again
  write_out(buffer_.get(), n);
  return error_ == 0;
}

void OutputFile::write_out(const char* bytes, size_t n) {
  size_t done = 0;
  while (error_ == 0 && done < n) {
    ssize_t put = output_write(fd_, bytes + done, n - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
    } else if (put == 0) {
      error_ = EIO;
    } else {
      done += static_cast<size_t>(put);
    }
  }
  unsent_ += done;
  if (unsent_ >= kWritebackBytes) start_writeback();
}

void OutputFile::start_writeback() {
  if (fd_ < 0 || error_ != 0) return;
  if (buffered_ != 0) flush();
  unsent_ = 0;
  // Refused (EINVAL, ESPIPE) by pipes, devices and some file systems: then
  // sync() does all the work, as it would anyway.
  sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool OutputFile::sync() {
  if (!flush()) return false;
  if (fd_ >= 0 && output_flush(fd_) != 0 && errno != EINVAL) error_ = errno;
  return error_ == 0;
}

bool OutputFile::close() {
  if (fd_ < 0) return error_ == 0;
  flush();
  if (output_close(fd_) != 0 && error_ == 0 && errno != EINTR) error_ = errno;
  fd_ = -1;
  return error_ == 0;
}

}  // namespace karvel
