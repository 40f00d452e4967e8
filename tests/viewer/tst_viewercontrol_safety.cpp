// No picture lost, no failure hidden, with the real imaging control: protecting never saves a
// stock picture or replaces another catalogued picture, rename and move never land on another
// catalogued picture, nor does Save As, a refused save keeps the edits and the row, and after a
// save the row holds the file's size on disk.
#include <QtTest>

#include <sys/resource.h>
#include <csignal>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/forms.h"
#include "catalogue/database.h"
#include "editing/frmSavePic.h"
#include "rastrel/rastrel.h"
#include "support/checkhold.h"
#include "support/testenv.h"
#include "viewer/frmDBScreenTest.h"
#include "viewer_helpers.h"

using namespace glim;
using namespace glim::test;

namespace {

QAction* findAction(QWidget* window, const QString& text) {
  for (QAction* action : window->findChildren<QAction*>())
    if (action->text() == text) return action;
  return nullptr;
}

void typeInto(QLineEdit* box, const QString& text) {
  box->setFocus();
  box->selectAll();
  QTest::keyClick(box, Qt::Key_Backspace);
  QTest::keyClicks(box, text);
}

// Every file of a folder with its bytes.
QMap<QString, QByteArray> filesIn(const QString& folder) {
  QMap<QString, QByteArray> files;
  for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
    files.insert(name, readBytes(folder + u'/' + name));
  return files;
}

// Runs `step` on the modal dialog the next command opens, once it runs its own loop; a dialog
// of another kind is closed, so a wrong turn fails the test instead of waiting for a user.
template <class Dialog>
void onDialog(std::function<void(Dialog*)> step, bool* reached) {
  QTimer::singleShot(0, [step, reached] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* dialog = qobject_cast<Dialog*>(modal)) {
      *reached = true;
      step(dialog);
    } else if (auto* other = qobject_cast<QDialog*>(modal)) {
      other->reject();
    }
  });
}

// Lets every file grow to at most `bytes` while it lives: the disk is full beyond that.
class DiskFull {
 public:
  explicit DiskFull(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~DiskFull() { setrlimit(RLIMIT_FSIZE, &saved_); }

 private:
  rlimit saved_{};
};

}  // namespace

class tst_ViewerSafety : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { useImagingControl(); }
  void cleanup();

  void protectRefusedWhileAStandInIsShown_data();
  void protectRefusedWhileAStandInIsShown();
  void protectNeverReplacesAnotherCataloguedPicture();
  void renameAndMoveNeverLandOnACataloguedPicture();
  void renameKeepsTheWholeExtension();
  void saveAsNeverReplacesAnotherCataloguedPicture();
  void damagedCatalogueIsShownButNeverWritten();
  void firstPictureComesBeforeTheDamageVerdict();
  void refusedSaveAsIsKeepsTheEditsAndTheRow_data();
  void refusedSaveAsIsKeepsTheEditsAndTheRow();
  void standInIsNeverSaved();
  void rowHoldsTheSizeOnDiskAfterASave();
};

