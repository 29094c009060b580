// Helpers for the tests: a temporary folder, whole-file reads and writes, and
// a view that records what a run shows.

#ifndef KARVEL_TESTS_SUPPORT_TEST_SUPPORT_H_
#define KARVEL_TESTS_SUPPORT_TEST_SUPPORT_H_

#include <map>
#include <string>
#include <vector>

#include "messages/run_view.h"

namespace karvel::testing {

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string file(const std::string& name) const;

 private:
  std::string path_;
};

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);

// Records the output list and the fields; answers the similarity question
// from a prepared string of keys (-1 once they are used up).
class RecordingView : public RunView {
 public:
  void append_output_line(const std::string& line) override { lines.push_back(line); }
  void set_field(int control, const std::string& text) override {
    fields[control] = text;
    field_history.emplace_back(control, text);
  }
  int read_answer_key(const char* accepted) override;

  std::vector<std::string> lines;
  std::map<int, std::string> fields;
  std::vector<std::pair<int, std::string>> field_history;
  std::string keys;
  size_t next_key = 0;
};

// Runs karvel-batch with `arguments` in folder `dir`, feeding `input` on its
// standard input. Returns its exit status; fills *out and *err.
int run_batch(const std::string& dir, const std::vector<std::string>& arguments,
              const std::string& input, std::string* out, std::string* err);

// The lines of `text` split at line feeds (the line feeds removed).
std::vector<std::string> split_lines(const std::string& text);

}  // namespace karvel::testing

#endif  // KARVEL_TESTS_SUPPORT_TEST_SUPPORT_H_
