// "Glimmora 2000 Tutorial": the first-run offer to open the help file's tutorial.
#pragma once

#include <QDialog>

class QPushButton;

namespace glim {

class frmTutorial : public QDialog {
  Q_OBJECT

 public:
  explicit frmTutorial(QWidget* parent = nullptr);

  void cmdShowTutorial_Click();
  void cmdCancel_Click();

  QPushButton* cmdShowTutorial() const { return cmdShowTutorial_; }
  QPushButton* cmdCancel() const { return cmdCancel_; }

 private:
  QPushButton* cmdShowTutorial_;
  QPushButton* cmdCancel_;
};

}  // namespace glim
