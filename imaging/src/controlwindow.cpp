#include "controlwindow.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include "control.h"
#include "objects.h"

namespace rastrel::impl {

namespace {

// Window message numbers the engine's message call understands.
constexpr uint32_t WM_KEYDOWN = 0x100, WM_KEYUP = 0x101, WM_CHAR = 0x102;
constexpr uint32_t WM_MOUSEMOVE = 0x200;
constexpr uint32_t WM_LBUTTONDOWN = 0x201, WM_RBUTTONDOWN = 0x204, WM_MBUTTONDOWN = 0x207;
constexpr uint32_t WM_SIZE = 5;
// Offsets from the *BUTTONDOWN message: up, double click.
constexpr uint32_t kUp = 1, kDblClk = 2;

uint32_t downMessage(Qt::MouseButton button) {
  switch (button) {
    case Qt::RightButton:
      return WM_RBUTTONDOWN;
    case Qt::MiddleButton:
      return WM_MBUTTONDOWN;
    default:
      return WM_LBUTTONDOWN;
  }
}

uint8_t flagOf(Qt::MouseButton button) {
  return button == Qt::RightButton ? 2 : button == Qt::MiddleButton ? 4 : 1;
}

intptr_t pointParam(int32_t x, int32_t y) {
  return intptr_t(uint32_t(uint16_t(int16_t(x))) | (uint32_t(uint16_t(int16_t(y))) << 16));
}

// The system cursors for MousePointer values: 0-15 the standard pointers, the picture pointers
// of 16-43 the nearest standard one.
Qt::CursorShape cursorFor(int16_t pointer) {
  switch (pointer) {
    case 2:   // cross
    case 13:  // brush
    case 30:  // magnify
    case 35:  // pencils
    case 36:
    case 40:  // wand
      return Qt::CrossCursor;
    case 3:
      return Qt::IBeamCursor;
    case 5:
    case 43:
      return Qt::SizeAllCursor;
    case 6:
      return Qt::SizeBDiagCursor;
    case 7:
      return Qt::SizeVerCursor;
    case 8:
      return Qt::SizeFDiagCursor;
    case 9:
      return Qt::SizeHorCursor;
    case 10:
      return Qt::UpArrowCursor;
    case 11:
    case 15:  // clock
      return Qt::WaitCursor;
    case 41:  // arrow and hourglass
      return Qt::BusyCursor;
    case 14:  // button push, hands
    case 19:
    case 20:
    case 21:
    case 22:
    case 23:
    case 24:
    case 25:
      return Qt::PointingHandCursor;
    case 16:  // cup hands
    case 17:
      return Qt::OpenHandCursor;
    case 26:  // help, question
    case 27:
    case 38:
    case 39:
    case 42:
      return Qt::WhatsThisCursor;
    case 32:  // no drop
    case 33:
    case 34:
      return Qt::ForbiddenCursor;
    default:
      return Qt::ArrowCursor;
  }
}

}  // namespace

ControlWindow::ControlWindow(Control* control, QWidget* parent)
    : QWidget(parent),
      control_(control),
      hbar_(new QScrollBar(Qt::Horizontal, this)),
      vbar_(new QScrollBar(Qt::Vertical, this)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);  // mouse moves without a button, as the window messages have them
  setFocusPolicy(Qt::StrongFocus);
  hbar_->hide();
  vbar_->hide();
  connect(hbar_, &QScrollBar::valueChanged, this, [this](int v) { scrolled(false, v); });
  connect(vbar_, &QScrollBar::valueChanged, this, [this](int v) { scrolled(true, v); });
  notifyTimer_.setSingleShot(true);
  connect(&notifyTimer_, &QTimer::timeout, this, [this] {
    notifyTimer_.stop();  // kill the timer first, then fire Notify
    if (control_) control_->fireEvent(eventid::Notify, {});
  });
}

ControlWindow::~ControlWindow() = default;

int16_t ControlWindow::buttonCode(Qt::MouseButtons buttons) {
  if (buttons & Qt::RightButton) return kButtonRight;
  if (buttons & Qt::MiddleButton) return kButtonMiddle;
  if (buttons & Qt::LeftButton) return kButtonLeft;
  return 0;
}

int16_t ControlWindow::shiftCode(Qt::KeyboardModifiers modifiers) {
  int16_t code = 0;
  if (modifiers & Qt::ShiftModifier) code |= kShiftMask;
  if (modifiers & Qt::ControlModifier) code |= kCtrlMask;
  if (modifiers & Qt::AltModifier) code |= kAltMask;
  return code;
}

