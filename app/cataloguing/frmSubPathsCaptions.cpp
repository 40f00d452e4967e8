#include "cataloguing/frmSubPathsCaptions.h"

#include <QFocusEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "cataloguing/frmDirDialog.h"

namespace glim {

frmSubPathsCaptions::frmSubPathsCaptions(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmSubPathsCaptions"));
  setWindowTitle(QStringLiteral("Sub-folder Settings"));
  lblMainCaption_ = new QLabel(this);
  lblMainCaption_->setObjectName(QStringLiteral("lblMainCaption"));
  txtSubDirs_ = new QLineEdit(this);
  txtSubDirs_->setObjectName(QStringLiteral("txtSubDirs"));
  txtSubDirPath_ = new QLineEdit(this);
  txtSubDirPath_->setObjectName(QStringLiteral("txtSubDirPath"));
  cmdFindPath_ = new QPushButton(QStringLiteral("..."), this);
  cmdFindPath_->setObjectName(QStringLiteral("cmdFindPath"));
  cmdFindPath_->setToolTip(QStringLiteral("Find the folder"));
  cmdOK_ = new QPushButton(QStringLiteral("OK"), this);
  cmdOK_->setObjectName(QStringLiteral("cmdOK"));
  cmdOK_->setDefault(true);
  cmdCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
  lblIndicator_ = new QLabel(this);
  lblIndicator_->setObjectName(QStringLiteral("lblIndicator"));
  lblIndicator_->hide();

  auto* pathRow = new QHBoxLayout;
  pathRow->addWidget(txtSubDirPath_, 1);
  pathRow->addWidget(cmdFindPath_);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Main folder:"), lblMainCaption_);
  form->addRow(QStringLiteral("Sub-folder caption:"), txtSubDirs_);
  form->addRow(QStringLiteral("Sub-folder path:"), pathRow);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmdOK_);
  buttons->addWidget(cmdCancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);
  resize(480, minimumSizeHint().height());

  txtSubDirs_->installEventFilter(this);
  txtSubDirPath_->installEventFilter(this);
  connect(cmdFindPath_, &QPushButton::clicked, this, &frmSubPathsCaptions::cmdFindPath_Click);
  connect(cmdOK_, &QPushButton::clicked, this, &frmSubPathsCaptions::cmdOK_Click);
  connect(cmdCancel_, &QPushButton::clicked, this, &frmSubPathsCaptions::cmdCancel_Click);
}

void frmSubPathsCaptions::setValues(const QString& mainCaption, const QString& caption,
                                    const QString& path) {
  lblMainCaption_->setText(mainCaption);
  txtSubDirs_->setText(caption);
  txtSubDirPath_->setText(path);
}

bool frmSubPathsCaptions::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    if (watched == txtSubDirs_) {
      QTimer::singleShot(0, txtSubDirs_, &QLineEdit::selectAll);
    } else if (watched == txtSubDirPath_) {
      // A user arriving at the path box is sent to the folder dialog; focus set by the
      // program itself (the dialog closing) does not reopen it.
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
          reason == Qt::BacktabFocusReason)
        QTimer::singleShot(0, this, &frmSubPathsCaptions::cmdFindPath_Click);
    }
  }
  return QDialog::eventFilter(watched, event);
}

void frmSubPathsCaptions::cmdFindPath_Click() {
  if (choosing_) return;
  choosing_ = true;
  QPointer<frmDirDialog> dialog = new frmDirDialog(this);
  dialog->startAt(txtSubDirPath_->text());
  runDialog(dialog);
  if (dialog) {
    txtSubDirPath_->setText(dialog->chosenPath());
    delete dialog.data();
  }
  cmdOK_->setFocus(Qt::OtherFocusReason);
  choosing_ = false;
}

void frmSubPathsCaptions::cmdOK_Click() {
  lblIndicator_->setText(QStringLiteral("Done"));
  accept();
}

void frmSubPathsCaptions::cmdCancel_Click() {
  lblIndicator_->setText(QStringLiteral("Done"));
  QDialog::reject();
}

void frmSubPathsCaptions::reject() {
  cmdCancel_Click();
}

}  // namespace glim
