#include "shell/frmMain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/help.h"
#include "base/keys.h"
#include "cataloguing/frmAddDirsToDB.h"
#include "cataloguing/frmScanDrive.h"
#include "cataloguing/frmSetupNew.h"
#include "query/querystart.h"
#include "shell/frmAbout.h"
#include "shell/frmFormsRunStatus.h"
#include "shell/frmOptions.h"
#include "shell/shutdown.h"
#include "viewer/frmDBScreenTest.h"

namespace glim {

namespace {

const QString kAOTNCL = QStringLiteral("AOTNCL");
const QString kNAOTNCL = QStringLiteral("NAOTNCL");
const QString kAOTCL = QStringLiteral("AOTCL");
const QString kNAOTCL = QStringLiteral("NAOTCL");

// 4275 twips at 15 twips a pixel.
constexpr int kDesignWidth = 285;

template <class T>
QWidget* showForm() {
  T* form = forms::get<T>();
  form->show();
  form->raise();
  form->activateWindow();
  return form;
}

bool isViewer(const QWidget* w) {
  return w->objectName() == QStringLiteral("frmDBScreenTest") ||
         QByteArray(w->metaObject()->className()).endsWith("frmDBScreenTest");
}

}  // namespace

frmMain::frmMain() : QMainWindow(nullptr) {
  setObjectName(QStringLiteral("frmMain"));
  setAttribute(Qt::WA_DeleteOnClose);
  forms::track(this);
  lblMessage = new QLabel(this);
  lblMessage->setObjectName(QStringLiteral("lblMessage"));
  lblMessage->hide();
  buildMenus();
  setMainFormLink(this);
  Form_Load();
  watchScreens();
}

frmMain::~frmMain() {
  if (mainFormLink() == this) setMainFormLink(nullptr);
}

void frmMain::buildMenus() {
  QMenuBar* bar = menuBar();
  auto item = [this](QMenu* menu, const QString& caption, const char* name,
                     void (frmMain::*handler)()) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this, handler);
    return action;
  };

  QMenu* viewing = bar->addMenu(QStringLiteral("&Viewing"));
  viewing->setObjectName(QStringLiteral("mnuViewing"));
  mnuViewAllImagesNonSlideShow =
      item(viewing, QStringLiteral("View &All Images In Database"), "mnuViewAllImagesNonSlideShow",
           &frmMain::mnuViewAllImagesNonSlideShow_Click);
  mnuSelectImagesNonSlideShow =
      item(viewing, QStringLiteral("Query Images For Viewing (select by criteria)"),
           "mnuSelectImagesNonSlideShow", &frmMain::mnuSelectImagesNonSlideShow_Click);
  mnuBar1 = viewing->addSeparator();
  mnuBar1->setObjectName(QStringLiteral("mnuBar1"));
  mnuSlideShowViewing = viewing->addMenu(QStringLiteral("&Slide Show"));
  mnuSlideShowViewing->setObjectName(QStringLiteral("mnuSlideShowViewing"));
  mnuViewAllImagesSlideShow =
      item(mnuSlideShowViewing, QStringLiteral("View &All Images In The Database"),
           "mnuViewAllImagesSlideShow", &frmMain::mnuViewAllImagesSlideShow_Click);
  mnuSelectImagesSlideShow =
      item(mnuSlideShowViewing, QStringLiteral("Query Images For Viewing"),
           "mnuSelectImagesSlideShow", &frmMain::mnuSelectImagesSlideShow_Click);

  QMenu* images = bar->addMenu(QStringLiteral("&Images"));
  images->setObjectName(QStringLiteral("mnuImages"));
  mnuAddImagesSpecificFolder =
      item(images, QStringLiteral("Add or Remove Images By Folder"), "mnuAddImagesSpecificFolder",
           &frmMain::mnuAddImagesSpecificFolder_Click);
  mnuScanEntireDisk = item(images, QStringLiteral("Scan System For Images To Add To The Database"),
                           "mnuScanEntireDisk", &frmMain::mnuScanEntireDisk_Click);

  QMenu* options = bar->addMenu(QStringLiteral("&Options"));
  options->setObjectName(QStringLiteral("mnuOptions"));
  mnuAlwaysOnTop = item(options, QStringLiteral("Menu Bar Always On &Top"), "mnuAlwaysOnTop",
                        &frmMain::mnuAlwaysOnTop_Click);
  mnuAlwaysOnTop->setCheckable(true);
  mnuProgramSetup = item(options, QStringLiteral("Program &Setup"), "mnuProgramSetup",
                         &frmMain::mnuProgramSetup_Click);
  mnuProgramOptions = item(options, QStringLiteral("Program &Options"), "mnuProgramOptions",
                           &frmMain::mnuProgramOptions_Click);

  QMenu* helpMenu = bar->addMenu(QStringLiteral("&Help"));
  helpMenu->setObjectName(QStringLiteral("mnuHelp"));
  mnuGetStartedTut = item(helpMenu, QStringLiteral("Getting Started Tutorial"), "mnuGetStartedTut",
                          &frmMain::mnuGetStartedTut_Click);
  mnuQueryTutorial = item(helpMenu, QStringLiteral("Query Tutorial"), "mnuQueryTutorial",
                          &frmMain::mnuQueryTutorial_Click);
  mnuHelpIndex = item(helpMenu, QStringLiteral("Help &Contents"), "mnuHelpIndex",
                      &frmMain::mnuHelpIndex_Click);
  mnuOnlineHelp = item(helpMenu, QStringLiteral("&Online Help (FAQ's, e-mail, etc)"),
                       "mnuOnlineHelp", &frmMain::mnuOnlineHelp_Click);
  mnuGlimmoraComments = item(helpMenu, QStringLiteral("Comment on Glimmora"), "mnuGlimmoraComments",
                             &frmMain::mnuGlimmoraComments_Click);
  mnuAbout = item(helpMenu, QStringLiteral("About Glimmora"), "mnuAbout", &frmMain::mnuAbout_Click);

  QMenu* sites = bar->addMenu(QStringLiteral("&Websites"));
  sites->setObjectName(QStringLiteral("mnuWebsites"));
  mnutarnwickwebsite = item(sites, QStringLiteral("Tarnwick Website"), "mnutarnwickwebsite",
                            &frmMain::mnutarnwickwebsite_Click);
  mnuGlimmorawebsite = item(sites, QStringLiteral("Glimmora 2000 Website"), "mnuGlimmorawebsite",
                            &frmMain::mnuGlimmorawebsite_Click);
  mnuSendComments = item(sites, QStringLiteral("Send Comments on Glimmora"), "mnuSendComments",
                         &frmMain::mnuSendComments_Click);

  // A command of its own on the menu bar.
  mnuExit = bar->addAction(QStringLiteral("E&xit"));
  mnuExit->setObjectName(QStringLiteral("mnuExit"));
  connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);
}

