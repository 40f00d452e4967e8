#include "viewer/fileops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/textnum.h"
#include "catalogue/database.h"
#include "catalogue/recordset.h"

namespace glim::viewer::fileops {

namespace {

std::function<void(const QString&)>& wipeObserver() {
  static std::function<void(const QString&)> observer;
  return observer;
}

QString systemError(int code) {
  return QString::fromLocal8Bit(std::strerror(code));
}

Failure failed(const QString& what, const QString& path, int code) {
  return what + QStringLiteral(" ") + QDir::toNativeSeparators(path) + QStringLiteral(": ") +
         systemError(code);
}

bool writeAll(int fd, const char* data, qint64 size, qint64 at) {
  qint64 done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(fd, data + done, size_t(size - done), off_t(at + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

// Compares two files byte for byte (the check of a copy across volumes).
bool sameContent(const QString& a, const QString& b) {
  QFile fa(a);
  QFile fb(b);
  if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly)) return false;
  if (fa.size() != fb.size()) return false;
  while (!fa.atEnd()) {
    const QByteArray chunk = fa.read(1 << 20);
    if (chunk != fb.read(1 << 20)) return false;
  }
  return true;
}

// Copies, checks and puts the copy in place: the route between volumes, where rename fails.
Failure moveAcrossVolumes(const QString& from, const QString& to, bool replace) {
  const QString part = to + QStringLiteral(".glimmora-part");
  QFile::remove(part);
  if (!QFile::copy(from, part))
    return QStringLiteral("The file could not be copied to ") + QDir::toNativeSeparators(to);
  auto dropCopy = [&part](const QString& why) {
    QFile::remove(part);
    return why;
  };
  if (!sameContent(from, part))
    return dropCopy(
        QStringLiteral("The copy in the destination folder differs from the "
                       "original; the original was kept."));
  if (!replace && QFileInfo::exists(to))
    return dropCopy(QStringLiteral("A file named ") + QDir::toNativeSeparators(to) +
                    QStringLiteral(" already exists."));
  if (::rename(QFile::encodeName(part).constData(), QFile::encodeName(to).constData()) != 0)
    return dropCopy(failed(QStringLiteral("Could not write"), to, errno));
  if (!QFile::remove(from)) {
    // The original stays; the copy would be a second file the catalogue does not know.
    QFile::remove(to);
    return QStringLiteral("The original file could not be removed; it was left in place: ") +
           QDir::toNativeSeparators(from);
  }
  return {};
}

}  // namespace

bool fileExists(const QString& path) {
  if (path.isEmpty()) return false;
  struct stat info {};
  if (::stat(QFile::encodeName(path).constData(), &info) != 0) return false;
  return S_ISREG(info.st_mode);
}

SplitPath splitPath(const QString& path) {
  const qsizetype cut = path.lastIndexOf(u'/');
  if (cut < 0) return {QString(), path};
  return {path.left(cut + 1), path.mid(cut + 1)};
}

void setWipeObserver(std::function<void(const QString& path)> observer) {
  wipeObserver() = std::move(observer);
}

Failure wipeFile(const QString& path) {
  const QByteArray native = QFile::encodeName(path);
  // Through a link the overwrite would blank the target elsewhere and the deletion remove only
  // the link: refuse, naming the target, and change nothing.
  const int fd = ::open(native.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0 && errno == ELOOP)
    return QStringLiteral(
               "%1 is a link to %2. Glimmora does not wipe through links; nothing "
               "was wiped.")
        .arg(QDir::toNativeSeparators(path),
             QDir::toNativeSeparators(QFileInfo(path).symLinkTarget()));
  if (fd < 0) return failed(QStringLiteral("Could not open"), path, errno);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return QStringLiteral("Not a picture file: ") + QDir::toNativeSeparators(path);
  }
  const QByteArray exes(int(kWipeBlock), 'X');
  const QByteArray blanks(int(kWipeBlock), ' ');
  const qint64 blocks = qint64(info.st_size) / kWipeBlock;
  for (qint64 i = 0; i <= blocks; ++i) {
    const qint64 at = i * kWipeBlock;
    if (!writeAll(fd, exes.constData(), kWipeBlock, at) ||
        !writeAll(fd, blanks.constData(), kWipeBlock, at)) {
      const int code = errno;
      ::close(fd);
      return failed(QStringLiteral("Could not overwrite"), path, code);
    }
  }
  // The overwrite must reach the disk before the name goes, or the blocks may never be written.
  if (::fsync(fd) != 0) {
    const int code = errno;
    ::close(fd);
    return failed(QStringLiteral("Could not flush"), path, code);
  }
  ::close(fd);
  if (wipeObserver()) wipeObserver()(path);
  if (::unlink(native.constData()) != 0)
    return failed(QStringLiteral("The file was overwritten but could not be deleted:"), path,
                  errno);
  return {};
}

namespace {

// Whether a trashed file landed in a trash folder: "files" inside the home trash "Trash", a
// volume's ".Trash-<uid>", or a volume's ".Trash/<uid>".
bool inTrashFolder(const QString& landed) {
  const QFileInfo info(landed);
  if (!info.isAbsolute()) return false;
  QDir dir = info.absoluteDir();
  if (dir.dirName() != QStringLiteral("files") || !dir.cdUp()) return false;
  const QString trash = dir.dirName();
  if (trash == QStringLiteral("Trash") || trash.startsWith(QStringLiteral(".Trash-"))) return true;
  return dir.cdUp() && dir.dirName() == QStringLiteral(".Trash");
}

}  // namespace

Failure recycleFiles(const QStringList& paths) {
  for (const QString& path : paths) {
    QFile file(path);
    const QString name = QFileInfo(path).fileName();
    if (!file.moveToTrash())
      return QStringLiteral("Could not move ") + QDir::toNativeSeparators(path) +
             QStringLiteral(" to the trash: ") + file.errorString();
    const QString landed = file.fileName();
    if (inTrashFolder(landed)) continue;
    // When the trash folder cannot be made, the desktop library still reports success and
    // leaves the file in a "files" folder under the working folder: put it back.
    const QString files = QFileInfo(landed).absolutePath();
    const QString info = QDir::cleanPath(files + QStringLiteral("/../info"));
    const Failure back = moveFile(QFileInfo(landed).absoluteFilePath(), path, false);
    QFile::remove(info + u'/' + name + QStringLiteral(".trashinfo"));
    QDir().rmdir(files);  // only when empty
    QDir().rmdir(info);
    return QStringLiteral("Could not move ") + QDir::toNativeSeparators(path) +
           QStringLiteral(" to the trash: the trash folder cannot be written.") +
           (back.isEmpty() ? QString()
                           : QStringLiteral("\rThe file is now at ") +
                                 QDir::toNativeSeparators(QFileInfo(landed).absoluteFilePath()));
  }
  return {};
}

Failure deleteFile(const QString& path) {
  if (::unlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT) return {};
  return failed(QStringLiteral("Could not delete"), path, errno);
}

std::optional<QString> renamedPath(const QString& path, const QString& answer) {
  const QString trimmedPath = textnum::trim(path);
  const QString name = textnum::trim(answer);
  if (name.isEmpty() || name.contains(u'/') || name == QStringLiteral(".") ||
      name == QStringLiteral(".."))
    return std::nullopt;
  const SplitPath parts = splitPath(trimmedPath);
  // The extension is what follows the file name's last dot ("a.jpeg" keeps ".jpeg"); a name
  // without one gets none. A leading dot starts a hidden name, not an extension.
  const qsizetype dot = parts.name.lastIndexOf(u'.');
  const QString extension = dot > 0 ? parts.name.mid(dot) : QString();
  return textnum::trim(parts.folder) + name + textnum::trim(extension);
}

Failure moveFile(const QString& from, const QString& to, bool replace) {
  if (from == to) return {};
  if (!fileExists(from))
    return QStringLiteral("The file does not exist: ") + QDir::toNativeSeparators(from);
  const QString folder = splitPath(to).folder;
  if (!folder.isEmpty() && !QFileInfo(folder).isDir())
    return QStringLiteral("The folder does not exist: ") + QDir::toNativeSeparators(folder);
  if (!replace && QFileInfo::exists(to))
    return QStringLiteral("A file named ") + QDir::toNativeSeparators(to) +
           QStringLiteral(" already exists.");
  // rename(2) replaces the target in one step, so a failure leaves both files as they were.
  if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
    return {};
  if (errno == EXDEV) return moveAcrossVolumes(from, to, replace);
  return failed(QStringLiteral("Could not move"), from, errno);
}

std::optional<QString> backupTarget(const QString& folder, const QString& fileName) {
  const QString target = folder + textnum::trim(fileName);
  if (!fileExists(target)) return target;
  // The number goes before the extension, whatever its length ("a.heic" gives "a1.heic").
  const qsizetype dot = target.lastIndexOf(u'.');
  const bool named = dot > target.lastIndexOf(u'/') && dot >= textnum::length(target) - 5;
  const int cut = named ? int(dot) : textnum::length(target) - 4;
  const QString base = textnum::left(target, cut);
  const QString extension = target.mid(cut);
  for (int i = 1; i <= kBackupNameTries; ++i) {
    const QString candidate = base + QString::number(i) + extension;
    if (!fileExists(candidate)) return candidate;
  }
  return std::nullopt;
}

Failure deleteMissingRecords(catalogue::Database& db) {
  if (db.execute(QStringLiteral("DELETE * FROM tbl1 WHERE Status = 'Missing';"))) return {};
  if (db.lastErrorKind() == catalogue::DbError::Damaged)
    return catalogue::describeError(catalogue::DbError::Damaged, db.path());
  return QStringLiteral(
      "The rows of missing pictures could not be removed from the catalogue.  "
      "It may be in use or read-only; try again later.");
}

std::optional<FolderSlots> readFolderSlots(catalogue::Database& db, QString* error) {
  auto rows = db.openRecordset(QStringLiteral("SetupNew"));
  if (!rows) {
    if (error) *error = db.lastError();
    return std::nullopt;
  }
  FolderSlots table;
  for (int k = 1; k <= 7; ++k)
    table.mainCaption[size_t(k - 1)] = QStringLiteral("Main Dir ") + QString::number(k);
  for (int s = 1; s <= 63; ++s) {
    table.subCaption[size_t(s - 1)] = QStringLiteral("Sub Dir ") + QString::number((s - 1) % 9 + 1);
    table.subPath[size_t(s - 1)] = QStringLiteral("None");
  }
  for (rows->moveFirst(); !rows->eof(); rows->moveNext()) {
    const int main = rows->value(QStringLiteral("MainPathIndex")).toInt();
    const int slot = rows->value(QStringLiteral("IDP")).toInt();
    if (main < 1 || main > 7 || slot < 1 || slot > 63) continue;
    table.mainCaption[size_t(main - 1)] = rows->value(QStringLiteral("MainPathCaption")).toString();
    table.subCaption[size_t(slot - 1)] = rows->value(QStringLiteral("SubPathCaption")).toString();
    table.subPath[size_t(slot - 1)] = rows->value(QStringLiteral("SubPathPath")).toString();
  }
  return table;
}

std::optional<QString> moveDestination(const QString& slotPath, const QString& fileName) {
  QString folder = textnum::trim(slotPath);
  if (folder.isEmpty() || folder.compare(QStringLiteral("None"), Qt::CaseInsensitive) == 0)
    return std::nullopt;
  // Folders are stored ending in a separator; one typed without it still names the folder.
  if (!folder.endsWith(u'/')) folder += u'/';
  return folder + textnum::trim(fileName);
}

}  // namespace glim::viewer::fileops
