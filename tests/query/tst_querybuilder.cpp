// The statement and filters the builder hands to the viewer, compared as whole strings, and
// the input rules that keep every value in them a plain number in range.
#include <QtTest>

#include "query/querycriteria.h"
#include "query/queryrules.h"
#include "query_helpers.h"

using namespace glim::query;
using glim::query::test::Setup;

namespace {

const QString kClause3 = QStringLiteral(
    "Class1 = 3 OR Class2 = 3 OR Class3 = 3 OR Class4 = 3 OR Class5 = 3 OR Class6 = 3 OR "
    "Class7 = 3");
QString clause(int n) {
  return QStringLiteral(
             "Class1 = %1 OR Class2 = %1 OR Class3 = %1 OR Class4 = %1 OR Class5 = %1 "
             "OR Class6 = %1 OR Class7 = %1")
      .arg(n);
}
const QString kClause5 = clause(5);
const QString kClause1 = clause(1);

void includeThemes(QueryCriteria& c, int first, std::initializer_list<std::pair<int, int>> rows) {
  const QStringList names = test::themeNames();
  setThemesAnyOrder(c, true);
  selectIncludesTheme(c.includes[0], first - 1, names);
  for (auto [row, theme] : rows) {
    c.includes[row].on = true;
    selectIncludesTheme(c.includes[row], theme - 1, names);
  }
}

}  // namespace