void tst_ViewerSafety::cleanup() {
  while (auto* viewer = forms::find<frmDBScreenTest>()) {
    viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

void tst_ViewerSafety::protectRefusedWhileAStandInIsShown_data() {
  QTest::addColumn<bool>("damaged");
  QTest::newRow("damaged file") << true;
  QTest::newRow("missing file") << false;
}

// A damaged or missing file is shown as a stock picture: Encrypt with the wipe on must not save
// that picture as the protected file, wipe the original, or point the row anywhere else.
void tst_ViewerSafety::protectRefusedWhileAStandInIsShown() {
  QFETCH(bool, damaged);
  TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;
  const QString folder = env.folder(QStringLiteral("pics"));
  const QString bad = folder + QStringLiteral("/bad.jpg");
  const QString good = folder + QStringLiteral("/good.png");
  QVERIFY(writePicture(good, 60, 40, "PNG"));
  if (damaged) QVERIFY(writeBytes(bad, "not a picture at all, only text"));
  QVERIFY(writeCatalogue(env.catalogue(), {{bad}, {good}}));
  const auto before = filesIn(folder);
  const auto stock = filesIn(env.programFolder());

  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  QVERIFY(viewer->showsStandIn());
  typeInto(viewer->txtPicPassword(), QStringLiteral("Secret12"));
  auto* wipe = viewer->findChild<QCheckBox*>(QStringLiteral("chkWipeOldImages"));
  QTest::mouseClick(wipe, Qt::LeftButton, {}, QPoint(4, 4));
  QVERIFY(wipe->isChecked());
  viewer->armedButtons().armAndClick(
      viewer->findChild<QPushButton*>(QStringLiteral("cmdEncryptCurrentPic")));

  QCOMPARE(dialogs.messages().size(), 1);
  QVERIFY2(dialogs.lastText().endsWith(QStringLiteral("\rNothing was changed.")),
           qPrintable(dialogs.lastText()));
  QVERIFY(dialogs.lastText().contains(QStringLiteral("missing or cannot be read")));
  QCOMPARE(filesIn(folder), before);  // no bad.pic, the original untouched
  QCOMPARE(filesIn(env.programFolder()).value(QStringLiteral("DamagedImage.jpg")),
           stock.value(QStringLiteral("DamagedImage.jpg")));
  QCOMPARE(viewer->txtImagePath()->text(), bad);
  QCOMPARE(viewer->txtExtension()->text(), QStringLiteral("jpg"));
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(storedValue(env.catalogue(), bad, QStringLiteral("Extension")).toString(),
           QStringLiteral("jpg"));
}

// "a.jpg" and "a.png" both protect to "a.pic"; when "a.pic" is another catalogued picture (here
// the only copy left of a wiped picture), protecting "a.jpg" is refused and touches nothing.
void tst_ViewerSafety::protectNeverReplacesAnotherCataloguedPicture() {
  TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;
  const QString folder = env.folder(QStringLiteral("pics"));
  const QString a = folder + QStringLiteral("/a.jpg");
  const QString pic = folder + QStringLiteral("/a.pic");
  QVERIFY(writePicture(a, 120, 90, "JPG"));
  {
    QWidget holder;
    RastrelControl* control = createRastrel(&holder);
    QVERIFY(control);
    const QString other = folder + QStringLiteral("/other.png");
    QVERIFY(writePicture(other, 30, 20, "PNG", QColor(20, 200, 20)));
    control->setFileName(other);
    control->setPICPassword(QStringLiteral("Oldpass1"));
    control->setSaveFileName(pic);
    control->saveFile();
    QCOMPARE(int(control->imagError()), 0);
    QFile::remove(other);
  }
  QVERIFY(writeCatalogue(env.catalogue(), {{a}, {pic, QStringLiteral("pic")}}));
  const auto before = filesIn(folder);
  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  QCOMPARE(viewer->Photo1()->fileName(), a);
  // "a.pic" is shown blank later on: no prompt for its password.
  auto* prompt = viewer->findChild<QAction*>(QStringLiteral("mnuPromptNewPassword"));
  if (prompt->isChecked()) prompt->trigger();
  typeInto(viewer->txtPicPassword(), QStringLiteral("Newpass1"));
  auto* wipe = viewer->findChild<QCheckBox*>(QStringLiteral("chkWipeOldImages"));
  QTest::mouseClick(wipe, Qt::LeftButton, {}, QPoint(4, 4));
  viewer->armedButtons().armAndClick(
      viewer->findChild<QPushButton*>(QStringLiteral("cmdEncryptCurrentPic")));

  QCOMPARE(dialogs.messages().size(), 1);
  QCOMPARE(dialogs.lastText(),
           QStringLiteral("Another picture in the catalogue is already named ") + pic +
               QStringLiteral(".\rNothing was changed."));
  QCOMPARE(filesIn(folder), before);
  QCOMPARE(viewer->txtImagePath()->text(), a);
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(storedRowCount(env.catalogue()), 2);
  QCOMPARE(storedValue(env.catalogue(), a, QStringLiteral("Extension")).toString(),
           QStringLiteral("jpg"));
}

// Renaming "path.jpg" to "sunset" when "sunset.jpg" is another catalogued picture, or moving a
// picture into a folder where a catalogued picture has its name, is refused before any file is
// touched, with a plain message.
void tst_ViewerSafety::renameAndMoveNeverLandOnACataloguedPicture() {
  TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;
  const QString folder = env.folder(QStringLiteral("pics"));
  const QString dest = env.folder(QStringLiteral("dest"));
  const QString path = folder + QStringLiteral("/path.jpg");
  const QString sunset = folder + QStringLiteral("/sunset.jpg");
  const QString there = dest + QStringLiteral("/path.jpg");
  QVERIFY(writePicture(path, 80, 60, "JPG"));
  QVERIFY(writePicture(sunset, 90, 50, "JPG", QColor(250, 120, 10)));
  QVERIFY(writePicture(there, 70, 70, "JPG", QColor(10, 10, 200)));
  catalogue::Database db = catalogue::Database::open(env.catalogue());
  QVERIFY(db.execute(QStringLiteral("UPDATE SetupNew SET SubPathPath = ? WHERE IDP = 1;"),
                     {dest + u'/'}));
  db.close();
  QVERIFY(writeCatalogue(env.catalogue(), {{path}, {sunset}, {there}}));
  const auto here = filesIn(folder);
  const auto away = filesIn(dest);
  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  QCOMPARE(viewer->Photo1()->fileName(), path);

  dialogs.answerInput(QStringLiteral("sunset"));
  dialogs.answer(MsgResult::Yes);  // were the overwrite question asked
  viewer->findChild<QAction*>(QStringLiteral("mnuRenameImage"))->trigger();
  QCOMPARE(dialogs.messages().size(), 1);
  QCOMPARE(dialogs.messages().first().title, QStringLiteral("Rename Failed"));
  QCOMPARE(dialogs.lastText(),
           QStringLiteral("Another picture in the catalogue is already named ") + sunset +
               QStringLiteral(".\rNothing was changed; choose another name "
                              "or folder."));

  dialogs.clear();
  dialogs.answer(MsgResult::Yes);
  viewer->findChild<QAction*>(QStringLiteral("RCMenuMoveMD1SubDir_0"))->trigger();
  QCOMPARE(dialogs.messages().size(), 1);
  QCOMPARE(dialogs.messages().first().title, QStringLiteral("Move Failed"));
  QVERIFY(dialogs.lastText().startsWith(
      QStringLiteral("Another picture in the catalogue is already named ") + there));

  for (const auto& call : dialogs.messages())
    QVERIFY(!call.text.contains(QStringLiteral("UNIQUE"), Qt::CaseInsensitive));
  QCOMPARE(filesIn(folder), here);
  QCOMPARE(filesIn(dest), away);
  QCOMPARE(viewer->txtImagePath()->text(), path);
  viewer->navigate(viewer::NavCommand::Next);
  for (const QString& p : {path, sunset, there})
    QCOMPARE(storedValue(env.catalogue(), p, QStringLiteral("Pathname")).toString(), p);

  // A file that vanished between the command and the rename: said so, the row unchanged.
  viewer->navigate(viewer::NavCommand::Previous);
  QVERIFY(QFile::remove(path));
  dialogs.clear();
  dialogs.answerInput(QStringLiteral("evening"));
  viewer->findChild<QAction*>(QStringLiteral("mnuRenameImage"))->trigger();
  QCOMPARE(dialogs.messages().size(), 1);
  QVERIFY(dialogs.lastText().contains(QStringLiteral("does not exist")));
  QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/evening.jpg")));
  QCOMPARE(viewer->txtImagePath()->text(), path);
}

// The extension is what follows the file name's last dot: "a.jpeg" renamed "b" is "b.jpeg",
// still a picture the control opens; a name without a dot gets none.
void tst_ViewerSafety::renameKeepsTheWholeExtension() {
  TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;
  const QString folder = env.folder(QStringLiteral("pics"));
  const QString a = folder + QStringLiteral("/a.jpeg");
  const QString plain = folder + QStringLiteral("/plain");
  QVERIFY(writePicture(a, 64, 48, "JPG"));
  QVERIFY(writePicture(plain, 32, 24, "PNG"));
  QVERIFY(writeCatalogue(env.catalogue(), {{a, QStringLiteral("peg")}, {plain}}));
  const QByteArray bytes = readBytes(a);
  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  QAction* rename = viewer->findChild<QAction*>(QStringLiteral("mnuRenameImage"));
  dialogs.answerInput(QStringLiteral("b"));
  rename->trigger();
  const QString b = folder + QStringLiteral("/b.jpeg");
  QCOMPARE(readBytes(b), bytes);
  QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/bjpeg")));
  QCOMPARE(viewer->txtImagePath()->text(), b);
  QCOMPARE(storedValue(env.catalogue(), b, QStringLiteral("Pathname")).toString(), b);

  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(viewer->Photo1()->fileName(), plain);
  dialogs.answerInput(QStringLiteral("still plain"));
  rename->trigger();
  const QString renamed = folder + QStringLiteral("/still plain");
  QVERIFY(QFileInfo::exists(renamed));
  QCOMPARE(viewer->txtImagePath()->text(), renamed);
  viewer->navigate(viewer::NavCommand::Previous);
  QCOMPARE(viewer->Photo1()->fileName(), b);
  QCOMPARE(viewer->Photo1()->imagError(), 0);
}

// Save As onto the file of another catalogued picture is refused before anything is written,
// and the dialog stays open for another name; a name of no catalogued picture is saved.
void tst_ViewerSafety::saveAsNeverReplacesAnotherCataloguedPicture() {
  TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;
  const QString folder = env.folder(QStringLiteral("pics"));
  const QString a = folder + QStringLiteral("/a.jpg");
  const QString b = folder + QStringLiteral("/b.png");
  QVERIFY(writePicture(a, 80, 60, "JPG"));
  QVERIFY(writePicture(b, 50, 40, "PNG", QColor(250, 120, 10)));
  QVERIFY(writeCatalogue(env.catalogue(), {{a}, {b}}));
  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  QCOMPARE(viewer->Photo1()->fileName(), a);
  viewer->navigate(viewer::NavCommand::Next);
  viewer->navigate(viewer::NavCommand::Previous);  // both rows written as the viewer saw them
  findAction(viewer, QStringLiteral("&Negative"))->trigger();
  const auto before = filesIn(folder);

  bool reached = false;
  bool stayedOpen = false;
  onDialog<frmSavePic>(
      [&](frmSavePic* dialog) {
        dialog->setDirPath(folder);
        dialog->Combo1->setCurrentIndex(4);  // PNG
        QCOMPARE(dialog->txtFilename->text(), QStringLiteral("a.png"));
        typeInto(dialog->txtFilename, QStringLiteral("b.png"));
        QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
        stayedOpen = dialog->isVisible();
        typeInto(dialog->txtFilename, QStringLiteral("c.png"));
        QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
      },
      &reached);
  findAction(viewer, QStringLiteral("Sa&ve Image As..."))->trigger();
  QVERIFY(reached);
  QVERIFY(stayedOpen);

  QCOMPARE(dialogs.messages().size(), 1);
  QCOMPARE(dialogs.messages().first().title, QStringLiteral("Save Error!"));
  QCOMPARE(dialogs.lastText(),
           QStringLiteral("Another picture in the catalogue is already named ") + b +
               QStringLiteral(".\rNothing was saved; choose another name or "
                              "folder."));
  QCOMPARE(readBytes(b), before.value(QStringLiteral("b.png")));
  QCOMPARE(readBytes(a), before.value(QStringLiteral("a.jpg")));
  QCOMPARE(QImage(folder + QStringLiteral("/c.png")).size(), QSize(80, 60));
  QCOMPARE(storedRowCount(env.catalogue()), 2);  // c.png is not catalogued
  QCOMPARE(storedValue(env.catalogue(), b, QStringLiteral("Width")).toInt(), 50);
  QCOMPARE(storedValue(env.catalogue(), b, QStringLiteral("Filesize")).toLongLong(),
           qint64(before.value(QStringLiteral("b.png")).size()));
}

// A damaged catalogue is named in plain words when the viewer opens it, with the way to repair
// it; its pictures are shown, and neither rating, moving on, nor closing writes into it.
void tst_ViewerSafety::damagedCatalogueIsShownButNeverWritten() {
  TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;
  const QString folder = env.folder(QStringLiteral("pics"));
  const QString a = folder + QStringLiteral("/a.png");
  const QString b = folder + QStringLiteral("/b.png");
  QVERIFY(writePicture(a, 60, 40, "PNG"));
  QVERIFY(writePicture(b, 30, 20, "PNG"));
  QVERIFY(writeCatalogue(env.catalogue(),
                         {{a},
                          {b, QString(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
                           QVariant(), QStringLiteral("Missing")}}));
  QVERIFY(damageSpareTable(env.catalogue()));
  const QByteArray before = readBytes(env.catalogue());

  // The check runs beside the viewer: the first picture does not wait for its verdict, and
  // the damage is told when the verdict comes.
  CheckHold hold;
  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  QCOMPARE(viewer->Photo1()->fileName(), a);
  QCoreApplication::processEvents();  // the check starts, and is held
  QCOMPARE(viewer->dtaTest().database().integrity(), catalogue::Database::Integrity::Pending);
  QCOMPARE(dialogs.messages().size(), 0);
  hold.release();
  viewer->dtaTest().settleDamageCheck();
  QCOMPARE(dialogs.messages().size(), 1);
  QCOMPARE(dialogs.lastText(),
           catalogue::describeError(catalogue::DbError::Damaged, env.catalogue()) +
               QStringLiteral("\rThe pictures can still be viewed, but ratings, themes and other "
                              "changes are not stored until it is repaired."));
  QVERIFY(dialogs.lastText().contains(QStringLiteral("Repair and compact the database")));
  QCOMPARE(viewer->Photo1()->fileName(), a);
  QCOMPARE(viewer->txtWidth()->text(), QStringLiteral("60"));

  typeInto(viewer->txtOverallRating(), QStringLiteral("4"));
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(viewer->txtImagePath()->text(), b);
  viewer->navigate(viewer::NavCommand::Previous);
  QCOMPARE(dialogs.messages().size(), 1);  // said once
  viewer->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  QCOMPARE(readBytes(env.catalogue()), before);  // not the rating, not the "Missing" removal
  QVERIFY(!QFileInfo::exists(env.catalogue() + QStringLiteral("-wal")) ||
          QFileInfo(env.catalogue() + QStringLiteral("-wal")).size() == 0);
}

// An intact catalogue: "View All" shows the first picture while the check still runs, says
// nothing, and the row written on moving on is stored once the verdict is in.
void tst_ViewerSafety::firstPictureComesBeforeTheDamageVerdict() {
  TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;
  const QString folder = env.folder(QStringLiteral("pics"));
  const QString a = folder + QStringLiteral("/a.png");
  const QString b = folder + QStringLiteral("/b.png");
  QVERIFY(writePicture(a, 60, 40, "PNG"));
  QVERIFY(writePicture(b, 30, 20, "PNG"));
  QVERIFY(writeCatalogue(env.catalogue(), {{a}, {b}}));

  CheckHold hold;
  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  QCOMPARE(viewer->Photo1()->fileName(), a);
  QCOMPARE(viewer->txtWidth()->text(), QStringLiteral("60"));
  QCoreApplication::processEvents();  // the check starts, and is held
  QCOMPARE(viewer->dtaTest().database().integrity(), catalogue::Database::Integrity::Pending);
  QCOMPARE(viewer->Photo1()->fileName(), a);

  hold.release();
  viewer->navigate(viewer::NavCommand::Next);  // leaving the row writes it
  QCOMPARE(viewer->Photo1()->fileName(), b);
  QCOMPARE(viewer->dtaTest().database().integrity(), catalogue::Database::Integrity::Intact);
  QCoreApplication::processEvents();
  QVERIFY(!viewer->dtaTest().damaged());
  QCOMPARE(dialogs.messages().size(), 0);
  QCOMPARE(storedValue(env.catalogue(), a, QStringLiteral("Width")).toInt(), 60);
}

void tst_ViewerSafety::refusedSaveAsIsKeepsTheEditsAndTheRow_data() {
  QTest::addColumn<QString>("cause");
  QTest::newRow("disk full") << "full";
  QTest::newRow("folder gone") << "gone";
}

// Save As Is that the engine refuses: "Error saving image!", the picture stays altered (so
// leaving still asks), the file keeps its bytes and the row its size.
void tst_ViewerSafety::refusedSaveAsIsKeepsTheEditsAndTheRow() {
  QFETCH(QString, cause);
  TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;
  const QString folder = env.folder(QStringLiteral("pics"));
  const QString a = folder + QStringLiteral("/a.png");
  const QString b = env.folder(QStringLiteral("other")) + QStringLiteral("/b.png");
  QVERIFY(writePicture(a, 400, 200, "PNG"));
  QVERIFY(writePicture(b, 40, 40, "PNG"));
  QVERIFY(writeCatalogue(env.catalogue(), {{a}, {b}}));
  const QByteArray bytes = readBytes(a);
  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  viewer->navigate(viewer::NavCommand::Next);
  viewer->navigate(viewer::NavCommand::Previous);  // the row of a.png is written
  const QString storedSize = viewer->txtFileSize()->text();
  QCOMPARE(storedSize, QString::number(bytes.size()));

  findAction(viewer, QStringLiteral("Rotate 90\u00b0 &Left"))->trigger();
  QVERIFY(viewer->chkAltered()->isChecked());
  if (cause == QStringLiteral("full")) {
    const DiskFull full(512);
    QVERIFY(viewer->Form_KeyPress('s'));
  } else {
    // The picture's folder is taken away (another program moved it) and brought back after.
    QVERIFY(QDir().rename(folder, folder + QStringLiteral("-gone")));
    QVERIFY(viewer->Form_KeyPress('s'));
    QVERIFY(QDir().rename(folder + QStringLiteral("-gone"), folder));
  }
  QCOMPARE(dialogs.messages().size(), 1);
  QCOMPARE(dialogs.lastText(), QStringLiteral("Error saving image!"));
  QCOMPARE(dialogs.messages().last().title, QStringLiteral("Save Error!"));
  QCOMPARE(dialogs.messages().last().icon, MsgIcon::Exclamation);
  QVERIFY(viewer->chkAltered()->isChecked());
  QCOMPARE(readBytes(a), bytes);
  QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"a.png"});
  QCOMPARE(viewer->txtWidth()->text(), QStringLiteral("400"));

  // Leaving still asks; No keeps the file, and the row still describes it.
  dialogs.clear();
  dialogs.answer(MsgResult::No);
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(dialogs.lastText(), QStringLiteral("Save changes to this image?"));
  QCOMPARE(readBytes(a), bytes);
  QCOMPARE(storedValue(env.catalogue(), a, QStringLiteral("Width")).toInt(), 400);
  QCOMPARE(storedValue(env.catalogue(), a, QStringLiteral("Height")).toInt(), 200);
  QCOMPARE(storedValue(env.catalogue(), a, QStringLiteral("Filesize")).toString(), storedSize);
}

// The stock picture shown for a damaged file is never written: not over the damaged file by
// Save As Is, not over the stock picture by the prompt on leaving.
void tst_ViewerSafety::standInIsNeverSaved() {
  TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;
  const QString folder = env.folder(QStringLiteral("pics"));
  const QString bad = folder + QStringLiteral("/bad.jpg");
  const QString good = folder + QStringLiteral("/good.png");
  QVERIFY(writeBytes(bad, "damaged beyond reading"));
  QVERIFY(writePicture(good, 60, 40, "PNG"));
  QVERIFY(writeCatalogue(env.catalogue(), {{bad}, {good}}));
  const QString stock = env.programFolder() + QStringLiteral("DamagedImage.jpg");
  const QByteArray stockBytes = readBytes(stock);
  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  QCOMPARE(viewer->Photo1()->fileName(), stock);
  findAction(viewer, QStringLiteral("&Mirror"))->trigger();
  QVERIFY(viewer->Form_KeyPress('s'));
  QCOMPARE(dialogs.messages().size(), 1);
  QCOMPARE(dialogs.messages().first().title, QStringLiteral("Save Error!"));
  QCOMPARE(readBytes(bad), QByteArray("damaged beyond reading"));
  dialogs.clear();
  viewer->navigate(viewer::NavCommand::Next);
  QVERIFY(dialogs.messages().isEmpty());  // never offered for saving
  QCOMPARE(readBytes(stock), stockBytes);
  QCOMPARE(readBytes(bad), QByteArray("damaged beyond reading"));
}

// After Save As Is, the save on leaving, and Save As over its own file, the row's Filesize is
// the size of the file on disk, not of the file as it was loaded.
void tst_ViewerSafety::rowHoldsTheSizeOnDiskAfterASave() {
  TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;
  const QString folder = env.folder(QStringLiteral("pics"));
  const QString a = folder + QStringLiteral("/a.jpg");
  const QString b = folder + QStringLiteral("/b.jpg");
  QVERIFY(writePicture(a, 320, 240, "JPG"));
  QVERIFY(writePicture(b, 40, 30, "JPG"));
  QVERIFY(writeCatalogue(env.catalogue(), {{a}, {b}}));
  const qint64 loaded = QFileInfo(a).size();
  auto* viewer = forms::get<frmDBScreenTest>();
  QVERIFY2(viewer->Photo1(), "the imaging control could not be loaded");
  QCOMPARE(viewer->txtFileSize()->text(), QString::number(loaded));

  findAction(viewer, QStringLiteral("Rotate 90\u00b0 &Left"))->trigger();
  QVERIFY(viewer->Form_KeyPress('s'));
  QVERIFY(dialogs.messages().isEmpty());
  const qint64 saved = QFileInfo(a).size();
  QVERIFY(saved != loaded);  // the control writes its own JPEG
  QCOMPARE(viewer->txtFileSize()->text(), QString::number(saved));
  QCOMPARE(storedValue(env.catalogue(), a, QStringLiteral("Filesize")).toLongLong(), saved);
  QCOMPARE(storedValue(env.catalogue(), a, QStringLiteral("Width")).toInt(), 240);

  // The save when leaving an edited picture.
  findAction(viewer, QStringLiteral("&Sharpen"))->trigger();
  findAction(viewer, QStringLiteral("&Negative"))->trigger();
  dialogs.answer(MsgResult::Yes);
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(dialogs.lastText(), QStringLiteral("Save changes to this image?"));
  const qint64 leftWith = QFileInfo(a).size();
  QVERIFY(leftWith != saved);
  QCOMPARE(storedValue(env.catalogue(), a, QStringLiteral("Filesize")).toLongLong(), leftWith);
}

QTEST_MAIN(tst_ViewerSafety)
#include "tst_viewercontrol_safety.moc"
