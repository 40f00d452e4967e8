// TIFF through libtiff, read and written in memory. Simple layouts (strips of 1-, 4- or 8-bit
// grey or palette pixels, 8-bit RGB or RGBA, 16-bit samples) are read row by row into the
// engine's depth, 32-bit floating-point samples a band of strips or tiles at a time in any
// layout; everything else (tiles, CMYK, YCbCr, separate planes) through libtiff's RGBA reader.
// Alpha comes out straight (not premultiplied).
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include <tiffio.h>

#include "fileformat/checked.h"
#include "fileformat/codec.h"

namespace rastcore {
namespace {

struct MemStream {
  const uint8_t* data = nullptr;  // reading
  size_t size = 0;
  std::vector<uint8_t>* out = nullptr;  // writing (also holds the bytes when appending)
  size_t pos = 0;
  bool failed = false;
};

size_t streamSize(const MemStream& s) {
  return s.out ? s.out->size() : s.size;
}

tmsize_t memRead(thandle_t h, void* buf, tmsize_t n) {
  auto* s = static_cast<MemStream*>(h);
  const uint8_t* base = s->out ? s->out->data() : s->data;
  const size_t total = streamSize(*s);
  if (n < 0 || s->pos >= total) return 0;
  const size_t count = std::min(size_t(n), total - s->pos);
  std::memcpy(buf, base + s->pos, count);
  s->pos += count;
  return tmsize_t(count);
}

tmsize_t memWrite(thandle_t h, void* buf, tmsize_t n) {
  auto* s = static_cast<MemStream*>(h);
  if (!s->out || n < 0) return -1;
  try {
    if (s->pos + size_t(n) > s->out->size()) s->out->resize(s->pos + size_t(n));
  } catch (const std::bad_alloc&) {
    s->failed = true;
    return -1;
  }
  std::memcpy(s->out->data() + s->pos, buf, size_t(n));
  s->pos += size_t(n);
  return n;
}

toff_t memSeek(thandle_t h, toff_t off, int whence) {
  auto* s = static_cast<MemStream*>(h);
  uint64_t base = whence == SEEK_CUR ? s->pos : whence == SEEK_END ? streamSize(*s) : 0;
  const uint64_t target = base + off;
  if (target > (uint64_t(1) << 40)) return toff_t(-1);
  if (!s->out && target > s->size) return toff_t(-1);
  s->pos = size_t(target);
  return target;
}

int memClose(thandle_t) {
  return 0;
}
toff_t memSize(thandle_t h) {
  return streamSize(*static_cast<MemStream*>(h));
}
int memMap(thandle_t, void**, toff_t*) {
  return 0;
}
void memUnmap(thandle_t, void*, toff_t) {}

void silence() {
  static const bool once = [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    return true;
  }();
  (void)once;
}

TIFF* openStream(MemStream& s, const char* mode) {
  silence();
  return TIFFClientOpen("memory", mode, &s, memRead, memWrite, memSeek, memClose, memSize, memMap,
                        memUnmap);
}

struct TiffCloser {
  void operator()(TIFF* t) const { TIFFClose(t); }
};

// The colormap as 8-bit entries; some writers store 8-bit values in the 16-bit fields.
void readColormap(TIFF* tif, int bps, Image& image) {
  uint16_t *r, *g, *b;
  if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b)) return setGreyPalette(image);
  const size_t n = size_t(1) << bps;
  bool wide = false;
  for (size_t i = 0; i < n; ++i) wide = wide || r[i] > 255 || g[i] > 255 || b[i] > 255;
  const int shift = wide ? 8 : 0;
  for (size_t i = 0; i < n && i < image.palette.size(); ++i)
    image.palette[i] =
        Rgbq{uint8_t(b[i] >> shift), uint8_t(g[i] >> shift), uint8_t(r[i] >> shift), 0};
}

