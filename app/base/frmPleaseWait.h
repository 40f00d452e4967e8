// The please-wait window ("Processing Database") shown while the catalogue is processed. It
// stays above other windows without taking the focus and keeps AppState::PleaseWaitShown set
// while it exists.
#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;

namespace glim {

class frmPleaseWait : public QWidget {
  Q_OBJECT
 public:
  frmPleaseWait();
  ~frmPleaseWait() override;

  // Shows the single instance (creating it) and paints it once, so it is visible before the
  // caller starts its work.
  static frmPleaseWait* showWindow();
  // Closes and releases it when it is shown.
  static void closeWindow();

  QLabel* lblWait() const { return lblWait_; }

 private:
  void Timer1_Timer();
  QLabel* lblWait_;
  QTimer Timer1;
  int tick_ = 0;
};

}  // namespace glim
