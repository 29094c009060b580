// Helpers for the tests: a temporary folder, files, a view that records what
// a run shows, and runs of karvel-batch with the checks of a completed run.

#ifndef KARVEL_TESTS_SUPPORT_TEST_SUPPORT_H_
#define KARVEL_TESTS_SUPPORT_TEST_SUPPORT_H_

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "conservation.h"
#include "engine/run_context.h"
#include "messages/run_view.h"

namespace karvel::testing {

using hardening::check_conservation;
using hardening::ConservationResult;

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);  // empty when missing
bool file_exists(const std::string& path);
std::vector<std::string> split_lines(const std::string& text);  // line feeds removed
bool has_line(const std::vector<std::string>& lines, const std::string& line);
std::vector<std::string> error_lines(const std::vector<std::string>& lines);  // "Error: ..."

// Records the output list and the fields set, in order; answers questions from `keys`
// (-1 once used up); the on_ hooks are called on each line, field and question.
class RecordingView : public RunView {
 public:
  void append_output_line(const std::string& line) override {
    lines.push_back(line);
    if (on_line) on_line(line);
  }
  void set_field(int control, const std::string& text) override {
    field_history.emplace_back(control, text);
    if (on_field) on_field(control);
  }
  int read_answer_key(const char* accepted) override;
  std::function<void(const std::string&)> on_line;
  std::function<void(int)> on_field;
  std::function<void()> on_question;
  std::vector<std::string> lines;
  std::vector<std::pair<int, std::string>> field_history;
  std::string keys;
  size_t next_key = 0;
};

// The six file names of a run: by default the dialog's names in `dir`.
struct RunNames {
  std::string src, dst, dbl, rst, kwd, log;
  static RunNames defaults_in(const std::string& dir);
  void remove_outputs() const;  // the destination, doubles, rest and log files
};

struct BatchOptions {
  int timeout_seconds = 60;      // then the program is killed and timed_out set
  uint64_t file_size_limit = 0;  // when not 0, writes past it fail
  // When not 0, sent after signal_after_ms, again second_after_ms later if >= 0.
  int signal = 0, signal_after_ms = 0, second_after_ms = -1;
  std::string input = "";  // standard input
  bool terminal = false;   // standard output on a terminal in a UTF-8 locale
};

struct BatchRun {
  int status = -1;  // exit status; 128 + signal when killed
  bool timed_out = false;
  std::string out, err;
  std::vector<std::string> list() const { return split_lines(out); }
  std::vector<std::string> errors() const { return error_lines(list()); }
};

// Runs karvel-batch in `dir` with `arguments`.
BatchRun run_batch(const std::string& dir, const std::vector<std::string>& arguments,
                   const BatchOptions& options = {});

// karvel-batch in a fresh folder holding `source` and `keywords`, expected to
// complete in time without errors, keep its inputs and lose nothing.
struct CheckedRun {
  BatchRun batch;
  std::string dst, dbl, rst;
  ConservationResult conservation;
};
CheckedRun run_checked(const std::string& source, const std::string& keywords);

// `length` bytes drawn from `alphabet`.
inline std::string random_text(std::mt19937& rng, const std::string& alphabet, size_t length) {
  std::string text;
  for (size_t i = 0; i < length; i++) text += alphabet[rng() % alphabet.size()];
  return text;
}

}  // namespace karvel::testing

#endif  // KARVEL_TESTS_SUPPORT_TEST_SUPPORT_H_
