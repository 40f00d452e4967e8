#include <mutex>
#include <unordered_map>

#include "rastcore3.h"

namespace {
struct Instance {
  int16_t error = 0;
};
std::mutex g_mutex;
std::unordered_map<CV_HANDLE, Instance> g_instances;
CV_HANDLE g_next = 1;
}  // namespace

extern "C" {

void CV_CreateInstance(CV_HANDLE* handle) {
  std::lock_guard lock(g_mutex);
  CV_HANDLE h = g_next++;
  g_instances.emplace(h, Instance{});
  if (handle) *handle = h;
}

void CV_DestroyInstance(CV_HANDLE handle) {
  std::lock_guard lock(g_mutex);
  g_instances.erase(handle);
}

int16_t CV_GetImagError(CV_HANDLE handle) {
  std::lock_guard lock(g_mutex);
  auto it = g_instances.find(handle);
  return it == g_instances.end() ? int16_t(-1) : it->second.error;
}
}
