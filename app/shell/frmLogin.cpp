#include "shell/frmLogin.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "base/appstate.h"
#include "base/buttonrow.h"
#include "base/dialogs.h"
#include "base/textnum.h"
#include "shell/credentials.h"

namespace glim {

frmLogin::frmLogin() {
  setObjectName(QStringLiteral("frmLogin"));
  setWindowTitle(QStringLiteral("Glimmora 2000 Login"));
  txtUserName = new QLineEdit;
  txtUserName->setObjectName(QStringLiteral("txtUserName"));
  txtPassword = new QLineEdit;
  txtPassword->setObjectName(QStringLiteral("txtPassword"));
  txtPassword->setEchoMode(QLineEdit::Password);
  cmdOK = new QPushButton(QStringLiteral("OK"));
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setDefault(true);
  cmdCancel = new QPushButton(QStringLiteral("Cancel"));
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  connect(cmdOK, &QPushButton::clicked, this, &frmLogin::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmLogin::cmdCancel_Click);

  auto* userLabel = new QLabel(QStringLiteral("&User Name:"));
  userLabel->setBuddy(txtUserName);
  auto* passwordLabel = new QLabel(QStringLiteral("&Password:"));
  passwordLabel->setBuddy(txtPassword);
  auto* fields = new QFormLayout;
  fields->addRow(userLabel, txtUserName);
  fields->addRow(passwordLabel, txtPassword);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(rightAlignedButtons({cmdOK, cmdCancel}));

  // Form_Load
  txtUserName->setText(textnum::trim(appState().StoredUserName));
  txtPassword->clear();
  txtPassword->setFocus();
}

void frmLogin::cmdOK_Click() {
  AppState& state = appState();
  state.LoginUserName = textnum::trim(txtUserName->text()).toLower();
  state.LoginPassword = textnum::trim(txtPassword->text()).toLower();
  if (textnum::length(state.LoginPassword) < credentials::kMinPasswordLength) {
    dialogs().message(QStringLiteral("You must enter a password (8 characters or more)"),
                      MsgButtons::OK, MsgIcon::None, QStringLiteral("Invalid Password"), this);
    return;
  }
  // The store keeps only a hash of the trimmed, lower-cased password.
  if (credentials::userNameMatches(state.StoredUserName, state.LoginUserName) &&
      credentials::passwordMatches(state.StoredPassword, state.LoginPassword)) {
    LoginSucceeded = true;
    hide();
    done(QDialog::Accepted);
    return;
  }
  dialogs().message(QStringLiteral("Invalid Password or username, try again!"), MsgButtons::OK,
                    MsgIcon::None, QStringLiteral("Login"), this);
  txtPassword->setFocus();
  txtPassword->selectAll();
}

void frmLogin::cmdCancel_Click() {
  LoginSucceeded = false;
  hide();
  done(QDialog::Rejected);
}

// Escape and the window's close button count as Cancel.
void frmLogin::reject() {
  cmdCancel_Click();
}

}  // namespace glim
