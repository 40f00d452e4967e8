// The data control with bound line edits and check boxes over a real catalogue.
#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

#include "catalogue/database.h"
#include "catalogue/datacontrol.h"
#include "catalogue/jetsql.h"
#include "catalogue/recordset.h"
#include "catalogue_helpers.h"
#include "support/testenv.h"

using namespace glim::catalogue;
using glim::test::addPictureRow;
using glim::test::TestEnv;

namespace {

struct Viewer {
  DataControl dta;
  QLineEdit path;
  QLineEdit status;
  QLineEdit viewed;
  QLineEdit ratio;
  QLineEdit width;
  QCheckBox newFile;

  explicit Viewer(const QString& catalogue, const QString& source = QStringLiteral("tbl1")) {
    dta.bind(&path, QStringLiteral("Pathname"));
    dta.bind(&status, QStringLiteral("Status"));
    dta.bind(&viewed, QStringLiteral("DateLastViewed"));
    dta.bind(&ratio, QStringLiteral("WidthHeightRatio"));
    dta.bind(&width, QStringLiteral("Width"));
    dta.bind(&newFile, QStringLiteral("NewFile"));
    dta.setDatabaseName(catalogue);
    dta.setRecordSource(source);
  }
};

QVariant fieldOf(const QString& catalogue, const QString& path, const QString& field) {
  Database db = Database::open(catalogue);
  return db.scalar(QStringLiteral("SELECT %1 FROM tbl1 WHERE Pathname = ?").arg(field), {path});
}

void seed(const QString& catalogue, int rows) {
  Database db = Database::open(catalogue);
  for (int i = 1; i <= rows; ++i)
    QVERIFY(addPictureRow(db, QStringLiteral("/p/%1.jpg").arg(i),
                          {{"Width", 640 + i}, {"WidthHeightRatio", 640.0 / 480}}));
}

}  // namespace

class TestDataControl : public QObject {
  Q_OBJECT

 private slots:
  void showsCurrentRow();
  void writesBackOnMove_data();
  void writesBackOnMove();
  void validateBeforeReposition();
  void validateMayDropEdits();
  void updateRecordWithoutMove();
  void refusedValueKeepsRow();
  void handedOverRecordset();
  void detachReleasesFile();
  void missingCatalogue();
};

void TestDataControl::showsCurrentRow() {
  TestEnv env;
  seed(env.catalogue(), 2);
  Viewer v(env.catalogue());
  QVERIFY2(v.dta.refresh(), qPrintable(v.dta.lastError()));
  QCOMPARE(v.path.text(), QStringLiteral("/p/1.jpg"));
  QCOMPARE(v.ratio.text(), QStringLiteral("1.33333333333333"));
  QCOMPARE(v.width.text(), QStringLiteral("641"));
  QVERIFY(v.newFile.isChecked());
  QVERIFY(v.viewed.text().isEmpty());
  QCOMPARE(v.dta.recordCount(), 2);
  QVERIFY(!v.dta.dataChanged());
}

void TestDataControl::writesBackOnMove_data() {
  QTest::addColumn<bool>("throughRecordset");
  QTest::newRow("data control move") << false;
  QTest::newRow("recordset move") << true;
}

void TestDataControl::writesBackOnMove() {
  QFETCH(bool, throughRecordset);
  TestEnv env;
  seed(env.catalogue(), 3);
  Viewer v(env.catalogue());
  QVERIFY(v.dta.refresh());
  v.status.setText(QStringLiteral("Missing"));
  v.viewed.setText(QStringLiteral("12/08/2026"));
  v.newFile.setChecked(false);
  if (throughRecordset)
    v.dta.recordset()->moveNext();
  else
    v.dta.moveNext();
  QCOMPARE(v.path.text(), QStringLiteral("/p/2.jpg"));
  QCOMPARE(v.status.text(), QString());
  QCOMPARE(fieldOf(env.catalogue(), "/p/1.jpg", "Status").toString(), QStringLiteral("Missing"));
  QCOMPARE(fieldOf(env.catalogue(), "/p/1.jpg", "DateLastViewed").toString(),
           QStringLiteral("2026-12-08"));
  QCOMPARE(fieldOf(env.catalogue(), "/p/1.jpg", "NewFile").toInt(), 0);
  QCOMPARE(fieldOf(env.catalogue(), "/p/2.jpg", "NewFile").toInt(), 1);
  v.dta.movePrevious();
  QCOMPARE(v.viewed.text(), QStringLiteral("12/08/2026"));
  QVERIFY(!v.newFile.isChecked());
}

void TestDataControl::validateBeforeReposition() {
  TestEnv env;
  seed(env.catalogue(), 3);
  Viewer v(env.catalogue());
  QVERIFY(v.dta.refresh());
  QStringList events;
  connect(&v.dta, &DataControl::Validate, this, [&](DataAction action, bool* save) {
    events << QStringLiteral("Validate %1 at %2 save %3")
                  .arg(int(action))
                  .arg(v.path.text())
                  .arg(*save);
  });
  connect(&v.dta, &DataControl::Reposition, this, [&] {
    events << QStringLiteral("Reposition at %1 stored %2")
                  .arg(v.path.text(), fieldOf(env.catalogue(), "/p/1.jpg", "Status").toString());
  });
  v.status.setText(QStringLiteral("x"));
  v.dta.moveNext();
  v.dta.moveLast();
  QCOMPARE(events,
           QStringList({"Validate 3 at /p/1.jpg save 1", "Reposition at /p/2.jpg stored x",
                        "Validate 4 at /p/2.jpg save 0", "Reposition at /p/3.jpg stored x"}));
}

