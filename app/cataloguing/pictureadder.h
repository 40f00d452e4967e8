// The add loop shared by "&Add to DB", the drive scan's "Add to Database" and the windowless
// cataloguing: one new tbl1 row per picture file, all rows of one run in one transaction.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>

#include "catalogue/database.h"

namespace glim::cataloguing {

struct AddResult {
  int added = 0;       // rows stored
  int known = 0;       // refused because the path is catalogued already
  int unreadable = 0;  // files gone or unreadable by the time they were added
  int badNames = 0;    // names the file system holds as bytes that are not UTF-8 text
  int notReached = 0;  // files left out because the run ended on a catalogue error
  // Set when the catalogue refused a write for another reason (damage, a full disk, another
  // program's lock); the run stops at the first such failure and stores nothing.
  QString error;  // the library's text, for diagnosis; messages use errorKind
  catalogue::DbError errorKind = catalogue::DbError::None;
  QString cataloguePath;

  bool failed() const { return errorKind != catalogue::DbError::None; }
  int total() const { return added + known + unreadable + badNames + notReached; }
};

// "A files were added to the database.\r(N - A) files were already listed in the database."
QString addedMessage(int added, int listed);
// The counting message of a run: addedMessage(added, known), then a line each for files that
// could not be read and files the run did not reach, when there are any.
QString countsMessage(const AddResult& result);
// Why a run stored nothing, in the user's words (catalogue damaged, disk full, catalogue in
// use by another program, ...).
QString catalogueErrorMessage(const AddResult& result);

// Called every few hundred files with the number handled so far; returning false stops the
// run after the rows stored up to then.
using AddProgress = std::function<bool(int done, int total)>;

class PictureAdder {
 public:
  explicit PictureAdder(catalogue::Database db);

  // One more than the IDNumber of the last row in table order; 1 for an empty table or
  // when it cannot be read.
  static qint32 nextIdFromCatalogue(catalogue::Database& db);

  qint32 nextId() const { return nextId_; }
  void setNextId(qint32 id) { nextId_ = id; }
  // The theme written into Class1; nothing written when unset (the drive scan).
  void setTheme(int theme) { theme_ = theme; }
  void clearTheme() { theme_ = -1; }
  void setToday(const QDate& today) { today_ = today; }

  // Adds the files in order. Every stored row consumes one ID number; a refused file does not.
  // A damaged catalogue is refused before anything is written.
  AddResult add(const QStringList& paths, const AddProgress& progress = {});

 private:
  catalogue::Database db_;
  qint32 nextId_ = 1;
  int theme_ = -1;
  QDate today_ = QDate::currentDate();
};

// Deletes the rows of exactly these paths (a path may hold quotes); returns the rows deleted.
// Failures are skipped, as the removal is best effort by design.
int removePictures(catalogue::Database& db, const QStringList& paths);

}  // namespace glim::cataloguing
