// Palette files for IPAL_PalFile: JASC text palettes ("JASC-PAL") and RIFF palettes
// ("RIFF....PAL "). Returns false for anything else, leaving pal empty.
#pragma once

#include <string>
#include <vector>

#include "image.h"

namespace rastcore::ops {

bool readPaletteFile(const std::string& path, std::vector<Rgbq>& pal);

}  // namespace rastcore::ops
