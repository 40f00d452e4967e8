// Asks for the password to protect a picture with, when the viewer's password box is empty.
// OK puts the matching password into the viewer's Photo1 and clears WaitingForPassword;
// Cancel sets PasswordCancelled.
#pragma once

#include <QDialog>
#include <functional>

class QLineEdit;
class QPushButton;

namespace glim::viewer {

class frmPassword : public QDialog {
  Q_OBJECT
 public:
  // `usePassword` receives the confirmed password (the viewer's Photo1.PICPassword).
  explicit frmPassword(std::function<void(const QString&)> usePassword);

  QLineEdit* txtPassword() const { return txtPassword_; }
  QLineEdit* txtConfirm() const { return txtConfirm_; }
  void cmdOK_Click();
  void cmdCancel_Click();

 signals:
  void answered();

 public slots:
  void reject() override { cmdCancel_Click(); }

 private:
  std::function<void(const QString&)> usePassword_;
  QLineEdit* txtPassword_;
  QLineEdit* txtConfirm_;
};

}  // namespace glim::viewer