class TestQueryBuilder : public QObject {
  Q_OBJECT
 private slots:
  void selectStatement_data() {
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("sql");
    const QString base = QStringLiteral("SELECT * FROM tbl1 WHERE ");

    auto sizeAndRating = [](QueryCriteria& c) {
      c.fileSizeInclude = true;
      c.fileSizeText = QStringLiteral("100");
      c.ratings[0].include = true;
      c.ratings[0].text = QStringLiteral("3");
    };
    auto width640 = [](QueryCriteria& c) {
      c.pictureSizeInclude = c.widthInclude = true;
      c.widthText = QStringLiteral("640");
    };

    QTest::newRow("nothing ticked") << Setup([](QueryCriteria&) {}) << base + "FileERROR = 0";
    QTest::newRow("size and overall rating")
        << Setup(sizeAndRating) << base + "FileSize > 102400 AND OverallRating > 3";
    QTest::newRow("same, only new pictures") << Setup([=](QueryCriteria& c) {
      sizeAndRating(c);
      c.viewOnlyNewPics = true;
    }) << base + "FileSize > 102400 AND OverallRating > 3 AND NewFile = 1";
    QTest::newRow("width, any plus all new") << Setup([=](QueryCriteria& c) {
      width640(c);
      c.includeAllNewPics = true;
    }) << base + "Width > 640 OR NewFile = 1";
    QTest::newRow("spam and banner ratio 2.5") << Setup([](QueryCriteria& c) {
      c.omitSpam = c.omitBanners = true;
      c.aspectRatioText = QStringLiteral("2.5");
    }) << base + "SPAM <> 1 AND WidthHeightRatio < 2.5";
    QTest::newRow("no criterion, any plus all new")
        << Setup([](QueryCriteria& c) { c.includeAllNewPics = true; }) << base + "NewFile = 1";
    QTest::newRow("no criterion, only new plus all new")
        << Setup([](QueryCriteria& c) { c.viewOnlyNewPics = c.includeAllNewPics = true; })
        << base + "NewFile <> 0 OR NewFile = 1";
    QTest::newRow("no criterion, only new")
        << Setup([](QueryCriteria& c) { c.viewOnlyNewPics = true; }) << base + "NewFile = 1";
    QTest::newRow("criterion, only new plus all new") << Setup([=](QueryCriteria& c) {
      width640(c);
      c.viewOnlyNewPics = c.includeAllNewPics = true;
    }) << base + "Width > 640 AND NewFile <> 0 OR NewFile = 1";
    QTest::newRow("size exactly, smaller than zero") << Setup([](QueryCriteria& c) {
      c.fileSizeInclude = true;
      c.fileSizeText = QStringLiteral("0");
      c.fileSizeOp = SizeOp::SmallerThan;
    }) << base + "FileSize < 0";
    QTest::newRow("size 32000 exactly") << Setup([](QueryCriteria& c) {
      c.fileSizeInclude = true;
      c.fileSizeText = QStringLiteral("32000");
      c.fileSizeOp = SizeOp::EqualTo;
    }) << base + "FileSize = 32768000";
    QTest::newRow("created before") << Setup([](QueryCriteria& c) {
      c.createDateInclude = true;
      c.createDateOp = DateOp::Before;
    }) << base + "FileCreationDate < #03/07/2024#";
    QTest::newRow("created on, viewed after") << Setup([](QueryCriteria& c) {
      c.createDateInclude = c.lastViewedInclude = true;
      c.createDateOp = DateOp::On;
      c.lastViewedDate = QDate(2023, 1, 2);
    }) << base + "FileCreationDate = #03/07/2024# AND DateLastViewed > #01/02/2023#";
    QTest::newRow("two rating rows") << Setup([](QueryCriteria& c) {
      c.ratings[0] = {true, QStringLiteral("4"), 4, RatingOp::EqualTo};
      c.ratings[2] = {true, QStringLiteral("2"), 2, RatingOp::LessThan};
    }) << base + "OverallRating = 4 AND UserRating2 < 2";
    QTest::newRow("every rating row")
        << Setup([](QueryCriteria& c) {
             for (int i = 0; i < kRatingRows; ++i)
               c.ratings[i] = {true, QString::number(i % 6), 0, RatingOp(i % 3)};
           })
        << base +
               "OverallRating > 0 AND UserRating1 = 1 AND UserRating2 < 2 AND UserRating3 > 3 "
               "AND UserRating4 = 4 AND UserRating5 < 5 AND UserRating6 > 0 AND UserRating7 = 1 "
               "AND UserRating8 < 2 AND UserRating9 > 3";
    QTest::newRow("ordered rows 1 and 3") << Setup([](QueryCriteria& c) {
      c.orderedThemes = c.ordered[1].include = c.ordered[3].include = true;
      selectOrderedTheme(c.ordered[1], 0, test::themeNames());
      selectOrderedTheme(c.ordered[3], 4, test::themeNames());
    }) << base + "Class1 = 1 AND Class3 = 5";
    QTest::newRow("ordered ticked, no row")
        << Setup([](QueryCriteria& c) { c.orderedThemes = true; }) << base + "FileERROR = 0";
    QTest::newRow("ordered rows without the box")
        << Setup([](QueryCriteria& c) { c.ordered[2].include = true; }) << base + "FileERROR = 0";
    QTest::newRow("picture size, neither dimension") << Setup([](QueryCriteria& c) {
      c.pictureSizeInclude = true;
      c.widthText = QStringLiteral("640");
    }) << base + "FileERROR = 0";
    QTest::newRow("width smaller, height equal") << Setup([](QueryCriteria& c) {
      c.pictureSizeInclude = c.widthInclude = c.heightInclude = true;
      c.widthText = QStringLiteral("800");
      c.widthOp = DimOp::SmallerThan;
      c.heightText = QStringLiteral("600");
      c.heightOp = DimOp::EqualTo;
    }) << base + "Width < 800 AND Height = 600";
    QTest::newRow("height only, larger") << Setup([](QueryCriteria& c) {
      c.pictureSizeInclude = c.heightInclude = true;
      c.heightText = QStringLiteral("480");
    }) << base + "Height > 480";
    QTest::newRow("banner ratio 1.2") << Setup([](QueryCriteria& c) {
      c.omitBanners = true;
      c.aspectRatioText = QStringLiteral("1.2");
    }) << base + "WidthHeightRatio > 1.2";
    QTest::newRow("banner ratio 1.333") << Setup([](QueryCriteria& c) { c.omitBanners = true; })
                                        << base + "WidthHeightRatio < 1.333";
    QTest::newRow("banner ratio 1.3329") << Setup([](QueryCriteria& c) {
      c.omitBanners = true;
      c.aspectRatioText = QStringLiteral("1.3329");
    }) << base + "WidthHeightRatio > 1.3329";
    QTest::newRow("spam, colours, auto banners") << Setup([](QueryCriteria& c) {
      c.omitSpam = c.omitLowColors = c.omitBanners = c.autoDetectBanners = true;
    }) << base + "SPAM <> 1 AND Colors >= 256 AND BannerSize <> 1";
    QTest::newRow("colours only") << Setup([](QueryCriteria& c) {
      c.omitLowColors = true;
      c.colorsText = QStringLiteral("16777216");
    }) << base + "Colors >= 16777216";
    QTest::newRow("all seven fragments, any plus all new")
        << Setup([](QueryCriteria& c) {
             c.fileSizeInclude = c.createDateInclude = c.lastViewedInclude = true;
             c.fileSizeText = QStringLiteral("7");
             c.createDateOp = DateOp::After;
             c.lastViewedOp = DateOp::Before;
             c.ratings[9] = {true, QStringLiteral("5"), 5, RatingOp::EqualTo};
             c.orderedThemes = c.ordered[2].include = true;
             selectOrderedTheme(c.ordered[2], 14, test::themeNames());
             c.pictureSizeInclude = c.widthInclude = true;
             c.widthText = QStringLiteral("3200");
             c.omitSpam = true;
             c.includeAllNewPics = true;
           })
        << base +
               "FileSize > 7168 AND FileCreationDate > #03/07/2024# AND DateLastViewed < "
               "#03/07/2024# AND UserRating9 = 5 AND Class2 = 15 AND Width > 3200 AND SPAM <> 1 "
               "OR NewFile = 1";
  }
  void selectStatement() {
    QFETCH(Setup, setup);
    QFETCH(QString, sql);
    QueryCriteria c = test::initial();
    setup(c);
    QCOMPARE(buildSelectStatement(c), sql);
  }

