// How the catalogue layer names a failure: the kind behind SQLite's codes, the words a user
// reads for each kind, damage found before a write, and a rollback that keeps the first
// failure instead of its own text.
#include <QtTest>

#include <sqlite3.h>

#include <QFile>
#include <cerrno>

#include "catalogue/database.h"
#include "catalogue/database_p.h"
#include "support/testenv.h"

using namespace glim;
using namespace glim::catalogue;

Q_DECLARE_METATYPE(glim::catalogue::DbError)

class TestFailures : public QObject {
  Q_OBJECT

 private slots:
  void kindOfFailure_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("systemErrno");
    QTest::addColumn<DbError>("kind");
    QTest::newRow("disk full") << SQLITE_FULL << 0 << DbError::DiskFull;
    QTest::newRow("write error, no room") << SQLITE_IOERR_WRITE << ENOSPC << DbError::DiskFull;
    QTest::newRow("write error, quota") << SQLITE_IOERR_WRITE << EDQUOT << DbError::DiskFull;
    QTest::newRow("file-size limit") << SQLITE_IOERR_WRITE << EFBIG << DbError::TooLarge;
    QTest::newRow("other write error") << SQLITE_IOERR_WRITE << EIO << DbError::WriteFailed;
    QTest::newRow("held lock") << SQLITE_BUSY << 0 << DbError::Busy;
    QTest::newRow("held lock, snapshot") << SQLITE_BUSY_SNAPSHOT << 0 << DbError::Busy;
    QTest::newRow("damaged page") << SQLITE_CORRUPT << 0 << DbError::Damaged;
    QTest::newRow("not a database") << SQLITE_NOTADB << 0 << DbError::Damaged;
    QTest::newRow("read-only") << SQLITE_READONLY << 0 << DbError::ReadOnly;
    QTest::newRow("duplicate") << SQLITE_CONSTRAINT_UNIQUE << 0 << DbError::Duplicate;
    QTest::newRow("syntax") << SQLITE_ERROR << 0 << DbError::Statement;
  }
  void kindOfFailure() {
    QFETCH(int, code);
    QFETCH(int, systemErrno);
    QFETCH(DbError, kind);
    QCOMPARE(errorKindFor(code, systemErrno), kind);
  }

  // Each kind in words of its own, naming the file; never SQLite's text or a bare number.
  void wordsForEachKind_data() {
    QTest::addColumn<DbError>("kind");
    QTest::addColumn<QString>("words");
    QTest::newRow("missing") << DbError::Missing << "Database /c/all1.mdb does not exist.";
    QTest::newRow("damaged") << DbError::Damaged
                             << "The catalogue /c/all1.mdb is damaged, so nothing was written "
                                "to it.\rRepair it with \"Repair and compact the database\" on "
                                "the Database tab of the Options.";
    QTest::newRow("busy") << DbError::Busy
                          << "The catalogue /c/all1.mdb is in use by another program.\rClose "
                             "that program and try again.";
    QTest::newRow("disk full") << DbError::DiskFull
                               << "The disk is full, so the catalogue /c/all1.mdb cannot grow."
                                  "\rFree some space and try again.";
    QTest::newRow("too large") << DbError::TooLarge
                               << "The catalogue /c/all1.mdb cannot grow: it has reached the "
                                  "largest file size this program may write (a file-size limit "
                                  "is set for it).";
    QTest::newRow("read-only") << DbError::ReadOnly
                               << "The catalogue /c/all1.mdb cannot be written: the file or its "
                                  "folder is read-only.";
  }
  void wordsForEachKind() {
    QFETCH(DbError, kind);
    QFETCH(QString, words);
    QCOMPARE(describeError(kind, "/c/all1.mdb"), words);
  }

  void checkBeforeWriting() {
    test::TestEnv env;
    {
      auto db = Database::open(env.catalogue());
      QVERIFY(db.checkIntact());
      QCOMPARE(db.lastErrorKind(), DbError::None);
      QVERIFY(db.execute("CREATE TABLE filler (x TEXT)"));
      for (int i = 0; i < 300; ++i)
        QVERIFY(db.execute("INSERT INTO filler VALUES (?)", {QString(200, QChar('a' + i % 26))}));
    }
    // A page of the filler table overwritten with garbage.
    QFile file(env.catalogue());
    QVERIFY(file.open(QIODevice::ReadWrite));
    file.seek(file.size() - 3 * 4096);
    file.write(QByteArray(4096, '\x5a'));
    file.close();

    const QByteArray damaged = test::readBytes(env.catalogue());
    auto db = Database::open(env.catalogue());
    QVERIFY(db.isOpen());
    QVERIFY(!db.checkIntact());
    QCOMPARE(db.lastErrorKind(), DbError::Damaged);
    // From then on the connection reads but refuses every write, and says why.
    QVERIFY(db.scalar("SELECT COUNT(*) FROM SetupNew").toInt() > 0);
    Database shared = db;
    QVERIFY(!shared.execute("UPDATE SetupNew SET SubPathPath = 'x'"));
    QCOMPARE(shared.lastErrorKind(), DbError::Damaged);
    QVERIFY(!db.execute("DELETE FROM tbl1"));
    QCOMPARE(db.lastErrorKind(), DbError::Damaged);
    db.close();
    shared.close();
    QCOMPARE(test::readBytes(env.catalogue()), damaged);
  }

  // The add's pattern: an insert fails, the transaction is rolled back; lastError() still
  // names the insert's failure, not "cannot rollback - no transaction is active".
  void rollbackKeepsTheFirstFailure() {
    test::TestEnv env;
    auto db = Database::open(env.catalogue());
    QVERIFY(db.execute("INSERT INTO tbl1 (IDNumber, Pathname) VALUES (1, '/a.jpg')"));
    QVERIFY(db.beginTransaction());
    QVERIFY(db.execute("INSERT INTO tbl1 (IDNumber, Pathname) VALUES (2, '/b.jpg')"));
    QVERIFY(!db.execute("INSERT INTO tbl1 (IDNumber, Pathname) VALUES (3, '/a.jpg')"));
    const QString first = db.lastError();
    QCOMPARE(db.lastErrorKind(), DbError::Duplicate);
    QVERIFY(db.rollback());
    QCOMPARE(db.lastError(), first);
    QCOMPARE(db.lastErrorKind(), DbError::Duplicate);
    QVERIFY(!db.inTransaction());
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM tbl1").toInt(), 1);

    // A transaction the library has ended by itself is not rolled back a second time.
    QVERIFY(db.beginTransaction());
    QCOMPARE(sqlite3_exec(db.handle(), "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    QVERIFY(db.rollback());
    QVERIFY(!db.lastError().contains("no transaction"));
  }

  // Another connection's write lock is "busy", also when it stops a transaction from starting.
  void heldLockIsBusy() {
    test::TestEnv env;
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(env.catalogue()).constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    auto db = Database::open(env.catalogue());
    sqlite3_busy_timeout(db.handle(), 0);
    QVERIFY(!db.beginTransaction());
    QCOMPARE(db.lastErrorKind(), DbError::Busy);
    QVERIFY(describeError(db.lastErrorKind(), db.path()).contains("in use by another program"));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    QVERIFY(db.beginTransaction());
    QVERIFY(db.commit());
  }
};

QTEST_GUILESS_MAIN(TestFailures)
#include "tst_failures.moc"
