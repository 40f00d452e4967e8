#include "shell/startup.h"

#include <QApplication>

namespace glim {

int runProgram(QApplication& app) { return app.exec(); }

}  // namespace glim
