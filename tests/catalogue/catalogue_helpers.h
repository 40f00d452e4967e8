// Rows for catalogue tests, added through the layer the program uses.
#pragma once

#include <QDate>
#include <QString>
#include <QVariantMap>

#include "catalogue/database.h"
#include "catalogue/recordset.h"

namespace glim::test {

// Adds a tbl1 row with the fields an add loop writes, plus any extra fields. Returns the
// row's id (0 on failure).
qint64 addPictureRow(catalogue::Database& db, const QString& path, const QVariantMap& extra = {});
// The same through a recordset the caller keeps open (for many rows).
qint64 addPictureRow(catalogue::Recordset& rs, const QString& path, const QVariantMap& extra = {});

// Every tbl1 row as "Pathname|Status|NewFile|OverallRating|DateAddedToDB", in row order, to
// compare catalogues by content.
QStringList tbl1Rows(const QString& catalogue);

}  // namespace glim::test
