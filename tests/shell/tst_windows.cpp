// Every window of the program opened on a small screen: each visible caption of a label,
// button, check box, option button, frame and tab fits its control (or wraps), and the window
// fits the screen's available area with every control inside it or in a scrolling part.
// The screen is 1024 x 768 unless GLIMMORA_TEST_SCREEN names another size ("800x600"); with
// QT_SCALE_FACTOR=2 the windows are measured as a high-density laptop shows them.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryFile>
#include <QTextDocument>
#include <QtTest>
#include <functional>
#include <memory>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/fittingarea.h"
#include "base/forms.h"
#include "base/settings.h"
#include "cataloguing/frmAddDirsToDB.h"
#include "cataloguing/frmAddTheme.h"
#include "cataloguing/frmDirDialog.h"
#include "cataloguing/frmScanDrive.h"
#include "cataloguing/frmSetupNew.h"
#include "cataloguing/frmSubPathsCaptions.h"
#include "cataloguing/frmWizard.h"
#include "editing/edithost.h"
#include "editing/frmColorDepth.h"
#include "editing/frmResizeMethods.h"
#include "editing/frmSavePic.h"
#include "editing/frmSavePicOptions.h"
#include "editing/previewdialog.h"
#include "query/frmPicPasswordqry.h"
#include "query/frmQuery.h"
#include "query/frmQuerySave.h"
#include "rastrel/rastrel.h"
#include "shell/frmAbout.h"
#include "shell/frmFormsRunStatus.h"
#include "shell/frmLogin.h"
#include "shell/frmMain.h"
#include "shell/frmOptions.h"
#include "shell/frmSplash.h"
#include "shell/frmTutorial.h"
#include "shellfixture.h"
#include "support/testenv.h"
#include "viewer/frmDBScreenTest.h"
#include "viewer/frmMoveNotify.h"
#include "viewer/frmPassword.h"
#include "viewer/frmSlideOptionsDialog.h"
#include "viewer/frmWrongPassword.h"

using namespace glim;
using namespace glim::cataloguing;
using namespace glim::test;
using namespace glim::viewer;

namespace {

QSize testScreenSize() {
  const QByteArray named = qgetenv("GLIMMORA_TEST_SCREEN");
  const QList<QByteArray> parts = named.split('x');
  if (parts.size() == 2 && parts[0].toInt() > 0 && parts[1].toInt() > 0)
    return {parts[0].toInt(), parts[1].toInt()};
  return {1024, 768};
}

// The two imaging controls the editing dialogs work on, on a form of their own.
class Host : public EditHost {
 public:
  Host() {
    form.resize(640, 480);
    QString error;
    p1 = createRastrel(&form, &error);
    p2 = createRastrel(&form, &error);
    if (p2) p2->hide();
  }
  RastrelControl* photo1() override { return p1; }
  RastrelControl* photo2() override { return p2; }
  bool altered() const override { return false; }
  void setAltered(bool) override {}
  void setUndoCommand(const QString&, bool) override {}
  QString recordPath() const override { return path; }
  QString recordStatus() const override { return {}; }
  void refreshPictureInfo() override {}
  void sizeControlToPicture() override {}
  void centreControl() override {}
  void layoutAfterUndo() override {}

