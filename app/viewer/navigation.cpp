#include "viewer/navigation.h"

#include <algorithm>

#include "base/textnum.h"

namespace glim::viewer {

int skipStep(qint64 recordCount) {
  const double step = textnum::roundHalfEven(double(recordCount) / 10.0);
  return std::max(1, int(std::min(step, 2147483647.0)));
}

int navigationTarget(NavCommand command, int value, int minimum, int maximum, int step) {
  switch (command) {
    case NavCommand::First:
      return minimum;
    case NavCommand::Last:
      return maximum;
    case NavCommand::Next:
      return value < maximum ? value + 1 : value;
    case NavCommand::Previous:
      return value > minimum ? value - 1 : value;
    case NavCommand::Forward10:
      return maximum - value < step ? maximum : value + step;
    case NavCommand::Back10:
      return value - minimum < step ? minimum : value - step;
  }
  return value;
}

RecordMove recordMoveFor(int value, int lastPosition, int minimum, int maximum, bool loadFailed) {
  using Kind = RecordMove::Kind;
  if (!loadFailed) return {Kind::Absolute, value};
  if (value >= maximum) return {Kind::Last, 0};
  if (value <= minimum) return {Kind::First, 0};
  return {Kind::Relative, value - lastPosition};
}

}  // namespace glim::viewer
