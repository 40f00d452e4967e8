// Every message box, input box, file dialog and beep goes through this one service, so that
// routines below the windows never pop anything up and tests can script the answers.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <variant>

class QWidget;

namespace glim {

enum class MsgButtons {
  OK = 0,
  OKCancel = 1,
  AbortRetryIgnore = 2,
  YesNoCancel = 3,
  YesNo = 4,
  RetryCancel = 5
};
enum class MsgIcon { None = 0, Critical = 16, Question = 32, Exclamation = 48, Information = 64 };
enum class MsgResult { OK = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

// The program's title, shown on messages that name no title of their own.
inline const QString kProgramTitle = QStringLiteral("Glimmora");

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  virtual MsgResult message(const QString& text, MsgButtons buttons = MsgButtons::OK,
                            MsgIcon icon = MsgIcon::None, const QString& title = kProgramTitle,
                            QWidget* parent = nullptr) = 0;
  // The typed text, or nothing when the user cancelled.
  virtual std::optional<QString> input(const QString& prompt, const QString& title = kProgramTitle,
                                       const QString& defaultText = QString(),
                                       QWidget* parent = nullptr) = 0;
  // A chosen path, or an empty text when cancelled. The filter is Qt's form:
  // "Pictures (*.jpg *.png);;All files (*)".
  virtual QString openFile(const QString& title, const QString& folder, const QString& filter,
                           QWidget* parent = nullptr) = 0;
  virtual QString saveFile(const QString& title, const QString& folder, const QString& filter,
                           QWidget* parent = nullptr) = 0;
  virtual QString chooseFolder(const QString& title, const QString& folder,
                               QWidget* parent = nullptr) = 0;
  virtual void beep() = 0;

  // The service in force; the real one unless a test installed another.
  static Dialogs& instance();
  // Installs a service (not owned) or, with nullptr, goes back to the real one.
  static void install(Dialogs* dialogs);
};

inline Dialogs& dialogs() {
  return Dialogs::instance();
}

class QtDialogs : public Dialogs {
 public:
  MsgResult message(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title,
                    QWidget* parent) override;
  std::optional<QString> input(const QString& prompt, const QString& title,
                               const QString& defaultText, QWidget* parent) override;
  QString openFile(const QString& title, const QString& folder, const QString& filter,
                   QWidget* parent) override;
  QString saveFile(const QString& title, const QString& folder, const QString& filter,
                   QWidget* parent) override;
  QString chooseFolder(const QString& title, const QString& folder, QWidget* parent) override;
  void beep() override;
};

// Records every call and answers from a script; with no scripted answer left it gives the
// first button (OK, Yes, Abort or Retry), a cancelled input and an empty file name.
class ScriptedDialogs : public Dialogs {
 public:
  enum class Kind { Message, Input, OpenFile, SaveFile, Folder, Beep };
  struct Call {
    Kind kind;
    QString title;
    QString text;  // message text, input prompt or file dialog folder
    MsgButtons buttons = MsgButtons::OK;
    MsgIcon icon = MsgIcon::None;
    QString defaultText;  // input default or file filter
  };
  using Answer = std::variant<MsgResult, std::optional<QString>, QString>;

  ScriptedDialogs() { Dialogs::install(this); }
  ~ScriptedDialogs() override { Dialogs::install(nullptr); }

  void answer(MsgResult result) { answers_.push_back(result); }
  void answerInput(std::optional<QString> text) { answers_.push_back(std::move(text)); }
  void answerPath(const QString& path) { answers_.push_back(path); }

  const QList<Call>& calls() const { return calls_; }
  QList<Call> messages() const;
  QString lastText() const { return calls_.isEmpty() ? QString() : calls_.last().text; }
  int count(Kind kind) const;
  void clear() {
    calls_.clear();
    answers_.clear();
  }
  size_t pendingAnswers() const { return answers_.size(); }

  MsgResult message(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title,
                    QWidget* parent) override;
  std::optional<QString> input(const QString& prompt, const QString& title,
                               const QString& defaultText, QWidget* parent) override;
  QString openFile(const QString& title, const QString& folder, const QString& filter,
                   QWidget* parent) override;
  QString saveFile(const QString& title, const QString& folder, const QString& filter,
                   QWidget* parent) override;
  QString chooseFolder(const QString& title, const QString& folder, QWidget* parent) override;
  void beep() override;

 private:
  QString nextPath();
  QList<Call> calls_;
  std::deque<Answer> answers_;
};

}  // namespace glim
