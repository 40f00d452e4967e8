// The input rules of the query builder's text boxes. Each runs on every change of its text;
// a correction rewrites the text, so every value the statement sees is a plain number in
// range whatever was typed or pasted.
#pragma once

#include <QSize>
#include <QString>
#include <optional>

namespace glim::query {

inline constexpr int kFileSizeSliderMax = 32767;
inline constexpr int kRatioSliderMin = 1;
inline constexpr int kRatioSliderMax = 10000;

// The text as a whole number ("3", " 3.0"), or nothing.
std::optional<qint64> wholeNumberOf(const QString& text);

// File size in kilobytes: a whole number from 1 to 32000 moves the slider; anything else is
// replaced by the slider's value.
void fileSizeRule(QString& text, int& slider);
// A rating: a whole number from 0 to 5 moves the slider; anything else takes its value.
void ratingRule(QString& text, int& slider);

// Not numeric: the default; above the limit: the limit; below the floor: the floor.
QString widthRule(const QString& text);        // "640", 0..3200
QString heightRule(const QString& text);       // "480", 0..2400
QString coloursRule(const QString& text);      // "256", 3..16777216
QString maxPicturesRule(const QString& text);  // "1" when not numeric or below 1

// The banner ratio box: its value clamped to 0.001..10, the slider position (ratio × 1000)
// and the sample picture and caption that show whether it is an upper or lower bound.
struct RatioView {
  QString text;
  float ratio = 0;
  int slider = 0;
  QSize imageTwips;
  QString label;
};
RatioView ratioRule(const QString& text);
// Moving the ratio slider writes value / 1000 into the box.
QString ratioSliderText(int value);

}  // namespace glim::query
