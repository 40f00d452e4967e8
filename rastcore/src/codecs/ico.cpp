// Windows icons: a directory of pictures, each a PNG file or a DIB of twice the icon's height
// (the colour rows, then a 1-bit mask whose set bits are transparent). Every picture is a
// page, in the directory's order.
#include <cstring>
#include <vector>

#include "fileformat/bytes.h"
#include "fileformat/checked.h"
#include "fileformat/codec.h"
#include "fileformat/dib.h"

namespace rastcore {
namespace {

struct IcoEntry {
  uint32_t size = 0, offset = 0;
};

int16_t readDirectory(const uint8_t* data, size_t size, std::vector<IcoEntry>& entries) {
  ByteReader in(data, size);
  if (in.u16le() != 0 || in.u16le() != 1) return CV_ERR_DAMAGED;
  const uint16_t count = in.u16le();
  if (!in.ok()) return CV_ERR_TRUNCATED;
  if (count == 0) return CV_ERR_DAMAGED;
  for (uint16_t i = 0; i < count; ++i) {
    in.skip(8);  // width, height, colours, reserved, planes, bit count
    IcoEntry e;
    e.size = in.u32le();
    e.offset = in.u32le();
    if (!in.ok()) return CV_ERR_TRUNCATED;
    entries.push_back(e);
  }
  return CV_OK;
}

// An indexed or 24-bit picture as 32 bits, opaque where the mask bit is clear.
int16_t applyMask(const Image& colour, const uint8_t* mask, size_t maskSize, Image& out) {
  const int16_t rc = allocImage(out, colour.width, colour.height, 32);
  if (rc != CV_OK) return rc;
  out.xdpi = colour.xdpi, out.ydpi = colour.ydpi;
  const size_t maskStride = (size_t(colour.width) + 31) / 32 * 4;
  for (int y = 0; y < colour.height; ++y) {
    const uint8_t* src = colour.row(y);
    uint8_t* dst = out.row(y);
    // Mask rows are bottom-up like the colour rows; a missing mask leaves the icon opaque.
    const size_t maskRow = size_t(colour.height - 1 - y) * maskStride;
    for (int x = 0; x < colour.width; ++x) {
      Rgbq c;
      if (colour.bpp <= 8) {
        c = colour.palette[size_t(indexAt(src, x, colour.bpp))];
      } else {
        const uint8_t* p = src + x * (colour.bpp / 8);
        c = Rgbq{p[0], p[1], p[2], 0};
      }
      const size_t at = maskRow + size_t(x >> 3);
      const bool clear = at < maskSize && (mask[at] >> (7 - (x & 7)) & 1);
      uint8_t* d = dst + x * 4;
      d[0] = c.b, d[1] = c.g, d[2] = c.r, d[3] = clear ? 0 : 255;
    }
  }
  return CV_OK;
}

int16_t decodeDibIcon(const uint8_t* data, size_t size, Decoded& out) {
  if (size < 40) return CV_ERR_TRUNCATED;
  ByteReader in(data, size);
  const uint32_t headerSize = in.u32le();
  const int32_t width = int32_t(in.u32le());
  const int32_t doubled = int32_t(in.u32le());
  in.u16le();
  const uint16_t bitCount = in.u16le();
  const uint32_t compression = in.u32le();
  if (headerSize < 40 || headerSize > size || width <= 0 || doubled <= 1) return CV_ERR_DAMAGED;
  // The header counts the colour rows and the mask rows.
  std::vector<uint8_t> dib(data, data + size);
  const int32_t height = doubled / 2;
  std::memcpy(dib.data() + 8, &height, 4);
  int16_t rc = decodePackedDib(dib.data(), dib.size(), 0, out);
  if (rc != CV_OK) return rc;
  if (bitCount == 32) return CV_OK;  // its own alpha
  if (compression != 0) return CV_ERR_UNSUPPORTED_FEATURE;
  const size_t colours = bitCount <= 8 ? size_t(1) << bitCount : 0;
  const size_t maskStart =
      headerSize + colours * 4 + Image::strideFor(width, int16_t(bitCount)) * size_t(height);
  Image masked;
  rc = applyMask(out.image, data + std::min(maskStart, size), size - std::min(maskStart, size),
                 masked);
  if (rc != CV_OK) return rc;
  out.image = std::move(masked);
  return CV_OK;
}

}  // namespace

bool sniffIco(const uint8_t* d, size_t n) {
  return n >= 22 && d[0] == 0 && d[1] == 0 && d[2] == 1 && d[3] == 0 && (d[4] | d[5]) != 0 &&
         d[9] == 0;  // the first entry's reserved byte
}

int16_t countIcoPages(const uint8_t* data, size_t size, int16_t& pages) {
  std::vector<IcoEntry> entries;
  const int16_t rc = readDirectory(data, size, entries);
  pages = int16_t(entries.size() > 32767 ? 32767 : entries.size());
  return rc;
}

int16_t decodeIco(const LoadRequest& request, Decoded& out) {
  out.format = FT_ICO;
  std::vector<IcoEntry> entries;
  int16_t rc = readDirectory(request.data, request.size, entries);
  if (rc != CV_OK) return rc;
  if (request.page < 0 || size_t(request.page) >= entries.size()) return CV_ERR_NO_PAGE;
  const IcoEntry& e = entries[size_t(request.page)];
  if (e.offset >= request.size || e.size > request.size - e.offset) return CV_ERR_TRUNCATED;
  const uint8_t* data = request.data + e.offset;
  if (sniffPng(data, e.size)) {
    LoadRequest png;
    png.data = data;
    png.size = e.size;
    png.progress = request.progress;
    rc = decodePng(png, out);
  } else {
    rc = decodeDibIcon(data, e.size, out);
  }
  out.format = FT_ICO;
  out.numPages = int16_t(entries.size() > 32767 ? 32767 : entries.size());
  return rc;
}

}  // namespace rastcore
