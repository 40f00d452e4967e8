// The one process-wide record of run-time state that every window reads and writes.
// One thread only (the user-interface thread), so it needs no locking.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

namespace glim {

struct AppState {
  QString ProgramFolder;  // ends in the native separator
  QString DatabasePath;
  QString HelpFile;  // the program's help file (its folder under help/ is named after it)
  QString QueryHelpFile;
  QString HasRunBeforeValue;
  qint16 FormsRunStat = 0;
  bool ConfirmDeletes = true;
  bool ViewerOpening = true;
  qint16 MoveNoticeMode = 0;
  bool QueryFileStart = false;
  bool SlideShowOnOpen = false;
  bool AutoStartQuery = false;
  bool QueryPasswordPending = false;
  bool QueryFileRun = false;
  bool LoginRequired = false;
  bool ShowImageInfo = true;
  bool PaletteDisplay = false;
  bool ViewerOpen = false;
  bool PleaseWaitShown = false;
  float AreaLeft = 178.228f;
  float AreaTop = 8.129f;
  QPointer<QWidget> MainForm;
  qint16 AreaWidth = 0;
  qint16 AreaHeight = 0;
  QString QuerySQL;
  QString QueryFilter1;
  QString QueryFilter2;
  QString QueryCaller;
  QString PicturePassword;
  bool PromptForNewPassword = false;
  bool PasswordUpdated = false;
  bool WaitingForPassword = false;
  bool PasswordCancelled = false;
  bool ShowWithDefaults = false;
  QString LoginUserName;
  QString LoginPassword;
  QString StoredUserName;
  QString StoredPassword;  // the stored salted hash, never the password itself
  QString CredentialKey;
  QString CommandLine;  // the whole argument text as the program received it
};

// The process's AppState. Tests reset it with resetAppState().
AppState& appState();
void resetAppState();

}  // namespace glim
