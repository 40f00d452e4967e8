#include "query/pictureset.h"

namespace glim::query {

PictureSet openPictureSet(catalogue::Database& db, const QueryTexts& texts) {
  PictureSet set;
  set.records = db.openRecordset(texts.sql, {texts.filter1, texts.filter2});
  if (!set.records) set.error = db.lastError();
  return set;
}

QStringList pathnames(catalogue::Recordset& records) {
  QStringList paths;
  paths.reserve(records.recordCount());
  for (int i = 0; i < records.recordCount(); ++i) {
    records.setAbsolutePosition(i);
    paths << records.value(QStringLiteral("Pathname")).toString();
  }
  return paths;
}

}  // namespace glim::query
