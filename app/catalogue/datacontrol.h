// The data control: a window's view of catalogue rows. It opens a recordset over its record
// source on the file named by its database name, keeps line edits and check boxes bound to
// fields of the current row, writes their edits back when the current row changes or on
// updateRecord(), raises Validate before leaving a row and Reposition after arriving.
// Moves made directly on recordset() behave the same as moves made through the control.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

#include "catalogue/database.h"
#include "catalogue/recordset.h"

class QCheckBox;
class QLineEdit;
class QWidget;

namespace glim::catalogue {

// Why the current row is about to change (passed with Validate).
enum class DataAction {
  MoveFirst = 1,
  MovePrevious = 2,
  MoveNext = 3,
  MoveLast = 4,
  AddNew = 5,
  Update = 6,
  Delete = 7,
  Find = 8,
  Bookmark = 9,
  Close = 10,
  Unload = 11,
};

class DataControl : public QObject {
  Q_OBJECT

 public:
  explicit DataControl(QObject* parent = nullptr);
  ~DataControl() override;

  QString databaseName() const { return databaseName_; }
  void setDatabaseName(const QString& path) { databaseName_ = path; }
  // A table name ("tbl1") or a Jet SELECT statement.
  QString recordSource() const { return recordSource_; }
  void setRecordSource(const QString& source) { recordSource_ = source; }

  // Writes pending bound edits, then re-opens the record source on the database and moves to
  // the first row. An empty database name detaches: the file is released and the bound
  // controls are cleared. False (with lastError()) when the file or source cannot be opened;
  // the control then has no recordset and its bound controls are empty.
  bool refresh();
  // Takes over a recordset opened elsewhere (the viewer's query with its filters). The
  // database name follows the recordset's file; the bound controls show its current row.
  void setRecordset(std::unique_ptr<Recordset> recordset);
  // Nullptr while detached or after a failed refresh.
  Recordset* recordset() const { return recordset_.get(); }
  Database database() const;
  // Releases the recordset and the file (the maintenance routines need the file free).
  void detach();

  // Binds a control to a field of the current row. Line edits show dates as "mm/dd/yyyy" and
  // numbers as plain decimals; check boxes are ticked for a non-zero value and write 1 or 0.
  void bind(QLineEdit* edit, const QString& field);
  void bind(QCheckBox* box, const QString& field);
  void unbind(QWidget* control);

  // True when a bound control differs from the current row.
  bool dataChanged() const;
  // Writes changed bound controls into the current row. False with lastError() when the row
  // refuses a value (a duplicate Pathname, text in a number field); the controls keep it.
  bool updateRecord();
  // Shows the current row's values in the bound controls again, dropping their edits.
  void updateControls();

  // The move family: Validate, write back, move, Reposition.
  void moveFirst();
  void moveLast();
  void moveNext();
  void movePrevious();
  bool setAbsolutePosition(int position);
  int absolutePosition() const;
  int recordCount() const;
  bool bof() const;
  bool eof() const;
  bool findFirst(const QString& criterion);

  // Windows that write rows have every opening of the file run the damage check
  // (Database::startDamageCheck). It starts when the event loop next runs and goes on in the
  // background, so the first row is shown without waiting for it, and every write waits for
  // its verdict: a damaged file is read but never written (its connection refuses writes).
  // When the verdict is damage, damaged() says so and DamageFound is raised, once per
  // opening. A set on a connection that has its verdict already (a filtered copy) is not
  // checked again.
  void setCheckForDamage(bool on) { checkForDamage_ = on; }
  bool damaged() const { return damaged_; }
  // Waits for the verdict of the current opening, checking now if the check has not started
  // (raising DamageFound for damage).
  void settleDamageCheck();

  QString lastError() const { return error_; }
  // The kind of the last failure, for the plain-words message (describeError).
  DbError lastErrorKind() const { return errorKind_; }

 signals:
  // Before the current row changes. Set *save to false to drop the bound controls' edits
  // instead of writing them. *save starts as dataChanged().
  void Validate(glim::catalogue::DataAction action, bool* save);
  // After a new row became current (also after refresh() and setRecordset()).
  void Reposition();
  // A write-back that failed while leaving a row; the move goes on, as the row is left.
  void Error(const QString& message);
  // The damage check found the file damaged (see setCheckForDamage).
  void DamageFound();

 private:
  struct Binding;
  void observe();
  void beforeMove(DataAction action);
  void afterMove();
  void showCurrent();
  void clearControls();
  QString textOf(const Binding& binding) const;
  QString controlText(const Binding& binding) const;
  void setControlText(Binding& binding, const QString& text);
  bool writeBack();
  void noteRecordsetError();
  void checkForDamage(Database db);
  void startDamageCheck();
  void takeVerdict();
  void announceDamage();

  QString databaseName_;
  QString recordSource_;
  std::unique_ptr<Recordset> recordset_;
  QList<Binding*> bindings_;
  QString error_;
  DbError errorKind_ = DbError::None;
  bool checkForDamage_ = false;
  bool damaged_ = false;
  bool damageAnnounced_ = false;
  // Lets a check's thread reach this control only while it lives (checked on this thread).
  std::shared_ptr<DataControl*> self_ = std::make_shared<DataControl*>(this);
};

}  // namespace glim::catalogue
