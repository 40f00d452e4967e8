#include "query/querycriteria.h"

#include "base/settings.h"
#include "base/textnum.h"

namespace glim::query {

namespace {

const QString kSelectWhere = QStringLiteral("SELECT * FROM tbl1 WHERE");

QString sizeOperator(SizeOp op) {
  switch (op) {
    case SizeOp::SmallerThan:
      return QStringLiteral(" < ");
    case SizeOp::EqualTo:
      return QStringLiteral(" = ");
    case SizeOp::LargerThan:
      return QStringLiteral(" > ");
  }
  return {};
}

QString dateOperator(DateOp op) {
  switch (op) {
    case DateOp::Before:
      return QStringLiteral(" < ");
    case DateOp::On:
      return QStringLiteral(" = ");
    case DateOp::After:
      return QStringLiteral(" > ");
  }
  return {};
}

QString ratingOperator(RatingOp op) {
  switch (op) {
    case RatingOp::MoreThan:
      return QStringLiteral(" > ");
    case RatingOp::EqualTo:
      return QStringLiteral(" = ");
    case RatingOp::LessThan:
      return QStringLiteral(" < ");
  }
  return {};
}

// The field names end in a blank ("Width "), so these operators have no leading one.
QString dimensionOperator(DimOp op) {
  switch (op) {
    case DimOp::SmallerThan:
      return QStringLiteral("< ");
    case DimOp::EqualTo:
      return QStringLiteral("= ");
    case DimOp::LargerThan:
      return QStringLiteral("> ");
  }
  return {};
}

// Dates go between "#" signs in the fixed month/day/year form, never the locale's.
QString dateFragment(const QString& field, DateOp op, const QDate& date) {
  return field + dateOperator(op) + u'#' + textnum::dateText(date) + u'#';
}

QString themeText(int listIndex, const QStringList& themeNames) {
  return listIndex >= 0 && listIndex < themeNames.size() ? themeNames.at(listIndex) : QString();
}

// A hidden number read as a whole number; text that is not a number counts as 0.
int wholeNumber(const QString& text) {
  return textnum::toInt32(text).value_or(0);
}

bool endsWith(const QString& s, const char* tail) {
  return s.endsWith(QLatin1String(tail));
}

}  // namespace

QStringList themeNamesFromSettings() {
  QStringList names;
  for (int k = 1; k <= kThemeCount; ++k) {
    const QString key = QStringLiteral("Class%1").arg(k);
    names << settings::read(settings::kClassifications, key, key);
  }
  return names;
}

QString ratingName(int i) {
  const QString key = QStringLiteral("Rating%1").arg(i);
  return settings::read(settings::kRatings, key, key);
}

QString fileTypeExtension(int type) {
  static const char* const kExtensions[kFileTypes] = {"jpg", "pic", "gif", "png", "tif",
                                                      "bmp", "wmf", "pcx", "wpg", "tga"};
  return type >= 0 && type < kFileTypes ? QString::fromLatin1(kExtensions[type]) : QString();
}

void selectIncludesTheme(IncludesThemeRow& row, int listIndex, const QStringList& themeNames) {
  row.list.listIndex = listIndex;
  row.list.text = themeText(listIndex, themeNames);
  row.themeNumber = QString::number(listIndex + 1);
}

void selectOrderedTheme(OrderedThemeRow& row, int listIndex, const QStringList& themeNames) {
  row.list.listIndex = listIndex;
  row.list.text = themeText(listIndex, themeNames);
  row.ordTheme = QString::number(listIndex);
}

void setThemesAnyOrder(QueryCriteria& c, bool ticked) {
  if (c.themesAnyOrder == ticked) return;  // the box's click runs only on a change
  c.themesAnyOrder = ticked;
  // Clearing a list's text is an edit of the list: nothing is selected, the number is 0.
  for (IncludesThemeRow& row : c.includes) selectIncludesTheme(row, -1, {});
}

QueryCriteria initialCriteria(const QStringList& themeNames, const QDate& today) {
  QueryCriteria c;
  c.createDate = today;
  c.lastViewedDate = today;
  for (int i = 1; i <= 3; ++i) selectOrderedTheme(c.ordered[i], 0, themeNames);
  for (IncludesThemeRow& row : c.includes) selectIncludesTheme(row, 0, themeNames);
  return c;
}

QString fileSizeFragment(const QueryCriteria& c) {
  if (!c.fileSizeInclude) return {};
  const qint64 bytes = qint64(wholeNumber(c.fileSizeText)) * 1024;
  return QStringLiteral("FileSize") + sizeOperator(c.fileSizeOp) + QString::number(bytes);
}

QString createDateFragment(const QueryCriteria& c) {
  if (!c.createDateInclude) return {};
  return dateFragment(QStringLiteral("FileCreationDate"), c.createDateOp, c.createDate);
}

QString lastViewedFragment(const QueryCriteria& c) {
  if (!c.lastViewedInclude) return {};
  return dateFragment(QStringLiteral("DateLastViewed"), c.lastViewedOp, c.lastViewedDate);
}

QString ratingsFragment(const QueryCriteria& c) {
  QStringList parts;
  for (int i = 0; i < kRatingRows; ++i) {
    const RatingRow& row = c.ratings[i];
    if (!row.include) continue;
    const QString field =
        i == 0 ? QStringLiteral("OverallRating") : QStringLiteral("UserRating%1").arg(i);
    parts << field + ratingOperator(row.op) + row.text;
  }
  return parts.join(QStringLiteral(" AND "));
}

QString orderedThemesFragment(const QueryCriteria& c) {
  if (!c.orderedThemes) return {};
  QStringList parts;
  for (int i = 1; i <= 3; ++i) {
    const OrderedThemeRow& row = c.ordered[i];
    if (!row.include) continue;
    // The theme number comes from the list itself; the hidden position is for query files.
    parts << QStringLiteral("Class%1 = %2").arg(i).arg(row.list.listIndex + 1);
  }
  return parts.join(QStringLiteral(" AND "));
}

QString pictureSizeFragment(const QueryCriteria& c) {
  if (!c.pictureSizeInclude) return {};
  QStringList parts;
  if (c.widthInclude)
    parts << QStringLiteral("Width ") + dimensionOperator(c.widthOp) + c.widthText;
  if (c.heightInclude)
    parts << QStringLiteral("Height ") + dimensionOperator(c.heightOp) + c.heightText;
  return parts.join(QStringLiteral(" AND "));
}

QString otherOptionsFragment(const QueryCriteria& c) {
  QStringList parts;
  if (c.omitSpam) parts << QStringLiteral("SPAM <> 1");
  if (c.omitLowColors) parts << QStringLiteral("Colors >= ") + c.colorsText;
  if (c.omitBanners) {
    if (c.autoDetectBanners) {
      parts << QStringLiteral("BannerSize <> 1");
    } else {
      // The ratio is compared as a single, as the box's value is kept.
      const float r = static_cast<float>(textnum::toDouble(c.aspectRatioText).value_or(0.0));
      const QString op = r >= 1.333f ? QStringLiteral(" < ") : QStringLiteral(" > ");
      parts << QStringLiteral("WidthHeightRatio") + op + c.aspectRatioText;
    }
  }
  return parts.join(QStringLiteral(" AND "));
}

QString addPreviousViewing(QString s, const QueryCriteria& c) {
  if (c.viewOnlyNewPics && c.includeAllNewPics) {
    if (endsWith(s, "AND")) s.chop(4);
    s += endsWith(s, "WHERE") ? QStringLiteral(" NewFile <> 0 OR NewFile = 1")
                              : QStringLiteral(" AND NewFile <> 0 OR NewFile = 1");
  } else if (c.viewOnlyNewPics) {
    s += QStringLiteral(" NewFile = 1");
  } else if (c.includeAllNewPics) {
    if (endsWith(s, "AND")) {
      s.chop(4);
      s += QStringLiteral(" OR NewFile = 1");
    } else {
      s += QStringLiteral(" NewFile = 1");
    }
  }
  return s;
}

QString buildSelectStatement(const QueryCriteria& c) {
  QString s = kSelectWhere;
  const QString fragments[] = {
      fileSizeFragment(c),      createDateFragment(c),  lastViewedFragment(c),  ratingsFragment(c),
      orderedThemesFragment(c), pictureSizeFragment(c), otherOptionsFragment(c)};
  for (const QString& f : fragments)
    if (!f.isEmpty()) s += u' ' + f + QStringLiteral(" AND");
  s = addPreviousViewing(s, c);
  if (endsWith(s, "AND")) s.chop(4);
  if (s.trimmed() == kSelectWhere) s = kSelectWhere + QStringLiteral(" FileERROR = 0");
  return s;
}

QString themeMatchClause(int n) {
  QStringList terms;
  for (int j = 1; j <= 7; ++j) terms << QStringLiteral("Class%1 = %2").arg(j).arg(n);
  return terms.join(QStringLiteral(" OR "));
}

QString buildThemeFilter(QueryCriteria& c) {
  if (c.themesAnyOrder && c.includes[0].list.text.isEmpty()) {
    setThemesAnyOrder(c, false);
    return {};
  }
  for (int i = 1; i <= 4; ++i)
    if (c.includes[i].on && c.includes[i].list.text.isEmpty()) c.includes[i].on = false;
  if (!c.themesAnyOrder) return {};

  const QString joiner = c.useAnd ? QStringLiteral(" AND ") : QStringLiteral(" OR ");
  bool any = false;
  for (int i = 1; i <= 4; ++i) any = any || c.includes[i].on;

  QString t = themeMatchClause(wholeNumber(c.includes[0].themeNumber));
  t = any ? u'(' + t + QStringLiteral(") ") : t + u' ';
  for (int i = 1; i <= 4; ++i) {
    if (!c.includes[i].on) continue;
    t += joiner + u'(' + themeMatchClause(wholeNumber(c.includes[i].themeNumber)) + u')';
  }
  return t;
}

QString buildFileTypeFilter(const QueryCriteria& c) {
  QString f;
  for (int type = 0; type < kFileTypes; ++type) {
    if (!c.fileTypes[type]) continue;
    f += QStringLiteral("Extension = '%1'").arg(fileTypeExtension(type));
    if (type != TGA) f += QStringLiteral(" OR ");
  }
  if (f.endsWith(QLatin1String(" OR "))) f.chop(4);
  return f.trimmed();
}

QString buildNewFilesStatement(const QDate& today) {
  return QStringLiteral("SELECT * FROM tbl1 WHERE NewFile = 1 AND DateAddedToDB = #") +
         textnum::dateText(today) + u'#';
}

QueryTexts runQueryTexts(QueryCriteria& c) {
  QueryTexts t;
  t.sql = buildSelectStatement(c);
  t.filter1 = buildThemeFilter(c);
  t.filter2 = buildFileTypeFilter(c);
  return t;
}

}  // namespace glim::query
