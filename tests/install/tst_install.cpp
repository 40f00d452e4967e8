// The build installed into a temporary prefix with DESTDIR, as a package would lay it out, and
// the installed programs run there by a user with a fresh home: the catalogue and everything
// else the program writes lands in the user's folder, nothing under the prefix.
#include <sysexits.h>
#include <QtTest>

#include "catalogue/database.h"
#include "query/queryfile.h"
#include "shell/association.h"
#include "support/testenv.h"

using namespace glim;

namespace {

struct Run {
  int exitCode = -1;
  QString out;
  QString err;
};

// Every entry under the folder with its size and time.
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

// A key of a desktop entry, read as the desktop reads it (QSettings would take ";" for the start
// of a comment).
QString desktopValue(const QString& file, const QString& key) {
  for (const QByteArray& line : test::readBytes(file).split('\n'))
    if (line.startsWith((key + u'=').toUtf8())) return QString::fromUtf8(line.mid(key.size() + 1));
  return {};
}

int tbl1Count(const QString& catalogue) {
  catalogue::Database db = catalogue::Database::open(catalogue);
  return db.isOpen() ? db.scalar(QStringLiteral("SELECT COUNT(*) FROM tbl1")).toInt() : -1;
}

}  // namespace

class tst_Install : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();

  void layoutUnderThePrefix();
  void windowlessRunKeepsEverythingPerUser();
  void olderUserFolderIsKept();
  void unwritableUserFolderEndsWithAMessage();
  void commandLineConventions();
  void desktopFilesAgree();

 private:
  // A fresh user: HOME and the XDG folders under a new folder, no display. An empty
  // dataHome leaves XDG_DATA_HOME unset.
  QProcessEnvironment freshUser(const QString& name, const QString& dataHome = {}) const;
  Run run(const QString& program, const QStringList& arguments,
          const QProcessEnvironment& environment) const;
  QString installed(const QString& relative) const { return prefix_ + relative; }
  QString glimmora() const {
    return installed(QStringLiteral(GLIMMORA_INSTALL_BINDIR "/glimmora"));
  }

  QTemporaryDir root_;
  QString prefix_;  // <root>/stage/usr/
};

void tst_Install::initTestCase() {
  QVERIFY(root_.isValid());
  // This process keeps away from the real home as well.
  qputenv("HOME", root_.path().toLocal8Bit());
  for (const char* variable : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
    qunsetenv(variable);
  const QString stage = root_.path() + QStringLiteral("/stage");
  QProcess install;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("DESTDIR"), stage);
  install.setProcessEnvironment(environment);
  install.setProcessChannelMode(QProcess::MergedChannels);
  install.start(QStringLiteral(GLIMMORA_CMAKE_COMMAND),
                {QStringLiteral("--install"), QStringLiteral(GLIMMORA_BUILD_DIR),
                 QStringLiteral("--prefix"), QStringLiteral("/usr")});
  QVERIFY(install.waitForFinished(-1));
  QVERIFY2(install.exitCode() == 0, install.readAll().constData());
  prefix_ = stage + QStringLiteral("/usr/");
}

