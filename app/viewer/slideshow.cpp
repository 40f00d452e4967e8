#include "viewer/slideshow.h"

#include <QTime>
#include <algorithm>

#include "base/textnum.h"

namespace glim::viewer {

namespace {
SlideClock::SecondSource& secondSource() {
  static SlideClock::SecondSource source;
  return source;
}
constexpr int kShortest = 6;
constexpr int kLongest = 60;
}  // namespace

int nextTargetSecond(int nowSecond, int slideSeconds) {
  if (slideSeconds == kLongest) return nowSecond;
  return ((nowSecond + slideSeconds) % 60 + 60) % 60;
}

int SlideClock::currentSecond() {
  if (secondSource()) return secondSource()();
  return QTime::currentTime().second();
}

void SlideClock::setSecondSource(SecondSource source) {
  secondSource() = std::move(source);
}

void SlideClock::start(int slideSeconds) {
  seconds_ = slideSeconds;
  held_ = currentSecond();
  target_ = nextTargetSecond(held_, seconds_);
}

bool SlideClock::tick() {
  // The timer ticks twice a second: a second that already started or changed the show is
  // passed over, or a 60-second show (whose target is the second it leaves) would change
  // twice in one second, and at once when it starts.
  const int now = currentSecond();
  if (now == held_) return false;
  held_ = -1;
  if (now != target_) return false;
  held_ = now;
  target_ = nextTargetSecond(now, seconds_);
  return true;
}

QString slideTimeBoxText(const QString& text, qint16 storedSlideTime) {
  const auto value = textnum::isNumeric(text) ? textnum::toDouble(text) : std::nullopt;
  if (!value) return QString::number(storedSlideTime);
  if (*value < kShortest) return QString::number(kShortest);
  if (*value > kLongest) return QString::number(kLongest);
  return text;
}

qint16 slideTimeOf(const QString& boxText, qint16 storedSlideTime) {
  const auto value = textnum::toInt16(slideTimeBoxText(boxText, storedSlideTime));
  const int seconds = value ? *value : storedSlideTime;
  return qint16(std::clamp(seconds, kShortest, kLongest));
}

}  // namespace glim::viewer
