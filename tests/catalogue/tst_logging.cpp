// The diagnostic categories: silent by default, and with a rule a failed statement is logged
// with the catalogue's path and the database's own text.
#include <QtTest>

#include "base/logging.h"
#include "catalogue/database.h"
#include "support/testenv.h"

using namespace glim;
using namespace glim::catalogue;

namespace {
QStringList g_logged;
void keep(QtMsgType, const QMessageLogContext& context, const QString& text) {
  g_logged << QString::fromLatin1(context.category) + u' ' + text;
}
}  // namespace

class TestLogging : public QObject {
  Q_OBJECT

 private slots:
  void failedStatementLoggedOnlyWhenEnabled_data() {
    QTest::addColumn<QString>("rules");
    QTest::addColumn<bool>("logged");
    QTest::newRow("default") << QString() << false;
    QTest::newRow("glimmora.*") << QStringLiteral("glimmora.*=true") << true;
  }
  void failedStatementLoggedOnlyWhenEnabled() {
    QFETCH(QString, rules);
    QFETCH(bool, logged);
    test::TestEnv env;
    QLoggingCategory::setFilterRules(rules);
    g_logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keep);
    {
      auto db = Database::open(env.catalogue());
      QVERIFY(!db.execute(QStringLiteral("SELECT * FROM no_such_table")));
    }
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
    QCOMPARE(!g_logged.isEmpty(), logged);
    if (logged) {
      QVERIFY2(g_logged.first().startsWith(QStringLiteral("glimmora.catalogue ")),
               qPrintable(g_logged.first()));
      QVERIFY(g_logged.first().contains(env.catalogue()));
      QVERIFY(g_logged.first().contains(QStringLiteral("no_such_table")));
    }
  }
};

QTEST_MAIN(TestLogging)
#include "tst_logging.moc"
