// The viewer window on a catalogue of real picture files: first showings, missing and damaged
// files, paging, zoom and full screen on the form, hot keys, armed buttons, ratings, themes,
// the query hand-over and closing.
#include <QtTest>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/forms.h"
#include "base/settings.h"
#include "base/textnum.h"
#include "catalogue/database.h"
#include "support/testenv.h"
#include "viewer/frmDBScreenTest.h"
#include "viewer_helpers.h"

using namespace glim;
using namespace glim::test;
using viewer::Geometry;
using viewer::PictureArea;
using viewer::ScrollBarsMode;

namespace {

// The main window's side of the hidden state label.
class FakeMainForm : public MainFormLink {
 public:
  QString caption = QStringLiteral("AOTNCL");
  QString messageCaption() const override { return caption; }
  void setMessageCaption(const QString& text) override { caption = text; }
  void closeViewerIfOpen() override {}
};

// A picture group that answers the password request with a scripted password.
class PasswordGroup : public viewer::ViewerExtension {
 public:
  explicit PasswordGroup(QString answer) : answer_(std::move(answer)) {}
  void attach(frmDBScreenTest&) override {}
  bool askPicturePassword(frmDBScreenTest& viewer) override {
    ++asked;
    if (answer_.isEmpty()) return false;
    viewer.txtPicPassword()->setText(answer_);
    return true;
  }
  int asked = 0;

