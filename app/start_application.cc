// start_application: start-up and shutdown on the main thread.

#include "app/start_application.h"

#include <QApplication>
#include <csignal>
#include <cstdio>
#include <string>

#include "app/instance_lock.h"
#include "app/main_dialog.h"
#include "app/worker.h"
#include "engine/run_context.h"

namespace karvel::app {

int start_application(int argc, char** argv) {
  // A file-size limit makes a write fail (EFBIG), which the run reports.
  std::signal(SIGXFSZ, SIG_IGN);
  // A second copy waits here, before it shows anything, until the first ends.
  InstanceLock lock;
  std::string error;
  if (!lock.acquire(InstanceLock::default_path(), &error)) {
    std::fprintf(stderr, "karvel: cannot take the lock file %s\n", error.c_str());
    return 1;
  }

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("karvel"));
  QApplication::setWindowIcon(application_icon());
  // Lets the desktop match the window with the installed karvel.desktop.
  QGuiApplication::setDesktopFileName(QStringLiteral("karvel"));

  RunContext context;
  MainDialog dialog(context);
  {
    Worker worker(dialog);
    dialog.exec();
    // Exit has closed the view already; whatever ended the dialog, a run
    // still going on must write nowhere from now on.
    dialog.view().close();
    worker.end_and_wait();
  }
  return 0;
}

}  // namespace karvel::app