  QWidget form;
  RastrelControl* p1 = nullptr;
  RastrelControl* p2 = nullptr;
  QString path;
};

QString withoutMnemonics(QString text) {
  text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
  text.remove(u'&');
  text.replace(u'\x01', u'&');
  return text;
}

// The width the caption needs on one line (its widest line).
int textWidth(const QFontMetrics& metrics, const QString& text) {
  int widest = 0;
  for (const QString& line : text.split(u'\n'))
    widest = std::max(widest, metrics.horizontalAdvance(line));
  return widest;
}

QString describe(const QWidget* widget, const QString& text, int needed, int room) {
  return QStringLiteral("%1 \"%2\": needs %3 px, has %4")
      .arg(widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : widget->objectName(),
           text.left(40))
      .arg(needed)
      .arg(room);
}

QStringList labelProblems(const QLabel* label) {
  // Wrapping labels grow down; eliding ones show their whole text as a tip.
  if (label->text().isEmpty() || label->wordWrap() || label->property("elides").toBool()) return {};
  QString text = label->text();
  int needed = 0;
  if (Qt::mightBeRichText(text)) {
    QTextDocument document;
    document.setDefaultFont(label->font());
    document.setHtml(text);
    document.setDocumentMargin(0);
    needed = int(document.idealWidth());
    text = document.toPlainText();
  } else {
    if (label->buddy()) text = withoutMnemonics(text);
    needed = textWidth(label->fontMetrics(), text);
  }
  const int margins = 2 * label->margin() + std::max(0, label->indent());
  const int room = label->contentsRect().width() - margins;
  if (needed <= room) return {};
  return {describe(label, text, needed, room)};
}

QStringList buttonProblems(const QAbstractButton* button) {
  if (button->text().isEmpty() || button->property("wordWrap").toBool()) return {};
  const QString text = withoutMnemonics(button->text());
  const int needed = textWidth(button->fontMetrics(), text);
  QStyleOptionButton option;
  option.initFrom(button);
  option.text = button->text();
  int room = 0;
  if (qobject_cast<const QCheckBox*>(button)) {
    room = button->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, button).width();
  } else if (qobject_cast<const QRadioButton*>(button)) {
    room = button->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, button).width();
  } else {
    // Where the style draws a push button's caption.
    int icon = 0;
    if (!button->icon().isNull()) icon = button->iconSize().width() + 4;
    room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width() -
           icon;
  }
  if (needed <= room) return {};
  return {describe(button, text, needed, room)};
}

QStringList frameProblems(const QGroupBox* frame) {
  if (frame->title().isEmpty()) return {};
  const QString text = withoutMnemonics(frame->title());
  const int needed = textWidth(frame->fontMetrics(), text) + (frame->isCheckable() ? 20 : 0);
  const int room = frame->width() - 8;
  if (needed <= room) return {};
  return {describe(frame, text, needed, room)};
}

QStringList tabProblems(const QTabBar* bar) {
  QStringList problems;
  for (int i = 0; i < bar->count(); ++i) {
    const QString text = withoutMnemonics(bar->tabText(i));
    const int needed = textWidth(bar->fontMetrics(), text);
    const int room = bar->tabRect(i).width() - 8;
    if (!text.isEmpty() && needed > room) problems << describe(bar, text, needed, room);
  }
  return problems;
}

bool insideScrollingPart(const QWidget* widget, const QWidget* window) {
  for (const QWidget* w = widget->parentWidget(); w && w != window; w = w->parentWidget())
    if (qobject_cast<const QAbstractScrollArea*>(w)) return true;
  return false;
}

// A control is in reach when it lies inside the window, or scrolls into view.
QStringList reachProblems(const QWidget* widget, const QWidget* window) {
  if (insideScrollingPart(widget, window)) return {};
  const QRect where(widget->mapTo(window, QPoint(0, 0)), widget->size());
  if (window->rect().contains(where)) return {};
  return {QStringLiteral("%1 lies outside the window (%2,%3 %4x%5 in %6x%7)")
              .arg(widget->objectName().isEmpty()
                       ? QString::fromLatin1(widget->metaObject()->className())
                       : widget->objectName())
              .arg(where.x())
              .arg(where.y())
              .arg(where.width())
              .arg(where.height())
              .arg(window->width())
              .arg(window->height())};
}

QStringList visibleProblems(QWidget* window) {
  QStringList problems;
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(window) || widget->isWindow() || widget->window() != window) continue;
    if (auto* label = qobject_cast<QLabel*>(widget)) problems << labelProblems(label);
    if (auto* button = qobject_cast<QAbstractButton*>(widget);
        button && !qobject_cast<QTabBar*>(widget->parentWidget()))
      problems << buttonProblems(button);
    if (auto* frame = qobject_cast<QGroupBox*>(widget)) problems << frameProblems(frame);
    if (auto* bar = qobject_cast<QTabBar*>(widget)) problems << tabProblems(bar);
    const bool control = qobject_cast<QAbstractButton*>(widget) ||
                         qobject_cast<QLineEdit*>(widget) || qobject_cast<QLabel*>(widget);
    if (control && !qobject_cast<QTabBar*>(widget->parentWidget()))
      problems << reachProblems(widget, window);
  }
  return problems;
}

