// "Captions, Themes and Sorting Paths Setup": the captions of the seven main folders (in the
// settings), the caption and path of each of their nine sub-folders (rows of SetupNew, bound
// through Data1), and the names of the fifteen themes and nine ratings.
#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

#include "catalogue/datacontrol.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace glim {

class frmWizard;

class frmSetupNew : public QWidget {
  Q_OBJECT

 public:
  frmSetupNew();
  ~frmSetupNew() override;

  // Handlers, public so that other windows and tests drive the screen as a user would.
  void lstMainDirs_Click();
  void lstSubDirs_Click();
  void cmdChangeMainCaption_Click();
  void cmdChangeSubSettings_Click();
  void cmdPresetCaptions_Click();
  void cmdOK_Click();
  void cmdHelp_Click();

  QListWidget* lstMainDirs() const { return lstMainDirs_; }
  QListWidget* lstSubDirs() const { return lstSubDirs_; }
  QLabel* lblPath() const { return lblPath_; }
  QLabel* lblMessage() const { return lblMessage_; }
  QPushButton* cmdChangeMainCaption() const { return cmdChangeMainCaption_; }
  QPushButton* cmdChangeSubSettings() const { return cmdChangeSubSettings_; }
  QPushButton* cmdPresetCaptions() const { return cmdPresetCaptions_; }
  QPushButton* cmdOK() const { return cmdOK_; }
  QTabWidget* SSTab1() const { return SSTab1_; }
  // Text1(1..15) and txtRating(1..9), 1-based as the rest of the program counts them.
  QLineEdit* Text1(int index) const { return Text1_.value(index - 1); }
  QLineEdit* txtRating(int index) const { return txtRating_.value(index - 1); }
  catalogue::DataControl& Data1() { return Data1_; }

  // Sets the status label; "Done" from the wizard hands the screen back to the user.
  void setStatus(const QString& text);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildFolderTab(QWidget* tab);
  QWidget* buildNamesTab(QList<QLineEdit*>& boxes, int count, const QString& prefix,
                         const QString& objectName);
  void Form_Load();
  void fillMainList(const QStringList& captions, int select = -1);
  void resetMainCaptions();
  QString selectedMainCaption() const;
  bool findSubFolderRow(int subIndex);
  void listSubFolders(int select);
  bool refusedAsDamaged();
  void lblMessage_Change();
  catalogue::Database database();

  QTabWidget* SSTab1_;
  QListWidget* lstMainDirs_;
  QListWidget* lstSubDirs_;
  QLabel* lblPath_;
  QPushButton* cmdChangeMainCaption_;
  QPushButton* cmdChangeSubSettings_;
  QPushButton* cmdPresetCaptions_;
  QPushButton* cmdOK_;
  QPushButton* cmdHelp_;
  QList<QLineEdit*> Text1_;
  QList<QLineEdit*> txtRating_;
  QLabel* lblMessage_;
  QLineEdit* txtIDP_;
  QLineEdit* txtMainPathCaption_;
  QLineEdit* txtSubPathIndex_;
  QLineEdit* txtSubPathCaption_;
  QLineEdit* txtSubPathPath_;
  catalogue::DataControl Data1_;
  QStringList captions_;
  QPointer<frmWizard> wizard_;
};

}  // namespace glim
