// WordPerfect Graphics version 2: a stream of records (class, type, extension, length) in
// which the first bitmap data record is the picture and a colour palette record before it
// gives its colours. Read only; the engine writes WPG as version 1.
#include <cstring>

#include "fileformat/bytes.h"
#include "fileformat/checked.h"
#include "fileformat/codec.h"

namespace rastcore {
namespace {

constexpr uint8_t kEnd = 0x02, kPalette = 0x0C, kBitmapData = 0x0E;

// Bits per pixel from the bitmap record's depth code; 0 for codes not read.
int bitsForDepthCode(int code) {
  switch (code) {
    case 1:
      return 1;
    case 2:
      return 2;
    case 3:
      return 4;
    case 4:
      return 8;
    case 8:
      return 24;
    default:
      return 0;
  }
}

// Gathers the raster's bytes into rows and hands each finished row to the picture. The
// previous row is kept for the codes that repeat it or combine with it.
class Raster {
 public:
  Raster(Image& img, int bits, Progress* progress)
      : img_(img),
        bits_(bits),
        rowBytes_((size_t(img.width) * size_t(bits) + 7) / 8),
        row_(rowBytes_),
        previous_(rowBytes_),
        progress_(progress) {}

  size_t rowBytes() const { return rowBytes_; }
  bool done() const { return y_ >= img_.height; }
  bool atRowStart() const { return x_ == 0; }
  void toggleXor() { xor_ = !xor_; }

  void put(uint8_t v) {
    row_[x_] = xor_ ? uint8_t(v ^ previous_[x_]) : v;
    if (++x_ == rowBytes_) {
      emit(row_);
      previous_.swap(row_);
      x_ = 0;
    }
  }
  void repeatPreviousRow() { emit(previous_); }

 private:
  void emit(const std::vector<uint8_t>& r) {
    if (done()) return;
    uint8_t* dst = img_.row(y_);
    if (bits_ == 2) {  // two bits per pixel are held as four
      for (int i = 0; i < img_.width; ++i)
        setIndexAt(dst, i, 4, (r[size_t(i) >> 2] >> (6 - 2 * (i & 3))) & 3);
    } else if (bits_ == 24) {  // stored R, G, B
      for (size_t i = 0; i < rowBytes_; i += 3)
        dst[i] = r[i + 2], dst[i + 1] = r[i + 1], dst[i + 2] = r[i];
    } else {
      std::memcpy(dst, r.data(), rowBytes_);
    }
    ++y_;
    if (progress_) progress_->rows(y_, img_.height);
  }

