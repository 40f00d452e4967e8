// An open catalogue file. The catalogue is never created here: opening a missing file, a
// folder or a file that is not a catalogue fails with an error the caller reports.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <functional>
#include <memory>

struct sqlite3;

namespace glim::catalogue {

class Recordset;

enum class DbError {
  None,
  Missing,      // the file does not exist, or names a folder
  Damaged,      // the file is not an SQLite database or fails its integrity check
  ReadOnly,     // the file or its folder cannot be written
  NotOpen,      // no file is open
  Duplicate,    // a unique index refused the row (tbl1's Pathname)
  Statement,    // the statement failed (syntax, unknown field, type)
  Busy,         // another connection holds the lock
  DiskFull,     // the disk (or the user's quota) has no room left
  TooLarge,     // the file reached the largest size the process may write (a file-size limit)
  WriteFailed,  // the disk refused a read or write for another reason
};

// The reason for a failure in words a user understands, naming the catalogue file; damage
// points to the repair command. Never the database library's own text.
QString describeError(DbError kind, const QString& path);

// A cheap handle: copies share one connection, which closes with the last copy. Recordsets
// keep a copy, so a recordset handed from one owner to another keeps its file open.
// One thread only (the damage check runs on a connection and thread of its own).
class Database {
 public:
  // What is known of the file's integrity on this connection.
  enum class Integrity { Unchecked, Pending, Intact, Damaged };

  Database() = default;

  // Opens an existing catalogue in read-write mode, WAL journal, synchronous=NORMAL.
  static Database open(const QString& path);

  bool isOpen() const;
  QString path() const;
  void close();  // closes this handle's share; the connection ends with the last copy

  // Executes one Jet-dialect statement through the translator. Values from users go in as
  // parameters (? in the statement) or through quoted(). Returns false on failure, with
  // lastError() set and the catalogue unchanged.
  bool execute(const QString& jetSql, const QVariantList& params = {});
  // Rows changed by the last execute().
  int changes() const;
  // The first column of the first row of a query (translated), or an invalid QVariant.
  QVariant scalar(const QString& jetSql, const QVariantList& params = {});

  // "PRAGMA quick_check": false (kind Damaged) when the file's pages do not hold together.
  // Run before writing, so that damage is reported instead of written over. After a failed
  // check this connection (every copy of this handle, its recordsets) refuses all writes with
  // kind Damaged, until a later check on it passes. Waits for a check started in the
  // background; a verdict this connection already has stands while no other connection has
  // committed to the file since (the check reads the whole file, so it is not repeated for
  // nothing).
  bool checkIntact();
  // Starts the same check in the background, on a read-only connection of its own, so that
  // reading goes on while it runs (a large catalogue takes seconds). From then on every
  // write through this connection (execute, beginTransaction, a recordset's update and
  // delete) first waits for the verdict. Nothing is started when the connection has a verdict
  // or a check running. `whenDone` runs on the check's thread when the verdict is in.
  void startDamageCheck(std::function<void()> whenDone = {});
  // From now on no write goes through this connection before it has a verdict: a write
  // without one waits for the background check, or checks here when none was started (or it
  // could not run). startDamageCheck() implies it.
  void requireDamageVerdict();
  // Waits for a check started in the background and takes its verdict; a connection that
  // requires one and has none is checked here, now.
  void settleDamageCheck();
  // Takes the verdict of a finished background check without waiting.
  Integrity integrity();
  // The check's complaint when integrity() is Damaged.
  QString damageDetail() const;

  // Nested calls are not supported; a transaction left open is rolled back on close.
  bool beginTransaction();
  bool commit();
  // Ends the transaction if the library has not ended it already (a full disk or damage ends
  // it by itself). Keeps the error that led to it: the first failure is the one to report.
  bool rollback();
  bool inTransaction() const;

  // A recordset over a table name or a SELECT statement (Jet dialect). Nullptr on failure
  // with lastError() set. A table, and a SELECT without an ORDER BY of its own, give their
  // rows in the table's order (the order they were added in).
  std::unique_ptr<Recordset> openRecordset(const QString& source);
  // The same, narrowed by Jet filters: the rows of the source that match every filter, in
  // the source's order, as setFilter() and openFiltered() once per filter would give them.
  // Runs as one statement (one pass over the table) when the source is a plain
  // "SELECT ... FROM table [WHERE ...]"; filters that are empty or blank are skipped.
  std::unique_ptr<Recordset> openRecordset(const QString& source, const QStringList& filters);

  // The column names of a table in table order.
  QStringList columns(const QString& table);
  // Columns declared as dates (stored as ISO text, shown as "mm/dd/yyyy").
  bool isDateColumn(const QString& table, const QString& column);

  QString lastError() const;
  DbError lastErrorKind() const;

  // For the maintenance routines and tests; nullptr when not open.
  sqlite3* handle() const;
  // Takes the connection's current error as lastError(), for code that steps its own
  // statements on handle() (recordsets, the add loop's prepared insert).
  void noteError() const;

  struct Shared;

 private:
  explicit Database(std::shared_ptr<Shared> shared);
  std::unique_ptr<Recordset> openKeyset(const QString& source, const QString& table,
                                        const QString& keysetSql);
  std::shared_ptr<Shared> d_;
  // The error of a failed open, kept when there is no connection to hold it.
  QString openError_;
  DbError openErrorKind_ = DbError::NotOpen;
  friend class Recordset;
};

// "PRAGMA integrity_check" on a file opened read-only: true when it reports "ok".
bool passesIntegrityCheck(const QString& path, QString* error = nullptr);

}  // namespace glim::catalogue
