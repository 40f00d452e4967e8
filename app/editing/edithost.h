// What the editing commands and dialogs need of the window that shows the picture: its two
// imaging controls, the altered flag, the undo command, the record and the layout.
#pragma once

#include <QString>

namespace glim {

class RastrelControl;

class EditHost {
 public:
  virtual ~EditHost() = default;

  // The visible picture and the invisible scratch control.
  virtual RastrelControl* photo1() = 0;
  virtual RastrelControl* photo2() = 0;

  // chkAltered: true while the shown picture has unsaved edits.
  virtual bool altered() const = 0;
  virtual void setAltered(bool altered) = 0;

  // mnuUndoAlter's caption and enabled state.
  virtual void setUndoCommand(const QString& caption, bool enabled) = 0;

  // The current record's path (txtImagePath) and status (txtStatus).
  virtual QString recordPath() const = 0;
  virtual QString recordStatus() const = 0;

  // Reads width, height, bits, size and colours back from the picture into the record and
  // stores it (after a save).
  virtual void refreshPictureInfo() = 0;

  // True while photo1 shows a stock picture in place of the record's missing or damaged file:
  // that picture is never written over any file.
  virtual bool showsStandIn() const { return false; }

  // True when `path` names another catalogued picture than the record's own: a save there
  // would replace that picture's file under its row.
  virtual bool namesAnotherPicture(const QString& /*path*/) { return false; }

  // Layout: size the control to the picture's pixel size; centre it on the form; the full
  // layout from the record's size after an undo.
  virtual void sizeControlToPicture() = 0;
  virtual void centreControl() = 0;
  virtual void layoutAfterUndo() = 0;
};

}  // namespace glim
