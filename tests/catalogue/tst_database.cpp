// The Jet translator, the Database and the Recordset against real catalogue files.
#include <sqlite3.h>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QtTest>
#include <memory>

#include "base/textnum.h"
#include "catalogue/database.h"
#include "catalogue/jetsql.h"
#include "catalogue/recordset.h"
#include "catalogue_helpers.h"
#include "support/testenv.h"

using namespace glim::catalogue;
using glim::test::addPictureRow;
using glim::test::TestEnv;

namespace {

const QString kQuotePath = QStringLiteral("/pics/O'Neil's.gif");

QString themeClause(int n) {
  QStringList terms;
  for (int j = 1; j <= 7; ++j) terms << QStringLiteral("Class%1 = %2").arg(j).arg(n);
  return terms.join(QStringLiteral(" OR "));
}

// Four pictures whose fields separate the query builder's criteria (names a..d).
void seedPictures(Database& db) {
  const QDate today = QDate::currentDate();
  QVERIFY(addPictureRow(db, QStringLiteral("/pics/a.jpg"),
                        {{"Filesize", 200000},
                         {"OverallRating", 4},
                         {"Width", 800},
                         {"Height", 600},
                         {"WidthHeightRatio", 1.333},
                         {"Colors", 300},
                         {"FileCreationDate", QDate(2021, 3, 4)},
                         {"Class1", 3},
                         {"Class2", 5}}));
  QVERIFY(addPictureRow(db, QStringLiteral("/pics/b.png"),
                        {{"Filesize", 50000},
                         {"OverallRating", 5},
                         {"Width", 640},
                         {"Height", 100},
                         {"WidthHeightRatio", 6.4},
                         {"BannerSize", 1},
                         {"SPAM", 1},
                         {"NewFile", 0},
                         {"Colors", 100},
                         {"FileCreationDate", QDate(2019, 12, 31)},
                         {"DateAddedToDB", QDate(2025, 6, 1)},
                         {"DateLastViewed", QDate(2026, 1, 10)},
                         {"Class1", 3}}));
  QVERIFY(addPictureRow(db, kQuotePath,
                        {{"Filesize", 300000},
                         {"OverallRating", 2},
                         {"FileERROR", -6},
                         {"NewFile", 0},
                         {"Width", 1024},
                         {"Height", 768},
                         {"WidthHeightRatio", 1.333},
                         {"Colors", 256},
                         {"FileCreationDate", QStringLiteral("02/29/2020")},
                         {"DateAddedToDB", today},
                         {"DateLastViewed", QDate(2026, 12, 1)},
                         {"Class3", 5}}));
  QVERIFY(addPictureRow(db, QStringLiteral("/pics/d.TIF"),
                        {{"Filesize", 102400},
                         {"OverallRating", 3},
                         {"Width", 3000},
                         {"Height", 1000},
                         {"WidthHeightRatio", 3.0},
                         {"BannerSize", 1},
                         {"Colors", 16777216},
                         {"FileCreationDate", QDate(2020, 1, 1)},
                         {"DateAddedToDB", QDate(2024, 1, 1)}}));
}

QString letterOf(const QString& path) {
  return path == kQuotePath ? QStringLiteral("c") : QFileInfo(path).baseName();
}

QString letters(Recordset& rs) {
  QString out;
  for (rs.moveFirst(); !rs.eof(); rs.moveNext())
    out += letterOf(rs.value(QStringLiteral("Pathname")).toString());
  return out;
}

QString rawText(const Database& db, const QString& sql) {
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db.handle(), sql.toUtf8().constData(), -1, &stmt, nullptr);
  QString out;
  if (stmt && sqlite3_step(stmt) == SQLITE_ROW)
    out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
  sqlite3_finalize(stmt);
  return out;
}

}  // namespace

class TestDatabase : public QObject {
  Q_OBJECT

 private slots:
  void translate_data();
  void translate();
  void quoting_data();
  void quoting();
  void refusesBadFiles_data();
  void refusesBadFiles();
  void opensInWalMode();
  void queryStatements_data();
  void queryStatements();
  void filters_data();
  void filters();
  void deleteMissingStatement();
  void deleteByQuotedPath();
  void updateSetupNewStatement();
  void duplicatePathnameRefused();
  void newRowDefaults();
  void datesRoundTrip();
  void navigation();
  void findFirstAndDelete();
  void editAndLastModified();
  void transactionRollback();
};

