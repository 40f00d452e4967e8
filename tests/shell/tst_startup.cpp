// The start-up routine: start modes, the first run, the splash's seeding of an empty
// catalogue, the single-instance test, the file-type registration and bad input.
#include <QtTest>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/keys.h"
#include "base/settings.h"
#include "shell/association.h"
#include "shell/frmMain.h"
#include "shell/frmSplash.h"
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
  void secondInstanceRefused();
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
  QLockFile running(Startup::lockPathForUser());
  QVERIFY(running.tryLock(0));
  Startup second(configFor(env));
  QCOMPARE(second.run(), StartOutcome::SecondInstance);
  QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 1);
  const auto call = dialogs.messages().first();
  QCOMPARE(call.text, QStringLiteral("Only one copy of Glimmora can run at a time."));
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
