// Truevision Targa: colour-mapped, true-colour and grey pictures, raw or run-length encoded,
// in any of the four origins. TGA has no signature, so it is chosen by extension.
#include <cstring>

#include "fileformat/bytes.h"
#include "fileformat/checked.h"
#include "fileformat/codec.h"

namespace rastcore {
namespace {

struct TgaHeader {
  uint8_t idLength = 0, mapType = 0, imageType = 0;
  uint16_t mapFirst = 0, mapLength = 0;
  uint8_t mapEntryBits = 0;
  uint16_t width = 0, height = 0;
  uint8_t pixelBits = 0, descriptor = 0;

  int baseType() const { return imageType & 7; }  // 1 mapped, 2 true colour, 3 grey
  bool rle() const { return imageType & 8; }
  bool isValid() const {
    const int t = baseType();
    if ((imageType & ~0x0B) != 0 || t < 1 || t > 3 || width == 0 || height == 0) return false;
    // A colour map may come with any picture type, but its entries must be a known size.
    const bool entryOk =
        mapEntryBits == 15 || mapEntryBits == 16 || mapEntryBits == 24 || mapEntryBits == 32;
    if (mapType > 1 || (mapType == 1 && !entryOk)) return false;
    if (t == 1)
      return mapType == 1 && pixelBits == 8 && mapLength > 0 &&
             (mapEntryBits == 15 || mapEntryBits == 16 || mapEntryBits == 24 || mapEntryBits == 32);
    if (t == 2) return pixelBits == 15 || pixelBits == 16 || pixelBits == 24 || pixelBits == 32;
    return pixelBits == 8;
  }
};

void decode16(uint32_t v, uint8_t* bgr) {
  bgr[0] = uint8_t((v & 0x1F) * 255 / 31);
  bgr[1] = uint8_t(((v >> 5) & 0x1F) * 255 / 31);
  bgr[2] = uint8_t(((v >> 10) & 0x1F) * 255 / 31);
}

}  // namespace

int16_t decodeTga(const LoadRequest& request, Decoded& out) {
  out.format = FT_TGA;
  ByteReader in(request.data, request.size);
  TgaHeader h;
  h.idLength = in.u8(), h.mapType = in.u8(), h.imageType = in.u8();
  h.mapFirst = in.u16le(), h.mapLength = in.u16le(), h.mapEntryBits = in.u8();
  in.u16le(), in.u16le();
  h.width = in.u16le(), h.height = in.u16le(), h.pixelBits = in.u8(), h.descriptor = in.u8();
  if (!in.ok()) return CV_ERR_TRUNCATED;
  if (!h.isValid()) return CV_ERR_UNKNOWN_FORMAT;
  if (!sizeAllowed(h.width, h.height)) return CV_ERR_TOO_LARGE;
  in.skip(h.idLength);
  std::vector<Rgbq> map;
  if (h.mapType == 1) {
    const size_t entryBytes = size_t((h.mapEntryBits + 7) / 8);
    const uint8_t* p = in.take(entryBytes * h.mapLength);
    if (!p) return CV_ERR_TRUNCATED;
    for (size_t i = 0; i < h.mapLength; ++i, p += entryBytes) {
      uint8_t bgr[3];
      if (entryBytes == 2)
        decode16(uint32_t(p[0] | p[1] << 8), bgr);
      else
        bgr[0] = p[0], bgr[1] = p[1], bgr[2] = p[2];
      map.push_back(Rgbq{bgr[0], bgr[1], bgr[2], 0});
    }
  }
  const int t = h.baseType();
  const int pixelBytes = (h.pixelBits + 7) / 8;
  const bool alpha = h.pixelBits == 32;
  const int bpp = t == 2 ? (alpha ? 32 : 24) : 8;
  out.fileBpp = h.pixelBits;
  // Raw data must be all there before the picture is allocated.
  const auto rawBytes = checkedMul(size_t(h.width) * size_t(h.height), size_t(pixelBytes));
  if (!h.rle() && (!rawBytes || *rawBytes > in.left())) return CV_ERR_TRUNCATED;
  if (h.rle() && in.left() < size_t(h.height)) return CV_ERR_TRUNCATED;
  int16_t rc = allocImage(out.image, h.width, h.height, bpp);
  if (rc != CV_OK) return rc;
  Image& img = out.image;
  if (t == 3) setGreyPalette(img);
  if (t == 1)
    for (size_t i = 0; i < map.size(); ++i)
      if (h.mapFirst + i < 256) img.palette[h.mapFirst + i] = map[i];
  const bool topDown = h.descriptor & 0x20, rightToLeft = h.descriptor & 0x10;
  uint8_t pixel[4] = {};
  int runLeft = 0;
  bool runRepeat = false;
  bool anyAlpha = false;
  for (int row = 0; row < img.height; ++row) {
    uint8_t* dst = img.row(topDown ? row : img.height - 1 - row);
    for (int col = 0; col < img.width; ++col) {
      if (h.rle()) {
        if (runLeft == 0) {
          const uint8_t c = in.u8();
          runLeft = (c & 0x7F) + 1;
          runRepeat = c & 0x80;
          if (runRepeat) {
            if (const uint8_t* p = in.take(size_t(pixelBytes)))
              std::memcpy(pixel, p, size_t(pixelBytes));
          }
        }
        if (!runRepeat) {
          const uint8_t* p = in.take(size_t(pixelBytes));
          if (p) std::memcpy(pixel, p, size_t(pixelBytes));
        }
        --runLeft;
      } else {
        const uint8_t* p = in.take(size_t(pixelBytes));
        if (p) std::memcpy(pixel, p, size_t(pixelBytes));
      }
      if (!in.ok()) return CV_ERR_TRUNCATED;
      const int x = rightToLeft ? img.width - 1 - col : col;
      if (bpp == 8) {
        dst[x] = pixel[0];
      } else if (pixelBytes == 2) {
        decode16(uint32_t(pixel[0] | pixel[1] << 8), dst + x * 3);
      } else {
        uint8_t* d = dst + x * (bpp / 8);
        d[0] = pixel[0], d[1] = pixel[1], d[2] = pixel[2];
        if (alpha) d[3] = pixel[3], anyAlpha = anyAlpha || pixel[3] != 0;
      }
    }
    if (request.progress && request.progress->rowsThenCancelled(row + 1, img.height))
      return CV_ERR_CANCELLED;
  }
  // Writers that leave the alpha bits unused store zeros: the picture is then opaque.
  if (alpha && (!anyAlpha || (h.descriptor & 0x0F) == 0))
    for (int y = 0; y < img.height; ++y)
      for (int x = 0; x < img.width; ++x) img.row(y)[x * 4 + 3] = 255;
  return CV_OK;
}

namespace {

// Writes one row as RLE packets: runs of equal pixels and literal stretches, 128 at most.
void writeRleRow(ByteWriter& w, const uint8_t* row, int width, int bytes) {
  int x = 0;
  auto same = [&](int a, int b) {
    return std::memcmp(row + a * bytes, row + b * bytes, size_t(bytes)) == 0;
  };
  while (x < width) {
    int run = 1;
    while (x + run < width && run < 128 && same(x, x + run)) ++run;
    if (run > 1) {
      w.u8(0x80 | uint32_t(run - 1));
      w.bytes(row + x * bytes, size_t(bytes));
      x += run;
      continue;
    }
    int lit = 1;
    while (x + lit < width && lit < 128 && !(x + lit + 1 < width && same(x + lit, x + lit + 1)))
      ++lit;
    w.u8(uint32_t(lit - 1));
    w.bytes(row + x * bytes, size_t(lit) * size_t(bytes));
    x += lit;
  }
}

}  // namespace

int16_t encodeTga(const EncodeRequest& request, std::vector<uint8_t>& out) {
  const Image& src = *request.image;
  if (src.width > 65535 || src.height > 65535) return CV_ERR_TOO_LARGE;
  Image conv;
  const Image* img = &src;
  if (src.bpp < 8) {  // 1- and 4-bit pictures are written as 8-bit colour-mapped
    conv = Image{};
    if (allocImage(conv, src.width, src.height, 8) != CV_OK) return CV_ERR_OUT_OF_MEMORY;
    for (size_t i = 0; i < src.palette.size(); ++i) conv.palette[i] = src.palette[i];
    for (int y = 0; y < src.height; ++y)
      for (int x = 0; x < src.width; ++x) conv.row(y)[x] = uint8_t(indexAt(src.row(y), x, src.bpp));
    img = &conv;
  }
  const bool mapped = img->bpp == 8;
  const size_t mapLength = mapped ? src.palette.size() : 0;
  out.clear();
  ByteWriter w(out);
  w.u8(0), w.u8(mapped ? 1 : 0), w.u8(mapped ? 9 : 10);
  w.u16le(0), w.u16le(uint32_t(mapLength)), w.u8(mapped ? 24 : 0);
  w.u16le(0), w.u16le(0), w.u16le(uint32_t(img->width)), w.u16le(uint32_t(img->height));
  w.u8(uint32_t(img->bpp)), w.u8(0x20 | (img->bpp == 32 ? 8 : 0));
  for (size_t i = 0; i < mapLength; ++i)
    w.u8(src.palette[i].b), w.u8(src.palette[i].g), w.u8(src.palette[i].r);
  for (int y = 0; y < img->height; ++y) {
    writeRleRow(w, img->row(y), img->width, img->bpp / 8);
    if (request.progress) request.progress->rows(y + 1, img->height);
  }
  static const char kFooter[] = "\0\0\0\0\0\0\0\0TRUEVISION-XFILE.";
  w.bytes(kFooter, sizeof kFooter);  // includes the closing NUL
  return CV_OK;
}

}  // namespace rastcore
