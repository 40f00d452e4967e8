// The options of one save format: JPEG or ePIC quality and progressive mode, TIFF
// compression, PNG interlacing. OK stores them and hands them to the save dialog.
#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <map>

namespace glim {

class frmSavePic;

class frmSavePicOptions : public QDialog {
  Q_OBJECT
 public:
  // `fileType` is the extension of the chosen format ("jpg", "pic", "tif", "png").
  frmSavePicOptions(frmSavePic& owner, const QString& fileType, QWidget* parent = nullptr);

  QGroupBox* fraJPGOptions;
  QScrollBar* Slider1;
  QLabel* lblJPEGQuality;
  QRadioButton* optJPGStandard;
  QRadioButton* optJPGProgressive;
  QGroupBox* fraPicOptions;
  QScrollBar* Slider2;
  QLabel* lblPICQuality;
  QRadioButton* optPICStandard;
  QRadioButton* optPICProgressive;
  QGroupBox* fraTifOptions;
  std::map<int, QRadioButton*> optTIF;  // optTIF0 .. optTIF7 by compression digit (no 4)
  QGroupBox* fraPngOptions;
  QRadioButton* optPNGInterlaced;
  QRadioButton* optPNGNonInterlaced;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;

 public slots:
  void cmdOK_Click();
  void cmdCancel_Click();

 private:
  QGroupBox* qualityFrame(const QString& title, QScrollBar** slider, QLabel** label,
                          QRadioButton** standard, QRadioButton** progressive,
                          const QString& standardText, const QString& progressiveText);
  frmSavePic& owner_;
  QString type_;
};

}  // namespace glim
