#include "editing/frmResizeMethods.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QRegularExpressionValidator>
#include <QStyleOptionGroupBox>
#include <QVBoxLayout>
#include <algorithm>

#include "base/appstate.h"
#include "base/buttonrow.h"
#include "base/dialogs.h"
#include "base/fittingarea.h"
#include "base/help.h"
#include "base/textnum.h"
#include "base/typedkey.h"
#include "editing/editcommands.h"
#include "editing/edithost.h"
#include "editing/editrules.h"
#include "rastrel/rastrel.h"

namespace glim {

using namespace editing;
namespace tn = glim::textnum;

namespace {

// A mode's option button sits on its frame's title, in the room the title's leading spaces
// leave, so the title reads as the button's caption; it follows the frame as it resizes.
class TitleButton : public QObject {
 public:
  TitleButton(QGroupBox* frame, QRadioButton* button)
      : QObject(frame), frame_(frame), button_(button) {
    button_->setAccessibleName(frame->title().trimmed());
    frame->installEventFilter(this);
  }

  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Resize || event->type() == QEvent::Show) place();
    return false;
  }

 private:
  void place() {
    QStyleOptionGroupBox option;
    option.initFrom(frame_);
    option.text = frame_->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    option.lineWidth = 1;
    option.textAlignment = frame_->alignment();
    const QRect title = frame_->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                        QStyle::SC_GroupBoxLabel, frame_);
    const QSize size = button_->sizeHint();
    button_->setGeometry(title.left() - 2, title.center().y() - size.height() / 2, size.width(),
                         size.height());
    button_->raise();
  }

  QGroupBox* frame_;
  QRadioButton* button_;
};

}  // namespace

frmResizeMethods::frmResizeMethods(EditHost& host, QWidget* parent) : QDialog(parent), host_(host) {
  buildControls();
  Form_Load();
  // Its whole height where the screen allows (a window's own first size stops at two thirds of
  // the screen).
  resizeWithinScreen(this, sizeHint());
}

