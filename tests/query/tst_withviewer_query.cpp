// The query module with the real viewer: a command-line query file opens the viewer on
// exactly its matching rows.
#include <QProcess>
#include <QtTest>

#include "catalogue/database.h"
#include "query/frmQuery.h"
#include "query/queryfile.h"
#include "query/querystart.h"
#include "query_helpers.h"
#include "shell/base/appstate.h"
#include "shell/base/dialogs.h"
#include "shell/base/forms.h"
#include "shell/base/settings.h"
#include "support/testenv.h"
#include "viewer/frmDBScreenTest.h"

using namespace glim;
using namespace glim::query;

namespace {

// Three real pictures; the query below (overall rating above 2, theme 4 anywhere, JPG and
// PNG) matches a.jpg and c.png but not b.jpg (rating) or d.bmp (type).
struct Picture {
  const char* name;
  const char* format;
  int rating;
  int theme;
};
// b.jpg comes first, so that the whole table would start with a picture the query leaves out.
const Picture kPictures[] = {
    {"b.jpg", "JPG", 1, 4}, {"a.jpg", "JPG", 3, 4}, {"c.png", "PNG", 5, 4}, {"d.bmp", "BMP", 5, 4}};

QString fillCatalogue(const glim::test::TestEnv& env) {
  catalogue::Database db = catalogue::Database::open(env.catalogue());
  const QString folder = env.folder(QStringLiteral("pictures")) + u'/';
  for (const Picture& p : kPictures) {
    const QString path = folder + QLatin1String(p.name);
    glim::test::writePicture(path, 64, 48, p.format);
    db.execute(QStringLiteral("INSERT INTO tbl1 (Pathname, Extension, OverallRating, Class2) "
                              "VALUES (?, ?, ?, ?)"),
               {path, QString::fromLatin1(p.name).right(3), p.rating, p.theme});
  }
  return folder;
}

QString writeSet(const glim::test::TestEnv& env) {
  QStringList names;
  for (int k = 1; k <= kThemeCount; ++k) names << QStringLiteral("Class%1").arg(k);
  QueryCriteria c = initialCriteria(names, QDate::currentDate());
  c.ratings[0] = {true, QStringLiteral("2"), 2, RatingOp::MoreThan};
  setThemesAnyOrder(c, true);
  selectIncludesTheme(c.includes[0], 3, names);
  c.fileTypes.fill(false);
  c.fileTypes[JPG] = c.fileTypes[PNG] = true;
  QueryRecord r;
  captureQueryRecord(c, r);
  const QString file = env.folder(QStringLiteral("my sets")) + QStringLiteral("/good ones.qry");
  writeQueryFile(file, r);
  return file;
}

}  // namespace

class TestWithViewerQuery : public QObject {
  Q_OBJECT
 private slots:
  void commandLineFileOpensTheViewer() {
    glim::test::TestEnv env;
    ScriptedDialogs dialogs;
    dialogs.answer(MsgResult::No);  // "Would you like to start a slide show?"
    const QString folder = fillCatalogue(env);
    AppState& state = appState();
    state.QueryFileStart = true;
    state.SlideShowOnOpen = true;
    state.CommandLine = writeSet(env);
    state.DatabasePath = env.catalogue();

    startFromQueryFile();
    QTRY_VERIFY(forms::find<frmDBScreenTest>());
    auto* viewer = forms::find<frmDBScreenTest>();
    catalogue::Recordset* set = viewer->dtaTest().recordset();
    QVERIFY(set);
    QStringList shown;
    for (int i = 0; i < set->recordCount(); ++i) {
      set->setAbsolutePosition(i);
      shown << set->value(QStringLiteral("Pathname")).toString().mid(folder.size());
    }
    QCOMPARE(shown, (QStringList{"a.jpg", "c.png"}));
    QTRY_VERIFY(!forms::find<frmQuery>());  // the viewer unloads the builder
    forms::closeAll();
  }
};

QTEST_MAIN(TestWithViewerQuery)
#include "tst_withviewer_query.moc"
