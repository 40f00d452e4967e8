#include "catalogue/database.h"

#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstdlib>
#include <optional>

#include "base/logging.h"
#include "catalogue/database_p.h"
#include "catalogue/jetsql.h"
#include "catalogue/recordset.h"

namespace glim::catalogue {

Database::Shared::~Shared() {
  check.reset();  // stops a running check before its file's connection closes
  for (sqlite3_stmt* stmt : std::as_const(idle)) sqlite3_finalize(stmt);
  if (!db) return;
  if (inTransaction) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close_v2(db);
}

DbError errorKindFor(int code, int systemErrno) {
  if (systemErrno == ENOSPC || systemErrno == EDQUOT) return DbError::DiskFull;
  if (systemErrno == EFBIG) return DbError::TooLarge;
  switch (code & 0xff) {
    case SQLITE_CONSTRAINT:
      return DbError::Duplicate;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return DbError::Damaged;
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
      return DbError::ReadOnly;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return DbError::Busy;
    case SQLITE_FULL:
      return DbError::DiskFull;
    case SQLITE_IOERR:
      return DbError::WriteFailed;
    default:
      return DbError::Statement;
  }
}

QString describeError(DbError kind, const QString& path) {
  const QString named = path.isEmpty() ? QString() : u' ' + QDir::toNativeSeparators(path);
  const QString catalogue = QStringLiteral("The catalogue") + named;
  switch (kind) {
    case DbError::None:
      return {};
    case DbError::Missing:
      return path.isEmpty() ? QStringLiteral("The catalogue does not exist.")
                            : QStringLiteral("Database %1 does not exist.")
                                  .arg(QDir::toNativeSeparators(path));
    case DbError::Damaged:
      return catalogue + QStringLiteral(
                             " is damaged, so nothing was written to it.\rRepair it with "
                             "\"Repair and compact the database\" on the Database tab of the "
                             "Options.");
    case DbError::ReadOnly:
      return catalogue + QStringLiteral(" cannot be written: the file or its folder is read-only.");
    case DbError::Busy:
      return catalogue +
             QStringLiteral(" is in use by another program.\rClose that program and try again.");
    case DbError::DiskFull:
      return QStringLiteral("The disk is full, so the catalogue") + named +
             QStringLiteral(" cannot grow.\rFree some space and try again.");
    case DbError::TooLarge:
      return catalogue + QStringLiteral(
                             " cannot grow: it has reached the largest file size this program "
                             "may write (a file-size limit is set for it).");
    case DbError::WriteFailed:
      return catalogue + QStringLiteral(
                             " could not be read or written: the disk reported an "
                             "error.");
    case DbError::NotOpen:
      return catalogue + QStringLiteral(" could not be opened.");
    case DbError::Duplicate:
    case DbError::Statement:
      break;
  }
  return catalogue + QStringLiteral(" refused the change.");
}

void Database::Shared::fail(int code, const QString& text, int systemErrno) {
  error = text;
  errorKind = errorKindFor(code, systemErrno);
  if (damaged && errorKind == DbError::ReadOnly) errorKind = DbError::Damaged;
  qCInfo(lcCatalogue).nospace() << path << ": error " << code << " (" << text << "), system error "
                                << systemErrno;
}

namespace {

// SQLite reports a write stopped by a file-size limit (SIGXFSZ ignored, EFBIG) only as a
// failed write, and the errno is gone by then: a file of the catalogue that reached the
// limit tells it apart from a failing disk.
bool reachedFileSizeLimit(const QString& path) {
  rlimit limit{};
  if (getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return false;
  constexpr qint64 kLargestPage = 65536;
  for (const char* suffix : {"", "-wal", "-journal"}) {
    const QFileInfo file(path + QLatin1String(suffix));
    if (file.exists() && file.size() + kLargestPage > qint64(limit.rlim_cur)) return true;
  }
  return false;
}

}  // namespace

void Database::Shared::failFromDb() {
  const int code = sqlite3_extended_errcode(db);
  int systemErrno = sqlite3_system_errno(db);
  if (((code & 0xff) == SQLITE_IOERR || (code & 0xff) == SQLITE_FULL) && reachedFileSizeLimit(path))
    systemErrno = EFBIG;
  fail(code, QString::fromUtf8(sqlite3_errmsg(db)), systemErrno);
}

namespace {

std::mutex hookMutex;
std::function<void()> checkHook;

}  // namespace

void setDamageCheckHook(std::function<void()> hook) {
  const std::lock_guard lock(hookMutex);
  checkHook = std::move(hook);
}

DamageCheck::DamageCheck(const QString& path, std::function<void()> whenDone)
    : path_(QFile::encodeName(path)), whenDone_(std::move(whenDone)) {
  thread_ = std::thread([this] { run(); });
}

DamageCheck::~DamageCheck() {
  {
    const std::lock_guard lock(mutex_);
    stopped_ = true;
    if (reader_) sqlite3_interrupt(reader_);
  }
  thread_.join();
}

void DamageCheck::run() {
  // Below the window's thread, so that on a busy machine the first picture is not slowed
  // by a check it does not wait for; not so far below that a write waits long for it.
  setpriority(PRIO_PROCESS, id_t(gettid()), 10);
  std::function<void()> hook;
  {
    const std::lock_guard lock(hookMutex);
    hook = checkHook;
  }
  if (hook) hook();
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path_.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
  Verdict verdict = Verdict::Unknown;
  QString detail;
  if (rc == SQLITE_OK) {
    sqlite3_busy_timeout(db, 5000);
    sqlite3_extended_result_codes(db, 1);
    bool go;
    {
      const std::lock_guard lock(mutex_);
      go = !stopped_;
      if (go) reader_ = db;
    }
    sqlite3_stmt* stmt = nullptr;
    rc =
        go ? sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &stmt, nullptr) : SQLITE_INTERRUPT;
    if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
      detail = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
      verdict = detail == QLatin1String("ok") ? Verdict::Intact : Verdict::Damaged;
    } else {
      // Pages too damaged for the check to walk are a verdict too; a busy or unreadable file,
      // or a stopped check, is none.
      const int code = sqlite3_extended_errcode(db) & 0xff;
      detail = QString::fromUtf8(sqlite3_errmsg(db));
      if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB) verdict = Verdict::Damaged;
    }
    sqlite3_finalize(stmt);
  } else {
    detail = QString::fromUtf8(sqlite3_errstr(rc));
  }
  bool stopped;
  {
    const std::lock_guard lock(mutex_);
    reader_ = nullptr;
    stopped = stopped_;
  }
  sqlite3_close_v2(db);
  {
    const std::lock_guard lock(mutex_);
    verdict_ = stopped ? Verdict::Unknown : verdict;
    detail_ = detail;
  }
  changed_.notify_all();
  if (!stopped && whenDone_) whenDone_();
}

