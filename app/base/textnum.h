// How text becomes a number and back, and the date forms, in one place: rating boxes, slide
// time, resize boxes, ratios, query-file fields and catalogue dates all follow these rules.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

namespace glim::textnum {

// Optional blanks, optional sign, digits with at most one decimal point, optional exponent.
// An empty or blank text is not numeric.
bool isNumeric(const QString& text);
std::optional<double> toDouble(const QString& text);

// Rounds to nearest with halves to even (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

// Numeric text rounded half to even; nothing when not numeric or out of range.
std::optional<qint16> toInt16(const QString& text);
std::optional<qint32> toInt32(const QString& text);
std::optional<qint16> toInt16(double value);
std::optional<qint32> toInt32(double value);

// Up to 15 significant digits, no trailing zeros, "0" before the point: "1.33333333333333".
QString doubleText(double value);
// Up to 7 significant digits: a value stored as a single.
QString singleText(float value);

// "True"/"False" as stored flags; reading also takes "-1"/"0" and any other number
// (non-zero is true). Nothing for other text.
QString flagText(bool value);
std::optional<bool> toFlag(const QString& text);
bool toFlag(const QString& text, bool fallback);

// "mm/dd/yyyy", independent of the user's locale. Parsing takes one or two digit months and
// days and a four digit year.
QString dateText(const QDate& date);
std::optional<QDate> parseDate(const QString& text);
// ISO "yyyy-mm-dd" as the catalogue stores dates.
QString isoDate(const QDate& date);

// OLE Automation dates: days since 1899-12-30 as a double, the time as the fraction.
double toOleDate(const QDateTime& when);
double toOleDate(const QDate& date);
QDateTime fromOleDate(double days);

// Removes leading and trailing blanks (spaces only, as the stored texts expect).
QString trim(const QString& text);
QString ltrim(const QString& text);
QString rtrim(const QString& text);
// Left and right n characters, counting characters rather than UTF-16 units.
QString left(const QString& text, qsizetype n);
QString right(const QString& text, qsizetype n);
qsizetype length(const QString& text);

}  // namespace glim::textnum
