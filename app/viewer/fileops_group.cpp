#include "viewer/fileops_group.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/textnum.h"
#include "viewer/frmDBScreenTest.h"
#include "viewer/frmMoveNotify.h"

namespace glim::viewer {

namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QLatin1String(name));
  return button;
}

const QString kOverwriteTitle = QStringLiteral("File Overwrite Notice");

}  // namespace

void FileOperations::attach(frmDBScreenTest& viewer) {
  viewer_ = &viewer;
  QGroupBox* frame = viewer.fraPictureOptions();
  auto* row = new QWidget(frame);
  auto* buttons = new QGridLayout(row);
  buttons->setContentsMargins(0, 0, 0, 0);
  cmdDelete_ = makeButton(row, "cmdDelete", QStringLiteral("Delete"));
  cmdRecycle_ = makeButton(row, "cmdRecycle", QStringLiteral("Recycle"));
  cmdWipe_ = makeButton(row, "cmdWipe", QStringLiteral("Wipe"));
  cmdRemoveRecord_ = makeButton(row, "cmdRemoveRecord", QStringLiteral("Remove Record"));
  cmdMark_ = makeButton(row, "cmdMark", QStringLiteral("Backup"));
  cmdMark_->setToolTip(QStringLiteral("This marks the image for conversion, etc"));
  // Two to a row in the narrow panel; the longest caption has a row of its own.
  buttons->setSpacing(2);
  buttons->addWidget(cmdDelete_, 0, 0);
  buttons->addWidget(cmdRecycle_, 0, 1);
  buttons->addWidget(cmdWipe_, 1, 0);
  buttons->addWidget(cmdMark_, 1, 1);
  buttons->addWidget(cmdRemoveRecord_, 2, 0, 1, 2);
  if (auto* grid = qobject_cast<QGridLayout*>(frame->layout()))
    grid->addWidget(row, grid->rowCount(), 0, 1, grid->columnCount() > 0 ? grid->columnCount() : 1);
  else if (frame->layout())
    frame->layout()->addWidget(row);

  ArmedButtons& armed = viewer.armedButtons();
  armed.add(cmdDelete_, [this] { cmdDelete_Click(); });
  armed.add(cmdRecycle_, [this] { cmdRecycle_Click(); });
  armed.add(cmdWipe_, [this] { cmdWipe_Click(); });
  armed.add(cmdRemoveRecord_, [this] { cmdRemoveRecord_Click(); });
  armed.add(cmdMark_, [this] { cmdMark_Click(); });

  mnuRenameImage_ = viewer.RClickMenu()->addAction(QStringLiteral("Rename"));
  mnuRenameImage_->setObjectName(QStringLiteral("mnuRenameImage"));
  QObject::connect(mnuRenameImage_, &QAction::triggered, &viewer,
                   [this] { mnuRenameImage_Click(); });

  RClickMoveImage_ = viewer.RClickMenu()->addMenu(QStringLiteral("Move Image File"));
  RClickMoveImage_->setObjectName(QStringLiteral("RClickMoveImage"));
  for (int k = 1; k <= 7; ++k) {
    QMenu* menu = RClickMoveImage_->addMenu(QStringLiteral("Main Dir ") + QString::number(k));
    menu->setObjectName(QStringLiteral("RCMenuMoveMainDir") + QString::number(k));
    mainMenus_[size_t(k - 1)] = menu;
    for (int index = 0; index < 9; ++index) {
      QAction* item = menu->addAction(QStringLiteral("Sub Dir ") + QString::number(index + 1));
      item->setObjectName(QStringLiteral("RCMenuMoveMD%1SubDir_%2").arg(k).arg(index));
      QObject::connect(item, &QAction::triggered, &viewer,
                       [this, k, index] { RCMenuMoveSubDir_Click(k, index); });
      subItems_[size_t(k - 1) * 9 + size_t(index)] = item;
    }
  }

  DeleteMissingPics_ =
      viewer.menuFile()->addAction(QStringLiteral("&Delete Records With Missing Files"));
  DeleteMissingPics_->setObjectName(QStringLiteral("DeleteMissingPics"));
  QObject::connect(DeleteMissingPics_, &QAction::triggered, &viewer,
                   [this] { DeleteMissingPics_Click(); });
}

// The catalogue is open once the first picture is shown: the captions are read then.
void FileOperations::afterMove(frmDBScreenTest&) {
  if (!captioned_) captionMoveMenus();
}