void readResolution(TIFF* tif, Decoded& out) {
  float xr = 0, yr = 0;
  uint16_t unit = RESUNIT_INCH;
  TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
  const double perInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
  if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xr) && xr > 0 && xr < 1e6)
    out.image.xdpi = xr * perInch;
  if (TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yr) && yr > 0 && yr < 1e6)
    out.image.ydpi = yr * perInch;
  out.resUnits = unit == RESUNIT_CENTIMETER ? RES_Centimeter
                 : unit == RESUNIT_NONE     ? RES_None
                                            : RES_Inch;
}

int16_t readScanlines(TIFF* tif, int bpp, int spp, Image& image, Progress* progress) {
  const tmsize_t lineSize = TIFFScanlineSize(tif);
  if (lineSize <= 0 || size_t(lineSize) > size_t(image.width) * size_t(spp) + 8)
    return CV_ERR_DAMAGED;
  std::vector<uint8_t> line(static_cast<size_t>(lineSize));
  for (int y = 0; y < image.height; ++y) {
    if (TIFFReadScanline(tif, line.data(), uint32_t(y), 0) < 0) return CV_ERR_DAMAGED;
    uint8_t* dst = image.row(y);
    if (bpp <= 8) {
      std::memcpy(dst, line.data(), std::min(size_t(lineSize), image.stride()));
    } else {
      const uint8_t* src = line.data();
      const int outBytes = bpp / 8;
      for (int x = 0; x < image.width; ++x, src += spp, dst += outBytes) {
        dst[0] = src[2], dst[1] = src[1], dst[2] = src[0];
        if (outBytes == 4) dst[3] = src[3];
      }
    }
    if (progress) progress->rows(y + 1, image.height);
  }
  return CV_OK;
}

// Float samples of a band of rows, pixel by pixel, from strips or tiles stored with the
// samples of a pixel together or in separate planes.
class FloatBands {
 public:
  FloatBands(TIFF* tif, uint32_t width, uint32_t height, int spp, bool separate)
      : tif_(tif), width_(width), height_(height), spp_(spp), separate_(separate) {}

  // Sizes the chunks (a strip or a tile) and checks them against the directory; false for a
  // layout that does not add up.
  bool begin() {
    perPixel_ = separate_ ? 1 : spp_;
    if (TIFFIsTiled(tif_)) {
      if (!TIFFGetField(tif_, TIFFTAG_TILEWIDTH, &chunkWidth_) ||
          !TIFFGetField(tif_, TIFFTAG_TILELENGTH, &chunkRows_))
        return false;
    } else {
      chunkWidth_ = width_;
      TIFFGetFieldDefaulted(tif_, TIFFTAG_ROWSPERSTRIP, &chunkRows_);
      chunkRows_ = std::min(chunkRows_, height_);
    }
    if (chunkWidth_ == 0 || chunkRows_ == 0) return false;
    // A chunk far larger than the picture is no real layout.
    const uint64_t chunkPixels = uint64_t(chunkWidth_) * chunkRows_;
    if (chunkPixels > std::max<uint64_t>(uint64_t(4) * width_ * height_, 1u << 20)) return false;
    const tmsize_t bytes = TIFFIsTiled(tif_) ? TIFFTileSize(tif_) : TIFFStripSize(tif_);
    if (bytes <= 0 || uint64_t(bytes) != chunkPixels * uint64_t(perPixel_) * 4) return false;
    chunk_.resize(size_t(chunkPixels) * size_t(perPixel_));
    bandRows_ = std::min(chunkRows_, height_);
    band_.resize(size_t(width_) * bandRows_ * size_t(spp_));
    return true;
  }
  uint32_t bandRows() const { return bandRows_; }

