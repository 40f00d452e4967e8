// Every kind of statement and filter the builder makes, run through the catalogue layer
// against a real catalogue whose rows are chosen so that each returns exactly its rows.
#include <QtTest>

#include "base/settings.h"
#include "catalogue/database.h"
#include "query/pictureset.h"
#include "query/querycriteria.h"
#include "query/queryfile.h"
#include "query/querystart.h"
#include "query_helpers.h"
#include "support/testenv.h"

using namespace glim::query;
using glim::catalogue::Database;
using glim::query::test::Setup;

namespace {

struct Row {
  const char* name;
  const char* ext;
  int size;
  const char* created;
  const char* added;   // "today" for today's date
  const char* viewed;  // nullptr for never
  int newFile, error, width, height, colors;
  double ratio;
  int banner, spam, overall, rating2, class1, class2, class3, class7;
};

// a..f, each with a distinct mix of values; the expected sets below are read off this table.
const Row kRows[] = {
    {"a.jpg",
     "jpg",
     51200,
     "2020-01-01",
     "2020-01-02",
     "2023-06-01",
     0,
     0,
     640,
     480,
     256,
     1.333,
     0,
     0,
     3,
     1,
     3,
     0,
     0,
     0},
    {"b.png", "png",   204800, "2021-05-05",
     "today", nullptr, 1,      0,
     1024,    768,     65536,  1.333,
     0,       0,       5,      4,
     5,       3,       0,      0},
    {"c.gif",
     "gif",
     10240,
     "2019-12-31",
     "2020-01-01",
     nullptr,
     1,
     0,
     100,
     600,
     16,
     0.1667,
     1,
     0,
     0,
     0,
     0,
     0,
     5,
     0},
    {"d.bmp",
     "bmp",
     102400,
     "2022-02-02",
     "2022-02-02",
     "2024-01-01",
     0,
     -6,
     3000,
     1000,
     16777216,
     3.0,
     1,
     1,
     4,
     0,
     7,
     0,
     0,
     0},
    {"e.pic",
     "pic",
     307200,
     "2020-01-01",
     "2020-01-03",
     "2022-12-31",
     0,
     0,
     800,
     600,
     1000,
     1.333,
     0,
     0,
     2,
     2,
     0,
     1,
     0,
     3},
    {"f.tga", "tga",   1024, "2018-07-07",
     "today", nullptr, 1,    0,
     640,     480,     300,  1.333,
     0,       0,       1,    0,
     0,       0,       0,    0},
};

void allTypes(QueryCriteria& c) {
  c.fileTypes.fill(true);
}

void anyOrderThemes(QueryCriteria& c, int first, std::initializer_list<std::pair<int, int>> rows,
                    bool useAnd) {
  const QStringList names = test::themeNames();
  setThemesAnyOrder(c, true);
  selectIncludesTheme(c.includes[0], first - 1, names);
  for (auto [row, theme] : rows) {
    c.includes[row].on = true;
    selectIncludesTheme(c.includes[row], theme - 1, names);
  }
  c.useAnd = useAnd;
}

}  // namespace

class TestQueryCatalogue : public QObject {
  Q_OBJECT
 private:
  glim::test::TestEnv* env_ = nullptr;
  Database db_;

  QStringList run(const QueryTexts& texts) {
    PictureSet set = openPictureSet(db_, texts);
    if (!set.records) {
      qWarning() << texts.sql << texts.filter1 << texts.filter2 << set.error;
      return {QStringLiteral("<failed>")};
    }
    QStringList names;
    for (const QString& path : pathnames(*set.records)) names << path.section(u'/', -1);
    return names;
  }

