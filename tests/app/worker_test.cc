// The worker thread with the dialog: a Start performs one run whose lines
// and fields reach the dialog, the controls are disabled during the run and
// enabled after it, a double Start gives one run, Exit before the run is
// taken up gives none, a numbered series ends at its first failed run, and
// Stop ends a run before the controls come back.

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "app/dialog_layout.h"
#include "app/main_dialog.h"
#include "app/worker.h"
#include "conservation.h"
#include "dialog_support.h"
#include "engine/run_context.h"

using karvel::RunContext;
using namespace karvel::app;
using namespace karvel::app_testing;
using namespace std::chrono_literals;

namespace {

constexpr int kRunTimeout = 60000;  // ms; sanitizer builds are slow
constexpr auto kFastPolls = 50ms;

// Which of the run-locked controls, then Help and Stop, are enabled: '1' or '0'.
QString enabled_controls(MainDialog& dialog) {
  QString states;
  for (int id : kRunLocked) states += dialog.control(id)->isEnabled() ? '1' : '0';
  for (int id : {kHelpButton, kStopButton}) states += dialog.control(id)->isEnabled() ? '1' : '0';
  return states;
}

// Records each switch of the controls, with enabled_controls at the time.
struct ControlStates {
  explicit ControlStates(MainDialog& dialog) {
    QObject::connect(&dialog, &MainDialog::running_changed, [this, &dialog](bool running) {
      switches.push_back(running);
      states.push_back(enabled_controls(dialog));
    });
  }
  // A run has begun and the controls have come back.
  bool run_over() const { return switches.size() >= 2 && !switches.back(); }

  std::vector<bool> switches;
  QStringList states;
};

}  // namespace

class WorkerTest : public QObject {
  Q_OBJECT

 private slots:
  void start_performs_one_run_and_fills_the_dialog() {
    RunFolder folder;
    RunContext context;
    MainDialog dialog(context);
    dialog.show();
    ControlStates controls(dialog);
    // Help while the run is starting: its lines join the list, not the
    // protocol.
    QObject::connect(&dialog, &MainDialog::running_changed, [&dialog](bool running) {
      if (running) dialog.show_help_text();
    });
    // Start pressed twice before the worker takes it up gives one run.
    Worker worker(dialog, kFastPolls);
    button_of(dialog, kStartButton)->click();
    button_of(dialog, kStartButton)->click();
    QTRY_VERIFY_WITH_TIMEOUT(controls.run_over(), kRunTimeout);
    const uint64_t polls = worker.polls();
    QTRY_VERIFY_WITH_TIMEOUT(worker.polls() >= polls + 3, kRunTimeout);

    QCOMPARE(controls.switches, (std::vector<bool>{true, false}));
    QCOMPARE(output_lines(dialog).count(QStringLiteral("Set parameters:")), 1);
    QCOMPARE(controls.states[0], QString(20, '0') + "10");  // Help enabled, Stop not yet
    QCOMPARE(enabled_controls(dialog), QString(20, '1') + "10");
    QVERIFY(!dialog.start_requested());

    const QStringList lines = output_lines(dialog);
    QVERIFY(lines.contains(QStringLiteral("1 blocks saved in the rest file")));
    QCOMPARE(lines.count(QStringLiteral("See karvel.txt file for more information")), 1);
    QCOMPARE(dialog.output_list()->currentRow(), lines.size() - 1);
    QCOMPARE(text_of(dialog, kThemesTotalField), QStringLiteral("2"));
    QCOMPARE(text_of(dialog, kThemeCurrent), QStringLiteral("1"));
    QVERIFY(text_of(dialog, kSimilarField).toInt() > 0);

    QCOMPARE(folder.read("#rst"), QByteArray("pear tart\nwith cream\n\nsomething else\n\n"));
    const QByteArray protocol = folder.read("#log");
    QVERIFY(protocol.contains("Set parameters:") && !protocol.contains("Contact authors"));
  }

  void exit_before_the_request_is_taken_up_performs_no_run() {
    RunFolder folder;
    RunContext context;
    MainDialog dialog(context);
    dialog.show();
    Worker worker(dialog);
    button_of(dialog, kStartButton)->click();
    button_of(dialog, kExitButton)->click();
    QVERIFY(!dialog.isVisible());
    worker.end_and_wait();
    QVERIFY(!folder.exists("#log") && !folder.exists("#rst"));
    QCOMPARE(dialog.output_list()->count(), 0);
  }

