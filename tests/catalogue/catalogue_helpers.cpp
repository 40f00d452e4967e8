#include "catalogue_helpers.h"

#include <QFileInfo>
#include <memory>

#include "catalogue/recordset.h"

namespace glim::test {

qint64 addPictureRow(catalogue::Database& db, const QString& path, const QVariantMap& extra) {
  // An empty set to add to: opening all of tbl1 for one row would make seeding slow.
  std::unique_ptr<catalogue::Recordset> rs =
      db.openRecordset(QStringLiteral("SELECT * FROM tbl1 WHERE rowid < 0"));
  return rs ? addPictureRow(*rs, path, extra) : 0;
}

qint64 addPictureRow(catalogue::Recordset& rs, const QString& path, const QVariantMap& extra) {
  static qint64 running = 0;
  rs.addNew();
  rs.setValue(QStringLiteral("IDNumber"), ++running);
  rs.setValue(QStringLiteral("Pathname"), path);
  rs.setValue(QStringLiteral("Extension"), QFileInfo(path).suffix().right(3).toLower());
  rs.setValue(QStringLiteral("Filesize"), 1234);
  rs.setValue(QStringLiteral("FileCreationDate"), QDate(2020, 5, 17));
  rs.setValue(QStringLiteral("DateAddedToDB"), QDate::currentDate());
  for (auto it = extra.cbegin(); it != extra.cend(); ++it) rs.setValue(it.key(), it.value());
  return rs.update() ? rs.lastModified() : 0;
}

QStringList tbl1Rows(const QString& catalogue) {
  QStringList rows;
  catalogue::Database db = catalogue::Database::open(catalogue);
  std::unique_ptr<catalogue::Recordset> rs = db.openRecordset(QStringLiteral("tbl1"));
  if (!rs) return {QStringLiteral("<cannot open %1>").arg(catalogue)};
  for (rs->moveFirst(); !rs->eof(); rs->moveNext()) {
    QStringList fields;
    for (const char* name : {"Pathname", "Status", "NewFile", "OverallRating", "DateAddedToDB"})
      fields << rs->value(QLatin1String(name)).toString();
    rows << fields.join(QLatin1Char('|'));
  }
  return rows;
}

}  // namespace glim::test
