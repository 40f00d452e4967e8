#include "catalogue/recordset.h"

#include <sqlite3.h>

#include "base/textnum.h"
#include "catalogue/database_p.h"
#include "catalogue/jetsql.h"

namespace glim::catalogue {

namespace {

// DataAction numbers, repeated here so the recordset does not depend on the data control.
constexpr int kMoveFirst = 1, kMovePrevious = 2, kMoveNext = 3, kMoveLast = 4, kFind = 8,
              kBookmark = 9;

QString quotedName(const QString& name) {
  return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
         QLatin1Char('"');
}

}  // namespace

Recordset::Recordset(Database db, QString source, QString table, QString keysetSql)
    : db_(std::move(db)),
      source_(std::move(source)),
      table_(std::move(table)),
      keysetSql_(std::move(keysetSql)) {
  columns_ = db_.columns(table_);
  sqlite3* h = db_.handle();
  for (const QString& column : columns_) {
    const char* declared = nullptr;
    sqlite3_table_column_metadata(h, nullptr, table_.toUtf8().constData(),
                                  column.toUtf8().constData(), &declared, nullptr, nullptr, nullptr,
                                  nullptr);
    const QString type = QString::fromUtf8(declared ? declared : "").toUpper();
    // Dates are declared DATETEXT (TEXT affinity); the rest follows SQLite's affinity rules.
    if (type.startsWith(QLatin1String("DATE")))
      kinds_ << Kind::Date;
    else if (type.contains(QLatin1String("INT")))
      kinds_ << Kind::Integer;
    else if (type.contains(QLatin1String("REAL")) || type.contains(QLatin1String("FLOA")) ||
             type.contains(QLatin1String("DOUB")))
      kinds_ << Kind::Real;
    else
      kinds_ << Kind::Text;
  }
  row_.resize(columns_.size());
  buffer_.resize(columns_.size());
  changed_.resize(columns_.size());
}

Recordset::~Recordset() = default;

void Recordset::fail(const QString& message) const {
  error_ = message;
}

bool Recordset::loadKeys() {
  sqlite3* h = db_.handle();
  if (!h) return false;
  CachedStatement q(db_.d_.get(), keysetSql_);
  if (!q.ok()) {
    fail(QString::fromUtf8(sqlite3_errmsg(h)));
    db_.noteError();
    return false;
  }
  QVector<qint64> keys;
  int rc;
  while ((rc = sqlite3_step(q.get())) == SQLITE_ROW) keys.append(sqlite3_column_int64(q.get(), 0));
  if (rc != SQLITE_DONE) {
    fail(QString::fromUtf8(sqlite3_errmsg(h)));
    db_.noteError();
    return false;
  }
  for (const QString& filter : std::as_const(filters_)) {
    QSet<qint64> rows;
    if (!matching(filter, &rows)) return false;
    QVector<qint64> kept;
    kept.reserve(keys.size());
    for (qint64 key : std::as_const(keys))
      if (rows.contains(key)) kept.append(key);
    keys.swap(kept);
  }
  keys_.swap(keys);
  return true;
}

bool Recordset::matching(const QString& criterion, QSet<qint64>* rows) const {
  sqlite3* h = db_.handle();
  CachedStatement q(db_.d_.get(), QStringLiteral("SELECT rowid FROM %1 WHERE (%2)")
                                      .arg(quotedName(table_), translateJet(criterion)));
  if (!q.ok()) {
    fail(QString::fromUtf8(sqlite3_errmsg(h)));
    db_.noteError();
    return false;
  }
  int rc;
  while ((rc = sqlite3_step(q.get())) == SQLITE_ROW) rows->insert(sqlite3_column_int64(q.get(), 0));
  if (rc != SQLITE_DONE) {
    fail(QString::fromUtf8(sqlite3_errmsg(h)));
    db_.noteError();
    return false;
  }
  return true;
}

bool Recordset::bof() const {
  return keys_.isEmpty() || (position_ < 0 && !onGap_);
}
bool Recordset::eof() const {
  return keys_.isEmpty() || position_ >= keys_.size();
}

int Recordset::absolutePosition() const {
  if (onGap_ || position_ < 0 || position_ >= keys_.size()) return -1;
  return position_;
}

bool Recordset::setAbsolutePosition(int position) {
  if (position < 0 || position >= keys_.size()) return false;
  moveTo(position, kBookmark);
  return true;
}

void Recordset::moveFirst() {
  moveTo(0, kMoveFirst);
}
void Recordset::moveLast() {
  moveTo(int(keys_.size()) - 1, kMoveLast);
}

void Recordset::moveNext() {
  // After a delete the position already names the row that followed the deleted one.
  const int target = onGap_ ? position_ : position_ + 1;
  moveTo(std::min(target, int(keys_.size())), kMoveNext);
}

void Recordset::movePrevious() {
  moveTo(std::max(position_ - 1, -1), kMovePrevious);
}

void Recordset::move(int rows) {
  if (rows == 0) return;
  const int from = onGap_ && rows > 0 ? position_ - 1 : position_;
  const int target = std::clamp(from + rows, -1, int(keys_.size()));
  moveTo(target, rows > 0 ? kMoveNext : kMovePrevious);
}

void Recordset::moveTo(int position, int reason) {
  if (observer_.beforeMove) observer_.beforeMove(reason);
  goTo(position);
  if (observer_.afterMove) observer_.afterMove();
}

void Recordset::goTo(int position) {
  cancelUpdate();
  onGap_ = false;
  if (keys_.isEmpty()) {
    position_ = position <= 0 ? -1 : 0;
  } else {
    position_ = std::clamp(position, -1, int(keys_.size()));
  }
  readCurrent();
}

void Recordset::readCurrent() {
  currentDeleted_ = false;
  std::fill(row_.begin(), row_.end(), QVariant());
  const qint64 key = bookmark();
  if (key == 0) return;
  CachedStatement q(db_.d_.get(),
                    QStringLiteral("SELECT * FROM %1 WHERE rowid = ?").arg(quotedName(table_)));
  if (!q.ok()) return;
  sqlite3_bind_int64(q.get(), 1, key);
  if (sqlite3_step(q.get()) != SQLITE_ROW) {
    currentDeleted_ = true;  // deleted by a statement or another view since the set opened
    return;
  }
  for (int i = 0; i < row_.size() && i < sqlite3_column_count(q.get()); ++i)
    row_[i] = columnValue(q.get(), i);
}

qint64 Recordset::bookmark() const {
  if (onGap_ || position_ < 0 || position_ >= keys_.size()) return 0;
  return keys_.at(position_);
}

bool Recordset::setBookmark(qint64 rowId) {
  const int at = int(keys_.indexOf(rowId));
  if (at < 0) return false;
  moveTo(at, kBookmark);
  return true;
}

int Recordset::fieldIndex(const QString& field) const {
  for (int i = 0; i < columns_.size(); ++i)
    if (columns_.at(i).compare(field, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

bool Recordset::hasField(const QString& field) const {
  return fieldIndex(field) >= 0;
}

QVariant Recordset::shownForm(int column, const QVariant& stored) const {
  if (kinds_.at(column) != Kind::Date || stored.isNull()) return stored;
  const QDate date = parseAnyDate(stored.toString());
  return date.isValid() ? QVariant(date) : stored;
}

QVariant Recordset::value(const QString& field) const {
  const int i = fieldIndex(field);
  if (i < 0) return {};
  if (mode_ != Mode::None && changed_.at(i)) return shownForm(i, buffer_.at(i));
  if (mode_ == Mode::Adding) return {};
  return shownForm(i, row_.at(i));
}

QVariant Recordset::storedForm(int column, const QVariant& value, bool* ok) const {
  *ok = true;
  if (value.isNull() || !value.isValid()) return {};
  const bool isText = value.typeId() == QMetaType::QString;
  switch (kinds_.at(column)) {
    case Kind::Date: {
      if (value.typeId() == QMetaType::QDate) return storedDate(value.toDate());
      if (value.typeId() == QMetaType::QDateTime) return storedDate(value.toDateTime().date());
      const QString text = value.toString().trimmed();
      if (text.isEmpty()) return {};
      const QDate date = parseAnyDate(text);
      *ok = date.isValid();
      return storedDate(date);
    }
    case Kind::Integer: {
      if (!isText) {
        if (value.typeId() == QMetaType::Bool) return value.toBool() ? 1 : 0;
        if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
          return qlonglong(textnum::roundHalfEven(value.toDouble()));
        return value.toLongLong(ok);
      }
      const QString text = value.toString().trimmed();
      if (text.isEmpty()) return {};
      const auto number = textnum::toDouble(text);
      *ok = number.has_value();
      return number ? QVariant(qlonglong(textnum::roundHalfEven(*number))) : QVariant();
    }
    case Kind::Real: {
      if (!isText) return value.toDouble(ok);
      const QString text = value.toString().trimmed();
      if (text.isEmpty()) return {};
      const auto number = textnum::toDouble(text);
      *ok = number.has_value();
      return number ? QVariant(*number) : QVariant();
    }
    case Kind::Text:
      return value.toString();
  }
  return value;
}

bool Recordset::edit() {
  if (mode_ != Mode::None) return true;
  if (bookmark() == 0 || currentDeleted_) {
    fail(QStringLiteral("No current record."));
    return false;
  }
  std::fill(changed_.begin(), changed_.end(), false);
  mode_ = Mode::Editing;
  return true;
}

void Recordset::addNew() {
  std::fill(changed_.begin(), changed_.end(), false);
  std::fill(buffer_.begin(), buffer_.end(), QVariant());
  mode_ = Mode::Adding;
}

bool Recordset::setValue(const QString& field, const QVariant& value) {
  const int i = fieldIndex(field);
  if (i < 0) {
    fail(QStringLiteral("Item not found in this collection: %1").arg(field));
    return false;
  }
  if (mode_ == Mode::None && !edit()) return false;
  bool ok = false;
  const QVariant stored = storedForm(i, value, &ok);
  if (!ok) {
    fail(QStringLiteral("Data type conversion error: %1 = \"%2\"").arg(field, value.toString()));
    return false;
  }
  buffer_[i] = stored;
  changed_[i] = true;
  return true;
}

bool Recordset::update() {
  if (mode_ == Mode::None) {
    fail(QStringLiteral("Update without AddNew or Edit."));
    return false;
  }
  QStringList names;
  QVariantList values;
  for (int i = 0; i < columns_.size(); ++i) {
    if (!changed_.at(i)) continue;
    names << quotedName(columns_.at(i));
    values << buffer_.at(i);
  }
  sqlite3* h = db_.handle();
  QString sql;
  if (mode_ == Mode::Adding) {
    sql = names.isEmpty()
              ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quotedName(table_))
              : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                    .arg(quotedName(table_), names.join(QStringLiteral(", ")),
                         QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", ")));
  } else if (!names.isEmpty()) {
    for (QString& name : names) name += QStringLiteral(" = ?");
    sql = QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
              .arg(quotedName(table_), names.join(QStringLiteral(", ")));
    values << QVariant(bookmark());
  } else {
    mode_ = Mode::None;  // nothing changed
    lastModified_ = bookmark();
    return true;
  }
  if (!db_.d_->readyToWrite()) {
    fail(db_.lastError());
    return false;
  }
  CachedStatement q(db_.d_.get(), sql);
  bool ok = q.ok();
  for (int i = 0; ok && i < values.size(); ++i) ok = bindValue(q.get(), i + 1, values.at(i));
  if (ok) ok = sqlite3_step(q.get()) == SQLITE_DONE;
  if (!ok) {
    fail(QString::fromUtf8(sqlite3_errmsg(h)));
    db_.noteError();
    return false;
  }
  if (mode_ == Mode::Editing && sqlite3_changes(h) == 0) {
    // Another view or a statement deleted the row since this set arrived on it.
    fail(QStringLiteral("The record has been deleted."));
    return false;
  }
  if (mode_ == Mode::Adding) {
    lastModified_ = sqlite3_last_insert_rowid(h);
    keys_.append(lastModified_);
    // An empty set was at BOF/EOF; its one row now follows BOF.
  } else {
    lastModified_ = bookmark();
  }
  mode_ = Mode::None;
  error_.clear();
  readCurrent();
  return true;
}

void Recordset::cancelUpdate() {
  mode_ = Mode::None;
  std::fill(changed_.begin(), changed_.end(), false);
}

bool Recordset::deleteRecord() {
  const qint64 key = bookmark();
  if (key == 0) {
    fail(QStringLiteral("No current record."));
    return false;
  }
  cancelUpdate();
  if (!db_.d_->readyToWrite()) {
    fail(db_.lastError());
    return false;
  }
  sqlite3* h = db_.handle();
  CachedStatement q(db_.d_.get(),
                    QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quotedName(table_)));
  if (!q.ok() || sqlite3_bind_int64(q.get(), 1, key) != SQLITE_OK ||
      sqlite3_step(q.get()) != SQLITE_DONE) {
    fail(QString::fromUtf8(sqlite3_errmsg(h)));
    db_.noteError();
    return false;
  }
  keys_.remove(position_);
  onGap_ = true;
  currentDeleted_ = true;
  std::fill(row_.begin(), row_.end(), QVariant());
  return true;
}

