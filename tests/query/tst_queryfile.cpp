// Query files: the byte layout, round trips, files written byte by byte here, and damaged
// files that must be refused with the loader's messages.
#include <QRandomGenerator>
#include <QtTest>
#include <cstring>

#include "query/queryfile.h"
#include "query_helpers.h"
#include "support/testenv.h"

using namespace glim::query;
using glim::query::test::Setup;

namespace {

// Writes little-endian fields at fixed offsets, independently of the code under test.
class Bytes {
 public:
  Bytes() : data(kRecordSize, '\0') {
    data.replace(0, 2, "1B");
    std::memset(data.data() + 140, ' ', 1000);
  }
  Bytes& i16(int offset, qint16 v) {
    data[offset] = char(v & 0xff);
    data[offset + 1] = char((v >> 8) & 0xff);
    return *this;
  }
  Bytes& i32(int offset, qint32 v) {
    for (int i = 0; i < 4; ++i) data[offset + i] = char((quint32(v) >> (8 * i)) & 0xff);
    return *this;
  }
  Bytes& f64(int offset, double v) {
    quint64 bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i) data[offset + i] = char((bits >> (8 * i)) & 0xff);
    return *this;
  }
  Bytes& f32(int offset, float v) {
    quint32 bits;
    std::memcpy(&bits, &v, 4);
    for (int i = 0; i < 4; ++i) data[offset + i] = char((bits >> (8 * i)) & 0xff);
    return *this;
  }
  Bytes& text(int offset, const char* t) {
    data.replace(offset, int(std::strlen(t)), t);
    return *this;
  }
  QByteArray file() const { return data + data + data; }
  QByteArray data;
};

qint16 at16(const QByteArray& b, int offset) {
  return qint16(quint8(b[offset]) | (quint8(b[offset + 1]) << 8));
}

LoadedQuery loadBytes(const QByteArray& bytes) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("q.qry"));
  glim::test::writeBytes(path, bytes);
  return loadQueryFile(path, test::initial(), test::themeNames());
}

// Every criterion away from its initial value.
QueryCriteria everythingChanged() {
  const QStringList names = test::themeNames();
  QueryCriteria c = test::initial();
  c.viewOnlyNewPics = true;
  c.includeAllNewPics = true;
  c.fileSizeInclude = true;
  c.fileSizeText = QStringLiteral("1234");
  c.fileSizeSlider = 1234;
  c.fileSizeOp = SizeOp::EqualTo;
  c.createDateInclude = true;
  c.createDate = QDate(2001, 2, 3);
  c.createDateOp = DateOp::Before;
  c.lastViewedInclude = true;
  c.lastViewedDate = QDate(1999, 12, 31);
  c.lastViewedOp = DateOp::On;
  for (int i = 0; i < kRatingRows; ++i)
    c.ratings[i] = {i % 2 == 0, QString::number(i % 6), i % 6, RatingOp(i % 3)};
  c.orderedThemes = true;
  for (int i = 1; i <= 3; ++i) {
    c.ordered[i].include = true;  // an unticked row's position is not applied on load
    selectOrderedTheme(c.ordered[i], 3 + i, names);
  }
  setThemesAnyOrder(c, true);
  selectIncludesTheme(c.includes[0], 6, names);
  c.includes[2].on = true;
  selectIncludesTheme(c.includes[2], 14, names);
  c.includes[4].on = true;
  selectIncludesTheme(c.includes[4], 0, names);
  c.useAnd = false;
  c.pictureSizeInclude = c.widthInclude = c.heightInclude = true;
  c.widthText = QStringLiteral("1600");
  c.widthOp = DimOp::SmallerThan;
  c.heightText = QStringLiteral("1200");
  c.heightOp = DimOp::EqualTo;
  c.omitSpam = c.omitLowColors = c.omitBanners = true;
  c.colorsText = QStringLiteral("4096");
  c.aspectRatioText = QStringLiteral("2.5");
  c.ratioSlider = 2500;
  c.fileTypes = {false, false, false, false, true, true, true, true, true, true};
  return c;
}

