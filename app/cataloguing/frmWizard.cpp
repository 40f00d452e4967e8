#include "cataloguing/frmWizard.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/help.h"
#include "cataloguing/frmSetupNew.h"

namespace glim {

frmWizard::frmWizard(frmSetupNew* setup) : setup_(setup) {
  setObjectName(QStringLiteral("frmWizard"));
  setWindowTitle(QStringLiteral("Captions and Paths Setup Wizard"));
  auto* text = new QLabel(
      QStringLiteral(
          "Select a default 'theme' from the pull-down list.  Note:  On the next screen, you will "
          "be able to (and probably will want to) change or customize any settings it sets."),
      this);
  text->setWordWrap(true);
  Combo1_ = new QComboBox(this);
  Combo1_->setObjectName(QStringLiteral("Combo1"));
  Combo1_->setEditable(true);
  Combo1_->setEditText(QStringLiteral("Scenery"));
  Command1_ = new QPushButton(QStringLiteral("Next >>"), this);
  Command1_->setObjectName(QStringLiteral("Command1"));
  Command1_->setDefault(true);
  cmdCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
  cmdHelp_ = new QPushButton(QStringLiteral("Help"), this);
  cmdHelp_->setObjectName(QStringLiteral("cmdHelp"));

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cmdHelp_);
  buttons->addStretch();
  buttons->addWidget(cmdCancel_);
  buttons->addWidget(Command1_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addWidget(Combo1_);
  layout->addStretch();
  layout->addLayout(buttons);
  resize(420, 180);

  connect(Command1_, &QPushButton::clicked, this, &frmWizard::Command1_Click);
  connect(cmdCancel_, &QPushButton::clicked, this, &frmWizard::cmdCancel_Click);
  connect(cmdHelp_, &QPushButton::clicked, this, &frmWizard::cmdHelp_Click);
}

bool frmWizard::Form_Load() {
  path_ = appState().ProgramFolder + QStringLiteral("User/wiz.txt");
  file_.load(path_);
  if (file_.titles().isEmpty()) {
    dialogs().message(QStringLiteral("There was no wizard files found.  Press OK to continue..."),
                      MsgButtons::OK, MsgIcon::None, kProgramTitle, this);
    if (setup_) setup_->show();
    hide();
    return false;
  }
  Combo1_->clear();
  Combo1_->addItems(file_.titles());
  Combo1_->setCurrentIndex(0);
  return true;
}

void frmWizard::Command1_Click() {
  if (!setup_) return;
  const cataloguing::WizardSet set = file_.captionsFor(Combo1_->currentText().trimmed());
  // The boxes filled before a set runs short keep their new text.
  for (int k = 0; k < set.themes.size(); ++k)
    if (QLineEdit* box = setup_->Text1(k + 1)) box->setText(set.themes[k]);
  for (int k = 0; k < set.ratings.size(); ++k)
    if (QLineEdit* box = setup_->txtRating(k + 1)) box->setText(set.ratings[k]);
  if (!set.complete())
    dialogs().message(QStringLiteral("There were errors!"), MsgButtons::OK, MsgIcon::None,
                      kProgramTitle, this);
  setup_->setStatus(QStringLiteral("Done"));
}

void frmWizard::cmdCancel_Click() {
  if (setup_) setup_->show();
  hide();
  deleteLater();
}

void frmWizard::reject() {
  cmdCancel_Click();
}

void frmWizard::cmdHelp_Click() {
  help::showTopic(appState().HelpFile, 2);
}

}  // namespace glim
