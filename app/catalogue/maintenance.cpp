#include "catalogue/maintenance.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include "base/logging.h"
#include "catalogue/database.h"
#include "catalogue/datacontrol.h"
#include "catalogue/recordset.h"

namespace glim::catalogue::maintenance {

namespace {

// Repair and compact reports its three steps (copy, reindex, compact) through the progress.
constexpr int kRepairSteps = 3;

QString catalogueOf(const Context& context) {
  return context.databasePath.trimmed().isEmpty()
             ? context.programFolder + QStringLiteral("all1.mdb")
             : context.databasePath;
}

bool syncPath(const QString& path) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool removeFile(const QString& path) {
  return !QFileInfo::exists(path) || QFile::remove(path);
}

// Removes a file and the journal files SQLite may have left beside it.
void removeDatabaseFile(const QString& path) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"})
    removeFile(path + QLatin1String(suffix));
}

// Folds the write-ahead log into the file and lets go of it, so the file alone holds the
// catalogue. False when another connection keeps the log alive (the file is in use).
bool releaseLog(const QString& path) {
  if (!QFileInfo(path).isFile()) return true;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
      SQLITE_OK)
    sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
  sqlite3_close_v2(db);
  return !QFileInfo::exists(path + QStringLiteral("-wal"));
}

bool isReadOnly(const QString& path) {
  const QFileInfo info(path);
  const QFileInfo folder(info.absolutePath());
  // The permission bits too: a user who made the file read-only means it, even for root.
  return !info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner) ||
         !folder.isWritable();
}

// Checks that a file is a readable catalogue; the reason goes to *error.
bool isCatalogue(const QString& path, QString* error) {
  Database db = Database::open(path);
  if (!db.isOpen()) {
    *error = db.lastError();
    return false;
  }
  db.close();
  return passesIntegrityCheck(path, error);
}

void detachView(const Context& context) {
  if (context.view) context.view->detach();
}

void attachView(const Context& context, const QString& path) {
  if (!context.view) return;
  context.view->setDatabaseName(path);
  context.view->refresh();
}

Result outcome(Operation operation, Outcome outcome, const QString& path,
               const QString& detail = {}) {
  Result result;
  result.operation = operation;
  result.outcome = outcome;
  result.path = path;
  result.detail = detail;
  return result;
}

// The checks every operation makes before it touches the catalogue. Repair needs only a file
// that opens as a catalogue: a failed integrity check is what it is there to mend.
std::optional<Result> refuseCatalogue(Operation operation, const QString& path,
                                      bool requireIntact) {
  QString why;
  if (!fileExists(path)) return outcome(operation, Outcome::DatabaseMissing, path);
  Database db = Database::open(path);
  if (!db.isOpen()) return outcome(operation, Outcome::DatabaseDamaged, path, db.lastError());
  db.close();
  if (requireIntact && !passesIntegrityCheck(path, &why))
    return outcome(operation, Outcome::DatabaseDamaged, path, why);
  if (isReadOnly(path)) return outcome(operation, Outcome::DatabaseReadOnly, path);
  if (!releaseLog(path)) return outcome(operation, Outcome::DatabaseInUse, path);
  return std::nullopt;
}

// Rows whose Pathname names no existing file, the first row included.
QVector<qint64> missingRows(Database& db, const Progress& progress) {
  QVector<std::pair<qint64, QString>> rows;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db.handle(), "SELECT rowid, Pathname FROM tbl1 ORDER BY rowid", -1, &stmt,
                         nullptr) == SQLITE_OK) {
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
      rows.append({sqlite3_column_int64(stmt, 0), QString::fromUtf8(text ? text : "")});
    }
  }
  sqlite3_finalize(stmt);
  QVector<qint64> missing;
  const int total = int(rows.size());
  for (int i = 0; i < total; ++i) {
    if (progress && i % 15 == 0) progress(i, total);
    if (!fileExists(rows.at(i).second)) missing.append(rows.at(i).first);
  }
  if (progress) progress(total, total);
  return missing;
}

}  // namespace

QString backupPath(const QString& programFolder) {
  return programFolder.trimmed() + QStringLiteral("Database Backup.mdb");
}
QString freshPath(const QString& programFolder) {
  return programFolder + QStringLiteral("budb.bdb");
}
QString tempPath(const QString& programFolder) {
  return programFolder + QStringLiteral("tempdb.mdb");
}
QString compactPath(const QString& programFolder) {
  return programFolder + QStringLiteral("compdb.mdb");
}

