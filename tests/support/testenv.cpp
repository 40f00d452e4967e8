#include "support/testenv.h"

#include <sqlite3.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include "base/appstate.h"
#include "rastrel/rastrel.h"

namespace glim::test {

namespace {

const char* const kEnvNames[] = {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "HOME", "XDG_CACHE_HOME"};

void copyTree(const QString& from, const QString& to) {
  QDir().mkpath(to);
  QDirIterator it(from, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString src = it.next();
    const QString dst = to + u'/' + QDir(from).relativeFilePath(src);
    QDir().mkpath(QFileInfo(dst).path());
    QFile::copy(src, dst);
  }
}

}  // namespace

QString TestEnv::binFolder() {
  return QStringLiteral(GLIMMORA_BIN_DIR "/");
}

TestEnv::TestEnv() {
  for (const char* name : kEnvNames) savedEnv_[name] = qgetenv(name);
  program_ = root_.path() + QStringLiteral("/program/");
  const QString bin = binFolder();
  QDir().mkpath(program_);
  for (const char* file : {"all1.mdb", "starterpic.jpg", "splash.jpg", "ImageMissing.jpg",
                           "DamagedImage.jpg", "Eye.ico", "Eye.png"})
    QFile::copy(bin + file, program_ + file);
  for (const char* sub : {"User", "help"}) copyTree(bin + sub, program_ + sub);
  for (const char* sub : {"User", "Backup", "images"}) QDir().mkpath(program_ + sub);
  QDir().mkpath(configFolder());
  QDir().mkpath(dataFolder());
  QDir().mkpath(homeFolder());
  qputenv("XDG_CONFIG_HOME", configFolder().toLocal8Bit());
  qputenv("XDG_DATA_HOME", dataFolder().toLocal8Bit());
  qputenv("XDG_CACHE_HOME", (root_.path() + QStringLiteral("/cache")).toLocal8Bit());
  qputenv("HOME", homeFolder().toLocal8Bit());
  resetAppState();
  appState().ProgramFolder = program_;
  setRastrelFolder(program_);
  appState().DatabasePath = catalogue();
  appState().HelpFile = program_ + QStringLiteral("Glimmora.hlp");
  appState().QueryHelpFile = program_ + QStringLiteral("QUERYHELP.HLP");
}

TestEnv::~TestEnv() {
  for (const auto& [name, value] : savedEnv_) {
    if (value.isNull())
      qunsetenv(name.constData());
    else
      qputenv(name.constData(), value);
  }
  resetAppState();
}

QString TestEnv::folder(const QString& relative) const {
  const QString path = root_.path() + u'/' + relative;
  QDir().mkpath(path);
  return path;
}

QString TestEnv::installProgram() const {
  const QString bin = binFolder();
  for (const char* file : {"glimmora", "librastrel3.so", "librastcore3.so", "rastcore3-cli"}) {
    if (!QFile::exists(bin + file)) continue;
    QFile::remove(program_ + file);
    QFile::copy(bin + file, program_ + file);
    QFile(program_ + file).setPermissions(QFile(bin + file).permissions());
  }
  return program_ + QStringLiteral("glimmora");
}

bool writePicture(const QString& path, int width, int height, const char* format, QColor tint) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x)
      line[x] = qRgb((x * 255 / std::max(1, width - 1) + tint.red()) / 2,
                     (y * 255 / std::max(1, height - 1) + tint.green()) / 2,
                     ((x + y) % 256 + tint.blue()) / 2);
  }
  return image.save(path, format, 90);
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Damage that reading the pictures' rows never meets: a page of a table of its own is
// overwritten, which the catalogue's damage check finds.
bool damageSpareTable(const QString& catalogue) {
  sqlite3* db = nullptr;
  if (sqlite3_open(QFile::encodeName(catalogue).constData(), &db) != SQLITE_OK) return false;
  const char* fill =
      "CREATE TABLE spare(x); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
      "WHERE i < 20) INSERT INTO spare SELECT randomblob(2000) FROM n;";
  sqlite3_stmt* stmt = nullptr;
  qint64 root = 0, pageSize = 0;
  bool ok = sqlite3_exec(db, fill, nullptr, nullptr, nullptr) == SQLITE_OK &&
            sqlite3_prepare_v2(db,
                               "SELECT rootpage, (SELECT page_size FROM pragma_page_size) FROM "
                               "sqlite_schema WHERE name = 'spare'",
                               -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW;
  if (ok) {
    root = sqlite3_column_int64(stmt, 0);
    pageSize = sqlite3_column_int64(stmt, 1);
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);  // the last connection folds the journal into the file
  QFile file(catalogue);
  if (!ok || root < 2 || !file.open(QIODevice::ReadWrite) || !file.seek((root - 1) * pageSize))
    return false;
  return file.write(QByteArray(int(pageSize), '\xff')) == pageSize;
}

}  // namespace glim::test
