// The program clock.

#include "records/run_clock.h"

#include <atomic>
#include <ctime>

namespace karvel {

namespace {

std::atomic<time_t> start_time{0};

}  // namespace

void mark_start_time() { start_time.store(time(nullptr)); }

uint32_t elapsed_seconds() {
  double seconds = difftime(time(nullptr), start_time.load());
  return seconds <= 0 ? 0 : static_cast<uint32_t>(seconds);
}

}  // namespace karvel
