// "Setup Not Complete": shown instead of a screen whose set-up is not done yet; it offers the
// tutorial or the next set-up screen.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace glim {

class frmFormsRunStatus : public QDialog {
  Q_OBJECT
 public:
  frmFormsRunStatus();

  QLabel* lblInfo;
  QPushButton* cmdStartTutorial;
  QPushButton* cmdContinue;
  QPushButton* cmdCancel;

  void cmdStartTutorial_Click();
  void cmdContinue_Click();
  void cmdCancel_Click();
};

}  // namespace glim
