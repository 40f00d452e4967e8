// Moving through a picture set with the position bar: the bar's value is the 0-based position
// of the current record, its maximum the last position and its large change the skip step.
#pragma once

#include <QtGlobal>

namespace glim::viewer {

// A tenth of the set, rounded half to even (25 -> 2, 35 -> 4), and at least 1.
int skipStep(qint64 recordCount);

enum class NavCommand { First, Back10, Previous, Next, Forward10, Last };

// The bar value a command leads to; the same value when the command cannot move.
int navigationTarget(NavCommand command, int value, int minimum, int maximum, int step);

// How the record follows the bar. After a failed load the record is moved relatively (the
// absolute position may not match the bar any more); otherwise to the absolute position.
struct RecordMove {
  enum class Kind { Absolute, Relative, First, Last } kind = Kind::Absolute;
  int amount = 0;  // the position (Absolute) or the number of records to move (Relative)
  friend bool operator==(const RecordMove&, const RecordMove&) = default;
};
RecordMove recordMoveFor(int value, int lastPosition, int minimum, int maximum, bool loadFailed);

}  // namespace glim::viewer
