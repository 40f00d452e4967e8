#include <QApplication>

#include "shell/programoptions.h"
#include "shell/startup.h"

int main(int argc, char** argv) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  // --help, --version and unknown options are answered before Qt needs a display.
  if (const std::optional<int> code = glim::programoptions::answer(arguments)) return *code;
  // The windowless commands open no window, so they also run where there is no display.
  if (glim::programoptions::classify(arguments) == glim::programoptions::Request::Windowless &&
      !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return glim::runProgram(app);
}
