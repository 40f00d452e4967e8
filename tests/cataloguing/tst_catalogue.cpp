// The add loop and the folder captions against a real catalogue file.
#include <QtTest>

#include <QDir>
#include <QFile>

#include "base/settings.h"
#include "catalogue/database.h"
#include "catalogue/recordset.h"
#include "cataloguing/foldercaptions.h"
#include "cataloguing/pictureadder.h"
#include "support/testenv.h"

using namespace glim;
using namespace glim::cataloguing;

namespace {

QStringList makePictures(const QString& folder, const QStringList& names) {
  QStringList paths;
  for (const QString& name : names) {
    const QString path = folder + '/' + name;
    if (!test::writePicture(path, 16, 12)) return {};
    paths << path;
  }
  return paths;
}

int rowCount(catalogue::Database& db, const QString& where = "1 = 1") {
  return db.scalar("SELECT COUNT(*) FROM tbl1 WHERE " + where).toInt();
}

}  // namespace

class TestCatalogue : public QObject {
  Q_OBJECT

 private slots:
  void addCounts_data() {
    QTest::addColumn<int>("alreadyListed");
    QTest::addColumn<int>("files");
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("known");
    QTest::newRow("all new") << 0 << 3 << 3 << 0;
    QTest::newRow("all known") << 3 << 3 << 0 << 3;
    QTest::newRow("some known") << 1 << 3 << 2 << 1;
    QTest::newRow("empty folder") << 0 << 0 << 0 << 0;
  }
  void addCounts() {
    QFETCH(int, alreadyListed);
    QFETCH(int, files);
    QFETCH(int, added);
    QFETCH(int, known);
    test::TestEnv env;
    const QStringList all = makePictures(env.folder("pics"), {"a.jpg", "b.jpg", "c.jpg"});
    auto db = catalogue::Database::open(env.catalogue());
    QVERIFY(db.isOpen());
    PictureAdder first(db);
    QCOMPARE(first.add(all.mid(0, alreadyListed)).added, alreadyListed);

    PictureAdder adder(db);
    adder.setNextId(PictureAdder::nextIdFromCatalogue(db));
    const AddResult result = adder.add(all.mid(0, files));
    QCOMPARE(result.added, added);
    QCOMPARE(result.known, known);
    QCOMPARE(result.unreadable, 0);
    QVERIFY(result.error.isEmpty());
    QCOMPARE(rowCount(db), qMax(alreadyListed, files));
    QCOMPARE(addedMessage(result.added, files - result.added),
             QString("%1 files were added to the database.\r%2 files were already listed in "
                     "the database.")
                 .arg(added)
                 .arg(files - added));
  }

  void storedFields() {
    test::TestEnv env;
    const QStringList paths =
        makePictures(env.folder("odd names"), {"Photo.JPG", "a.jpeg", "it's  é ü.png"});
    auto db = catalogue::Database::open(env.catalogue());
    PictureAdder adder(db);
    adder.setNextId(41);
    adder.setTheme(7);
    adder.setToday(QDate(2024, 2, 29));
    QCOMPARE(adder.add(paths).added, 3);
    QCOMPARE(adder.nextId(), 44);
    auto rows = db.openRecordset("SELECT * FROM tbl1 ORDER BY IDNumber");
    QVERIFY(rows);
    QStringList extensions;
    for (rows->moveFirst(); !rows->eof(); rows->moveNext()) {
      extensions << rows->value("Extension").toString();
      QCOMPARE(rows->value("Class1").toInt(), 7);
      QCOMPARE(rows->value("NewFile").toInt(), 1);
      QCOMPARE(rows->value("DateAddedToDB").toDate(), QDate(2024, 2, 29));
      const QFileInfo info(rows->value("Pathname").toString());
      QVERIFY(info.exists());
      QCOMPARE(rows->value("Filesize").toLongLong(), info.size());
      QCOMPARE(rows->value("FileCreationDate").toDate(), info.lastModified().date());
    }
    QCOMPARE(extensions, QStringList({"jpg", "peg", "png"}));
    QCOMPARE(db.scalar("SELECT MIN(IDNumber) FROM tbl1").toInt(), 41);
  }

