// Open file description locks on the files of a run.

#include "engine/file_locks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace karvel {

Status FileLocks::lock(const char* title, const std::string& name, bool exclusive) {
  // Looked at before it is opened: opening and closing a FIFO would end
  // its reader's input.
  struct stat st;
  if (stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return Status::OK();
  int fd =
      open(name.c_str(), (exclusive ? O_WRONLY : O_RDONLY) | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return Status::OK();
  bool skip = fstat(fd, &st) != 0 || !S_ISREG(st.st_mode);
  for (const Held& held : held_) {
    skip = skip || (held.device == st.st_dev && held.inode == st.st_ino);
  }
  if (skip) {
    close(fd);
    return Status::OK();
  }
  struct flock range = {};
  range.l_type = exclusive ? F_WRLCK : F_RDLCK;
  range.l_whence = SEEK_SET;  // from the start to whatever end the file has
  if (fcntl(fd, F_OFD_SETLK, &range) != 0) {
    int error = errno;
    close(fd);
    // A filesystem without such locks runs unlocked, as it always did.
    if (error != EAGAIN && error != EACCES) return Status::OK();
    return Status::Error(
        format_text("%s file %s is being used by another run", title, name.c_str()));
  }
  held_.push_back({fd, st.st_dev, st.st_ino});
  return Status::OK();
}

void FileLocks::release() {
  for (const Held& held : held_) close(held.fd);
  held_.clear();
}

}  // namespace karvel
