// The query builder's criteria as plain values, and the routines that turn them into the
// picture set's statement and its two filters. The form maps its controls to and from a
// QueryCriteria; everything that can be decided without a window is decided here.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <array>

namespace glim::query {

// Option groups; the order is the one the query file stores (0, 1, 2).
enum class SizeOp { SmallerThan, EqualTo, LargerThan };
enum class DateOp { Before, On, After };
enum class RatingOp { MoreThan, EqualTo, LessThan };
// Picture width and height; stored as 1, 2, 3 (0 means the dimension is not included).
enum class DimOp { SmallerThan, EqualTo, LargerThan };

inline constexpr int kThemeCount = 15;
inline constexpr int kRatingRows = 10;  // row 0 is the overall rating
inline constexpr int kFileTypes = 10;

// The range of dates the two calendars can show.
inline const QDate kCalendarMin(1601, 1, 1);
inline const QDate kCalendarMax(9999, 12, 31);

// Theme k is named by the setting "Class" & k of "Classifications"; an unset name reads as
// its own key. Rating i (1..9) by "Rating" & i of "Ratings", likewise.
QStringList themeNamesFromSettings();
QString ratingName(int i);

// File types in the order of their boxes and of the filter.
enum FileType { JPG, PIC, GIF, PNG, TIF, BMP, WMF, PCX, WPG, TGA };
// The extension each box selects ("jpg", "pic", ...).
QString fileTypeExtension(int type);

struct RatingRow {
  bool include = false;
  QString text = QStringLiteral("0");
  int slider = 0;
  RatingOp op = RatingOp::MoreThan;
};

// A theme list: its selected position (-1 none) and the text it shows.
struct ThemeList {
  int listIndex = -1;
  QString text;
};

struct OrderedThemeRow {
  bool include = false;
  ThemeList list;
  QString ordTheme;  // the hidden list position kept for query files
};

struct IncludesThemeRow {
  bool on = false;  // rows 1..4 only; row 0 is always part of the filter
  ThemeList list;
  QString themeNumber = QStringLiteral("0");  // the hidden theme number (list position + 1)
};

struct QueryCriteria {
  bool fileSizeInclude = false;
  QString fileSizeText = QStringLiteral("0");
  int fileSizeSlider = 1;
  SizeOp fileSizeOp = SizeOp::LargerThan;

  bool createDateInclude = false;
  QDate createDate = QDate::currentDate();
  DateOp createDateOp = DateOp::After;

  bool lastViewedInclude = false;
  QDate lastViewedDate = QDate::currentDate();
  DateOp lastViewedOp = DateOp::After;

  std::array<RatingRow, kRatingRows> ratings;

  bool orderedThemes = false;
  std::array<OrderedThemeRow, 4> ordered;  // rows 1..3; index 0 unused

  bool themesAnyOrder = false;
  std::array<IncludesThemeRow, 5> includes;  // rows 0..4
  bool useAnd = true;

  bool pictureSizeInclude = false;
  bool widthInclude = false;
  QString widthText = QStringLiteral("640");
  DimOp widthOp = DimOp::LargerThan;
  bool heightInclude = false;
  QString heightText = QStringLiteral("480");
  DimOp heightOp = DimOp::LargerThan;

  bool omitSpam = false;
  bool omitLowColors = false;
  QString colorsText = QStringLiteral("256");
  bool omitBanners = false;
  bool autoDetectBanners = false;
  QString aspectRatioText = QStringLiteral("1.333");
  int ratioSlider = 1333;

  bool viewOnlyNewPics = false;  // false: "Select ANY picture that matches the criteria."
  bool includeAllNewPics = false;

  std::array<bool, kFileTypes> fileTypes = {true,  true,  true,  true,  false,
                                            false, false, false, false, false};
};

// The criteria a freshly opened builder shows, with the theme lists filled from `themeNames`.
QueryCriteria initialCriteria(const QStringList& themeNames, const QDate& today);

// Select a list position (or none with -1) the way a click in the list does, which also
// stores the hidden number: list position + 1 for the any-order rows, the list position for
// the ordered rows.
void selectIncludesTheme(IncludesThemeRow& row, int listIndex, const QStringList& themeNames);
void selectOrderedTheme(OrderedThemeRow& row, int listIndex, const QStringList& themeNames);
// Ticking or clearing the themes-in-any-order box clears the texts of all five lists.
void setThemesAnyOrder(QueryCriteria& c, bool ticked);

// The seven fragments, each empty when its include box is clear.
QString fileSizeFragment(const QueryCriteria& c);
QString createDateFragment(const QueryCriteria& c);
QString lastViewedFragment(const QueryCriteria& c);
QString ratingsFragment(const QueryCriteria& c);
QString orderedThemesFragment(const QueryCriteria& c);
QString pictureSizeFragment(const QueryCriteria& c);
QString otherOptionsFragment(const QueryCriteria& c);

// Adds the previous-viewing clause to a statement that ends in "AND" or "WHERE".
QString addPreviousViewing(QString statement, const QueryCriteria& c);

// The full statement: the fragments, the previous-viewing clause, and the FileERROR = 0
// default when nothing else was added.
QString buildSelectStatement(const QueryCriteria& c);

// "Class1 = n OR Class2 = n OR ... OR Class7 = n".
QString themeMatchClause(int themeNumber);

// The theme filter. It may change the criteria as the form does: an empty first list unticks
// the box, and a row that is "On" with an empty list is set "Off".
QString buildThemeFilter(QueryCriteria& c);
QString buildFileTypeFilter(const QueryCriteria& c);

QString buildNewFilesStatement(const QDate& today);

// What Run Query hands to the viewer.
struct QueryTexts {
  QString sql;
  QString filter1;
  QString filter2;
};
QueryTexts runQueryTexts(QueryCriteria& c);

}  // namespace glim::query
