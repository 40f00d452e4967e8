// Long processing methods through the real control: with Multitask the window's events run
// while the method works (and see the picture as it was before it), calls made from there
// are refused with E_PENDING, and the CancelMode action stops the method with the picture
// exactly as it was.
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "imaging_helpers.h"
#include "rastrel3.h"
#include "support/testenv.h"

using namespace rastrel;
using glim::test::callMethod;
using glim::test::getProp;
using glim::test::putProp;

namespace {

constexpr int16_t kCancelled = -8;
constexpr int kWidth = 1200, kHeight = 900;

using Operation = std::function<HRESULT(IRastrel*)>;

// The methods the tests run: a new picture of another size, one worked on in place, a colour
// reduction whose error diffusion runs row after row, and a filter.
struct Named {
  const char* name;
  Operation run;
};
const Named kOperations[] = {
    {"Rotate", [](IRastrel* c) { return callMethod(c, dispid::Rotate, {Variant::r8(33)}); }},
    {"Negate", [](IRastrel* c) { return callMethod(c, dispid::Negate); }},
    {"ColorDepth",
     [](IRastrel* c) {
       return callMethod(c, dispid::ColorDepth,
                         {Variant::i2(8), Variant::i2(0), Variant::i2(1)});  // optimised, Floyd
     }},
    {"Sharpen", [](IRastrel* c) { return callMethod(c, dispid::Sharpen, {Variant::i2(40)}); }},
};

Operation operationNamed(const QString& name) {
  for (const Named& n : kOperations)
    if (name == QLatin1String(n.name)) return n.run;
  return {};
}

}  // namespace

