#include "shell/frmFormsRunStatus.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "base/appstate.h"
#include "base/help.h"
#include "shell/frmMain.h"

namespace glim {

frmFormsRunStatus::frmFormsRunStatus() {
  setObjectName(QStringLiteral("frmFormsRunStatus"));
  setWindowTitle(QStringLiteral("Setup Not Complete"));
  lblInfo = new QLabel(QStringLiteral(
      "You must set up the initial captions and paths and add some images to the database "
      "before you can proceed to the image viewer.  For more information, you can start the "
      "tutorial by clicking the 'Start Tutorial' button below, or you may continue to the setup "
      "screens to set up your options."));
  lblInfo->setObjectName(QStringLiteral("lblInfo"));
  lblInfo->setWordWrap(true);
  cmdStartTutorial = new QPushButton(QStringLiteral("Start Tutorial"));
  cmdStartTutorial->setObjectName(QStringLiteral("cmdStartTutorial"));
  cmdContinue = new QPushButton(QStringLiteral("Continue to Setup"));
  cmdContinue->setObjectName(QStringLiteral("cmdContinue"));
  cmdCancel = new QPushButton(QStringLiteral("Cancel"));
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  connect(cmdStartTutorial, &QPushButton::clicked, this,
          &frmFormsRunStatus::cmdStartTutorial_Click);
  connect(cmdContinue, &QPushButton::clicked, this, &frmFormsRunStatus::cmdContinue_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmFormsRunStatus::cmdCancel_Click);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cmdStartTutorial);
  buttons->addWidget(cmdContinue);
  buttons->addWidget(cmdCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblInfo);
  layout->addLayout(buttons);
  setMinimumWidth(420);
}

void frmFormsRunStatus::cmdStartTutorial_Click() {
  help::showTopic(appState().HelpFile, 2);
}

void frmFormsRunStatus::cmdContinue_Click() {
  // The next step of the set-up: captions first, then pictures, then the viewer.
  if (auto* main = qobject_cast<frmMain*>(appState().MainForm.data())) {
    switch (appState().FormsRunStat) {
      case 0:
        main->openScreen(frmMain::Screen::SetupNew);
        break;
      case 1:
        main->openScreen(frmMain::Screen::AddDirs);
        break;
      default:
        main->openScreen(frmMain::Screen::Viewer);
        break;
    }
  }
  close();
}

void frmFormsRunStatus::cmdCancel_Click() {
  close();
}

}  // namespace glim
