// WordPerfect Graphics (version 1) bitmaps: a record stream with a colour map and bitmap
// records whose rows are run-length encoded. Pictures deeper than 8 bits are written as 8-bit
// colour-mapped bitmaps. Version 2 files are read by wpg2.cpp.
#include <cstring>

#include "fileformat/bytes.h"
#include "fileformat/checked.h"
#include "fileformat/codec.h"

namespace rastcore {
namespace {

constexpr uint8_t kStart = 0x0F, kColorMap = 0x0E, kBitmap1 = 0x0B, kBitmap2 = 0x14, kEnd = 0x10;

// One row of the bitmap RLE; `previous` is the last row, for the repeat-row code.
int16_t decodeRows(ByteReader& in, Image& img, int depth, size_t rowBytes, Progress* progress) {
  std::vector<uint8_t> row(rowBytes), previous(rowBytes);
  int y = 0;
  size_t x = 0;
  auto emitRow = [&](const std::vector<uint8_t>& r) {
    if (y < img.height) {
      uint8_t* dst = img.row(y);
      if (depth == 2) {  // two bits per pixel become four
        for (int i = 0; i < img.width; ++i)
          setIndexAt(dst, i, 4, (r[size_t(i) >> 2] >> (6 - 2 * (i & 3))) & 3);
      } else {
        std::memcpy(dst, r.data(), std::min(rowBytes, img.stride()));
      }
      ++y;
      if (progress) progress->rows(y, img.height);
    }
  };
  auto put = [&](uint8_t v) {
    row[x++] = v;
    if (x == rowBytes) {
      emitRow(row);
      previous.swap(row);
      x = 0;
    }
  };
  while (y < img.height) {
    if (!in.left()) return CV_ERR_TRUNCATED;
    const uint8_t b = in.u8();
    int count = b & 0x7F;
    if (b & 0x80) {
      const uint8_t v = count ? in.u8() : 0xFF;
      if (!count) count = in.u8();
      for (int i = 0; i < count; ++i) put(v);
    } else if (count) {
      const uint8_t* p = in.take(size_t(count));
      if (!p) return CV_ERR_TRUNCATED;
      for (int i = 0; i < count; ++i) put(p[i]);
    } else {
      count = in.u8();
      if (x != 0) return CV_ERR_DAMAGED;  // a row repeat only between rows
      for (int i = 0; i < count && y < img.height; ++i) emitRow(previous);
    }
    if (!in.ok()) return CV_ERR_TRUNCATED;
  }
  return CV_OK;
}

// The format's default colour table for bitmaps without a colour map: the 16 EGA colours, 16
// greys, then 24 hues at three saturations for each of three intensities, then black; built
// from its 6-bit levels (times 4, as the table stores them).
std::vector<Rgbq> defaultPalette() {
  static const uint8_t ega[16][3] = {{0, 0, 0},    {0, 0, 42},   {0, 42, 0},   {0, 42, 42},
                                     {42, 0, 0},   {42, 0, 42},  {42, 21, 0},  {42, 42, 42},
                                     {21, 21, 21}, {21, 21, 63}, {21, 63, 21}, {21, 63, 63},
                                     {63, 21, 21}, {63, 21, 63}, {63, 63, 21}, {63, 63, 63}};
  static const uint8_t greys[16] = {0, 5, 8, 11, 14, 17, 20, 24, 28, 32, 36, 40, 45, 50, 56, 63};
  // Per intensity, the five levels of each saturation, lowest first.
  static const uint8_t levels[3][3][5] = {
      {{0, 16, 31, 47, 63}, {31, 39, 47, 55, 63}, {45, 49, 54, 58, 63}},
      {{0, 7, 14, 21, 28}, {14, 17, 21, 24, 28}, {20, 22, 24, 26, 28}},
      {{0, 4, 8, 12, 16}, {8, 10, 12, 14, 16}, {11, 12, 13, 15, 16}}};
  std::vector<Rgbq> colors;
  auto add = [&](int r, int g, int b) {
    colors.push_back(Rgbq{uint8_t(b * 4), uint8_t(g * 4), uint8_t(r * 4), 0});
  };
  for (const auto& c : ega) add(c[0], c[1], c[2]);
  for (uint8_t g : greys) add(g, g, g);
  for (const auto& intensity : levels)
    for (const auto& l : intensity) {
      // Around the colour circle from blue: one component rises or falls per sixth.
      const int lo = l[0], hi = l[4];
      for (int i = 0; i < 4; ++i) add(l[i], lo, hi);      // blue to magenta
      for (int i = 0; i < 4; ++i) add(hi, lo, l[4 - i]);  // magenta to red
      for (int i = 0; i < 4; ++i) add(hi, l[i], lo);      // red to yellow
      for (int i = 0; i < 4; ++i) add(l[4 - i], hi, lo);  // yellow to green
      for (int i = 0; i < 4; ++i) add(lo, hi, l[i]);      // green to cyan
      for (int i = 0; i < 4; ++i) add(lo, l[4 - i], hi);  // cyan to blue
    }
  colors.resize(256, Rgbq{0, 0, 0, 0});
  return colors;
}

}  // namespace

uint32_t readWpgNumber(ByteReader& in) {
  const uint32_t b = in.u8();
  if (b < 0xFF) return b;
  const uint32_t w = in.u16le();
  if (!(w & 0x8000)) return w;
  return (w & 0x7FFF) << 16 | in.u16le();
}

bool sniffWpgHeader(const uint8_t* d, size_t n) {
  return n >= 16 && d[0] == 0xFF && d[1] == 'W' && d[2] == 'P' && d[3] == 'C' && d[9] == 0x16;
}

bool sniffWpg(const uint8_t* d, size_t n) {
  return sniffWpgHeader(d, n) && d[10] != 2;
}

int16_t decodeWpg(const LoadRequest& request, Decoded& out) {
  out.format = FT_WPG;
  ByteReader in(request.data, request.size);
  in.skip(4);
  const uint32_t dataOffset = in.u32le();
  in.skip(2);
  const uint8_t major = in.u8();
  if (!in.ok()) return CV_ERR_TRUNCATED;
  if (major == 2) return decodeWpg2(request, out);
  if (major != 1) return CV_ERR_UNSUPPORTED_FEATURE;
  if (!in.seek(dataOffset)) return CV_ERR_TRUNCATED;
  std::vector<Rgbq> colors(256);
  bool haveMap = false;
  while (in.left()) {
    const uint8_t type = in.u8();
    const uint32_t length = readWpgNumber(in);
    if (!in.ok()) return CV_ERR_TRUNCATED;
    const size_t next = in.pos() + length;
    if (type == kEnd) break;
    if (type == kColorMap) {
      const uint32_t first = in.u16le(), count = in.u16le();
      for (uint32_t i = 0; i < count && in.ok(); ++i) {
        const uint8_t r = in.u8(), g = in.u8(), b = in.u8();
        if (first + i < 256) colors[first + i] = Rgbq{b, g, r, 0};
      }
      haveMap = true;
    } else if (type == kBitmap1 || type == kBitmap2) {
      if (type == kBitmap2) in.skip(10);
      const int width = in.u16le(), height = in.u16le(), depth = in.u16le();
      const int hres = in.u16le(), vres = in.u16le();
      if (!in.ok()) return CV_ERR_TRUNCATED;
      if (depth != 1 && depth != 2 && depth != 4 && depth != 8) return CV_ERR_UNSUPPORTED_FEATURE;
      if (!sizeAllowed(width, height)) return width && height ? CV_ERR_TOO_LARGE : CV_ERR_DAMAGED;
      if (in.left() < size_t(height) / 256) return CV_ERR_TRUNCATED;
      const int bpp = depth == 2 ? 4 : depth;
      out.fileBpp = int16_t(depth);
      int16_t rc = allocImage(out.image, width, height, bpp);
      if (rc != CV_OK) return rc;
      if (hres > 0 && vres > 0) out.image.xdpi = hres, out.image.ydpi = vres;
      if (haveMap) {
        for (size_t i = 0; i < out.image.palette.size(); ++i) out.image.palette[i] = colors[i];
      } else if (depth == 1) {
        out.image.palette[0] = Rgbq{0, 0, 0, 0};
        out.image.palette[1] = Rgbq{255, 255, 255, 0};
      } else if (depth == 2) {
        setGreyPalette(out.image);
      } else {
        const std::vector<Rgbq> defaults = defaultPalette();
        for (size_t i = 0; i < out.image.palette.size(); ++i) out.image.palette[i] = defaults[i];
      }
      return decodeRows(in, out.image, depth, (size_t(width) * size_t(depth) + 7) / 8,
                        request.progress);
    }
    if (!in.seek(next)) return CV_ERR_TRUNCATED;
  }
  return CV_ERR_DAMAGED;  // no bitmap record
}

namespace {

void writeLength(ByteWriter& w, uint32_t length) {
  if (length < 0xFF) return w.u8(length);
  w.u8(0xFF);
  if (length < 0x8000) return w.u16le(length);
  w.u16le(0x8000 | (length >> 16));
  w.u16le(length & 0xFFFF);
}

void writeRecord(ByteWriter& w, uint8_t type, const std::vector<uint8_t>& body) {
  w.u8(type);
  writeLength(w, uint32_t(body.size()));
  w.bytes(body.data(), body.size());
}

void encodeRow(ByteWriter& w, const uint8_t* row, size_t n) {
  size_t i = 0;
  while (i < n) {
    size_t run = 1;
    while (i + run < n && run < 127 && row[i + run] == row[i]) ++run;
    if (run >= 3) {
      w.u8(0x80 | uint32_t(run)), w.u8(row[i]);
      i += run;
      continue;
    }
    size_t lit = 0;
    while (
        i + lit < n && lit < 127 &&
        !(i + lit + 2 < n && row[i + lit] == row[i + lit + 1] && row[i + lit] == row[i + lit + 2]))
      ++lit;
    w.u8(uint32_t(lit));
    w.bytes(row + i, lit);
    i += lit;
  }
}

}  // namespace

int16_t encodeWpg(const EncodeRequest& request, std::vector<uint8_t>& out) {
  const Image& src = *request.image;
  if (src.width > 32767 || src.height > 32767) return CV_ERR_TOO_LARGE;
  Image indexed;
  const Image* img = &src;
  if (src.bpp > 8) {
    const int16_t rc = toIndexed8(src, indexed);
    if (rc != CV_OK) return rc;
    img = &indexed;
  }
  out.clear();
  ByteWriter w(out);
  w.u8(0xFF), w.u8('W'), w.u8('P'), w.u8('C'), w.u32le(16), w.u8(1), w.u8(0x16), w.u8(1), w.u8(0);
  w.u16le(0), w.u16le(0);
  std::vector<uint8_t> body;
  ByteWriter b(body);
  // Start record: version, flags, picture size in WordPerfect units (1200 per inch).
  b.u8(1), b.u8(0);
  b.u16le(
      uint32_t(std::min<int64_t>(int64_t(img->width) * 1200 / std::max(1, int(img->xdpi)), 65535)));
  b.u16le(uint32_t(
      std::min<int64_t>(int64_t(img->height) * 1200 / std::max(1, int(img->ydpi)), 65535)));
  writeRecord(w, kStart, body);
  body.clear();
  b.u16le(0), b.u16le(uint32_t(img->palette.size()));
  for (const Rgbq& c : img->palette) b.u8(c.r), b.u8(c.g), b.u8(c.b);
  writeRecord(w, kColorMap, body);
  body.clear();
  b.u16le(uint32_t(img->width)), b.u16le(uint32_t(img->height)), b.u16le(uint32_t(img->bpp));
  b.u16le(uint32_t(img->xdpi + 0.5)), b.u16le(uint32_t(img->ydpi + 0.5));
  const size_t rowBytes = (size_t(img->width) * size_t(img->bpp) + 7) / 8;
  for (int y = 0; y < img->height; ++y) {
    encodeRow(b, img->row(y), rowBytes);
    if (request.progress) request.progress->rows(y + 1, img->height);
  }
  writeRecord(w, kBitmap1, body);
  writeRecord(w, kEnd, {});
  return CV_OK;
}

}  // namespace rastcore
