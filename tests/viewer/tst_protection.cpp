// Picture protection on a viewer of real files: the protected name, the wipe only after the
// protected file reads back, re-protecting in place, un-protecting, the 8-character rule and
// the wrong-password prompt. The picture display stands in for the imaging control: it writes
// ".pic" files holding their password, and opens them only with that password.
#include <QtTest>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/forms.h"
#include "base/keys.h"
#include "support/testenv.h"
#include "viewer/fileops.h"
#include "viewer/frmDBScreenTest.h"
#include "viewer/protection.h"
#include "viewer_helpers.h"

using namespace glim;
using namespace glim::test;
namespace protection = glim::viewer::protection;

class tst_Protection : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void protectedPath_data();
  void protectedPath();
  void passwordAlphabet();
  void protectWithAndWithoutWipe_data();
  void protectWithAndWithoutWipe();
  void failedSaveKeepsTheSource();
  void protectedNameAlreadyTaken();
  void protectNamesWithQuotesAndNonAscii();
  void reprotectRewritesInPlace();
  void tenCharacterPasswordOpensWithItsFirstEight();
  void removeProtectionFromCapitalPic();
  void removeProtectionThatCannotBeWrittenKeepsTheFile();
  void wipeBoxChangesOnlyWhenArmed();
  void passwordDialogWhenTheBoxIsEmpty();
  void wrongPasswordDuringASlideShowStaysBlank();
  void wrongPasswordPromptSuppliesANewOne();
  void passwordBoxesRefuseOtherCharacters();
  void promptSwitch();

 private:
  std::unique_ptr<TestEnv> env_;
  std::unique_ptr<ScriptedDialogs> dialogs_;
  QString picture(const QString& name);
  frmDBScreenTest* openViewer(const QList<PictureRow>& rows);
  QtPhoto* photo1() const { return photos_->value(0); }
  QList<QtPhoto*>* photos_ = nullptr;
  // The wipe box is armed: the test clicks it as the user would.
  static void setWipe(frmDBScreenTest* viewer, bool on) {
    auto* box = viewer->findChild<QCheckBox*>(QStringLiteral("chkWipeOldImages"));
    if (box->isChecked() != on) QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, 4));
    QCOMPARE(box->isChecked(), on);
  }
  static void click(frmDBScreenTest* viewer, const char* name) {
    viewer->armedButtons().armAndClick(viewer->findChild<QPushButton*>(QLatin1String(name)));
  }
};

void tst_Protection::init() {
  env_ = std::make_unique<TestEnv>();
  dialogs_ = std::make_unique<ScriptedDialogs>();
  photos_ = &useQtPhotos();
}

void tst_Protection::cleanup() {
  while (auto* viewer = forms::find<frmDBScreenTest>()) {
    viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  viewer::setPhotoFactory({});
  dialogs_.reset();
  env_.reset();
}

QString tst_Protection::picture(const QString& name) {
  const QString path = env_->folder(QStringLiteral("pics")) + u'/' + name;
  writePicture(path, 40, 30, "PNG");
  return path;
}

frmDBScreenTest* tst_Protection::openViewer(const QList<PictureRow>& rows) {
  if (!writeCatalogue(env_->catalogue(), rows)) qWarning("cannot write the catalogue");
  return forms::get<frmDBScreenTest>();
}

void tst_Protection::protectedPath_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<QString>("expected");  // empty: refused
  QTest::newRow("jpeg") << "/p/photo.jpeg"
                        << "/p/photo.pic";
  QTest::newRow("trimmed") << " /p/a.png "
                           << "/p/a.pic";
  QTest::newRow("two dots") << "/p/a.b.jpg"
                            << "/p/a.b.pic";
  QTest::newRow("short") << "a.jp"
                         << "";
  QTest::newRow("no dot") << "/p/photo"
                          << "";
  QTest::newRow("dot in folder only") << "/p.d/photo"
                                      << "";
}

void tst_Protection::protectedPath() {
  QFETCH(QString, path);
  QFETCH(QString, expected);
  QCOMPARE(protection::protectedPath(path).value_or(QString()), expected);
}

