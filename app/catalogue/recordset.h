// A recordset: a keyset of SQLite row ids over one table, taken when it opens (a table name,
// or a SELECT over one table, in Jet's dialect). Field values are read from the row on
// arrival; rows deleted by someone else read as empty. Positions are 0-based.
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>

#include "catalogue/database.h"

namespace glim::catalogue {

class Recordset {
 public:
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  Database database() const { return db_; }
  QString table() const { return table_; }
  // The record source it was opened with (table name or Jet SELECT).
  QString source() const { return source_; }
  QStringList fieldNames() const { return columns_; }

  int recordCount() const { return static_cast<int>(keys_.size()); }
  // The set's row ids in set order (the bookmarks of its rows).
  const QVector<qint64>& bookmarks() const { return keys_; }
  // True before the first row / after the last row; both when the set is empty.
  bool bof() const;
  bool eof() const;
  // The current position, -1 when on neither row (BOF or EOF).
  int absolutePosition() const;
  // Moves to a 0-based position; out of range leaves the position unchanged and returns false.
  bool setAbsolutePosition(int position);

  // Each move discards an edit or add not written with update(). Moving next from the last
  // row goes to EOF, previous from the first to BOF; moving again from there stays there.
  void moveFirst();
  void moveLast();
  void moveNext();
  void movePrevious();
  void move(int rows);

  // The current row's id, usable with setBookmark(); 0 when there is no current row.
  qint64 bookmark() const;
  bool setBookmark(qint64 rowId);
  // The id of the row last added or updated through this recordset; 0 when none.
  qint64 lastModified() const { return lastModified_; }

  // A field of the current row (the edit buffer while editing). Dates come back as QDate,
  // other values as SQLite holds them; an unknown field or no current row gives QVariant().
  QVariant value(const QString& field) const;
  bool hasField(const QString& field) const;
  // Sets a field in the edit buffer, starting an edit of the current row when neither an edit
  // nor an add is in progress. Dates take a QDate, "mm/dd/yyyy" or ISO text. False for an
  // unknown field or when there is no current row to edit.
  bool setValue(const QString& field, const QVariant& value);

  // Starts an edit of the current row (setValue() does this by itself).
  bool edit();
  // Starts a new row; only the fields set before update() are written, the table's
  // defaults give the rest (NewFile = 1, other numbers 0).
  void addNew();
  // Writes the edit buffer. A new row joins the end of the keyset, becomes lastModified(),
  // and the current row stays where it was. False on failure (a duplicate Pathname, a value
  // of the wrong type), with the buffer kept so the caller may correct or cancel it.
  bool update();
  void cancelUpdate();
  bool editing() const { return mode_ != Mode::None; }
  bool adding() const { return mode_ == Mode::Adding; }

  // Deletes the current row from the table; the position stays on the gap, so move next to
  // reach the following row.
  bool deleteRecord();

  // Moves to the first row (in set order) matching a Jet criterion; true when found. When
  // nothing matches the position is unchanged.
  bool findFirst(const QString& criterion);
  bool findNext(const QString& criterion);

  // The Jet filter for openFiltered().
  void setFilter(const QString& filter) { filter_ = filter; }
  QString filter() const { return filter_; }
  // A new recordset of this set's rows (in this order) that match filter(); nullptr when the
  // filter fails, with the database's lastError() set. It starts on its first row.
  std::unique_ptr<Recordset> openFiltered() const;

  // Re-runs the statement for a fresh keyset and goes to its first row.
  bool requery();

  QString lastError() const { return error_; }

  // Called before the current row changes (for any reason) and after it has changed; a data
  // control uses them to write its bound controls back and to refresh them.
  // The reason passed to beforeMove uses DataAction's numbers (datacontrol.h).
  struct Observer {
    std::function<void(int reason)> beforeMove;
    std::function<void()> afterMove;
  };
  void setObserver(Observer observer) { observer_ = std::move(observer); }

 private:
  friend class Database;
  enum class Mode { None, Editing, Adding };
  enum class Kind { Text, Integer, Real, Date };

  Recordset(Database db, QString source, QString table, QString keysetSql);
  bool loadKeys();
  void moveTo(int position, int reason);
  void goTo(int position);
  void readCurrent();
  int fieldIndex(const QString& field) const;
  QVariant storedForm(int column, const QVariant& value, bool* ok) const;
  QVariant shownForm(int column, const QVariant& stored) const;
  bool matching(const QString& criterion, QSet<qint64>* rows) const;
  void fail(const QString& message) const;

  Database db_;
  QString source_;
  QString table_;
  QString keysetSql_;
  QStringList filters_;  // filters applied on top of the statement, in order
  QStringList columns_;
  QVector<Kind> kinds_;
  QVector<qint64> keys_;
  int position_ = -1;   // -1 = BOF; keys_.size() = EOF
  bool onGap_ = false;  // the current row was deleted; position_ is the row after the gap
  bool currentDeleted_ = false;
  QVector<QVariant> row_;
  QVector<QVariant> buffer_;
  QVector<bool> changed_;
  Mode mode_ = Mode::None;
  qint64 lastModified_ = 0;
  QString filter_;
  mutable QString error_;
  Observer observer_;
};

}  // namespace glim::catalogue