void frmMain::Form_Load() {
  const bool onTop = keys::alwaysOnTop() == 1;
  setTopmost(onTop);
  mnuAlwaysOnTop->setChecked(onTop);
  setMessageCaption(onTop ? kAOTNCL : kNAOTNCL);

  // The design's 4275 x 600 twips, widened when the menu bar needs more room to show every
  // menu on one line.
  const QSize bar = menuBar()->sizeHint();
  setFixedSize(std::max(kDesignWidth, bar.width()), bar.height());
  placeAtTopRight();

  appState().ConfirmDeletes = keys::confirmDeletes();
  setWindowTitle(QStringLiteral("Glimmora 2000"));
}

void frmMain::watchScreens() {
  // The work area moves when panels, resolution or the primary screen change.
  auto watch = [this](QScreen* screen) {
    if (!screen) return;
    connect(screen, &QScreen::availableGeometryChanged, this, &frmMain::placeAtTopRight,
            Qt::UniqueConnection);
    connect(screen, &QScreen::geometryChanged, this, &frmMain::placeAtTopRight,
            Qt::UniqueConnection);
  };
  watch(QGuiApplication::primaryScreen());
  connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, [this, watch](QScreen* s) {
    watch(s);
    placeAtTopRight();
  });
}

void frmMain::placeAtTopRight() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  move(area.x() + area.width() - frameGeometry().width(), area.y());
}

void frmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  placeAtTopRight();
}

