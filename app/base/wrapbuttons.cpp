#include "base/wrapbuttons.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace glim {

namespace {

constexpr int kTextFlags =
    Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;

// What sets a check box apart from an option button: its indicator and the gap after it.
struct Look {
  QStyle::PixelMetric indicatorWidth;
  QStyle::PixelMetric indicatorHeight;
  QStyle::PixelMetric spacing;
  QStyle::ControlElement control;
};

constexpr Look kCheckLook{QStyle::PM_IndicatorWidth, QStyle::PM_IndicatorHeight,
                          QStyle::PM_CheckBoxLabelSpacing, QStyle::CE_CheckBox};
constexpr Look kRadioLook{QStyle::PM_ExclusiveIndicatorWidth, QStyle::PM_ExclusiveIndicatorHeight,
                          QStyle::PM_RadioButtonLabelSpacing, QStyle::CE_RadioButton};

int textLeft(const QWidget* button, const Look& look) {
  const QStyle* style = button->style();
  return style->pixelMetric(look.indicatorWidth, nullptr, button) +
         style->pixelMetric(look.spacing, nullptr, button);
}

QString plain(QString text) {
  text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
  text.remove(u'&');
  text.replace(u'\x01', u'&');
  return text;
}

int heightFor(const QAbstractButton* button, const Look& look, int width) {
  const int room = std::max(1, width - textLeft(button, look));
  const QRect text = button->fontMetrics().boundingRect(QRect(0, 0, room, 100000), kTextFlags,
                                                        plain(button->text()));
  const int indicator = button->style()->pixelMetric(look.indicatorHeight, nullptr, button);
  return std::max(text.height(), indicator) + 2;
}

// One line up to about 60 characters; longer captions ask for that width and wrap.
QSize preferredSize(const QAbstractButton* button, const Look& look) {
  const QFontMetrics metrics = button->fontMetrics();
  const int oneLine = metrics.horizontalAdvance(plain(button->text())) + 2;
  const int width = textLeft(button, look) + std::min(oneLine, 60 * metrics.averageCharWidth());
  return {width, heightFor(button, look, width)};
}

// Narrow enough that the longest word still fits.
QSize smallestSize(const QAbstractButton* button, const Look& look) {
  int widest = 0;
  const QFontMetrics metrics = button->fontMetrics();
  for (const QString& word : plain(button->text()).split(u' ', Qt::SkipEmptyParts))
    widest = std::max(widest, metrics.horizontalAdvance(word));
  const int width = textLeft(button, look) + widest + 2;
  return {width, heightFor(button, look, width)};
}

void paintWrapped(QAbstractButton* button, QStyleOptionButton& option, const Look& look) {
  QStylePainter painter(button);
  const QString text = option.text;
  option.text.clear();
  painter.drawControl(look.control, option);
  QRect area = button->rect();
  area.setLeft(textLeft(button, look));
  button->style()->drawItemText(&painter, area, kTextFlags, option.palette, button->isEnabled(),
                                text, QPalette::WindowText);
}

QSizePolicy wrappingPolicy() {
  QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  policy.setHeightForWidth(true);
  return policy;
}

}  // namespace

WrapCheckBox::WrapCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {
  setSizePolicy(wrappingPolicy());
}

QSize WrapCheckBox::sizeHint() const {
  return preferredSize(this, kCheckLook);
}

QSize WrapCheckBox::minimumSizeHint() const {
  return smallestSize(this, kCheckLook);
}

int WrapCheckBox::heightForWidth(int width) const {
  return heightFor(this, kCheckLook, width);
}

void WrapCheckBox::paintEvent(QPaintEvent*) {
  QStyleOptionButton option;
  initStyleOption(&option);
  paintWrapped(this, option, kCheckLook);
}

WrapRadioButton::WrapRadioButton(const QString& text, QWidget* parent)
    : QRadioButton(text, parent) {
  setSizePolicy(wrappingPolicy());
}

QSize WrapRadioButton::sizeHint() const {
  return preferredSize(this, kRadioLook);
}

QSize WrapRadioButton::minimumSizeHint() const {
  return smallestSize(this, kRadioLook);
}

int WrapRadioButton::heightForWidth(int width) const {
  return heightFor(this, kRadioLook, width);
}

void WrapRadioButton::paintEvent(QPaintEvent*) {
  QStyleOptionButton option;
  initStyleOption(&option);
  paintWrapped(this, option, kRadioLook);
}

}  // namespace glim
