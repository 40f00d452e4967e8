// Saves the viewer's picture, with its edits, under another name and format. The saved file
// is not catalogued.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace glim {

class EditHost;
namespace editing {
class FolderPicker;
}

class frmSavePic : public QDialog {
  Q_OBJECT
 public:
  explicit frmSavePic(EditHost& host, QWidget* parent = nullptr);

  QComboBox* Drive1;
  class QTreeView* Dir1;
  QLineEdit* txtFilename;
  QComboBox* Combo1;
  QGroupBox* fraPassword;
  QLineEdit* txtPassword;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;
  QPushButton* cmdOptions;
  // Hidden boxes carrying the choice and options between this form and its options form.
  QLineEdit* txtFileType;
  QLineEdit* txtJPGQuality;
  QLineEdit* txtJPGOption;
  QLineEdit* txtPicQuality;
  QLineEdit* txtPicOption;
  QLineEdit* txtTIFCompressionType;
  QLineEdit* txtPNGOption;

  // The folder the folder list shows (Dir1.Path), without a trailing separator unless root.
  QString dirPath() const;
  void setDirPath(const QString& folder);

 public slots:
  void Form_Load();
  void Combo1_Click();
  void cmdOK_Click();
  void cmdCancel_Click();
  void cmdOptions_Click();

 private:
  void buildControls();
  EditHost& host_;
  editing::FolderPicker* folders_;
  QString pictureName_;
};

}  // namespace glim
