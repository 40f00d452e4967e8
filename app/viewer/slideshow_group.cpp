#include "viewer/slideshow_group.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QMenu>
#include <QScrollBar>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "viewer/frmDBScreenTest.h"
#include "viewer/frmSlideOptionsDialog.h"

namespace glim::viewer {

namespace {
const QString kPause = QStringLiteral("Pause Slide Show");
const QString kResume = QStringLiteral("Resume Slide Show");
const QString kNormalView = QStringLiteral("Normal View");
const QString kFullScreen = QStringLiteral("Full Screen");
constexpr int kEscape = 27;

QAction* addItem(QMenu* menu, const char* name, const QString& caption) {
  QAction* item = menu->addAction(caption);
  item->setObjectName(QLatin1String(name));
  return item;
}
}  // namespace

void SlideShowGroup::attach(frmDBScreenTest& viewer) {
  viewer_ = &viewer;
  StartShowDefaults_ = addItem(viewer.menuSlideShow(), "StartShowDefaults",
                               QStringLiteral("Start Slides, Using Current Defaults"));
  StartSlidesShowOptions_ = addItem(viewer.menuSlideShow(), "StartSlidesShowOptions",
                                    QStringLiteral("&Show Options First, Then Start"));
  PauseSlides_ = addItem(viewer.RClickMenu(), "PauseSlides", kPause);
  mnuStopSlideShow_ =
      addItem(viewer.RClickMenu(), "mnuStopSlideShow", QStringLiteral("Stop Slide Show"));
  PauseSlides_->setVisible(false);
  mnuStopSlideShow_->setVisible(false);
  QObject::connect(StartShowDefaults_, &QAction::triggered, &viewer,
                   [this] { startSlideShow(*viewer_, true); });
  QObject::connect(StartSlidesShowOptions_, &QAction::triggered, &viewer,
                   [this] { startSlideShow(*viewer_, false); });
  QObject::connect(PauseSlides_, &QAction::triggered, &viewer, [this] { PauseSlides_Click(); });
  QObject::connect(mnuStopSlideShow_, &QAction::triggered, &viewer,
                   [this] { mnuStopSlideShow_Click(); });
  QObject::connect(&viewer.slideTimer(), &QTimer::timeout, &viewer, [this] { Timer1_Timer(); });
}

bool SlideShowGroup::keyDown(frmDBScreenTest& viewer, int key) {
  if (key != kEscape || !viewer.slideShowRunning()) return false;
  stopShow();
  return true;
}

void SlideShowGroup::unloading(frmDBScreenTest& viewer) {
  viewer.slideTimer().stop();
}

// The edit group's "save as is" item, hidden during a show (absent when editing is not built).
QAction* SlideShowGroup::saveImageAsIs() const {
  return viewer_->findChild<QAction*>(QStringLiteral("RClickSaveImageAsIs"));
}

void SlideShowGroup::setSixMenusEnabled(bool enabled) {
  for (QMenu* menu : {viewer_->menuFile(), viewer_->menuView(), viewer_->menuOptions(),
                      viewer_->menuSlideShow(), viewer_->menuToolbar(), viewer_->menuHelp()})
    if (menu) menu->menuAction()->setEnabled(enabled);
}

bool SlideShowGroup::startSlideShow(frmDBScreenTest& viewer, bool withDefaults) {
  if (viewer.slideShowRunning()) return true;
  AppState& state = appState();
  auto* options = new frmSlideOptionsDialog;  // its load fills it from the settings
  if (withDefaults) {
    state.SlideShowOnOpen = false;
    state.ShowWithDefaults = true;
  } else {
    state.ShowWithDefaults = false;
    options->show();
    options->chkAllowChanges()->setChecked(true);
    QEventLoop wait;
    QObject::connect(options, &frmSlideOptionsDialog::decided, &wait, &QEventLoop::quit);
    if (options->chkAllowChanges()->isChecked()) wait.exec();
    if (options->chkCanceled()->isChecked()) {
      delete options;
      return true;
    }
  }
  const QString startPicture = options->startPicture();
  showMode_ = options->showMode();
  const qint16 seconds = options->slideSeconds();
  repeatShow_ = options->repeat();
  delete options;
  if (!viewer_) return true;  // the viewer closed while the options were open

  if (viewer.dtaTest().recordCount() < 2) {
    dialogs().message(QStringLiteral("You do not have enough pictures in this set.  You must have"
                                     "\rat least 2 pictures in a set to begin a slide show."),
                      MsgButtons::OK, MsgIcon::None, kProgramTitle, &viewer);
    return true;
  }
  // Unsaved edits are settled now: once running, a show never stops on a question.
  viewer.offerToSaveEdits();
  if (showMode_ == kFullScreen && !viewer.isFullScreen()) viewer.FScreen_Click();
  QScrollBar* bar = viewer.HScrollPictureMove();
  if (startPicture != QStringLiteral("Current") && !viewer.dtaTest().bof())
    bar->setValue(bar->minimum());
  if (QAction* save = saveImageAsIs()) save->setVisible(false);
  if (showMode_ == kNormalView) setSixMenusEnabled(false);
  clock_.start(seconds);
  PauseSlides_->setText(kPause);
  PauseSlides_->setVisible(true);
  mnuStopSlideShow_->setVisible(true);
  viewer.slideTimer().start();
  return true;
}

void SlideShowGroup::Timer1_Timer() {
  if (!viewer_ || !clock_.tick()) return;
  // A window the user opened from the context menu (rename, move) acts on the picture shown;
  // the show holds that picture until the window is closed.
  if (QApplication::activeModalWidget()) return;
  QScrollBar* bar = viewer_->HScrollPictureMove();
  if (bar->value() < bar->maximum()) {
    bar->setValue(bar->value() + 1);
  } else if (!repeatShow_) {
    stopShow();
  } else if (!viewer_->dtaTest().bof()) {
    bar->setValue(bar->minimum());
  }
}

void SlideShowGroup::PauseSlides_Click() {
  if (PauseSlides_->text() == kPause) {
    viewer_->slideTimer().stop();
    PauseSlides_->setText(kResume);
  } else {
    PauseSlides_->setText(kPause);
    clock_.start(clock_.slideSeconds());
    viewer_->slideTimer().start();
  }
}

void SlideShowGroup::mnuStopSlideShow_Click() {
  AppState& state = appState();
  state.QueryFileStart = false;
  state.QueryCaller.clear();
  state.AutoStartQuery = false;
  stopShow();
  showMode_ = kNormalView;
}

void SlideShowGroup::stopShow() {
  QScrollBar* bar = viewer_->HScrollPictureMove();
  if (viewer_->dtaTest().bof()) bar->setValue(bar->minimum());
  if (QAction* save = saveImageAsIs()) save->setVisible(true);
  if (showMode_ != kNormalView) {
    if (viewer_->isFullScreen()) viewer_->FScreen_Click();
  } else {
    setSixMenusEnabled(true);
  }
  viewer_->slideTimer().stop();
  PauseSlides_->setVisible(false);
  mnuStopSlideShow_->setVisible(false);
}

}  // namespace glim::viewer