bool DamageCheck::finished() const {
  const std::lock_guard lock(mutex_);
  return verdict_ != Verdict::Pending;
}

DamageCheck::Verdict DamageCheck::wait(QString* detail) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return verdict_ != Verdict::Pending; });
  if (detail) *detail = detail_;
  return verdict_;
}

qint64 Database::Shared::dataVersion() {
  sqlite3_stmt* stmt = nullptr;
  qint64 version = -1;
  if (sqlite3_prepare_v2(db, "PRAGMA data_version", -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW)
    version = sqlite3_column_int64(stmt, 0);
  sqlite3_finalize(stmt);
  return version;
}

void Database::Shared::setIntegrity(bool intact, const QString& detail) {
  integrity = intact ? Integrity::Intact : Integrity::Damaged;
  damageDetail = intact ? QString() : detail;
  // Whoever shares this connection (a window's recordset, its data control) writes nothing
  // into a damaged file from now on.
  if (intact != !damaged) {
    damaged = !intact;
    sqlite3_exec(db, intact ? "PRAGMA query_only=0" : "PRAGMA query_only=1", nullptr, nullptr,
                 nullptr);
  }
}

void Database::Shared::takeVerdict(bool wait) {
  if (!check || (!wait && !check->finished())) return;
  QString detail;
  const DamageCheck::Verdict verdict = check->wait(&detail);
  check.reset();
  if (verdict == DamageCheck::Verdict::Unknown) {
    integrity = Integrity::Unchecked;
    qCInfo(lcCatalogue).nospace() << path << ": the background check reached no verdict (" << detail
                                  << ")";
    return;
  }
  setIntegrity(verdict == DamageCheck::Verdict::Intact, detail);
}

bool Database::Shared::checkHere() {
  const qint64 version = dataVersion();
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &stmt, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
  QString detail;
  if (rc == SQLITE_ROW)
    detail = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
  else
    failFromDb();
  sqlite3_finalize(stmt);
  if (rc != SQLITE_ROW && errorKind != DbError::Damaged) return false;
  if (rc != SQLITE_ROW) detail = error;
  setIntegrity(detail == QLatin1String("ok"), detail);
  checkedVersion = version;
  return true;
}

bool Database::Shared::reachVerdict() {
  takeVerdict(true);
  if (integrity == Integrity::Intact || integrity == Integrity::Damaged) return true;
  // No check started yet, or it could not run (the file was busy): check here.
  return checkHere();
}

bool Database::Shared::readyToWrite() {
  if (!writesNeedVerdict || reachVerdict()) return true;
  qCInfo(lcCatalogue) << path << ": write refused, no verdict on the file's integrity";
  return false;
}

void Database::Shared::succeed() {
  error.clear();
  errorKind = DbError::None;
}

CachedStatement::CachedStatement(Database::Shared* shared, const QString& sql)
    : shared_(shared), sql_(sql) {
  if (!shared_ || !shared_->db) return;
  const auto it = shared_->idle.find(sql_);
  if (it != shared_->idle.end()) {
    stmt_ = it.value();
    shared_->idle.erase(it);
    return;
  }
  const QByteArray utf8 = sql_.toUtf8();
  if (sqlite3_prepare_v2(shared_->db, utf8.constData(), int(utf8.size()), &stmt_, nullptr) !=
      SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
  }
}

CachedStatement::~CachedStatement() {
  if (!stmt_) return;
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
  // A few statements per text are plenty; more would only hold memory.
  if (shared_->idle.count(sql_) < 2 && shared_->idle.size() < 64)
    shared_->idle.insert(sql_, stmt_);
  else
    sqlite3_finalize(stmt_);
}

bool CachedStatement::bind(const QVariantList& values) {
  for (int i = 0; i < values.size(); ++i)
    if (!bindValue(stmt_, i + 1, values.at(i))) return false;
  return true;
}

bool bindValue(sqlite3_stmt* stmt, int index, const QVariant& v) {
  int rc = SQLITE_OK;
  switch (v.typeId()) {
    case QMetaType::UnknownType:
      rc = sqlite3_bind_null(stmt, index);
      break;
    case QMetaType::Bool:
      rc = sqlite3_bind_int(stmt, index, v.toBool() ? 1 : 0);
      break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
      rc = sqlite3_bind_int64(stmt, index, v.toLongLong());
      break;
    case QMetaType::Double:
    case QMetaType::Float:
      rc = sqlite3_bind_double(stmt, index, v.toDouble());
      break;
    case QMetaType::QDate: {
      const QByteArray text = storedDate(v.toDate()).toUtf8();
      rc = text.isEmpty() ? sqlite3_bind_null(stmt, index)
                          : sqlite3_bind_text(stmt, index, text.constData(), int(text.size()),
                                              SQLITE_TRANSIENT);
      break;
    }
    default: {
      if (v.isNull()) {
        rc = sqlite3_bind_null(stmt, index);
        break;
      }
      const QByteArray text = v.toString().toUtf8();
      rc = sqlite3_bind_text(stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
  }
  return rc == SQLITE_OK;
}

QVariant columnValue(sqlite3_stmt* stmt, int i) {
  switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER:
      return QVariant(qlonglong(sqlite3_column_int64(stmt, i)));
    case SQLITE_FLOAT:
      return QVariant(sqlite3_column_double(stmt, i));
    case SQLITE_NULL:
      return QVariant();
    default:
      return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                                        sqlite3_column_bytes(stmt, i)));
  }
}

