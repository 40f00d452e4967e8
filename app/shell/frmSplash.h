// The splash window shown while the program starts. Its load binds a data view to the
// catalogue and reads the credential store; its unload gives an empty catalogue its starter
// row, so the viewer always has a picture to show.
#pragma once

#include <QWidget>

#include "catalogue/datacontrol.h"

class QLabel;

namespace glim {

class frmSplash : public QWidget {
  Q_OBJECT
 public:
  // Shows itself at creation, as the program's first window.
  frmSplash();
  ~frmSplash() override;

  // The load steps: catalogue view, credentials (and the tutorial offer on the first run),
  // palette display, the login flag; then the splash is ready to be closed by the user.
  void Form_Load();
  // The credential store's "LOG" flag.
  bool UseLogin() const;
  bool isReady() const { return ready_; }
  // The first-run tutorial offer is modal; a program run without a user (a test that quits as
  // soon as the main window shows) turns it off.
  static void setTutorialOfferEnabled(bool enabled);

  catalogue::DataControl& Data1() { return data1_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void closeWhenReady();
  void Form_Unload();

  QLabel* picture_;
  catalogue::DataControl data1_;
  bool ready_ = false;
  bool unloaded_ = false;
};

// Adds the starter picture's row when the view's table is empty and makes it current.
// Returns true when a row was added.
bool seedStarterRow(catalogue::DataControl& view, const QString& programFolder);

}  // namespace glim
