#include <algorithm>
#include <sstream>

#include "fileformat/codec.h"

namespace rastcore {

const std::vector<Codec>& codecs() {
  // Sniffing order: formats with strong signatures first; TGA has none and comes last.
  static const std::vector<Codec> table = {
      {FT_JPG, "JPEG", "jpg jpeg jpe jif jfif", sniffJpeg, decodeJpeg, encodeJpeg, true},
      {FT_PNG, "PNG", "png", sniffPng, decodePng, encodePng, true},
      {FT_BMP, "BMP", "bmp dib", sniffBmp, decodeBmp, encodeBmp, false},
  };
  return table;
}

const Codec* codecForFormat(int16_t format) {
  for (const Codec& c : codecs())
    if (c.format == format) return &c;
  return nullptr;
}

const Codec* codecForExtension(const std::string& ext) {
  for (const Codec& c : codecs()) {
    std::istringstream words(c.extensions);
    std::string word;
    while (words >> word)
      if (word == ext) return &c;
  }
  return nullptr;
}

const Codec* sniffCodec(const uint8_t* data, size_t size) {
  for (const Codec& c : codecs())
    if (c.sniff && c.sniff(data, size)) return &c;
  return nullptr;
}

}  // namespace rastcore
