// The folder captions: seven main captions in the settings, nine sub-folder rows of SetupNew
// per main caption, and the theme and rating names. The set-up screen maps these onto its
// lists and boxes.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "catalogue/database.h"

namespace glim::cataloguing {

inline constexpr int kMainFolders = 7;
inline constexpr int kSubFolders = 9;
inline constexpr int kThemes = 15;
inline constexpr int kRatings = 9;

// Main captions 1..7; an unset one ("None Yet") is stored as its key's own name first.
QStringList loadMainCaptions();
void storeMainCaptions(const QStringList& captions);
// Stores and returns "MainPath1" .. "MainPath7", the cure for a damaged set-up.
QStringList resetMainCaptions();

// Theme names (default "Theme" & k) and rating names (default "Rating" & k) as the set-up
// screen shows them, and storing them back.
QStringList loadThemeNames();
QStringList loadRatingNames();
void storeThemeNames(const QStringList& names);
void storeRatingNames(const QStringList& names);

// Points every sub-folder still without a path ("None") at `imagesFolder` and records that
// it ran ("PathsSet" = "True"). Runs once: a second call after success changes nothing.
// On failure "PathsSet" is left unset so the next load tries again.
bool pointUnsetPathsOnce(catalogue::Database& db, const QString& imagesFolder);

struct SubFolder {
  int index = 0;  // 1..9
  QString caption;
  QString path;
};

// The sub-folders of a main caption in SubPathIndex order; nothing when the table holds no
// row of that caption (a damaged set-up). Rows are selected by caption, so a table whose
// rows are not grouped together still reads correctly.
std::optional<QList<SubFolder>> subFolders(catalogue::Database& db, const QString& mainCaption);

// Whether `wanted` would duplicate another main caption (compared without regard to case,
// as the catalogue compares captions). Renaming to its own caption is allowed.
bool isDuplicateCaption(const QStringList& captions, int selected, const QString& wanted);

enum class RenameOutcome { Renamed, NotFound, Failed };
// Rewrites MainPathCaption of every row of the old caption.
RenameOutcome renameMainCaptionRows(catalogue::Database& db, const QString& oldCaption,
                                    const QString& newCaption);

}  // namespace glim::cataloguing
