// The viewing password asked for when the program starts with a picture-set file: pictures
// protected with this password will show during the set's slide show.
#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace glim {

class frmPicPasswordqry : public QWidget {
  Q_OBJECT

 public:
  frmPicPasswordqry();
  ~frmPicPasswordqry() override;

  void cmdOK_Click();
  void cmdCancel_Click();

  QLineEdit* Text1 = nullptr;
  QLineEdit* Text2 = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Form_Unload();
};

}  // namespace glim
