// Resizes the viewer's picture by pixels or by percentage, optionally keeping the aspect
// ratio, with one of three methods. Opened modally by the resize command, which has already
// armed the undo copy.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace glim {

class EditHost;

class frmResizeMethods : public QDialog {
  Q_OBJECT
 public:
  explicit frmResizeMethods(EditHost& host, QWidget* parent = nullptr);

  QRadioButton* optPixels;
  QGroupBox* fraPixels;
  QLineEdit* txtPixelWidth;
  QLineEdit* txtPixelHeight;
  QRadioButton* optPercentage;
  QGroupBox* fraPercentage;
  QLineEdit* txtPercentageWidth;
  QLineEdit* txtPercentageHeight;
  QLabel* lblPixWidth;
  QLabel* lblPixHeight;
  QCheckBox* chkMaintainAspectRatio;
  QLabel* lblAspectRatio;
  QGroupBox* fraResizeType;
  QRadioButton* optResize;
  QRadioButton* optResample;
  QRadioButton* optPicResize;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;
  QPushButton* cmdHelp;

  // The highest percentage a box accepts, so that no side leaves the engine's range.
  int percentageLimit() const { return percentLimit_; }

 public slots:
  void Form_Load();
  void optPixels_Click();
  void optPercentage_Click();
  void chkMaintainAspectRatio_Click();
  void txtPixelWidth_Change();
  void txtPixelHeight_Change();
  void txtPercentageWidth_Change();
  void txtPercentageHeight_Change();
  void cmdOK_Click();
  void cmdCancel_Click();
  void cmdHelp_Click();
  // Escape and the close box end the dialog as Cancel does.
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildControls();
  void enableMode(bool pixels);
  void resetSizes();
  void capPercentage(QLineEdit* box);

  EditHost& host_;
  int width_ = 0;
  int height_ = 0;
  double ratio_ = 1.0;
  int percentLimit_ = 20000;
  QLineEdit* selectOnRelease_ = nullptr;
};

}  // namespace glim
