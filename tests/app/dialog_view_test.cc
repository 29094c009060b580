// DialogView between a run's thread and the GUI thread: lines keep their
// order, fields keep only their latest text, tasks are carried out on the
// GUI thread, text from files is decoded in its run's encoding, and once
// the window is gone nothing is shown or waited for.

#include <QTest>
#include <atomic>
#include <string>
#include <thread>

#include "app/dialog_view.h"

using karvel::app::DialogView;

namespace {

constexpr int kTimeout = 60000;  // ms; sanitizer builds are slow

// What the GUI thread was shown.
struct Shown {
  explicit Shown(DialogView& view) {
    QObject::connect(&view, &DialogView::lines_arrived,
                     [this](const QStringList& more) { lines += more; });
    QObject::connect(&view, &DialogView::field_changed, [this](int control, const QString& text) {
      fields[control] = text;
      ++field_updates;
    });
  }
  QStringList lines;
  std::map<int, QString> fields;
  int field_updates = 0;
};

}  // namespace

class DialogViewTest : public QObject {
  Q_OBJECT

 private slots:
  void lines_keep_their_order_and_fields_are_coalesced() {
    DialogView view;
    Shown shown(view);
    constexpr int kLines = 3 * static_cast<int>(DialogView::kMaxQueuedLines);
    constexpr int kFieldSets = 100000;
    std::atomic<bool> done{false};
    std::thread run([&] {
      for (int i = 0; i < kFieldSets; ++i) {
        if (i % 5 == 0) view.append_output_line("line " + std::to_string(i / 5) + "\n");
        view.set_field(1039, std::to_string(i));
      }
      done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), kTimeout);
    run.join();
    QTRY_COMPARE_WITH_TIMEOUT(shown.fields[1039], QString::number(kFieldSets - 1), kTimeout);
    // More lines than the queue holds: the run had to wait for the GUI.
    QCOMPARE(shown.lines.size(), kFieldSets / 5);
    QVERIFY(shown.lines.size() > kLines);
    for (int i = 0; i < shown.lines.size(); ++i) {
      QCOMPARE(shown.lines[i], QStringLiteral("line %1").arg(i));
    }
    // Far fewer updates of the field than the run made.
    QVERIFY(shown.field_updates < kFieldSets / 10);
  }

  void tasks_run_on_the_gui_thread_after_earlier_lines_and_text_is_decoded() {
    DialogView view;
    Shown shown(view);
    const std::thread::id gui = std::this_thread::get_id();
    std::thread::id ran_on;
    qsizetype lines_before_task = -1;
    bool carried_out = false;
    std::atomic<bool> done{false};
    std::thread run([&] {
      view.append_output_line("first");
      carried_out = view.call_on_gui([&] {
        ran_on = std::this_thread::get_id();
        lines_before_task = shown.lines.size();
      });
      view.append_output_line("second");
      view.call_on_gui([] {});
      done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), kTimeout);
    run.join();
    QVERIFY(carried_out);
    QVERIFY(ran_on == gui);
    QCOMPARE(lines_before_task, qsizetype{1});
    // A line of the GUI thread's own comes after the run's, both whole; text
    // from files is decoded in its run's encoding.
    view.append_output_line("help");
    view.append_text_line("\x8F\xE0\xA8\n", karvel::TextEncoding::kCp866);
    view.append_text_line("\xD0\x9F\xD1\x80\xD0\xB8", karvel::TextEncoding::kUtf8);
    const QString privet = QString::fromUtf8("\xD0\x9F\xD1\x80\xD0\xB8");
    QCOMPARE(shown.lines, (QStringList{"first", "second", "help", privet, privet}));

    // On the GUI thread itself a task runs at once.
    bool direct = false;
    QVERIFY(view.call_on_gui([&] { direct = true; }));
    QVERIFY(direct);
  }

  void a_closed_view_shows_nothing_and_waits_for_nothing() {
    DialogView view;
    Shown shown(view);
    std::atomic<bool> calling{false};
    bool carried_out = true;
    bool ran = false;
    std::thread run([&] {
      calling = true;
      // The GUI thread does not serve this task before the view closes.
      carried_out = view.call_on_gui([&] { ran = true; });
      for (size_t i = 0; i < 2 * DialogView::kMaxQueuedLines; ++i) view.append_output_line("x");
      view.set_field(1034, "7");
    });
    while (!calling.load()) std::this_thread::yield();
    view.close();
    run.join();
    QVERIFY(!carried_out);
    QCoreApplication::processEvents();
    QVERIFY(!ran);
    QVERIFY(shown.lines.isEmpty());
    QVERIFY(shown.fields.empty());
    QVERIFY(!view.call_on_gui([] {}));
  }
};

QTEST_MAIN(DialogViewTest)
#include "dialog_view_test.moc"
