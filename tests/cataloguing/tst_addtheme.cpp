// The theme picker of the folder-adding screen.
#include <QtTest>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "base/settings.h"
#include "cataloguing/frmAddTheme.h"
#include "support/testenv.h"

using glim::cataloguing::frmAddTheme;

class tst_AddTheme : public QObject {
  Q_OBJECT

 private slots:
  void listsTheNamedThemes();
  void answers_data();
  void answers();
};

void tst_AddTheme::listsTheNamedThemes() {
  glim::test::TestEnv env;
  glim::settings::write(glim::settings::kClassifications, QStringLiteral("Class2"),
                        QStringLiteral("Beaches"));
  frmAddTheme form;
  QCOMPARE(form.windowTitle(), QStringLiteral("Select a Theme"));
  QCOMPARE(form.Combo1()->count(), 16);
  QCOMPARE(form.Combo1()->itemText(0), QStringLiteral("None"));
  QCOMPARE(form.Combo1()->itemText(2), QStringLiteral("Beaches"));
  QCOMPARE(form.Combo1()->itemText(15), QStringLiteral("Class15"));  // unnamed: its key
}

void tst_AddTheme::answers_data() {
  QTest::addColumn<int>("how");  // 0 OK, 1 Cancel, 2 Escape
  QTest::addColumn<QString>("label");
  QTest::addColumn<QString>("number");
  QTest::newRow("OK") << 0 << "Beaches"
                      << "2";
  QTest::newRow("Cancel") << 1 << "None"
                          << "0";
  QTest::newRow("Escape counts as Cancel") << 2 << "None"
                                           << "0";
}

void tst_AddTheme::answers() {
  QFETCH(int, how);
  QFETCH(QString, label);
  QFETCH(QString, number);
  glim::test::TestEnv env;
  glim::settings::write(glim::settings::kClassifications, QStringLiteral("Class2"),
                        QStringLiteral("  Beaches "));
  QLabel themeLabel(QStringLiteral("old"));
  QLineEdit themeNumber(QStringLiteral("9"));
  frmAddTheme form;
  form.setTargets(&themeLabel, &themeNumber);
  form.Combo1()->setCurrentIndex(2);
  if (how == 0)
    form.cmdOK()->click();
  else if (how == 1)
    form.cmdCancel()->click();
  else
    QTest::keyClick(&form, Qt::Key_Escape);
  QCOMPARE(themeLabel.text(), label);
  QCOMPARE(themeNumber.text(), number);
  QCOMPARE(form.chosenNumber(), number);
}

QTEST_MAIN(tst_AddTheme)
#include "tst_addtheme.moc"
