// The notice after a move or backup, shown without blocking and topmost. Its options choose how
// the rest of the run reports moves: the notice, a beep, or nothing (MoveNoticeMode).
#pragma once

#include <QDialog>

class QPushButton;
class QRadioButton;

namespace glim::viewer {

class frmMoveNotify : public QDialog {
  Q_OBJECT
 public:
  frmMoveNotify();

  QRadioButton* optShowMe() const { return optShowMe_; }
  QRadioButton* optBeep() const { return optBeep_; }
  QRadioButton* optNoAction() const { return optNoAction_; }
  QPushButton* Command1() const { return Command1_; }

  void Command1_Click();

 private:
  QRadioButton* optShowMe_;
  QRadioButton* optBeep_;
  QRadioButton* optNoAction_;
  QPushButton* Command1_;
};

// Tells the user a move or backup succeeded, as MoveNoticeMode asks: 0 (and any value other
// than 1 and 2) shows frmMoveNotify, 1 beeps, 2 shows nothing.
void indicateMove();

}  // namespace glim::viewer
