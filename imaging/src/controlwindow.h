// The control's window: paints through the engine's draw call, shows the scroll bars the
// engine asks for, and turns Qt's input events into the control's events with the window
// message semantics hosts rely on (mouse sequences, button and shift encodings, file drop).
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "engine.h"

class QScrollBar;

namespace rastrel::impl {

class Control;

class ControlWindow final : public QWidget {
  Q_OBJECT
 public:
  ControlWindow(Control* control, QWidget* parent);
  ~ControlWindow() override;

  // Re-reads the engine's scroll state and shows the bars it asks for.
  void syncScrollBars();
  // The client area: the window less the visible scroll bars.
  QRect clientRect() const;
  void setDropTarget(bool on) { setAcceptDrops(on); }
  // Starts the Notify timer; its first tick stops it and fires Notify.
  void startNotifyTimer(int delayMs);
  // The control object is going away: nothing may reach it from now on.
  void detach() { control_ = nullptr; }
  // Shows the pointer MousePointer names (99: the MouseIcon picture).
  void applyCursor();
  // Mouse event argument encodings (Button 1/2/4 with right > middle > left; Shift 1/2/4).
  static int16_t buttonCode(Qt::MouseButtons buttons);
  static int16_t shiftCode(Qt::KeyboardModifiers modifiers);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  struct MouseArgs {
    int16_t button = 0, shift = 0;
    int32_t x = 0, y = 0;
  };
  MouseArgs argsOf(QMouseEvent* event, bool withChangedButton) const;
  void fireMouse(int32_t dispid, const MouseArgs& args);
  void flushPendingDown();
  bool engineConsumes(uint32_t message, uintptr_t wParam, intptr_t lParam);
  void scrolled(bool vertical, int value);
  void drawBorder(QPainter& painter);

  Control* control_;
  QScrollBar* hbar_;
  QScrollBar* vbar_;
  QTimer notifyTimer_;
  bool syncing_ = false;
  // A press is reported once it is known not to start a double click: Qt delivers the second
  // press of a double click before the double-click event, the control reports DblClick alone.
  bool pendingDown_ = false;
  MouseArgs pendingArgs_;
  uint8_t doubleClickFlags_ = 0;  // one bit per button (1 left, 2 right, 4 middle)
  int16_t cursorShape_ = -1;
};

}  // namespace rastrel::impl
