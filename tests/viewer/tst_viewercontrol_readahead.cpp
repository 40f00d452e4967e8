// Paging with the real imaging control reading the neighbouring pictures ahead: what the user
// sees and what the catalogue rows hold are exactly what they are without reading ahead, a
// file changed or deleted after it was read ahead is shown as it is now, and the memory
// setting holds.
#include <dlfcn.h>

#include <QtTest>

#include <QCheckBox>
#include <QLineEdit>
#include <QPainter>

#include "base/dialogs.h"
#include "base/forms.h"
#include "base/settings.h"
#include "rastrel/rastrel.h"
#include "rastrel3_dispids.h"
#include "support/testenv.h"
#include "viewer/frmDBScreenTest.h"
#include "viewer_helpers.h"

using namespace glim;
using namespace glim::test;

namespace {

const QStringList kMeasured = {QStringLiteral("Width"),    QStringLiteral("Height"),
                               QStringLiteral("Ratio"),    QStringLiteral("Bits"),
                               QStringLiteral("FileSize"), QStringLiteral("Colors"),
                               QStringLiteral("FileERROR")};

// The engine's read-ahead figures, reached in the engine the control loaded.
int32_t engineFigure(frmDBScreenTest* viewer, const char* call) {
  void* engine = dlopen("librastcore3.so", RTLD_LAZY | RTLD_NOLOAD);
  auto* control = qobject_cast<RastrelControl*>(viewer->Photo1()->widget());
  if (!engine || !control) return -1;
  using Fn = int32_t (*)(uint32_t);
  auto fn = reinterpret_cast<Fn>(dlsym(engine, call));
  const int32_t value = fn ? fn(uint32_t(control->get(rastrel::dispid::ImagID).whole())) : -1;
  dlclose(engine);
  return value;
}
int held(frmDBScreenTest* viewer) {
  return engineFigure(viewer, "CV_GetReadAheadHeld");
}

QImage shown(frmDBScreenTest* viewer) {
  return viewer->Photo1()->widget()->grab().toImage();
}

// A picture of exactly three colours (before any lossy compression).
bool writeThreeColours(const QString& path, int width, int height, const char* format = "PNG") {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(QColor(10, 20, 30));
  QPainter painter(&image);
  painter.fillRect(0, 0, width / 2, height, QColor(200, 0, 0));
  painter.fillRect(0, 0, width, height / 3, QColor(0, 0, 250));
  painter.end();
  return image.save(path, format);
}

int meanChannelDifference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return 255;
  int64_t sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
             std::abs(qBlue(p) - qBlue(q));
    }
  return int(sum / (3 * int64_t(a.width()) * a.height()));
}

// What the engine draws for the picture control's window now.
QImage engineDrawing(frmDBScreenTest* viewer) {
  void* engine = dlopen("librastcore3.so", RTLD_LAZY | RTLD_NOLOAD);
  auto* control = qobject_cast<RastrelControl*>(viewer->Photo1()->widget());
  using Fn = void (*)(uint32_t, uint32_t*, int32_t, const int32_t*);
  auto draw = engine ? reinterpret_cast<Fn>(dlsym(engine, "CV_Draw")) : nullptr;
  QImage image(control ? control->size() : QSize(), QImage::Format_RGB32);
  const int32_t area[4] = {0, 0, image.width(), image.height()};
  if (draw && !image.isNull())
    draw(uint32_t(control->get(rastrel::dispid::ImagID).whole()),
         reinterpret_cast<uint32_t*>(image.bits()), int32_t(image.bytesPerLine()), area);
  if (engine) dlclose(engine);
  return image;
}

// Keeps what the engine drew for the picture control's window at its first paint while armed,
// and which file the control held then.
class FirstPaint final : public QObject {
 public:
  explicit FirstPaint(frmDBScreenTest* viewer) : viewer_(viewer) { qApp->installEventFilter(this); }
  ~FirstPaint() override { qApp->removeEventFilter(this); }
  bool armed = false;
  QImage picture;
  QString heldFile;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!armed || event->type() != QEvent::Paint) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    QWidget* control = viewer_->Photo1()->widget();
    if (!widget || (widget != control && !control->isAncestorOf(widget))) return false;
    armed = false;
    picture = engineDrawing(viewer_);
    heldFile = viewer_->Photo1()->fileName();
    return false;
  }

 private:
  frmDBScreenTest* viewer_;
};