// Every caption of the window on every page of its tabs, and the window against the screen.
QStringList windowProblems(QWidget* window) {
  QStringList problems;
  const QRect available = window->screen()->availableGeometry();
  if (!available.contains(window->frameGeometry()))
    problems << QStringLiteral("the window (%1,%2 %3x%4) runs off the screen's area (%5x%6)")
                    .arg(window->frameGeometry().x())
                    .arg(window->frameGeometry().y())
                    .arg(window->frameGeometry().width())
                    .arg(window->frameGeometry().height())
                    .arg(available.width())
                    .arg(available.height());
  const QList<QTabWidget*> tabs = window->findChildren<QTabWidget*>();
  if (tabs.isEmpty()) return problems + visibleProblems(window);
  for (QTabWidget* tab : tabs) {
    if (!tab->isVisibleTo(window)) continue;
    const int shown = tab->currentIndex();
    for (int i = 0; i < tab->count(); ++i) {
      tab->setCurrentIndex(i);
      QCoreApplication::processEvents();
      for (const QString& p : visibleProblems(window))
        if (!problems.contains(p)) problems << p;
    }
    tab->setCurrentIndex(shown);
  }
  return problems;
}

// A scrolling part by its tab's caption, or by the first named control in it.
QString partName(QScrollArea* area) {
  const QWidget* stack = area->parentWidget();
  if (auto* tabs = qobject_cast<QTabWidget*>(stack ? stack->parentWidget() : nullptr))
    return QStringLiteral("page \"%1\"").arg(tabs->tabText(tabs->indexOf(area)));
  for (const QWidget* w : area->widget()->findChildren<QWidget*>())
    if (!w->objectName().isEmpty() && !w->objectName().startsWith(u'q'))
      return QStringLiteral("the part holding %1").arg(w->objectName());
  return QStringLiteral("a scrolling part");
}

// On a screen of 1024 x 768 points or more no window scrolls a part that could fit: scrolling is
// for small screens only.
QStringList needlessScrollBars(QWidget* window) {
  const QSize screen = window->screen()->availableGeometry().size();
  if (screen.width() < 1024 || screen.height() < 768) return {};
  QStringList problems;
  const auto check = [&] {
    for (QScrollArea* area : window->findChildren<QScrollArea*>()) {
      if (!dynamic_cast<FittingScrollArea*>(area) || !area->isVisibleTo(window)) continue;
      if (area->verticalScrollBar()->isVisibleTo(window) ||
          area->horizontalScrollBar()->isVisibleTo(window))
        problems << partName(area) + QStringLiteral(" scrolls");
    }
  };
  const QList<QTabWidget*> tabs = window->findChildren<QTabWidget*>();
  check();
  for (QTabWidget* tab : tabs) {
    const int shown = tab->currentIndex();
    for (int i = 0; i < tab->count(); ++i) {
      tab->setCurrentIndex(i);
      QCoreApplication::processEvents();
      check();
    }
    tab->setCurrentIndex(shown);
  }
  problems.removeDuplicates();
  return problems;
}

using Opener = std::function<QWidget*(Host&)>;

template <class T>
Opener tracked() {
  return [](Host&) -> QWidget* { return forms::get<T>(); };
}

template <class T>
Opener owned() {
  return [](Host&) -> QWidget* {
    auto* form = new T();
    form->setAttribute(Qt::WA_DeleteOnClose);
    return form;
  };
}

template <class T>
Opener editor() {
  return [](Host& host) -> QWidget* {
    auto* form = new T(host);
    form->setAttribute(Qt::WA_DeleteOnClose);
    return form;
  };
}

}  // namespace

Q_DECLARE_METATYPE(Opener)

class tst_Windows : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void everyCaptionFitsAndTheWindowFitsTheScreen_data();
  void everyCaptionFitsAndTheWindowFitsTheScreen();
  void viewerPanelShowsPictureInformationUnscrolled();
  void deepFolderPathsKeepTheirWindowsOnTheScreen();
  void everyMenuHasItsOwnAccelerators();
  void contextMenuEndsWithFullScreenAndExit();
  void viewerOpensFullScreenWhenTheOptionsSaySo();
  void cleanup() { closeAllWindows(); }

 private:
  std::unique_ptr<TestEnv> env_;
};

