// Loading and saving steps shared by the flat interface's files.
#pragma once

#include <cstdint>

#include "fileformat/codec.h"
#include "instance.h"

namespace rastcore {

int thumbnailDenominator(const FileState& file);
int16_t applyLoadCrop(const FileState& file, int16_t format, Image& image);
void saveToBuffer(Instance& inst, Progress* progress);

}  // namespace rastcore
