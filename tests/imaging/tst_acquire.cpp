// Pictures from outside a file, through the real control: scanning from SANE's own test
// backend (compared with SANE's scanimage), screen and window capture, and long loads that the
// user cancels or that let the window work meanwhile (Multitask).
#include <QApplication>
#include <QImageWriter>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include "imaging_helpers.h"
#include "rastrel3.h"
#include "support/testenv.h"

using namespace rastrel;
using glim::test::callMethod;
using glim::test::getProp;
using glim::test::putProp;

namespace {

constexpr int16_t kCancelled = -8;
constexpr int16_t kNoScanner = -24;
constexpr int16_t kScannerFailed = -25;
constexpr int16_t kScreenDenied = -26;
constexpr int16_t kScanProgress = 3;

// 254 dpi is 10 pixels a millimetre: the scan area 20 mm x 10 mm is 200 x 100 pixels. Every
// option a test changes is named, since the backend may keep its values from the last test.
const QStringList kSmallScan = {QStringLiteral("resolution 254.0"),
                                QStringLiteral("br_x 20.0"),
                                QStringLiteral("br_y 10.0"),
                                QStringLiteral("number_of_devices 1"),
                                QStringLiteral("mode Color"),
                                QStringLiteral("depth 8"),
                                QStringLiteral("three-pass false"),
                                QStringLiteral("test-picture \"Grid\""),
                                QStringLiteral("read-limit false"),
                                QStringLiteral("read-delay false"),
                                QStringLiteral("read-status-code \"Default\"")};

// A window showing four coloured quadrants.
class Pattern : public QWidget {
 public:
  Pattern() {
    setWindowFlag(Qt::FramelessWindowHint);
    resize(80, 60);
  }
  static inline const QColor kColours[4] = {Qt::red, Qt::green, Qt::blue, Qt::white};

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(0, 0, 40, 30, kColours[0]);
    p.fillRect(40, 0, 40, 30, kColours[1]);
    p.fillRect(0, 30, 40, 30, kColours[2]);
    p.fillRect(40, 30, 40, 30, kColours[3]);
  }
};

uint32_t ole(const QColor& c) {
  return uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16;
}

// A large picture with detail everywhere, so that decoding takes many rows and scans.
QImage busyPicture(int width, int height) {
  QImage image(width, height, QImage::Format_RGB888);
  uint32_t seed = 12345;
  for (int y = 0; y < height; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < width * 3; ++x) {
      seed = seed * 1664525u + 1013904223u;
      row[x] = uchar((x / 3 + y) / 8 + (seed >> 28));
    }
  }
  return image;
}

}  // namespace