// A program folder, catalogue and settings of its own, with the ReadAheadMiB setting given.
struct Run {
  explicit Run(const QString& readAheadMiB) {
    env.installProgram();
    settings::write(settings::kSettings, QStringLiteral("ReadAheadMiB"), readAheadMiB);
    folder = env.folder(QStringLiteral("pics")) + u'/';
  }
  TestEnv env;
  ScriptedDialogs dialogs;
  QString folder;
};

struct Seen {
  QList<QImage> pictures;
  QList<QStringList> rows;
  QStringList errors;
};

}  // namespace

class tst_ViewerControlReadAhead : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { useImagingControl(); }
  void pagingShowsAndRecordsWhatALoadDoes();
  void changedOrDeletedFilesAreShownAsTheyAreNow();
  void memorySettingHoldsForThirtyLargePictures();
  void setOfOnePicture();
  void largePictureIsPaintedFromItsPreviewBeforeItsLoadEnds();
};

void tst_ViewerControlReadAhead::pagingShowsAndRecordsWhatALoadDoes() {
  QList<Seen> runs;
  for (const QString& setting : {QStringLiteral("0"), QStringLiteral("512")}) {
    Run run(setting);
    TestEnv& env = run.env;
    const ScriptedDialogs& dialogs = run.dialogs;
    const QString& folder = run.folder;
    QVERIFY(writePicture(folder + QStringLiteral("a.jpg"), 640, 480, "JPG"));
    QVERIFY(writeThreeColours(folder + QStringLiteral("b.png"), 300, 200));
    QVERIFY(writeBytes(folder + QStringLiteral("bad.jpg"), QByteArray("\xFF\xD8\xFF\xE0 cut")));
    QVERIFY(writePicture(folder + QStringLiteral("c.bmp"), 120, 90, "BMP", QColor(10, 200, 90)));
    QVERIFY(writePicture(folder + QStringLiteral("d.jpg"), 800, 200, "JPG", QColor(90, 9, 9)));
    const QStringList names = {QStringLiteral("a.jpg"), QStringLiteral("b.png"),
                               QStringLiteral("bad.jpg"), QStringLiteral("c.bmp"),
                               QStringLiteral("d.jpg")};
    QList<PictureRow> rows;
    for (const QString& name : names) rows.append({folder + name});
    QVERIFY(writeCatalogue(env.catalogue(), rows));
    auto* viewer = forms::get<frmDBScreenTest>();
    QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
    viewer->show();
    // The colour count of a first showing follows once the picture is on screen.
    QTRY_VERIFY(viewer->txtColors()->text().toInt() > 100);
    Seen seen;
    const bool readingAhead = setting != QStringLiteral("0");
    auto look = [&] {
      seen.pictures.append(shown(viewer));
      seen.errors.append(viewer->txtFileErrorNumber()->text());
    };
    look();
    for (int i = 1; i < names.size(); ++i) {
      // The next picture is ready before the move (a damaged one is never kept).
      if (readingAhead && names[i] != QStringLiteral("bad.jpg")) QTRY_VERIFY(held(viewer) >= 1);
      viewer->navigate(viewer::NavCommand::Next);
      look();
    }
    for (int i = names.size() - 2; i >= 0; --i) {
      viewer->navigate(viewer::NavCommand::Previous);
      look();
    }
    QVERIFY(dialogs.messages().isEmpty());
    if (readingAhead) QVERIFY(engineFigure(viewer, "CV_GetReadAheadPeak") >= 1);
    viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (const QString& name : names) {
      QStringList values;
      for (const QString& field : kMeasured)
        values << storedValue(env.catalogue(), folder + name, field).toString();
      seen.rows.append(values);
    }
    runs.append(seen);
  }
  const Seen& plain = runs[0];
  const Seen& ahead = runs[1];
  QCOMPARE(ahead.rows, plain.rows);
  QCOMPARE(ahead.errors, plain.errors);
  QCOMPARE(ahead.pictures.size(), plain.pictures.size());
  for (int i = 0; i < plain.pictures.size(); ++i) QCOMPARE(ahead.pictures[i], plain.pictures[i]);
  // The rows hold the counts, including the one of the picture left before it was painted.
  QCOMPARE(plain.rows[1][5], QStringLiteral("3"));
  QCOMPARE(plain.rows[1][0], QStringLiteral("300"));
  QVERIFY(plain.rows[2][6].toInt() < 0);  // the damaged file's error, the same both ways
}