  void themeMatch() {
    QCOMPARE(themeMatchClause(3), kClause3);
    QVERIFY(!themeMatchClause(15).endsWith(u' '));
  }

  void themeFilter_data() {
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("stillTicked");

    QTest::newRow("box clear") << Setup([](QueryCriteria&) {}) << QString() << false;
    QTest::newRow("first theme only")
        << Setup([](QueryCriteria& c) { includeThemes(c, 3, {}); }) << kClause3 + u' ' << true;
    QTest::newRow("first and row 2, AND") << Setup([](QueryCriteria& c) {
      includeThemes(c, 3, {{2, 5}});
    }) << u'(' + kClause3 + QStringLiteral(")  AND (") + kClause5 + u')'
                                          << true;
    QTest::newRow("rows 1 and 4, OR") << Setup([](QueryCriteria& c) {
      includeThemes(c, 3, {{1, 5}, {4, 1}});
      c.useAnd = false;
    })
                                      << u'(' + kClause3 + QStringLiteral(")  OR (") + kClause5 +
                                             QStringLiteral(") OR (") + kClause1 + u')'
                                      << true;
    QTest::newRow("row on with empty list counts as off") << Setup([](QueryCriteria& c) {
      includeThemes(c, 3, {{2, 5}});
      selectIncludesTheme(c.includes[2], -1, {});
    }) << kClause3 + u' ' << true;
    QTest::newRow("first list empty unticks the box")
        << Setup([](QueryCriteria& c) { setThemesAnyOrder(c, true); }) << QString() << false;
    QTest::newRow("rows without the box") << Setup([](QueryCriteria& c) {
      c.includes[1].on = true;
      selectIncludesTheme(c.includes[1], 4, test::themeNames());
    }) << QString() << false;
  }
  void themeFilter() {
    QFETCH(Setup, setup);
    QFETCH(QString, filter);
    QFETCH(bool, stillTicked);
    QueryCriteria c = test::initial();
    setup(c);
    QCOMPARE(buildThemeFilter(c), filter);
    QCOMPARE(c.themesAnyOrder, stillTicked);
  }

  void themesBoxClearsLists() {
    QueryCriteria c = test::initial();
    setThemesAnyOrder(c, true);
    for (const IncludesThemeRow& row : c.includes) {
      QCOMPARE(row.list.text, QString());
      QCOMPARE(row.themeNumber, QStringLiteral("0"));
    }
  }

  void fileTypeFilter_data() {
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<QString>("filter");
    QTest::newRow("initial") << QList<int>{JPG, PIC, GIF, PNG}
                             << "Extension = 'jpg' OR Extension = 'pic' OR Extension = 'gif' OR "
                                "Extension = 'png'";
    QTest::newRow("none") << QList<int>{} << QString();
    QTest::newRow("only tga") << QList<int>{TGA} << "Extension = 'tga'";
    QTest::newRow("only bmp") << QList<int>{BMP} << "Extension = 'bmp'";
    QTest::newRow("wpg and tga") << QList<int>{WPG, TGA}
                                 << "Extension = 'wpg' OR Extension = 'tga'";
    QTest::newRow("all") << QList<int>{JPG, PIC, GIF, PNG, TIF, BMP, WMF, PCX, WPG, TGA}
                         << "Extension = 'jpg' OR Extension = 'pic' OR Extension = 'gif' OR "
                            "Extension = 'png' OR Extension = 'tif' OR Extension = 'bmp' OR "
                            "Extension = 'wmf' OR Extension = 'pcx' OR Extension = 'wpg' OR "
                            "Extension = 'tga'";
  }
  void fileTypeFilter() {
    QFETCH(QList<int>, types);
    QFETCH(QString, filter);
    QueryCriteria c = test::initial();
    c.fileTypes.fill(false);
    for (int t : types) c.fileTypes[t] = true;
    QCOMPARE(buildFileTypeFilter(c), filter);
  }

  void newFilesStatement() {
    QCOMPARE(
        buildNewFilesStatement(QDate(2025, 1, 9)),
        QStringLiteral("SELECT * FROM tbl1 WHERE NewFile = 1 AND DateAddedToDB = #01/09/2025#"));
  }

