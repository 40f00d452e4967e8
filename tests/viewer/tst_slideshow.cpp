// The slide show: the clock rule at any second, the slide-time box, the options dialog's
// settings, and shows on a viewer of real pictures driven by an injected clock.
#include <QtTest>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/forms.h"
#include "base/keys.h"
#include "support/testenv.h"
#include "viewer/frmDBScreenTest.h"
#include "viewer/frmSlideOptionsDialog.h"
#include "viewer/slideshow.h"
#include "viewer_helpers.h"

using namespace glim;
using namespace glim::test;
using glim::viewer::SlideClock;

class tst_SlideShow : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void clockChangesAtTheTargetSecond_data();
  void clockChangesAtTheTargetSecond();
  void slideTimeBox_data();
  void slideTimeBox();
  void goStoresTheDefaults();

  void showRunsToTheEndAndRestoresTheLayout_data();
  void showRunsToTheEndAndRestoresTheLayout();
  void repeatWrapsToTheFirstPicture();
  void pauseResumeAndEscape();
  void optionsFirstThenStart();
  void cancelledOptionsStartNothing();
  void aSetOfOneRefuses();
  void showStartsWithTheViewer_data();
  void showStartsWithTheViewer();

 private:
  std::unique_ptr<TestEnv> env_;
  std::unique_ptr<ScriptedDialogs> dialogs_;
  int second_ = 0;

  frmDBScreenTest* openViewer(int pictures);
  static QAction* item(frmDBScreenTest* viewer, const char* name) {
    return viewer->findChild<QAction*>(QLatin1String(name));
  }
  // Runs Timer1's ticks for the seconds from..to of the injected clock (two ticks a second).
  void runSeconds(frmDBScreenTest* viewer, int from, int to);
};

void tst_SlideShow::init() {
  env_ = std::make_unique<TestEnv>();
  dialogs_ = std::make_unique<ScriptedDialogs>();
  useQtPhotos();
  second_ = 0;
  SlideClock::setSecondSource([this] { return second_; });
}

void tst_SlideShow::cleanup() {
  SlideClock::setSecondSource({});
  while (auto* viewer = forms::find<frmDBScreenTest>()) {
    viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  dialogs_.reset();
  env_.reset();
}

frmDBScreenTest* tst_SlideShow::openViewer(int pictures) {
  QList<PictureRow> rows;
  for (int i = 0; i < pictures; ++i) {
    const QString path = env_->folder(QStringLiteral("pics")) + QStringLiteral("/p%1.png").arg(i);
    writePicture(path, 40, 30, "PNG");
    rows.append(PictureRow{path});
  }
  if (!writeCatalogue(env_->catalogue(), rows)) qWarning("cannot write the catalogue");
  return forms::get<frmDBScreenTest>();
}

// One expiry of Timer1, delivered as the event loop would.
static void tick(frmDBScreenTest* viewer) {
  QMetaObject::invokeMethod(&viewer->slideTimer(), "timeout", Qt::DirectConnection);
}

void tst_SlideShow::runSeconds(frmDBScreenTest* viewer, int from, int to) {
  for (int s = from; s <= to && viewer->slideShowRunning(); ++s) {
    second_ = s % 60;
    tick(viewer);
    if (viewer->slideShowRunning()) tick(viewer);
  }
}

void tst_SlideShow::clockChangesAtTheTargetSecond_data() {
  QTest::addColumn<int>("startSecond");
  QTest::addColumn<int>("seconds");
  QTest::addColumn<QList<int>>("changes");  // clock seconds (counted on past 59) of changes
  QTest::newRow("7 from 55") << 55 << 7 << QList<int>{62, 69};
  QTest::newRow("60 from 10") << 10 << 60 << QList<int>{70, 130};
  QTest::newRow("6 from 0") << 0 << 6 << QList<int>{6, 12, 18};
  QTest::newRow("59 from 30") << 30 << 59 << QList<int>{89};
}

void tst_SlideShow::clockChangesAtTheTargetSecond() {
  QFETCH(int, startSecond);
  QFETCH(int, seconds);
  QFETCH(QList<int>, changes);
  second_ = startSecond;
  SlideClock clock;
  clock.start(seconds);
  QList<int> seen;
  for (int s = startSecond; s <= changes.last(); ++s) {
    second_ = s % 60;
    const bool first = clock.tick();
    QVERIFY(!clock.tick() || !first);  // the second tick of that second does not change again
    if (first) seen.append(s);
  }
  QCOMPARE(seen, changes);
}

void tst_SlideShow::slideTimeBox_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("shown");
  QTest::addColumn<int>("seconds");
  QTest::newRow("5") << "5"
                     << "6" << 6;
  QTest::newRow("75") << "75"
                      << "60" << 60;
  QTest::newRow("15") << "15"
                      << "15" << 15;
  QTest::newRow("60") << "60"
                      << "60" << 60;
  QTest::newRow("fraction") << "12.5"
                            << "12.5" << 12;
  QTest::newRow("not a number") << "ab"
                                << "9" << 9;
  QTest::newRow("empty") << ""
                         << "9" << 9;
}

