#include "viewer/frmMoveNotify.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/forms.h"

namespace glim::viewer {

frmMoveNotify::frmMoveNotify() {
  setObjectName(QStringLiteral("frmMoveNotify"));
  setWindowTitle(QStringLiteral("Image Has Been Moved or Backed Up"));
  // Topmost, but it must not take the activation from the viewer.
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setAttribute(Qt::WA_ShowWithoutActivating);
  auto* column = new QVBoxLayout(this);
  auto* text = new QLabel(
      QStringLiteral("This image has been moved or backed up to the folder you specified.  If "
                     "you wish to turn this message off for the remainder of this session, "
                     "select one of the options below.  If not, simply press OK."),
      this);
  text->setWordWrap(true);
  column->addWidget(text);
  auto* frame = new QGroupBox(
      QStringLiteral("Each time I move or back up an image, I want Glimmora to:"), this);
  auto* options = new QVBoxLayout(frame);
  optShowMe_ = new QRadioButton(QStringLiteral("Show this message"), frame);
  optBeep_ =
      new QRadioButton(QStringLiteral("Beep the speaker, but not show this message."), frame);
  optNoAction_ =
      new QRadioButton(QStringLiteral("Show no indication unless the move fails."), frame);
  optShowMe_->setObjectName(QStringLiteral("optShowMe"));
  optBeep_->setObjectName(QStringLiteral("optBeep"));
  optNoAction_->setObjectName(QStringLiteral("optNoAction"));
  optShowMe_->setChecked(true);
  for (QRadioButton* option : {optShowMe_, optBeep_, optNoAction_}) options->addWidget(option);
  column->addWidget(frame);
  Command1_ = new QPushButton(QStringLiteral("OK"), this);
  Command1_->setObjectName(QStringLiteral("Command1"));
  Command1_->setDefault(true);
  column->addWidget(Command1_, 0, Qt::AlignRight);
  connect(Command1_, &QPushButton::clicked, this, &frmMoveNotify::Command1_Click);
}

void frmMoveNotify::Command1_Click() {
  qint16& mode = appState().MoveNoticeMode;
  if (optShowMe_->isChecked())
    mode = 0;
  else if (optBeep_->isChecked())
    mode = 1;
  else
    mode = 2;
  close();
}

void indicateMove() {
  switch (appState().MoveNoticeMode) {
    case 1:
      dialogs().beep();
      break;
    case 2:
      break;
    default: {
      frmMoveNotify* notice = forms::get<frmMoveNotify>();
      notice->show();
      notice->raise();
    }
  }
}

}  // namespace glim::viewer
