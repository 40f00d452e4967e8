// Packed device-independent bitmaps (BITMAPINFOHEADER, palette, bottom-up rows) and the
// process-wide table of handles that names them.
#pragma once

#include <cstdint>
#include <vector>

#include "fileformat/codec.h"
#include "image.h"

namespace rastcore {

// Parses a packed DIB. pixelOffset is where the rows start, counted from `data`, or 0 when
// they follow the palette directly. Reads every header size, depth and compression that BMP
// files use (core, info, v4/v5 headers; RLE4, RLE8, bit fields).
int16_t decodePackedDib(const uint8_t* data, size_t size, size_t pixelOffset, Decoded& out,
                        Progress* progress = nullptr);

// Writes the picture as a packed DIB with a 40-byte header (32-bit pictures keep alpha in
// the fourth byte). Returns 0 or CV_ERR_OUT_OF_MEMORY.
int16_t packDib(const Image& image, std::vector<uint8_t>& out);

// The handle table. dibFromImage returns 0 when memory runs out.
uint32_t dibAlloc(uint32_t size);
uint8_t* dibLock(uint32_t handle, uint32_t* size);
void dibFree(uint32_t handle);
uint32_t dibFromImage(const Image& image);
int16_t imageFromDib(uint32_t handle, Image& image);

struct Instance;
// Takes a DIB handed to the instance (a paste, a capture): its picture goes into `image` and
// the handle is freed, also when it is the one the instance gave out last. A DIB that cannot
// be read returns its error and stays the caller's.
int16_t takeDib(Instance& inst, uint32_t handle, Image& image);

}  // namespace rastcore
