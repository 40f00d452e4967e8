// The viewer's picture area on the form: normal layout, sizing and centring the picture,
// zoom, full screen, resizing and display changes.
#include <QGroupBox>
#include <QGuiApplication>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>

#include "base/appstate.h"
#include "base/textnum.h"
#include "viewer/frmDBScreenTest.h"

namespace glim {

using namespace viewer;

void frmDBScreenTest::setGeometryOf(QWidget* widget, const Geometry& geometry) {
  if (widget) widget->setGeometry(geometry.toRect());
}

void frmDBScreenTest::LayoutViewer() {
  QWidget* photo = Photo1_ ? Photo1_->widget() : nullptr;
  if (isMinimized()) {
    if (photo) photo->hide();
    showNormal();
  }
  if (layout()) layout()->activate();
  if (fullScreen_) {
    // The display changed while in full screen: the picture keeps covering the screen.
    const QSize screenSize = screen() ? screen()->geometry().size() : size();
    storeArea(fullScreenArea(screenSize));
    setGeometryOf(photo, Geometry::fromRect(QRect(QPoint(0, 0), screenSize)));
    ShapeBackground_->setGeometry(QRect(QPoint(0, 0), screenSize));
    return;
  }
  const QSize client = centralWidget()->size();
  const NormalLayout normal = normalLayout(client.width(), client.height());
  setGeometryOf(photo, normal.photo);
  setGeometryOf(ShapeBackground_, normal.photo);
  PictureArea current = area();
  current.width = normal.areaWidth;
  current.height = normal.areaHeight;
  storeArea(current);
  leftPanel_->setGeometry(0, 0, int(kNormalLeft) - 2, std::max(0, client.height() - 22));
  if (screen()) move(centredFormLeft(screen()->geometry().width(), frameGeometry().width()), y());
  laidOutClientSize_ = client;
  if (photo) photo->show();
}

void frmDBScreenTest::PhotoSize() {
  if (!Photo1_) return;
  // A show changes pictures under the context menu; its Pause and Stop must stay reachable.
  if (RClickMenu_->isVisible() && !slideShowRunning()) RClickMenu_->hide();
  QWidget* photo = Photo1_->widget();
  photo->hide();
  setGeometryOf(photo, centredGeometry(area(), storedSize(txtWidth_), storedSize(txtHeight_)));
  photo->show();
  Photo1_->refresh();
}

void frmDBScreenTest::CenterPicture() {
  if (!Photo1_) return;
  QWidget* photo = Photo1_->widget();
  // A control as large as the area is cut to it rather than centred, so that it never spills
  // over the panels beside the area or the position bar below it.
  setGeometryOf(photo, pictureGeometry(area(), qint16(std::min(photo->width(), 32767)),
                                       qint16(std::min(photo->height(), 32767))));
}

void frmDBScreenTest::placeShownPicture() {
  if (!Photo1_ || Photo1_->fileName().isEmpty()) return;
  if (Zoomed) {
    Zoomed = false;
    Photo1_->setScrollBars(ScrollBarsMode::None);
    Photo1_->zoom(1.0);
  }
  QWidget* photo = Photo1_->widget();
  const bool stock = Photo1_->fileName() != textnum::trim(txtImagePath_->text());
  const QSize size = stock ? stockSize_ : QSize(Photo1_->iWidth(), Photo1_->iHeight());
  setGeometryOf(photo, pictureGeometry(area(), qint16(std::clamp(size.width(), 0, 32767)),
                                       qint16(std::clamp(size.height(), 0, 32767))));
  photo->show();
  Photo1_->refresh();
}

void frmDBScreenTest::ZoomPicture(double factor) {
  if (!Photo1_ || Photo1_->fileName().isEmpty()) return;
  const ZoomLayout zoomed =
      zoomLayout(area(), storedSize(txtWidth_), storedSize(txtHeight_), factor);
  Zoomed = true;
  setGeometryOf(Photo1_->widget(), zoomed.photo);
  if (zoomed.scrollBars != ScrollBarsMode::None) Photo1_->setScrollBars(zoomed.scrollBars);
  Photo1_->zoom(factor);
  if (isReducingZoom(factor)) {
    if (factor == 0.751) Photo1_->refresh();
    CenterPicture();
  }
}

void frmDBScreenTest::Unzoom() {
  if (!Zoomed || !Photo1_) return;
  if (!Photo1_->fileName().isEmpty()) {
    Photo1_->zoom(1.0);
    CenterPicture();
  }
  Photo1_->setScrollBars(ScrollBarsMode::None);
  Photo1_->setAutoSize(AutoSizeMode::ResizePreserveAspect);
  // The control takes the picture's own size, placed as a move places it: centred when it
  // fits the area, else at the area's corner and cut to it (never spilling past the area).
  QWidget* photo = Photo1_->widget();
  setGeometryOf(photo, pictureGeometry(area(), qint16(std::min(Photo1_->iWidth(), 32767)),
                                       qint16(std::min(Photo1_->iHeight(), 32767))));
  photo->show();
  Photo1_->refresh();
  Zoomed = false;
}

void frmDBScreenTest::FScreen_Click() {
  QWidget* photo = Photo1_ ? Photo1_->widget() : nullptr;
  if (!fullScreen_) {
    FScreen_->setText(QStringLiteral("Normal Size"));
    if (photo) photo->hide();
    SSTab1_->hide();
    savedNormal_.photo = photo ? photo->geometry() : QRect();
    savedNormal_.background = ShapeBackground_->geometry();
    savedNormal_.area = area();
    menuBar()->hide();
    RClickMenu_->hide();
    fullScreen_ = true;
    normalWindowGeometry_ = geometry();
    showFullScreen();
    // Without a window manager that honours the full-screen state the window is placed over
    // the screen itself.
    if (screen() && geometry() != screen()->geometry()) setGeometry(screen()->geometry());
    const QSize screenSize = screen() ? screen()->geometry().size() : size();
    const QRect whole(QPoint(0, 0), screenSize);
    if (photo) photo->setGeometry(whole);
    ShapeBackground_->setGeometry(whole);
    leftPanel_->hide();
    HScrollPictureMove_->hide();
    if (photo) {
      photo->raise();
      photo->show();
    }
    storeArea(fullScreenArea(screenSize));
    return;
  }
  FScreen_->setText(QStringLiteral("Full Screen"));
  fullScreen_ = false;
  showNormal();
  if (normalWindowGeometry_.isValid()) setGeometry(normalWindowGeometry_);
  menuBar()->show();
  ShapeBackground_->setGeometry(savedNormal_.background);
  if (photo) photo->setGeometry(savedNormal_.photo);
  storeArea(savedNormal_.area);
  leftPanel_->show();
  for (QGroupBox* frame :
       {fraGeneralPicRatings_, fraThemes_, fraPicSecurity_, fraPictureOptions_, fraPicInfo_})
    frame->show();
  HScrollPictureMove_->show();
  if (photo) photo->show();
  SSTab1_->show();
  // Paging in full screen changed the picture: lay out the one shown now, not the one that
  // was shown when full screen began.
  placeShownPicture();
}

void frmDBScreenTest::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  Form_Resize();
}

