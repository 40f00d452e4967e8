// The cataloguing screens driven through their handlers, with the scripted dialogs and real
// picture files in temporary folders.
#include <QtTest>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSemaphore>
#include <QTimer>
#include <QTreeView>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/forms.h"
#include "base/settings.h"
#include "catalogue/database.h"
#include "cataloguing/frmAddDirsToDB.h"
#include "cataloguing/frmDirDialog.h"
#include "cataloguing/frmScanDrive.h"
#include "cataloguing/frmSetupNew.h"
#include "cataloguing/frmSubPathsCaptions.h"
#include "cataloguing/frmWizard.h"
#include "cataloguing/treewalk.h"
#include "editing/folderpicker.h"
#include "shell/frmTutorial.h"
#include "support/testenv.h"

using namespace glim;
using Kind = ScriptedDialogs::Kind;

namespace {

template <class T>
T* topLevel() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) return t;
  return nullptr;
}

// Runs `act` on the dialog of type T once the caller's modal loop has shown it.
template <class T>
void whenShown(std::function<void(T*)> act) {
  QTimer::singleShot(0, [act] {
    if (T* dialog = topLevel<T>()) act(dialog);
  });
}

int scalar(const QString& sql, const QVariantList& params = {}) {
  auto db = catalogue::Database::open(appState().DatabasePath);
  return db.scalar(sql, params).toInt();
}

QString text(const QString& sql) {
  auto db = catalogue::Database::open(appState().DatabasePath);
  return db.scalar(sql).toString();
}

void waitForScan(frmScanDrive* scan) {
  if (!scan->busy()) return;
  QEventLoop loop;
  QObject::connect(scan, &frmScanDrive::workFinished, &loop, &QEventLoop::quit);
  loop.exec();
}

QStringList listed(QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

}  // namespace

class TestForms : public QObject {
  Q_OBJECT

