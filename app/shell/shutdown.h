// The two ways the program ends: closing the main window, and the Exit command (also used
// after the catalogue has been replaced).
#pragma once

#include <functional>

class QObject;

namespace glim::shutdown {

// Closes the please-wait window and every other open window, last opened first; the caller
// (the main window's close) then goes itself, and the process ends.
void closeOtherWindows(QObject* except);
// Exit: closes every open window from the last opened down to the second, then ends the
// process at once.
void exitProgram();
// Ends the event loop with the code. Tests install their own ender so that nothing quits
// the test's own loop; nullptr restores the default.
void endProcess(int code = 0);
void setEnder(std::function<void(int)> ender);

}  // namespace glim::shutdown
