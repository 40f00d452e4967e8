// Long waits on devices run on a thread of their own while the calling thread keeps asking the
// instance's poll function (which lets the host's window repaint and notice a cancel request).
#pragma once

#include <functional>

#include "instance.h"

namespace rastcore {

// Runs `work` on its own thread. Between short waits the calling thread calls `poll`; the
// first time it answers true, `stop` is called (once) and the wait goes on until `work` ends.
void runWhilePolling(const std::function<void()>& work, const std::function<bool()>& poll,
                     const std::function<void()>& stop);

// Asks the instance's poll function whether the host wants the running step (a ProgressId or
// kProgressScan) cancelled. Without a poll function nothing is ever cancelled.
bool pollInstance(CV_HANDLE handle, int16_t progressId);

}  // namespace rastcore
