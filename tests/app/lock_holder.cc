// lock_holder: takes the program's instance lock on the file named by its
// argument, as a second copy of the program does, and holds it until its
// standard input ends. Prints "waiting" before it asks for the lock and
// "locked" once it holds it.

#include <cstdio>
#include <string>

#include "app/instance_lock.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: lock_holder <lock file>\n");
    return 2;
  }
  std::printf("waiting\n");
  std::fflush(stdout);
  karvel::app::InstanceLock lock;
  std::string error;
  if (!lock.acquire(argv[1], &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::printf("locked\n");
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  return 0;
}
