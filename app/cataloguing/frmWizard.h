// "Captions and Paths Setup Wizard": offers the caption sets of "User/wiz.txt" and fills the
// captions set-up window's theme and rating boxes with the chosen one.
#pragma once

#include <QDialog>
#include <QPointer>

#include "cataloguing/wizardfile.h"

class QComboBox;
class QPushButton;

namespace glim {

class frmSetupNew;

class frmWizard : public QDialog {
  Q_OBJECT

 public:
  // `setup` is the window whose boxes the wizard fills.
  explicit frmWizard(frmSetupNew* setup);

  // Reads the file and fills Combo1. With no sets it says so, shows the set-up window again
  // and returns false; the caller then releases the wizard.
  bool Form_Load();

  void Command1_Click();
  void cmdCancel_Click();
  void cmdHelp_Click();

  QComboBox* Combo1() const { return Combo1_; }
  QString filePath() const { return path_; }
  const cataloguing::WizardFile& file() const { return file_; }

 protected:
  void reject() override;  // Escape and the close button count as Cancel

 private:
  QPointer<frmSetupNew> setup_;
  QComboBox* Combo1_;
  QPushButton* Command1_;
  QPushButton* cmdCancel_;
  QPushButton* cmdHelp_;
  QString path_;
  cataloguing::WizardFile file_;
};

}  // namespace glim
