// A one-line label for paths: where its text is wider than the room it has, the middle gives
// way to an ellipsis and the whole text shows as its tip, so a deep path never widens its
// window. text() stays the whole text.
#pragma once

#include <QLabel>

namespace glim {

class ElidedLabel : public QLabel {
  Q_OBJECT
  Q_PROPERTY(bool elides READ elides CONSTANT)

 public:
  explicit ElidedLabel(QWidget* parent = nullptr);
  bool elides() const { return true; }
  QSize minimumSizeHint() const override;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool cut() const;
};

}  // namespace glim
