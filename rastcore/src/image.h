// The engine's picture: one packed pixel buffer with a palette for indexed depths.
// Rows are stored top-down, each padded to a multiple of 4 bytes, true-colour pixels in
// B, G, R(, A) order and indexed pixels packed most significant bits first, so a row is
// byte-for-byte the row of a device-independent bitmap (only the row order differs).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

namespace rastcore {

// Picture memory comes from calloc, whose large blocks are fresh pages the system zeroes on
// first touch, and elements made without a value are left as they came. A buffer sized with
// resize(n) right after reserving it therefore commits memory only for the rows a decoder
// writes: a small file that declares a huge picture and holds little costs little. (Growing a
// buffer that was shrunk within its capacity does not zero again: pass a value then.)
template <class T>
struct ZeroedAllocator {
  using value_type = T;
  ZeroedAllocator() = default;
  template <class U>
  ZeroedAllocator(const ZeroedAllocator<U>&) noexcept {}
  T* allocate(size_t n) {
    void* p = std::calloc(n, sizeof(T));
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t) noexcept { std::free(p); }
  template <class U>
  void construct(U*) noexcept {}
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
  template <class U>
  bool operator==(const ZeroedAllocator<U>&) const noexcept {
    return true;
  }
};

using PixelBuffer = std::vector<uint8_t, ZeroedAllocator<uint8_t>>;

struct Rgbq {
  uint8_t b = 0, g = 0, r = 0, reserved = 0;
  bool operator==(const Rgbq&) const = default;
};

struct Image {
  int32_t width = 0;
  int32_t height = 0;
  int16_t bpp = 0;            // 1, 4, 8, 24 or 32
  std::vector<Rgbq> palette;  // 2, 16 or 256 entries for 1, 4, 8 bits; empty otherwise
  PixelBuffer pixels;         // height * stride bytes
  double xdpi = 96.0, ydpi = 96.0;

  bool empty() const { return width <= 0 || height <= 0 || pixels.empty(); }
  size_t stride() const { return strideFor(width, bpp); }
  uint8_t* row(int y) { return pixels.data() + static_cast<size_t>(y) * stride(); }
  const uint8_t* row(int y) const { return pixels.data() + static_cast<size_t>(y) * stride(); }

  static size_t strideFor(int32_t w, int16_t bits) {
    return ((static_cast<size_t>(w) * static_cast<size_t>(bits) + 31) / 32) * 4;
  }
};

}  // namespace rastcore
