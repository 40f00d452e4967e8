// The slide show's timing and box rules, without windows: a picture is due when the clock's
// second reaches the target second, which lies the slide time ahead (modulo a minute). The
// clock is injected so the rule can be checked at any second.
#pragma once

#include <QString>
#include <functional>

namespace glim::viewer {

// The target second for a show of `slideSeconds` checked from `nowSecond`: (now + slide time)
// mod 60; a slide time of 60 keeps the current second (the same second next minute).
int nextTargetSecond(int nowSecond, int slideSeconds);

class SlideClock {
 public:
  using SecondSource = std::function<int()>;
  // The clock's current second (0 ... 59); the system clock unless a test set another.
  static int currentSecond();
  static void setSecondSource(SecondSource source);

  void start(int slideSeconds);
  // A tick: true when the next picture is due (the target then moves on).
  bool tick();
  int targetSecond() const { return target_; }
  int slideSeconds() const { return seconds_; }

 private:
  int seconds_ = 7;
  int target_ = 0;
  int held_ = -1;  // the second of the start or of the last change
};

// The slide-time box: a number below 6 becomes "6", above 60 "60"; other numbers stay as they
// are typed; a text that is not a number becomes the stored slide time.
QString slideTimeBoxText(const QString& text, qint16 storedSlideTime);
// The slide time the show runs with: the box rounded to a whole number, 6 ... 60.
qint16 slideTimeOf(const QString& boxText, qint16 storedSlideTime);

}  // namespace glim::viewer