QByteArray capturedBytes(const QueryCriteria& c) {
  QueryRecord r;
  captureQueryRecord(c, r);
  return encodeRecord(r);
}

}  // namespace

class TestQueryFile : public QObject {
  Q_OBJECT
 private slots:
  void initialCriteriaFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("initial.qry"));
    QueryRecord r;
    captureQueryRecord(test::initial(), r);
    QVERIFY(writeQueryFile(path, r));
    const QByteArray bytes = glim::test::readBytes(path);
    QCOMPARE(bytes.size(), 3522);
    QCOMPARE(bytes.mid(0, kRecordSize), bytes.mid(kRecordSize, kRecordSize));
    QCOMPARE(bytes.mid(0, kRecordSize), bytes.mid(2 * kRecordSize));
    QCOMPARE(bytes.left(2), QByteArray("1B"));
    for (int offset : {14, 16, 18, 20}) QCOMPARE(at16(bytes, offset), qint16(1));
    for (int offset = 22; offset <= 32; offset += 2) QCOMPARE(at16(bytes, offset), qint16(0));
    QCOMPARE(bytes.mid(140, 1000), QByteArray(1000, ' '));
    QCOMPARE(at16(bytes, 138), qint16(-1));   // AND
    QCOMPARE(at16(bytes, 126), qint16(101));  // rows 1..4 "Off"
    QCOMPARE(at16(bytes, 132), qint16(101));
    float ratio;
    std::memcpy(&ratio, bytes.constData() + 1170, 4);
    QCOMPARE(ratio, 1.333f);
  }

  void everyFieldRoundTrips() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("all.qry"));
    const QueryCriteria saved = everythingChanged();
    QueryRecord r;
    captureQueryRecord(saved, r);
    QVERIFY(writeQueryFile(path, r));

    const LoadedQuery loaded = loadQueryFile(path, test::initial(), test::themeNames());
    QVERIFY2(loaded.ok, qPrintable(loaded.message));
    QCOMPARE(capturedBytes(loaded.criteria), encodeRecord(r));
    const QueryCriteria& c = loaded.criteria;
    QCOMPARE(c.createDate, saved.createDate);
    QCOMPARE(c.lastViewedDate, saved.lastViewedDate);
    QCOMPARE(c.fileSizeText, QStringLiteral("1234"));
    QCOMPARE(c.ordered[3].list.listIndex, 6);
    QCOMPARE(c.includes[0].list.text, QStringLiteral("Theme7"));
    QCOMPARE(c.includes[2].list.listIndex, 14);
    QVERIFY(!c.includes[1].on && !c.includes[3].on && c.includes[4].on);
    QCOMPARE(c.aspectRatioText, QStringLiteral("2.5"));
    QCOMPARE(c.ratioSlider, 2500);
    // Same statement and filters as before saving.
    QueryCriteria a = saved, b = loaded.criteria;
    QCOMPARE(runQueryTexts(b).sql, runQueryTexts(a).sql);
    QCOMPARE(buildThemeFilter(b), buildThemeFilter(a));
  }

  void recordCodecRoundTrips() {
    QueryRecord r;
    r.viewCode = "2A";
    r.createDate = 45000.75;
    r.fileSize = -123456;
    r.ratingValue[10] = 77;
    r.orderedTheme = {1, -2, 3};
    r.themeRows = {1, 2, 3, 4, 5, 6, 7};
    r.reserved1 = QByteArray(500, 'x');
    r.lastViewedDate = -5.5;
    r.colourLimit = 16777216;
    r.aspectRatio = 0.001f;
    QueryRecord back;
    QVERIFY(decodeRecord(encodeRecord(r), back));
    QCOMPARE(encodeRecord(back), encodeRecord(r));
    QCOMPARE(back.viewCode, QByteArray("2A"));
    QCOMPARE(back.fileSize, -123456);
    QCOMPARE(back.lastViewedDate, -5.5);
    QCOMPARE(back.reserved1, QByteArray(500, 'x'));
  }

  void handWrittenFileLoads() {
    Bytes b;
    b.text(0, "2B")
        .i16(2, -1)
        .i16(4, 1)
        .f64(6, 36526.0)  // created on 01/01/2000
        .i16(14, 0)
        .i16(16, 0)
        .i16(18, 0)
        .i16(20, 0)
        .i16(24, 1)  // BMP only
        .i16(34, 1)
        .i16(36, 0)
        .i32(38, 500)
        .i16(42 + 2 * 3, 1)
        .i16(64 + 2 * 3, 2)
        .i16(86 + 2 * 3, 4)  // rating 3 less than 4
        .i16(108, 1)
        .i16(110, 1)
        .i16(112, 4)
        .i16(114, 0)
        .i16(116, 9)
        .i16(118, 1)
        .i16(120, 0)
        .i16(122, 1)
        .i16(124, 3)
        .i16(126, 101)
        .i16(128, 5)
        .i16(130, 101)
        .i16(132, 101)
        .i16(138, -1)
        .i16(1140, 1)
        .i16(1142, 3)
        .i16(1144, 0)
        .i16(1146, 640)
        .i16(1148, 480)
        .i16(1150, 1)
        .i16(1152, 0)
        .f64(1154, 45000.0)
        .i16(1162, 1)
        .i32(1164, 1000)
        .i16(1168, 2)
        .f32(1170, 1.5f);
    const LoadedQuery l = loadBytes(b.file());
    QVERIFY2(l.ok, qPrintable(l.message));
    const QueryCriteria& c = l.criteria;
    QVERIFY(c.viewOnlyNewPics && !c.includeAllNewPics);
    QVERIFY(c.createDateInclude);
    QCOMPARE(c.createDateOp, DateOp::On);
    QCOMPARE(c.createDate, QDate(2000, 1, 1));
    QCOMPARE(QList<bool>(c.fileTypes.begin(), c.fileTypes.end()),
             (QList<bool>{false, false, false, false, false, true, false, false, false, false}));
    QVERIFY(c.fileSizeInclude);
    QCOMPARE(c.fileSizeOp, SizeOp::SmallerThan);
    QCOMPARE(c.fileSizeText, QStringLiteral("500"));
    QCOMPARE(c.fileSizeSlider, 500);
    QVERIFY(c.ratings[3].include && !c.ratings[0].include);
    QCOMPARE(c.ratings[3].op, RatingOp::LessThan);
    QCOMPARE(c.ratings[3].text, QStringLiteral("4"));
    QVERIFY(c.orderedThemes && c.ordered[1].include && !c.ordered[2].include);
    QCOMPARE(c.ordered[1].list.listIndex, 4);
    QCOMPARE(c.ordered[1].ordTheme, QStringLiteral("4"));
    QCOMPARE(c.ordered[2].list.listIndex, 0);  // not ticked: the stored 9 is not applied
    QCOMPARE(c.ordered[3].list.listIndex, 0);
    QVERIFY(c.themesAnyOrder);
    QCOMPARE(c.includes[0].themeNumber, QStringLiteral("3"));
    QCOMPARE(c.includes[0].list.text, QStringLiteral("Theme3"));
    QVERIFY(!c.includes[1].on && c.includes[2].on && !c.includes[3].on && !c.includes[4].on);
    QCOMPARE(c.includes[2].list.listIndex, 4);
    QVERIFY(c.useAnd);
    QVERIFY(c.pictureSizeInclude && c.widthInclude && !c.heightInclude);
    QCOMPARE(c.widthOp, DimOp::LargerThan);
    QCOMPARE(c.widthText, QStringLiteral("640"));
    QVERIFY(c.lastViewedInclude);
    QCOMPARE(c.lastViewedOp, DateOp::Before);
    QCOMPARE(c.lastViewedDate, QDate(2023, 3, 15));
    QVERIFY(c.omitSpam && c.omitLowColors && c.omitBanners && c.autoDetectBanners);
    QCOMPARE(c.colorsText, QStringLiteral("1000"));
    QCOMPARE(c.aspectRatioText, QStringLiteral("1.5"));

    QueryCriteria run = c;
    const QueryTexts t = runQueryTexts(run);
    QCOMPARE(t.sql,
             QStringLiteral("SELECT * FROM tbl1 WHERE FileSize < 512000 AND "
                            "FileCreationDate = #01/01/2000# AND DateLastViewed < "
                            "#03/15/2023# AND UserRating3 < 4 AND Class1 = 5 AND Class3 = 1 AND "
                            "Width > 640 AND SPAM <> 1 AND Colors >= 1000 AND "
                            "BannerSize <> 1 AND NewFile = 1"));
    QCOMPARE(t.filter2, QStringLiteral("Extension = 'bmp'"));
    QVERIFY(t.filter1.startsWith(QStringLiteral("(Class1 = 3 OR")));
  }

  void offRowAndOrderedPosition() {
    QueryCriteria c = test::initial();
    c.orderedThemes = c.ordered[1].include = true;
    selectOrderedTheme(c.ordered[1], 4, test::themeNames());
    QueryCriteria ran = c;
    runQueryTexts(ran);  // running first must not change what is saved
    QueryRecord r;
    captureQueryRecord(ran, r);
    QCOMPARE(r.orderedTheme[0], qint16(4));
    QCOMPARE(r.themeRows[3], kThemeRowOff);
    QueryCriteria back = test::initial();
    back.includes[3].on = true;
    QVERIFY(applyQueryRecord(r, back, test::themeNames()));
    QVERIFY(!back.includes[3].on);
    QCOMPARE(back.ordered[1].list.listIndex, 4);
  }

  void unknownCodesKeepChoices() {
    Bytes b;
    b.text(0, "9Z").i16(4, 7).i16(36, -1).i16(64, 3).i16(1142, 9).i16(1168, 5).f32(1170, 1.333f);
    QueryCriteria base = test::initial();
    base.viewOnlyNewPics = base.includeAllNewPics = true;
    base.createDateOp = DateOp::On;
    base.fileSizeOp = SizeOp::EqualTo;
    base.ratings[0].op = RatingOp::LessThan;
    base.widthInclude = true;
    base.widthOp = DimOp::SmallerThan;
    base.omitBanners = base.autoDetectBanners = true;
    QueryRecord r;
    QVERIFY(decodeRecord(b.data, r));
    QueryCriteria c = base;
    QVERIFY(applyQueryRecord(r, c, test::themeNames()));
    QVERIFY(c.viewOnlyNewPics && c.includeAllNewPics);
    QCOMPARE(c.createDateOp, DateOp::On);
    QCOMPARE(c.fileSizeOp, SizeOp::EqualTo);
    QCOMPARE(c.ratings[0].op, RatingOp::LessThan);
    QVERIFY(c.widthInclude);
    QCOMPARE(c.widthOp, DimOp::SmallerThan);
    QVERIFY(c.omitBanners && c.autoDetectBanners);
  }

  void clampedNotRejected() {
    Bytes b;
    b.i16(1146, 5000).i16(1148, -20).i32(1164, 99999999).f32(1170, 50.0f);
    const LoadedQuery l = loadBytes(b.file());
    QVERIFY(l.ok);
    QCOMPARE(l.criteria.widthText, QStringLiteral("3200"));
    QCOMPARE(l.criteria.heightText, QStringLiteral("0"));
    QCOMPARE(l.criteria.colorsText, QStringLiteral("16777216"));
    QCOMPARE(l.criteria.aspectRatioText, QStringLiteral("10"));
    QCOMPARE(l.criteria.ratioSlider, 10000);
  }

  void rejectedValues_data() {
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<bool>("ratingsApplied");  // did the steps before the bad value run
    auto with = [](auto change) {
      Bytes b;
      b.i16(42, 1);  // overall rating ticked, to see whether step 4 ran
      change(b);
      return b.data;
    };
    QTest::newRow("size above the slider") << with([](Bytes& b) { b.i32(38, 40000); }) << false;
    QTest::newRow("negative size") << with([](Bytes& b) { b.i32(38, -1); }) << false;
    QTest::newRow("box value 2") << with([](Bytes& b) { b.i16(20, 2); }) << false;
    QTest::newRow("date out of range") << with([](Bytes& b) { b.f64(6, 1e12); }) << false;
    QTest::newRow("date not a number")
        << with([](Bytes& b) { b.f64(6, std::numeric_limits<double>::quiet_NaN()); }) << false;
    QTest::newRow("rating 6") << with([](Bytes& b) { b.i16(86 + 4, 6); }) << true;
    QTest::newRow("ordered position 15")
        << with([](Bytes& b) { b.i16(110, 1).i16(112, 15); }) << true;
    QTest::newRow("ordered position -2")
        << with([](Bytes& b) { b.i16(114, 1).i16(116, -2); }) << true;
    QTest::newRow("theme number 16") << with([](Bytes& b) { b.i16(128, 16); }) << true;
    QTest::newRow("first theme row off") << with([](Bytes& b) { b.i16(124, 101); }) << true;
    QTest::newRow("spam box 3") << with([](Bytes& b) { b.i16(1162, 3); }) << true;
    QTest::newRow("ratio not a number")
        << with([](Bytes& b) { b.f32(1170, std::numeric_limits<float>::infinity()); }) << true;
  }
  void rejectedValues() {
    QFETCH(QByteArray, record);
    QFETCH(bool, ratingsApplied);
    const LoadedQuery l = loadBytes(record);
    QVERIFY(!l.ok);
    QCOMPARE(l.message, kApplyErrorText);
    QCOMPARE(l.criteria.ratings[0].include, ratingsApplied);
  }

  void unreadableFiles_data() {
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << 0;
    QTest::newRow("one byte") << 1;
    QTest::newRow("one byte short") << kRecordSize - 1;
  }
  void unreadableFiles() {
    QFETCH(int, size);
    const LoadedQuery l = loadBytes(Bytes().data.left(size));
    QVERIFY(!l.ok);
    QCOMPARE(l.message, kLoadErrorText);
  }

  void oneRecordIsEnough() { QVERIFY(loadBytes(Bytes().data).ok); }

  // A missing file or a folder is said to be what it is, not a corrupt file.
  void missingFileAndFolder() {
    QTemporaryDir dir;
    const auto base = test::initial();
    const QString missing = dir.filePath(QStringLiteral("none.qry"));
    const LoadedQuery none = loadQueryFile(missing, base, {});
    QVERIFY(none.readFailed);
    QCOMPARE(
        none.message,
        QStringLiteral("The query file %1 does not exist.").arg(QDir::toNativeSeparators(missing)));
    const LoadedQuery folder = loadQueryFile(dir.path(), base, {});
    QVERIFY(folder.readFailed);
    QVERIFY(folder.message.endsWith(QStringLiteral(" is a folder, not a query file.")));
  }

  void randomBytesNeverCrash() {
    QRandomGenerator rng(20240307);
    int refused = 0;
    for (int n = 0; n < 500; ++n) {
      QByteArray bytes(int(rng.bounded(2 * kRecordSize)), '\0');
      for (char& ch : bytes) ch = char(rng.bounded(256));
      const LoadedQuery l = loadBytes(bytes);
      if (!l.ok) {
        ++refused;
        QVERIFY(l.message == kLoadErrorText || l.message == kApplyErrorText);
        continue;
      }
      // Whatever loads builds a statement of plain numbers and saves back loadably.
      QueryCriteria c = l.criteria;
      const QString sql = runQueryTexts(c).sql;
      QVERIFY(sql.startsWith(QStringLiteral("SELECT * FROM tbl1 WHERE ")));
      QueryRecord r;
      captureQueryRecord(l.criteria, r);
      QueryCriteria again = test::initial();
      QVERIFY(applyQueryRecord(r, again, test::themeNames()));
    }
    QVERIFY(refused > 0);
  }

  void failedWriteKeepsOldFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("missing-folder/x.qry"));
    QString error;
    QVERIFY(!writeQueryFile(path, QueryRecord(), &error));
    QVERIFY(!error.isEmpty());
  }
};

QTEST_GUILESS_MAIN(TestQueryFile)
#include "tst_queryfile.moc"
