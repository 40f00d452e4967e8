#include "base/elidedlabel.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace glim {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

QSize ElidedLabel::minimumSizeHint() const {
  return {fontMetrics().horizontalAdvance(QStringLiteral("\u2026")),
          QLabel::minimumSizeHint().height()};
}

bool ElidedLabel::cut() const {
  return fontMetrics().horizontalAdvance(text()) > contentsRect().width();
}

bool ElidedLabel::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip && toolTip().isEmpty() && cut()) {
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
    return true;
  }
  return QLabel::event(event);
}

void ElidedLabel::paintEvent(QPaintEvent* event) {
  // Whole, it paints (and selects) as any label does.
  if (!cut()) {
    QLabel::paintEvent(event);
    return;
  }
  const QRect room = contentsRect();
  QPainter painter(this);
  style()->drawItemText(&painter, room, QStyle::visualAlignment(layoutDirection(), alignment()),
                        palette(), isEnabled(),
                        fontMetrics().elidedText(text(), Qt::ElideMiddle, room.width()),
                        foregroundRole());
}

}  // namespace glim
