// The text of karvel-batch --help. Each word has one line: "  name=VALUE",
// what it sets, and "default X" at the end (scripts/check-batch-words.sh
// reads these lines and compares them with the manual page and the README).

#include "batch/batch_help.h"

#include <string>

#include "batch/batch_arguments.h"

namespace karvel {

namespace {

const char* switch_text(int value) { return value != 0 ? "Y" : "N"; }

const char* encoding_name(EncodingChoice choice) {
  switch (choice) {
    case EncodingChoice::kUtf8:
      return "utf8";
    case EncodingChoice::kCp866:
      return "cp866";
    default:
      return "auto";
  }
}

void word(FILE* out, const char* name, const char* meaning, const char* default_value) {
  fprintf(out, "  %-12s %-50s default %s\n", name, meaning, default_value);
}

}  // namespace

void print_batch_help(FILE* out) {
  const BatchArguments d;
  const std::string len_rat = std::to_string(d.len_rat);
  const std::string sim_rat = std::to_string(d.sim_rat);
  const char ans[2] = {d.ans, '\0'};
  const std::string sim_max = std::to_string(d.sim_max);
  const std::string threads = std::to_string(d.threads);
  fputs(
      "Usage: karvel-batch [NAME=VALUE ...]\n"
      "       karvel-batch --help | --version\n"
      "Sorts the blocks of the source file by the themes of the keywords file and\n"
      "weeds out equal and similar blocks: one run with the files, switches and\n"
      "defaults of the dialog karvel. Every line of the output list goes to\n"
      "standard output.\n"
      "\n",
      out);
  word(out, "src=FILE", "source file, read only", d.src.c_str());
  word(out, "dst=FILE", "destination file: sorted themed blocks, appended", d.dst.c_str());
  word(out, "kwd=FILE", "keywords file, read only", d.kwd.c_str());
  word(out, "rst=FILE", "rest file: blocks without theme, appended", d.rst.c_str());
  word(out, "dbl=FILE", "doubles file: similar blocks, grouped, appended", d.dbl.c_str());
  word(out, "log=FILE", "protocol file, created anew by every run", d.log.c_str());
  word(out, "len_rat=N", "length ratio in percent for two similar blocks", len_rat.c_str());
  word(out, "sim_rat=N", "share of found words in percent for similar blocks", sim_rat.c_str());
  word(out, "sort=S", "write the sorted themed blocks", switch_text(d.sort));
  word(out, "similar=S", "search each theme for similar blocks", switch_text(d.similar));
  word(out, "rst_dst=S", "sorted blocks to the rest file, not the destination",
       switch_text(d.rst_dst));
  word(out, "debug[=S]", "keywords listing and final report in the protocol", switch_text(d.debug));
  word(out, "ans=C", "answer to \"Are two blocks similar?\": g, a or q", ans);
  word(out, "enc=E", "text encoding of the source and keywords files", encoding_name(d.enc));
  word(out, "sim_max=N", "themes of N blocks or more are not searched", sim_max.c_str());
  word(out, "threads=T", "threads of the run; 0: one per online core", threads.c_str());
  fputs(
      "\n"
      "FILE is a file name; an empty one is refused. N is 0 to 99; 0 is refused. S\n"
      "is Y, y or 1 (on), N, n or 0 (off). C is one character: g groups similar\n"
      "pairs into the doubles file, a deletes the second block of each pair, q stops\n"
      "the search; any other makes karvel-batch ask for each pair, reading keys from\n"
      "standard input. E is auto (UTF-8 when both files are valid UTF-8 and one\n"
      "holds a character beyond ASCII, else code page 866), utf8 or cp866.\n"
      "sim_max=N takes any number of blocks; 0 searches every theme. T is 0 to\n"
      "1024; the outputs are the same with any. A word given twice takes its last\n"
      "value.\n"
      "\n"
      "Exit status: 0 when the run completed, 1 when it did not, 2 for a bad command\n"
      "line (which touches no file), 128 plus the signal's number when SIGINT, SIGTERM\n"
      "or SIGHUP stopped the run (a second signal ends karvel-batch at once).\n"
      "\n"
      "More in the manual page karvel-batch(1) and in the manual karvel.txt, installed\n"
      "in share/doc/karvel/ (/usr/share/doc/karvel/ by the package).\n",
      out);
}

}  // namespace karvel