void tst_Windows::initTestCase() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  QCOMPARE(screen->size() * screen->devicePixelRatio(), testScreenSize());
  env_ = std::make_unique<TestEnv>();
  // The control's libraries beside the temporary program folder: the build's own program
  // folder and its catalogue stay untouched.
  env_->installProgram();
  catchProcessEnd();
  // Captions of the lengths users give them.
  settings::write(settings::kRatings, QStringLiteral("Rating1"), QStringLiteral("Composition"));
  settings::write(settings::kRatings, QStringLiteral("Rating2"), QStringLiteral("Sharpness"));
  settings::write(settings::kClassifications, QStringLiteral("Class1"),
                  QStringLiteral("Landscape"));
  settings::write(settings::kClassifications, QStringLiteral("Class2"),
                  QStringLiteral("Mountains"));
  settings::write(settings::kClassifications, QStringLiteral("Class10"), QStringLiteral("Theme10"));
}

void tst_Windows::everyCaptionFitsAndTheWindowFitsTheScreen_data() {
  QTest::addColumn<Opener>("open");
  QTest::newRow("frmMain") << tracked<frmMain>();
  QTest::newRow("frmOptions") << tracked<frmOptions>();
  QTest::newRow("frmLogin") << owned<frmLogin>();
  QTest::newRow("frmAbout") << owned<frmAbout>();
  QTest::newRow("frmSplash") << owned<frmSplash>();
  QTest::newRow("frmTutorial") << owned<frmTutorial>();
  QTest::newRow("frmFormsRunStatus") << owned<frmFormsRunStatus>();
  QTest::newRow("frmDBScreenTest") << tracked<frmDBScreenTest>();
  QTest::newRow("frmSlideOptionsDialog") << owned<frmSlideOptionsDialog>();
  QTest::newRow("frmMoveNotify") << owned<frmMoveNotify>();
  QTest::newRow("frmPassword") << Opener([](Host&) -> QWidget* {
    auto* form = new frmPassword([](const QString&) {});
    form->setAttribute(Qt::WA_DeleteOnClose);
    return form;
  });
  QTest::newRow("frmWrongPassword") << Opener([](Host&) -> QWidget* {
    auto* form = new frmWrongPassword(QStringLiteral("holiday.pic"), QString(), {});
    form->setAttribute(Qt::WA_DeleteOnClose);
    return form;
  });
  QTest::newRow("frmQuery") << tracked<frmQuery>();
  QTest::newRow("frmQuerySave") << Opener([](Host&) -> QWidget* {
    auto* name = new QLineEdit;
    auto* form = new frmQuerySave(name);
    name->setParent(form);
    name->hide();
    form->setAttribute(Qt::WA_DeleteOnClose);
    return form;
  });
  QTest::newRow("frmPicPasswordqry") << owned<frmPicPasswordqry>();
  QTest::newRow("frmSetupNew") << tracked<frmSetupNew>();
  QTest::newRow("frmWizard") << Opener([](Host&) -> QWidget* {
    auto* form = new frmWizard(nullptr);
    form->setAttribute(Qt::WA_DeleteOnClose);
    return form;
  });
  QTest::newRow("frmSubPathsCaptions") << owned<frmSubPathsCaptions>();
  QTest::newRow("frmAddTheme") << owned<frmAddTheme>();
  QTest::newRow("frmDirDialog") << owned<frmDirDialog>();
  QTest::newRow("frmAddDirsToDB") << tracked<frmAddDirsToDB>();
  QTest::newRow("frmScanDrive") << tracked<frmScanDrive>();
  QTest::newRow("frmResizeMethods") << editor<frmResizeMethods>();
  QTest::newRow("frmColor") << editor<frmColor>();
  QTest::newRow("frmRGB") << editor<frmRGB>();
  QTest::newRow("frmGamma") << editor<frmGamma>();
  QTest::newRow("frmColorDepth") << editor<frmColorDepth>();
  QTest::newRow("frmSavePic") << editor<frmSavePic>();
  for (const char* type : {"jpg", "pic", "tif", "png"}) {
    const QString fileType = QString::fromLatin1(type);
    QTest::addRow("frmSavePicOptions %s", type) << Opener([fileType](Host& host) -> QWidget* {
      auto* owner = new frmSavePic(host);
      auto* form = new frmSavePicOptions(*owner, fileType);
      owner->setParent(form, owner->windowFlags());
      form->setAttribute(Qt::WA_DeleteOnClose);
      return form;
    });
  }
}

