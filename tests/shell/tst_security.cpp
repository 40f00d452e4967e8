// Program security and the options window: the login's rules and messages, the credential
// store's hash, the options window's load, entry rules, immediate writes and Apply.
#include <QtTest>

#include <sys/stat.h>
#include <QRadioButton>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/keys.h"
#include "base/settings.h"
#include "catalogue/database.h"
#include "catalogue/maintenance.h"
#include "shell/credentials.h"
#include "shell/frmLogin.h"
#include "shell/frmOptions.h"
#include "shell/frmSplash.h"
#include "shell/startup.h"
#include "shellfixture.h"
#include "support/testenv.h"

using namespace glim;

namespace {

void storeAndLoad(const QString& name, const QString& password) {
  QVERIFY(credentials::storeCredentials(name, password));
  credentials::loadCredentials();
}

}  // namespace

class tst_Security : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { frmSplash::setTutorialOfferEnabled(false); }
  void cleanup() { test::closeAllWindows(); }

  void loginRules_data();
  void loginRules();
  void nothingStoredNeverLogsIn();
  void storeKeepsNoPassword();
  void cancelledLoginEndsStartUp();
  void slideTimeEntry_data();
  void slideTimeEntry();
  void missingKeysStoredAtLoadEvenWhenCancelled();
  void deletionsBoxWrittenAtTheClick();
  void passwordPromptTwoLoadsCleared();
  void lockedSecurityControlsDisabled();
  void applyRefusesLockWithoutCredentials();
  void applyWritesSettings();
  void updateNamePasswordRules_data();
  void updateNamePasswordRules();
  void credentialStoreIsPrivate();
  void goWaitsForAChosenOperation();
  void freshStartEndsTheProgramOnlyWhenItWorked();
};

void tst_Security::loginRules_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("password");
  QTest::addColumn<bool>("succeeds");
  QTest::addColumn<QString>("message");
  QTest::newRow("exact") << "Alice"
                         << "Secret-Word" << true << "";
  QTest::newRow("case and blanks ignored") << "  aLICE "
                                           << " sECRET-wORD  " << true << "";
  QTest::newRow("7 characters") << "Alice"
                                << "Secret-" << false
                                << "You must enter a password (8 characters or more)";
  QTest::newRow("wrong password") << "Alice"
                                  << "Secret-Wort" << false
                                  << "Invalid Password or username, try again!";
  QTest::newRow("wrong name") << "Bob"
                              << "Secret-Word" << false
                              << "Invalid Password or username, try again!";
}

void tst_Security::loginRules() {
  QFETCH(QString, name);
  QFETCH(QString, password);
  QFETCH(bool, succeeds);
  QFETCH(QString, message);
  test::TestEnv env;
  ScriptedDialogs dialogs;
  storeAndLoad(QStringLiteral(" Alice "), QStringLiteral("Secret-Word"));
  frmLogin login;
  QCOMPARE(login.txtUserName->text(), QStringLiteral("Alice"));
  QVERIFY(login.txtPassword->text().isEmpty());
  QCOMPARE(login.txtPassword->echoMode(), QLineEdit::Password);
  login.txtUserName->setText(name);
  login.txtPassword->setText(password);
  login.cmdOK_Click();
  QCOMPARE(login.LoginSucceeded, succeeds);
  QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), succeeds ? 0 : 1);
  if (!succeeds) {
    QCOMPARE(dialogs.lastText(), message);
    QCOMPARE(dialogs.messages().first().title, message.startsWith("You")
                                                   ? QStringLiteral("Invalid Password")
                                                   : QStringLiteral("Login"));
  }
}

void tst_Security::nothingStoredNeverLogsIn() {
  test::TestEnv env;
  ScriptedDialogs dialogs;
  credentials::loadCredentials();
  QCOMPARE(appState().StoredUserName, QStringLiteral("None"));
  QCOMPARE(appState().StoredPassword, QStringLiteral("None"));
  frmLogin login;
  for (const char* typed : {"None", "none    ", "nonenone"}) {
    login.txtUserName->setText(QStringLiteral("None"));
    login.txtPassword->setText(QString::fromLatin1(typed));
    login.cmdOK_Click();
    QVERIFY(!login.LoginSucceeded);
  }
  QVERIFY(!credentials::haveValidCredentials());
}