  // Reads the rows from y0 (a multiple of the band height); the band then holds
  // min(bandRows, height - y0) rows of `spp` floats a pixel.
  bool read(uint32_t y0) {
    const uint32_t rows = std::min(bandRows_, height_ - y0);
    const int planes = separate_ ? spp_ : 1;
    for (int plane = 0; plane < planes; ++plane)
      for (uint32_t x0 = 0; x0 < width_; x0 += chunkWidth_) {
        std::fill(chunk_.begin(), chunk_.end(), 0.0f);
        const tmsize_t got =
            TIFFIsTiled(tif_)
                ? TIFFReadEncodedTile(tif_, TIFFComputeTile(tif_, x0, y0, 0, uint16_t(plane)),
                                      chunk_.data(), tmsize_t(chunk_.size() * 4))
                : TIFFReadEncodedStrip(tif_, TIFFComputeStrip(tif_, y0, uint16_t(plane)),
                                       chunk_.data(), tmsize_t(chunk_.size() * 4));
        if (got < 0) return false;
        const uint32_t columns = std::min(chunkWidth_, width_ - x0);
        for (uint32_t r = 0; r < rows; ++r) {
          const float* src = chunk_.data() + size_t(r) * chunkWidth_ * size_t(perPixel_);
          float* dst = band_.data() + (size_t(r) * width_ + x0) * size_t(spp_) + size_t(plane);
          for (uint32_t x = 0; x < columns; ++x, src += perPixel_, dst += spp_)
            std::copy(src, src + perPixel_, dst);
        }
      }
    return true;
  }
  const float* row(uint32_t r) const { return band_.data() + size_t(r) * width_ * size_t(spp_); }

 private:
  TIFF* tif_;
  uint32_t width_, height_;
  int spp_;
  bool separate_;
  int perPixel_ = 1;
  uint32_t chunkWidth_ = 0, chunkRows_ = 0, bandRows_ = 0;
  std::vector<float> chunk_, band_;
};

// 32-bit floating-point samples (0 to 1): grey (with alpha) or RGB(A), in strips or tiles,
// together or in planes, each sample scaled to 0-255. libtiff's RGBA reader does not take
// them. Associated alpha is undone before rounding.
int16_t readFloat(TIFF* tif, int spp, bool grey, bool minIsWhite, bool separate, bool associated,
                  Image& image, Progress* progress) {
  FloatBands bands(tif, uint32_t(image.width), uint32_t(image.height), spp, separate);
  if (!bands.begin()) return CV_ERR_DAMAGED;
  auto unit = [](float v) { return std::clamp(v == v ? v : 0.0f, 0.0f, 1.0f); };  // NaN is 0
  auto level = [](float v) { return uint8_t(v * 255.0f + 0.5f); };
  const int outBytes = image.bpp / 8;
  const bool alpha = outBytes == 4;
  for (uint32_t y0 = 0; y0 < uint32_t(image.height); y0 += bands.bandRows()) {
    if (!bands.read(y0)) return CV_ERR_DAMAGED;
    const uint32_t rows = std::min(bands.bandRows(), uint32_t(image.height) - y0);
    for (uint32_t r = 0; r < rows; ++r) {
      uint8_t* dst = image.row(int(y0 + r));
      const float* src = bands.row(r);
      for (int x = 0; x < image.width; ++x, src += spp, dst += outBytes) {
        const float a = alpha ? unit(src[grey ? 1 : 3]) : 1.0f;
        auto colour = [&](float v) {
          v = unit(v);
          if (associated && a > 0) v = std::min(1.0f, v / a);
          return v;
        };
        if (grey) {
          const float v = minIsWhite ? 1.0f - unit(src[0]) : src[0];
          dst[0] = dst[1] = dst[2] = level(colour(v));
        } else {
          dst[0] = level(colour(src[2])), dst[1] = level(colour(src[1])),
          dst[2] = level(colour(src[0]));
        }
        if (alpha) dst[3] = level(a);
      }
    }
    if (progress) progress->rows(y0 + rows, image.height);
  }
  return CV_OK;
}

