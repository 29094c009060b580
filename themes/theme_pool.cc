// Worker threads for the per-theme work, and the hand-over in theme order.

#include "themes/theme_pool.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "index/block_index.h"
#include "messages/message_record.h"
#include "messages/messages.h"
#include "records/file_statistics.h"
#include "records/program_configuration.h"
#include "records/stop_request.h"
#include "themes/output_files.h"
#include "themes/theme_workspace.h"

namespace karvel {

namespace {

// How often the handing-on thread looks at the stop request and shows the
// progress of the theme it waits for.
constexpr std::chrono::milliseconds kPollInterval{50};

// What the work on one theme left, until it is handed on.
struct ThemeOutcome {
  bool done = false;  // guarded by the pool's mutex
  Status status;
  MessageRecord record;
  FileStatistics counts;          // the theme's share of the run's counters
  std::vector<uint32_t> doubled;  // its doubles list, in doubles-file order
};

class Pool {
 public:
  Pool(const ThemeWork& work, uint32_t theme_count, ThemeWorkspace& workspace)
      : work_(work),
        theme_count_(theme_count),
        first_workspace_(workspace),
        outcomes_(theme_count) {
    abort_.begin_run();
  }
  ~Pool() { stop_workers(); }

  void start(unsigned threads) {
    for (unsigned w = 0; w < threads; ++w) workers_.emplace_back([this, w] { work(w); });
  }
  Status hand_on(const std::function<Status()>& after_theme);

 private:
  void work(unsigned w);
  Status work_on_theme(ThemeWorkspace& workspace, uint32_t t, ThemeOutcome& outcome);
  // Waits until theme t is done; false when a stop request came first.
  bool wait_for(uint32_t t);
  void show_fields(ThemeOutcome& outcome);
  void stop_workers();

  const ThemeWork& work_;
  const uint32_t theme_count_;
  ThemeWorkspace& first_workspace_;
  StopRequest abort_;  // ends the workers' passes as a stop request does
  std::vector<std::thread> workers_;

  std::mutex mutex_;
  std::condition_variable done_;
  uint32_t next_theme_ = 0;                              // guarded by mutex_
  bool failed_ = false;                                  // guarded by mutex_
  std::vector<std::unique_ptr<ThemeOutcome>> outcomes_;  // by theme; guarded by mutex_
};

void Pool::work(unsigned w) {
  ThemeWorkspace own;
  ThemeWorkspace& workspace = w == 0 ? first_workspace_ : own;
  for (;;) {
    uint32_t t;
    ThemeOutcome* outcome;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (next_theme_ >= theme_count_ || failed_ || abort_.requested()) return;
      t = next_theme_++;
      outcomes_[t] = std::make_unique<ThemeOutcome>();
      outcome = outcomes_[t].get();
    }
    Status status;
    try {
      status = work_on_theme(workspace, t, *outcome);
    } catch (const std::bad_alloc&) {
      status = Status::Error("Not enough memory for the run");
    }
    std::lock_guard<std::mutex> lock(mutex_);
    outcome->status = status;
    outcome->done = true;
    if (!status.ok()) failed_ = true;
    done_.notify_all();
  }
}

// The steps of one theme as the run takes them, with the messages kept in
// the theme's record and the counters in its own statistics.
Status Pool::work_on_theme(ThemeWorkspace& workspace, uint32_t t, ThemeOutcome& outcome) {
  Messages messages;
  messages.set_record(&outcome.record);
  messages.set_text_encoding(work_.messages->text_encoding());
  messages.set_stop_request(&abort_);
  uint32_t blocks = t < kThemeScanCount ? work_.buckets->end(t) - work_.buckets->begin(t) : 0;
  if (workspace.capacity() < blocks) {
    Status status = workspace.create(blocks);
    if (!status.ok()) return status;
  }
  return karvel::work_on_theme(work_, workspace, t, outcome.counts, messages, &outcome.doubled);
}

bool Pool::wait_for(uint32_t t) {
  for (;;) {
    ThemeOutcome* outcome = nullptr;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (outcomes_[t] && outcomes_[t]->done) return true;
      done_.wait_for(lock, kPollInterval);
      if (outcomes_[t] && outcomes_[t]->done) return true;
      outcome = outcomes_[t].get();
    }
    if (work_.messages->stop_requested()) return false;
    if (outcome != nullptr) show_fields(*outcome);
  }
}

// The progress fields of a theme's work. The similar-blocks count of a
// worker is the theme's own; the run's total is shown once it is handed on.
void Pool::show_fields(ThemeOutcome& outcome) {
  RunView* window = work_.messages->window();
  if (window == nullptr) return;
  for (const auto& field : outcome.record.take_fields()) {
    if (field.first != kSimilarFound) window->set_field(field.first, field.second);
  }
}

Status Pool::hand_on(const std::function<Status()>& after_theme) {
  Messages& messages = *work_.messages;
  FileStatistics& statistics = *work_.statistics;
  for (uint32_t t = 0; t < theme_count_; ++t) {
    if (messages.stop_requested()) return Status::Stopped();
    messages.set_field(kCurrentTheme, t);
    if (!wait_for(t)) return Status::Stopped();
    std::unique_ptr<ThemeOutcome> outcome;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      outcome = std::move(outcomes_[t]);
    }
    show_fields(*outcome);
    messages.replay(outcome->record);
    const FileStatistics& counts = outcome->counts;
    statistics.equal_blocks += counts.equal_blocks;
    statistics.deleted_equal_bytes += counts.deleted_equal_bytes;
    statistics.saved_as_similar += counts.saved_as_similar;
    if (counts.saved_as_similar != 0) {
      messages.set_signed_field(kSimilarFound, statistics.saved_as_similar);
    }
    if (!outcome->status.ok()) return outcome->status;
    Status status = write_doubles(work_, outcome->doubled);
    if (!status.ok()) return status;
    status = after_theme();
    if (!status.ok()) return status;
  }
  return Status::OK();
}

void Pool::stop_workers() {
  abort_.request();
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
}

}  // namespace

Status work_on_theme(const ThemeWork& work, ThemeWorkspace& workspace, uint32_t t,
                     FileStatistics& counts, Messages& messages, std::vector<uint32_t>* doubled) {
  doubled->clear();
  const SourceFile& source = *work.source;
  Status status = workspace.load_theme(source, *work.index, *work.buckets, t, messages);
  if (!status.ok()) return status;
  workspace.sort_by_length();
  status = workspace.delete_equal_blocks(source, *work.index, counts, messages);
  if (!status.ok() || work.configuration->get_check_similarity() == 0) return status;
  return workspace.search_similar_blocks(source, *work.index, *work.configuration, counts, messages,
                                         doubled);
}

Status write_doubles(const ThemeWork& work, const std::vector<uint32_t>& doubled) {
  for (uint32_t b : doubled) {
    Status status = copy_block(*work.index, b, *work.source, *work.doubles);
    if (!status.ok()) return status;
  }
  return Status::OK();
}

bool themes_may_run_at_once(const ProgramConfiguration& configuration) {
  return configuration.get_check_similarity() == 0 || configuration.get_group_mode() != 0 ||
         configuration.get_always_yes() != 0;
}

Status process_themes_at_once(const ThemeWork& work, uint32_t theme_count, unsigned threads,
                              ThemeWorkspace& workspace,
                              const std::function<Status()>& after_theme) {
  Pool pool(work, theme_count, workspace);
  pool.start(threads);
  return pool.hand_on(after_theme);
}

}  // namespace karvel
