// InstanceLock: the process-wide lock that lets one copy of the program run
// at a time for a user. A second copy waits in acquire(), showing nothing,
// until the first one ends.
//
// The lock is an flock on a lock file in the user's runtime directory
// ($XDG_RUNTIME_DIR/karvel.lock), or /tmp/karvel-<uid>.lock without one. The
// lock ends with the process, however it ends.

#ifndef KARVEL_APP_INSTANCE_LOCK_H_
#define KARVEL_APP_INSTANCE_LOCK_H_

#include <string>

namespace karvel::app {

class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // The lock file of this user.
  static std::string default_path();

  // Waits until this process holds the lock on `path`. Returns false, with
  // the reason in *error, when the lock file cannot be used: it cannot be
  // created or opened, or it is not a regular file of this user.
  bool acquire(const std::string& path, std::string* error);

  bool held() const { return fd_ >= 0; }
  void release();

 private:
  int fd_ = -1;
};

}  // namespace karvel::app

#endif  // KARVEL_APP_INSTANCE_LOCK_H_
