#include "fileformat/read_ahead.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace rastcore {

namespace {

int64_t nanoseconds(const timespec& t) {
  return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

int64_t bytesOf(const Decoded& decoded) {
  return int64_t(decoded.image.pixels.capacity()) +
         int64_t(decoded.image.palette.capacity() * sizeof(Rgbq));
}

void recordProgress(void* context, int pct) {
  static_cast<std::vector<int>*>(context)->push_back(pct);
}

}  // namespace

bool stampOf(const std::string& path, FileStamp& stamp) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.size = st.st_size;
  stamp.modifiedNs = nanoseconds(st.st_mtim);
  stamp.changedNs = nanoseconds(st.st_ctim);
  return true;
}

DecodeOptions decodeOptionsOf(const LoadOptions& options) {
  return {options.page, options.password, options.scaleDenominator};
}

ReadAhead::ReadAhead() = default;

ReadAhead::~ReadAhead() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void ReadAhead::startThread() {
  if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
}

void ReadAhead::want(std::vector<std::string> paths, const DecodeOptions& options) {
  {
    const std::lock_guard lock(mutex_);
    // Other options make every held picture useless.
    if (!(options == options_)) {
      held_.clear();
      tried_.clear();
      heldBytes_ = 0;
    }
    wanted_ = std::move(paths);
    options_ = options;
    full_ = false;
    dropUnwanted();
    if (!wanted_.empty() && limit_ > 0) startThread();
  }
  changed_.notify_all();
}

void ReadAhead::setLimit(int64_t bytes) {
  {
    const std::lock_guard lock(mutex_);
    limit_ = std::max<int64_t>(0, bytes);
    // Keep the most wanted pictures that fit.
    std::sort(held_.begin(), held_.end(),
              [this](const Held& a, const Held& b) { return rankOf(a.path) < rankOf(b.path); });
    int64_t total = 0;
    auto keep = held_.begin();
    for (; keep != held_.end() && total + keep->bytes <= limit_; ++keep) total += keep->bytes;
    held_.erase(keep, held_.end());
    heldBytes_ = total;
    tried_.clear();
    full_ = false;
    if (!wanted_.empty() && limit_ > 0) startThread();
  }
  changed_.notify_all();
}

int64_t ReadAhead::limit() const {
  const std::lock_guard lock(mutex_);
  return limit_;
}

int ReadAhead::heldCount() const {
  const std::lock_guard lock(mutex_);
  return int(held_.size());
}

int64_t ReadAhead::heldBytes() const {
  const std::lock_guard lock(mutex_);
  return heldBytes_;
}

int64_t ReadAhead::peakBytes() const {
  const std::lock_guard lock(mutex_);
  return peakBytes_;
}

int ReadAhead::rankOf(const std::string& path) const {
  const auto it = std::find(wanted_.begin(), wanted_.end(), path);
  return it == wanted_.end() ? -1 : int(it - wanted_.begin());
}

void ReadAhead::dropUnwanted() {
  std::erase_if(tried_, [this](const std::string& path) { return rankOf(path) < 0; });
  std::erase_if(held_, [this](const Held& held) {
    if (rankOf(held.path) >= 0) return false;
    heldBytes_ -= held.bytes;
    return true;
  });
}

int64_t ReadAhead::bytesAbove(int rank) const {
  int64_t total = 0;
  for (const Held& held : held_)
    if (rankOf(held.path) < rank) total += held.bytes;
  return total;
}

int ReadAhead::nextToDecode() const {
  if (full_) return -1;
  for (size_t i = 0; i < wanted_.size(); ++i) {
    const std::string& path = wanted_[i];
    const bool held =
        std::any_of(held_.begin(), held_.end(), [&path](const Held& h) { return h.path == path; });
    if (held || std::find(tried_.begin(), tried_.end(), path) != tried_.end()) continue;
    // Nothing is decoded that could not be kept beside the more wanted pictures.
    if (bytesAbove(int(i)) >= limit_) return -1;
    return int(i);
  }
  return -1;
}