namespace {

struct Statement {
  sqlite3_stmt* stmt = nullptr;
  ~Statement() { sqlite3_finalize(stmt); }
};

// A SELECT that changes nothing; anything else waits for the damage verdict before it runs
// (the library counts BEGIN and some pragmas as read-only too).
bool isPlainRead(sqlite3_stmt* stmt) {
  if (!sqlite3_stmt_readonly(stmt)) return false;
  const QByteArray sql = QByteArray(sqlite3_sql(stmt)).trimmed().left(6).toUpper();
  return sql == "SELECT";
}

}  // namespace

Database::Database(std::shared_ptr<Shared> shared) : d_(std::move(shared)) {}

Database Database::open(const QString& path) {
  Database result;
  const QFileInfo info(path);
  if (path.trimmed().isEmpty() || !info.exists() || !info.isFile()) {
    result.openError_ = QStringLiteral("Database %1 does not exist.").arg(path);
    result.openErrorKind_ = DbError::Missing;
    return result;
  }
  auto shared = std::make_shared<Shared>();
  shared->path = info.absoluteFilePath();
  // No SQLITE_OPEN_CREATE: the catalogue is installed, never made here.
  const int rc = sqlite3_open_v2(QFile::encodeName(shared->path).constData(), &shared->db,
                                 SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) {
    result.openError_ = shared->db ? QString::fromUtf8(sqlite3_errmsg(shared->db))
                                   : QStringLiteral("cannot open %1").arg(path);
    result.openErrorKind_ = (rc & 0xff) == SQLITE_CANTOPEN ? DbError::ReadOnly : DbError::Damaged;
    return result;
  }
  sqlite3_busy_timeout(shared->db, 5000);
  sqlite3_extended_result_codes(shared->db, 1);
  // Reading the schema proves the file is a database (a page of garbage fails here), and
  // tbl1 that it is a catalogue: an empty file would otherwise pass as an empty database.
  char* message = nullptr;
  int tables = 0;
  int check = sqlite3_exec(
      shared->db, "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = 'tbl1'",
      [](void* out, int, char** values, char**) {
        *static_cast<int*>(out) = values[0] ? std::atoi(values[0]) : 0;
        return 0;
      },
      &tables, &message);
  if (check == SQLITE_OK && tables == 0) {
    result.openError_ = QStringLiteral("%1 is not a Glimmora catalogue.").arg(path);
    result.openErrorKind_ = DbError::Damaged;
    return result;
  }
  if (check == SQLITE_OK) {
    // WAL needs write access to the folder; a read-only catalogue still opens for reading.
    sqlite3_exec(shared->db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    check = sqlite3_exec(shared->db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, &message);
  }
  if (check != SQLITE_OK) {
    result.openError_ = QString::fromUtf8(message ? message : sqlite3_errstr(check));
    // A catalogue in a folder we may not write cannot get its shared-memory file: that is a
    // permission problem, not damage.
    const DbError kind =
        errorKindFor(sqlite3_extended_errcode(shared->db), sqlite3_system_errno(shared->db));
    result.openErrorKind_ = kind == DbError::Statement ? DbError::Damaged : kind;
    sqlite3_free(message);
    return result;
  }
  return Database(std::move(shared));
}

void Database::noteError() const {
  if (d_ && d_->db) d_->failFromDb();
}

bool Database::isOpen() const {
  return d_ && d_->db;
}
QString Database::path() const {
  return d_ ? d_->path : QString();
}
void Database::close() {
  d_.reset();
}
sqlite3* Database::handle() const {
  return d_ ? d_->db : nullptr;
}

QString Database::lastError() const {
  return d_ ? d_->error : openError_;
}
DbError Database::lastErrorKind() const {
  return d_ ? d_->errorKind : openErrorKind_;
}

bool Database::execute(const QString& jetSql, const QVariantList& params) {
  if (!isOpen()) {
    if (openError_.isEmpty()) openError_ = QStringLiteral("No database is open.");
    return false;
  }
  CachedStatement s(d_.get(), translateJet(jetSql));
  if (!s.ok() || !s.bind(params)) {
    d_->failFromDb();
    return false;
  }
  if (!isPlainRead(s.get()) && !d_->readyToWrite()) return false;
  int rc;
  while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) {
    d_->failFromDb();
    return false;
  }
  d_->changes = sqlite3_changes(d_->db);
  d_->succeed();
  return true;
}