 private:
  QString answer_;
};

void closeViewer(frmDBScreenTest* viewer) {
  viewer->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace

class tst_Viewer : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void firstShowingRecordsThePicture();
  void missingFileIsMarkedAndRemovedOnClose();
  void damagedFileIsRecordedAndNotLoadedAgain();
  void rowWithoutSizeGetsErrorSix();
  void badPathsShowTheStockPicture_data();
  void badPathsShowTheStockPicture();
  void skipStepOfTheSet_data();
  void skipStepOfTheSet();
  void nextAndPreviousStopAtTheEnds();
  void zoomOnTheForm();
  void pictureAsLargeAsTheAreaIsCut();
  void fullScreenAndBackRestoresExactly();
  void hotKeys_data();
  void hotKeys();
  void spaceOnAFocusedButtonDoesNotAct();
  void ratingBoxes();
  void themeButtonsAndTabs();
  void wrongPasswordIsAskedOnce_data();
  void wrongPasswordIsAskedOnce();
  void formStatusAndViewerOpen();
  void queryResultWithFilters();
  void emptyQueryFallsBackToTheWholeTable();
  void spareCatalogueNeverReplacesAnExistingOne();
  void rubberBandFollowsTheMouse();
  void resizedWindowLaysTheAreaOutAgain();
  void catalogueVanishingWhileOpen();

 private:
  std::unique_ptr<TestEnv> env_;
  std::unique_ptr<ScriptedDialogs> dialogs_;
  QList<QtPhoto*>* photos_ = nullptr;

  QString picture(const QString& name, int w, int h, const char* format = "PNG");
  frmDBScreenTest* openViewer(const QList<PictureRow>& rows);
  QtPhoto* photo1() const { return photos_->value(0); }
};

void tst_Viewer::init() {
  env_ = std::make_unique<TestEnv>();
  dialogs_ = std::make_unique<ScriptedDialogs>();
  photos_ = &useQtPhotos();
}

void tst_Viewer::cleanup() {
  while (auto* viewer = forms::find<frmDBScreenTest>()) closeViewer(viewer);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  for (QWidget* w : QApplication::topLevelWidgets())
    QVERIFY2(!w->isVisible() || qobject_cast<QMenu*>(w), qPrintable(w->objectName()));
  setMainFormLink(nullptr);
  dialogs_.reset();
  env_.reset();
}

QString tst_Viewer::picture(const QString& name, int w, int h, const char* format) {
  const QString path = env_->folder(QStringLiteral("pics")) + u'/' + name;
  if (!writePicture(path, w, h, format)) qWarning("cannot write %s", qPrintable(path));
  return path;
}

frmDBScreenTest* tst_Viewer::openViewer(const QList<PictureRow>& rows) {
  if (!writeCatalogue(env_->catalogue(), rows)) qWarning("cannot write the catalogue");
  return forms::get<frmDBScreenTest>();
}

void tst_Viewer::firstShowingRecordsThePicture() {
  const QString a = picture(QStringLiteral("wide.png"), 300, 100);
  const QString b = picture(QStringLiteral("b.jpg"), 64, 48, "JPG");
  frmDBScreenTest* viewer = openViewer({{a}, {b}});
  QCOMPARE(viewer->windowTitle().startsWith(QStringLiteral("Glimmora 2000 Viewer")), true);
  QCOMPARE(photo1()->fileName(), a);
  QCOMPARE(viewer->txtWidth()->text(), QStringLiteral("300"));
  QCOMPARE(viewer->txtHeight()->text(), QStringLiteral("100"));
  QCOMPARE(viewer->txtRatio()->text(), QStringLiteral("3"));
  QVERIFY(viewer->chkBannerSize()->isChecked());
  QVERIFY(!viewer->chkNewFile()->isChecked());
  // Only the first picture was loaded while opening; the last was not shown to count the set.
  QCOMPARE(photo1()->loads, QStringList{a});
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(photo1()->fileName(), b);
  closeViewer(viewer);

  const QString cat = env_->catalogue();
  for (const QString& path : {a, b}) {
    QCOMPARE(storedValue(cat, path, QStringLiteral("NewFile")).toInt(), 0);
    QCOMPARE(storedValue(cat, path, QStringLiteral("FileERROR")).toInt(), 0);
    QCOMPARE(storedValue(cat, path, QStringLiteral("Filesize")).toLongLong(),
             QFileInfo(path).size());
    QCOMPARE(storedValue(cat, path, QStringLiteral("DateLastViewed")).toString(),
             textnum::isoDate(QDate::currentDate()));
    QVERIFY(storedValue(cat, path, QStringLiteral("Colors")).toInt() > 100);
    QCOMPARE(storedValue(cat, path, QStringLiteral("Bits")).toInt(), 24);
  }
  QCOMPARE(storedValue(cat, a, QStringLiteral("Width")).toInt(), 300);
  QCOMPARE(storedValue(cat, a, QStringLiteral("BannerSize")).toInt(), 1);
  QCOMPARE(storedValue(cat, b, QStringLiteral("Height")).toInt(), 48);
  QCOMPARE(storedValue(cat, b, QStringLiteral("WidthHeightRatio")).toDouble(), 64.0 / 48.0);
  QCOMPARE(storedValue(cat, b, QStringLiteral("BannerSize")).toInt(), 0);
}

void tst_Viewer::missingFileIsMarkedAndRemovedOnClose() {
  const QString a = picture(QStringLiteral("a.png"), 40, 30);
  const QString gone = env_->folder(QStringLiteral("pics")) + QStringLiteral("/gone.jpg");
  const QString c = picture(QStringLiteral("c.png"), 40, 30);
  frmDBScreenTest* viewer = openViewer({{a}, {gone}, {c}});
  storeArea(PictureArea{178.228f, 8.129f, 800, 600});
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(viewer->txtStatus()->text(), QStringLiteral("Missing"));
  QCOMPARE(photo1()->fileName(), env_->programFolder() + QStringLiteral("ImageMissing.jpg"));
  QCOMPARE(photo1()->widget()->geometry(),
           viewer::centredGeometry(viewer::areaFromState(), 291, 175).toRect());
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(photo1()->fileName(), c);
  closeViewer(viewer);
  QCOMPARE(storedRowCount(env_->catalogue()), 2);
  QVERIFY(!storedValue(env_->catalogue(), gone, QStringLiteral("IDNumber")).isValid());
}

void tst_Viewer::damagedFileIsRecordedAndNotLoadedAgain() {
  const QString a = picture(QStringLiteral("a.png"), 40, 30);
  const QString broken = picture(QStringLiteral("broken.jpg"), 200, 150, "JPG");
  QByteArray bytes = readBytes(broken);
  QVERIFY(writeBytes(broken, bytes.left(40)));
  frmDBScreenTest* viewer = openViewer({{a}, {broken}});
  viewer->navigate(viewer::NavCommand::Next);
  const QString damaged = env_->programFolder() + QStringLiteral("DamagedImage.jpg");
  QCOMPARE(photo1()->fileName(), damaged);
  const QString error = viewer->txtFileErrorNumber()->text();
  QVERIFY(error.toInt() < 0);
  QVERIFY(dialogs_->messages().isEmpty());
  QCOMPARE(photo1()->widget()->size(), QSize(250, 175));
  closeViewer(viewer);
  QCOMPARE(storedValue(env_->catalogue(), broken, QStringLiteral("FileERROR")).toString(), error);
  // The damaged picture's own size never reaches the row.
  QCOMPARE(storedValue(env_->catalogue(), broken, QStringLiteral("Width")).toInt(), 0);

  photos_ = &useQtPhotos();
  viewer = forms::get<frmDBScreenTest>();
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(photo1()->fileName(), damaged);
  QVERIFY(!photo1()->loads.contains(broken));
  closeViewer(viewer);
  QCOMPARE(storedRowCount(env_->catalogue()), 2);
}

void tst_Viewer::rowWithoutSizeGetsErrorSix() {
  const QString a = picture(QStringLiteral("a.png"), 40, 30);
  const QString b = picture(QStringLiteral("b.png"), 40, 30);
  PictureRow noSize{b};
  noSize.newFile = 0;
  noSize.width = QVariant::fromValue(nullptr);
  frmDBScreenTest* viewer = openViewer({{a}, noSize});
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(viewer->txtFileErrorNumber()->text(), QStringLiteral("-6"));
  QCOMPARE(viewer->txtStatus()->text(), QStringLiteral("Missing"));
  QCOMPARE(photo1()->fileName(), env_->programFolder() + QStringLiteral("DamagedImage.jpg"));
  viewer->navigate(viewer::NavCommand::Previous);
  QCOMPARE(storedValue(env_->catalogue(), b, QStringLiteral("FileERROR")).toInt(), -6);
  QCOMPARE(storedValue(env_->catalogue(), b, QStringLiteral("Status")).toString(),
           QStringLiteral("Missing"));
}

void tst_Viewer::badPathsShowTheStockPicture_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QString>("stock");
  QTest::newRow("empty path") << "empty"
                              << "ImageMissing.jpg";
  QTest::newRow("a folder") << "folder"
                            << "ImageMissing.jpg";
  QTest::newRow("unknown format") << "unknown"
                                  << "DamagedImage.jpg";
  QTest::newRow("unreadable") << "unreadable"
                              << "DamagedImage.jpg";
}

