#include "fileformat/dib.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

#include "instance.h"
#include "rastcore3.h"

namespace rastcore {
namespace {

struct Block {
  std::unique_ptr<uint8_t[]> bytes;
  uint32_t size = 0;
};

std::mutex g_dibMutex;
std::unordered_map<uint32_t, Block> g_dibs;
uint32_t g_nextDib = 0x10000;  // away from small numbers that callers might confuse with ids

}  // namespace

uint32_t dibAlloc(uint32_t size) {
  Block block;
  try {
    block.bytes.reset(new uint8_t[size ? size : 1]());
  } catch (const std::bad_alloc&) {
    return 0;
  }
  block.size = size;
  std::lock_guard lock(g_dibMutex);
  while (g_nextDib == 0 || g_dibs.count(g_nextDib)) ++g_nextDib;
  const uint32_t handle = g_nextDib++;
  g_dibs.emplace(handle, std::move(block));
  return handle;
}

uint8_t* dibLock(uint32_t handle, uint32_t* size) {
  std::lock_guard lock(g_dibMutex);
  auto it = g_dibs.find(handle);
  if (it == g_dibs.end()) {
    if (size) *size = 0;
    return nullptr;
  }
  if (size) *size = it->second.size;
  return it->second.bytes.get();
}

void dibFree(uint32_t handle) {
  std::lock_guard lock(g_dibMutex);
  g_dibs.erase(handle);
}

uint32_t dibFromImage(const Image& image) {
  std::vector<uint8_t> packed;
  if (packDib(image, packed) != CV_OK || packed.size() > UINT32_MAX) return 0;
  const uint32_t handle = dibAlloc(uint32_t(packed.size()));
  if (handle) std::memcpy(dibLock(handle, nullptr), packed.data(), packed.size());
  return handle;
}

int16_t imageFromDib(uint32_t handle, Image& image) {
  uint32_t size = 0;
  const uint8_t* bytes = dibLock(handle, &size);
  if (!bytes) return CV_ERR_BAD_HANDLE;
  Decoded decoded;
  const int16_t rc = decodePackedDib(bytes, size, 0, decoded);
  if (rc != CV_OK)
    return rc == CV_ERR_TOO_LARGE || rc == CV_ERR_OUT_OF_MEMORY ? rc : CV_ERR_BAD_HANDLE;
  image = std::move(decoded.image);
  return CV_OK;
}

int16_t takeDib(Instance& inst, uint32_t handle, Image& image) {
  if (const int16_t rc = imageFromDib(handle, image); rc != CV_OK) return rc;
  if (handle == inst.dibHandle) inst.dibHandle = 0;
  dibFree(handle);
  return CV_OK;
}

}  // namespace rastcore

extern "C" {

CV_HDIB CV_DibAlloc(uint32_t size) {
  return rastcore::dibAlloc(size);
}
void* CV_DibLock(CV_HDIB dib) {
  return rastcore::dibLock(dib, nullptr);
}
uint32_t CV_DibSize(CV_HDIB dib) {
  uint32_t size = 0;
  rastcore::dibLock(dib, &size);
  return size;
}
void CV_DibFree(CV_HDIB dib) {
  rastcore::dibFree(dib);
}
}
