// The damage check in the background: reading goes on while it runs, every write waits for
// its verdict and a damaged file takes none, the window hears of damage once, the verdict is
// not reached twice for nothing, and the check's connection ends with it.
#include <QtTest>

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include "catalogue/database.h"
#include "catalogue/database_p.h"
#include "catalogue/datacontrol.h"
#include "catalogue/recordset.h"
#include "catalogue_helpers.h"
#include "support/checkhold.h"
#include "support/testenv.h"

using namespace glim;
using namespace glim::catalogue;
using glim::test::CheckHold;

namespace {

// The open descriptors of this process on the catalogue or its journal files.
int descriptorsOn(const QString& catalogue) {
  int count = 0;
  const QDir fds(QStringLiteral("/proc/self/fd"));
  for (const QString& fd : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
    if (QFile::symLinkTarget(fds.filePath(fd)).startsWith(catalogue)) ++count;
  return count;
}

// A table of its own, so that damage to its pages leaves the catalogue's rows readable.
bool addSpareTable(const QString& catalogue, qint64* root, qint64* pageSize) {
  auto db = Database::open(catalogue);
  if (!db.execute("CREATE TABLE spare(x)")) return false;
  for (int i = 0; i < 20; ++i)
    if (!db.execute("INSERT INTO spare VALUES (randomblob(2000))")) return false;
  *root = db.scalar("SELECT rootpage FROM sqlite_schema WHERE name = 'spare'").toLongLong();
  *pageSize = db.scalar("SELECT page_size FROM pragma_page_size").toLongLong();
  return *root > 1 && *pageSize > 0;
}

bool overwritePage(const QString& catalogue, qint64 page, qint64 pageSize) {
  QFile file(catalogue);
  return file.open(QIODevice::ReadWrite) && file.seek((page - 1) * pageSize) &&
         file.write(QByteArray(int(pageSize), '\xff')) == pageSize;
}

}  // namespace

class TestDamageCheck : public QObject {
  Q_OBJECT

 private slots:
  // The rows are there before the verdict; the first write takes it.
  void readsDoNotWaitForTheVerdict() {
    CheckHold hold;
    test::TestEnv env;
    auto db = Database::open(env.catalogue());
    QVERIFY(test::addPictureRow(db, "/pics/a.jpg") > 0);
    db.startDamageCheck();
    QCOMPARE(db.integrity(), Database::Integrity::Pending);
    auto rs = db.openRecordset("SELECT * FROM tbl1");
    QVERIFY(rs);
    QCOMPARE(rs->value("Pathname").toString(), QStringLiteral("/pics/a.jpg"));
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM tbl1").toInt(), 1);
    QCOMPARE(db.integrity(), Database::Integrity::Pending);

    hold.release();
    QVERIFY(rs->setValue("Status", "Seen"));
    QVERIFY(rs->update());
    QCOMPARE(db.integrity(), Database::Integrity::Intact);
    QCOMPARE(db.scalar("SELECT Status FROM tbl1").toString(), QStringLiteral("Seen"));
  }

  // Each way of writing waits for the verdict and is refused, as damage, without a byte
  // written; reading goes on.
  void damagedFileTakesNoWrite() {
    test::TestEnv env;
    {
      auto db = Database::open(env.catalogue());
      QVERIFY(test::addPictureRow(db, "/pics/a.jpg") > 0);
    }
    QVERIFY(test::damageSpareTable(env.catalogue()));
    const QByteArray before = test::readBytes(env.catalogue());
    {
      auto db = Database::open(env.catalogue());
      db.startDamageCheck();
      auto rs = db.openRecordset("tbl1");
      QVERIFY(rs);
      QCOMPARE(rs->value("Pathname").toString(), QStringLiteral("/pics/a.jpg"));

      QVERIFY(!db.execute("UPDATE tbl1 SET Status = 'x'"));
      QCOMPARE(db.lastErrorKind(), DbError::Damaged);
      QCOMPARE(db.integrity(), Database::Integrity::Damaged);
      QVERIFY(!db.execute("DELETE FROM tbl1"));
      QCOMPARE(db.lastErrorKind(), DbError::Damaged);
      QVERIFY(!db.execute("INSERT INTO tbl1 (IDNumber, Pathname) VALUES (9, '/b.jpg')"));
      QCOMPARE(db.lastErrorKind(), DbError::Damaged);
      QVERIFY(!rs->setValue("Status", "x") || !rs->update());
      QCOMPARE(db.lastErrorKind(), DbError::Damaged);
      rs->cancelUpdate();
      rs->addNew();
      QVERIFY(rs->setValue("Pathname", "/c.jpg"));
      QVERIFY(!rs->update());
      rs->cancelUpdate();
      rs->moveFirst();
      QVERIFY(!rs->deleteRecord());
      QCOMPARE(db.lastErrorKind(), DbError::Damaged);
      if (db.beginTransaction()) {
        QVERIFY(!db.execute("UPDATE tbl1 SET Status = 'y'"));
        QCOMPARE(db.lastErrorKind(), DbError::Damaged);
        db.rollback();
      }
      QVERIFY(!db.checkIntact());
      QCOMPARE(db.scalar("SELECT COUNT(*) FROM tbl1").toInt(), 1);
    }
    QCOMPARE(test::readBytes(env.catalogue()), before);
  }

