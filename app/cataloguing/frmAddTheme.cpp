#include "cataloguing/frmAddTheme.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/settings.h"
#include "base/textnum.h"
#include "viewer/ratings.h"

namespace glim::cataloguing {

frmAddTheme::frmAddTheme(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmAddTheme"));
  setWindowTitle(QStringLiteral("Select a Theme"));
  auto* text = new QLabel(
      QStringLiteral("The theme you select here will be recorded in the database as the main "
                     "theme for all the images in this folder."),
      this);
  text->setWordWrap(true);
  Combo1_ = new QComboBox(this);
  Combo1_->setObjectName(QStringLiteral("Combo1"));
  auto* buttons = new QDialogButtonBox(this);
  cmdOK_ = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  cmdOK_->setObjectName(QStringLiteral("cmdOK"));
  cmdCancel_ = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addWidget(Combo1_);
  layout->addWidget(buttons);
  connect(cmdOK_, &QPushButton::clicked, this, &frmAddTheme::cmdOK_Click);
  connect(cmdCancel_, &QPushButton::clicked, this, &frmAddTheme::cmdCancel_Click);
  Form_Load();
}

void frmAddTheme::Form_Load() {
  Combo1_->addItem(QStringLiteral("None"));
  for (int n = 1; n <= viewer::kThemeCount; ++n) {
    const QString key = QStringLiteral("Class") + QString::number(n);
    Combo1_->addItem(settings::read(settings::kClassifications, key, key));
  }
  Combo1_->setCurrentIndex(0);
}

void frmAddTheme::setTargets(QLabel* themeLabel, QLineEdit* themeNumber) {
  themeLabel_ = themeLabel;
  themeNumber_ = themeNumber;
}

void frmAddTheme::answer(const QString& theme, const QString& number) {
  answered_ = true;
  chosenTheme_ = theme;
  chosenNumber_ = number;
  if (themeLabel_) themeLabel_->setText(theme);
  if (themeNumber_) themeNumber_->setText(number);
}

void frmAddTheme::cmdOK_Click() {
  answer(textnum::trim(Combo1_->currentText()), QString::number(Combo1_->currentIndex()));
  accept();
}

void frmAddTheme::cmdCancel_Click() {
  answer(QStringLiteral("None"), QStringLiteral("0"));
  QDialog::reject();
}

// Closing the window without a button counts as Cancel, so the opener never keeps a stale
// theme from an earlier folder.
void frmAddTheme::reject() {
  if (!answered_) answer(QStringLiteral("None"), QStringLiteral("0"));
  QDialog::reject();
}

}  // namespace glim::cataloguing
