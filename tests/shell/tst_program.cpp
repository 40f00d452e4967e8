// Starts the real program offscreen in its own program and settings folders and checks what
// its first run leaves behind once the main window has shown.
#include <QtTest>

#include "base/keys.h"
#include "base/settings.h"
#include "shell/association.h"
#include "shellfixture.h"
#include "support/testenv.h"

using namespace glim;

namespace {

struct Run {
  int exitCode = -1;
  QByteArray errors;
};

// Runs the program to its end: with GLIMMORA_QUIT_WHEN_SHOWN it quits once its main window
// has been shown.
// Without a display nothing names a platform: neither QT_QPA_PLATFORM nor a display server.
Run runProgram(const QString& program, const QStringList& arguments = {}, bool withDisplay = true) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  if (withDisplay) {
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  } else {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
      env.remove(QString::fromLatin1(name));
  }
  env.insert(QStringLiteral("GLIMMORA_QUIT_WHEN_SHOWN"), QStringLiteral("1"));
  process.setProcessEnvironment(env);
  process.start(program, arguments);
  if (!process.waitForStarted(-1)) return {};
  process.waitForFinished(-1);
  Run run;
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
  run.errors = process.readAllStandardError();
  return run;
}

}  // namespace

class tst_Program : public QObject {
  Q_OBJECT
 private slots:
  void firstRunOfTheRealProgram();
  void secondCopyIsRefused();
  void windowlessCommandNeedsNoDisplay();
};

void tst_Program::firstRunOfTheRealProgram() {
  test::TestEnv env;
  const QString program = env.installProgram();
  QVERIFY(QFileInfo(program).isExecutable());
  QCOMPARE(test::tbl1Count(env.catalogue()), 0);

  const Run run = runProgram(program);
  QCOMPARE(run.exitCode, 0);

  QCOMPARE(keys::hasRunBefore(), QStringLiteral("Yes"));
  QCOMPARE(keys::database(), env.catalogue());
  QCOMPARE(keys::readText(keys::kAlwaysOnTop, {}), QStringLiteral("1"));
  QCOMPARE(keys::readText(keys::kSlideTime, {}), QStringLiteral("7"));
  QCOMPARE(keys::readText(keys::kFormsRunStat, {}), QStringLiteral("0"));
  QCOMPARE(keys::mainPath(7), QStringLiteral("MainPath7"));
  QVERIFY(QFile::exists(env.programFolder() + QStringLiteral("budb.bdb")));
  QCOMPARE(test::tbl1Count(env.catalogue()), 1);
  QCOMPARE(test::tbl1Field(env.catalogue(), QStringLiteral("Pathname")).toString(),
           env.programFolder() + QStringLiteral("starterpic.jpg"));
  // The pristine backup was taken before the starter row went in.
  QCOMPARE(test::tbl1Count(env.programFolder() + QStringLiteral("budb.bdb")), 0);
  QVERIFY(test::readBytes(association::desktopEntryPath())
              .contains(("Exec=" + program + " %f").toUtf8()));

  // A second run keeps the one starter row.
  QCOMPARE(runProgram(program).exitCode, 0);
  QCOMPARE(test::tbl1Count(env.catalogue()), 1);
}

void tst_Program::secondCopyIsRefused() {
  test::TestEnv env;
  const QString program = env.installProgram();
  QDir().mkpath(settings::folder());
  QLockFile running(settings::folder() + QStringLiteral("/glimmora.lock"));
  QVERIFY(running.tryLock(0));
  // A windowless command line reports the refusal on standard error instead of a box.
  const Run run = runProgram(program, {QStringLiteral("--scan"), env.folder("pictures")});
  QCOMPARE(run.exitCode, 1);
  QVERIFY(run.errors.contains("Only one copy of Glimmora can run at a time."));
  QVERIFY(!settings::contains(settings::kApp, settings::kSettings, keys::kHasRunBefore));
}

void tst_Program::windowlessCommandNeedsNoDisplay() {
  test::TestEnv env;
  const QString program = env.installProgram();
  const QString folder = env.folder(QStringLiteral("pictures"));
  QVERIFY(test::writePicture(folder + QStringLiteral("/one.jpg"), 40, 30));
  const Run run = runProgram(program, {QStringLiteral("--scan"), folder}, false);
  QVERIFY2(run.exitCode == 0, run.errors.constData());
  QCOMPARE(test::tbl1Count(env.catalogue()), 1);
}

QTEST_MAIN(tst_Program)
#include "tst_program.moc"