bool FileOperations::hotKey(frmDBScreenTest& viewer, int code) {
  QPushButton* button = nullptr;
  switch (code) {
    case 'd':
      button = cmdDelete_;
      break;
    case 'r':
      button = cmdRecycle_;
      break;
    case 'w':
      button = cmdWipe_;
      break;
    case 'j':
      button = cmdRemoveRecord_;
      break;
    case 'b':
      button = cmdMark_;
      break;
    default:
      return false;
  }
  viewer.armedButtons().armAndClick(button);
  return true;
}

void FileOperations::captionMoveMenus() {
  if (!viewer_) return;
  catalogue::Database db = viewer_->dtaTest().database();
  if (!db.isOpen()) db = catalogue::Database::open(viewer_->dtaTest().databaseName());
  const auto read = db.isOpen() ? fileops::readFolderSlots(db) : std::nullopt;
  if (!read) return;  // the design captions stay; a move then finds no folder set up
  slots_ = *read;
  captioned_ = true;
  for (int k = 1; k <= 7; ++k) {
    mainMenus_[size_t(k - 1)]->setTitle(slots_.mainCaption[size_t(k - 1)]);
    for (int j = 1; j <= 9; ++j)
      subItems_[size_t((k - 1) * 9 + j - 1)]->setText(
          slots_.subCaption[size_t(fileops::slotOf(k, j) - 1)]);
  }
}

QString FileOperations::currentPath() const {
  return textnum::trim(viewer_->txtImagePath()->text());
}

bool FileOperations::confirm(const QString& title, const QString& question) {
  if (!appState().ConfirmDeletes) return true;
  const MsgResult answer = dialogs().message(
      QStringLiteral("(You can turn this confirmation off in the options screen if you wish.)\r") +
          question,
      MsgButtons::YesNoCancel, MsgIcon::Question, title, viewer_);
  return answer == MsgResult::Yes;
}

void FileOperations::reportFailure(const QString& title, const QString& failure) {
  dialogs().message(failure, MsgButtons::OK, MsgIcon::Exclamation, title, viewer_);
}

// The common tail of delete, recycle, wipe and remove record: the row is marked for removal
// and the picture taken off the screen; the set stays where it is.
void FileOperations::clearDisplay() {
  viewer_->txtStatus()->setText(QStringLiteral("Missing"));
  if (viewer_->Photo1()) viewer_->Photo1()->setFileName(QString());
  viewer_->focusFirstRating();
}

void FileOperations::cmdDelete_Click() {
  if (!confirm(QStringLiteral("Delete This Image?"),
               QStringLiteral("Are you sure you want to delete this image?")))
    return;
  const QString path = currentPath();
  if (fileops::fileExists(path)) {
    if (const auto failure = fileops::deleteFile(path); !failure.isEmpty())
      return reportFailure(QStringLiteral("Delete Failed"), failure);
  }
  clearDisplay();
}

void FileOperations::cmdRecycle_Click() {
  const QString path = currentPath();
  if (fileops::fileExists(path)) {
    if (const auto failure = fileops::recycleFiles({path}); !failure.isEmpty())
      return reportFailure(QStringLiteral("Recycle Failed"), failure);
  }
  clearDisplay();
}

void FileOperations::cmdWipe_Click() {
  if (!confirm(QStringLiteral("Wipe This Image?"),
               QStringLiteral("Are you sure you want to wipe this image?")))
    return;
  const QString path = currentPath();
  if (fileops::fileExists(path)) {
    if (const auto failure = fileops::wipeFile(path); !failure.isEmpty())
      return reportFailure(QStringLiteral("Wipe Failed"), failure);
  }
  clearDisplay();
}

void FileOperations::cmdRemoveRecord_Click() {
  clearDisplay();
}

bool FileOperations::recordMove(const QString& oldPath, const QString& newPath) {
  viewer_->txtImagePath()->setText(newPath);
  if (viewer_->updateRecord()) return true;
  // The row could not follow (the catalogue is in use or read-only): put the file back.
  viewer_->txtImagePath()->setText(oldPath);
  const auto back = fileops::moveFile(newPath, oldPath, false);
  reportFailure(QStringLiteral("Catalogue Error"),
                QStringLiteral("The catalogue could not be updated with the new name.") +
                    (back.isEmpty() ? QStringLiteral("\rThe file was put back where it was.")
                                    : QStringLiteral("\rThe file is now at ") +
                                          QDir::toNativeSeparators(newPath)));
  return false;
}

