// Inside the catalogue layer: the connection shared by Database handles and their recordsets,
// with a small cache of prepared statements (an add loop runs the same INSERT thousands of
// times), and the conversions between QVariant and SQLite values.
#pragma once

#include <sqlite3.h>

#include <QHash>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include "catalogue/database.h"

namespace glim::catalogue {

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
