// Worker: the one thread that performs runs.
//
// It looks at the dialog's start request once per poll interval (a second)
// and, when Start has set it, performs the requested runs through the
// dialog's start_runs, clears the request and puts the controls back to idle.
// Between polls it waits on its end-of-life signal, which the main thread
// gives once the dialog has closed; a run that has begun always runs to its
// end first.

#ifndef KARVEL_APP_WORKER_H_
#define KARVEL_APP_WORKER_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace karvel::app {

class MainDialog;

class Worker {
 public:
  // Starts the thread at once. The dialog must outlive the worker.
  explicit Worker(MainDialog& dialog,
                  std::chrono::milliseconds poll_interval = std::chrono::milliseconds(1000));
  // Ends the worker as end_and_wait does.
  ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // Main thread, once the dialog has closed: tells the worker to end and
  // waits for it, also for the end of a run still going on.
  void end_and_wait();

  // How many times the worker has looked at the start request.
  uint64_t polls() const { return polls_.load(); }

 private:
  int worker_loop();

  MainDialog& dialog_;
  const std::chrono::milliseconds poll_interval_;
  std::mutex mutex_;
  std::condition_variable end_signal_;
  bool dialog_closed_ = false;
  std::atomic<uint64_t> polls_{0};
  std::thread thread_;
};

}  // namespace karvel::app

#endif  // KARVEL_APP_WORKER_H_