void tst_Viewer::badPathsShowTheStockPicture() {
  QFETCH(QString, kind);
  QFETCH(QString, stock);
  const QString a = picture(QStringLiteral("a.png"), 40, 30);
  QString bad;
  if (kind == QStringLiteral("folder")) {
    bad = env_->folder(QStringLiteral("pics/sub.jpg"));
  } else if (kind == QStringLiteral("unknown")) {
    bad = env_->folder(QStringLiteral("pics")) + QStringLiteral("/notes.png");
    writeBytes(bad, "this is no picture at all");
  } else if (kind == QStringLiteral("unreadable")) {
    bad = picture(QStringLiteral("locked.png"), 30, 30);
    QFile(bad).setPermissions(QFileDevice::Permissions());
    if (QFile(bad).open(QIODevice::ReadOnly)) QSKIP("file permissions do not apply to this user");
  }
  frmDBScreenTest* viewer = openViewer({{a}, {bad}, {a + QStringLiteral(".again")}});
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(photo1()->fileName(), env_->programFolder() + stock);
  // The viewer keeps working: the next move goes on normally.
  viewer->navigate(viewer::NavCommand::Previous);
  QCOMPARE(photo1()->fileName(), a);
  if (kind == QStringLiteral("unreadable"))
    QFile(bad).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void tst_Viewer::skipStepOfTheSet_data() {
  QTest::addColumn<int>("count");
  QTest::addColumn<int>("step");
  QTest::newRow("1") << 1 << 1;
  QTest::newRow("25") << 25 << 2;
  QTest::newRow("35") << 35 << 4;
}

void tst_Viewer::skipStepOfTheSet() {
  QFETCH(int, count);
  QFETCH(int, step);
  const QString pic = picture(QStringLiteral("p.png"), 8, 8);
  QList<PictureRow> rows;
  for (int i = 0; i < count; ++i) {
    const QString path = env_->folder(QStringLiteral("pics")) + QStringLiteral("/p%1.png").arg(i);
    QFile::copy(pic, path);
    rows.append({path});
  }
  frmDBScreenTest* viewer = openViewer(rows);
  QScrollBar* bar = viewer->HScrollPictureMove();
  QCOMPARE(bar->maximum(), count - 1);
  QCOMPARE(bar->pageStep(), step);
  viewer->navigate(viewer::NavCommand::Forward10);
  QCOMPARE(viewer->dtaTest().absolutePosition(), std::min(step, count - 1));
  viewer->navigate(viewer::NavCommand::Last);
  QCOMPARE(viewer->dtaTest().absolutePosition(), count - 1);
  dialogs_->answer(MsgResult::OK);
  viewer->mnuFilesInSet_Click();
  QCOMPARE(dialogs_->lastText(),
           QStringLiteral("Total number of images is ") + QString::number(count));
}

void tst_Viewer::nextAndPreviousStopAtTheEnds() {
  const QString a = picture(QStringLiteral("a.png"), 40, 30);
  const QString b = picture(QStringLiteral("b.png"), 40, 30);
  frmDBScreenTest* viewer = openViewer({{a}, {b}});
  viewer->navigate(viewer::NavCommand::Previous);
  QCOMPARE(viewer->txtImagePath()->text(), a);
  viewer->navigate(viewer::NavCommand::Last);
  const int loads = int(photo1()->loads.size());
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(viewer->txtImagePath()->text(), b);
  QCOMPARE(int(photo1()->loads.size()), loads);  // nothing happened
}

void tst_Viewer::zoomOnTheForm() {
  const QString a = picture(QStringLiteral("a.png"), 600, 400);
  const QString b = picture(QStringLiteral("b.png"), 600, 200);
  frmDBScreenTest* viewer = openViewer({{a}, {b}});
  const PictureArea area{178.228f, 8.129f, 800, 600};
  storeArea(area);
  viewer->ZoomPicture(0.5);
  QCOMPARE(photo1()->widget()->geometry(),
           (Geometry{double(area.left) + 250, 212 - double(area.top), 300, 200}.toRect()));
  QCOMPARE(photo1()->zooms.last(), 0.5);
  QVERIFY(viewer->Zoomed);
  viewer->ZoomPicture(2.0);
  QCOMPARE(photo1()->scrollBars, ScrollBarsMode::Both);
  QCOMPARE(photo1()->widget()->geometry(), QRect(178, 8, 800, 600));
  viewer->navigate(viewer::NavCommand::Next);  // a move returns to actual size
  QVERIFY(!viewer->Zoomed);
  QCOMPARE(photo1()->zooms.last(), 1.0);
  QCOMPARE(photo1()->scrollBars, ScrollBarsMode::None);
  viewer->ZoomPicture(2.0);
  QCOMPARE(photo1()->scrollBars, ScrollBarsMode::Horizontal);
  viewer->Unzoom();
  QVERIFY(!viewer->Zoomed);
  QCOMPARE(photo1()->widget()->geometry(), viewer::centredGeometry(area, 600, 200).toRect());
}

void tst_Viewer::pictureAsLargeAsTheAreaIsCut() {
  const QString a = picture(QStringLiteral("a.png"), 40, 30);
  const QString b = picture(QStringLiteral("b.png"), 600, 400);
  frmDBScreenTest* viewer = openViewer({{a}, {b}});
  storeArea(PictureArea{178.228f, 8.129f, 600, 400});
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(photo1()->widget()->geometry(), QRect(178, 8, 600, 400));
  storeArea(PictureArea{178.228f, 8.129f, 601, 401});
  viewer->PhotoSize();
  QCOMPARE(photo1()->widget()->geometry(),
           viewer::centredGeometry(viewer::areaFromState(), 600, 400).toRect());
}

void tst_Viewer::fullScreenAndBackRestoresExactly() {
  const QString a = picture(QStringLiteral("a.png"), 120, 90);
  frmDBScreenTest* viewer = openViewer({{a}});
  // The information frames are switched off; coming back from full screen shows them.
  if (appState().ShowImageInfo) viewer->mnuToggleImageInformation()->trigger();
  QVERIFY(!appState().ShowImageInfo);
  QVERIFY(!viewer->mnuToggleImageInformation()->isChecked());
  QCOMPARE(settings::read(settings::kSettings, QStringLiteral("showfraPIC")),
           QStringLiteral("False"));
  const PictureArea before = viewer::areaFromState();
  const QRect photoBefore = photo1()->widget()->geometry();
  QCOMPARE(viewer->FScreen()->text(), QStringLiteral("Full Screen"));
  viewer->FScreen_Click();
  QCOMPARE(viewer->FScreen()->text(), QStringLiteral("Normal Size"));
  QVERIFY(viewer->isFullScreen());
  const QSize screen = viewer->screen()->geometry().size();
  QCOMPARE(viewer::areaFromState(),
           (PictureArea{0, 0, qint16(screen.width()), qint16(screen.height())}));
  QCOMPARE(photo1()->widget()->geometry(), QRect(QPoint(0, 0), screen));
  QVERIFY(!viewer->SSTab1()->isVisible());
  QVERIFY(!viewer->HScrollPictureMove()->isVisible());
  viewer->FScreen_Click();
  QCOMPARE(viewer->FScreen()->text(), QStringLiteral("Full Screen"));
  QCOMPARE(viewer::areaFromState(), before);
  QCOMPARE(photo1()->widget()->geometry(), photoBefore);
  QVERIFY(viewer->fraPicInfo()->isVisible());
  QVERIFY(viewer->SSTab1()->isVisible());
}

void tst_Viewer::hotKeys_data() {
  QTest::addColumn<QString>("keys");
  QTest::addColumn<bool>("slideShow");
  QTest::addColumn<int>("position");
  QTest::newRow("space: next") << " " << false << 3;
  QTest::newRow("backspace: previous") << "\b" << false << 1;
  QTest::newRow("greater: skip forward") << ">" << false << 4;
  QTest::newRow("less: skip back") << "<" << false << 0;
  QTest::newRow("f: first") << "f" << false << 0;
  QTest::newRow("F: upper case is ignored") << "F" << false << 2;
  QTest::newRow("ignored during a slide show") << " " << true << 2;
}

void tst_Viewer::hotKeys() {
  QFETCH(QString, keys);
  QFETCH(bool, slideShow);
  QFETCH(int, position);
  const QString pic = picture(QStringLiteral("p.png"), 8, 8);
  QList<PictureRow> rows;
  for (int i = 0; i < 15; ++i) {
    const QString path = env_->folder(QStringLiteral("pics")) + QStringLiteral("/p%1.png").arg(i);
    QFile::copy(pic, path);
    rows.append({path});
  }
  frmDBScreenTest* viewer = openViewer(rows);
  viewer->HScrollPictureMove()->setValue(2);
  if (slideShow) viewer->slideTimer().start();
  viewer->activateWindow();
  viewer->txtRating(1)->setFocus();
  for (QChar c : keys) {
    if (c == u'\b')
      QTest::keyClick(viewer->txtRating(1), Qt::Key_Backspace);
    else
      QTest::keyClicks(viewer->txtRating(1), QString(c));
  }
  viewer->slideTimer().stop();
  QCOMPARE(viewer->dtaTest().absolutePosition(), position);
  // A letter typed into a free-text box is text, not a command.
  viewer->txtDeleteStatus()->setFocus();
  QTest::keyClicks(viewer->txtDeleteStatus(), QStringLiteral("f "));
  QCOMPARE(viewer->dtaTest().absolutePosition(), position);
  QCOMPARE(viewer->txtDeleteStatus()->text(), QStringLiteral("f "));
}

void tst_Viewer::spaceOnAFocusedButtonDoesNotAct() {
  const QString a = picture(QStringLiteral("a.png"), 40, 30);
  const QString b = picture(QStringLiteral("b.png"), 40, 30);
  frmDBScreenTest* viewer = openViewer({{a}, {b}});
  QPushButton* button = viewer->Command2(3);
  viewer->activateWindow();
  button->setFocus();
  QTest::keyClick(button, Qt::Key_Space);
  QCOMPARE(viewer->dtaTest().absolutePosition(), 1);  // Space moved on
  QCOMPARE(viewer->txtTheme(1)->text(), QStringLiteral("0"));
  button->click();  // a click without a press or Enter does nothing either
  QCOMPARE(viewer->txtTheme(1)->text(), QStringLiteral("0"));
  QTest::mouseClick(button, Qt::LeftButton);
  QCOMPARE(viewer->txtTheme(1)->text(), QStringLiteral("3"));
  QVERIFY(!viewer->armedButtons().isArmed(button));
  button->setFocus();
  QTest::keyClick(button, Qt::Key_Return);
  QCOMPARE(viewer->txtTheme(1)->text(), QStringLiteral("0"));
}

void tst_Viewer::ratingBoxes() {
  const QString a = picture(QStringLiteral("a.png"), 40, 30);
  const QString b = picture(QStringLiteral("b.png"), 40, 30);
  settings::write(settings::kRatings, QStringLiteral("Rating2"), QStringLiteral("Colour"));
  frmDBScreenTest* viewer = openViewer({{a}, {b}});
  QCOMPARE(viewer->lblRating(1)->text(), QStringLiteral("Rating1"));
  QCOMPARE(settings::read(settings::kRatings, QStringLiteral("Rating1")),
           QStringLiteral("Rating1"));
  QCOMPARE(viewer->lblRating(2)->text(), QStringLiteral("Colour"));
  QLineEdit* box = viewer->txtRating(1);
  viewer->activateWindow();
  box->setFocus();
  box->selectAll();
  QTest::keyClicks(box, QStringLiteral("7"));
  QCOMPARE(box->text(), QStringLiteral("0"));
  box->selectAll();
  QTest::keyClicks(box, QStringLiteral("4"));
  QCOMPARE(box->text(), QStringLiteral("4"));
  QCOMPARE(viewer->HScroll1(1)->value(), 4);
  box->setText(QStringLiteral("7"));  // pasted
  QCOMPARE(box->text(), QStringLiteral("7"));
  viewer->txtRating(2)->setFocus();
  QCOMPARE(box->text(), QStringLiteral("0"));
  viewer->HScroll2()->setValue(5);
  QCOMPARE(viewer->txtOverallRating()->text(), QStringLiteral("5"));
  viewer->HScroll1(3)->setValue(2);
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(storedValue(env_->catalogue(), a, QStringLiteral("OverallRating")).toInt(), 5);
  QCOMPARE(storedValue(env_->catalogue(), a, QStringLiteral("UserRating3")).toInt(), 2);
}

void tst_Viewer::themeButtonsAndTabs() {
  const QString a = picture(QStringLiteral("a.png"), 40, 30);
  const QString b = picture(QStringLiteral("b.png"), 40, 30);
  PictureRow themed{a};
  themed.class1 = 6;
  themed.class4 = 9;
  settings::write(settings::kClassifications, QStringLiteral("Class6"), QStringLiteral("Birds"));
  frmDBScreenTest* viewer = openViewer({themed, {b}});
  auto isRed = [viewer](int i) {
    return viewer->Command2(i)->palette().color(QPalette::Button) == QColor(255, 0, 0);
  };
  QCOMPARE(viewer->Command2(6)->text(), QStringLiteral("Birds"));
  QCOMPARE(viewer->Command2(7)->text(), QStringLiteral("Class7"));
  QVERIFY(isRed(6));
  QCOMPARE(viewer->CurrentThemeButton(), 6);
  viewer->SSTab1()->setCurrentIndex(3);
  QVERIFY(isRed(9));
  QVERIFY(!isRed(6));
  QCOMPARE(viewer->Command2(9)->parentWidget()->objectName(), QStringLiteral("fra1_4"));
  QTest::mouseClick(viewer->Command2(9), Qt::LeftButton);  // the red button takes it off
  QCOMPARE(viewer->txtTheme(4)->text(), QStringLiteral("0"));
  for (int i = 0; i <= 15; ++i) QVERIFY(!isRed(i));
  QTest::mouseClick(viewer->Command2(2), Qt::LeftButton);
  QCOMPARE(viewer->txtTheme(4)->text(), QStringLiteral("2"));
  QVERIFY(isRed(2));
  viewer->navigate(viewer::NavCommand::Next);  // a move goes back to the first tab
  QCOMPARE(viewer->SSTab1()->currentIndex(), 0);
  for (int i = 0; i <= 15; ++i) QVERIFY(!isRed(i));  // theme 0: nothing highlighted
  QCOMPARE(storedValue(env_->catalogue(), a, QStringLiteral("Class4")).toInt(), 2);
}

void tst_Viewer::wrongPasswordIsAskedOnce_data() {
  QTest::addColumn<QString>("answer");
  QTest::addColumn<bool>("loaded");
  QTest::newRow("right password") << "secret" << true;
  QTest::newRow("no password") << "" << false;
  QTest::newRow("wrong password") << "guess" << false;
}

void tst_Viewer::wrongPasswordIsAskedOnce() {
  QFETCH(QString, answer);
  QFETCH(bool, loaded);
  const QString a = picture(QStringLiteral("a.png"), 40, 30);
  const QString locked = env_->folder(QStringLiteral("pics")) + QStringLiteral("/locked.pic");
  QVERIFY(writeProtectedPicture(locked, QStringLiteral("secret")));
  frmDBScreenTest* viewer = openViewer({{a}, {locked}});
  // The protection group's own prompt steps aside, so this test's group is the one asked.
  appState().PromptForNewPassword = false;
  auto group = std::make_unique<PasswordGroup>(answer);
  PasswordGroup* asked = group.get();
  viewer->addExtension(std::move(group));
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(asked->asked, 1);
  QCOMPARE(photo1()->hDib() != 0, loaded);
  QCOMPARE(viewer->txtFileErrorNumber()->text(), QStringLiteral("0"));
  QVERIFY(dialogs_->messages().isEmpty());
}

void tst_Viewer::formStatusAndViewerOpen() {
  FakeMainForm main;
  setMainFormLink(&main);
  const QString a = picture(QStringLiteral("a.png"), 40, 30);
  frmDBScreenTest* viewer = openViewer({{a}});
  QVERIFY(appState().ViewerOpen);
  QCOMPARE(main.caption, QStringLiteral("AOTCL"));
  closeViewer(viewer);
  QVERIFY(!appState().ViewerOpen);
  QCOMPARE(main.caption, QStringLiteral("AOTNCL"));
  main.caption = QStringLiteral("NAOTNCL");
  viewer = forms::get<frmDBScreenTest>();
  QCOMPARE(main.caption, QStringLiteral("NAOTCL"));
  closeViewer(viewer);
  QCOMPARE(main.caption, QStringLiteral("NAOTNCL"));
}

void tst_Viewer::queryResultWithFilters() {
  QList<PictureRow> rows;
  for (int i = 0; i < 6; ++i) {
    PictureRow row{picture(QStringLiteral("q%1.png").arg(i), 20 + i, 20)};
    row.class1 = i % 2 ? 3 : 4;
    row.width = 20 + i;
    rows.append(row);
  }
  AppState& state = appState();
  state.QueryCaller = QStringLiteral("QueryForm");
  state.QuerySQL = QStringLiteral("SELECT * FROM tbl1 WHERE Width > 21");
  state.QueryFilter1 = QStringLiteral("Class1 = 3");
  state.QueryFilter2 = QStringLiteral("Extension = 'png'");
  frmDBScreenTest* viewer = openViewer(rows);
  QCOMPARE(viewer->dtaTest().recordCount(), 2);  // widths 23 and 25
  QCOMPARE(viewer->HScrollPictureMove()->maximum(), 1);
  QCOMPARE(viewer->txtWidth()->text(), QStringLiteral("23"));
  QVERIFY(dialogs_->messages().isEmpty());
}

void tst_Viewer::emptyQueryFallsBackToTheWholeTable() {
  const QString a = picture(QStringLiteral("a.png"), 40, 30);
  const QString b = picture(QStringLiteral("b.png"), 40, 30);
  AppState& state = appState();
  state.QueryCaller = QStringLiteral("QueryForm");
  state.QuerySQL = QStringLiteral("SELECT * FROM tbl1 WHERE Width > 5000");
  frmDBScreenTest* viewer = openViewer({{a}, {b}});
  QCOMPARE(viewer->dtaTest().recordCount(), 2);
  QCOMPARE(dialogs_->lastText(),
           QStringLiteral("There are no pictures that match your query.\r"
                          "The picture set has been set back to the original."));
}

void tst_Viewer::spareCatalogueNeverReplacesAnExistingOne() {
  const QString a = picture(QStringLiteral("a.png"), 40, 30);
  // The user keeps the catalogue elsewhere; the program folder has none.
  const QString elsewhere = env_->folder(QStringLiteral("mine")) + QStringLiteral("/pictures.mdb");
  QVERIFY(QFile::copy(env_->catalogue(), elsewhere));
  QVERIFY(writeCatalogue(elsewhere, {{a}}));
  QVERIFY(QFile::copy(env_->catalogue(), env_->programFolder() + QStringLiteral("budb.bdb")));
  QFile::remove(env_->catalogue());
  settings::write(settings::kSettings, QStringLiteral("Database"), elsewhere);
  AppState& state = appState();
  state.QueryCaller = QStringLiteral("QueryForm");
  state.QuerySQL = QStringLiteral("SELECT * FROM tbl1 WHERE FileERROR = 0");
  frmDBScreenTest* viewer = forms::get<frmDBScreenTest>();
  QCOMPARE(viewer->txtImagePath()->text(), a);
  closeViewer(viewer);
  QCOMPARE(storedRowCount(elsewhere), 1);
  QVERIFY(!QFile::exists(env_->catalogue()));

  // When the configured catalogue itself is gone, the spare one takes its place.
  QFile::remove(elsewhere);
  state.QueryCaller = QStringLiteral("QueryForm");
  viewer = forms::get<frmDBScreenTest>();
  QVERIFY(QFile::exists(elsewhere));
  closeViewer(viewer);
}

void tst_Viewer::rubberBandFollowsTheMouse() {
  const QString a = picture(QStringLiteral("a.png"), 200, 150);
  frmDBScreenTest* viewer = openViewer({{a}});
  viewer->Photo1_MouseDown(Qt::LeftButton, QPoint(10, 12));
  QVERIFY(viewer->Selecting);
  QVERIFY(photo1()->banding);
  viewer->Photo1_MouseMove(Qt::LeftButton, QPoint(50, 40));
  QCOMPARE(photo1()->bandCorner, QPoint(50, 40));
  viewer->Photo1_MouseUp(Qt::LeftButton, QPoint(50, 40));
  QVERIFY(!viewer->Selecting);
  viewer->Photo1_MouseMove(Qt::NoButton, QPoint(70, 70));
  QCOMPARE(photo1()->bandCorner, QPoint(50, 40));
}

void tst_Viewer::resizedWindowLaysTheAreaOutAgain() {
  const QString a = picture(QStringLiteral("a.png"), 120, 90);
  frmDBScreenTest* viewer = openViewer({{a}});
  const qint16 width = viewer::areaFromState().width;
  viewer->resize(viewer->width() - 100, viewer->height());
  QTRY_COMPARE(viewer::areaFromState().width, qint16(width - 100));
  QCOMPARE(photo1()->widget()->geometry(),
           viewer::centredGeometry(viewer::areaFromState(), 120, 90).toRect());
}

void tst_Viewer::catalogueVanishingWhileOpen() {
  const QString a = picture(QStringLiteral("a.png"), 40, 30);
  const QString b = picture(QStringLiteral("b.png"), 50, 30);
  frmDBScreenTest* viewer = openViewer({{a}, {b}});
  QVERIFY(QFile::remove(env_->catalogue()));
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(photo1()->fileName(), b);
  viewer->navigate(viewer::NavCommand::Previous);
  QCOMPARE(photo1()->fileName(), a);
  closeViewer(viewer);
  QVERIFY(!appState().ViewerOpen);
}

QTEST_MAIN(tst_Viewer)
#include "tst_viewer.moc"
