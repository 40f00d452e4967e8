// "About Glimmora 2000": the version and the build number of the running program.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace glim {

class frmAbout : public QDialog {
  Q_OBJECT
 public:
  frmAbout();

  // "Build: " + major.minor.revision of the program's version.
  static QString buildText(const QString& version);

  QLabel* lblVersion;
  QLabel* lblBuild;
  QPushButton* cmdOK;
};

}  // namespace glim
