// The viewer's slide show: the "Slide Show" menu's two start commands, pause/resume and stop
// in the context menu, Escape, and Timer1's tick against the clock's second. A show steps the
// position bar, wraps when it repeats, and otherwise stops at the end of the set and puts the
// viewer back into the layout it had.
#pragma once

#include <QPointer>

#include "viewer/extension.h"
#include "viewer/slideshow.h"

class QAction;

namespace glim::viewer {

class SlideShowGroup : public ViewerExtension {
 public:
  void attach(frmDBScreenTest& viewer) override;
  bool keyDown(frmDBScreenTest& viewer, int key) override;
  bool runsSlideShows() const override { return true; }
  bool startSlideShow(frmDBScreenTest& viewer, bool withDefaults) override;
  void unloading(frmDBScreenTest& viewer) override;

  QAction* StartShowDefaults() const { return StartShowDefaults_; }
  QAction* StartSlidesShowOptions() const { return StartSlidesShowOptions_; }
  QAction* PauseSlides() const { return PauseSlides_; }
  QAction* mnuStopSlideShow() const { return mnuStopSlideShow_; }

  void PauseSlides_Click();
  void mnuStopSlideShow_Click();
  void Timer1_Timer();

  QString showMode() const { return showMode_; }
  const SlideClock& clock() const { return clock_; }

 private:
  void stopShow();
  void setSixMenusEnabled(bool enabled);
  QAction* saveImageAsIs() const;

  QPointer<frmDBScreenTest> viewer_;
  QAction* StartShowDefaults_ = nullptr;
  QAction* StartSlidesShowOptions_ = nullptr;
  QAction* PauseSlides_ = nullptr;
  QAction* mnuStopSlideShow_ = nullptr;
  SlideClock clock_;
  QString showMode_ = QStringLiteral("Normal View");
  bool repeatShow_ = false;
};

}  // namespace glim::viewer
