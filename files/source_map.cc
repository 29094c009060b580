// Mapping the source, and the SIGBUS guard of reads from the mapping.

#include "files/source_map.h"

#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>

namespace karvel {

namespace {

std::atomic<bool> mapping_allowed{true};

// The guarded access running on this thread, if any.
struct Guard {
  sigjmp_buf recovery;
  const char* begin;
  const char* end;
};
thread_local Guard* active_guard = nullptr;

struct sigaction previous_action;

void on_bus_error(int signal, siginfo_t* info, void* /*context*/) {
  Guard* guard = active_guard;
  const char* address = static_cast<const char*>(info->si_addr);
  if (guard != nullptr && info->si_code > 0 && address >= guard->begin && address < guard->end) {
    siglongjmp(guard->recovery, 1);
  }
  // Not ours: the fault happens again, or the signal comes again, under the
  // action that was there before.
  sigaction(SIGBUS, &previous_action, nullptr);
  if (info->si_code <= 0) raise(signal);
}

bool install_handler() {
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_sigaction = on_bus_error;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  return sigaction(SIGBUS, &action, &previous_action) == 0;
}

struct Copy {
  char* out;
  const char* from;
  size_t length;
};

void copy_bytes(void* context) {
  Copy* copy = static_cast<Copy*>(context);
  memcpy(copy->out, copy->from, copy->length);
}

}  // namespace

bool guarded_access(const char* begin, size_t length, void (*work)(void*), void* context) {
  Guard guard;
  guard.begin = begin;
  guard.end = begin + length;
  if (sigsetjmp(guard.recovery, 0) != 0) {
    // The jump out of the handler left SIGBUS blocked.
    active_guard = nullptr;
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGBUS);
    pthread_sigmask(SIG_UNBLOCK, &blocked, nullptr);
    return false;
  }
  // The fences keep the access between the two stores, as the handler sees
  // them.
  active_guard = &guard;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  work(context);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  active_guard = nullptr;
  return true;
}

void allow_source_mapping(bool allowed) { mapping_allowed = allowed; }

void SourceMap::map(int fd, uint64_t size) {
  unmap();
  static const bool guarded = install_handler();
  struct stat st;
  // A quarter of the address space at most: a 32-bit run needs the rest.
  if (!guarded || !mapping_allowed || size == 0 || size > SIZE_MAX / 4 || fstat(fd, &st) != 0 ||
      !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) < size) {
    return;
  }
  void* p = mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_SHARED, fd, 0);
  if (p == MAP_FAILED) return;
  data_ = static_cast<const char*>(p);
  size_ = size;
}

void SourceMap::unmap() {
  if (data_ != nullptr) munmap(const_cast<char*>(data_), static_cast<size_t>(size_));
  data_ = nullptr;
  size_ = 0;
}

ssize_t SourceMap::read(int fd, char* out, size_t length, uint64_t offset) const {
  if (data_ != nullptr && offset < size_) {
    Copy copy{out, data_ + offset, length < size_ - offset ? length : size_t(size_ - offset)};
    if (guarded_access(copy.from, copy.length, copy_bytes, &copy)) {
      return static_cast<ssize_t>(copy.length);
    }
  }
  return pread(fd, out, length, static_cast<off_t>(offset));
}

ssize_t SourceMap::read_within_file(int fd, char* out, size_t length, uint64_t offset) const {
  ssize_t got = read(fd, out, length, offset);
  struct stat st;
  if (data_ == nullptr || got <= 0 || fstat(fd, &st) != 0) return got;
  uint64_t file_end = static_cast<uint64_t>(st.st_size);
  if (offset >= file_end) return 0;
  return file_end - offset < static_cast<uint64_t>(got) ? static_cast<ssize_t>(file_end - offset)
                                                        : got;
}

}  // namespace karvel
