#include "cataloguing/frmDirDialog.h"

#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/fittingarea.h"
#include "cataloguing/treewalk.h"
#include "editing/folderpicker.h"

namespace glim {

int runDialog(QDialog* dialog) {
  QPointer<QDialog> guard(dialog);
  int result = QDialog::Rejected;
  QEventLoop loop;
  QObject::connect(dialog, &QDialog::finished, &loop, [&](int r) {
    result = r;
    loop.quit();
  });
  dialog->setWindowModality(Qt::WindowModal);
  dialog->show();
  if (guard && guard->isVisible()) loop.exec();
  return result;
}

frmDirDialog::frmDirDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmDirDialog"));
  setWindowTitle(QStringLiteral("Select a Folder"));
  picker_ = new editing::FolderPicker(this);
  File1_ = new QListWidget(this);
  File1_->setObjectName(QStringLiteral("File1"));
  Label1_ = new QLabel(this);
  Label1_->setObjectName(QStringLiteral("Label1"));
  Label1_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // A deep folder's path breaks after its slashes instead of widening the dialog off the screen.
  Label1_->setWordWrap(true);
  cmdOK_ = new QPushButton(QStringLiteral("OK"), this);
  cmdOK_->setObjectName(QStringLiteral("cmdOK"));
  cmdOK_->setDefault(true);
  cmdCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));

  auto* lists = new QHBoxLayout;
  lists->addWidget(picker_, 3);
  lists->addWidget(File1_, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmdOK_);
  buttons->addWidget(cmdCancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1_);
  layout->addLayout(lists, 1);
  layout->addLayout(buttons);
  resizeWithinScreen(this, QSize(560, 400));

  connect(picker_, &editing::FolderPicker::Dir1_Change, this, &frmDirDialog::showFolder);
  connect(cmdOK_, &QPushButton::clicked, this, &frmDirDialog::cmdOK_Click);
  connect(cmdCancel_, &QPushButton::clicked, this, &frmDirDialog::cmdCancel_Click);
}

void frmDirDialog::startAt(const QString& path) {
  picker_->setPath(path);
  start_ = path;
  chosen_ = path;
}

void frmDirDialog::showFolder(const QString& folder) {
  Label1_->setText(withSeparator(folder));
  File1_->clear();
  File1_->addItems(QDir(folder).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
}

void frmDirDialog::cmdOK_Click() {
  answered_ = true;
  chosen_ = Label1_->text();
  accept();
}

void frmDirDialog::cmdCancel_Click() {
  answered_ = true;
  chosen_ = start_;
  QDialog::reject();
}

void frmDirDialog::reject() {
  cmdCancel_Click();
}

// Closing the window keeps the folder on show, as OK does.
void frmDirDialog::closeEvent(QCloseEvent* event) {
  if (!answered_) {
    answered_ = true;
    chosen_ = Label1_->text();
    done(QDialog::Accepted);
  }
  event->accept();
}

}  // namespace glim
