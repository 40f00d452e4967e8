#include "editing/frmSavePicOptions.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "base/buttonrow.h"
#include "base/settings.h"
#include "editing/frmSavePic.h"

namespace glim {

namespace {
void store(const QString& key, const QString& value) {
  settings::write(settings::kSettings, key, value);
}
}  // namespace

QGroupBox* frmSavePicOptions::qualityFrame(const QString& title, QScrollBar** slider,
                                           QLabel** label, QRadioButton** standard,
                                           QRadioButton** progressive, const QString& standardText,
                                           const QString& progressiveText) {
  auto* frame = new QGroupBox(title, this);
  auto* grid = new QGridLayout(frame);
  // The scale's two ends are captions of their own, kept apart and off the frame's edges.
  grid->setHorizontalSpacing(24);
  grid->setContentsMargins(12, 8, 12, 10);
  *slider = new QScrollBar(Qt::Horizontal, frame);
  (*slider)->setRange(1, 255);
  (*slider)->setValue(30);
  *label = new QLabel(QStringLiteral("30"), frame);
  grid->addWidget(new QLabel(QStringLiteral("Image Quality"), frame), 0, 0, 1, 2);
  grid->addWidget(*label, 0, 2);
  grid->addWidget(*slider, 1, 0, 1, 3);
  grid->addWidget(new QLabel(QStringLiteral("Lower quality, more compression"), frame), 2, 0);
  grid->addWidget(new QLabel(QStringLiteral("Higher quality, less compression"), frame), 2, 2,
                  Qt::AlignRight);
  *standard = new QRadioButton(standardText, frame);
  *progressive = new QRadioButton(progressiveText, frame);
  (*standard)->setChecked(true);
  grid->addWidget(*standard, 3, 0);
  grid->addWidget(*progressive, 3, 2, Qt::AlignRight);
  QLabel* shown = *label;
  connect(*slider, &QScrollBar::valueChanged, shown,
          [shown](int v) { shown->setText(QString::number(v)); });
  return frame;
}

frmSavePicOptions::frmSavePicOptions(frmSavePic& owner, const QString& fileType, QWidget* parent)
    : QDialog(parent), owner_(owner), type_(fileType) {
  setWindowTitle(QStringLiteral("Options"));
  auto* layout = new QVBoxLayout(this);
  fraJPGOptions = qualityFrame(QStringLiteral("JPEG Save Options"), &Slider1, &lblJPEGQuality,
                               &optJPGStandard, &optJPGProgressive, QStringLiteral("Standard JPEG"),
                               QStringLiteral("Progressive JPEG"));
  fraPicOptions = qualityFrame(QStringLiteral("ePIC Save Options"), &Slider2, &lblPICQuality,
                               &optPICStandard, &optPICProgressive, QStringLiteral("Standard ePIC"),
                               QStringLiteral("Progressive ePIC"));
  fraTifOptions = new QGroupBox(QStringLiteral("TIFF Save Options"), this);
  auto* tif = new QVBoxLayout(fraTifOptions);
  const std::pair<int, const char*> tifChoices[] = {{0, "Uncompressed TIFF"},
                                                    {1, "CCITT RLE Compressed"},
                                                    {2, "CCITT Group 3 Fax"},
                                                    {3, "CCITT Group 4 Fax"},
                                                    {5, "Pack Bits"},
                                                    {6, "TIFF JPEG"},
                                                    {7, "Deflate"}};
  for (const auto& [digit, caption] : tifChoices) {
    optTIF[digit] = new QRadioButton(QString::fromLatin1(caption), fraTifOptions);
    tif->addWidget(optTIF[digit]);
  }
  optTIF[0]->setChecked(true);
  fraPngOptions = new QGroupBox(QStringLiteral("PNG Save Options"), this);
  auto* png = new QVBoxLayout(fraPngOptions);
  optPNGInterlaced = new QRadioButton(QStringLiteral("Interlaced PNG"), fraPngOptions);
  optPNGNonInterlaced = new QRadioButton(QStringLiteral("Non-Interlaced PNG"), fraPngOptions);
  optPNGNonInterlaced->setChecked(true);
  png->addWidget(optPNGInterlaced);
  png->addWidget(optPNGNonInterlaced);
  for (QGroupBox* frame : {fraJPGOptions, fraPicOptions, fraTifOptions, fraPngOptions})
    layout->addWidget(frame);
  // Only the frame of the current type is shown.
  fraJPGOptions->setVisible(type_ == u"jpg");
  fraPicOptions->setVisible(type_ == u"pic");
  fraTifOptions->setVisible(type_ == u"tif");
  fraPngOptions->setVisible(type_ == u"png");
  cmdOK = new QPushButton(QStringLiteral("OK"), this);
  cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
  layout->addLayout(rightAlignedButtons({cmdOK, cmdCancel}));
  connect(cmdOK, &QPushButton::clicked, this, &frmSavePicOptions::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmSavePicOptions::cmdCancel_Click);
}

void frmSavePicOptions::cmdOK_Click() {
  const auto option = [](QRadioButton* standard) {
    return standard->isChecked() ? QStringLiteral("Standard") : QStringLiteral("Progressive");
  };
  if (type_ == u"jpg") {
    const QString quality = QString::number(Slider1->value());
    store(QStringLiteral("JPGQuality"), quality);
    store(QStringLiteral("JPGOption"), option(optJPGStandard));
    owner_.txtJPGQuality->setText(quality);
    owner_.txtJPGOption->setText(option(optJPGStandard));
  } else if (type_ == u"pic") {
    const QString quality = QString::number(Slider2->value());
    store(QStringLiteral("PICQuality"), quality);
    store(QStringLiteral("PICOption"), option(optPICStandard));
    owner_.txtPicQuality->setText(quality);
    owner_.txtPicOption->setText(option(optPICStandard));
  } else if (type_ == u"tif") {
    for (const auto& [digit, button] : optTIF) {
      if (!button->isChecked()) continue;
      store(QStringLiteral("TIFCompression"), QString::number(digit));
      owner_.txtTIFCompressionType->setText(QString::number(digit));
    }
  } else if (type_ == u"png") {
    const QString png = optPNGInterlaced->isChecked() ? QStringLiteral("Interlaced")
                                                      : QStringLiteral("NONInterlaced");
    store(QStringLiteral("PNGOption"), png);
    owner_.txtPNGOption->setText(png);
  }
  accept();
}

void frmSavePicOptions::cmdCancel_Click() {
  reject();
}

}  // namespace glim