  // The window's view: rows shown, DamageFound once per opening (also when the verdict comes
  // through the event loop), no second check on a filtered copy, no write into the file.
  void dataControlTellsOnce() {
    test::TestEnv env;
    {
      auto db = Database::open(env.catalogue());
      QVERIFY(test::addPictureRow(db, "/pics/a.jpg") > 0);
      QVERIFY(test::addPictureRow(db, "/pics/b.jpg") > 0);
    }
    QVERIFY(test::damageSpareTable(env.catalogue()));
    const QByteArray before = test::readBytes(env.catalogue());
    {
      CheckHold hold;
      DataControl dta;
      QSignalSpy found(&dta, &DataControl::DamageFound);
      dta.setDatabaseName(env.catalogue());
      dta.setRecordSource("tbl1");
      dta.setCheckForDamage(true);
      QVERIFY(dta.refresh());
      QCOMPARE(dta.recordCount(), 2);
      QCOMPARE(dta.recordset()->value("Pathname").toString(), QStringLiteral("/pics/a.jpg"));
      // The check starts when the event loop next runs, and its verdict reaches the control
      // through it.
      QCOMPARE(dta.database().integrity(), Database::Integrity::Unchecked);
      QCoreApplication::processEvents();
      QCOMPARE(dta.database().integrity(), Database::Integrity::Pending);
      QVERIFY(!dta.damaged());
      hold.release();
      dta.database().settleDamageCheck();
      QCOMPARE(found.count(), 0);
      QCoreApplication::processEvents();
      QCOMPARE(found.count(), 1);
      QVERIFY(dta.damaged());
      QCOMPARE(dta.lastErrorKind(), DbError::Damaged);

      dta.moveNext();
      QVERIFY(dta.recordset()->setValue("Status", "Seen"));
      QVERIFY(!dta.recordset()->update());
      dta.recordset()->cancelUpdate();
      dta.recordset()->setFilter("Pathname = '/pics/b.jpg'");
      dta.setRecordset(dta.recordset()->openFiltered());
      QVERIFY(dta.damaged());
      dta.settleDamageCheck();
      QCoreApplication::processEvents();
      QCOMPARE(found.count(), 1);

      // A new opening is checked again and told again.
      QVERIFY(dta.refresh());
      dta.settleDamageCheck();
      QCOMPARE(found.count(), 2);
      QVERIFY(dta.damaged());
    }
    QCoreApplication::processEvents();  // a late word from a check of a control now gone
    QCOMPARE(test::readBytes(env.catalogue()), before);
  }

  // An intact file opened by the window: nothing said, the rows take writes.
  void dataControlOnIntactFile() {
    test::TestEnv env;
    {
      auto db = Database::open(env.catalogue());
      QVERIFY(test::addPictureRow(db, "/pics/a.jpg") > 0);
    }
    DataControl dta;
    QSignalSpy found(&dta, &DataControl::DamageFound);
    dta.setDatabaseName(env.catalogue());
    dta.setCheckForDamage(true);
    QVERIFY(dta.refresh());
    // A write before the check was due checks first.
    QVERIFY(dta.recordset()->setValue("Status", "Seen"));
    QVERIFY(dta.recordset()->update());
    QCOMPARE(dta.database().integrity(), Database::Integrity::Intact);
    QCoreApplication::processEvents();
    QCOMPARE(found.count(), 0);
    QVERIFY(!dta.damaged());
  }

  // A verdict is kept while nothing else commits to the file (the check reads all of it),
  // and reached again once another connection has.
  void verdictKeptUntilAnotherConnectionCommits() {
    test::TestEnv env;
    qint64 root = 0, pageSize = 0;
    QVERIFY(addSpareTable(env.catalogue(), &root, &pageSize));
    auto db = Database::open(env.catalogue());
    QVERIFY(db.checkIntact());
    QVERIFY(overwritePage(env.catalogue(), root, pageSize));
    QVERIFY(db.checkIntact());  // not reached again

    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(env.catalogue()).constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "UPDATE SetupNew SET SubPathPath = 'elsewhere' WHERE rowid = 1",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    sqlite3_close(other);
    QVERIFY(!db.checkIntact());
    QCOMPARE(db.lastErrorKind(), DbError::Damaged);
    QVERIFY(!db.execute("UPDATE tbl1 SET Status = 'x'"));
    QCOMPARE(db.lastErrorKind(), DbError::Damaged);
  }

  // The check's own connection is closed when its verdict is in, and when the file is closed
  // before it is (the check is stopped, not waited out).
  void checkLeavesNoConnectionBehind() {
    test::TestEnv env;
    const QString catalogue = QFileInfo(env.catalogue()).absoluteFilePath();
    QCOMPARE(descriptorsOn(catalogue), 0);
    {
      auto db = Database::open(catalogue);
      QVERIFY(db.scalar("SELECT COUNT(*) FROM tbl1").isValid());
      QVERIFY(descriptorsOn(catalogue) > 0);
      db.startDamageCheck();
      db.settleDamageCheck();
      QCOMPARE(db.integrity(), Database::Integrity::Intact);
      // SQLite keeps a closed connection's descriptor while another one of this process
      // holds locks on the file (closing it would drop them): it goes with the last one.
    }
    QCOMPARE(descriptorsOn(catalogue), 0);
    {
      CheckHold hold;
      {
        auto db = Database::open(catalogue);
        db.startDamageCheck();
        hold.release();
      }  // closed while the check may still run
      QCOMPARE(descriptorsOn(catalogue), 0);
    }
  }
};

QTEST_GUILESS_MAIN(TestDamageCheck)
#include "tst_damagecheck.moc"
