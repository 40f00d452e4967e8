#include "acquire/polled.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace rastcore {

void runWhilePolling(const std::function<void()>& work, const std::function<bool()>& poll,
                     const std::function<void()>& stop) {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::thread worker([&] {
    work();
    const std::lock_guard lock(mutex);
    done = true;
    finished.notify_all();
  });
  bool stopped = false;
  std::unique_lock lock(mutex);
  while (!done) {
    // Short enough for a window to repaint smoothly, long enough to cost nothing.
    finished.wait_for(lock, std::chrono::milliseconds(20));
    if (done) break;
    lock.unlock();
    if (!stopped && poll()) {
      stopped = true;
      stop();
    }
    lock.lock();
  }
  lock.unlock();
  worker.join();
}

bool pollInstance(CV_HANDLE handle, int16_t progressId) {
  const Instance* inst = instanceFor(handle);
  return inst && inst->pollFn && inst->pollFn(inst->pollContext, handle, progressId) != 0;
}

}  // namespace rastcore