void tst_Security::storeKeepsNoPassword() {
  test::TestEnv env;
  storeAndLoad(QStringLiteral("carol"), QStringLiteral("  Tr0ub4dor&3  "));
  const QByteArray stored = test::readBytes(settings::fileFor(credentials::kCredentialKey));
  QVERIFY(stored.contains("UN=carol"));
  QVERIFY(!stored.toLower().contains("tr0ub4dor"));
  QVERIFY(appState().StoredPassword.startsWith(QStringLiteral("$argon2")));
  QVERIFY(credentials::passwordMatches(appState().StoredPassword, QStringLiteral("TR0UB4DOR&3")));
  QVERIFY(!credentials::passwordMatches(appState().StoredPassword, QStringLiteral("tr0ub4dor&")));
  QVERIFY(credentials::haveValidCredentials());
  // The same password twice gives two different salted hashes.
  QVERIFY(credentials::hashPassword("abcdefgh") != credentials::hashPassword("abcdefgh"));
}

void tst_Security::cancelledLoginEndsStartUp() {
  test::TestEnv env;
  keys::writeText(keys::kHasRunBefore, QStringLiteral("Yes"));
  credentials::writeLoginFlag(true);
  StartupConfig config;
  config.programFolder = env.programFolder();
  config.splashMs = config.mainLoadMs = config.splashMsQueryFile = 0;
  Startup startup(config);
  // Cancel the login once it shows (checked at every turn of the event loop).
  QTimer watcher;
  connect(&watcher, &QTimer::timeout, [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* login = qobject_cast<frmLogin*>(w); login && login->isVisible())
        login->cmdCancel->click();
  });
  watcher.start(0);
  QCOMPARE(startup.run(), StartOutcome::LoginFailed);
  QVERIFY(!startup.mainWindow());
  QVERIFY(!forms::find<frmMain>());
  QVERIFY(!forms::find<frmSplash>());
}

void tst_Security::slideTimeEntry_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("shown");
  QTest::newRow("2 -> 3") << "2"
                          << "3";
  QTest::newRow("75 -> 60") << "75"
                            << "60";
  QTest::newRow("empty -> 3") << ""
                              << "3";
  QTest::newRow("letters -> 3") << "ab"
                                << "3";
  QTest::newRow("in range kept") << "12"
                                 << "12";
  QTest::newRow("60 kept") << "60"
                           << "60";
}

void tst_Security::slideTimeEntry() {
  QFETCH(QString, typed);
  QFETCH(QString, shown);
  test::TestEnv env;
  frmOptions options;
  QVERIFY(!options.cmdApply->isEnabled());
  options.txtSlideTime->setText(typed);
  QCOMPARE(options.txtSlideTime->text(), shown);
  QCOMPARE(options.VScroll1->value(), 61 - shown.toInt());
  QVERIFY(options.cmdApply->isEnabled());
  // Moving the bar up lengthens the interval, down shortens it.
  const int step = shown.toInt() < 60 ? 1 : -1;
  options.VScroll1->setValue(options.VScroll1->value() - step);
  QCOMPARE(options.txtSlideTime->text(), QString::number(shown.toInt() + step));
}

void tst_Security::missingKeysStoredAtLoadEvenWhenCancelled() {
  test::TestEnv env;
  {
    frmOptions options;
    QCOMPARE(options.txtSlideTime->text(), QStringLiteral("7"));
    QVERIFY(options.optRegSize->isChecked());
    options.cmdCancel_Click();
  }
  QCOMPARE(keys::readText(keys::kSlideTime, {}), QStringLiteral("7"));
  QCOMPARE(keys::readText(keys::kDftViewerSize, {}), QStringLiteral("Normal"));
  QVERIFY(!settings::contains(settings::kApp, settings::kSettings, keys::kStartPic));
}

void tst_Security::deletionsBoxWrittenAtTheClick() {
  test::TestEnv env;
  keys::writeText(keys::kConfirmDeletes, QStringLiteral("True"));
  frmOptions options;
  QVERIFY(!options.chkAllowDeletes->isChecked());
  options.chkAllowDeletes->click();
  QCOMPARE(keys::readText(keys::kConfirmDeletes, {}), QStringLiteral("False"));
  options.cmdCancel_Click();
  QCOMPARE(keys::readText(keys::kConfirmDeletes, {}), QStringLiteral("False"));
}

void tst_Security::passwordPromptTwoLoadsCleared() {
  test::TestEnv env;
  keys::writeText(keys::kPasswordPrompt, QStringLiteral("2"));
  frmOptions options;
  QVERIFY(!options.chkPasswordPrompt->isChecked());
  options.cmdApply_Click();
  QCOMPARE(keys::readText(keys::kPasswordPrompt, {}), QStringLiteral("0"));
  QVERIFY(!options.cmdApply->isEnabled());
}

