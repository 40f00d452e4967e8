// The preview model shared by the brightness and contrast, RGB and gamma dialogs: the
// unchanged picture is parked in the scratch control while the dialog is open, so a preview
// can be taken back.
#pragma once

#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <functional>
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
  // Adds a labelled scroll bar with its range and initial value; `shown` turns the bar's
  // value into the text beside it (the value itself when empty).
  QScrollBar* addScroll(const QString& label, int minimum, int maximum, int initial,
                        std::function<QString(int)> shown = {});
  // Opens beside the picture it previews rather than over it.
  void showEvent(QShowEvent* event) override;
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

// The gamma a scroll value stands for, as the user reads it ("1.0", "0.5", "1.099").
QString gammaText(int scrollValue);

// Where a dialog of `size` goes on `screen` so that it covers as little of `picture` as can
// be: beside it when there is room, else in the screen corner that overlaps it least.
QRect placeBeside(const QRect& picture, const QSize& size, const QRect& screen);

class frmGamma : public PreviewDialog {
  Q_OBJECT
 public:
  explicit frmGamma(EditHost& host, QWidget* parent = nullptr);
  QScrollBar* HScroll1;  // Gamma, 100..2000
 protected:
  void apply() override;
};

}  // namespace glim
