// The main window: its menus, placement, the lblMessage protocol, always on top, the
// set-up progress gating of every command, help, about and the two shutdown paths.
#include <QtTest>

#include <QMenuBar>
#include <QScreen>
#include <QTextBrowser>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/forms.h"
#include "base/help.h"
#include "base/keys.h"
#include "shell/frmAbout.h"
#include "shell/frmFormsRunStatus.h"
#include "shell/frmMain.h"
#include "shellfixture.h"
#include "support/testenv.h"

using namespace glim;
using Screen = frmMain::Screen;
Q_DECLARE_METATYPE(frmMain::Screen)

class tst_MainWindow : public QObject {
  Q_OBJECT
 private slots:
  void cleanup() { test::closeAllWindows(); }

  void menusInOrder();
  void loadFollowsAlwaysOnTop_data();
  void loadFollowsAlwaysOnTop();
  void alwaysOnTopCommandToggles();
  void viewerMessages_data();
  void viewerMessages();
  void placedAtTopRightOfWorkArea();
  void gating_data();
  void gating();
  void addImagesWithoutCaptionsAsks_data();
  void addImagesWithoutCaptionsAsks();
  void everyScreenCommandIsEnabled();
  void helpCommandsShowLocalPages_data();
  void helpCommandsShowLocalPages();
  void missingHelpPageShowsNothing();
  void aboutShowsBuild();
  void exitClosesAllButTheFirst();
  void closingMainClosesEverything();
};

void tst_MainWindow::menusInOrder() {
  test::TestEnv env;
  frmMain main;
  QStringList menus;
  for (QAction* a : main.menuBar()->actions()) menus << a->text();
  QCOMPARE(menus, (QStringList{"&Viewing", "&Images", "&Options", "&Help", "&Websites", "E&xit"}));
  auto items = [&](int index) {
    QStringList out;
    for (QAction* a : main.menuBar()->actions()[index]->menu()->actions())
      out << (a->isSeparator() ? QStringLiteral("-")
              : a->menu()      ? a->menu()->objectName()
                               : a->objectName());
    return out;
  };
  QCOMPARE(items(0), (QStringList{"mnuViewAllImagesNonSlideShow", "mnuSelectImagesNonSlideShow",
                                  "-", "mnuSlideShowViewing"}));
  QCOMPARE(main.mnuSlideShowViewing->title(), QStringLiteral("&Slide Show"));
  QCOMPARE(main.mnuSlideShowViewing->actions(),
           (QList<QAction*>{main.mnuViewAllImagesSlideShow, main.mnuSelectImagesSlideShow}));
  QCOMPARE(items(2), (QStringList{"mnuAlwaysOnTop", "mnuProgramSetup", "mnuProgramOptions"}));
  QCOMPARE(items(3), (QStringList{"mnuGetStartedTut", "mnuQueryTutorial", "mnuHelpIndex",
                                  "mnuOnlineHelp", "mnuGlimmoraComments", "mnuAbout"}));
  QCOMPARE(items(4), (QStringList{"mnutarnwickwebsite", "mnuGlimmorawebsite", "mnuSendComments"}));
  QCOMPARE(main.mnuViewAllImagesNonSlideShow->text(),
           QStringLiteral("View &All Images In Database"));
  QCOMPARE(main.mnuScanEntireDisk->text(),
           QStringLiteral("Scan System For Images To Add To The Database"));
  QCOMPARE(main.mnuOnlineHelp->text(), QStringLiteral("&Online Help (FAQ's, e-mail, etc)"));
  QCOMPARE(main.windowTitle(), QStringLiteral("Glimmora 2000"));
  QVERIFY(main.lblMessage->isHidden());
}

void tst_MainWindow::loadFollowsAlwaysOnTop_data() {
  QTest::addColumn<QString>("stored");
  QTest::addColumn<bool>("onTop");
  QTest::newRow("1") << "1" << true;
  QTest::newRow("0") << "0" << false;
  QTest::newRow("missing") << "" << false;
}

void tst_MainWindow::loadFollowsAlwaysOnTop() {
  QFETCH(QString, stored);
  QFETCH(bool, onTop);
  test::TestEnv env;
  if (!stored.isEmpty()) keys::writeText(keys::kAlwaysOnTop, stored);
  keys::writeText(keys::kConfirmDeletes, QStringLiteral("False"));
  frmMain main;
  QCOMPARE(main.isTopmost(), onTop);
  QCOMPARE(main.mnuAlwaysOnTop->isChecked(), onTop);
  QCOMPARE(main.messageCaption(), onTop ? QStringLiteral("AOTNCL") : QStringLiteral("NAOTNCL"));
  QCOMPARE(appState().ConfirmDeletes, false);
  QCOMPARE(mainFormLink(), static_cast<MainFormLink*>(&main));
}