class TstOperations : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    control_ = glim::test::newControl();
    object_ = glim::test::objectOf(control_);
    object_->SetClientSite(&site_);
    host_ = std::make_unique<QWidget>();
    host_->resize(200, 150);
    host_->show();
    QVERIFY(QTest::qWaitForWindowExposed(host_.get()));
    const Variant parent = Variant::i4(int32_t(RastrelWindowHandle(host_.get())));
    callMethod(control_, dispid::CreateCtlWindow,
               {parent, Variant::i4(0), Variant::i4(0), Variant::i4(120), Variant::i4(90)});
    window_ = host_->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(window_);
    putProp(control_, dispid::AutoSize, Variant::i2(0));  // the picture's corner, unscaled
    // A large picture with detail everywhere.
    callMethod(
        control_, dispid::CreateDib,
        {Variant::i4(kWidth), Variant::i4(kHeight), Variant::i2(24), Variant::ui4(0x00406080)});
    callMethod(control_, dispid::Noise, {Variant::i2(60), Variant::i2(1)});
    QCOMPARE(value(dispid::ImagError), 0);
    QCOMPARE(value(dispid::IWidth), kWidth);
  }
  void cleanup() {
    object_->SetClientSite(nullptr);
    object_->Release();
    control_->Release();
    host_.reset();
    site_ = glim::test::RecordingHost();
  }

  void multitaskRunsEventsDuringAnOperation_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("multitask");
    for (const Named& n : kOperations) {
      QTest::newRow(n.name) << QString::fromLatin1(n.name) << true;
      QTest::newRow(qPrintable(QStringLiteral("%1, Multitask off").arg(QLatin1String(n.name))))
          << QString::fromLatin1(n.name) << false;
    }
  }
  // A zero timer queued before the method runs while it works when Multitask is on (and only
  // then). From there a repaint shows the picture as it was, a get answers, and a put or a
  // method is refused instead of re-entering the engine.
  void multitaskRunsEventsDuringAnOperation() {
    QFETCH(QString, operation);
    QFETCH(bool, multitask);
    const Operation run = operationNamed(operation);
    putProp(control_, dispid::Multitask, Variant::boolean(multitask));
    const QByteArray before = pictureBytes();
    const QImage shownBefore = window_->grab().toImage();
    bool ran = false;
    QImage shownDuring;
    int64_t widthDuring = 0;
    HRESULT put = S_OK, method = S_OK;
    QObject context;  // a failed check leaves no timer behind for the next test
    QTimer::singleShot(0, &context, [&] {
      ran = true;
      shownDuring = window_->grab().toImage();
      widthDuring = value(dispid::IWidth);
      put = putProp(control_, dispid::FileName, Variant::str(QString()));
      method = callMethod(control_, dispid::Flip);
    });
    QCOMPARE(run(control_), S_OK);
    QCOMPARE(ran, multitask);
    QCOMPARE(value(dispid::ImagError), 0);
    if (multitask) {
      QCOMPARE(shownDuring, shownBefore);
      QCOMPARE(widthDuring, kWidth);
      QCOMPARE(put, E_PENDING);
      QCOMPARE(method, E_PENDING);
    }
    QCoreApplication::processEvents();
    QVERIFY(ran);
    QVERIFY(pictureBytes() != before);
    QVERIFY(window_->grab().toImage() != shownBefore);  // the result is shown once done
  }

  void cancelStopsAnOperation_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("multitask");
    QTest::addColumn<bool>("cancelLoad");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("input");  // a key, or -1 left button, -2 right button
    QTest::addColumn<bool>("remove");
    QTest::addColumn<int>("error");
    QTest::newRow("Rotate, ESC") << "Rotate" << false << true << 1 << int(Qt::Key_Escape) << false
                                 << int(kCancelled);
    QTest::newRow("Negate, ESC, Multitask")
        << "Negate" << true << true << 1 << int(Qt::Key_Escape) << false << int(kCancelled);
    QTest::newRow("ColorDepth, Space, CancelRemove")
        << "ColorDepth" << false << true << 3 << int(Qt::Key_Space) << true << int(kCancelled);
    QTest::newRow("Sharpen, left button")
        << "Sharpen" << true << true << 5 << -1 << false << int(kCancelled);
    QTest::newRow("Rotate, Enter is not ESC")
        << "Rotate" << true << true << 1 << int(Qt::Key_Return) << false << 0;
    QTest::newRow("Negate, CancelLoad off")
        << "Negate" << true << false << 1 << int(Qt::Key_Escape) << false << 0;
  }
  // The action queued before the method is seen at its first poll: the method stops, the
  // picture (and so the file saved from it) is byte for byte the one before, CancelRemove
  // does not take it away, and the control is usable at once.
  void cancelStopsAnOperation() {
    QFETCH(QString, operation);
    QFETCH(bool, multitask);
    QFETCH(bool, cancelLoad);
    QFETCH(int, mode);
    QFETCH(int, input);
    QFETCH(bool, remove);
    QFETCH(int, error);
    const Operation run = operationNamed(operation);
    putProp(control_, dispid::Multitask, Variant::boolean(multitask));
    putProp(control_, dispid::CancelLoad, Variant::boolean(cancelLoad));
    putProp(control_, dispid::CancelMode, Variant::i2(int16_t(mode)));
    putProp(control_, dispid::CancelRemove, Variant::boolean(remove));
    putProp(control_, dispid::UndoEnabled, Variant::boolean(true));
    callMethod(control_, dispid::Undo);  // no undo copy held from here
    QCoreApplication::processEvents();
    const QByteArray before = pictureBytes();
    QEvent* event =
        input >= 0 ? static_cast<QEvent*>(new QKeyEvent(QEvent::KeyPress, input, Qt::NoModifier))
                   : new QMouseEvent(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5),
                                     Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::postEvent(host_->windowHandle(), event);
    QCOMPARE(run(control_), S_OK);
    QCOMPARE(value(dispid::ImagError), error);
    QCoreApplication::processEvents();
    if (error == 0) {
      QVERIFY(pictureBytes() != before);
      return;
    }
    QCOMPARE(value(dispid::IWidth), kWidth);
    QCOMPARE(value(dispid::IHeight), kHeight);
    QCOMPARE(pictureBytes(), before);
    // No undo copy was kept by the cancelled method.
    callMethod(control_, dispid::Undo);
    QVERIFY(value(dispid::ImagError) != 0);
    QCOMPARE(pictureBytes(), before);
    // Usable at once: the same method runs to its end when nobody cancels.
    QCOMPARE(run(control_), S_OK);
    QCOMPARE(value(dispid::ImagError), 0);
    QVERIFY(pictureBytes() != before);
    callMethod(control_, dispid::Undo);
    QCOMPARE(value(dispid::ImagError), 0);
    QCOMPARE(pictureBytes(), before);
  }

 private:
  int64_t value(DISPID id) {
    Variant v;
    getProp(control_, id, &v);
    return v.whole();
  }
  // The picture's bytes, through an uncompressed BMP the control writes.
  QByteArray pictureBytes() {
    const QString path = env_.folder(QStringLiteral("out")) + QStringLiteral("/picture.bmp");
    QFile::remove(path);
    putProp(control_, dispid::SaveFileName, Variant::str(path));
    putProp(control_, dispid::SaveFileType, Variant::i2(5));  // BMP
    callMethod(control_, dispid::SaveFile);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  glim::test::TestEnv env_;
  glim::test::RecordingHost site_;
  std::unique_ptr<QWidget> host_;
  IRastrel* control_ = nullptr;
  IRastrelObject* object_ = nullptr;
  QWidget* window_ = nullptr;
};

QTEST_MAIN(TstOperations)
#include "tst_operations.moc"
