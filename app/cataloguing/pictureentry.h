// What adding a picture file stores about it: the values of one new tbl1 row, shared by the
// add-by-folder screen, the drive scan and the windowless cataloguing.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

namespace glim::cataloguing {

// The stored extension: the last three characters of the path, lower-cased ("Photo.JPG" gives
// "jpg", "a.jpeg" gives "peg").
QString storedExtension(const QString& path);

// The fields of a new row apart from its ID number and theme.
struct PictureEntry {
  QString pathname;
  QString extension;
  qint64 fileSize = 0;
  QDate fileDate;   // the file's last modification, the catalogue's "creation date"
  QDate dateAdded;  // today
};

// Reads the file's size and date; nothing when it is gone, unreadable or not a plain file.
std::optional<PictureEntry> readPictureEntry(const QString& path, const QDate& today);

// The types the add screen offers, in the order the type pattern lists them.
const QStringList& pictureTypes();
// ";*.ext" for each ticked type in the fixed order, leading ";" removed:
// {"jpg","gif","pic","png"} gives "*.jpg;*.gif;*.pic;*.png". Unknown types are left out.
QString typePattern(const QStringList& ticked);

// The file-name extensions a type stands for ("raw": every camera maker's).
QStringList typeExtensions(const QString& type);
// The patterns of a type pattern, for a file list's name filters.
QStringList patternFilters(const QString& pattern);

}  // namespace glim::cataloguing

namespace glim::cataloguing {

// The names of the files of one folder that a file list with this type pattern shows: plain
// files (hidden ones left out) matching any of the patterns without regard to case, in name
// order. A name that is not UTF-8 is listed as decoded (with U+FFFD for its bad bytes), so
// that adding it can say why it is left out.
QStringList folderPictures(const QString& folder, const QString& pattern);

}  // namespace glim::cataloguing
