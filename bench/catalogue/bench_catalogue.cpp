// Measures what adding a drive scan's worth of pictures costs: N rows added to tbl1 through the
// catalogue layer's recordset in one transaction (as the add loops do), beside the sqlite3
// command-line tool importing the same rows (a plain INSERT script in one transaction) into
// another copy of the empty catalogue. Then opening the whole table as a recordset, running a
// query builder statement with a filter, and repairing and compacting the full catalogue.
//
// Run: build/bench/bench_catalogue [rows]   (default 100000; the comparison needs sqlite3 on
// the PATH)
#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "catalogue/database.h"
#include "catalogue/jetsql.h"
#include "catalogue/maintenance.h"
#include "catalogue/recordset.h"

using namespace glim::catalogue;

namespace {

struct Row {
  QString path;
  QString extension;
  qint64 size;
  QDate created;
};

Row rowAt(int i) {
  static const char* const extensions[] = {"jpg", "png", "gif", "tif", "bmp"};
  const QString ext = QLatin1String(extensions[i % 5]);
  return {QStringLiteral("/home/user/Pictures/folder %1/IMG_%2.%3").arg(i / 500).arg(i).arg(ext),
          ext, 20000 + (i * 7919) % 5000000, QDate(2000, 1, 1).addDays(i % 9000)};
}

double ms(const QElapsedTimer& timer) {
  return timer.nsecsElapsed() / 1e6;
}

bool addThroughLayer(const QString& catalogue, int rows, double* elapsed) {
  Database db = Database::open(catalogue);
  if (!db.isOpen()) return false;
  const QString today = QDate::currentDate().toString(Qt::ISODate);
  QElapsedTimer timer;
  timer.start();
  std::unique_ptr<Recordset> rs = db.openRecordset(QStringLiteral("tbl1"));
  if (!rs || !db.beginTransaction()) return false;
  for (int i = 0; i < rows; ++i) {
    const Row row = rowAt(i);
    rs->addNew();
    rs->setValue(QStringLiteral("IDNumber"), i + 1);
    rs->setValue(QStringLiteral("Pathname"), row.path);
    rs->setValue(QStringLiteral("Extension"), row.extension);
    rs->setValue(QStringLiteral("Filesize"), row.size);
    rs->setValue(QStringLiteral("FileCreationDate"), row.created);
    rs->setValue(QStringLiteral("DateAddedToDB"), QDate::currentDate());
    if (!rs->update()) return false;
  }
  if (!db.commit()) return false;
  *elapsed = ms(timer);
  return true;
}

bool addThroughTool(const QString& catalogue, const QString& script, int rows, double* elapsed) {
  QFile out(script);
  if (!out.open(QIODevice::WriteOnly)) return false;
  out.write("PRAGMA synchronous=NORMAL;\nBEGIN;\n");
  const QString today = storedDate(QDate::currentDate());
  for (int i = 0; i < rows; ++i) {
    const Row row = rowAt(i);
    out.write(QStringLiteral("INSERT INTO tbl1 (IDNumber, Pathname, Extension, Filesize, "
                             "FileCreationDate, DateAddedToDB) VALUES (%1, %2, '%3', %4, '%5', "
                             "'%6');\n")
                  .arg(i + 1)
                  .arg(quoted(row.path), row.extension)
                  .arg(row.size)
                  .arg(storedDate(row.created), today)
                  .toUtf8());
  }
  out.write("COMMIT;\n");
  out.close();
  QProcess tool;
  tool.setStandardInputFile(script);
  QElapsedTimer timer;
  timer.start();
  tool.start(QStringLiteral("sqlite3"), {catalogue});
  if (!tool.waitForFinished(-1) || tool.exitCode() != 0) return false;
  *elapsed = ms(timer);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
  QTemporaryDir dir;
  const QString empty = QStringLiteral(GLIMMORA_BIN_DIR "/all1.mdb");
  const QString layerFile = dir.filePath(QStringLiteral("layer.mdb"));
  const QString toolFile = dir.filePath(QStringLiteral("tool.mdb"));
  if (!QFile::copy(empty, layerFile) || !QFile::copy(empty, toolFile)) {
    std::fprintf(stderr, "cannot copy %s\n", qPrintable(empty));
    return 1;
  }

  double layer = 0;
  double tool = 0;
  if (!addThroughLayer(layerFile, rows, &layer)) {
    std::fprintf(stderr, "adding through the layer failed\n");
    return 1;
  }
  std::printf("add %d rows, one transaction, catalogue layer: %9.1f ms (%.2f us/row)\n", rows,
              layer, layer * 1000 / rows);
  if (addThroughTool(toolFile, dir.filePath(QStringLiteral("import.sql")), rows, &tool))
    std::printf("add %d rows, one transaction, sqlite3 tool:    %9.1f ms (%.2f us/row)\n", rows,
                tool, tool * 1000 / rows);
  else
    std::printf("sqlite3 tool not available or failed; no comparison\n");

  Database db = Database::open(layerFile);
  QElapsedTimer timer;
  timer.start();
  std::unique_ptr<Recordset> all = db.openRecordset(QStringLiteral("tbl1"));
  all->moveLast();
  all->moveFirst();
  std::printf("open tbl1 (%d rows), move last and first:        %9.1f ms\n", all->recordCount(),
              ms(timer));
  timer.restart();
  std::unique_ptr<Recordset> query = db.openRecordset(
      QStringLiteral("SELECT * FROM tbl1 WHERE FileSize > 102400 AND FileCreationDate > "
                     "#06/30/2010#"));
  query->setFilter(
      QStringLiteral("Extension = 'jpg' OR Extension = 'pic' OR Extension = 'gif' "
                     "OR Extension = 'png'"));
  std::unique_ptr<Recordset> filtered = query->openFiltered();
  std::printf("query + file-type filter (%d of %d rows):      %9.1f ms\n", filtered->recordCount(),
              query->recordCount(), ms(timer));
  all.reset();
  query.reset();
  filtered.reset();
  db.close();

  timer.restart();
  const maintenance::Result result =
      maintenance::repairAndCompact({dir.path() + QLatin1Char('/'), layerFile, nullptr, {}});
  std::printf("repair and compact (%s):                       %9.1f ms\n",
              result.ok() ? "ok" : "failed", ms(timer));
  return 0;
}