QProcessEnvironment tst_Install::freshUser(const QString& name, const QString& dataHome) const {
  const QString home = root_.path() + u'/' + name;
  QDir().mkpath(home);
  QDir().mkpath(home + QStringLiteral("/runtime"));
  QFile::setPermissions(home + QStringLiteral("/runtime"),
                        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_DATA_HOME",
                               "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
    environment.remove(QLatin1String(variable));
  environment.insert(QStringLiteral("HOME"), home);
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/runtime"));
  if (!dataHome.isEmpty()) environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
  return environment;
}

Run tst_Install::run(const QString& program, const QStringList& arguments,
                     const QProcessEnvironment& environment) const {
  QProcess process;
  process.setProcessEnvironment(environment);
  process.start(program, arguments);
  Run result;
  if (!process.waitForStarted(-1) || !process.waitForFinished(-1)) return result;
  result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
  result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
  result.err = QString::fromLocal8Bit(process.readAllStandardError());
  return result;
}

void tst_Install::layoutUnderThePrefix() {
  const QString data = QStringLiteral(GLIMMORA_INSTALL_DATADIR "/");
  const QString man = QStringLiteral(GLIMMORA_INSTALL_MANDIR "/man1/");
  const QString libraries = QStringLiteral(GLIMMORA_INSTALL_LIBDIR "/");
  for (const QString& file :
       {QStringLiteral(GLIMMORA_INSTALL_BINDIR "/glimmora"),
        QStringLiteral(GLIMMORA_INSTALL_BINDIR "/rastcore3-cli"),
        QStringLiteral(GLIMMORA_INSTALL_BINDIR "/rastrel_demo"), libraries + "librastrel3.so",
        libraries + "librastcore3.so", data + "glimmora/all1.mdb", data + "glimmora/starterpic.jpg",
        data + "glimmora/User/wiz.txt", data + "glimmora/help/Glimmora.hlp/index.html",
        data + "glimmora/help/QUERYHELP.HLP/1.html",
        data + "applications/com.tarnwick.Glimmora.desktop",
        data + "metainfo/com.tarnwick.Glimmora.metainfo.xml",
        data + "mime/packages/com.tarnwick.Glimmora.xml",
        data + "icons/hicolor/scalable/apps/com.tarnwick.Glimmora.svg",
        data + "icons/hicolor/128x128/apps/com.tarnwick.Glimmora.png",
        data + "icons/hicolor/scalable/mimetypes/application-x-glimmora-picture-set.svg",
        man + "glimmora.1.gz", man + "rastcore3-cli.1.gz", man + "rastrel_demo.1.gz"})
    QVERIFY2(QFileInfo(installed(file)).isFile(), qPrintable(file));

  // The control finds its engine beside it through its run path, whatever the prefix.
  QLibrary control(installed(libraries + QStringLiteral("librastrel3.so")));
  QVERIFY2(control.load(), qPrintable(control.errorString()));
  QVERIFY(control.resolve("DllGetClassObject"));
}

void tst_Install::windowlessRunKeepsEverythingPerUser() {
  const QProcessEnvironment user = freshUser(QStringLiteral("first"));
  const QString home = user.value(QStringLiteral("HOME"));
  const QString pictures = root_.path() + QStringLiteral("/pictures/");
  QDir().mkpath(pictures);
  QVERIFY(test::writePicture(pictures + QStringLiteral("a.jpg"), 40, 30));
  QVERIFY(test::writePicture(pictures + QStringLiteral("b.png"), 20, 30, "PNG"));
  const QStringList before = listing(prefix_);

  const Run added = run(glimmora(), {QStringLiteral("--add-folder"), pictures}, user);
  QVERIFY2(added.exitCode == 0, qPrintable(added.err));
  QVERIFY2(added.out.contains(QStringLiteral("2 files were added")), qPrintable(added.out));

  // The builder's initial criteria: every JPEG, ePIC, GIF and PNG picture.
  QStringList themes;
  for (int k = 1; k <= query::kThemeCount; ++k) themes << QStringLiteral("Theme%1").arg(k);
  query::QueryRecord record;
  query::captureQueryRecord(query::initialCriteria(themes, QDate::currentDate()), record);
  const QString set = root_.path() + QStringLiteral("/all pictures.qry");
  QVERIFY(query::writeQueryFile(set, record));
  const Run printed = run(glimmora(), {QStringLiteral("--print-set"), set}, user);
  QVERIFY2(printed.exitCode == 0, qPrintable(printed.err));
  const QStringList lines = printed.out.split(u'\n');
  QCOMPARE(lines.mid(3), (QStringList{pictures + "a.jpg", pictures + "b.png", QString()}));

  // Everything the runs wrote is the user's: the catalogue with its rows and the first
  // backup in the per-user folder, the settings in the user's configuration folder.
  const QString folder = home + QStringLiteral("/.local/share/glimmora/");
  QCOMPARE(tbl1Count(folder + QStringLiteral("all1.mdb")), 2);
  QCOMPARE(tbl1Count(folder + QStringLiteral("budb.bdb")), 0);
  for (const char* seeded : {"starterpic.jpg", "User/wiz.txt", "Backup", "images"})
    QVERIFY2(QFileInfo::exists(folder + QLatin1String(seeded)), seeded);
  const QSettings settings(home + QStringLiteral("/.config/glimmora/Glimmora.ini"),
                           QSettings::IniFormat);
  QCOMPARE(settings.value(QStringLiteral("Settings/Database")).toString(),
           folder + QStringLiteral("all1.mdb"));
  // The package registered the file type; the first run adds no registration of its own.
  QVERIFY(!QFileInfo::exists(home + QStringLiteral("/.local/share/mime")));
  QVERIFY(!QFileInfo::exists(home + QStringLiteral("/.local/share/applications")));
  QCOMPARE(listing(prefix_), before);
}

void tst_Install::olderUserFolderIsKept() {
  const QString dataHome = root_.path() + QStringLiteral("/older/xdg");
  const QProcessEnvironment user = freshUser(QStringLiteral("older"), dataHome);
  // An older version's folder: its own catalogue with one picture, no stock pictures.
  const QString folder = dataHome + QStringLiteral("/glimmora/");
  QDir().mkpath(folder + QStringLiteral("User"));
  QVERIFY(QFile::copy(installed(QStringLiteral(GLIMMORA_INSTALL_DATADIR "/glimmora/all1.mdb")),
                      folder + QStringLiteral("all1.mdb")));
  QFile::setPermissions(folder + QStringLiteral("all1.mdb"),
                        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
  const QString pictures = root_.path() + QStringLiteral("/older/pictures/");
  QDir().mkpath(pictures);
  QVERIFY(test::writePicture(pictures + QStringLiteral("c.jpg"), 30, 30));

  const Run added = run(glimmora(), {QStringLiteral("--add-folder"), pictures}, user);
  QVERIFY2(added.exitCode == 0, qPrintable(added.err));
  QCOMPARE(tbl1Count(folder + QStringLiteral("all1.mdb")), 1);
  QVERIFY(!QFileInfo::exists(folder + QStringLiteral("starterpic.jpg")));
}

void tst_Install::unwritableUserFolderEndsWithAMessage() {
  // Root may write anywhere, so the folder is made impossible: its parent is a file.
  const QString file = root_.path() + QStringLiteral("/not-a-folder");
  QVERIFY(test::writeBytes(file, "x"));
  const QProcessEnvironment user = freshUser(QStringLiteral("unwritable"), file);
  const QStringList before = listing(prefix_);
  const Run refused = run(glimmora(), {QStringLiteral("--add-folder"), root_.path()}, user);
  QCOMPARE(refused.exitCode, EX_CANTCREAT);
  QVERIFY2(refused.err.contains(file + QStringLiteral("/glimmora")), qPrintable(refused.err));
  QVERIFY(refused.out.isEmpty());
  QCOMPARE(listing(prefix_), before);
}

void tst_Install::commandLineConventions() {
  // No display anywhere: these answer before the windowing system is needed.
  const QProcessEnvironment user = freshUser(QStringLiteral("options"));
  const QString version = QStringLiteral(GLIMMORA_PROJECT_VERSION);
  Run r = run(glimmora(), {QStringLiteral("--version")}, user);
  QCOMPARE(r.exitCode, 0);
  QCOMPARE(r.out, QStringLiteral("Glimmora ") + version + u'\n');
  r = run(glimmora(), {QStringLiteral("--help")}, user);
  QCOMPARE(r.exitCode, 0);
  QVERIFY(r.out.startsWith(QStringLiteral("Usage: glimmora")));
  r = run(glimmora(), {QStringLiteral("--frobnicate")}, user);
  QCOMPARE(r.exitCode, 2);
  QVERIFY2(r.err.contains(QStringLiteral("unknown option '--frobnicate'")), qPrintable(r.err));
  // None of them made a user folder.
  QVERIFY(!QFileInfo::exists(user.value(QStringLiteral("HOME")) + QStringLiteral("/.local")));

  const QString bin = installed(QStringLiteral(GLIMMORA_INSTALL_BINDIR "/"));
  r = run(bin + QStringLiteral("rastcore3-cli"), {QStringLiteral("--version")}, user);
  QCOMPARE(r.exitCode, 0);
  QCOMPARE(r.out, QStringLiteral("rastcore3-cli ") + version + u'\n');
  r = run(bin + QStringLiteral("rastcore3-cli"), {QStringLiteral("--frobnicate")}, user);
  QCOMPARE(r.exitCode, 2);
  QVERIFY2(r.err.contains(QStringLiteral("unknown option --frobnicate")), qPrintable(r.err));
  r = run(bin + QStringLiteral("rastrel_demo"), {QStringLiteral("--version")}, user);
  QCOMPARE(r.exitCode, 0);
  QCOMPARE(r.out, QStringLiteral("rastrel_demo ") + version + u'\n');
}

void tst_Install::desktopFilesAgree() {
  // The entry opens picture-set files with the installed program and its installed icon.
  const QString share = installed(QStringLiteral(GLIMMORA_INSTALL_DATADIR "/"));
  const QString entry = share + QStringLiteral("applications/com.tarnwick.Glimmora.desktop");
  QCOMPARE(desktopValue(entry, QStringLiteral("Exec")), QStringLiteral("glimmora %f"));
  QCOMPARE(desktopValue(entry, QStringLiteral("MimeType")), association::kMimeType + u';');
  QCOMPARE(desktopValue(entry, QStringLiteral("Icon")), QStringLiteral("com.tarnwick.Glimmora"));

  // The MIME package gives ".qry" the type the first-run registration uses.
  const QString updater = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
  if (updater.isEmpty()) QSKIP("update-mime-database is not installed");
  const QString mime = root_.path() + QStringLiteral("/mime");
  QDir().mkpath(mime + QStringLiteral("/packages"));
  QVERIFY(QFile::copy(share + QStringLiteral("mime/packages/com.tarnwick.Glimmora.xml"),
                      mime + QStringLiteral("/packages/com.tarnwick.Glimmora.xml")));
  QCOMPARE(QProcess::execute(updater, {mime}), 0);
  const QByteArray globs = test::readBytes(mime + QStringLiteral("/globs2"));
  QVERIFY2(globs.contains((association::kMimeType + QStringLiteral(":*.qry")).toUtf8()),
           globs.constData());
  QVERIFY(test::readBytes(mime + QStringLiteral("/generic-icons"))
              .contains((association::kMimeType + QStringLiteral(":image-x-generic")).toUtf8()));
}

QTEST_MAIN(tst_Install)
#include "tst_install.moc"
