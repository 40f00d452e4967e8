#include "fileformat/codec.h"

namespace rastcore {
int16_t countTiffPages(const uint8_t*, size_t, int16_t& pages) {
  pages = 0;
  return CV_ERR_UNKNOWN_FORMAT;
}
}  // namespace rastcore
