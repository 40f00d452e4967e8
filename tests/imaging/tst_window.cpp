// The control's window state through Invoke: BackColor painted, MousePointer's cursor, Update,
// the pixel under the mouse, regions and sprites, copy and paste through the clipboard, and
// printing on a page, a PDF printer and in bands.
#include <QClipboard>
#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPrinter>
#include <QTemporaryDir>
#include <QtTest>

#include "imaging_helpers.h"
#include "rastrel3.h"

using namespace rastrel;
using glim::test::callMethod;
using glim::test::getProp;
using glim::test::putProp;

namespace {

// A control in a shown host widget, its window made by CreateCtlWindow.
struct Photo {
  Photo() {
    control = glim::test::newControl();
    object = glim::test::objectOf(control);
    object->SetClientSite(&site);
    host.resize(200, 150);
    host.show();
    const Variant parent = Variant::i4(int32_t(RastrelWindowHandle(&host)));
    callMethod(control, dispid::CreateCtlWindow,
               {parent, Variant::i4(0), Variant::i4(0), Variant::i4(80), Variant::i4(60)});
    window = host.findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    putProp(control, dispid::AutoSize, Variant::i2(ISIZE_CropImageToControl));
  }
  ~Photo() {
    object->SetClientSite(nullptr);
    object->Release();
    control->Release();
  }
  Photo(const Photo&) = delete;
  Photo& operator=(const Photo&) = delete;

  // A new picture of one colour (OLE 0x00BBGGRR).
  void create(int w, int h, uint32_t colour, int16_t bits = 24) {
    callMethod(control, dispid::CreateDib,
               {Variant::i4(w), Variant::i4(h), Variant::i2(bits), Variant::ui4(colour)});
  }
  int64_t value(DISPID id) {
    Variant v;
    getProp(control, id, &v);
    return v.whole();
  }
  uint32_t pixel(int x, int y) {
    Variant v;
    callMethod(control, dispid::DibGetPixel, {Variant::i4(x), Variant::i4(y)}, &v);
    return uint32_t(v.whole());
  }
  QImage shown() { return window->grab().toImage(); }

  glim::test::RecordingHost site;
  QWidget host;
  IRastrel* control = nullptr;
  IRastrelObject* object = nullptr;
  QWidget* window = nullptr;
};

int countPaints(QWidget* w, const std::function<void()>& action) {
  struct Counter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) ++paints;
      return false;
    }
  } counter;
  w->installEventFilter(&counter);
  action();
  QCoreApplication::processEvents();
  w->removeEventFilter(&counter);
  return counter.paints;
}

}  // namespace

class TstWindow : public QObject {
  Q_OBJECT

 private slots:
  void backColourPaintsWhatThePictureLeaves() {
    Photo p;
    QVERIFY(p.window);
    QCOMPARE(p.shown().pixelColor(40, 30), QColor(240, 240, 240));  // the button face
    QCOMPARE(putProp(p.control, dispid::BackColor, Variant::ui4(0x0000FF00)), S_OK);
    QCOMPARE(p.value(dispid::BackColor), 0x0000FF00);
    QCOMPARE(p.shown().pixelColor(40, 30), QColor(0, 255, 0));
    p.create(20, 10, 0x00FF0000);  // blue
    const QImage shown = p.shown();
    QCOMPARE(shown.pixelColor(5, 5), QColor(0, 0, 255));
    QCOMPARE(shown.pixelColor(40, 30), QColor(0, 255, 0));
    putProp(p.control, dispid::PictureEnabled, Variant::boolean(false));
    QCOMPARE(p.shown().pixelColor(5, 5), QColor(0, 255, 0));
  }

  void mousePointerSetsTheCursor_data() {
    QTest::addColumn<int>("pointer");
    QTest::addColumn<Qt::CursorShape>("shape");
    QTest::newRow("default") << 0 << Qt::ArrowCursor;
    QTest::newRow("cross") << 2 << Qt::CrossCursor;
    QTest::newRow("hourglass") << 11 << Qt::WaitCursor;
    QTest::newRow("no drop") << 32 << Qt::ForbiddenCursor;
    QTest::newRow("arrow and hourglass") << 41 << Qt::BusyCursor;
    QTest::newRow("size all") << 43 << Qt::SizeAllCursor;
    QTest::newRow("custom without an icon") << 99 << Qt::ArrowCursor;
  }
  void mousePointerSetsTheCursor() {
    QFETCH(int, pointer);
    QFETCH(Qt::CursorShape, shape);
    Photo p;
    QCOMPARE(putProp(p.control, dispid::MousePointer, Variant::i2(int16_t(pointer))), S_OK);
    QCOMPARE(p.window->cursor().shape(), shape);
    QCOMPARE(p.value(dispid::MousePointer), pointer);
  }

