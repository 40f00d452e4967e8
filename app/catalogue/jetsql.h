// The system's statements are written in Jet's SQL dialect (the query builder's statements and
// filters are compared character by character, so they keep that form). This is the one place
// that turns the dialect into SQLite's, and the one place that writes values into statements.
#pragma once

#include <QDate>
#include <QString>

namespace glim::catalogue {

// Translates a Jet statement, criterion or filter into SQLite's dialect:
//  - "DELETE * FROM" (any case) becomes "DELETE FROM";
//  - a date literal "#m/d/yyyy#" (one or two digit month and day) becomes 'yyyy-mm-dd';
//  - a trailing ";" is dropped;
//  - "<>", "=", "AND", "OR", "NOT", "LIKE", "IN", "BETWEEN", parentheses and numbers stay.
// Text between single or double quotes is never touched. Brackets around names ([Pathname])
// become double-quoted names.
QString translateJet(const QString& jet);

// A text value for a statement: between single quotes with every single quote doubled, so
// the value can never change the statement's meaning ("O'Brien" -> 'O''Brien').
QString quoted(const QString& value);

// "#mm/dd/yyyy#", the date literal the system's statements use.
QString jetDateLiteral(const QDate& date);

// Stored form of a date: ISO "yyyy-mm-dd" (empty for an invalid date).
QString storedDate(const QDate& date);
// Reads a date as the catalogue stores it (ISO) or as users type it ("mm/dd/yyyy").
QDate parseAnyDate(const QString& text);

}  // namespace glim::catalogue
