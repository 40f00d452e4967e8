// The program's entry: the start-up routine, the first run and the hand-over to the main
// window (or, with a picture-set file on the command line, to the query builder).
#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>

#include "base/dialogs.h"
#include "shell/frmMain.h"
#include "shell/frmSplash.h"
#include "shell/installation.h"
#include "shell/instancelock.h"

class QApplication;

namespace glim {

struct StartupConfig {
  QString programFolder;  // the running program's folder
  QString programPath;    // the running program, for the file-type registration
  QStringList arguments;  // the arguments after the program's name
  QString lockPath;       // the single-instance lock; empty: lockPathForUser()
  // How long the splash stays up (timers of about the length the splash's busy waits took).
  int splashMsQueryFile = 150;
  int splashMs = 600;
  int mainLoadMs = 1500;

  // The whole argument text, untrimmed, as the program received it.
  QString commandLine() const { return arguments.join(u' '); }
  static StartupConfig forRunningProgram(const QStringList& applicationArguments);
};

enum class StartOutcome {
  Running,         // the main window is up (or loaded behind the query builder)
  SecondInstance,  // another copy runs; the message was shown
  LoginFailed,     // the login was cancelled or failed
  Windowless,      // a windowless command ran; exitCode() holds its result
  FolderUnusable,  // the per-user program folder cannot be used; the message was shown
};

class Startup {
 public:
  explicit Startup(StartupConfig config);
  ~Startup();

  // Runs the start-up steps in order; on Running the program lives on in its windows.
  StartOutcome run();
  int exitCode() const { return exitCode_; }
  frmMain* mainWindow() const { return main_; }

  // The steps, public so that tests can run them one by one.
  // False (after the message, which names the holder) when another copy holds the lock.
  bool claimSingleInstance();
  // False (after the message naming the folder) when an installed program's per-user
  // folder cannot be made ready.
  bool setProgramFolder();
  // "HasRunBefore": first-run set-up or the stored catalogue path. A settings file that
  // exists but cannot be read is reported and left alone: no first run, default values.
  void readFirstRunState();
  void setStartMode();  // command-line mode and its password prompt

  static QString lockPathForUser();
  // The program folder as AppState keeps it: trimmed, ending in the separator.
  static QString normaliseFolder(const QString& folder);
  // --print-set, --add-folder and --scan run without opening a window.
  static bool isWindowlessOption(const QString& option);
  // 8 or more characters of argument text name a picture-set file.
  static bool isQueryFileCommandLine(const QString& commandLine);
  // The first-run defaults, then the first backup of the catalogue ("budb.bdb").
  static void writeDefaults();

 private:
  bool runWindowlessCommand();
  bool isWindowless() const;
  // A message box, or standard error for the windowless commands.
  void report(const QString& text, MsgIcon icon, const QString& title);
  void showPicturePasswordPrompt();
  bool runLogin();
  void wait(int milliseconds);

  StartupConfig config_;
  installation::Folders folders_;
  std::unique_ptr<InstanceLock> lock_;
  QPointer<frmSplash> splash_;
  QPointer<frmMain> main_;
  int exitCode_ = 0;
};

// Runs start-up and then the event loop; returns the process exit code. A file-size limit
// (SIGXFSZ) is ignored, so that a write beyond it fails and is reported instead of ending
// the program. With the environment variable GLIMMORA_QUIT_WHEN_SHOWN set, the program ends
// as soon as its main window has been shown (used by tests that start the real program).
int runProgram(QApplication& app);

}  // namespace glim
