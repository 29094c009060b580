// The run's window in a shell: output-list lines to standard output, a
// one-line progress display on standard error when it is a terminal, and
// answer keys from standard input.
//
// Lines go out as the bytes they are, so that scripts can compare them; only
// code page 866 text going to a terminal is converted to the terminal's own
// encoding.

#ifndef KARVEL_BATCH_TERMINAL_VIEW_H_
#define KARVEL_BATCH_TERMINAL_VIEW_H_

#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <string>

#include "messages/run_view.h"

namespace karvel {

class TerminalView : public RunView {
 public:
  // Lines go to `lines` (standard output or standard error for the usage of
  // a bad command line).
  explicit TerminalView(FILE* lines);
  ~TerminalView() override;

  void append_output_line(const std::string& line) override;
  void append_text_line(const std::string& line, TextEncoding encoding) override;
  void set_field(int control, const std::string& text) override;
  int read_answer_key(const char* accepted) override;

  // Clears the progress display, if one is shown.
  void end_progress();

  // The run is asked to stop once *flag is not 0 (set by a signal handler).
  void set_stop_flag(const volatile sig_atomic_t* flag) { stop_flag_ = flag; }
  bool stop_requested() override { return stop_flag_ != nullptr && *stop_flag_ != 0; }

 private:
  void show_progress();

  FILE* lines_;
  std::string terminal_encoding_;  // of `lines` when it is a terminal, else empty
  const volatile sig_atomic_t* stop_flag_ = nullptr;
  bool progress_ = false;              // standard error is a terminal
  bool progress_shown_ = false;        // a progress line stands on it now
  std::map<int, std::string> fields_;  // latest text of each field
  std::chrono::steady_clock::time_point last_progress_;
};

}  // namespace karvel

#endif  // KARVEL_BATCH_TERMINAL_VIEW_H_