void TestDataControl::validateMayDropEdits() {
  TestEnv env;
  seed(env.catalogue(), 2);
  Viewer v(env.catalogue());
  QVERIFY(v.dta.refresh());
  connect(&v.dta, &DataControl::Validate, this, [](DataAction, bool* save) { *save = false; });
  v.status.setText(QStringLiteral("dropped"));
  v.dta.moveNext();
  QCOMPARE(fieldOf(env.catalogue(), "/p/1.jpg", "Status").toString(), QString());
}

void TestDataControl::updateRecordWithoutMove() {
  TestEnv env;
  seed(env.catalogue(), 1);
  Viewer v(env.catalogue());
  QVERIFY(v.dta.refresh());
  v.width.setText(QStringLiteral("1024"));
  v.ratio.setText(QStringLiteral("2.5"));
  QVERIFY(v.dta.dataChanged());
  QVERIFY(v.dta.updateRecord());
  QVERIFY(!v.dta.dataChanged());
  QCOMPARE(fieldOf(env.catalogue(), "/p/1.jpg", "Width").toInt(), 1024);
  QCOMPARE(fieldOf(env.catalogue(), "/p/1.jpg", "WidthHeightRatio").toDouble(), 2.5);
  QCOMPARE(v.dta.recordset()->lastModified(), v.dta.recordset()->bookmark());
}

void TestDataControl::refusedValueKeepsRow() {
  TestEnv env;
  seed(env.catalogue(), 2);
  Viewer v(env.catalogue());
  QVERIFY(v.dta.refresh());
  // A second row with the same Pathname, text in a number field, a date that is no date.
  const QList<std::pair<QLineEdit*, QString>> bad = {
      {&v.path, "/p/2.jpg"}, {&v.width, "wide"}, {&v.viewed, "13/45/2026"}};
  for (const auto& [edit, text] : bad) {
    edit->setText(text);
    v.status.setText(QStringLiteral("changed"));
    QVERIFY(!v.dta.updateRecord());
    QVERIFY(!v.dta.lastError().isEmpty());
    QCOMPARE(edit->text(), text);  // the control keeps the user's text
    QCOMPARE(fieldOf(env.catalogue(), "/p/1.jpg", "Status").toString(), QString());
    v.dta.updateControls();
  }
  QSignalSpy errors(&v.dta, &DataControl::Error);
  v.path.setText(QStringLiteral("/p/2.jpg"));
  v.dta.moveNext();
  QCOMPARE(errors.count(), 1);
  QCOMPARE(v.dta.recordCount(), 2);
  QCOMPARE(fieldOf(env.catalogue(), "/p/1.jpg", "Width").toInt(), 641);
}

void TestDataControl::handedOverRecordset() {
  TestEnv env;
  seed(env.catalogue(), 4);
  Viewer v(env.catalogue());
  QSignalSpy repositions(&v.dta, &DataControl::Reposition);
  {
    Database db = Database::open(env.catalogue());
    std::unique_ptr<Recordset> rs =
        db.openRecordset(QStringLiteral("SELECT * FROM tbl1 WHERE Width > 641"));
    rs->setFilter(QStringLiteral("Width <> 643"));
    v.dta.setRecordset(rs->openFiltered());
  }  // the handed-over set keeps its connection
  QCOMPARE(repositions.count(), 1);
  QCOMPARE(v.dta.databaseName(), QFileInfo(env.catalogue()).absoluteFilePath());
  QCOMPARE(v.dta.recordCount(), 2);
  QCOMPARE(v.path.text(), QStringLiteral("/p/2.jpg"));
  v.status.setText(QStringLiteral("seen"));
  QVERIFY(v.dta.setAbsolutePosition(1));
  QCOMPARE(v.path.text(), QStringLiteral("/p/4.jpg"));
  QCOMPARE(fieldOf(env.catalogue(), "/p/2.jpg", "Status").toString(), QStringLiteral("seen"));
}

void TestDataControl::detachReleasesFile() {
  TestEnv env;
  seed(env.catalogue(), 1);
  Viewer v(env.catalogue());
  QVERIFY(v.dta.refresh());
  v.status.setText(QStringLiteral("kept"));
  v.dta.detach();  // writes the pending edit, then lets go of the file
  QVERIFY(!v.dta.recordset());
  QVERIFY(v.path.text().isEmpty());
  QVERIFY(!v.newFile.isChecked());
  QCOMPARE(fieldOf(env.catalogue(), "/p/1.jpg", "Status").toString(), QStringLiteral("kept"));
  // Nothing holds the file: its WAL has been folded in and removed.
  QVERIFY(!QFileInfo::exists(env.catalogue() + QStringLiteral("-wal")));
  v.dta.setDatabaseName(env.catalogue());
  QVERIFY(v.dta.refresh());
  QCOMPARE(v.path.text(), QStringLiteral("/p/1.jpg"));
}

void TestDataControl::missingCatalogue() {
  TestEnv env;
  const QString missing = env.programFolder() + QStringLiteral("gone.mdb");
  Viewer v(missing);
  QVERIFY(!v.dta.refresh());
  QVERIFY(!v.dta.lastError().isEmpty());
  QVERIFY(!v.dta.recordset());
  QVERIFY(v.dta.bof() && v.dta.eof());
  QCOMPARE(v.dta.recordCount(), 0);
  v.dta.moveNext();  // harmless without a recordset
  QVERIFY(!QFileInfo::exists(missing));
  v.dta.setDatabaseName(env.catalogue());
  v.dta.setRecordSource(QStringLiteral("SELECT * FROM nosuchtable"));
  QVERIFY(!v.dta.refresh());
}

QTEST_MAIN(TestDataControl)
#include "tst_datacontrol.moc"
