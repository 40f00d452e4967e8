// The five catalogue maintenance operations of the options window, as plain routines. They
// work on whole files; each replacement (restore, fresh catalogue, compacted file) is written
// beside its target and renamed over it, so a failure midway leaves the old catalogue whole.
// The window shows the please-wait window around a call and then messageFor()'s message.
#pragma once

#include <QDate>
#include <QString>
#include <functional>

#include "base/dialogs.h"

namespace glim::catalogue {

class DataControl;

namespace maintenance {

// The index of the option button that selects the operation.
enum class Operation {
  RemoveMissing = 0,  // remove the rows of missing pictures, then repair and compact
  RepairCompact = 1,
  Backup = 2,
  Restore = 3,
  Replace = 4,  // put the fresh catalogue "budb.bdb" in place
};

enum class Outcome {
  Done,
  DatabaseMissing,     // the catalogue does not exist (or is a folder)
  DatabaseDamaged,     // the catalogue is not a readable catalogue; nothing was changed
  DatabaseReadOnly,    // the catalogue or its folder cannot be written; nothing was changed
  DatabaseInUse,       // another connection still holds the catalogue; nothing was changed
  CompactError,        // compaction failed; the repaired catalogue is still in place
  NoBackup,            // restore: "Database Backup.mdb" does not exist
  BackupNotCatalogue,  // restore: the backup is not a catalogue; nothing was changed
  BackupError,         // back up: the copy could not be written; the old backup is kept
  RestoreError,        // restore: the copy failed; the catalogue is as it was
  FreshMissing,        // replace: "budb.bdb" does not exist
  FreshNotCatalogue,   // replace: "budb.bdb" is not a catalogue; nothing was changed
  ReplaceError,        // replace: the copy failed; the catalogue is as it was
};

// Called now and then during long work (every 15 rows while examining rows, and after each of
// the three steps of repair and compact as done = 1..3 of total = 3); the window keeps itself
// painted from it.
using Progress = std::function<void(int done, int total)>;

struct Context {
  QString programFolder;  // ends in "/"
  QString databasePath;   // the "Database" setting
  // The options window's data view: detached before the file is touched and re-attached to
  // the catalogue afterwards on every path, failures included. May be null.
  DataControl* view = nullptr;
  Progress progress;
};

struct Result {
  Operation operation = Operation::RepairCompact;
  Outcome outcome = Outcome::Done;
  QString path;         // the file the message names
  QString detail;       // the underlying reason, for diagnostics; not part of the messages
  int removedRows = 0;  // remove missing: rows deleted
  QString keptAs;       // replace: where the replaced catalogue was kept, empty when it was not
  bool ok() const { return outcome == Outcome::Done; }
};

struct Message {
  QString text;
  QString title = glim::kProgramTitle;
  MsgIcon icon = MsgIcon::None;
};

// The closing message the window shows for a result.
Message messageFor(const Result& result);

// The file names beside the program.
QString backupPath(const QString& programFolder);   // "Database Backup.mdb"
QString freshPath(const QString& programFolder);    // "budb.bdb"
QString tempPath(const QString& programFolder);     // "tempdb.mdb"
QString compactPath(const QString& programFolder);  // "compdb.mdb"
// Where a fresh start keeps the catalogue it replaces: a name of its own, dated, never one
// that exists ("Database before fresh start 2026-12-08.mdb", then "... 2026-12-08 2.mdb"),
// so neither the user's backup nor an earlier fresh start's copy is ever replaced.
QString freshStartKeepPath(const QString& programFolder, const QDate& day);

// True for an existing regular file; folders and unreadable paths count as missing.
bool fileExists(const QString& path);

// Runs the operation of an option index.
Result run(Operation operation, const Context& context);

// Marks every row (the first included) whose Pathname names no file as "Missing", deletes
// the marked rows, then repairs and compacts.
Result removeMissing(const Context& context);
// Copies the catalogue to "tempdb.mdb", checks and reindexes it in place, compacts it into
// "compdb.mdb" and renames that over the catalogue.
Result repairAndCompact(const Context& context);
Result backup(const Context& context);
Result restore(const Context& context);
// Puts a copy of "budb.bdb" in place of the catalogue (the old one is first kept under
// freshStartKeepPath() when it is a readable catalogue). The caller then resets the
// main-folder captions and ends the program when the replacement succeeded.
Result replaceWithFresh(const Context& context);

// Compacts a catalogue into "compdb.mdb" in the program folder: 1 on success, 0 on failure.
int compact(const QString& source, const QString& programFolder, QString* error = nullptr);

// Copies a catalogue (with whatever its write-ahead log holds) to a temporary file beside the
// target, flushes it to disk and renames it over the target. The target is untouched when
// anything fails.
bool replaceFile(const QString& source, const QString& target, QString* error = nullptr);

}  // namespace maintenance
}  // namespace glim::catalogue
