// The picture file commands: the wipe's overwrite, the trash, rename and move without losing a
// file, the backup's free name, and the viewer's buttons, menus and confirmations on real
// files in temporary folders.
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/forms.h"
#include "catalogue/database.h"
#include "support/testenv.h"
#include "viewer/fileops.h"
#include "viewer/frmDBScreenTest.h"
#include "viewer/frmMoveNotify.h"
#include "viewer_helpers.h"

using namespace glim;
using namespace glim::test;
namespace fileops = glim::viewer::fileops;

class tst_FileOps : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void wipeLeavesWholeBlocksOfBlanks_data();
  void wipeLeavesWholeBlocksOfBlanks();
  void wipeOfAFolderChangesNothing();
  void renamedPath_data();
  void renamedPath();
  void moveKeepsFilesOnFailure();
  void moveHandlesQuotesAndNonAscii();
  void backupFindsTheFirstFreeName();
  void recycleGoesToTheTrash();

  void deleteAndWipeFollowConfirmDeletes_data();
  void deleteAndWipeFollowConfirmDeletes();
  void spaceOnFocusedDeleteDoesNothing();
  void moveIntoSlot63AndOntoItself();
  void renameOverAnExistingFileAsksFirst();
  void backupFromTheViewer();
  void deleteMissingPicsPurgesTheRows();
  void moveToAnotherVolume();
  void backupWhenEveryNameIsTaken();
  void failedCommandsKeepTheFileAndTheRow();
  void renameToQuotesAndNonAscii();
  void deleteAndWipeInAReadOnlyFolder();

 private:
  std::unique_ptr<TestEnv> env_;
  std::unique_ptr<ScriptedDialogs> dialogs_;

  QString picture(const QString& name, const char* format = "PNG");
  frmDBScreenTest* openViewer(const QStringList& paths);
  static QPushButton* button(frmDBScreenTest* viewer, const char* name) {
    return viewer->findChild<QPushButton*>(QLatin1String(name));
  }
  static QAction* action(frmDBScreenTest* viewer, const QString& name) {
    return viewer->findChild<QAction*>(name);
  }
};

void tst_FileOps::init() {
  env_ = std::make_unique<TestEnv>();
  dialogs_ = std::make_unique<ScriptedDialogs>();
  useQtPhotos();
}

void tst_FileOps::cleanup() {
  fileops::setWipeObserver({});
  while (auto* notice = forms::find<viewer::frmMoveNotify>()) delete notice;
  while (auto* viewer = forms::find<frmDBScreenTest>()) {
    viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  dialogs_.reset();
  env_.reset();
}

QString tst_FileOps::picture(const QString& name, const char* format) {
  const QString path = env_->folder(QStringLiteral("pics")) + u'/' + name;
  if (!writePicture(path, 40, 30, format)) qWarning("cannot write %s", qPrintable(path));
  return path;
}

frmDBScreenTest* tst_FileOps::openViewer(const QStringList& paths) {
  QList<PictureRow> rows;
  for (const QString& path : paths) rows.append(PictureRow{path});
  if (!writeCatalogue(env_->catalogue(), rows)) qWarning("cannot write the catalogue");
  return forms::get<frmDBScreenTest>();
}

void tst_FileOps::wipeLeavesWholeBlocksOfBlanks_data() {
  QTest::addColumn<int>("size");
  QTest::addColumn<int>("blanks");
  QTest::newRow("empty") << 0 << 4096;
  QTest::newRow("one block") << 4096 << 8192;
  QTest::newRow("block and a bit") << 5000 << 8192;
  QTest::newRow("under a block") << 17 << 4096;
}

void tst_FileOps::wipeLeavesWholeBlocksOfBlanks() {
  QFETCH(int, size);
  QFETCH(int, blanks);
  const QString path = env_->folder(QStringLiteral("w")) + QStringLiteral("/p.jpg");
  QVERIFY(writeBytes(path, QByteArray(size, 'a')));
  QByteArray seen;
  fileops::setWipeObserver([&seen](const QString& wiped) { seen = readBytes(wiped); });
  QCOMPARE(fileops::wipeFile(path), QString());
  QCOMPARE(seen, QByteArray(blanks, ' '));
  QVERIFY(!QFileInfo::exists(path));
}

void tst_FileOps::wipeOfAFolderChangesNothing() {
  const QString folder = env_->folder(QStringLiteral("not-a-file.jpg"));
  QVERIFY(!fileops::wipeFile(folder).isEmpty());
  QVERIFY(QFileInfo(folder).isDir());
  QVERIFY(!fileops::wipeFile(folder + QStringLiteral("/gone.jpg")).isEmpty());
}

void tst_FileOps::renamedPath_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<QString>("answer");
  QTest::addColumn<QString>("expected");  // empty: refused
  QTest::newRow("plain") << "/p/a.jpg"
                         << "b"
                         << "/p/b.jpg";
  QTest::newRow("trimmed") << " /p/a.jpg "
                           << "  b c  "
                           << "/p/b c.jpg";
  QTest::newRow("four-letter extension") << "/p/a.jpeg"
                                         << "b"
                                         << "/p/b.jpeg";
  QTest::newRow("last dot only") << "/p/a.tar.tiff"
                                 << "b"
                                 << "/p/b.tiff";
  QTest::newRow("no extension") << "/p.d/readme"
                                << "b"
                                << "/p.d/b";
  QTest::newRow("hidden name") << "/p/.hidden"
                               << "b"
                               << "/p/b";
  QTest::newRow("non-ascii and quotes") << "/p/a.png"
                                        << "Zoë's \"best\""
                                        << "/p/Zoë's \"best\".png";
  QTest::newRow("empty") << "/p/a.jpg"
                         << "   "
                         << "";
  QTest::newRow("folder") << "/p/a.jpg"
                          << "../b"
                          << "";
}

