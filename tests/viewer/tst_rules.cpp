// The viewer's arithmetic and rules without windows: layout, zoom, paging, the information
// capture, rating boxes and theme highlighting.
#include <QtTest>

#include "viewer/layout.h"
#include "viewer/navigation.h"
#include "viewer/pictureinfo.h"
#include "viewer/ratings.h"

using namespace glim::viewer;

Q_DECLARE_METATYPE(glim::viewer::Geometry)
Q_DECLARE_METATYPE(glim::viewer::ScrollBarsMode)
Q_DECLARE_METATYPE(glim::viewer::NavCommand)
Q_DECLARE_METATYPE(glim::viewer::RecordMove)

namespace {
const PictureArea kArea{178.228f, 8.129f, 800, 600};
const double kLeft = double(178.228f);
const double kTop = double(8.129f);
}  // namespace

class tst_Rules : public QObject {
  Q_OBJECT

 private slots:
  void zoom_data();
  void zoom();
  void pictureGeometry_data();
  void pictureGeometry();
  void normalLayout();
  void everyZoomStepIsListedOnce();
  void skipStep_data();
  void skipStep();
  void navigation_data();
  void navigation();
  void recordMove_data();
  void recordMove();
  void capture_data();
  void capture();
  void fileNameNoPath();
  void ratingKeys();
  void ratingChange_data();
  void ratingChange();
  void ratingLeave_data();
  void ratingLeave();
  void themeClickToggles();
  void themeTabAndPicture();
};

void tst_Rules::zoom_data() {
  QTest::addColumn<int>("w");
  QTest::addColumn<int>("h");
  QTest::addColumn<double>("factor");
  QTest::addColumn<Geometry>("expected");
  QTest::addColumn<ScrollBarsMode>("bars");
  QTest::newRow("half of 600x400 is centred")
      << 600 << 400 << 0.5 << Geometry{kLeft + 250, 212 - kTop, 300, 200} << ScrollBarsMode::None;
  QTest::newRow("double 600x200: too wide only")
      << 600 << 200 << 2.0 << Geometry{kLeft, kTop, 800, 400} << ScrollBarsMode::Horizontal;
  QTest::newRow("double 600x400: both")
      << 600 << 400 << 2.0 << Geometry{kLeft, kTop, 800, 600} << ScrollBarsMode::Both;
  QTest::newRow("double 200x400: too high only")
      << 200 << 400 << 2.0 << Geometry{kLeft, kTop, 400, 600} << ScrollBarsMode::Vertical;
  QTest::newRow("zoom reaching the width exactly scrolls")
      << 400 << 100 << 2.0 << Geometry{kLeft, kTop, 800, 200} << ScrollBarsMode::Horizontal;
  QTest::newRow("one tenth of 6000x4000")
      << 6000 << 4000 << 0.1 << Geometry{kLeft + 100, 112 - kTop, 600, 400} << ScrollBarsMode::None;
}

void tst_Rules::zoom() {
  QFETCH(int, w);
  QFETCH(int, h);
  QFETCH(double, factor);
  QFETCH(Geometry, expected);
  QFETCH(ScrollBarsMode, bars);
  const ZoomLayout z = zoomLayout(kArea, qint16(w), qint16(h), factor);
  QCOMPARE(z.photo.left, expected.left);
  QCOMPARE(z.photo.top, expected.top);
  QCOMPARE(z.photo.width, expected.width);
  QCOMPARE(z.photo.height, expected.height);
  QCOMPARE(z.scrollBars, bars);
}

void tst_Rules::pictureGeometry_data() {
  QTest::addColumn<int>("w");
  QTest::addColumn<int>("h");
  QTest::addColumn<Geometry>("expected");
  QTest::newRow("small is centred") << 400 << 300 << Geometry{kLeft + 200, 162 - kTop, 400, 300};
  QTest::newRow("exactly the area is cut, not centred")
      << 800 << 600 << Geometry{kLeft, kTop, 800, 600};
  QTest::newRow("as wide as the area") << 800 << 100 << Geometry{kLeft, kTop, 800, 100};
  QTest::newRow("one pixel smaller fits")
      << 799 << 599 << Geometry{kLeft + 0.5, 0.5 - kTop + 12, 799, 599};
  QTest::newRow("larger is cut") << 6000 << 4000 << Geometry{kLeft, kTop, 800, 600};
}

void tst_Rules::pictureGeometry() {
  QFETCH(int, w);
  QFETCH(int, h);
  QFETCH(Geometry, expected);
  const Geometry g = glim::viewer::pictureGeometry(kArea, qint16(w), qint16(h));
  QCOMPARE(g.left, expected.left);
  QCOMPARE(g.top, expected.top);
  QCOMPARE(g.width, expected.width);
  QCOMPARE(g.height, expected.height);
}

