#include "viewer/protection_group.h"

#include <QAction>
#include <QCheckBox>
#include <QEventLoop>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/keys.h"
#include "base/textnum.h"
#include "base/typedkey.h"
#include "base/wrapbuttons.h"
#include "viewer/fileops.h"
#include "viewer/frmDBScreenTest.h"
#include "viewer/frmPassword.h"
#include "viewer/frmWrongPassword.h"
#include "viewer/protection.h"

namespace glim::viewer {

namespace {

// A scratch name beside the target that keeps its ".pic" extension (the control picks the
// format by extension): the protected file is written and checked there, then put in place.
QString scratchBeside(const QString& target) {
  const auto parts = fileops::splitPath(target);
  return parts.folder + QStringLiteral(".glimmora-") + parts.name;
}

// Saves the display's picture to `target` through a scratch file that must load back, with
// the display's password, as a picture of the same size before it replaces anything. Returns
// the control's error, 0 on success.
int saveChecked(PhotoDisplay& photo, const QString& target) {
  const int width = photo.iWidth();
  const int height = photo.iHeight();
  const QString scratch = scratchBeside(target);
  QFile::remove(scratch);
  photo.setSaveFileName(scratch);
  photo.saveFile();
  int error = photo.imagError();
  if (error == 0) {
    photo.setFileName(scratch);
    error = photo.imagError();
  }
  if (error == 0 && (photo.hDib() == 0 || photo.iWidth() != width || photo.iHeight() != height))
    error = -1;
  if (error == 0 && !fileops::moveFile(scratch, target, true).isEmpty()) error = -1;
  QFile::remove(scratch);
  photo.setSaveFileName(target);
  // The display ends showing the file under its own name.
  if (error == 0) {
    photo.setFileName(target);
    error = photo.imagError();
  }
  return error;
}

}  // namespace

void ProtectionGroup::attach(frmDBScreenTest& viewer) {
  viewer_ = &viewer;
  QWidget* frame = viewer.fraPicSecurity();
  cmdEncrypt_ = new QPushButton(QStringLiteral("Encrypt"), frame);
  cmdEncrypt_->setObjectName(QStringLiteral("cmdEncryptCurrentPic"));
  cmdUnencrypt_ = new QPushButton(QStringLiteral("Un-encrypt"), frame);
  cmdUnencrypt_->setObjectName(QStringLiteral("cmdUnencryptCurrentPic"));
  chkWipeOldImages_ = new WrapCheckBox(QStringLiteral("Wipe Source Images"), frame);
  chkWipeOldImages_->setObjectName(QStringLiteral("chkWipeOldImages"));
  chkWipeOldImages_->setChecked(false);
  // The panel is narrow; the full wording stays available.
  chkWipeOldImages_->setToolTip(
      QStringLiteral("Wipe Source Images: wipe the original once its protected copy is written"));
  chkWipeOldImages_->installEventFilter(this);
  connect(chkWipeOldImages_, &QCheckBox::toggled, this, [this](bool on) { wipeBoxToggled(on); });
  if (QLayout* layout = frame->layout()) {
    layout->addWidget(cmdEncrypt_);
    layout->addWidget(cmdUnencrypt_);
    layout->addWidget(chkWipeOldImages_);
  }
  viewer.armedButtons().add(cmdEncrypt_, [this] { cmdEncryptCurrentPic_Click(); });
  viewer.armedButtons().add(cmdUnencrypt_, [this] { cmdUnencryptCurrentPic_Click(); });
  viewer.txtPicPassword()->installEventFilter(this);
  protection::keepPasswordAlphabet(viewer.txtPicPassword());

  mnuPromptNewPassword_ =
      viewer.menuOptions()->addAction(QStringLiteral("&Prompt for New Password When Incorrect"));
  mnuPromptNewPassword_->setObjectName(QStringLiteral("mnuPromptNewPassword"));
  mnuPromptNewPassword_->setCheckable(true);
  mnuPromptNewPassword_->setChecked(keys::passwordPrompt() == 1);
  connect(mnuPromptNewPassword_, &QAction::triggered, this,
          [this] { mnuPromptNewPassword_Click(); });
}

bool ProtectionGroup::hotKey(frmDBScreenTest& viewer, int code) {
  if (code == 'e') {
    viewer.armedButtons().armAndClick(cmdEncrypt_);
    return true;
  }
  if (code == 'u') {
    viewer.armedButtons().armAndClick(cmdUnencrypt_);
    return true;
  }
  return false;
}

void ProtectionGroup::afterMove(frmDBScreenTest&) {
  cmdEncrypt_->setEnabled(true);
  cmdUnencrypt_->setEnabled(true);
}

// The password box takes letters and digits only; hot keys are off while it has the focus
// (the viewer's own rule).
bool ProtectionGroup::eventFilter(QObject* watched, QEvent* event) {
  if (watched == chkWipeOldImages_) return wipeBoxEvent(event);
  if (!viewer_ || watched != viewer_->txtPicPassword()) return false;
  if (event->type() == QEvent::FocusIn) {
    viewer_->txtPicPassword()->selectAll();
  } else if (event->type() == QEvent::FocusOut) {
    if (textnum::trim(viewer_->txtPicPassword()->text()).isEmpty() && viewer_->Photo1())
      viewer_->Photo1()->setPicPassword(QString());
  } else if (event->type() == QEvent::KeyPress) {
    const auto typed = typedCharacter(*static_cast<QKeyEvent*>(event));
    if (!typed || protection::isPasswordChar(*typed)) return false;
    dialogs().message(QStringLiteral("Invalid character.  Only alphanumeric characters allowed "
                                     "in password.\rYour character was not added to the password"),
                      MsgButtons::OK, MsgIcon::None, QStringLiteral("Invalid Password Character"),
                      viewer_);
    return true;
  }
  return false;
}

bool ProtectionGroup::wipeBoxEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      wipeArmed_ = true;
      break;
    case QEvent::MouseButtonRelease:
      // The release toggles the box (or not, when the pointer left it); either way the press
      // has been used up once the release has been handled.
      QTimer::singleShot(0, this, [this] { wipeArmed_ = false; });
      break;
    case QEvent::KeyPress: {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Enter arms the focused box and changes it, as a press of the box would.
        wipeArmed_ = true;
        chkWipeOldImages_->toggle();
        return true;
      }
      break;
    }
    default:
      break;
  }
  return false;
}