QRect ControlWindow::clientRect() const {
  QRect r = rect();
  if (vbar_->isVisible()) r.setRight(r.right() - vbar_->width());
  if (hbar_->isVisible()) r.setBottom(r.bottom() - hbar_->height());
  return r;
}

void ControlWindow::syncScrollBars() {
  if (!control_) return;
  const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  CV_SetClientSize(control_->engine(), width(), height(), extent);
  CV_SCROLLINFO h{}, v{};
  CV_GetScrollInfo(control_->engine(), 0, &h);
  CV_GetScrollInfo(control_->engine(), 1, &v);
  syncing_ = true;
  const int hBottom = height() - (h.visible ? extent : 0);
  const int vRight = width() - (v.visible ? extent : 0);
  hbar_->setVisible(h.visible != 0);
  vbar_->setVisible(v.visible != 0);
  hbar_->setGeometry(0, hBottom, vRight, extent);
  vbar_->setGeometry(vRight, 0, extent, hBottom);
  for (auto [bar, info] : {std::pair{hbar_, h}, std::pair{vbar_, v}}) {
    bar->setRange(0, std::max(0, info.maximum));
    bar->setPageStep(std::max(1, info.page));
    bar->setSingleStep(std::max(1, info.smallChange));
    bar->setPageStep(std::max(1, info.largeChange > 0 ? info.largeChange : info.page));
    bar->setValue(info.position);
  }
  syncing_ = false;
}

void ControlWindow::scrolled(bool vertical, int value) {
  if (syncing_ || !control_) return;
  if (vertical) CV_SetScrollY(control_->engine(), value);
  if (!vertical) CV_SetScrollX(control_->engine(), value);
  update();
}

void ControlWindow::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect client = clientRect();
  const QRect area = event->rect() & client;
  if (hbar_->isVisible() && vbar_->isVisible())
    painter.fillRect(QRect(client.right() + 1, client.bottom() + 1, width(), height()),
                     palette().button());
  if (area.isEmpty() || !control_) return;
  QImage image(area.size(), QImage::Format_RGB32);
  const CV_RECT r{area.left(), area.top(), area.right() + 1, area.bottom() + 1};
  CV_Draw(control_->engine(), reinterpret_cast<uint32_t*>(image.bits()),
          int32_t(image.bytesPerLine()), &r);
  painter.drawImage(area.topLeft(), image);
  drawBorder(painter);
  // After drawing, the window follows the picture's size where the engine asks for it.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (control_) control_->checkPositionRect();
      },
      Qt::QueuedConnection);
}

// BorderType: 1 inset, 2 raised, 3 flat (a one-pixel line), 0 none.
void ControlWindow::drawBorder(QPainter& painter) {
  const int16_t type = control_->propertyI2(dispid::BorderType);
  if (type <= 0 || type > 3) return;
  const QRect r = clientRect().adjusted(0, 0, -1, -1);
  if (type == 3) {
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(r);
    return;
  }
  const QColor dark = palette().color(QPalette::Dark), light = palette().color(QPalette::Light);
  const QColor topLeft = type == 1 ? dark : light, bottomRight = type == 1 ? light : dark;
  painter.setPen(topLeft);
  painter.drawLine(r.topLeft(), r.topRight());
  painter.drawLine(r.topLeft(), r.bottomLeft());
  painter.setPen(bottomRight);
  painter.drawLine(r.bottomLeft(), r.bottomRight());
  painter.drawLine(r.topRight(), r.bottomRight());
}

void ControlWindow::resizeEvent(QResizeEvent*) {
  if (!control_) return;
  CV_WindowMessage(control_->engine(), impl::windowHandle(this), WM_SIZE, 0,
                   pointParam(width(), height()));
  syncScrollBars();
  update();
}

ControlWindow::MouseArgs ControlWindow::argsOf(QMouseEvent* event, bool withChangedButton) const {
  MouseArgs a;
  Qt::MouseButtons held = event->buttons();
  // A release reports the button released, which is no longer among the held ones.
  if (withChangedButton) held |= event->button();
  a.button = buttonCode(held);
  a.shift = shiftCode(event->modifiers());
  const QPoint p = event->position().toPoint();
  a.x = int16_t(p.x());  // signed 16-bit client coordinates
  a.y = int16_t(p.y());
  return a;
}