void tst_Protection::passwordAlphabet() {
  for (QChar c : QStringLiteral("azAZ09ÀÿÉ"))
    QVERIFY2(protection::isPasswordChar(c), qPrintable(QString(c)));
  for (QChar c : QStringLiteral(" .-_'\"!é€"))
    QVERIFY2(!protection::isPasswordChar(c) || c.unicode() >= 192, qPrintable(QString(c)));
  QVERIFY(!protection::isPasswordChar(QChar(0x20AC)));
  QCOMPARE(protection::loadingPassword(QStringLiteral(" abcdefghij ")), QStringLiteral("abcdefgh"));
}

void tst_Protection::protectWithAndWithoutWipe_data() {
  QTest::addColumn<bool>("wipe");
  QTest::newRow("wipe") << true;
  QTest::newRow("keep") << false;
}

void tst_Protection::protectWithAndWithoutWipe() {
  QFETCH(bool, wipe);
  const QString a = picture(QStringLiteral("photo.png"));
  const QString b = picture(QStringLiteral("b.png"));
  const QString pic = env_->folder(QStringLiteral("pics")) + QStringLiteral("/photo.pic");
  frmDBScreenTest* viewer = openViewer({{a, QStringLiteral("png")}, {b, QStringLiteral("png")}});
  viewer->txtPicPassword()->setText(QStringLiteral("secret"));
  setWipe(viewer, wipe);
  click(viewer, "cmdEncryptCurrentPic");
  QCOMPARE(readBytes(pic), QByteArray("PASSWORD:secret"));
  QCOMPARE(QFileInfo::exists(a), !wipe);
  QCOMPARE(viewer->txtImagePath()->text(), wipe ? pic : a);
  QVERIFY(dialogs_->lastText().startsWith(QStringLiteral("The encrypted file ") + pic));
  QVERIFY(!viewer->findChild<QPushButton*>(QStringLiteral("cmdEncryptCurrentPic"))->isEnabled());
  const qsizetype shown = dialogs_->calls().size();
  viewer->hotkeys1('e');  // the hot key acts only while the button is enabled
  QCOMPARE(dialogs_->calls().size(), shown);
  viewer->navigate(viewer::NavCommand::Next);
  QVERIFY(viewer->findChild<QPushButton*>(QStringLiteral("cmdEncryptCurrentPic"))->isEnabled());
  QCOMPARE(storedValue(env_->catalogue(), wipe ? pic : a, QStringLiteral("Pathname")).toString(),
           wipe ? pic : a);
}

void tst_Protection::failedSaveKeepsTheSource() {
  const QString a = picture(QStringLiteral("photo.png"));
  const QString b = picture(QStringLiteral("b.png"));
  frmDBScreenTest* viewer = openViewer({{a, QStringLiteral("png")}, {b, QStringLiteral("png")}});
  photo1()->failSaves = true;
  viewer->txtPicPassword()->setText(QStringLiteral("secret"));
  setWipe(viewer, true);
  const QByteArray bytes = readBytes(a);
  click(viewer, "cmdEncryptCurrentPic");
  QCOMPARE(dialogs_->lastText(), QStringLiteral("There was an error encrypting this image!"));
  QCOMPARE(readBytes(a), bytes);
  QCOMPARE(viewer->txtImagePath()->text(), a);
  QVERIFY(!QFileInfo::exists(env_->folder(QStringLiteral("pics")) + QStringLiteral("/photo.pic")));
}

