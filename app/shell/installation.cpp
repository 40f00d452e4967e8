#include "shell/installation.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

// GLIMMORA_DATA_FROM_BIN: the installed data folder relative to the installed program's
// folder, from the build's install folders.

namespace glim::installation {

namespace {

const QString kCatalogue = QStringLiteral("all1.mdb");
const QString kHelp = QStringLiteral("help");

QString withSlash(const QString& folder) {
  return folder.endsWith(u'/') ? folder : folder + u'/';
}

QString withoutSlash(const QString& folder) {
  QString out = folder;
  while (out.size() > 1 && out.endsWith(u'/')) out.chop(1);
  return out;
}

const QString kMakeWritable = QStringLiteral(
    "Make sure that folder can be written (or set XDG_DATA_HOME to a folder that can) and start "
    "Glimmora again.");

QString problem(const QString& folder, const QString& reason,
                const QString& remedy = kMakeWritable) {
  return QStringLiteral("Glimmora cannot keep its catalogue in the folder %1: %2. %3")
      .arg(QDir::toNativeSeparators(withoutSlash(folder)), reason, remedy);
}

// Copies are the user's own files from now on: writable by the user whatever the installed
// files' modes were.
bool copyFile(const QString& from, const QString& to) {
  if (!QDir().mkpath(QFileInfo(to).path()) || !QFile::copy(from, to)) return false;
  return QFile::setPermissions(
      to, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

// Everything of the installed data but the help pages, which stay read-only where they are.
bool copySeed(const QString& data, const QString& to) {
  QDirIterator it(data, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString source = it.next();
    const QString relative = QDir(data).relativeFilePath(source);
    if (relative == kHelp || relative.startsWith(kHelp + u'/')) continue;
    const QString target = to + relative;
    const bool ok = it.fileInfo().isDir() ? QDir().mkpath(target) : copyFile(source, target);
    if (!ok) return false;
  }
  for (const char* folder : {"User", "Backup", "images"})
    if (!QDir().mkpath(to + QLatin1String(folder))) return false;
  return true;
}

QString seed(const QString& data, const QString& folder) {
  const QString path = withoutSlash(folder);
  const QFileInfo info(path);
  if (info.exists() && !info.isDir())
    return problem(folder, QStringLiteral("a file of that name is in the way"));
  if (!QDir().mkpath(info.path()))
    return problem(folder, QStringLiteral("the folder cannot be created"));
  // Filled beside its place and renamed into it: a folder that exists is a complete one.
  QTemporaryDir staging(info.path() + QStringLiteral("/.glimmora-XXXXXX"));
  if (!staging.isValid()) return problem(folder, QStringLiteral("the folder cannot be created"));
  if (!copySeed(data, withSlash(staging.path())))
    return problem(folder, QStringLiteral("the installed data in %1 cannot be copied into it")
                               .arg(QDir::toNativeSeparators(withoutSlash(data))));
  if (info.exists()) QDir().rmdir(path);  // empty, or it would have been kept
  if (!QDir().rename(staging.path(), path))
    return problem(folder, QStringLiteral("the folder cannot be created"));
  staging.setAutoRemove(false);
  return {};
}

}  // namespace

Folders foldersFor(const QString& programDir) {
  Folders folders;
  const QString own = withSlash(programDir);
  const QString data = withSlash(QDir::cleanPath(own + QStringLiteral(GLIMMORA_DATA_FROM_BIN)));
  if (!QFileInfo(data + kCatalogue).isFile()) {
    folders.program = own;
    folders.help = own;
    return folders;
  }
  folders.installed = true;
  folders.program = perUserProgramFolder();
  folders.help = data;
  folders.data = data;
  return folders;
}

QString userDataFolder() {
  // Relative values are invalid and to be ignored.
  const QString base = qEnvironmentVariable("XDG_DATA_HOME");
  if (!base.isEmpty() && QDir::isAbsolutePath(base)) return withoutSlash(base);
  return QDir::homePath() + QStringLiteral("/.local/share");
}

QString perUserProgramFolder() {
  return userDataFolder() + QStringLiteral("/glimmora/");
}

QString prepareProgramFolder(const Folders& folders) {
  if (!folders.installed) return {};
  // Installed under ~/.local, the data folder is the per-user folder itself, and the next
  // install would overwrite the catalogue.
  if (QFileInfo(folders.program).canonicalFilePath() == QFileInfo(folders.data).canonicalFilePath())
    return problem(folders.program, QStringLiteral("Glimmora's installed data is in that folder"),
                   QStringLiteral("Install Glimmora under another prefix (or set XDG_DATA_HOME "
                                  "to another folder) and start Glimmora again."));
  const QDir existing(folders.program);
  if (!existing.exists() ||
      existing.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
    return seed(folders.data, folders.program);
  if (!QFileInfo(withoutSlash(folders.program)).isWritable())
    return problem(folders.program, QStringLiteral("the folder cannot be written"));
  return {};
}

}  // namespace glim::installation
