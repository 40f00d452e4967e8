// The start-up routine: start modes, the first run, the splash's seeding of an empty
// catalogue, the single-instance test, the file-type registration and bad input.
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/keys.h"
#include "base/settings.h"
#include "shell/association.h"
#include "shell/frmMain.h"
#include "shell/frmSplash.h"
#include "shell/instancelock.h"
#include "shell/startup.h"
#include "shellfixture.h"
#include "support/testenv.h"

using namespace glim;

namespace {

StartupConfig configFor(const test::TestEnv& env, const QStringList& arguments = {}) {
  StartupConfig config;
  config.programFolder = env.programFolder();
  config.programPath = env.programFolder() + QStringLiteral("glimmora");
  config.arguments = arguments;
  config.splashMsQueryFile = 0;
  config.splashMs = 0;
  config.mainLoadMs = 0;
  return config;
}

void markNotFirstRun() {
  keys::writeText(keys::kHasRunBefore, QStringLiteral("Yes"));
}

}  // namespace

class tst_Startup : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { frmSplash::setTutorialOfferEnabled(false); }
  void cleanup() { test::closeAllWindows(); }

  void startMode_data();
  void startMode();
  void firstRunWritesDefaults_data();
  void firstRunWritesDefaults();
  void firstRunBackupFollowsTheCatalogue_data();
  void firstRunBackupFollowsTheCatalogue();
  void anyTextButNoIsALaterRun_data();
  void anyTextButNoIsALaterRun();
  void associationWrittenOnFirstRunOnly();
  void execLineQuoting_data();
  void execLineQuoting();
  void splashSeedsOnlyAnEmptyCatalogue_data();
  void splashSeedsOnlyAnEmptyCatalogue();
  void splashReadsOneRowOfALargeCatalogue();
  void secondInstanceRefused();
  void staleLockFileDoesNotBlock_data();
  void staleLockFileDoesNotBlock();
  void lockEndsWithItsProcess();
  void unreadableSettingsReportedAndKept_data();
  void unreadableSettingsReportedAndKept();
  void fullStartShowsMainWindow();
  void badInputStartsAnyway_data();
  void badInputStartsAnyway();
};

void tst_Startup::startMode_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<bool>("autoStartSetting");
  QTest::addColumn<bool>("queryFile");
  QTest::addColumn<bool>("autoStart");
  QTest::newRow("no arguments") << QStringList{} << true << false << false;
  QTest::newRow("7 characters") << QStringList{"/a/b.qr"} << true << false << false;
  QTest::newRow("8 characters") << QStringList{"/a/b.qry"} << true << true << true;
  QTest::newRow("8 with the blank between two")
      << QStringList{"abc", "defg"} << false << true << false;
  QTest::newRow("blanks count (untrimmed)") << QStringList{"  b.qry "} << false << true << false;
}

void tst_Startup::startMode() {
  QFETCH(QStringList, arguments);
  QFETCH(bool, autoStartSetting);
  QFETCH(bool, queryFile);
  QFETCH(bool, autoStart);
  test::TestEnv env;
  keys::writeFlag(keys::kQryPasswordPrompt, false);
  keys::writeFlag(keys::kAutoStartQry, autoStartSetting);
  Startup startup(configFor(env, arguments));
  startup.setStartMode();
  QCOMPARE(appState().QueryFileStart, queryFile);
  QCOMPARE(appState().SlideShowOnOpen, queryFile);
  QCOMPARE(appState().AutoStartQuery, autoStart);
  QCOMPARE(appState().CommandLine, arguments.join(u' '));
}

void tst_Startup::firstRunWritesDefaults_data() {
  QTest::addColumn<QString>("key");
  QTest::addColumn<QString>("value");
  const QStringList table = {
      "HasRunBefore=Yes",   "AlwaysOnTop=1",       "QRYPasswordPrompt=True", "PasswordPrompt=1",
      "AutoRepeat=0",       "dftSlideSize=Full",   "dftViewerSize=Normal",   "SlideTime=7",
      "StartPic=First",     "FormsRunStat=0",      "PathsSet=False",         "ConfirmDeletes=True",
      "AutoStartQRY=False", "MainPath1=MainPath1", "MainPath7=MainPath7"};
  for (const QString& row : table) {
    const QStringList kv = row.split(u'=');
    QTest::newRow(qPrintable(kv[0])) << kv[0] << kv[1];
  }
  QTest::newRow("Database") << "Database"
                            << "<program>all1.mdb";
}

