#include "catalogue/jetsql.h"

#include <QRegularExpression>

#include "base/textnum.h"

namespace glim::catalogue {

namespace {

// "#m/d/yyyy#" starting at text[start] (the opening '#'): the SQLite literal and the length
// consumed, or nothing when it is not a date literal.
std::optional<std::pair<QString, qsizetype>> dateLiteralAt(const QString& text, qsizetype start) {
  const qsizetype close = text.indexOf(QLatin1Char('#'), start + 1);
  if (close < 0 || close - start > 24) return std::nullopt;
  const QString inner = text.mid(start + 1, close - start - 1).trimmed();
  const QDate date = textnum::parseDate(inner).value_or(QDate());
  if (!date.isValid()) {
    const QDate iso = QDate::fromString(inner, Qt::ISODate);
    if (!iso.isValid()) return std::nullopt;
    return std::make_pair(quoted(storedDate(iso)), close - start + 1);
  }
  return std::make_pair(quoted(storedDate(date)), close - start + 1);
}

bool isWordChar(QChar c) {
  return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// "DELETE *" (any case, any blanks) at a word boundary: the length up to and including '*'.
qsizetype deleteStarAt(const QString& text, qsizetype at) {
  static const QRegularExpression deleteStar(QStringLiteral("\\GDELETE\\s*\\*"),
                                             QRegularExpression::CaseInsensitiveOption);
  if (at > 0 && isWordChar(text.at(at - 1))) return 0;
  const auto match = deleteStar.match(text, at);
  return match.hasMatch() ? match.capturedLength() : 0;
}

}  // namespace

QString translateJet(const QString& jet) {
  QString out;
  out.reserve(jet.size() + 16);
  const qsizetype n = jet.size();
  for (qsizetype i = 0; i < n;) {
    const QChar c = jet.at(i);
    if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
      // Copy the quoted text unchanged, doubled quotes included.
      qsizetype j = i + 1;
      while (j < n) {
        if (jet.at(j) == c) {
          if (j + 1 < n && jet.at(j + 1) == c) {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      out += jet.mid(i, j - i + 1);
      i = j + 1;
      continue;
    }
    if (c == QLatin1Char('[')) {
      const qsizetype close = jet.indexOf(QLatin1Char(']'), i + 1);
      if (close > i) {
        out += QLatin1Char('"') + jet.mid(i + 1, close - i - 1) + QLatin1Char('"');
        i = close + 1;
        continue;
      }
    }
    if (c == QLatin1Char('#')) {
      if (auto literal = dateLiteralAt(jet, i)) {
        out += literal->first;
        i += literal->second;
        continue;
      }
    }
    if (c.toUpper() == QLatin1Char('D')) {
      if (const qsizetype len = deleteStarAt(jet, i)) {
        out += QStringLiteral("DELETE");
        i += len;
        continue;
      }
    }
    out += c;
    ++i;
  }
  // Jet accepts a closing ";"; SQLite's prepare would see an empty second statement.
  while (!out.isEmpty() && (out.back().isSpace() || out.back() == QLatin1Char(';'))) out.chop(1);
  return out;
}

QString quoted(const QString& value) {
  QString doubled = value;
  doubled.replace(QLatin1Char('\''), QStringLiteral("''"));
  return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

QString jetDateLiteral(const QDate& date) {
  return QLatin1Char('#') + textnum::dateText(date) + QLatin1Char('#');
}

QString storedDate(const QDate& date) {
  return date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

QDate parseAnyDate(const QString& text) {
  const QString trimmed = text.trimmed();
  const QDate iso = QDate::fromString(trimmed.left(10), QStringLiteral("yyyy-MM-dd"));
  if (iso.isValid() && (trimmed.size() == 10 || trimmed.at(10) == QLatin1Char(' ') ||
                        trimmed.at(10) == QLatin1Char('T')))
    return iso;
  return textnum::parseDate(trimmed).value_or(QDate());
}

}  // namespace glim::catalogue
