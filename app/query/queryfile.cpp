#include "query/queryfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>
#include <cmath>
#include <cstring>

#include "base/textnum.h"
#include "query/queryrules.h"

namespace glim::query {

namespace {

// Appends and reads little-endian fields in record order, with no padding.
class RecordWriter {
 public:
  void i16(qint16 v) { put(qToLittleEndian(v)); }
  void i32(qint32 v) { put(qToLittleEndian(v)); }
  void f32(float v) {
    quint32 bits;
    std::memcpy(&bits, &v, 4);
    put(qToLittleEndian(bits));
  }
  void f64(double v) {
    quint64 bits;
    std::memcpy(&bits, &v, 8);
    put(qToLittleEndian(bits));
  }
  void text(const QByteArray& t, int size) {
    QByteArray padded = t.left(size);
    padded.append(QByteArray(size - padded.size(), ' '));
    bytes.append(padded);
  }
  template <size_t N>
  void i16s(const std::array<qint16, N>& values) {
    for (qint16 v : values) i16(v);
  }
  QByteArray bytes;

 private:
  template <typename T>
  void put(T v) {
    bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
  }
};

class RecordReader {
 public:
  explicit RecordReader(const QByteArray& b) : bytes_(b) {}
  qint16 i16() { return qFromLittleEndian<qint16>(take(2)); }
  qint32 i32() { return qFromLittleEndian<qint32>(take(4)); }
  float f32() {
    const quint32 bits = qFromLittleEndian<quint32>(take(4));
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
  }
  double f64() {
    const quint64 bits = qFromLittleEndian<quint64>(take(8));
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
  }
  QByteArray text(int size) { return QByteArray(take(size), size); }
  template <size_t N>
  void i16s(std::array<qint16, N>& values) {
    for (qint16& v : values) v = i16();
  }

