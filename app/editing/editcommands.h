// The one-step edit commands of the viewer, its undo and the two ways of writing the edited
// picture back over the catalogued file. Each command marks the picture altered, arms the
// one-level undo with its caption, changes the picture and lays the control out again.
#pragma once

#include <QSize>
#include <QString>

namespace glim {

class EditHost;

namespace editing {

enum class EditCommand {
  Flip,
  Mirror,
  Negative,
  Sharpen,
  Soften,
  Autocontrast,
  Rotate90Left,
  Rotate90Right,
  Rotate45Left,
  Rotate45Right,
  Resize,
  Brightness,
  Crop,
};

// The undo caption a command gives mnuUndoAlter ("&&" shows one ampersand).
QString undoCaption(EditCommand command);
inline const QString kNoUndoCaption = QStringLiteral("&Undo");

// The control's size before a rotation: 90 degrees swaps the sides; 45 degrees makes a square
// of side round(sqrt(round(2h) * round(2w))), every rounding half to even.
QSize sizeBeforeRotate(QSize size, int degrees);

// Runs a command on the host's picture. Resize and Brightness open their dialogs modally.
void runEditCommand(EditHost& host, EditCommand command);

// Undo: restores the copy, disables undo and lays the picture out from its record.
void undoEdit(EditHost& host);

// Save as is: writes the picture over the record's path when the control's file name is empty
// or at least 4 characters long, refreshes the record and clears the altered flag. A failed
// save says "Error saving image!" and leaves the picture altered and the record unchanged; a
// stock picture shown in place of the record's file is never saved.
void saveAsIs(EditHost& host);

// The save-changes prompt before the viewer leaves an altered picture; the record takes the
// picture's measures only after a successful save.
void promptSaveChanges(EditHost& host);

}  // namespace editing
}  // namespace glim
