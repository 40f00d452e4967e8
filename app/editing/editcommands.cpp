#include "editing/editcommands.h"

#include <QFileInfo>
#include <cmath>

#include "base/dialogs.h"
#include "base/textnum.h"
#include "editing/edithost.h"
#include "editing/frmColor.h"
#include "editing/frmResizeMethods.h"
#include "rastrel/rastrel.h"

namespace glim::editing {

namespace tn = glim::textnum;

QString undoCaption(EditCommand command) {
  switch (command) {
    case EditCommand::Flip:
      return QStringLiteral("&Undo Flip");
    case EditCommand::Mirror:
      return QStringLiteral("&Undo Mirror");
    case EditCommand::Negative:
      return QStringLiteral("&Undo Negative");
    case EditCommand::Sharpen:
      return QStringLiteral("&Undo Sharpen");
    case EditCommand::Soften:
      return QStringLiteral("&Undo Soften");
    case EditCommand::Autocontrast:
      return QStringLiteral("&Undo Autocontrast");
    case EditCommand::Rotate90Left:
    case EditCommand::Rotate90Right:
    case EditCommand::Rotate45Left:
    case EditCommand::Rotate45Right:
      return QStringLiteral("&Undo Rotate");
    case EditCommand::Resize:
      return QStringLiteral("&Undo Resizing");
    case EditCommand::Brightness:
      return QStringLiteral("&Undo Brightness && Contrast");
    case EditCommand::Crop:
      return QStringLiteral("&Undo Crop");
  }
  return kNoUndoCaption;
}

QSize sizeBeforeRotate(QSize size, int degrees) {
  if (std::abs(degrees) == 90) return {size.height(), size.width()};
  const double a = tn::roundHalfEven(2.0 * size.height());
  const double b = tn::roundHalfEven(2.0 * size.width());
  const int side = tn::toInt16(std::sqrt(a * b)).value_or(qint16(32767));
  return {side, side};
}

namespace {

// Steps 1-3 shared by every command: altered (unless the dialog marks it itself), undo armed.
void armUndo(EditHost& host, EditCommand command, bool markAltered) {
  if (markAltered) host.setAltered(true);
  host.photo1()->setUndoEnabled(true);
  host.setUndoCommand(undoCaption(command), true);
}

void rotate(EditHost& host, int degrees) {
  RastrelControl* photo = host.photo1();
  photo->resize(sizeBeforeRotate(photo->size(), degrees));
  photo->rotate(degrees);
  host.sizeControlToPicture();
  host.centreControl();
}

void crop(EditHost& host) {
  RastrelControl* p1 = host.photo1();
  RastrelControl* p2 = host.photo2();
  p1->setAutoSize(rastrel::ISIZE_ResizeControl);
  p1->setScrollBars(rastrel::SB_Both);
  armUndo(host, EditCommand::Crop, true);
  p2->setHDib(p1->copyRubberbandDib());
  p1->resize(p1->rubberBandW(), p1->rubberBandH());
  p1->setHDib(p2->copyDib());
  p2->setFileName(QString());
  p1->rubberBand(false);
  p1->setAutoSize(rastrel::ISIZE_ResizePreserveAspect);
  p1->setScrollBars(rastrel::SB_None);
  host.centreControl();
}

void resizeDialog(EditHost& host) {
  frmResizeMethods dialog(host);
  dialog.exec();
  host.sizeControlToPicture();
  host.centreControl();
}

void brightnessDialog(EditHost& host) {
  frmColor dialog(host);
  dialog.exec();
}

}  // namespace

void runEditCommand(EditHost& host, EditCommand command) {
  if (!host.photo1()) return;
  // The brightness dialog marks the picture altered itself when it closes.
  armUndo(host, command, command != EditCommand::Brightness);
  RastrelControl* photo = host.photo1();
  switch (command) {
    case EditCommand::Flip:
      photo->flip();
      host.centreControl();
      break;
    case EditCommand::Mirror:
      photo->mirror();
      host.centreControl();
      break;
    case EditCommand::Negative:
      photo->negate();
      break;
    case EditCommand::Sharpen:
      photo->sharpen(5);
      break;
    case EditCommand::Soften:
      photo->soften(5);
      break;
    case EditCommand::Autocontrast:
      photo->autoContrast();
      break;
    case EditCommand::Rotate90Left:
      rotate(host, 90);
      break;
    case EditCommand::Rotate90Right:
      rotate(host, -90);
      break;
    case EditCommand::Rotate45Left:
      rotate(host, 45);
      break;
    case EditCommand::Rotate45Right:
      rotate(host, -45);
      break;
    case EditCommand::Resize:
      resizeDialog(host);
      break;
    case EditCommand::Brightness:
      brightnessDialog(host);
      break;
    case EditCommand::Crop:
      crop(host);
      break;
  }
}

void undoEdit(EditHost& host) {
  if (!host.photo1()) return;
  host.photo1()->undo();
  host.photo1()->setUndoEnabled(false);
  host.setUndoCommand(kNoUndoCaption, false);
  host.layoutAfterUndo();
}

namespace {

void reportSaveError(const QString& text = QStringLiteral("Error saving image!")) {
  dialogs().message(text, MsgButtons::OK, MsgIcon::Exclamation, QStringLiteral("Save Error!"));
}

}  // namespace

void saveAsIs(EditHost& host) {
  RastrelControl* photo = host.photo1();
  if (!photo) return;
  if (host.showsStandIn()) {
    reportSaveError(
        QStringLiteral("The picture shown stands in for a file that is missing or "
                       "cannot be read.  It was not saved."));
    return;
  }
  const QString current = photo->fileName();
  if (tn::length(current) >= 4 || tn::trim(current).isEmpty()) {
    photo->setSaveFileName(tn::trim(host.recordPath()));
    photo->saveFile();
    // A refused save keeps the edits and the record as they are: the file was not changed.
    if (photo->imagError() != 0) {
      reportSaveError();
      return;
    }
  }
  host.refreshPictureInfo();
  host.setAltered(false);
}

void promptSaveChanges(EditHost& host) {
  RastrelControl* photo = host.photo1();
  // A stock picture shown for a missing or damaged file is not the record's picture: saving
  // it would write over the stock picture, so it is never offered, like a missing one.
  if (!photo || !host.altered() || tn::trim(host.recordStatus()) == u"Missing" ||
      host.showsStandIn())
    return;
  host.setUndoCommand(kNoUndoCaption, false);
  const MsgResult answer =
      dialogs().message(QStringLiteral("Save changes to this image?"), MsgButtons::YesNo,
                        MsgIcon::None, QStringLiteral("Glimmora"));
  if (answer != MsgResult::Yes) {
    host.setAltered(false);
    return;
  }
  QString target = photo->fileName();
  if (target.isEmpty()) target = QString::number(photo->picture());
  // A save the engine refuses is reported like a missing target, so edits are never
  // dropped silently.
  bool saved = QFileInfo(target).isFile();
  if (saved) {
    photo->setSaveFileName(target);
    photo->saveFile();
    saved = photo->imagError() == 0;
    photo->setUndoEnabled(false);
  }
  // The record takes the picture's measures only once they are what the file holds.
  if (saved)
    host.refreshPictureInfo();
  else
    reportSaveError();
  host.setAltered(false);
}

}  // namespace glim::editing