void tst_Startup::firstRunWritesDefaults() {
  QFETCH(QString, key);
  QFETCH(QString, value);
  test::TestEnv env;
  Startup startup(configFor(env));
  startup.setProgramFolder();
  startup.readFirstRunState();
  value.replace(QStringLiteral("<program>"), env.programFolder());
  QCOMPARE(settings::read(settings::kSettings, key, QStringLiteral("<missing>")), value);
  QCOMPARE(appState().DatabasePath, env.catalogue());
  QCOMPARE(appState().HasRunBeforeValue, QStringLiteral("No"));
  // Keys the first run leaves to their readers.
  QVERIFY(!keys::readText(keys::kRecordSource, {}).size());
  QVERIFY(!keys::readText(keys::kShowFraPic, {}).size());
}

void tst_Startup::firstRunBackupFollowsTheCatalogue_data() {
  QTest::addColumn<bool>("catalogueExists");
  QTest::addColumn<bool>("staleBackup");
  QTest::newRow("installed catalogue") << true << false;
  QTest::newRow("installed catalogue, stale backup replaced") << true << true;
  QTest::newRow("no catalogue") << false << false;
  QTest::newRow("no catalogue, stale backup removed") << false << true;
}

void tst_Startup::firstRunBackupFollowsTheCatalogue() {
  QFETCH(bool, catalogueExists);
  QFETCH(bool, staleBackup);
  test::TestEnv env;
  const QString backup = env.programFolder() + QStringLiteral("budb.bdb");
  if (!catalogueExists) QVERIFY(QFile::remove(env.catalogue()));
  if (staleBackup) QVERIFY(test::writeBytes(backup, "old backup"));
  Startup startup(configFor(env));
  startup.setProgramFolder();
  startup.readFirstRunState();
  QCOMPARE(keys::readText(keys::kSlideTime, {}), QStringLiteral("7"));
  QCOMPARE(QFile::exists(backup), catalogueExists);
  if (catalogueExists) QCOMPARE(test::readBytes(backup), test::readBytes(env.catalogue()));
  QCOMPARE(QFile::exists(env.catalogue()), catalogueExists);  // never made here
}

void tst_Startup::anyTextButNoIsALaterRun_data() {
  QTest::addColumn<QString>("hasRunBefore");
  QTest::newRow("Yes") << "Yes";
  QTest::newRow("empty text") << "";
  QTest::newRow("no (lower case)") << "no";
}

void tst_Startup::anyTextButNoIsALaterRun() {
  QFETCH(QString, hasRunBefore);
  test::TestEnv env;
  keys::writeText(keys::kHasRunBefore, hasRunBefore);
  keys::writeText(keys::kDatabase, QStringLiteral("/elsewhere/all1.mdb"));
  Startup startup(configFor(env));
  startup.setProgramFolder();
  startup.readFirstRunState();
  QCOMPARE(appState().HasRunBeforeValue, hasRunBefore);
  QCOMPARE(keys::readText(keys::kHasRunBefore, QStringLiteral("<missing>")), hasRunBefore);
  QCOMPARE(appState().DatabasePath, QStringLiteral("/elsewhere/all1.mdb"));
  QVERIFY(!settings::contains(settings::kApp, settings::kSettings, keys::kAlwaysOnTop));
  QVERIFY(!QFile::exists(env.programFolder() + QStringLiteral("budb.bdb")));
  QVERIFY(!QFile::exists(association::desktopEntryPath()));
}

void tst_Startup::associationWrittenOnFirstRunOnly() {
  test::TestEnv env;
  QVERIFY(association::desktopEntryPath().startsWith(env.dataFolder()));
  {
    Startup startup(configFor(env));
    startup.setProgramFolder();
    startup.readFirstRunState();
  }
  const QString mime = QString::fromUtf8(test::readBytes(association::mimePackagePath()));
  QVERIFY(mime.contains(QStringLiteral("<glob pattern=\"*.qry\"/>")));
  QVERIFY(mime.contains(QStringLiteral("<comment>Glimmora Picture Set</comment>")));
  const QString entry = QString::fromUtf8(test::readBytes(association::desktopEntryPath()));
  QVERIFY(entry.contains(QStringLiteral("\nExec=") + env.programFolder() +
                         QStringLiteral("glimmora %f\n")));
  QVERIFY(entry.contains(QStringLiteral("MimeType=application/x-glimmora-picture-set;")));
  QVERIFY(test::readBytes(env.dataFolder() + QStringLiteral("/applications/mimeapps.list"))
              .contains("application/x-glimmora-picture-set=glimmora.desktop"));

  // A later run writes nothing: the removed files stay removed.
  QVERIFY(QFile::remove(association::mimePackagePath()));
  QVERIFY(QFile::remove(association::desktopEntryPath()));
  Startup again(configFor(env));
  again.setProgramFolder();
  again.readFirstRunState();
  QVERIFY(!QFile::exists(association::mimePackagePath()));
  QVERIFY(!QFile::exists(association::desktopEntryPath()));
}

