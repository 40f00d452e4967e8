#include "base/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace glim {

namespace {
Dialogs* g_installed = nullptr;

QMessageBox::Icon qtIcon(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Critical:
      return QMessageBox::Critical;
    case MsgIcon::Question:
      return QMessageBox::Question;
    case MsgIcon::Exclamation:
      return QMessageBox::Warning;
    case MsgIcon::Information:
      return QMessageBox::Information;
    case MsgIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

struct ButtonSet {
  QList<QMessageBox::StandardButton> buttons;
  QList<MsgResult> results;
};

ButtonSet buttonSet(MsgButtons buttons) {
  using B = QMessageBox;
  switch (buttons) {
    case MsgButtons::OKCancel:
      return {{B::Ok, B::Cancel}, {MsgResult::OK, MsgResult::Cancel}};
    case MsgButtons::AbortRetryIgnore:
      return {{B::Abort, B::Retry, B::Ignore},
              {MsgResult::Abort, MsgResult::Retry, MsgResult::Ignore}};
    case MsgButtons::YesNoCancel:
      return {{B::Yes, B::No, B::Cancel}, {MsgResult::Yes, MsgResult::No, MsgResult::Cancel}};
    case MsgButtons::YesNo:
      return {{B::Yes, B::No}, {MsgResult::Yes, MsgResult::No}};
    case MsgButtons::RetryCancel:
      return {{B::Retry, B::Cancel}, {MsgResult::Retry, MsgResult::Cancel}};
    case MsgButtons::OK:
      break;
  }
  return {{B::Ok}, {MsgResult::OK}};
}

MsgResult firstButton(MsgButtons buttons) {
  return buttonSet(buttons).results.first();
}
}  // namespace

Dialogs& Dialogs::instance() {
  static QtDialogs real;
  return g_installed ? *g_installed : real;
}

void Dialogs::install(Dialogs* dialogs) {
  g_installed = dialogs;
}

MsgResult QtDialogs::message(const QString& text, MsgButtons buttons, MsgIcon icon,
                             const QString& title, QWidget* parent) {
  // The system's texts break lines with a carriage return alone, which a label does not show.
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
  QMessageBox box(qtIcon(icon), title, shown, QMessageBox::NoButton, parent);
  const ButtonSet set = buttonSet(buttons);
  for (auto b : set.buttons) box.addButton(b);
  box.setDefaultButton(set.buttons.first());
  const auto chosen = static_cast<QMessageBox::StandardButton>(box.exec());
  const qsizetype index = set.buttons.indexOf(chosen);
  // Closing the box with Escape or the title bar picks Cancel where there is one.
  if (index < 0)
    return set.results.contains(MsgResult::Cancel) ? MsgResult::Cancel : set.results.last();
  return set.results[index];
}

std::optional<QString> QtDialogs::input(const QString& prompt, const QString& title,
                                        const QString& defaultText, QWidget* parent) {
  bool ok = false;
  QString text = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
  if (!ok) return std::nullopt;
  return text;
}

QString QtDialogs::openFile(const QString& title, const QString& folder, const QString& filter,
                            QWidget* parent) {
  return QFileDialog::getOpenFileName(parent, title, folder, filter);
}

QString QtDialogs::saveFile(const QString& title, const QString& folder, const QString& filter,
                            QWidget* parent) {
  return QFileDialog::getSaveFileName(parent, title, folder, filter);
}

QString QtDialogs::chooseFolder(const QString& title, const QString& folder, QWidget* parent) {
  return QFileDialog::getExistingDirectory(parent, title, folder);
}

void QtDialogs::beep() {
  QApplication::beep();
}

QList<ScriptedDialogs::Call> ScriptedDialogs::messages() const {
  QList<Call> out;
  for (const Call& c : calls_)
    if (c.kind == Kind::Message) out.append(c);
  return out;
}

int ScriptedDialogs::count(Kind kind) const {
  int n = 0;
  for (const Call& c : calls_) n += c.kind == kind ? 1 : 0;
  return n;
}

MsgResult ScriptedDialogs::message(const QString& text, MsgButtons buttons, MsgIcon icon,
                                   const QString& title, QWidget*) {
  calls_.append({Kind::Message, title, text, buttons, icon, {}});
  if (!answers_.empty() && std::holds_alternative<MsgResult>(answers_.front())) {
    MsgResult r = std::get<MsgResult>(answers_.front());
    answers_.pop_front();
    return r;
  }
  return firstButton(buttons);
}

std::optional<QString> ScriptedDialogs::input(const QString& prompt, const QString& title,
                                              const QString& defaultText, QWidget*) {
  calls_.append({Kind::Input, title, prompt, MsgButtons::OKCancel, MsgIcon::None, defaultText});
  if (!answers_.empty() && std::holds_alternative<std::optional<QString>>(answers_.front())) {
    auto r = std::get<std::optional<QString>>(answers_.front());
    answers_.pop_front();
    return r;
  }
  return std::nullopt;
}

QString ScriptedDialogs::nextPath() {
  if (!answers_.empty() && std::holds_alternative<QString>(answers_.front())) {
    QString r = std::get<QString>(answers_.front());
    answers_.pop_front();
    return r;
  }
  return {};
}

QString ScriptedDialogs::openFile(const QString& title, const QString& folder,
                                  const QString& filter, QWidget*) {
  calls_.append({Kind::OpenFile, title, folder, MsgButtons::OKCancel, MsgIcon::None, filter});
  return nextPath();
}

QString ScriptedDialogs::saveFile(const QString& title, const QString& folder,
                                  const QString& filter, QWidget*) {
  calls_.append({Kind::SaveFile, title, folder, MsgButtons::OKCancel, MsgIcon::None, filter});
  return nextPath();
}

QString ScriptedDialogs::chooseFolder(const QString& title, const QString& folder, QWidget*) {
  calls_.append({Kind::Folder, title, folder, MsgButtons::OKCancel, MsgIcon::None, {}});
  return nextPath();
}

void ScriptedDialogs::beep() {
  calls_.append({Kind::Beep, {}, {}, MsgButtons::OK, MsgIcon::None, {}});
}

}  // namespace glim
