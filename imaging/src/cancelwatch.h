// Watches the user's input while a long load, save or scan runs the event loop: the key or
// mouse action CancelMode names asks for a cancel, and without Multitask the windows take no
// other input until the call ends.
#pragma once

#include <QObject>

namespace rastrel::impl {

// CancelMode values, in the order of the property page's list.
enum CancelMode : int16_t {
  kCancelNone = 0,
  kCancelEscKey,
  kCancelEnterKey,
  kCancelSpaceKey,
  kCancelKeyPress,
  kCancelMouseLeft,
  kCancelMouseRight,
  kCancelMouseMove,
  kCancelKeyOrButton,
  kCancelKeyOrMove,
};

class CancelWatch final : public QObject {
 public:
  // Installs itself on the application for its lifetime. `mode` kCancelNone never cancels.
  CancelWatch(int16_t mode, bool takeInput);
  ~CancelWatch() override;
  bool cancelRequested() const { return cancelRequested_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool cancels(const QEvent* event) const;

  int16_t mode_;
  bool takeInput_;
  bool cancelRequested_ = false;
};

}  // namespace rastrel::impl
