// Helpers of the hardening tests: runs with the default switches (in this
// process or through karvel-batch, with a time limit and, where the test
// needs permissions to count, as the unprivileged user "nobody"), and the
// checks that every such run must pass: its inputs unchanged and every block
// of the source accounted for.

#ifndef KARVEL_TESTS_HARDENING_HARDENING_SUPPORT_H_
#define KARVEL_TESTS_HARDENING_HARDENING_SUPPORT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "conservation.h"
#include "engine/run_context.h"
#include "messages/run_view.h"

namespace karvel::hardening {

// The six file names of a run. By default the dialog's names in `dir`.
struct RunNames {
  std::string src, dst, dbl, rst, kwd, log;
  static RunNames defaults_in(const std::string& dir);
};

// One run in `context` with the default switches: debug off, similarity
// search on, sort on, Rst=Dst on. Returns run_processing's result.
int run_defaults(RunContext& context, RunView& view, const RunNames& names,
                 uint32_t length_ratio = 50, uint32_t similarity_ratio = 60);

// The lines of `lines` that begin with "Error: ".
std::vector<std::string> error_lines(const std::vector<std::string>& lines);

// A run of karvel-batch.
struct BatchRun {
  int status = -1;                        // exit status; 128 + signal when killed
  bool timed_out = false;                 // killed after the time limit
  std::string out, err;                   // standard output (the output list) and error
  std::vector<std::string> list() const;  // standard output as lines
  std::vector<std::string> errors() const { return error_lines(list()); }
};

struct BatchOptions {
  int timeout_seconds = 60;  // then the program is killed and timed_out set
  bool as_nobody = false;    // run as uid and gid 65534
  // When not 0, the largest file the program may write, as on a disk that
  // fills up: writes past it fail with EFBIG.
  uint64_t file_size_limit = 0;
  // When not 0, this signal is sent `signal_after_ms` after the start, and
  // once more `second_after_ms` later when that is not negative.
  int signal = 0;
  int signal_after_ms = 0;
  int second_after_ms = -1;
};

// Runs karvel-batch in `dir` with `arguments`, standard input /dev/null.
BatchRun run_batch_guarded(const std::string& dir, const std::vector<std::string>& arguments,
                           const BatchOptions& options = {});

// True when this process can start a program as "nobody" (it is root and may
// change its user); the tests of permissions need it, since root reads and
// writes whatever the permissions say.
bool can_run_as_nobody();

// Makes `path` (a folder) open to everyone: rwx for all, or r-x with
// `writable` false.
void open_folder_to_all(const std::string& path, bool writable = true);

// A run through karvel-batch with the default names in a fresh folder that
// holds only `source` and `keywords`: what came out, and the checks.
struct CheckedRun {
  BatchRun batch;
  std::string dst, dbl, rst, log;
  bool inputs_unchanged = false;
  ConservationResult conservation;
};
CheckedRun run_checked(const std::string& source, const std::string& keywords,
                       const std::vector<std::string>& extra_arguments = {},
                       int timeout_seconds = 120);

// True when `list` holds `line` exactly.
bool has_line(const std::vector<std::string>& list, const std::string& line);

// The checks every completed run must pass: it ended in time with status 0
// and no "Error: " line, its inputs are unchanged, and nothing is lost.
void expect_completed_and_conserved(const CheckedRun& run);

}  // namespace karvel::hardening

#endif  // KARVEL_TESTS_HARDENING_HARDENING_SUPPORT_H_
