// The maintenance routines on real catalogue files.
#include <sys/resource.h>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QtTest>
#include <csignal>
#include <memory>

#include "catalogue/database.h"
#include "catalogue/datacontrol.h"
#include "catalogue/maintenance.h"
#include "catalogue/recordset.h"
#include "catalogue_helpers.h"
#include "support/testenv.h"

using namespace glim::catalogue;
using namespace glim::catalogue::maintenance;
using glim::test::addPictureRow;
using glim::test::readBytes;
using glim::test::tbl1Rows;
using glim::test::TestEnv;

namespace {

// The options window's data view over tbl1 with its two bound boxes.
struct OptionsView {
  DataControl data;
  QLineEdit path;
  QLineEdit status;
  explicit OptionsView(const QString& catalogue) {
    data.bind(&path, QStringLiteral("Pathname"));
    data.bind(&status, QStringLiteral("Status"));
    data.setDatabaseName(catalogue);
    data.setRecordSource(QStringLiteral("tbl1"));
    data.refresh();
  }
};

void seedRows(const QString& catalogue, const QStringList& paths) {
  Database db = Database::open(catalogue);
  QVERIFY(db.beginTransaction());
  std::unique_ptr<Recordset> rs = db.openRecordset(QStringLiteral("tbl1"));
  for (const QString& path : paths) QVERIFY(addPictureRow(*rs, path));
  QVERIFY(db.commit());
}

QStringList generatedPaths(int count, const QString& prefix = QStringLiteral("/nowhere/p")) {
  QStringList paths;
  for (int i = 0; i < count; ++i) paths << prefix + QString::number(i) + QStringLiteral(".jpg");
  return paths;
}

int freePages(const QString& catalogue) {
  return Database::open(catalogue).scalar(QStringLiteral("PRAGMA freelist_count")).toInt();
}

Context contextFor(const TestEnv& env, DataControl* view = nullptr) {
  return Context{env.programFolder(), env.catalogue(), view, {}};
}

// A state of the program folder's catalogue files, to show that nothing was touched.
QMap<QString, QByteArray> snapshot(const TestEnv& env) {
  QMap<QString, QByteArray> files;
  const QDir dir(env.programFolder());
  for (const QString& name : dir.entryList({"*.mdb", "*.bdb"}, QDir::Files))
    files[name] = readBytes(dir.filePath(name));
  return files;
}

}  // namespace

class TestMaintenance : public QObject {
  Q_OBJECT

 private slots:
  void removeMissingExaminesEveryRow();
  void removeMissingSingleRow();
  void repairAndCompactKeepsRows();
  void compactionErrorKeepsRepairedCatalogue();
  void backupAndRestoreRoundTrip();
  void restoreWithoutBackup();
  void replaceWithFreshCatalogue();
  void replaceWithoutFresh();
  void copyFailingMidwayLeavesCatalogue_data();
  void copyFailingMidwayLeavesCatalogue();
  void badInputRefused_data();
  void badInputRefused();
};

