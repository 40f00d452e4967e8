// Showing the current picture, recording its measurements, and moving through the set.
#include <QCheckBox>
#include <QDate>
#include <QFileInfo>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/logging.h"
#include "base/settings.h"
#include "base/textnum.h"
#include "catalogue/database.h"
#include "catalogue/recordset.h"
#include "viewer/frmDBScreenTest.h"
#include "viewer/pictureinfo.h"

namespace glim {

using namespace viewer;

namespace {
const QString kMissing = QStringLiteral("Missing");
const QString kImageMissing = QStringLiteral("ImageMissing.jpg");
const QString kDamagedImage = QStringLiteral("DamagedImage.jpg");

// The lookup the viewer uses for picture files: a path that is empty, a folder or anything
// that cannot be looked up counts as missing.
bool fileExists(const QString& path) {
  return !path.isEmpty() && QFileInfo(path).isFile();
}
}  // namespace

bool frmDBScreenTest::updateRecord() {
  return dtaTest_.updateRecord();
}

bool frmDBScreenTest::namesAnotherRow(const QString& path) {
  catalogue::Database db = dtaTest_.database();
  if (!db.isOpen()) db = catalogue::Database::open(dtaTest_.databaseName());
  const catalogue::Recordset* set = dtaTest_.recordset();
  const qint64 current = set && !set->bof() && !set->eof() ? set->bookmark() : -1;
  const QVariant other = db.scalar(
      QStringLiteral("SELECT rowid FROM tbl1 WHERE Pathname = ? AND rowid <> ?"), {path, current});
  return other.isValid() && !other.isNull();
}

// A damaged catalogue is shown but not written (its connection refuses writes). The data
// control's check runs in the background, so this comes when its verdict does (DamageFound),
// or right after opening a set whose verdict is known; the user learns it once per opening
// of the viewer, with the way to repair it.
void frmDBScreenTest::reportCatalogueDamage() {
  if (!dtaTest_.damaged() || damageReported_) return;
  damageReported_ = true;
  dialogs().message(catalogue::describeError(catalogue::DbError::Damaged, dtaTest_.databaseName()) +
                        QStringLiteral("\rThe pictures can still be viewed, but ratings, themes "
                                       "and other changes are not stored until it is "
                                       "repaired."),
                    MsgButtons::OK, MsgIcon::Exclamation, kProgramTitle, this);
}

bool frmDBScreenTest::showsStandIn() const {
  if (!Photo1_) return false;
  const QString shown = Photo1_->fileName();
  if (shown.isEmpty() || shown == textnum::trim(txtImagePath_->text())) return false;
  const QString folder = appState().ProgramFolder;
  return shown == folder + kImageMissing || shown == folder + kDamagedImage;
}

qint16 frmDBScreenTest::storedSize(QLineEdit* box) const {
  return textnum::toInt16(box->text()).value_or(0);
}

// The engine reports an unreadable file by its cause (not readable, unknown or truncated
// contents, damaged data); all of them get the stock picture for damaged files.
bool frmDBScreenTest::isUnreadableError(int error) const {
  return error == -1 || error == -4 || error == -5 || error == -6 || error == -7;
}

void frmDBScreenTest::showStockPicture(const QString& fileName, int width, int height) {
  const QString path = appState().ProgramFolder + fileName;
  if (!Photo1_ || !fileExists(path)) return;
  Photo1_->setFileName(path);
  stockSize_ = QSize(width, height);
  Photo1_->widget()->resize(width, height);
  CenterPicture();
  Photo1_->widget()->show();
  refreshInfoLabels();
}

void frmDBScreenTest::clearPicture() {
  if (!Photo1_) return;
  Photo1_->setFileName(QString());
  Photo1_->refresh();
}

void frmDBScreenTest::ShowPic() {
  if (!Photo1_) return;
  Photo1_->setUndoEnabled(false);
  const QString path = textnum::trim(txtImagePath_->text());
  // 2. A missing file marks the row; it is removed when the viewer closes.
  if (!fileExists(path)) {
    qCInfo(lcViewer) << "missing:" << path;
    txtStatus_->setText(kMissing);
    chkNewFile_->setChecked(false);
    updateRecord();
    showStockPicture(kImageMissing, 291, 175);
    return;
  }
  // 3. The first showing loads the picture and records its measurements; a picture that
  //    failed before is not loaded again. A blank error number means none was recorded.
  if (chkNewFile_->isChecked()) {
    previewBeforeLoad(path, true);
    if (!SetPic(path)) {
      chkNewFile_->setChecked(false);
      return;
    }
    UpdatePictureInfo(QStringLiteral("ShowPic"));
    FreshLoad = true;
  } else {
    const QString error = textnum::trim(txtFileErrorNumber_->text());
    if (!error.isEmpty() && error != QStringLiteral("0")) {
      showStockPicture(kDamagedImage, 250, 175);
      return;
    }
    FreshLoad = false;
  }
  // 4. A row without a usable size cannot be laid out.
  const bool passwordPending = Photo1_->imagError() == kWrongPassword;
  if (!textnum::isNumeric(txtWidth_->text()) || !textnum::isNumeric(txtHeight_->text())) {
    if (!passwordPending) {
      txtStatus_->setText(kMissing);
      chkNewFile_->setChecked(false);
      txtFileErrorNumber_->setText(QStringLiteral("-6"));
      updateRecord();
      showStockPicture(kDamagedImage, 250, 175);
      return;
    }
  }
  // 5. Size and place the control.
  const qint16 width = storedSize(txtWidth_);
  const qint16 height = storedSize(txtHeight_);
  if (fitsArea(area(), width, height)) {
    if (!passwordPending) PhotoSize();
  } else {
    setGeometryOf(Photo1_->widget(), pictureGeometry(area(), width, height));
    Photo1_->widget()->show();
  }
  // 6. A protected picture first met without its password has no size on record: once it
  //    opens, its measurements are taken and the control sized to it.
  if (!FreshLoad) previewBeforeLoad(path, false);
  if (!FreshLoad && SetPic(path) && (storedSize(txtWidth_) <= 0 || storedSize(txtHeight_) <= 0)) {
    UpdatePictureInfo(QStringLiteral("ShowPic"));
    PhotoSize();
  }
  // 7 - 9.
  highlightMainTheme();
  txtFileLastViewedDate_->setText(textnum::dateText(QDate::currentDate()));
  if (appState().ShowImageInfo) refreshInfoLabels();
  HScrollPictureMove_->update();
}

// A large picture not read ahead is shown first from a reduced decode while its full decode
// runs on the control's background thread. On a first showing the row has no size yet, so the
// control is sized from the file's header beforehand, and the preview appears where the
// picture will.
void frmDBScreenTest::previewBeforeLoad(const QString& path, bool sizeFromHeader) {
  if (!Photo1_ || readAheadMiB_ <= 0) return;
  if (sizeFromHeader) {
    QImageReader reader(path);
    QSize size = reader.size();
    if (reader.transformation() & QImageIOHandler::TransformationRotate90) size.transpose();
    if (!size.isValid() || size.width() > 32767 || size.height() > 32767 ||
        fitsArea(area(), qint16(size.width()), qint16(size.height())))
      return;
    setGeometryOf(Photo1_->widget(),
                  pictureGeometry(area(), qint16(size.width()), qint16(size.height())));
    Photo1_->widget()->show();
  }
  Photo1_->showPreview(path);
}

bool frmDBScreenTest::SetPic(const QString& path) {
  if (!Photo1_) return false;
  auto passPassword = [this] {
    const QString password = textnum::trim(txtPicPassword_->text());
    if (txtExtension_->text() == QStringLiteral("pic") && !password.isEmpty())
      Photo1_->setPicPassword(textnum::left(password, 8));
  };
  passPassword();
  int error = 0;
  for (int attempt = 1;; ++attempt) {
    Photo1_->setFileName(path);
    error = Photo1_->imagError();
    txtFileErrorNumber_->setText(QString::number(error));
    if (error == 0) return true;
    qCInfo(lcViewer) << "load failed with error" << error << "attempt" << attempt << path;
    if (error != kWrongPassword || attempt >= 2) break;
    // Wrong or missing picture password: ask once, then try again with the new one.
    Photo1_->setFileName(QString());
    bool supplied = false;
    for (auto& extension : extensions_) {
      if (extension->askPicturePassword(*this)) {
        supplied = true;
        break;
      }
    }
    if (!supplied) break;
    passPassword();
  }
  if (isUnreadableError(error)) {
    showStockPicture(kDamagedImage, 250, 175);
  } else if (error != kWrongPassword) {
    if (!slideShowRunning())
      dialogs().message(QStringLiteral("Error number ") + QString::number(error) +
                            QStringLiteral(" loading picture."),
                        MsgButtons::OK, MsgIcon::None, QStringLiteral("Error"), this);
    clearPicture();
  }
  txtFileErrorNumber_->setText(error == kWrongPassword ? QStringLiteral("0")
                                                       : QString::number(error));
  chkNewFile_->setChecked(false);
  LoadFailed = true;
  updateRecord();
  return false;
}

void frmDBScreenTest::UpdatePictureInfo(const QString& reason) {
  if (!Photo1_) return;
  const bool unloading = reason == QStringLiteral("Unload");
  // On closing, the row is written back; its measurements are taken again only when the
  // control shows the row's own picture (not a stock picture or nothing), so a damaged or
  // cleared picture never leaves the stock picture's size in the row.
  if (unloading && Photo1_->fileName() != textnum::trim(txtImagePath_->text())) {
    updateRecord();
    return;
  }
  // A first showing counts the colours once the picture is on screen: the count is a pass
  // over the whole picture, and the move should cost what a later showing costs.
  const bool showing = reason == QStringLiteral("ShowPic");
  coloursPending_ = false;
  const CapturedTexts captured =
      capturedTexts(showing ? Photo1_->sizeMeasures() : Photo1_->measures());
  chkNewFile_->setChecked(false);
  txtWidth_->setText(captured.width);
  txtHeight_->setText(captured.height);
  txtRatio_->setText(captured.ratio);
  txtBits_->setText(captured.bits);
  // The row holds the size of the file as it is on disk now: after a save the control still
  // reports the size of the file as it was loaded.
  const QString path = textnum::trim(txtImagePath_->text());
  txtFileSize_->setText(fileExists(path) ? QString::number(QFileInfo(path).size())
                                         : captured.fileSize);
  if (showing) {
    const catalogue::Recordset* set = dtaTest_.recordset();
    coloursPending_ = true;
    coloursRow_ = set ? set->bookmark() : 0;
    QTimer::singleShot(0, this, [this] { finishPendingMeasures(); });
  } else {
    txtColors_->setText(captured.colours);
  }
  if (isBannerRatio(txtRatio_->text())) chkBannerSize_->setChecked(true);
  if (unloading || dtaTest_.eof()) updateRecord();
  if (reason == QStringLiteral("Save")) updateRecord();
  if (appState().ShowImageInfo) refreshInfoLabels();
}

void frmDBScreenTest::finishPendingMeasures() {
  if (!coloursPending_) return;
  coloursPending_ = false;
  const catalogue::Recordset* set = dtaTest_.recordset();
  // Only for the row and the picture it was begun for.
  if (!Photo1_ || !set || set->bof() || set->eof() || set->bookmark() != coloursRow_ ||
      Photo1_->fileName() != textnum::trim(txtImagePath_->text()))
    return;
  txtColors_->setText(QString::number(Photo1_->uniqueColors()));
}

QString frmDBScreenTest::pathAt(int position) const {
  const catalogue::Recordset* set = dtaTest_.recordset();
  if (!set || position < 0 || position >= set->bookmarks().size()) return QString();
  const qint64 row = set->bookmarks().at(position);
  const QVariant path =
      set->database().scalar(QStringLiteral("SELECT Pathname FROM tbl1 WHERE rowid = ?"), {row});
  return path.isValid() ? textnum::trim(path.toString()) : QString();
}

void frmDBScreenTest::readAheadNeighbours() {
  if (!Photo1_) return;
  const catalogue::Recordset* set = dtaTest_.recordset();
  QStringList paths;
  if (set && !set->bof() && !set->eof() && readAheadMiB_ > 0) {
    const int here = set->absolutePosition(), count = set->recordCount();
    const QString shown = textnum::trim(txtImagePath_->text());
    for (const int position : {here + lastStep_, here - lastStep_, here == count - 1 ? 0 : -1}) {
      if (position < 0 || position >= count || position == here) continue;
      const QString path = pathAt(position);
      if (path != shown && fileExists(path) && !paths.contains(path)) paths << path;
    }
  }
  Photo1_->readAhead(paths);
}

void frmDBScreenTest::refreshInfoLabels() {
  if (!appState().ShowImageInfo) return;
  const QString path = txtImagePath_->text();
  lblFileNameNoPath_->setText(fileNameNoPath(path));
  setWindowTitle(viewerCaptionFor(path));
  lblFileFormat_->setText(txtExtension_->text());
  lblWidth_->setText(txtWidth_->text());
  lblHeight_->setText(txtHeight_->text());
  lblFileSize_->setText(txtFileSize_->text());
}

void frmDBScreenTest::mnuToggleImageInformation_Click() {
  // The command's check mark follows ShowImageInfo; the menu toggles the mark itself before
  // this runs, so the flag, not the mark, says which way to switch.
  AppState& state = appState();
  if (state.ShowImageInfo) {
    settings::write(settings::kSettings, QStringLiteral("showfraPIC"), QStringLiteral("False"));
    state.ShowImageInfo = false;
    fraPicInfo_->hide();
    fraPictureOptions_->hide();
    mnuToggleImageInformation_->setChecked(false);
  } else {
    settings::write(settings::kSettings, QStringLiteral("showfraPIC"), QStringLiteral("True"));
    state.ShowImageInfo = true;
    fraPicInfo_->show();
    fraPictureOptions_->show();
    refreshInfoLabels();
    mnuToggleImageInformation_->setChecked(true);
  }
}

void frmDBScreenTest::mnuFilesInSet_Click() {
  dialogs().message(
      QStringLiteral("Total number of images is ") + QString::number(dtaTest_.recordCount()),
      MsgButtons::OK, MsgIcon::None, kProgramTitle, this);
}

void frmDBScreenTest::mnuRefreshImage_Click() {
  if (!Photo1_) return;
  Photo1_->refresh();
  CenterPicture();
}

// ---------------------------------------------------------------------------------------------
// Leaving and arriving at a row

void frmDBScreenTest::offerToSaveEdits() {
  for (auto& extension : extensions_) extension->leavingPicture(*this);
}

void frmDBScreenTest::dtaTest_Validate(catalogue::DataAction, bool* save) {
  finishPendingMeasures();
  offerToSaveEdits();
  if (save) *save = *save || dtaTest_.dataChanged();
}

void frmDBScreenTest::dtaTest_Reposition() {
  if (suppressShow_) return;
  catalogue::Recordset* set = dtaTest_.recordset();
  if (!set || set->bof() || set->eof()) {
    // No current row (an empty set, or the catalogue went away): nothing to show.
    clearPicture();
    return;
  }
  {
    const QSignalBlocker block(HScrollPictureMove_);
    HScrollPictureMove_->setValue(std::max(0, set->absolutePosition()));
  }
  if (Zoomed && Photo1_) {
    Photo1_->setScrollBars(ScrollBarsMode::None);
    Photo1_->zoom(1.0);
    Zoomed = false;
  }
  chkAltered_->setChecked(false);
  ShowPic();
  for (auto& extension : extensions_) extension->afterMove(*this);
  // Decoding ahead starts once this picture is painted, so as not to slow the painting.
  QTimer::singleShot(0, this, [this] { readAheadNeighbours(); });
}

// ---------------------------------------------------------------------------------------------
// Navigation

void frmDBScreenTest::navigate(NavCommand command) {
  QScrollBar* bar = HScrollPictureMove_;
  bar->setValue(
      navigationTarget(command, bar->value(), bar->minimum(), bar->maximum(), bar->pageStep()));
}

void frmDBScreenTest::moveRecordFor(const RecordMove& move) {
  switch (move.kind) {
    case RecordMove::Kind::Absolute:
      dtaTest_.setAbsolutePosition(move.amount);
      break;
    case RecordMove::Kind::Relative:
      if (catalogue::Recordset* set = dtaTest_.recordset()) set->move(move.amount);
      break;
    case RecordMove::Kind::First:
      dtaTest_.moveFirst();
      break;
    case RecordMove::Kind::Last:
      dtaTest_.moveLast();
      break;
  }
}

void frmDBScreenTest::HScrollPictureMove_Change() {
  {
    const QSignalBlocker block(SSTab1_);
    SSTab1_->setCurrentIndex(0);
  }
  SSTab1_Click();
  QScrollBar* bar = HScrollPictureMove_;
  const int value = bar->value();
  // After a failed load the record follows the bar relatively. The flag is cleared before the
  // move, so a failure of the move itself is kept for the next one.
  const bool failedBefore = LoadFailed;
  LoadFailed = false;
  if (value != LastPosition) lastStep_ = value < LastPosition ? -1 : 1;
  moveRecordFor(recordMoveFor(value, LastPosition, bar->minimum(), bar->maximum(), failedBefore));
  LastPosition = value;
  focusFirstRating();
}

void frmDBScreenTest::focusFirstRating() {
  if (txtRating_[1]->isVisible())
    txtRating_[1]->setFocus();
  else
    setFocus();
}

}  // namespace glim
