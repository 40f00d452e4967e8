// Windows and OS/2 bitmaps: the 14-byte file header followed by a packed DIB. The packed-DIB
// reader and writer here also serve picture handles.
#include <bit>
#include <cstring>
#include <new>

#include "fileformat/bytes.h"
#include "fileformat/checked.h"
#include "fileformat/dib.h"

namespace rastcore {
namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;

struct DibHeader {
  uint32_t headerSize = 0;
  int64_t width = 0, height = 0;
  bool topDown = false;
  uint16_t bitCount = 0;
  uint32_t compression = kRgb;
  uint32_t colorsUsed = 0;
  uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  double xdpi = 96, ydpi = 96;
  size_t paletteEntrySize = 4;

  bool isValid() const {
    const bool depthOk = bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
                         bitCount == 24 || bitCount == 32;
    const bool compressionOk = compression == kRgb || (compression == kRle8 && bitCount == 8) ||
                               (compression == kRle4 && bitCount == 4) ||
                               (compression == kBitFields && (bitCount == 16 || bitCount == 32));
    return width > 0 && height > 0 && depthOk && compressionOk;
  }
};

bool readHeader(ByteReader& in, DibHeader& h) {
  h.headerSize = in.u32le();
  if (h.headerSize == 12) {  // OS/2 1.x core header
    h.width = in.u16le();
    h.height = in.u16le();
    in.u16le();
    h.bitCount = in.u16le();
    h.paletteEntrySize = 3;
    return in.ok();
  }
  if (h.headerSize < 16 || h.headerSize > 1024) return false;
  const size_t start = in.pos() - 4;
  h.width = int32_t(in.u32le());
  const int32_t height = int32_t(in.u32le());
  h.topDown = height < 0;
  h.height = height < 0 ? -int64_t(height) : height;
  in.u16le();
  h.bitCount = in.u16le();
  if (h.headerSize >= 40) {
    h.compression = in.u32le();
    in.u32le();  // image size
    const uint32_t xppm = in.u32le(), yppm = in.u32le();
    if (xppm && yppm) h.xdpi = xppm * 0.0254, h.ydpi = yppm * 0.0254;
    h.colorsUsed = in.u32le();
    in.u32le();  // important colours
  }
  if (h.compression == kBitFields) {
    // Masks follow a 40-byte header, or are part of v2+ headers.
    for (int i = 0; i < (h.headerSize >= 56 ? 4 : 3); ++i) h.masks[i] = in.u32le();
    if (h.headerSize >= 52 && h.headerSize < 56) h.masks[3] = 0;
  }
  if (h.headerSize > 40) in.seek(start + h.headerSize);
  if (h.headerSize == 40 && h.compression == kBitFields) in.seek(start + 52);
  return in.ok();
}

int maskShift(uint32_t mask) {
  return mask ? __builtin_ctz(mask) : 0;
}
// Widens a bit-field sample to 8 bits by repeating its bits (5-bit 0x1F gives 0xFF).
uint8_t maskValue(uint32_t pixel, uint32_t mask) {
  if (!mask) return 0;
  const uint32_t v = (pixel & mask) >> maskShift(mask);
  const int bits = std::popcount(mask >> maskShift(mask));
  if (bits >= 8) return uint8_t(v >> (bits - 8));
  uint32_t r = v << (8 - bits);
  for (int s = bits; s < 8; s += bits) r |= (v << (8 - bits)) >> s;
  return uint8_t(r);
}

void readPalette(ByteReader& in, const DibHeader& h, Image& image) {
  const size_t max = size_t(1) << h.bitCount;
  const size_t count = h.colorsUsed && h.colorsUsed < max ? h.colorsUsed : max;
  for (size_t i = 0; i < count && in.left() >= h.paletteEntrySize; ++i) {
    const uint8_t* p = in.take(h.paletteEntrySize);
    image.palette[i] = Rgbq{p[0], p[1], p[2], 0};
  }
}

// Uncompressed rows; 16-bit and bit-field pictures become 24 or 32 bits.
int16_t readRows(const uint8_t* data, size_t size, const DibHeader& h, Image& image,
                 Progress* progress) {
  const size_t srcStride = Image::strideFor(int32_t(h.width), int16_t(h.bitCount));
  const auto needed = checkedMul(srcStride, size_t(h.height));
  if (!needed) return CV_ERR_TOO_LARGE;
  if (*needed > size) {
    // Some writers drop the last row's padding; anything shorter is truncated.
    if (*needed - size >= srcStride) return CV_ERR_TRUNCATED;
  }
  uint32_t masks[4] = {h.masks[0], h.masks[1], h.masks[2], h.masks[3]};
  if (h.compression != kBitFields && h.bitCount == 16)
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  const bool fields = h.bitCount == 16 || h.compression == kBitFields;
  for (int64_t y = 0; y < h.height; ++y) {
    const size_t offset = size_t(y) * srcStride;
    const size_t avail = size > offset ? size - offset : 0;
    const uint8_t* src = data + offset;
    uint8_t* dst = image.row(int(h.topDown ? y : h.height - 1 - y));
    if (!fields) {
      std::memcpy(dst, src, srcStride < avail ? srcStride : avail);
    } else {
      const int bytes = h.bitCount / 8;
      const int outBytes = image.bpp / 8;
      for (int64_t x = 0; x < h.width && size_t(x + 1) * size_t(bytes) <= avail; ++x) {
        const uint8_t* p = src + x * bytes;
        const uint32_t px = bytes == 2
                                ? uint32_t(p[0] | p[1] << 8)
                                : uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24);
        uint8_t* d = dst + x * outBytes;
        d[0] = maskValue(px, masks[2]), d[1] = maskValue(px, masks[1]),
        d[2] = maskValue(px, masks[0]);
        if (outBytes == 4) d[3] = masks[3] ? maskValue(px, masks[3]) : 255;
      }
    }
    if (progress && progress->rowsThenCancelled(y + 1, h.height)) return CV_ERR_CANCELLED;
  }
  return CV_OK;
}

