#include "editing/frmSavePic.h"

#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "base/dialogs.h"
#include "base/textnum.h"
#include "editing/edithost.h"
#include "editing/editrules.h"
#include "editing/folderpicker.h"
#include "editing/frmSavePicOptions.h"
#include "rastrel/rastrel.h"

namespace glim {

using namespace editing;
namespace tn = glim::textnum;

frmSavePic::frmSavePic(EditHost& host, QWidget* parent) : QDialog(parent), host_(host) {
  buildControls();
  Form_Load();
}

void frmSavePic::buildControls() {
  setWindowTitle(QStringLiteral("Save As..."));
  auto* layout = new QVBoxLayout(this);
  folders_ = new editing::FolderPicker(this);
  Drive1 = folders_->Drive1();
  Dir1 = folders_->Dir1();
  layout->addWidget(folders_, 1);
  auto* form = new QFormLayout;
  txtFilename = new QLineEdit(this);
  Combo1 = new QComboBox(this);
  form->addRow(QStringLiteral("Filename:"), txtFilename);
  form->addRow(QStringLiteral("Save as file type:"), Combo1);
  layout->addLayout(form);
  fraPassword = new QGroupBox(QStringLiteral("PIC Password:"), this);
  txtPassword = new QLineEdit(fraPassword);
  txtPassword->setEchoMode(QLineEdit::Password);
  (new QVBoxLayout(fraPassword))->addWidget(txtPassword);
  layout->addWidget(fraPassword);
  auto* buttons = new QHBoxLayout;
  cmdOK = new QPushButton(QStringLiteral("OK"), this);
  cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
  cmdOptions = new QPushButton(QStringLiteral("Options"), this);
  cmdOK->setDefault(true);
  buttons->addWidget(cmdOptions);
  buttons->addStretch();
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdCancel);
  layout->addLayout(buttons);
  for (QLineEdit** hidden : {&txtFileType, &txtJPGQuality, &txtJPGOption, &txtPicQuality,
                             &txtPicOption, &txtTIFCompressionType, &txtPNGOption}) {
    *hidden = new QLineEdit(this);
    (*hidden)->hide();
  }
  connect(Combo1, &QComboBox::currentIndexChanged, this, &frmSavePic::Combo1_Click);
  connect(cmdOK, &QPushButton::clicked, this, &frmSavePic::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmSavePic::cmdCancel_Click);
  connect(cmdOptions, &QPushButton::clicked, this, &frmSavePic::cmdOptions_Click);
}

QString frmSavePic::dirPath() const {
  const QString path = folders_->path();
  return path.size() > 1 && path.endsWith(u'/') ? path.chopped(1) : path;
}

void frmSavePic::setDirPath(const QString& folder) {
  folders_->setPath(folder);
}

void frmSavePic::Form_Load() {
  const QString current = host_.photo1() ? host_.photo1()->fileName() : QString();
  const PathParts parts = splitPath(current);
  pictureName_ = parts.name;
  txtFilename->setText(parts.name);
  setDirPath(parts.folder.isEmpty() ? QStringLiteral("/") : parts.folder);
  {
    const QSignalBlocker block(Combo1);
    for (const SaveFormat& format : saveFormats())
      Combo1->addItem(QString::fromUtf8(format.caption));
    Combo1->setCurrentIndex(-1);
  }
  const SaveOptions options = loadSaveOptions();
  txtPicQuality->setText(options.picQuality);
  txtPicOption->setText(options.picOption);
  txtJPGQuality->setText(options.jpgQuality);
  txtJPGOption->setText(options.jpgOption);
  txtTIFCompressionType->setText(options.tifCompression);
  txtPNGOption->setText(options.pngOption);
  Combo1->setCurrentIndex(formatIndexForName(current));
}

void frmSavePic::Combo1_Click() {
  const SaveFormat& format = saveFormatAt(Combo1->currentIndex());
  fraPassword->setEnabled(format.password);
  txtPassword->setEnabled(format.password);
  cmdOptions->setEnabled(format.options);
  const QString extension = QString::fromLatin1(format.extension);
  txtFileType->setText(extension);
  txtFilename->setText(withExtension(txtFilename->text(), pictureName_, extension));
}

void frmSavePic::cmdOptions_Click() {
  frmSavePicOptions options(*this, txtFileType->text(), this);
  options.exec();
}

void frmSavePic::cmdOK_Click() {
  RastrelControl* photo = host_.photo1();
  if (!photo) return;
  const QString type = txtFileType->text();
  const QString password = tn::trim(tn::left(tn::trim(txtPassword->text()), 8));
  // An ePIC file is protected by the password in the box and no other: a password the control
  // still holds from earlier would protect a file the user believes open.
  if (type == u"pic" && password.isEmpty()) {
    dialogs().message(QStringLiteral("Please enter a password."), MsgButtons::OK, MsgIcon::None,
                      kProgramTitle, this);
    txtPassword->setFocus();
    return;
  }
  const QString target = joinTarget(dirPath(), txtFilename->text());
  // Another catalogued picture's file is never written over: its row would describe a
  // picture that is gone.
  if (host_.namesAnotherPicture(QDir::cleanPath(target))) {
    dialogs().message(QStringLiteral("Another picture in the catalogue is already named ") +
                          QDir::toNativeSeparators(target) +
                          QStringLiteral(".\rNothing was saved; choose another name or folder."),
                      MsgButtons::OK, MsgIcon::Exclamation, QStringLiteral("Save Error!"), this);
    txtFilename->setFocus();
    return;
  }
  photo->setSaveFileName(target);
  const QString heldPassword = photo->picPassword();
  if (type == u"jpg" || type == u"pic") {
    const bool jpg = type == u"jpg";
    const QString quality = tn::trim((jpg ? txtJPGQuality : txtPicQuality)->text());
    if (!quality.isEmpty())
      photo->setSaveJPGChromFactor(static_cast<qint16>(qualityForSave(quality)));
    photo->setSaveJPGProgressive((jpg ? txtJPGOption : txtPicOption)->text() != u"Standard");
    if (!jpg) photo->setPICPassword(password);
  } else if (type == u"png") {
    photo->setSavePNGInterlaced(txtPNGOption->text() == u"Interlaced");
  } else if (type == u"tif") {
    photo->setSaveTIFCompression(tn::toInt16(txtTIFCompressionType->text()).value_or(6));
  }
  photo->saveFile();
  const bool saved = photo->imagError() == 0;
  // The viewer's own password (for loading and protecting) is not the save's business.
  if (type == u"pic") photo->setPICPassword(heldPassword);
  // The engine writes beside the target and renames, so a failed save leaves any existing
  // file as it was; the user still learns that nothing was written.
  if (!saved)
    dialogs().message(QStringLiteral("Error saving image!"), MsgButtons::OK, MsgIcon::Exclamation,
                      QStringLiteral("Save Error!"), this);
  // Written over the record's own file: the record holds what is on disk now.
  else if (target == tn::trim(host_.recordPath()))
    host_.refreshPictureInfo();
  accept();
}

void frmSavePic::cmdCancel_Click() {
  reject();
}

}  // namespace glim
