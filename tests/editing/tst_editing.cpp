// The edit commands and dialogs on real pictures through the imaging control: rotations and
// control sizes, crop and undo, save as is, the save-changes prompt, resize rules, previews,
// colour depth and saving in other formats read back by independent decoders.
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "editing/editcommands.h"
#include "editing/edithost.h"
#include "editing/frmColorDepth.h"
#include "editing/frmResizeMethods.h"
#include "editing/frmSavePic.h"
#include "editing/previewdialog.h"
#include "rastrel/rastrel.h"
#include "support/testenv.h"

using namespace glim;
using editing::EditCommand;

namespace {

// A viewer stand-in: two controls on a form and the state the commands change.
class Host : public EditHost {
 public:
  explicit Host(QWidget* form) {
    QString error;
    p1 = createRastrel(form, &error);
    p2 = createRastrel(form, &error);
    if (p2) p2->hide();
    if (p1) p1->setGeometry(0, 0, 320, 240);
  }
  RastrelControl* photo1() override { return p1; }
  RastrelControl* photo2() override { return p2; }
  bool altered() const override { return isAltered; }
  void setAltered(bool a) override { isAltered = a; }
  void setUndoCommand(const QString& caption, bool enabled) override {
    undoCaption = caption;
    undoEnabled = enabled;
  }
  QString recordPath() const override { return path; }
  QString recordStatus() const override { return status; }
  void refreshPictureInfo() override { ++refreshed; }
  void sizeControlToPicture() override { p1->resize(p1->iWidth(), p1->iHeight()); }
  void centreControl() override { ++centred; }
  void layoutAfterUndo() override { ++laidOut; }

