#include "viewer/ratings.h"

#include "base/textnum.h"

namespace glim::viewer {

bool ratingKeyAccepted(QChar key) {
  return key >= u'0' && key <= u'5';
}

RatingChange ratingChanged(const QString& text) {
  const auto value = textnum::toDouble(text);
  if (textnum::trim(text).isEmpty() || !value) return {QStringLiteral("0"), 0};
  if (*value < 0 || *value > 5) return {std::nullopt, 0};
  return {std::nullopt, int(textnum::roundHalfEven(*value))};
}

QString ratingOnLeave(const QString& text) {
  static const QString digits = QStringLiteral("012345");
  if (text.size() == 1 && digits.contains(text.front())) return text;
  return QStringLiteral("0");
}

std::optional<int> themeNumber(const QString& slotText) {
  if (!textnum::isNumeric(slotText)) return std::nullopt;
  // A slot edited by hand may hold any number; only 0 to 15 name a button.
  const auto value = textnum::toInt16(slotText);
  if (!value || *value < 0 || *value > kThemeCount) return std::nullopt;
  return int(*value);
}

void ThemeHighlight::setRed(int button, bool red) {
  if (inRange(button)) red_[size_t(button)] = red;
}

QString ThemeHighlight::click(int button) {
  const bool wasRed = isRed(button);
  resetAll();
  if (wasRed) return QStringLiteral("0");
  setRed(button, true);
  return QString::number(button);
}

void ThemeHighlight::tabChanged(const QString& slotText) {
  resetAll();
  if (const auto n = themeNumber(slotText)) {
    current_ = *n;
    setRed(current_, true);
    setRed(0, false);  // theme 0 is "none" and shows no highlight
  }
}

void ThemeHighlight::pictureShown(const QString& mainThemeText) {
  if (const auto n = themeNumber(mainThemeText)) {
    setRed(current_, false);
    current_ = *n;
    setRed(current_, true);
    setRed(0, false);
  } else {
    setRed(current_, false);
  }
}

}  // namespace glim::viewer
