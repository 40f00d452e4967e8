// An installed program: the program folder decided by the layout, the per-user folder seeded
// on the first run and kept afterwards, an unusable folder refused with a message, and the
// command-line conventions answered before anything starts.
#include <sysexits.h>
#include <QtTest>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/forms.h"
#include "base/keys.h"
#include "base/settings.h"
#include "shell/association.h"
#include "shell/frmMain.h"
#include "shell/installation.h"
#include "shell/programoptions.h"
#include "shell/startup.h"
#include "shellfixture.h"
#include "support/testenv.h"

using namespace glim;
using installation::Folders;
using programoptions::Request;

namespace {

// <root>/prefix laid out as an installation: bin/ and share/glimmora/ with the build's
// catalogue, a stock picture, the presets and a help page. Returns the prefix, ending in "/".
QString makePrefix(const test::TestEnv& env) {
  const QString prefix = env.folder(QStringLiteral("prefix")) + u'/';
  const QString data = prefix + QStringLiteral("share/glimmora/");
  QDir().mkpath(prefix + QStringLiteral("bin"));
  QDir().mkpath(data + QStringLiteral("User"));
  QDir().mkpath(data + QStringLiteral("help/Glimmora.hlp"));
  const QString bin = test::TestEnv::binFolder();
  QFile::copy(bin + QStringLiteral("all1.mdb"), data + QStringLiteral("all1.mdb"));
  QFile::copy(bin + QStringLiteral("starterpic.jpg"), data + QStringLiteral("starterpic.jpg"));
  QFile::copy(bin + QStringLiteral("User/wiz.txt"), data + QStringLiteral("User/wiz.txt"));
  test::writeBytes(data + QStringLiteral("help/Glimmora.hlp/index.html"), "<html></html>");
  // Installed files are the package's: read-only, even for their owner.
  QDirIterator it(data, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext())
    QFile::setPermissions(it.next(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
  return prefix;
}

// Every file under the folder with its size and time, to show that nothing changed there.
QStringList listing(const QString& folder) {
  QStringList lines;
  QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    it.next();
    const QFileInfo& info = it.fileInfo();
    lines << QStringLiteral("%1 %2 %3")
                 .arg(QDir(folder).relativeFilePath(info.filePath()))
                 .arg(info.size())
                 .arg(info.lastModified().toMSecsSinceEpoch());
  }
  lines.sort();
  return lines;
}

StartupConfig configFor(const QString& programFolder, const QStringList& arguments = {}) {
  StartupConfig config;
  config.programFolder = programFolder;
  config.programPath = programFolder + QStringLiteral("glimmora");
  config.arguments = arguments;
  config.splashMsQueryFile = 0;
  config.splashMs = 0;
  config.mainLoadMs = 0;
  return config;
}

QStringList leftovers(const QString& folder) {
  return QDir(folder).entryList({QStringLiteral(".glimmora-*")},
                                QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace

class tst_Installation : public QObject {
  Q_OBJECT
 private slots:
  void cleanup() { test::closeAllWindows(); }

  void layoutDecidesTheProgramFolder_data();
  void layoutDecidesTheProgramFolder();
  void firstRunSeedsTheUserFolder();
  void existingUserFolderIsKept_data();
  void existingUserFolderIsKept();
  void unusableUserFolderIsReported_data();
  void unusableUserFolderIsReported();
  void installedStartKeepsEverythingInTheUserFolder();
  void unusableFolderEndsTheStartWithAMessage();
  void commandLineRequests_data();
  void commandLineRequests();
  void answersBeforeStarting();
};

void tst_Installation::layoutDecidesTheProgramFolder_data() {
  QTest::addColumn<bool>("fromPrefix");
  QTest::addColumn<QString>("dataHome");  // "<root>" stands for the test's root folder
  QTest::addColumn<QString>("expected");  // relative to the root
  QTest::newRow("build folder") << false << QString() << QStringLiteral("program/");
  QTest::newRow("installed, XDG_DATA_HOME")
      << true << QStringLiteral("<root>/xdg") << QStringLiteral("xdg/glimmora/");
  QTest::newRow("installed, XDG_DATA_HOME ends in /")
      << true << QStringLiteral("<root>/xdg/") << QStringLiteral("xdg/glimmora/");
  QTest::newRow("installed, no XDG_DATA_HOME")
      << true << QString() << QStringLiteral("home/.local/share/glimmora/");
  QTest::newRow("installed, relative XDG_DATA_HOME is ignored")
      << true << QStringLiteral("xdg") << QStringLiteral("home/.local/share/glimmora/");
}

void tst_Installation::layoutDecidesTheProgramFolder() {
  QFETCH(bool, fromPrefix);
  QFETCH(QString, dataHome);
  QFETCH(QString, expected);
  test::TestEnv env;
  const QString root = QFileInfo(env.homeFolder()).path() + u'/';
  qputenv("XDG_DATA_HOME", dataHome.replace(QStringLiteral("<root>/"), root).toLocal8Bit());
  const QString prefix = makePrefix(env);
  const QString programDir = fromPrefix ? prefix + QStringLiteral("bin/") : env.programFolder();

  const Folders folders = installation::foldersFor(programDir);
  QCOMPARE(folders.installed, fromPrefix);
  QCOMPARE(folders.program, root + expected);
  // Help pages are read where they are installed; run from the build, all is in one folder.
  const QString data = fromPrefix ? prefix + QStringLiteral("share/glimmora/") : QString();
  QCOMPARE(folders.data, data);
  QCOMPARE(folders.help, fromPrefix ? data : env.programFolder());
  // Deciding writes nothing.
  if (fromPrefix) QVERIFY(!QFileInfo::exists(folders.program));
}

void tst_Installation::firstRunSeedsTheUserFolder() {
  test::TestEnv env;
  const QString prefix = makePrefix(env);
  const QString data = prefix + QStringLiteral("share/glimmora/");
  const QStringList before = listing(prefix);
  const Folders folders = installation::foldersFor(prefix + QStringLiteral("bin"));
  QVERIFY(folders.installed);

  QCOMPARE(installation::prepareProgramFolder(folders), QString());
  const QString user = folders.program;
  for (const char* file : {"all1.mdb", "starterpic.jpg", "User/wiz.txt"}) {
    QCOMPARE(test::readBytes(user + QLatin1String(file)),
             test::readBytes(data + QLatin1String(file)));
    // The user's own copies, writable whatever the installed files' modes.
    QVERIFY(QFile(user + QLatin1String(file)).permissions() & QFile::WriteOwner);
  }
  for (const char* folder : {"User", "Backup", "images"})
    QVERIFY(QFileInfo(user + QLatin1String(folder)).isDir());
  QVERIFY(!QFileInfo::exists(user + QStringLiteral("help")));
  QCOMPARE(test::tbl1Count(user + QStringLiteral("all1.mdb")), 0);
  QCOMPARE(leftovers(env.dataFolder()), QStringList());
  QCOMPARE(listing(prefix), before);
}

void tst_Installation::existingUserFolderIsKept_data() {
  QTest::addColumn<bool>("empty");
  QTest::newRow("folder of an older version") << false;
  QTest::newRow("empty folder") << true;
}

void tst_Installation::existingUserFolderIsKept() {
  QFETCH(bool, empty);
  test::TestEnv env;
  const QString prefix = makePrefix(env);
  const Folders folders = installation::foldersFor(prefix + QStringLiteral("bin"));
  QVERIFY(QDir().mkpath(folders.program));
  if (!empty) test::writeBytes(folders.program + QStringLiteral("all1.mdb"), "the user's own");
  const QStringList before = listing(folders.program);

  QCOMPARE(installation::prepareProgramFolder(folders), QString());
  if (empty) {
    // An empty folder holds nothing to keep: it is seeded.
    QCOMPARE(test::tbl1Count(folders.program + QStringLiteral("all1.mdb")), 0);
    QVERIFY(QFileInfo::exists(folders.program + QStringLiteral("starterpic.jpg")));
  } else {
    // Nothing replaced, nothing added.
    QCOMPARE(listing(folders.program), before);
    QCOMPARE(test::readBytes(folders.program + QStringLiteral("all1.mdb")),
             QByteArray("the user's own"));
  }
}

void tst_Installation::unusableUserFolderIsReported_data() {
  QTest::addColumn<QString>("dataHome");  // relative to the root; "file" is a file
  QTest::addColumn<QString>("folder");
  QTest::addColumn<QString>("reason");
  QTest::newRow("data folder is a file")
      << QStringLiteral("file") << QStringLiteral("file/glimmora")
      << QStringLiteral("the folder cannot be created");
  QTest::newRow("below a file") << QStringLiteral("file/deeper")
                                << QStringLiteral("file/deeper/glimmora")
                                << QStringLiteral("the folder cannot be created");
  QTest::newRow("installed under ~/.local: the data folder itself")
      << QStringLiteral("prefix/share") << QStringLiteral("prefix/share/glimmora")
      << QStringLiteral("Glimmora's installed data is in that folder");
  QTest::newRow("a file in the way") << QStringLiteral("xdg") << QStringLiteral("xdg/glimmora")
                                     << QStringLiteral("a file of that name is in the way");
}

void tst_Installation::unusableUserFolderIsReported() {
  QFETCH(QString, dataHome);
  QFETCH(QString, folder);
  QFETCH(QString, reason);
  test::TestEnv env;
  const QString root = QFileInfo(env.homeFolder()).path() + u'/';
  test::writeBytes(root + QStringLiteral("file"), "not a folder");
  QDir().mkpath(root + QStringLiteral("xdg"));
  test::writeBytes(root + QStringLiteral("xdg/glimmora"), "not a folder");
  qputenv("XDG_DATA_HOME", (root + dataHome).toLocal8Bit());
  const QString prefix = makePrefix(env);

  const QString message =
      installation::prepareProgramFolder(installation::foldersFor(prefix + QStringLiteral("bin")));
  QVERIFY2(message.contains(QStringLiteral("folder ") + root + folder + u':'), qPrintable(message));
  QVERIFY2(message.contains(reason), qPrintable(message));
  QCOMPARE(test::readBytes(root + QStringLiteral("file")), QByteArray("not a folder"));
  QCOMPARE(leftovers(root + QStringLiteral("xdg")), QStringList());
}

void tst_Installation::installedStartKeepsEverythingInTheUserFolder() {
  test::TestEnv env;
  const QString prefix = makePrefix(env);
  const QString pictures = env.folder(QStringLiteral("pictures"));
  QVERIFY(test::writePicture(pictures + QStringLiteral("/one.jpg"), 40, 30));
  const QStringList before = listing(prefix);

  Startup startup(configFor(prefix + QStringLiteral("bin/"), {"--add-folder", pictures}));
  QCOMPARE(startup.run(), StartOutcome::Windowless);
  QCOMPARE(startup.exitCode(), 0);

  const QString user = env.dataFolder() + QStringLiteral("/glimmora/");
  QCOMPARE(appState().ProgramFolder, user);
  QCOMPARE(keys::database(), user + QStringLiteral("all1.mdb"));
  QCOMPARE(test::tbl1Count(user + QStringLiteral("all1.mdb")), 1);
  QCOMPARE(test::tbl1Count(user + QStringLiteral("budb.bdb")), 0);
  QCOMPARE(appState().HelpFile, prefix + QStringLiteral("share/glimmora/Glimmora.hlp"));
  // The package registers the file type for every user; the first run adds nothing of its own.
  QVERIFY(!QFileInfo::exists(association::mimePackagePath()));
  QVERIFY(!QFileInfo::exists(association::desktopEntryPath()));
  QCOMPARE(listing(prefix), before);
}

void tst_Installation::unusableFolderEndsTheStartWithAMessage() {
  test::TestEnv env;
  ScriptedDialogs dialogs;
  const QString file = env.folder(QStringLiteral("x")) + QStringLiteral("/file");
  test::writeBytes(file, "not a folder");
  qputenv("XDG_DATA_HOME", file.toLocal8Bit());
  const QString prefix = makePrefix(env);

  {
    Startup startup(configFor(prefix + QStringLiteral("bin/")));
    QCOMPARE(startup.run(), StartOutcome::FolderUnusable);
    QCOMPARE(startup.exitCode(), EX_CANTCREAT);
  }
  QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 1);
  const auto call = dialogs.messages().first();
  QVERIFY2(call.text.contains(file + QStringLiteral("/glimmora")), qPrintable(call.text));
  QCOMPARE(call.title, QStringLiteral("Glimmora"));
  QCOMPARE(call.icon, MsgIcon::Critical);
  // Not half started: no first run recorded, no window.
  QVERIFY(!settings::contains(settings::kApp, settings::kSettings, keys::kHasRunBefore));
  QVERIFY(!forms::find<frmMain>());

  // A windowless command says it on standard error only.
  dialogs.clear();
  Startup windowless(configFor(prefix + QStringLiteral("bin/"), {"--scan", env.folder("p")}));
  QCOMPARE(windowless.run(), StartOutcome::FolderUnusable);
  QCOMPARE(windowless.exitCode(), EX_CANTCREAT);
  QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
}

void tst_Installation::commandLineRequests_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<Request>("request");
  QTest::newRow("none") << QStringList{} << Request::Start;
  QTest::newRow("picture set") << QStringList{"/home/me/sets/good.qry"} << Request::Start;
  QTest::newRow("picture set in pieces, one begins with -")
      << QStringList{"/home/me/My", "-sets.qry"} << Request::Start;
  QTest::newRow("--help") << QStringList{"--help"} << Request::Help;
  QTest::newRow("-h") << QStringList{"-h"} << Request::Help;
  QTest::newRow("--version") << QStringList{"--version"} << Request::Version;
  QTest::newRow("--add-folder") << QStringList{"--add-folder", "/p"} << Request::Windowless;
  QTest::newRow("--scan") << QStringList{"--scan", "/"} << Request::Windowless;
  QTest::newRow("--print-set") << QStringList{"--print-set"} << Request::Windowless;
  QTest::newRow("unknown long") << QStringList{"--bogus"} << Request::Unknown;
  QTest::newRow("unknown short") << QStringList{"-x", "/a/b.qry"} << Request::Unknown;
  QTest::newRow("Qt's own options are not ours")
      << QStringList{"-platform", "xcb"} << Request::Unknown;
  QTest::newRow("case counts") << QStringList{"--HELP"} << Request::Unknown;
}

void tst_Installation::commandLineRequests() {
  QFETCH(QStringList, arguments);
  QFETCH(Request, request);
  QCOMPARE(programoptions::classify(arguments), request);
}

void tst_Installation::answersBeforeStarting() {
  auto run = [](const QStringList& arguments, QString& out, QString& err) {
    out.clear();
    err.clear();
    QTextStream o(&out);
    QTextStream e(&err);
    const std::optional<int> code = programoptions::answer(arguments, o, e);
    o.flush();
    e.flush();
    return code;
  };
  QString out;
  QString err;
  QCOMPARE(run({"--version"}, out, err), std::optional<int>(0));
  QCOMPARE(out, QStringLiteral("Glimmora " GLIMMORA_VERSION "\n"));
  QCOMPARE(run({"--help"}, out, err), std::optional<int>(0));
  QVERIFY(out.startsWith(QStringLiteral("Usage: glimmora [PICTURE-SET-FILE]\n")));
  for (const char* option : {"--add-folder", "--scan", "--print-set", "--version"})
    QVERIFY2(out.contains(QLatin1String(option)), option);
  QVERIFY(err.isEmpty());

  QCOMPARE(run({"--bogus", "x"}, out, err), std::optional<int>(2));
  QCOMPARE(err, QStringLiteral("glimmora: unknown option '--bogus'\n"
                               "Try 'glimmora --help' for more information.\n"));
  QVERIFY(out.isEmpty());

  QVERIFY(!run({"/home/me/sets/good.qry"}, out, err).has_value());
  QVERIFY(!run({"--scan", "/"}, out, err).has_value());
  QVERIFY(out.isEmpty() && err.isEmpty());
}

QTEST_MAIN(tst_Installation)
#include "tst_installation.moc"