 private slots:
  void initTestCase() {
    env_ = new glim::test::TestEnv;
    db_ = Database::open(env_->catalogue());
    QVERIFY2(db_.isOpen(), qPrintable(db_.lastError()));
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    for (const Row& r : kRows) {
      const QString added = qstrcmp(r.added, "today") == 0 ? today : QString::fromLatin1(r.added);
      const bool ok = db_.execute(
          QStringLiteral(
              "INSERT INTO tbl1 (Pathname, Extension, Filesize, FileCreationDate, "
              "DateAddedToDB, DateLastViewed, NewFile, FileERROR, Width, Height, Colors, "
              "WidthHeightRatio, BannerSize, SPAM, OverallRating, UserRating2, Class1, Class2, "
              "Class3, Class7) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
              "?)"),
          {env_->programFolder() + QLatin1String(r.name),
           QLatin1String(r.ext),
           r.size,
           QLatin1String(r.created),
           added,
           r.viewed ? QVariant(QLatin1String(r.viewed)) : QVariant(),
           r.newFile,
           r.error,
           r.width,
           r.height,
           r.colors,
           r.ratio,
           r.banner,
           r.spam,
           r.overall,
           r.rating2,
           r.class1,
           r.class2,
           r.class3,
           r.class7});
      QVERIFY2(ok, qPrintable(db_.lastError()));
    }
  }
  void cleanupTestCase() {
    db_.close();
    delete env_;
  }

