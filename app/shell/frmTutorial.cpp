#include "shell/frmTutorial.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/appstate.h"
#include "base/help.h"

namespace glim {

frmTutorial::frmTutorial(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmTutorial"));
  setWindowTitle(QStringLiteral("Glimmora 2000 Tutorial"));
  auto* frame = new QGroupBox(QStringLiteral("IMPORTANT INFORMATION"), this);
  auto* text = new QLabel(
      QStringLiteral(
          "Glimmora is a fairly strait forward program to use.  There are, however, several things "
          "you absolutely MUST know in order to use the program effectively.  There are a few "
          "things you must do to customize Glimmora to your setup BEFORE it will be of any use to "
          "you.  Even if you are an experienced computer user, you should at least look over the "
          "tutorial before beginning.  Glimmora is highly customizable, and was made to be "
          "customized before use begins.   The tutorial is simply a quick demonstration of how to "
          "do that.  You may run this tutorial at any time from the help menu on the main toolbar. "
          " "
          "The tutorial is self paced, so you can go through it in as little as 2 minutes or take "
          "as long as you like."),
      frame);
  text->setWordWrap(true);
  auto* frameLayout = new QVBoxLayout(frame);
  frameLayout->addWidget(text);
  cmdShowTutorial_ = new QPushButton(QStringLiteral("Begin Tutorial"), this);
  cmdShowTutorial_->setObjectName(QStringLiteral("cmdShowTutorial"));
  cmdShowTutorial_->setDefault(true);
  cmdCancel_ = new QPushButton(QStringLiteral("Skip Tutorial  (NOT recomended)"), this);
  cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cmdShowTutorial_);
  buttons->addStretch();
  buttons->addWidget(cmdCancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame);
  layout->addLayout(buttons);
  resize(460, 300);
  connect(cmdShowTutorial_, &QPushButton::clicked, this, &frmTutorial::cmdShowTutorial_Click);
  connect(cmdCancel_, &QPushButton::clicked, this, &frmTutorial::cmdCancel_Click);
}

void frmTutorial::cmdShowTutorial_Click() {
  help::showTopic(appState().HelpFile, 2);
  close();
}

void frmTutorial::cmdCancel_Click() {
  close();
}

}  // namespace glim
