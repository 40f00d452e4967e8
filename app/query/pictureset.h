// Opens a query's picture set the way the viewer does: the statement narrowed by the theme
// filter and the file-type filter when they are not empty.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "catalogue/database.h"
#include "catalogue/recordset.h"
#include "query/querycriteria.h"

namespace glim::query {

struct PictureSet {
  std::unique_ptr<catalogue::Recordset> records;  // nullptr when the statement failed
  QString error;                                  // the catalogue's message on failure
};

// An empty result is a set with no records, not an error.
PictureSet openPictureSet(catalogue::Database& db, const QueryTexts& texts);

// The Pathname of every row of the set, in set order.
QStringList pathnames(catalogue::Recordset& records);

}  // namespace glim::query
