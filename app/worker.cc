// Worker: the polling loop of the worker thread and its orderly end.

#include "app/worker.h"

#include "app/main_dialog.h"

namespace karvel::app {

Worker::Worker(MainDialog& dialog, std::chrono::milliseconds poll_interval)
    : dialog_(dialog), poll_interval_(poll_interval) {
  thread_ = std::thread([this] { worker_loop(); });
}

Worker::~Worker() { end_and_wait(); }

void Worker::end_and_wait() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    dialog_closed_ = true;
  }
  end_signal_.notify_all();
  if (thread_.joinable()) thread_.join();
}

int Worker::worker_loop() {
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (end_signal_.wait_for(lock, poll_interval_, [this] { return dialog_closed_; })) {
        return 0;
      }
    }
    if (dialog_.start_requested()) {
      dialog_.start_runs();
      // Cleared before the controls come back, so that a Start pressed as
      // soon as they do is never lost.
      dialog_.clear_start_request();
      dialog_.set_controls_running(false);
    }
    polls_.fetch_add(1);
  }
}

}  // namespace karvel::app