void tst_Startup::execLineQuoting_data() {
  QTest::addColumn<QString>("program");
  QTest::addColumn<QString>("exec");
  QTest::newRow("plain") << "/opt/glimmora/glimmora"
                         << "/opt/glimmora/glimmora %f";
  QTest::newRow("blank") << "/opt/my apps/glimmora"
                         << "\"/opt/my apps/glimmora\" %f";
  QTest::newRow("dollar and quote") << "/opt/a$b\"c/glimmora"
                                    << "\"/opt/a\\\\$b\\\\\"c/glimmora\" %f";
}

void tst_Startup::execLineQuoting() {
  QFETCH(QString, program);
  QFETCH(QString, exec);
  QCOMPARE(association::execLine(program), exec);
}

// The start-up check does not grow with the catalogue: the splash's view holds one row.
void tst_Startup::splashReadsOneRowOfALargeCatalogue() {
  test::TestEnv env;
  {
    catalogue::Database db = catalogue::Database::open(env.catalogue());
    QVERIFY(db.execute(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
        "INSERT INTO tbl1 (Pathname) SELECT '/pics/' || i || '.jpg' FROM n")));
  }
  auto* splash = new frmSplash();
  splash->Form_Load();
  QCOMPARE(splash->Data1().recordCount(), 1);
  QCOMPARE(splash->Data1().recordset()->value(QStringLiteral("Pathname")).toString(),
           QStringLiteral("/pics/1.jpg"));
  QVERIFY(splash->close());
  delete splash;
  QCOMPARE(test::tbl1Count(env.catalogue()), 3000);
}

void tst_Startup::splashSeedsOnlyAnEmptyCatalogue_data() {
  QTest::addColumn<bool>("empty");
  QTest::newRow("empty tbl1 is seeded") << true;
  QTest::newRow("a catalogue with rows is left alone") << false;
}

void tst_Startup::splashSeedsOnlyAnEmptyCatalogue() {
  QFETCH(bool, empty);
  test::TestEnv env;
  if (!empty) {
    catalogue::Database db = catalogue::Database::open(env.catalogue());
    QVERIFY(db.execute(QStringLiteral("INSERT INTO tbl1 (Pathname) VALUES ('/pics/a.jpg')")));
  }
  auto* splash = new frmSplash();
  splash->Form_Load();
  QVERIFY(splash->isReady());
  QVERIFY(splash->close());
  delete splash;
  QCOMPARE(test::tbl1Count(env.catalogue()), 1);
  if (!empty) {
    QCOMPARE(test::tbl1Field(env.catalogue(), "Pathname").toString(),
             QStringLiteral("/pics/a.jpg"));
    return;
  }
  const QString path = env.catalogue();
  QCOMPARE(test::tbl1Field(path, "Pathname").toString(), env.programFolder() + "starterpic.jpg");
  QCOMPARE(test::tbl1Field(path, "Extension").toString(), QStringLiteral("jpg"));
  QCOMPARE(test::tbl1Field(path, "NewFile").toInt(), 0);
  QCOMPARE(test::tbl1Field(path, "FileERROR").toInt(), 0);
  QCOMPARE(test::tbl1Field(path, "Filesize").toInt(), 8794);
  QCOMPARE(test::tbl1Field(path, "Width").toInt(), 320);
  QCOMPARE(test::tbl1Field(path, "Height").toInt(), 320);
  QCOMPARE(test::tbl1Field(path, "Colors").toInt(), 27918);
  QCOMPARE(test::tbl1Field(path, "OverallRating").toInt(), 0);
  // The row agrees with the file it names.
  QCOMPARE(QFileInfo(env.programFolder() + "starterpic.jpg").size(), 8794);
}