 private:
  const char* take(int n) {
    const char* p = bytes_.constData() + pos_;
    pos_ += n;
    return p;
  }
  const QByteArray& bytes_;
  int pos_ = 0;
};

template <typename E>
qint16 index(E e) {
  return static_cast<qint16>(e);
}

qint16 box(bool ticked) {
  return ticked ? 1 : 0;
}
qint16 flag(bool value) {
  return value ? -1 : 0;
}

// Check boxes take 0 (clear) or 1 (ticked); anything else is refused.
bool setBox(bool& target, qint16 value) {
  if (value != 0 && value != 1) return false;
  target = value == 1;
  return true;
}

// An option group takes 0, 1 or 2; any other value selects nothing and the group keeps its
// current choice.
template <typename E>
void setOption(E& target, qint16 value, qint16 count = 3) {
  if (value >= 0 && value < count) target = static_cast<E>(value);
}

// The calendars show dates from 1601 to 9999, as the platform's month view does.
bool setCalendar(QDate& target, double oleDate) {
  const QDateTime when = textnum::fromOleDate(oleDate);
  if (!when.isValid() || when.date() < kCalendarMin || when.date() > kCalendarMax) return false;
  target = when.date();
  return true;
}

bool validListIndex(int listIndex, const QStringList& themeNames) {
  return listIndex >= -1 && listIndex < themeNames.size();
}

qint16 numberOf(const QString& text) {
  return textnum::toInt16(text).value_or(0);
}

bool applyViewingAndDates(const QueryRecord& r, QueryCriteria& c) {
  if (r.viewCode.size() == 2 && (r.viewCode[0] == '1' || r.viewCode[0] == '2') &&
      (r.viewCode[1] == 'A' || r.viewCode[1] == 'B')) {
    c.viewOnlyNewPics = r.viewCode[0] == '2';
    c.includeAllNewPics = r.viewCode[1] == 'A';
  }
  c.createDateInclude = r.createDateInclude != 0;
  setOption(c.createDateOp, r.createDateOp);
  return setCalendar(c.createDate, r.createDate);
}

bool applyFileTypesAndSize(const QueryRecord& r, QueryCriteria& c) {
  for (int t = 0; t < kFileTypes; ++t)
    if (!setBox(c.fileTypes[t], r.fileTypes[t])) return false;
  if (!setBox(c.fileSizeInclude, r.fileSizeInclude)) return false;
  setOption(c.fileSizeOp, r.fileSizeOp);
  if (r.fileSize < 0 || r.fileSize > kFileSizeSliderMax) return false;
  c.fileSizeSlider = r.fileSize;
  c.fileSizeText = QString::number(r.fileSize);
  fileSizeRule(c.fileSizeText, c.fileSizeSlider);
  return true;
}

bool applyRatings(const QueryRecord& r, QueryCriteria& c) {
  for (int i = 0; i < kRatingRows; ++i) {
    RatingRow& row = c.ratings[i];
    if (!setBox(row.include, r.ratingInclude[i])) return false;
    setOption(row.op, r.ratingOp[i]);
    if (r.ratingValue[i] < 0 || r.ratingValue[i] > 5) return false;
    row.text = QString::number(r.ratingValue[i]);
    row.slider = r.ratingValue[i];
  }
  return true;
}

bool applyOrderedThemes(const QueryRecord& r, QueryCriteria& c, const QStringList& names) {
  if (!setBox(c.orderedThemes, r.orderedInclude)) return false;
  for (int i = 1; i <= 3; ++i)
    if (!setBox(c.ordered[i].include, r.orderedRowInclude[i - 1])) return false;
  for (int i = 1; i <= 3; ++i) {
    if (!c.ordered[i].include) continue;
    const int position = r.orderedTheme[i - 1];
    if (!validListIndex(position, names)) return false;
    selectOrderedTheme(c.ordered[i], position, names);
  }
  return true;
}

bool applyAnyOrderThemes(const QueryRecord& r, QueryCriteria& c, const QStringList& names) {
  bool ticked = false;
  if (!setBox(ticked, r.themesAnyInclude)) return false;
  setThemesAnyOrder(c, ticked);
  for (int i = 0; i <= 4; ++i) {
    const qint16 number = r.themeRows[i];
    if (number == kThemeRowOff) {
      if (i == 0) return false;  // the first row has no "Off"
      c.includes[i].on = false;
      continue;
    }
    if (!validListIndex(number - 1, names)) return false;
    if (i > 0) c.includes[i].on = true;
    selectIncludesTheme(c.includes[i], number - 1, names);
  }
  c.useAnd = r.allThemes != 0;
  return true;
}

void applyDimension(qint16 op, qint16 value, bool& include, DimOp& dimOp, QString& text,
                    QString (*rule)(const QString&)) {
  if (op == 0) {
    include = false;
  } else if (op >= 1 && op <= 3) {
    include = true;
    dimOp = static_cast<DimOp>(op - 1);
  }
  text = rule(QString::number(value));
}

bool applyRest(const QueryRecord& r, QueryCriteria& c) {
  if (!setBox(c.pictureSizeInclude, r.pictureSizeInclude)) return false;
  applyDimension(r.widthOp, r.width, c.widthInclude, c.widthOp, c.widthText, widthRule);
  applyDimension(r.heightOp, r.height, c.heightInclude, c.heightOp, c.heightText, heightRule);

  if (!setBox(c.lastViewedInclude, r.lastViewedInclude)) return false;
  setOption(c.lastViewedOp, r.lastViewedOp);
  if (!setCalendar(c.lastViewedDate, r.lastViewedDate)) return false;
  if (!setBox(c.omitSpam, r.spam)) return false;

  c.omitLowColors = r.colourLimit != 0;
  if (c.omitLowColors) c.colorsText = coloursRule(QString::number(r.colourLimit));

  switch (r.bannerMode) {
    case 0:
      c.omitBanners = false;
      break;
    case 1:
      c.autoDetectBanners = false;
      c.omitBanners = true;
      break;
    case 2:
      c.autoDetectBanners = true;
      c.omitBanners = true;
      break;
    default:
      break;
  }

  if (!std::isfinite(r.aspectRatio)) return false;
  const RatioView ratio = ratioRule(textnum::singleText(r.aspectRatio));
  c.aspectRatioText = ratio.text;
  c.ratioSlider = ratio.slider;
  return true;
}

}  // namespace

QByteArray encodeRecord(const QueryRecord& r) {
  RecordWriter w;
  w.text(r.viewCode, 2);
  w.i16(r.createDateInclude);
  w.i16(r.createDateOp);
  w.f64(r.createDate);
  w.i16s(r.fileTypes);
  w.i16(r.fileSizeInclude);
  w.i16(r.fileSizeOp);
  w.i32(r.fileSize);
  w.i16s(r.ratingInclude);
  w.i16s(r.ratingOp);
  w.i16s(r.ratingValue);
  w.i16(r.orderedInclude);
  for (int i = 0; i < 3; ++i) {
    w.i16(r.orderedRowInclude[i]);
    w.i16(r.orderedTheme[i]);
  }
  w.i16(r.themesAnyInclude);
  w.i16s(r.themeRows);
  w.i16(r.allThemes);
  w.text(r.reserved1, 500);
  w.text(r.reserved2, 500);
  w.i16(r.pictureSizeInclude);
  w.i16(r.widthOp);
  w.i16(r.heightOp);
  w.i16(r.width);
  w.i16(r.height);
  w.i16(r.lastViewedInclude);
  w.i16(r.lastViewedOp);
  w.f64(r.lastViewedDate);
  w.i16(r.spam);
  w.i32(r.colourLimit);
  w.i16(r.bannerMode);
  w.f32(r.aspectRatio);
  Q_ASSERT(w.bytes.size() == kRecordSize);
  return w.bytes;
}

bool decodeRecord(const QByteArray& bytes, QueryRecord& r) {
  if (bytes.size() < kRecordSize) return false;
  RecordReader in(bytes);
  r.viewCode = in.text(2);
  r.createDateInclude = in.i16();
  r.createDateOp = in.i16();
  r.createDate = in.f64();
  in.i16s(r.fileTypes);
  r.fileSizeInclude = in.i16();
  r.fileSizeOp = in.i16();
  r.fileSize = in.i32();
  in.i16s(r.ratingInclude);
  in.i16s(r.ratingOp);
  in.i16s(r.ratingValue);
  r.orderedInclude = in.i16();
  for (int i = 0; i < 3; ++i) {
    r.orderedRowInclude[i] = in.i16();
    r.orderedTheme[i] = in.i16();
  }
  r.themesAnyInclude = in.i16();
  in.i16s(r.themeRows);
  r.allThemes = in.i16();
  r.reserved1 = in.text(500);
  r.reserved2 = in.text(500);
  r.pictureSizeInclude = in.i16();
  r.widthOp = in.i16();
  r.heightOp = in.i16();
  r.width = in.i16();
  r.height = in.i16();
  r.lastViewedInclude = in.i16();
  r.lastViewedOp = in.i16();
  r.lastViewedDate = in.f64();
  r.spam = in.i16();
  r.colourLimit = in.i32();
  r.bannerMode = in.i16();
  r.aspectRatio = in.f32();
  return true;
}

bool writeQueryFile(const QString& path, const QueryRecord& r, QString* error) {
  const QByteArray record = encodeRecord(r);
  QSaveFile file(path);
  bool ok = file.open(QIODevice::WriteOnly);
  for (int copy = 0; ok && copy < kRecordCopies; ++copy) ok = file.write(record) == kRecordSize;
  ok = ok && file.commit();
  if (!ok && error) *error = file.errorString();
  return ok;
}

bool readQueryFile(const QString& path, QueryRecord& r, QString* error) {
  QFile file(path);
  if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
    if (error) *error = file.errorString();
    return false;
  }
  const QByteArray bytes = file.read(kRecordSize);
  QueryRecord cleared;
  if (!decodeRecord(bytes, cleared)) {
    if (error) *error = QStringLiteral("shorter than one record");
    return false;
  }
  r = cleared;
  return true;
}

