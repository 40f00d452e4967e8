// "Glimmora Options": viewing, security, catalogue maintenance and slide-show defaults.
// Changes are written by Apply or OK; the deletions box and the credentials are written at
// once when used.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>

#include "catalogue/datacontrol.h"

namespace glim {

class frmOptions : public QDialog {
  Q_OBJECT
 public:
  frmOptions();
  ~frmOptions() override;

  QTabWidget* SSTab1;
  // Viewing
  QRadioButton* optFullScreen;
  QRadioButton* optRegSize;
  QCheckBox* chkAllowDeletes;
  // Security
  QCheckBox* chkPasswordPrompt;
  QGroupBox* fraSecurity1;
  QCheckBox* chkUseNamePass;
  QLabel* lblUserName;
  QLabel* lblUserPassword;
  QLineEdit* txtUserName;
  QLineEdit* txtUserPassword;
  QPushButton* cmdUpdateNamePassword;
  QCheckBox* chkPasswordPromptForAutoSlides;
  // Database
  QRadioButton* Option1[5];
  QPushButton* cmdGoDB;
  catalogue::DataControl Data1;
  QLineEdit* txtPathname;
  QLineEdit* txtStatus;
  // Slide Show
  QRadioButton* optSlideNormal;
  QRadioButton* optSlideFullScreen;
  QCheckBox* chkAutoStartQRY;
  QRadioButton* optCurrentPic;
  QRadioButton* optFirstPic;
  QCheckBox* chkRepeatSlides;
  QLineEdit* txtSlideTime;
  QScrollBar* VScroll1;
  // Buttons
  QPushButton* cmdOK;
  QPushButton* cmdCancel;
  QPushButton* cmdApply;
  QPushButton* cmdHelp;

  void cmdApply_Click();
  void cmdOK_Click();
  void cmdCancel_Click();
  void cmdHelp_Click();
  void cmdUpdateNamePassword_Click();
  void cmdGoDB_Click();
  void chkAllowDeletes_Click();

  // The slide-time entry rule: "2" -> "3", "75" -> "60", not numeric -> "3".
  static QString ruledSlideTime(const QString& text);

 private:
  QWidget* buildViewingTab();
  QWidget* buildSecurityTab();
  QWidget* buildDatabaseTab();
  QWidget* buildSlideShowTab();
  QWidget* buildButtons();
  void Form_Load();
  void watchChanges();
  void setSecurityEnabled(bool enabled);
  void txtSlideTime_Change();
  void VScroll1_Change();
  void changed();

  bool loading_ = true;
  bool inSlideRule_ = false;
};

}  // namespace glim
