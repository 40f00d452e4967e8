// The scrolling part of a window that may be taller or wider than a small screen: it asks for
// its content's whole size, but never more than the screen's free area leaves, so the window
// opens inside the screen and scrolls where nothing else fits.
#pragma once

#include <QScrollArea>

namespace glim {

class FittingScrollArea : public QScrollArea {
 public:
  // `reserved` is what the rest of the window (frame, title, button rows) takes beside it.
  explicit FittingScrollArea(QWidget* content, QSize reserved = QSize(40, 120),
                             QWidget* parent = nullptr);
  QSize sizeHint() const override;

 private:
  QSize reserved_;
};

// The screen's free area less `reserved`, for a window on `widget`'s screen.
QSize roomOnScreen(const QWidget* widget, QSize reserved);

// After a window shows: its frame (title bar and borders included) shrinks to the screen's free
// area where it is larger, and moves inside it.
void keepOnScreen(QWidget* window);

}  // namespace glim