void tst_FileOps::renamedPath() {
  QFETCH(QString, path);
  QFETCH(QString, answer);
  QFETCH(QString, expected);
  QCOMPARE(fileops::renamedPath(path, answer).value_or(QString()), expected);
}

void tst_FileOps::moveKeepsFilesOnFailure() {
  const QString a = picture(QStringLiteral("a.png"));
  const QString b = picture(QStringLiteral("b.png"));
  const QByteArray bytesA = readBytes(a);
  const QByteArray bytesB = readBytes(b);
  QCOMPARE(fileops::moveFile(a, a, false), QString());  // onto itself: nothing happens
  QCOMPARE(readBytes(a), bytesA);
  QVERIFY(!fileops::moveFile(a, b, false).isEmpty());  // no silent overwrite
  QVERIFY(
      !fileops::moveFile(a, env_->folder(QStringLiteral("x")) + "/no/such/a.png", false).isEmpty());
  QCOMPARE(readBytes(a), bytesA);
  QCOMPARE(readBytes(b), bytesB);
  QCOMPARE(fileops::moveFile(a, b, true), QString());
  QVERIFY(!QFileInfo::exists(a));
  QCOMPARE(readBytes(b), bytesA);
}

void tst_FileOps::moveHandlesQuotesAndNonAscii() {
  const QString a = picture(QStringLiteral("It's \"Ålesund\".png"));
  const QString to = env_->folder(QStringLiteral("été")) + QStringLiteral("/It's \"Ålesund\".png");
  const QByteArray bytes = readBytes(a);
  QCOMPARE(fileops::moveFile(a, to, false), QString());
  QCOMPARE(readBytes(to), bytes);
  QVERIFY(!fileops::fileExists(a));
}

void tst_FileOps::backupFindsTheFirstFreeName() {
  const QString folder = env_->folder(QStringLiteral("bk")) + u'/';
  QCOMPARE(*fileops::backupTarget(folder, QStringLiteral("a.jpg")), folder + "a.jpg");
  QVERIFY(writeBytes(folder + "a.jpg", "x"));
  QVERIFY(writeBytes(folder + "a1.jpg", "x"));
  QCOMPARE(*fileops::backupTarget(folder, QStringLiteral("a.jpg")), folder + "a2.jpg");
  // Four-letter extensions of the newer formats keep their dot.
  QVERIFY(writeBytes(folder + "b.heic", "x"));
  QCOMPARE(*fileops::backupTarget(folder, QStringLiteral("b.heic")), folder + "b1.heic");
  QVERIFY(writeBytes(folder + "c.webp", "x"));
  QCOMPARE(*fileops::backupTarget(folder, QStringLiteral("c.webp")), folder + "c1.webp");
}

void tst_FileOps::recycleGoesToTheTrash() {
  const QString a = picture(QStringLiteral("ré cycle.png"));
  const QByteArray bytes = readBytes(a);
  QCOMPARE(fileops::recycleFiles({a}), QString());
  QVERIFY(!QFileInfo::exists(a));
  QCOMPARE(readBytes(env_->dataFolder() + QStringLiteral("/Trash/files/ré cycle.png")), bytes);
}

