#include "shell/startup.h"

#include <sysexits.h>
#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <csignal>
#include <cstdio>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/forms.h"
#include "base/keys.h"
#include "base/logging.h"
#include "base/settings.h"
#include "cataloguing/commandline.h"
#include "query/frmPicPasswordqry.h"
#include "query/printset.h"
#include "query/querystart.h"
#include "shell/association.h"
#include "shell/credentials.h"
#include "shell/frmLogin.h"
#include "shell/frmMain.h"
#include "shell/frmSplash.h"
#include "shell/shutdown.h"

namespace glim {

namespace {

const QString kNo = QStringLiteral("No");
const QString kYes = QStringLiteral("Yes");

void printError(const QString& text) {
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

}  // namespace

StartupConfig StartupConfig::forRunningProgram(const QStringList& applicationArguments) {
  StartupConfig config;
  config.programFolder = QCoreApplication::applicationDirPath();
  config.programPath = QCoreApplication::applicationFilePath();
  config.arguments = applicationArguments.mid(1);
  return config;
}

Startup::Startup(StartupConfig config) : config_(std::move(config)) {}

Startup::~Startup() = default;

QString Startup::lockPathForUser() {
  // The settings folder is per user; a runtime folder would be too, but tests point the
  // settings folder at their own place and so get their own lock.
  QDir().mkpath(settings::folder());
  if (QFileInfo(settings::folder()).isWritable())
    return settings::folder() + QStringLiteral("/glimmora.lock");
  return QDir::tempPath() + QStringLiteral("/glimmora-%1.lock").arg(getuid());
}

QString Startup::normaliseFolder(const QString& folder) {
  QString out = folder.trimmed();
  if (!out.endsWith(u'/')) out += u'/';
  return out;
}

bool Startup::isQueryFileCommandLine(const QString& commandLine) {
  return commandLine.size() >= 8;
}

bool Startup::isWindowless() const {
  return !config_.arguments.isEmpty() && config_.arguments.first().startsWith(QStringLiteral("--"));
}

void Startup::report(const QString& text, MsgIcon icon, const QString& title) {
  if (isWindowless())
    printError(QString(text).replace(u'\r', u'\n'));
  else
    dialogs().message(text, MsgButtons::OK, icon, title);
}

bool Startup::claimSingleInstance() {
  const QString path = config_.lockPath.isEmpty() ? lockPathForUser() : config_.lockPath;
  lock_ = std::make_unique<InstanceLock>(path);
  // Unchecked: the lock cannot be taken at all (a file system without locks); go on.
  if (lock_->tryLock() != InstanceLock::State::Taken) return true;
  QString text = QStringLiteral("Only one copy of Glimmora can run at a time.");
  const QString holder = lock_->holder();
  if (!holder.isEmpty()) text += QStringLiteral("\r\rIt is running as ") + holder + u'.';
  lock_.reset();
  report(text, MsgIcon::Critical, QStringLiteral("Warning"));
  return false;
}

bool Startup::setProgramFolder() {
  folders_ = installation::foldersFor(normaliseFolder(config_.programFolder));
  appState().ProgramFolder = folders_.program;
  qCInfo(lcStartup) << "program folder" << folders_.program << "help" << folders_.help;
  const QString problem = installation::prepareProgramFolder(folders_);
  if (problem.isEmpty()) return true;
  exitCode_ = EX_CANTCREAT;
  printError(problem);
  const bool windowless =
      !config_.arguments.isEmpty() && config_.arguments.first().startsWith(QStringLiteral("--"));
  if (!windowless)
    dialogs().message(problem, MsgButtons::OK, MsgIcon::Critical, QStringLiteral("Glimmora"));
  return false;
}

void Startup::writeDefaults() {
  AppState& state = appState();
  state.DatabasePath = state.ProgramFolder + QStringLiteral("all1.mdb");
  keys::writeText(keys::kDatabase, state.DatabasePath);
  keys::writeText(keys::kAlwaysOnTop, QStringLiteral("1"));
  keys::writeText(keys::kQryPasswordPrompt, QStringLiteral("True"));
  keys::writeText(keys::kPasswordPrompt, QStringLiteral("1"));
  keys::writeText(keys::kAutoRepeat, QStringLiteral("0"));
  keys::writeText(keys::kDftSlideSize, QStringLiteral("Full"));
  keys::writeText(keys::kDftViewerSize, QStringLiteral("Normal"));
  keys::writeText(keys::kSlideTime, QStringLiteral("7"));
  keys::writeText(keys::kStartPic, QStringLiteral("First"));
  keys::writeText(keys::kFormsRunStat, QStringLiteral("0"));
  keys::writeText(keys::kPathsSet, QStringLiteral("False"));
  keys::writeText(keys::kConfirmDeletes, QStringLiteral("True"));
  keys::writeText(keys::kAutoStartQry, QStringLiteral("False"));
  for (int i = 1; i <= 7; ++i) keys::writeText(keys::mainPathKey(i), keys::mainPathKey(i));

  // The first backup: a pristine copy of the installed empty catalogue, which "start with a
  // fresh database" restores later. Skipped silently when there is no catalogue.
  const QString fresh = state.ProgramFolder + QStringLiteral("budb.bdb");
  if (QFileInfo::exists(fresh)) QFile::remove(fresh);
  if (QFileInfo(state.DatabasePath).isFile()) QFile::copy(state.DatabasePath, fresh);
}

void Startup::readFirstRunState() {
  AppState& state = appState();
  const QString unreadable = settings::unreadableReason(settings::kApp);
  if (!unreadable.isEmpty()) {
    // Not a first run: the tutorial, the defaults and a new "budb.bdb" would all be wrong,
    // and the settings store refuses to replace a file it could not read.
    report(QStringLiteral("Glimmora cannot read its settings file %1 (%2).\rIt starts with "
                          "the default settings and leaves that file as it is; settings "
                          "changed now are not saved.")
               .arg(QDir::toNativeSeparators(settings::fileFor(settings::kApp)), unreadable),
           MsgIcon::Exclamation, QStringLiteral("Settings Not Read"));
    state.HasRunBeforeValue = kYes;
    state.DatabasePath = state.ProgramFolder + QStringLiteral("all1.mdb");
    return;
  }
  state.HasRunBeforeValue = keys::hasRunBefore();
  if (state.HasRunBeforeValue != kNo) {
    state.DatabasePath = keys::database();
    return;
  }
  keys::writeText(keys::kHasRunBefore, kYes);
  // Installed, the package has registered the type for every user.
  if (!folders_.installed)
    association::registerPictureSetType(config_.programPath, state.ProgramFolder);
  writeDefaults();
}

void Startup::setStartMode() {
  AppState& state = appState();
  state.CommandLine = config_.commandLine();
  state.QueryFileStart = isQueryFileCommandLine(state.CommandLine);
  if (!state.QueryFileStart) {
    state.SlideShowOnOpen = false;
    return;
  }
  state.SlideShowOnOpen = true;
  if (keys::qryPasswordPrompt()) showPicturePasswordPrompt();
  state.AutoStartQuery = keys::autoStartQry();
}

void Startup::showPicturePasswordPrompt() {
  AppState& state = appState();
  QPointer<QWidget> prompt = query::showPicturePasswordPrompt();
  // The prompt clears QueryPasswordPending when it unloads.
  while (state.QueryPasswordPending && prompt)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  state.QueryPasswordPending = false;
}

bool Startup::runLogin() {
  frmLogin login;
  login.exec();
  const bool succeeded = login.LoginSucceeded;
  login.close();
  return succeeded;
}

void Startup::wait(int milliseconds) {
  if (milliseconds <= 0) {
    QCoreApplication::processEvents();
    return;
  }
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

bool Startup::isWindowlessOption(const QString& option) {
  return option == QStringLiteral("--print-set") || option == QStringLiteral("--add-folder") ||
         option == QStringLiteral("--scan");
}

bool Startup::runWindowlessCommand() {
  if (config_.arguments.isEmpty()) return false;
  const QString option = config_.arguments.first();
  const QStringList rest = config_.arguments.mid(1);
  if (option == QStringLiteral("--print-set")) {
    exitCode_ = query::printSet(rest);
    return true;
  }
  if (isWindowlessOption(option)) {
    exitCode_ = cataloguing::runCommandLine(config_.arguments);
    return true;
  }
  return false;
}

StartOutcome Startup::run() {
  if (!claimSingleInstance()) return StartOutcome::SecondInstance;
  if (!setProgramFolder()) return StartOutcome::FolderUnusable;

  AppState& state = appState();
  state.PleaseWaitShown = false;
  state.QueryPasswordPending = false;
  state.HelpFile = folders_.help + QStringLiteral("Glimmora.hlp");
  state.QueryHelpFile = folders_.help + QStringLiteral("QUERYHELP.HLP");
  state.ViewerOpening = true;
  state.ConfirmDeletes = true;
  state.MoveNoticeMode = 0;

  readFirstRunState();
  state.AutoStartQuery = false;
  state.FormsRunStat = keys::formsRunStat();
  state.LoginRequired = false;

  if (runWindowlessCommand()) return StartOutcome::Windowless;
  query::install();
  setStartMode();

  splash_ = new frmSplash();
  splash_->Form_Load();
  state.ShowImageInfo = keys::showFraPic();
  if (credentials::useLogin()) state.LoginRequired = true;
  if (state.LoginRequired && !runLogin()) {
    delete splash_.data();
    return StartOutcome::LoginFailed;
  }

  main_ = new frmMain();
  state.MainForm = main_;
  wait(state.QueryFileStart ? config_.splashMsQueryFile : config_.splashMs);
  state.AreaLeft = 178.228f;
  state.AreaTop = 8.129f;

  state.QueryFileRun = state.QueryFileStart;
  if (state.QueryFileStart) {
    query::startFromQueryFile();
  } else {
    wait(config_.mainLoadMs);
  }

  if (splash_) {
    splash_->close();
    delete splash_.data();
  }
  if (main_) main_->show();
  return StartOutcome::Running;
}

int runProgram(QApplication& app) {
  // The main window ends the program itself, after closing the others in order.
  app.setQuitOnLastWindowClosed(false);
  app.setApplicationName(QStringLiteral("Glimmora"));
  std::signal(SIGXFSZ, SIG_IGN);
  const bool quitWhenShown = qEnvironmentVariableIsSet("GLIMMORA_QUIT_WHEN_SHOWN");
  if (quitWhenShown) frmSplash::setTutorialOfferEnabled(false);
  Startup startup(StartupConfig::forRunningProgram(app.arguments()));
  switch (startup.run()) {
    case StartOutcome::SecondInstance:
      return 1;
    case StartOutcome::LoginFailed:
      return 0;
    case StartOutcome::Windowless:
    case StartOutcome::FolderUnusable:
      return startup.exitCode();
    case StartOutcome::Running:
      break;
  }
  if (quitWhenShown) QTimer::singleShot(0, &app, [] { shutdown::exitProgram(); });
  const int code = app.exec();
  // A window that was still being built when the program was told to end (a viewer opening
  // its set) missed the closing round; it closes now so that it writes back its row.
  forms::closeAll();
  return code;
}

}  // namespace glim