void tst_Windows::everyCaptionFitsAndTheWindowFitsTheScreen() {
  QFETCH(Opener, open);
  ScriptedDialogs dialogs;
  Host host;
  QVERIFY2(host.p1, "the imaging control could not be loaded");
  host.path = env_->folder(QStringLiteral("pics")) + QStringLiteral("/photo.jpg");
  QVERIFY(writePicture(host.path, 640, 480));
  host.p1->setFileName(host.path);
  QWidget* window = open(host);
  QVERIFY(window);
  window->show();
  QVERIFY(QTest::qWaitForWindowExposed(window));
  QCoreApplication::processEvents();
  const QStringList problems = windowProblems(window) + needlessScrollBars(window);
  // For looking at the windows by eye: GLIMMORA_SCREENS_DIR keeps a picture of each.
  const QString keep = qEnvironmentVariable("GLIMMORA_SCREENS_DIR");
  if (!keep.isEmpty())
    window->grab().save(keep + u'/' + QString::fromLatin1(QTest::currentDataTag()) +
                        QStringLiteral(".png"));
  window->close();
  QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("\n  "))));
}

// On a screen 900 pixels high the viewer's panel shows every frame down to the picture
// information without scrolling.
void tst_Windows::viewerPanelShowsPictureInformationUnscrolled() {
  if (QGuiApplication::primaryScreen()->size().height() < 900)
    QSKIP("needs a screen at least 900 pixels high");
  ScriptedDialogs dialogs;
  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY(QTest::qWaitForWindowExposed(viewer));
  QCoreApplication::processEvents();
  QGroupBox* info = viewer->fraPicInfo();
  QVERIFY(info->isVisible());
  auto* panel = viewer->findChild<QScrollArea*>(QStringLiteral("leftPanel"));
  QVERIFY(panel);
  QCOMPARE(panel->verticalScrollBar()->value(), 0);
  const QString keep = qEnvironmentVariable("GLIMMORA_SCREENS_DIR");
  if (!keep.isEmpty()) viewer->grab().save(keep + QStringLiteral("/viewer900.png"));
  const QRect inView(info->mapTo(panel->viewport(), QPoint(0, 0)), info->size());
  QVERIFY2(panel->viewport()->rect().contains(inView),
           qPrintable(QStringLiteral("the frame ends at %1, the panel shows %2")
                          .arg(inView.bottom())
                          .arg(panel->viewport()->height())));
  viewer->close();
}

// A deep folder's path neither pushes the folder dialog's buttons off the screen nor widens
// the captions set-up's folder page past its tab.
void tst_Windows::deepFolderPathsKeepTheirWindowsOnTheScreen() {
  ScriptedDialogs dialogs;
  QString deep = QStringLiteral("pics");
  for (int level = 1; level <= 8; ++level)
    deep += QStringLiteral("/holidays_by_the_sea_with_the_family_%1").arg(level);
  deep = env_->folder(deep);

  frmDirDialog dialog;
  dialog.startAt(deep);
  dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dialog));
  QCoreApplication::processEvents();
  QVERIFY(dialog.Label1()->text().startsWith(deep));
  QStringList problems = windowProblems(&dialog);
  QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("\n  "))));
  dialog.close();

  auto* setup = forms::get<frmSetupNew>();
  setup->show();
  QVERIFY(QTest::qWaitForWindowExposed(setup));
  setup->SSTab1()->setCurrentIndex(0);
  setup->lblPath()->setText(deep);
  QCoreApplication::processEvents();
  const auto* page = qobject_cast<QScrollArea*>(setup->SSTab1()->currentWidget());
  QVERIFY(page);
  QVERIFY(page->widget()->width() <= page->viewport()->width());
  QCOMPARE(setup->lblPath()->text(), deep);
  problems = windowProblems(setup);
  QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("\n  "))));
  setup->close();
}

namespace {

// The letter after a single "&", lower-cased; none when the caption has no accelerator.
QChar accelerator(const QString& caption) {
  for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != u'&') continue;
    if (caption[i + 1] == u'&') {
      ++i;
      continue;
    }
    return caption[i + 1].toLower();
  }
  return {};
}

