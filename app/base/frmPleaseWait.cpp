#include "base/frmPleaseWait.h"

#include <QCoreApplication>
#include <QLabel>
#include <QVBoxLayout>

#include "base/appstate.h"
#include "base/forms.h"

namespace glim {

namespace {
const QString kWait = QStringLiteral("PLEASE WAIT...");
}

frmPleaseWait::frmPleaseWait() : QWidget(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("frmPleaseWait"));
  setWindowTitle(QStringLiteral("Processing Database"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  lblWait_ = new QLabel(kWait, this);
  lblWait_->setObjectName(QStringLiteral("lblWait"));
  QFont font = lblWait_->font();
  font.setPointSize(font.pointSize() * 2);
  font.setBold(true);
  lblWait_->setFont(font);
  lblWait_->setAlignment(Qt::AlignCenter);
  lblWait_->setMinimumWidth(lblWait_->sizeHint().width() + 40);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblWait_);
  appState().PleaseWaitShown = true;
  connect(&Timer1, &QTimer::timeout, this, &frmPleaseWait::Timer1_Timer);
  Timer1.start(400);
}

frmPleaseWait::~frmPleaseWait() {
  Timer1.stop();
  appState().PleaseWaitShown = false;
}

// Lets the dots run so the user sees the program is busy, at the yields of the work.
void frmPleaseWait::Timer1_Timer() {
  tick_ = (tick_ + 1) % 4;
  lblWait_->setText(kWait.left(kWait.size() - 3) + QString(tick_, u'.'));
}

frmPleaseWait* frmPleaseWait::showWindow() {
  auto* form = forms::get<frmPleaseWait>();
  form->show();
  form->raise();
  QCoreApplication::processEvents();
  return form;
}

void frmPleaseWait::closeWindow() {
  if (auto* form = forms::find<frmPleaseWait>()) {
    form->close();
    delete form;
  }
}

}  // namespace glim
