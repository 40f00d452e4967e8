// "Save Query": asks for the name of a query file in the "User" folder. The result goes into
// the builder's hidden box txtSaveFileName: the full path to write, or "UserCanceled".
#pragma once

#include <QDialog>
#include <optional>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace glim {

class frmQuerySave : public QDialog {
  Q_OBJECT

 public:
  explicit frmQuerySave(QLineEdit* txtSaveFileName, QWidget* parent = nullptr);

  // The query name typed into the box: without a trailing ".qry" and its blanks removed;
  // nothing when it is empty or holds a character a name may not (' . , / \ ; ? : < > | *).
  static std::optional<QString> queryName(const QString& typed);

  void FileSaveQuery_Click();
  void cmdSave_Click();
  void cmdCancel_Click();

  QLineEdit* txtFilename = nullptr;
  QListWidget* FileSaveQuery = nullptr;
  QPushButton* cmdSave = nullptr;
  QPushButton* cmdCancel = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void reject() override { cmdCancel_Click(); }

 private:
  QLineEdit* result_;
};

inline const QString kUserCanceled = QStringLiteral("UserCanceled");

}  // namespace glim
