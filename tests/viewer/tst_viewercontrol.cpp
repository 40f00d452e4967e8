// The viewer with the real imaging control loaded from the program folder: what the control
// reports for real picture files reaches the catalogue row.
#include <QtTest>

#include <QCheckBox>
#include <QLineEdit>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/forms.h"
#include "base/textnum.h"
#include "support/testenv.h"
#include "viewer/frmDBScreenTest.h"
#include "viewer_helpers.h"

using namespace glim;
using namespace glim::test;

class tst_ViewerControl : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { useImagingControl(); }
  void firstShowingThroughTheControl();
  void unreadableFilesShowTheDamagedPicture_data();
  void unreadableFilesShowTheDamagedPicture();
  void newerFormatsShown();
};

void tst_ViewerControl::firstShowingThroughTheControl() {
  TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;
  const QString a = env.folder(QStringLiteral("pics")) + QStringLiteral("/a.png");
  const QString b = env.folder(QStringLiteral("pics")) + QStringLiteral("/b.jpg");
  QVERIFY(writePicture(a, 320, 100, "PNG"));
  QVERIFY(writePicture(b, 160, 120, "JPG"));
  QVERIFY(writeCatalogue(env.catalogue(), {{a}, {b}}));
  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  QCOMPARE(viewer->Photo1()->fileName(), a);
  QCOMPARE(viewer->txtWidth()->text(), QStringLiteral("320"));
  QCOMPARE(viewer->txtHeight()->text(), QStringLiteral("100"));
  QCOMPARE(viewer->txtRatio()->text(), QStringLiteral("3.2"));
  QVERIFY(viewer->chkBannerSize()->isChecked());
  QCOMPARE(viewer->txtFileSize()->text(), QString::number(QFileInfo(a).size()));
  // The colours are counted once the picture is on screen.
  QTRY_VERIFY(viewer->txtColors()->text().toInt() > 100);
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(viewer->txtBits()->text(), QStringLiteral("24"));
  viewer->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCOMPARE(storedValue(env.catalogue(), b, QStringLiteral("Width")).toInt(), 160);
  QCOMPARE(storedValue(env.catalogue(), b, QStringLiteral("NewFile")).toInt(), 0);
  QVERIFY(dialogs.messages().isEmpty());
}

void tst_ViewerControl::unreadableFilesShowTheDamagedPicture_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::newRow("not a picture") << QByteArray("plain text, no picture at all");
  QTest::newRow("empty file") << QByteArray();
}

void tst_ViewerControl::unreadableFilesShowTheDamagedPicture() {
  QFETCH(QByteArray, bytes);
  TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;
  const QString a = env.folder(QStringLiteral("pics")) + QStringLiteral("/a.png");
  QVERIFY(writePicture(a, 40, 30, "PNG"));
  const QString cut = env.folder(QStringLiteral("pics")) + QStringLiteral("/cut.jpg");
  QVERIFY(writePicture(cut, 400, 300, "JPG"));
  const QString bad = env.folder(QStringLiteral("pics")) + QStringLiteral("/bad.jpg");
  QVERIFY(writeBytes(bad, bytes));
  const QByteArray whole = readBytes(cut);
  QVERIFY(writeBytes(cut, whole.left(whole.size() / 2)));
  QVERIFY(writeCatalogue(env.catalogue(), {{a}, {bad}, {cut}}));
  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY(viewer->Photo1());
  const QString damaged = env.programFolder() + QStringLiteral("DamagedImage.jpg");
  for (int i = 0; i < 2; ++i) {
    viewer->navigate(viewer::NavCommand::Next);
    QVERIFY(viewer->txtFileErrorNumber()->text().toInt() < 0);
    QCOMPARE(viewer->Photo1()->fileName(), damaged);
  }
  QVERIFY(dialogs.messages().isEmpty());
  viewer->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QVERIFY(storedValue(env.catalogue(), bad, QStringLiteral("FileERROR")).toInt() < 0);
  QCOMPARE(storedValue(env.catalogue(), bad, QStringLiteral("Width")).toInt(), 0);
}

QTEST_MAIN(tst_ViewerControl)
// A WebP photo and a Windows icon (pictures made by Pillow) show through the control, and
// their sizes reach the catalogue rows.
void tst_ViewerControl::newerFormatsShown() {
  TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;
  const QString folder = env.folder(QStringLiteral("pics")) + u'/';
  const QString script = QStringLiteral(
      "from PIL import Image\n"
      "import sys\n"
      "Image.new('RGB', (90, 60), (200, 40, 10)).save(sys.argv[1] + "
      "'p.webp', quality=90)\n"
      "Image.new('RGBA', (32, 32), (0, 90, 200, 255)).save(sys.argv[1] + "
      "'i.ico', sizes=[(32, 32)])\n");
  if (QProcess::execute(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral("-c"), script, folder}) != 0)
    QSKIP("Pillow with WebP is not installed");
  const QString webp = folder + QStringLiteral("p.webp");
  const QString ico = folder + QStringLiteral("i.ico");
  QVERIFY(writeCatalogue(env.catalogue(), {{webp}, {ico}}));
  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY(viewer->Photo1());
  QCOMPARE(viewer->Photo1()->fileName(), webp);
  QCOMPARE(viewer->txtWidth()->text(), QStringLiteral("90"));
  QCOMPARE(viewer->txtHeight()->text(), QStringLiteral("60"));
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(viewer->Photo1()->fileName(), ico);
  QCOMPARE(viewer->txtWidth()->text(), QStringLiteral("32"));
  viewer->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCOMPARE(storedValue(env.catalogue(), webp, QStringLiteral("Width")).toInt(), 90);
  QCOMPARE(storedValue(env.catalogue(), ico, QStringLiteral("Height")).toInt(), 32);
  QVERIFY(dialogs.messages().isEmpty());
}

#include "tst_viewercontrol.moc"