void tst_Security::lockedSecurityControlsDisabled() {
  test::TestEnv env;
  credentials::writeLoginFlag(true);
  frmOptions options;
  QVERIFY(options.chkUseNamePass->isChecked());
  for (QWidget* w : std::initializer_list<QWidget*>{
           options.chkUseNamePass, options.txtUserName, options.txtUserPassword,
           options.cmdUpdateNamePassword, options.fraSecurity1})
    QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
  credentials::writeLoginFlag(false);
  frmOptions unlocked;
  QVERIFY(unlocked.txtUserName->isEnabled());
  QVERIFY(unlocked.cmdUpdateNamePassword->isEnabled());
  QVERIFY(unlocked.txtUserPassword->text().isEmpty());
}

void tst_Security::applyRefusesLockWithoutCredentials() {
  test::TestEnv env;
  ScriptedDialogs dialogs;
  frmOptions options;
  options.chkUseNamePass->setChecked(true);
  options.cmdApply_Click();
  QVERIFY(!credentials::useLogin());
  QVERIFY(!options.chkUseNamePass->isChecked());
  QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 1);
  // Other settings were still written.
  QCOMPARE(keys::readText(keys::kStartPic, {}), QStringLiteral("First"));

  storeAndLoad(QStringLiteral("dave"), QStringLiteral("long enough"));
  options.chkUseNamePass->setChecked(true);
  options.cmdApply_Click();
  QVERIFY(credentials::useLogin());
  QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 1);
}

void tst_Security::applyWritesSettings() {
  test::TestEnv env;
  frmOptions options;
  options.txtSlideTime->setText(QStringLiteral("15"));
  options.optCurrentPic->setChecked(true);
  options.chkRepeatSlides->setChecked(true);
  options.chkAutoStartQRY->setChecked(true);
  options.optSlideNormal->setChecked(true);
  options.chkPasswordPrompt->setChecked(false);
  options.chkPasswordPromptForAutoSlides->setChecked(false);
  options.cmdOK_Click();
  QCOMPARE(keys::readText(keys::kSlideTime, {}), QStringLiteral("15"));
  QCOMPARE(keys::readText(keys::kStartPic, {}), QStringLiteral("Current"));
  QCOMPARE(keys::readText(keys::kAutoRepeat, {}), QStringLiteral("1"));
  QCOMPARE(keys::readText(keys::kAutoStartQry, {}), QStringLiteral("True"));
  QCOMPARE(keys::readText(keys::kDftSlideSize, {}), QStringLiteral("Normal"));
  QCOMPARE(keys::readText(keys::kPasswordPrompt, {}), QStringLiteral("0"));
  QCOMPARE(keys::readText(keys::kQryPasswordPrompt, {}), QStringLiteral("False"));
  QCOMPARE(keys::readText(keys::kConfirmDeletes, {}), QStringLiteral("True"));
  QCOMPARE(settings::get(credentials::kCredentialKey, credentials::kCredentialKey, "LOG"),
           QStringLiteral("False"));
}

void tst_Security::updateNamePasswordRules_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("password");
  QTest::addColumn<QString>("title");
  QTest::newRow("short password") << "erin"
                                  << " 1234567 "
                                  << "Password Error";
  QTest::newRow("short name") << " ab "
                              << "12345678"
                              << "Username Error";
  QTest::newRow("stored") << " erin "
                          << " 12345678 "
                          << "Glimmora";
}

void tst_Security::updateNamePasswordRules() {
  QFETCH(QString, name);
  QFETCH(QString, password);
  QFETCH(QString, title);
  test::TestEnv env;
  ScriptedDialogs dialogs;
  credentials::loadCredentials();
  frmOptions options;
  options.txtUserName->setText(name);
  options.txtUserPassword->setText(password);
  options.cmdUpdateNamePassword_Click();
  QVERIFY(options.cmdApply->isEnabled());
  QCOMPARE(dialogs.messages().size(), 1);
  QCOMPARE(dialogs.messages().first().title, title);
  const bool stored = title == QStringLiteral("Glimmora");
  QCOMPARE(credentials::haveValidCredentials(), stored);
  if (stored) {
    QCOMPARE(appState().StoredUserName, QStringLiteral("erin"));
    QVERIFY(credentials::passwordMatches(appState().StoredPassword, password));
  } else {
    QCOMPARE(dialogs.messages().first().icon, MsgIcon::Critical);
    QCOMPARE(appState().StoredUserName, QStringLiteral("None"));
  }
}