// 16-bit samples in strips of whole pixels: grey (with alpha) or RGB(A). Associated alpha is
// undone at 16 bits, before rounding to 8, so faint pixels keep their colour.
int16_t read16Scanlines(TIFF* tif, int spp, bool grey, bool minIsWhite, bool associated,
                        Image& image, Progress* progress) {
  const tmsize_t lineSize = TIFFScanlineSize(tif);
  if (lineSize != tmsize_t(image.width) * spp * 2) return CV_ERR_DAMAGED;
  std::vector<uint16_t> line(size_t(image.width) * size_t(spp));
  const int outBytes = image.bpp / 8;
  const bool alpha = outBytes == 4;
  auto to8 = [](uint32_t v) { return uint8_t((v * 255 + 32767) / 65535); };
  for (int y = 0; y < image.height; ++y) {
    if (TIFFReadScanline(tif, line.data(), uint32_t(y), 0) < 0) return CV_ERR_DAMAGED;
    uint8_t* dst = image.row(y);
    const uint16_t* src = line.data();
    for (int x = 0; x < image.width; ++x, src += spp, dst += outBytes) {
      const uint32_t a = alpha ? src[grey ? 1 : 3] : 65535;
      auto straight = [&](uint32_t v) {
        if (associated && a > 0 && a < 65535)
          v = std::min<uint32_t>(65535, (v * 65535 + a / 2) / a);
        return to8(v);
      };
      if (grey) {
        const uint32_t v = minIsWhite ? 65535 - src[0] : src[0];
        dst[0] = dst[1] = dst[2] = straight(v);
      } else {
        dst[0] = straight(src[2]), dst[1] = straight(src[1]), dst[2] = straight(src[0]);
      }
      if (alpha) dst[3] = to8(a);
    }
    if (progress) progress->rows(y + 1, image.height);
  }
  return CV_OK;
}

// Bytes of raw samples that one stored byte can stand for at best under each compression;
// 0 when the scheme has no useful floor.
uint64_t bestRatio(uint16_t compression) {
  switch (compression) {
    case COMPRESSION_NONE:
      return 1;
    case COMPRESSION_PACKBITS:
      return 64;  // two bytes repeat one up to 128 times
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
      return 1100;  // deflate's best is about 1032 to 1
    case COMPRESSION_LZW:
      return 4096;  // a 9- to 12-bit code stands for at most 4096 bytes
    case COMPRESSION_JPEG:
    case COMPRESSION_OJPEG:
      return 512;  // at least a bit for each 8 x 8 block of a sample
    default:
      return 0;
  }
}

// Checks, before any picture memory is taken, that the strips or tiles in the file can hold
// the samples the directory declares: a few bytes declaring a huge picture are cut short.
bool dataCanHold(TIFF* tif, uint64_t fileSize, uint32_t w, uint32_t h, uint16_t bps, uint16_t spp) {
  uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  const uint64_t ratio = bestRatio(compression);
  const uint32_t count = TIFFNumberOfStrips(tif);
  if (count == 0) return false;
  uint64_t available = 0;
  for (uint32_t i = 0; i < count; ++i) {
    int err = 0;
    const uint64_t offset = TIFFGetStrileOffsetWithErr(tif, i, &err);
    const uint64_t bytes = err ? 0 : TIFFGetStrileByteCountWithErr(tif, i, &err);
    if (!err && offset < fileSize) available += std::min(bytes, fileSize - offset);
  }
  if (available == 0) return false;
  if (ratio == 0) return true;
  const uint64_t raw = (uint64_t(w) * bps * spp + 7) / 8 * h;
  // Uncompressed data may lack the padding of its last row.
  const uint64_t slack = ratio == 1 ? (uint64_t(w) * bps * spp + 7) / 8 : 0;
  return available + slack >= raw / ratio;
}

