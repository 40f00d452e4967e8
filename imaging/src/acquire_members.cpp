#include "acquire_members.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include "control.h"
#include "controlwindow.h"
#include "dibimage.h"
#include "engine.h"
#include "objects.h"
#include "scannerchooser.h"

namespace rastrel::impl {

namespace {

// ---- scanner ----

QVector<ScannerRow> scanners(Control& c) {
  const Control::LongCall call(c);  // finding the devices may take a while
  QByteArray list(64 * 1024, '\0');
  const int32_t length = CV_TwainSources(c.engine(), list.data(), int32_t(list.size()));
  if (length < 0) return {};
  if (length >= list.size()) {  // longer than the first guess: ask again with room for it
    list.resize(length + 1);
    CV_TwainSources(c.engine(), list.data(), int32_t(list.size()));
  }
  list.truncate(qstrnlen(list.constData(), list.size()));
  return parseScannerList(list);
}

QString chosenScanner(Control& c) {
  QByteArray name(1024, '\0');
  const int32_t length = CV_GetTwainSource(c.engine(), name.data(), int32_t(name.size()));
  return length > 0 ? QString::fromUtf8(name.constData(), qstrnlen(name.constData(), name.size()))
                    : QString();
}

void setScanner(Control& c, const QString& name) {
  const Control::LongCall call(c);
  CV_SetTwainSource(c.engine(), name.toUtf8().constData());
}

// Shows the chooser and takes its answer ("" when the user closes it: ImagError -8).
void choose(Control& c, const QVector<ScannerRow>& rows) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
    setScanner(c, rows.front().name);  // no windows to ask in
    return;
  }
  QWidget* parent = c.window() ? c.window()->window() : QApplication::activeWindow();
  ScannerChooser chooser(rows, chosenScanner(c), parent);
  const bool accepted = chooser.exec() == QDialog::Accepted;
  setScanner(c, accepted ? chooser.chosenName() : QString());
}

// ---- screen ----

// Wayland gives no program the screen's pixels.
bool screenReadable() {
  return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QImage grabScreen() {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen && screenReadable() ? screen->grabWindow(0).toImage() : QImage();
}

// What the screen shows of a widget of this process.
QImage grabWidget(QWidget* widget) {
  if (!widget || !widget->isVisible() || !screenReadable()) return {};
  QWidget* top = widget->window();
  QScreen* screen = top->screen();
  if (!screen) return {};
  const QPoint at = widget->mapTo(top, QPoint(0, 0));
  return screen->grabWindow(top->winId(), at.x(), at.y(), widget->width(), widget->height())
      .toImage();
}

// Another program's window, by its native id, where the windowing system allows it.
QImage grabForeignWindow(uint32_t id) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen || QGuiApplication::platformName() != QLatin1String("xcb")) return {};
  return screen->grabWindow(WId(id)).toImage();
}

// The captured picture becomes the control's; no picture leaves the control's as it was.
HRESULT takeCapture(Control& c, const QImage& shot) {
  const QImage opaque = shot.isNull() ? shot : shot.convertToFormat(QImage::Format_RGB888);
  const CV_HDIB dib = opaque.isNull() ? 0 : dibFromImage(opaque);
  if (!opaque.isNull() && !dib) return E_OUTOFMEMORY;
  CV_CaptureDib(c.engine(), dib);
  if (CV_GetImagError(c.engine()) != 0) {
    if (dib) CV_DibFree(dib);  // refused: still ours
    return S_OK;
  }
  c.pictureLoaded();
  return S_OK;
}

}  // namespace

HRESULT callTwainSelect(Control& c, const Member&, const Variant*, Variant*) {
  const QVector<ScannerRow> rows = scanners(c);
  if (rows.isEmpty()) return S_OK;  // ImagError says no scanner was found
  choose(c, rows);
  return S_OK;
}

HRESULT callTwainAcquire(Control& c, const Member&, const Variant*, Variant*) {
  if (chosenScanner(c).isEmpty()) {
    // Nothing chosen yet: the only scanner, or the one the user picks among several.
    const QVector<ScannerRow> rows = scanners(c);
    if (rows.isEmpty()) return S_OK;
    if (rows.size() == 1)
      setScanner(c, rows.front().name);
    else
      choose(c, rows);
    if (CV_GetImagError(c.engine()) != 0) return S_OK;
  }
  {
    const Control::LongCall call(c);
    CV_TwainAcquire(c.engine());
  }
  if (CV_GetImagError(c.engine()) == 0)
    c.pictureLoaded();
  else
    c.viewChanged();
  return S_OK;
}

HRESULT callCapture(Control& c, const Member&, const Variant*, Variant*) {
  const Control::BusyCursor busy(c);
  return takeCapture(c, grabScreen());
}

// CaptureWindow(hWnd): the window the handle names, or the active window for 0.
HRESULT callCaptureWindow(Control& c, const Member&, const Variant* args, Variant*) {
  const Control::BusyCursor busy(c);
  const uint32_t handle = uint32_t(args[0].whole());
  if (handle == 0) return takeCapture(c, grabWidget(QApplication::activeWindow()));
  if (QWidget* widget = widgetForHandle(handle)) return takeCapture(c, grabWidget(widget));
  return takeCapture(c, grabForeignWindow(handle));
}

}  // namespace rastrel::impl
