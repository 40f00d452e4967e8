// The host's poll during a processing call. While an OpPoll lives on a thread, the kernels'
// row loops (and parallelRows between its bands) give the host its poll every few
// milliseconds, so its window can repaint and take input; a cancel from the host throws
// OpFailure{CV_ERR_CANCELLED}, which the CV_* wrapper turns into ImagError with the picture
// untouched. The operation writes a new picture meanwhile, so a repaint shows the old one.
#pragma once

#include <chrono>
#include <cstdint>

#include "rastcore3.h"

namespace rastcore::ops {

class OpPoll {
 public:
  // Active only when the host gave a poll function and asked for it: Multitask on, or
  // CancelLoad on with a CancelMode. Otherwise the call runs as it always did, without polls.
  explicit OpPoll(CV_HANDLE h);
  ~OpPoll();
  OpPoll(const OpPoll&) = delete;
  OpPoll& operator=(const OpPoll&) = delete;

  static bool wanted(CV_HANDLE h);

  // The poll of this thread's processing call, or null (none running, or inside the host's
  // poll, where a repaint may run kernels of its own).
  static OpPoll* current() { return current_; }
  // Asks the host when the interval has passed; throws on a cancel.
  void tick() {
    if (due()) ask();
  }
  bool due() const { return Clock::now() >= next_; }
  std::chrono::steady_clock::time_point nextDue() const { return next_; }
  // Whether the host asked to stop; after a true answer every later tick throws.
  bool askNow();
  // Rows a band of parallelRows holds for `work` bytes over `count` rows and `threads`.
  static int bandRows(int count, int64_t work, int threads);

 private:
  using Clock = std::chrono::steady_clock;
  void ask();

  CV_HANDLE handle_;
  bool active_ = false;
  bool cancelled_ = false;
  OpPoll* outer_ = nullptr;
  Clock::time_point next_{};
  static thread_local OpPoll* current_;
  friend class SuspendPoll;
};

// Keeps pollRow quiet on this thread while it lives: parallelRows polls between its bands
// itself, never from inside a band.
class SuspendPoll {
 public:
  SuspendPoll() : poll_(OpPoll::current_) { OpPoll::current_ = nullptr; }
  ~SuspendPoll() { OpPoll::current_ = poll_; }
  SuspendPoll(const SuspendPoll&) = delete;
  SuspendPoll& operator=(const SuspendPoll&) = delete;

 private:
  OpPoll* poll_;
};

// A point in a kernel's row loop where the host may have its poll. Costs a thread-local read
// when no processing call polls.
inline void pollRow() {
  if (OpPoll* p = OpPoll::current()) p->tick();
}

// For the tests: every poll point asks the host and bands hold one row, so that cancels can be
// placed anywhere and band splits are exercised. Off by default.
void setFinePollingForTests(bool on);

}  // namespace rastcore::ops