// Another picture or a folder may already carry the protected name: nothing is lost.
void tst_Protection::protectedNameAlreadyTaken() {
  const QString a = picture(QStringLiteral("photo.png"));
  const QString b = picture(QStringLiteral("b.png"));
  const QString pic = env_->folder(QStringLiteral("pics")) + QStringLiteral("/photo.pic");
  QVERIFY(writeProtectedPicture(pic, QStringLiteral("other")));
  frmDBScreenTest* viewer = openViewer({{a, QStringLiteral("png")}, {b, QStringLiteral("png")}});
  viewer->txtPicPassword()->setText(QStringLiteral("secret"));
  setWipe(viewer, true);
  const QByteArray bytes = readBytes(a);
  dialogs_->answer(MsgResult::No);
  click(viewer, "cmdEncryptCurrentPic");
  QCOMPARE(dialogs_->messages().first().title, QStringLiteral("File Overwrite Notice"));
  QCOMPARE(readBytes(pic), QByteArray("PASSWORD:other"));
  QCOMPARE(readBytes(a), bytes);
  QCOMPARE(viewer->txtImagePath()->text(), a);

  QVERIFY(QFile::remove(pic));
  QVERIFY(QDir().mkpath(pic));  // a folder of that name
  dialogs_->clear();
  click(viewer, "cmdEncryptCurrentPic");
  QCOMPARE(dialogs_->lastText(), QStringLiteral("There was an error encrypting this image!"));
  QCOMPARE(readBytes(a), bytes);
  QVERIFY(QFileInfo(pic).isDir());
  QCOMPARE(viewer->txtImagePath()->text(), a);
  QCOMPARE(QDir(env_->folder(QStringLiteral("pics"))).entryList(QDir::Files | QDir::Hidden),
           QStringList({QStringLiteral("b.png"), QStringLiteral("photo.png")}));
}

void tst_Protection::protectNamesWithQuotesAndNonAscii() {
  const QString a = picture(QStringLiteral("Zoë's \"Ålesund\".png"));
  const QString b = picture(QStringLiteral("b.png"));
  const QString pic =
      env_->folder(QStringLiteral("pics")) + QStringLiteral("/Zoë's \"Ålesund\".pic");
  frmDBScreenTest* viewer = openViewer({{a, QStringLiteral("png")}, {b, QStringLiteral("png")}});
  viewer->txtPicPassword()->setText(QStringLiteral("Ålesund1"));
  setWipe(viewer, true);
  click(viewer, "cmdEncryptCurrentPic");
  QCOMPARE(readBytes(pic), QStringLiteral("PASSWORD:Ålesund1").toUtf8());
  QVERIFY(!QFileInfo::exists(a));
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(storedValue(env_->catalogue(), pic, QStringLiteral("Extension")).toString(),
           QStringLiteral("pic"));
}

void tst_Protection::reprotectRewritesInPlace() {
  const QString pic = env_->folder(QStringLiteral("pics")) + QStringLiteral("/x.pic");
  QVERIFY(writeProtectedPicture(pic, QStringLiteral("old")));
  const QString b = picture(QStringLiteral("b.png"));
  dialogs_->answer(MsgResult::OK);
  appState().PicturePassword = QStringLiteral("old");
  frmDBScreenTest* viewer = openViewer({{pic, QStringLiteral("pic")}, {b, QStringLiteral("png")}});
  QCOMPARE(photo1()->fileName(), pic);
  QCOMPARE(photo1()->imagError(), 0);
  viewer->txtPicPassword()->setText(QStringLiteral("new"));
  click(viewer, "cmdEncryptCurrentPic");
  QCOMPARE(dialogs_->lastText(), QStringLiteral("The file has been encrypted."));
  QCOMPARE(readBytes(pic), QByteArray("PASSWORD:new"));
  QCOMPARE(viewer->txtImagePath()->text(), pic);
}

void tst_Protection::tenCharacterPasswordOpensWithItsFirstEight() {
  const QString a = picture(QStringLiteral("ten.png"));
  const QString b = picture(QStringLiteral("b.png"));
  const QString pic = env_->folder(QStringLiteral("pics")) + QStringLiteral("/ten.pic");
  frmDBScreenTest* viewer = openViewer({{a, QStringLiteral("png")}, {b, QStringLiteral("png")}});
  viewer->txtPicPassword()->setText(QStringLiteral("abcdefghij"));
  setWipe(viewer, true);
  click(viewer, "cmdEncryptCurrentPic");
  // The whole password went to the protect step.
  QCOMPARE(readBytes(pic), QByteArray("PASSWORD:abcdefghij"));
  // The loader hands over only 8 characters (an engine that keys on the first 8 opens it).
  viewer->navigate(viewer::NavCommand::Next);
  viewer->txtPicPassword()->setText(QStringLiteral("abcdefghij"));
  QVERIFY(writeProtectedPicture(pic, QStringLiteral("abcdefgh")));
  viewer->navigate(viewer::NavCommand::Previous);
  QCOMPARE(photo1()->fileName(), pic);
  QCOMPARE(photo1()->imagError(), 0);
}