void frmDBScreenTest::Form_Resize() {
  const QSize client = centralWidget() ? centralWidget()->size() : size();
  HScrollPictureMove_->move(client.width() - 144, client.height() - 18);
  mnuToggleImageInformation_->setEnabled(ScreenHeightPixels >= 600);
  // A window the user resized lays its picture area out again once the size has settled;
  // the switches to and from full screen restore their own geometry instead.
  if (!loading_ && !fullScreen_ && laidOutClientSize_.isValid())
    QTimer::singleShot(0, this, &frmDBScreenTest::relayoutForNewSize);
}

void frmDBScreenTest::relayoutForNewSize() {
  if (fullScreen_ || closing_ || !centralWidget()) return;
  const QSize client = centralWidget()->size();
  if (client == laidOutClientSize_) return;
  const NormalLayout normal = normalLayout(client.width(), client.height());
  PictureArea current = area();
  current.width = normal.areaWidth;
  current.height = normal.areaHeight;
  storeArea(current);
  setGeometryOf(ShapeBackground_, normal.photo);
  leftPanel_->setGeometry(0, 0, int(kNormalLeft) - 2, std::max(0, client.height() - 22));
  laidOutClientSize_ = client;
  placeShownPicture();
}

void frmDBScreenTest::SysInfo1_DisplayChanged() {
  LayoutViewer();
  appState().PaletteDisplay = screen() && screen()->depth() == 8;
  applyPalette();
}

void frmDBScreenTest::applyPalette() {
  if (!Photo1_) return;
  const bool palette = appState().PaletteDisplay;
  Photo1_->applyPalette(paletteValues(palette));
  if (palette) Photo1_->widget()->raise();
  Photo1_->refresh();
}

}  // namespace glim
