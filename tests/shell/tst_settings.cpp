// The settings key table: each reader's default, its "not stored" marker, and how stored
// text converts back.
#include <QtTest>
#include <functional>

#include "base/appstate.h"
#include "base/keys.h"
#include "base/settings.h"
#include "support/testenv.h"

using namespace glim;

class tst_Settings : public QObject {
  Q_OBJECT
 private slots:
  void readerDefaults_data();
  void readerDefaults();
  void storedTextConverts_data();
  void storedTextConverts();
  void ratingCaptionWritesItsOwnName();
  void themeCaptionDefault();
  void valuesKeptAsExactText();
};

using Reader = std::function<QString()>;
Q_DECLARE_METATYPE(Reader)

static QString num(int v) {
  return QString::number(v);
}
static QString flag(bool v) {
  return v ? QStringLiteral("True") : QStringLiteral("False");
}

void tst_Settings::readerDefaults_data() {
  QTest::addColumn<Reader>("reader");
  QTest::addColumn<QString>("expected");
  QTest::newRow("HasRunBefore") << Reader([] { return keys::hasRunBefore(); }) << "No";
  QTest::newRow("Database") << Reader([] { return keys::database(); }) << "<program>all1.mdb";
  QTest::newRow("RecordSource") << Reader([] { return keys::recordSource(); }) << "tbl1";
  QTest::newRow("FormsRunStat") << Reader([] { return num(keys::formsRunStat()); }) << "0";
  QTest::newRow("PathsSet") << Reader([] { return flag(keys::pathsSet()); }) << "False";
  QTest::newRow("AlwaysOnTop") << Reader([] { return num(keys::alwaysOnTop()); }) << "0";
  QTest::newRow("ConfirmDeletes") << Reader([] { return flag(keys::confirmDeletes()); }) << "True";
  QTest::newRow("PasswordPrompt") << Reader([] { return num(keys::passwordPrompt()); }) << "1";
  QTest::newRow("QRYPasswordPrompt")
      << Reader([] { return flag(keys::qryPasswordPrompt()); }) << "True";
  QTest::newRow("AutoStartQRY") << Reader([] { return flag(keys::autoStartQry()); }) << "False";
  QTest::newRow("SlideTime") << Reader([] { return num(keys::slideTime()); }) << "7";
  QTest::newRow("SlideTime marker")
      << Reader([] { return num(keys::slideTime(keys::kSlideTimeNotStored)); }) << "100";
  QTest::newRow("StartPic") << Reader([] { return keys::startPic(); }) << "First";
  QTest::newRow("AutoRepeat") << Reader([] { return num(keys::autoRepeat()); }) << "0";
  QTest::newRow("dftSlideSize") << Reader([] { return keys::dftSlideSize(); }) << "Full";
  QTest::newRow("dftViewerSize") << Reader([] { return keys::dftViewerSize(); }) << "Normal";
  QTest::newRow("dftViewerSize marker")
      << Reader([] { return keys::dftViewerSize(keys::kViewerSizeNotStored); }) << "NoKey";
  QTest::newRow("showfraPIC") << Reader([] { return flag(keys::showFraPic()); }) << "True";
  QTest::newRow("MainPath3") << Reader([] { return keys::mainPath(3); }) << "None Yet";
  QTest::newRow("JPGQuality marker") << Reader([] { return num(keys::jpgQuality()); }) << "256";
  QTest::newRow("PICQuality marker") << Reader([] { return num(keys::picQuality()); }) << "256";
  QTest::newRow("JPGOption marker") << Reader([] { return keys::jpgOption(); }) << "None";
  QTest::newRow("PICOption marker") << Reader([] { return keys::picOption(); }) << "None";
  QTest::newRow("PNGOption marker") << Reader([] { return keys::pngOption(); }) << "None";
  QTest::newRow("TIFCompression marker")
      << Reader([] { return num(keys::tifCompression()); }) << "4";
}

