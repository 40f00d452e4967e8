// Portable bitmaps: PBM (P1, P4), PGM (P2, P5) and PPM (P3, P6), plain and raw, any maxval.
#include <cctype>
#include <cstring>
#include <string>

#include "fileformat/bytes.h"
#include "fileformat/checked.h"
#include "fileformat/codec.h"

namespace rastcore {
namespace {

// Reads the next decimal number, skipping white space and comments; -1 at the end or on junk.
int64_t readNumber(ByteReader& in) {
  while (in.left()) {
    const uint8_t c = in.data()[in.pos()];
    if (c == '#') {
      while (in.left() && in.data()[in.pos()] != '\n') in.skip(1);
    } else if (std::isspace(c)) {
      in.skip(1);
    } else {
      break;
    }
  }
  int64_t value = -1;
  while (in.left() && std::isdigit(in.data()[in.pos()])) {
    value = (value < 0 ? 0 : value) * 10 + (in.u8() - '0');
    if (value > 0xFFFFFFF) return -1;
  }
  return value;
}

uint8_t scaled(int64_t v, int64_t maxval) {
  return uint8_t(v >= maxval ? 255 : v * 255 / maxval);
}

}  // namespace

bool sniffPnm(const uint8_t* d, size_t n) {
  return n >= 3 && d[0] == 'P' && d[1] >= '1' && d[1] <= '6' && std::isspace(d[2]);
}

int16_t decodePnm(const LoadRequest& request, Decoded& out) {
  ByteReader in(request.data, request.size);
  in.skip(1);
  const int kind = in.u8() - '0';
  const bool bitmap = kind == 1 || kind == 4, grey = kind == 2 || kind == 5;
  const bool plain = kind <= 3;
  out.format = bitmap ? FT_PBM : grey ? FT_PGM : FT_PPM;
  const int64_t width = readNumber(in), height = readNumber(in);
  const int64_t maxval = bitmap ? 1 : readNumber(in);
  if (width < 0 || height < 0 || maxval < 0) return in.left() ? CV_ERR_DAMAGED : CV_ERR_TRUNCATED;
  if (maxval == 0 || maxval > 65535) return CV_ERR_DAMAGED;
  if (!sizeAllowed(width, height)) return width && height ? CV_ERR_TOO_LARGE : CV_ERR_DAMAGED;
  if (!plain) in.skip(1);  // the single white-space character before raw samples
  const int channels = bitmap || grey ? 1 : 3;
  const int sampleBytes = maxval > 255 ? 2 : 1;
  out.fileBpp = int16_t(bitmap ? 1 : channels * 8 * sampleBytes);
  // Raw data must be all there before the picture is allocated.
  if (!plain) {
    const size_t rowBytes =
        bitmap ? size_t((width + 7) / 8) : size_t(width) * size_t(channels * sampleBytes);
    const auto need = checkedMul(rowBytes, size_t(height));
    if (!need || *need > in.left()) return CV_ERR_TRUNCATED;
  } else if (in.left() < size_t(height)) {
    return CV_ERR_TRUNCATED;
  }
  int16_t rc = allocImage(out.image, width, height, bitmap ? 1 : grey ? 8 : 24);
  if (rc != CV_OK) return rc;
  Image& img = out.image;
  if (bitmap) {
    img.palette[0] = Rgbq{255, 255, 255, 0};  // 0 is white, 1 is black
    img.palette[1] = Rgbq{0, 0, 0, 0};
  } else if (grey) {
    setGreyPalette(img);
  }
  auto sample = [&]() -> int64_t {
    if (plain) return readNumber(in);
    return sampleBytes == 2 ? in.u16be() : in.u8();
  };
  for (int y = 0; y < img.height; ++y) {
    uint8_t* row = img.row(y);
    if (bitmap && !plain) {
      std::memcpy(row, in.take(size_t((width + 7) / 8)), size_t((width + 7) / 8));
    } else if (bitmap) {
      for (int x = 0; x < img.width; ++x) {
        while (in.left() && std::isspace(in.data()[in.pos()])) in.skip(1);
        const uint8_t c = in.u8();
        if (c != '0' && c != '1') return in.ok() ? CV_ERR_DAMAGED : CV_ERR_TRUNCATED;
        setIndexAt(row, x, 1, c - '0');
      }
    } else {
      for (int x = 0; x < img.width; ++x) {
        for (int c = 0; c < channels; ++c) {
          const int64_t v = sample();
          if (v < 0) return in.left() ? CV_ERR_DAMAGED : CV_ERR_TRUNCATED;
          row[channels == 1 ? x : x * 3 + 2 - c] = scaled(v, maxval);
        }
      }
    }
    if (request.progress) request.progress->rows(y + 1, img.height);
  }
  return CV_OK;
}

namespace {

int brightnessOf(const Image& img, const uint8_t* row, int x) {
  if (img.bpp <= 8) {
    const Rgbq& c = img.palette[size_t(indexAt(row, x, img.bpp)) % img.palette.size()];
    return (c.r * 299 + c.g * 587 + c.b * 114) / 1000;
  }
  const uint8_t* p = row + size_t(x) * size_t(img.bpp / 8);
  return (p[2] * 299 + p[1] * 587 + p[0] * 114) / 1000;
}

void writeHeader(std::string& text, char kind, const Image& img, bool withMax) {
  text = std::string("P") + kind + "\n" + std::to_string(img.width) + " " +
         std::to_string(img.height) + "\n";
  if (withMax) text += "255\n";
}

}  // namespace

int16_t encodePnm(const EncodeRequest& request, std::vector<uint8_t>& out) {
  const SaveOptions& o = *request.options;
  const Image& src = *request.image;
  int16_t format = request.format;
  if (format == FT_PPM && request.options->fileType == FT_DEFAULT) {
    // ".pnm" and ".ppm" keep the picture's kind when it is black and white or grey.
    if (src.bpp == 1 && paletteIsGrey(src)) format = FT_PBM;
  }
  const bool ascii = (format == FT_PBM   ? o.pbmType
                      : format == FT_PGM ? o.pgmType
                                         : o.ppmType) == PNM_Ascii;
  Image tc;
  const Image* img = &src;
  if (format == FT_PPM) {
    tc = toTrueColor(src, false);
    if (tc.empty()) return CV_ERR_OUT_OF_MEMORY;
    img = &tc;
  }
  std::string header;
  const char kind = char('0' + (format == FT_PBM ? 1 : format == FT_PGM ? 2 : 3) + (ascii ? 0 : 3));
  writeHeader(header, kind, *img, format != FT_PBM);
  out.assign(header.begin(), header.end());
  ByteWriter w(out);
  std::string line;
  for (int y = 0; y < img->height; ++y) {
    const uint8_t* row = img->row(y);
    line.clear();
    if (format == FT_PBM) {
      std::vector<uint8_t> packed(size_t((img->width + 7) / 8), 0);
      for (int x = 0; x < img->width; ++x) {
        const bool black = brightnessOf(*img, row, x) < 128;
        if (ascii)
          line += black ? "1 " : "0 ";
        else if (black)
          packed[size_t(x) >> 3] |= uint8_t(0x80 >> (x & 7));
      }
      if (!ascii) w.bytes(packed.data(), packed.size());
    } else if (format == FT_PGM) {
      for (int x = 0; x < img->width; ++x) {
        const int v = brightnessOf(*img, row, x);
        if (ascii)
          line += std::to_string(v) + ' ';
        else
          w.u8(uint32_t(v));
      }
    } else {
      for (int x = 0; x < img->width; ++x) {
        const uint8_t* p = row + x * 3;
        if (ascii)
          line +=
              std::to_string(p[2]) + ' ' + std::to_string(p[1]) + ' ' + std::to_string(p[0]) + ' ';
        else
          w.u8(p[2]), w.u8(p[1]), w.u8(p[0]);
      }
    }
    if (ascii) {
      line += '\n';
      w.bytes(line.data(), line.size());
    }
    if (request.progress) request.progress->rows(y + 1, img->height);
  }
  return CV_OK;
}

}  // namespace rastcore
