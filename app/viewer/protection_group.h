// Picture protection on the viewer: the password box's character rule, Encrypt (save as a
// password-protected ".pic", optionally wiping the source once the protected file was written
// and read back), Un-encrypt, the wrong-password request with frmWrongPassword, and the
// prompt switch mnuPromptNewPassword.
#pragma once

#include <QObject>
#include <QPointer>

#include "viewer/extension.h"

class QAction;
class QCheckBox;
class QPushButton;

namespace glim::viewer {

class ProtectionGroup : public QObject, public ViewerExtension {
  Q_OBJECT
 public:
  void attach(frmDBScreenTest& viewer) override;
  bool hotKey(frmDBScreenTest& viewer, int code) override;
  void afterMove(frmDBScreenTest& viewer) override;
  bool askPicturePassword(frmDBScreenTest& viewer) override;

  QPushButton* cmdEncryptCurrentPic() const { return cmdEncrypt_; }
  QPushButton* cmdUnencryptCurrentPic() const { return cmdUnencrypt_; }
  QCheckBox* chkWipeOldImages() const { return chkWipeOldImages_; }
  QAction* mnuPromptNewPassword() const { return mnuPromptNewPassword_; }

  void cmdEncryptCurrentPic_Click();
  void cmdUnencryptCurrentPic_Click();
  void mnuPromptNewPassword_Click();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Waits for frmPassword; false when the user cancelled.
  bool askProtectPassword();
  void protectFailed(const QString& source, int stage);
  // Refuses, with a message, to protect when Photo1 does not show the row's own picture.
  bool refuseUnshownPicture(const QString& source);
  void finishCommand();
  // The wipe box keeps a new value only when it was armed (a mouse press or Enter on it);
  // any other change is turned back once.
  bool wipeBoxEvent(QEvent* event);
  void wipeBoxToggled(bool on);

  QPointer<frmDBScreenTest> viewer_;
  QPushButton* cmdEncrypt_ = nullptr;
  QPushButton* cmdUnencrypt_ = nullptr;
  QCheckBox* chkWipeOldImages_ = nullptr;
  QAction* mnuPromptNewPassword_ = nullptr;
  bool wipeArmed_ = false;
  bool revertingWipe_ = false;
};

}  // namespace glim::viewer
