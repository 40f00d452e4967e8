#include "shell/shutdown.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

#include "base/forms.h"
#include "base/frmPleaseWait.h"

namespace glim::shutdown {

namespace {
std::function<void(int)>& ender() {
  static std::function<void(int)> f;
  return f;
}
}  // namespace

void closeOtherWindows(QObject* except) {
  frmPleaseWait::closeWindow();
  const QList<QWidget*> open = forms::openForms();
  for (qsizetype i = open.size() - 1; i >= 0; --i) {
    QPointer<QWidget> w = open[i];
    if (w && w != except) w->close();
  }
}

void exitProgram() {
  forms::closeAll(1);
  endProcess(0);
}

void endProcess(int code) {
  if (ender())
    ender()(code);
  else
    QCoreApplication::exit(code);
}

void setEnder(std::function<void(int)> f) {
  ender() = std::move(f);
}

}  // namespace glim::shutdown
