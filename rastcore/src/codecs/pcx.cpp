// ZSoft PCX: 1-bit planes (one to four), packed 2- and 4-bit pixels, 8-bit with a 256-colour
// palette, and 24-bit as three 8-bit planes, all run-length encoded. Every layout of up to 16
// colours reads as a 4-bit picture with the header's palette.
#include <cstring>

#include "fileformat/bytes.h"
#include "fileformat/checked.h"
#include "fileformat/codec.h"

namespace rastcore {
namespace {

struct PcxHeader {
  uint8_t manufacturer = 0, version = 0, encoding = 0, bitsPerPixel = 0;
  int xmin = 0, ymin = 0, xmax = 0, ymax = 0, hdpi = 0, vdpi = 0;
  uint8_t egaPalette[48] = {};
  uint8_t planes = 0;
  int bytesPerLine = 0;

  int64_t width() const { return int64_t(xmax) - xmin + 1; }
  int64_t height() const { return int64_t(ymax) - ymin + 1; }
  bool isValid() const {
    const bool layout = (bitsPerPixel == 1 && planes >= 1 && planes <= 4) ||
                        ((bitsPerPixel == 2 || bitsPerPixel == 4) && planes == 1) ||
                        (bitsPerPixel == 8 && (planes == 1 || planes == 3 || planes == 4));
    return manufacturer == 0x0A && encoding <= 1 && layout && width() > 0 && height() > 0 &&
           int64_t(bytesPerLine) * 8 >= width() * bitsPerPixel;
  }
};

PcxHeader readHeader(ByteReader& in) {
  PcxHeader h;
  h.manufacturer = in.u8(), h.version = in.u8(), h.encoding = in.u8(), h.bitsPerPixel = in.u8();
  h.xmin = in.u16le(), h.ymin = in.u16le(), h.xmax = in.u16le(), h.ymax = in.u16le();
  h.hdpi = in.u16le(), h.vdpi = in.u16le();
  if (const uint8_t* p = in.take(48)) std::memcpy(h.egaPalette, p, 48);
  in.u8();
  h.planes = in.u8();
  h.bytesPerLine = in.u16le();
  in.seek(128);
  return h;
}

// Decodes one scan line (all planes) into `line`; runs may cross line ends, so the leftover
// of a run carries over in `pending`.
bool readLine(ByteReader& in, bool rle, uint8_t* line, size_t size, int& pendingCount,
              uint8_t& pendingValue) {
  size_t i = 0;
  while (i < size) {
    if (pendingCount > 0) {
      line[i++] = pendingValue;
      --pendingCount;
      continue;
    }
    if (!in.left()) return false;
    const uint8_t b = in.u8();
    if (rle && (b & 0xC0) == 0xC0) {
      pendingCount = b & 0x3F;
      pendingValue = in.u8();
      if (!in.ok()) return false;
    } else {
      line[i++] = b;
    }
  }
  return true;
}

// The colour index of pixel x in a line of a picture of up to 16 colours: bit p of the index
// from plane p, or 2 or 4 bits packed high bits first in one plane.
int lowColourIndex(const PcxHeader& h, const uint8_t* line, int x) {
  if (h.bitsPerPixel == 1) {
    int v = 0;
    for (int p = 0; p < h.planes; ++p)
      v |= ((line[size_t(p) * size_t(h.bytesPerLine) + size_t(x >> 3)] >> (7 - (x & 7))) & 1) << p;
    return v;
  }
  const size_t bit = size_t(x) * h.bitsPerPixel;
  const int shift = 8 - h.bitsPerPixel - int(bit & 7);
  return (line[bit >> 3] >> shift) & ((1 << h.bitsPerPixel) - 1);
}

}  // namespace

bool sniffPcx(const uint8_t* d, size_t n) {
  return n >= 4 && d[0] == 0x0A && d[1] <= 5 && d[2] <= 1 &&
         (d[3] == 1 || d[3] == 2 || d[3] == 4 || d[3] == 8);
}

int16_t decodePcx(const LoadRequest& request, Decoded& out) {
  out.format = FT_PCX;
  ByteReader in(request.data, request.size);
  if (request.size < 128) return CV_ERR_TRUNCATED;
  const PcxHeader h = readHeader(in);
  if (!h.isValid()) return CV_ERR_UNSUPPORTED_FEATURE;
  if (!sizeAllowed(h.width(), h.height())) return CV_ERR_TOO_LARGE;
  const int bpp = h.bitsPerPixel * h.planes == 1 ? 1
                  : h.bitsPerPixel < 8           ? 4
                  : h.planes == 1                ? 8
                  : h.planes == 3                ? 24
                                                 : 32;
  out.fileBpp = int16_t(h.bitsPerPixel * h.planes);
  // A run of two bytes gives at most 63, so the file must hold that share of the lines.
  const uint64_t lineBytes = uint64_t(h.bytesPerLine) * h.planes;
  const uint64_t minimum =
      h.encoding ? lineBytes * uint64_t(h.height()) * 2 / 63 : lineBytes * uint64_t(h.height());
  if (request.size - 128 < minimum) return CV_ERR_TRUNCATED;
  int16_t rc = allocImage(out.image, h.width(), h.height(), bpp);
  if (rc != CV_OK) return rc;
  Image& img = out.image;
  if (h.hdpi > 0 && h.vdpi > 0) img.xdpi = h.hdpi, img.ydpi = h.vdpi;
  if (bpp == 1) {
    img.palette[0] = Rgbq{0, 0, 0, 0};
    img.palette[1] = Rgbq{255, 255, 255, 0};
  } else if (bpp == 4) {
    for (int i = 0; i < 16; ++i)
      img.palette[size_t(i)] =
          Rgbq{h.egaPalette[i * 3 + 2], h.egaPalette[i * 3 + 1], h.egaPalette[i * 3], 0};
  }
  const size_t lineSize = size_t(h.bytesPerLine) * h.planes;
  std::vector<uint8_t> line(lineSize);
  int pendingCount = 0;
  uint8_t pendingValue = 0;
  for (int y = 0; y < img.height; ++y) {
    if (!readLine(in, h.encoding == 1, line.data(), lineSize, pendingCount, pendingValue))
      return CV_ERR_TRUNCATED;
    uint8_t* row = img.row(y);
    const size_t bpl = size_t(h.bytesPerLine);
    if (bpp == 1 || bpp == 8) {
      std::memcpy(row, line.data(), std::min(bpl, img.stride()));
    } else if (bpp == 4) {
      for (int x = 0; x < img.width; ++x) setIndexAt(row, x, 4, lowColourIndex(h, line.data(), x));
    } else {
      const int bytes = bpp / 8;
      for (int x = 0; x < img.width; ++x) {
        uint8_t* p = row + x * bytes;
        p[2] = line[size_t(x)], p[1] = line[bpl + size_t(x)], p[0] = line[2 * bpl + size_t(x)];
        if (bytes == 4) p[3] = line[3 * bpl + size_t(x)];
      }
    }
    if (request.progress && request.progress->rowsThenCancelled(y + 1, img.height))
      return CV_ERR_CANCELLED;
  }
  if (bpp == 8) {
    // The 256-colour palette follows a 0x0C marker at the end of the file.
    if (request.size < 769 || request.data[request.size - 769] != 0x0C) {
      setGreyPalette(img);
    } else {
      const uint8_t* p = request.data + request.size - 768;
      for (int i = 0; i < 256; ++i)
        img.palette[size_t(i)] = Rgbq{p[i * 3 + 2], p[i * 3 + 1], p[i * 3], 0};
    }
  }
  return CV_OK;
}

namespace {

void writeRun(ByteWriter& w, const uint8_t* data, size_t n) {
  size_t i = 0;
  while (i < n) {
    size_t run = 1;
    while (i + run < n && run < 63 && data[i + run] == data[i]) ++run;
    if (run > 1 || (data[i] & 0xC0) == 0xC0) w.u8(0xC0 | uint32_t(run));
    w.u8(data[i]);
    i += run;
  }
}

}  // namespace

int16_t encodePcx(const EncodeRequest& request, std::vector<uint8_t>& out) {
  const Image& src = *request.image;
  if (src.width > 65535 || src.height > 65535) return CV_ERR_TOO_LARGE;
  Image tc;
  const Image* img = &src;
  if (src.bpp == 32) {
    tc = toTrueColor(src, false);
    if (tc.empty()) return CV_ERR_OUT_OF_MEMORY;
    img = &tc;
  }
  const int bitsPerPixel = img->bpp <= 4 ? 1 : 8;
  const int planes = img->bpp == 4 ? 4 : img->bpp == 24 ? 3 : 1;
  size_t bpl = (size_t(img->width) * size_t(bitsPerPixel) + 7) / 8;
  bpl += bpl & 1;
  out.clear();
  ByteWriter w(out);
  w.u8(0x0A), w.u8(5), w.u8(1), w.u8(uint32_t(bitsPerPixel));
  w.u16le(0), w.u16le(0), w.u16le(uint32_t(img->width - 1)), w.u16le(uint32_t(img->height - 1));
  w.u16le(uint32_t(img->xdpi + 0.5)), w.u16le(uint32_t(img->ydpi + 0.5));
  for (int i = 0; i < 16; ++i) {
    const Rgbq c =
        img->bpp <= 4 && size_t(i) < img->palette.size() ? img->palette[size_t(i)] : Rgbq{};
    w.u8(c.r), w.u8(c.g), w.u8(c.b);
  }
  w.u8(0), w.u8(uint32_t(planes)), w.u16le(uint32_t(bpl)),
      w.u16le(img->bpp == 8 && paletteIsGrey(*img) ? 2 : 1);
  w.fill(0, 128 - w.size());
  std::vector<uint8_t> line(bpl * size_t(planes));
  for (int y = 0; y < img->height; ++y) {
    std::fill(line.begin(), line.end(), 0);
    const uint8_t* row = img->row(y);
    if (img->bpp == 1 || img->bpp == 8) {
      std::memcpy(line.data(), row, std::min(bpl, img->stride()));
      if (img->bpp == 1 && img->palette[0].r > img->palette[1].r)  // PCX: 1 is white
        for (size_t i = 0; i < bpl; ++i) line[i] = uint8_t(~line[i]);
    } else if (img->bpp == 4) {
      for (int x = 0; x < img->width; ++x) {
        const int v = indexAt(row, x, 4);
        for (int p = 0; p < 4; ++p)
          if (v >> p & 1) line[size_t(p) * bpl + size_t(x >> 3)] |= uint8_t(0x80 >> (x & 7));
      }
    } else {
      for (int x = 0; x < img->width; ++x) {
        const uint8_t* p = row + x * 3;
        line[size_t(x)] = p[2], line[bpl + size_t(x)] = p[1], line[2 * bpl + size_t(x)] = p[0];
      }
    }
    for (int p = 0; p < planes; ++p) writeRun(w, line.data() + size_t(p) * bpl, bpl);
    if (request.progress) request.progress->rows(y + 1, img->height);
  }
  if (img->bpp == 8) {
    w.u8(0x0C);
    for (size_t i = 0; i < 256; ++i) {
      const Rgbq c = i < img->palette.size() ? img->palette[i] : Rgbq{};
      w.u8(c.r), w.u8(c.g), w.u8(c.b);
    }
  }
  return CV_OK;
}

}  // namespace rastcore
