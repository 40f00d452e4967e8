// Viewer flows with the real imaging control, checked by what the user sees: dialogs closed by
// Escape or the close box leave the picture as it was, a slide show never stops on a question
// and keeps its context menu open, the picture is laid out inside its area after full screen
// and after edits that change its size, and the editing keys work in the filtered text boxes.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>
#include <functional>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/forms.h"
#include "base/keys.h"
#include "editing/frmResizeMethods.h"
#include "editing/previewdialog.h"
#include "support/testenv.h"
#include "viewer/frmDBScreenTest.h"
#include "viewer/frmWrongPassword.h"
#include "viewer/layout.h"
#include "viewer/slideshow.h"
#include "viewer_helpers.h"

using namespace glim;
using namespace glim::test;
using glim::viewer::SlideClock;

namespace {

QAction* findAction(QWidget* window, const QString& text) {
  for (QAction* action : window->findChildren<QAction*>())
    if (action->text() == text) return action;
  return nullptr;
}

// What the picture control shows.
QImage shown(frmDBScreenTest* viewer) {
  return viewer->Photo1()->widget()->grab().toImage();
}

// Runs `step` on the modal dialog the next command opens, once it runs its own loop. A dialog
// of another kind is closed, so a wrong turn fails the test instead of waiting for a user.
template <class Dialog>
void onDialog(std::function<void(Dialog*)> step, bool* reached) {
  QTimer::singleShot(0, [step, reached] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* dialog = qobject_cast<Dialog*>(modal)) {
      *reached = true;
      step(dialog);
    } else if (auto* other = qobject_cast<QDialog*>(modal)) {
      other->reject();
    }
  });
}

// The control's rectangle in the window, and the picture area the layout rules give it.
QRect photoRect(frmDBScreenTest* viewer) {
  QWidget* photo = viewer->Photo1()->widget();
  return QRect(photo->mapTo(viewer, QPoint(0, 0)), photo->size());
}

QRect areaRect(frmDBScreenTest* viewer) {
  const viewer::PictureArea area = viewer::areaFromState();
  QWidget* host = viewer->Photo1()->widget()->parentWidget();
  return QRect(host->mapTo(viewer, QPoint(int(area.left), int(area.top))),
               QSize(area.width, area.height));
}

QRect positionBarRect(frmDBScreenTest* viewer) {
  QScrollBar* bar = viewer->HScrollPictureMove();
  return QRect(bar->mapTo(viewer, QPoint(0, 0)), bar->size());
}

QRect panelRect(frmDBScreenTest* viewer) {
  QWidget* frame = viewer->fraGeneralPicRatings();
  return QRect(frame->mapTo(viewer, QPoint(0, 0)), frame->size());
}

// A key as the keyboard sends it: editing keys and shortcuts carry control characters
// (Delete "\x7f", Backspace "\b", Ctrl+A "\x01"), arrows carry none.
void press(QWidget* box, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QString text;
  if (modifiers & Qt::ControlModifier)
    text = QString(QChar(char16_t(key - Qt::Key_A + 1)));
  else if (key == Qt::Key_Delete)
    text = QStringLiteral("\x7f");
  else if (key == Qt::Key_Backspace)
    text = QStringLiteral("\b");
  QKeyEvent down(QEvent::KeyPress, key, modifiers, text);
  QKeyEvent up(QEvent::KeyRelease, key, modifiers, text);
  QApplication::sendEvent(box, &down);
  QApplication::sendEvent(box, &up);
}

void closeViewer(frmDBScreenTest* viewer) {
  viewer->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace

class tst_ViewerFlows : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { useImagingControl(); }
  void init();
  void cleanup();

  void previewDialogsCancelOnEscapeAndClose();
  void slideShowDisablesEditingAndNeverAsks();
  void fullScreenReturnsToThePictureShownNow();
  void sizeChangingEditsStayInTheArea();
  void resizeBoxesTakeEditingKeys();
  void passwordBoxesTakeEditingKeys();

 private:
  frmDBScreenTest* openViewer(const QList<QSize>& sizes);
  void runSeconds(frmDBScreenTest* viewer, int from, int to);

  std::unique_ptr<TestEnv> env_;
  std::unique_ptr<ScriptedDialogs> dialogs_;
  QStringList paths_;
  int second_ = 0;
};