bool ReadAhead::decodesNext(const std::string& path) const {
  const int rank = thread_.joinable() ? nextToDecode() : -1;
  return rank >= 0 && wanted_[size_t(rank)] == path;
}

bool ReadAhead::holdsOrDecodes(const std::string& path) const {
  const std::lock_guard lock(mutex_);
  return busyPath_ == path ||
         std::any_of(held_.begin(), held_.end(), [&path](const Held& h) { return h.path == path; });
}

void ReadAhead::admit(Held held, int rank) {
  // Less wanted pictures make room; a picture that still does not fit is not kept.
  std::sort(held_.begin(), held_.end(),
            [this](const Held& a, const Held& b) { return rankOf(a.path) < rankOf(b.path); });
  while (heldBytes_ + held.bytes > limit_ && !held_.empty() && rankOf(held_.back().path) > rank) {
    heldBytes_ -= held_.back().bytes;
    held_.pop_back();
  }
  if (held.bytes > limit_) {
    tried_.push_back(held.path);  // never fits
    return;
  }
  if (heldBytes_ + held.bytes > limit_) {
    full_ = true;  // neither this nor anything less wanted fits until room is made
    return;
  }
  heldBytes_ += held.bytes;
  peakBytes_ = std::max(peakBytes_, heldBytes_);
  held_.push_back(std::move(held));
}

void ReadAhead::run() {
  pthread_setname_np(pthread_self(), "rastcore-ahead");  // for profilers and debuggers
  // Decoding ahead yields to the thread that shows pictures (on Linux a thread has its own
  // nice value).
  setpriority(PRIO_PROCESS, id_t(gettid()), 5);
  std::unique_lock lock(mutex_);
  while (!stop_) {
    const int rank = nextToDecode();
    if (rank < 0) {
      changed_.wait(lock);
      continue;
    }
    const std::string path = wanted_[size_t(rank)];
    const DecodeOptions options = options_;
    busyPath_ = path;
    busyOptions_ = options;
    lock.unlock();

    Held held;
    held.path = path;
    std::vector<int> progress;
    Progress recorder(&recordProgress, &progress);
    LoadOptions load;
    load.page = options.page;
    load.password = options.password;
    load.scaleDenominator = options.scaleDenominator;
    load.progress = &recorder;
    FileStamp after;
    const bool stamped = stampOf(path, held.stamp);
    const int16_t rc =
        stamped ? loadPictureFile(path, load, held.picture.decoded, held.picture.fileSize)
                : CV_ERR_FILE_NOT_FOUND;
    // A file that changed while it was read may have given a mix of old and new bytes.
    const bool usable = rc == CV_OK && stampOf(path, after) && after == held.stamp;
    held.picture.progress = std::move(progress);
    held.bytes = bytesOf(held.picture.decoded);

    lock.lock();
    busyPath_.clear();
    const int nowRank = rankOf(path);
    if (usable && nowRank >= 0 && options == options_)
      admit(std::move(held), nowRank);
    else if (nowRank >= 0 && options == options_)
      tried_.push_back(path);  // failures are left to the load, which reports them
    changed_.notify_all();
  }
}

bool ReadAhead::take(const std::string& path, const DecodeOptions& options, ReadAheadPicture& out) {
  Held taken;
  {
    std::unique_lock lock(mutex_);
    if (!(options == options_)) return false;
    changed_.wait(lock, [&] {
      const bool decoding = busyPath_ == path && busyOptions_ == options;
      return stop_ || (!decoding && !(busyPath_.empty() && decodesNext(path)));
    });
    const auto it =
        std::find_if(held_.begin(), held_.end(), [&path](const Held& h) { return h.path == path; });
    if (it == held_.end()) return false;
    taken = std::move(*it);
    heldBytes_ -= taken.bytes;
    held_.erase(it);
    full_ = false;
    // The shown picture is not decoded again while it stays wanted.
    tried_.push_back(path);
  }
  changed_.notify_all();
  FileStamp now;
  if (!stampOf(path, now) || !(now == taken.stamp)) return false;
  out = std::move(taken.picture);
  return true;
}

}  // namespace rastcore