// libtiff's RGBA reader gives premultiplied colours whatever the file stores.
void unpremultiply(uint8_t* bgra, int width) {
  for (int x = 0; x < width; ++x, bgra += 4) {
    const int a = bgra[3];
    if (a == 0 || a == 255) continue;
    for (int c = 0; c < 3; ++c) bgra[c] = uint8_t(std::min(255, (bgra[c] * 255 + a / 2) / a));
  }
}

// Every other layout through libtiff's RGBA reader, a band of strips or tiles at a time, so
// memory beyond the picture stays a band and rows are taken as the data arrives. Rows come in
// stored order (orientation is applied after loading).
int16_t readRgba(TIFF* tif, bool alpha, Image& image, Progress* progress) {
  char message[1024];
  TIFFRGBAImage reader;
  if (!TIFFRGBAImageBegin(&reader, tif, 1, message)) return CV_ERR_UNSUPPORTED_FEATURE;
  reader.req_orientation = reader.orientation;
  uint32_t band = 0;
  if (TIFFIsTiled(tif))
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &band);
  else
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &band);
  band = std::clamp<uint32_t>(band, 1, uint32_t(image.height));
  int16_t rc = CV_OK;
  std::vector<uint32_t> raster;
  try {
    raster.resize(size_t(image.width) * band);
  } catch (const std::bad_alloc&) {
    rc = CV_ERR_OUT_OF_MEMORY;
  }
  const int outBytes = alpha ? 4 : 3;
  for (uint32_t y0 = 0; rc == CV_OK && y0 < uint32_t(image.height); y0 += band) {
    const uint32_t rows = std::min(band, uint32_t(image.height) - y0);
    reader.row_offset = int(y0);
    reader.col_offset = 0;
    if (!TIFFRGBAImageGet(&reader, raster.data(), uint32_t(image.width), rows)) {
      rc = CV_ERR_DAMAGED;
      break;
    }
    for (uint32_t r = 0; r < rows; ++r) {
      const uint32_t* src = raster.data() + size_t(r) * size_t(image.width);
      uint8_t* dst = image.row(int(y0 + r));
      for (int x = 0; x < image.width; ++x, dst += outBytes) {
        const uint32_t p = src[x];
        dst[0] = uint8_t(TIFFGetB(p)), dst[1] = uint8_t(TIFFGetG(p)), dst[2] = uint8_t(TIFFGetR(p));
        if (alpha) dst[3] = uint8_t(TIFFGetA(p));
      }
      if (alpha) unpremultiply(image.row(int(y0 + r)), image.width);
    }
    if (progress) progress->rows(y0 + rows, image.height);
  }
  TIFFRGBAImageEnd(&reader);
  return rc;
}

