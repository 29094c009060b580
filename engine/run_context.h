// The processing run: one RunContext drives any number of runs, one after the
// other, each from opening its six files to its end.
//
// The context owns the run-wide state: the files of the run, the window that
// receives its messages, its records (configuration, keywords, block index,
// theme workspace) and the statistics, which outlive the run. Every run starts
// from a sound state whatever the previous one did.
//
// Thread safety: run_processing runs on one thread (the worker). request_stop
// may be called from any thread at any time; every stage of the run looks at
// it, so the run stops within a second, keeping what it has written (whole
// blocks).
//
// A run that ends with an error cuts its outputs back to their sizes before
// it; a run that completes has flushed them to the disk first.

#ifndef KARVEL_ENGINE_RUN_CONTEXT_H_
#define KARVEL_ENGINE_RUN_CONTEXT_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "files/status.h"
#include "files/text_encoding.h"
#include "messages/messages.h"
#include "records/file_statistics.h"
#include "records/program_configuration.h"
#include "records/stop_request.h"

namespace karvel {

class Utf8Check;
struct ThemeWork;

class RunContext {
 public:
  RunContext();
  ~RunContext();
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  // Performs one run. Returns 0 after a completed run, -1 after any run that
  // did not complete (refused, stopped or ended by an error).
  int run_processing(RunView* window, int debug, int check_similarity, int sort, int rst_eq_dst,
                     const std::string& src_file_name, const std::string& dst_file_name,
                     const std::string& dbl_file_name, const std::string& rst_file_name,
                     const std::string& kwd_file_name, const std::string& log_file_name,
                     uint32_t length_ratio, uint32_t similarity_ratio);

  // With a non-zero `value`, asks the run in progress to stop; does nothing
  // while no run is in progress.
  void request_stop(int value);

  // The window shown messages before the first run (the main dialog).
  void set_main_window(RunView* window) { messages_.set_main_window(window); }

  // The default answer of the configurations of later runs ('g' unless the
  // batch front end says otherwise).
  void set_default_answer(char answer) { default_answer_ = answer; }

  // The text encoding of later runs: automatic unless set.
  void set_encoding_choice(EncodingChoice choice) { encoding_choice_ = choice; }
  // The threads of later runs; 0 (the default) means one per online core.
  void set_thread_count(unsigned threads) { thread_count_ = threads; }

  // The similar-block limit of later runs: themes of that many blocks or
  // more are not searched; 0 searches every theme.
  void set_similar_limit(uint32_t limit) { similar_limit_ = limit; }
  uint32_t similar_limit() const { return similar_limit_; }

  Messages& messages() { return messages_; }
  const FileStatistics& statistics() const { return statistics_; }
  uint32_t theme_total() const { return theme_total_; }

 private:
  struct Run;

  // The steps of a run; see run_processing.
  int perform_run(Run& run, int debug, int check_similarity, int sort, int rst_eq_dst,
                  uint32_t length_ratio, uint32_t similarity_ratio);
  Status set_up_run(Run& run, ProgramConfiguration& configuration, Utf8Check& source_check);
  Status load_keywords(Run& run, Utf8Check& source_check);
  Status process_theme(Run& run, const ThemeWork& work, uint32_t t);
  // The thread count of the run: thread_count_, or the online cores.
  unsigned run_threads() const;

  // Shows the failure ("Error: " line, or the text as it stands), restores
  // the outputs, finishes the run and returns -1. A stopped run ends with the
  // silent clean-up instead.
  int report_error(Run& run, const Status& status);
  // The end of every run that got past opening its files: the report in debug
  // mode, release of the records, the elapsed-time line, the files closed.
  // Returns false when closing an output failed (it has been reported).
  bool finish_run(Run& run);
  // Releases the records and closes the files without a word.
  void silent_clean_up(Run& run);
  void release_records(Run& run);
  // Cuts the outputs back to their sizes before the run and says so.
  void restore_outputs(Run& run);
  // Close the inputs and outputs, then the protocol; a failure is reported
  // and the outputs restored. Return false on a failure.
  bool close_outputs(Run& run);
  bool close_protocol(Run& run);

  Messages messages_;
  FileStatistics statistics_;
  uint32_t theme_total_ = 0;
  char default_answer_ = 'g';
  EncodingChoice encoding_choice_ = EncodingChoice::kAuto;
  std::atomic<uint32_t> similar_limit_{kDefaultSimilarLimit};  // set from the GUI thread
  unsigned thread_count_ = 0;

  // The current configuration: replaced at the start of each run.
  std::unique_ptr<ProgramConfiguration> configuration_;
  StopRequest stop_;
};

}  // namespace karvel

#endif  // KARVEL_ENGINE_RUN_CONTEXT_H_
