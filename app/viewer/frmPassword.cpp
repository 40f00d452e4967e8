#include "viewer/frmPassword.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/textnum.h"

namespace glim::viewer {

frmPassword::frmPassword(std::function<void(const QString&)> usePassword)
    : usePassword_(std::move(usePassword)) {
  setObjectName(QStringLiteral("frmPassword"));
  setWindowTitle(QStringLiteral("Password"));
  auto* column = new QVBoxLayout(this);
  auto* text = new QLabel(
      QStringLiteral(
          "There is no password currently in the password box on the screen.  Please enter the "
          "password you would like to encrypt this image with..."),
      this);
  text->setWordWrap(true);
  column->addWidget(text);
  auto* form = new QFormLayout;
  txtPassword_ = new QLineEdit(this);
  txtConfirm_ = new QLineEdit(this);
  txtPassword_->setObjectName(QStringLiteral("txtPassword"));
  txtConfirm_->setObjectName(QStringLiteral("txtConfirm"));
  txtPassword_->setEchoMode(QLineEdit::Password);
  txtConfirm_->setEchoMode(QLineEdit::Password);
  form->addRow(QStringLiteral("Password:"), txtPassword_);
  form->addRow(QStringLiteral("Re-type password:"), txtConfirm_);
  column->addLayout(form);
  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  ok->setObjectName(QStringLiteral("cmdOK"));
  cancel->setObjectName(QStringLiteral("cmdCancel"));
  ok->setDefault(true);
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  column->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &frmPassword::cmdOK_Click);
  connect(cancel, &QPushButton::clicked, this, &frmPassword::cmdCancel_Click);
  appState().PasswordCancelled = false;
}

void frmPassword::cmdOK_Click() {
  const QString password = textnum::trim(txtPassword_->text());
  if (password != textnum::trim(txtConfirm_->text())) {
    txtPassword_->clear();
    txtConfirm_->clear();
    dialogs().message(QStringLiteral("Passwords don't match!"), MsgButtons::OK, MsgIcon::None,
                      kProgramTitle, this);
    return;
  }
  // An empty password would write the picture unprotected under a ".pic" name.
  if (password.isEmpty()) {
    dialogs().message(QStringLiteral("Please enter a password."), MsgButtons::OK, MsgIcon::None,
                      kProgramTitle, this);
    return;
  }
  if (usePassword_) usePassword_(password);
  appState().WaitingForPassword = false;
  hide();
  emit answered();
}

void frmPassword::cmdCancel_Click() {
  appState().PasswordCancelled = true;
  appState().WaitingForPassword = false;
  hide();
  emit answered();
}

}  // namespace glim::viewer