void tst_Startup::secondInstanceRefused() {
  test::TestEnv env;
  ScriptedDialogs dialogs;
  InstanceLock running(Startup::lockPathForUser());
  QCOMPARE(running.tryLock(), InstanceLock::State::Held);
  Startup second(configFor(env));
  QCOMPARE(second.run(), StartOutcome::SecondInstance);
  QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 1);
  const auto call = dialogs.messages().first();
  // The holder is this test program, named by its process id and path.
  QCOMPARE(call.text, QStringLiteral("Only one copy of Glimmora can run at a time.\r\rIt is "
                                     "running as process %1 (%2).")
                          .arg(QCoreApplication::applicationPid())
                          .arg(QCoreApplication::applicationFilePath()));
  QCOMPARE(call.title, QStringLiteral("Warning"));
  QCOMPARE(call.icon, MsgIcon::Critical);
  QCOMPARE(call.buttons, MsgButtons::OK);
  // Nothing was written.
  QVERIFY(!settings::contains(settings::kApp, settings::kSettings, keys::kHasRunBefore));
  QVERIFY(!forms::find<frmMain>());

  running.unlock();
  Startup first(configFor(env));
  QVERIFY(first.claimSingleInstance());
}

void tst_Startup::staleLockFileDoesNotBlock_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::newRow("empty") << QByteArray();
  QTest::newRow("garbage") << QByteArray("\x01\xff not a lock \n\n\n");
  QTest::newRow("other host") << QByteArray("4242\nglimmora\nsome-other-host\n");
  QTest::newRow("this host, process gone") << QByteArray("999999999\nglimmora\n\n");
}

// A lock file left behind by a crash, a copy, or another machine sharing the home folder.
void tst_Startup::staleLockFileDoesNotBlock() {
  QFETCH(QByteArray, content);
  test::TestEnv env;
  ScriptedDialogs dialogs;
  QVERIFY(test::writeBytes(Startup::lockPathForUser(), content));
  Startup startup(configFor(env));
  QVERIFY(startup.claimSingleInstance());
  QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
  // The file now names this process, so a second start can say who runs.
  QVERIFY(test::readBytes(Startup::lockPathForUser())
              .startsWith(QByteArray::number(QCoreApplication::applicationPid()) + '\n'));
}

// Another process holds the lock; once it is killed the system releases the lock at once.
void tst_Startup::lockEndsWithItsProcess() {
  test::TestEnv env;
  ScriptedDialogs dialogs;
  const QString lock = Startup::lockPathForUser();
  QProcess holder;
  holder.start(QStringLiteral("/bin/sh"),
               {QStringLiteral("-c"),
                QStringLiteral("exec 9>>\"$0\"; flock -x 9; printf '%s\\nholder\\n\\n' $$ >\"$0\"; "
                               "echo held; exec sleep 100000"),
                lock});
  QVERIFY(holder.waitForStarted(-1));
  while (!holder.readAllStandardOutput().contains("held")) QVERIFY(holder.waitForReadyRead(-1));

  Startup second(configFor(env));
  QVERIFY(!second.claimSingleInstance());
  QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 1);
  const QString text = dialogs.messages().first().text;
  // The program is the shell or, once it has replaced itself, sleep: a path either way.
  QVERIFY2(text.contains(QStringLiteral("It is running as process %1 (/").arg(holder.processId())),
           qPrintable(text));

  holder.kill();
  QVERIFY(holder.waitForFinished(-1));
  Startup third(configFor(env));
  QVERIFY(third.claimSingleInstance());
  QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 1);
}

void tst_Startup::unreadableSettingsReportedAndKept_data() {
  QTest::addColumn<QString>("how");
  QTest::newRow("a folder in its place") << "folder";
  if (::geteuid() != 0) QTest::newRow("no read permission") << "mode";
}

