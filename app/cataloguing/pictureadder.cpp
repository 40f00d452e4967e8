#include "cataloguing/pictureadder.h"

#include <limits>

#include <sqlite3.h>

#include "base/logging.h"
#include "catalogue/jetsql.h"
#include "cataloguing/pictureentry.h"

namespace glim::cataloguing {

namespace {

constexpr int kProgressEvery = 250;

// One prepared INSERT reused for every row: a whole-disk list of tens of thousands of paths
// must not pay for parsing a statement per file.
class InsertStatement {
 public:
  InsertStatement(sqlite3* db, bool withTheme) : db_(db) {
    const char* sql =
        withTheme ? "INSERT INTO tbl1 (IDNumber, Pathname, Extension, Filesize, FileCreationDate,"
                    " DateAddedToDB, Class1) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"
                  : "INSERT INTO tbl1 (IDNumber, Pathname, Extension, Filesize, FileCreationDate,"
                    " DateAddedToDB) VALUES (?1, ?2, ?3, ?4, ?5, ?6)";
    if (db_) sqlite3_prepare_v2(db_, sql, -1, &stmt_, nullptr);
  }
  ~InsertStatement() { sqlite3_finalize(stmt_); }
  InsertStatement(const InsertStatement&) = delete;
  InsertStatement& operator=(const InsertStatement&) = delete;

  bool ready() const { return stmt_ != nullptr; }

  // SQLITE_DONE when stored, SQLITE_CONSTRAINT_UNIQUE for a known path, else the error.
  int insert(qint32 id, const PictureEntry& entry, int theme) {
    sqlite3_reset(stmt_);
    sqlite3_bind_int(stmt_, 1, id);
    bindText(2, entry.pathname);
    bindText(3, entry.extension);
    sqlite3_bind_int64(stmt_, 4, entry.fileSize);
    bindText(5, catalogue::storedDate(entry.fileDate));
    bindText(6, catalogue::storedDate(entry.dateAdded));
    if (theme >= 0) sqlite3_bind_int(stmt_, 7, theme);
    const int rc = sqlite3_step(stmt_);
    return rc == SQLITE_CONSTRAINT ? sqlite3_extended_errcode(db_) : rc;
  }

 private:
  void bindText(int index, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(stmt_, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
  }
  sqlite3* db_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace

QString addedMessage(int added, int listed) {
  return QString::number(added) + QStringLiteral(" files were added to the database.") + u'\r' +
         QString::number(listed) + QStringLiteral(" files were already listed in the database.");
}

QString countsMessage(const AddResult& result) {
  QString text = addedMessage(result.added, result.known);
  if (result.unreadable > 0)
    text += u'\r' + QString::number(result.unreadable) +
            QStringLiteral(" files could not be read and were left out.");
  if (result.badNames > 0)
    text += u'\r' + QString::number(result.badNames) +
            QStringLiteral(
                " files were left out because their names are not UTF-8 text, which "
                "the catalogue needs; rename them to add them.");
  if (result.notReached > 0)
    text += u'\r' + QString::number(result.notReached) +
            QStringLiteral(" files were not added because adding stopped.");
  return text;
}

QString catalogueErrorMessage(const AddResult& result) {
  return catalogue::describeError(result.errorKind, result.cataloguePath) +
         QStringLiteral("\rNo pictures were added.");
}

PictureAdder::PictureAdder(catalogue::Database db) : db_(std::move(db)) {}

qint32 PictureAdder::nextIdFromCatalogue(catalogue::Database& db) {
  const QVariant last = db.scalar(QStringLiteral("SELECT IDNumber FROM tbl1 ORDER BY rowid DESC"));
  bool ok = false;
  const qint64 id = last.toLongLong(&ok);
  if (!last.isValid() || !ok || id < 0 || id >= std::numeric_limits<qint32>::max()) return 1;
  return qint32(id + 1);
}

namespace {

// Qt decodes a name whose bytes are not UTF-8 into U+FFFD, which no longer names the file.
bool lostInDecoding(const QString& path) {
  return path.contains(QChar::ReplacementCharacter);
}

}  // namespace

AddResult PictureAdder::add(const QStringList& paths, const AddProgress& progress) {
  AddResult result;
  result.cataloguePath = db_.path();
  // The first failure is the one reported; the run's rows are rolled back with it.
  auto stop = [&]() {
    result.error = db_.lastError();
    result.errorKind = db_.lastErrorKind();
    if (result.errorKind == catalogue::DbError::None)
      result.errorKind = catalogue::DbError::Statement;
    if (db_.inTransaction()) db_.rollback();
    result.notReached = int(paths.size()) - result.known - result.unreadable - result.badNames;
    result.added = 0;
  };
  if (paths.isEmpty()) return result;
  if (!db_.isOpen()) {
    result.error = db_.lastError();
    result.errorKind = db_.lastErrorKind() == catalogue::DbError::None ? catalogue::DbError::NotOpen
                                                                       : db_.lastErrorKind();
    result.notReached = int(paths.size());
    return result;
  }
  // One check per run, before its first write. It takes the verdict of the check the window
  // started when it opened the file, and is not repeated while no other program or
  // connection has committed to the file since.
  if (!db_.checkIntact() || !db_.beginTransaction()) {
    stop();
    return result;
  }
  InsertStatement insert(db_.handle(), theme_ >= 0);
  if (!insert.ready()) {
    db_.noteError();
    stop();
    return result;
  }
  qint32 id = nextId_;
  for (qsizetype i = 0; i < paths.size(); ++i) {
    if (progress && i % kProgressEvery == 0 && i > 0 && !progress(int(i), int(paths.size()))) {
      result.notReached = int(paths.size() - i);
      break;
    }
    const auto entry = readPictureEntry(paths[i], today_);
    if (!entry) {
      qCInfo(lcCataloguing) << "left out (unreadable or name not UTF-8):" << paths[i];
      ++(lostInDecoding(paths[i]) ? result.badNames : result.unreadable);
      continue;
    }
    const int rc = insert.insert(id, *entry, theme_);
    if (rc == SQLITE_DONE) {
      ++result.added;
      ++id;
    } else if (rc == SQLITE_CONSTRAINT_UNIQUE) {
      ++result.known;
    } else {
      db_.noteError();
      stop();
      return result;
    }
  }
  if (!db_.commit()) {
    stop();
    return result;
  }
  nextId_ = id;
  return result;
}

int removePictures(catalogue::Database& db, const QStringList& paths) {
  // Deleting rows from a damaged file would spread the damage; removal is best effort.
  if (!db.isOpen() || !db.checkIntact()) return 0;
  const bool inTransaction = db.beginTransaction();
  int removed = 0;
  for (const QString& path : paths)
    if (db.execute(QStringLiteral("Delete * FROM tbl1 WHERE Pathname = ?;"), {path}))
      removed += db.changes();
  if (inTransaction && !db.commit()) {
    db.rollback();
    return 0;
  }
  return removed;
}

}  // namespace glim::cataloguing