int Database::changes() const {
  return d_ ? d_->changes : 0;
}

QVariant Database::scalar(const QString& jetSql, const QVariantList& params) {
  if (!isOpen()) return {};
  CachedStatement s(d_.get(), translateJet(jetSql));
  if (!s.ok() || !s.bind(params)) {
    d_->failFromDb();
    return {};
  }
  if (!isPlainRead(s.get()) && !d_->readyToWrite()) return {};
  const int rc = sqlite3_step(s.get());
  if (rc != SQLITE_ROW) {
    if (rc == SQLITE_DONE)
      d_->succeed();
    else
      d_->failFromDb();
    return {};
  }
  d_->succeed();
  return columnValue(s.get(), 0);
}

bool Database::beginTransaction() {
  if (!isOpen() || d_->inTransaction) return false;
  // BEGIN itself writes nothing, but what follows it will.
  if (!d_->readyToWrite()) return false;
  if (!execute(QStringLiteral("BEGIN IMMEDIATE"))) return false;
  d_->inTransaction = true;
  return true;
}

bool Database::commit() {
  if (!isOpen() || !d_->inTransaction) return false;
  if (!execute(QStringLiteral("COMMIT"))) return false;
  d_->inTransaction = false;
  return true;
}

bool Database::rollback() {
  if (!isOpen() || !d_->inTransaction) return false;
  d_->inTransaction = false;
  // A full disk, an I/O error or damage may have ended the transaction already.
  if (sqlite3_get_autocommit(d_->db)) return true;
  const QString error = d_->error;
  const DbError kind = d_->errorKind;
  const bool ok = sqlite3_exec(d_->db, "ROLLBACK", nullptr, nullptr, nullptr) == SQLITE_OK;
  if (kind != DbError::None) {
    d_->error = error;
    d_->errorKind = kind;
  } else if (!ok) {
    d_->failFromDb();
  }
  return ok;
}

