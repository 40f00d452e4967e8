// "glimmora --print-set FILE.qry": prints a picture set without windows, so that a user can
// feed it to other tools.
#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace glim::query {

// Loads the query file as the builder does, builds its statement and filters and opens the
// set on the catalogue of the normal start (setting "Database"), as the viewer does. Writes
// the statement, the theme filter and the file-type filter (one a line, empty when there is
// none), then every matching Pathname in the viewer's order. Returns 0 on success; non-zero
// with what is wrong on `err`: 1 the file is missing, unreadable or damaged, 2 the catalogue
// is missing, damaged, unreadable or in use, 3 the catalogue refused the statement or a
// filter.
int printSet(const QString& file, QTextStream& out, QTextStream& err);
// The same on standard output and standard error.
int printSet(const QString& file, QTextStream& out);
// The arguments after "--print-set": exactly one query file.
int printSet(const QStringList& arguments);

}  // namespace glim::query
