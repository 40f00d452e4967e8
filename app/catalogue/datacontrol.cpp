#include "catalogue/datacontrol.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDate>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include "base/textnum.h"

namespace glim::catalogue {

struct DataControl::Binding {
  QPointer<QLineEdit> edit;
  QPointer<QCheckBox> box;
  QString field;
  QString shown;  // the text last put into the control from the row

  QWidget* widget() const {
    return edit ? static_cast<QWidget*>(edit.data()) : static_cast<QWidget*>(box.data());
  }
};

namespace {

// How a stored value reads in a line edit.
QString displayText(const QVariant& value) {
  if (!value.isValid() || value.isNull()) return {};
  switch (value.typeId()) {
    case QMetaType::QDate:
      return textnum::dateText(value.toDate());
    case QMetaType::Double:
    case QMetaType::Float:
      return textnum::doubleText(value.toDouble());
    default:
      return value.toString();
  }
}

QString boxText(const QVariant& value) {
  bool ok = false;
  const double number = value.toDouble(&ok);
  return ok && number != 0 ? QStringLiteral("1") : QStringLiteral("0");
}

}  // namespace

DataControl::DataControl(QObject* parent) : QObject(parent) {}

DataControl::~DataControl() {
  if (recordset_) recordset_->setObserver({});
  qDeleteAll(bindings_);
}

Database DataControl::database() const {
  return recordset_ ? recordset_->database() : Database();
}

void DataControl::observe() {
  if (!recordset_) return;
  recordset_->setObserver({[this](int reason) { beforeMove(static_cast<DataAction>(reason)); },
                           [this] { afterMove(); }});
}

bool DataControl::refresh() {
  if (recordset_ && dataChanged()) writeBack();
  if (recordset_) recordset_->setObserver({});
  recordset_.reset();
  error_.clear();
  errorKind_ = DbError::None;
  damaged_ = false;
  damageAnnounced_ = false;
  if (databaseName_.trimmed().isEmpty()) {
    clearControls();
    return true;
  }
  Database db = Database::open(databaseName_);
  if (!db.isOpen()) {
    error_ = db.lastError();
    errorKind_ = db.lastErrorKind();
    clearControls();
    return false;
  }
  checkForDamage(db);
  const QString source = recordSource_.trimmed().isEmpty() ? QStringLiteral("tbl1") : recordSource_;
  recordset_ = db.openRecordset(source);
  if (!recordset_) {
    error_ = db.lastError();
    errorKind_ = db.lastErrorKind();
    // A record source that cannot be read: the file is not the catalogue it should be.
    if (errorKind_ == DbError::Statement || errorKind_ == DbError::None)
      errorKind_ = DbError::NotOpen;
    clearControls();
    return false;
  }
  observe();
  takeVerdict();
  afterMove();
  announceDamage();
  return true;
}

void DataControl::setRecordset(std::unique_ptr<Recordset> recordset) {
  if (recordset_ && dataChanged()) writeBack();
  const sqlite3* before = recordset_ ? recordset_->database().handle() : nullptr;
  if (recordset_) recordset_->setObserver({});
  error_.clear();
  errorKind_ = DbError::None;
  if (!recordset) {
    recordset_.reset();
    damaged_ = false;
    damageAnnounced_ = false;
    clearControls();
    return;
  }
  // A set on the connection checked already (a filtered copy) keeps what is known of it.
  if (recordset->database().handle() != before) {
    damaged_ = false;
    damageAnnounced_ = false;
    checkForDamage(recordset->database());
  }
  recordset_ = std::move(recordset);
  databaseName_ = recordset_->database().path();
  observe();
  takeVerdict();
  afterMove();
  announceDamage();
}

void DataControl::detach() {
  setDatabaseName(QString());
  refresh();
}

void DataControl::bind(QLineEdit* edit, const QString& field) {
  auto* binding = new Binding;
  binding->edit = edit;
  binding->field = field;
  bindings_.append(binding);
  setControlText(*binding, textOf(*binding));
}

void DataControl::bind(QCheckBox* box, const QString& field) {
  auto* binding = new Binding;
  binding->box = box;
  binding->field = field;
  bindings_.append(binding);
  setControlText(*binding, textOf(*binding));
}

void DataControl::unbind(QWidget* control) {
  for (qsizetype i = bindings_.size() - 1; i >= 0; --i) {
    if (bindings_.at(i)->widget() == control) delete bindings_.takeAt(i);
  }
}

QString DataControl::textOf(const Binding& binding) const {
  if (!recordset_) return binding.box ? QStringLiteral("0") : QString();
  const QVariant value = recordset_->value(binding.field);
  return binding.box ? boxText(value) : displayText(value);
}

QString DataControl::controlText(const Binding& binding) const {
  if (binding.edit) return binding.edit->text();
  if (binding.box) return binding.box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
  return binding.shown;
}

void DataControl::setControlText(Binding& binding, const QString& text) {
  binding.shown = text;
  if (binding.edit) {
    binding.edit->setText(text);
    binding.edit->setModified(false);
  } else if (binding.box) {
    binding.box->setChecked(text == QLatin1String("1"));
  }
}

bool DataControl::dataChanged() const {
  if (!recordset_) return false;
  for (const Binding* binding : bindings_)
    if (binding->widget() && controlText(*binding) != binding->shown) return true;
  return false;
}

bool DataControl::writeBack() {
  if (!recordset_ || recordset_->bookmark() == 0) {
    error_ = QStringLiteral("No current record.");
    errorKind_ = DbError::Statement;
    return false;
  }
  bool any = false;
  for (const Binding* binding : std::as_const(bindings_)) {
    if (!binding->widget()) continue;
    const QString text = controlText(*binding);
    if (text == binding->shown) continue;
    const QVariant value = binding->box ? QVariant(text.toInt()) : QVariant(text);
    if (!recordset_->setValue(binding->field, value)) {
      noteRecordsetError();
      recordset_->cancelUpdate();
      return false;
    }
    any = true;
  }
  if (!any) return true;
  if (!recordset_->update()) {
    noteRecordsetError();
    recordset_->cancelUpdate();
    return false;
  }
  // The row now holds the controls' values; show them as the row stores them.
  showCurrent();
  return true;
}

void DataControl::checkForDamage(Database db) {
  if (!checkForDamage_) return;
  db.requireDamageVerdict();
  // The check starts once the event loop runs again, after the window has shown the first
  // row: it then takes no time from it. A write before that checks first.
  QTimer::singleShot(0, this, [this, handle = db.handle()] {
    if (recordset_ && recordset_->database().handle() == handle) startDamageCheck();
  });
}

void DataControl::startDamageCheck() {
  // The verdict arrives on the check's thread; this control hears of it on its own thread,
  // when the event loop next runs, and only if it still exists.
  const std::weak_ptr<DataControl*> self = self_;
  recordset_->database().startDamageCheck([self] {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    QMetaObject::invokeMethod(
        app,
        [self] {
          if (const auto control = self.lock()) {
            (*control)->takeVerdict();
            (*control)->announceDamage();
          }
        },
        Qt::QueuedConnection);
  });
  takeVerdict();  // a verdict reached before the check was due (a write needed it)
  announceDamage();
}

void DataControl::takeVerdict() {
  if (!checkForDamage_ || !recordset_ || damaged_) return;
  Database db = recordset_->database();
  if (db.integrity() != Database::Integrity::Damaged) return;
  damaged_ = true;
  error_ = db.damageDetail();
  errorKind_ = DbError::Damaged;
}

void DataControl::announceDamage() {
  if (!damaged_ || damageAnnounced_) return;
  damageAnnounced_ = true;
  emit DamageFound();
}

void DataControl::settleDamageCheck() {
  if (!recordset_) return;
  recordset_->database().settleDamageCheck();
  takeVerdict();
  announceDamage();
}

void DataControl::noteRecordsetError() {
  takeVerdict();  // a refused write may have waited for the verdict
  error_ = recordset_->lastError();
  errorKind_ = recordset_->database().lastErrorKind();
  // A value the row refused before reaching the file (text in a number field).
  if (errorKind_ == DbError::None) errorKind_ = DbError::Statement;
}

bool DataControl::updateRecord() {
  error_.clear();
  errorKind_ = DbError::None;
  if (!dataChanged()) return true;
  return writeBack();
}

void DataControl::updateControls() {
  showCurrent();
}

void DataControl::showCurrent() {
  for (Binding* binding : std::as_const(bindings_))
    if (binding->widget()) setControlText(*binding, textOf(*binding));
}

void DataControl::clearControls() {
  for (Binding* binding : std::as_const(bindings_))
    if (binding->widget()) setControlText(*binding, binding->box ? QStringLiteral("0") : QString());
}

void DataControl::beforeMove(DataAction action) {
  if (!recordset_ || recordset_->bookmark() == 0) {
    bool save = false;
    emit Validate(action, &save);
    return;
  }
  bool save = dataChanged();
  emit Validate(action, &save);
  if (save && dataChanged() && !writeBack()) emit Error(error_);
}

void DataControl::afterMove() {
  takeVerdict();
  showCurrent();
  emit Reposition();
}

void DataControl::moveFirst() {
  if (recordset_) recordset_->moveFirst();
}
void DataControl::moveLast() {
  if (recordset_) recordset_->moveLast();
}
void DataControl::moveNext() {
  if (recordset_) recordset_->moveNext();
}
void DataControl::movePrevious() {
  if (recordset_) recordset_->movePrevious();
}
bool DataControl::setAbsolutePosition(int position) {
  return recordset_ && recordset_->setAbsolutePosition(position);
}
int DataControl::absolutePosition() const {
  return recordset_ ? recordset_->absolutePosition() : -1;
}
int DataControl::recordCount() const {
  return recordset_ ? recordset_->recordCount() : 0;
}
bool DataControl::bof() const {
  return !recordset_ || recordset_->bof();
}
bool DataControl::eof() const {
  return !recordset_ || recordset_->eof();
}
bool DataControl::findFirst(const QString& criterion) {
  return recordset_ && recordset_->findFirst(criterion);
}

}  // namespace glim::catalogue
