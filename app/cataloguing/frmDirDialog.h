// "Select a Folder": drive, folder and file lists with the shown path in Label1 (always ending
// in "/"). OK or closing the window gives the shown path; Cancel gives the starting path.
#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

namespace glim {

namespace editing {
class FolderPicker;
}

class frmDirDialog : public QDialog {
  Q_OBJECT

 public:
  explicit frmDirDialog(QWidget* parent = nullptr);

  // Starts at a folder; a path that does not exist starts at the nearest folder above it.
  void startAt(const QString& path);
  // The answer once the dialog has finished.
  QString chosenPath() const { return chosen_; }

  void cmdOK_Click();
  void cmdCancel_Click();

  editing::FolderPicker* folders() const { return picker_; }
  QListWidget* File1() const { return File1_; }
  QLabel* Label1() const { return Label1_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;  // Escape counts as Cancel

 private:
  void showFolder(const QString& folder);

  editing::FolderPicker* picker_;
  QListWidget* File1_;
  QLabel* Label1_;
  QPushButton* cmdOK_;
  QPushButton* cmdCancel_;
  QString start_;
  QString chosen_;
  bool answered_ = false;
};

// Shows a dialog window-modal and keeps the program responsive until it has finished.
int runDialog(QDialog* dialog);

}  // namespace glim
