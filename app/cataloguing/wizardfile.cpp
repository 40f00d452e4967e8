#include "cataloguing/wizardfile.h"

#include <QFile>
#include <QStringDecoder>

#include "base/textnum.h"

namespace glim::cataloguing {

namespace {

constexpr int kKeyWidth = 25;
constexpr int kValueEnd = 51;  // the value ends at the line's 51st character

// The number of sets line 1 announces, capped at 25; 0 when it names none.
int announcedSets(const QVector<WizardLine>& lines) {
  if (lines.isEmpty()) return 0;
  const QString& first = lines.first().value;
  if (!textnum::isNumeric(first)) return 0;
  const auto n = textnum::toInt32(first);
  if (!n || *n < 1) return 0;
  return qMin(*n, kWizardMaxSets);
}

}  // namespace

WizardLine splitWizardLine(const QString& rawLine) {
  WizardLine out;
  out.line = rawLine.trimmed();
  const qsizetype comma = out.line.indexOf(u',');
  if (comma < 0) {
    out.key = textnum::left(out.line, kKeyWidth).trimmed();
    return out;
  }
  out.key = textnum::left(out.line.left(comma), kKeyWidth).trimmed();
  QString value = textnum::left(out.line, kValueEnd).mid(comma + 1);
  value.remove(u',');
  out.value = value.trimmed();
  return out;
}

bool WizardFile::load(const QString& path) {
  lines_.clear();
  titles_.clear();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray bytes = file.read(1 << 20);  // 700 lines of text never come near this
  // A binary file is not a caption file: NUL bytes or broken UTF-8 refuse it whole.
  if (bytes.contains('\0')) return false;
  QStringDecoder decode(QStringDecoder::Utf8);
  const QString text = decode(bytes);
  if (decode.hasError()) return false;
  parse(text);
  return true;
}

void WizardFile::parse(const QString& text) {
  lines_.clear();
  QStringList raw = text.split(u'\n');
  if (!raw.isEmpty() && raw.last().isEmpty()) raw.removeLast();  // the final line break
  for (const QString& line : raw) {
    if (lines_.size() == kWizardMaxLines) break;
    lines_.append(splitWizardLine(line));
  }
  collectTitles();
}

void WizardFile::collectTitles() {
  titles_.clear();
  const int last =
      qMin<qsizetype>(qsizetype(announcedSets(lines_)) * kWizardLinesPerSet, lines_.size());
  for (int i = 0; i < last && titles_.size() < kWizardMaxTitles; ++i)
    if (lines_[i].key == QLatin1String("TITLE")) titles_.append(lines_[i].value);
}

WizardSet WizardFile::captionsFor(const QString& title) const {
  WizardSet set;
  const QString wanted = title.trimmed();
  // Only a "TITLE" line starts a set: a theme that happens to share a later set's title
  // must not be taken for it.
  qsizetype start = -1;
  for (qsizetype i = 0; i < lines_.size() && start < 0; ++i)
    if (lines_[i].key == QLatin1String("TITLE") && lines_[i].value == wanted) start = i + 1;
  if (start < 0) return set;
  for (qsizetype i = start; i < lines_.size(); ++i) {
    if (set.complete()) break;
    QStringList& into = set.themes.size() < kThemeCount ? set.themes : set.ratings;
    into.append(lines_[i].value);
  }
  return set;
}

}  // namespace glim::cataloguing
