// The text of karvel-batch --help: every word of the command line with its
// default, the exit statuses and where the manual is.

#ifndef KARVEL_BATCH_BATCH_HELP_H_
#define KARVEL_BATCH_BATCH_HELP_H_

#include <cstdio>

namespace karvel {

// Writes the help text to out. The defaults shown are those of a
// default-constructed BatchArguments.
void print_batch_help(FILE* out);

}  // namespace karvel

#endif  // KARVEL_BATCH_BATCH_HELP_H_
