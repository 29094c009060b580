// The program clock, started once when the program starts and read by the
// dialog's seconds counter and the protocol's last line.

#ifndef KARVEL_RECORDS_RUN_CLOCK_H_
#define KARVEL_RECORDS_RUN_CLOCK_H_

#include <cstdint>

namespace karvel {

// The program clock: seconds since mark_start_time, truncated.
void mark_start_time();
uint32_t elapsed_seconds();

}  // namespace karvel

#endif  // KARVEL_RECORDS_RUN_CLOCK_H_
