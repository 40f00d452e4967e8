#include "cancelwatch.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>

namespace rastrel::impl {

namespace {

bool isInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
      return true;
    default:
      return false;
  }
}

bool keyMatches(int16_t mode, int key) {
  switch (mode) {
    case kCancelEscKey:
      return key == Qt::Key_Escape;
    case kCancelEnterKey:
      return key == Qt::Key_Return || key == Qt::Key_Enter;
    case kCancelSpaceKey:
      return key == Qt::Key_Space;
    case kCancelKeyPress:
    case kCancelKeyOrButton:
    case kCancelKeyOrMove:
      return true;
    default:
      return false;
  }
}

bool buttonMatches(int16_t mode, Qt::MouseButton button) {
  switch (mode) {
    case kCancelMouseLeft:
      return button == Qt::LeftButton;
    case kCancelMouseRight:
      return button == Qt::RightButton;
    case kCancelKeyOrButton:
      return true;
    default:
      return false;
  }
}

}  // namespace

CancelWatch::CancelWatch(int16_t mode, bool takeInput) : mode_(mode), takeInput_(takeInput) {
  if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

CancelWatch::~CancelWatch() {
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

bool CancelWatch::cancels(const QEvent* event) const {
  switch (event->type()) {
    case QEvent::KeyPress:
      return keyMatches(mode_, static_cast<const QKeyEvent*>(event)->key());
    case QEvent::MouseButtonPress:
      return buttonMatches(mode_, static_cast<const QMouseEvent*>(event)->button());
    case QEvent::MouseMove:
      return mode_ == kCancelMouseMove || mode_ == kCancelKeyOrMove;
    default:
      return false;
  }
}

bool CancelWatch::eventFilter(QObject* watched, QEvent* event) {
  // Input reaches a top-level window first, whichever widget it is for then: watching there
  // sees every key and every mouse move once.
  if (!watched->isWindowType() || !isInput(event->type())) return false;
  if (cancels(event)) {
    cancelRequested_ = true;
    return true;  // the cancelling key or click does nothing else
  }
  return !takeInput_;
}

}  // namespace rastrel::impl