void tst_Rules::normalLayout() {
  const NormalLayout layout = glim::viewer::normalLayout(1024, 700);
  QCOMPARE(layout.photo.left, 178.228);
  QCOMPARE(layout.photo.top, 8.129);
  QCOMPARE(layout.photo.width, 838.0);
  QCOMPARE(layout.photo.height, 668.0);
  QCOMPARE(layout.areaWidth, qint16(838));
  QCOMPARE(layout.areaHeight, qint16(668));
  // A window narrower than the panels leaves an empty area rather than a negative one.
  QCOMPARE(glim::viewer::normalLayout(100, 20).areaWidth, qint16(0));
  QCOMPARE(centredFormLeft(1920, 1000), 460);
}

void tst_Rules::everyZoomStepIsListedOnce() {
  QSet<double> factors;
  int reducing = 0;
  for (const ZoomStep& step : kZoomSteps) {
    factors.insert(step.factor);
    reducing += isReducingZoom(step.factor) ? 1 : 0;
  }
  QCOMPARE(factors.size(), 12);
  QCOMPARE(reducing, 5);
  QCOMPARE(QString::fromLatin1(kZoomSteps[5].caption), QStringLiteral("100%  (Original Size)"));
}

void tst_Rules::skipStep_data() {
  QTest::addColumn<int>("count");
  QTest::addColumn<int>("step");
  QTest::newRow("1") << 1 << 1;
  QTest::newRow("empty") << 0 << 1;
  QTest::newRow("14") << 14 << 1;
  QTest::newRow("15 halves to even") << 15 << 2;
  QTest::newRow("25 halves to even") << 25 << 2;
  QTest::newRow("35 halves to even") << 35 << 4;
  QTest::newRow("36") << 36 << 4;
  QTest::newRow("1000") << 1000 << 100;
}

void tst_Rules::skipStep() {
  QFETCH(int, count);
  QFETCH(int, step);
  QCOMPARE(glim::viewer::skipStep(count), step);
}

void tst_Rules::navigation_data() {
  QTest::addColumn<NavCommand>("command");
  QTest::addColumn<int>("value");
  QTest::addColumn<int>("maximum");
  QTest::addColumn<int>("target");
  QTest::newRow("next at the end stays") << NavCommand::Next << 24 << 24 << 24;
  QTest::newRow("previous at the start stays") << NavCommand::Previous << 0 << 24 << 0;
  QTest::newRow("next") << NavCommand::Next << 3 << 24 << 4;
  QTest::newRow("previous") << NavCommand::Previous << 3 << 24 << 2;
  QTest::newRow("single record: next") << NavCommand::Next << 0 << 0 << 0;
  QTest::newRow("forward by step") << NavCommand::Forward10 << 3 << 24 << 5;
  QTest::newRow("forward stops at the last") << NavCommand::Forward10 << 23 << 24 << 24;
  QTest::newRow("back by step") << NavCommand::Back10 << 3 << 24 << 1;
  QTest::newRow("back stops at the first") << NavCommand::Back10 << 1 << 24 << 0;
  QTest::newRow("first") << NavCommand::First << 9 << 24 << 0;
  QTest::newRow("last") << NavCommand::Last << 9 << 24 << 24;
}

void tst_Rules::navigation() {
  QFETCH(NavCommand, command);
  QFETCH(int, value);
  QFETCH(int, maximum);
  QFETCH(int, target);
  QCOMPARE(navigationTarget(command, value, 0, maximum, 2), target);
}

void tst_Rules::recordMove_data() {
  using K = RecordMove::Kind;
  QTest::addColumn<int>("value");
  QTest::addColumn<int>("last");
  QTest::addColumn<bool>("failed");
  QTest::addColumn<RecordMove>("move");
  QTest::newRow("normal move is absolute") << 5 << 4 << false << RecordMove{K::Absolute, 5};
  QTest::newRow("after failure, relative") << 7 << 4 << true << RecordMove{K::Relative, 3};
  QTest::newRow("after failure, backwards") << 2 << 4 << true << RecordMove{K::Relative, -2};
  QTest::newRow("after failure, at the maximum") << 9 << 4 << true << RecordMove{K::Last, 0};
  QTest::newRow("after failure, at the minimum") << 0 << 4 << true << RecordMove{K::First, 0};
}

void tst_Rules::recordMove() {
  QFETCH(int, value);
  QFETCH(int, last);
  QFETCH(bool, failed);
  QFETCH(RecordMove, move);
  QCOMPARE(recordMoveFor(value, last, 0, 9, failed), move);
}