  void customPointerComesFromTheMouseIcon() {
    Photo p, icon;
    icon.create(16, 16, 0x000000FF);
    Variant picture;
    QCOMPARE(getProp(icon.control, dispid::Picture, &picture), S_OK);
    QVERIFY(picture.object());
    QCOMPARE(
        p.control->Invoke(dispid::MouseIcon, InvokeKind::PutRef, &picture, 1, nullptr, nullptr),
        S_OK);
    putProp(p.control, dispid::MousePointer, Variant::i2(99));
    QCOMPARE(p.window->cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(p.window->cursor().pixmap().size(), QSize(16, 16));
  }

  void updateFalseHoldsTheWindowUntilTurnedOn() {
    Photo p;
    p.create(20, 10, 0x00FFFFFF);
    QCoreApplication::processEvents();
    putProp(p.control, dispid::Update, Variant::boolean(false));
    QCOMPARE(countPaints(p.window, [&] { callMethod(p.control, dispid::Negate); }), 0);
    QCOMPARE(p.pixel(0, 0), 0u);  // the picture changed all the same
    QVERIFY(countPaints(p.window,
                        [&] { putProp(p.control, dispid::Update, Variant::boolean(true)); }) > 0);
    putProp(p.control, dispid::Update, Variant::boolean(false));
    QVERIFY(countPaints(p.window, [&] { callMethod(p.control, dispid::Paint); }) > 0);
  }

  void longWorkLeavesNoWaitCursorBehind() {
    Photo p;
    QCOMPARE(p.value(dispid::ShowHourglass), -1);
    p.create(300, 200, 0x00808080);
    callMethod(p.control, dispid::Soften, {Variant::i2(50)});
    QCOMPARE(p.value(dispid::ImagError), 0);
    QVERIFY(!QGuiApplication::overrideCursor());
  }

  void pixelUnderTheMouse() {
    Photo p;
    p.create(20, 10, 0x00336699);
    QMouseEvent move(QEvent::MouseMove, QPointF(7, 4), p.window->mapToGlobal(QPointF(7, 4)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(p.window, &move);
    QCOMPARE(p.value(dispid::Xpos), 7);
    QCOMPARE(p.value(dispid::Ypos), 4);
    QCOMPARE(p.value(dispid::PixelColor), 0x00336699);
  }

  void regionConfinesDrawingAndTheSpriteShows() {
    Photo p;
    p.create(40, 30, 0);
    QCOMPARE(callMethod(p.control, dispid::RgnCreate,
                        {Variant::i2(1), Variant::i4(10), Variant::i4(5), Variant::i4(20),
                         Variant::i4(20)}),
             S_OK);
    QCOMPARE(p.value(dispid::ImagError), 0);
    QCOMPARE(p.value(dispid::RgnWidth), 20);
    putProp(p.control, dispid::RgnEnabled, Variant::boolean(true));
    putProp(p.control, dispid::DrawWidth, Variant::i2(5));
    callMethod(p.control, dispid::DrawLine,
               {Variant::i4(0), Variant::i4(15), Variant::i4(39), Variant::i4(15),
                Variant::ui4(0x00FFFFFF)});
    QCOMPARE(p.pixel(20, 15), 0x00FFFFFFu);
    QCOMPARE(p.pixel(5, 15), 0u);  // outside the ellipse
    callMethod(p.control, dispid::RgnCreateSprite);
    callMethod(p.control, dispid::RgnMoveSprite, {Variant::i4(0), Variant::i4(0)});
    QCOMPARE(p.value(dispid::RgnSpriteX), 0);
    QCOMPARE(p.shown().pixelColor(10, 10), QColor(255, 255, 255));  // the sprite's line
    QCOMPARE(p.pixel(10, 10), 0u);                                  // not in the picture
    callMethod(p.control, dispid::RgnPasteSprite);
    QCOMPARE(p.pixel(10, 10), 0x00FFFFFFu);
  }

  void copyAndPasteGoThroughTheClipboard() {
    Photo a, b;
    a.create(8, 6, 0x000000FF);
    QCOMPARE(callMethod(a.control, dispid::Copy), S_OK);
    QImage clip = QGuiApplication::clipboard()->image();
    QCOMPARE(clip.size(), QSize(8, 6));
    QCOMPARE(clip.pixelColor(3, 3), QColor(255, 0, 0));

    b.create(3, 3, 0);
    QCOMPARE(callMethod(b.control, dispid::Paste), S_OK);
    QCOMPARE(b.value(dispid::ImagError), 0);
    QCOMPARE(b.value(dispid::IWidth), 8);
    QCOMPARE(b.pixel(7, 5), 0x000000FFu);

    // With a rubber band, only the selection is copied.
    callMethod(
        a.control, dispid::DrawLine,
        {Variant::i4(2), Variant::i4(1), Variant::i4(2), Variant::i4(1), Variant::ui4(0x00FFFFFF)});
    callMethod(a.control, dispid::RubberBand,
               {Variant::boolean(true), Variant::i4(2), Variant::i4(1)});
    callMethod(a.control, dispid::RubberbandUpdate, {Variant::i4(6), Variant::i4(4)});
    callMethod(a.control, dispid::Copy);
    clip = QGuiApplication::clipboard()->image();
    QCOMPARE(clip.size(), QSize(4, 3));
    QCOMPARE(clip.pixelColor(0, 0), QColor(255, 255, 255));

    // An empty clipboard: an error, and the picture stays.
    QGuiApplication::clipboard()->clear();
    callMethod(b.control, dispid::Paste);
    QCOMPARE(b.value(dispid::ImagError), int64_t(-23));  // the clipboard holds no picture;
    QCOMPARE(b.value(dispid::IWidth), 8);
  }

  void printingPlacesThePictureOnThePage_data() {
    QTest::addColumn<bool>("banding");
    QTest::newRow("whole") << false;
    QTest::newRow("bands") << true;
  }
  void printingPlacesThePictureOnThePage() {
    QFETCH(bool, banding);
    Photo p;
    p.create(50, 300, 0x000000FF);  // tall enough for several bands
    QImage page(200, 400, QImage::Format_RGB32);
    page.fill(Qt::white);
    const uint32_t device = RastrelDeviceHandle(&page);
    putProp(p.control, dispid::PrinterBanding, Variant::boolean(banding));
    putProp(p.control, dispid::PrinterLeft, Variant::i4(10));
    putProp(p.control, dispid::PrinterTop, Variant::i4(20));
    putProp(p.control, dispid::PrinterWidth, Variant::i4(40));
    putProp(p.control, dispid::PrinterHeight, Variant::i4(200));
    QCOMPARE(putProp(p.control, dispid::PrinterhDC, Variant::i4(int32_t(device))), S_OK);
    QCOMPARE(p.value(dispid::ImagError), 0);
    QCOMPARE(p.value(dispid::PrinterhDC), int64_t(device));
    for (const QPoint in : {QPoint(10, 20), QPoint(49, 219), QPoint(30, 120)})
      QCOMPARE(page.pixelColor(in), QColor(255, 0, 0));
    for (const QPoint out : {QPoint(9, 20), QPoint(50, 100), QPoint(30, 19), QPoint(30, 221)})
      QCOMPARE(page.pixelColor(out), QColor(255, 255, 255));

    // Width and height 0 fit the page from the corner on, keeping the proportions.
    page.fill(Qt::white);
    putProp(p.control, dispid::PrinterWidth, Variant::i4(0));
    putProp(p.control, dispid::PrinterHeight, Variant::i4(0));
    putProp(p.control, dispid::PrinterhDC, Variant::i4(int32_t(device)));
    QCOMPARE(page.pixelColor(70, 395), QColor(255, 0, 0));  // 380 rows tall, 63 wide
    QCOMPARE(page.pixelColor(80, 300), QColor(255, 255, 255));
    RastrelReleaseDeviceHandle(device);
    QCOMPARE(putProp(p.control, dispid::PrinterhDC, Variant::i4(int32_t(device))), E_INVALIDARG);
  }

  void printingToAPdfPrinter() {
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("page.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    const uint32_t device = RastrelDeviceHandle(&printer);

    Photo empty;  // nothing to print: the error says so and no job starts
    QCOMPARE(putProp(empty.control, dispid::PrinterhDC, Variant::i4(int32_t(device))), S_OK);
    QCOMPARE(empty.value(dispid::ImagError), int64_t(-2));  // no picture;
    QVERIFY(!QFile::exists(pdf));

    Photo p;
    p.create(64, 48, 0x0000A0FF);
    QCOMPARE(putProp(p.control, dispid::PrinterhDC, Variant::i4(int32_t(device))), S_OK);
    QCOMPARE(p.value(dispid::ImagError), 0);
    RastrelReleaseDeviceHandle(device);
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("%PDF"));
    QVERIFY(bytes.contains("/Subtype /Image"));
    QVERIFY(bytes.contains("/Width 64"));
  }
};

QTEST_MAIN(TstWindow)
#include "tst_window.moc"
