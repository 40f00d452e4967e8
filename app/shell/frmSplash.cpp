#include "shell/frmSplash.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QScreen>

#include "base/appstate.h"
#include "base/keys.h"
#include "catalogue/recordset.h"
#include "shell/credentials.h"
#include "shell/frmTutorial.h"

namespace glim {

namespace {
// The splash picture is 320 x 320; the window leaves a 2-pixel border at creation and a
// 10-pixel one after any later resize.
constexpr int kCreatedSide = 322;
constexpr int kResizedMargin = 10;

bool g_offerTutorial = true;

void showTutorialOffer() {
  if (!g_offerTutorial) return;
  // Shown modally: the splash's load waits until the offer has been answered.
  QPointer<frmTutorial> tutorial = new frmTutorial();
  tutorial->setAttribute(Qt::WA_DeleteOnClose);
  tutorial->setWindowModality(Qt::ApplicationModal);
  tutorial->show();
  while (tutorial && tutorial->isVisible())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  delete tutorial.data();
}
}  // namespace

frmSplash::frmSplash() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("frmSplash"));
  setWindowTitle(QStringLiteral("Glimmora"));
  picture_ = new QLabel(this);
  picture_->setObjectName(QStringLiteral("Image1"));
  const QPixmap pixmap(appState().ProgramFolder + QStringLiteral("splash.jpg"));
  picture_->setPixmap(pixmap);
  picture_->setGeometry(0, 0, pixmap.isNull() ? 320 : pixmap.width(),
                        pixmap.isNull() ? 320 : pixmap.height());
  picture_->installEventFilter(this);
  resize(kCreatedSide, kCreatedSide);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  show();
}

frmSplash::~frmSplash() {
  Form_Unload();
}

void frmSplash::Form_Load() {
  data1_.setDatabaseName(keys::database());
  // Only whether tbl1 has a row matters here: the whole table's keyset would make every
  // start slower as the catalogue grows.
  data1_.setRecordSource(QStringLiteral("SELECT * FROM tbl1 LIMIT 1"));
  data1_.refresh();  // a missing or damaged catalogue is reported by the windows that use it

  credentials::loadCredentials();
  if (appState().HasRunBeforeValue == QStringLiteral("No")) showTutorialOffer();

  QScreen* screen = QGuiApplication::primaryScreen();
  appState().PaletteDisplay = screen && screen->depth() == 8;

  appState().LoginRequired = UseLogin();
  ready_ = true;
}

void frmSplash::setTutorialOfferEnabled(bool enabled) {
  g_offerTutorial = enabled;
}

bool frmSplash::UseLogin() const {
  return credentials::useLogin();
}

void frmSplash::closeWhenReady() {
  while (!ready_) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  close();
}

void frmSplash::keyPressEvent(QKeyEvent*) {
  closeWhenReady();
}
void frmSplash::mousePressEvent(QMouseEvent*) {
  closeWhenReady();
}

bool frmSplash::eventFilter(QObject* watched, QEvent* event) {
  if (watched == picture_ && event->type() == QEvent::MouseButtonPress) {
    closeWhenReady();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void frmSplash::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const QSize wanted = picture_->size() + QSize(kResizedMargin, kResizedMargin);
  if (size() == wanted || size() == QSize(kCreatedSide, kCreatedSide)) return;
  picture_->move(0, picture_->y());
  resize(wanted);
}

void frmSplash::closeEvent(QCloseEvent* event) {
  Form_Unload();
  event->accept();
}

void frmSplash::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  seedStarterRow(data1_, appState().ProgramFolder);
  data1_.detach();
}

bool seedStarterRow(catalogue::DataControl& view, const QString& programFolder) {
  catalogue::Recordset* rows = view.recordset();
  if (!rows || !(rows->bof() && rows->eof())) return false;
  rows->addNew();
  rows->setValue(QStringLiteral("Pathname"), programFolder + QStringLiteral("starterpic.jpg"));
  rows->setValue(QStringLiteral("Extension"), QStringLiteral("jpg"));
  rows->setValue(QStringLiteral("NewFile"), 0);
  rows->setValue(QStringLiteral("FileERROR"), 0);
  rows->setValue(QStringLiteral("Filesize"), 8794);
  rows->setValue(QStringLiteral("Width"), 320);
  rows->setValue(QStringLiteral("Height"), 320);
  rows->setValue(QStringLiteral("Colors"), 27918);
  if (!rows->update()) {
    rows->cancelUpdate();
    return false;
  }
  rows->setBookmark(rows->lastModified());
  return true;
}

}  // namespace glim