void tst_SlideShow::slideTimeBox() {
  QFETCH(QString, typed);
  QFETCH(QString, shown);
  QFETCH(int, seconds);
  keys::writeInt(keys::kSlideTime, 9);
  viewer::frmSlideOptionsDialog dialog;
  dialog.txtSlideTime()->setText(typed);
  dialog.txtSlideTime_Change();
  QCOMPARE(dialog.txtSlideTime()->text(), shown);
  QCOMPARE(int(dialog.slideSeconds()), seconds);
}

void tst_SlideShow::goStoresTheDefaults() {
  {
    viewer::frmSlideOptionsDialog dialog;  // an absent slide time is stored as 7
    QCOMPARE(dialog.txtSlideTime()->text(), QStringLiteral("7"));
    QVERIFY(dialog.optFirstPic()->isChecked());
    QVERIFY(dialog.optFullScreen()->isChecked());
    QCOMPARE(keys::readText(keys::kSlideTime, QString()), QStringLiteral("7"));
    dialog.optCurrentPic()->setChecked(true);
    dialog.optNormalScreen()->setChecked(true);
    dialog.chkAutoReplay()->setChecked(true);
    dialog.txtSlideTime()->setText(QStringLiteral("12"));
    dialog.chkSaveSettings()->setChecked(true);
    dialog.chkAllowChanges()->setChecked(true);
    dialog.cmdGo_Click();
    QVERIFY(!dialog.chkAllowChanges()->isChecked());
  }
  QCOMPARE(keys::readText(keys::kStartPic, QString()), QStringLiteral("Current"));
  QCOMPARE(keys::readText(keys::kAutoRepeat, QString()), QStringLiteral("1"));
  QCOMPARE(keys::readText(keys::kDftSlideSize, QString()), QStringLiteral("Normal"));
  QCOMPARE(keys::readText(keys::kSlideTime, QString()), QStringLiteral("12"));
  viewer::frmSlideOptionsDialog again;
  QVERIFY(again.optCurrentPic()->isChecked());
  QVERIFY(again.optNormalScreen()->isChecked());
  QVERIFY(again.chkAutoReplay()->isChecked());
}

void tst_SlideShow::showRunsToTheEndAndRestoresTheLayout_data() {
  QTest::addColumn<QString>("size");
  QTest::newRow("full screen") << "Full";
  QTest::newRow("normal") << "Normal";
}

