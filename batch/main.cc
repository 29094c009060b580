// karvel-batch: one processing run from a shell, with the dialog's defaults.
//
//   karvel-batch [src=FILE] [dst=FILE] [kwd=FILE] [rst=FILE] [dbl=FILE] [log=FILE]
//                [len_rat=N] [sim_rat=N] [sort=S] [similar=S] [rst_dst=S] [debug[=S]] [ans=C]
//                [enc=auto|utf8|cp866]
//                [sim_max=N]
//                [threads=N]
//
// Exit status: 0 when the run completed, 1 when it did not, 2 for a bad
// command line (which touches no file), 128 plus the signal's number when
// SIGINT, SIGTERM or SIGHUP stopped the run. The first such signal asks the
// run to stop (it keeps what it has written, whole blocks); a second one ends
// the process at once.

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "batch/batch_arguments.h"
#include "batch/batch_help.h"
#include "batch/terminal_view.h"
#include "engine/run_context.h"
#include "messages/messages.h"
#include "records/file_statistics.h"
#include "records/run_clock.h"

namespace {

volatile sig_atomic_t stop_signal = 0;

void on_stop_signal(int number) {
  // The next signal takes its default course: the process ends at once.
  for (int other : {SIGINT, SIGTERM, SIGHUP}) signal(other, SIG_DFL);
  stop_signal = number;
}

void catch_stop_signals() {
  struct sigaction action = {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no restart: a wait for an answer key ends
  for (int number : {SIGINT, SIGTERM, SIGHUP}) sigaction(number, &action, nullptr);
}

// The engine's usage text, shown after a bad word.
void show_usage_on(FILE* out) {
  karvel::TerminalView view(out);
  karvel::Messages messages;
  messages.set_main_window(&view);
  messages.show_usage(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  karvel::mark_start_time();
  // A file-size limit makes a write fail (EFBIG), which the run reports and
  // undoes, instead of ending the process without a word.
  signal(SIGXFSZ, SIG_IGN);
  std::vector<std::string> words(argv + 1, argv + argc);
  karvel::BatchArguments arguments;
  std::string bad_word;
  switch (karvel::parse_batch_arguments(words, &arguments, &bad_word)) {
    case karvel::BatchCommand::kHelp:
      karvel::print_batch_help(stdout);
      return 0;
    case karvel::BatchCommand::kVersion:
      printf("karvel-batch 4.0\n");
      return 0;
    case karvel::BatchCommand::kBadArgument:
      fprintf(stderr, "karvel-batch: bad argument '%s'\n", bad_word.c_str());
      show_usage_on(stderr);
      return 2;
    case karvel::BatchCommand::kRun:
      break;
  }

  karvel::TerminalView view(stdout);
  view.set_stop_flag(&stop_signal);
  catch_stop_signals();
  karvel::RunContext context;
  context.set_default_answer(arguments.ans);
  context.set_encoding_choice(arguments.enc);
  context.set_similar_limit(arguments.sim_max);
  context.set_thread_count(arguments.threads);
  int result = context.run_processing(&view, arguments.debug, arguments.similar, arguments.sort,
                                      arguments.rst_dst, arguments.src, arguments.dst,
                                      arguments.dbl, arguments.rst, arguments.kwd, arguments.log,
                                      arguments.len_rat, arguments.sim_rat);
  view.end_progress();
  if (stop_signal != 0) return 128 + stop_signal;
  return result == 0 ? 0 : 1;
}
