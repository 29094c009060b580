// The six files of a run: protocol, source, destination, doubles, rest and
// keywords, opened in this order.
//
// Before anything is opened or created, a file set is refused that another
// run is using (see file_locks.h) or that would let the run damage its own
// inputs: an output (protocol, destination, doubles, rest) that is the
// source or the keywords file, or a protocol that is one of the outputs.
// Destination, doubles and rest files that name one file share one stream, so
// their blocks land in the order in which the run writes them.
//
// Each output's size is recorded when it is opened, and the file stays open
// until release() even after its stream is closed, so that a run that fails
// at any step, its last close included, can cut its outputs back.

#ifndef KARVEL_ENGINE_RUN_FILES_H_
#define KARVEL_ENGINE_RUN_FILES_H_

#include <sys/types.h>

#include <memory>
#include <string>

#include "engine/file_locks.h"
#include "files/output_file.h"
#include "files/source_file.h"
#include "files/status.h"

namespace karvel {

struct RunFileNames {
  std::string src;  // source, read only
  std::string dst;  // destination, appended to
  std::string dbl;  // doubles, appended to
  std::string rst;  // rest, appended to
  std::string kwd;  // keywords, read only
  std::string log;  // protocol, created anew
};

class RunFiles {
 public:
  RunFiles() = default;
  ~RunFiles();
  RunFiles(const RunFiles&) = delete;
  RunFiles& operator=(const RunFiles&) = delete;

  // Opens the six files in their order. The first failure is returned; the
  // files opened before it stay open until close_run_files.
  Status open_run_files(const RunFileNames& names);

  // Closes the source, destination, doubles, rest and keywords files, in
  // this order. Returns the first output that failed, now or before.
  Status close_inputs_and_outputs();

  // Closes the protocol, which is closed last. Returns its failure, now or
  // before, if any.
  Status close_protocol();

  // Closes the keywords file early (the loader read it to its end).
  void close_keywords();

  // The first output (protocol included) whose writes failed, as an error
  // naming it; ok if none.
  Status check_outputs() const;

  // Writes out what the destination, doubles and rest files buffer and
  // flushes them to the disk; returns the first failure of an output, the
  // protocol included.
  Status sync_outputs();

  // Cuts the destination, doubles and rest files back to their sizes when
  // they were opened, dropping what is still buffered. *added tells whether
  // the run had added anything to one of them.
  Status restore_outputs(bool* added);

  // Closes what is still open (after the closes above, the outputs as
  // opened); nothing can be restored after it.
  void release();

  SourceFile& source() { return source_; }
  int keywords_fd() const { return kwd_fd_; }
  OutputFile* protocol() { return log_.is_open() ? &log_ : nullptr; }
  OutputFile& destination() { return *stream_[0]; }
  OutputFile& doubles() { return *stream_[1]; }
  OutputFile& rest() { return *stream_[2]; }

 private:
  Status open_protocol(const std::string& name);
  Status open_output(int which, const std::string& name);

  // An output as the run opened it: the file description its stream writes
  // through a duplicate of, and its size then.
  struct Held {
    int fd = -1;
    bool regular = false;
    off_t size = 0;
  };

  FileLocks locks_;    // held from the opening of the files to release()
  OutputFile log_;     // protocol
  SourceFile source_;  // source; fd -1 when closed
  int kwd_fd_ = -1;    // keywords
  // Destination, doubles and rest, in this order. A role that names the file
  // of an earlier role has no stream of its own and writes to that one.
  std::unique_ptr<OutputFile> own_[3];  // streams opened for each role
  OutputFile* stream_[3] = {};          // the stream each role writes to
  std::string names_[3];                // names of the three roles
  Held held_[3];                        // by role, for the roles with a stream of their own
};

}  // namespace karvel

#endif  // KARVEL_ENGINE_RUN_FILES_H_
