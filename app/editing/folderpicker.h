// The drive list and folder list pair of the cataloguing screens: Drive1 holds the mounted
// local volumes, Dir1 the folder tree of the chosen one. The screens read the chosen folder
// and follow its changes.
#pragma once

#include <QComboBox>
#include <QTreeView>
#include <QWidget>

class QFileSystemModel;

namespace glim::editing {

class FolderPicker : public QWidget {
  Q_OBJECT

 public:
  explicit FolderPicker(QWidget* parent = nullptr);

  QComboBox* Drive1() const { return Drive1_; }
  QTreeView* Dir1() const { return Dir1_; }

  // The chosen folder, ending in "/".
  QString path() const { return path_; }
  // Shows a folder (the nearest existing one above it when it is gone) and announces it.
  void setPath(const QString& folder);

 signals:
  // The chosen folder changed (Dir1 change); ends in "/".
  void Dir1_Change(const QString& folder);

 private:
  void Drive1_Change(int index);
  void folderActivated(const QModelIndex& index);
  QString volumeOf(const QString& folder) const;
  // Opens the branches above the chosen folder and scrolls it into view.
  void revealChosenFolder();

  QComboBox* Drive1_;
  QTreeView* Dir1_;
  QFileSystemModel* model_;
  QString path_;
};

}  // namespace glim::editing
