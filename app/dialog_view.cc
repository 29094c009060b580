// DialogView: carrying the run's lines, fields and control requests from the
// worker thread to the GUI thread.

#include "app/dialog_view.h"

#include <sys/eventfd.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstdint>

#include "text/text_conversion.h"

namespace karvel::app {

QString DialogView::displayed_line(const QueuedLine& line) {
  std::string text = line.text;
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
  if (!line.from_user_file) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
  }
  if (line.encoding == TextEncoding::kCp866) text = convert_from_cp866(text, "UTF-8");
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

DialogView::DialogView(QObject* parent) : QObject(parent), gui_thread_(std::this_thread::get_id()) {
  doorbell_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (doorbell_ >= 0) {
    notifier_ = new QSocketNotifier(doorbell_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &DialogView::deliver);
  } else {
    // No descriptor to spare: look for queued work a few times a second.
    poll_timer_ = new QTimer(this);
    connect(poll_timer_, &QTimer::timeout, this, &DialogView::deliver);
    poll_timer_->start(50);
  }
}

DialogView::~DialogView() {
  close();
  delete notifier_;
  if (doorbell_ >= 0) ::close(doorbell_);
}

void DialogView::append_output_line(const std::string& line) {
  queue_line({line, false, TextEncoding::kCp866});
}

void DialogView::append_text_line(const std::string& line, TextEncoding encoding) {
  queue_line({line, true, encoding});
}

void DialogView::queue_line(QueuedLine line) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (closed_) return;
  const bool gui = on_gui_thread();
  if (!gui) {
    delivered_.wait(lock, [this] { return lines_.size() < kMaxQueuedLines || closed_; });
    if (closed_) return;
  }
  lines_.push_back(std::move(line));
  if (gui) {
    lock.unlock();
    deliver();
  } else {
    ring_doorbell();
  }
}

void DialogView::set_field(int control, const std::string& text) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (closed_) return;
  bool replaced = false;
  for (auto& field : fields_) {
    if (field.first == control) {
      field.second = text;
      replaced = true;
      break;
    }
  }
  if (!replaced) fields_.emplace_back(control, text);
  if (on_gui_thread()) {
    lock.unlock();
    deliver();
  } else {
    ring_doorbell();
  }
}

int DialogView::read_answer_key(const char* /*accepted*/) { return -1; }

bool DialogView::call_on_gui(const std::function<void()>& task) {
  if (on_gui_thread()) {
    if (is_closed()) return false;
    deliver();
    task();
    return true;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (closed_) return false;
  task_ = &task;
  task_done_ = false;
  ring_doorbell();
  // A task under way is waited for even when the window goes meanwhile: it
  // refers to the caller's frame.
  delivered_.wait(lock, [this] { return task_done_ || (closed_ && !task_running_); });
  const bool done = task_done_;
  task_ = nullptr;
  task_done_ = false;
  return done;
}

void DialogView::deliver() {
  std::vector<QueuedLine> lines;
  std::vector<std::pair<int, std::string>> fields;
  const std::function<void()>* task = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    clear_doorbell();
    if (closed_) return;
    lines.swap(lines_);
    fields.swap(fields_);
    // Taken once: a deliver() nested in the task does not run it again.
    std::swap(task, task_);
    if (task != nullptr) task_running_ = true;
  }
  if (!lines.empty()) delivered_.notify_all();

  if (!lines.empty()) {
    QStringList shown;
    shown.reserve(static_cast<qsizetype>(lines.size()));
    for (const QueuedLine& line : lines) shown.append(displayed_line(line));
    emit lines_arrived(shown);
  }
  for (const auto& [control, text] : fields) {
    emit field_changed(control,
                       QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())));
  }
  if (task != nullptr) {
    (*task)();
    std::lock_guard<std::mutex> lock(mutex_);
    task_done_ = true;
    task_running_ = false;
    delivered_.notify_all();
  }
}

void DialogView::close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return;
    closed_ = true;
    lines_.clear();
    fields_.clear();
    task_ = nullptr;
  }
  delivered_.notify_all();
  if (notifier_ != nullptr) notifier_->setEnabled(false);
  if (poll_timer_ != nullptr) poll_timer_->stop();
}

bool DialogView::is_closed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

void DialogView::ring_doorbell() {
  if (rung_ || doorbell_ < 0) return;
  rung_ = true;
  const uint64_t one = 1;
  ssize_t written;
  do {
    written = ::write(doorbell_, &one, sizeof one);
  } while (written < 0 && errno == EINTR);
}

void DialogView::clear_doorbell() {
  rung_ = false;
  if (doorbell_ < 0) return;
  uint64_t count;
  ssize_t got;
  do {
    got = ::read(doorbell_, &count, sizeof count);
  } while (got < 0 && errno == EINTR);
}

}  // namespace karvel::app
