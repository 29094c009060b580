// start_application: the program from its start to its end — the instance
// lock, the dialog on the main thread, the worker, and the orderly shutdown.

#ifndef KARVEL_APP_START_APPLICATION_H_
#define KARVEL_APP_START_APPLICATION_H_

namespace karvel::app {

// Returns the program's exit status.
int start_application(int argc, char** argv);

}  // namespace karvel::app

#endif  // KARVEL_APP_START_APPLICATION_H_