void tst_ViewerControlReadAhead::changedOrDeletedFilesAreShownAsTheyAreNow() {
  TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;
  const QString folder = env.folder(QStringLiteral("pics")) + u'/';
  const QString a = folder + QStringLiteral("a.jpg"), b = folder + QStringLiteral("b.jpg"),
                c = folder + QStringLiteral("c.png"), d = folder + QStringLiteral("d.png");
  QVERIFY(writePicture(a, 64, 48));
  QVERIFY(writePicture(b, 320, 240));
  QVERIFY(writePicture(c, 200, 100, "PNG"));
  QVERIFY(writePicture(d, 90, 90, "PNG"));
  QVERIFY(writeCatalogue(env.catalogue(), {{a}, {b}, {c}, {d}}));
  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY(viewer->Photo1());
  // b is read ahead, then deleted: the row is marked missing, as for any missing file.
  QTRY_COMPARE(held(viewer), 1);
  QVERIFY(QFile::remove(b));
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(viewer->txtStatus()->text(), QStringLiteral("Missing"));
  QCOMPARE(viewer->Photo1()->fileName(), env.programFolder() + QStringLiteral("ImageMissing.jpg"));
  // c is read ahead, then replaced by a picture of another size: the new one is shown.
  QTRY_VERIFY(held(viewer) >= 1);
  QVERIFY(QFile::remove(c));
  QVERIFY(writePicture(c, 150, 50, "PNG", QColor(0, 0, 200)));
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(viewer->Photo1()->fileName(), c);
  QCOMPARE(viewer->txtWidth()->text(), QStringLiteral("150"));
  QCOMPARE(viewer->txtHeight()->text(), QStringLiteral("50"));
  // d is read ahead, then cut short: the damaged picture, with the error a load gives.
  QTRY_VERIFY(held(viewer) >= 1);
  const QByteArray whole = readBytes(d);
  QVERIFY(writeBytes(d, whole.left(whole.size() / 2)));
  viewer->navigate(viewer::NavCommand::Next);
  QVERIFY(viewer->txtFileErrorNumber()->text().toInt() < 0);
  QCOMPARE(viewer->Photo1()->fileName(), env.programFolder() + QStringLiteral("DamagedImage.jpg"));
  viewer->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QVERIFY(!storedValue(env.catalogue(), b, QStringLiteral("Width")).isValid());  // removed
  QCOMPARE(storedValue(env.catalogue(), c, QStringLiteral("Width")).toInt(), 150);
  QCOMPARE(storedValue(env.catalogue(), c, QStringLiteral("FileSize")).toLongLong(),
           QFileInfo(c).size());
  QVERIFY(dialogs.messages().isEmpty());
}

void tst_ViewerControlReadAhead::memorySettingHoldsForThirtyLargePictures() {
  TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;
  settings::write(settings::kSettings, QStringLiteral("ReadAheadMiB"), QStringLiteral("2"));
  const QString folder = env.folder(QStringLiteral("pics")) + u'/';
  QList<PictureRow> rows;
  for (int i = 0; i < 30; ++i) {
    // About 0.7 MiB each when decoded; one in ten is larger than the whole setting.
    const bool huge = i % 10 == 5;
    const QString path = folder + QStringLiteral("p%1.jpg").arg(i);
    QVERIFY(writePicture(path, huge ? 1200 : 600, huge ? 900 : 400 + i, "JPG",
                         QColor(i * 8, 100, 200 - i * 5)));
    rows.append({path});
  }
  QVERIFY(writeCatalogue(env.catalogue(), rows));
  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY(viewer->Photo1());
  for (int i = 0; i < 30; ++i) {
    const bool huge = i % 10 == 5;
    QCOMPARE(viewer->Photo1()->fileName(), rows[i].path);
    QCOMPARE(viewer->txtWidth()->text(), QString::number(huge ? 1200 : 600));
    QCOMPARE(viewer->txtHeight()->text(), QString::number(huge ? 900 : 400 + i));
    // The next picture is ready unless it cannot fit at all.
    if (i + 1 < 30 && (i + 1) % 10 != 5) QTRY_VERIFY(held(viewer) >= 1);
    QVERIFY(engineFigure(viewer, "CV_GetReadAheadPeak") <= 2);
    viewer->navigate(viewer::NavCommand::Next);
  }
  QVERIFY(engineFigure(viewer, "CV_GetReadAheadPeak") >= 1);
  viewer->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCOMPARE(storedValue(env.catalogue(), rows[15].path, QStringLiteral("Width")).toInt(), 1200);
  QCOMPARE(storedValue(env.catalogue(), rows[29].path, QStringLiteral("Height")).toInt(), 429);
  QVERIFY(dialogs.messages().isEmpty());
}

