// The query module with the real viewer: a command-line query file opens the viewer on
// exactly its matching rows.
#include <QProcess>
#include <QtTest>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/forms.h"
#include "base/settings.h"
#include "catalogue/database.h"
#include "query/frmQuery.h"
#include "query/queryfile.h"
#include "query/querystart.h"
#include "query_helpers.h"
#include "support/testenv.h"
#include "viewer/frmDBScreenTest.h"

using namespace glim;
using namespace glim::query;
using namespace glim::query::test;

class TestWithViewerQuery : public QObject {
  Q_OBJECT
 private slots:
  void commandLineFileOpensTheViewer() {
    glim::test::TestEnv env;
    ScriptedDialogs dialogs;
    dialogs.answer(MsgResult::No);  // "Would you like to start a slide show?"
    const QString folder = fillCatalogueWithFourPictures(env);
    AppState& state = appState();
    state.QueryFileStart = true;
    state.SlideShowOnOpen = true;
    state.CommandLine = writeGoodOnesSet(env);
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