void ProtectionGroup::wipeBoxToggled(bool on) {
  if (revertingWipe_) return;
  if (wipeArmed_) {
    wipeArmed_ = false;
    return;
  }
  // Space on the focused box also moves to the next picture: that change is not the user's
  // choice, so it is turned back, and turning it back is not a change of its own.
  revertingWipe_ = true;
  chkWipeOldImages_->setChecked(!on);
  revertingWipe_ = false;
}

bool ProtectionGroup::askProtectPassword() {
  AppState& state = appState();
  state.WaitingForPassword = true;
  auto* dialog = new frmPassword([this](const QString& password) {
    if (viewer_ && viewer_->Photo1()) viewer_->Photo1()->setPicPassword(password);
  });
  QEventLoop wait;
  connect(dialog, &frmPassword::answered, &wait, &QEventLoop::quit);
  dialog->show();
  if (state.WaitingForPassword) wait.exec();
  delete dialog;
  return !state.PasswordCancelled;
}

void ProtectionGroup::protectFailed(const QString& source, int stage) {
  viewer_->txtImagePath()->setText(source);
  viewer_->UpdatePictureInfo(QStringLiteral("Save"));
  dialogs().message(stage == 1
                        ? QStringLiteral("There was an error encrypting this image!")
                        : QStringLiteral("The image was encrypted, but there was an error wiping "
                                         "the original!"),
                    MsgButtons::OK, MsgIcon::None, kProgramTitle, viewer_);
}

