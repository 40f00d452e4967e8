#include <QtTest>

#include "base/settings.h"
#include "editing/editrules.h"
#include "editing/previewdialog.h"
#include "support/testenv.h"

using namespace glim::editing;

class TestEditRules : public QObject {
  Q_OBJECT
 private slots:
  void resizeArithmetic() {
    // 320 wide of a 640 x 480 picture with the ratio kept.
    QCOMPARE(heightForWidth(320, 640.0 / 480.0).value(), qint16(240));
    QCOMPARE(widthForHeight(240, 640.0 / 480.0).value(), qint16(320));
    QCOMPARE(ratioText(640, 480), QStringLiteral("1.333333"));
    QCOMPARE(ratioText(300, 200), QStringLiteral("1.5"));
    QCOMPARE(pixelsForPercent(3000, QStringLiteral("200")).value(), qint16(6000));
    // Halves go to the even neighbour: 5 x 50 % = 2.5 -> 2, 7 x 50 % = 3.5 -> 4.
    QCOMPARE(pixelsForPercent(5, QStringLiteral("50")).value(), qint16(2));
    QCOMPARE(pixelsForPercent(7, QStringLiteral("50")).value(), qint16(4));
    QVERIFY(!pixelsForPercent(30000, QStringLiteral("200")));
    QVERIFY(!pixelsForPercent(640, QStringLiteral("")));
    QVERIFY(!heightForWidth(40000 * 2, 1.0));
  }

