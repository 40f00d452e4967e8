#include "ops/op_poll.h"

#include <algorithm>
#include <atomic>

#include "acquire/polled.h"
#include "instance.h"
#include "ops/pixel.h"
#include "rastcore3_errors.h"
#include "rastcore3_ops.h"

namespace rastcore::ops {
namespace {

// Often enough for a smooth window (the host keeps its own, longer interval), seldom enough
// that asking costs nothing beside the rows in between.
constexpr auto kInterval = std::chrono::milliseconds(4);
// Work (bytes touched, times the kernel's cost) of a band of parallelRows between two polls:
// about a millisecond. Kernels that prime a few rows at each band's start want bands of
// several rows.
constexpr int64_t kBandWork = int64_t(1) << 24;
constexpr int64_t kMinBandRows = 8;

std::atomic<bool> g_fine{false};

}  // namespace

thread_local OpPoll* OpPoll::current_ = nullptr;

bool OpPoll::wanted(CV_HANDLE h) {
  const Instance* inst = instanceFor(h);
  if (!inst || !inst->pollFn) return false;
  return CV_GetMultitask(h) != 0 || (CV_GetCancelLoad(h) != 0 && CV_GetCancelMode(h) != 0);
}

OpPoll::OpPoll(CV_HANDLE h) : handle_(h), active_(wanted(h)), outer_(current_) {
  // The first poll point asks at once: a cancel already waiting is seen before much is done.
  if (active_) current_ = this;
}

OpPoll::~OpPoll() {
  if (active_) current_ = outer_;
}

bool OpPoll::askNow() {
  if (cancelled_) return true;
  // The host's event loop may repaint, and drawing runs kernels of its own on this thread:
  // they must not poll (nor throw) from inside the poll.
  OpPoll* const was = current_;
  current_ = nullptr;
  cancelled_ = pollInstance(handle_, CV_PROGRESS_PROCESS);
  current_ = was;
  next_ = g_fine.load(std::memory_order_relaxed) ? Clock::time_point{} : Clock::now() + kInterval;
  return cancelled_;
}

void OpPoll::ask() {
  if (askNow()) fail(CV_ERR_CANCELLED);
}

int OpPoll::bandRows(int count, int64_t work, int threads) {
  if (g_fine.load(std::memory_order_relaxed) || count <= 1) return 1;
  const int64_t perRow = std::max<int64_t>(1, work / count);
  const int64_t byWork = std::max(kMinBandRows, kBandWork / perRow);
  // A few bands a thread at least, so that the threads end together.
  const int64_t forBalance = (count + 4 * int64_t(threads) - 1) / (4 * int64_t(threads));
  return int(std::max<int64_t>(1, std::min({int64_t(count), byWork, forBalance})));
}

void setFinePollingForTests(bool on) {
  g_fine.store(on, std::memory_order_relaxed);
}

}  // namespace rastcore::ops
