// Adding pictures to a catalogue that cannot take them: damage, another program's write lock,
// a file-size limit, names that are not UTF-8. Each run reports the first cause in words and
// leaves the catalogue as it was.
#include <QtTest>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <csignal>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/forms.h"
#include "catalogue/database.h"
#include "cataloguing/commandline.h"
#include "cataloguing/frmAddDirsToDB.h"
#include "cataloguing/frmScanDrive.h"
#include "cataloguing/pictureadder.h"
#include "cataloguing/pictureentry.h"
#include "support/testenv.h"

using namespace glim;
using namespace glim::cataloguing;
using catalogue::Database;
using catalogue::DbError;

namespace {

QStringList emptyFiles(const QString& folder, int count, const QString& prefix = "p") {
  QStringList paths;
  for (int i = 0; i < count; ++i) {
    const QString path = folder + QStringLiteral("/%1%2.jpg").arg(prefix).arg(i, 5, 10, QChar('0'));
    test::writeBytes(path, "x");
    paths << path;
  }
  return paths;
}

int rowCount(const QString& catalogue) {
  auto db = Database::open(catalogue);
  return db.scalar("SELECT COUNT(*) FROM tbl1").toInt();
}

// A catalogue of 400 rows, closed so that the whole of it is in the main file.
void fillCatalogue(const test::TestEnv& env) {
  auto db = Database::open(env.catalogue());
  PictureAdder adder(db);
  QCOMPARE(adder.add(emptyFiles(env.folder("old"), 400, "old")).added, 400);
}

void damage(const QString& file, const QString& how) {
  QFile f(file);
  QVERIFY(f.open(QIODevice::ReadWrite));
  const qint64 size = f.size();
  if (how == "truncated") {
    QVERIFY(f.resize(size - 2048));
    return;
  }
  // Every bit of one data page in the middle of the file inverted.
  const qint64 page = (size / 4096 / 2) * 4096;
  f.seek(page);
  QByteArray bytes = f.read(4096);
  for (char& c : bytes) c = char(~c);
  f.seek(page);
  f.write(bytes);
}

struct Run {
  int code;
  QString out;
  QString err;
};

Run runCommand(const QStringList& args) {
  QString out, err;
  QTextStream o(&out), e(&err);
  const int code = runCommandLine(args, o, e);
  return {code, out, err};
}

}  // namespace

class TestAddErrors : public QObject {
  Q_OBJECT