void tst_ViewerFlows::init() {
  env_ = std::make_unique<TestEnv>();
  env_->installProgram();
  dialogs_ = std::make_unique<ScriptedDialogs>();
  paths_.clear();
  second_ = 0;
  SlideClock::setSecondSource([this] { return second_; });
}

void tst_ViewerFlows::cleanup() {
  SlideClock::setSecondSource({});
  while (auto* viewer = forms::find<frmDBScreenTest>()) closeViewer(viewer);
  dialogs_.reset();
  env_.reset();
}

frmDBScreenTest* tst_ViewerFlows::openViewer(const QList<QSize>& sizes) {
  QList<PictureRow> rows;
  for (int i = 0; i < sizes.size(); ++i) {
    const QString path = env_->folder(QStringLiteral("pics")) + QStringLiteral("/p%1.png").arg(i);
    if (!writePicture(path, sizes[i].width(), sizes[i].height(), "PNG", QColor(40 * i, 90, 160)))
      qWarning("cannot write a picture");
    paths_.append(path);
    PictureRow row;
    row.path = path;
    rows.append(row);
  }
  if (!writeCatalogue(env_->catalogue(), rows)) qWarning("cannot write the catalogue");
  return forms::get<frmDBScreenTest>();
}

void tst_ViewerFlows::runSeconds(frmDBScreenTest* viewer, int from, int to) {
  for (int s = from; s <= to && viewer->slideShowRunning(); ++s) {
    second_ = s % 60;
    QMetaObject::invokeMethod(&viewer->slideTimer(), "timeout", Qt::DirectConnection);
  }
}

// Escape and the close box end the preview dialogs as Cancel does: the picture shown is the
// one from before the dialog and the undo command is disarmed.
void tst_ViewerFlows::previewDialogsCancelOnEscapeAndClose() {
  frmDBScreenTest* viewer = openViewer({{120, 90}});
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  QAction* undo = findAction(viewer, QStringLiteral("&Undo"));
  QVERIFY(undo);
  const QImage before = shown(viewer);

  // Gamma 10, Preview (the picture brightens), Escape.
  bool reached = false;
  QImage previewed;
  onDialog<frmGamma>(
      [&](frmGamma* dialog) {
        dialog->HScroll1->setValue(2000);
        dialog->cmdPreview->click();
        previewed = shown(viewer);
        QTest::keyClick(dialog, Qt::Key_Escape);
      },
      &reached);
  findAction(viewer, QStringLiteral("Gamma..."))->trigger();
  QVERIFY(reached);
  QVERIFY(previewed != before);
  QCOMPARE(shown(viewer), before);
  QVERIFY(!undo->isEnabled());

  // Brightness arms undo before its dialog; the close box disarms it again.
  reached = false;
  onDialog<frmColor>(
      [&](frmColor* dialog) {
        dialog->HScroll1->setValue(80);
        dialog->cmdPreview->click();
        previewed = shown(viewer);
        dialog->close();
      },
      &reached);
  findAction(viewer, QStringLiteral("&Brightness && Contrast..."))->trigger();
  QVERIFY(reached);
  QVERIFY(previewed != before);
  QCOMPARE(shown(viewer), before);
  QCOMPARE(undo->text(), QStringLiteral("&Undo"));
  QVERIFY(!undo->isEnabled());

  // Resize arms "Undo Resizing"; Escape leaves the picture's size and disarms it.
  reached = false;
  onDialog<frmResizeMethods>(
      [](frmResizeMethods* dialog) {
        dialog->txtPixelWidth->setText(QStringLiteral("60"));
        QTest::keyClick(dialog, Qt::Key_Escape);
      },
      &reached);
  findAction(viewer, QStringLiteral("Resi&ze..."))->trigger();
  QVERIFY(reached);
  QCOMPARE(viewer->Photo1()->iWidth(), 120);
  QCOMPARE(shown(viewer), before);
  QCOMPARE(undo->text(), QStringLiteral("&Undo"));
  QVERIFY(!undo->isEnabled());
  QVERIFY(dialogs_->messages().isEmpty());
}