void captureQueryRecord(const QueryCriteria& c, QueryRecord& r) {
  r.viewCode = QByteArray(c.viewOnlyNewPics ? "2" : "1") + (c.includeAllNewPics ? "A" : "B");
  r.createDateInclude = flag(c.createDateInclude);
  r.createDateOp = index(c.createDateOp);
  r.createDate = textnum::toOleDate(c.createDate);
  for (int t = 0; t < kFileTypes; ++t) r.fileTypes[t] = box(c.fileTypes[t]);
  r.fileSizeInclude = box(c.fileSizeInclude);
  r.fileSizeOp = index(c.fileSizeOp);
  r.fileSize = textnum::toInt32(c.fileSizeText).value_or(0);
  for (int i = 0; i < kRatingRows; ++i) {
    r.ratingInclude[i] = box(c.ratings[i].include);
    r.ratingOp[i] = index(c.ratings[i].op);
    r.ratingValue[i] = numberOf(c.ratings[i].text);
  }
  r.ratingInclude[10] = r.ratingOp[10] = r.ratingValue[10] = 0;
  r.orderedInclude = box(c.orderedThemes);
  for (int i = 1; i <= 3; ++i) {
    r.orderedRowInclude[i - 1] = box(c.ordered[i].include);
    r.orderedTheme[i - 1] = numberOf(c.ordered[i].ordTheme);
  }
  r.themesAnyInclude = box(c.themesAnyOrder);
  if (c.themesAnyOrder) {
    const QString& first = c.includes[0].themeNumber;
    r.themeRows[0] = first.isEmpty() ? 1 : numberOf(first);
  }
  for (int i = 1; i <= 4; ++i)
    r.themeRows[i] = c.includes[i].on ? numberOf(c.includes[i].themeNumber) : kThemeRowOff;
  r.themeRows[5] = r.themeRows[6] = 0;
  r.allThemes = flag(c.useAnd);
  r.reserved1 = QByteArray(500, ' ');
  r.reserved2 = QByteArray(500, ' ');
  r.pictureSizeInclude = box(c.pictureSizeInclude);
  r.widthOp = c.widthInclude ? qint16(index(c.widthOp) + 1) : qint16(0);
  r.heightOp = c.heightInclude ? qint16(index(c.heightOp) + 1) : qint16(0);
  r.width = numberOf(c.widthText);
  r.height = numberOf(c.heightText);
  r.lastViewedInclude = box(c.lastViewedInclude);
  r.lastViewedOp = index(c.lastViewedOp);
  r.lastViewedDate = textnum::toOleDate(c.lastViewedDate);
  r.spam = box(c.omitSpam);
  r.colourLimit = c.omitLowColors ? textnum::toInt32(c.colorsText).value_or(0) : 0;
  r.bannerMode = !c.omitBanners ? 0 : c.autoDetectBanners ? 2 : 1;
  r.aspectRatio = static_cast<float>(textnum::toDouble(c.aspectRatioText).value_or(0.0));
}