bool Recordset::findFirst(const QString& criterion) {
  QSet<qint64> rows;
  if (!matching(criterion, &rows)) return false;
  for (int i = 0; i < keys_.size(); ++i) {
    if (rows.contains(keys_.at(i))) {
      moveTo(i, kFind);
      return true;
    }
  }
  return false;
}

bool Recordset::findNext(const QString& criterion) {
  QSet<qint64> rows;
  if (!matching(criterion, &rows)) return false;
  const int from = onGap_ ? position_ : position_ + 1;
  for (int i = std::max(from, 0); i < keys_.size(); ++i) {
    if (rows.contains(keys_.at(i))) {
      moveTo(i, kFind);
      return true;
    }
  }
  return false;
}

std::unique_ptr<Recordset> Recordset::openFiltered() const {
  auto rs = std::unique_ptr<Recordset>(new Recordset(db_, source_, table_, keysetSql_));
  rs->filters_ = filters_;
  if (!filter_.trimmed().isEmpty()) {
    QSet<qint64> rows;
    if (!matching(filter_, &rows)) return nullptr;
    rs->filters_ << filter_;
    rs->keys_.reserve(keys_.size());
    for (qint64 key : keys_)
      if (rows.contains(key)) rs->keys_.append(key);
  } else {
    rs->keys_ = keys_;
  }
  rs->goTo(0);
  return rs;
}

bool Recordset::requery() {
  cancelUpdate();
  if (!loadKeys()) return false;
  moveTo(0, kMoveFirst);
  return true;
}

}  // namespace glim::catalogue
