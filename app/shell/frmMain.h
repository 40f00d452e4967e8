// The main window: a small menu bar docked at the top-right of the work area. It opens the
// other screens (closing the viewer before a set-up screen), keeps itself above other windows
// when asked, and relays the window-state message of lblMessage with the viewer.
#pragma once

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>

#include "base/forms.h"

namespace glim {

class frmMain final : public QMainWindow, public MainFormLink {
  Q_OBJECT
 public:
  frmMain();
  ~frmMain() override;

  // MainFormLink: the hidden state label and closing the viewer.
  QString messageCaption() const override;
  void setMessageCaption(const QString& caption) override;
  void closeViewerIfOpen() override;

  // Shows the captions set-up and waits until its status label reads "Done", then closes it.
  void runSetupToEnd();

  bool isTopmost() const;
  // Top-right corner of the primary screen's work area.
  void placeAtTopRight();

  // The screens the commands open, with the set-up progress each needs.
  enum class Screen {
    Viewer,
    ViewerSlideShow,
    Query,
    QuerySlideShow,
    AddDirs,
    ScanDrive,
    SetupNew,
    Options
  };
  static int progressNeeded(Screen screen);
  // Whether this build has the screen at all (its command is disabled when not).
  // The screen-opening pattern: the set-up progress window when the set-up is not far
  // enough, otherwise close the viewer and show the screen.
  void openScreen(Screen screen);

  // Menu items, by their names.
  QAction* mnuViewAllImagesNonSlideShow;
  QAction* mnuSelectImagesNonSlideShow;
  QAction* mnuBar1;
  QMenu* mnuSlideShowViewing;
  QAction* mnuViewAllImagesSlideShow;
  QAction* mnuSelectImagesSlideShow;
  QAction* mnuAddImagesSpecificFolder;
  QAction* mnuScanEntireDisk;
  QAction* mnuAlwaysOnTop;
  QAction* mnuProgramSetup;
  QAction* mnuProgramOptions;
  QAction* mnuGetStartedTut;
  QAction* mnuQueryTutorial;
  QAction* mnuHelpIndex;
  QAction* mnuOnlineHelp;
  QAction* mnuGlimmoraComments;
  QAction* mnuAbout;
  QAction* mnutarnwickwebsite;
  QAction* mnuGlimmorawebsite;
  QAction* mnuSendComments;
  QAction* mnuExit;

  QLabel* lblMessage;

  // Command handlers.
  void mnuViewAllImagesNonSlideShow_Click();
  void mnuSelectImagesNonSlideShow_Click();
  void mnuViewAllImagesSlideShow_Click();
  void mnuSelectImagesSlideShow_Click();
  void mnuAddImagesSpecificFolder_Click();
  void mnuScanEntireDisk_Click();
  void mnuAlwaysOnTop_Click();
  void mnuProgramSetup_Click();
  void mnuProgramOptions_Click();
  void mnuGetStartedTut_Click();
  void mnuQueryTutorial_Click();
  void mnuHelpIndex_Click();
  void mnuOnlineHelp_Click();
  void mnuGlimmoraComments_Click();
  void mnuAbout_Click();
  void mnutarnwickwebsite_Click();
  void mnuGlimmorawebsite_Click();
  void mnuSendComments_Click();
  void mnuExit_Click();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void buildMenus();
  void Form_Load();
  void lblMessage_Change();
  void setTopmost(bool on);
  void showScreen(Screen screen);
  void showFormsRunStatus();
  void watchScreens();
  QWidget* openViewer() const;

  bool closing_ = false;
};

}  // namespace glim