void TestDatabase::translate_data() {
  QTest::addColumn<QString>("jet");
  QTest::addColumn<QString>("sqlite");
  QTest::newRow("delete star") << "DELETE * FROM tbl1 WHERE Status = 'Missing';"
                               << "DELETE FROM tbl1 WHERE Status = 'Missing'";
  QTest::newRow("mixed case delete") << "Delete * FROM tbl1 WHERE Pathname = '/a b.jpg';"
                                     << "DELETE FROM tbl1 WHERE Pathname = '/a b.jpg'";
  QTest::newRow("date literal") << "SELECT * FROM tbl1 WHERE NewFile = 1 AND DateAddedToDB = "
                                   "#12/08/2026#"
                                << "SELECT * FROM tbl1 WHERE NewFile = 1 AND DateAddedToDB = "
                                   "'2026-12-08'";
  QTest::newRow("short date") << "FileCreationDate < #3/7/2001#"
                              << "FileCreationDate < '2001-03-07'";
  QTest::newRow("unchanged operators")
      << "SELECT * FROM tbl1 WHERE SPAM <> 1 AND Width > 640 OR NewFile = 1"
      << "SELECT * FROM tbl1 WHERE SPAM <> 1 AND Width > 640 OR NewFile = 1";
  QTest::newRow("quoted text untouched") << "Pathname = '/x/#01/02/2003# DELETE * FROM it''s;'"
                                         << "Pathname = '/x/#01/02/2003# DELETE * FROM it''s;'";
  QTest::newRow("not a date") << "Pathname = 1 # 2"
                              << "Pathname = 1 # 2";
  QTest::newRow("word ending in delete") << "UNDELETE * x"
                                         << "UNDELETE * x";
  QTest::newRow("bracketed name") << "[Pathname] = 'a'"
                                  << "\"Pathname\" = 'a'";
  QTest::newRow("invalid date kept") << "x = #13/45/2001#"
                                     << "x = #13/45/2001#";
}

void TestDatabase::translate() {
  QFETCH(QString, jet);
  QFETCH(QString, sqlite);
  QCOMPARE(translateJet(jet), sqlite);
}

void TestDatabase::quoting_data() {
  QTest::addColumn<QString>("value");
  QTest::addColumn<QString>("expected");
  QTest::newRow("plain") << "abc"
                         << "'abc'";
  QTest::newRow("quote") << "O'Neil's"
                         << "'O''Neil''s'";
  QTest::newRow("empty") << ""
                         << "''";
  QTest::newRow("injection") << "x' OR '1'='1"
                             << "'x'' OR ''1''=''1'";
}

void TestDatabase::quoting() {
  QFETCH(QString, value);
  QFETCH(QString, expected);
  QCOMPARE(quoted(value), expected);
}

void TestDatabase::refusesBadFiles_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<int>("error");
  QTest::newRow("missing") << "missing" << int(DbError::Missing);
  QTest::newRow("folder") << "folder" << int(DbError::Missing);
  QTest::newRow("garbage") << "garbage" << int(DbError::Damaged);
  QTest::newRow("empty file") << "empty" << int(DbError::Damaged);
  QTest::newRow("database without tbl1") << "other" << int(DbError::Damaged);
}

void TestDatabase::refusesBadFiles() {
  QFETCH(QString, kind);
  QFETCH(int, error);
  TestEnv env;
  const QString path = env.folder(QStringLiteral("bad")) + QStringLiteral("/all1.mdb");
  QByteArray before;
  if (kind == QLatin1String("folder")) {
    QDir().mkpath(path);
  } else if (kind == QLatin1String("garbage")) {
    before = QByteArray(8192, 'x');
  } else if (kind == QLatin1String("other")) {
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    before = glim::test::readBytes(path);
  }
  if (kind == QLatin1String("garbage") || kind == QLatin1String("empty"))
    QVERIFY(glim::test::writeBytes(path, before));

  Database db = Database::open(path);
  QVERIFY(!db.isOpen());
  QCOMPARE(int(db.lastErrorKind()), error);
  QVERIFY(!db.lastError().isEmpty());
  QVERIFY(!db.execute(QStringLiteral("DELETE * FROM tbl1;")));
  QVERIFY(!db.openRecordset(QStringLiteral("tbl1")));
  // Never created or replaced: the path holds what it held before.
  if (kind == QLatin1String("missing")) QVERIFY(!QFileInfo::exists(path));
  if (kind == QLatin1String("folder")) QVERIFY(QFileInfo(path).isDir());
  if (!before.isNull() || kind == QLatin1String("empty"))
    QCOMPARE(glim::test::readBytes(path), before);
  QVERIFY(!QFileInfo::exists(path + QStringLiteral("-wal")));
}

