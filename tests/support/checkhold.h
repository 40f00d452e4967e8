// Holds every catalogue damage check at its start until released, so that a test can show
// what happens before the verdict. Create it before the databases and windows of a test, so
// that their checks have ended before it goes.
#pragma once

#include <condition_variable>
#include <mutex>

#include "catalogue/database_p.h"

namespace glim::test {

class CheckHold {
 public:
  CheckHold() {
    catalogue::setDamageCheckHook([this] {
      std::unique_lock lock(mutex_);
      released_.wait(lock, [this] { return free_; });
    });
  }
  ~CheckHold() {
    release();
    catalogue::setDamageCheckHook({});
  }
  CheckHold(const CheckHold&) = delete;
  CheckHold& operator=(const CheckHold&) = delete;

  void release() {
    {
      const std::lock_guard lock(mutex_);
      free_ = true;
    }
    released_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool free_ = false;
};

}  // namespace glim::test
