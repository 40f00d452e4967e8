#include "fileformat/orientation.h"

#include <cstring>
#include <new>

#include "ops/kernels.h"
#include "ops/pixel.h"
#include "rastcore3.h"

namespace rastcore {

int16_t applyOrientation(Image& image, int orientation) {
  if (orientation < 2 || orientation > 8 || image.empty()) return CV_OK;
  try {
    switch (orientation) {
      case 2:
        image = ops::mirror(image);
        break;
      case 3:
        image = ops::rotate90(image, 2);
        break;
      case 4:
        ops::flipInPlace(image);
        break;
      case 5:  // transpose: a quarter turn left, then upside down
        image = ops::rotate90(image, 1);
        ops::flipInPlace(image);
        break;
      case 6:
        image = ops::rotate90(image, -1);
        break;
      case 7:  // transverse: a quarter turn right, then upside down
        image = ops::rotate90(image, -1);
        ops::flipInPlace(image);
        break;
      case 8:
        image = ops::rotate90(image, 1);
        break;
    }
  } catch (const ops::OpFailure& failure) {
    return failure.code == CV_ERR_TOO_LARGE ? CV_ERR_TOO_LARGE : CV_ERR_OUT_OF_MEMORY;
  } catch (const std::bad_alloc&) {
    return CV_ERR_OUT_OF_MEMORY;
  }
  return CV_OK;
}

int exifOrientation(const uint8_t* data, size_t size) {
  if (size < 6 + 8 || std::memcmp(data, "Exif\0\0", 6) != 0) return 1;
  const uint8_t* tiff = data + 6;
  const size_t n = size - 6;
  const bool little = tiff[0] == 'I' && tiff[1] == 'I';
  if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return 1;
  auto u16 = [&](size_t at) -> uint32_t {
    return little ? uint32_t(tiff[at] | tiff[at + 1] << 8) : uint32_t(tiff[at] << 8 | tiff[at + 1]);
  };
  auto u32 = [&](size_t at) -> uint32_t {
    return little ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
  };
  if (u16(2) != 42) return 1;
  const size_t ifd = u32(4);
  if (ifd + 2 > n) return 1;
  const uint32_t entries = u16(ifd);
  for (uint32_t i = 0; i < entries; ++i) {
    const size_t at = ifd + 2 + size_t(i) * 12;
    if (at + 12 > n) return 1;
    if (u16(at) != 0x0112) continue;
    const uint32_t value = u16(at) && u16(at + 2) == 3 ? u16(at + 8) : 1;  // SHORT, one value
    return value >= 1 && value <= 8 ? int(value) : 1;
  }
  return 1;
}

}  // namespace rastcore
