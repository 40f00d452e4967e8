// The scrolling part of a window that may be taller or wider than a small screen: it asks for
// its content's whole size, but never more than the screen's free area leaves, so the window
// opens inside the screen and scrolls where nothing else fits.
#pragma once

#include <QLayout>
#include <QScrollArea>
#include <QTabWidget>

namespace glim {

class FittingScrollArea : public QScrollArea {
 public:
  // `reserved` is what the rest of the window (frame, title, button rows) takes beside it.
  explicit FittingScrollArea(QWidget* content, QSize reserved = QSize(40, 120),
                             QWidget* parent = nullptr);
  QSize sizeHint() const override;
  // With the horizontal scroll bar turned off it is never narrower than its content.
  QSize minimumSizeHint() const override;

 private:
  QSize wholeContent() const;
  QSize reserved_;
};

// The screen's free area less `reserved`, for a window on `widget`'s screen.
QSize roomOnScreen(const QWidget* widget, QSize reserved);

// What a window's frame and title bar take beside its contents.
inline constexpr QSize kWindowFrame(16, 48);

// What a window with `layout` keeps outside a scrolling part of it: the window's frame, the
// layout's margins and `others`, the height of the rows above and below the part.
QSize outsideScrollingPart(const QLayout* layout, int others);

// Each page of `tabs` scrolls inside its tab where the screen is too small for it, the tabs
// themselves staying in view; `outside` is what the window keeps outside the tabs. Returns
// what the window keeps outside a page.
QSize scrollTabPages(QTabWidget* tabs, QSize outside);

// A window's first size: `wanted` where the screen allows, never more than its free area
// leaves beside the window's frame.
void resizeWithinScreen(QWidget* window, QSize wanted);

// After a window shows: its frame (title bar and borders included) shrinks to the screen's free
// area where it is larger, and moves inside it.
void keepOnScreen(QWidget* window);

}  // namespace glim