  void numbered_series_ends_at_its_first_failed_run() {
    RunFolder folder;
    for (const char* n : {".003", ".004"}) {
      folder.write(QStringLiteral("#src") + n, kSourceText);
      folder.write(QStringLiteral("#kwd") + n, kKeywordsText);
    }
    RunContext context;
    MainDialog dialog(context);
    dialog.show();
    edit_of(dialog, kAutoNumber)->setText(QStringLiteral("3"));
    dialog.auto_names_command();
    // The Auto box stays disabled for the user; the series is still there.
    button_of(dialog, kAutoBox)->setChecked(true);
    QVERIFY(dialog.auto_names());
    ControlStates controls(dialog);
    Worker worker(dialog, kFastPolls);
    button_of(dialog, kStartButton)->click();
    QTRY_VERIFY_WITH_TIMEOUT(controls.run_over(), kRunTimeout);

    // Runs .003 and .004 complete, .005 has no source: three runs.
    QCOMPARE(dialog.auto_number(), 6u);
    for (const char* log : {"#log.003", "#log.004"})
      QVERIFY(folder.read(log).contains("Set parameters:"));
    QVERIFY(folder.read("#log.005").contains("Error: "));
    QVERIFY(!folder.exists("#log.006"));
    QCOMPARE(output_lines(dialog).count(QStringLiteral("Set parameters:")), 2);
    QCOMPARE(text_of(dialog, kSourceFile), QStringLiteral("#src.005"));
  }

  // Stop at a random moment of a run: the run stops, keeping whole blocks
  // and its protocol up to some line, and the controls come back only once
  // it has ended, with nothing written after that.
  void stop_ends_the_run_before_the_controls_come_back() {
    RunFolder folder;
    QByteArray source;
    const char* const kinds[] = {"apple pie recipe %d\nwith sugar\n\n",
                                 "pear tart\nwith cream %d\n\n", "something else %d\n\n"};
    for (int b = 0; b < 40000; ++b) {
      char block[64];
      std::snprintf(block, sizeof block, kinds[b % 3], b % 1000);
      source += block;
    }
    folder.write(QStringLiteral("#src"), source);
    RunContext context;
    MainDialog dialog(context);
    dialog.show();
    ControlStates controls(dialog);
    Worker worker(dialog, kFastPolls);
    QElapsedTimer timer;
    timer.start();
    button_of(dialog, kStartButton)->click();
    QTRY_VERIFY_WITH_TIMEOUT(controls.run_over(), kRunTimeout);
    const int took = static_cast<int>(timer.elapsed());
    QList<QByteArray> protocol = folder.read("#log").split('\n');
    protocol.resize(protocol.size() - 2);  // the elapsed-time line and the end
    const char* const files[] = {"#dst", "#dbl", "#rst", "#log"};
    for (const char* name : files) QFile::remove(folder.path(name));

    QByteArray at_idle[4];
    bool exit_held = true;  // also when the run ends before the stop comes
    QObject::connect(&dialog, &MainDialog::running_changed, [&](bool running) {
      if (running) {
        QTimer::singleShot(QRandomGenerator::global()->bounded(took / 2 + 1), &dialog, [&] {
          dialog.stop_command();
          exit_held = controls.switches.size() == 4 || !dialog.control(kExitButton)->isEnabled();
        });
        return;
      }
      for (int f = 0; f < 4; ++f) at_idle[f] = folder.read(files[f]);
    });
    button_of(dialog, kStartButton)->click();
    QTRY_VERIFY_WITH_TIMEOUT(controls.switches.size() == 4 && !controls.switches.back(),
                             kRunTimeout);
    worker.end_and_wait();
    QVERIFY(exit_held);
    for (int f = 0; f < 4; ++f) QCOMPARE(folder.read(files[f]), at_idle[f]);
    QCOMPARE(folder.read("#src"), source);
    const auto whole = karvel::hardening::check_conservation(
        source.toStdString(), at_idle[0].toStdString(), at_idle[1].toStdString(),
        at_idle[2].toStdString(), /*complete=*/false);
    QVERIFY2(whole.ok(), whole.describe().c_str());
    QList<QByteArray> lines = at_idle[3].split('\n');
    QCOMPARE(lines.back(), QByteArray());  // the last line is whole
    lines.removeLast();
    // A stop after the last stage leaves the run complete.
    if (!lines.isEmpty() && lines.back().startsWith("The program worked")) lines.removeLast();
    QVERIFY(lines.size() <= protocol.size());
    QVERIFY(std::equal(lines.begin(), lines.end(), protocol.begin()));
  }
};

QTEST_MAIN(WorkerTest)
#include "worker_test.moc"
