// The wipe and symbolic links, with the real imaging control: a catalogued link is refused
// with a message naming its target; the target keeps every byte and the link stays, so
// nothing is left blanked behind the user's back.
#include <QtTest>

#include <sys/stat.h>

#include <QLineEdit>
#include <QPushButton>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/forms.h"
#include "support/testenv.h"
#include "viewer/fileops.h"
#include "viewer/frmDBScreenTest.h"
#include "viewer_helpers.h"

using namespace glim;
using namespace glim::test;

namespace {

bool isLink(const QString& path) {
  struct stat st {};
  return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

class tst_ViewerWipe : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { useImagingControl(); }
  void wipeRefusesALink();
  void viewerWipeOfALinkKeepsBoth();
};

void tst_ViewerWipe::wipeRefusesALink() {
  TestEnv env;
  const QString target = env.folder(QStringLiteral("elsewhere")) + QStringLiteral("/real.jpg");
  const QString link = env.folder(QStringLiteral("pics")) + QStringLiteral("/link.jpg");
  QVERIFY(writePicture(target, 64, 48, "JPG"));
  QVERIFY(QFile::link(target, link));
  const QByteArray before = readBytes(target);

  const viewer::fileops::Failure failure = viewer::fileops::wipeFile(link);
  QCOMPARE(failure, link + QStringLiteral(" is a link to ") + target +
                        QStringLiteral(". Glimmora does not wipe through links; nothing was "
                                       "wiped."));
  QCOMPARE(readBytes(target), before);
  QVERIFY(isLink(link));
  // A plain file is still wiped and removed.
  QVERIFY(viewer::fileops::wipeFile(target).isEmpty());
  QVERIFY(!QFileInfo::exists(target));
}

void tst_ViewerWipe::viewerWipeOfALinkKeepsBoth() {
  TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;
  const QString target = env.folder(QStringLiteral("elsewhere")) + QStringLiteral("/real.jpg");
  const QString link = env.folder(QStringLiteral("pics")) + QStringLiteral("/link.jpg");
  const QString other = env.folder(QStringLiteral("pics")) + QStringLiteral("/other.jpg");
  QVERIFY(writePicture(target, 120, 90, "JPG"));
  QVERIFY(writePicture(other, 80, 60, "JPG", QColor(30, 90, 200)));
  QVERIFY(QFile::link(target, link));
  const QByteArray before = readBytes(target);
  QVERIFY(writeCatalogue(env.catalogue(), {{link}, {other}}));

  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  QCOMPARE(viewer->Photo1()->fileName(), link);
  QCOMPARE(viewer->Photo1()->imagError(), 0);
  appState().ConfirmDeletes = false;
  auto* wipe = viewer->findChild<QPushButton*>(QStringLiteral("cmdWipe"));
  QVERIFY(wipe);
  viewer->armedButtons().armAndClick(wipe);

  QCOMPARE(dialogs.messages().size(), 1);
  QCOMPARE(dialogs.messages().first().title, QStringLiteral("Wipe Failed"));
  QVERIFY(dialogs.messages().first().text.startsWith(link + QStringLiteral(" is a link to ")));
  QCOMPARE(readBytes(target), before);
  QVERIFY(isLink(link));
  // The picture stays shown and catalogued.
  QCOMPARE(viewer->Photo1()->fileName(), link);
  QVERIFY(viewer->txtStatus()->text() != QStringLiteral("Missing"));
  viewer->close();
  QCOMPARE(storedRowCount(env.catalogue()), 2);
  QCOMPARE(storedValue(env.catalogue(), link, QStringLiteral("Pathname")).toString(), link);
}

QTEST_MAIN(tst_ViewerWipe)
#include "tst_viewercontrol_wipe.moc"