 private slots:
  void init() { frmAddDirsToDB::forgetScannedFolders(); }
  void cleanup() {
    forms::closeAll();
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible()) w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QWidget* w : QApplication::topLevelWidgets())
      QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
  }

  void setupShowsAndStoresDefaultCaptions() {
    test::TestEnv env;
    ScriptedDialogs dialogs;
    frmSetupNew form;
    QCOMPARE(form.lstMainDirs()->count(), 7);
    QCOMPARE(form.lstMainDirs()->item(6)->text(), QStringLiteral("MainPath7"));
    QCOMPARE(settings::read(settings::kSettings, "MainPath1"), QStringLiteral("MainPath1"));
    QCOMPARE(form.Text1(15)->text(), QStringLiteral("Theme15"));
    QCOMPARE(form.txtRating(9)->text(), QStringLiteral("Rating9"));
    QCOMPARE(form.SSTab1()->currentIndex(), 0);
  }

  void imagesFolderUpdateRunsOnce() {
    test::TestEnv env;
    ScriptedDialogs dialogs;
    const QString images = env.programFolder() + "images/";
    { frmSetupNew first; }
    QCOMPARE(scalar("SELECT COUNT(*) FROM SetupNew WHERE SubPathPath = ?", {images}), 64);
    auto db = catalogue::Database::open(env.catalogue());
    QVERIFY(db.execute("UPDATE SetupNew SET SubPathPath = 'None' WHERE IDP = 3"));
    frmSetupNew second;
    QCOMPARE(text("SELECT SubPathPath FROM SetupNew WHERE IDP = 3"), QStringLiteral("None"));
    second.lstMainDirs()->setCurrentRow(0);
    second.lstMainDirs_Click();
    second.lstSubDirs()->setCurrentRow(1);
    second.lstSubDirs_Click();
    QCOMPARE(second.lblPath()->text(), images);
  }

  void renameKeepsSubFoldersAndRefusesDuplicates() {
    test::TestEnv env;
    ScriptedDialogs dialogs;
    frmSetupNew form;
    form.cmdChangeMainCaption_Click();
    QCOMPARE(dialogs.lastText(), QStringLiteral("You must select an item from the list."));

    form.lstMainDirs()->setCurrentRow(1);
    form.lstMainDirs_Click();
    QVERIFY(form.cmdChangeMainCaption()->isEnabled());
    dialogs.answerInput(QStringLiteral("MainPath3"));
    form.cmdChangeMainCaption_Click();
    QCOMPARE(dialogs.calls().last().title, QStringLiteral("Duplicate Caption"));
    QCOMPARE(settings::read(settings::kSettings, "MainPath2"), QStringLiteral("MainPath2"));

    dialogs.answerInput(QStringLiteral("Family & O'Neil"));
    form.cmdChangeMainCaption_Click();
    QCOMPARE(form.lstMainDirs()->item(1)->text(), QStringLiteral("Family & O'Neil"));
    QCOMPARE(settings::read(settings::kSettings, "MainPath2"), QStringLiteral("Family & O'Neil"));
    QCOMPARE(form.lstSubDirs()->count(), 9);
    QCOMPARE(scalar("SELECT COUNT(*) FROM SetupNew WHERE MainPathCaption = ?",
                    {QStringLiteral("Family & O'Neil")}),
             9);

    dialogs.answerInput(QStringLiteral("Family & O'Neil"));  // its own caption again
    form.cmdChangeMainCaption_Click();
    QCOMPARE(dialogs.calls().last().kind, Kind::Input);
    dialogs.answerInput(std::nullopt);  // cancel changes nothing
    form.cmdChangeMainCaption_Click();
    QCOMPARE(form.lstMainDirs()->item(1)->text(), QStringLiteral("Family & O'Neil"));
  }

  // A damaged catalogue: the set-up says so when it opens, with the way to repair it, and
  // writes neither a caption nor a path into it (nor the captions into the settings, which
  // would part them from the catalogue's rows).
  void setupNeverWritesADamagedCatalogue() {
    test::TestEnv env;
    ScriptedDialogs dialogs;
    { frmSetupNew first; }  // the paths of an intact catalogue are set once
    QVERIFY(test::damageSpareTable(env.catalogue()));
    const QByteArray before = test::readBytes(env.catalogue());
    const QString damaged =
        catalogue::describeError(catalogue::DbError::Damaged, env.catalogue()) +
        QStringLiteral("\rThe folder captions and paths cannot be changed until it is repaired.");
    {
      frmSetupNew form;
      QCOMPARE(dialogs.messages().size(), 1);
      QCOMPARE(dialogs.lastText(), damaged);
      form.lstMainDirs()->setCurrentRow(1);
      form.lstMainDirs_Click();
      QCOMPARE(form.lstSubDirs()->count(), 9);  // still read
      dialogs.answerInput(QStringLiteral("Holidays"));
      form.cmdChangeMainCaption_Click();
      QCOMPARE(dialogs.lastText(), damaged);
      QCOMPARE(settings::read(settings::kSettings, "MainPath2"), QStringLiteral("MainPath2"));
      form.lstSubDirs()->setCurrentRow(4);
      form.lstSubDirs_Click();
      bool asked = false;
      whenShown<frmSubPathsCaptions>([&](frmSubPathsCaptions* d) {
        asked = true;
        d->cmdCancel_Click();
      });
      form.cmdChangeSubSettings_Click();
      QCoreApplication::processEvents();  // the look for the dialog finds none
      QVERIFY(!asked);
      QCOMPARE(dialogs.messages().size(), 3);
      form.close();
    }
    QCOMPARE(test::readBytes(env.catalogue()), before);
  }

  void unknownCaptionResetsTheSetup() {
    test::TestEnv env;
    ScriptedDialogs dialogs;
    settings::write(settings::kSettings, "MainPath4", "Lost");
    frmSetupNew form;
    form.lstMainDirs()->setCurrentRow(3);
    form.lstMainDirs_Click();
    QCOMPARE(form.lstMainDirs()->item(3)->text(), QStringLiteral("MainPath4"));
    QCOMPARE(settings::read(settings::kSettings, "MainPath4"), QStringLiteral("MainPath4"));
    QCOMPARE(form.lstSubDirs()->count(), 0);
  }

  void editSubFolder_data() {
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK stores") << true;
    QTest::newRow("Cancel discards") << false;
  }
  void editSubFolder() {
    QFETCH(bool, ok);
    test::TestEnv env;
    ScriptedDialogs dialogs;
    const QString target = env.folder("sorted/beach") + '/';
    frmSetupNew form;
    form.lstMainDirs()->setCurrentRow(2);
    form.lstMainDirs_Click();
    form.lstSubDirs()->setCurrentRow(4);
    form.lstSubDirs_Click();
    const QString before = form.lblPath()->text();
    whenShown<frmSubPathsCaptions>([&](frmSubPathsCaptions* d) {
      QCOMPARE(d->lblMainCaption()->text(), QStringLiteral("MainPath3"));
      QCOMPARE(d->txtSubDirs()->text(), QStringLiteral("SubPath5"));
      d->txtSubDirs()->setText(QStringLiteral("Beach"));
      d->txtSubDirPath()->setText(target);
      ok ? d->cmdOK_Click() : d->cmdCancel_Click();
    });
    form.cmdChangeSubSettings_Click();
    QCOMPARE(form.lstSubDirs()->currentRow(), 4);
    QCOMPARE(form.lstSubDirs()->item(4)->text(), ok ? QStringLiteral("Beach") : "SubPath5");
    QCOMPARE(form.lblPath()->text(), ok ? target : before);
    QCOMPARE(text("SELECT SubPathPath FROM SetupNew WHERE IDP = 23"), ok ? target : before);
  }

  void folderDialogOkAndCancel() {
    test::TestEnv env;
    const QString start = env.folder("start") + '/';
    const QString other = env.folder("start/other") + '/';
    test::writePicture(other + "p.jpg", 4, 4);
    frmDirDialog dialog;
    dialog.startAt(start);
    QCOMPARE(dialog.Label1()->text(), start);
    dialog.folders()->setPath(other);
    QCOMPARE(dialog.Label1()->text(), other);
    QCOMPARE(dialog.File1()->count(), 1);
    dialog.cmdCancel_Click();
    QCOMPARE(dialog.chosenPath(), start);
    frmDirDialog second;
    second.startAt(start);
    second.folders()->setPath(other);
    second.cmdOK_Click();
    QCOMPARE(second.chosenPath(), other);
  }

  // A folder deep in a long list is opened up to and scrolled into view, even though the
  // folders above it are read in the background.
  void folderPickerShowsTheChosenFolder() {
    test::TestEnv env;
    const QString root = env.folder("many");
    for (int i = 0; i < 80; ++i) QDir(root).mkpath(QStringLiteral("f%1").arg(i, 2, 10, QChar('0')));
    const QString deep = root + QStringLiteral("/f77/inner/deepest");
    QVERIFY(QDir().mkpath(deep));
    editing::FolderPicker picker;
    picker.resize(300, 240);
    picker.setPath(deep);  // as the dialogs do, before they are shown
    picker.show();
    QCOMPARE(picker.path(), deep + '/');
    QTreeView* tree = picker.Dir1();
    auto shown = [tree] {
      const QRect row = tree->visualRect(tree->currentIndex());
      return row.isValid() && tree->viewport()->rect().contains(row.center());
    };
    QTRY_VERIFY(shown());
    QCOMPARE(tree->model()->data(tree->currentIndex()).toString(), QStringLiteral("deepest"));
  }

  void doneStoresNamesAndOffersAdding() {
    test::TestEnv env;
    ScriptedDialogs dialogs;
    auto* form = forms::get<frmSetupNew>();
    form->Text1(1)->setText(QStringLiteral("Beaches"));
    form->txtRating(2)->setText(QStringLiteral("Sharpness"));
    dialogs.answer(MsgResult::Yes);
    form->cmdOK_Click();
    QCOMPARE(settings::read(settings::kClassifications, "Class1"), QStringLiteral("Beaches"));
    QCOMPARE(settings::read(settings::kRatings, "Rating2"), QStringLiteral("Sharpness"));
    QCOMPARE(settings::read(settings::kSettings, "FormsRunStat"), QStringLiteral("1"));
    QCOMPARE(dialogs.calls().last().title, QStringLiteral("Continue to Image Adding Screen?"));
    QVERIFY(forms::find<frmAddDirsToDB>());
    // Once set up, Done asks nothing.
    dialogs.clear();
    frmSetupNew again;
    again.cmdOK_Click();
    QCOMPARE(dialogs.count(Kind::Message), 0);
  }

  void wizardAppliesAPreset() {
    test::TestEnv env;
    ScriptedDialogs dialogs;
    auto* setup = forms::get<frmSetupNew>();
    setup->show();
    setup->cmdPresetCaptions_Click();
    auto* wizard = topLevel<frmWizard>();
    QVERIFY(wizard);
    QVERIFY(!setup->isVisible());
    QVERIFY(wizard->Combo1()->count() >= 5);
    wizard->Combo1()->setCurrentText(QStringLiteral("Travel"));
    QPointer<frmWizard> guard(wizard);
    wizard->Command1_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!guard);
    QVERIFY(setup->isVisible());
    QCOMPARE(setup->Text1(1)->text(), QStringLiteral("Landmarks"));
    QCOMPARE(setup->txtRating(9)->text(), QStringLiteral("Print Worthy"));
    QCOMPARE(setup->lblMessage()->text(), QStringLiteral("No"));
    QVERIFY(dialogs.lastText().startsWith(QStringLiteral("Presets have been applied!")));
  }

  void wizardWithoutSets_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("binary") << QByteArray("\x01\x00\xff\xfe,,\n\x7f", 8);
    QTest::newRow("no count") << QByteArray("TITLE,Travel\nTheme1,x\n");
  }
  void wizardWithoutSets() {
    QFETCH(QByteArray, content);
    test::TestEnv env;
    ScriptedDialogs dialogs;
    QVERIFY(test::writeBytes(env.programFolder() + "User/wiz.txt", content));
    auto* setup = forms::get<frmSetupNew>();
    setup->show();
    setup->cmdPresetCaptions_Click();
    QCOMPARE(dialogs.lastText(),
             QStringLiteral("There was no wizard files found.  Press OK to continue..."));
    QVERIFY(!topLevel<frmWizard>());
    QVERIFY(setup->isVisible());
    QCOMPARE(setup->Text1(1)->text(), QStringLiteral("Theme1"));
  }

  void wizardShortSetReportsErrors() {
    test::TestEnv env;
    ScriptedDialogs dialogs;
    QVERIFY(test::writeBytes(env.programFolder() + "User/wiz.txt",
                             "Sets,1\nTITLE,Short\nT1,Alpha\nT2,Beta\n"));
    auto* setup = forms::get<frmSetupNew>();
    setup->cmdPresetCaptions_Click();
    auto* wizard = topLevel<frmWizard>();
    QVERIFY(wizard);
    wizard->Command1_Click();
    QCOMPARE(setup->Text1(2)->text(), QStringLiteral("Beta"));
    QCOMPARE(setup->Text1(3)->text(), QStringLiteral("Theme3"));
    QVERIFY(!dialogs.messages().isEmpty());
    QCOMPARE(dialogs.messages().first().text, QStringLiteral("There were errors!"));
  }

  void wizardCancelReturnsToSetup() {
    test::TestEnv env;
    ScriptedDialogs dialogs;
    auto* setup = forms::get<frmSetupNew>();
    setup->show();
    setup->cmdPresetCaptions_Click();
    topLevel<frmWizard>()->cmdCancel_Click();
    QVERIFY(setup->isVisible());
    QVERIFY(!topLevel<frmWizard>());
    QCOMPARE(setup->Text1(1)->text(), QStringLiteral("Theme1"));
  }

  void addCounts_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("addFirst");
    QTest::addColumn<QString>("message");
    const QStringList three{"a.jpg", "B.PNG", "it's é.gif"};
    QTest::newRow("all new") << three << false
                             << "3 files were added to the database.\r0 files were already "
                                "listed in the database.";
    QTest::newRow("all known") << three << true
                               << "0 files were added to the database.\r3 files were already "
                                  "listed in the database.";
    QTest::newRow("no matching files") << QStringList{"notes.txt", "x.bmp"} << false
                                       << "0 files were added to the database.\r0 files were "
                                          "already listed in the database.";
  }
  void addCounts() {
    QFETCH(QStringList, files);
    QFETCH(bool, addFirst);
    QFETCH(QString, message);
    test::TestEnv env;
    ScriptedDialogs dialogs;
    const QString folder = env.folder("photos") + '/';
    for (const QString& f : files) QVERIFY(test::writePicture(folder + f, 10, 8));
    auto* form = forms::get<frmAddDirsToDB>();
    form->chooseFolder(folder);
    QCOMPARE(form->txtCurrentPathname()->text(), folder);
    if (addFirst) {
      form->cmdAddFiles_Click();
      frmAddDirsToDB::forgetScannedFolders();
      dialogs.clear();
    }
    form->cmdAddFiles_Click();
    QCOMPARE(dialogs.lastText(), message);
    QVERIFY(form->cmdAddFiles()->isEnabled());
  }

  void addWritesRowsAndProgress() {
    test::TestEnv env;
    ScriptedDialogs dialogs;
    const QString folder = env.folder("trip") + '/';
    for (const char* f : {"1.jpg", "2.jpg", "3.PNG", "skip.bmp"})
      QVERIFY(test::writePicture(folder + f, 12, 12, "PNG"));
    auto* form = forms::get<frmAddDirsToDB>();
    const qint32 firstId = form->nextIdNumber();
    form->chooseFolder(folder);
    form->lblTheme()->setText(QStringLiteral("Travel"));
    form->txtTheme()->setText(QStringLiteral("4"));
    form->cmdAddFiles_Click();
    QCOMPARE(scalar("SELECT COUNT(*) FROM tbl1 WHERE Class1 = 4"), 3);
    QCOMPARE(scalar("SELECT MAX(IDNumber) FROM tbl1"), firstId + 2);
    QCOMPARE(form->nextIdNumber(), firstId + 3);
    QCOMPARE(settings::read(settings::kSettings, "FormsRunStat"), QStringLiteral("2"));
    QCOMPARE(text("SELECT Extension FROM tbl1 WHERE Pathname LIKE '%3.PNG'"),
             QStringLiteral("png"));
    // The types: BMP ticked lists the fourth file too; nothing ticked lists nothing.
    form->typeBox("bmp")->setChecked(true);
    form->typeBox_Click();
    QCOMPARE(form->File1()->count(), 4);
    QCOMPARE(form->pattern(), QStringLiteral("*.jpg;*.gif;*.bmp;*.pic;*.png"));
    for (const QString t : {"jpg", "gif", "bmp", "pic", "png"}) form->typeBox(t)->setChecked(false);
    form->typeBox_Click();
    QCOMPARE(form->File1()->count(), 0);
    // The newer formats have boxes after the classic ten; the stored extension is still the
    // name's last three characters.
    for (const char* f : {"phone.heic", "phone2.HEIF", "web.webp", "cam.nef"})
      QVERIFY(test::writePicture(folder + f, 12, 12, "PNG"));
    for (const QString t : {"heic", "webp", "raw"}) form->typeBox(t)->setChecked(true);
    form->typeBox_Click();
    QCOMPARE(form->File1()->count(), 4);
    form->cmdAddFiles_Click();
    QCOMPARE(text("SELECT Extension FROM tbl1 WHERE Pathname LIKE '%phone.heic'"),
             QStringLiteral("eic"));
    QCOMPARE(text("SELECT Extension FROM tbl1 WHERE Pathname LIKE '%web.webp'"),
             QStringLiteral("ebp"));
    QCOMPARE(scalar("SELECT COUNT(*) FROM tbl1 WHERE Extension = 'nef'"), 1);
    // Leaving after an add that stored rows asks nothing.
    dialogs.clear();
    form->cmdOK_Click();
    QCOMPARE(dialogs.count(Kind::Message), 0);
  }

  void rescanQuestion_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("rows");
    QTest::newRow("No keeps the catalogue") << int(MsgResult::No) << 1;
    QTest::newRow("Yes rescans") << int(MsgResult::Yes) << 2;
  }
  void rescanQuestion() {
    QFETCH(int, answer);
    QFETCH(int, rows);
    test::TestEnv env;
    ScriptedDialogs dialogs;
    const QString folder = env.folder("again") + '/';
    QVERIFY(test::writePicture(folder + "1.jpg", 8, 8));
    auto* form = forms::get<frmAddDirsToDB>();
    form->chooseFolder(folder);
    form->cmdAddFiles_Click();
    QVERIFY(test::writePicture(folder + "2.jpg", 8, 8));
    form->chooseFolder(folder);
    dialogs.clear();
    dialogs.answer(MsgResult(answer));
    form->cmdAddFiles_Click();
    QCOMPARE(dialogs.messages().first().title, QStringLiteral("Folder already scanned"));
    QCOMPARE(scalar("SELECT COUNT(*) FROM tbl1 WHERE Pathname LIKE ?", {folder + "%"}), rows);
    QCOMPARE(frmAddDirsToDB::scannedFolders().count(folder), 1);
  }

  void removeFilesRemovesExactlyThose() {
    test::TestEnv env;
    ScriptedDialogs dialogs;
    const QString keep = env.folder("keep") + '/';
    const QString drop = env.folder("drop") + '/';
    QVERIFY(test::writePicture(keep + "k.jpg", 8, 8));
    for (const char* f : {"O'Brien.jpg", "two  spaces.jpg"})
      QVERIFY(test::writePicture(drop + f, 8, 8));
    auto* form = forms::get<frmAddDirsToDB>();
    for (const QString& folder : {keep, drop}) {
      form->chooseFolder(folder);
      form->cmdAddFiles_Click();
    }
    const int before = scalar("SELECT COUNT(*) FROM tbl1");
    dialogs.clear();
    form->cmdRemoveDir_Click();
    QCOMPARE(dialogs.count(Kind::Message), 0);
    QCOMPARE(scalar("SELECT COUNT(*) FROM tbl1"), before - 2);
    QCOMPARE(scalar("SELECT COUNT(*) FROM tbl1 WHERE Pathname = ?", {keep + "k.jpg"}), 1);
    form->cmdRemoveDir_Click();  // nothing catalogued there any more: no change, no message
    QCOMPARE(scalar("SELECT COUNT(*) FROM tbl1"), before - 2);
    QCOMPARE(dialogs.count(Kind::Message), 0);
  }

  void exitQuestionWithoutAdding() {
    test::TestEnv env;
    ScriptedDialogs dialogs;
    QPointer<frmAddDirsToDB> form = forms::get<frmAddDirsToDB>();
    form->show();
    dialogs.answer(MsgResult::No);
    form->cmdOK_Click();
    QCOMPARE(dialogs.calls().last().title, QStringLiteral("Exit this screen?"));
    QVERIFY(form->isVisible());
    dialogs.answer(MsgResult::Yes);
    form->cmdOK_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!form);
  }

  void scanFindsAndAdds() {
    test::TestEnv env;
    ScriptedDialogs dialogs;
    const QString root = env.folder("disk") + '/';
    for (const char* d : {"a/b", ".thumbs", "c"}) QDir(root).mkpath(d);
    for (const char* f : {"top.jpg", "a/b/deep.JPG", ".thumbs/t.jpg", "c/x.png", "c/y.jpg"})
      QVERIFY(test::writePicture(root + f, 6, 6));
    auto db = catalogue::Database::open(env.catalogue());
    QVERIFY(db.execute("INSERT INTO tbl1 (IDNumber, Pathname) VALUES (7, ?)", {root + "c/y.jpg"}));
    auto* scan = forms::get<frmScanDrive>();
    scan->show();
    scan->setSearchRoots({root});
    scan->findItem("*.jpg")->trigger();
    QCOMPARE(dialogs.messages().first().title, QStringLiteral("Search"));
    waitForScan(scan);
    QCOMPARE(listed(scan->List1()),
             QStringList({root + "top.jpg", root + "a/b/deep.JPG", root + "c/y.jpg"}));
    QCOMPARE(scan->Picture1()->text(), "Find File(s): 3 items found matching \"*.jpg\"");
    QCOMPARE(dialogs.count(Kind::Beep), 1);

    dialogs.clear();
    dialogs.answer(MsgResult::OK);
    dialogs.answer(MsgResult::Yes);
    scan->cmdAddToDBandExit_Click();
    QCOMPARE(dialogs.messages().at(0).text,
             QStringLiteral("2 files were added to the database.\r1 files were already listed "
                            "in the database."));
    QCOMPARE(dialogs.messages().at(1).title, QStringLiteral("Continue?"));
    QCOMPARE(scan->List1()->count(), 0);
    QCOMPARE(scalar("SELECT MAX(IDNumber) FROM tbl1"), 9);
    QCOMPARE(scalar("SELECT COUNT(*) FROM tbl1 WHERE Class1 = 0 AND NewFile = 1"), 3);
  }

  // A stop during the walk keeps the entries found so far, and they can be added.
  void scanStopKeepsPartialList() {
    test::TestEnv env;
    ScriptedDialogs dialogs;
    const QString root = env.folder("big") + '/';
    for (int d = 0; d < 60; ++d) {
      const QString folder = QStringLiteral("%1%2/").arg(root).arg(d, 2, 10, QChar('0'));
      QDir().mkpath(folder);
      for (int f = 0; f < 3; ++f)
        QVERIFY(test::writeBytes(folder + QString::number(f) + ".jpg", "x"));
    }
    auto* scan = forms::get<frmScanDrive>();
    scan->show();
    scan->setSearchRoots({root});
    // The walk (in sorted order) waits at folder "30" until Escape has been pressed: folders
    // 00 to 29 are searched, and the stop must keep the walk from going further.
    QSemaphore reached;
    QSemaphore escaped;
    cataloguing::setFolderGate([&reached, &escaped, root](const QString& folder) {
      if (folder != root + "30/") return;
      reached.release();
      escaped.acquire();
    });
    scan->findFiles("*.jpg");
    QVERIFY(scan->busy());
    reached.acquire();
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(scan, &esc);
    escaped.release();
    scan->cmdCancel_Click();  // closing is refused while busy
    QVERIFY(scan->isVisible());
    waitForScan(scan);
    const int partial = scan->List1()->count();
    QCOMPARE(qint64(partial), scan->lastResult().matches);
    cataloguing::setFolderGate({});
    QVERIFY(scan->lastResult().stopped);
    QCOMPARE(partial, 90);
    dialogs.clear();
    dialogs.answer(MsgResult::OK);
    dialogs.answer(MsgResult::No);
    scan->cmdAddToDBandExit_Click();
    QCOMPARE(scalar("SELECT COUNT(*) FROM tbl1 WHERE Pathname LIKE ?", {root + "%"}), partial);
  }

  void folderInfo_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("title");
    QTest::newRow("counts") << "{root}"
                            << "Folder Info for: {root}";
    QTest::newRow("relative path") << "disk"
                                   << "Path is invalid";
    QTest::newRow("missing folder") << "/no/such/folder"
                                    << "Path is invalid";
  }
  void folderInfo() {
    QFETCH(QString, answer);
    QFETCH(QString, title);
    test::TestEnv env;
    ScriptedDialogs dialogs;
    const QString root = env.folder("info");
    for (const char* d : {"x/y", ".hidden"}) QDir(root).mkpath(d);
    for (const char* f : {"1.jpg", "x/2.txt", "x/y/3", ".hidden/4"})
      test::writeBytes(root + '/' + f, "x");
    answer.replace("{root}", root);
    title.replace("{root}", root);
    auto* scan = forms::get<frmScanDrive>();
    dialogs.answerInput(answer);
    scan->mnuFolderInfo_Click();
    waitForScan(scan);
    QCOMPARE(dialogs.calls().last().title, title);
    if (title.startsWith("Folder Info"))
      QCOMPARE(dialogs.lastText(), QStringLiteral("Total folders: \t2\r\nTotal files: \t3"));
    else
      QCOMPARE(dialogs.lastText(), answer);
    QCOMPARE(scan->mnuFolderInfo()->text(), QStringLiteral("&Folder Info..."));
  }

  void tutorialButtonsClose() {
    test::TestEnv env;
    for (bool begin : {true, false}) {
      QPointer<frmTutorial> tutorial = new frmTutorial;
      tutorial->setAttribute(Qt::WA_DeleteOnClose);
      tutorial->show();
      QCOMPARE(tutorial->windowTitle(), QStringLiteral("Glimmora 2000 Tutorial"));
      begin ? tutorial->cmdShowTutorial_Click() : tutorial->cmdCancel_Click();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      QVERIFY(!tutorial);
    }
  }
};

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
