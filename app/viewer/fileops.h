// File routines of the viewer's picture commands: existence, splitting a path, the secure wipe,
// the trash, renaming and moving without losing a file, the backup's free name, and the
// catalogue purge. They report failures as text for the form to show and never pop anything up.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

namespace glim::catalogue {
class Database;
}

namespace glim::viewer::fileops {

// Empty on success, else what failed, in words for the user.
using Failure = QString;

// True when a lookup of the path finds a file (not a folder); any error counts as missing.
bool fileExists(const QString& path);

struct SplitPath {
  QString folder;  // up to and including the last separator; empty when there is none
  QString name;
};
SplitPath splitPath(const QString& path);

inline constexpr qint64 kWipeBlock = 4096;
// The wipe overwrites every 4096-byte stretch first with "X" and then with blanks, growing the
// file to (n + 1) whole blocks for a length of n whole blocks and a remainder, flushes it to
// the disk, and deletes it. A file that cannot be opened for writing is left as it was, and
// so is a symbolic link and its target (the link is refused with a message).
Failure wipeFile(const QString& path);
// Test seam: called with the path after the overwrite reached the disk, before the deletion.
void setWipeObserver(std::function<void(const QString& path)> observer);

// Moves each file to the desktop's trash; stops at the first that cannot be moved.
Failure recycleFiles(const QStringList& paths);

// Deletes a file; a missing file is no failure.
Failure deleteFile(const QString& path);

// The new path of a rename: folder + trimmed answer + the file name's extension (from its last
// dot on; none when the name has no dot). Nothing for an empty answer or one that names a
// folder, which would move the file instead of renaming it.
std::optional<QString> renamedPath(const QString& path, const QString& answer);

// Moves a file. An existing target is replaced only when `replace` is set, and is replaced in
// one step, so a failure keeps both files. Across volumes the file is copied beside the target,
// the copy compared with the source, put in place, and only then the source removed.
Failure moveFile(const QString& from, const QString& to, bool replace);

// The backup target for a picture named `fileName` in `folder`: the name itself when free,
// else the first free base + i + extension for i = 1 ... 30000; nothing when all are taken.
inline constexpr int kBackupNameTries = 30000;
std::optional<QString> backupTarget(const QString& folder, const QString& fileName);

// Deletes every catalogue row marked "Missing".
Failure deleteMissingRecords(catalogue::Database& db);

// The move menus' captions and folders: main folders 1..7, sub-folder slots 1..63.
struct FolderSlots {
  std::array<QString, 7> mainCaption;
  std::array<QString, 63> subCaption;
  std::array<QString, 63> subPath;  // "None" while the slot has no folder
};
inline constexpr int slotOf(int mainFolder, int subFolder) {
  return (mainFolder - 1) * 9 + subFolder;
}
// Reads table SetupNew; rows whose main folder index is 0 are skipped.
std::optional<FolderSlots> readFolderSlots(catalogue::Database& db, QString* error = nullptr);

// The destination of a move into a slot's folder; nothing while the slot has no folder.
std::optional<QString> moveDestination(const QString& slotPath, const QString& fileName);

}  // namespace glim::viewer::fileops
