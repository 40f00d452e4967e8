// The folder walk behind the drive scan, "Folder Info" and the windowless scan. It runs on
// any thread: it reads no window state, reports through a callback and stops when asked.
#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

#include "base/volumes.h"

namespace glim::cataloguing {

struct WalkRequest {
  QStringList roots;     // folders to walk, each from its top
  QString pattern;       // file pattern such as "*.jpg", matched without regard to case
  bool findMode = true;  // list matching files; otherwise count folders and files
  // Stay on the file system of each root (as `find -xdev`), so that walking one volume
  // never wanders into another or into /proc.
  bool oneFileSystem = true;
  // How often batches go out; 0 reports after every folder.
  int reportEveryMs = 40;
};

struct WalkProgress {
  QString folder;      // the folder being searched, ending in "/"
  QStringList found;   // matches since the previous report, in walk order
  qint64 folders = 0;  // folders counted so far (count mode)
  qint64 files = 0;    // files counted so far (count mode)
  qint64 matches = 0;  // matches so far (find mode)
};

// Called with a batch every few dozen milliseconds and once at the end (the last batch may
// be empty). Runs on the walking thread.
using WalkReport = std::function<void(WalkProgress&)>;

struct WalkResult {
  qint64 folders = 0;
  qint64 files = 0;
  qint64 matches = 0;
  bool stopped = false;
};

// Test seam: runs on the walking thread as each folder is entered (its path ends in "/"), so
// a test can hold a walk at a known folder until it has asked for a stop.
void setFolderGate(std::function<void(const QString& folder)> gate);

// Depth first: a folder's matches, then each sub-folder in name order. Folders whose name
// begins with "." are neither counted nor searched; symbolic links to folders are not
// followed; folders that cannot be read are skipped. `stop` is checked in every folder and
// between entries; what was found before a stop is still reported.
WalkResult walkTree(const WalkRequest& request, const std::atomic_bool& stop,
                    const WalkReport& report);

}  // namespace glim::cataloguing

#include <QMetaType>
Q_DECLARE_METATYPE(glim::cataloguing::WalkResult)
