// The viewer's picture file commands: Delete, Recycle, Wipe, Remove Record and Backup buttons
// (armed buttons with hot keys d, r, w, j, b), Rename, the "Move Image File" menus captioned
// from the folder set-up, and Delete Records With Missing Files. Each command ends at its
// failing step, tells the user what failed, and leaves the row and the file as they were.
#pragma once

#include <QPointer>
#include <array>

#include "viewer/extension.h"
#include "viewer/fileops.h"

class QAction;
class QMenu;
class QPushButton;

namespace glim::viewer {

class FileOperations : public ViewerExtension {
 public:
  void attach(frmDBScreenTest& viewer) override;
  bool hotKey(frmDBScreenTest& viewer, int code) override;
  void afterMove(frmDBScreenTest& viewer) override;

  QPushButton* cmdDelete() const { return cmdDelete_; }
  QPushButton* cmdRecycle() const { return cmdRecycle_; }
  QPushButton* cmdWipe() const { return cmdWipe_; }
  QPushButton* cmdRemoveRecord() const { return cmdRemoveRecord_; }
  QPushButton* cmdMark() const { return cmdMark_; }
  QAction* mnuRenameImage() const { return mnuRenameImage_; }
  QAction* DeleteMissingPics() const { return DeleteMissingPics_; }
  QMenu* RClickMoveImage() const { return RClickMoveImage_; }
  // RCMenuMoveMainDir1 ... 7 (k = 1 ... 7) and their items, index 0 ... 8.
  QMenu* RCMenuMoveMainDir(int k) const { return mainMenus_.at(size_t(k - 1)); }
  QAction* RCMenuMoveSubDir(int k, int index) const {
    return subItems_.at(size_t(k - 1) * 9 + size_t(index));
  }

  void cmdDelete_Click();
  void cmdRecycle_Click();
  void cmdWipe_Click();
  void cmdRemoveRecord_Click();
  void cmdMark_Click();
  void mnuRenameImage_Click();
  void DeleteMissingPics_Click();
  // A click on item `index` of the move menu of main folder k.
  void RCMenuMoveSubDir_Click(int k, int index);
  // Captions the move menus from SetupNew (at viewer load).
  void captionMoveMenus();

 private:
  bool confirm(const QString& title, const QString& question);
  void clearDisplay();
  void reportFailure(const QString& title, const QString& failure);
  QString currentPath() const;
  // Points the row at `newPath`; on a failed write the file goes back to `oldPath`.
  bool recordMove(const QString& oldPath, const QString& newPath);
  // Refuses, with a message, a target that another catalogued picture is named by.
  bool refuseCataloguedTarget(const QString& title, const QString& target);

  QPointer<frmDBScreenTest> viewer_;
  QPushButton* cmdDelete_ = nullptr;
  QPushButton* cmdRecycle_ = nullptr;
  QPushButton* cmdWipe_ = nullptr;
  QPushButton* cmdRemoveRecord_ = nullptr;
  QPushButton* cmdMark_ = nullptr;
  QAction* mnuRenameImage_ = nullptr;
  QAction* DeleteMissingPics_ = nullptr;
  QMenu* RClickMoveImage_ = nullptr;
  std::array<QMenu*, 7> mainMenus_{};
  std::array<QAction*, 63> subItems_{};
  fileops::FolderSlots slots_;
  bool captioned_ = false;
};

}  // namespace glim::viewer