void tst_Protection::removeProtectionFromCapitalPic() {
  const QString pic = env_->folder(QStringLiteral("pics")) + QStringLiteral("/X.PIC");
  QVERIFY(writeProtectedPicture(pic, QStringLiteral("pw")));
  const QString b = picture(QStringLiteral("b.png"));
  appState().PicturePassword = QStringLiteral("pw");
  frmDBScreenTest* viewer = openViewer({{b, QStringLiteral("png")}, {pic, QStringLiteral("pic")}});
  click(viewer, "cmdUnencryptCurrentPic");
  QCOMPARE(dialogs_->lastText(), QStringLiteral("This is not an encrypted image!"));
  viewer->navigate(viewer::NavCommand::Next);
  QCOMPARE(photo1()->imagError(), 0);
  click(viewer, "cmdUnencryptCurrentPic");
  QCOMPARE(dialogs_->lastText(), QStringLiteral("The file has been decrypted."));
  QCOMPARE(readBytes(pic), QByteArray("PASSWORD:"));  // written without a password
  QVERIFY(viewer->findChild<QPushButton*>(QStringLiteral("cmdEncryptCurrentPic"))->isEnabled());
  QVERIFY(!viewer->findChild<QPushButton*>(QStringLiteral("cmdUnencryptCurrentPic"))->isEnabled());
}

void tst_Protection::removeProtectionThatCannotBeWrittenKeepsTheFile() {
  const QString pic = env_->folder(QStringLiteral("pics")) + QStringLiteral("/x.pic");
  QVERIFY(writeProtectedPicture(pic, QStringLiteral("pw")));
  const QString b = picture(QStringLiteral("b.png"));
  appState().PicturePassword = QStringLiteral("pw");
  frmDBScreenTest* viewer = openViewer({{pic, QStringLiteral("pic")}, {b, QStringLiteral("png")}});
  QCOMPARE(photo1()->imagError(), 0);
  photos_->value(1)->failSaves = true;  // Photo2 cannot write
  click(viewer, "cmdUnencryptCurrentPic");
  QCOMPARE(dialogs_->lastText(), QStringLiteral("There was an error decrypting this image!"));
  QCOMPARE(readBytes(pic), QByteArray("PASSWORD:pw"));
  QCOMPARE(QDir(env_->folder(QStringLiteral("pics"))).entryList(QDir::Files | QDir::Hidden),
           QStringList({QStringLiteral("b.png"), QStringLiteral("x.pic")}));
  QVERIFY(viewer->findChild<QPushButton*>(QStringLiteral("cmdUnencryptCurrentPic"))->isEnabled());
}

void tst_Protection::wipeBoxChangesOnlyWhenArmed() {
  const QString a = picture(QStringLiteral("a.png"));
  const QString b = picture(QStringLiteral("b.png"));
  frmDBScreenTest* viewer = openViewer({{a}, {b}});
  auto* box = viewer->findChild<QCheckBox*>(QStringLiteral("chkWipeOldImages"));
  QCOMPARE(box->text(), QStringLiteral("Wipe Source Images"));
  QVERIFY(!box->isChecked());
  box->setChecked(true);  // not armed: turned back
  QVERIFY(!box->isChecked());
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, 4));
  QVERIFY(box->isChecked());
  box->setFocus();
  QTest::keyClick(box, Qt::Key_Space);  // Space is not the user's choice for the box
  QVERIFY(box->isChecked());
  QTest::keyClick(box, Qt::Key_Return);
  QVERIFY(!box->isChecked());
  // The mouse press was used up: a later change from elsewhere is still turned back.
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, 4));
  QCoreApplication::processEvents();
  box->setChecked(false);
  QVERIFY(box->isChecked());
}

