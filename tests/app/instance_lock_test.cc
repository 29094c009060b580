// The instance lock: a second copy waits until the first one ends (two
// processes), and lock files that are refused.

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <string>

#include "app/instance_lock.h"

using karvel::app::InstanceLock;

namespace {

constexpr int kTimeout = 30000;  // ms

bool wait_for_output(QProcess& process, const QByteArray& text) {
  QByteArray seen;
  while (!seen.contains(text)) {
    if (!process.waitForReadyRead(kTimeout)) return false;
    seen += process.readAllStandardOutput();
  }
  return true;
}

}  // namespace

class InstanceLockTest : public QObject {
  Q_OBJECT

 private slots:
  void second_copy_waits_until_the_first_ends() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("karvel.lock"));
    QProcess first;
    first.start(QStringLiteral(KARVEL_LOCK_HOLDER), {path});
    QVERIFY(wait_for_output(first, "locked"));

    QProcess second;
    second.start(QStringLiteral(KARVEL_LOCK_HOLDER), {path});
    QVERIFY(wait_for_output(second, "waiting"));
    // The second copy must still be waiting a while later.
    QVERIFY(!second.waitForReadyRead(500));
    QCOMPARE(second.state(), QProcess::Running);

    first.closeWriteChannel();
    QVERIFY(first.waitForFinished(kTimeout));
    QVERIFY(wait_for_output(second, "locked"));
    second.closeWriteChannel();
    QVERIFY(second.waitForFinished(kTimeout));
    QCOMPARE(second.exitCode(), 0);
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
