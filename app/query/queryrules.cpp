#include "query/queryrules.h"

#include <algorithm>
#include <cmath>

#include "base/textnum.h"

namespace glim::query {

namespace {

QString clampedNumber(const QString& text, const QString& fallback, double low, double high,
                      const QString& lowText, const QString& highText) {
  const auto value = textnum::toDouble(text);
  if (!value) return fallback;
  if (*value > high) return highText;
  if (*value < low) return lowText;
  return text;
}

}  // namespace

std::optional<qint64> wholeNumberOf(const QString& text) {
  const auto value = textnum::toDouble(text);
  if (!value || std::floor(*value) != *value || std::fabs(*value) > 9.0e15) return std::nullopt;
  return static_cast<qint64>(*value);
}

void fileSizeRule(QString& text, int& slider) {
  const auto n = wholeNumberOf(text);
  if (n && *n >= 1 && *n < 32001)
    slider = static_cast<int>(*n);
  else
    text = QString::number(slider);
}

void ratingRule(QString& text, int& slider) {
  const auto n = wholeNumberOf(text);
  if (n && *n >= 0 && *n <= 5)
    slider = static_cast<int>(*n);
  else
    text = QString::number(slider);
}

QString widthRule(const QString& text) {
  return clampedNumber(text, QStringLiteral("640"), 0, 3200, QStringLiteral("0"),
                       QStringLiteral("3200"));
}

QString heightRule(const QString& text) {
  return clampedNumber(text, QStringLiteral("480"), 0, 2400, QStringLiteral("0"),
                       QStringLiteral("2400"));
}

QString coloursRule(const QString& text) {
  return clampedNumber(text, QStringLiteral("256"), 3, 16777216, QStringLiteral("3"),
                       QStringLiteral("16777216"));
}

QString maxPicturesRule(const QString& text) {
  const auto value = textnum::toDouble(text);
  return !value || *value < 1 ? QStringLiteral("1") : text;
}

RatioView ratioRule(const QString& text) {
  RatioView v;
  v.text = text;
  // Text that is not a number reads as 0 and so becomes the smallest ratio.
  v.ratio = static_cast<float>(textnum::toDouble(text).value_or(0.0));
  if (v.ratio > 10.0f) {
    v.ratio = 10.0f;
    v.text = QStringLiteral("10");
  } else if (v.ratio < 0.001f) {
    v.ratio = 0.001f;
    v.text = QStringLiteral("0.001");
  }
  v.slider = textnum::toInt32(static_cast<double>(v.ratio) * 1000.0).value_or(kRatioSliderMin);
  v.slider = std::clamp(v.slider, kRatioSliderMin, kRatioSliderMax);
  if (v.ratio >= 1.33f) {
    v.imageTwips = QSize(1200, static_cast<int>(std::lround(1200.0 / v.ratio)));
    v.label = QStringLiteral("aspect ratio of OVER:");
  } else {
    v.imageTwips = QSize(static_cast<int>(std::lround(v.ratio * 900.0)), 900);
    v.label = QStringLiteral("aspect ratio UNDER:");
  }
  return v;
}

QString ratioSliderText(int value) {
  return textnum::doubleText(value / 1000.0);
}

}  // namespace glim::query
