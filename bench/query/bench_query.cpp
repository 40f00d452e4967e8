// Measures a query builder run on a large catalogue: the statement, the theme filter and the
// file-type filter opened through the catalogue layer as the viewer opens them (one pass),
// through to the first picture's row, beside the former way (the statement, then each
// filter over the whole table), beside the sqlite3 command-line tool running the same translated
// statement with the same filters to completion, on the same file in the same run.
//
// Run: build/bench/bench_query [rows] [repeats]   (default 1000000 rows, 3 repeats; the
// comparison needs sqlite3 on the PATH)
#include <sqlite3.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "catalogue/database.h"
#include "catalogue/jetsql.h"
#include "query/pictureset.h"
#include "query/querycriteria.h"

using namespace glim;
using namespace glim::query;

namespace {

double ms(const QElapsedTimer& timer) {
  return timer.nsecsElapsed() / 1e6;
}

// Fills tbl1 with `rows` pictures of mixed types, ratings, sizes and themes, in one
// transaction with one prepared statement (the benchmark's set-up, not what it measures).
bool fill(const QString& path, int rows) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK) return false;
  static const char* const ext[] = {"jpg", "png", "gif", "tif", "bmp", "pic", "tga"};
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO tbl1 (IDNumber, Pathname, Extension, Filesize, "
                     "FileCreationDate, DateAddedToDB, NewFile, FileERROR, Width, Height, "
                     "Colors, WidthHeightRatio, OverallRating, Class1, Class2, Class3) VALUES "
                     "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                     -1, &st, nullptr);
  quint32 seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  for (int i = 0; i < rows; ++i) {
    const QByteArray e = ext[next() % 7];
    const QByteArray p = QStringLiteral("/home/user/Pictures/folder %1/IMG_%2.%3")
                             .arg(i / 500)
                             .arg(i)
                             .arg(QString::fromLatin1(e))
                             .toUtf8();
    const int w = 100 + int(next() % 3000), h = 100 + int(next() % 2000);
    const QByteArray date = QStringLiteral("20%1-%2-%3")
                                .arg(10 + next() % 14)
                                .arg(1 + next() % 12, 2, 10, QChar(u'0'))
                                .arg(1 + next() % 28, 2, 10, QChar(u'0'))
                                .toUtf8();
    int col = 1;
    sqlite3_bind_int(st, col++, i + 1);
    sqlite3_bind_text(st, col++, p.constData(), int(p.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(st, col++, e.constData(), int(e.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(st, col++, int(next() % 5000000));
    sqlite3_bind_text(st, col++, date.constData(), int(date.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(st, col++, date.constData(), int(date.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(st, col++, int(next() % 4 == 0));
    sqlite3_bind_int(st, col++, next() % 50 == 0 ? -6 : 0);
    sqlite3_bind_int(st, col++, w);
    sqlite3_bind_int(st, col++, h);
    sqlite3_bind_int(st, col++, int(next() % 16777216));
    sqlite3_bind_double(st, col++, double(w) / h);
    sqlite3_bind_int(st, col++, int(next() % 6));
    for (int k = 0; k < 3; ++k) sqlite3_bind_int(st, col++, int(next() % 16));
    if (sqlite3_step(st) != SQLITE_DONE) return false;
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return true;
}

QueryCriteria benchCriteria() {
  QStringList names;
  for (int k = 1; k <= kThemeCount; ++k) names << QStringLiteral("Class%1").arg(k);
  QueryCriteria c = initialCriteria(names, QDate::currentDate());
  c.ratings[0] = {true, QStringLiteral("2"), 2, RatingOp::MoreThan};
  setThemesAnyOrder(c, true);
  selectIncludesTheme(c.includes[0], 2, names);  // theme 3, in any of the seven fields
  c.includes[1].on = true;
  selectIncludesTheme(c.includes[1], 6, names);  // or theme 7
  c.useAnd = false;
  return c;  // file types: the initial JPG, ePIC, GIF and PNG
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 1000000;
  const int repeats = argc > 2 ? std::max(1, atoi(argv[2])) : 3;

  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("all1.mdb"));
  if (!QFile::copy(QStringLiteral(GLIMMORA_BIN_DIR "/all1.mdb"), file)) {
    std::fprintf(stderr, "cannot copy the empty catalogue\n");
    return 1;
  }
  QElapsedTimer timer;
  timer.start();
  if (!fill(file, rows)) {
    std::fprintf(stderr, "cannot fill the catalogue\n");
    return 1;
  }
  std::printf("catalogue of %d rows made in %.0f ms\n", rows, ms(timer));

  QueryCriteria c = benchCriteria();
  const QueryTexts texts = runQueryTexts(c);
  std::printf("statement: %s\ntheme filter: %s\nfile-type filter: %s\n", qPrintable(texts.sql),
              qPrintable(texts.filter1), qPrintable(texts.filter2));

  catalogue::Database db = catalogue::Database::open(file);
  std::vector<double> ours, tool;
  int count = 0;
  QString first;
  for (int r = 0; r < repeats; ++r) {
    timer.restart();
    PictureSet set = openPictureSet(db, texts);
    if (!set.records) {
      std::fprintf(stderr, "the catalogue refused the query: %s\n", qPrintable(set.error));
      return 1;
    }
    set.records->moveFirst();
    first = set.records->value(QStringLiteral("Pathname")).toString();
    ours.push_back(ms(timer));
    count = set.records->recordCount();
  }
  std::printf(
      "Glimmora, as the viewer opens it (statement and filters in one pass): %d pictures, "
      "first %s: median %.1f ms\n",
      count, qPrintable(first), median(ours));

  // The former way: the statement's keyset, then each filter over the whole table.
  std::vector<double> stepwise;
  for (int r = 0; r < repeats; ++r) {
    timer.restart();
    auto rs = db.openRecordset(texts.sql);
    for (const QString& filter : {texts.filter1, texts.filter2}) {
      if (!rs || filter.isEmpty()) continue;
      rs->setFilter(filter);
      rs = rs->openFiltered();
    }
    if (!rs) return 1;
    rs->moveFirst();
    const QString path = rs->value(QStringLiteral("Pathname")).toString();
    stepwise.push_back(ms(timer));
    if (rs->recordCount() != count || path != first) {
      std::fprintf(stderr, "the step-by-step way gave a different set\n");
      return 1;
    }
  }
  std::printf("Glimmora, statement then each filter (the former way): median %.1f ms\n",
              median(stepwise));

  // For comparison: the same set as one statement through the same layer, which is what the
  // filters amount to (the set's rows that match both filters, in the set's order).
  const QString combined = QStringLiteral("SELECT * FROM tbl1 WHERE (") +
                           texts.sql.section(QStringLiteral(" WHERE "), 1) +
                           QStringLiteral(") AND (") + texts.filter1 + QStringLiteral(") AND (") +
                           texts.filter2 + u')';
  std::vector<double> single;
  for (int r = 0; r < repeats; ++r) {
    timer.restart();
    auto rs = db.openRecordset(combined);
    if (!rs) return 1;
    rs->moveFirst();
    const QString path = rs->value(QStringLiteral("Pathname")).toString();
    single.push_back(ms(timer));
    if (rs->recordCount() != count || path != first) {
      std::fprintf(stderr, "the single statement gave a different set\n");
      return 1;
    }
  }
  std::printf("Glimmora, the same set as one statement: median %.1f ms\n", median(single));

  const QString sql =
      catalogue::translateJet(texts.sql + QStringLiteral(" AND (") + texts.filter1 +
                              QStringLiteral(") AND (") + texts.filter2 + QStringLiteral(")"));
  for (int r = 0; r < repeats; ++r) {
    QProcess sqlite;
    sqlite.setStandardOutputFile(QProcess::nullDevice());
    timer.restart();
    sqlite.start(QStringLiteral("sqlite3"), {file, sql});
    if (!sqlite.waitForFinished(-1) || sqlite.exitCode() != 0) {
      std::fprintf(stderr, "sqlite3 did not run: %s\n", qPrintable(sqlite.errorString()));
      return 1;
    }
    tool.push_back(ms(timer));
  }
  std::printf("sqlite3 tool, same statement and filters to completion: median %.1f ms\n",
              median(tool));
  std::printf("ratio, as the viewer opens it: %.2f (target at most 1.0)\n",
              median(ours) / median(tool));
  std::printf("ratio, statement then each filter: %.2f\n", median(stepwise) / median(tool));
  std::printf("ratio, one statement: %.2f\n", median(single) / median(tool));
  return 0;
}
