// The theme picker of the folder-adding screen: one theme for every picture of a folder. It
// writes its answer into the opener's theme label and theme-number box.
#pragma once

#include <QDialog>
#include <QPointer>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace glim::cataloguing {

class frmAddTheme : public QDialog {
  Q_OBJECT
 public:
  explicit frmAddTheme(QWidget* parent = nullptr);

  // Where OK and Cancel write: the opener's theme label and theme-number box.
  void setTargets(QLabel* themeLabel, QLineEdit* themeNumber);

  QComboBox* Combo1() const { return Combo1_; }
  QPushButton* cmdOK() const { return cmdOK_; }
  QPushButton* cmdCancel() const { return cmdCancel_; }

  // The answer as written to the targets: the theme's name ("None" for none) and its number.
  QString chosenTheme() const { return chosenTheme_; }
  QString chosenNumber() const { return chosenNumber_; }

  void cmdOK_Click();
  void cmdCancel_Click();

 public slots:
  // Escape and the window's close button count as Cancel.
  void reject() override;

 private:
  void Form_Load();
  void answer(const QString& theme, const QString& number);

  QComboBox* Combo1_;
  QPushButton* cmdOK_;
  QPushButton* cmdCancel_;
  QPointer<QLabel> themeLabel_;
  QPointer<QLineEdit> themeNumber_;
  QString chosenTheme_ = QStringLiteral("None");
  QString chosenNumber_ = QStringLiteral("0");
  bool answered_ = false;
};

}  // namespace glim::cataloguing
