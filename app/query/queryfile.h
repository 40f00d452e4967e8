// Query files: the builder's criteria as a fixed 1174-byte record (little-endian numbers,
// OLE Automation dates, blank-filled texts), written three times and read back from the
// first copy. Also the copying between a record and the criteria, field by field.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>

#include "query/querycriteria.h"

namespace glim::query {

inline constexpr int kRecordSize = 1174;
inline constexpr int kRecordCopies = 3;
inline constexpr qint16 kThemeRowOff = 101;

struct QueryRecord {
  QByteArray viewCode = QByteArray(2, '\0');  // "1A", "1B", "2A", "2B"
  qint16 createDateInclude = 0;               // 0 or -1
  qint16 createDateOp = 0;
  double createDate = 0;
  std::array<qint16, kFileTypes> fileTypes{};
  qint16 fileSizeInclude = 0;
  qint16 fileSizeOp = 0;
  qint32 fileSize = 0;
  std::array<qint16, 11> ratingInclude{};
  std::array<qint16, 11> ratingOp{};
  std::array<qint16, 11> ratingValue{};
  qint16 orderedInclude = 0;
  std::array<qint16, 3> orderedRowInclude{};
  std::array<qint16, 3> orderedTheme{};
  qint16 themesAnyInclude = 0;
  std::array<qint16, 7> themeRows{};
  qint16 allThemes = 0;  // 0 or -1
  QByteArray reserved1 = QByteArray(500, ' ');
  QByteArray reserved2 = QByteArray(500, ' ');
  qint16 pictureSizeInclude = 0;
  qint16 widthOp = 0;  // 0 not included, 1 smaller, 2 equal, 3 larger
  qint16 heightOp = 0;
  qint16 width = 0;
  qint16 height = 0;
  qint16 lastViewedInclude = 0;
  qint16 lastViewedOp = 0;
  double lastViewedDate = 0;
  qint16 spam = 0;
  qint32 colourLimit = 0;
  qint16 bannerMode = 0;  // 0 not omitted, 1 by ratio, 2 "Auto"
  float aspectRatio = 0;
};

QByteArray encodeRecord(const QueryRecord& r);
// Reads one record from the first kRecordSize bytes; false when there are fewer.
bool decodeRecord(const QByteArray& bytes, QueryRecord& r);

// Writes the record three times, replacing the file as a whole. False when it cannot be
// written; an existing file is then left as it was.
bool writeQueryFile(const QString& path, const QueryRecord& r, QString* error = nullptr);
// Reads the first record. False when the file is missing, unreadable or shorter than one
// record.
bool readQueryFile(const QString& path, QueryRecord& r, QString* error = nullptr);

// Form -> record. Fields the rules say keep their previous value (the first any-order
// theme while that box is clear) are left as they are in `r`.
void captureQueryRecord(const QueryCriteria& c, QueryRecord& r);

// Record -> form, in the builder's order. Stops at the first value a control would refuse
// (a size beyond its slider, a rating above 5, a list position beyond the theme list, a box
// value other than 0 or 1, a date the calendar cannot show); the fields before it stay
// applied. Returns true when every field was applied.
bool applyQueryRecord(const QueryRecord& r, QueryCriteria& c, const QStringList& themeNames);

// The messages and titles of query-file loading.
inline const QString kLoadErrorText = QStringLiteral("Error Loading file.  File may be corrupt.");
inline const QString kLoadErrorTitle = QStringLiteral("File Load Error");
inline const QString kApplyErrorText =
    QStringLiteral("Error loading query file.  The file may be corrupt.");
inline const QString kRunErrorText = QStringLiteral("There was an error loading this query file.");

// Reads a query file and applies it to criteria that start as `base`: what the builder does
// on Load. On failure `message` holds the load or apply message the builder shows (a file too
// short to hold a query is "corrupt"; a missing one is said to be missing), and
// `reason` what is wrong in plain words (missing, unreadable, damaged), for the windowless
// commands.
struct LoadedQuery {
  bool ok = false;
  bool readFailed = false;  // the file itself could not be read (message: what is wrong with it)
  QString message;
  QString reason;
  QueryCriteria criteria;
  QueryRecord record;
};
LoadedQuery loadQueryFile(const QString& path, const QueryCriteria& base,
                          const QStringList& themeNames);

}  // namespace glim::query
