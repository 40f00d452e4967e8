// Picture protection with the real imaging control: a JPEG is protected into a ".pic" with a
// 10-character password, opens again when that password is typed (the loader hands over its
// first 8 characters), stays blank with a wrong one, and comes back open with the same pixels
// when its protection is removed.
#include <QtTest>

#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/forms.h"
#include "rastrel/rastrel.h"
#include "support/testenv.h"
#include "viewer/frmDBScreenTest.h"
#include "viewer_helpers.h"

using namespace glim;
using namespace glim::test;

namespace {

// What a control of its own, holding `password`, reads from `path`: the error, and the pixels
// (written out as PNG by the control and read back) when it could read it.
struct Reading {
  int error = 0;
  QImage pixels;
};

Reading readThroughControl(const QString& path, const QString& password, const QString& png) {
  QWidget holder;
  RastrelControl* control = createRastrel(&holder);
  if (!control) return {-1, {}};
  control->setPICPassword(password);
  control->setFileName(path);
  Reading reading{control->imagError(), {}};
  if (reading.error != 0) return reading;
  QFile::remove(png);
  control->setSaveFileName(png);
  control->saveFile();
  if (control->imagError() == 0) reading.pixels = QImage(png).convertToFormat(QImage::Format_RGB32);
  return reading;
}

struct Difference {
  int max = 0;
  double mean = 0;
};

// The largest and the mean channel difference of two pictures of the same size.
Difference difference(const QImage& a, const QImage& b) {
  Difference d;
  qint64 sum = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      for (int c : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
        d.max = std::max(d.max, std::abs(c));
        sum += std::abs(c);
      }
    }
  }
  if (!a.isNull()) d.mean = double(sum) / (3.0 * a.width() * a.height());
  return d;
}

void typeInto(QLineEdit* box, const QString& text) {
  box->setFocus();
  box->selectAll();
  QTest::keyClick(box, Qt::Key_Backspace);
  QTest::keyClicks(box, text);
}

}  // namespace

class tst_ViewerProtection : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { useImagingControl(); }
  void protectOpenAndUnprotectAJpeg();
  void paletteRoundTripKeepsEveryPixel();
  void promptedPasswordShowsAPictureSeenBefore();
};

