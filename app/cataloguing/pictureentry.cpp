#include "cataloguing/pictureentry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "base/textnum.h"

namespace glim::cataloguing {

QString storedExtension(const QString& path) {
  return textnum::right(path, 3).toLower();
}

std::optional<PictureEntry> readPictureEntry(const QString& path, const QDate& today) {
  // One stat call: the walk hands over tens of thousands of paths and the add runs per file.
  struct stat st;
  if (stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
    return std::nullopt;
  PictureEntry entry;
  entry.pathname = path;
  entry.extension = storedExtension(path);
  entry.fileSize = st.st_size;
  entry.fileDate = QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec).date();
  entry.dateAdded = today;
  return entry;
}

const QStringList& pictureTypes() {
  static const QStringList types{"jpg", "gif", "bmp",  "tif",  "pcx",  "pic", "tga", "wmf",
                                 "wpg", "png", "heic", "avif", "webp", "jxl", "raw"};
  return types;
}

// A type names its usual extension, except HEIF (three spellings) and camera raw (one per
// maker).
QStringList typeExtensions(const QString& type) {
  if (type == u"heic")
    return {QStringLiteral("heic"), QStringLiteral("heif"), QStringLiteral("hif")};
  if (type == u"raw")
    return {QStringLiteral("cr2"), QStringLiteral("nef"), QStringLiteral("nrw"),
            QStringLiteral("arw"), QStringLiteral("dng"), QStringLiteral("raf"),
            QStringLiteral("orf"), QStringLiteral("rw2"), QStringLiteral("pef"),
            QStringLiteral("srw")};
  return {type};
}

QString typePattern(const QStringList& ticked) {
  QString pattern;
  for (const QString& type : pictureTypes())
    if (ticked.contains(type, Qt::CaseInsensitive))
      for (const QString& ext : typeExtensions(type)) pattern += QStringLiteral(";*.") + ext;
  return pattern.mid(1);
}

QStringList patternFilters(const QString& pattern) {
  return pattern.split(u';', Qt::SkipEmptyParts);
}

}  // namespace glim::cataloguing

namespace glim::cataloguing {

QStringList folderPictures(const QString& folder, const QString& pattern) {
  const QStringList filters = patternFilters(pattern);
  if (filters.isEmpty() || folder.isEmpty()) return {};
  QList<QRegularExpression> matchers;
  for (const QString& filter : filters)
    matchers << QRegularExpression(QRegularExpression::wildcardToRegularExpression(filter),
                                   QRegularExpression::CaseInsensitiveOption);
  // Read with POSIX calls: Qt's own listing drops names that are not UTF-8 without a word,
  // and the add should name them ("not UTF-8 text") rather than never see them.
  DIR* dir = ::opendir(QFile::encodeName(folder).constData());
  if (!dir) return {};
  QStringList names;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') continue;  // hidden, "." and ".."
    struct stat st;
    if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
    const QString name = QFile::decodeName(entry->d_name);
    for (const QRegularExpression& matcher : std::as_const(matchers)) {
      if (matcher.match(name).hasMatch()) {
        names << name;
        break;
      }
    }
  }
  ::closedir(dir);
  std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
  });
  return names;
}

}  // namespace glim::cataloguing
