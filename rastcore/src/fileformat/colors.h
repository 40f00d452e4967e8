#pragma once

#include <cstdint>

#include "image.h"

namespace rastcore {

// The exact number of distinct colours (B, G, R; alpha ignored) of the picture. True-colour
// pictures are counted in a 2^24-bit set, split over threads for large pictures.
int64_t countUniqueColors(const Image& image);

}  // namespace rastcore