void TestMaintenance::removeMissingExaminesEveryRow() {
  TestEnv env;
  const QString here = env.folder(QStringLiteral("pics"));
  for (const char* name : {"b.jpg", "d.png"})
    QVERIFY(glim::test::writePicture(here + '/' + name, 8, 8));
  // The first row's file is gone too: it must be removed like the others.
  seedRows(env.catalogue(), {here + "/a.jpg", here + "/b.jpg", here + "/c'quote.jpg",
                             here + "/d.png", here + "/dir"});
  QDir().mkpath(here + "/dir");                    // a folder is not a picture file
  seedRows(env.catalogue(), generatedPaths(500));  // bulk to compact away
  OptionsView view(env.catalogue());
  int progressCalls = 0;
  Context context = contextFor(env, &view.data);
  int repairSteps = 0;
  context.progress = [&](int, int total) {
    // Every row is examined, then repair and compact reports its three steps.
    if (total == 505) ++progressCalls;
    if (total == 3) ++repairSteps;
  };

  const Result result = run(Operation::RemoveMissing, context);
  QVERIFY2(result.ok(), qPrintable(result.detail));
  QCOMPARE(result.removedRows, 503);
  QCOMPARE(tbl1Rows(env.catalogue()).size(), 2);
  QVERIFY(tbl1Rows(env.catalogue()).at(0).startsWith(here + "/b.jpg|"));
  QVERIFY(tbl1Rows(env.catalogue()).at(1).startsWith(here + "/d.png|"));
  QVERIFY(progressCalls >= 505 / 15);
  QCOMPARE(repairSteps, 3);
  QCOMPARE(freePages(env.catalogue()), 0);  // compacted
  QVERIFY(QFileInfo::exists(tempPath(env.programFolder())));
  QCOMPARE(messageFor(result).text, QStringLiteral("Database has been repaired and compacted."));
  // The view is attached again.
  QCOMPARE(view.data.recordCount(), 2);
  QCOMPARE(view.path.text(), here + "/b.jpg");
}

void TestMaintenance::removeMissingSingleRow() {
  TestEnv env;
  seedRows(env.catalogue(), {"/nowhere/only.jpg"});
  const Result result = removeMissing(contextFor(env));
  QVERIFY(result.ok());
  QCOMPARE(result.removedRows, 1);
  QVERIFY(tbl1Rows(env.catalogue()).isEmpty());
}

void TestMaintenance::repairAndCompactKeepsRows() {
  TestEnv env;
  seedRows(env.catalogue(), generatedPaths(2000));
  QVERIFY(Database::open(env.catalogue())
              .execute(QStringLiteral("DELETE * FROM tbl1 WHERE Pathname > '/nowhere/p5';")));
  const QStringList before = tbl1Rows(env.catalogue());
  QVERIFY(freePages(env.catalogue()) > 0);
  OptionsView view(env.catalogue());

  const Result result = repairAndCompact(contextFor(env, &view.data));
  QVERIFY2(result.ok(), qPrintable(result.detail));
  QCOMPARE(tbl1Rows(env.catalogue()), before);
  QCOMPARE(freePages(env.catalogue()), 0);
  QVERIFY(passesIntegrityCheck(env.catalogue()));
  QCOMPARE(tbl1Rows(tempPath(env.programFolder())), before);  // the copy from before
  QVERIFY(!QFileInfo::exists(compactPath(env.programFolder())));
  QCOMPARE(view.data.recordCount(), before.size());
  QCOMPARE(Database::open(env.catalogue()).scalar("PRAGMA journal_mode").toString(),
           QStringLiteral("wal"));
  const Message message = messageFor(result);
  QCOMPARE(message.title, QStringLiteral("Repair/Compact Completed"));
}

void TestMaintenance::compactionErrorKeepsRepairedCatalogue() {
  TestEnv env;
  seedRows(env.catalogue(), generatedPaths(50));
  const QStringList before = tbl1Rows(env.catalogue());
  // Something that cannot be replaced stands where the compacted file would go.
  QVERIFY(QDir().mkpath(compactPath(env.programFolder()) + QStringLiteral("/keep")));
  OptionsView view(env.catalogue());

  const Result result = repairAndCompact(contextFor(env, &view.data));
  QCOMPARE(result.outcome, Outcome::CompactError);
  QCOMPARE(messageFor(result).text, QStringLiteral("Error compacting database."));
  QCOMPARE(messageFor(result).icon, glim::MsgIcon::None);
  QCOMPARE(tbl1Rows(env.catalogue()), before);
  QCOMPARE(tbl1Rows(tempPath(env.programFolder())), before);
  QCOMPARE(view.data.recordCount(), 50);  // attached again
}