bool Database::checkIntact() {
  if (!isOpen()) return false;
  d_->takeVerdict(true);
  const bool known = d_->integrity == Integrity::Intact || d_->integrity == Integrity::Damaged;
  if (!known || d_->dataVersion() != d_->checkedVersion) {
    if (!d_->checkHere()) return false;
  }
  if (d_->integrity == Integrity::Intact) {
    d_->succeed();
    return true;
  }
  d_->error = d_->damageDetail;
  d_->errorKind = DbError::Damaged;
  return false;
}

void Database::requireDamageVerdict() {
  if (isOpen()) d_->writesNeedVerdict = true;
}

void Database::startDamageCheck(std::function<void()> whenDone) {
  if (!isOpen()) return;
  d_->writesNeedVerdict = true;
  if (d_->check || d_->integrity == Integrity::Intact || d_->integrity == Integrity::Damaged)
    return;
  d_->checkedVersion = d_->dataVersion();
  d_->integrity = Integrity::Pending;
  d_->check = std::make_unique<DamageCheck>(d_->path, std::move(whenDone));
}

void Database::settleDamageCheck() {
  if (!isOpen()) return;
  if (d_->writesNeedVerdict)
    d_->reachVerdict();
  else
    d_->takeVerdict(true);
}

Database::Integrity Database::integrity() {
  if (!isOpen()) return Integrity::Unchecked;
  d_->takeVerdict(false);
  return d_->integrity;
}

QString Database::damageDetail() const {
  return d_ ? d_->damageDetail : QString();
}

bool Database::inTransaction() const {
  return d_ && d_->inTransaction;
}

