// A worker the reliability test starts and kills with SIGKILL in the middle of its work. It
// reports each stage on its own line of standard output, so the test knows when to kill.
//   catalogue_worker add <catalogue> <rows>      adds rows in one transaction
//   catalogue_worker compact <program folder> <catalogue>   repairs and compacts
#include <QCoreApplication>
#include <cstdio>
#include <memory>

#include "catalogue/database.h"
#include "catalogue/maintenance.h"
#include "catalogue/recordset.h"
#include "catalogue_helpers.h"

using namespace glim::catalogue;

namespace {

void say(const char* format, int value) {
  std::printf(format, value);
  std::printf("\n");
  std::fflush(stdout);
}

int add(const QString& catalogue, int rows) {
  Database db = Database::open(catalogue);
  std::unique_ptr<Recordset> rs =
      db.openRecordset(QStringLiteral("SELECT * FROM tbl1 WHERE rowid < 0"));
  if (!rs || !db.beginTransaction()) return 2;
  for (int i = 1; i <= rows; ++i) {
    if (!glim::test::addPictureRow(*rs, QStringLiteral("/killed/folder/%1.jpg").arg(i))) return 3;
    if (i % 1000 == 0) say("added %d", i);
  }
  if (!db.commit()) return 4;
  say("committed %d", rows);
  return 0;
}

int compact(const QString& programFolder, const QString& catalogue) {
  maintenance::Context context{programFolder, catalogue, nullptr, {}};
  context.progress = [](int done, int) { say("step %d", done); };
  say("step %d", 0);
  const maintenance::Result result = maintenance::repairAndCompact(context);
  say("done %d", int(result.outcome));
  return result.ok() ? 0 : 5;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() == 4 && args.at(1) == QLatin1String("add"))
    return add(args.at(2), args.at(3).toInt());
  if (args.size() == 4 && args.at(1) == QLatin1String("compact"))
    return compact(args.at(2), args.at(3));
  std::fprintf(stderr, "usage: catalogue_worker add <catalogue> <rows> | compact <folder> <db>\n");
  return 1;
}
