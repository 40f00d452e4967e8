// The start-up login: shown modally before the main window when the program is locked.
// Start-up reads LoginSucceeded after the modal show.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

namespace glim {

class frmLogin : public QDialog {
  Q_OBJECT
 public:
  frmLogin();

  bool LoginSucceeded = false;

  QLineEdit* txtUserName;
  QLineEdit* txtPassword;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;

  void cmdOK_Click();
  void cmdCancel_Click();

 protected:
  void reject() override;
};

}  // namespace glim