void tst_SlideShow::showRunsToTheEndAndRestoresTheLayout() {
  QFETCH(QString, size);
  keys::writeText(keys::kDftSlideSize, size);
  keys::writeInt(keys::kSlideTime, 7);
  frmDBScreenTest* viewer = openViewer(3);
  viewer->navigate(viewer::NavCommand::Next);
  second_ = 55;
  viewer->StartShowDefaults_Click();
  QVERIFY(viewer->slideShowRunning());
  QCOMPARE(viewer->slideTimer().interval(), 500);
  QCOMPARE(viewer->HScrollPictureMove()->value(), 0);  // started from the first picture
  QCOMPARE(viewer->isFullScreen(), size == QStringLiteral("Full"));
  QCOMPARE(viewer->menuFile()->menuAction()->isEnabled(), size == QStringLiteral("Full"));
  QVERIFY(item(viewer, "PauseSlides")->isVisible());
  QVERIFY(item(viewer, "mnuStopSlideShow")->isVisible());
  // Hot keys are off while the show runs.
  QVERIFY(!viewer->hotkeys1(' '));
  QCOMPARE(viewer->HScrollPictureMove()->value(), 0);

  runSeconds(viewer, 55, 61);
  QCOMPARE(viewer->HScrollPictureMove()->value(), 0);
  runSeconds(viewer, 62, 62);  // second 2 of the next minute
  QCOMPARE(viewer->HScrollPictureMove()->value(), 1);
  runSeconds(viewer, 63, 69);
  QCOMPARE(viewer->HScrollPictureMove()->value(), 2);
  runSeconds(viewer, 70, 76);  // the end of the set without repeat
  QVERIFY(!viewer->slideShowRunning());
  QCOMPARE(viewer->HScrollPictureMove()->value(), 2);
  QVERIFY(!viewer->isFullScreen());
  QVERIFY(viewer->menuFile()->menuAction()->isEnabled());
  QVERIFY(!item(viewer, "PauseSlides")->isVisible());
  QVERIFY(viewer->hotkeys1(8));  // hot keys work again
}

void tst_SlideShow::repeatWrapsToTheFirstPicture() {
  keys::writeText(keys::kDftSlideSize, QStringLiteral("Normal"));
  keys::writeBit(keys::kAutoRepeat, true);
  keys::writeInt(keys::kSlideTime, 60);
  frmDBScreenTest* viewer = openViewer(2);
  second_ = 20;
  viewer->StartShowDefaults_Click();
  runSeconds(viewer, 21, 80);
  QCOMPARE(viewer->HScrollPictureMove()->value(), 1);
  runSeconds(viewer, 81, 140);
  QCOMPARE(viewer->HScrollPictureMove()->value(), 0);
  QVERIFY(viewer->slideShowRunning());
  item(viewer, "mnuStopSlideShow")->trigger();
  QVERIFY(!viewer->slideShowRunning());
  QVERIFY(viewer->menuSlideShow()->menuAction()->isEnabled());
}

void tst_SlideShow::pauseResumeAndEscape() {
  keys::writeText(keys::kDftSlideSize, QStringLiteral("Full"));
  frmDBScreenTest* viewer = openViewer(3);
  second_ = 0;
  viewer->StartShowDefaults_Click();
  QAction* pause = item(viewer, "PauseSlides");
  pause->trigger();
  QVERIFY(!viewer->slideTimer().isActive());
  QCOMPARE(pause->text(), QStringLiteral("Resume Slide Show"));
  second_ = 30;
  pause->trigger();
  QCOMPARE(pause->text(), QStringLiteral("Pause Slide Show"));
  runSeconds(viewer, 30, 36);
  QCOMPARE(viewer->HScrollPictureMove()->value(), 0);
  runSeconds(viewer, 37, 37);  // 7 seconds after the resume
  QCOMPARE(viewer->HScrollPictureMove()->value(), 1);
  QVERIFY(viewer->Form_KeyDown(27));
  QVERIFY(!viewer->slideShowRunning());
  QVERIFY(!viewer->isFullScreen());
}