  void memoryGuard_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("refused");
    QTest::newRow("exactly at the limit") << 4000 << 3625 << false;
    QTest::newRow("one row more") << 4000 << 3626 << true;
    QTest::newRow("200 percent of 3000 x 2500") << 6000 << 5000 << true;
    QTest::newRow("small") << 640 << 480 << false;
  }
  void memoryGuard() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, refused);
    QCOMPARE(exceedsMemoryGuard(qint16(width), qint16(height)), refused);
  }

  void percentLimitKeepsSidesInRange() {
    const int limit = percentLimit(3000);
    QVERIFY(pixelsForPercent(3000, QString::number(limit - 1)).has_value());
    QVERIFY(3000.0 * limit / 100.0 > kMaxSide);
    QCOMPARE(percentLimit(1), 20000);
  }

  void sizeKeys() {
    QVERIFY(acceptsSizeKey('0') && acceptsSizeKey('9'));
    QVERIFY(acceptsSizeKey(8) && acceptsSizeKey(9));
    QVERIFY(!acceptsSizeKey('-') && !acceptsSizeKey('.') && !acceptsSizeKey('a'));
  }

  void gammaScale_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<float>("gamma");
    QTest::newRow("lowest") << 100 << 0.1f;
    QTest::newRow("just below one") << 1099 << 1.099f;
    QTest::newRow("initial") << 1100 << 1.0f;
    QTest::newRow("highest") << 2000 << 10.0f;
  }
  void gammaScale() {
    QFETCH(int, value);
    QFETCH(float, gamma);
    QCOMPARE(gammaForScroll(value), gamma);
  }

  // The dialog shows the factor, not the scroll value behind it.
  void gammaShownAsFactor_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("shown");
    QTest::newRow("lowest") << 100 << QStringLiteral("0.1");
    QTest::newRow("a step below one") << 1000 << QStringLiteral("1.0");
    QTest::newRow("dragged just below one") << 1099 << QStringLiteral("1.099");
    QTest::newRow("initial") << 1100 << QStringLiteral("1.0");
    QTest::newRow("a step above") << 1200 << QStringLiteral("2.0");
    QTest::newRow("highest") << 2000 << QStringLiteral("10.0");
  }
  void gammaShownAsFactor() {
    QFETCH(int, value);
    QFETCH(QString, shown);
    QCOMPARE(glim::gammaText(value), shown);
  }

  // A preview dialog keeps off the picture it previews whenever the screen has room.
  void previewPlacedBesideThePicture_data() {
    QTest::addColumn<QRect>("picture");
    QTest::addColumn<QRect>("expected");
    const QSize dialog(300, 150);
    QTest::newRow("room on the right") << QRect(0, 0, 600, 400) << QRect(QPoint(608, 0), dialog);
    QTest::newRow("room only on the left")
        << QRect(400, 100, 600, 400) << QRect(QPoint(92, 100), dialog);
    QTest::newRow("room only below") << QRect(0, 0, 1024, 500) << QRect(QPoint(0, 508), dialog);
    QTest::newRow("picture fills the screen: the corner it covers least")
        << QRect(100, 0, 924, 768) << QRect(QPoint(0, 618), dialog);
  }
  void previewPlacedBesideThePicture() {
    QFETCH(QRect, picture);
    QFETCH(QRect, expected);
    const QRect screen(0, 0, 1024, 768);
    const QRect place = glim::placeBeside(picture, QSize(300, 150), screen);
    QCOMPARE(place, expected);
    QVERIFY(screen.contains(place));
  }

  void colorDepthLists() {
    const ColorDepthChoice none = colorDepthChoice(-1, -1, -1);
    QCOMPARE(none.bits, 24);
    QCOMPARE(none.palette, 5);
    QCOMPARE(none.dither, 0);
    const ColorDepthChoice gray = colorDepthChoice(1, 4, 3);
    QCOMPARE(gray.bits, 8);
    QCOMPARE(gray.palette, 6);
    QCOMPARE(gray.dither, 3);
    QCOMPARE(depthFrameCaption(1), QStringLiteral("Current Depth = 1 bit"));
    QCOMPARE(depthFrameCaption(32), QStringLiteral("Color Options"));
  }

  void saveFormatChoice_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("index");
    QTest::newRow("jpeg") << "photo.jpeg" << 1;
    QTest::newRow("jif") << "photo.JIF" << 1;
    QTest::newRow("pic") << "safe.PIC" << 0;
    QTest::newRow("tif") << "scan.tif" << 3;
    QTest::newRow("wpg") << "art.wpg" << 8;
    QTest::newRow("unknown") << "notes.txt" << 1;
  }
  void saveFormatChoice() {
    QFETCH(QString, name);
    QFETCH(int, index);
    QCOMPARE(formatIndexForName(name), index);
  }

  void extensions() {
    QCOMPARE(withExtension(QStringLiteral("holiday.jpeg"), QStringLiteral("x.jpg"),
                           QStringLiteral("tif")),
             QStringLiteral("holiday.tif"));
    // A name without a dot gets the extension appended.
    QCOMPARE(
        withExtension(QStringLiteral("holiday"), QStringLiteral("x.jpg"), QStringLiteral("png")),
        QStringLiteral("holiday.png"));
    // Shorter than 5 characters: back to the picture's own name first.
    QCOMPARE(
        withExtension(QStringLiteral("a.b"), QStringLiteral("sunset.jpg"), QStringLiteral("bmp")),
        QStringLiteral("sunset.bmp"));
    QCOMPARE(saveFormatAt(-1).extension, "jpg");
  }

  void targets() {
    QCOMPARE(joinTarget(QStringLiteral("/"), QStringLiteral(" a.png ")), QStringLiteral("/a.png"));
    QCOMPARE(joinTarget(QStringLiteral("/home/p"), QStringLiteral("a.png")),
             QStringLiteral("/home/p/a.png"));
    const PathParts parts = splitPath(QStringLiteral("/home/p/a b.jpg"));
    QCOMPARE(parts.folder, QStringLiteral("/home/p"));
    QCOMPARE(parts.name, QStringLiteral("a b.jpg"));
    QCOMPARE(qualityForSave(QStringLiteral("255")), 255);
    QCOMPARE(qualityForSave(QStringLiteral("0")), 30);
    QCOMPARE(qualityForSave(QStringLiteral("abc")), 30);
  }

  void storedOptions() {
    glim::test::TestEnv env;
    glim::settings::write(glim::settings::kSettings, QStringLiteral("TIFCompression"),
                          QStringLiteral("4"));
    glim::settings::write(glim::settings::kSettings, QStringLiteral("JPGQuality"),
                          QStringLiteral("80"));
    const SaveOptions o = loadSaveOptions();
    QCOMPARE(o.tifCompression, QStringLiteral("6"));
    QCOMPARE(o.jpgQuality, QStringLiteral("80"));
    QCOMPARE(o.picQuality, QStringLiteral("30"));
    QCOMPARE(o.pngOption, QStringLiteral("NONInterlaced"));
    // Missing values and the compression marker are written back at once.
    QCOMPARE(glim::settings::read(glim::settings::kSettings, QStringLiteral("TIFCompression")),
             QStringLiteral("6"));
    QCOMPARE(glim::settings::read(glim::settings::kSettings, QStringLiteral("PICOption")),
             QStringLiteral("Standard"));
  }
};

QTEST_GUILESS_MAIN(TestEditRules)
#include "tst_editrules.moc"
