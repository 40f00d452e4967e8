// Shown when a protected picture will not open with the current password: offers a new
// password, or shows the picture blank. It closes itself while a slide show runs, while the
// viewer is opening, or once the prompt is switched off, so an unattended show never blocks.
#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace glim::viewer {

class frmWrongPassword : public QDialog {
  Q_OBJECT
 public:
  struct Hooks {
    std::function<bool()> slideShowRunning;
    std::function<void(const QString&)> setPasswordBox;  // the viewer's txtPicPassword
    std::function<void()> promptSwitchedOff;             // unchecks mnuPromptNewPassword
  };
  frmWrongPassword(const QString& pictureName, const QString& currentPassword, Hooks hooks);

  QLabel* lblPicName() const { return lblPicName_; }
  QLineEdit* Text1() const { return Text1_; }
  QLineEdit* txtNewPassword() const { return txtNewPassword_; }
  QCheckBox* chkPromptMe() const { return chkPromptMe_; }
  QTimer& Timer1() { return timer_; }

  void cmdUpdatePassword_Click();
  void cmdShowImageBlank_Click();
  void Timer1_Timer();

 public slots:
  void reject() override { cmdShowImageBlank_Click(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void promptMeHandling();
  Hooks hooks_;
  QLabel* lblPicName_;
  QLineEdit* Text1_;
  QLineEdit* txtNewPassword_;
  QCheckBox* chkPromptMe_;
  QTimer timer_;
};

}  // namespace glim::viewer