 private slots:
  void damagedCatalogueIsNotWritten_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("truncated by 2 KB") << "truncated";
    QTest::newRow("flipped data page") << "flipped";
  }
  void damagedCatalogueIsNotWritten() {
    QFETCH(QString, how);
    test::TestEnv env;
    fillCatalogue(env);
    damage(env.catalogue(), how);
    const QByteArray before = test::readBytes(env.catalogue());

    appState().DatabasePath = env.catalogue();
    const QString folder = env.folder("new");
    emptyFiles(folder, 5, "new");
    const Run run = runCommand({"--add-folder", folder});
    QCOMPARE(run.code, 1);
    QVERIFY2(run.err.contains(env.catalogue() + " is damaged"), qPrintable(run.err));
    QVERIFY(run.err.contains("Repair and compact the database"));
    QVERIFY(run.out.startsWith("0 files were added to the database."));
    // Not one byte written, so no second row with a used IDNumber.
    QCOMPARE(test::readBytes(env.catalogue()), before);

    auto db = Database::open(env.catalogue());
    QVERIFY(!db.checkIntact());
    QCOMPARE(db.lastErrorKind(), DbError::Damaged);
    QCOMPARE(removePictures(db, {env.folder("old") + "/old00001.jpg"}), 0);
    db.close();
    QCOMPARE(test::readBytes(env.catalogue()), before);
  }

  // The add screen names the damage when it opens and refuses to write, saying why.
  void addScreenShowsDamage() {
    test::TestEnv env;
    ScriptedDialogs dialogs;
    fillCatalogue(env);
    damage(env.catalogue(), "truncated");
    const QByteArray before = test::readBytes(env.catalogue());
    appState().DatabasePath = env.catalogue();
    const QString folder = env.folder("new") + '/';
    QVERIFY(test::writePicture(folder + "a.jpg", 8, 8));

    QPointer<frmAddDirsToDB> form = forms::get<frmAddDirsToDB>();
    form->dtaAdd().settleDamageCheck();
    QVERIFY(
        form->lblStatus()->text().startsWith("The catalogue " + env.catalogue() + " is damaged"));
    form->chooseFolder(folder);
    form->cmdAddFiles_Click();
    QCOMPARE(dialogs.messages().size(), 2);
    QCOMPARE(dialogs.messages().at(0).icon, MsgIcon::Critical);
    QCOMPARE(dialogs.messages().at(0).text,
             "The catalogue " + env.catalogue() +
                 " is damaged, so nothing was written to it.\rRepair it with \"Repair and "
                 "compact the database\" on the Database tab of the Options.\rNo pictures were "
                 "added.");
    QCOMPARE(dialogs.messages().at(1).text,
             QString("0 files were added to the database.\r0 files were already listed in the "
                     "database.\r1 files were not added because adding stopped."));
    QVERIFY(form->cmdAddFiles()->isEnabled());
    form->close();
    delete form.data();
    QCOMPARE(test::readBytes(env.catalogue()), before);
  }

  void intactCatalogueStillTakesPictures() {
    test::TestEnv env;
    fillCatalogue(env);
    auto db = Database::open(env.catalogue());
    QVERIFY(db.checkIntact());
    PictureAdder adder(db);
    adder.setNextId(PictureAdder::nextIdFromCatalogue(db));
    const AddResult result = adder.add(emptyFiles(env.folder("more"), 3, "more"));
    QCOMPARE(result.added, 3);
    QVERIFY(!result.failed());
    QCOMPARE(db.scalar("SELECT COUNT(DISTINCT IDNumber) FROM tbl1").toInt(), 403);
  }

  // Another program holds the write lock: the message names that, with nothing written; not
  // "Error 14" (cannot open), and not the text of a rollback that was never needed.
  void heldWriteLockIsNamed() {
    test::TestEnv env;
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(env.catalogue()).constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other,
                          "BEGIN IMMEDIATE; INSERT INTO tbl1 (IDNumber, Pathname) "
                          "VALUES (99, '/held.jpg')",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);

    auto db = Database::open(env.catalogue());
    PictureAdder adder(db);
    const AddResult result = adder.add(emptyFiles(env.folder("p"), 4));
    QCOMPARE(result.errorKind, DbError::Busy);
    QCOMPARE(result.added, 0);
    QCOMPARE(result.notReached, 4);
    const QString message = catalogueErrorMessage(result);
    QVERIFY2(message.contains("is in use by another program"), qPrintable(message));
    QVERIFY(message.endsWith("No pictures were added."));
    QVERIFY(!message.contains("Error"));
    QVERIFY(!message.contains("rollback"));

    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    QCOMPARE(rowCount(env.catalogue()), 0);
  }

  // A write refused part-way (here by a file-size limit) rolls the run back and reports that
  // write's cause, never the text of the rollback that followed.
  void failedWriteReportsItsOwnCause() {
    test::TestEnv env;
    const QStringList paths = emptyFiles(env.folder("many"), 3000);
    auto db = Database::open(env.catalogue());
    PictureAdder adder(db);

    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(QFileInfo(env.catalogue()).size() + 64 * 1024);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const AddResult result = adder.add(paths);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(result.errorKind, DbError::TooLarge);
    QCOMPARE(result.added, 0);
    QCOMPARE(result.notReached, 3000);
    QVERIFY(!result.error.contains("rollback"));
    QVERIFY(catalogueErrorMessage(result).contains("largest file size"));
    QVERIFY(!db.inTransaction());
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM tbl1").toInt(), 0);
    QVERIFY(db.checkIntact());
    // The same adder works once the limit is gone.
    QCOMPARE(adder.add(paths.mid(0, 10)).added, 10);
  }

  // The real program under a file-size limit: the signal would end it without a word.
  void programReportsFileSizeLimit() {
    test::TestEnv env;
    const QString program = env.installProgram();
    const QString folder = env.folder("many");
    emptyFiles(folder, 3000);
    const qint64 limit = QFileInfo(env.catalogue()).size() + 64 * 1024;
    const QByteArray before = test::readBytes(env.catalogue());

    QProcess process;
    process.setChildProcessModifier([limit] {
      rlimit small{rlim_t(limit), rlim_t(limit)};
      setrlimit(RLIMIT_FSIZE, &small);
    });
    process.start(program, {"--add-folder", folder});
    QVERIFY(process.waitForFinished(-1));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.contains("has reached the largest file size"), qPrintable(err));
    QVERIFY(err.contains("No pictures were added."));
    QVERIFY(QString::fromUtf8(process.readAllStandardOutput())
                .contains("3000 files were not added because adding stopped."));
    QCOMPARE(rowCount(env.catalogue()), 0);
    auto db = Database::open(env.catalogue());
    QVERIFY(db.checkIntact());
  }

  // A catalogue that cannot be opened is named in the status lines of the add screen and the
  // drive scan in plain words, never the database library's text.
  void statusLinesSayWhyTheCatalogueCannotBeOpened_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("start");
    QTest::newRow("not a catalogue") << QByteArray(8192, 'x') << "The catalogue %1 is damaged";
    QTest::newRow("missing") << QByteArray() << "Database %1 does not exist.";
  }
  void statusLinesSayWhyTheCatalogueCannotBeOpened() {
    QFETCH(QByteArray, contents);
    QFETCH(QString, start);
    test::TestEnv env;
    const QString catalogue = env.folder("other") + "/all1.mdb";
    if (!contents.isEmpty()) QVERIFY(test::writeBytes(catalogue, contents));
    appState().DatabasePath = catalogue;
    QPointer<frmAddDirsToDB> add = forms::get<frmAddDirsToDB>();
    QPointer<frmScanDrive> scan = forms::get<frmScanDrive>();
    for (const QString& status : {add->lblStatus()->text(), scan->Picture1()->text()}) {
      QVERIFY2(status.startsWith(start.arg(catalogue)), qPrintable(status));
      QVERIFY(!status.contains("not a database", Qt::CaseInsensitive));
      QVERIFY(!status.contains("Glimmora catalogue"));
    }
    add->close();
    scan->close();
    delete add.data();
    delete scan.data();
    if (!contents.isEmpty()) QCOMPARE(test::readBytes(catalogue), contents);
  }

  // A disk that fills up part-way through an add (the catalogue may not grow by a page): the
  // add screen says so in plain words, stores none of the run's rows, and the catalogue stays
  // whole and usable.
  void diskFullDuringAnAdd() {
    test::TestEnv env;
    ScriptedDialogs dialogs;
    fillCatalogue(env);
    appState().DatabasePath = env.catalogue();
    const QString folder = env.folder("new") + '/';
    emptyFiles(folder, 600, "new");
    QPointer<frmAddDirsToDB> form = forms::get<frmAddDirsToDB>();
    form->chooseFolder(folder);
    // The file may not grow beyond the pages it has: every new page fails as on a full disk.
    catalogue::Database db = form->dtaAdd().database();
    const int pages = db.scalar("PRAGMA page_count").toInt();
    QVERIFY(pages > 1);
    QCOMPARE(db.scalar(QString("PRAGMA max_page_count = %1").arg(pages)).toInt(), pages);
    form->cmdAddFiles_Click();

    QCOMPARE(dialogs.messages().size(), 2);
    QCOMPARE(dialogs.messages().at(0).icon, MsgIcon::Critical);
    QCOMPARE(dialogs.messages().at(0).text,
             "The disk is full, so the catalogue " + env.catalogue() +
                 " cannot grow.\rFree some space and try again.\rNo pictures were added.");
    QVERIFY(dialogs.messages().at(1).text.startsWith("0 files were added to the database."));
    QVERIFY(
        dialogs.messages().at(1).text.contains("600 files were not added because adding "
                                               "stopped."));
    QVERIFY(form->cmdAddFiles()->isEnabled());
    form->close();
    delete form.data();
    db.close();

    auto after = Database::open(env.catalogue());
    QVERIFY(after.checkIntact());
    QCOMPARE(after.scalar("SELECT COUNT(*) FROM tbl1").toInt(), 400);
    QCOMPARE(after.scalar("SELECT COUNT(DISTINCT IDNumber) FROM tbl1").toInt(), 400);
    // Room again: the same folder goes in.
    PictureAdder adder(after);
    adder.setNextId(PictureAdder::nextIdFromCatalogue(after));
    QStringList paths;
    for (const QString& name : folderPictures(folder, "*.jpg")) paths << folder + name;
    QCOMPARE(adder.add(paths).added, 600);
  }

  // Names that are not UTF-8 are left out of an add from the add screen, and its message
  // counts them with the reason.
  void addScreenCountsNamesItCannotStore() {
    test::TestEnv env;
    ScriptedDialogs dialogs;
    appState().DatabasePath = env.catalogue();
    const QString folder = env.folder("mixed");
    QVERIFY(test::writePicture(folder + "/good.jpg", 4, 4));
    const QByteArray latin1Name = QFile::encodeName(folder) + "/caf\xe9.jpg";
    const int fd = ::open(latin1Name.constData(), O_CREAT | O_WRONLY, 0644);
    QVERIFY(fd >= 0);
    ::close(fd);
    QPointer<frmAddDirsToDB> form = forms::get<frmAddDirsToDB>();
    form->chooseFolder(folder + '/');
    form->cmdAddFiles_Click();
    QCOMPARE(dialogs.messages().size(), 1);
    QCOMPARE(dialogs.lastText(),
             QString("1 files were added to the database.\r0 files were already listed in the "
                     "database.\r1 files were left out because their names are not UTF-8 text, "
                     "which the catalogue needs; rename them to add them."));
    form->close();
    delete form.data();
    QCOMPARE(rowCount(env.catalogue()), 1);
    QCOMPARE(::unlink(latin1Name.constData()), 0);
  }

  // Qt cannot carry a name that is not UTF-8 through a QString and back, so such a file is
  // left out and the count says why, apart from files that could not be read.
  void nonUtf8NamesAreCountedWithTheirReason() {
    test::TestEnv env;
    const QString folder = env.folder("mixed");
    QVERIFY(test::writePicture(folder + "/good.jpg", 4, 4));
    const QByteArray latin1Name = QFile::encodeName(folder) + "/caf\xe9.jpg";
    const int fd = ::open(latin1Name.constData(), O_CREAT | O_WRONLY, 0644);
    QVERIFY(fd >= 0);
    ::close(fd);

    auto db = Database::open(env.catalogue());
    QStringList paths;
    for (const QString& name : folderPictures(folder + '/', "*.jpg")) paths << folder + '/' + name;
    QCOMPARE(paths.size(), 2);
    const AddResult result = PictureAdder(db).add(paths);
    QCOMPARE(result.added, 1);
    QCOMPARE(result.badNames, 1);
    QCOMPARE(result.unreadable, 0);
    QVERIFY(countsMessage(result).contains(
        "1 files were left out because their names are not UTF-8 text"));
    QCOMPARE(db.scalar("SELECT Pathname FROM tbl1").toString(), folder + "/good.jpg");
    // The file itself is untouched; Qt cannot name it, so the test removes it itself.
    QVERIFY(::access(latin1Name.constData(), F_OK) == 0);
    QCOMPARE(::unlink(latin1Name.constData()), 0);
  }
};

QTEST_MAIN(TestAddErrors)
#include "tst_adderrors.moc"
