// The command line of karvel-batch: words name=value, with the dialog's
// defaults for everything not given.

#ifndef KARVEL_BATCH_BATCH_ARGUMENTS_H_
#define KARVEL_BATCH_BATCH_ARGUMENTS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "files/text_encoding.h"

namespace karvel {

struct BatchArguments {
  std::string src = "#src";                    // source file
  std::string dst = "#dst";                    // destination file
  std::string kwd = "#kwd";                    // keywords file
  std::string rst = "#rst";                    // rest file
  std::string dbl = "#dbl";                    // doubles file
  std::string log = "#log";                    // protocol file
  uint32_t len_rat = 50;                       // length ratio, percent
  uint32_t sim_rat = 60;                       // similarity ratio, percent
  int sort = 1;                                // write the sorted output
  int similar = 1;                             // search similar blocks
  int rst_dst = 1;                             // sorted output to the rest file
  int debug = 0;                               // keywords listing and final report
  char ans = 'g';                              // default answer to the similarity question
  EncodingChoice enc = EncodingChoice::kAuto;  // text encoding: auto, utf8 or cp866
  uint32_t sim_max = 500;  // themes of this many blocks are not searched; 0: every theme
  unsigned threads = 0;    // threads of the run; 0: one per online core
};

enum class BatchCommand { kRun, kHelp, kVersion, kBadArgument };

// Reads the words of the command line (without the program name). On a bad
// word returns kBadArgument with the word in *bad_word.
BatchCommand parse_batch_arguments(const std::vector<std::string>& words, BatchArguments* arguments,
                                   std::string* bad_word);

}  // namespace karvel

#endif  // KARVEL_BATCH_BATCH_ARGUMENTS_H_