void tst_Rules::capture_data() {
  QTest::addColumn<int>("w");
  QTest::addColumn<int>("h");
  QTest::addColumn<QString>("ratio");
  QTest::addColumn<bool>("banner");
  QTest::newRow("4:3") << 640 << 480 << "1.33333333333333" << false;
  QTest::newRow("2.5 is a banner") << 250 << 100 << "2.5" << true;
  QTest::newRow("2.499 is not") << 2499 << 1000 << "2.499" << false;
  QTest::newRow("0.4 is not") << 40 << 100 << "0.4" << false;
  QTest::newRow("tall banner") << 39 << 100 << "0.39" << true;
  QTest::newRow("no height: no ratio, no banner") << 10 << 0 << "" << false;
}

void tst_Rules::capture() {
  QFETCH(int, w);
  QFETCH(int, h);
  QFETCH(QString, ratio);
  QFETCH(bool, banner);
  const CapturedTexts t = capturedTexts({w, h, 24, 123456, 70000});
  QCOMPARE(t.ratio, ratio);
  QCOMPARE(t.banner, banner);
  QCOMPARE(t.width, QString::number(w));
  QCOMPARE(t.bits, QStringLiteral("24"));
  QCOMPARE(t.fileSize, QStringLiteral("123456"));
  QCOMPARE(t.colours, QStringLiteral("70000"));
}

void tst_Rules::fileNameNoPath() {
  QCOMPARE(glim::viewer::fileNameNoPath(QStringLiteral("/pics/a very long file name.jpg")),
           QStringLiteral("a very long file nam"));
  QCOMPARE(glim::viewer::fileNameNoPath(QStringLiteral("short.png")), QStringLiteral("short.png"));
  QCOMPARE(viewerCaptionFor(QStringLiteral("/p/x.jpg")),
           QStringLiteral("Glimmora 2000 Viewer        /p/x.jpg"));
}

void tst_Rules::ratingKeys() {
  for (QChar c : QStringLiteral("012345")) QVERIFY(ratingKeyAccepted(c));
  for (QChar c : QStringLiteral("6789a-. \b")) QVERIFY(!ratingKeyAccepted(c));
}

void tst_Rules::ratingChange_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("becomes");  // null when the text stays
  QTest::addColumn<int>("bar");
  QTest::newRow("digit") << "3" << QString() << 3;
  QTest::newRow("blank") << "  "
                         << "0" << 0;
  QTest::newRow("text") << "x"
                        << "0" << 0;
  QTest::newRow("out of range keeps text") << "7" << QString() << 0;
  QTest::newRow("negative") << "-1" << QString() << 0;
  QTest::newRow("fraction rounds half even") << "2.5" << QString() << 2;
}

void tst_Rules::ratingChange() {
  QFETCH(QString, text);
  QFETCH(QString, becomes);
  QFETCH(int, bar);
  const RatingChange change = ratingChanged(text);
  QCOMPARE(change.newText.value_or(QString()), becomes);
  QCOMPARE(change.barValue, bar);
}

void tst_Rules::ratingLeave_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("becomes");
  QTest::newRow("5") << "5"
                     << "5";
  QTest::newRow("0") << "0"
                     << "0";
  QTest::newRow("pasted 7") << "7"
                            << "0";
  QTest::newRow("padded") << " 3"
                          << "0";
  QTest::newRow("two digits") << "33"
                              << "0";
  QTest::newRow("empty") << ""
                         << "0";
}

void tst_Rules::ratingLeave() {
  QFETCH(QString, text);
  QFETCH(QString, becomes);
  QCOMPARE(ratingOnLeave(text), becomes);
}

void tst_Rules::themeClickToggles() {
  ThemeHighlight themes;
  QCOMPARE(themes.click(4), QStringLiteral("4"));
  QVERIFY(themes.isRed(4));
  QCOMPARE(themes.click(7), QStringLiteral("7"));
  QVERIFY(!themes.isRed(4));
  QVERIFY(themes.isRed(7));
  // Clicking the red button takes the theme off and leaves nothing red.
  QCOMPARE(themes.click(7), QStringLiteral("0"));
  for (int i = 0; i <= kThemeCount; ++i) QVERIFY(!themes.isRed(i));
}

void tst_Rules::themeTabAndPicture() {
  ThemeHighlight themes;
  themes.tabChanged(QStringLiteral("9"));
  QCOMPARE(themes.current(), 9);
  QVERIFY(themes.isRed(9));
  themes.tabChanged(QStringLiteral("0"));  // no theme in this slot: no highlight
  QVERIFY(!themes.isRed(0));
  QVERIFY(!themes.isRed(9));
  themes.pictureShown(QStringLiteral("3"));
  QVERIFY(themes.isRed(3));
  themes.pictureShown(QString());  // not a number: the last highlight goes
  QVERIFY(!themes.isRed(3));
  // A slot holding a number no button stands for is ignored rather than indexing past them.
  themes.tabChanged(QStringLiteral("99"));
  for (int i = 0; i <= kThemeCount; ++i) QVERIFY(!themes.isRed(i));
}

QTEST_GUILESS_MAIN(tst_Rules)
#include "tst_rules.moc"