void TestMaintenance::backupAndRestoreRoundTrip() {
  TestEnv env;
  seedRows(env.catalogue(), generatedPaths(300));
  const QStringList saved = tbl1Rows(env.catalogue());
  OptionsView view(env.catalogue());
  const Context context = contextFor(env, &view.data);

  Result result = backup(context);
  QVERIFY2(result.ok(), qPrintable(result.detail));
  QCOMPARE(messageFor(result).text, QStringLiteral("The database has been backed up."));
  QCOMPARE(tbl1Rows(backupPath(env.programFolder())), saved);
  QCOMPARE(view.data.recordCount(), 300);

  QVERIFY(Database::open(env.catalogue()).execute(QStringLiteral("DELETE * FROM tbl1;")));
  seedRows(env.catalogue(), {"/after/backup.jpg"});
  view.data.refresh();
  result = restore(context);
  QVERIFY2(result.ok(), qPrintable(result.detail));
  QCOMPARE(messageFor(result).text, QStringLiteral("Backup has been restored!"));
  QCOMPARE(tbl1Rows(env.catalogue()), saved);
  QCOMPARE(view.data.recordCount(), 300);
  QVERIFY(passesIntegrityCheck(env.catalogue()));
}

void TestMaintenance::restoreWithoutBackup() {
  TestEnv env;
  seedRows(env.catalogue(), {"/a.jpg"});
  OptionsView view(env.catalogue());
  const auto before = snapshot(env);
  const Result result = restore(contextFor(env, &view.data));
  QCOMPARE(result.outcome, Outcome::NoBackup);
  QCOMPARE(messageFor(result).text, QStringLiteral("There is no backup to restore at this time."));
  QCOMPARE(messageFor(result).icon, glim::MsgIcon::None);
  QCOMPARE(snapshot(env), before);
  QCOMPARE(view.data.recordCount(), 1);
}

void TestMaintenance::replaceWithFreshCatalogue() {
  TestEnv env;
  QVERIFY(QFile::copy(env.catalogue(), freshPath(env.programFolder())));
  seedRows(env.catalogue(), generatedPaths(20));
  const QStringList old = tbl1Rows(env.catalogue());
  OptionsView view(env.catalogue());

  // The user's own backup and the copy an earlier fresh start kept today are never replaced.
  QVERIFY(QFile::copy(freshPath(env.programFolder()), backupPath(env.programFolder())));
  seedRows(backupPath(env.programFolder()), {"/users/backup.jpg"});
  const QString earlier = freshStartKeepPath(env.programFolder(), QDate::currentDate());
  QVERIFY(QFile::copy(freshPath(env.programFolder()), earlier));
  seedRows(earlier, {"/earlier/start.jpg"});
  const QStringList earlierRows = tbl1Rows(earlier);
  const QStringList userBackup = tbl1Rows(backupPath(env.programFolder()));
  const QString kept = freshStartKeepPath(env.programFolder(), QDate::currentDate());
  QVERIFY(kept != earlier);

  const Result result = replaceWithFresh(contextFor(env, &view.data));
  QVERIFY2(result.ok(), qPrintable(result.detail));
  QCOMPARE(result.keptAs, kept);
  const Message message = messageFor(result);
  QCOMPARE(message.text, QStringLiteral("Your database has been replaced.\rThe old database was "
                                        "kept as ") +
                             kept + u'.');
  QCOMPARE(message.title, QStringLiteral("Database Replaced"));
  QVERIFY(tbl1Rows(env.catalogue()).isEmpty());
  QCOMPARE(Database::open(env.catalogue()).scalar("SELECT count(*) FROM SetupNew").toInt(), 64);
  QCOMPARE(tbl1Rows(kept), old);  // as the option promises
  QCOMPARE(tbl1Rows(backupPath(env.programFolder())), userBackup);
  QCOMPARE(tbl1Rows(earlier), earlierRows);
  QVERIFY(QFileInfo::exists(freshPath(env.programFolder())));
}