void tst_FileOps::deleteAndWipeFollowConfirmDeletes_data() {
  QTest::addColumn<QByteArray>("command");
  QTest::addColumn<bool>("confirmDeletes");
  QTest::addColumn<int>("answer");
  QTest::addColumn<QString>("title");
  QTest::addColumn<bool>("removed");
  QTest::newRow("delete, yes") << QByteArray("cmdDelete") << true << int(MsgResult::Yes)
                               << "Delete This Image?" << true;
  QTest::newRow("delete, no") << QByteArray("cmdDelete") << true << int(MsgResult::No)
                              << "Delete This Image?" << false;
  QTest::newRow("delete, cancel") << QByteArray("cmdDelete") << true << int(MsgResult::Cancel)
                                  << "Delete This Image?" << false;
  QTest::newRow("delete, not asked") << QByteArray("cmdDelete") << false << 0 << "" << true;
  QTest::newRow("wipe, yes") << QByteArray("cmdWipe") << true << int(MsgResult::Yes)
                             << "Wipe This Image?" << true;
  QTest::newRow("wipe, no") << QByteArray("cmdWipe") << true << int(MsgResult::No)
                            << "Wipe This Image?" << false;
  QTest::newRow("wipe, not asked") << QByteArray("cmdWipe") << false << 0 << "" << true;
  QTest::newRow("recycle") << QByteArray("cmdRecycle") << true << 0 << "" << true;
  QTest::newRow("remove record") << QByteArray("cmdRemoveRecord") << true << 0 << "" << false;
}

void tst_FileOps::deleteAndWipeFollowConfirmDeletes() {
  QFETCH(QByteArray, command);
  QFETCH(bool, confirmDeletes);
  QFETCH(int, answer);
  QFETCH(QString, title);
  QFETCH(bool, removed);
  const QString a = picture(QStringLiteral("a.png"));
  const QString b = picture(QStringLiteral("b.png"));
  frmDBScreenTest* viewer = openViewer({a, b});
  appState().ConfirmDeletes = confirmDeletes;
  if (answer) dialogs_->answer(MsgResult(answer));
  viewer->armedButtons().armAndClick(button(viewer, command.constData()));
  QCOMPARE(dialogs_->messages().size(), title.isEmpty() ? 0 : 1);
  if (!title.isEmpty()) {
    QCOMPARE(dialogs_->messages().first().title, title);
    QCOMPARE(dialogs_->messages().first().buttons, MsgButtons::YesNoCancel);
  }
  QCOMPARE(QFileInfo::exists(a), !removed);
  const bool acted = removed || command == "cmdRemoveRecord";
  QCOMPARE(viewer->txtStatus()->text() == QStringLiteral("Missing"), acted);
  QCOMPARE(viewer->Photo1()->fileName().isEmpty(), acted);
  QVERIFY(!viewer->armedButtons().isArmed(button(viewer, command.constData())));
}

void tst_FileOps::spaceOnFocusedDeleteDoesNothing() {
  const QString a = picture(QStringLiteral("a.png"));
  const QString b = picture(QStringLiteral("b.png"));
  frmDBScreenTest* viewer = openViewer({a, b});
  appState().ConfirmDeletes = false;
  QPushButton* del = button(viewer, "cmdDelete");
  viewer->activateWindow();
  del->setFocus();
  QTest::keyClick(del, Qt::Key_Space);
  del->click();
  QVERIFY(QFileInfo::exists(a));
  QVERIFY(QFileInfo::exists(b));
  // The hot key acts on the picture shown.
  const QString shown = viewer->txtImagePath()->text();
  QVERIFY(viewer->hotkeys1('d'));
  QVERIFY(!QFileInfo::exists(shown));
}

