// The viewer's editing commands with the real imaging control: the Image menu arms the undo
// command with the edit's caption, undo disarms it, and the save hot key writes the edited
// picture over its file.
#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

#include "base/dialogs.h"
#include "base/forms.h"
#include "rastrel/rastrel.h"
#include "support/testenv.h"
#include "viewer/frmDBScreenTest.h"
#include "viewer/photo.h"
#include "viewer_helpers.h"

using namespace glim;
using namespace glim::test;

namespace {

QAction* findAction(QWidget* window, const QString& text) {
  for (QAction* action : window->findChildren<QAction*>())
    if (action->text() == text) return action;
  return nullptr;
}

}  // namespace

class tst_ViewerEditing : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { useImagingControl(); }

  void imageMenuEditsUndoesAndSaves() {
    TestEnv env;
    env.installProgram();
    ScriptedDialogs dialogs;
    const QString a = env.folder(QStringLiteral("pics")) + QStringLiteral("/a.png");
    QVERIFY(writePicture(a, 200, 100, "PNG"));
    QVERIFY(writeCatalogue(env.catalogue(), {{a}}));
    const QByteArray original = readBytes(a);
    auto* viewer = forms::get<frmDBScreenTest>();
    QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");

    QAction* mirror = findAction(viewer, QStringLiteral("&Mirror"));
    QAction* undo = findAction(viewer, QStringLiteral("&Undo"));
    QVERIFY(mirror && undo);
    QVERIFY(!undo->isEnabled());
    mirror->trigger();
    QVERIFY(viewer->chkAltered()->isChecked());
    QCOMPARE(undo->text(), QStringLiteral("&Undo Mirror"));
    QVERIFY(undo->isEnabled());
    undo->trigger();
    QCOMPARE(undo->text(), QStringLiteral("&Undo"));
    QVERIFY(!undo->isEnabled());
    QVERIFY(viewer->chkAltered()->isChecked());  // undo leaves the picture marked altered

    // Rotate, then save as is with the hot key: the file now holds a 100 x 200 picture.
    findAction(viewer, QStringLiteral("Rotate 90\u00b0 &Left"))->trigger();
    QVERIFY(viewer->Form_KeyPress('s'));
    QVERIFY(!viewer->chkAltered()->isChecked());
    QVERIFY(readBytes(a) != original);
    QCOMPARE(QImage(a).size(), QSize(100, 200));
    QCOMPARE(viewer->txtWidth()->text(), QStringLiteral("100"));
    viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(dialogs.messages().isEmpty());
  }

  // Leaving an edited picture asks whether to keep the edits: No leaves the file as it was,
  // Yes writes the edited picture over it; either way the next picture starts unaltered.
  void leavingAnEditedPictureOffersToSave() {
    TestEnv env;
    env.installProgram();
    ScriptedDialogs dialogs;
    const QString pics = env.folder(QStringLiteral("pics"));
    const QString a = pics + QStringLiteral("/a.png");
    const QString b = pics + QStringLiteral("/b.png");
    QVERIFY(writePicture(a, 120, 80, "PNG") && writePicture(b, 50, 50, "PNG"));
    QVERIFY(writeCatalogue(env.catalogue(), {{a}, {b}}));
    const QByteArray original = readBytes(a);
    auto* viewer = forms::get<frmDBScreenTest>();
    QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
    viewer->dtaTest().moveFirst();
    QAction* rotate = findAction(viewer, QStringLiteral("Rotate 90\u00b0 &Left"));
    QAction* undo = findAction(viewer, QStringLiteral("&Undo"));
    QVERIFY(rotate && undo);

    rotate->trigger();
    dialogs.answer(MsgResult::No);
    viewer->dtaTest().moveNext();
    QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 1);
    QCOMPARE(dialogs.lastText(), QStringLiteral("Save changes to this image?"));
    QCOMPARE(readBytes(a), original);
    QVERIFY(!viewer->chkAltered()->isChecked());
    QVERIFY(!undo->isEnabled());

    viewer->dtaTest().moveFirst();
    rotate->trigger();
    dialogs.answer(MsgResult::Yes);
    viewer->dtaTest().moveNext();
    QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 2);
    QCOMPARE(QImage(a).size(), QSize(80, 120));
    QVERIFY(!viewer->chkAltered()->isChecked());
    QCOMPARE(viewer->Photo1()->fileName(), b);
    viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // The viewer's controls are created with the properties stored with the form.
  void photosRestoreStoredProperties() {
    TestEnv env;
    env.installProgram();
    ScriptedDialogs dialogs;
    const QString a = env.folder(QStringLiteral("pics")) + QStringLiteral("/a.png");
    QVERIFY(writePicture(a, 60, 40, "PNG"));
    QVERIFY(writeCatalogue(env.catalogue(), {{a}}));
    {
      QWidget holder;
      RastrelControl* stored = createRastrel(&holder);
      QVERIFY(stored);
      stored->setBackColor(0x00123456);
      QVERIFY(stored->saveProperties(viewer::storedPropertiesFile(QStringLiteral("Photo2"))));
    }
    auto* viewer = forms::get<frmDBScreenTest>();
    auto* photo2 = qobject_cast<RastrelControl*>(viewer->Photo2()->widget());
    auto* photo1 = qobject_cast<RastrelControl*>(viewer->Photo1()->widget());
    QVERIFY(photo1 && photo2);
    QCOMPARE(photo2->backColor(), 0x00123456u);
    QVERIFY(photo1->backColor() != 0x00123456u);  // Photo1 has no stored file
    viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
};

QTEST_MAIN(tst_ViewerEditing)
#include "tst_viewercontrol_editing.moc"
