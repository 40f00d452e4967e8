#include "query_helpers.h"

#include "catalogue/database.h"
#include "query/queryfile.h"
#include "support/testenv.h"

namespace glim::query::test {

namespace {

struct Picture {
  const char* name;
  const char* format;
  int rating;
  int theme;
};
const Picture kPictures[] = {
    {"b.jpg", "JPG", 1, 4}, {"a.jpg", "JPG", 3, 4}, {"c.png", "PNG", 5, 4}, {"d.bmp", "BMP", 5, 4}};

}  // namespace

QString fillCatalogueWithFourPictures(const glim::test::TestEnv& env) {
  catalogue::Database db = catalogue::Database::open(env.catalogue());
  const QString folder = env.folder(QStringLiteral("pictures")) + u'/';
  for (const Picture& p : kPictures) {
    const QString path = folder + QLatin1String(p.name);
    glim::test::writePicture(path, 64, 48, p.format);
    db.execute(QStringLiteral("INSERT INTO tbl1 (Pathname, Extension, OverallRating, Class2) "
                              "VALUES (?, ?, ?, ?)"),
               {path, QString::fromLatin1(p.name).right(3), p.rating, p.theme});
  }
  return folder;
}

QString writeGoodOnesSet(const glim::test::TestEnv& env) {
  QStringList names;
  for (int k = 1; k <= kThemeCount; ++k) names << QStringLiteral("Class%1").arg(k);
  QueryCriteria c = initialCriteria(names, QDate::currentDate());
  c.ratings[0] = {true, QStringLiteral("2"), 2, RatingOp::MoreThan};
  setThemesAnyOrder(c, true);
  selectIncludesTheme(c.includes[0], 3, names);
  c.fileTypes.fill(false);
  c.fileTypes[JPG] = c.fileTypes[PNG] = true;
  QueryRecord r;
  captureQueryRecord(c, r);
  const QString file = env.folder(QStringLiteral("my sets")) + QStringLiteral("/good ones.qry");
  writeQueryFile(file, r);
  return file;
}

QStringList themeNames() {
  QStringList names;
  for (int k = 1; k <= kThemeCount; ++k) names << QStringLiteral("Theme%1").arg(k);
  return names;
}

QDate fixedToday() {
  return QDate(2024, 3, 7);
}

QueryCriteria initial() {
  return initialCriteria(themeNames(), fixedToday());
}

}  // namespace glim::query::test
