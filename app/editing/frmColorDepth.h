// Converts the viewer's picture to another colour depth, palette and dither style.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QPushButton>

namespace glim {

class EditHost;

class frmColorDepth : public QDialog {
  Q_OBJECT
 public:
  explicit frmColorDepth(EditHost& host, QWidget* parent = nullptr);

  QGroupBox* Frame1;
  QComboBox* cboColorDepth;
  QComboBox* cboPalette;
  QComboBox* cboDithering;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;

 public slots:
  void cmdOK_Click();
  void cmdCancel_Click();

 private:
  EditHost& host_;
};

}  // namespace glim