// The store holds the password's hash: readable by its owner only, also when an older
// version left it readable by all.
void tst_Security::credentialStoreIsPrivate() {
  test::TestEnv env;
  const mode_t oldMask = ::umask(022);
  const QString file = settings::fileFor(credentials::kCredentialKey);
  auto mode = [&file] {
    struct stat st {};
    return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
  };
  QVERIFY(credentials::storeCredentials(QStringLiteral("alice"), QStringLiteral("password1")));
  QCOMPARE(mode(), 0600);

  QVERIFY(QFile::remove(file));
  QVERIFY(settings::set(credentials::kCredentialKey, credentials::kCredentialKey,
                        QStringLiteral("UN"), QStringLiteral("bob")));
  QCOMPARE(mode(), 0644);
  credentials::loadCredentials();
  QCOMPARE(mode(), 0600);
  QCOMPARE(appState().StoredUserName, QStringLiteral("bob"));
  QVERIFY(credentials::writeLoginFlag(true));
  QCOMPARE(mode(), 0600);
  QVERIFY(credentials::useLogin());
  ::umask(oldMask);
}

// GO with no operation chosen would remove the rows of missing pictures: it waits for a choice.
void tst_Security::goWaitsForAChosenOperation() {
  test::TestEnv env;
  ScriptedDialogs dialogs;
  {
    catalogue::Database db = catalogue::Database::open(env.catalogue());
    for (const char* path : {"/gone/a.jpg", "/gone/b.jpg", "/gone/c.jpg"})
      QVERIFY(db.execute(QStringLiteral("INSERT INTO tbl1 (Pathname) VALUES (?)"),
                         {QString::fromLatin1(path)}));
  }
  frmOptions options;
  options.show();
  QVERIFY(!options.cmdGoDB->isEnabled());
  QTest::mouseClick(options.cmdGoDB, Qt::LeftButton);
  options.cmdGoDB_Click();
  QVERIFY(dialogs.calls().isEmpty());
  QCOMPARE(test::tbl1Count(env.catalogue()), 3);
  options.Option1[2]->click();
  QVERIFY(options.cmdGoDB->isEnabled());
  QTest::mouseClick(options.cmdGoDB, Qt::LeftButton);
  QCOMPARE(dialogs.lastText(), QStringLiteral("The database has been backed up."));
  QCOMPARE(test::tbl1Count(env.catalogue()), 3);
}

// A fresh start that fails changes nothing: the captions stay and the program goes on. One
// that works keeps the old catalogue under a name of its own, says which, and ends.
void tst_Security::freshStartEndsTheProgramOnlyWhenItWorked() {
  test::TestEnv env;
  ScriptedDialogs dialogs;
  test::catchProcessEnd();
  const QString program = appState().ProgramFolder;
  const QString fresh = catalogue::maintenance::freshPath(program);
  QFile::remove(fresh);
  keys::writeText(keys::mainPathKey(1), QStringLiteral("Holidays"));
  const QByteArray userBackup("the user's own backup");
  QVERIFY(test::writeBytes(catalogue::maintenance::backupPath(program), userBackup));
  {
    frmOptions options;
    options.Option1[4]->click();
    options.cmdGoDB_Click();
    QCOMPARE(dialogs.messages().size(), 1);
    QCOMPARE(dialogs.lastText(),
             QStringLiteral("Your backup database is missing!  See Website for a new one."));
    QCOMPARE(keys::readText(keys::mainPathKey(1), {}), QStringLiteral("Holidays"));
    QCOMPARE(test::endedWith(), -1);
  }

  QVERIFY(QFile::copy(env.catalogue(), fresh));
  {
    catalogue::Database db = catalogue::Database::open(env.catalogue());
    QVERIFY(db.execute(QStringLiteral("INSERT INTO tbl1 (Pathname) VALUES ('/kept/a.jpg')")));
  }
  const QString kept = catalogue::maintenance::freshStartKeepPath(program, QDate::currentDate());
  dialogs.clear();
  frmOptions options;
  options.Option1[4]->click();
  options.cmdGoDB_Click();
  QCOMPARE(dialogs.messages().size(), 2);
  QCOMPARE(dialogs.messages().first().text,
           QStringLiteral("Your database has been replaced.\rThe old database was kept as ") +
               kept + u'.');
  QCOMPARE(dialogs.lastText(), QStringLiteral("You must exit and restart Glimmora now."));
  QCOMPARE(test::tbl1Count(kept), 1);
  QCOMPARE(test::tbl1Count(env.catalogue()), 0);
  QCOMPARE(test::readBytes(catalogue::maintenance::backupPath(program)), userBackup);
  QCOMPARE(keys::readText(keys::mainPathKey(1), {}), keys::mainPathKey(1));
  QCOMPARE(test::endedWith(), 0);
}

QTEST_MAIN(tst_Security)
#include "tst_security.moc"
