// Output system calls with an optional injected fault.

#include "files/output_faults.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace karvel {

namespace {

struct Fault {
  std::atomic<uint64_t> calls{0};
  std::atomic<uint64_t> fail_at{0};
  std::atomic<int> error{0};
};

Fault faults[3];

Fault& fault(OutputStep step) { return faults[static_cast<int>(step)]; }

// Counts the call; true when it is the one to fail.
bool strikes(OutputStep step) {
  Fault& f = fault(step);
  uint64_t n = f.calls.fetch_add(1, std::memory_order_relaxed) + 1;
  return n == f.fail_at.load(std::memory_order_relaxed);
}

}  // namespace

void arm_output_fault(OutputStep step, uint64_t k, int error) {
  for (Fault& f : faults) {
    f.calls.store(0);
    f.fail_at.store(0);
  }
  fault(step).error.store(error);
  fault(step).fail_at.store(k);
}

uint64_t output_steps(OutputStep step) { return fault(step).calls.load(); }

ssize_t output_write(int fd, const void* bytes, size_t n) {
  if (strikes(OutputStep::kWrite)) {
    errno = fault(OutputStep::kWrite).error.load();
    return -1;
  }
  return ::write(fd, bytes, n);
}

int output_flush(int fd) {
  if (strikes(OutputStep::kFlush)) {
    errno = fault(OutputStep::kFlush).error.load();
    return -1;
  }
  return fdatasync(fd);
}

int output_close(int fd) {
  bool fail = strikes(OutputStep::kClose);
  int result = ::close(fd);
  if (!fail) return result;
  errno = fault(OutputStep::kClose).error.load();
  return -1;
}

}  // namespace karvel