void tst_Settings::readerDefaults() {
  QFETCH(Reader, reader);
  QFETCH(QString, expected);
  test::TestEnv env;
  expected.replace(QStringLiteral("<program>"), env.programFolder());
  QCOMPARE(reader(), expected);
  // Reading a missing key never creates it (only the rating reader does).
  QVERIFY(!QFile::exists(settings::fileFor(settings::kApp)));
}

void tst_Settings::storedTextConverts_data() {
  QTest::addColumn<QString>("key");
  QTest::addColumn<QString>("stored");
  QTest::addColumn<Reader>("reader");
  QTest::addColumn<QString>("expected");
  const Reader formsRunStat = [] { return num(keys::formsRunStat()); };
  const Reader confirm = [] { return flag(keys::confirmDeletes()); };
  const Reader slide = [] { return num(keys::slideTime(keys::kSlideTimeNotStored)); };
  QTest::newRow("whole number") << "FormsRunStat"
                                << "2" << formsRunStat << "2";
  QTest::newRow("halves round to even") << "FormsRunStat"
                                        << "2.5" << formsRunStat << "2";
  QTest::newRow("not a number reads the default") << "FormsRunStat"
                                                  << "abc" << formsRunStat << "0";
  QTest::newRow("beyond 16 bits reads the default") << "FormsRunStat"
                                                    << "40000" << formsRunStat << "0";
  QTest::newRow("flag False") << "ConfirmDeletes"
                              << "False" << confirm << "False";
  QTest::newRow("flag -1") << "ConfirmDeletes"
                           << "-1" << confirm << "True";
  QTest::newRow("flag 0") << "ConfirmDeletes"
                          << "0" << confirm << "False";
  QTest::newRow("flag junk reads the default") << "ConfirmDeletes"
                                               << "maybe" << confirm << "True";
  QTest::newRow("stored slide time beats the marker") << "SlideTime"
                                                      << "12" << slide << "12";
  QTest::newRow("empty HasRunBefore is a text")
      << "HasRunBefore"
      << "" << Reader([] { return keys::hasRunBefore(); }) << "";
}

void tst_Settings::storedTextConverts() {
  QFETCH(QString, key);
  QFETCH(QString, stored);
  QFETCH(Reader, reader);
  QFETCH(QString, expected);
  test::TestEnv env;
  QVERIFY(keys::writeText(key, stored));
  QCOMPARE(reader(), expected);
}

void tst_Settings::ratingCaptionWritesItsOwnName() {
  test::TestEnv env;
  QCOMPARE(keys::ratingCaption(4), QStringLiteral("Rating4"));
  QCOMPARE(settings::read(settings::kRatings, QStringLiteral("Rating4")),
           QStringLiteral("Rating4"));
  settings::write(settings::kRatings, QStringLiteral("Rating5"), QStringLiteral("Sharpness"));
  QCOMPARE(keys::ratingCaption(5), QStringLiteral("Sharpness"));
}

void tst_Settings::themeCaptionDefault() {
  test::TestEnv env;
  QCOMPARE(keys::themeCaption(15), QStringLiteral("Theme15"));
  QVERIFY(
      !settings::contains(settings::kApp, settings::kClassifications, QStringLiteral("Class15")));
  settings::write(settings::kClassifications, QStringLiteral("Class2"),
                  QStringLiteral("Birds, wild"));
  QCOMPARE(keys::themeCaption(2), QStringLiteral("Birds, wild"));
}

void tst_Settings::valuesKeptAsExactText() {
  test::TestEnv env;
  QVERIFY(keys::writeFlag(keys::kPathsSet, true));
  QVERIFY(keys::writeBit(keys::kAutoRepeat, true));
  QVERIFY(keys::writeInt(keys::kSlideTime, 9));
  QCOMPARE(keys::readText(keys::kPathsSet, {}), QStringLiteral("True"));
  QCOMPARE(keys::readText(keys::kAutoRepeat, {}), QStringLiteral("1"));
  QCOMPARE(keys::readText(keys::kSlideTime, {}), QStringLiteral("9"));
}

QTEST_MAIN(tst_Settings)
#include "tst_settings.moc"