QStringList Database::columns(const QString& table) {
  QStringList names;
  if (!isOpen()) return names;
  const QByteArray sql = QStringLiteral("SELECT * FROM \"%1\" LIMIT 0")
                             .arg(QString(table).replace(QLatin1Char('"'), QStringLiteral("\"\"")))
                             .toUtf8();
  Statement s;
  if (sqlite3_prepare_v2(d_->db, sql.constData(), int(sql.size()), &s.stmt, nullptr) != SQLITE_OK) {
    d_->failFromDb();
    return names;
  }
  for (int i = 0; i < sqlite3_column_count(s.stmt); ++i)
    names << QString::fromUtf8(sqlite3_column_name(s.stmt, i));
  return names;
}

bool Database::isDateColumn(const QString& table, const QString& column) {
  if (!isOpen()) return false;
  const char* declared = nullptr;
  if (sqlite3_table_column_metadata(d_->db, nullptr, table.toUtf8().constData(),
                                    column.toUtf8().constData(), &declared, nullptr, nullptr,
                                    nullptr, nullptr) != SQLITE_OK ||
      !declared)
    return false;
  // Dates are declared DATETEXT: TEXT affinity, so SQLite keeps the ISO text as written.
  return QString::fromUtf8(declared).startsWith(QLatin1String("DATE"), Qt::CaseInsensitive);
}

