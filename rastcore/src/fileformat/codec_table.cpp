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
      // Camera raw in memory, where no extension tells it from TIFF; files go by extension.
      {FT_RAW, "Camera raw", "", sniffRawContent, decodeRaw, nullptr, false},
      {FT_TIF, "TIFF", "tif tiff", sniffTiff, decodeTiff, encodeTiff, false},
      {FT_RAW, "Camera raw", "cr2 nef nrw arw srf sr2 dng raf orf rw2 pef srw", sniffRaw, decodeRaw,
       nullptr, false},
      {FT_GIF, "GIF", "gif", sniffGif, decodeGif, encodeGif, false},
      {FT_EPIC, "ePIC", "pic", sniffEpic, decodeEpic, encodeEpic, false},
      {FT_WPG, "WPG", "wpg", sniffWpg, decodeWpg, encodeWpg, false},
      {FT_WPG, "WPG 2", "wpg", sniffWpg2, decodeWpg2, nullptr, false},  // after: saves as 1
      {FT_WMF, "WMF", "wmf", sniffWmf, decodeWmf, encodeWmf, false},
      {FT_PPM, "PPM", "ppm pnm pam", sniffPnm, decodePnm, encodePnm, true},
      {FT_PGM, "PGM", "pgm", sniffPnm, decodePnm, encodePnm, true},
      {FT_PBM, "PBM", "pbm", sniffPnm, decodePnm, encodePnm, true},
      {FT_WEBP, "WebP", "webp", sniffWebp, decodeWebp, encodeWebp, false},
      {FT_JXL, "JPEG XL", "jxl", sniffJxl, decodeJxl, nullptr, false},
      {FT_AVIF, "AVIF", "avif", sniffAvif, decodeHeif, nullptr, false},
      {FT_HEIC, "HEIF", "heic heif hif", sniffHeif, decodeHeif, nullptr, false},
      {FT_DCX, "DCX", "dcx", sniffDcx, decodeDcx, nullptr, false},
      {FT_ICO, "ICO", "ico", sniffIco, decodeIco, nullptr, false},
      {FT_PCX, "PCX", "pcx", sniffPcx, decodePcx, encodePcx, false},
      {FT_TGA, "TGA", "tga vda icb vst", nullptr, decodeTga, encodeTga, false},
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