bool frmMain::isTopmost() const {
  return windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void frmMain::setTopmost(bool on) {
  // Changes only the stacking class: position and size stay, the window is not activated.
  if (isTopmost() == on) return;
  const bool visible = isVisible();
  const QPoint at = pos();
  setAttribute(Qt::WA_ShowWithoutActivating, true);
  setWindowFlag(Qt::WindowStaysOnTopHint, on);
  if (visible) {
    move(at);
    show();
  }
  setAttribute(Qt::WA_ShowWithoutActivating, false);
}

QString frmMain::messageCaption() const {
  return lblMessage->text();
}

void frmMain::setMessageCaption(const QString& caption) {
  lblMessage->setText(caption);
  lblMessage_Change();
}

QWidget* frmMain::openViewer() const {
  for (QWidget* w : forms::openForms())
    if (isViewer(w)) return w;
  return nullptr;
}

void frmMain::lblMessage_Change() {
  const QString message = lblMessage->text().trimmed();
  QWidget* viewer = openViewer();
  auto bringViewerUp = [viewer] {
    if (!viewer || !viewer->isVisible()) return;
    viewer->raise();
    viewer->activateWindow();
    viewer->setFocus();
  };
  if (message == kAOTCL) {
    setTopmost(false);  // so that the bar does not cover the viewer
    bringViewerUp();
  } else if (message == kNAOTCL) {
    bringViewerUp();
  } else if (message == kAOTNCL) {
    setTopmost(true);
    raise();
  } else if (message == kNAOTNCL) {
    raise();
  }
}

void frmMain::closeViewerIfOpen() {
  if (!appState().ViewerOpen) return;
  if (QPointer<QWidget> viewer = openViewer()) {
    viewer->close();
    delete viewer.data();
  }
  appState().ViewerOpen = false;
}

void frmMain::runSetupToEnd() {
  QPointer<frmSetupNew> setup = static_cast<frmSetupNew*>(showForm<frmSetupNew>());
  while (setup && setup->lblMessage()->text() != QStringLiteral("Done"))
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  if (setup) {
    setup->close();
    delete setup.data();
  }
}

int frmMain::progressNeeded(Screen screen) {
  switch (screen) {
    case Screen::Viewer:
    case Screen::ViewerSlideShow:
    case Screen::Query:
    case Screen::QuerySlideShow:
      return 2;
    case Screen::AddDirs:
      return 1;
    case Screen::ScanDrive:
    case Screen::SetupNew:
    case Screen::Options:
      return 0;
  }
  return 0;
}

void frmMain::showFormsRunStatus() {
  showForm<frmFormsRunStatus>();
}

void frmMain::openScreen(Screen screen) {
  if (appState().FormsRunStat < progressNeeded(screen)) {
    if (screen == Screen::AddDirs) {
      const QString text = QStringLiteral(
          "Before you can add images, you must set up your captions.\r"
          "Go to the captions and paths setup screen now?");
      if (dialogs().message(text, MsgButtons::YesNo, MsgIcon::None,
                            QStringLiteral("Go to Captions Setup?"), this) == MsgResult::Yes)
        openScreen(Screen::SetupNew);
      return;
    }
    showFormsRunStatus();
    return;
  }
  closeViewerIfOpen();
  showScreen(screen);
}

void frmMain::showScreen(Screen screen) {
  AppState& state = appState();
  switch (screen) {
    case Screen::Viewer:
    case Screen::ViewerSlideShow: {
      // The whole catalogue: the viewer opens its configured record source.
      state.QueryCaller.clear();
      auto* viewer = static_cast<frmDBScreenTest*>(showForm<frmDBScreenTest>());
      if (screen == Screen::ViewerSlideShow) viewer->StartShowDefaults_Click();
      break;
    }
    case Screen::Query:
    case Screen::QuerySlideShow:
      query::showQueryBuilder();
      if (screen == Screen::QuerySlideShow) state.SlideShowOnOpen = true;
      break;
    case Screen::AddDirs:
      showForm<frmAddDirsToDB>();
      break;
    case Screen::ScanDrive:
      showForm<frmScanDrive>();
      break;
    case Screen::SetupNew:
      showForm<frmSetupNew>();
      break;
    case Screen::Options:
      showForm<frmOptions>();
      break;
  }
}

void frmMain::mnuViewAllImagesNonSlideShow_Click() {
  openScreen(Screen::Viewer);
}
void frmMain::mnuSelectImagesNonSlideShow_Click() {
  openScreen(Screen::Query);
}
void frmMain::mnuViewAllImagesSlideShow_Click() {
  openScreen(Screen::ViewerSlideShow);
}
void frmMain::mnuSelectImagesSlideShow_Click() {
  openScreen(Screen::QuerySlideShow);
}
void frmMain::mnuAddImagesSpecificFolder_Click() {
  openScreen(Screen::AddDirs);
}
void frmMain::mnuScanEntireDisk_Click() {
  openScreen(Screen::ScanDrive);
}
void frmMain::mnuProgramSetup_Click() {
  openScreen(Screen::SetupNew);
}
void frmMain::mnuProgramOptions_Click() {
  openScreen(Screen::Options);
}

void frmMain::mnuAlwaysOnTop_Click() {
  // The action has already toggled its own check mark.
  const bool on = mnuAlwaysOnTop->isChecked();
  keys::writeText(keys::kAlwaysOnTop, on ? QStringLiteral("1") : QStringLiteral("0"));
  setTopmost(on);
  setMessageCaption(on ? kAOTNCL : kNAOTNCL);
}

void frmMain::mnuGetStartedTut_Click() {
  help::showTopic(appState().HelpFile, 2);
}
void frmMain::mnuQueryTutorial_Click() {
  help::showTopic(appState().QueryHelpFile, 1);
}
void frmMain::mnuHelpIndex_Click() {
  help::showContents(appState().HelpFile);
}
// The maker's web pages are pages of the local help.
void frmMain::mnuOnlineHelp_Click() {
  help::showPage(appState().HelpFile, QStringLiteral("online"));
}
void frmMain::mnuGlimmoraComments_Click() {
  help::showPage(appState().HelpFile, QStringLiteral("comments"));
}
void frmMain::mnutarnwickwebsite_Click() {
  help::showPage(appState().HelpFile, QStringLiteral("tarnwick"));
}
void frmMain::mnuGlimmorawebsite_Click() {
  help::showPage(appState().HelpFile, QStringLiteral("glimmora"));
}
void frmMain::mnuSendComments_Click() {
  mnuGlimmoraComments_Click();
}
void frmMain::mnuAbout_Click() {
  showForm<frmAbout>();
}

void frmMain::mnuExit_Click() {
  shutdown::exitProgram();
}

void frmMain::closeEvent(QCloseEvent* event) {
  if (closing_) return QMainWindow::closeEvent(event);
  closing_ = true;
  shutdown::closeOtherWindows(this);
  event->accept();
  shutdown::endProcess(0);
}

}  // namespace glim