namespace {

// A record source taken apart: the table, and for a SELECT the text after its table name.
struct SourceParts {
  QString table;
  QString tail;  // Jet text; empty for a table name
  bool isSelect = false;
};

SourceParts splitSource(const QString& source) {
  static const QRegularExpression select(
      QStringLiteral("^SELECT\\s+.+?\\s+FROM\\s+(\\[[^\\]]+\\]|\"[^\"]+\"|\\w+)(.*)$"),
      QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
  SourceParts parts;
  const QString trimmed = source.trimmed();
  const auto match = select.match(trimmed);
  if (!match.hasMatch()) {
    parts.table = trimmed;
    return parts;
  }
  parts.isSelect = true;
  parts.table = match.captured(1);
  if (parts.table.startsWith(QLatin1Char('[')) || parts.table.startsWith(QLatin1Char('"')))
    parts.table = parts.table.mid(1, parts.table.size() - 2);
  parts.tail = match.captured(2);
  return parts;
}

QString keysetFor(const SourceParts& parts) {
  if (!parts.isSelect)
    return QStringLiteral("SELECT rowid FROM \"%1\" ORDER BY rowid").arg(parts.table);
  return QStringLiteral("SELECT \"%1\".rowid FROM \"%1\"").arg(parts.table) +
         translateJet(parts.tail);
}

// True when an SQLite text can stand between parentheses as one term of a longer WHERE
// clause with the meaning it has alone: quotes closed, parentheses balanced, and no comment
// or second statement that would swallow or end what follows it.
bool isSingleTerm(const QString& sql) {
  int depth = 0;
  const qsizetype n = sql.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = sql.at(i);
    if (c == u'\'' || c == u'"' || c == u'`' || c == u'[') {
      const QChar close = c == u'[' ? QChar(u']') : c;
      const qsizetype end = sql.indexOf(close, i + 1);
      if (end < 0) return false;
      i = end;  // a doubled quote is two quoted runs side by side
      continue;
    }
    if (c == u'(') ++depth;
    if (c == u')' && --depth < 0) return false;
    if (c == u';') return false;
    if (i + 1 < n && ((c == u'-' && sql.at(i + 1) == u'-') || (c == u'/' && sql.at(i + 1) == u'*')))
      return false;
  }
  return depth == 0 && !sql.trimmed().isEmpty();
}

// The keyset of a SELECT narrowed by filters as one statement: its WHERE condition and each
// filter joined with AND, in the table's order. Without the ORDER BY the order would be the
// plan's: a scan of an index that happens to cover the statement gives that index's order,
// and a new index could reorder every set. Nothing when the source is not a plain
// "SELECT ... FROM table [WHERE ...]" or a piece cannot be joined safely; the caller then
// runs the statement as written and applies the filters one by one.
std::optional<QString> foldedKeyset(const SourceParts& parts, const QStringList& filters) {
  QStringList terms;
  const QString tail = translateJet(parts.tail).trimmed();
  if (!tail.isEmpty()) {
    static const QRegularExpression where(
        QStringLiteral("^WHERE\\b(.*)$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const auto match = where.match(tail);
    if (!match.hasMatch()) return std::nullopt;
    terms << match.captured(1);
  }
  for (const QString& filter : filters) terms << translateJet(filter);
  for (QString& term : terms) {
    if (!isSingleTerm(term)) return std::nullopt;
    term = u'(' + term.trimmed() + u')';
  }
  const QString table = QStringLiteral("\"%1\"").arg(parts.table);
  const QString where =
      terms.isEmpty() ? QString() : QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
  return QStringLiteral("SELECT %1.rowid FROM %1%2 ORDER BY %1.rowid").arg(table, where);
}

}  // namespace

bool Database::Shared::prepareIntoCache(const QString& sql) {
  if (idle.contains(sql)) return true;
  const QByteArray utf8 = sql.toUtf8();
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return false;
  }
  idle.insert(sql, stmt);
  return true;
}

std::unique_ptr<Recordset> Database::openRecordset(const QString& source) {
  return openRecordset(source, {});
}

std::unique_ptr<Recordset> Database::openRecordset(const QString& source,
                                                   const QStringList& filters) {
  if (!isOpen()) {
    if (openError_.isEmpty()) openError_ = QStringLiteral("No database is open.");
    return nullptr;
  }
  QStringList narrowing;
  for (const QString& filter : filters)
    if (!filter.trimmed().isEmpty()) narrowing << filter;
  const SourceParts parts = splitSource(source);
  // A folded statement that SQLite refuses, or that fails while it runs, is tried again with
  // the statement alone and the filters one by one, then as written, so that the error (or
  // the rows) are those of the statement and its filters.
  auto openFolded = [&](const QStringList& folding) -> std::unique_ptr<Recordset> {
    const auto folded = parts.isSelect ? foldedKeyset(parts, folding) : std::nullopt;
    if (!folded || !d_->prepareIntoCache(*folded)) return nullptr;
    return openKeyset(source, parts.table, *folded);
  };
  if (auto rs = openFolded(narrowing)) return rs;
  auto rs = narrowing.isEmpty() ? nullptr : openFolded({});
  if (!rs) rs = openKeyset(source, parts.table, keysetFor(parts));
  for (const QString& filter : std::as_const(narrowing)) {
    if (!rs) break;
    rs->setFilter(filter);
    rs = rs->openFiltered();
  }
  return rs;
}

std::unique_ptr<Recordset> Database::openKeyset(const QString& source, const QString& table,
                                                const QString& keysetSql) {
  auto rs = std::unique_ptr<Recordset>(new Recordset(*this, source, table, keysetSql));
  if (rs->columns_.isEmpty() || !rs->loadKeys()) {
    if (d_->error.isEmpty()) d_->fail(SQLITE_ERROR, QStringLiteral("Cannot open %1").arg(source));
    return nullptr;
  }
  rs->moveFirst();
  d_->succeed();
  return rs;
}

bool passesIntegrityCheck(const QString& path, QString* error) {
  const QFileInfo info(path);
  if (!info.isFile()) {
    if (error) *error = QStringLiteral("%1 does not exist").arg(path);
    return false;
  }
  sqlite3* db = nullptr;
  const QByteArray uri = QFile::encodeName(info.absoluteFilePath());
  int rc = sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
  QString result;
  if (rc == SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    rc = sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr);
    while (rc == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
      if (!result.isEmpty()) result += QLatin1Char('\n');
      result += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    }
    if (rc != SQLITE_OK || result.isEmpty()) result = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(stmt);
  } else {
    result = QString::fromUtf8(sqlite3_errstr(rc));
  }
  sqlite3_close_v2(db);
  if (error) *error = result;
  return result == QLatin1String("ok");
}

}  // namespace glim::catalogue
