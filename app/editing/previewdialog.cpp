#include "editing/previewdialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
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

QScrollBar* PreviewDialog::addScroll(const QString& label, int minimum, int maximum, int initial) {
  const int row = grid_->rowCount();
  auto* bar = new QScrollBar(Qt::Horizontal, this);
  bar->setRange(minimum, maximum);
  bar->setValue(initial);
  bar->setMinimumWidth(240);
  grid_->addWidget(new QLabel(label, this), row, 0);
  grid_->addWidget(bar, row, 1);
  auto* value = new QLabel(QString::number(initial), this);
  grid_->addWidget(value, row, 2);
  connect(bar, &QScrollBar::valueChanged, value,
          [value](int v) { value->setText(QString::number(v)); });
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
  HScroll1 = addScroll(QStringLiteral("Gamma"), 100, 2000, editing::kGammaInitial);
  HScroll1->setSingleStep(100);
  HScroll1->setPageStep(100);
}

void frmGamma::apply() {
  if (RastrelControl* photo = host().photo1())
    photo->gamma(editing::gammaForScroll(HScroll1->value()));
}

}  // namespace glim