QString freshStartKeepPath(const QString& programFolder, const QDate& day) {
  const QString base =
      programFolder + QStringLiteral("Database before fresh start ") + day.toString(Qt::ISODate);
  QString path = base + QStringLiteral(".mdb");
  for (int i = 2; QFileInfo::exists(path); ++i)
    path = base + u' ' + QString::number(i) + QStringLiteral(".mdb");
  return path;
}

bool fileExists(const QString& path) {
  if (path.trimmed().isEmpty()) return false;
  const QFileInfo info(path);
  return info.isFile() && info.isReadable();
}

bool replaceFile(const QString& source, const QString& target, QString* error) {
  QString why;
  const QString part = target + QStringLiteral(".part");
  removeDatabaseFile(part);
  sqlite3* from = nullptr;
  sqlite3* to = nullptr;
  bool ok = sqlite3_open_v2(QFile::encodeName(source).constData(), &from, SQLITE_OPEN_READONLY,
                            nullptr) == SQLITE_OK &&
            sqlite3_open_v2(QFile::encodeName(part).constData(), &to,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK;
  if (ok) {
    // The backup copies every page as the source's readers see it, log included.
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    ok = backup && sqlite3_backup_step(backup, -1) == SQLITE_DONE;
    sqlite3_backup_finish(backup);
    if (!ok) why = QString::fromUtf8(sqlite3_errmsg(to));
  } else {
    why = QString::fromUtf8(sqlite3_errmsg(from ? from : to));
  }
  sqlite3_close_v2(from);
  sqlite3_close_v2(to);
  if (ok && !syncPath(part)) {
    ok = false;
    why = QStringLiteral("cannot flush %1").arg(part);
  }
  if (ok && !releaseLog(target)) {
    ok = false;  // a log left beside the target would be read into the new file
    why = QStringLiteral("%1 is in use").arg(target);
  }
  if (ok &&
      ::rename(QFile::encodeName(part).constData(), QFile::encodeName(target).constData()) != 0) {
    ok = false;
    why = QString::fromLocal8Bit(strerror(errno));
  }
  if (!ok) {
    removeDatabaseFile(part);
    if (error) *error = why.isEmpty() ? QStringLiteral("copy failed") : why;
    return false;
  }
  syncPath(QFileInfo(target).absolutePath());  // the rename itself
  return true;
}

int compact(const QString& source, const QString& programFolder, QString* error) {
  if (source.trimmed().isEmpty()) return 0;
  const QString target = compactPath(programFolder);
  removeDatabaseFile(target);
  Database db = Database::open(source);
  bool ok = db.isOpen() && db.execute(QStringLiteral("VACUUM INTO ?"), {target});
  QString why = db.lastError();
  db.close();
  if (ok) {
    // The compacted file keeps the catalogue's write-ahead journal, then goes to disk.
    Database out = Database::open(target);
    ok = out.isOpen() &&
         out.scalar(QStringLiteral("PRAGMA journal_mode=WAL")).toString() == QLatin1String("wal");
    if (!ok) why = out.lastError();
    out.close();
    ok = ok && releaseLog(target) && syncPath(target);
  }
  if (!ok) {
    removeDatabaseFile(target);
    if (error) *error = why;
    return 0;
  }
  return 1;
}

Result repairAndCompact(const Context& context) {
  const Operation op = Operation::RepairCompact;
  const QString path = catalogueOf(context);
  QString viewPath = context.view ? context.view->databaseName() : QString();
  if (viewPath.trimmed().isEmpty()) viewPath = path;
  detachView(context);
  if (auto refused = refuseCatalogue(op, path, false)) {
    attachView(context, viewPath);
    return *refused;
  }
  if (!releaseLog(viewPath)) {
    attachView(context, viewPath);
    return outcome(op, Outcome::DatabaseInUse, viewPath);
  }

  // The copy from before the repair stays as "tempdb.mdb" until the next repair.
  const QString temp = tempPath(context.programFolder);
  removeDatabaseFile(temp);
  QString detail;
  replaceFile(path, temp, &detail);
  const auto step = [&](int done) {
    if (context.progress) context.progress(done, kRepairSteps);
  };
  step(1);

  {
    // Rebuilding every index mends the damage a crash or a bad disk leaves in them most often;
    // the compaction below then rewrites every table page.
    Database db = Database::open(path);
    db.execute(QStringLiteral("REINDEX"));
  }
  step(2);

  QString why;
  if (compact(viewPath, context.programFolder, &why) != 1) {
    attachView(context, viewPath);
    return outcome(op, Outcome::CompactError, viewPath, why);
  }
  step(3);
  // A rename, not delete-and-copy: the catalogue is never missing, even for a moment.
  const QString compacted = compactPath(context.programFolder);
  if (!releaseLog(viewPath) || ::rename(QFile::encodeName(compacted).constData(),
                                        QFile::encodeName(viewPath).constData()) != 0) {
    why = QString::fromLocal8Bit(strerror(errno));
    removeDatabaseFile(compacted);
    attachView(context, viewPath);
    return outcome(op, Outcome::CompactError, viewPath, why);
  }
  syncPath(QFileInfo(viewPath).absolutePath());
  attachView(context, viewPath);
  return outcome(op, Outcome::Done, viewPath, detail);
}

Result removeMissing(const Context& context) {
  const QString path = catalogueOf(context);
  detachView(context);
  if (auto refused = refuseCatalogue(Operation::RemoveMissing, path, false)) {
    attachView(context, path);
    return *refused;
  }
  int removed = 0;
  {
    Database db = Database::open(path);
    const QVector<qint64> missing = missingRows(db, context.progress);
    // Marking and deleting in one transaction: a crash leaves all rows or none removed.
    bool ok = db.beginTransaction();
    for (qint64 row : missing)
      ok = ok &&
           db.execute(QStringLiteral("UPDATE tbl1 SET Status = 'Missing' WHERE rowid = ?"), {row});
    ok = ok && db.execute(QStringLiteral("DELETE * FROM tbl1 WHERE Status = 'Missing';"));
    removed = ok ? db.changes() : 0;
    if (!ok || !db.commit()) {
      db.rollback();
      removed = 0;
    }
  }
  Result result = repairAndCompact(context);
  if (context.view && context.view->databaseName().isEmpty()) attachView(context, path);
  result.operation = Operation::RemoveMissing;
  result.removedRows = removed;
  return result;
}

Result backup(const Context& context) {
  const Operation op = Operation::Backup;
  const QString path = catalogueOf(context);
  detachView(context);
  const auto reattach = [&](Result result) {
    attachView(context, path);
    return result;
  };
  QString why;
  // A missing or damaged catalogue must not pass as backed up, nor replace a good backup.
  if (!fileExists(path)) return reattach(outcome(op, Outcome::DatabaseMissing, path));
  if (!isCatalogue(path, &why)) return reattach(outcome(op, Outcome::DatabaseDamaged, path, why));
  const QString target = backupPath(context.programFolder);
  if (!replaceFile(path, target, &why))
    return reattach(outcome(op, Outcome::BackupError, target, why));
  return reattach(outcome(op, Outcome::Done, target));
}

Result restore(const Context& context) {
  const Operation op = Operation::Restore;
  const QString path = catalogueOf(context);
  const QString source = backupPath(context.programFolder);
  detachView(context);
  // Every path re-attaches the view, so a failed restore leaves the window usable.
  const auto reattach = [&](Result result) {
    attachView(context, path);
    return result;
  };
  QString why;
  if (!fileExists(source)) return reattach(outcome(op, Outcome::NoBackup, source));
  if (!isCatalogue(source, &why))
    return reattach(outcome(op, Outcome::BackupNotCatalogue, source, why));
  if (QFileInfo(path).isDir()) return reattach(outcome(op, Outcome::RestoreError, path));
  if (QFileInfo::exists(path) && isReadOnly(path))
    return reattach(outcome(op, Outcome::DatabaseReadOnly, path));
  if (!releaseLog(path)) return reattach(outcome(op, Outcome::DatabaseInUse, path));
  if (!replaceFile(source, path, &why))
    return reattach(outcome(op, Outcome::RestoreError, path, why));
  return reattach(outcome(op, Outcome::Done, path));
}

Result replaceWithFresh(const Context& context) {
  const Operation op = Operation::Replace;
  const QString path = catalogueOf(context);
  const QString fresh = freshPath(context.programFolder);
  QString why;
  if (!fileExists(fresh)) return outcome(op, Outcome::FreshMissing, fresh);
  if (!isCatalogue(fresh, &why)) return outcome(op, Outcome::FreshNotCatalogue, fresh, why);
  detachView(context);
  const auto reattach = [&](Result result) {
    attachView(context, path);
    return result;
  };
  if (QFileInfo(path).isDir()) return reattach(outcome(op, Outcome::ReplaceError, path));
  QString kept;
  if (QFileInfo::exists(path)) {
    if (isReadOnly(path)) return reattach(outcome(op, Outcome::DatabaseReadOnly, path));
    if (!releaseLog(path)) return reattach(outcome(op, Outcome::DatabaseInUse, path));
    // The option promises to back up the current catalogue before replacing it; the copy
    // gets a name of its own, so the user's own backup is never overwritten.
    if (isCatalogue(path, &why)) {
      kept = freshStartKeepPath(context.programFolder, QDate::currentDate());
      if (!replaceFile(path, kept, &why))
        return reattach(outcome(op, Outcome::ReplaceError, path, why));
    }
  }
  if (!replaceFile(fresh, path, &why))
    return reattach(outcome(op, Outcome::ReplaceError, path, why));
  Result done = outcome(op, Outcome::Done, path);
  done.keptAs = kept;
  return reattach(done);
}

namespace {

Result runOperation(Operation operation, const Context& context) {
  switch (operation) {
    case Operation::RemoveMissing:
      return removeMissing(context);
    case Operation::RepairCompact:
      return repairAndCompact(context);
    case Operation::Backup:
      return backup(context);
    case Operation::Restore:
      return restore(context);
    case Operation::Replace:
      return replaceWithFresh(context);
  }
  return removeMissing(context);
}

}  // namespace

Result run(Operation operation, const Context& context) {
  qCInfo(lcMaintenance) << "operation" << int(operation) << "on" << catalogueOf(context);
  const Result result = runOperation(operation, context);
  qCInfo(lcMaintenance) << "operation" << int(operation) << "outcome" << int(result.outcome)
                        << result.path << result.detail << "rows removed" << result.removedRows;
  return result;
}

Message messageFor(const Result& result) {
  switch (result.outcome) {
    case Outcome::Done:
      switch (result.operation) {
        case Operation::RemoveMissing:
        case Operation::RepairCompact:
          return {QStringLiteral("Database has been repaired and compacted."),
                  QStringLiteral("Repair/Compact Completed")};
        case Operation::Backup:
          return {QStringLiteral("The database has been backed up.")};
        case Operation::Restore:
          return {QStringLiteral("Backup has been restored!")};
        case Operation::Replace:
          return {QStringLiteral("Your database has been replaced.") +
                      (result.keptAs.isEmpty() ? QString()
                                               : QStringLiteral("\rThe old database was kept as ") +
                                                     result.keptAs + QStringLiteral(".")),
                  QStringLiteral("Database Replaced")};
      }
      break;
    case Outcome::DatabaseMissing:
      return {QStringLiteral("Database ") + result.path + QStringLiteral(" does not exist.")};
    case Outcome::DatabaseDamaged:
      return {QStringLiteral("The database ") + result.path +
                  QStringLiteral(" is damaged or is not a Glimmora database. It has not been "
                                 "changed."),
              kProgramTitle, MsgIcon::Critical};
    case Outcome::DatabaseReadOnly:
      return {QStringLiteral("The database ") + result.path +
                  QStringLiteral(" is read-only. It has not been changed."),
              kProgramTitle, MsgIcon::Exclamation};
    case Outcome::DatabaseInUse:
      return {QStringLiteral("The database ") + result.path +
                  QStringLiteral(" is in use by another window. Close the other windows and try "
                                 "again."),
              kProgramTitle, MsgIcon::Exclamation};
    case Outcome::CompactError:
      return {QStringLiteral("Error compacting database.")};
    case Outcome::NoBackup:
      return {QStringLiteral("There is no backup to restore at this time.")};
    case Outcome::BackupNotCatalogue:
      return {QStringLiteral("The backup ") + result.path +
                  QStringLiteral(" is not a Glimmora database. Nothing has been restored."),
              QStringLiteral("Restore Error"), MsgIcon::Critical};
    case Outcome::BackupError:
      return {QStringLiteral("The database could not be backed up. The previous backup has been "
                             "kept."),
              kProgramTitle, MsgIcon::Exclamation};
    case Outcome::RestoreError:
      return {QStringLiteral("There were errors restoring the database."),
              QStringLiteral("Restore Error"), MsgIcon::Critical};
    case Outcome::FreshMissing:
      return {QStringLiteral("Your backup database is missing!  See Website for a new one.")};
    case Outcome::FreshNotCatalogue:
      return {QStringLiteral("The fresh database ") + result.path +
                  QStringLiteral(" is not a Glimmora database. Nothing has been replaced."),
              QStringLiteral("Replace Error"), MsgIcon::Critical};
    case Outcome::ReplaceError:
      return {QStringLiteral("There were errors replacing the database."),
              QStringLiteral("Replace Error"), MsgIcon::Critical};
  }
  return {};
}

}  // namespace glim::catalogue::maintenance