// RLE4/RLE8: runs and literal strings per row, with end-of-line, end-of-picture and delta
// escapes. Rows are bottom-up; pixels never reached stay index 0.
// Data that sets no pixel at all is no picture.
int16_t readRle(ByteReader& in, const DibHeader& h, Image& image) {
  const int bpp = h.bitCount;
  int64_t x = 0, y = 0;
  bool any = false;
  auto put = [&](int value) {
    if (x < h.width && y < h.height) {
      setIndexAt(image.row(int(h.topDown ? y : h.height - 1 - y)), int(x), bpp, value);
      any = true;
    }
    ++x;
  };
  while (true) {
    if (!in.ok() || in.left() < 2) return CV_ERR_TRUNCATED;
    const int count = in.u8(), value = in.u8();
    if (count > 0) {
      for (int i = 0; i < count; ++i)
        put(bpp == 8 ? value : (i & 1) ? (value & 0x0F) : (value >> 4));
      continue;
    }
    if (value == 0) {
      x = 0;
      if (++y > h.height) return CV_ERR_DAMAGED;
    } else if (value == 1) {
      return any ? CV_OK : CV_ERR_DAMAGED;
    } else if (value == 2) {
      x += in.u8();
      y += in.u8();
      if (y > h.height) return CV_ERR_DAMAGED;
    } else {
      const size_t bytes = bpp == 8 ? size_t(value) : (size_t(value) + 1) / 2;
      const uint8_t* p = in.take(bytes);
      if (!p) return CV_ERR_TRUNCATED;
      for (int i = 0; i < value; ++i)
        put(bpp == 8 ? p[i] : (i & 1) ? (p[i / 2] & 0x0F) : (p[i / 2] >> 4));
      if (bytes & 1) in.skip(1);
    }
  }
}

// A 32-bit BI_RGB bitmap whose fourth bytes are all zero carries no alpha: make it opaque.
void fixUnusedAlpha(Image& image) {
  if (hasTransparency(image)) {
    for (int y = 0; y < image.height; ++y) {
      const uint8_t* p = image.row(y);
      for (int x = 0; x < image.width; ++x)
        if (p[x * 4 + 3] != 0) return;
    }
    for (int y = 0; y < image.height; ++y) {
      uint8_t* p = image.row(y);
      for (int x = 0; x < image.width; ++x) p[x * 4 + 3] = 255;
    }
  }
}

}  // namespace