// A show in normal view: every menu of the window is disabled and the context menu's "Save
// Image As Is" is hidden; edits left from before are settled before the first change, so the
// show never asks; the context menu stays open while the pictures change.
void tst_ViewerFlows::slideShowDisablesEditingAndNeverAsks() {
  keys::writeText(keys::kDftSlideSize, QStringLiteral("Normal"));
  keys::writeText(keys::kStartPic, QStringLiteral("Current"));
  keys::writeInt(keys::kSlideTime, 7);
  frmDBScreenTest* viewer = openViewer({{60, 40}, {50, 40}, {40, 40}});
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  QAction* saveAsIs = viewer->findChild<QAction*>(QStringLiteral("RClickSaveImageAsIs"));
  QVERIFY(saveAsIs);
  const QByteArray firstBytes = readBytes(paths_[0]);

  findAction(viewer, QStringLiteral("&Negative"))->trigger();
  QVERIFY(viewer->chkAltered()->isChecked());
  dialogs_->answer(MsgResult::No);
  second_ = 10;
  viewer->StartShowDefaults_Click();
  QVERIFY(viewer->slideShowRunning());
  QCOMPARE(dialogs_->count(ScriptedDialogs::Kind::Message), 1);
  QCOMPARE(dialogs_->lastText(), QStringLiteral("Save changes to this image?"));

  // Every menu of the menu bar is out of reach; the context menu offers Pause and Stop only.
  for (QAction* menu : viewer->menuBar()->actions())
    QVERIFY2(!menu->isEnabled() || !menu->isVisible(), qPrintable(menu->text()));
  QVERIFY(!saveAsIs->isVisible());
  QVERIFY(viewer->findChild<QAction*>(QStringLiteral("PauseSlides"))->isVisible());
  QVERIFY(viewer->findChild<QAction*>(QStringLiteral("mnuStopSlideShow"))->isVisible());

  viewer->RClickMenu()->popup(viewer->mapToGlobal(QPoint(300, 200)));
  QVERIFY(viewer->RClickMenu()->isVisible());
  runSeconds(viewer, 10, 17);
  QCOMPARE(viewer->Photo1()->fileName(), paths_[1]);
  QVERIFY(viewer->RClickMenu()->isVisible());
  viewer->RClickMenu()->hide();

  runSeconds(viewer, 18, 40);
  QVERIFY(!viewer->slideShowRunning());
  QCOMPARE(viewer->Photo1()->fileName(), paths_[2]);
  QCOMPARE(dialogs_->count(ScriptedDialogs::Kind::Message), 1);
  QCOMPARE(readBytes(paths_[0]), firstBytes);
  for (QAction* menu : viewer->menuBar()->actions())
    if (menu->isVisible()) QVERIFY2(menu->isEnabled(), qPrintable(menu->text()));
  QVERIFY(saveAsIs->isVisible());
}