void frmResizeMethods::buildControls() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(QMargins());

  fraPixels = new QGroupBox(QStringLiteral("    Pixels"), this);
  optPixels = new QRadioButton(fraPixels);
  auto* pix = new QGridLayout(fraPixels);
  txtPixelWidth = new QLineEdit(fraPixels);
  txtPixelHeight = new QLineEdit(fraPixels);
  new TitleButton(fraPixels, optPixels);
  pix->addWidget(new QLabel(QStringLiteral("Width"), fraPixels), 0, 0);
  pix->addWidget(txtPixelWidth, 0, 1);
  pix->addWidget(new QLabel(QStringLiteral("Height"), fraPixels), 1, 0);
  pix->addWidget(txtPixelHeight, 1, 1);
  pix->setColumnStretch(2, 1);

  fraPercentage = new QGroupBox(QStringLiteral("    Percentage of Original Size"), this);
  optPercentage = new QRadioButton(fraPercentage);
  auto* pct = new QGridLayout(fraPercentage);
  txtPercentageWidth = new QLineEdit(fraPercentage);
  txtPercentageHeight = new QLineEdit(fraPercentage);
  lblPixWidth = new QLabel(fraPercentage);
  lblPixHeight = new QLabel(fraPercentage);
  new TitleButton(fraPercentage, optPercentage);
  pct->addWidget(new QLabel(QStringLiteral("Width"), fraPercentage), 0, 0);
  pct->addWidget(txtPercentageWidth, 0, 1);
  pct->addWidget(new QLabel(QStringLiteral("Pixels:"), fraPercentage), 0, 2);
  pct->addWidget(lblPixWidth, 0, 3);
  pct->addWidget(new QLabel(QStringLiteral("Height"), fraPercentage), 1, 0);
  pct->addWidget(txtPercentageHeight, 1, 1);
  pct->addWidget(new QLabel(QStringLiteral("Pixels:"), fraPercentage), 1, 2);
  pct->addWidget(lblPixHeight, 1, 3);
  // The computed sizes have room for five digits.
  for (QLabel* result : {lblPixWidth, lblPixHeight})
    result->setMinimumWidth(result->fontMetrics().horizontalAdvance(QStringLiteral("88888")));
  pct->setColumnStretch(4, 1);

  // The two mode buttons sit in different frames but form one choice.
  auto* modeGroup = new QButtonGroup(this);
  modeGroup->addButton(optPixels);
  modeGroup->addButton(optPercentage);

  auto* aspect = new QHBoxLayout;
  chkMaintainAspectRatio = new QCheckBox(QStringLiteral("Maintain aspect ratio of"), this);
  lblAspectRatio = new QLabel(this);
  aspect->addWidget(chkMaintainAspectRatio);
  aspect->addWidget(lblAspectRatio);
  aspect->addWidget(new QLabel(QStringLiteral("to  1"), this));
  aspect->addStretch();

  fraResizeType = new QGroupBox(QStringLiteral("Resize Method"), this);
  auto* methods = new QGridLayout(fraResizeType);
  optResize = new QRadioButton(QStringLiteral("Resize"), fraResizeType);
  optResample = new QRadioButton(QStringLiteral("Resample"), fraResizeType);
  optPicResize = new QRadioButton(QStringLiteral("HQ Resample"), fraResizeType);
  methods->addWidget(optResize, 0, 0);
  methods->addWidget(new QLabel(QStringLiteral("(fastest)"), fraResizeType), 0, 1);
  methods->addWidget(optResample, 1, 0);
  methods->addWidget(new QLabel(QStringLiteral("(Better Qual.)"), fraResizeType), 1, 1);
  methods->addWidget(optPicResize, 2, 0);
  methods->addWidget(new QLabel(QStringLiteral("(V. High Qual.)"), fraResizeType), 2, 1);

  cmdOK = new QPushButton(QStringLiteral("OK"), this);
  cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
  cmdHelp = new QPushButton(QStringLiteral("Help"), this);
  cmdOK->setDefault(true);

  layout->addWidget(fraPixels);
  layout->addWidget(fraPercentage);
  layout->addLayout(aspect);
  layout->addWidget(fraResizeType);
  // On a screen too short for the choices they scroll; OK, Cancel and Help stay in view.
  auto* buttons = rightAlignedButtons({cmdOK, cmdCancel, cmdHelp});
  auto* window = new QVBoxLayout(this);
  const int belowPage = buttons->sizeHint().height() + std::max(0, window->spacing());
  window->addWidget(new FittingScrollArea(page, outsideScrollingPart(window, belowPage)));
  window->addLayout(buttons);

  // Pasted text obeys the same digits-only rule as typed text.
  auto* digits =
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
  for (QLineEdit* box : {txtPixelWidth, txtPixelHeight, txtPercentageWidth, txtPercentageHeight}) {
    box->installEventFilter(this);
    box->setValidator(digits);
  }
  // Only what the user types cascades into the other boxes; values the dialog writes do not.
  connect(txtPixelWidth, &QLineEdit::textEdited, this, &frmResizeMethods::txtPixelWidth_Change);
  connect(txtPixelHeight, &QLineEdit::textEdited, this, &frmResizeMethods::txtPixelHeight_Change);
  connect(txtPercentageWidth, &QLineEdit::textEdited, this,
          &frmResizeMethods::txtPercentageWidth_Change);
  connect(txtPercentageHeight, &QLineEdit::textEdited, this,
          &frmResizeMethods::txtPercentageHeight_Change);
  connect(optPixels, &QRadioButton::clicked, this, &frmResizeMethods::optPixels_Click);
  connect(optPercentage, &QRadioButton::clicked, this, &frmResizeMethods::optPercentage_Click);
  connect(chkMaintainAspectRatio, &QCheckBox::clicked, this,
          &frmResizeMethods::chkMaintainAspectRatio_Click);
  connect(cmdOK, &QPushButton::clicked, this, &frmResizeMethods::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmResizeMethods::cmdCancel_Click);
  connect(cmdHelp, &QPushButton::clicked, this, &frmResizeMethods::cmdHelp_Click);
}

void frmResizeMethods::Form_Load() {
  RastrelControl* photo = host_.photo1();
  width_ = photo ? photo->iWidth() : 0;
  height_ = photo ? photo->iHeight() : 0;
  setWindowTitle(
      QStringLiteral("RESIZE...        Original Size: (%1,%2)").arg(width_).arg(height_));
  optPixels->setChecked(true);
  chkMaintainAspectRatio->setChecked(true);
  optResize->setChecked(true);
  enableMode(true);
  resetSizes();
  ratio_ = height_ > 0 ? static_cast<double>(width_) / height_ : 1.0;
  lblAspectRatio->setText(ratioText(width_, height_));
  percentLimit_ = std::min(percentLimit(width_), percentLimit(height_));
}

void frmResizeMethods::enableMode(bool pixels) {
  for (QWidget* w : fraPixels->findChildren<QWidget*>())
    if (w != optPixels) w->setEnabled(pixels);
  for (QWidget* w : fraPercentage->findChildren<QWidget*>())
    if (w != optPercentage) w->setEnabled(!pixels);
}

void frmResizeMethods::resetSizes() {
  txtPixelWidth->setText(QString::number(width_));
  txtPixelHeight->setText(QString::number(height_));
  txtPercentageWidth->setText(QStringLiteral("100"));
  txtPercentageHeight->setText(QStringLiteral("100"));
  lblPixWidth->setText(QString::number(width_));
  lblPixHeight->setText(QString::number(height_));
}

void frmResizeMethods::optPixels_Click() {
  enableMode(true);
  resetSizes();
}

void frmResizeMethods::optPercentage_Click() {
  enableMode(false);
  resetSizes();
}