void tst_ViewerProtection::protectOpenAndUnprotectAJpeg() {
  TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;
  const QString folder = env.folder(QStringLiteral("pics"));
  const QString a = folder + QStringLiteral("/holiday.jpg");
  const QString b = folder + QStringLiteral("/b.jpg");
  const QString pic = folder + QStringLiteral("/holiday.pic");
  QVERIFY(writePicture(a, 120, 90, "JPG"));
  QVERIFY(writePicture(b, 80, 60, "JPG", QColor(30, 90, 200)));
  QVERIFY(writeCatalogue(env.catalogue(), {{a}, {b}}));
  const QString scratch = env.folder(QStringLiteral("check"));
  // The pixels the control decodes from the JPEG, to compare with at the end.
  const Reading original = readThroughControl(a, QString(), scratch + QStringLiteral("/a.png"));
  QCOMPARE(original.error, 0);
  QCOMPARE(original.pixels.size(), QSize(120, 90));

  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  // No prompt: a wrong password shows the picture blank.
  auto* prompt = viewer->findChild<QAction*>(QStringLiteral("mnuPromptNewPassword"));
  QVERIFY(prompt);
  if (prompt->isChecked()) prompt->trigger();
  QVERIFY(!appState().PromptForNewPassword);
  QCOMPARE(viewer->Photo1()->fileName(), a);
  auto* encrypt = viewer->findChild<QPushButton*>(QStringLiteral("cmdEncryptCurrentPic"));
  auto* unencrypt = viewer->findChild<QPushButton*>(QStringLiteral("cmdUnencryptCurrentPic"));
  auto* wipe = viewer->findChild<QCheckBox*>(QStringLiteral("chkWipeOldImages"));
  QVERIFY(encrypt && unencrypt && wipe);

  // Protect with a 10-character password and the wipe on: the JPEG makes way for the .pic.
  typeInto(viewer->txtPicPassword(), QStringLiteral("Abcdefgh12"));
  QCOMPARE(viewer->txtPicPassword()->text(), QStringLiteral("Abcdefgh12"));
  QTest::mouseClick(wipe, Qt::LeftButton, {}, QPoint(4, 4));
  QVERIFY(wipe->isChecked());
  viewer->armedButtons().armAndClick(encrypt);
  QCOMPARE(dialogs.lastText(), QStringLiteral("The encrypted file ") + pic +
                                   QStringLiteral(" was created and the original file was wiped "
                                                  "clean.\rThe encrypted file has taken the "
                                                  "original's place in the database."));
  QVERIFY(!QFileInfo::exists(a));
  QVERIFY(QFileInfo::exists(pic));
  QCOMPARE(viewer->txtImagePath()->text(), pic);
  QCOMPARE(viewer->Photo1()->fileName(), pic);
  QVERIFY(!encrypt->isEnabled());

  // The file really is protected: no password, or another one, cannot read it; the first 8
  // characters of the password are enough.
  QCOMPARE(readThroughControl(pic, QString(), scratch + QStringLiteral("/x.png")).error,
           int(viewer::kWrongPassword));
  QCOMPARE(
      readThroughControl(pic, QStringLiteral("Zbcdefgh"), scratch + QStringLiteral("/x.png")).error,
      int(viewer::kWrongPassword));
  QCOMPARE(
      readThroughControl(pic, QStringLiteral("Abcdefgh"), scratch + QStringLiteral("/x.png")).error,
      0);

  // Moving away writes the row: it now names the protected file.
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(viewer->Photo1()->fileName(), b);
  QCOMPARE(storedValue(env.catalogue(), pic, QStringLiteral("Extension")).toString(),
           QStringLiteral("pic"));
  QCOMPARE(storedValue(env.catalogue(), pic, QStringLiteral("Width")).toInt(), 120);
  QVERIFY(!storedValue(env.catalogue(), a, QStringLiteral("Pathname")).isValid());
  QCOMPARE(storedRowCount(env.catalogue()), 2);

  // A wrong password leaves the picture blank and the file as it was.
  const QByteArray protectedBytes = readBytes(pic);
  typeInto(viewer->txtPicPassword(), QStringLiteral("Wrongpass1"));
  viewer->navigate(viewer::NavCommand::Previous);
  QCOMPARE(viewer->txtImagePath()->text(), pic);
  QCOMPARE(viewer->Photo1()->hDib(), 0);
  viewer->armedButtons().armAndClick(unencrypt);
  QCOMPARE(readBytes(pic), protectedBytes);
  QVERIFY(viewer->txtStatus()->text().trimmed() != QStringLiteral("Missing"));

  // The same password typed again opens it (the loader hands over "Abcdefgh").
  viewer->navigate(viewer::NavCommand::Next);
  typeInto(viewer->txtPicPassword(), QStringLiteral("Abcdefgh12"));
  viewer->navigate(viewer::NavCommand::Previous);
  QCOMPARE(viewer->Photo1()->fileName(), pic);
  QCOMPARE(viewer->Photo1()->imagError(), 0);
  QVERIFY(viewer->Photo1()->hDib() != 0);
  QCOMPARE(viewer->Photo1()->iWidth(), 120);

  // Removing protection writes an open picture under the same name, with the same pixels.
  QVERIFY(unencrypt->isEnabled());
  viewer->armedButtons().armAndClick(unencrypt);
  QCOMPARE(dialogs.lastText(), QStringLiteral("The file has been decrypted."));
  QVERIFY(!unencrypt->isEnabled());
  QVERIFY(encrypt->isEnabled());
  QCOMPARE(viewer->Photo1()->fileName(), pic);
  QCOMPARE(viewer->Photo1()->imagError(), 0);
  const Reading open = readThroughControl(pic, QString(), scratch + QStringLiteral("/open.png"));
  QCOMPARE(open.error, 0);
  QCOMPARE(open.pixels.size(), original.pixels.size());
  // The PIC format keeps a photograph as JPEG, so each save costs a little: the picture
  // comes back after two saves within a few levels of what the JPEG held.
  const Difference diff = difference(open.pixels, original.pixels);
  QVERIFY2(diff.max <= 16 && diff.mean <= 4.0,
           qPrintable(QStringLiteral("max %1 mean %2").arg(diff.max).arg(diff.mean)));
  QCOMPARE(viewer->txtImagePath()->text(), pic);  // the row still names the .pic file
  const QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden);
  QCOMPARE(left, QStringList({QStringLiteral("b.jpg"), QStringLiteral("holiday.pic")}));

  viewer->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QVERIFY(storedValue(env.catalogue(), pic, QStringLiteral("Pathname")).isValid());
}

