// The caption and path of one sub-folder. The path box and its find button open the folder
// dialog. OK keeps the edits; Cancel discards them.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace glim {

class frmSubPathsCaptions : public QDialog {
  Q_OBJECT

 public:
  explicit frmSubPathsCaptions(QWidget* parent = nullptr);

  void setValues(const QString& mainCaption, const QString& caption, const QString& path);

  void cmdOK_Click();
  void cmdCancel_Click();
  void cmdFindPath_Click();

  QLabel* lblMainCaption() const { return lblMainCaption_; }
  QLineEdit* txtSubDirs() const { return txtSubDirs_; }
  QLineEdit* txtSubDirPath() const { return txtSubDirPath_; }
  QLabel* lblIndicator() const { return lblIndicator_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void reject() override;

 private:
  QLabel* lblMainCaption_;
  QLineEdit* txtSubDirs_;
  QLineEdit* txtSubDirPath_;
  QPushButton* cmdFindPath_;
  QPushButton* cmdOK_;
  QPushButton* cmdCancel_;
  QLabel* lblIndicator_;
  bool choosing_ = false;
};

}  // namespace glim
