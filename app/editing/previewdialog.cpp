#include "editing/previewdialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

#include "editing/editcommands.h"
#include "editing/edithost.h"
#include "editing/editrules.h"
#include "rastrel/rastrel.h"

namespace glim {

PreviewDialog::PreviewDialog(EditHost& host, const QString& caption, QWidget* parent)
    : QDialog(parent), host_(host) {
  setWindowTitle(caption);
  auto* layout = new QVBoxLayout(this);
  grid_ = new QGridLayout;
  layout->addLayout(grid_);
  auto* buttons = new QHBoxLayout;
  cmdPreview = new QPushButton(QStringLiteral("Preview"), this);
  cmdOK = new QPushButton(QStringLiteral("Accept"), this);
  cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
  cmdResetImage = new QPushButton(QStringLiteral("Reset "), this);
  for (QPushButton* b : {cmdPreview, cmdOK, cmdCancel, cmdResetImage}) buttons->addWidget(b);
  layout->addLayout(buttons);
  connect(cmdPreview, &QPushButton::clicked, this, &PreviewDialog::cmdPreview_Click);
  connect(cmdOK, &QPushButton::clicked, this, &PreviewDialog::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &PreviewDialog::cmdCancel_Click);
  connect(cmdResetImage, &QPushButton::clicked, this, &PreviewDialog::cmdResetImage_Click);
  // Form_Load: park the unchanged picture.
  if (host_.photo1() && host_.photo2()) host_.photo2()->setHDib(host_.photo1()->copyDib());
}

QString gammaText(int scrollValue) {
  QString text = QString::number(double(editing::gammaForScroll(scrollValue)), 'f', 3);
  while (text.endsWith(u'0') && !text.endsWith(QStringLiteral(".0"))) text.chop(1);
  return text;
}

QRect placeBeside(const QRect& picture, const QSize& size, const QRect& screen) {
  const int gap = 8;
  const QList<QPoint> beside = {
      {picture.x() + picture.width() + gap, picture.top()},
      {picture.left() - gap - size.width(), picture.top()},
      {picture.left(), picture.y() + picture.height() + gap},
      {picture.left(), picture.top() - gap - size.height()},
  };
  for (QPoint at : beside) {
    at.setX(std::clamp(at.x(), screen.left(),
                       std::max(screen.left(), screen.right() - size.width() + 1)));
    at.setY(std::clamp(at.y(), screen.top(),
                       std::max(screen.top(), screen.bottom() - size.height() + 1)));
    const QRect place(at, size);
    if (screen.contains(place) && !place.intersects(picture)) return place;
  }
  const QList<QPoint> corners = {
      {screen.right() - size.width() + 1, screen.bottom() - size.height() + 1},
      {screen.left(), screen.bottom() - size.height() + 1},
      {screen.right() - size.width() + 1, screen.top()},
      {screen.left(), screen.top()},
  };
  QRect best(corners.first(), size);
  qint64 leastCovered = -1;
  for (const QPoint& at : corners) {
    const QRect place(at, size);
    const QRect covered = place.intersected(picture);
    const qint64 area = qint64(covered.width()) * covered.height();
    if (leastCovered < 0 || area < leastCovered) {
      leastCovered = area;
      best = place;
    }
  }
  return best;
}

void PreviewDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  RastrelControl* photo = host_.photo1();
  if (!photo || !photo->isVisible() || !screen()) return;
  const QRect picture(photo->mapToGlobal(QPoint(0, 0)), photo->size());
  const QRect frame = frameGeometry();
  const QRect place = placeBeside(picture, frame.size(), screen()->availableGeometry());
  move(place.topLeft() + (pos() - frame.topLeft()));
}

