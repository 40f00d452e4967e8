#include <QApplication>

#include "shell/startup.h"

int main(int argc, char** argv) {
  // The windowless commands open no window, so they also run where there is no display.
  if (argc > 1 && glim::Startup::isWindowlessOption(QString::fromLocal8Bit(argv[1])) &&
      !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return glim::runProgram(app);
}
