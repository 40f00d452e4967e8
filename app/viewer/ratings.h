// The rules of the rating boxes and of the theme buttons, without the widgets.
#pragma once

#include <QChar>
#include <QString>
#include <array>
#include <optional>

namespace glim::viewer {

// Rating boxes accept only the digits 0 to 5 from the keyboard; every other key is dropped.
bool ratingKeyAccepted(QChar key);

// A change of a rating box's text: what the text becomes and the scroll-bar value it shows.
struct RatingChange {
  std::optional<QString> newText;  // set when the text is replaced by "0"
  int barValue = 0;
};
RatingChange ratingChanged(const QString& text);
// On leaving the box anything other than a single digit 0 to 5 becomes "0".
QString ratingOnLeave(const QString& text);

inline constexpr int kThemeCount = 15;
inline constexpr int kThemeSlots = 7;
// Theme buttons to a row on a tab of the viewer's panel.
inline constexpr int kThemeColumns = 2;

// The theme number a slot text holds, when it holds one that names a button (0 to 15).
std::optional<int> themeNumber(const QString& slotText);

// Which of the theme buttons 0 to 15 are highlighted, and the one highlighted for the picture.
class ThemeHighlight {
 public:
  bool isRed(int button) const { return inRange(button) && red_[size_t(button)]; }
  int current() const { return current_; }

  // A click on button i: it toggles, every other highlight goes. Returns the new slot value:
  // "0" when the button was already red (the theme is taken off), else its number.
  QString click(int button);
  // A tab became current: highlight the theme its slot holds.
  void tabChanged(const QString& slotText);
  // A new picture is shown: highlight its main theme.
  void pictureShown(const QString& mainThemeText);

 private:
  static bool inRange(int button) { return button >= 0 && button <= kThemeCount; }
  void resetAll() { red_.fill(false); }
  void setRed(int button, bool red);
  std::array<bool, kThemeCount + 1> red_{};
  int current_ = 0;
};

}  // namespace glim::viewer
