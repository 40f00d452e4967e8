#include "viewer/frmSlideOptionsDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "base/keys.h"
#include "base/textnum.h"
#include "viewer/slideshow.h"

namespace glim::viewer {

namespace {
template <class T>
T* named(T* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

// The stored slide time; a missing key is written as 7 and read as 7.
qint16 storedSlideTime() {
  const qint16 stored = keys::slideTime(keys::kSlideTimeNotStored);
  if (stored != keys::kSlideTimeNotStored) return stored;
  keys::writeInt(keys::kSlideTime, 7);
  return 7;
}
}  // namespace

frmSlideOptionsDialog::frmSlideOptionsDialog() {
  setObjectName(QStringLiteral("frmSlideOptionsDialog"));
  setWindowTitle(QStringLiteral("Slide Show Options"));
  auto* column = new QVBoxLayout(this);
  auto* start = new QGroupBox(QStringLiteral("Slide Show Start"), this);
  auto* startColumn = new QVBoxLayout(start);
  optFirstPic_ =
      named(new QRadioButton(QStringLiteral("Start Slide show from first picture in set"), start),
            "optFirstPic");
  optCurrentPic_ =
      named(new QRadioButton(QStringLiteral("Start from current picture"), start), "optCurrentPic");
  startColumn->addWidget(optFirstPic_);
  startColumn->addWidget(optCurrentPic_);
  column->addWidget(start);

  auto* size = new QGroupBox(this);
  auto* sizeRow = new QHBoxLayout(size);
  optFullScreen_ = named(new QRadioButton(QStringLiteral("Full Screen"), size), "optFullScreen");
  optNormalScreen_ = named(new QRadioButton(QStringLiteral("Normal"), size), "optNormalScreen");
  sizeRow->addWidget(optFullScreen_);
  sizeRow->addWidget(optNormalScreen_);
  column->addWidget(size);

  chkAutoReplay_ = named(new QCheckBox(QStringLiteral("Auto Replay"), this), "chkAutoReplay");
  column->addWidget(chkAutoReplay_);
  auto* timeRow = new QHBoxLayout;
  timeRow->addWidget(new QLabel(QStringLiteral("Seconds per picture:"), this));
  txtSlideTime_ = named(new QLineEdit(this), "txtSlideTime");
  VScroll1_ = named(new QScrollBar(Qt::Vertical, this), "VScroll1");
  // Upward raises the time, as a spinner does: the bar runs from 60 at the top to 6 below.
  VScroll1_->setRange(-60, -6);
  VScroll1_->setSingleStep(1);
  VScroll1_->setPageStep(5);
  timeRow->addWidget(txtSlideTime_);
  timeRow->addWidget(VScroll1_);
  column->addLayout(timeRow);
  chkSaveSettings_ =
      named(new QCheckBox(QStringLiteral("Save these settings as my new defaults"), this),
            "chkSaveSettings");
  column->addWidget(chkSaveSettings_);
  chkAllowChanges_ = named(new QCheckBox(QStringLiteral("Change"), this), "chkAllowChanges");
  chkCanceled_ = named(new QCheckBox(this), "chkCanceled");
  chkAllowChanges_->hide();
  chkCanceled_->hide();
  auto* buttons = new QHBoxLayout;
  cmdGo_ = named(new QPushButton(QStringLiteral("Go"), this), "cmdGo");
  cmdGo_->setDefault(true);
  cmdCancel_ = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
  buttons->addStretch();
  buttons->addWidget(cmdGo_);
  buttons->addWidget(cmdCancel_);
  column->addLayout(buttons);

  connect(txtSlideTime_, &QLineEdit::editingFinished, this,
          &frmSlideOptionsDialog::txtSlideTime_Change);
  connect(VScroll1_, &QScrollBar::valueChanged, this, &frmSlideOptionsDialog::VScroll1_Change);
  connect(cmdGo_, &QPushButton::clicked, this, &frmSlideOptionsDialog::cmdGo_Click);
  connect(cmdCancel_, &QPushButton::clicked, this, &frmSlideOptionsDialog::cmdCancel_Click);
  Form_Load();
}

void frmSlideOptionsDialog::Form_Load() {
  const qint16 seconds = storedSlideTime();
  txtSlideTime_->setText(QString::number(seconds));
  {
    const QSignalBlocker block(VScroll1_);
    VScroll1_->setValue(-std::clamp<int>(seconds, 6, 60));
  }
  const bool first = keys::startPic() == QStringLiteral("First");
  optFirstPic_->setChecked(first);
  optCurrentPic_->setChecked(!first);
  const bool full = keys::dftSlideSize() == QStringLiteral("Full");
  optFullScreen_->setChecked(full);
  optNormalScreen_->setChecked(!full);
  chkAutoReplay_->setChecked(keys::autoRepeat() == 1);
}

// The box is checked when the user leaves it, so that typing "15" does not stop at "1" -> "6".
void frmSlideOptionsDialog::txtSlideTime_Change() {
  const QString text = slideTimeBoxText(txtSlideTime_->text(), keys::slideTime());
  if (text != txtSlideTime_->text()) txtSlideTime_->setText(text);
}

void frmSlideOptionsDialog::VScroll1_Change() {
  txtSlideTime_->setText(QString::number(std::min(60, -VScroll1_->value())));
}

QString frmSlideOptionsDialog::startPicture() const {
  return optFirstPic_->isChecked() ? QStringLiteral("First") : QStringLiteral("Current");
}

QString frmSlideOptionsDialog::showMode() const {
  return optFullScreen_->isChecked() ? QStringLiteral("Full Screen")
                                     : QStringLiteral("Normal View");
}

qint16 frmSlideOptionsDialog::slideSeconds() const {
  return slideTimeOf(txtSlideTime_->text(), keys::slideTime());
}

bool frmSlideOptionsDialog::repeat() const {
  return chkAutoReplay_->isChecked();
}

void frmSlideOptionsDialog::cmdGo_Click() {
  txtSlideTime_Change();
  if (chkSaveSettings_->isChecked()) {
    keys::writeText(keys::kStartPic, startPicture());
    keys::writeBit(keys::kAutoRepeat, chkAutoReplay_->isChecked());
    keys::writeText(keys::kDftSlideSize, optFullScreen_->isChecked() ? QStringLiteral("Full")
                                                                     : QStringLiteral("Normal"));
    const auto typed = textnum::toInt16(txtSlideTime_->text());
    const bool usable = typed && *typed >= 3 && *typed <= 60;
    keys::writeInt(keys::kSlideTime, usable ? *typed : keys::slideTime());
  }
  chkAllowChanges_->setChecked(false);
  emit decided();
}

void frmSlideOptionsDialog::cmdCancel_Click() {
  chkCanceled_->setChecked(true);
  chkAllowChanges_->setChecked(false);
  emit decided();
}

void frmSlideOptionsDialog::reject() {
  cmdCancel_Click();
}

}  // namespace glim::viewer
