// The main dialog on the GUI thread: its first display, window menu, tab
// order, keys and About box, the check boxes and fields reaching a run,
// numbered names, the Help text and browsing for a file. Runs here are
// performed on the GUI thread through start_runs; the worker's part is in
// worker_test.

#include <QAbstractButton>
#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>

#include "app/dialog_layout.h"
#include "app/main_dialog.h"
#include "dialog_support.h"
#include "engine/run_context.h"

using karvel::RunContext;
using karvel::app::MainDialog;
using namespace karvel::app;
using namespace karvel::app_testing;

namespace {

// Calls `act` with the modal dialog that the next exec() shows, again on
// the following ticks for as long as that dialog stays open.
void with_next_modal(std::function<void(QWidget*)> act) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, act] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;
    act(modal);
    if (!modal->isVisible()) {
      poll->stop();
      poll->deleteLater();
    }
  });
  poll->start(20);
}

}  // namespace

class DialogTest : public QObject {
  Q_OBJECT

 private slots:
  // The first display: the idle controls, the window menu and the keys.
  void first_display_menu_and_keys() {
    RunContext context;
    MainDialog dialog(context);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Karvel"));
    for (int id : kRunLocked)
      QVERIFY2(dialog.control(id)->isEnabled(), qPrintable(QString::number(id)));
    QVERIFY(dialog.control(kHelpButton)->isEnabled());
    for (int id : {kStopButton, kAutoNamesButton, kAutoNumber, kAutoBox}) {
      QVERIFY2(!dialog.control(id)->isEnabled(), qPrintable(QString::number(id)));
    }
    QCOMPARE(dialog.output_list()->count(), 0);

    // The window menu ends with the text encoding of later runs (Automatic
    // until chosen), a separator, the unchecked search of themes of any
    // size, which lifts the limit of later runs while it is checked, and
    // About.
    const QList<QAction*> actions = dialog.system_menu()->actions();
    QVERIFY(actions.size() >= 4);
    QVERIFY(actions[actions.size() - 3]->isSeparator());
    QAction* any_size = actions[actions.size() - 2];
    QCOMPARE(any_size->text(), QStringLiteral("&Search themes of any size for similar blocks"));
    QVERIFY(any_size->isCheckable() && !any_size->isChecked());
    for (unsigned limit : {500u, 0u, 500u}) {
      QCOMPARE(context.similar_limit(), limit);
      any_size->trigger();
    }
    QCOMPARE(actions.last()->text(), QStringLiteral("&About Karvel..."));
    QCOMPARE(actions.last()->data().toInt(), 16);
    const QList<QAction*> encodings = actions[actions.size() - 4]->menu()->actions();
    QCOMPARE(encodings.size(), qsizetype{3});
    QVERIFY(encodings[0]->isChecked());
    encodings[1]->trigger();
    QVERIFY(encodings[1]->isChecked() && !encodings[0]->isChecked());
    QVERIFY(dialog.encoding_choice() == karvel::EncodingChoice::kUtf8);

    // Tab from Start: Stop is disabled, so Exit leads to the switches.
    QCOMPARE(QApplication::focusWidget(), dialog.control(kStartButton));
    for (int id : {kExitButton, kRstEqDstBox, kSortBlocksBox, kCheckSimilarityBox, kDebugInfoBox,
                   kLenRate, kSimRate, kSourceFile, kBrowseSource}) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), dialog.control(id));
    }
    // Escape, closing and the close command keep the dialog open and change
    // nothing; Enter asks for a run and Exit closes.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.close());
    dialog.system_command(0xF060);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.output_list()->count(), 0);
    QVERIFY(!dialog.start_requested() && !button_of(dialog, kStopButton)->isEnabled());
    dialog.control(kStartButton)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(dialog.start_requested());

    // The window menu's commands 16 to 31 open the About box.
    QString caption, version, second;
    with_next_modal([&](QWidget* modal) {
      caption = modal->windowTitle();
      version = modal->findChild<QLabel*>(QStringLiteral("about_version"))->text();
      second = modal->findChild<QLabel*>(QStringLiteral("about_second_line"))->text();
      modal->findChild<QPushButton*>(QStringLiteral("about_ok"))->click();
    });
    dialog.system_command(31);
    QCOMPARE(caption, QStringLiteral("About Karvel"));
    QCOMPARE(version, QStringLiteral("Karvel Version 4.0"));
    QVERIFY(!second.isEmpty());
    button_of(dialog, kExitButton)->click();
    QVERIFY(!dialog.isVisible());
  }

  void numbered_names_and_the_help_text() {
    RunContext context;
    MainDialog dialog(context);
    dialog.make_auto_names(7);
    const int ids[] = {kSourceFile, kDestFile, kKeywordsFile, kLogFile, kDoublesFile, kRestFile};
    const char* const names[] = {"#src.007", "#dst.007", "#kwd.007",
                                 "#log.007", "#dbl.007", "#rst.007"};
    for (int i = 0; i < 6; ++i) QCOMPARE(text_of(dialog, ids[i]), QString::fromLatin1(names[i]));
    dialog.make_auto_names(1000);
    QCOMPARE(text_of(dialog, kRestFile), QStringLiteral("#rst.1000"));

    // The AutoNames command takes its number from field 1043; a text that
    // is not a number counts as 0.
    edit_of(dialog, kAutoNumber)->setText(QStringLiteral("12"));
    dialog.auto_names_command();
    QCOMPARE(dialog.auto_number(), 12u);
    QCOMPARE(text_of(dialog, kLogFile), QStringLiteral("#log.012"));
    edit_of(dialog, kAutoNumber)->setText(QString());
    dialog.auto_names_command();
    QCOMPARE(dialog.auto_number(), 0u);
    QCOMPARE(text_of(dialog, kDoublesFile), QStringLiteral("#dbl.000"));

    // Help goes to the list, whose newest line is shown.
    dialog.output_list()->clear();
    button_of(dialog, kHelpButton)->click();
    const QStringList lines = output_lines(dialog);
    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines.first(), QString(52, QLatin1Char('=')));
    QVERIFY(lines[1].startsWith(QStringLiteral("Karvel ver. 5.0")));
    QCOMPARE(lines[2], QStringLiteral("Contact authors in case of problems when using it."));
    QCOMPARE(lines.last(), QStringLiteral("See karvel.txt file for more information"));
    QCOMPARE(dialog.output_list()->currentRow(), 5);
    button_of(dialog, kHelpButton)->click();
    QCOMPARE(dialog.output_list()->count(), 12);
    QCOMPARE(dialog.output_list()->currentRow(), 11);
  }

  // Each check box and field reaches the run as set or typed.
  void check_boxes_names_and_rates_reach_the_run() {
    RunFolder folder;
    RunContext context;
    MainDialog dialog(context);
    // As the worker does after each start_runs.
    auto run = [&dialog] {
      const int result = dialog.start_runs();
      dialog.set_controls_running(false);
      return result;
    };
    // Rst=Dst off: the themed blocks go to the destination file, whose long
    // name is taken whole.
    const QString dst = QString(120, QLatin1Char('d')) + QStringLiteral(".out");
    edit_of(dialog, kDestFile)->setText(dst);
    button_of(dialog, kRstEqDstBox)->click();
    QVERIFY(!button_of(dialog, kRstEqDstBox)->isChecked());
    QCOMPARE(run(), 0);
    QCOMPARE(folder.read(dst), QByteArray("pear tart\nwith cream\n\n"));
    QCOMPARE(folder.read("#rst"), QByteArray("something else\n\n"));
    QVERIFY(!folder.exists(dst.left(79)));

    // Sort Blocks off too: nothing more reaches the destination file.
    button_of(dialog, kSortBlocksBox)->click();
    QCOMPARE(run(), 0);
    QCOMPARE(folder.read(dst), QByteArray("pear tart\nwith cream\n\n"));

    // Check Similarity off: the doubles file receives nothing further.
    const QByteArray doubles = folder.read("#dbl");
    QVERIFY(!doubles.isEmpty());
    button_of(dialog, kCheckSimilarityBox)->click();
    QCOMPARE(run(), 0);
    QCOMPARE(folder.read("#dbl"), doubles);

    // Debug Info on: the final report joins the protocol.
    const QByteArray quiet_log = folder.read("#log");
    button_of(dialog, kDebugInfoBox)->click();
    QCOMPARE(run(), 0);
    QVERIFY(folder.read("#log").size() > quiet_log.size());

    // An empty rate passes 0 and the run is refused.
    edit_of(dialog, kSimRate)->clear();
    dialog.output_list()->clear();
    QCOMPARE(dialog.start_runs(), -1);
    const QStringList lines = output_lines(dialog);
    QVERIFY(lines.contains(QStringLiteral("Karvel - the program for sorting big files by themes")));
    QVERIFY(!lines.contains(QStringLiteral("Set parameters:")));
  }

  void browse_fills_the_field_and_a_cancelled_browse_changes_nothing() {
    RunFolder folder;
    RunContext context;
    MainDialog dialog(context);
    dialog.show();
    const QString chosen = folder.path(QStringLiteral("doubles.txt"));
    with_next_modal([&folder](QWidget* modal) {
      auto* chooser = qobject_cast<QFileDialog*>(modal);
      QVERIFY(chooser != nullptr);
      // Typed into the name field, as a user would; the folder's listing,
      // which arrives later, may clear a selection made any other way.
      chooser->setDirectory(folder.path(QString()));
      auto* name = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      QVERIFY(name != nullptr);
      name->setText(QStringLiteral("doubles.txt"));
      QMetaObject::invokeMethod(chooser, "accept");
    });
    button_of(dialog, kBrowseDoubles)->click();
    QCOMPARE(text_of(dialog, kDoublesFile), chosen);

    with_next_modal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    button_of(dialog, kBrowseSource)->click();
    QCOMPARE(text_of(dialog, kSourceFile), QStringLiteral("#src"));

    // The chosen file is the doubles file of the next run.
    QCOMPARE(dialog.start_runs(), 0);
    QVERIFY(folder.read(QStringLiteral("doubles.txt")).startsWith("apple pie recipe\n"));
    QVERIFY(!folder.exists(QStringLiteral("#dbl")));
  }
};

QTEST_MAIN(DialogTest)
#include "dialog_test.moc"