int16_t decodePage(TIFF* tif, uint64_t fileSize, Decoded& out, Progress* progress) {
  uint32_t w = 0, h = 0;
  uint16_t bps = 1, spp = 1, photometric = PHOTOMETRIC_MINISWHITE, planar = PLANARCONFIG_CONTIG;
  uint16_t extraCount = 0;
  uint16_t* extra = nullptr;
  if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h))
    return CV_ERR_DAMAGED;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
  if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
    photometric = spp >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
  if (!sizeAllowed(w, h)) return w && h ? CV_ERR_TOO_LARGE : CV_ERR_DAMAGED;
  out.fileBpp = int16_t(std::min(bps * spp, 64));
  if (!dataCanHold(tif, fileSize, w, h, bps, spp)) return CV_ERR_TRUNCATED;
  const bool simpleLayout = !TIFFIsTiled(tif) && planar == PLANARCONFIG_CONTIG;
  const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
  const bool indexed = spp == 1 && (bps == 1 || bps == 4 || bps == 8) &&
                       (grey || photometric == PHOTOMETRIC_PALETTE);
  const bool rgb8 = photometric == PHOTOMETRIC_RGB && bps == 8 && (spp == 3 || spp == 4);
  if (simpleLayout && indexed) {
    int16_t rc = allocImage(out.image, w, h, bps);
    if (rc != CV_OK) return rc;
    if (photometric == PHOTOMETRIC_PALETTE) {
      readColormap(tif, bps, out.image);
    } else {
      setGreyPalette(out.image);
      if (photometric == PHOTOMETRIC_MINISWHITE)
        std::reverse(out.image.palette.begin(), out.image.palette.end());
    }
    return readScanlines(tif, bps, 1, out.image, progress);
  }
  const bool alpha = (spp == 4 && photometric == PHOTOMETRIC_RGB) || (spp == 2 && grey) ||
                     (extraCount > 0 && extra && extra[0] != EXTRASAMPLE_UNSPECIFIED);
  if (simpleLayout && rgb8) {
    int16_t rc = allocImage(out.image, w, h, spp == 4 ? 32 : 24);
    if (rc != CV_OK) return rc;
    rc = readScanlines(tif, spp == 4 ? 32 : 24, spp, out.image, progress);
    // Associated alpha stores colours premultiplied; the engine keeps them straight.
    if (rc == CV_OK && spp == 4 && extraCount > 0 && extra && extra[0] == EXTRASAMPLE_ASSOCALPHA)
      for (int y = 0; y < out.image.height; ++y) unpremultiply(out.image.row(y), out.image.width);
    return rc;
  }
  uint16_t sampleFormat = SAMPLEFORMAT_UINT;
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
  const bool greyDeep = grey && (spp == 1 || spp == 2);
  const bool rgbDeep = photometric == PHOTOMETRIC_RGB && (spp == 3 || spp == 4);
  if (simpleLayout && bps == 16 && sampleFormat == SAMPLEFORMAT_UINT && (greyDeep || rgbDeep) &&
      (spp == 2 || spp == 4 || !grey)) {
    const int16_t rc = allocImage(out.image, w, h, spp == 2 || spp == 4 ? 32 : 24);
    if (rc != CV_OK) return rc;
    const bool associated = extraCount > 0 && extra && extra[0] == EXTRASAMPLE_ASSOCALPHA;
    return read16Scanlines(tif, spp, greyDeep, photometric == PHOTOMETRIC_MINISWHITE, associated,
                           out.image, progress);
  }
  if (sampleFormat == SAMPLEFORMAT_IEEEFP) {
    const bool greyFloat = grey && (spp == 1 || spp == 2);
    const bool rgbFloat = photometric == PHOTOMETRIC_RGB && (spp == 3 || spp == 4);
    if (bps != 32 || !(greyFloat || rgbFloat)) return CV_ERR_UNSUPPORTED_FEATURE;
    const int16_t rc = allocImage(out.image, w, h, spp == 2 || spp == 4 ? 32 : 24);
    if (rc != CV_OK) return rc;
    const bool associated = extraCount > 0 && extra && extra[0] == EXTRASAMPLE_ASSOCALPHA;
    return readFloat(tif, spp, greyFloat, photometric == PHOTOMETRIC_MINISWHITE,
                     planar == PLANARCONFIG_SEPARATE, associated, out.image, progress);
  }
  char message[1024];
  if (!TIFFRGBAImageOK(tif, message)) return CV_ERR_UNSUPPORTED_FEATURE;
  const int16_t rc = allocImage(out.image, w, h, alpha ? 32 : 24);
  if (rc != CV_OK) return rc;
  return readRgba(tif, alpha, out.image, progress);
}

// ---- writing ----

uint16_t compressionTag(int16_t option) {
  switch (option) {
    case TIF_CCITTRLE:
      return COMPRESSION_CCITTRLE;
    case TIF_CCITTFAX3:
    case TIF_CCITTFAX3_2D:
      return COMPRESSION_CCITTFAX3;
    case TIF_CCITTFAX4:
      return COMPRESSION_CCITTFAX4;
    case TIF_LZW:
      return COMPRESSION_LZW;
    case TIF_PackBits:
      return COMPRESSION_PACKBITS;
    case TIF_JPEG:
      return COMPRESSION_JPEG;
    case TIF_Deflate:
      return COMPRESSION_ADOBE_DEFLATE;
    default:
      return COMPRESSION_NONE;
  }
}

