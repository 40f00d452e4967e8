#include "instance.h"

#include "fileformat/dib.h"

#include <memory>
#include <mutex>
#include <unordered_map>

namespace rastcore {
namespace {
std::mutex g_mutex;
std::unordered_map<CV_HANDLE, std::unique_ptr<Instance>> g_instances;
CV_HANDLE g_next = 1;
}  // namespace

Instance* instanceFor(CV_HANDLE handle) {
  std::lock_guard lock(g_mutex);
  auto it = g_instances.find(handle);
  return it == g_instances.end() ? nullptr : it->second.get();
}

}  // namespace rastcore

extern "C" {

void CV_CreateInstance(CV_HANDLE* handle) {
  std::lock_guard lock(rastcore::g_mutex);
  const CV_HANDLE h = rastcore::g_next++;
  rastcore::g_instances.emplace(h, std::make_unique<rastcore::Instance>());
  if (handle) *handle = h;
}

void CV_DestroyInstance(CV_HANDLE handle) {
  // The read-ahead thread may be finishing a decode: it is stopped outside the table's lock.
  std::unique_ptr<rastcore::Instance> gone;
  std::lock_guard lock(rastcore::g_mutex);
  auto it = rastcore::g_instances.find(handle);
  if (it == rastcore::g_instances.end()) return;
  // Handles the engine gave out for this instance die with it.
  rastcore::dibFree(it->second->dibHandle);
  rastcore::dibFree(it->second->undoDibHandle);
  rastcore::dibFree(it->second->save.bufferHandle);
  rastcore::dibFree(it->second->file.paletteHandle);
  gone = std::move(it->second);
  rastcore::g_instances.erase(it);
}

int16_t CV_GetImagError(CV_HANDLE handle) {
  rastcore::Instance* inst = rastcore::instanceFor(handle);
  return inst ? inst->error : int16_t(-1);
}
}