  void runQuery_data() {
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QStringList>("expected");
    using L = QStringList;
    auto none = [](QueryCriteria&) {};

    QTest::newRow("nothing: no load errors, initial types")
        << Setup(none) << L{"a.jpg", "b.png", "c.gif", "e.pic"};
    QTest::newRow("nothing, every type")
        << Setup(allTypes) << L{"a.jpg", "b.png", "c.gif", "e.pic", "f.tga"};
    QTest::newRow("no type ticked shows every extension")
        << Setup([](QueryCriteria& c) { c.fileTypes.fill(false); })
        << L{"a.jpg", "b.png", "c.gif", "e.pic", "f.tga"};
    QTest::newRow("only tga") << Setup([](QueryCriteria& c) {
      c.fileTypes.fill(false);
      c.fileTypes[TGA] = true;
    }) << L{"f.tga"};
    QTest::newRow("larger than 100 KB") << Setup([](QueryCriteria& c) {
      allTypes(c);
      c.fileSizeInclude = true;
      c.fileSizeText = QStringLiteral("100");
    }) << L{"b.png", "e.pic"};
    QTest::newRow("exactly 100 KB, with a load error") << Setup([](QueryCriteria& c) {
      allTypes(c);
      c.fileSizeInclude = true;
      c.fileSizeText = QStringLiteral("100");
      c.fileSizeOp = SizeOp::EqualTo;
    }) << L{"d.bmp"};
    QTest::newRow("less than 10 KB") << Setup([](QueryCriteria& c) {
      allTypes(c);
      c.fileSizeInclude = true;
      c.fileSizeText = QStringLiteral("10");
      c.fileSizeOp = SizeOp::SmallerThan;
    }) << L{"f.tga"};
    QTest::newRow("created before 2020") << Setup([](QueryCriteria& c) {
      allTypes(c);
      c.createDateInclude = true;
      c.createDate = QDate(2020, 1, 1);
      c.createDateOp = DateOp::Before;
    }) << L{"c.gif", "f.tga"};
    QTest::newRow("created on 01/01/2020") << Setup([](QueryCriteria& c) {
      c.createDateInclude = true;
      c.createDate = QDate(2020, 1, 1);
      c.createDateOp = DateOp::On;
    }) << L{"a.jpg", "e.pic"};
    QTest::newRow("created after 2020") << Setup([](QueryCriteria& c) {
      allTypes(c);
      c.createDateInclude = true;
      c.createDate = QDate(2020, 1, 1);
    }) << L{"b.png", "d.bmp"};
    QTest::newRow("viewed after 2023") << Setup([](QueryCriteria& c) {
      allTypes(c);
      c.lastViewedInclude = true;
      c.lastViewedDate = QDate(2023, 1, 1);
    }) << L{"a.jpg", "d.bmp"};
    QTest::newRow("viewed on 12/31/2022") << Setup([](QueryCriteria& c) {
      c.lastViewedInclude = true;
      c.lastViewedDate = QDate(2022, 12, 31);
      c.lastViewedOp = DateOp::On;
    }) << L{"e.pic"};
    QTest::newRow("overall above 2, rating 2 below 4") << Setup([](QueryCriteria& c) {
      allTypes(c);
      c.ratings[0] = {true, QStringLiteral("2"), 2, RatingOp::MoreThan};
      c.ratings[2] = {true, QStringLiteral("4"), 4, RatingOp::LessThan};
    }) << L{"a.jpg", "d.bmp"};
    QTest::newRow("overall equal to 0") << Setup([](QueryCriteria& c) {
      c.ratings[0] = {true, QStringLiteral("0"), 0, RatingOp::EqualTo};
    }) << L{"c.gif"};
    QTest::newRow("main theme 3") << Setup([](QueryCriteria& c) {
      c.orderedThemes = c.ordered[1].include = true;
      selectOrderedTheme(c.ordered[1], 2, test::themeNames());
    }) << L{"a.jpg"};
    QTest::newRow("main 5, second 3") << Setup([](QueryCriteria& c) {
      c.orderedThemes = c.ordered[1].include = c.ordered[2].include = true;
      selectOrderedTheme(c.ordered[1], 4, test::themeNames());
      selectOrderedTheme(c.ordered[2], 2, test::themeNames());
    }) << L{"b.png"};
    QTest::newRow("wider than 700, lower than 700") << Setup([](QueryCriteria& c) {
      allTypes(c);
      c.pictureSizeInclude = c.widthInclude = c.heightInclude = true;
      c.widthText = QStringLiteral("700");
      c.heightText = QStringLiteral("700");
      c.heightOp = DimOp::SmallerThan;
    }) << L{"e.pic"};
    QTest::newRow("width equal to 640") << Setup([](QueryCriteria& c) {
      allTypes(c);
      c.pictureSizeInclude = c.widthInclude = true;
      c.widthText = QStringLiteral("640");
      c.widthOp = DimOp::EqualTo;
    }) << L{"a.jpg", "f.tga"};
    QTest::newRow("omit spam") << Setup([](QueryCriteria& c) {
      allTypes(c);
      c.omitSpam = true;
    }) << L{"a.jpg", "b.png", "c.gif", "e.pic", "f.tga"};
    QTest::newRow("omit under 1000 colours") << Setup([](QueryCriteria& c) {
      allTypes(c);
      c.omitLowColors = true;
      c.colorsText = QStringLiteral("1000");
    }) << L{"b.png", "d.bmp", "e.pic"};
    QTest::newRow("omit banners, auto") << Setup([](QueryCriteria& c) {
      allTypes(c);
      c.omitBanners = c.autoDetectBanners = true;
    }) << L{"a.jpg", "b.png", "e.pic", "f.tga"};
    QTest::newRow("omit banners over 2.5") << Setup([](QueryCriteria& c) {
      allTypes(c);
      c.omitBanners = true;
      c.aspectRatioText = QStringLiteral("2.5");
    }) << L{"a.jpg", "b.png", "c.gif", "e.pic", "f.tga"};
    QTest::newRow("omit banners under 0.5") << Setup([](QueryCriteria& c) {
      allTypes(c);
      c.omitBanners = true;
      c.aspectRatioText = QStringLiteral("0.5");
    }) << L{"a.jpg", "b.png", "d.bmp", "e.pic", "f.tga"};
    QTest::newRow("themes: 3 anywhere")
        << Setup([](QueryCriteria& c) { anyOrderThemes(c, 3, {}, true); })
        << L{"a.jpg", "b.png", "e.pic"};
    QTest::newRow("themes: 3 and 5") << Setup([](QueryCriteria& c) {
      anyOrderThemes(c, 3, {{2, 5}}, true);
    }) << L{"b.png"};
    QTest::newRow("themes: 3 or 5") << Setup([](QueryCriteria& c) {
      anyOrderThemes(c, 3, {{2, 5}}, false);
    }) << L{"a.jpg", "b.png", "c.gif", "e.pic"};
    QTest::newRow("only new") << Setup([](QueryCriteria& c) {
      allTypes(c);
      c.viewOnlyNewPics = true;
    }) << L{"b.png", "c.gif", "f.tga"};
    QTest::newRow("larger than 100 KB or new") << Setup([](QueryCriteria& c) {
      c.fileSizeInclude = true;
      c.fileSizeText = QStringLiteral("100");
      c.includeAllNewPics = true;
    }) << L{"b.png", "c.gif", "e.pic"};
    QTest::newRow("overall above 3 and new, or any new") << Setup([](QueryCriteria& c) {
      allTypes(c);
      c.ratings[0] = {true, QStringLiteral("3"), 3, RatingOp::MoreThan};
      c.viewOnlyNewPics = c.includeAllNewPics = true;
    }) << L{"b.png", "c.gif", "f.tga"};
    QTest::newRow("every new picture")
        << Setup([](QueryCriteria& c) { c.viewOnlyNewPics = c.includeAllNewPics = true; })
        << L{"b.png", "c.gif"};
    QTest::newRow("nothing matches") << Setup([](QueryCriteria& c) {
      c.ratings[5] = {true, QStringLiteral("5"), 5, RatingOp::EqualTo};
    }) << L{};
  }
  void runQuery() {
    QFETCH(Setup, setup);
    QFETCH(QStringList, expected);
    QueryCriteria c = test::initial();
    setup(c);
    QCOMPARE(run(runQueryTexts(c)), expected);
  }