class TstAcquire : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    control_ = glim::test::newControl();
    object_ = glim::test::objectOf(control_);
    object_->SetClientSite(&host_);
    QVERIFY(succeeded(
        object_->Advise(DIID_IRastrelEvents, static_cast<IRastrelEvents*>(&host_), &cookie_)));
    // The picture every failure must leave in place.
    callMethod(control_, dispid::CreateDib,
               {Variant::i4(16), Variant::i4(8), Variant::i2(24), Variant::ui4(0x00336699)});
    QCOMPARE(value(dispid::IWidth), 16);
  }
  void cleanup() {
    object_->SetClientSite(nullptr);
    object_->Release();
    control_->Release();
    host_ = glim::test::RecordingHost();
  }

  // ---- scanner ----

  void chooserListsScannersAndRemembersTheChoice() {
    glim::test::useTestScanners(saneFolder(), {QStringLiteral("number_of_devices 2")});
    glim::test::ChooserAnswer answer(QStringLiteral("test:1"), true);
    QCOMPARE(callMethod(control_, dispid::TwainSelect), S_OK);
    QVERIFY(answer.answered);
    QCOMPARE(answer.rowsSeen, QStringList({QStringLiteral("test:0"), QStringLiteral("test:1")}));
    QCOMPARE(value(dispid::ImagError), 0);
    QCOMPARE(text(dispid::TwainManufacturer), QStringLiteral("Noname"));
    QCOMPARE(text(dispid::TwainProductName), QStringLiteral("frontend-tester"));
    QCOMPARE(text(dispid::TwainProductFamily), QStringLiteral("virtual device"));
    QVERIFY(text(dispid::TwainVersionInfo).contains(QRegularExpression(R"(^SANE \d+\.\d+\.\d+$)")));
    // The choice holds: acquiring asks no more.
    glim::test::ChooserAnswer none(QString(), false);
    QCOMPARE(callMethod(control_, dispid::TwainAcquire), S_OK);
    QCOMPARE(value(dispid::ImagError), 0);
    QVERIFY(!none.answered);
  }

  // Closing the chooser, from TwainSelect or from the first TwainAcquire among several
  // scanners, changes nothing and reports a cancel.
  void closedChooserChangesNothing() {
    glim::test::useTestScanners(saneFolder(), {QStringLiteral("number_of_devices 2")});
    for (const DISPID id : {dispid::TwainSelect, dispid::TwainAcquire}) {
      glim::test::ChooserAnswer answer(QStringLiteral("test:1"), false);
      QCOMPARE(callMethod(control_, id), S_OK);
      QVERIFY(answer.answered);
      QCOMPARE(value(dispid::ImagError), kCancelled);
      QCOMPARE(value(dispid::IWidth), 16);
      QCOMPARE(text(dispid::TwainProductName), QString());
    }
  }

  void scanIsWhatTheBackendSends_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("bpp");
    QTest::newRow("colour grid") << QStringList{QStringLiteral("mode Color"),
                                                QStringLiteral("test-picture \"Grid\"")}
                                 << 24;
    QTest::newRow("colour pattern") << QStringList{QStringLiteral("mode Color"),
                                                   QStringLiteral("test-picture \"Color pattern\"")}
                                    << 24;
    QTest::newRow("grey pattern") << QStringList{QStringLiteral("mode Gray"),
                                                 QStringLiteral("test-picture \"Color pattern\"")}
                                  << 8;
    QTest::newRow("16-bit colour")
        << QStringList{QStringLiteral("mode Color"), QStringLiteral("depth 16"),
                       QStringLiteral("test-picture \"Grid\"")}
        << 24;
    QTest::newRow("lineart grid") << QStringList{QStringLiteral("mode Gray"),
                                                 QStringLiteral("depth 1"),
                                                 QStringLiteral("test-picture \"Grid\"")}
                                  << 1;
    QTest::newRow("three-pass colour")
        << QStringList{QStringLiteral("mode Color"), QStringLiteral("three-pass true"),
                       QStringLiteral("three-pass-order BGR"),
                       QStringLiteral("test-picture \"Color pattern\"")}
        << 24;
  }
  void scanIsWhatTheBackendSends() {
    QFETCH(QStringList, options);
    QFETCH(int, bpp);
    glim::test::useTestScanners(saneFolder(), kSmallScan + options);
    QCOMPARE(callMethod(control_, dispid::TwainAcquire), S_OK);
    QCOMPARE(value(dispid::ImagError), 0);
    QCOMPARE(value(dispid::IWidth), 200);
    QCOMPARE(value(dispid::IHeight), 100);
    QCOMPARE(value(dispid::IBPP), bpp);
    QCOMPARE(text(dispid::FileName), QString());
    QCOMPARE(text(dispid::TwainProductName), QStringLiteral("frontend-tester"));
    QCoreApplication::processEvents();
    QVERIFY(host_.events.contains(QStringLiteral("Progress(%1,100)").arg(kScanProgress)));
    const QImage scanned = saved().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(scanned.size(), QSize(200, 100));
    if (options.contains(QStringLiteral("test-picture \"Grid\""))) {
      // 10 mm squares: 100 pixels, black and white by turns.
      const QRgb first = scanned.pixel(50, 50), second = scanned.pixel(150, 50);
      QVERIFY(first == qRgb(0, 0, 0) || first == qRgb(255, 255, 255));
      QCOMPARE(second, first ^ 0x00FFFFFFu);
      QCOMPARE(scanned.pixel(1, 1), first);
      QCOMPARE(scanned.pixel(198, 98), second);
    }
    // Pixel for pixel what SANE's own front end gets from the same backend.
    const QString scanimage = QStandardPaths::findExecutable(QStringLiteral("scanimage"));
    if (scanimage.isEmpty()) QSKIP("scanimage (sane-utils) is not installed");
    QProcess tool;
    tool.start(scanimage,
               {QStringLiteral("-d"), QStringLiteral("test:0"), QStringLiteral("--format=pnm")});
    QVERIFY(tool.waitForFinished(-1));
    QImage reference;
    QVERIFY(reference.loadFromData(tool.readAllStandardOutput()));
    reference = reference.convertToFormat(QImage::Format_RGB32);
    QCOMPARE(scanned, reference);
  }

  void scanFailureKeepsThePicture_data() {
    QTest::addColumn<QString>("backends");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("error");
    QTest::newRow("no scanner") << QString() << QStringList() << int(kNoScanner);
    QTest::newRow("fails while sending")
        << QStringLiteral("test")
        << QStringList{QStringLiteral("read-status-code \"SANE_STATUS_IO_ERROR\"")}
        << int(kScannerFailed);
    QTest::newRow("jammed") << QStringLiteral("test")
                            << QStringList{QStringLiteral(
                                   "read-status-code \"SANE_STATUS_JAMMED\"")}
                            << int(kScannerFailed);
  }
  void scanFailureKeepsThePicture() {
    QFETCH(QString, backends);
    QFETCH(QStringList, options);
    QFETCH(int, error);
    glim::test::useTestScanners(saneFolder(), kSmallScan + options, backends);
    QCOMPARE(callMethod(control_, dispid::TwainAcquire), S_OK);
    QCOMPARE(value(dispid::ImagError), error);
    QCOMPARE(value(dispid::IWidth), 16);
    QCOMPARE(pixel(3, 3), 0x00336699u);
    if (backends.isEmpty()) {
      QCOMPARE(callMethod(control_, dispid::TwainSelect), S_OK);  // no chooser without scanners
      QCOMPARE(value(dispid::ImagError), error);
    }
  }

  // The chosen scanner is unplugged before the scan: the choice does not silently move.
  void chosenScannerGoneKeepsThePicture() {
    const QString sane = saneFolder();
    glim::test::useTestScanners(sane, {QStringLiteral("number_of_devices 2")});
    glim::test::ChooserAnswer answer(QStringLiteral("test:1"), true);
    callMethod(control_, dispid::TwainSelect);
    QCOMPARE(value(dispid::ImagError), 0);
    glim::test::useTestScanners(sane, {QStringLiteral("number_of_devices 1")});
    callMethod(control_, dispid::TwainAcquire);
    QCOMPARE(value(dispid::ImagError), kNoScanner);
    QCOMPARE(value(dispid::IWidth), 16);
  }

  // A slow scan: the window's events run meanwhile (a timer fires, a put is refused rather
  // than re-entering the engine), and the cancel key stops it with the picture kept.
  void slowScanStaysResponsiveAndCancels() {
    glim::test::useTestScanners(
        saneFolder(),
        // The backend waits a tenth of a second after each block it sends: seconds a page.
        kSmallScan + QStringList{QStringLiteral("mode Color"), QStringLiteral("read-limit true"),
                                 QStringLiteral("read-limit-size 1024"),
                                 QStringLiteral("read-delay true"),
                                 QStringLiteral("read-delay-duration 100000")});
    putProp(control_, dispid::CancelLoad, Variant::boolean(true));
    putProp(control_, dispid::CancelMode, Variant::i2(1));  // ESC Key
    QWidget target;
    target.show();
    QVERIFY(QTest::qWaitForWindowExposed(&target));
    QCoreApplication::processEvents();
    host_.events.clear();
    HRESULT putDuringScan = S_OK;
    int16_t widthDuringScan = 0;
    QTimer::singleShot(0, [&] {
      putDuringScan = putProp(control_, dispid::FileName, Variant::str(QStringLiteral("x.png")));
      widthDuringScan = int16_t(value(dispid::IWidth));
    });
    // Queued before the scan: its first look at the event queue finds it.
    QCoreApplication::postEvent(target.windowHandle(),
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    QCOMPARE(callMethod(control_, dispid::TwainAcquire), S_OK);
    QCOMPARE(putDuringScan, E_PENDING);
    QCOMPARE(widthDuringScan, 16);
    QCOMPARE(value(dispid::ImagError), kCancelled);
    QCOMPARE(value(dispid::IWidth), 16);
    QCoreApplication::processEvents();
    QVERIFY2(host_.events.filter(QRegularExpression(QStringLiteral("^Progress\\("))).isEmpty(),
             qPrintable(host_.events.join(u' ')));  // -8 suppresses them
    QVERIFY(host_.events.contains(QStringLiteral("AsyncProgress(3,0,0,-1,%1)").arg(kCancelled)));
  }

  // ---- capture ----

  void captureWindowTakesWhatItShows() {
    Pattern pattern;
    pattern.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pattern));
    const Variant handle = Variant::i4(int32_t(RastrelWindowHandle(&pattern)));
    QCOMPARE(callMethod(control_, dispid::CaptureWindow, {handle}), S_OK);
    QCOMPARE(value(dispid::ImagError), 0);
    const qreal ratio = pattern.devicePixelRatioF();
    QCOMPARE(value(dispid::IWidth), qRound(80 * ratio));
    QCOMPARE(value(dispid::IHeight), qRound(60 * ratio));
    const QPoint centres[4] = {{20, 15}, {60, 15}, {20, 45}, {60, 45}};
    for (int i = 0; i < 4; ++i)
      QCOMPARE(pixel(qRound(centres[i].x() * ratio), qRound(centres[i].y() * ratio)),
               ole(Pattern::kColours[i]));
    // The active window for handle 0.
    callMethod(control_, dispid::CreateDib,
               {Variant::i4(16), Variant::i4(8), Variant::i2(24), Variant::ui4(0)});
    pattern.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &pattern);
    QCOMPARE(callMethod(control_, dispid::CaptureWindow, {Variant::i4(0)}), S_OK);
    QCOMPARE(value(dispid::ImagError), 0);
    QCOMPARE(pixel(qRound(60 * ratio), qRound(45 * ratio)), ole(Qt::white));
  }

  void captureScreenHoldsTheWindow() {
    Pattern pattern;
    pattern.move(30, 20);
    pattern.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pattern));
    QCOMPARE(callMethod(control_, dispid::Capture), S_OK);
    QCOMPARE(value(dispid::ImagError), 0);
    const QScreen* screen = pattern.screen();
    const qreal ratio = screen->devicePixelRatio();
    QCOMPARE(value(dispid::IWidth), qRound(screen->geometry().width() * ratio));
    QCOMPARE(value(dispid::IHeight), qRound(screen->geometry().height() * ratio));
    const QPoint green = pattern.mapToGlobal(QPoint(60, 15)) - screen->geometry().topLeft();
    QCOMPARE(pixel(qRound(green.x() * ratio), qRound(green.y() * ratio)), ole(Qt::green));
  }

  void captureOfClosedWindowKeepsThePicture() {
    auto* gone = new Pattern;
    gone->show();
    QVERIFY(QTest::qWaitForWindowExposed(gone));
    const Variant handle = Variant::i4(int32_t(RastrelWindowHandle(gone)));
    delete gone;
    QCOMPARE(callMethod(control_, dispid::CaptureWindow, {handle}), S_OK);
    QCOMPARE(value(dispid::ImagError), kScreenDenied);
    QCOMPARE(value(dispid::IWidth), 16);
    QCOMPARE(pixel(3, 3), 0x00336699u);
    QWidget hidden;  // a window that is not on the screen shows nothing to take
    QCOMPARE(callMethod(control_, dispid::CaptureWindow,
                        {Variant::i4(int32_t(RastrelWindowHandle(&hidden)))}),
             S_OK);
    QCOMPARE(value(dispid::ImagError), kScreenDenied);
    QCOMPARE(value(dispid::IWidth), 16);
  }

  // ---- cancel and multitask ----

  void cancelStopsALongLoad_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("cancelLoad");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("input");  // a key, or -1 left button, -2 right button
    QTest::addColumn<bool>("remove");
    QTest::addColumn<int>("error");
    QTest::newRow("progressive JPEG, ESC")
        << "jpg" << true << 1 << int(Qt::Key_Escape) << false << int(kCancelled);
    QTest::newRow("PNG, ESC, remove")
        << "png" << true << 1 << int(Qt::Key_Escape) << true << int(kCancelled);
    QTest::newRow("PNG, Space") << "png" << true << 3 << int(Qt::Key_Space) << false
                                << int(kCancelled);
    QTest::newRow("PNG, any key") << "png" << true << 4 << int(Qt::Key_A) << false
                                  << int(kCancelled);
    QTest::newRow("JPEG, left button") << "jpg" << true << 5 << -1 << true << int(kCancelled);
    QTest::newRow("JPEG, key or button") << "jpg" << true << 8 << -2 << false << int(kCancelled);
    QTest::newRow("JPEG, Enter is not ESC")
        << "jpg" << true << 1 << int(Qt::Key_Return) << false << 0;
    QTest::newRow("PNG, right is not left") << "png" << true << 5 << -2 << false << 0;
    QTest::newRow("PNG, CancelLoad off") << "png" << false << 1 << int(Qt::Key_Escape) << true << 0;
  }
  void cancelStopsALongLoad() {
    QFETCH(QString, format);
    QFETCH(bool, cancelLoad);
    QFETCH(int, mode);
    QFETCH(int, input);
    QFETCH(bool, remove);
    QFETCH(int, error);
    const QString file = largeFile(format);
    putProp(control_, dispid::CancelLoad, Variant::boolean(cancelLoad));
    putProp(control_, dispid::CancelMode, Variant::i2(int16_t(mode)));
    putProp(control_, dispid::CancelRemove, Variant::boolean(remove));
    QWidget target;
    target.resize(50, 50);
    target.show();
    QVERIFY(QTest::qWaitForWindowExposed(&target));
    QCoreApplication::processEvents();
    host_.events.clear();
    // Queued before the load: the load's first look at the event queue finds it.
    QEvent* event =
        input >= 0
            ? static_cast<QEvent*>(new QKeyEvent(QEvent::KeyPress, input, Qt::NoModifier))
            : new QMouseEvent(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5),
                              input == -1 ? Qt::LeftButton : Qt::RightButton,
                              input == -1 ? Qt::LeftButton : Qt::RightButton, Qt::NoModifier);
    QCoreApplication::postEvent(target.windowHandle(), event);
    QCOMPARE(putProp(control_, dispid::FileName, Variant::str(file)), S_OK);
    QCOMPARE(value(dispid::ImagError), error);
    QCoreApplication::processEvents();
    if (error == 0) {
      QCOMPARE(value(dispid::IWidth), 3000);
      QCOMPARE(text(dispid::FileName), file);
      return;
    }
    QCOMPARE(value(dispid::IWidth), remove ? 0 : 16);
    QCOMPARE(text(dispid::FileName), remove ? file : QString());
    if (!remove) QCOMPARE(pixel(3, 3), 0x00336699u);
    QVERIFY2(host_.events.filter(QRegularExpression(QStringLiteral("^Progress\\("))).isEmpty(),
             qPrintable(host_.events.join(u' ')));
    // The control is usable at once: the same file loads when nobody cancels.
    QCOMPARE(putProp(control_, dispid::FileName, Variant::str(file)), S_OK);
    QCOMPARE(value(dispid::ImagError), 0);
    QCOMPARE(value(dispid::IWidth), 3000);
  }

  // With Multitask the window's events run during a load (a timer fires while the engine is
  // still loading) and a put from there is refused instead of re-entering the engine; without
  // it nothing runs until the load ends.
  void multitaskRunsEventsDuringALoad() {
    const QString file = largeFile(QStringLiteral("png"));
    for (const bool multitask : {true, false}) {
      putProp(control_, dispid::Multitask, Variant::boolean(multitask));
      bool ran = false;
      HRESULT put = S_OK;
      QTimer::singleShot(0, [&] {
        ran = true;
        put = putProp(control_, dispid::FileName, Variant::str(QString()));
      });
      QCOMPARE(putProp(control_, dispid::FileName, Variant::str(file)), S_OK);
      QCOMPARE(ran, multitask);
      if (multitask) QCOMPARE(put, E_PENDING);
      QCOMPARE(value(dispid::ImagError), 0);
      QCOMPARE(value(dispid::IWidth), 3000);
      QTRY_VERIFY(ran);
    }
  }

 private:
  int64_t value(DISPID id) {
    Variant v;
    getProp(control_, id, &v);
    return v.whole();
  }
  QString text(DISPID id) {
    Variant v;
    getProp(control_, id, &v);
    return v.string();
  }
  uint32_t pixel(int x, int y) {
    Variant v;
    callMethod(control_, dispid::DibGetPixel, {Variant::i4(x), Variant::i4(y)}, &v);
    return uint32_t(v.whole());
  }
  // SANE reads its configuration folder's name once a process: one folder, rewritten.
  QString saneFolder() const { return env_.folder(QStringLiteral("sane")); }
  // The control's picture, through a PNG the control writes.
  QImage saved() {
    const QString path = env_.folder(QStringLiteral("out")) + QStringLiteral("/saved.png");
    putProp(control_, dispid::SaveFileName, Variant::str(path));
    putProp(control_, dispid::SaveFileType, Variant::i2(10));  // PNG
    callMethod(control_, dispid::SaveFile);
    return QImage(path);
  }
  // A 3000 x 2000 progressive JPEG or PNG, made once.
  QString largeFile(const QString& format) {
    const QString path = env_.folder(QStringLiteral("large")) + QStringLiteral("/large.") + format;
    if (QFile::exists(path)) return path;
    QImageWriter writer(path, format.toLatin1());
    if (format == QLatin1String("jpg")) writer.setProgressiveScanWrite(true);
    if (format == QLatin1String("png")) writer.setCompression(1);
    writer.write(busyPicture(3000, 2000));
    return path;
  }

  glim::test::TestEnv env_;
  glim::test::RecordingHost host_;
  IRastrel* control_ = nullptr;
  IRastrelObject* object_ = nullptr;
  uint32_t cookie_ = 0;
};

QTEST_MAIN(TstAcquire)
#include "tst_acquire.moc"