void TestMaintenance::replaceWithoutFresh() {
  TestEnv env;
  seedRows(env.catalogue(), {"/a.jpg"});
  const auto before = snapshot(env);
  const Result result = replaceWithFresh(contextFor(env));
  QCOMPARE(result.outcome, Outcome::FreshMissing);
  QCOMPARE(messageFor(result).text,
           QStringLiteral("Your backup database is missing!  See Website for a new one."));
  QCOMPARE(snapshot(env), before);
}

void TestMaintenance::copyFailingMidwayLeavesCatalogue_data() {
  QTest::addColumn<int>("operation");
  QTest::addColumn<int>("outcome");
  QTest::addColumn<QString>("title");
  QTest::addColumn<QString>("text");
  QTest::newRow("restore") << int(Operation::Restore) << int(Outcome::RestoreError)
                           << "Restore Error"
                           << "There were errors restoring the database.";
  QTest::newRow("replace") << int(Operation::Replace) << int(Outcome::ReplaceError)
                           << "Replace Error"
                           << "There were errors replacing the database.";
  QTest::newRow("backup") << int(Operation::Backup) << int(Outcome::BackupError)
                          << glim::kProgramTitle
                          << "The database could not be backed up. The previous backup has "
                             "been kept.";
  QTest::newRow("repair") << int(Operation::RepairCompact) << int(Outcome::CompactError)
                          << glim::kProgramTitle << "Error compacting database.";
}

void TestMaintenance::copyFailingMidwayLeavesCatalogue() {
  QFETCH(int, operation);
  QFETCH(int, outcome);
  QFETCH(QString, title);
  QFETCH(QString, text);
  TestEnv env;
  // Large source files for every copy, a small catalogue to be replaced.
  const QString big = env.folder(QStringLiteral("big")) + QStringLiteral("/big.mdb");
  QVERIFY(QFile::copy(env.catalogue(), big));
  seedRows(big, generatedPaths(6000, QStringLiteral("/a/rather/long/folder/name/picture")));
  QVERIFY(QFileInfo(big).size() > 512 * 1024);
  if (operation != int(Operation::Restore)) {
    QVERIFY(QFile::copy(big, backupPath(env.programFolder())));
    QVERIFY(QFile::copy(env.catalogue(), freshPath(env.programFolder())));
  }
  if (operation == int(Operation::Restore))
    QVERIFY(QFile::copy(big, backupPath(env.programFolder())));
  if (operation == int(Operation::Replace)) {
    QFile::remove(freshPath(env.programFolder()));
    QVERIFY(QFile::copy(big, freshPath(env.programFolder())));
  }
  if (operation == int(Operation::Backup) || operation == int(Operation::RepairCompact)) {
    QFile::remove(env.catalogue());
    QVERIFY(QFile::copy(big, env.catalogue()));
  }
  seedRows(env.catalogue(), {"/current/only.jpg"});
  OptionsView view(env.catalogue());
  const QStringList before = tbl1Rows(env.catalogue());
  const QStringList backupBefore = tbl1Rows(backupPath(env.programFolder()));

  // The disk fills up midway: no file may grow past 256 KiB while the operation runs.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit limited = saved;
  limited.rlim_cur = 256 * 1024;
  QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const Result result = run(Operation(operation), contextFor(env, &view.data));
  setrlimit(RLIMIT_FSIZE, &saved);

  QCOMPARE(int(result.outcome), outcome);
  QCOMPARE(messageFor(result).title, title);
  QCOMPARE(messageFor(result).text, text);
  QCOMPARE(tbl1Rows(env.catalogue()), before);
  QVERIFY(passesIntegrityCheck(env.catalogue()));
  if (operation != int(Operation::Replace))
    QCOMPARE(tbl1Rows(backupPath(env.programFolder())), backupBefore);
  // The window stays usable: its view is attached again.
  QCOMPARE(view.data.recordCount(), before.size());
  const QStringList leftovers =
      QDir(env.programFolder()).entryList({"*.part", "*.part-*"}, QDir::Files);
  QVERIFY2(leftovers.isEmpty(), qPrintable(leftovers.join(',')));
}

