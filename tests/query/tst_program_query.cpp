// The real program prints a picture set without windows: "glimmora --print-set FILE.qry".
#include <QProcess>
#include <QtTest>

#include "base/settings.h"
#include "catalogue/database.h"
#include "query/queryfile.h"
#include "query/querystart.h"
#include "query_helpers.h"
#include "support/testenv.h"

using namespace glim;
using namespace glim::query;
using namespace glim::query::test;

class TestProgramQuery : public QObject {
  Q_OBJECT
 private slots:
  void queryFileStartShowsTheFirstMatch() {
    glim::test::TestEnv env;
    const QString program = env.installProgram();
    const QString folder = fillCatalogueWithFourPictures(env);
    const QString file = writeGoodOnesSet(env);
    // Start the set's slide show at once instead of asking; no prompt for a picture password.
    glim::settings::write(glim::settings::kSettings, QStringLiteral("HasRunBefore"),
                          QStringLiteral("Yes"));
    glim::settings::write(glim::settings::kSettings, QStringLiteral("Database"), env.catalogue());
    glim::settings::write(glim::settings::kSettings, QStringLiteral("AutoStartQRY"),
                          QStringLiteral("True"));
    glim::settings::write(glim::settings::kSettings, QStringLiteral("QRYPasswordPrompt"),
                          QStringLiteral("False"));
    glim::settings::write(glim::settings::kSettings, QStringLiteral("FormsRunStat"),
                          QStringLiteral("2"));
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("GLIMMORA_QUIT_WHEN_SHOWN"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    process.start(program, {file});
    QVERIFY(process.waitForFinished(-1));
    QCOMPARE(process.exitCode(), 0);
    // The viewer opened on the set and showed its first picture, a.jpg, which it marks as
    // viewed; b.jpg, the table's first row, is outside the set and never shown, and the
    // pictures after a.jpg are untouched.
    catalogue::Database db = catalogue::Database::open(env.catalogue());
    auto newFile = [&](const char* name) {
      return db
          .scalar(QStringLiteral("SELECT NewFile FROM tbl1 WHERE Pathname = ?"),
                  {folder + QLatin1String(name)})
          .toInt();
    };
    QCOMPARE(newFile("a.jpg"), 0);
    QCOMPARE(newFile("b.jpg"), 1);
    QCOMPARE(newFile("c.png"), 1);
    QCOMPARE(newFile("d.bmp"), 1);
  }

  void printSetThroughTheProgram() {
    glim::test::TestEnv env;
    const QString program = env.installProgram();
    const QString folder = fillCatalogueWithFourPictures(env);
    const QString file = writeGoodOnesSet(env);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.start(program, {QStringLiteral("--print-set"), file});
    QVERIFY(process.waitForFinished(-1));
    QCOMPARE(process.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n');
    QCOMPARE(lines.value(0), QStringLiteral("SELECT * FROM tbl1 WHERE OverallRating > 2"));
    QCOMPARE(lines.value(1), themeMatchClause(4) + u' ');
    QCOMPARE(lines.value(2), QStringLiteral("Extension = 'jpg' OR Extension = 'png'"));
    QCOMPARE(lines.mid(3), (QStringList{folder + "a.jpg", folder + "c.png", QString()}));

    process.start(program, {QStringLiteral("--print-set"), file + QStringLiteral(".missing")});
    QVERIFY(process.waitForFinished(-1));
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(process.readAllStandardError().contains(
        QStringLiteral("The query file %1.missing does not exist.").arg(file).toUtf8()));
  }
};

QTEST_MAIN(TestProgramQuery)
#include "tst_program_query.moc"