// Paging in full screen and going back: the control holds the picture shown now, laid out as
// a move lays it out, whether that picture is larger or smaller than the one full screen began
// with; a full-screen show ends the same way.
void tst_ViewerFlows::fullScreenReturnsToThePictureShownNow() {
  frmDBScreenTest* viewer = openViewer({{40, 30}, {1600, 1200}, {64, 48}});
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  const QRect area = areaRect(viewer);
  QCOMPARE(photoRect(viewer).size(), QSize(40, 30));

  viewer->FScreen_Click();
  viewer->navigate(viewer::NavCommand::Next);
  viewer->FScreen_Click();
  QCOMPARE(viewer->Photo1()->fileName(), paths_[1]);
  QCOMPARE(areaRect(viewer), area);
  QCOMPARE(photoRect(viewer).size(), area.size());  // cut to the area, never past it
  QVERIFY(area.contains(photoRect(viewer)));

  viewer->FScreen_Click();
  viewer->navigate(viewer::NavCommand::Next);
  viewer->FScreen_Click();
  QCOMPARE(photoRect(viewer).size(), QSize(64, 48));
  QVERIFY(area.contains(photoRect(viewer)));

  keys::writeText(keys::kDftSlideSize, QStringLiteral("Full"));
  keys::writeText(keys::kStartPic, QStringLiteral("First"));
  keys::writeInt(keys::kSlideTime, 7);
  second_ = 0;
  viewer->StartShowDefaults_Click();
  QVERIFY(viewer->isFullScreen());
  runSeconds(viewer, 0, 7);
  QCOMPARE(viewer->Photo1()->fileName(), paths_[1]);
  viewer->Form_KeyDown(27);  // Escape stops the show on the large picture
  QVERIFY(!viewer->isFullScreen());
  QCOMPARE(photoRect(viewer).size(), area.size());
  QVERIFY(area.contains(photoRect(viewer)));
  QVERIFY(dialogs_->messages().isEmpty());
}

// Rotating and resizing change the picture's size; the control stays inside the picture area,
// clear of the rating panel and the position bar.
void tst_ViewerFlows::sizeChangingEditsStayInTheArea() {
  frmDBScreenTest* viewer = openViewer({{500, 400}});
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  const QRect area = areaRect(viewer);
  auto checkInside = [&](const char* step) {
    const QRect photo = photoRect(viewer);
    QVERIFY2(area.contains(photo), step);
    QVERIFY2(!photo.intersects(positionBarRect(viewer)), step);
    QVERIFY2(!photo.intersects(panelRect(viewer)), step);
  };

  findAction(viewer, QStringLiteral("Rotate 45\u00b0 L&eft"))->trigger();
  QVERIFY(viewer->Photo1()->iWidth() > area.width() || viewer->Photo1()->iHeight() > area.height());
  checkInside("rotate 45");

  bool reached = false;
  onDialog<frmResizeMethods>(
      [](frmResizeMethods* dialog) {
        dialog->chkMaintainAspectRatio->setChecked(false);
        dialog->txtPixelWidth->setText(QStringLiteral("1500"));
        dialog->txtPixelHeight->setText(QStringLiteral("1400"));
        dialog->cmdOK->click();
      },
      &reached);
  findAction(viewer, QStringLiteral("Resi&ze..."))->trigger();
  QVERIFY(reached);
  QCOMPARE(viewer->Photo1()->iWidth(), 1500);
  checkInside("resize larger");

  reached = false;
  onDialog<frmResizeMethods>(
      [](frmResizeMethods* dialog) {
        dialog->txtPixelWidth->setText(QStringLiteral("150"));
        dialog->txtPixelHeight->setText(QStringLiteral("140"));
        dialog->cmdOK->click();
      },
      &reached);
  findAction(viewer, QStringLiteral("Resi&ze..."))->trigger();
  QVERIFY(reached);
  QCOMPARE(photoRect(viewer).size(), QSize(150, 140));
  checkInside("resize smaller");
  QVERIFY(dialogs_->messages().isEmpty());
}

