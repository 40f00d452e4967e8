#include "base/textnum.h"

#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace glim::textnum {

namespace {

template <typename T>
std::optional<T> toWhole(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double r = roundHalfEven(value);
  if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
      r > static_cast<double>(std::numeric_limits<T>::max()))
    return std::nullopt;
  return static_cast<T>(r);
}

QString tidyNumber(QString s) {
  // Qt writes exponents as "e+16"; the stored forms use "E+16".
  s.replace(u'e', u'E');
  return s;
}
}  // namespace

bool isNumeric(const QString& text) {
  static const QRegularExpression pattern(
      QStringLiteral(R"(^[ \t]*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?[ \t]*$)"));
  return pattern.match(text).hasMatch();
}

std::optional<double> toDouble(const QString& text) {
  if (!isNumeric(text)) return std::nullopt;
  bool ok = false;
  const double v = text.trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(v)) return std::nullopt;
  return v;
}

double roundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  const double floor = std::floor(value);
  const double diff = value - floor;
  if (diff > 0.5) return floor + 1.0;
  if (diff < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

std::optional<qint16> toInt16(double value) {
  return toWhole<qint16>(value);
}
std::optional<qint32> toInt32(double value) {
  return toWhole<qint32>(value);
}

std::optional<qint16> toInt16(const QString& text) {
  auto v = toDouble(text);
  return v ? toInt16(*v) : std::nullopt;
}

std::optional<qint32> toInt32(const QString& text) {
  auto v = toDouble(text);
  return v ? toInt32(*v) : std::nullopt;
}

QString doubleText(double value) {
  if (value == 0.0) return QStringLiteral("0");
  return tidyNumber(QString::number(value, 'g', 15));
}

QString singleText(float value) {
  if (value == 0.0f) return QStringLiteral("0");
  return tidyNumber(QString::number(static_cast<double>(value), 'g', 7));
}

QString flagText(bool value) {
  return value ? QStringLiteral("True") : QStringLiteral("False");
}

std::optional<bool> toFlag(const QString& text) {
  const QString t = text.trimmed();
  if (t.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0) return true;
  if (t.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0) return false;
  if (auto v = toDouble(t)) return *v != 0.0;
  return std::nullopt;
}

bool toFlag(const QString& text, bool fallback) {
  return toFlag(text).value_or(fallback);
}

QString dateText(const QDate& date) {
  if (!date.isValid()) return {};
  return QStringLiteral("%1/%2/%3")
      .arg(date.month(), 2, 10, QChar(u'0'))
      .arg(date.day(), 2, 10, QChar(u'0'))
      .arg(date.year(), 4, 10, QChar(u'0'));
}

std::optional<QDate> parseDate(const QString& text) {
  static const QRegularExpression pattern(QStringLiteral(R"(^\s*(\d{1,2})/(\d{1,2})/(\d{4})\s*$)"));
  const auto m = pattern.match(text);
  if (!m.hasMatch()) return std::nullopt;
  QDate d(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
  if (!d.isValid()) return std::nullopt;
  return d;
}

QString isoDate(const QDate& date) {
  return date.toString(Qt::ISODate);
}

namespace {
const QDate kOleEpoch(1899, 12, 30);
}

double toOleDate(const QDate& date) {
  return static_cast<double>(kOleEpoch.daysTo(date));
}

double toOleDate(const QDateTime& when) {
  const double days = toOleDate(when.date());
  const double fraction = when.time().msecsSinceStartOfDay() / 86400000.0;
  // Before the epoch the fraction counts forward from the (negative) day, as automation does.
  return days >= 0 ? days + fraction : days - fraction;
}

QDateTime fromOleDate(double days) {
  if (!std::isfinite(days) || std::fabs(days) > 3.0e6) return {};
  const double whole = std::trunc(days);
  const double fraction = std::fabs(days - whole);
  const QDate date = kOleEpoch.addDays(static_cast<qint64>(whole));
  const int ms = static_cast<int>(std::llround(fraction * 86400000.0));
  return QDateTime(date, QTime(0, 0)).addMSecs(std::min(ms, 86399999));
}

QString ltrim(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  return text.mid(i);
}

QString rtrim(const QString& text) {
  qsizetype n = text.size();
  while (n > 0 && text[n - 1] == u' ') --n;
  return text.left(n);
}

QString trim(const QString& text) {
  return ltrim(rtrim(text));
}

qsizetype length(const QString& text) {
  return text.toUcs4().size();
}

QString left(const QString& text, qsizetype n) {
  if (n <= 0) return {};
  const auto u = text.toUcs4();
  if (n >= u.size()) return text;
  return QString::fromUcs4(reinterpret_cast<const char32_t*>(u.constData()), n);
}

QString right(const QString& text, qsizetype n) {
  if (n <= 0) return {};
  const auto u = text.toUcs4();
  if (n >= u.size()) return text;
  return QString::fromUcs4(reinterpret_cast<const char32_t*>(u.constData()) + (u.size() - n), n);
}

}  // namespace glim::textnum