// Captions the program has always had, whose shared letter cycles between the two items.
bool knownPair(const QString& first, const QString& second) {
  static const QList<QStringList> pairs = {
      {QStringLiteral("&Change Picture Set"), QStringLiteral("&Close This Window")},
      {QStringLiteral("Viewer &Help Contents"), QStringLiteral("&Hot Keys")}};
  return pairs.contains(QStringList{first, second});
}

QStringList duplicateAccelerators(const QMenu* menu) {
  QStringList problems;
  QMap<QChar, QString> seen;
  for (const QAction* action : menu->actions()) {
    if (action->isSeparator() || !action->isVisible()) continue;
    const QChar key = accelerator(action->text());
    if (key.isNull()) continue;
    if (seen.contains(key) && !knownPair(seen.value(key), action->text()))
      problems << QStringLiteral("%1: \"%2\" and \"%3\" share %4")
                      .arg(menu->title(), seen.value(key), action->text(), key);
    seen.insert(key, action->text());
  }
  return problems;
}

}  // namespace

void tst_Windows::everyMenuHasItsOwnAccelerators() {
  ScriptedDialogs dialogs;
  QStringList problems;
  for (QWidget* window : {static_cast<QWidget*>(forms::get<frmMain>()),
                          static_cast<QWidget*>(forms::get<frmDBScreenTest>())}) {
    for (const QMenu* menu : window->findChildren<QMenu*>())
      problems << duplicateAccelerators(menu);
    if (const auto* main = qobject_cast<QMainWindow*>(window)) {
      QMap<QChar, QString> seen;
      for (const QAction* action : main->menuBar()->actions()) {
        const QChar key = accelerator(action->text());
        if (key.isNull() || !action->isVisible()) continue;
        if (seen.contains(key)) problems << QStringLiteral("menu bar shares %1").arg(key);
        seen.insert(key, action->text());
      }
    }
  }
  QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

void tst_Windows::contextMenuEndsWithFullScreenAndExit() {
  ScriptedDialogs dialogs;
  auto* viewer = forms::get<frmDBScreenTest>();
  QStringList names;
  for (const QAction* action : viewer->RClickMenu()->actions())
    if (!action->isSeparator())
      names << (action->menu() ? action->menu()->objectName() : action->objectName());
  QCOMPARE(names.mid(0, 2),
           QStringList({QStringLiteral("PauseSlides"), QStringLiteral("mnuStopSlideShow")}));
  QCOMPARE(names.mid(names.size() - 2),
           QStringList({QStringLiteral("FScreen"), QStringLiteral("ExitProg")}));
  QVERIFY(names.indexOf(QStringLiteral("RClickMoveImage")) <
          names.indexOf(QStringLiteral("RClickSaveImageAsIs")));
  viewer->close();
}

// "Start viewer using full screen" in the options decides how the viewer opens.
void tst_Windows::viewerOpensFullScreenWhenTheOptionsSaySo() {
  ScriptedDialogs dialogs;
  auto* options = forms::get<frmOptions>();
  options->optFullScreen->setChecked(true);
  options->cmdOK_Click();
  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY(viewer->isFullScreen());
  QCOMPARE(viewer->geometry(), viewer->screen()->geometry());
  viewer->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  options = forms::get<frmOptions>();
  options->optRegSize->setChecked(true);
  options->cmdOK_Click();
  viewer = forms::get<frmDBScreenTest>();
  QVERIFY(!viewer->isFullScreen());
  viewer->close();
}

// The offscreen platform's screen is set from a configuration file before the application
// starts.
int main(int argc, char** argv) {
  const QSize screen = testScreenSize();
  QTemporaryFile config(QDir::tempPath() + QStringLiteral("/screen-XXXXXX.json"));
  if (!config.open()) return 2;
  config.write(QStringLiteral("{\"screens\": [{\"name\": \"screen\", \"x\": 0, \"y\": 0, "
                              "\"width\": %1, \"height\": %2, \"logicalDpi\": 96, "
                              "\"logicalBaseDpi\": 96, \"dpr\": 1}]}")
                   .arg(screen.width())
                   .arg(screen.height())
                   .toUtf8());
  config.close();
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toUtf8());
  QApplication app(argc, argv);
  tst_Windows test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_windows.moc"