bool isFax(int16_t option) {
  return option == TIF_CCITTRLE || option == TIF_CCITTFAX3 || option == TIF_CCITTFAX4 ||
         option == TIF_CCITTFAX3_2D;
}

int brightness(uint8_t r, uint8_t g, uint8_t b) {
  return (r * 299 + g * 587 + b * 114) / 1000;
}

// Black and white for the fax schemes: 1 where the pixel is darker than half brightness
// (0 = white under the MINISWHITE convention faxes use).
Image toBilevel(const Image& src) {
  Image out;
  if (allocImage(out, src.width, src.height, 1) != CV_OK) return out;
  out.xdpi = src.xdpi, out.ydpi = src.ydpi;
  for (int y = 0; y < src.height; ++y) {
    const uint8_t* s = src.row(y);
    uint8_t* d = out.row(y);
    for (int x = 0; x < src.width; ++x) {
      int v;
      if (src.bpp <= 8) {
        const Rgbq& c = src.palette[size_t(indexAt(s, x, src.bpp)) % src.palette.size()];
        v = brightness(c.r, c.g, c.b);
      } else {
        const uint8_t* p = s + size_t(x) * size_t(src.bpp / 8);
        v = brightness(p[2], p[1], p[0]);
      }
      if (v < 128) setIndexAt(d, x, 1, 1);
    }
  }
  return out;
}

bool isGreyRamp(const Image& image) {
  const size_t n = image.palette.size();
  for (size_t i = 0; i < n; ++i) {
    const auto v = uint8_t(i * 255 / (n - 1));
    if (image.palette[i] != Rgbq{v, v, v, 0}) return false;
  }
  return n > 1;
}

int16_t writePage(TIFF* tif, const Image& source, const SaveOptions& options, Progress* progress) {
  const int16_t option = options.tifCompression;
  Image converted;
  const Image* img = &source;
  if (isFax(option)) {
    converted = toBilevel(source);
    img = &converted;
  } else if (option == TIF_JPEG &&
             (source.bpp < 8 || (source.bpp == 8 && !isGreyRamp(source)) || source.bpp == 32)) {
    converted = toTrueColor(source, false);
    img = &converted;
  }
  if (img->empty()) return CV_ERR_OUT_OF_MEMORY;
  const int bpp = img->bpp;
  const bool greyRamp = bpp <= 8 && isGreyRamp(*img);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(img->width));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(img->height));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(bpp <= 8 ? bpp : 8));
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(bpp <= 8 ? 1 : bpp / 8));
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, compressionTag(option));
  TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(img->xdpi));
  TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(img->ydpi));
  if (option == TIF_CCITTFAX3_2D) TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, GROUP3OPT_2DENCODING);
  std::vector<uint16_t> map[3];
  if (isFax(option)) {
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  } else if (bpp <= 8 && greyRamp) {
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  } else if (bpp <= 8) {
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
    for (auto& m : map) m.assign(size_t(1) << bpp, 0);
    for (size_t i = 0; i < img->palette.size() && i < map[0].size(); ++i) {
      map[0][i] = uint16_t(img->palette[i].r * 257);
      map[1][i] = uint16_t(img->palette[i].g * 257);
      map[2][i] = uint16_t(img->palette[i].b * 257);
    }
    TIFFSetField(tif, TIFFTAG_COLORMAP, map[0].data(), map[1].data(), map[2].data());
  } else if (option == TIF_JPEG) {
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
    // Chroma resolution follows the JPEG subsampling option.
    const int16_t mode = options.jpgSubSampling;
    const uint16_t h = mode == JPG_SubSampling444 ? 1 : mode == JPG_SubSampling411 ? 4 : 2;
    const uint16_t v = mode == JPG_SubSampling420 ? 2 : 1;
    TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, h, v);
  } else {
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  }
  if (bpp == 32) {
    const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
  }
  if (option == TIF_JPEG) {
    TIFFSetField(tif, TIFFTAG_JPEGQUALITY,
                 options.jpgQuality > 0 ? options.jpgQuality
                                        : jpegQualityFromFactor(options.jpgChromFactor));
    if (bpp == 24) TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  }
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, option == TIF_JPEG ? 16 : 0));
  std::vector<uint8_t> line(img->stride());
  for (int y = 0; y < img->height; ++y) {
    const uint8_t* src = img->row(y);
    if (bpp > 8) {
      const int bytes = bpp / 8;
      for (int x = 0; x < img->width; ++x) {
        const uint8_t* p = src + size_t(x) * size_t(bytes);
        uint8_t* d = line.data() + size_t(x) * size_t(bytes);
        d[0] = p[2], d[1] = p[1], d[2] = p[0];
        if (bytes == 4) d[3] = p[3];
      }
      src = line.data();
    }
    if (TIFFWriteScanline(tif, const_cast<uint8_t*>(src), uint32_t(y), 0) < 0)
      return CV_ERR_INTERNAL;
    if (progress) progress->rows(y + 1, img->height);
  }
  return TIFFWriteDirectory(tif) ? CV_OK : CV_ERR_INTERNAL;
}

}  // namespace

