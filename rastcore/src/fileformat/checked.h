// Overflow-checked size arithmetic and the one allocation path for picture buffers, which
// enforces the engine's documented size limit before any pixel memory is taken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "image.h"

namespace rastcore {

inline std::optional<size_t> checkedMul(size_t a, size_t b) {
  size_t r;
  if (__builtin_mul_overflow(a, b, &r)) return std::nullopt;
  return r;
}

inline std::optional<size_t> checkedAdd(size_t a, size_t b) {
  size_t r;
  if (__builtin_add_overflow(a, b, &r)) return std::nullopt;
  return r;
}

// True when a picture of this size is within the engine's limit.
bool sizeAllowed(int64_t width, int64_t height);

// Lowers (or restores) the pixel limit for the whole process; fuzzing uses a small one.
void setPixelLimit(uint64_t pixels);

// Sizes `image` as width x height at bpp (1, 4, 8, 24, 32) with zeroed pixels and, for
// indexed depths, a zeroed palette of 2^bpp entries. Returns 0, CV_ERR_TOO_LARGE,
// CV_ERR_DAMAGED (zero or negative size) or CV_ERR_OUT_OF_MEMORY.
int16_t allocImage(Image& image, int64_t width, int64_t height, int bpp);

// A grey ramp palette of n entries (n = 2, 16 or 256).
void setGreyPalette(Image& image);

// True when every palette entry is grey (r == g == b).
bool paletteIsGrey(const Image& image);

// Reads the pixel at (x, y) of an indexed row.
inline int indexAt(const uint8_t* row, int x, int bpp) {
  switch (bpp) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
      return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    default:
      return row[x];
  }
}

inline void setIndexAt(uint8_t* row, int x, int bpp, int value) {
  switch (bpp) {
    case 1: {
      const uint8_t bit = uint8_t(0x80 >> (x & 7));
      row[x >> 3] = value ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
      break;
    }
    case 4:
      row[x >> 1] = (x & 1) ? uint8_t((row[x >> 1] & 0xF0) | (value & 0x0F))
                            : uint8_t((row[x >> 1] & 0x0F) | (value << 4));
      break;
    default:
      row[x] = uint8_t(value);
  }
}

// Converts the picture to 24-bit (or 32 when keepAlpha and the picture has alpha) B,G,R rows.
Image toTrueColor(const Image& image, bool keepAlpha);

// True when a 32-bit picture has any alpha below 255.
bool hasTransparency(const Image& image);

}  // namespace rastcore

namespace rastcore {
// Fills a freshly allocated picture with an OLE colour (0x00BBGGRR): true-colour pictures
// directly, indexed ones through a standard palette (black and white, the 16 standard
// colours, or a grey ramp) and the entry nearest to the colour.
void fillNewPicture(Image& image, uint32_t color);
}  // namespace rastcore