  RastrelControl* p1 = nullptr;
  RastrelControl* p2 = nullptr;
  bool isAltered = false;
  QString undoCaption;
  bool undoEnabled = false;
  QString path;
  QString status;
  int refreshed = 0, centred = 0, laidOut = 0;
};

// The picture's pixels, written losslessly through the control and read back with Qt.
QImage pixelsOf(RastrelControl* photo, const QString& scratch) {
  photo->setSaveFileName(scratch);
  photo->saveFile();
  return QImage(scratch).convertToFormat(QImage::Format_RGB32);
}

QString identify(const QString& format, const QString& file) {
  QProcess p;
  p.start(QStringLiteral("identify"), {QStringLiteral("-format"), format, file});
  p.waitForFinished(-1);
  return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

}  // namespace

class TestEditing : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    env_ = std::make_unique<test::TestEnv>();
    appState().ProgramFolder = test::TestEnv::binFolder();
    setRastrelFolder(test::TestEnv::binFolder());
    form_ = std::make_unique<QWidget>();
    form_->resize(800, 600);
    host_ = std::make_unique<Host>(form_.get());
    QVERIFY(host_->p1 && host_->p2);
    picture_ = env_->folder(QStringLiteral("pics")) + QStringLiteral("/photo.jpeg");
    QVERIFY(test::writePicture(picture_, 640, 480, "JPG"));
    host_->p1->setFileName(picture_);
    QCOMPARE(host_->p1->imagError(), qint16(0));
    host_->path = picture_;
  }
  void cleanup() {
    host_.reset();
    form_.reset();
    env_.reset();
  }

  void rotateTwiceRestoresControlSize() {
    host_->p1->resize(300, 200);
    editing::runEditCommand(*host_, EditCommand::Rotate90Left);
    QCOMPARE(host_->p1->iWidth(), qint16(480));
    QCOMPARE(host_->undoCaption, QStringLiteral("&Undo Rotate"));
    QVERIFY(host_->isAltered && host_->undoEnabled);
    editing::runEditCommand(*host_, EditCommand::Rotate90Right);
    QCOMPARE(host_->p1->size(), QSize(640, 480));
    QCOMPARE(editing::sizeBeforeRotate(QSize(300, 200), 90), QSize(200, 300));
    // 45 degrees: sqrt(round(2 * 200) * round(2 * 300)) = sqrt(240000) = 489.9 -> 490.
    QCOMPARE(editing::sizeBeforeRotate(QSize(300, 200), 45), QSize(490, 490));
  }

  void undoAfterCropRestoresWholePicture() {
    const QString scratch = env_->folder(QStringLiteral("s")) + QStringLiteral("/a.bmp");
    const QImage before = pixelsOf(host_->p1, scratch);
    host_->p1->rubberBand(true, 10, 10);
    host_->p1->rubberbandUpdate(110, 60);
    editing::runEditCommand(*host_, EditCommand::Crop);
    QVERIFY(host_->p1->iWidth() < 640);
    QCOMPARE(host_->undoCaption, QStringLiteral("&Undo Crop"));
    editing::undoEdit(*host_);
    QCOMPARE(host_->p1->iWidth(), qint16(640));
    QCOMPARE(host_->p1->iHeight(), qint16(480));
    QCOMPARE(pixelsOf(host_->p1, scratch), before);
    QCOMPARE(host_->undoCaption, editing::kNoUndoCaption);
    QVERIFY(!host_->undoEnabled);
    QCOMPARE(host_->laidOut, 1);
  }

  void saveAsIs() {
    // A control file name of 1 to 3 characters writes nothing but still stores the record.
    const QByteArray original = test::readBytes(picture_);
    host_->isAltered = true;
    host_->p1->setFileName(QStringLiteral("a.b"));
    editing::saveAsIs(*host_);
    QCOMPARE(test::readBytes(picture_), original);
    QVERIFY(!host_->isAltered);
    QCOMPARE(host_->refreshed, 1);
    // A normal name writes the edited picture over the record's path.
    host_->p1->setFileName(picture_);
    host_->p1->negate();
    editing::saveAsIs(*host_);
    QVERIFY(test::readBytes(picture_) != original);
  }

  void saveChangesPrompt() {
    ScriptedDialogs dialogs;
    host_->isAltered = true;
    host_->status = QStringLiteral("Missing");
    editing::promptSaveChanges(*host_);
    QCOMPARE(dialogs.calls().size(), 0);  // a missing picture is never offered for saving
    host_->status.clear();
    dialogs.answer(MsgResult::No);
    editing::promptSaveChanges(*host_);
    QCOMPARE(dialogs.lastText(), QStringLiteral("Save changes to this image?"));
    QVERIFY(!host_->isAltered);
    // Yes with a target that no longer exists reports it and drops the edits.
    host_->isAltered = true;
    QFile::remove(picture_);
    dialogs.answer(MsgResult::Yes);
    editing::promptSaveChanges(*host_);
    QCOMPARE(dialogs.messages().last().text, QStringLiteral("Error saving image!"));
    QCOMPARE(dialogs.messages().last().title, QStringLiteral("Save Error!"));
    QVERIFY(!QFile::exists(picture_));
    QVERIFY(!host_->isAltered);
  }

  void resizeWithAspectLock() {
    frmResizeMethods dialog(*host_);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("RESIZE...        Original Size: (640,480)"));
    QCOMPARE(dialog.lblAspectRatio->text(), QStringLiteral("1.333333"));
    dialog.txtPixelWidth->clear();
    QTest::keyClicks(dialog.txtPixelWidth, QStringLiteral("32x0"));  // the x never arrives
    QCOMPARE(dialog.txtPixelWidth->text(), QStringLiteral("320"));
    QCOMPARE(dialog.txtPixelHeight->text(), QStringLiteral("240"));
    dialog.optResample->setChecked(true);
    dialog.cmdOK_Click();
    QCOMPARE(host_->p1->iWidth(), qint16(320));
    QCOMPARE(host_->p1->iHeight(), qint16(240));
  }

  void resizeMemoryGuard_data() {
    QTest::addColumn<bool>("percent");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<bool>("refused");
    QTest::newRow("exactly the limit") << false << "4000"
                                       << "3625" << false;
    QTest::newRow("one row more") << false << "4000"
                                  << "3626" << true;
    QTest::newRow("beyond 16 bits") << false << "40000"
                                    << "10" << true;
    QTest::newRow("200 percent") << true << "200"
                                 << "200" << true;
  }
  void resizeMemoryGuard() {
    QFETCH(bool, percent);
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(bool, refused);
    const QString big = env_->folder(QStringLiteral("b")) + QStringLiteral("/big.png");
    QVERIFY(test::writePicture(big, 3000, 2500, "PNG"));
    host_->p1->setFileName(big);
    ScriptedDialogs dialogs;
    frmResizeMethods dialog(*host_);
    dialog.chkMaintainAspectRatio->setChecked(false);
    if (percent) {
      dialog.optPercentage->setChecked(true);
      dialog.optPercentage_Click();
      dialog.txtPercentageWidth->setText(width);
      dialog.txtPercentageWidth_Change();
      dialog.txtPercentageHeight->setText(height);
      dialog.txtPercentageHeight_Change();
    } else {
      dialog.txtPixelWidth->setText(width);
      dialog.txtPixelHeight->setText(height);
    }
    dialog.optResize->setChecked(true);
    dialog.cmdOK_Click();
    QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), refused ? 1 : 0);
    if (refused) {
      QCOMPARE(dialogs.lastText(),
               QStringLiteral("Your image would be to large for available memory."));
      QCOMPARE(dialog.txtPercentageWidth->text(), QStringLiteral("100"));
      QCOMPARE(dialog.txtPixelWidth->text(), QStringLiteral("3000"));
      QCOMPARE(host_->p1->iWidth(), qint16(3000));
    } else {
      QCOMPARE(host_->p1->iWidth(), qint16(4000));
    }
  }

  void resizeCancelDisablesUndo() {
    host_->p1->setUndoEnabled(true);
    host_->setUndoCommand(QStringLiteral("&Undo Resizing"), true);
    frmResizeMethods dialog(*host_);
    dialog.cmdCancel_Click();
    QVERIFY(!host_->p1->undoEnabled());
    QCOMPARE(host_->undoCaption, editing::kNoUndoCaption);
    QCOMPARE(host_->p1->iWidth(), qint16(640));
  }

  void previewThenScrollThenAccept() {
    const QString scratch = env_->folder(QStringLiteral("s")) + QStringLiteral("/p.bmp");
    const QImage before = pixelsOf(host_->p1, scratch);
    {
      frmColor dialog(*host_);
      dialog.HScroll1->setValue(60);
      dialog.cmdPreview_Click();
      QVERIFY(pixelsOf(host_->p1, scratch) != before);
      dialog.HScroll1->setValue(40);  // back to the unchanged picture
      QCOMPARE(pixelsOf(host_->p1, scratch), before);
      dialog.cmdOK_Click();
    }
    QCOMPARE(pixelsOf(host_->p1, scratch), before);
    QVERIFY(host_->isAltered);
  }

  void cancelAfterPreviewRestoresExactly() {
    const QString scratch = env_->folder(QStringLiteral("s")) + QStringLiteral("/c.bmp");
    const QImage before = pixelsOf(host_->p1, scratch);
    host_->p1->setUndoEnabled(true);
    frmRGB dialog(*host_);
    dialog.HScroll1->setValue(-80);
    dialog.cmdPreview_Click();
    dialog.cmdCancel_Click();
    QCOMPARE(pixelsOf(host_->p1, scratch), before);
    QVERIFY(!host_->p1->undoEnabled());
    QVERIFY(host_->isAltered);  // closing, even by Cancel, marks the picture altered
  }

  void gammaReset() {
    frmGamma dialog(*host_);
    QCOMPARE(dialog.HScroll1->value(), 1100);
    dialog.HScroll1->setValue(300);
    dialog.cmdResetImage_Click();
    QCOMPARE(dialog.HScroll1->value(), 1100);
  }

  void colorDepthWithNothingChosen() {
    host_->p1->colorDepth(8, 0, 0);
    frmColorDepth dialog(*host_);
    QCOMPARE(dialog.Frame1->title(), QStringLiteral("Current Depth = 8 bits"));
    dialog.cmdOK_Click();
    QCOMPARE(host_->p1->ipBitsPixel(), qint16(24));
    QCOMPARE(host_->undoCaption, QStringLiteral("&Undo Brightness && Contrast"));
  }

  void saveAsFormats() {
    frmSavePic dialog(*host_);
    // photo.jpeg opens with JPEG selected.
    QCOMPARE(dialog.Combo1->currentIndex(), 1);
    QVERIFY(!dialog.txtPassword->isEnabled());
    dialog.Combo1->setCurrentIndex(3);
    QCOMPARE(dialog.txtFilename->text(), QStringLiteral("photo.tif"));
    QCOMPARE(dialog.txtFileType->text(), QStringLiteral("tif"));
    const QString out = env_->folder(QStringLiteral("out"));
    dialog.setDirPath(out);
    dialog.txtTIFCompressionType->setText(QStringLiteral("7"));
    dialog.cmdOK_Click();
    QVERIFY(QFile::exists(out + QStringLiteral("/photo.tif")));
    if (!QStandardPaths::findExecutable(QStringLiteral("identify")).isEmpty()) {
      QCOMPARE(identify(QStringLiteral("%C"), out + QStringLiteral("/photo.tif")),
               QStringLiteral("Zip"));
    }
  }

  void saveAsProgressiveAndInterlaced() {
    const QString out = env_->folder(QStringLiteral("out2"));
    {
      frmSavePic dialog(*host_);
      dialog.setDirPath(out);
      dialog.txtJPGOption->setText(QStringLiteral("Progressive"));
      dialog.cmdOK_Click();
    }
    {
      frmSavePic dialog(*host_);
      dialog.setDirPath(out);
      dialog.Combo1->setCurrentIndex(4);
      dialog.txtPNGOption->setText(QStringLiteral("Interlaced"));
      dialog.cmdOK_Click();
    }
    if (QStandardPaths::findExecutable(QStringLiteral("identify")).isEmpty()) return;
    QCOMPARE(identify(QStringLiteral("%[interlace]"), out + QStringLiteral("/photo.jpg")),
             QStringLiteral("JPEG"));
    QCOMPARE(identify(QStringLiteral("%[interlace]"), out + QStringLiteral("/photo.png")),
             QStringLiteral("PNG"));
  }

  void protectedSaveUsesFirstEightCharacters() {
    const QString out = env_->folder(QStringLiteral("pic"));
    frmSavePic dialog(*host_);
    dialog.setDirPath(out);
    dialog.Combo1->setCurrentIndex(0);
    QVERIFY(dialog.txtPassword->isEnabled());
    dialog.txtPassword->setText(QStringLiteral("abcdefghij"));
    dialog.cmdOK_Click();
    const QString saved = out + QStringLiteral("/photo.pic");
    QVERIFY(QFile::exists(saved));
    host_->p2->setPICPassword(QStringLiteral("abcdefgh"));
    host_->p2->setFileName(saved);
    QCOMPARE(host_->p2->imagError(), qint16(0));
    QCOMPARE(host_->p2->iWidth(), qint16(640));
  }

  // An ePIC file is protected by the password in the box and no other: an empty box is
  // refused, and the password the control held before is neither used nor lost.
  void saveAsEpicUsesThePasswordInTheBox() {
    ScriptedDialogs dialogs;
    const QString out = env_->folder(QStringLiteral("epic"));
    const QString saved = out + QStringLiteral("/photo.pic");
    host_->p1->setPICPassword(QStringLiteral("Earlier1"));
    frmSavePic dialog(*host_);
    dialog.setDirPath(out);
    dialog.Combo1->setCurrentIndex(0);
    dialog.cmdOK_Click();
    QCOMPARE(dialogs.lastText(), QStringLiteral("Please enter a password."));
    QVERIFY(!QFile::exists(saved));
    QVERIFY(dialog.result() != QDialog::Accepted);

    dialog.txtPassword->setText(QStringLiteral("Newpass1"));
    dialog.cmdOK_Click();
    QVERIFY(QFile::exists(saved));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(host_->p1->picPassword(), QStringLiteral("Earlier1"));
    host_->p2->setPICPassword(QStringLiteral("Earlier1"));
    host_->p2->setFileName(saved);
    QCOMPARE(host_->p2->imagError(), qint16(-22));
    host_->p2->setPICPassword(QStringLiteral("Newpass1"));
    host_->p2->setFileName(saved);
    QCOMPARE(host_->p2->imagError(), qint16(0));
    QCOMPARE(host_->p2->iWidth(), qint16(640));
    QCOMPARE(host_->refreshed, 0);  // a new file: the record is not its
  }

  // Save As over the record's own file refreshes the record, so it holds what is on disk.
  void saveAsOverTheRecordsFileRefreshesIt() {
    frmSavePic dialog(*host_);
    dialog.setDirPath(QFileInfo(picture_).absolutePath());
    dialog.txtFilename->setText(QStringLiteral("photo.jpeg"));
    dialog.cmdOK_Click();
    QCOMPARE(host_->refreshed, 1);
  }

  void failedSaveReportsAndKeepsFile() {
    ScriptedDialogs dialogs;
    frmSavePic dialog(*host_);
    dialog.setDirPath(env_->folder(QStringLiteral("ro")));
    dialog.txtFilename->setText(QStringLiteral("no/such/folder/x.jpg"));
    dialog.cmdOK_Click();
    QCOMPARE(dialogs.lastText(), QStringLiteral("Error saving image!"));
  }

 private:
  std::unique_ptr<test::TestEnv> env_;
  std::unique_ptr<QWidget> form_;
  std::unique_ptr<Host> host_;
  QString picture_;
};

QTEST_MAIN(TestEditing)
#include "tst_editing.moc"
