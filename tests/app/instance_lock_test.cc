// The instance lock: a second copy waits until the first one ends, and lock
// files that are refused.

#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <string>
#include <thread>

#include "app/instance_lock.h"

using karvel::app::InstanceLock;

class InstanceLockTest : public QObject {
  Q_OBJECT

 private slots:
  // A second lock on the same file, as a second copy of the program takes
  // it, waits until the first is released.
  void second_copy_waits_until_the_first_ends() {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("karvel.lock")).toStdString();
    InstanceLock first, second;
    std::string error;
    QVERIFY(first.acquire(path, &error));
    std::atomic<bool> locked{false};
    std::thread copy([&] { locked = second.acquire(path, &error); });
    QTest::qWait(500);
    QVERIFY(!locked.load());
    first.release();
    copy.join();
    QVERIFY(locked.load() && second.held());
  }

  void symbolic_links_and_folders_are_refused() {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("elsewhere"));
    const QString link = dir.filePath(QStringLiteral("karvel.lock"));
    QVERIFY(QFile::link(target, link));
    InstanceLock lock;
    std::string error;
    QVERIFY(!lock.acquire(link.toStdString(), &error));
    QVERIFY(!error.empty());
    QVERIFY(!QFile::exists(target));
    QVERIFY(!lock.acquire(dir.path().toStdString(), &error));
  }
};

QTEST_GUILESS_MAIN(InstanceLockTest)
#include "instance_lock_test.moc"
