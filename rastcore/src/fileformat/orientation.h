// The orientation a camera records (EXIF and TIFF tag 274, values 1 to 8), applied on load so
// that every later step sees the picture upright.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image.h"

namespace rastcore {

// Turns and mirrors the picture as `orientation` asks (1 and unknown values change nothing).
// Returns 0 or CV_ERR_OUT_OF_MEMORY / CV_ERR_TOO_LARGE, leaving the picture as it was.
int16_t applyOrientation(Image& image, int orientation);

// The Orientation of an Exif block (an APP1 payload starting "Exif\0\0"), or 1 when it has
// none or cannot be read.
int exifOrientation(const uint8_t* data, size_t size);

}  // namespace rastcore
