// dialog_snapshot: shows the main dialog with its default values and saves
// a picture of it to the file named by its argument (docs/karvel.png is made
// with it under xvfb-run).

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "app/main_dialog.h"
#include "engine/run_context.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: dialog_snapshot <picture.png> [help]\n");
    return 2;
  }
  QApplication application(argc, argv);
  karvel::RunContext context;
  karvel::app::MainDialog dialog(context);
  dialog.show();
  if (argc > 2) dialog.show_help_text();
  const QString path = QString::fromLocal8Bit(argv[1]);
  bool saved = false;
  QTimer::singleShot(1500, [&] {
    const QRect frame = dialog.frameGeometry();
    QPixmap picture =
        dialog.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (picture.isNull() || frame.width() <= 0) picture = dialog.grab();
    saved = picture.save(path);
    dialog.exit_command();
  });
  dialog.exec();
  return saved ? 0 : 1;
}
