#include "shell/frmAbout.h"

#include <QGroupBox>
#include <QVBoxLayout>
#include <QVersionNumber>

namespace glim {

frmAbout::frmAbout() {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("About Glimmora 2000"));
  auto* frame = new QGroupBox(QStringLiteral("Glimmora 2000 Information"));
  frame->setObjectName(QStringLiteral("fraInfo"));
  lblVersion = new QLabel(QStringLiteral("Version:  Glimmora 2000"));
  lblVersion->setObjectName(QStringLiteral("lblVersion"));
  lblBuild = new QLabel(buildText(QStringLiteral(GLIMMORA_VERSION)));
  lblBuild->setObjectName(QStringLiteral("lblBuild"));
  auto* inner = new QVBoxLayout(frame);
  inner->addWidget(lblVersion);
  inner->addWidget(lblBuild);
  cmdOK = new QPushButton(QStringLiteral("OK"));
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setDefault(true);
  connect(cmdOK, &QPushButton::clicked, this, &QDialog::close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame);
  layout->addWidget(cmdOK, 0, Qt::AlignRight);
}

QString frmAbout::buildText(const QString& version) {
  const QVersionNumber v = QVersionNumber::fromString(version);
  return QStringLiteral("Build: %1.%2.%3")
      .arg(v.majorVersion())
      .arg(v.minorVersion())
      .arg(v.microVersion());
}

}  // namespace glim
