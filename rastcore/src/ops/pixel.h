// Shared helpers of the processing kernels: checked picture allocation, depth conversion,
// indexed-row packing, colours and row-parallel loops.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>

#include "image.h"

// Marks a hot kernel to be compiled for the baseline processor and for AVX2 as well, the
// better one chosen when the library loads (GCC on x86-64 with ifunc support).
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define RC3_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define RC3_VECTOR_CLONES
#endif

namespace rastcore::ops {

// A kernel that cannot finish throws this; the CV_* wrapper turns it into ImagError and leaves
// the picture as it was (kernels build their result beside the picture and swap at the end).
struct OpFailure {
  int16_t code;
};
[[noreturn]] void fail(int16_t code);

// The largest picture the processing side makes: 2^28 pixels and 1 GiB of rows.
constexpr int64_t kMaxPixels = int64_t(1) << 28;
constexpr int64_t kMaxBytes = int64_t(1) << 30;

// A zero-filled picture of the given size and depth (palette of the right length for indexed
// depths, grey ramp); fails with CV_ERR_BAD_ARGUMENT or CV_ERR_TOO_LARGE.
Image makeImage(int64_t width, int64_t height, int16_t bpp);
// Same size and depth as src, palette copied, pixels zeroed.
Image makeLike(const Image& src);
// A copy laid out as makeImage lays out pictures (huge pages for large ones).
Image copyImage(const Image& img);
bool validDepth(int16_t bpp);

// Grey palette of n entries (n = 2, 16 or 256).
std::vector<Rgbq> greyPalette(int n);

// 1 and 4-bit pictures as one index byte per pixel (bpp 8, same palette), and back.
Image unpackIndexed(const Image& src);
Image packIndexed(const Image& src8, int16_t bits);
// Runs fn on a picture whose indexed pixels take whole bytes: 1 and 4-bit pictures are unpacked
// first and packed again afterwards.
Image withWholeBytes(const Image& src, const std::function<Image(const Image&)>& fn);

// 24-bit copy of any picture; 32-bit pictures keep 32 bits when keepAlpha.
Image toTrueColor(const Image& src, bool keepAlpha = true);
inline int bytesPerPixel(int16_t bpp) {
  return bpp / 8;
}

// The picture as true colour, converted only when it is not already: kernels read large
// pictures in place instead of copying them.
class TrueColour {
 public:
  explicit TrueColour(const Image& img, bool keepAlpha = true) : ref_(&img) {
    if (img.bpp < 24 || (img.bpp == 32 && !keepAlpha)) {
      own_ = toTrueColor(img, keepAlpha);
      ref_ = &own_;
    }
  }
  TrueColour(const TrueColour&) = delete;
  TrueColour& operator=(const TrueColour&) = delete;
  const Image& operator*() const { return *ref_; }

 private:
  Image own_;
  const Image* ref_;
};

// Colour of pixel (x, y) of any depth, as B, G, R, A (A = 255 below 32 bits).
Rgbq pixelAt(const Image& img, int x, int y);

// OLE colour (0x00BBGGRR, or a system colour with the high bit set) to B, G, R.
Rgbq oleToRgbq(uint32_t ole);
// Index of the palette entry nearest to c.
int nearestIndex(const std::vector<Rgbq>& pal, Rgbq c);

inline uint8_t clamp8(int v) {
  return static_cast<uint8_t>(std::clamp(v, 0, 255));
}
inline uint8_t clamp8f(float v) {
  // Adding one half and truncating rounds correctly: v is strictly between 0 and 255 there.
  // NOLINTNEXTLINE(bugprone-incorrect-roundings)
  return static_cast<uint8_t>(v <= 0.f ? 0 : v >= 255.f ? 255 : int(v + 0.5f));
}

// Calls fn(first, last) over [0, count) rows, split across threads when work (bytes touched in
// total) is large enough to pay for them.
void parallelRows(int count, int64_t work, const std::function<void(int, int)>& fn);

// Applies a 256-entry table to every channel (B, G, R; alpha untouched) of a true-colour picture
// or to the palette of an indexed one. One table per channel.
void applyTables(Image& img, const uint8_t* tb, const uint8_t* tg, const uint8_t* tr);

}  // namespace rastcore::ops
