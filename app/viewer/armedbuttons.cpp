#include "viewer/armedbuttons.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QMouseEvent>

namespace glim::viewer {

void ArmedButtons::add(QAbstractButton* button, std::function<void()> action) {
  actions_[button] = std::move(action);
  armed_[button] = false;
  button->installEventFilter(this);
  connect(button, &QAbstractButton::clicked, this, [this, button] { clicked(button); });
  connect(button, &QObject::destroyed, this, [this, button] {
    actions_.remove(button);
    armed_.remove(button);
  });
}

void ArmedButtons::armAndClick(QAbstractButton* button) {
  if (!button || !button->isEnabled()) return;
  arm(button);
  clicked(button);
}

void ArmedButtons::clicked(QAbstractButton* button) {
  if (!isArmed(button)) return;
  const auto action = actions_.value(button);
  if (action) action();
  // The action may have closed the window and the button with it.
  if (armed_.contains(button)) disarm(button);
}

bool ArmedButtons::eventFilter(QObject* watched, QEvent* event) {
  auto* button = qobject_cast<QAbstractButton*>(watched);
  if (!button || !actions_.contains(button)) return false;
  if (event->type() == QEvent::MouseButtonPress) {
    arm(button);
  } else if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      // Enter arms the focused button and acts, as a press of the button would.
      arm(button);
      clicked(button);
      return true;
    }
  }
  return false;
}

}  // namespace glim::viewer