bool applyQueryRecord(const QueryRecord& r, QueryCriteria& c, const QStringList& themeNames) {
  return applyViewingAndDates(r, c) && applyFileTypesAndSize(r, c) && applyRatings(r, c) &&
         applyOrderedThemes(r, c, themeNames) && applyAnyOrderThemes(r, c, themeNames) &&
         applyRest(r, c);
}

LoadedQuery loadQueryFile(const QString& path, const QueryCriteria& base,
                          const QStringList& themeNames) {
  LoadedQuery result;
  result.criteria = base;
  const QString file = QDir::toNativeSeparators(path);
  QString error;
  if (!readQueryFile(path, result.record, &error)) {
    result.readFailed = true;
    const QFileInfo info(path);
    if (!info.exists())
      result.reason = QStringLiteral("The query file %1 does not exist.").arg(file);
    else if (!info.isFile())
      result.reason = QStringLiteral("%1 is a folder, not a query file.").arg(file);
    else if (info.size() < kRecordSize)
      result.reason = QStringLiteral(
                          "The query file %1 is damaged: it is shorter than one "
                          "query (%2 of %3 bytes).")
                          .arg(file)
                          .arg(info.size())
                          .arg(kRecordSize);
    else if (!info.isReadable())
      result.reason =
          QStringLiteral("The query file %1 cannot be read: this user is not allowed to open it.")
              .arg(file);
    else
      result.reason = QStringLiteral("The query file %1 cannot be read.").arg(file);
    // Only a file that holds too little to be a query is called corrupt.
    result.message = info.isFile() && info.size() < kRecordSize ? kLoadErrorText : result.reason;
    return result;
  }
  result.ok = applyQueryRecord(result.record, result.criteria, themeNames);
  if (!result.ok) {
    result.message = kApplyErrorText;
    result.reason = QStringLiteral(
                        "The query file %1 is damaged: it holds a value the query "
                        "builder cannot show.")
                        .arg(file);
  }
  return result;
}

}  // namespace glim::query