void tst_Protection::passwordDialogWhenTheBoxIsEmpty() {
  const QString a = picture(QStringLiteral("photo.png"));
  const QString b = picture(QStringLiteral("b.png"));
  const QString pic = env_->folder(QStringLiteral("pics")) + QStringLiteral("/photo.pic");
  frmDBScreenTest* viewer = openViewer({{a, QStringLiteral("png")}, {b, QStringLiteral("png")}});
  auto answerDialog = [](const QString& first, const QString& second, bool cancel) {
    QTimer::singleShot(0, [=] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() != QStringLiteral("frmPassword") || !w->isVisible()) continue;
        if (cancel) {
          w->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
          return;
        }
        w->findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(first);
        w->findChild<QLineEdit*>(QStringLiteral("txtConfirm"))->setText(second);
        w->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
      }
    });
  };
  answerDialog(QString(), QString(), true);
  click(viewer, "cmdEncryptCurrentPic");
  QVERIFY(!QFileInfo::exists(pic));
  QCOMPARE(viewer->txtImagePath()->text(), a);

  answerDialog(QStringLiteral("given"), QStringLiteral("given"), false);
  click(viewer, "cmdEncryptCurrentPic");
  QCOMPARE(readBytes(pic), QByteArray("PASSWORD:given"));
  QVERIFY(QFileInfo::exists(a));
}

void tst_Protection::wrongPasswordDuringASlideShowStaysBlank() {
  const QString a = picture(QStringLiteral("a.png"));
  const QString pic = env_->folder(QStringLiteral("pics")) + QStringLiteral("/p.pic");
  QVERIFY(writeProtectedPicture(pic, QStringLiteral("right")));
  frmDBScreenTest* viewer = openViewer({{a, QStringLiteral("png")}, {pic, QStringLiteral("pic")}});
  appState().PromptForNewPassword = true;
  viewer->txtPicPassword()->setText(QStringLiteral("wrong"));
  viewer->slideTimer().start();  // a show is running
  viewer->navigate(viewer::NavCommand::Next);
  viewer->slideTimer().stop();
  QVERIFY(photo1()->fileName().isEmpty());
  QVERIFY(dialogs_->messages().isEmpty());
  for (QWidget* w : QApplication::topLevelWidgets())
    QVERIFY(w->objectName() != QStringLiteral("frmWrongPassword") || !w->isVisible());
}

void tst_Protection::wrongPasswordPromptSuppliesANewOne() {
  const QString a = picture(QStringLiteral("a.png"));
  const QString pic = env_->folder(QStringLiteral("pics")) + QStringLiteral("/p.pic");
  QVERIFY(writeProtectedPicture(pic, QStringLiteral("right")));
  frmDBScreenTest* viewer = openViewer({{a, QStringLiteral("png")}, {pic, QStringLiteral("pic")}});
  QVERIFY(appState().PromptForNewPassword);
  viewer->txtPicPassword()->setText(QStringLiteral("wrong"));
  // Answers the prompt once it is up: a bad character first, then the right password, with
  // the prompt switched off for the future.
  QString shownName;
  QString shownCurrent;
  QTimer answer;
  answer.setInterval(1);
  connect(&answer, &QTimer::timeout, this, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() != QStringLiteral("frmWrongPassword") || !w->isVisible()) continue;
      answer.stop();
      shownName = w->findChild<QLabel*>(QStringLiteral("lblPicName"))->text();
      shownCurrent = w->findChild<QLineEdit*>(QStringLiteral("Text1"))->text();
      auto* box = w->findChild<QLineEdit*>(QStringLiteral("txtNewPassword"));
      QTest::keyClicks(box, QStringLiteral("ri-"));
      QCOMPARE(box->text(), QString());                 // the bad character cleared the box
      QTest::keyClicks(box, QStringLiteral("ri ght"));  // the space is dropped
      QCOMPARE(box->text(), QStringLiteral("right"));
      w->findChild<QCheckBox*>(QStringLiteral("chkPromptMe"))->setChecked(false);
      w->findChild<QPushButton*>(QStringLiteral("cmdUpdatePassword"))->click();
    }
  });
  answer.start();
  viewer->navigate(viewer::NavCommand::Next);
  answer.stop();
  QCOMPARE(shownName, QStringLiteral("p.pic"));
  QCOMPARE(shownCurrent, QStringLiteral("wrong"));
  QCOMPARE(dialogs_->messages().size(), 1);
  QCOMPARE(dialogs_->messages().first().title, QStringLiteral("Invalid Character Entered"));
  // The second try opened the picture with the new password.
  QCOMPARE(photo1()->fileName(), pic);
  QCOMPARE(photo1()->imagError(), 0);
  QCOMPARE(viewer->txtPicPassword()->text(), QStringLiteral("right"));
  QVERIFY(!appState().PromptForNewPassword);
  QVERIFY(!viewer->findChild<QAction*>(QStringLiteral("mnuPromptNewPassword"))->isChecked());
  QCOMPARE(keys::readText(keys::kPasswordPrompt, QString()), QStringLiteral("0"));
}