void tst_FileOps::moveIntoSlot63AndOntoItself() {
  const QString target = env_->folder(QStringLiteral("dest 63")) + u'/';
  catalogue::Database db = catalogue::Database::open(env_->catalogue());
  QVERIFY(db.execute(QStringLiteral("UPDATE SetupNew SET SubPathPath = ?, SubPathCaption = ? "
                                    "WHERE IDP = 63;"),
                     {target, QStringLiteral("Last one")}));
  QVERIFY(db.execute(QStringLiteral("UPDATE SetupNew SET SubPathPath = ? WHERE IDP = 1;"),
                     {env_->folder(QStringLiteral("pics")) + u'/'}));
  db.close();
  const QString a = picture(QStringLiteral("a.png"));
  const QString b = picture(QStringLiteral("b.png"));
  frmDBScreenTest* viewer = openViewer({a, b});
  QAction* item = action(viewer, QStringLiteral("RCMenuMoveMD7SubDir_8"));
  QVERIFY(item);
  QCOMPARE(item->text(), QStringLiteral("Last one"));
  QCOMPARE(viewer->findChild<QMenu*>(QStringLiteral("RCMenuMoveMainDir7"))->title(),
           QStringLiteral("MainPath7"));

  action(viewer, QStringLiteral("RCMenuMoveMD1SubDir_0"))->trigger();  // its own folder
  QVERIFY(dialogs_->calls().isEmpty());
  QCOMPARE(viewer->txtImagePath()->text(), a);

  appState().MoveNoticeMode = 1;
  item->trigger();
  QVERIFY(!QFileInfo::exists(a));
  QVERIFY(QFileInfo::exists(target + "a.png"));
  QCOMPARE(viewer->txtImagePath()->text(), target + "a.png");
  QCOMPARE(storedValue(env_->catalogue(), target + "a.png", QStringLiteral("Pathname")).toString(),
           target + "a.png");
  QCOMPARE(dialogs_->count(ScriptedDialogs::Kind::Beep), 1);

  // A slot without a folder refuses and leaves everything.
  action(viewer, QStringLiteral("RCMenuMoveMD3SubDir_2"))->trigger();
  QCOMPARE(dialogs_->messages().size(), 1);
  QVERIFY(QFileInfo::exists(target + "a.png"));
}

void tst_FileOps::renameOverAnExistingFileAsksFirst() {
  const QString a = picture(QStringLiteral("a.png"));
  const QString b = picture(QStringLiteral("b.png"));
  const QString c = picture(QStringLiteral("c.png"));
  frmDBScreenTest* viewer = openViewer({a, b});
  const QByteArray bytesA = readBytes(a);
  QAction* rename = action(viewer, QStringLiteral("mnuRenameImage"));

  dialogs_->answerInput(QStringLiteral("c"));
  dialogs_->answer(MsgResult::No);
  rename->trigger();
  QCOMPARE(dialogs_->calls().at(0).title, QStringLiteral("Rename a.png"));
  QCOMPARE(dialogs_->calls().at(1).title, QStringLiteral("File Overwrite Notice"));
  QVERIFY(QFileInfo::exists(a));
  QCOMPARE(viewer->txtImagePath()->text(), a);

  for (const std::optional<QString>& nothing :
       {std::optional<QString>(), std::optional(QString())}) {
    dialogs_->clear();
    dialogs_->answerInput(nothing);
    rename->trigger();
    QCOMPARE(dialogs_->calls().size(), 1);
    QCOMPARE(viewer->txtImagePath()->text(), a);
  }

  dialogs_->clear();
  dialogs_->answerInput(QStringLiteral("c"));
  dialogs_->answer(MsgResult::Yes);
  rename->trigger();
  QVERIFY(!QFileInfo::exists(a));
  QCOMPARE(readBytes(c), bytesA);
  QCOMPARE(viewer->txtImagePath()->text(), c);
  QCOMPARE(storedValue(env_->catalogue(), c, QStringLiteral("Pathname")).toString(), c);

  // A name another row already holds is refused before any file is touched: no overwrite
  // question, both files keep their bytes, the row keeps its name.
  dialogs_->clear();
  dialogs_->answerInput(QStringLiteral("b"));
  dialogs_->answer(MsgResult::Yes);
  const QByteArray bytesB = readBytes(b);
  rename->trigger();
  QCOMPARE(dialogs_->messages().size(), 1);
  QCOMPARE(dialogs_->messages().first().title, QStringLiteral("Rename Failed"));
  QCOMPARE(viewer->txtImagePath()->text(), c);
  QCOMPARE(readBytes(c), bytesA);
  QCOMPARE(readBytes(b), bytesB);
  QCOMPARE(storedValue(env_->catalogue(), b, QStringLiteral("Pathname")).toString(), b);
}