void ProtectionGroup::finishCommand() {
  viewer_->focusFirstRating();
}

bool ProtectionGroup::refuseUnshownPicture(const QString& source) {
  PhotoDisplay* photo = viewer_->Photo1();
  QString why;
  if (viewer_->showsStandIn())
    why = QStringLiteral(
        "The picture's file is missing or cannot be read, so there is nothing "
        "to encrypt.");
  else if (!photo || photo->hDib() == 0 || textnum::trim(photo->fileName()) != source)
    why = QStringLiteral(
        "The picture is not shown (a wrong or missing password leaves it "
        "blank), so there is nothing to encrypt.");
  if (why.isEmpty()) return false;
  dialogs().message(why + QStringLiteral("\rNothing was changed."), MsgButtons::OK,
                    MsgIcon::Exclamation, kProgramTitle, viewer_);
  return true;
}

void ProtectionGroup::cmdEncryptCurrentPic_Click() {
  PhotoDisplay* photo = viewer_->Photo1();
  const QString password = textnum::trim(viewer_->txtPicPassword()->text());
  const QString source = textnum::trim(viewer_->txtImagePath()->text());
  const bool convert = !protection::isProtectedExtension(viewer_->txtExtension()->text());
  // Only the row's own picture is protected: never a stock picture standing in for it.
  if (refuseUnshownPicture(source)) return;
  QString target = source;
  if (convert) {
    const auto converted = protection::protectedPath(source);
    if (!converted || !photo) return protectFailed(source, 1);
    target = *converted;
    // The protected name may be another catalogued picture's (a.jpg and a.png both give
    // a.pic, and a.pic may be all that is left of a wiped a.jpg): that one is never replaced.
    if (viewer_->namesAnotherRow(target)) {
      dialogs().message(QStringLiteral("Another picture in the catalogue is already named ") +
                            target + QStringLiteral(".\rNothing was changed."),
                        MsgButtons::OK, MsgIcon::Exclamation, kProgramTitle, viewer_);
      return;
    }
    // A file outside the catalogue is replaced only when the user says so.
    if (fileops::fileExists(target) &&
        dialogs().message(QStringLiteral("A file with the same name already exists!\r"
                                         "Overwrite the old image?"),
                          MsgButtons::YesNo, MsgIcon::None, QStringLiteral("File Overwrite Notice"),
                          viewer_) != MsgResult::Yes)
      return;
    viewer_->txtImagePath()->setText(target);
  }
  if (!password.isEmpty()) {
    photo->setPicPassword(password);
  } else if (!askProtectPassword()) {
    viewer_->txtImagePath()->setText(source);
    return;
  }
  // Any error from the save or the read-back fails the command, so the source is only wiped
  // when its protected copy is known to open.
  if (saveChecked(*photo, target) != 0) {
    if (convert) photo->setFileName(source);
    return protectFailed(source, 1);
  }
  if (!convert) {
    dialogs().message(QStringLiteral("The file has been encrypted."), MsgButtons::OK, MsgIcon::None,
                      kProgramTitle, viewer_);
  } else if (chkWipeOldImages_->isChecked()) {
    if (target != source && fileops::fileExists(source) && !fileops::wipeFile(source).isEmpty())
      return protectFailed(source, 2);
    viewer_->txtExtension()->setText(QStringLiteral("pic"));
    viewer_->UpdatePictureInfo(QStringLiteral("Save"));
    dialogs().message(QStringLiteral("The encrypted file ") + target +
                          QStringLiteral(" was created and the original file was wiped clean.\r"
                                         "The encrypted file has taken the original's place in "
                                         "the database."),
                      MsgButtons::OK, MsgIcon::None, kProgramTitle, viewer_);
  } else {
    viewer_->txtImagePath()->setText(source);
    dialogs().message(QStringLiteral("The encrypted file ") + target +
                          QStringLiteral(" was created.\r The original was NOT wiped."),
                      MsgButtons::OK, MsgIcon::None, kProgramTitle, viewer_);
  }
  if (convert) viewer_->refreshInfoLabels();
  cmdEncrypt_->setEnabled(false);
  finishCommand();
}