bool sniffTiff(const uint8_t* d, size_t n) {
  return n >= 4 && ((d[0] == 'I' && d[1] == 'I' && (d[2] == 42 || d[2] == 43) && d[3] == 0) ||
                    (d[0] == 'M' && d[1] == 'M' && d[2] == 0 && (d[3] == 42 || d[3] == 43)));
}

int16_t countTiffPages(const uint8_t* data, size_t size, int16_t& pages) {
  pages = 0;
  MemStream s;
  s.data = data, s.size = size;
  std::unique_ptr<TIFF, TiffCloser> tif(openStream(s, "rm"));
  if (!tif) return CV_ERR_DAMAGED;
  pages = int16_t(std::min<tdir_t>(TIFFNumberOfDirectories(tif.get()), INT16_MAX));
  return CV_OK;
}

int16_t decodeTiff(const LoadRequest& request, Decoded& out) {
  out.format = FT_TIF;
  MemStream s;
  s.data = request.data, s.size = request.size;
  std::unique_ptr<TIFF, TiffCloser> tif(openStream(s, "rm"));
  if (!tif) return request.size < 16 ? CV_ERR_TRUNCATED : CV_ERR_DAMAGED;
  out.numPages = int16_t(std::min<tdir_t>(TIFFNumberOfDirectories(tif.get()), INT16_MAX));
  if (request.page >= out.numPages) return CV_ERR_NO_PAGE;
  if (request.page > 0 && !TIFFSetDirectory(tif.get(), tdir_t(request.page))) return CV_ERR_NO_PAGE;
  const int16_t rc = decodePage(tif.get(), request.size, out, request.progress);
  if (rc == CV_OK) {
    readResolution(tif.get(), out);
    uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_ORIENTATION, &orientation);
    out.orientation = int16_t(orientation);
  }
  return rc;
}

int16_t encodeTiff(const EncodeRequest& request, std::vector<uint8_t>& out) {
  MemStream s;
  if (request.existing) out = *request.existing;
  s.out = &out;
  const bool append = request.existing != nullptr;
  std::unique_ptr<TIFF, TiffCloser> tif(openStream(s, append ? "a" : "w"));
  if (!tif) return append ? CV_ERR_DAMAGED : CV_ERR_INTERNAL;
  int16_t rc = writePage(tif.get(), *request.image, *request.options, request.progress);
  tif.reset();  // flushes the directory chain
  if (s.failed) rc = CV_ERR_OUT_OF_MEMORY;
  return rc;
}

}  // namespace rastcore