  Image& img_;
  int bits_;
  size_t rowBytes_;
  std::vector<uint8_t> row_, previous_;
  Progress* progress_;
  size_t x_ = 0;
  int y_ = 0;
  bool xor_ = false;
};

int16_t readUncompressed(ByteReader& in, Raster& raster) {
  while (!raster.done()) {
    const uint8_t* p = in.take(raster.rowBytes());
    if (!p) return CV_ERR_TRUNCATED;
    for (size_t i = 0; i < raster.rowBytes(); ++i) raster.put(p[i]);
  }
  return CV_OK;
}

// The run-length codes. A run's unit is `unit` bytes (1 to 8, set by 0x7D), so a run of
// 24-bit pixels repeats whole pixels; runs continue across rows.
int16_t readRunLength(ByteReader& in, Raster& raster) {
  uint8_t unit[8] = {};
  size_t unitSize = 1;
  auto putUnits = [&](const uint8_t* bytes, int count) {
    for (int i = 0; i < count && !raster.done(); ++i)
      for (size_t j = 0; j < unitSize; ++j) raster.put(bytes[j]);
  };
  auto putFilled = [&](uint8_t v, int count) {
    uint8_t same[8];
    std::memset(same, v, sizeof same);
    putUnits(same, count);
  };
  while (!raster.done()) {
    if (!in.left()) return CV_ERR_TRUNCATED;
    const uint8_t code = in.u8();
    switch (code) {
      case 0x7D:  // unit size
        unitSize = in.u8();
        if (unitSize < 1 || unitSize > 8) return in.ok() ? CV_ERR_DAMAGED : CV_ERR_TRUNCATED;
        break;
      case 0x7E:  // combine the following bytes with the row above (again: stop)
        raster.toggleXor();
        break;
      case 0x7F:  // run of zero bytes
        putFilled(0x00, in.u8() + 1);
        break;
      case 0xFD:  // the last repeated unit again
        putUnits(unit, in.u8() + 1);
        break;
      case 0xFE: {  // the previous row again
        const int count = in.u8() + 1;
        if (!raster.atRowStart()) return CV_ERR_DAMAGED;
        for (int i = 0; i < count && !raster.done(); ++i) raster.repeatPreviousRow();
        break;
      }
      case 0xFF:  // run of 0xFF bytes
        putFilled(0xFF, in.u8() + 1);
        break;
      default:
        if (code & 0x80) {  // one unit repeated
          const uint8_t* p = in.take(unitSize);
          if (!p) return CV_ERR_TRUNCATED;
          std::memcpy(unit, p, unitSize);
          putUnits(unit, (code & 0x7F) + 1);
        } else {  // units as they are
          const size_t n = (size_t(code) + 1) * unitSize;
          const uint8_t* p = in.take(n);
          if (!p) return CV_ERR_TRUNCATED;
          for (size_t i = 0; i < n && !raster.done(); ++i) raster.put(p[i]);
        }
    }
    if (!in.ok()) return CV_ERR_TRUNCATED;
  }
  return CV_OK;
}

int16_t readBitmap(ByteReader& in, const std::vector<Rgbq>* palette, const LoadRequest& request,
                   Decoded& out) {
  const int width = in.u16le(), height = in.u16le();
  const int depthCode = in.u8(), compression = in.u8();
  if (!in.ok()) return CV_ERR_TRUNCATED;
  const int bits = bitsForDepthCode(depthCode);
  if (!bits || compression > 1) return CV_ERR_UNSUPPORTED_FEATURE;
  if (!sizeAllowed(width, height)) return width && height ? CV_ERR_TOO_LARGE : CV_ERR_DAMAGED;
  const size_t rowBytes = (size_t(width) * size_t(bits) + 7) / 8;
  // Raw rows must all be there; a run-length row can be two bytes for 256 rows.
  const size_t least = compression ? size_t(height) / 128 : rowBytes * size_t(height);
  if (in.left() < least) return CV_ERR_TRUNCATED;
  out.fileBpp = int16_t(bits);
  const int16_t rc = allocImage(out.image, width, height, bits == 2 ? 4 : bits);
  if (rc != CV_OK) return rc;
  if (bits <= 8) {
    if (palette) {
      for (size_t i = 0; i < out.image.palette.size(); ++i) out.image.palette[i] = (*palette)[i];
    } else {
      setGreyPalette(out.image);
      if (bits == 2)  // four greys, not sixteen
        for (int i = 0; i < 4; ++i)
          out.image.palette[size_t(i)] = Rgbq{uint8_t(i * 85), uint8_t(i * 85), uint8_t(i * 85), 0};
    }
  }
  Raster raster(out.image, bits, request.progress);
  return compression ? readRunLength(in, raster) : readUncompressed(in, raster);
}

}  // namespace

bool sniffWpg2(const uint8_t* d, size_t n) {
  return sniffWpgHeader(d, n) && d[10] == 2;
}

int16_t decodeWpg2(const LoadRequest& request, Decoded& out) {
  out.format = FT_WPG;
  ByteReader in(request.data, request.size);
  in.skip(4);
  const uint32_t dataOffset = in.u32le();
  in.skip(2);
  const uint8_t major = in.u8();
  if (!in.ok()) return CV_ERR_TRUNCATED;
  if (major != 2) return CV_ERR_UNSUPPORTED_FEATURE;
  if (!in.seek(dataOffset)) return CV_ERR_TRUNCATED;
  std::vector<Rgbq> colors(256);
  bool haveMap = false;
  while (in.left()) {
    in.skip(1);  // record class
    const uint8_t type = in.u8();
    readWpgNumber(in);  // extension
    const uint32_t length = readWpgNumber(in);
    if (!in.ok()) return CV_ERR_TRUNCATED;
    const size_t next = in.pos() + length;
    if (type == kEnd) break;
    if (type == kPalette) {
      const uint32_t first = in.u16le(), count = in.u16le();
      for (uint32_t i = 0; i < count && in.ok(); ++i) {
        const uint8_t r = in.u8(), g = in.u8(), b = in.u8();
        in.skip(1);  // opacity, not kept
        if (first + i < 256) colors[first + i] = Rgbq{b, g, r, 0};
      }
      haveMap = true;
    } else if (type == kBitmapData) {
      return readBitmap(in, haveMap ? &colors : nullptr, request, out);
    }
    if (!in.seek(next)) return CV_ERR_TRUNCATED;
  }
  return CV_ERR_DAMAGED;  // no bitmap record
}

}  // namespace rastcore
