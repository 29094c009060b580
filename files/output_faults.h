// The system calls of the output files, and the seam through which a test
// makes one of them fail.
//
// Every write, flush to the disk and close of an output file goes through
// here. A test arms a fault: the k-th call of one kind from then on fails
// with the error given, as on a full disk or a failing device (a failed close
// still closes the descriptor, as close(2) does). It also counts the calls of
// a run, so that it can fail each of them in turn.

#ifndef KARVEL_FILES_OUTPUT_FAULTS_H_
#define KARVEL_FILES_OUTPUT_FAULTS_H_

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace karvel {

enum class OutputStep { kWrite, kFlush, kClose };

// Restarts the counts; the k-th call of `step` from now on (k >= 1) fails
// with `error`. With k = 0 nothing fails.
void arm_output_fault(OutputStep step, uint64_t k, int error);

// The calls of `step` since the last arm_output_fault.
uint64_t output_steps(OutputStep step);

ssize_t output_write(int fd, const void* bytes, size_t n);
int output_flush(int fd);  // fdatasync
int output_close(int fd);

}  // namespace karvel

#endif  // KARVEL_FILES_OUTPUT_FAULTS_H_
