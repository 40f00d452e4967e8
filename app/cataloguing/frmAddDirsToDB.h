// "Add/Rescan Folders For files": adds the picture files of one folder at a time to tbl1,
// optionally with a theme, or removes their rows again.
#pragma once

#include <QBoxLayout>
#include <QMap>
#include <QScrollArea>
#include <QWidget>

#include "catalogue/datacontrol.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace glim {

namespace editing {
class FolderPicker;
}

class frmAddDirsToDB : public QWidget {
  Q_OBJECT

 public:
  frmAddDirsToDB();
  ~frmAddDirsToDB() override;

  // Handlers, public so that tests and other windows drive the screen as a user would.
  void cmdAddFiles_Click();
  void cmdRemoveDir_Click();
  void cmdAddTheme_Click();
  void cmdOK_Click();
  void cmdHelp_Click();
  void typeBox_Click();

  // Shows a folder as if chosen in the folder list.
  void chooseFolder(const QString& folder);

  editing::FolderPicker* folders() const { return picker_; }
  QListWidget* File1() const { return File1_; }
  QLineEdit* txtCurrentPathname() const { return txtCurrentPathname_; }
  QLabel* lblTheme() const { return lblTheme_; }
  QLineEdit* txtTheme() const { return txtTheme_; }
  QLabel* lblStatus() const { return lblStatus_; }
  QPushButton* cmdAddFiles() const { return cmdAddFiles_; }
  // The type boxes by extension: "jpg" is chkJPEG, "pic" is chkPIC ("ePIC"), ...
  QCheckBox* typeBox(const QString& type) const { return typeBoxes_.value(type); }
  catalogue::DataControl& dtaAdd() { return dtaAdd_; }

  QString pattern() const { return pattern_; }
  qint32 nextIdNumber() const { return nextId_; }
  bool addedAnything() const { return addedAnything_; }

  // Folders "&Add to DB" ran on in this program run (kept when the screen closes).
  static QStringList scannedFolders();
  static void forgetScannedFolders();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildTypeBoxes(QWidget* parent);
  QScrollArea* scrollingDown(QWidget* panel, const QBoxLayout* layout,
                             const QLayout* buttons) const;
  void Form_Load();
  void Dir1_Change(const QString& folder);
  void fillFileList();
  QStringList listedPaths() const;
  void setBusy(bool busy);

  editing::FolderPicker* picker_;
  QListWidget* File1_;
  QMap<QString, QCheckBox*> typeBoxes_;
  QLineEdit* txtCurrentPathname_;
  QLabel* lblTheme_;
  QLineEdit* txtTheme_;
  QLabel* lblStatus_;
  QPushButton* cmdAddTheme_;
  QPushButton* cmdAddFiles_;
  QPushButton* cmdRemoveDir_;
  QPushButton* cmdOK_;
  QPushButton* cmdHelp_;
  QLineEdit* txtIDNumber_;
  QLineEdit* txtPathname_;
  QLineEdit* txtFileSize_;
  QLineEdit* txtFileCreationDate_;
  QLineEdit* txtDateAddedToDB_;
  QLineEdit* txt_;
  catalogue::DataControl dtaAdd_;
  QString pattern_;
  qint32 nextId_ = 1;
  bool addedAnything_ = false;
  bool openedHelp_ = false;
};

}  // namespace glim