void TestDatabase::opensInWalMode() {
  TestEnv env;
  Database db = Database::open(env.catalogue());
  QVERIFY2(db.isOpen(), qPrintable(db.lastError()));
  QCOMPARE(db.scalar(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
  QCOMPARE(db.scalar(QStringLiteral("PRAGMA synchronous")).toInt(), 1);  // NORMAL
  QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM SetupNew")).toInt(), 64);
}

void TestDatabase::queryStatements_data() {
  QTest::addColumn<QString>("statement");
  QTest::addColumn<QString>("expected");
  const QString base = QStringLiteral("SELECT * FROM tbl1 WHERE");
  QTest::newRow("base set") << base + " FileERROR = 0"
                            << "abd";
  QTest::newRow("size and rating") << base + " FileSize > 102400 AND OverallRating > 3"
                                   << "a";
  QTest::newRow("only new") << base + " FileSize > 102400 AND OverallRating > 3 AND NewFile = 1"
                            << "a";
  QTest::newRow("or all new") << base + " Width > 640 OR NewFile = 1"
                              << "acd";
  QTest::newRow("spam and ratio") << base + " SPAM <> 1 AND WidthHeightRatio < 2.5"
                                  << "ac";
  QTest::newRow("new either way") << base + " NewFile <> 0 OR NewFile = 1"
                                  << "ad";
  QTest::newRow("size equal") << base + " FileSize = 102400"
                              << "d";
  QTest::newRow("created after") << base + " FileCreationDate > #01/01/2020#"
                                 << "ac";
  QTest::newRow("created on, short form") << base + " FileCreationDate = #1/1/2020#"
                                          << "d";
  QTest::newRow("viewed before") << base + " DateLastViewed < #12/08/2026#"
                                 << "bc";
  QTest::newRow("viewed after") << base + " DateLastViewed > #12/31/2025#"
                                << "bc";
  QTest::newRow("new today") << base + " NewFile = 1 AND DateAddedToDB = " +
                                    jetDateLiteral(QDate::currentDate())
                             << "a";
  QTest::newRow("colours") << base + " Colors >= 256"
                           << "acd";
  QTest::newRow("banners") << base + " BannerSize <> 1"
                           << "ac";
  QTest::newRow("width and height") << base + " Width > 700 AND Height < 800"
                                    << "ac";
  QTest::newRow("user rating") << base + " UserRating2 < 2 AND OverallRating = 4"
                               << "a";
  QTest::newRow("quoted path") << base + " Pathname = " + quoted(kQuotePath) << "c";
  QTest::newRow("whole table") << "tbl1"
                               << "abcd";
}

void TestDatabase::queryStatements() {
  QFETCH(QString, statement);
  QFETCH(QString, expected);
  TestEnv env;
  Database db = Database::open(env.catalogue());
  seedPictures(db);
  std::unique_ptr<Recordset> rs = db.openRecordset(statement);
  QVERIFY2(rs, qPrintable(db.lastError()));
  QCOMPARE(letters(*rs), expected);
  QCOMPARE(rs->recordCount(), int(expected.size()));
}

void TestDatabase::filters_data() {
  QTest::addColumn<QString>("source");
  QTest::addColumn<QStringList>("filters");
  QTest::addColumn<QString>("expected");
  const QString all = QStringLiteral("SELECT * FROM tbl1 WHERE FileERROR = 0");
  const QString types = QStringLiteral(
      "Extension = 'jpg' OR Extension = 'pic' OR Extension = 'gif' OR Extension = 'png'");
  QTest::newRow("file types") << "tbl1" << QStringList{types} << "abc";
  QTest::newRow("only tga") << "tbl1" << QStringList{"Extension = 'tga'"} << "";
  QTest::newRow("upper-case extension matches")
      << "tbl1" << QStringList{"Extension = 'TIF'"} << "d";
  QTest::newRow("theme 5 bare clause") << "tbl1" << QStringList{themeClause(5) + " "} << "ac";
  QTest::newRow("themes 3 and 5") << "tbl1"
                                  << QStringList{"(" + themeClause(3) + ")  AND (" +
                                                 themeClause(5) + ")"}
                                  << "a";
  QTest::newRow("themes then types")
      << all << QStringList{"(" + themeClause(3) + ")  OR (" + themeClause(5) + ")", types} << "ab";
}

void TestDatabase::filters() {
  QFETCH(QString, source);
  QFETCH(QStringList, filters);
  QFETCH(QString, expected);
  TestEnv env;
  Database db = Database::open(env.catalogue());
  seedPictures(db);
  std::unique_ptr<Recordset> rs = db.openRecordset(source);
  QVERIFY(rs);
  for (const QString& filter : filters) {
    rs->setFilter(filter);
    std::unique_ptr<Recordset> next = rs->openFiltered();
    QVERIFY2(next, qPrintable(db.lastError()));
    rs = std::move(next);
  }
  QCOMPARE(letters(*rs), expected);
  // A requery keeps the filters.
  QVERIFY(rs->requery());
  QCOMPARE(letters(*rs), expected);
}

void TestDatabase::deleteMissingStatement() {
  TestEnv env;
  Database db = Database::open(env.catalogue());
  seedPictures(db);
  QVERIFY(db.execute(QStringLiteral("UPDATE tbl1 SET Status = 'Missing' WHERE Width = 640")));
  QVERIFY(db.execute(QStringLiteral("UPDATE tbl1 SET Status = 'missing' WHERE Width = 3000")));
  QVERIFY(db.execute(QStringLiteral("DELETE * FROM tbl1 WHERE Status = 'Missing';")));
  QCOMPARE(db.changes(), 2);
  std::unique_ptr<Recordset> rs = db.openRecordset(QStringLiteral("tbl1"));
  QCOMPARE(letters(*rs), QStringLiteral("ac"));
}

void TestDatabase::deleteByQuotedPath() {
  TestEnv env;
  Database db = Database::open(env.catalogue());
  seedPictures(db);
  QVERIFY(addPictureRow(db, QStringLiteral("/pics/O")));
  QVERIFY(addPictureRow(db, QStringLiteral("/pics/O'Neil's.GIF")));
  std::unique_ptr<Recordset> rs = db.openRecordset(QStringLiteral("tbl1"));
  QVERIFY(rs->findFirst(QStringLiteral("Pathname = ") + quoted(kQuotePath)));
  QCOMPARE(rs->value(QStringLiteral("Pathname")).toString(), kQuotePath);

  QVERIFY(db.execute(QStringLiteral("Delete * FROM tbl1 WHERE Pathname = ") + quoted(kQuotePath) +
                     QStringLiteral(";")));
  QCOMPARE(db.changes(), 1);
  QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM tbl1")).toInt(), 5);
  QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM tbl1 WHERE Pathname = ?"), {kQuotePath})
               .toInt(),
           0);
}

void TestDatabase::updateSetupNewStatement() {
  TestEnv env;
  Database db = Database::open(env.catalogue());
  const QString value = quoted(QStringLiteral("/home/u/Bob's/"));
  QVERIFY(db.execute(QStringLiteral("UPDATE SetupNew SET SubPathPath = ") + value +
                     QStringLiteral(" WHERE SubPathPath = 'None';")));
  QCOMPARE(db.changes(), 64);
  QCOMPARE(db.scalar(QStringLiteral("SELECT SubPathPath FROM SetupNew WHERE IDP = 63")).toString(),
           QStringLiteral("/home/u/Bob's/"));
}

void TestDatabase::duplicatePathnameRefused() {
  TestEnv env;
  Database db = Database::open(env.catalogue());
  QVERIFY(addPictureRow(db, QStringLiteral("/pics/x.jpg")));
  std::unique_ptr<Recordset> rs = db.openRecordset(QStringLiteral("tbl1"));
  rs->addNew();
  rs->setValue(QStringLiteral("Pathname"), QStringLiteral("/pics/x.jpg"));
  QVERIFY(!rs->update());
  QCOMPARE(db.lastErrorKind(), DbError::Duplicate);
  QCOMPARE(rs->recordCount(), 1);
  rs->cancelUpdate();
  // Linux file names are case-sensitive: another case is another picture.
  QVERIFY(addPictureRow(db, QStringLiteral("/pics/X.jpg")));
  QVERIFY(!db.execute(QStringLiteral("INSERT INTO tbl1 (Pathname) VALUES (?)"),
                      {QStringLiteral("/pics/X.jpg")}));
  QCOMPARE(db.lastErrorKind(), DbError::Duplicate);
  QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM tbl1")).toInt(), 2);
}

void TestDatabase::newRowDefaults() {
  TestEnv env;
  Database db = Database::open(env.catalogue());
  std::unique_ptr<Recordset> rs = db.openRecordset(QStringLiteral("tbl1"));
  rs->addNew();
  rs->setValue(QStringLiteral("Pathname"), QStringLiteral("/p/new.jpg"));
  QVERIFY(rs->update());
  QVERIFY(rs->setBookmark(rs->lastModified()));
  QCOMPARE(rs->value(QStringLiteral("NewFile")).toInt(), 1);
  for (const char* field :
       {"FileERROR", "Width", "Height", "Bits", "Colors", "BannerSize", "SPAM", "OverallRating",
        "UserRating1", "UserRating9", "Class1", "Class7", "Filesize", "SafeguardPicture"}) {
    QCOMPARE(rs->value(QLatin1String(field)), QVariant(qlonglong(0)));
  }
  QCOMPARE(rs->value(QStringLiteral("WidthHeightRatio")).toDouble(), 0.0);
  QCOMPARE(rs->value(QStringLiteral("Status")).toString(), QString());
}

void TestDatabase::datesRoundTrip() {
  TestEnv env;
  Database db = Database::open(env.catalogue());
  const qint64 id = addPictureRow(db, QStringLiteral("/p/d.jpg"),
                                  {{"DateLastViewed", QStringLiteral("12/08/2026")},
                                   {"FileCreationDate", QStringLiteral("1/2/1999")}});
  QVERIFY(id);
  QCOMPARE(rawText(db, QStringLiteral("SELECT DateLastViewed FROM tbl1")),
           QStringLiteral("2026-12-08"));
  std::unique_ptr<Recordset> rs = db.openRecordset(QStringLiteral("tbl1"));
  QCOMPARE(rs->value(QStringLiteral("DateLastViewed")).toDate(), QDate(2026, 12, 8));
  QCOMPARE(glim::textnum::dateText(rs->value(QStringLiteral("FileCreationDate")).toDate()),
           QStringLiteral("01/02/1999"));
  QVERIFY(!rs->setValue(QStringLiteral("DateLastViewed"), QStringLiteral("yesterday")));
  rs->cancelUpdate();
  QVERIFY(!rs->setValue(QStringLiteral("Width"), QStringLiteral("wide")));
  rs->cancelUpdate();
  QVERIFY(!rs->setValue(QStringLiteral("NoSuchField"), 1));
}

void TestDatabase::navigation() {
  TestEnv env;
  Database db = Database::open(env.catalogue());
  std::unique_ptr<Recordset> empty = db.openRecordset(QStringLiteral("tbl1"));
  QVERIFY(empty->bof() && empty->eof());
  QCOMPARE(empty->recordCount(), 0);
  QCOMPARE(empty->absolutePosition(), -1);
  QVERIFY(!empty->setAbsolutePosition(0));

  seedPictures(db);
  std::unique_ptr<Recordset> rs = db.openRecordset(QStringLiteral("tbl1"));
  QCOMPARE(rs->recordCount(), 4);
  QVERIFY(!rs->bof() && !rs->eof());
  QCOMPARE(rs->absolutePosition(), 0);
  rs->movePrevious();
  QVERIFY(rs->bof() && !rs->eof());
  QCOMPARE(rs->value(QStringLiteral("Pathname")), QVariant());
  rs->moveLast();
  QCOMPARE(rs->absolutePosition(), 3);
  rs->moveNext();
  QVERIFY(rs->eof());
  rs->moveNext();  // stays at EOF
  QVERIFY(rs->eof());
  QVERIFY(rs->setAbsolutePosition(2));
  QCOMPARE(letterOf(rs->value(QStringLiteral("Pathname")).toString()), QStringLiteral("c"));
  QVERIFY(!rs->setAbsolutePosition(4));
  QCOMPARE(rs->absolutePosition(), 2);
  rs->move(-2);
  QCOMPARE(rs->absolutePosition(), 0);
}

void TestDatabase::findFirstAndDelete() {
  TestEnv env;
  Database db = Database::open(env.catalogue());
  seedPictures(db);
  std::unique_ptr<Recordset> rs = db.openRecordset(QStringLiteral("tbl1"));
  rs->moveLast();
  QVERIFY(!rs->findFirst(QStringLiteral("Width = 1")));
  QCOMPARE(rs->absolutePosition(), 3);
  QVERIFY(!rs->findFirst(QStringLiteral("NoSuchField = 1")));
  QVERIFY(rs->findFirst(QStringLiteral("Colors >= 256 AND Width > 900")));
  QCOMPARE(rs->absolutePosition(), 2);
  QVERIFY(rs->findNext(QStringLiteral("Colors >= 256")));
  QCOMPARE(rs->absolutePosition(), 3);

  QVERIFY(rs->setAbsolutePosition(1));
  QVERIFY(rs->deleteRecord());
  QCOMPARE(rs->recordCount(), 3);
  rs->moveNext();  // the row after the deleted one
  QCOMPARE(letterOf(rs->value(QStringLiteral("Pathname")).toString()), QStringLiteral("c"));
  QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM tbl1")).toInt(), 3);

  // A row deleted by a statement reads as empty in a set opened before.
  QVERIFY(db.execute(QStringLiteral("DELETE * FROM tbl1 WHERE Width = 3000;")));
  rs->moveLast();
  QCOMPARE(rs->value(QStringLiteral("Pathname")), QVariant());
  QVERIFY(!rs->setValue(QStringLiteral("Status"), QStringLiteral("x")));
  // Deleted after the set arrived on it: the edit reports the loss instead of vanishing.
  rs->moveFirst();
  QVERIFY(db.execute(QStringLiteral("DELETE * FROM tbl1 WHERE Width = 800;")));
  QVERIFY(rs->setValue(QStringLiteral("Status"), QStringLiteral("x")));
  QVERIFY(!rs->update());
}

void TestDatabase::editAndLastModified() {
  TestEnv env;
  Database db = Database::open(env.catalogue());
  seedPictures(db);
  std::unique_ptr<Recordset> rs =
      db.openRecordset(QStringLiteral("SELECT * FROM tbl1 WHERE FileERROR = 0"));
  rs->moveNext();
  QVERIFY(rs->setValue(QStringLiteral("OverallRating"), QStringLiteral("1")));
  QCOMPARE(rs->value(QStringLiteral("OverallRating")).toInt(), 1);  // the edit buffer
  rs->moveFirst();  // a move discards an edit not written
  rs->moveNext();
  QCOMPARE(rs->value(QStringLiteral("OverallRating")).toInt(), 5);
  QVERIFY(rs->setValue(QStringLiteral("OverallRating"), 1));
  QVERIFY(rs->update());
  QCOMPARE(rs->lastModified(), rs->bookmark());
  QCOMPARE(rs->value(QStringLiteral("OverallRating")).toInt(), 1);

  rs->addNew();
  rs->setValue(QStringLiteral("Pathname"), QStringLiteral("/p/e.jpg"));
  QVERIFY(rs->update());
  QCOMPARE(rs->absolutePosition(), 1);  // the current row stays
  QCOMPARE(rs->recordCount(), 4);
  QVERIFY(rs->setBookmark(rs->lastModified()));
  QCOMPARE(rs->value(QStringLiteral("Pathname")).toString(), QStringLiteral("/p/e.jpg"));
}

void TestDatabase::transactionRollback() {
  TestEnv env;
  Database db = Database::open(env.catalogue());
  QVERIFY(db.beginTransaction());
  QVERIFY(!db.beginTransaction());
  for (int i = 0; i < 50; ++i) QVERIFY(addPictureRow(db, QStringLiteral("/t/%1.jpg").arg(i)));
  QVERIFY(db.rollback());
  QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM tbl1")).toInt(), 0);
  QVERIFY(db.beginTransaction());
  QVERIFY(addPictureRow(db, QStringLiteral("/t/kept.jpg")));
  QVERIFY(db.commit());
  QCOMPARE(Database::open(env.catalogue()).scalar(QStringLiteral("SELECT count(*) FROM tbl1")),
           QVariant(qlonglong(1)));
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