void tst_FileOps::backupFromTheViewer() {
  const QString a = picture(QStringLiteral("a.png"));
  const QString b = picture(QStringLiteral("b.png"));
  const QString backup = env_->programFolder() + QStringLiteral("Backup/");
  QDir().mkpath(backup);
  QVERIFY(writeBytes(backup + "a.png", "old"));
  QVERIFY(writeBytes(backup + "a1.png", "old"));
  frmDBScreenTest* viewer = openViewer({a, b});
  appState().MoveNoticeMode = 0;
  QVERIFY(viewer->hotkeys1('b'));
  QVERIFY(QImage(backup + "a2.png").size() == QSize(40, 30));
  QCOMPARE(readBytes(backup + "a.png"), QByteArray("old"));
  QVERIFY(forms::find<viewer::frmMoveNotify>());
  auto* notice = forms::find<viewer::frmMoveNotify>();
  notice->optNoAction()->setChecked(true);
  notice->Command1_Click();
  QCOMPARE(appState().MoveNoticeMode, qint16(2));

  QDir(backup).removeRecursively();
  viewer->hotkeys1('b');
  QCOMPARE(dialogs_->lastText(),
           QStringLiteral("The backup failed.  The backup folder may not exist."));
  QCOMPARE(dialogs_->messages().last().title, QStringLiteral("Backup Error"));
}

void tst_FileOps::deleteMissingPicsPurgesTheRows() {
  const QString a = picture(QStringLiteral("a.png"));
  const QString b = picture(QStringLiteral("b.png"));
  const QString c = picture(QStringLiteral("c.png"));
  frmDBScreenTest* viewer = openViewer({a, b, c});
  viewer->armedButtons().armAndClick(button(viewer, "cmdRemoveRecord"));
  action(viewer, QStringLiteral("DeleteMissingPics"))->trigger();
  QCOMPARE(storedRowCount(env_->catalogue()), 2);
  QVERIFY(QFileInfo::exists(a));  // the file stays: only the row goes
  QCOMPARE(viewer->dtaTest().recordCount(), 2);
}

// Between volumes rename fails: the file is copied, checked and only then removed.
void tst_FileOps::moveToAnotherVolume() {
  const QString a = picture(QStringLiteral("Crossing é.png"));
  QTemporaryDir other(QStringLiteral("/dev/shm/glimmora-move-XXXXXX"));
  struct stat here {
  }, there{};
  if (!other.isValid() || ::stat(QFile::encodeName(a).constData(), &here) != 0 ||
      ::stat(QFile::encodeName(other.path()).constData(), &there) != 0 ||
      here.st_dev == there.st_dev)
    QSKIP("no second volume to move to");
  const QByteArray bytes = readBytes(a);
  const QString to = other.path() + QStringLiteral("/Crossing é.png");
  QVERIFY(writeBytes(to, "older"));
  QVERIFY(!fileops::moveFile(a, to, false).isEmpty());  // no silent overwrite
  QCOMPARE(readBytes(to), QByteArray("older"));
  QCOMPARE(fileops::moveFile(a, to, true), QString());
  QCOMPARE(readBytes(to), bytes);
  QVERIFY(!QFileInfo::exists(a));
  QCOMPARE(QDir(other.path()).entryList(QDir::Files | QDir::Hidden),
           QStringList{QStringLiteral("Crossing é.png")});
}

void tst_FileOps::backupWhenEveryNameIsTaken() {
  const QString a = picture(QStringLiteral("a.png"));
  const QString b = picture(QStringLiteral("b.png"));
  const QString backup = env_->programFolder() + QStringLiteral("Backup/");
  QDir().mkpath(backup);
  QVERIFY(writeBytes(backup + "a.png", "old"));
  for (int i = 1; i <= fileops::kBackupNameTries; ++i) {
    QFile taken(backup + QStringLiteral("a%1.png").arg(i));
    QVERIFY(taken.open(QIODevice::WriteOnly));
  }
  QVERIFY(!fileops::backupTarget(backup, QStringLiteral("a.png")));
  frmDBScreenTest* viewer = openViewer({a, b});
  QVERIFY(viewer->hotkeys1('b'));
  QCOMPARE(dialogs_->messages().size(), 1);
  QCOMPARE(dialogs_->messages().first().title, QStringLiteral("Backup Error"));
  QVERIFY(dialogs_->lastText().startsWith(QStringLiteral("The backup failed.")));
  QCOMPARE(QDir(backup).count(), uint(fileops::kBackupNameTries + 1 + 2));  // with . and ..
  QCOMPARE(readBytes(backup + "a.png"), QByteArray("old"));
  QVERIFY(!forms::find<viewer::frmMoveNotify>());
}

