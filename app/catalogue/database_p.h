// Inside the catalogue layer: the connection shared by Database handles and their recordsets,
// with a small cache of prepared statements (an add loop runs the same INSERT thousands of
// times), and the conversions between QVariant and SQLite values.
#pragma once

#include <sqlite3.h>

#include <QHash>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "catalogue/database.h"

namespace glim::catalogue {

// "PRAGMA quick_check" on a second, read-only connection of its own, on a thread of its own:
// the check reads the whole file, and in WAL mode the window's connection goes on reading
// while it runs. Destroying it stops the check and ends its thread and connection.
class DamageCheck {
 public:
  enum class Verdict { Pending, Intact, Damaged, Unknown };

  // whenDone runs on the check's thread once the verdict is in (not when it was stopped).
  DamageCheck(const QString& path, std::function<void()> whenDone);
  ~DamageCheck();
  DamageCheck(const DamageCheck&) = delete;
  DamageCheck& operator=(const DamageCheck&) = delete;

  bool finished() const;
  // Blocks until the verdict is in. `detail` gets the check's first complaint for Damaged and
  // the library's text for Unknown (the file busy, unreadable).
  Verdict wait(QString* detail);

 private:
  void run();

  const QByteArray path_;
  const std::function<void()> whenDone_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  sqlite3* reader_ = nullptr;  // while the check runs, so that it can be interrupted
  bool stopped_ = false;
  Verdict verdict_ = Verdict::Pending;
  QString detail_;
  std::thread thread_;
};

// For tests: runs on each check's thread before it opens its connection, so that a test can
// hold a check back and show what happens before its verdict. Nullptr for none.
void setDamageCheckHook(std::function<void()> hook);

struct Database::Shared {
  sqlite3* db = nullptr;
  QString path;
  QString error;
  DbError errorKind = DbError::None;
  int changes = 0;
  bool inTransaction = false;
  // Set by a failed damage check: the connection then refuses every write (query_only), and
  // a refused write is reported as the damage it is.
  bool damaged = false;
  Integrity integrity = Integrity::Unchecked;
  // Set by requireDamageVerdict and startDamageCheck: from then on no write goes through
  // before a verdict is in.
  bool writesNeedVerdict = false;
  // The check running for this connection, if any, and the data version (PRAGMA data_version)
  // the latest verdict was reached at: another connection's commit changes it.
  std::unique_ptr<DamageCheck> check;
  qint64 checkedVersion = -1;
  QString damageDetail;
  // Prepared statements not in use, by SQL text. A statement in use is taken out, so a
  // nested use of the same text prepares its own.
  QMultiHash<QString, sqlite3_stmt*> idle;

  ~Shared();
  // `systemErrno` tells a full disk from a file-size limit when the library reports only a
  // failed write.
  void fail(int code, const QString& text, int systemErrno = 0);
  void failFromDb();
  void succeed();
  // Prepares a statement into the idle cache; false (the connection's error untouched by
  // this layer) when SQLite refuses it.
  bool prepareIntoCache(const QString& sql);

  // Takes the verdict of a finished check; with `wait`, waits for a running one first.
  void takeVerdict(bool wait);
  // Marks the connection intact or damaged; a damaged one refuses writes (query_only).
  void setIntegrity(bool intact, const QString& detail);
  // "PRAGMA quick_check(1)" here, on this connection; false when it could not run.
  bool checkHere();
  qint64 dataVersion();
  // Waits for a running check's verdict, or checks here when there is none; false (with
  // the error) when no verdict can be had.
  bool reachVerdict();
  // Called before every write: a connection whose writes need a verdict gets one first.
  // A damaged connection passes, and its query_only refuses the write itself.
  bool readyToWrite();
};

// A prepared statement from the connection's cache, returned to it reset and unbound.
class CachedStatement {
 public:
  CachedStatement(Database::Shared* shared, const QString& sql);
  ~CachedStatement();
  CachedStatement(const CachedStatement&) = delete;
  CachedStatement& operator=(const CachedStatement&) = delete;

  bool ok() const { return stmt_ != nullptr; }
  sqlite3_stmt* get() const { return stmt_; }
  // Binds the values to ?1, ?2, ...; false when one cannot be bound.
  bool bind(const QVariantList& values);

 private:
  Database::Shared* shared_;
  QString sql_;
  sqlite3_stmt* stmt_ = nullptr;
};

// The kind of failure behind an SQLite result code and the errno of the failed system call.
DbError errorKindFor(int code, int systemErrno);

bool bindValue(sqlite3_stmt* stmt, int index, const QVariant& value);
QVariant columnValue(sqlite3_stmt* stmt, int column);

}  // namespace glim::catalogue