void tst_MainWindow::alwaysOnTopCommandToggles() {
  test::TestEnv env;
  keys::writeText(keys::kAlwaysOnTop, QStringLiteral("1"));
  frmMain main;
  main.show();
  main.mnuAlwaysOnTop->trigger();
  QCOMPARE(keys::readText(keys::kAlwaysOnTop, {}), QStringLiteral("0"));
  QVERIFY(!main.isTopmost());
  QVERIFY(main.isVisible());
  QCOMPARE(main.messageCaption(), QStringLiteral("NAOTNCL"));
  main.mnuAlwaysOnTop->trigger();
  QCOMPARE(keys::readText(keys::kAlwaysOnTop, {}), QStringLiteral("1"));
  QVERIFY(main.isTopmost());
  QCOMPARE(main.messageCaption(), QStringLiteral("AOTNCL"));
}

void tst_MainWindow::viewerMessages_data() {
  QTest::addColumn<bool>("startOnTop");
  QTest::addColumn<QString>("message");
  QTest::addColumn<bool>("topmostAfter");
  QTest::newRow("viewer comes up over a topmost bar") << true << "AOTCL" << false;
  QTest::newRow("viewer goes away, bar topmost again") << false << "AOTNCL" << true;
  QTest::newRow("viewer comes up, bar not on top") << false << "NAOTCL" << false;
  QTest::newRow("viewer goes away, bar not on top") << true << "NAOTNCL" << true;
  QTest::newRow("blanks are trimmed") << true << " AOTCL " << false;
}

void tst_MainWindow::viewerMessages() {
  QFETCH(bool, startOnTop);
  QFETCH(QString, message);
  QFETCH(bool, topmostAfter);
  test::TestEnv env;
  keys::writeText(keys::kAlwaysOnTop, startOnTop ? QStringLiteral("1") : QStringLiteral("0"));
  frmMain main;
  main.show();
  mainFormLink()->setMessageCaption(message);
  QCOMPARE(mainFormLink()->messageCaption(), message);
  QCOMPARE(main.isTopmost(), topmostAfter);
  QVERIFY(main.isVisible());
  // The setting is the user's choice; the relay never writes it.
  QCOMPARE(keys::alwaysOnTop(), qint16(startOnTop ? 1 : 0));
}

void tst_MainWindow::placedAtTopRightOfWorkArea() {
  test::TestEnv env;
  frmMain main;
  main.show();
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  QCOMPARE(main.frameGeometry().right(), area.right());
  QCOMPARE(main.frameGeometry().top(), area.top());
  main.move(10, 200);
  main.placeAtTopRight();
  QCOMPARE(main.frameGeometry().right(), area.right());
  QCOMPARE(main.frameGeometry().top(), area.top());
}

void tst_MainWindow::gating_data() {
  QTest::addColumn<Screen>("screen");
  QTest::addColumn<int>("progress");
  QTest::addColumn<bool>("statusWindow");
  const struct {
    const char* name;
    Screen screen;
    int needed;
  } commands[] = {
      {"view all", Screen::Viewer, 2}, {"view all as slides", Screen::ViewerSlideShow, 2},
      {"query", Screen::Query, 2},     {"query as slides", Screen::QuerySlideShow, 2},
      {"scan", Screen::ScanDrive, 0},  {"setup", Screen::SetupNew, 0},
      {"options", Screen::Options, 0}, {"add folders", Screen::AddDirs, 1},
  };
  for (const auto& c : commands) {
    for (int progress = 0; progress <= 2; ++progress) {
      // Adding pictures without captions asks its own question instead (next test).
      if (c.screen == Screen::AddDirs && progress == 0) continue;
      QTest::addRow("%s, FormsRunStat %d", c.name, progress)
          << c.screen << progress << (progress < c.needed);
    }
  }
}

void tst_MainWindow::gating() {
  QFETCH(Screen, screen);
  QFETCH(int, progress);
  QFETCH(bool, statusWindow);
  test::TestEnv env;
  ScriptedDialogs dialogs;
  appState().FormsRunStat = qint16(progress);
  frmMain main;
  appState().MainForm = &main;
  QCOMPARE(frmMain::progressNeeded(screen) > progress, statusWindow);
  main.openScreen(screen);
  auto* status = forms::find<frmFormsRunStatus>();
  QCOMPARE(status != nullptr, statusWindow);
  if (status) {
    QVERIFY(status->isVisible());
    QCOMPARE(status->windowTitle(), QStringLiteral("Setup Not Complete"));
  }
  // Gating asks nothing (the opened screens may have messages of their own).
  if (statusWindow) QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
  // The query-as-slide-show command marks the slide show only when it opened the builder.
  if (screen == Screen::QuerySlideShow) QCOMPARE(appState().SlideShowOnOpen, !statusWindow);
}

void tst_MainWindow::addImagesWithoutCaptionsAsks_data() {
  QTest::addColumn<MsgResult>("answer");
  QTest::newRow("No does nothing") << MsgResult::No;
  QTest::newRow("Yes goes to the captions set-up") << MsgResult::Yes;
}

