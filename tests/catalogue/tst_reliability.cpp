// Kills a worker with SIGKILL while it adds 10,000 pictures in one transaction or while it
// repairs and compacts; the catalogue must then open, pass its integrity check and hold all or
// none of the interrupted work.
#include <QCoreApplication>
#include <QProcess>
#include <QtTest>
#include <csignal>
#include <memory>

#include "catalogue/database.h"
#include "catalogue/recordset.h"
#include "catalogue_helpers.h"
#include "support/testenv.h"

using namespace glim::catalogue;
using glim::test::TestEnv;

namespace {

constexpr int kAdded = 10000;

QString worker() {
  return QCoreApplication::applicationDirPath() + QStringLiteral("/catalogue_worker");
}

// Runs the worker until it prints a line starting with `killAt`, then kills it. Returns
// false when the worker ended before printing it (then it ran to its end).
bool runAndKill(const QStringList& args, const QString& killAt) {
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process.start(worker(), args);
  if (!process.waitForStarted(-1)) return false;
  bool killed = false;
  while (!killed) {
    if (!process.canReadLine() && !process.waitForReadyRead(-1)) break;
    while (process.canReadLine()) {
      if (QString::fromUtf8(process.readLine()).startsWith(killAt)) {
        ::kill(pid_t(process.processId()), SIGKILL);
        killed = true;
        break;
      }
    }
  }
  process.waitForFinished(-1);
  return killed && process.exitStatus() == QProcess::CrashExit;
}

int rowCount(const QString& catalogue) {
  return Database::open(catalogue).scalar(QStringLiteral("SELECT count(*) FROM tbl1")).toInt();
}

}  // namespace

class TestReliability : public QObject {
  Q_OBJECT

 private slots:
  void killWhileAdding_data();
  void killWhileAdding();
  void killWhileCompacting_data();
  void killWhileCompacting();
};

void TestReliability::killWhileAdding_data() {
  QTest::addColumn<QString>("killAt");
  QTest::addColumn<int>("expected");
  QTest::newRow("at the start") << "added 1000" << 0;
  QTest::newRow("midway") << "added 5000" << 0;
  QTest::newRow("at the end") << "added 10000" << 0;
  QTest::newRow("after the commit") << "committed" << kAdded;
}

void TestReliability::killWhileAdding() {
  QFETCH(QString, killAt);
  QFETCH(int, expected);
  TestEnv env;
  const bool killed =
      runAndKill({QStringLiteral("add"), env.catalogue(), QString::number(kAdded)}, killAt);
  // After the commit the worker may have ended by itself; before it, it must have been killed.
  if (expected == 0) QVERIFY(killed);
  QString why;
  QVERIFY2(passesIntegrityCheck(env.catalogue(), &why), qPrintable(why));
  Database db = Database::open(env.catalogue());
  QVERIFY2(db.isOpen(), qPrintable(db.lastError()));
  QCOMPARE(rowCount(env.catalogue()), expected);
  QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM SetupNew")).toInt(), 64);
}

void TestReliability::killWhileCompacting_data() {
  QTest::addColumn<QString>("killAt");
  QTest::newRow("before the copy") << "step 0";
  QTest::newRow("after the copy") << "step 1";
  QTest::newRow("after the reindex") << "step 2";
  QTest::newRow("after the compaction") << "step 3";
}

void TestReliability::killWhileCompacting() {
  QFETCH(QString, killAt);
  TestEnv env;
  {
    Database db = Database::open(env.catalogue());
    std::unique_ptr<Recordset> rs = db.openRecordset(QStringLiteral("tbl1"));
    QVERIFY(db.beginTransaction());
    for (int i = 0; i < 20000; ++i)
      QVERIFY(glim::test::addPictureRow(*rs, QStringLiteral("/p/%1.jpg").arg(i)));
    QVERIFY(db.commit());
    QVERIFY(db.execute(QStringLiteral("DELETE * FROM tbl1 WHERE Pathname LIKE '/p/1%';")));
  }
  const QStringList before = glim::test::tbl1Rows(env.catalogue());
  const bool killed =
      runAndKill({QStringLiteral("compact"), env.programFolder(), env.catalogue()}, killAt);
  if (killAt != QLatin1String("step 3")) QVERIFY(killed);
  QString why;
  QVERIFY2(passesIntegrityCheck(env.catalogue(), &why), qPrintable(why));
  QCOMPARE(glim::test::tbl1Rows(env.catalogue()), before);
  // The next repair after the crash runs through.
  QProcess again;
  again.start(worker(), {QStringLiteral("compact"), env.programFolder(), env.catalogue()});
  QVERIFY(again.waitForFinished(-1));
  QCOMPARE(again.exitCode(), 0);
  QCOMPARE(glim::test::tbl1Rows(env.catalogue()), before);
}

QTEST_GUILESS_MAIN(TestReliability)
#include "tst_reliability.moc"
