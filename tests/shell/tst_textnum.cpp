#include <QtTest>

#include "base/textnum.h"

using namespace glim::textnum;

class TestTextNum : public QObject {
  Q_OBJECT
 private slots:
  void numeric_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    QTest::newRow("digits") << "42" << true;
    QTest::newRow("blanks and sign") << "  -3.5 " << true;
    QTest::newRow("exponent") << "1e3" << true;
    QTest::newRow("leading point") << ".5" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blank") << "   " << false;
    QTest::newRow("two points") << "1.2.3" << false;
    QTest::newRow("letters") << "12a" << false;
    QTest::newRow("sign only") << "-" << false;
  }
  void numeric() {
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QCOMPARE(isNumeric(text), numeric);
  }

  void wholeNumbers() {
    QCOMPARE(toInt16(QStringLiteral("2.5")).value(), qint16(2));
    QCOMPARE(toInt16(QStringLiteral("3.5")).value(), qint16(4));
    QCOMPARE(toInt16(QStringLiteral("-2.5")).value(), qint16(-2));
    QCOMPARE(toInt16(QStringLiteral("32767")).value(), qint16(32767));
    QVERIFY(!toInt16(QStringLiteral("32768")));
    QVERIFY(!toInt16(QStringLiteral("abc")));
    QCOMPARE(toInt32(QStringLiteral("40000")).value(), 40000);
    QVERIFY(!toInt32(QStringLiteral("1e12")));
  }

  void numberTexts() {
    QCOMPARE(doubleText(640.0 / 480.0), QStringLiteral("1.33333333333333"));
    QCOMPARE(doubleText(0.4), QStringLiteral("0.4"));
    QCOMPARE(doubleText(2.0), QStringLiteral("2"));
    QCOMPARE(singleText(1.333f), QStringLiteral("1.333"));
  }

  void flags() {
    QCOMPARE(toFlag(QStringLiteral("True")), std::optional<bool>(true));
    QCOMPARE(toFlag(QStringLiteral("-1")), std::optional<bool>(true));
    QCOMPARE(toFlag(QStringLiteral("0")), std::optional<bool>(false));
    QVERIFY(!toFlag(QStringLiteral("maybe")));
    QCOMPARE(toFlag(QStringLiteral(""), true), true);
  }

  void dates() {
    QCOMPARE(dateText(QDate(2024, 3, 7)), QStringLiteral("03/07/2024"));
    QCOMPARE(parseDate(QStringLiteral("3/7/2024")).value(), QDate(2024, 3, 7));
    QVERIFY(!parseDate(QStringLiteral("02/30/2024")));
    QCOMPARE(toOleDate(QDate(1899, 12, 30)), 0.0);
    QCOMPARE(toOleDate(QDate(2000, 1, 1)), 36526.0);
    const QDateTime noon(QDate(2024, 3, 7), QTime(12, 0));
    QCOMPARE(fromOleDate(toOleDate(noon)), noon);
  }

  void characters() {
    const QString text = QStringLiteral("a\U0001F600bc");
    QCOMPARE(length(text), 4);
    QCOMPARE(left(text, 2), QStringLiteral("a\U0001F600"));
    QCOMPARE(right(text, 3), QStringLiteral("\U0001F600bc"));
    QCOMPARE(trim(QStringLiteral("  x y  ")), QStringLiteral("x y"));
  }
};

QTEST_GUILESS_MAIN(TestTextNum)
#include "tst_textnum.moc"
