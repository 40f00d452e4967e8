// Action buttons of the viewer act only when armed: by a mouse press on them, by Enter while
// they have the focus, or by their hot key. Space moves to the next picture, so a focused
// button must not act on it: a click that arrives unarmed is ignored.
#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <functional>

class QAbstractButton;

namespace glim::viewer {

class ArmedButtons : public QObject {
  Q_OBJECT
 public:
  explicit ArmedButtons(QObject* parent = nullptr) : QObject(parent) {}

  // Runs `action` on the button's click when it is armed, then disarms it (also when the
  // action stops early, as when the user declines a confirmation).
  void add(QAbstractButton* button, std::function<void()> action);
  bool isArmed(QAbstractButton* button) const { return armed_.value(button, false); }
  void arm(QAbstractButton* button) { armed_[button] = true; }
  void disarm(QAbstractButton* button) { armed_[button] = false; }
  // What a hot key does: arm, then click.
  void armAndClick(QAbstractButton* button);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void clicked(QAbstractButton* button);
  QHash<QAbstractButton*, bool> armed_;
  QHash<QAbstractButton*, std::function<void()>> actions_;
};

}  // namespace glim::viewer