void ProtectionGroup::cmdUnencryptCurrentPic_Click() {
  PhotoDisplay* photo = viewer_->Photo1();
  PhotoDisplay* scratch = viewer_->Photo2();
  const QString path = photo ? textnum::trim(photo->fileName()) : QString();
  if (textnum::right(path.toLower(), 3) != QStringLiteral("pic")) {
    dialogs().message(QStringLiteral("This is not an encrypted image!"), MsgButtons::OK,
                      MsgIcon::None, kProgramTitle, viewer_);
    return;
  }
  // Photo2 takes a copy of the displayed picture and, holding no password, writes it back as
  // an open PIC file under the same name. The protected file is replaced only once the open
  // copy was written and reads back, so a failed save leaves it as it was; and when nothing
  // is displayed (a wrong password leaves the picture blank) there is nothing to write.
  int error = -1;
  const qint32 copy = scratch && photo->hDib() != 0 ? photo->copyDib() : 0;
  if (scratch && copy != 0) {
    scratch->setPicPassword(QString());
    scratch->setHDib(copy);
    error = saveChecked(*scratch, path);
    scratch->setFileName(QString());
  }
  if (error != 0) {
    dialogs().message(QStringLiteral("There was an error decrypting this image!"), MsgButtons::OK,
                      MsgIcon::None, kProgramTitle, viewer_);
    return;
  }
  photo->setFileName(QString());
  photo->setFileName(path);
  // The file was written anew: a row that names it records its size on disk.
  if (textnum::trim(viewer_->txtImagePath()->text()) == path && photo->imagError() == 0)
    viewer_->UpdatePictureInfo(QStringLiteral("Save"));
  dialogs().message(QStringLiteral("The file has been decrypted."), MsgButtons::OK, MsgIcon::None,
                    kProgramTitle, viewer_);
  cmdUnencrypt_->setEnabled(false);
  cmdEncrypt_->setEnabled(true);
  finishCommand();
}

bool ProtectionGroup::askPicturePassword(frmDBScreenTest& viewer) {
  AppState& state = appState();
  // An unattended show or an opening viewer never waits for an answer: the picture stays blank.
  if (!state.PromptForNewPassword || viewer.slideShowRunning() || state.ViewerOpening) return false;
  const QString name = viewer.Photo1()
                           ? fileops::splitPath(textnum::trim(viewer.txtImagePath()->text())).name
                           : QString();
  frmWrongPassword::Hooks hooks;
  hooks.slideShowRunning = [&viewer] { return viewer.slideShowRunning(); };
  hooks.setPasswordBox = [&viewer](const QString& text) { viewer.txtPicPassword()->setText(text); };
  hooks.promptSwitchedOff = [this] { mnuPromptNewPassword_->setChecked(false); };
  frmWrongPassword prompt(name, viewer.txtPicPassword()->text(), hooks);
  prompt.exec();
  if (!state.PasswordUpdated) return false;
  state.PasswordUpdated = false;
  if (viewer.Photo1())
    viewer.Photo1()->setPicPassword(protection::loadingPassword(viewer.txtPicPassword()->text()));
  return true;
}

void ProtectionGroup::mnuPromptNewPassword_Click() {
  // The action has already toggled its check mark; the flag and the setting follow it.
  const bool on = mnuPromptNewPassword_->isChecked();
  appState().PromptForNewPassword = on;
  keys::writeBit(keys::kPasswordPrompt, on);
}

}  // namespace glim::viewer
