// Cataloguing without windows: glimmora --add-folder and --scan as the start-up calls them.
#include <QtTest>

#include <QDir>

#include "base/appstate.h"
#include "base/settings.h"
#include "catalogue/database.h"
#include "cataloguing/commandline.h"
#include "support/testenv.h"

using namespace glim;

namespace {

struct Run {
  int code;
  QString out;
  QString err;
};

Run run(const QStringList& args) {
  QString out, err;
  QTextStream o(&out), e(&err);
  const int code = cataloguing::runCommandLine(args, o, e);
  return {code, out, err};
}

int rows(const QString& where = "1 = 1", const QVariantList& params = {}) {
  auto db = catalogue::Database::open(appState().DatabasePath);
  return db.scalar("SELECT COUNT(*) FROM tbl1 WHERE " + where, params).toInt();
}

}  // namespace

class TestCommandLine : public QObject {
  Q_OBJECT

 private slots:
  void addFolder_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("theme");
    QTest::newRow("initial types") << QStringList{} << 3 << 0;
    QTest::newRow("bmp only") << QStringList{"--types", "bmp"} << 1 << 0;
    QTest::newRow("types and theme")
        << QStringList{"--types", "JPG, png", "--theme", "12"} << 2 << 12;
  }
  void addFolder() {
    QFETCH(QStringList, options);
    QFETCH(int, added);
    QFETCH(int, theme);
    test::TestEnv env;
    const QString folder = env.folder("my photos");
    for (const char* f : {"a.jpg", "b.png", "c.GIF", "d.bmp"})
      QVERIFY(test::writePicture(folder + '/' + f, 8, 8, "PNG"));
    const Run first = run(QStringList{"--add-folder", folder} + options);
    QCOMPARE(first.code, 0);
    QCOMPARE(first.out, QString("%1 files were added to the database.\n0 files were already "
                                "listed in the database.\n")
                            .arg(added));
    QCOMPARE(rows("Class1 = ?", {theme}), added);
    QCOMPARE(rows("Pathname LIKE ?", {folder + "/%"}), added);
    QCOMPARE(settings::read(settings::kSettings, "FormsRunStat"), QStringLiteral("2"));
    const Run again = run(QStringList{"--add-folder", folder + '/'} + options);
    QCOMPARE(again.out, QString("0 files were added to the database.\n%1 files were already "
                                "listed in the database.\n")
                            .arg(added));
  }

  void badCommandLines_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error");
    QTest::newRow("no folder") << QStringList{"--add-folder"} << "needs a folder";
    QTest::newRow("missing folder")
        << QStringList{"--scan", "/no/such/place"} << "Folder not found";
    QTest::newRow("unknown type") << QStringList{"--add-folder", "{dir}", "--types", "jpg,exe"}
                                  << "Unknown picture type \"exe\"";
    QTest::newRow("theme out of range")
        << QStringList{"--add-folder", "{dir}", "--theme", "16"} << "from 0 (none) to 15";
    QTest::newRow("value missing")
        << QStringList{"--scan", "{dir}", "--pattern"} << "needs a value";
    QTest::newRow("option of the other command")
        << QStringList{"--scan", "{dir}", "--theme", "2"} << "Unexpected argument \"--theme\"";
  }
  void badCommandLines() {
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    test::TestEnv env;
    args.replaceInStrings("{dir}", env.folder("d"));
    const Run result = run(args);
    QCOMPARE(result.code, 2);
    QVERIFY2(result.err.contains(error), qPrintable(result.err));
    QVERIFY(result.out.isEmpty());
    QCOMPARE(rows(), 0);
  }

  void missingCatalogueFails() {
    test::TestEnv env;
    appState().DatabasePath = env.programFolder() + "gone.mdb";
    const QString folder = env.folder("p");
    QVERIFY(test::writePicture(folder + "/a.jpg", 4, 4));
    const Run result = run({"--add-folder", folder});
    QCOMPARE(result.code, 1);
    QVERIFY(result.err.contains("gone.mdb"));
    QVERIFY(!QFile::exists(appState().DatabasePath));
  }

  void scanAddsWhatItFinds() {
    test::TestEnv env;
    const QString root = env.folder("tree");
    for (const char* d : {"x/y", ".git"}) QDir(root).mkpath(d);
    for (const char* f : {"1.png", "x/y/2.PNG", ".git/3.png", "x/4.jpg"})
      QVERIFY(test::writePicture(root + '/' + f, 4, 4, "PNG"));
    const Run result = run({"--scan", root, "--pattern", "*.png"});
    QCOMPARE(result.code, 0);
    QCOMPARE(result.out, QStringLiteral("Find File(s): 2 items found matching \"*.png\"\n"
                                        "2 files were added to the database.\n0 files were "
                                        "already listed in the database.\n"));
    QCOMPARE(rows("Extension = 'png' AND Class1 = 0"), 2);
    QCOMPARE(run({"--scan", root}).out.section('\n', 0, 0),
             QStringLiteral("Find File(s): 1 items found matching \"*.jpg\""));
  }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
