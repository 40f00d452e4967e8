// The program's entry: the start-up routine, the splash, the first run and the hand-over to
// the main window.
#pragma once

class QApplication;

namespace glim {

// Runs start-up and then the event loop; returns the process exit code.
int runProgram(QApplication& app);

}  // namespace glim