QScrollBar* PreviewDialog::addScroll(const QString& label, int minimum, int maximum, int initial,
                                     std::function<QString(int)> shown) {
  if (!shown) shown = [](int v) { return QString::number(v); };
  const int row = grid_->rowCount();
  auto* bar = new QScrollBar(Qt::Horizontal, this);
  bar->setRange(minimum, maximum);
  bar->setValue(initial);
  bar->setMinimumWidth(240);
  grid_->addWidget(new QLabel(label, this), row, 0);
  grid_->addWidget(bar, row, 1);
  auto* value = new QLabel(shown(initial), this);
  value->setObjectName(QStringLiteral("lblValue%1").arg(row + 1));
  // Room for the widest value, so the row does not jump while the bar moves.
  value->setMinimumWidth(std::max(value->fontMetrics().horizontalAdvance(shown(minimum)),
                                  value->fontMetrics().horizontalAdvance(shown(maximum))));
  grid_->addWidget(value, row, 2);
  connect(bar, &QScrollBar::valueChanged, value,
          [value, shown](int v) { value->setText(shown(v)); });
  connect(bar, &QScrollBar::valueChanged, this, &PreviewDialog::HScroll_Change);
  scrolls_.emplace_back(bar, initial);
  return bar;
}

void PreviewDialog::restore() {
  if (host_.photo1() && host_.photo2()) host_.photo1()->setHDib(host_.photo2()->copyDib());
}

void PreviewDialog::HScroll_Change() {
  if (preview_) restore();
}

void PreviewDialog::cmdPreview_Click() {
  // A second preview starts again from the unchanged picture, not from the last preview.
  if (preview_) restore();
  preview_ = true;
  apply();
}

void PreviewDialog::cmdResetImage_Click() {
  if (preview_) restore();
  for (auto& [bar, initial] : scrolls_) {
    const QSignalBlocker block(bar);
    bar->setValue(initial);
  }
}

void PreviewDialog::cmdOK_Click() {
  if (!preview_) apply();
  accept();
}

void PreviewDialog::cmdCancel_Click() {
  reject();
}

void PreviewDialog::reject() {
  if (preview_) restore();
  preview_ = false;
  if (host_.photo1()) host_.photo1()->setUndoEnabled(false);
  host_.setUndoCommand(editing::kNoUndoCaption, false);
  QDialog::reject();
}

void PreviewDialog::done(int result) {
  host_.setAltered(true);
  if (host_.photo2()) host_.photo2()->setFileName(QString());
  QDialog::done(result);
}

frmColor::frmColor(EditHost& host, QWidget* parent)
    : PreviewDialog(host, QStringLiteral("Brightness & Contrast"), parent) {
  HScroll1 = addScroll(QStringLiteral("Brightness:"), -100, 100, 0);
  HScroll2 = addScroll(QStringLiteral("Contrast:"), -100, 100, 0);
}

void frmColor::apply() {
  if (RastrelControl* photo = host().photo1()) {
    photo->brightness(static_cast<qint16>(HScroll1->value()));
    photo->contrast(static_cast<qint16>(HScroll2->value()));
  }
}

frmRGB::frmRGB(EditHost& host, QWidget* parent)
    : PreviewDialog(host, QStringLiteral("Adjust RGB"), parent) {
  HScroll1 = addScroll(QStringLiteral("Red:"), -100, 100, 0);
  HScroll2 = addScroll(QStringLiteral("Green:"), -100, 100, 0);
  HScroll3 = addScroll(QStringLiteral("Blue:"), -100, 100, 0);
}

void frmRGB::apply() {
  if (RastrelControl* photo = host().photo1()) {
    photo->adjustRGB(0, static_cast<qint16>(HScroll1->value()),
                     static_cast<qint16>(HScroll2->value()),
                     static_cast<qint16>(HScroll3->value()));
    photo->refresh();
  }
}

frmGamma::frmGamma(EditHost& host, QWidget* parent)
    : PreviewDialog(host, QStringLiteral("Gamma"), parent) {
  HScroll1 = addScroll(QStringLiteral("Gamma"), 100, 2000, editing::kGammaInitial, gammaText);
  HScroll1->setSingleStep(100);
  HScroll1->setPageStep(100);
}

void frmGamma::apply() {
  if (RastrelControl* photo = host().photo1())
    photo->gamma(editing::gammaForScroll(HScroll1->value()));
}

}  // namespace glim
