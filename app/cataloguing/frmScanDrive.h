// The drive scan: lists every picture file of one type on the mounted local volumes and adds
// the list to tbl1 in one go; "Folder Info" counts the folders and files under a path. The
// walk runs on a worker thread, so the screen answers (Esc, the stop commands) throughout.
#pragma once

#include <QMainWindow>
#include <QMap>

#include "catalogue/datacontrol.h"
#include "cataloguing/treewalk.h"

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;

namespace glim {

namespace cataloguing {
class WalkJob;
}

class frmScanDrive : public QMainWindow {
  Q_OBJECT

 public:
  frmScanDrive();
  ~frmScanDrive() override;

  // The file search of one menu item; choosing an item while a search runs stops it.
  void findFiles(const QString& pattern);
  void mnuFolderInfo_Click();
  void cmdAddToDBandExit_Click();
  void cmdCancel_Click();
  // What Esc does: stops a running search or count.
  void stopWork();

  // The folders a file search walks: the local volumes unless a test or caller names others.
  void setSearchRoots(const QStringList& roots) { searchRoots_ = roots; }

  bool busy() const { return busy_; }
  bool findMode() const { return findMode_; }
  QListWidget* List1() const { return List1_; }
  QLabel* Picture1() const { return Picture1_; }
  QPushButton* cmdAddToDBandExit() const { return cmdAddToDBandExit_; }
  QMenu* mnuFindFiles() const { return mnuFindFiles_; }
  QAction* mnuFolderInfo() const { return mnuFolderInfo_; }
  // The menu item of a pattern such as "*.jpg".
  QAction* findItem(const QString& pattern) const { return findItems_.value(pattern); }
  catalogue::DataControl& dtaAddListToDB() { return dtaAddListToDB_; }
  qint64 folderCount() const { return folders_; }
  qint64 fileCount() const { return files_; }
  // The outcome of the last search or count.
  const cataloguing::WalkResult& lastResult() const { return lastResult_; }

 signals:
  // A search or count has ended (stopped or not).
  void workFinished();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenus();
  void Form_Load();
  void startWalk(const QStringList& roots, bool findMode);
  void walkProgress(const QString& folder, const QStringList& found, qint64 folders, qint64 files,
                    qint64 matches);
  void walkFinished(const cataloguing::WalkResult& result);
  void setWaitCursor(bool wait);

  QMenu* mnuFindFiles_;
  QMap<QString, QAction*> findItems_;
  QAction* mnuFolderInfo_;
  QListWidget* List1_;
  QLabel* Picture1_;
  QPushButton* cmdAddToDBandExit_;
  QPushButton* cmdCancel_;
  QLineEdit* txtIDNumber_;
  QLineEdit* txtPathName_;
  QLineEdit* txtFileSize_;
  QLineEdit* txtFileCreationDate_;
  QLineEdit* txtDateAddedToDB_;
  QLineEdit* txtExtension_;
  catalogue::DataControl dtaAddListToDB_;
  cataloguing::WalkJob* job_;
  QStringList searchRoots_;
  QString pattern_;
  QString infoPath_;
  bool busy_ = false;
  bool findMode_ = false;
  bool adding_ = false;
  qint64 folders_ = 0;
  qint64 files_ = 0;
  cataloguing::WalkResult lastResult_;
};

}  // namespace glim