  void wholeNumberRules_data() {
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("slider");
    QTest::addColumn<QString>("newText");
    QTest::addColumn<int>("newSlider");
    QTest::newRow("size in range") << "size"
                                   << "250" << 1 << "250" << 250;
    QTest::newRow("size 32000") << "size"
                                << "32000" << 1 << "32000" << 32000;
    QTest::newRow("size 32001") << "size"
                                << "32001" << 40 << "40" << 40;
    QTest::newRow("size zero") << "size"
                               << "0" << 7 << "7" << 7;
    QTest::newRow("size empty") << "size"
                                << "" << 12 << "12" << 12;
    QTest::newRow("size pasted letters") << "size"
                                         << "12ab" << 3 << "3" << 3;
    QTest::newRow("size fraction") << "size"
                                   << "2.5" << 3 << "3" << 3;
    QTest::newRow("size huge") << "size"
                               << "99999999999999999999" << 5 << "5" << 5;
    QTest::newRow("rating in range") << "rating"
                                     << "5" << 0 << "5" << 5;
    QTest::newRow("rating zero") << "rating"
                                 << "0" << 3 << "0" << 0;
    QTest::newRow("rating six") << "rating"
                                << "6" << 2 << "2" << 2;
    QTest::newRow("rating negative") << "rating"
                                     << "-1" << 4 << "4" << 4;
    QTest::newRow("rating text") << "rating"
                                 << "x" << 1 << "1" << 1;
  }
  void wholeNumberRules() {
    QFETCH(QString, rule);
    QFETCH(QString, text);
    QFETCH(int, slider);
    QFETCH(QString, newText);
    QFETCH(int, newSlider);
    if (rule == QLatin1String("size"))
      fileSizeRule(text, slider);
    else
      ratingRule(text, slider);
    QCOMPARE(text, newText);
    QCOMPARE(slider, newSlider);
  }

  void clampRules_data() {
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");
    QTest::newRow("width ok") << 0 << "1024"
                              << "1024";
    QTest::newRow("width text") << 0 << "wide"
                                << "640";
    QTest::newRow("width big") << 0 << "5000"
                               << "3200";
    QTest::newRow("width negative") << 0 << "-3"
                                    << "0";
    QTest::newRow("height empty") << 1 << ""
                                  << "480";
    QTest::newRow("height big") << 1 << "2401"
                                << "2400";
    QTest::newRow("colours ok") << 2 << "65536"
                                << "65536";
    QTest::newRow("colours small") << 2 << "2"
                                   << "3";
    QTest::newRow("colours big") << 2 << "99999999"
                                 << "16777216";
    QTest::newRow("colours text") << 2 << "many"
                                  << "256";
    QTest::newRow("max pictures zero") << 3 << "0"
                                       << "1";
    QTest::newRow("max pictures ok") << 3 << "25"
                                     << "25";
  }
  void clampRules() {
    QFETCH(int, box);
    QFETCH(QString, text);
    QFETCH(QString, result);
    QString (*rules[])(const QString&) = {widthRule, heightRule, coloursRule, maxPicturesRule};
    QCOMPARE(rules[box](text), result);
  }

  void ratioRule_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("newText");
    QTest::addColumn<int>("slider");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QSize>("image");
    QTest::newRow("initial") << "1.333"
                             << "1.333" << 1333 << "aspect ratio of OVER:" << QSize(1200, 900);
    QTest::newRow("1.33 is over") << "1.33"
                                  << "1.33" << 1330 << "aspect ratio of OVER:" << QSize(1200, 902);
    QTest::newRow("under") << "0.5"
                           << "0.5" << 500 << "aspect ratio UNDER:" << QSize(450, 900);
    QTest::newRow("above 10") << "25"
                              << "10" << 10000 << "aspect ratio of OVER:" << QSize(1200, 120);
    QTest::newRow("below 0.001") << "0"
                                 << "0.001" << 1 << "aspect ratio UNDER:" << QSize(1, 900);
    QTest::newRow("not a number") << "abc"
                                  << "0.001" << 1 << "aspect ratio UNDER:" << QSize(1, 900);
  }
  void ratioRule() {
    QFETCH(QString, text);
    QFETCH(QString, newText);
    QFETCH(int, slider);
    QFETCH(QString, label);
    QFETCH(QSize, image);
    const RatioView v = glim::query::ratioRule(text);
    QCOMPARE(v.text, newText);
    QCOMPARE(v.slider, slider);
    QCOMPARE(v.label, label);
    QCOMPARE(v.imageTwips, image);
  }

  void ratioSlider() {
    QCOMPARE(ratioSliderText(1333), QStringLiteral("1.333"));
    QCOMPARE(ratioSliderText(2500), QStringLiteral("2.5"));
    QCOMPARE(ratioSliderText(1), QStringLiteral("0.001"));
  }
};

QTEST_GUILESS_MAIN(TestQueryBuilder)
#include "tst_querybuilder.moc"
