// A request to stop the run in progress, made from another thread (the
// dialog's Stop command) while the run goes on.
//
// A request lands only while a run is in progress: one made before a run has
// begun, or after it has ended, changes nothing. The stages of the run look
// at it between their steps (see Messages::stop_requested).

#ifndef KARVEL_RECORDS_STOP_REQUEST_H_
#define KARVEL_RECORDS_STOP_REQUEST_H_

#include <atomic>

namespace karvel {

class StopRequest {
 public:
  void begin_run() { state_.store(kRunning); }
  void end_run() { state_.store(kIdle); }
  void request() {
    int running = kRunning;
    state_.compare_exchange_strong(running, kRequested);
  }
  bool requested() const { return state_.load(std::memory_order_relaxed) == kRequested; }

 private:
  enum : int { kIdle, kRunning, kRequested };
  std::atomic<int> state_{kIdle};
};

}  // namespace karvel

#endif  // KARVEL_RECORDS_STOP_REQUEST_H_