bool FileOperations::refuseCataloguedTarget(const QString& title, const QString& target) {
  if (!viewer_->namesAnotherRow(target)) return false;
  reportFailure(title, QStringLiteral("Another picture in the catalogue is already named ") +
                           QDir::toNativeSeparators(target) +
                           QStringLiteral(".\rNothing was changed; choose another name or "
                                          "folder."));
  return true;
}

void FileOperations::mnuRenameImage_Click() {
  const QString path = currentPath();
  const QString name = fileops::splitPath(path).name;
  const auto answer =
      dialogs().input(QStringLiteral("Enter a new name(do NOT include path/folder or extension):"),
                      QStringLiteral("Rename ") + name, QString(), viewer_);
  if (!answer) return;
  if (textnum::trim(*answer).isEmpty()) return;  // a name of the extension alone is refused
  const auto newPath = fileops::renamedPath(path, *answer);
  if (!newPath) {
    return reportFailure(QStringLiteral("Rename Failed"),
                         QStringLiteral("A new name may not contain a folder."));
  }
  if (*newPath == path) return;
  if (refuseCataloguedTarget(QStringLiteral("Rename Failed"), *newPath)) return;
  bool replace = false;
  if (fileops::fileExists(*newPath)) {
    if (dialogs().message(QStringLiteral("A file with the same name already exists!\r"
                                         "Overwrite the old image?"),
                          MsgButtons::YesNo, MsgIcon::None, kOverwriteTitle,
                          viewer_) != MsgResult::Yes)
      return;
    replace = true;
  }
  if (const auto failure = fileops::moveFile(path, *newPath, replace); !failure.isEmpty())
    return reportFailure(QStringLiteral("Rename Failed"), failure);
  recordMove(path, *newPath);
}

void FileOperations::RCMenuMoveSubDir_Click(int k, int index) {
  if (!captioned_) captionMoveMenus();
  const int slot = fileops::slotOf(k, index + 1);
  const QString path = currentPath();
  const auto destination =
      fileops::moveDestination(slots_.subPath[size_t(slot - 1)], fileops::splitPath(path).name);
  if (!destination) {
    return reportFailure(QStringLiteral("Move Failed"),
                         QStringLiteral("No folder has been set up for this sub-folder yet."));
  }
  if (path == *destination) return;
  if (refuseCataloguedTarget(QStringLiteral("Move Failed"), *destination)) return;
  bool replace = false;
  if (QFileInfo::exists(*destination)) {
    if (dialogs().message(QStringLiteral("A file with the same name already exists in the "
                                         "destination folder. \rOverwrite the old image?"),
                          MsgButtons::YesNo, MsgIcon::None, kOverwriteTitle,
                          viewer_) != MsgResult::Yes)
      return;
    replace = true;
  }
  if (const auto failure = fileops::moveFile(path, *destination, replace); !failure.isEmpty())
    return reportFailure(QStringLiteral("Move Failed"), failure);
  if (!recordMove(path, *destination)) return;
  indicateMove();
  viewer_->refreshInfoLabels();
}

void FileOperations::cmdMark_Click() {
  PhotoDisplay* photo = viewer_->Photo1();
  const QString shown = photo ? textnum::trim(photo->fileName()) : QString();
  const QString folder = appState().ProgramFolder + QStringLiteral("Backup/");
  const auto target = fileops::backupTarget(folder, fileops::splitPath(shown).name);
  const QString title = QStringLiteral("Backup Error");
  if (!target) {
    reportFailure(title, QStringLiteral("The backup failed.  Every backup name for this picture "
                                        "is taken; clear out the backup folder first."));
  } else if (!photo || shown.isEmpty() || photo->hDib() == 0) {
    reportFailure(title, QStringLiteral("The backup failed.  There is no picture to back up."));
  } else {
    photo->setSaveFileName(*target);
    photo->saveFile();
    const int error = photo->imagError();
    photo->setSaveFileName(shown);
    if (error != 0)
      reportFailure(title, QStringLiteral("The backup failed.  The backup folder may not exist."));
    else
      indicateMove();
  }
  viewer_->focusFirstRating();
}

void FileOperations::DeleteMissingPics_Click() {
  catalogue::DataControl& data = viewer_->dtaTest();
  data.updateRecord();
  catalogue::Database db = data.database();
  if (const auto failure = fileops::deleteMissingRecords(db); !failure.isEmpty())
    return reportFailure(QStringLiteral("Delete Records Failed"), failure);
  // The set's rows changed under it: open it again.
  data.refresh();
  viewer_->sizePositionBar();
}

}  // namespace glim::viewer