void tst_SlideShow::optionsFirstThenStart() {
  frmDBScreenTest* viewer = openViewer(3);
  viewer->navigate(viewer::NavCommand::Next);
  QTimer::singleShot(0, viewer, [] {
    viewer::frmSlideOptionsDialog* dialog = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* d = qobject_cast<viewer::frmSlideOptionsDialog*>(w)) dialog = d;
    QVERIFY(dialog);
    QVERIFY(dialog->chkAllowChanges()->isChecked());
    dialog->optCurrentPic()->setChecked(true);
    dialog->optNormalScreen()->setChecked(true);
    dialog->cmdGo()->click();
  });
  item(viewer, "StartSlidesShowOptions")->trigger();
  QVERIFY(viewer->slideShowRunning());
  QCOMPARE(viewer->HScrollPictureMove()->value(), 1);  // from the current picture
  QVERIFY(!viewer->isFullScreen());
  QVERIFY(!appState().ShowWithDefaults);
}

void tst_SlideShow::cancelledOptionsStartNothing() {
  frmDBScreenTest* viewer = openViewer(3);
  QTimer::singleShot(0, viewer, [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* d = qobject_cast<viewer::frmSlideOptionsDialog*>(w)) d->cmdCancel()->click();
  });
  item(viewer, "StartSlidesShowOptions")->trigger();
  QVERIFY(!viewer->slideShowRunning());
  QVERIFY(!viewer->isFullScreen());
}

void tst_SlideShow::aSetOfOneRefuses() {
  frmDBScreenTest* viewer = openViewer(1);
  viewer->StartShowDefaults_Click();
  QVERIFY(!viewer->slideShowRunning());
  QCOMPARE(dialogs_->lastText(),
           QStringLiteral("You do not have enough pictures in this set.  You must have\r"
                          "at least 2 pictures in a set to begin a slide show."));
  QVERIFY(!viewer->isFullScreen());
}

// The viewer's load starts a show: at once when the main window asked for one, and for a
// query-file start either by itself or after asking and showing the options.
void tst_SlideShow::showStartsWithTheViewer_data() {
  QTest::addColumn<bool>("queryFile");
  QTest::addColumn<bool>("autoStart");
  QTest::addColumn<int>("answer");  // to "Would you like to start a slide show?", 0: not asked
  QTest::addColumn<bool>("running");
  QTest::newRow("main window's command") << false << false << 0 << true;
  QTest::newRow("query file, automatic") << true << true << 0 << true;
  QTest::newRow("query file, asked, yes") << true << false << int(MsgResult::Yes) << true;
  QTest::newRow("query file, asked, no") << true << false << int(MsgResult::No) << false;
}

void tst_SlideShow::showStartsWithTheViewer() {
  QFETCH(bool, queryFile);
  QFETCH(bool, autoStart);
  QFETCH(int, answer);
  QFETCH(bool, running);
  keys::writeText(keys::kDftSlideSize, QStringLiteral("Normal"));
  AppState& state = appState();
  state.SlideShowOnOpen = true;
  state.QueryFileStart = queryFile;
  state.AutoStartQuery = autoStart;
  state.QuerySQL = QStringLiteral("SELECT * FROM tbl1");
  if (answer) dialogs_->answer(MsgResult(answer));
  // After a yes the options dialog waits for Go.
  bool optionsShown = false;
  QTimer pressGo;
  pressGo.setInterval(1);
  connect(&pressGo, &QTimer::timeout, this, [&optionsShown] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<viewer::frmSlideOptionsDialog*>(w);
      if (!dialog || !dialog->isVisible() || !dialog->chkAllowChanges()->isChecked()) continue;
      optionsShown = true;
      dialog->cmdGo()->click();
    }
  });
  pressGo.start();
  frmDBScreenTest* viewer = openViewer(3);
  pressGo.stop();
  QCOMPARE(viewer->slideShowRunning(), running);
  QCOMPARE(dialogs_->messages().size(), answer ? 1 : 0);
  if (answer) QCOMPARE(dialogs_->messages().first().title, QStringLiteral("Slide Show"));
  QCOMPARE(optionsShown, answer == int(MsgResult::Yes));
  QVERIFY(!state.ShowWithDefaults || !optionsShown);
}

QTEST_MAIN(tst_SlideShow)
#include "tst_slideshow.moc"
