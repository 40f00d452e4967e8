// Measures the drive scan on a generated tree of picture files (default 100,000 files in
// 1,000 folders):
//  - the walk that lists every "*.jpg" file, beside `find ROOT -xdev -iname '*.jpg'` on the
//    same tree (best of three runs each, warm cache for both);
//  - adding the whole list to an empty catalogue in one transaction, beside the sqlite3 tool
//    importing the same rows from a prepared script into another copy of the empty catalogue,
//    and beside one pass that only reads the files' sizes and dates.
//
// Run: build/bench/bench_cataloguing [files] [folders]   (needs find and sqlite3 on the PATH)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cstdio>

#include "catalogue/database.h"
#include "catalogue/jetsql.h"
#include "cataloguing/pictureadder.h"
#include "cataloguing/pictureentry.h"
#include "cataloguing/treewalk.h"

using namespace glim;

namespace {

constexpr int kRuns = 3;

double ms(const QElapsedTimer& timer) {
  return timer.nsecsElapsed() / 1e6;
}

// Folders two levels deep (ten top folders); every folder also holds one text file, which
// the walk must pass over.
bool makeTree(const QString& root, int files, int folders) {
  const int perFolder = std::max(1, files / folders);
  int made = 0;
  for (int f = 0; f < folders; ++f) {
    const QString folder =
        QStringLiteral("%1/top%2/album %3/").arg(root).arg(f % 10).arg(f, 4, 10, QChar(u'0'));
    if (!QDir().mkpath(folder)) return false;
    QFile(folder + QStringLiteral("notes.txt")).open(QIODevice::WriteOnly);
    for (int i = 0; i < perFolder && made < files; ++i, ++made) {
      QFile file(folder + QStringLiteral("IMG_%1.jpg").arg(made, 6, 10, QChar(u'0')));
      if (!file.open(QIODevice::WriteOnly)) return false;
      file.write(QByteArray(64 + made % 512, 'x'));
    }
  }
  return true;
}

double timeWalk(const QString& root, QStringList* found) {
  double best = 1e18;
  for (int run = 0; run < kRuns; ++run) {
    found->clear();
    std::atomic_bool stop{false};
    QElapsedTimer timer;
    timer.start();
    cataloguing::walkTree({{root}, QStringLiteral("*.jpg"), true, true}, stop,
                          [found](cataloguing::WalkProgress& p) { *found += p.found; });
    best = std::min(best, ms(timer));
  }
  return best;
}

double timeFind(const QString& root, int* lines) {
  double best = 1e18;
  for (int run = 0; run < kRuns; ++run) {
    QProcess find;
    QElapsedTimer timer;
    timer.start();
    find.start(QStringLiteral("find"),
               {root, QStringLiteral("-xdev"), QStringLiteral("-iname"), QStringLiteral("*.jpg")});
    find.waitForFinished(-1);
    const QByteArray out = find.readAllStandardOutput();
    best = std::min(best, ms(timer));
    *lines = int(out.count('\n'));
  }
  return best;
}

double timeStat(const QStringList& paths) {
  QElapsedTimer timer;
  timer.start();
  int read = 0;
  for (const QString& path : paths)
    read += cataloguing::readPictureEntry(path, QDate::currentDate()) ? 1 : 0;
  const double elapsed = ms(timer);
  if (read != paths.size())
    std::printf("  (only %d of %lld files could be read)\n", read,
                static_cast<long long>(paths.size()));
  return elapsed;
}

// The same rows the add loop stores, as one script for the sqlite3 tool.
bool writeImportScript(const QString& script, const QStringList& paths) {
  QFile file(script);
  if (!file.open(QIODevice::WriteOnly)) return false;
  const QString today = catalogue::storedDate(QDate::currentDate());
  file.write("BEGIN;\n");
  int id = 1;
  for (const QString& path : paths) {
    const auto entry = cataloguing::readPictureEntry(path, QDate::currentDate());
    if (!entry) continue;
    const QString line =
        QStringLiteral(
            "INSERT INTO tbl1 (IDNumber, Pathname, Extension, Filesize, "
            "FileCreationDate, DateAddedToDB) VALUES (%1, %2, %3, %4, %5, %6);\n")
            .arg(id++)
            .arg(catalogue::quoted(entry->pathname), catalogue::quoted(entry->extension))
            .arg(entry->fileSize)
            .arg(catalogue::quoted(catalogue::storedDate(entry->fileDate)),
                 catalogue::quoted(today));
    file.write(line.toUtf8());
  }
  file.write("COMMIT;\n");
  return true;
}

double timeSqliteImport(const QString& catalogue, const QString& script) {
  QProcess sqlite;
  sqlite.setStandardInputFile(script);
  QElapsedTimer timer;
  timer.start();
  sqlite.start(QStringLiteral("sqlite3"), {catalogue});
  sqlite.waitForFinished(-1);
  const double elapsed = ms(timer);
  if (sqlite.exitCode() != 0)
    std::printf("  sqlite3 failed: %s\n", sqlite.readAllStandardError().constData());
  return elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int folders = argc > 2 ? std::atoi(argv[2]) : 1000;
  QTemporaryDir work;
  const QString root = work.path() + QStringLiteral("/tree");
  std::printf("Generating %d files in %d folders...\n", files, folders);
  if (!makeTree(root, files, folders)) {
    std::printf("Could not generate the tree.\n");
    return 1;
  }

  QStringList found;
  const double walk = timeWalk(root, &found);
  int findLines = 0;
  const double find = timeFind(root, &findLines);
  std::printf(
      "Walk:   %9.1f ms for %lld files   find: %9.1f ms for %d   ratio %.2f (target "
      "<= 1.5)\n",
      walk, static_cast<long long>(found.size()), find, findLines, walk / find);

  const QString ours = work.path() + QStringLiteral("/ours.mdb");
  const QString theirs = work.path() + QStringLiteral("/theirs.mdb");
  const QString empty = QStringLiteral(GLIMMORA_BIN_DIR "/all1.mdb");
  if (!QFile::copy(empty, ours) || !QFile::copy(empty, theirs)) {
    std::printf("No empty catalogue at %s\n", qPrintable(empty));
    return 1;
  }
  const QString script = work.path() + QStringLiteral("/import.sql");
  if (!writeImportScript(script, found)) return 1;
  const double stat = timeStat(found);

  auto db = catalogue::Database::open(ours);
  cataloguing::PictureAdder adder(db);
  QElapsedTimer timer;
  timer.start();
  const cataloguing::AddResult result = adder.add(found);
  const double add = ms(timer);
  const double import = timeSqliteImport(theirs, script);
  std::printf(
      "Add:    %9.1f ms for %d rows      sqlite3 import: %9.1f ms   reading sizes and "
      "dates: %7.1f ms\n",
      add, result.added, import, stat);
  std::printf("        add / (2 x import + read) = %.2f (target <= 1.0)\n",
              add / (2 * import + stat));
  return 0;
}
