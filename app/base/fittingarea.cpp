#include "base/fittingarea.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>

namespace glim {

QSize roomOnScreen(const QWidget* widget, QSize reserved) {
  const QScreen* screen = widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
  if (!screen) return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
  return (screen->availableGeometry().size() - reserved).expandedTo(QSize(100, 100));
}

void keepOnScreen(QWidget* window) {
  const QScreen* screen = window->screen();
  if (!screen) return;
  const QRect available = screen->availableGeometry();
  const QSize frameExtra = window->frameGeometry().size() - window->size();
  const QSize room = available.size() - frameExtra;
  if (window->width() > room.width() || window->height() > room.height())
    window->resize(window->size().boundedTo(room));
  const QRect frame = window->frameGeometry();
  const int x = std::clamp(frame.x(), available.left(),
                           std::max(available.left(), available.right() - frame.width() + 1));
  const int y = std::clamp(frame.y(), available.top(),
                           std::max(available.top(), available.bottom() - frame.height() + 1));
  if (QPoint(x, y) != frame.topLeft()) window->move(x, y);
}

FittingScrollArea::FittingScrollArea(QWidget* content, QSize reserved, QWidget* parent)
    : QScrollArea(parent), reserved_(reserved) {
  setWidgetResizable(true);
  setFrameShape(QFrame::NoFrame);
  setWidget(content);
}

QSize FittingScrollArea::sizeHint() const {
  if (!widget()) return QScrollArea::sizeHint();
  QSize wanted = widget()->sizeHint().expandedTo(widget()->minimumSizeHint());
  // Wrapping captions are as tall as that width makes them.
  if (widget()->hasHeightForWidth())
    wanted.setHeight(std::max(wanted.height(), widget()->heightForWidth(wanted.width())));
  const QSize room = roomOnScreen(this, reserved_);
  // A scroll bar appears on the side that does not fit; leave it room.
  if (wanted.height() > room.height()) wanted.rwidth() += verticalScrollBar()->sizeHint().width();
  if (wanted.width() > room.width()) wanted.rheight() += horizontalScrollBar()->sizeHint().height();
  const int frame = 2 * frameWidth();
  return (wanted + QSize(frame, frame)).boundedTo(room);
}

}  // namespace glim
