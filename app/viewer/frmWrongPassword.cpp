#include "viewer/frmWrongPassword.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/keys.h"
#include "base/typedkey.h"
#include "viewer/protection.h"

namespace glim::viewer {

frmWrongPassword::frmWrongPassword(const QString& pictureName, const QString& currentPassword,
                                   Hooks hooks)
    : hooks_(std::move(hooks)) {
  setObjectName(QStringLiteral("frmWrongPassword"));
  setWindowTitle(QStringLiteral("Incorrect Password For PIC Image"));
  auto* column = new QVBoxLayout(this);
  column->addWidget(
      new QLabel(QStringLiteral("The current password is not correct for this image:"), this));
  lblPicName_ = new QLabel(pictureName, this);
  lblPicName_->setObjectName(QStringLiteral("lblPicName"));
  column->addWidget(lblPicName_);
  auto* form = new QFormLayout;
  Text1_ = new QLineEdit(currentPassword, this);
  Text1_->setObjectName(QStringLiteral("Text1"));
  txtNewPassword_ = new QLineEdit(this);
  txtNewPassword_->setObjectName(QStringLiteral("txtNewPassword"));
  // Passwords are not shown on screen, as in the viewer's own password box.
  Text1_->setEchoMode(QLineEdit::Password);
  txtNewPassword_->setEchoMode(QLineEdit::Password);
  form->addRow(QStringLiteral("Current Password:"), Text1_);
  form->addRow(QStringLiteral("New Password:"), txtNewPassword_);
  column->addLayout(form);
  chkPromptMe_ = new QCheckBox(QStringLiteral("Show this prompt when password is incorrect"), this);
  chkPromptMe_->setObjectName(QStringLiteral("chkPromptMe"));
  chkPromptMe_->setChecked(true);
  column->addWidget(chkPromptMe_);
  auto* buttons = new QHBoxLayout;
  auto* update = new QPushButton(QStringLiteral("Update Password"), this);
  auto* blank = new QPushButton(QStringLiteral("Show Image as Blank"), this);
  update->setObjectName(QStringLiteral("cmdUpdatePassword"));
  blank->setObjectName(QStringLiteral("cmdShowImageBlank"));
  update->setDefault(true);
  buttons->addWidget(update);
  buttons->addWidget(blank);
  column->addLayout(buttons);
  connect(update, &QPushButton::clicked, this, &frmWrongPassword::cmdUpdatePassword_Click);
  connect(blank, &QPushButton::clicked, this, &frmWrongPassword::cmdShowImageBlank_Click);
  for (QLineEdit* box : {Text1_, txtNewPassword_}) {
    box->installEventFilter(this);
    protection::keepPasswordAlphabet(box);
  }
  timer_.setInterval(500);
  connect(&timer_, &QTimer::timeout, this, &frmWrongPassword::Timer1_Timer);
  timer_.start();
  txtNewPassword_->setFocus();
}

bool frmWrongPassword::eventFilter(QObject* watched, QEvent* event) {
  auto* box = qobject_cast<QLineEdit*>(watched);
  if (!box || event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  const auto typed = typedCharacter(*static_cast<QKeyEvent*>(event));
  if (!typed) return false;         // editing keys and shortcuts
  if (*typed == u' ') return true;  // spaces are dropped silently
  if (protection::isPasswordChar(*typed)) return false;
  box->clear();
  dialogs().message(QStringLiteral("Only numbers and letters are allowed in passwords\r"
                                   "(no spaces, punctuation, etc.).\r"
                                   "Please enter your password again."),
                    MsgButtons::OK, MsgIcon::Critical, QStringLiteral("Invalid Character Entered"),
                    this);
  return true;
}

void frmWrongPassword::promptMeHandling() {
  if (chkPromptMe_->isChecked()) return;
  appState().PromptForNewPassword = false;
  keys::writeBit(keys::kPasswordPrompt, false);
  if (hooks_.promptSwitchedOff) hooks_.promptSwitchedOff();
}

void frmWrongPassword::cmdUpdatePassword_Click() {
  if (hooks_.setPasswordBox) hooks_.setPasswordBox(txtNewPassword_->text());
  appState().PasswordUpdated = true;
  promptMeHandling();
  timer_.stop();
  accept();
}

void frmWrongPassword::cmdShowImageBlank_Click() {
  appState().PasswordUpdated = false;
  promptMeHandling();
  timer_.stop();
  done(QDialog::Rejected);
}

void frmWrongPassword::Timer1_Timer() {
  const AppState& state = appState();
  const bool showRunning = hooks_.slideShowRunning && hooks_.slideShowRunning();
  if (!showRunning && !state.ViewerOpening && state.PromptForNewPassword) return;
  appState().PasswordUpdated = false;
  timer_.stop();
  done(QDialog::Rejected);
}

}  // namespace glim::viewer