  void newFilesToday_data() {
    QTest::addColumn<bool>("everyType");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("initial types") << false << QStringList{"b.png"};
    QTest::newRow("every type") << true << QStringList{"b.png", "f.tga"};
  }
  void newFilesToday() {
    QFETCH(bool, everyType);
    QFETCH(QStringList, expected);
    QueryCriteria c = test::initial();
    if (everyType) allTypes(c);
    const QueryTexts texts{buildNewFilesStatement(QDate::currentDate()), QString(),
                           buildFileTypeFilter(c)};
    QCOMPARE(run(texts), expected);
  }

  void newFilesKeepThemeFilter() {
    QueryCriteria c = test::initial();
    anyOrderThemes(c, 3, {}, true);
    const QString themeFilter = runQueryTexts(c).filter1;
    const QueryTexts texts{buildNewFilesStatement(QDate::currentDate()), themeFilter,
                           buildFileTypeFilter(c)};
    QCOMPARE(run(texts), QStringList{"b.png"});
  }

  void printSetLists_data() {
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("spam left out, every type")
        << Setup([](QueryCriteria& c) {
             allTypes(c);
             c.omitSpam = true;
           })
        << QStringList{"SELECT * FROM tbl1 WHERE SPAM <> 1",
                       "",
                       "Extension = 'jpg' OR Extension = 'pic' OR Extension = 'gif' OR "
                       "Extension = 'png' OR Extension = 'tif' OR Extension = 'bmp' OR "
                       "Extension = 'wmf' OR Extension = 'pcx' OR Extension = 'wpg' OR "
                       "Extension = 'tga'",
                       "a.jpg",
                       "b.png",
                       "c.gif",
                       "e.pic",
                       "f.tga"};
    QTest::newRow("theme 3 anywhere, no type box")
        << Setup([](QueryCriteria& c) {
             c.fileTypes.fill(false);
             anyOrderThemes(c, 3, {}, true);
           })
        << QStringList{"SELECT * FROM tbl1 WHERE FileERROR = 0",
                       themeMatchClause(3) + u' ',
                       "",
                       "a.jpg",
                       "b.png",
                       "e.pic"};
    QTest::newRow("nothing matches") << Setup([](QueryCriteria& c) {
      c.ratings[5] = {true, QStringLiteral("5"), 5, RatingOp::EqualTo};
    })
                                     << QStringList{"SELECT * FROM tbl1 WHERE UserRating5 = 5", "",
                                                    buildFileTypeFilter(test::initial())};
  }
  void printSetLists() {
    QFETCH(Setup, setup);
    QFETCH(QStringList, lines);
    QueryCriteria c = initialCriteria(themeNamesFromSettings(), QDate::currentDate());
    setup(c);
    QueryRecord r;
    captureQueryRecord(c, r);
    const QString file = env_->folder(QStringLiteral("sets")) + QStringLiteral("/set.qry");
    QVERIFY(writeQueryFile(file, r));
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    QCOMPARE(printSet(file, outStream, errStream), 0);
    QCOMPARE(err, QString());
    QStringList printed = out.split(u'\n');
    QCOMPARE(printed.takeLast(), QString());  // every line ends in a line break
    for (int i = 3; i < printed.size(); ++i) printed[i] = printed[i].section(u'/', -1);
    QCOMPARE(printed, lines);
  }

