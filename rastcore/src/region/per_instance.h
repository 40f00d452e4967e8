// State kept per engine instance beside the instance table, keyed by the instance handle.
// Handles are never reused; the state of destroyed instances (which may hold a large sprite) is
// dropped whenever state is made for a new instance.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

#include "instance.h"

namespace rastcore {

template <class T>
class PerInstance {
 public:
  // The state of a live instance (made on first use); null for an unknown handle.
  T* get(CV_HANDLE h) {
    if (!instanceFor(h)) return nullptr;
    std::lock_guard lock(mutex_);
    auto& slot = states_[h];
    if (!slot) {
      slot = std::make_unique<T>();
      purge(h);
    }
    return slot.get();
  }

 private:
  void purge(CV_HANDLE keep) {
    for (auto it = states_.begin(); it != states_.end();) {
      if (it->first != keep && !instanceFor(it->first))
        it = states_.erase(it);
      else
        ++it;
    }
  }
  std::mutex mutex_;
  std::unordered_map<CV_HANDLE, std::unique_ptr<T>> states_;
};

}  // namespace rastcore
