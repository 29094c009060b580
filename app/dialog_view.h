// DialogView: the main dialog as the window of a run.
//
// The run calls the view from the worker thread, while the dialog's controls
// belong to the GUI thread. The view carries everything over:
//
// - Output lines are queued in order and shown by the GUI thread in batches.
//   The worker waits only when many lines are queued, so that a run cannot
//   outpace the list without bound.
// - Field texts are coalesced: only the latest text of each field is kept
//   until the GUI thread shows it, so a run that sets its fields a hundred
//   thousand times costs the GUI a few hundred updates.
// - call_on_gui carries out a task on the GUI thread and waits for it; the
//   worker reads and switches the controls this way.
//
// The worker rings a doorbell (an eventfd watched by the GUI thread's event
// loop); no Qt object is touched off the GUI thread, and all shared state is
// behind one mutex. Once close() has been called (the window is gone), lines
// and fields go nowhere and call_on_gui returns false at once, so a run that
// outlives the window neither waits for nor reaches it.

#ifndef KARVEL_APP_DIALOG_VIEW_H_
#define KARVEL_APP_DIALOG_VIEW_H_

#include <QObject>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "messages/run_view.h"

class QSocketNotifier;
class QTimer;

namespace karvel::app {

class DialogView : public QObject, public RunView {
  Q_OBJECT

 public:
  // Lines queued beyond this number make the worker wait for the GUI.
  static constexpr size_t kMaxQueuedLines = 4096;

  // Created on the GUI thread, which it then serves.
  explicit DialogView(QObject* parent = nullptr);
  ~DialogView() override;

  // RunView, from any thread. A trailing line feed is not shown. Lines are
  // decoded in the system's encoding; text from the user's files in its
  // run's encoding.
  void append_output_line(const std::string& line) override;
  void append_text_line(const std::string& line, TextEncoding encoding) override;
  void set_field(int control, const std::string& text) override;
  // The dialog has no console keyboard: no key can come.
  int read_answer_key(const char* accepted) override;
  // The Stop command given since the last Start.
  bool stop_requested() override { return stop_.load(); }
  void set_stop_requested(bool stop) { stop_.store(stop); }

  // Carries out `task` on the GUI thread and returns when it is done: true,
  // or false when the window is gone (the task was not carried out). Called
  // on the GUI thread, it runs the task at once.
  bool call_on_gui(const std::function<void()>& task);

  // GUI thread: shows what is queued now.
  void deliver();
  // GUI thread: the window is gone; nothing more is shown or carried out.
  void close();
  bool is_closed() const;

 signals:
  // Emitted on the GUI thread with the lines to append, in order.
  void lines_arrived(const QStringList& lines);
  // Emitted on the GUI thread with the latest text of a field.
  void field_changed(int control, const QString& text);

 private:
  // A line waiting to be shown, and how to decode it.
  struct QueuedLine {
    std::string text;
    bool from_user_file;    // text of the user's files, in `encoding`
    TextEncoding encoding;  // else the system's own encoding
  };
  void queue_line(QueuedLine line);
  static QString displayed_line(const QueuedLine& line);

  bool on_gui_thread() const { return std::this_thread::get_id() == gui_thread_; }
  void ring_doorbell();  // with mutex_ held
  void clear_doorbell();

  const std::thread::id gui_thread_;
  int doorbell_ = -1;
  QSocketNotifier* notifier_ = nullptr;
  QTimer* poll_timer_ = nullptr;

  mutable std::mutex mutex_;
  std::condition_variable delivered_;
  std::vector<QueuedLine> lines_;
  std::vector<std::pair<int, std::string>> fields_;
  const std::function<void()>* task_ = nullptr;
  bool task_done_ = false;
  bool task_running_ = false;
  bool rung_ = false;
  bool closed_ = false;
  std::atomic<bool> stop_{false};
};

}  // namespace karvel::app

#endif  // KARVEL_APP_DIALOG_VIEW_H_