bool ControlWindow::engineConsumes(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (!control_) return false;
  return CV_WindowMessage(control_->engine(), impl::windowHandle(this), message, wParam, lParam) !=
         -1;
}

void ControlWindow::fireMouse(int32_t dispid, const MouseArgs& a) {
  if (control_)
    control_->fireEvent(
        dispid, {Variant::i2(a.button), Variant::i2(a.shift), Variant::i4(a.x), Variant::i4(a.y)});
}

void ControlWindow::flushPendingDown() {
  if (!pendingDown_) return;
  pendingDown_ = false;
  fireMouse(eventid::MouseDown, pendingArgs_);
}

void ControlWindow::mousePressEvent(QMouseEvent* event) {
  if (!control_ || !control_->runMode()) return;
  flushPendingDown();
  const MouseArgs a = argsOf(event, true);
  if (engineConsumes(downMessage(event->button()), uintptr_t(a.button), pointParam(a.x, a.y)))
    return;
  pendingDown_ = true;
  pendingArgs_ = a;
  QMetaObject::invokeMethod(this, &ControlWindow::flushPendingDown, Qt::QueuedConnection);
}

void ControlWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  if (!control_ || !control_->runMode()) return;
  pendingDown_ = false;  // the press of a double click is reported as DblClick alone
  const MouseArgs a = argsOf(event, true);
  if (engineConsumes(downMessage(event->button()) + kDblClk, uintptr_t(a.button),
                     pointParam(a.x, a.y)))
    return;
  doubleClickFlags_ |= flagOf(event->button());
  control_->fireEvent(eventid::DblClick, {});
}

void ControlWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (!control_) return;
  flushPendingDown();
  const MouseArgs a = argsOf(event, true);
  if (engineConsumes(downMessage(event->button()) + kUp, uintptr_t(a.button), pointParam(a.x, a.y)))
    return;
  const uint8_t flag = flagOf(event->button());
  const bool afterDoubleClick = doubleClickFlags_ & flag;
  doubleClickFlags_ &= uint8_t(~flag);
  fireMouse(eventid::MouseUp, a);
  // The release that ends a left or middle double click fires no second Click; the right
  // button's does.
  if (afterDoubleClick && event->button() != Qt::RightButton) return;
  if (control_) control_->fireEvent(eventid::Click, {});
}

void ControlWindow::mouseMoveEvent(QMouseEvent* event) {
  if (!control_) return;
  flushPendingDown();
  applyCursor();
  const MouseArgs a = argsOf(event, false);
  if (engineConsumes(WM_MOUSEMOVE, uintptr_t(a.button), pointParam(a.x, a.y))) return;
  fireMouse(eventid::MouseMove, a);
}

void ControlWindow::applyCursor() {
  if (!control_) return;
  const int16_t pointer = control_->propertyI2(dispid::MousePointer);
  if (pointer == cursorShape_ && pointer != 99) return;
  cursorShape_ = pointer;
  QCursor custom;
  if (pointer == 99 && control_->customCursor(&custom))
    setCursor(custom);
  else
    setCursor(cursorFor(pointer));
}

void ControlWindow::keyPressEvent(QKeyEvent* event) {
  if (control_ && control_->runMode() &&
      (engineConsumes(WM_KEYDOWN, uintptr_t(event->nativeVirtualKey()), 0) ||
       (!event->text().isEmpty() &&
        engineConsumes(WM_CHAR, uintptr_t(event->text().at(0).unicode()), 0))))
    return;
  QWidget::keyPressEvent(event);
}

void ControlWindow::keyReleaseEvent(QKeyEvent* event) {
  if (control_ && control_->runMode() &&
      engineConsumes(WM_KEYUP, uintptr_t(event->nativeVirtualKey()), 0))
    return;
  QWidget::keyReleaseEvent(event);
}

void ControlWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!urls.isEmpty() && urls.first().isLocalFile()) event->acceptProposedAction();
}

// A dropped file list loads its first file, as a FileName put does. The whole path is kept:
// cutting it to a fixed length would only name another file.
void ControlWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!control_ || urls.isEmpty() || !urls.first().isLocalFile()) return;
  event->acceptProposedAction();
  control_->loadDroppedFile(urls.first().toLocalFile());
}

void ControlWindow::startNotifyTimer(int delayMs) {
  notifyTimer_.start(std::max(0, delayMs));
}

}  // namespace rastrel::impl
