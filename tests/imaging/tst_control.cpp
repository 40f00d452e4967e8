// The control in a window through the application's wrapper: loading from the program
// folder, mouse event sequences and encodings, file drop, painting, real pictures measured,
// edited, undone, saved and handed from one control to another.
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

#include "base/appstate.h"
#include "rastrel/rastrel.h"
#include "support/testenv.h"

using namespace rastrel;

class TstControl : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    env_ = std::make_unique<glim::test::TestEnv>();
    glim::appState().ProgramFolder = glim::test::TestEnv::binFolder();
    glim::setRastrelFolder(glim::test::TestEnv::binFolder());
    form_ = std::make_unique<QWidget>();
    form_->resize(400, 300);
    QString error;
    photo1_ = glim::createRastrel(form_.get(), &error);
    QVERIFY2(photo1_, qPrintable(error));
    photo1_->setGeometry(0, 0, 200, 150);
    photo2_ = glim::createRastrel(form_.get(), &error);
    QVERIFY2(photo2_, qPrintable(error));
    photo2_->hide();
    form_->show();
    window_ = photo1_->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(window_);
    events_.clear();
    connect(photo1_, &glim::RastrelControl::MouseDown, this,
            [this](qint16 b, qint16 s, int x, int y) {
              events_ << QStringLiteral("MouseDown(%1,%2,%3,%4)").arg(b).arg(s).arg(x).arg(y);
            });
    connect(photo1_, &glim::RastrelControl::MouseUp, this,
            [this](qint16 b, qint16 s, int x, int y) {
              events_ << QStringLiteral("MouseUp(%1,%2,%3,%4)").arg(b).arg(s).arg(x).arg(y);
            });
    connect(photo1_, &glim::RastrelControl::MouseMove, this,
            [this](qint16 b, qint16 s, int x, int y) {
              events_ << QStringLiteral("MouseMove(%1,%2,%3,%4)").arg(b).arg(s).arg(x).arg(y);
            });
    connect(photo1_, &glim::RastrelControl::Click, this,
            [this] { events_ << QStringLiteral("Click"); });
    connect(photo1_, &glim::RastrelControl::DblClick, this,
            [this] { events_ << QStringLiteral("DblClick"); });
  }
  void cleanup() {
    form_.reset();
    env_.reset();
  }

  void loaderReportsMissingLibrary() {
    glim::setRastrelFolder(env_->folder(QStringLiteral("empty")) + u'/');
    QString error;
    QVERIFY(!glim::createRastrel(nullptr, &error));
    QVERIFY2(error.contains(QStringLiteral("librastrel3.so")), qPrintable(error));
  }

  void mouseSequences_data() {
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("left") << Qt::LeftButton
                          << QStringList{"MouseDown(1,0,10,20)", "MouseUp(1,0,10,20)", "Click",
                                         "DblClick", "MouseUp(1,0,10,20)"};
    QTest::newRow("middle") << Qt::MiddleButton
                            << QStringList{"MouseDown(4,0,10,20)", "MouseUp(4,0,10,20)", "Click",
                                           "DblClick", "MouseUp(4,0,10,20)"};
    QTest::newRow("right") << Qt::RightButton << QStringList{"MouseDown(2,0,10,20)",
                                                             "MouseUp(2,0,10,20)",
                                                             "Click",
                                                             "DblClick",
                                                             "MouseUp(2,0,10,20)",
                                                             "Click"};
  }
  void mouseSequences() {
    QFETCH(Qt::MouseButton, button);
    QFETCH(QStringList, expected);
    const QPoint at(10, 20);
    send(QEvent::MouseButtonPress, button, button, Qt::NoModifier, at);
    send(QEvent::MouseButtonRelease, button, Qt::NoButton, Qt::NoModifier, at);
    send(QEvent::MouseButtonPress, button, button, Qt::NoModifier, at);
    send(QEvent::MouseButtonDblClick, button, button, Qt::NoModifier, at);
    send(QEvent::MouseButtonRelease, button, Qt::NoButton, Qt::NoModifier, at);
    QCoreApplication::processEvents();
    QCOMPARE(events_, expected);
  }

  void encodings_data() {
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::MouseButtons>("held");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("expected");
    QTest::newRow("left") << Qt::LeftButton << Qt::MouseButtons(Qt::LeftButton)
                          << Qt::KeyboardModifiers() << "MouseDown(1,0,5,6)";
    QTest::newRow("shift") << Qt::LeftButton << Qt::MouseButtons(Qt::LeftButton)
                           << Qt::KeyboardModifiers(Qt::ShiftModifier) << "MouseDown(1,1,5,6)";
    QTest::newRow("ctrl alt") << Qt::LeftButton << Qt::MouseButtons(Qt::LeftButton)
                              << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::AltModifier)
                              << "MouseDown(1,6,5,6)";
    QTest::newRow("all three") << Qt::RightButton << Qt::MouseButtons(Qt::RightButton)
                               << (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)
                               << "MouseDown(2,7,5,6)";
    QTest::newRow("right wins over left") << Qt::LeftButton << (Qt::LeftButton | Qt::RightButton)
                                          << Qt::KeyboardModifiers() << "MouseDown(2,0,5,6)";
    QTest::newRow("middle wins over left") << Qt::LeftButton << (Qt::LeftButton | Qt::MiddleButton)
                                           << Qt::KeyboardModifiers() << "MouseDown(4,0,5,6)";
  }
  void encodings() {
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::MouseButtons, held);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, expected);
    send(QEvent::MouseButtonPress, button, held, modifiers, QPoint(5, 6));
    QCoreApplication::processEvents();
    QCOMPARE(events_, QStringList{expected});
    // A move with nothing held reports button 0; with the left button held, 1.
    events_.clear();
    send(QEvent::MouseMove, Qt::NoButton, Qt::NoButton, Qt::NoModifier, QPoint(7, 8));
    send(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier, QPoint(-3, 9));
    QCOMPARE(events_, (QStringList{"MouseMove(0,0,7,8)", "MouseMove(1,1,-3,9)"}));
  }

  void designModeIgnoresPresses() {
    photo1_->setDesignMode(true);
    send(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    QCoreApplication::processEvents();
    QVERIFY(events_.isEmpty());
  }

  void droppedFilesLoadTheFirstOnly() {
    const QString a = picture(QStringLiteral("a.png"), 20, 10, "PNG");
    const QString b = picture(QStringLiteral("b.png"), 30, 40, "PNG");
    photo1_->setOLEDropAllowed(true);
    QVERIFY(window_->acceptDrops());
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window_, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window_, &drop);
    QCOMPARE(photo1_->fileName(), a);
    QCOMPARE(photo1_->imagError(), qint16(0));
    QCOMPARE(photo1_->iWidth(), qint16(20));
    QCOMPARE(photo1_->iHeight(), qint16(10));
    photo1_->setOLEDropAllowed(false);
    QVERIFY(!window_->acceptDrops());
  }

  void emptyFileNameReleasesThePicture() {
    const QString file = picture(QStringLiteral("gone.jpg"), 32, 24, "JPG");
    photo1_->setFileName(file);
    QCOMPARE(photo1_->imagError(), qint16(0));
    QVERIFY(photo1_->hDib() != 0);
    photo1_->setFileName(QString());
    QCOMPARE(photo1_->hDib(), 0);
    QCOMPARE(photo1_->iWidth(), qint16(0));
    QCOMPARE(photo1_->picture(), 0);
    QVERIFY(QFile::remove(file));
  }

  void failedLoadLeavesNoPicture() {
    photo1_->setFileName(picture(QStringLiteral("good.png"), 16, 16, "PNG"));
    QCOMPARE(photo1_->iWidth(), qint16(16));
    const QString bad = env_->folder(QStringLiteral("p")) + QStringLiteral("/bad.jpg");
    QVERIFY(glim::test::writeBytes(bad, QByteArray("this is no picture at all", 25)));
    photo1_->setFileName(bad);
    QVERIFY(photo1_->imagError() < 0);
    QCOMPARE(photo1_->fxError(), photo1_->imagError());
    QCOMPARE(photo1_->hDib(), 0);
    QCOMPARE(photo1_->iWidth(), qint16(0));
  }

  // Load, measure, edit, undo, save, and pass the picture to the second control.
  void realPictureRoundTrip() {
    const QString file = picture(QStringLiteral("photo.png"), 64, 48, "PNG");
    const QImage original = QImage(file).convertToFormat(QImage::Format_RGB32);
    photo1_->setFileName(file);
    QCOMPARE(photo1_->imagError(), qint16(0));
    QCOMPARE(photo1_->fileName(), file);
    QCOMPARE(photo1_->iWidth(), qint16(64));
    QCOMPARE(photo1_->iHeight(), qint16(48));
    QCOMPARE(photo1_->iFileSize(), qint32(QFileInfo(file).size()));
    QVERIFY(photo1_->ipBitsPixel() >= 24);
    QVERIFY(photo1_->uniqueColors() > 100);
    QVERIFY(photo1_->picture() != 0 || photo1_->hDib() != 0);

    photo1_->setUndoEnabled(true);
    photo1_->flip();
    QCOMPARE(photo1_->imagError(), qint16(0));
    QCOMPARE(saved(photo1_, QStringLiteral("flipped.png")), original.mirrored(false, true));
    photo1_->undo();
    QCOMPARE(saved(photo1_, QStringLiteral("undone.png")), original);

    photo1_->rotate(90);
    QCOMPARE(photo1_->iWidth(), qint16(48));
    QCOMPARE(photo1_->iHeight(), qint16(64));

    photo2_->setHDib(photo1_->copyDib());
    QCOMPARE(photo2_->imagError(), qint16(0));
    QCOMPARE(photo2_->iWidth(), qint16(48));
    QCOMPARE(saved(photo2_, QStringLiteral("second.png")),
             saved(photo1_, QStringLiteral("first.png")));
  }

  void resizeControlFollowsThePicture() {
    photo1_->setAutoSize(ISIZE_ResizeControl);
    QCOMPARE(photo1_->autoSize(), qint16(ISIZE_ResizeControl));
    photo1_->setFileName(picture(QStringLiteral("size.png"), 64, 48, "PNG"));
    QTRY_COMPARE(photo1_->size(), QSize(64, 48));
    QCOMPARE(window_->size(), QSize(64, 48));
  }

  void paintShowsThePicture() {
    const QString file = picture(QStringLiteral("red.png"), 40, 30, "PNG", QColor(255, 0, 0));
    photo1_->setAutoSize(ISIZE_CropImageToControl);  // actual size at the top left
    photo1_->setFileName(file);
    const QImage shown = window_->grab().toImage();
    const QImage expected(file);
    for (const QPoint p : {QPoint(0, 0), QPoint(20, 15), QPoint(39, 29)})
      QCOMPARE(shown.pixelColor(p), expected.pixelColor(p));
    QVERIFY(shown.pixelColor(100, 100) != expected.pixelColor(39, 29));  // back colour beyond
  }

  // The values stored with a form come back when its control is created from them.
  void propertyFileRestoresTheControl() {
    const QString file = env_->folder(QStringLiteral("form")) + QStringLiteral("/Photo1.ctl");
    const QString pic = picture(QStringLiteral("kept.png"), 12, 10, "PNG");
    photo1_->setFileName(pic);
    photo1_->setAutoSize(ISIZE_TileImage);
    photo1_->setScrollBars(SB_Vertical);
    photo1_->setSaveJPGChromFactor(77);
    QString error;
    QVERIFY2(photo1_->saveProperties(file, &error), qPrintable(error));
    std::unique_ptr<glim::RastrelControl> copy(glim::createRastrel(form_.get(), file, &error));
    QVERIFY2(copy, qPrintable(error));
    QCOMPARE(copy->fileName(), pic);
    QCOMPARE(copy->iWidth(), qint16(12));
    QCOMPARE(copy->autoSize(), qint16(ISIZE_TileImage));
    QCOMPARE(copy->scrollBars(), qint16(SB_Vertical));
    QCOMPARE(copy->saveJPGChromFactor(), qint16(77));

    QVERIFY(glim::test::writeBytes(file, "{\"AutoSize\": {\"type\": 2, \"value\": 12}}"));
    std::unique_ptr<glim::RastrelControl> refused(glim::createRastrel(form_.get(), file, &error));
    QVERIFY(refused);  // the control is still made
    QVERIFY2(error.contains(QStringLiteral("refused")), qPrintable(error));
    QVERIFY(glim::test::writeBytes(file, "not json"));
    QVERIFY(!copy->loadProperties(file, &error));
    QCOMPARE(copy->autoSize(), qint16(ISIZE_TileImage));
  }

  // WebP's save options through the control: a lower quality makes a smaller file, lossless
  // gives back the very pixels, and a quality outside 1-100 is refused with the old one kept.
  void webpSaveOptions() {
    photo1_->setFileName(picture(QStringLiteral("photo.png"), 160, 120, "PNG"));
    QCOMPARE(photo1_->imagError(), qint16(0));
    const QString out = env_->folder(QStringLiteral("out"));
    QCOMPARE(photo1_->get(dispid::SaveWEBPQuality).whole(), 75);  // the WebP tools' default
    QVERIFY(!photo1_->get(dispid::SaveWEBPLossless).whole());
    auto saveAs = [&](const QString& name) {
      photo1_->setSaveFileName(out + u'/' + name);
      photo1_->saveFile();
      return photo1_->imagError() == 0 ? QFileInfo(out + u'/' + name).size() : -1;
    };
    QVERIFY(photo1_->put(dispid::SaveWEBPQuality, Variant::i2(5)));
    const qint64 rough = saveAs(QStringLiteral("rough.webp"));
    QVERIFY(photo1_->put(dispid::SaveWEBPQuality, Variant::i2(95)));
    const qint64 fine = saveAs(QStringLiteral("fine.webp"));
    QVERIFY(rough > 0);
    QVERIFY2(fine > rough * 2, qPrintable(QStringLiteral("%1 %2").arg(fine).arg(rough)));

    QVERIFY(photo1_->put(dispid::SaveWEBPQuality, Variant::i2(0)));
    QCOMPARE(photo1_->imagError(), qint16(-11));  // an option out of range
    QCOMPARE(photo1_->get(dispid::SaveWEBPQuality).whole(), 95);

    QVERIFY(photo1_->put(dispid::SaveWEBPLossless, Variant::boolean(true)));
    QVERIFY(photo1_->get(dispid::SaveWEBPLossless).whole());
    QVERIFY(saveAs(QStringLiteral("exact.webp")) > 0);
    photo2_->setFileName(out + QStringLiteral("/exact.webp"));
    QCOMPARE(photo2_->imagError(), qint16(0));
    QCOMPARE(photo2_->iFormat(), qint16(40));  // WebP
    QCOMPARE(saved(photo2_, QStringLiteral("exact.png")),
             saved(photo1_, QStringLiteral("original.png")));
  }

  // The engine's posted progress arrives as events on this thread after the load.
  void progressEventsFollowALoad() {
    QSignalSpy async(photo1_, &glim::RastrelControl::AsyncProgress);
    const QString file = picture(QStringLiteral("big.png"), 400, 300, "PNG");
    photo1_->setFileName(file);
    QCOMPARE(async.count(), 0);  // queued, not fired inside the put
    QTRY_VERIFY(!async.isEmpty() && async.last().at(3).toBool());
    QCOMPARE(async.last().at(2).toInt(), int(QFileInfo(file).size()));
    QCOMPARE(async.last().at(4).toInt(), 0);
  }

  void notifyFollowsALoad() {
    QSignalSpy notify(photo1_, &glim::RastrelControl::Notify);
    QVERIFY(photo1_->put(dispid::NotifyDelay, Variant::i4(5)));
    QVERIFY(photo1_->put(dispid::Notify, Variant::boolean(true)));
    photo1_->setFileName(picture(QStringLiteral("n.png"), 8, 8, "PNG"));
    QVERIFY(notify.wait());
    QCOMPARE(notify.count(), 1);
  }

 private:
  void send(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held,
            Qt::KeyboardModifiers modifiers, QPoint at) {
    QMouseEvent e(type, QPointF(at), window_->mapToGlobal(QPointF(at)), button, held, modifiers);
    QCoreApplication::sendEvent(window_, &e);
  }
  QString picture(const QString& name, int w, int h, const char* format,
                  QColor tint = QColor(200, 120, 40)) {
    const QString path = env_->folder(QStringLiteral("p")) + u'/' + name;
    if (!glim::test::writePicture(path, w, h, format, tint)) return QString();
    return path;
  }
  QImage saved(glim::RastrelControl* photo, const QString& name) {
    const QString path = env_->folder(QStringLiteral("out")) + u'/' + name;
    photo->setSaveFileName(path);
    photo->saveFile();
    if (photo->imagError() != 0) return QImage();
    return QImage(path).convertToFormat(QImage::Format_RGB32);
  }

  std::unique_ptr<glim::test::TestEnv> env_;
  std::unique_ptr<QWidget> form_;
  glim::RastrelControl* photo1_ = nullptr;
  glim::RastrelControl* photo2_ = nullptr;
  QWidget* window_ = nullptr;
  QStringList events_;
};

QTEST_MAIN(TstControl)
#include "tst_control.moc"