  void printSetFailures() {
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const QString missing = env_->folder(QStringLiteral("none")) + QStringLiteral("/x.qry");
    QCOMPARE(printSet(missing, outStream, errStream), 1);
    QCOMPARE(err.trimmed(), QStringLiteral("The query file %1 does not exist.").arg(missing));
    QCOMPARE(out, QString());

    const QString shortFile = env_->folder(QStringLiteral("sets")) + QStringLiteral("/short.qry");
    QVERIFY(glim::test::writeBytes(shortFile, QByteArray(100, '\0')));
    err.clear();
    QCOMPARE(printSet(shortFile, outStream, errStream), 1);
    QCOMPARE(err.trimmed(), QStringLiteral("The query file %1 is damaged: it is shorter than one "
                                           "query (100 of 1174 bytes).")
                                .arg(shortFile));
    const QString folderFile = env_->folder(QStringLiteral("sets/folder.qry"));
    err.clear();
    QCOMPARE(printSet(folderFile, outStream, errStream), 1);
    QVERIFY(err.contains(QStringLiteral("is a folder, not a query file")));

    QueryRecord r;
    captureQueryRecord(test::initial(), r);
    const QString file = env_->folder(QStringLiteral("sets")) + QStringLiteral("/ok.qry");
    QVERIFY(writeQueryFile(file, r));
    glim::settings::write(glim::settings::kSettings, QStringLiteral("Database"),
                          env_->folder(QStringLiteral("gone")) + QStringLiteral("/all1.mdb"));
    err.clear();
    QCOMPARE(printSet(file, outStream, errStream), 2);
    QVERIFY(err.contains(QStringLiteral("does not exist")));

    // A catalogue that is there but damaged says so, and where to repair it.
    const QString damaged = env_->folder(QStringLiteral("bad")) + QStringLiteral("/all1.mdb");
    QVERIFY(
        glim::test::writeBytes(damaged, QByteArray("SQLite format 3") + QByteArray(4000, '\x5a')));
    glim::settings::write(glim::settings::kSettings, QStringLiteral("Database"), damaged);
    err.clear();
    QCOMPARE(printSet(file, outStream, errStream), 2);
    QCOMPARE(
        err.trimmed().section(u'\n', 0, 0),
        QStringLiteral("The catalogue %1 is damaged, so nothing was written to it.").arg(damaged));
    QVERIFY(err.contains(QStringLiteral("Repair and compact the database")));
    QVERIFY(!err.contains(QStringLiteral("does not exist")));
    glim::settings::remove(glim::settings::kApp, glim::settings::kSettings,
                           QStringLiteral("Database"));
  }
};

QTEST_GUILESS_MAIN(TestQueryCatalogue)
#include "tst_querycatalogue.moc"
