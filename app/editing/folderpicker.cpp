#include "editing/folderpicker.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QVBoxLayout>

#include "base/volumes.h"

namespace glim::editing {

FolderPicker::FolderPicker(QWidget* parent) : QWidget(parent) {
  Drive1_ = new QComboBox(this);
  Drive1_->setObjectName(QStringLiteral("Drive1"));
  Drive1_->addItems(localVolumes());
  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  model_->setRootPath(QStringLiteral("/"));
  Dir1_ = new QTreeView(this);
  Dir1_->setObjectName(QStringLiteral("Dir1"));
  Dir1_->setModel(model_);
  for (int column = 1; column < model_->columnCount(); ++column) Dir1_->hideColumn(column);
  Dir1_->header()->hide();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Drive1_);
  layout->addWidget(Dir1_, 1);
  connect(Drive1_, &QComboBox::activated, this, &FolderPicker::Drive1_Change);
  // Folders are read in the background: as each one above the chosen folder arrives, the rows
  // move, so the chosen folder is brought back into view.
  connect(model_, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
    if (path_.startsWith(withSeparator(loaded))) revealChosenFolder();
  });
  connect(Dir1_, &QTreeView::clicked, this, &FolderPicker::folderActivated);
  connect(Dir1_, &QTreeView::activated, this, &FolderPicker::folderActivated);
  // Moving through the list with the keyboard chooses folders too.
  connect(Dir1_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { folderActivated(current); });
}

QString FolderPicker::volumeOf(const QString& folder) const {
  QString best;
  for (int i = 0; i < Drive1_->count(); ++i) {
    const QString volume = Drive1_->itemText(i);
    if ((folder == volume || folder.startsWith(withSeparator(volume))) &&
        volume.size() > best.size())
      best = volume;
  }
  return best;
}

void FolderPicker::setPath(const QString& folder) {
  QString existing = QDir::cleanPath(folder.isEmpty() ? QStringLiteral("/") : folder);
  while (!QFileInfo(existing).isDir() && existing != QStringLiteral("/"))
    existing = QFileInfo(existing).path();
  path_ = withSeparator(existing);
  const QString volume = volumeOf(existing);
  if (!volume.isEmpty()) Drive1_->setCurrentText(volume);
  Dir1_->setCurrentIndex(model_->index(existing));
  revealChosenFolder();
  emit Dir1_Change(path_);
}

void FolderPicker::revealChosenFolder() {
  const QModelIndex index = Dir1_->currentIndex();
  if (!index.isValid()) return;
  for (QModelIndex above = index.parent(); above.isValid(); above = above.parent())
    Dir1_->expand(above);
  Dir1_->expand(index);
  Dir1_->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

// A drive change moves the folder list to the top of that volume.
void FolderPicker::Drive1_Change(int index) {
  setPath(Drive1_->itemText(index));
}

void FolderPicker::folderActivated(const QModelIndex& index) {
  const QString folder = model_->filePath(index);
  if (!folder.isEmpty() && withSeparator(folder) != path_) setPath(folder);
}

}  // namespace glim::editing