int16_t decodePackedDib(const uint8_t* data, size_t size, size_t pixelOffset, Decoded& out,
                        Progress* progress) {
  ByteReader in(data, size);
  DibHeader h;
  if (!readHeader(in, h)) return CV_ERR_TRUNCATED;
  if (!h.isValid())
    return h.width > 0 && h.height > 0 ? CV_ERR_UNSUPPORTED_FEATURE : CV_ERR_DAMAGED;
  if (!sizeAllowed(h.width, h.height)) return CV_ERR_TOO_LARGE;
  // Uncompressed rows must all be in the file before the picture is allocated (some writers
  // drop the last row's padding).
  const bool rle = h.compression == kRle8 || h.compression == kRle4;
  const size_t paletteBytes =
      h.bitCount <= 8 ? (h.colorsUsed && h.colorsUsed < (1u << h.bitCount) ? h.colorsUsed
                                                                           : (1u << h.bitCount)) *
                            h.paletteEntrySize
                      : 0;
  const size_t start = pixelOffset ? pixelOffset : in.pos() + paletteBytes;
  const size_t available = size > start ? size - start : 0;
  const size_t srcStride = Image::strideFor(int32_t(h.width), int16_t(h.bitCount));
  const auto needed = checkedMul(srcStride, size_t(h.height));
  if (!rle && (!needed || available + srcStride <= *needed)) return CV_ERR_TRUNCATED;
  if (rle && available < 2) return CV_ERR_TRUNCATED;
  // 16-bit pictures with an alpha mask (ARGB4444, ARGB1555) keep their alpha too.
  const bool alpha = (h.bitCount == 32 && (h.compression == kRgb || h.masks[3] != 0)) ||
                     (h.bitCount == 16 && h.compression == kBitFields && h.masks[3] != 0);
  const int bpp = h.bitCount <= 8 ? h.bitCount : alpha ? 32 : 24;
  const int16_t rc = allocImage(out.image, h.width, h.height, bpp);
  if (rc != CV_OK) return rc;
  out.image.xdpi = h.xdpi;
  out.image.ydpi = h.ydpi;
  out.fileBpp = int16_t(h.bitCount);
  if (bpp <= 8) readPalette(in, h, out.image);
  if (pixelOffset) {
    if (pixelOffset >= size) return CV_ERR_TRUNCATED;
    in.seek(pixelOffset);
  }
  int16_t result;
  if (rle)
    result = readRle(in, h, out.image);
  else
    result = readRows(data + in.pos(), in.left(), h, out.image, progress);
  if (result == CV_OK && bpp == 32 && h.compression == kRgb) fixUnusedAlpha(out.image);
  return result;
}

int16_t packDib(const Image& image, std::vector<uint8_t>& out) {
  const size_t stride = image.stride();
  const size_t paletteBytes = image.bpp <= 8 ? image.palette.size() * 4 : 0;
  const auto pixelBytes = checkedMul(stride, size_t(image.height));
  if (!pixelBytes) return CV_ERR_TOO_LARGE;
  try {
    out.clear();
    out.reserve(40 + paletteBytes + *pixelBytes);
    ByteWriter w(out);
    w.u32le(40);
    w.u32le(uint32_t(image.width));
    w.u32le(uint32_t(image.height));
    w.u16le(1);
    w.u16le(uint32_t(image.bpp));
    w.u32le(kRgb);
    w.u32le(uint32_t(*pixelBytes));
    w.u32le(uint32_t(image.xdpi / 0.0254 + 0.5));
    w.u32le(uint32_t(image.ydpi / 0.0254 + 0.5));
    w.u32le(image.bpp <= 8 ? uint32_t(image.palette.size()) : 0);
    w.u32le(0);
    for (size_t i = 0; i < image.palette.size() && image.bpp <= 8; ++i) {
      const Rgbq& c = image.palette[i];
      w.u8(c.b), w.u8(c.g), w.u8(c.r), w.u8(0);
    }
    for (int y = image.height - 1; y >= 0; --y) w.bytes(image.row(y), stride);
  } catch (const std::bad_alloc&) {
    return CV_ERR_OUT_OF_MEMORY;
  }
  return CV_OK;
}

bool sniffBmp(const uint8_t* d, size_t n) {
  if (n < 18 || d[0] != 'B' || d[1] != 'M') return false;
  const uint32_t headerSize = uint32_t(d[14] | d[15] << 8 | d[16] << 16 | uint32_t(d[17]) << 24);
  return headerSize == 12 || (headerSize >= 16 && headerSize <= 1024);
}

int16_t decodeBmp(const LoadRequest& request, Decoded& out) {
  out.format = FT_BMP;
  if (request.size < 14 + 12) return CV_ERR_TRUNCATED;
  const uint8_t* d = request.data;
  const size_t offset = size_t(d[10] | d[11] << 8 | d[12] << 16 | uint32_t(d[13]) << 24);
  // The offset counts from the file start; the packed DIB starts at byte 14.
  if (offset != 0 && offset < 14 + 12) return CV_ERR_DAMAGED;
  return decodePackedDib(d + 14, request.size - 14, offset ? offset - 14 : 0, out,
                         request.progress);
}

int16_t encodeBmp(const EncodeRequest& request, std::vector<uint8_t>& out) {
  std::vector<uint8_t> dib;
  int16_t rc = packDib(*request.image, dib);
  if (rc != CV_OK) return rc;
  if (dib.size() + 14 > UINT32_MAX) return CV_ERR_TOO_LARGE;
  const size_t paletteBytes = request.image->bpp <= 8 ? request.image->palette.size() * 4 : 0;
  try {
    out.clear();
    out.reserve(dib.size() + 14);
    ByteWriter w(out);
    w.u8('B'), w.u8('M');
    w.u32le(uint32_t(dib.size() + 14));
    w.u32le(0);
    w.u32le(uint32_t(14 + 40 + paletteBytes));
    w.bytes(dib.data(), dib.size());
  } catch (const std::bad_alloc&) {
    return CV_ERR_OUT_OF_MEMORY;
  }
  return CV_OK;
}

}  // namespace rastcore
