#include "query/frmPicPasswordqry.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/textnum.h"

namespace glim {

frmPicPasswordqry::frmPicPasswordqry() {
  setObjectName(QStringLiteral("frmPicPasswordqry"));
  setWindowTitle(QStringLiteral("Password for Encrypted Images"));
  setWindowFlag(Qt::Dialog);

  auto* text = new QLabel(
      QStringLiteral("If you would like to be able to view encrypted images as part of this "
                     "slide show, enter a password here.  Those images which were encrypted "
                     "using that password will be viewable.  Encrypted images that use other "
                     "passwords will show up as a black screen."),
      this);
  text->setWordWrap(true);
  Text1 = new QLineEdit(this);
  Text2 = new QLineEdit(this);
  for (QLineEdit* box : {Text1, Text2}) box->setEchoMode(QLineEdit::Password);
  cmdOK = new QPushButton(QStringLiteral("OK"), this);
  cmdOK->setDefault(true);
  cmdCancel = new QPushButton(QStringLiteral("Don't Show Encrypted Pics"), this);

  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("Password to use:"), Text1);
  fields->addRow(QStringLiteral("Retype it:"), Text2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addLayout(fields);
  layout->addLayout(buttons);

  connect(cmdOK, &QPushButton::clicked, this, &frmPicPasswordqry::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmPicPasswordqry::cmdCancel_Click);
}

frmPicPasswordqry::~frmPicPasswordqry() {
  Form_Unload();
}

void frmPicPasswordqry::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (Text1->isVisible()) Text1->setFocus();
}

void frmPicPasswordqry::closeEvent(QCloseEvent* event) {
  Form_Unload();
  QWidget::closeEvent(event);
}

void frmPicPasswordqry::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    cmdOK_Click();
    return;
  }
  QWidget::keyPressEvent(event);
}

// Lets the waiting start-up go on.
void frmPicPasswordqry::Form_Unload() {
  appState().QueryPasswordPending = false;
}

void frmPicPasswordqry::cmdOK_Click() {
  const QString first = textnum::trim(Text1->text());
  if (first.toLower() != textnum::trim(Text2->text()).toLower()) {
    dialogs().message(QStringLiteral("Passwords do not match.  Please try again."), MsgButtons::OK,
                      MsgIcon::None, kProgramTitle, this);
    Text2->setFocus();
    Text2->selectAll();
    return;
  }
  appState().PicturePassword = first;
  close();
}

void frmPicPasswordqry::cmdCancel_Click() {
  appState().PicturePassword = QStringLiteral("None");
  close();
}

}  // namespace glim
