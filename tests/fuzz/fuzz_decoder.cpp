// One fuzz target for every decoder: built once per codec with -DCODEC=<Name> (Jpeg, Png,
// Tiff, Gif, Bmp, Pcx, Dcx, Ico, Tga, Wpg, Wpg2, Pnm, Wmf, Epic, Heif, Webp, Raw, Jxl). The picture
// size limit is lowered so that a hostile header cannot make a run take gigabytes.
#include <cstddef>
#include <cstdint>

#include "fileformat/checked.h"
#include "fileformat/codec.h"

#define RASTCORE_CONCAT2(a, b) a##b
#define RASTCORE_CONCAT(a, b) RASTCORE_CONCAT2(a, b)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool limited = [] {
    rastcore::setPixelLimit(1u << 24);
    return true;
  }();
  (void)limited;
  rastcore::LoadRequest request;
  request.data = data;
  request.size = size;
  request.password = "password";
  rastcore::Decoded out;
  const int16_t rc = RASTCORE_CONCAT(rastcore::decode, CODEC)(request, out);
  // A decoder that succeeds must hand back a whole picture.
  if (rc == 0 && (out.image.empty() ||
                  out.image.pixels.size() != out.image.stride() * size_t(out.image.height)))
    __builtin_trap();
  return 0;
}