void TestMaintenance::badInputRefused_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<int>("operation");
  QTest::addColumn<int>("outcome");
  const QList<std::pair<const char*, Operation>> ops = {{"remove", Operation::RemoveMissing},
                                                        {"repair", Operation::RepairCompact},
                                                        {"backup", Operation::Backup}};
  for (const auto& [name, op] : ops) {
    QTest::addRow("folder, %s", name) << "folder" << int(op) << int(Outcome::DatabaseMissing);
    QTest::addRow("missing, %s", name) << "missing" << int(op) << int(Outcome::DatabaseMissing);
    QTest::addRow("damaged, %s", name) << "damaged" << int(op) << int(Outcome::DatabaseDamaged);
  }
  QTest::newRow("read-only, repair")
      << "readonly" << int(Operation::RepairCompact) << int(Outcome::DatabaseReadOnly);
  QTest::newRow("read-only, restore")
      << "readonly" << int(Operation::Restore) << int(Outcome::DatabaseReadOnly);
  QTest::newRow("read-only, replace")
      << "readonly" << int(Operation::Replace) << int(Outcome::DatabaseReadOnly);
  QTest::newRow("folder, restore")
      << "folder" << int(Operation::Restore) << int(Outcome::RestoreError);
  QTest::newRow("folder, replace")
      << "folder" << int(Operation::Replace) << int(Outcome::ReplaceError);
  QTest::newRow("backup not a catalogue")
      << "bad backup" << int(Operation::Restore) << int(Outcome::BackupNotCatalogue);
  QTest::newRow("fresh not a catalogue")
      << "bad fresh" << int(Operation::Replace) << int(Outcome::FreshNotCatalogue);
}

void TestMaintenance::badInputRefused() {
  QFETCH(QString, kind);
  QFETCH(int, operation);
  QFETCH(int, outcome);
  TestEnv env;
  seedRows(env.catalogue(), {"/nowhere/a.jpg"});
  QVERIFY(QFile::copy(env.catalogue(), backupPath(env.programFolder())));
  QVERIFY(QFile::copy(env.catalogue(), freshPath(env.programFolder())));
  Context context = contextFor(env);
  if (kind == QLatin1String("folder")) {
    context.databasePath = env.folder(QStringLiteral("afolder.mdb"));
  } else if (kind == QLatin1String("missing")) {
    context.databasePath = env.programFolder() + QStringLiteral("gone.mdb");
  } else if (kind == QLatin1String("damaged")) {
    QByteArray bytes = readBytes(env.catalogue());
    for (qsizetype i = 0; i < 100; ++i) bytes[i] = char(0xA5);  // the header is gone
    QVERIFY(glim::test::writeBytes(env.catalogue(), bytes));
  } else if (kind == QLatin1String("readonly")) {
    QVERIFY(QFile::setPermissions(env.catalogue(), QFile::ReadOwner | QFile::ReadGroup));
  } else if (kind == QLatin1String("bad backup")) {
    QVERIFY(glim::test::writeBytes(backupPath(env.programFolder()), "not a catalogue"));
  } else if (kind == QLatin1String("bad fresh")) {
    QVERIFY(glim::test::writeBytes(freshPath(env.programFolder()), QByteArray(4096, '\0')));
  }
  const auto before = snapshot(env);
  const Result result = run(Operation(operation), context);
  QCOMPARE(int(result.outcome), outcome);
  QVERIFY(!messageFor(result).text.isEmpty());
  QCOMPARE(snapshot(env), before);
  if (kind == QLatin1String("folder")) QVERIFY(QFileInfo(context.databasePath).isDir());
  if (kind == QLatin1String("missing")) QVERIFY(!QFileInfo::exists(context.databasePath));
}

QTEST_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