// Only typed characters meet the digits rule: selecting, deleting, copying and pasting work,
// and a click into a box selects its text.
void tst_ViewerFlows::resizeBoxesTakeEditingKeys() {
  frmDBScreenTest* viewer = openViewer({{640, 480}});
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  bool reached = false;
  QString afterDelete, afterTyping, heightAfterTyping, afterPaste, clicked, selectedOnClick;
  onDialog<frmResizeMethods>(
      [&](frmResizeMethods* dialog) {
        QLineEdit* width = dialog->txtPixelWidth;
        width->setFocus();
        press(width, Qt::Key_A, Qt::ControlModifier);
        press(width, Qt::Key_C, Qt::ControlModifier);
        press(width, Qt::Key_Delete);
        afterDelete = width->text();
        QTest::keyClicks(width, QStringLiteral("32x0"));
        press(width, Qt::Key_Backspace);
        QTest::keyClick(width, Qt::Key_0);
        afterTyping = width->text();
        heightAfterTyping = dialog->txtPixelHeight->text();
        QTest::keyClick(width, Qt::Key_Home);
        QTest::keyClick(width, Qt::Key_Right, Qt::ShiftModifier);
        press(width, Qt::Key_X, Qt::ControlModifier);
        QTest::keyClick(width, Qt::Key_End);
        press(width, Qt::Key_V, Qt::ControlModifier);
        afterPaste = width->text();
        QLineEdit* height = dialog->txtPixelHeight;
        QApplication::setActiveWindow(dialog);
        QTest::mouseClick(height, Qt::LeftButton, {}, QPoint(4, height->height() / 2));
        clicked = height->text();
        selectedOnClick = height->selectedText();
        dialog->cmdCancel->click();
      },
      &reached);
  findAction(viewer, QStringLiteral("Resi&ze..."))->trigger();
  QVERIFY(reached);
  QCOMPARE(afterDelete, QString());
  QCOMPARE(afterTyping, QStringLiteral("320"));
  QCOMPARE(heightAfterTyping, QStringLiteral("240"));
  QCOMPARE(afterPaste, QStringLiteral("203"));  // "3" cut to the clipboard, pasted at the end
  QCOMPARE(selectedOnClick, clicked);
  QVERIFY(!clicked.isEmpty());
  QVERIFY(dialogs_->messages().isEmpty());
}

// The password boxes refuse typed punctuation with their messages, and nothing else: Delete,
// Backspace, Ctrl+A and the arrows edit the box without a message and without clearing it.
void tst_ViewerFlows::passwordBoxesTakeEditingKeys() {
  frmDBScreenTest* viewer = openViewer({{40, 30}});
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  QLineEdit* box = viewer->txtPicPassword();
  box->setFocus();
  QTest::keyClicks(box, QStringLiteral("abc1"));
  press(box, Qt::Key_Left);
  press(box, Qt::Key_Delete);
  press(box, Qt::Key_Backspace);
  QCOMPARE(box->text(), QStringLiteral("ab"));
  press(box, Qt::Key_A, Qt::ControlModifier);
  press(box, Qt::Key_Delete);
  QCOMPARE(box->text(), QString());
  QVERIFY(dialogs_->messages().isEmpty());
  QTest::keyClicks(box, QStringLiteral("x!"));
  QCOMPARE(box->text(), QStringLiteral("x"));
  QCOMPARE(dialogs_->count(ScriptedDialogs::Kind::Message), 1);
  QCOMPARE(dialogs_->messages().last().title, QStringLiteral("Invalid Password Character"));

  viewer::frmWrongPassword prompt(QStringLiteral("p.pic"), QStringLiteral("old1"), {});
  auto* current = prompt.findChild<QLineEdit*>(QStringLiteral("Text1"));
  QVERIFY(current);
  press(current, Qt::Key_End);
  press(current, Qt::Key_Backspace);
  press(current, Qt::Key_Home);
  press(current, Qt::Key_Delete);
  QCOMPARE(current->text(), QStringLiteral("ld"));
  press(current, Qt::Key_A, Qt::ControlModifier);
  press(current, Qt::Key_Backspace);
  QCOMPARE(current->text(), QString());
  QTest::keyClicks(current, QStringLiteral("ok"));
  QCOMPARE(dialogs_->count(ScriptedDialogs::Kind::Message), 1);
  QTest::keyClick(current, '#');  // clears the box
  QCOMPARE(current->text(), QString());
  QCOMPARE(dialogs_->count(ScriptedDialogs::Kind::Message), 2);
  QCOMPARE(dialogs_->messages().last().title, QStringLiteral("Invalid Character Entered"));
}

QTEST_MAIN(tst_ViewerFlows)
#include "tst_viewercontrol_flows.moc"