void frmResizeMethods::chkMaintainAspectRatio_Click() {
  resetSizes();
}

void frmResizeMethods::txtPixelWidth_Change() {
  const auto width = tn::toInt16(tn::trim(txtPixelWidth->text()));
  if (!width || !chkMaintainAspectRatio->isChecked()) return;
  if (auto height = editing::heightForWidth(*width, ratio_))
    txtPixelHeight->setText(QString::number(*height));
}

void frmResizeMethods::txtPixelHeight_Change() {
  const auto height = tn::toInt16(tn::trim(txtPixelHeight->text()));
  if (!height || !chkMaintainAspectRatio->isChecked()) return;
  if (auto width = editing::widthForHeight(*height, ratio_))
    txtPixelWidth->setText(QString::number(*width));
}

void frmResizeMethods::capPercentage(QLineEdit* box) {
  const auto value = tn::toInt32(box->text());
  if (value && *value >= percentLimit_) box->setText(QString::number(percentLimit_ - 1));
}

void frmResizeMethods::txtPercentageWidth_Change() {
  if (tn::trim(txtPercentageWidth->text()).isEmpty()) return;
  capPercentage(txtPercentageWidth);
  const QString percent = txtPercentageWidth->text();
  if (auto px = pixelsForPercent(width_, percent)) lblPixWidth->setText(QString::number(*px));
  if (!chkMaintainAspectRatio->isChecked()) return;
  txtPercentageHeight->setText(percent);
  if (auto px = pixelsForPercent(height_, percent)) lblPixHeight->setText(QString::number(*px));
}

void frmResizeMethods::txtPercentageHeight_Change() {
  if (tn::trim(txtPercentageHeight->text()).isEmpty()) return;
  capPercentage(txtPercentageHeight);
  const QString percent = txtPercentageHeight->text();
  if (auto px = pixelsForPercent(height_, percent)) lblPixHeight->setText(QString::number(*px));
  if (!chkMaintainAspectRatio->isChecked()) return;
  txtPercentageWidth->setText(percent);
  if (auto px = pixelsForPercent(width_, percent)) lblPixWidth->setText(QString::number(*px));
}

bool frmResizeMethods::eventFilter(QObject* watched, QEvent* event) {
  auto* box = qobject_cast<QLineEdit*>(watched);
  switch (event->type()) {
    case QEvent::KeyPress: {
      const auto typed = typedCharacter(*static_cast<QKeyEvent*>(event));
      if (typed && !acceptsSizeKey(typed->unicode())) return true;
      break;
    }
    case QEvent::FocusIn:
      // A click would put the cursor where it lands and drop a selection made now, so a box
      // entered by the mouse selects its text once the button is released.
      if (static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason)
        selectOnRelease_ = box;
      else if (box)
        box->selectAll();
      break;
    case QEvent::MouseButtonRelease:
      if (box && box == selectOnRelease_) {
        selectOnRelease_ = nullptr;
        box->selectAll();
      }
      break;
    default:
      break;
  }
  return QDialog::eventFilter(watched, event);
}

void frmResizeMethods::cmdOK_Click() {
  const bool pixels = optPixels->isChecked();
  const auto width = tn::toDouble(pixels ? txtPixelWidth->text() : lblPixWidth->text());
  const auto height = tn::toDouble(pixels ? txtPixelHeight->text() : lblPixHeight->text());
  if (!width || !height || tn::roundHalfEven(*width) < 1 || tn::roundHalfEven(*height) < 1) {
    dialogs().message(QStringLiteral("The new width and height must be at least 1 pixel."),
                      MsgButtons::OK, MsgIcon::Exclamation, kProgramTitle, this);
    return;
  }
  // A side beyond 16 bits is as much too large as a product beyond the guard.
  const auto w16 = tn::toInt16(*width);
  const auto h16 = tn::toInt16(*height);
  if (!w16 || !h16 || exceedsMemoryGuard(*w16, *h16)) {
    dialogs().message(QStringLiteral("Your image would be to large for available memory."),
                      MsgButtons::OK, MsgIcon::None, kProgramTitle, this);
    resetSizes();
    return;
  }
  if (RastrelControl* photo = host_.photo1()) {
    if (optResize->isChecked())
      photo->resizeImage(*w16, *h16);
    else if (optResample->isChecked())
      photo->resample(*w16, *h16);
    else
      photo->picResize(*w16, *h16);
  }
  accept();
}

void frmResizeMethods::cmdCancel_Click() {
  reject();
}

void frmResizeMethods::reject() {
  if (RastrelControl* photo = host_.photo1()) photo->setUndoEnabled(false);
  host_.setUndoCommand(editing::kNoUndoCaption, false);
  QDialog::reject();
}

void frmResizeMethods::cmdHelp_Click() {
  help::showContents(appState().HelpFile);
}

}  // namespace glim