void tst_ViewerControlReadAhead::setOfOnePicture() {
  TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;
  const QString only = env.folder(QStringLiteral("pics")) + QStringLiteral("/only.png");
  QVERIFY(writeThreeColours(only, 50, 40));
  QVERIFY(writeCatalogue(env.catalogue(), {{only}}));
  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY(viewer->Photo1());
  QCOMPARE(viewer->Photo1()->fileName(), only);
  viewer->navigate(viewer::NavCommand::Next);
  viewer->navigate(viewer::NavCommand::Previous);
  QCOMPARE(viewer->Photo1()->fileName(), only);
  QCOMPARE(held(viewer), 0);  // nothing else to read
  viewer->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  // Closed before anything painted: the row still gets its colour count.
  QCOMPARE(storedValue(env.catalogue(), only, QStringLiteral("Colors")).toInt(), 3);
  QCOMPARE(storedValue(env.catalogue(), only, QStringLiteral("Width")).toInt(), 50);
}

// A jump to a large JPEG nobody read ahead: the window shows a reduced decode of it at once,
// while the control still holds the previous picture, and then exactly what a plain load shows
// and records.
void tst_ViewerControlReadAhead::largePictureIsPaintedFromItsPreviewBeforeItsLoadEnds() {
  QList<QImage> finals;
  QList<QStringList> rows;
  for (const QString& setting : {QStringLiteral("0"), QStringLiteral("512")}) {
    Run run(setting);
    TestEnv& env = run.env;
    const ScriptedDialogs& dialogs = run.dialogs;
    const QString& folder = run.folder;
    const QString big = folder + QStringLiteral("big.jpg");
    QVERIFY(writePicture(folder + QStringLiteral("a.jpg"), 64, 48, "JPG", QColor(0, 90, 0)));
    QVERIFY(writePicture(folder + QStringLiteral("b.jpg"), 64, 48, "JPG"));
    QVERIFY(writePicture(folder + QStringLiteral("c.jpg"), 64, 48, "JPG"));
    QVERIFY(writeThreeColours(big, 3000, 2000, "JPG"));
    QVERIFY(writeCatalogue(env.catalogue(), {{folder + QStringLiteral("a.jpg")},
                                             {folder + QStringLiteral("b.jpg")},
                                             {folder + QStringLiteral("c.jpg")},
                                             {big}}));
    auto* viewer = forms::get<frmDBScreenTest>();
    QVERIFY(viewer->Photo1());
    viewer->resize(800, 600);
    viewer->show();
    QVERIFY(QTest::qWaitForWindowExposed(viewer));
    const QString first = viewer->Photo1()->fileName();
    const QImage firstDrawing = engineDrawing(viewer);
    FirstPaint paint(viewer);
    paint.armed = true;
    viewer->navigate(viewer::NavCommand::Last);  // read ahead: only the picture after the first
    QCOMPARE(viewer->Photo1()->fileName(), big);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    const QImage shownNow = shown(viewer);
    if (setting != QStringLiteral("0")) {
      QCOMPARE(paint.heldFile, first);  // painted before the load ended
      QVERIFY(meanChannelDifference(paint.picture, engineDrawing(viewer)) <= 3);
      QVERIFY(meanChannelDifference(paint.picture, engineDrawing(viewer)) <
              meanChannelDifference(paint.picture, firstDrawing));
    } else {
      QCOMPARE(paint.heldFile, big);  // without reading ahead, nothing shows before the load
    }
    finals.append(shownNow);
    QVERIFY(dialogs.messages().isEmpty());
    viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QStringList values;
    for (const QString& field : kMeasured)
      values << storedValue(env.catalogue(), big, field).toString();
    rows.append(values);
  }
  QCOMPARE(finals[1], finals[0]);
  QCOMPARE(rows[1], rows[0]);
  QCOMPARE(rows[0][0], QStringLiteral("3000"));
}

QTEST_MAIN(tst_ViewerControlReadAhead)
#include "tst_viewercontrol_readahead.moc"
