#include "query/pictureset.h"

namespace glim::query {

namespace {

bool narrow(PictureSet& set, const QString& filter) {
  if (filter.isEmpty()) return true;
  set.records->setFilter(filter);
  auto filtered = set.records->openFiltered();
  if (!filtered) {
    set.error = set.records->database().lastError();
    set.records.reset();
    return false;
  }
  set.records = std::move(filtered);
  return true;
}

}  // namespace

PictureSet openPictureSet(catalogue::Database& db, const QueryTexts& texts) {
  PictureSet set;
  set.records = db.openRecordset(texts.sql);
  if (!set.records) {
    set.error = db.lastError();
    return set;
  }
  if (narrow(set, texts.filter1)) narrow(set, texts.filter2);
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
