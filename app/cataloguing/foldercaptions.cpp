#include "cataloguing/foldercaptions.h"

#include "base/settings.h"
#include "base/textnum.h"
#include "catalogue/jetsql.h"
#include "catalogue/recordset.h"

namespace glim::cataloguing {

namespace {

const QString kNotSet = QStringLiteral("None Yet");
// The row a search that finds nothing rests on; never a main folder of its own.
const QString kFirstRow = QStringLiteral("NNNN");

QString mainKey(int i) {
  return QStringLiteral("MainPath") + QString::number(i);
}

QStringList loadNames(const QString& section, const QString& key, const QString& shown, int count) {
  QStringList names;
  for (int k = 1; k <= count; ++k)
    names.append(settings::read(section, key + QString::number(k), shown + QString::number(k)));
  return names;
}

void storeNames(const QString& section, const QString& key, const QStringList& names) {
  for (int k = 1; k <= names.size(); ++k)
    settings::write(section, key + QString::number(k), names[k - 1]);
}

}  // namespace

QStringList loadMainCaptions() {
  QStringList captions;
  for (int i = 1; i <= kMainFolders; ++i) {
    QString caption = settings::read(settings::kSettings, mainKey(i), kNotSet);
    if (caption == kNotSet) {
      caption = mainKey(i);
      settings::write(settings::kSettings, mainKey(i), caption);
    }
    captions.append(caption);
  }
  return captions;
}

void storeMainCaptions(const QStringList& captions) {
  for (int i = 1; i <= captions.size() && i <= kMainFolders; ++i)
    settings::write(settings::kSettings, mainKey(i), captions[i - 1]);
}

QStringList resetMainCaptions() {
  QStringList captions;
  for (int i = 1; i <= kMainFolders; ++i) captions.append(mainKey(i));
  storeMainCaptions(captions);
  return captions;
}

QStringList loadThemeNames() {
  return loadNames(settings::kClassifications, QStringLiteral("Class"), QStringLiteral("Theme"),
                   kThemes);
}

QStringList loadRatingNames() {
  return loadNames(settings::kRatings, QStringLiteral("Rating"), QStringLiteral("Rating"),
                   kRatings);
}

void storeThemeNames(const QStringList& names) {
  storeNames(settings::kClassifications, QStringLiteral("Class"), names);
}

void storeRatingNames(const QStringList& names) {
  storeNames(settings::kRatings, QStringLiteral("Rating"), names);
}

bool pointUnsetPathsOnce(catalogue::Database& db, const QString& imagesFolder) {
  const QString done = settings::read(settings::kSettings, QStringLiteral("PathsSet"));
  if (textnum::toFlag(done, false)) return true;
  const QString sql = QStringLiteral("UPDATE SetupNew SET SubPathPath = ") +
                      catalogue::quoted(imagesFolder) +
                      QStringLiteral(" WHERE SubPathPath = 'None';");
  if (!db.execute(sql)) return false;
  settings::write(settings::kSettings, QStringLiteral("PathsSet"), textnum::flagText(true));
  return true;
}

std::optional<QList<SubFolder>> subFolders(catalogue::Database& db, const QString& mainCaption) {
  if (mainCaption.compare(kFirstRow, Qt::CaseInsensitive) == 0) return std::nullopt;
  auto rows =
      db.openRecordset(QStringLiteral("SELECT * FROM SetupNew WHERE MainPathCaption = ") +
                       catalogue::quoted(mainCaption) + QStringLiteral(" ORDER BY SubPathIndex"));
  if (!rows || rows->recordCount() == 0) return std::nullopt;
  QList<SubFolder> out;
  for (rows->moveFirst(); !rows->eof() && out.size() < kSubFolders; rows->moveNext())
    out.append({rows->value(QStringLiteral("SubPathIndex")).toInt(),
                rows->value(QStringLiteral("SubPathCaption")).toString(),
                rows->value(QStringLiteral("SubPathPath")).toString()});
  return out;
}

bool isDuplicateCaption(const QStringList& captions, int selected, const QString& wanted) {
  if (wanted.compare(kFirstRow, Qt::CaseInsensitive) == 0) return true;
  for (int i = 0; i < captions.size(); ++i)
    if (i != selected && captions[i].compare(wanted, Qt::CaseInsensitive) == 0) return true;
  return false;
}

RenameOutcome renameMainCaptionRows(catalogue::Database& db, const QString& oldCaption,
                                    const QString& newCaption) {
  if (oldCaption.compare(kFirstRow, Qt::CaseInsensitive) == 0) return RenameOutcome::NotFound;
  if (!db.execute(QStringLiteral("UPDATE SetupNew SET MainPathCaption = ? "
                                 "WHERE MainPathCaption = ?;"),
                  {newCaption, oldCaption}))
    return RenameOutcome::Failed;
  return db.changes() > 0 ? RenameOutcome::Renamed : RenameOutcome::NotFound;
}

}  // namespace glim::cataloguing