void tst_MainWindow::addImagesWithoutCaptionsAsks() {
  QFETCH(MsgResult, answer);
  test::TestEnv env;
  ScriptedDialogs dialogs;
  dialogs.answer(answer);
  appState().FormsRunStat = 0;
  frmMain main;
  main.mnuAddImagesSpecificFolder_Click();
  QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 1);
  const auto call = dialogs.messages().first();
  QCOMPARE(call.title, QStringLiteral("Go to Captions Setup?"));
  QCOMPARE(call.text, QStringLiteral("Before you can add images, you must set up your captions.\r"
                                     "Go to the captions and paths setup screen now?"));
  QCOMPARE(call.buttons, MsgButtons::YesNo);
  QVERIFY(!forms::find<frmFormsRunStatus>());
  // Only the main window (and, after Yes, the set-up screen).
  const int expected = answer == MsgResult::Yes ? 2 : 1;
  QCOMPARE(int(forms::openForms().size()), expected);
}

void tst_MainWindow::everyScreenCommandIsEnabled() {
  test::TestEnv env;
  frmMain main;
  for (QAction* command : {main.mnuViewAllImagesNonSlideShow, main.mnuViewAllImagesSlideShow,
                           main.mnuSelectImagesNonSlideShow, main.mnuSelectImagesSlideShow,
                           main.mnuAddImagesSpecificFolder, main.mnuScanEntireDisk,
                           main.mnuProgramSetup, main.mnuProgramOptions})
    QVERIFY2(command->isEnabled(), qPrintable(command->objectName()));
  // Help and the other commands are always there.
  QVERIFY(main.mnuGetStartedTut->isEnabled());
  QVERIFY(main.mnuExit->isEnabled());
}

void tst_MainWindow::helpCommandsShowLocalPages_data() {
  QTest::addColumn<QString>("command");
  QTest::addColumn<QString>("page");
  QTest::newRow("getting started") << "mnuGetStartedTut"
                                   << "Glimmora.hlp/2.html";
  QTest::newRow("query tutorial") << "mnuQueryTutorial"
                                  << "QUERYHELP.HLP/1.html";
  QTest::newRow("contents") << "mnuHelpIndex"
                            << "Glimmora.hlp/index.html";
  QTest::newRow("online help") << "mnuOnlineHelp"
                               << "Glimmora.hlp/online.html";
  QTest::newRow("comment") << "mnuGlimmoraComments"
                           << "Glimmora.hlp/comments.html";
  QTest::newRow("send comments") << "mnuSendComments"
                                 << "Glimmora.hlp/comments.html";
  QTest::newRow("maker") << "mnutarnwickwebsite"
                         << "Glimmora.hlp/tarnwick.html";
  QTest::newRow("product") << "mnuGlimmorawebsite"
                           << "Glimmora.hlp/glimmora.html";
}

void tst_MainWindow::helpCommandsShowLocalPages() {
  QFETCH(QString, command);
  QFETCH(QString, page);
  test::TestEnv env;
  frmMain main;
  main.findChild<QAction*>(command)->trigger();
  QTextBrowser* browser = help::openBrowser();
  QVERIFY(browser);
  QCOMPARE(browser->source(), QUrl::fromLocalFile(env.programFolder() + "help/" + page));
  QVERIFY(browser->toPlainText().trimmed().size() > 40);
  QVERIFY(browser->window()->isVisible());
}

void tst_MainWindow::missingHelpPageShowsNothing() {
  test::TestEnv env;
  QVERIFY(QDir(env.programFolder() + "help").removeRecursively());
  frmMain main;
  main.mnuGetStartedTut_Click();
  main.mnuHelpIndex_Click();
  QVERIFY(!help::openBrowser());
}

void tst_MainWindow::aboutShowsBuild() {
  QCOMPARE(frmAbout::buildText("1.0.0"), QStringLiteral("Build: 1.0.0"));
  QCOMPARE(frmAbout::buildText("2.7.13"), QStringLiteral("Build: 2.7.13"));
  test::TestEnv env;
  frmMain main;
  main.mnuAbout_Click();
  auto* about = forms::find<frmAbout>();
  QVERIFY(about && about->isVisible());
  QCOMPARE(about->windowTitle(), QStringLiteral("About Glimmora 2000"));
  QCOMPARE(about->lblVersion->text(), QStringLiteral("Version:  Glimmora 2000"));
  main.mnuAbout_Click();  // a single instance, brought up again
  QCOMPARE(int(forms::openForms().count(about)), 1);
}

void tst_MainWindow::exitClosesAllButTheFirst() {
  test::TestEnv env;
  test::catchProcessEnd();
  auto* main = new frmMain();
  main->show();
  main->mnuAbout_Click();
  appState().FormsRunStat = 0;
  main->mnuViewAllImagesNonSlideShow_Click();
  QCOMPARE(int(forms::openForms().size()), 3);
  main->mnuExit->trigger();
  QCOMPARE(test::endedWith(), 0);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCOMPARE(forms::openForms(), QList<QWidget*>{main});
}

void tst_MainWindow::closingMainClosesEverything() {
  test::TestEnv env;
  test::catchProcessEnd();
  auto* main = new frmMain();
  main->show();
  main->mnuAbout_Click();
  main->mnuGetStartedTut_Click();
  QVERIFY(forms::openForms().size() >= 2);
  main->close();
  QCOMPARE(test::endedWith(), 0);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QVERIFY(forms::openForms().isEmpty());
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
