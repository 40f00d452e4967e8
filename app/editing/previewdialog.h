// The preview model shared by the brightness and contrast, RGB and gamma dialogs: the
// unchanged picture is parked in the scratch control while the dialog is open, so a preview
// can be taken back.
#pragma once

#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <vector>

namespace glim {

class EditHost;

class PreviewDialog : public QDialog {
  Q_OBJECT
 public:
  QPushButton* cmdPreview;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;
  QPushButton* cmdResetImage;

  bool previewing() const { return preview_; }

 public slots:
  void cmdPreview_Click();
  void cmdOK_Click();
  void cmdCancel_Click();
  void cmdResetImage_Click();
  // Escape and the close box end the dialog as Cancel does.
  void reject() override;
  // Any scroll bar moved: while a preview is shown, go back to the unchanged picture.
  void HScroll_Change();

 protected:
  PreviewDialog(EditHost& host, const QString& caption, QWidget* parent);
  // Adds a labelled scroll bar with its range and initial value.
  QScrollBar* addScroll(const QString& label, int minimum, int maximum, int initial);
  // Applies the dialog's operation with the current values to the picture.
  virtual void apply() = 0;
  // Form_Unload: the picture counts as altered and the parked copy is freed.
  void done(int result) override;
  EditHost& host() { return host_; }

 private:
  void restore();
  EditHost& host_;
  bool preview_ = false;
  std::vector<std::pair<QScrollBar*, int>> scrolls_;
  QGridLayout* grid_;
};

class frmColor : public PreviewDialog {
  Q_OBJECT
 public:
  explicit frmColor(EditHost& host, QWidget* parent = nullptr);
  QScrollBar* HScroll1;  // Brightness
  QScrollBar* HScroll2;  // Contrast
 protected:
  void apply() override;
};

class frmRGB : public PreviewDialog {
  Q_OBJECT
 public:
  explicit frmRGB(EditHost& host, QWidget* parent = nullptr);
  QScrollBar* HScroll1;  // Red
  QScrollBar* HScroll2;  // Green
  QScrollBar* HScroll3;  // Blue
 protected:
  void apply() override;
};

class frmGamma : public PreviewDialog {
  Q_OBJECT
 public:
  explicit frmGamma(EditHost& host, QWidget* parent = nullptr);
  QScrollBar* HScroll1;  // Gamma, 100..2000
 protected:
  void apply() override;
};

}  // namespace glim
