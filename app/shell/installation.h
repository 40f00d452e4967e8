// Where the program keeps its files. Run from its build folder (any folder that holds the
// program with its data beside it), the program folder is the program's own folder. Run from an
// installed prefix (<prefix>/bin/glimmora with its data in <prefix>/share/glimmora/), that
// prefix is read-only and shared by every user, so the program folder is a per-user folder
// seeded from the installed data on the first run.
#pragma once

#include <QString>

namespace glim::installation {

struct Folders {
  bool installed = false;
  QString program;  // the program folder (AppState's ProgramFolder), ends in "/"
  QString help;     // the folder whose help/ holds the help files' pages, ends in "/"
  QString data;     // the installed read-only data, ends in "/"; empty unless installed
};

// Decided by the layout around the running program's folder, never by trying to write: tests
// and CI run as root, for whom every folder is writable.
Folders foldersFor(const QString& programDir);

// $XDG_DATA_HOME (when absolute), else ~/.local/share; no trailing "/".
QString userDataFolder();
// userDataFolder() + "/glimmora/".
QString perUserProgramFolder();

// Makes an installed program's per-user folder ready. A missing or empty folder is filled
// from the installed data (all of it except the help pages, plus User/, Backup/ and images/)
// in one step, so that a failure never leaves it half seeded; an existing folder, one of an
// older version too, is kept as it is. Returns an empty text when the folder is ready, else
// the message for the user, which names the folder. A build-folder layout needs nothing.
QString prepareProgramFolder(const Folders& folders);

}  // namespace glim::installation