  // A refused file does not consume an ID number; a vanished one is counted as unreadable.
  void refusedFilesKeepNumbering() {
    test::TestEnv env;
    QStringList paths = makePictures(env.folder("p"), {"1.jpg", "2.jpg", "3.jpg"});
    auto db = catalogue::Database::open(env.catalogue());
    PictureAdder(db).add({paths[1]});
    QVERIFY(QFile::remove(paths[2]));
    paths << env.folder("p") + "/4.jpg";
    QVERIFY(test::writePicture(paths.last(), 4, 4));
    PictureAdder adder(db);
    adder.setNextId(10);
    const AddResult result = adder.add(paths);
    QCOMPARE(result.added, 2);
    QCOMPARE(result.known, 1);
    QCOMPARE(result.unreadable, 1);
    QCOMPARE(db.scalar("SELECT IDNumber FROM tbl1 WHERE Pathname = ?", {paths[3]}).toInt(), 11);
  }

  void nextIdNumber_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("next");
    QTest::newRow("empty table") << "DELETE FROM tbl1" << 1;
    QTest::newRow("last row in table order")
        << "INSERT INTO tbl1 (IDNumber, Pathname) VALUES (90, '/x'), (12, '/y')" << 13;
    QTest::newRow("starter row numbered 0")
        << "INSERT INTO tbl1 (Pathname) VALUES ('/starterpic.jpg')" << 1;
  }
  void nextIdNumber() {
    QFETCH(QString, setup);
    QFETCH(int, next);
    test::TestEnv env;
    auto db = catalogue::Database::open(env.catalogue());
    QVERIFY(db.execute(setup));
    QCOMPARE(PictureAdder::nextIdFromCatalogue(db), next);
  }

  // A catalogue that refuses writes ends the run with an error, not with "already listed".
  void readOnlyCatalogueReportsError() {
    test::TestEnv env;
    const QStringList paths = makePictures(env.folder("p"), {"1.jpg", "2.jpg"});
    auto db = catalogue::Database::open(env.catalogue());
    QVERIFY(db.execute("PRAGMA query_only = ON"));
    const AddResult result = PictureAdder(db).add(paths);
    QCOMPARE(result.added, 0);
    QVERIFY(!result.error.isEmpty());
    QVERIFY(db.execute("PRAGMA query_only = OFF"));
    QCOMPARE(rowCount(db), 0);
  }

  void stoppedRunKeepsWhatWasStored() {
    test::TestEnv env;
    QStringList names;
    for (int i = 0; i < 600; ++i) names << QString("%1.jpg").arg(i);
    const QString folder = env.folder("many");
    QStringList paths;
    for (const QString& n : names) {
      test::writeBytes(folder + '/' + n, "x");
      paths << folder + '/' + n;
    }
    auto db = catalogue::Database::open(env.catalogue());
    const AddResult result = PictureAdder(db).add(paths, [](int done, int) { return done < 500; });
    QCOMPARE(result.added, 500);
    QCOMPARE(result.notReached, 100);
    QCOMPARE(rowCount(db), 500);
  }

  void removeExactlyThesePaths() {
    test::TestEnv env;
    const QStringList paths = makePictures(env.folder("r"), {"O'Brien.jpg", "plain.jpg", "x.jpg"});
    auto db = catalogue::Database::open(env.catalogue());
    PictureAdder(db).add(paths);
    QCOMPARE(removePictures(db, {paths[0], paths[1], env.folder("r") + "/never.jpg"}), 2);
    QCOMPARE(rowCount(db), 1);
    QCOMPARE(db.scalar("SELECT Pathname FROM tbl1").toString(), paths[2]);
    QCOMPARE(removePictures(db, {paths[0]}), 0);
  }

  void freshSettingsStoreMainCaptions() {
    test::TestEnv env;
    settings::write(settings::kSettings, "MainPath4", "Holidays");
    const QStringList captions = loadMainCaptions();
    QCOMPARE(captions, QStringList({"MainPath1", "MainPath2", "MainPath3", "Holidays", "MainPath5",
                                    "MainPath6", "MainPath7"}));
    QCOMPARE(settings::read(settings::kSettings, "MainPath2"), QStringLiteral("MainPath2"));
    QCOMPARE(loadThemeNames().at(14), QStringLiteral("Theme15"));
    QCOMPARE(loadRatingNames().at(0), QStringLiteral("Rating1"));
  }

  void unsetPathsPointAtImagesOnce() {
    test::TestEnv env;
    auto db = catalogue::Database::open(env.catalogue());
    const QString images = env.programFolder() + "images/";
    QVERIFY(db.execute("UPDATE SetupNew SET SubPathPath = '/kept/' WHERE IDP = 5"));
    QVERIFY(pointUnsetPathsOnce(db, images));
    QCOMPARE(settings::read(settings::kSettings, "PathsSet"), QStringLiteral("True"));
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM SetupNew WHERE SubPathPath = ?", {images}).toInt(),
             63);  // 62 slots and the first row
    QCOMPARE(db.scalar("SELECT SubPathPath FROM SetupNew WHERE IDP = 5").toString(),
             QStringLiteral("/kept/"));
    QVERIFY(db.execute("UPDATE SetupNew SET SubPathPath = 'None' WHERE IDP = 9"));
    QVERIFY(pointUnsetPathsOnce(db, images));  // the second load changes nothing
    QCOMPARE(db.scalar("SELECT SubPathPath FROM SetupNew WHERE IDP = 9").toString(),
             QStringLiteral("None"));
  }

  void failedPathUpdateRunsAgain() {
    test::TestEnv env;
    catalogue::Database closed;
    QVERIFY(!pointUnsetPathsOnce(closed, "/x/"));
    QVERIFY(!settings::contains(settings::kApp, settings::kSettings, "PathsSet"));
  }

  void renameKeepsSubFolders_data() {
    QTest::addColumn<bool>("scrambled");
    QTest::newRow("rows grouped") << false;
    QTest::newRow("rows not grouped") << true;
  }
  void renameKeepsSubFolders() {
    QFETCH(bool, scrambled);
    test::TestEnv env;
    auto db = catalogue::Database::open(env.catalogue());
    if (scrambled) {  // rebuild the table with the slot rows in reverse order
      QVERIFY(db.execute("CREATE TABLE t AS SELECT * FROM SetupNew ORDER BY IDP DESC"));
      QVERIFY(db.execute("DELETE FROM SetupNew"));
      QVERIFY(db.execute("INSERT INTO SetupNew SELECT * FROM t"));
    }
    QVERIFY(db.execute("UPDATE SetupNew SET SubPathCaption = 'Kept' WHERE IDP = 12"));
    QCOMPARE(renameMainCaptionRows(db, "MainPath2", "Holiday's"), RenameOutcome::Renamed);
    const auto subs = subFolders(db, "Holiday's");
    QVERIFY(subs);
    QCOMPARE(subs->size(), 9);
    QCOMPARE(subs->at(0).index, 1);
    QCOMPARE(subs->at(2).caption, QStringLiteral("Kept"));
    QVERIFY(!subFolders(db, "MainPath2"));
    QCOMPARE(subFolders(db, "MainPath3")->size(), 9);
    QCOMPARE(renameMainCaptionRows(db, "Nowhere", "X"), RenameOutcome::NotFound);
    QVERIFY(!subFolders(db, "NNNN"));
  }

  void duplicateCaption_data() {
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<bool>("duplicate");
    QTest::newRow("another's caption") << 0 << "Travel" << true;
    QTest::newRow("differs only in case") << 0 << "travel" << true;
    QTest::newRow("its own caption") << 1 << "Travel" << false;
    QTest::newRow("new caption") << 0 << "Work" << false;
    QTest::newRow("the first row's marker") << 0 << "NNNN" << true;
  }
  void duplicateCaption() {
    QFETCH(int, selected);
    QFETCH(QString, wanted);
    QFETCH(bool, duplicate);
    QCOMPARE(isDuplicateCaption({"Family", "Travel", "MainPath3"}, selected, wanted), duplicate);
  }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