// A palette picture is kept without loss in the PIC format: protecting it (with the wipe off)
// and removing the protection again gives back exactly its pixels.
void tst_ViewerProtection::paletteRoundTripKeepsEveryPixel() {
  TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;
  const QString folder = env.folder(QStringLiteral("pics"));
  const QString a = folder + QStringLiteral("/chart.png");
  const QString b = folder + QStringLiteral("/b.png");
  const QString pic = folder + QStringLiteral("/chart.pic");
  QVERIFY(writePicture(a, 64, 48, "PNG"));
  QVERIFY(QImage(a).convertToFormat(QImage::Format_Indexed8).save(a));
  QVERIFY(writePicture(b, 64, 48, "PNG"));
  QVERIFY(writeCatalogue(env.catalogue(), {{a}, {b}}));
  const QString scratch = env.folder(QStringLiteral("check"));
  const Reading original = readThroughControl(a, QString(), scratch + QStringLiteral("/a.png"));
  QCOMPARE(original.error, 0);

  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  typeInto(viewer->txtPicPassword(), QStringLiteral("Chart2024"));
  viewer->armedButtons().armAndClick(
      viewer->findChild<QPushButton*>(QStringLiteral("cmdEncryptCurrentPic")));
  QCOMPARE(dialogs.lastText(), QStringLiteral("The encrypted file ") + pic +
                                   QStringLiteral(" was created.\r The original was NOT wiped."));
  QCOMPARE(viewer->txtImagePath()->text(), a);  // the row keeps naming the source
  QVERIFY(QFileInfo::exists(a));
  QCOMPARE(readThroughControl(pic, QString(), scratch + QStringLiteral("/x.png")).error,
           int(viewer::kWrongPassword));
  // The control shows the protected file; removing its protection writes it back open.
  QCOMPARE(viewer->Photo1()->fileName(), pic);
  viewer->armedButtons().armAndClick(
      viewer->findChild<QPushButton*>(QStringLiteral("cmdUnencryptCurrentPic")));
  QCOMPARE(dialogs.lastText(), QStringLiteral("The file has been decrypted."));
  const Reading open = readThroughControl(pic, QString(), scratch + QStringLiteral("/open.png"));
  QCOMPARE(open.error, 0);
  QCOMPARE(open.pixels.size(), original.pixels.size());
  QVERIFY(open.pixels == original.pixels);
  viewer->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A protected picture met before without its password (during a show, say) is no longer new
// and has no size on record (adding a folder cannot read it); when the prompt then supplies
// the password, its size is recorded and the picture shown at that size.
void tst_ViewerProtection::promptedPasswordShowsAPictureSeenBefore() {
  TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;
  const QString folder = env.folder(QStringLiteral("pics"));
  const QString a = folder + QStringLiteral("/a.jpg");
  const QString pic = folder + QStringLiteral("/secret.pic");
  QVERIFY(writePicture(a, 120, 90, "JPG"));
  {
    QWidget holder;
    RastrelControl* control = createRastrel(&holder);
    QVERIFY(control);
    control->setFileName(a);
    control->setPICPassword(QStringLiteral("Secret12"));
    control->setSaveFileName(pic);
    control->saveFile();
    QCOMPARE(int(control->imagError()), 0);
  }
  PictureRow seen{pic, QStringLiteral("pic")};
  seen.newFile = 0;
  seen.fileError = 0;
  seen.width = 0;
  seen.height = 0;
  QVERIFY(writeCatalogue(env.catalogue(), {{a}, seen}));
  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  QVERIFY(appState().PromptForNewPassword);
  bool prompted = false;
  QTimer answer;
  answer.setInterval(1);
  connect(&answer, &QTimer::timeout, this, [&prompted] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() != QStringLiteral("frmWrongPassword") || !w->isVisible()) continue;
      prompted = true;
      w->findChild<QLineEdit*>(QStringLiteral("txtNewPassword"))
          ->setText(QStringLiteral("Secret12"));
      w->findChild<QPushButton*>(QStringLiteral("cmdUpdatePassword"))->click();
    }
  });
  answer.start();
  viewer->navigate(viewer::NavCommand::Next);
  answer.stop();
  QVERIFY(prompted);
  QCOMPARE(viewer->Photo1()->fileName(), pic);
  QCOMPARE(viewer->Photo1()->imagError(), 0);
  QVERIFY(viewer->Photo1()->hDib() != 0);
  QWidget* shown = viewer->Photo1()->widget();
  QVERIFY(shown->isVisible());
  QCOMPARE(shown->size(), QSize(120, 90));
  QCOMPARE(viewer->txtWidth()->text(), QStringLiteral("120"));
  viewer->navigate(viewer::NavCommand::Previous);
  QCOMPARE(storedValue(env.catalogue(), pic, QStringLiteral("Height")).toInt(), 90);
  viewer->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QTEST_MAIN(tst_ViewerProtection)
#include "tst_viewercontrol_protection.moc"
