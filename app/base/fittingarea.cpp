#include "base/fittingarea.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QTabBar>
#include <algorithm>

namespace glim {

QSize roomOnScreen(const QWidget* widget, QSize reserved) {
  const QScreen* screen = widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
  if (!screen) return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
  return (screen->availableGeometry().size() - reserved).expandedTo(QSize(100, 100));
}

QSize outsideScrollingPart(const QLayout* layout, int others) {
  const QMargins margins = layout->contentsMargins();
  return kWindowFrame +
         QSize(margins.left() + margins.right(), margins.top() + margins.bottom() + others);
}

QSize scrollTabPages(QTabWidget* tabs, QSize outside) {
  QSize pages;
  for (int i = 0; i < tabs->count(); ++i) pages = pages.expandedTo(tabs->widget(i)->sizeHint());
  // The tab bar and the frame around the pages.
  const int bar = tabs->tabBar()->sizeHint().height();
  const int frame = std::max(0, (tabs->sizeHint().height() - pages.height() - bar) / 2);
  const QSize reserved = outside + QSize(2 * frame, bar + 2 * frame);
  const int shown = tabs->currentIndex();
  for (int i = 0; i < tabs->count(); ++i) {
    QWidget* page = tabs->widget(i);
    const QString caption = tabs->tabText(i);
    tabs->removeTab(i);
    tabs->insertTab(i, new FittingScrollArea(page, reserved), caption);
  }
  tabs->setCurrentIndex(shown);
  return reserved;
}

void resizeWithinScreen(QWidget* window, QSize wanted) {
  window->resize(wanted.boundedTo(roomOnScreen(window, kWindowFrame)));
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

QSize FittingScrollArea::wholeContent() const {
  QSize wanted = widget()->sizeHint().expandedTo(widget()->minimumSizeHint());
  // Wrapping captions are as tall as that width makes them.
  if (widget()->hasHeightForWidth())
    wanted.setHeight(std::max(wanted.height(), widget()->heightForWidth(wanted.width())));
  return wanted;
}

QSize FittingScrollArea::sizeHint() const {
  if (!widget()) return QScrollArea::sizeHint();
  QSize wanted = wholeContent();
  const QSize room = roomOnScreen(this, reserved_);
  // A scroll bar appears on the side that does not fit; leave it room.
  if (wanted.height() > room.height()) wanted.rwidth() += verticalScrollBar()->sizeHint().width();
  if (wanted.width() > room.width()) wanted.rheight() += horizontalScrollBar()->sizeHint().height();
  const int frame = 2 * frameWidth();
  return (wanted + QSize(frame, frame)).boundedTo(room);
}

QSize FittingScrollArea::minimumSizeHint() const {
  const QSize least = QScrollArea::minimumSizeHint();
  if (!widget() || horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff) return least;
  int width = widget()->minimumSizeHint().width() + 2 * frameWidth();
  if (wholeContent().height() > roomOnScreen(this, reserved_).height())
    width += verticalScrollBar()->sizeHint().width();
  return {std::max(least.width(), width), least.height()};
}

}  // namespace glim