// The settings exist but cannot be read: said, with the file's path; not a first run (no
// tutorial, no defaults, no new "budb.bdb"), and the file is not replaced.
void tst_Startup::unreadableSettingsReportedAndKept() {
  QFETCH(QString, how);
  test::TestEnv env;
  ScriptedDialogs dialogs;
  keys::writeText(keys::kHasRunBefore, QStringLiteral("Yes"));
  const QString file = settings::fileFor(settings::kApp);
  const QByteArray before = test::readBytes(file);
  if (how == "folder") {
    QVERIFY(QFile::remove(file));
    QVERIFY(QDir().mkpath(file));
  } else {
    QVERIFY(QFile(file).setPermissions(QFileDevice::Permissions()));
  }
  QFile::remove(env.programFolder() + QStringLiteral("budb.bdb"));

  Startup startup(configFor(env));
  QCOMPARE(startup.run(), StartOutcome::Running);
  QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 1);
  const auto call = dialogs.messages().first();
  QCOMPARE(call.title, QStringLiteral("Settings Not Read"));
  QVERIFY2(call.text.startsWith(QStringLiteral("Glimmora cannot read its settings file ") + file),
           qPrintable(call.text));
  QVERIFY(call.text.contains(QStringLiteral("leaves that file as it is")));
  QVERIFY(appState().HasRunBeforeValue != QStringLiteral("No"));
  QCOMPARE(appState().DatabasePath, env.catalogue());
  QVERIFY(!QFile::exists(env.programFolder() + QStringLiteral("budb.bdb")));
  QVERIFY(!settings::set(settings::kApp, settings::kSettings, keys::kSlideTime, "9"));
  QVERIFY(startup.mainWindow());
  startup.mainWindow()->close();

  if (how == "folder") {
    QVERIFY(QFileInfo(file).isDir());
    QVERIFY(QDir(file).isEmpty());
  } else {
    QCOMPARE(QFileInfo(file).permissions() & 0x7777, QFileDevice::Permissions());
    QVERIFY(QFile(file).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QCOMPARE(test::readBytes(file), before);
  }
}

void tst_Startup::fullStartShowsMainWindow() {
  test::TestEnv env;
  ScriptedDialogs dialogs;
  Startup startup(configFor(env));
  QCOMPARE(startup.run(), StartOutcome::Running);
  QVERIFY(startup.mainWindow());
  QVERIFY(startup.mainWindow()->isVisible());
  QCOMPARE(appState().MainForm.data(), startup.mainWindow());
  QCOMPARE(startup.mainWindow()->messageCaption(), QStringLiteral("AOTNCL"));
  QVERIFY(!forms::find<frmSplash>());
  QCOMPARE(test::tbl1Count(env.catalogue()), 1);
  QVERIFY(QFile::exists(env.programFolder() + QStringLiteral("budb.bdb")));
  QCOMPARE(appState().ProgramFolder, env.programFolder());
  QCOMPARE(appState().HelpFile, env.programFolder() + QStringLiteral("Glimmora.hlp"));
  QCOMPARE(appState().QueryHelpFile, env.programFolder() + QStringLiteral("QUERYHELP.HLP"));
  QCOMPARE(appState().FormsRunStat, qint16(0));
  QVERIFY(!appState().QueryFileRun);
  QCOMPARE(appState().AreaLeft, 178.228f);
  QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
}

void tst_Startup::badInputStartsAnyway_data() {
  QTest::addColumn<QString>("problem");
  QTest::newRow("missing catalogue") << "missing";
  QTest::newRow("damaged catalogue") << "damaged";
  QTest::newRow("read-only catalogue") << "readonly";
  QTest::newRow("catalogue path is a folder") << "folder";
  QTest::newRow("settings folder cannot be made") << "settings";
}

void tst_Startup::badInputStartsAnyway() {
  QFETCH(QString, problem);
  test::TestEnv env;
  ScriptedDialogs dialogs;
  keys::writeFlag(keys::kQryPasswordPrompt, false);
  QStringList arguments;
  const QByteArray damaged("This is not a catalogue at all, just some text.");
  if (problem == "missing") QFile::remove(env.catalogue());
  if (problem == "damaged") test::writeBytes(env.catalogue(), damaged);
  if (problem == "readonly") QFile(env.catalogue()).setPermissions(QFile::ReadOwner);
  if (problem == "folder") {
    QFile::remove(env.catalogue());
    QDir().mkpath(env.catalogue());
  }
  if (problem == "settings") {
    // A folder below a plain file can never be made, whoever runs the test.
    test::writeBytes(env.folder("blocked") + "/file", "x");
    qputenv("XDG_CONFIG_HOME", (env.folder("blocked") + "/file/config").toLocal8Bit());
  }
  if (problem == "queryfile") arguments << env.programFolder() + "User/no such set.qry";

  Startup startup(configFor(env, arguments));
  QCOMPARE(startup.run(), StartOutcome::Running);
  QVERIFY(startup.mainWindow());
  if (problem == "damaged") QCOMPARE(test::readBytes(env.catalogue()), damaged);
  if (problem == "missing") QVERIFY(!QFile::exists(env.catalogue()));
  if (problem == "folder") QVERIFY(QFileInfo(env.catalogue()).isDir());
  if (problem == "queryfile") QVERIFY(appState().QueryFileRun || !appState().QueryFileStart);
}

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"