// A command that fails ends there: the file keeps its bytes, the row keeps its path and
// status, the picture stays on screen, and the user is told what failed.
void tst_FileOps::failedCommandsKeepTheFileAndTheRow() {
  const QString a = picture(QStringLiteral("a.png"));
  const QString b = picture(QStringLiteral("b.png"));
  const QByteArray bytes = readBytes(a);
  catalogue::Database db = catalogue::Database::open(env_->catalogue());
  QVERIFY(db.execute(QStringLiteral("UPDATE SetupNew SET SubPathPath = ? WHERE IDP = 2;"),
                     {env_->folder(QStringLiteral("x")) + QStringLiteral("/gone/")}));
  db.close();
  // A trash that cannot be made: a plain file sits where its folder would be.
  QVERIFY(writeBytes(env_->dataFolder() + QStringLiteral("/Trash"), "not a folder"));
  // Nothing may be left in the working folder either.
  const QString savedCurrent = QDir::currentPath();
  const QString current = env_->folder(QStringLiteral("cwd"));
  QDir::setCurrent(current);
  frmDBScreenTest* viewer = openViewer({a, b});
  auto unchanged = [&](const char* title) {
    QCOMPARE(dialogs_->messages().size(), 1);
    QCOMPARE(dialogs_->messages().first().title, QString::fromLatin1(title));
    QVERIFY(!dialogs_->lastText().isEmpty());
    QCOMPARE(readBytes(a), bytes);
    QCOMPARE(viewer->txtImagePath()->text(), a);
    QVERIFY(viewer->txtStatus()->text() != QStringLiteral("Missing"));
    QCOMPARE(viewer->Photo1()->fileName(), a);
    dialogs_->clear();
  };
  viewer->armedButtons().armAndClick(button(viewer, "cmdRecycle"));
  QDir::setCurrent(savedCurrent);
  unchanged("Recycle Failed");
  QVERIFY(QDir(current).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
  action(viewer, QStringLiteral("RCMenuMoveMD1SubDir_1"))->trigger();
  unchanged("Move Failed");
  QVERIFY(dialogs_->calls().isEmpty());
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(storedValue(env_->catalogue(), a, QStringLiteral("Status")).toString(), QString());
}

void tst_FileOps::renameToQuotesAndNonAscii() {
  const QString a = picture(QStringLiteral("a.png"));
  const QString b = picture(QStringLiteral("b.png"));
  const QByteArray bytes = readBytes(a);
  frmDBScreenTest* viewer = openViewer({a, b});
  const QString renamed =
      env_->folder(QStringLiteral("pics")) + QStringLiteral("/Zoë's \"Ålesund\".png");
  dialogs_->answerInput(QStringLiteral("Zoë's \"Ålesund\""));
  action(viewer, QStringLiteral("mnuRenameImage"))->trigger();
  QCOMPARE(readBytes(renamed), bytes);
  QVERIFY(!QFileInfo::exists(a));
  QCOMPARE(viewer->txtImagePath()->text(), renamed);
  QCOMPARE(storedValue(env_->catalogue(), renamed, QStringLiteral("Pathname")).toString(), renamed);
}

// Permissions bind everyone but the superuser, so this runs only for an ordinary user.
void tst_FileOps::deleteAndWipeInAReadOnlyFolder() {
  if (::geteuid() == 0) QSKIP("the superuser may write into read-only folders");
  const QString folder = env_->folder(QStringLiteral("locked"));
  const QString a = folder + QStringLiteral("/a.png");
  const QString b = picture(QStringLiteral("b.png"));
  QVERIFY(writePicture(a, 40, 30, "PNG"));
  const QByteArray bytes = readBytes(a);
  QFile(a).setPermissions(QFileDevice::ReadOwner);
  QFile(folder).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  frmDBScreenTest* viewer = openViewer({a, b});
  appState().ConfirmDeletes = false;
  for (const char* command : {"cmdDelete", "cmdWipe"}) {
    dialogs_->clear();
    viewer->armedButtons().armAndClick(button(viewer, command));
    QCOMPARE(dialogs_->messages().size(), 1);
    QCOMPARE(readBytes(a), bytes);
    QVERIFY(viewer->txtStatus()->text() != QStringLiteral("Missing"));
  }
  QFile(folder).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                               QFileDevice::ExeOwner);
}

QTEST_MAIN(tst_FileOps)
#include "tst_fileops.moc"
