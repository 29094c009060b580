// InstanceLock: the lock file and its flock.

#include "app/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace karvel::app {

InstanceLock::~InstanceLock() { release(); }

std::string InstanceLock::default_path() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat info;
  if (runtime != nullptr && runtime[0] == '/' && stat(runtime, &info) == 0 &&
      S_ISDIR(info.st_mode)) {
    return std::string(runtime) + "/karvel.lock";
  }
  return "/tmp/karvel-" + std::to_string(static_cast<unsigned long>(geteuid())) + ".lock";
}

bool InstanceLock::acquire(const std::string& path, std::string* error) {
  release();
  // No symbolic links: in a shared folder another user could plant one.
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    if (error != nullptr) *error = path + ": " + std::strerror(errno);
    return false;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
    if (error != nullptr) *error = path + ": not a lock file of this user";
    ::close(fd);
    return false;
  }
  int locked;
  do {
    locked = flock(fd, LOCK_EX);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    if (error != nullptr) *error = path + ": " + std::strerror(errno);
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void InstanceLock::release() {
  if (fd_ < 0) return;
  flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

}  // namespace karvel::app