void tst_Protection::passwordBoxesRefuseOtherCharacters() {
  const QString a = picture(QStringLiteral("a.png"));
  const QString b = picture(QStringLiteral("b.png"));
  const QString pic = env_->folder(QStringLiteral("pics")) + QStringLiteral("/a.pic");
  frmDBScreenTest* viewer = openViewer({{a}, {b}});
  QLineEdit* box = viewer->txtPicPassword();
  box->setFocus();
  QTest::keyClicks(box, QStringLiteral("aÉ9-x"));
  QCOMPARE(box->text(), QStringLiteral("aÉ9x"));
  QCOMPARE(dialogs_->messages().size(), 1);
  QCOMPARE(dialogs_->messages().first().title, QStringLiteral("Invalid Password Character"));
  // Space is refused too, and does not move to the next picture while the box has the focus.
  QTest::keyClick(box, Qt::Key_Space);
  QCOMPARE(box->text(), QStringLiteral("aÉ9x"));
  QCOMPARE(dialogs_->messages().size(), 2);
  QCOMPARE(viewer->HScrollPictureMove()->value(), 0);

  // frmPassword keeps asking until both boxes agree.
  box->clear();
  viewer->setFocus();
  int rounds = 0;
  QTimer answer;
  answer.setInterval(1);
  connect(&answer, &QTimer::timeout, this, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() != QStringLiteral("frmPassword") || !w->isVisible()) continue;
      auto* first = w->findChild<QLineEdit*>(QStringLiteral("txtPassword"));
      auto* second = w->findChild<QLineEdit*>(QStringLiteral("txtConfirm"));
      first->setText(QStringLiteral("same"));
      second->setText(++rounds == 1 ? QStringLiteral("other") : QStringLiteral("same"));
      w->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
      if (rounds == 1) {
        QVERIFY(w->isVisible());
        QVERIFY(first->text().isEmpty() && second->text().isEmpty());
      }
    }
  });
  answer.start();
  viewer->armedButtons().armAndClick(
      viewer->findChild<QPushButton*>(QStringLiteral("cmdEncryptCurrentPic")));
  answer.stop();
  QCOMPARE(rounds, 2);
  QCOMPARE(dialogs_->messages().at(2).text, QStringLiteral("Passwords don't match!"));
  QCOMPARE(readBytes(pic), QByteArray("PASSWORD:same"));
}

void tst_Protection::promptSwitch() {
  const QString a = picture(QStringLiteral("a.png"));
  const QString b = picture(QStringLiteral("b.png"));
  frmDBScreenTest* viewer = openViewer({{a}, {b}});
  QAction* prompt = viewer->findChild<QAction*>(QStringLiteral("mnuPromptNewPassword"));
  QVERIFY(prompt->isChecked());
  prompt->trigger();
  QVERIFY(!prompt->isChecked());
  QVERIFY(!appState().PromptForNewPassword);
  QCOMPARE(keys::readText(keys::kPasswordPrompt, QString()), QStringLiteral("0"));
  prompt->trigger();
  QVERIFY(appState().PromptForNewPassword);
  QCOMPARE(keys::readText(keys::kPasswordPrompt, QString()), QStringLiteral("1"));
}

QTEST_MAIN(tst_Protection)
#include "tst_protection.moc"
