// The locks that keep two runs apart: a run reads its source and keywords
// files under a shared lock and writes its destination, doubles, rest and
// protocol files under an exclusive one, so that no two runs write one file
// and no run reads a file that another run is writing.
//
// The locks are open file description locks (fcntl F_OFD_SETLK): they belong
// to the open file, not to the process, so that two runs in one process (the
// tests) or on threads keep apart as two processes do, and a file reached
// through several names or links is one file. Only regular files are locked:
// two runs may well both write to /dev/null.

#ifndef KARVEL_ENGINE_FILE_LOCKS_H_
#define KARVEL_ENGINE_FILE_LOCKS_H_

#include <sys/types.h>

#include <string>
#include <vector>

#include "files/status.h"

namespace karvel {

class FileLocks {
 public:
  FileLocks() = default;
  ~FileLocks() { release(); }
  FileLocks(const FileLocks&) = delete;
  FileLocks& operator=(const FileLocks&) = delete;

  // Locks the file `name`, shared or exclusive, when it exists and is a
  // regular file that these locks do not hold yet. Fails with "<title> file
  // <name> is being used by another run" when another run holds it in a
  // conflicting way. A file that cannot be opened is left to the opening of
  // the run's files, which reports it.
  Status lock(const char* title, const std::string& name, bool exclusive);

  // Gives up every lock.
  void release();

 private:
  struct Held {
    int fd;
    dev_t device;
    ino_t inode;
  };
  std::vector<Held> held_;
};

}  // namespace karvel

#endif  // KARVEL_ENGINE_FILE_LOCKS_H_
