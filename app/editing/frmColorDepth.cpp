#include "editing/frmColorDepth.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "base/buttonrow.h"
#include "editing/editcommands.h"
#include "editing/edithost.h"
#include "editing/editrules.h"
#include "rastrel/rastrel.h"

namespace glim {

frmColorDepth::frmColorDepth(EditHost& host, QWidget* parent) : QDialog(parent), host_(host) {
  setWindowTitle(QStringLiteral("Color Depth"));
  auto* layout = new QVBoxLayout(this);
  const int bits = host_.photo1() ? host_.photo1()->ipBitsPixel() : 0;
  Frame1 = new QGroupBox(editing::depthFrameCaption(bits), this);
  auto* form = new QFormLayout(Frame1);
  cboColorDepth = new QComboBox(Frame1);
  cboColorDepth->addItems(
      {QStringLiteral("16.7 Million Colors (24 bit)"), QStringLiteral("256 Colors (8 bit)"),
       QStringLiteral("16 Colors (4 bit)"), QStringLiteral("2 Colors (1 bit)")});
  cboPalette = new QComboBox(Frame1);
  cboPalette->addItems({QStringLiteral("Optimized"), QStringLiteral("Fixed"),
                        QStringLiteral("Gray Scale"), QStringLiteral("Optimized With Dither"),
                        QStringLiteral("Grey Scale With Dither")});
  cboDithering = new QComboBox(Frame1);
  cboDithering->addItems({QStringLiteral("None"), QStringLiteral("Floyd-Steinberg"),
                          QStringLiteral("Ordered"), QStringLiteral("Corvane")});
  // The lists open with nothing selected.
  for (QComboBox* box : {cboColorDepth, cboPalette, cboDithering}) box->setCurrentIndex(-1);
  form->addRow(QStringLiteral("Color Depth"), cboColorDepth);
  form->addRow(QStringLiteral("Palette Type"), cboPalette);
  form->addRow(QStringLiteral("Dither Style"), cboDithering);
  layout->addWidget(Frame1);
  cmdOK = new QPushButton(QStringLiteral("OK"), this);
  cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
  layout->addLayout(rightAlignedButtons({cmdOK, cmdCancel}));
  connect(cmdOK, &QPushButton::clicked, this, &frmColorDepth::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmColorDepth::cmdCancel_Click);
}

void frmColorDepth::cmdOK_Click() {
  const editing::ColorDepthChoice choice = editing::colorDepthChoice(
      cboColorDepth->currentIndex(), cboPalette->currentIndex(), cboDithering->currentIndex());
  host_.setAltered(true);
  if (RastrelControl* photo = host_.photo1()) {
    photo->setUndoEnabled(true);
    host_.setUndoCommand(editing::undoCaption(editing::EditCommand::Brightness), true);
    photo->colorDepth(static_cast<qint16>(choice.bits), static_cast<qint16>(choice.palette),
                      static_cast<qint16>(choice.dither));
    photo->refresh();
  }
  accept();
}

void frmColorDepth::cmdCancel_Click() {
  reject();
}

}  // namespace glim
