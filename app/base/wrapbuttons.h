// Check boxes and option buttons whose long captions wrap onto more lines instead of widening
// their window or being cut at its edge. They keep their whole caption as text().
#pragma once

#include <QCheckBox>
#include <QRadioButton>

namespace glim {

class WrapCheckBox : public QCheckBox {
  Q_OBJECT
  Q_PROPERTY(bool wordWrap READ wordWrap CONSTANT)

 public:
  explicit WrapCheckBox(const QString& text, QWidget* parent = nullptr);
  bool wordWrap() const { return true; }
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

class WrapRadioButton : public QRadioButton {
  Q_OBJECT
  Q_PROPERTY(bool wordWrap READ wordWrap CONSTANT)

 public:
  explicit WrapRadioButton(const QString& text, QWidget* parent = nullptr);
  bool wordWrap() const { return true; }
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

}  // namespace glim
