// The slide-show options: start picture, full screen or normal, auto replay, seconds per
// picture, and whether to store them as the new defaults. The start command waits while
// chkAllowChanges is set; Go or Cancel clears it (Cancel also sets chkCanceled).
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace glim::viewer {

class frmSlideOptionsDialog : public QDialog {
  Q_OBJECT
 public:
  frmSlideOptionsDialog();

  QRadioButton* optFirstPic() const { return optFirstPic_; }
  QRadioButton* optCurrentPic() const { return optCurrentPic_; }
  QRadioButton* optFullScreen() const { return optFullScreen_; }
  QRadioButton* optNormalScreen() const { return optNormalScreen_; }
  QCheckBox* chkAutoReplay() const { return chkAutoReplay_; }
  QLineEdit* txtSlideTime() const { return txtSlideTime_; }
  QScrollBar* VScroll1() const { return VScroll1_; }
  QCheckBox* chkSaveSettings() const { return chkSaveSettings_; }
  QCheckBox* chkAllowChanges() const { return chkAllowChanges_; }
  QCheckBox* chkCanceled() const { return chkCanceled_; }
  QPushButton* cmdGo() const { return cmdGo_; }
  QPushButton* cmdCancel() const { return cmdCancel_; }

  void Form_Load();
  void txtSlideTime_Change();
  void VScroll1_Change();
  void cmdGo_Click();
  void cmdCancel_Click();

  // The chosen values, as the start command takes them.
  QString startPicture() const;  // "First" or "Current"
  QString showMode() const;      // "Full Screen" or "Normal View"
  qint16 slideSeconds() const;
  bool repeat() const;

 signals:
  // Go or Cancel cleared chkAllowChanges.
  void decided();

 public slots:
  void reject() override;

 private:
  QRadioButton* optFirstPic_;
  QRadioButton* optCurrentPic_;
  QRadioButton* optFullScreen_;
  QRadioButton* optNormalScreen_;
  QCheckBox* chkAutoReplay_;
  QLineEdit* txtSlideTime_;
  QScrollBar* VScroll1_;
  QCheckBox* chkSaveSettings_;
  QCheckBox* chkAllowChanges_;
  QCheckBox* chkCanceled_;
  QPushButton* cmdGo_;
  QPushButton* cmdCancel_;
};

}  // namespace glim::viewer
