// Portable bitmaps: PBM (P1, P4), PGM (P2, P5) and PPM (P3, P6), plain and raw, any maxval,
// and PAM (P7) of grey or RGB samples, with or without alpha.
// Raw files of up to 8 bits a sample are read from an open file straight into the picture's
// rows and written in blocks of rows, so a large picture is never held twice.
#include <sys/stat.h>

#include <algorithm>
#include <array>
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

// The same over an open file; the character after the number stays unread.
int64_t readNumber(FILE* f) {
  int c;
  while ((c = std::getc(f)) != EOF) {
    if (c == '#') {
      while ((c = std::getc(f)) != EOF && c != '\n') {
      }
    } else if (!std::isspace(c)) {
      break;
    }
  }
  int64_t value = -1;
  while (c != EOF && std::isdigit(c)) {
    value = (value < 0 ? 0 : value) * 10 + (c - '0');
    if (value > 0xFFFFFFF) return -1;
    c = std::getc(f);
  }
  if (c != EOF) std::ungetc(c, f);
  return value;
}

// Rounded to the nearest level, as netpbm and other readers scale (truncating would make
// every value not a multiple of maxval/255 a level dark).
uint8_t scaled(int64_t v, int64_t maxval) {
  return uint8_t(v >= maxval ? 255 : (v * 255 + maxval / 2) / maxval);
}

struct Header {
  int kind = 0;  // 1 to 6, as in the magic number
  int64_t width = -1, height = -1, maxval = -1;
  bool bitmap() const { return kind == 1 || kind == 4; }
  bool grey() const { return kind == 2 || kind == 5; }
  bool plain() const { return kind <= 3; }
  int channels() const { return bitmap() || grey() ? 1 : 3; }
  int sampleBytes() const { return maxval > 255 ? 2 : 1; }
  size_t rowBytes() const {
    return bitmap() ? size_t((width + 7) / 8) : size_t(width) * size_t(channels() * sampleBytes());
  }
};

// Checks the numbers of a header and sets the format and stored depth; 0 when a picture of
// that size may be allocated. `more` tells whether bytes followed the numbers.
int16_t checkHeader(const Header& h, bool more, Decoded& out) {
  out.format = h.bitmap() ? FT_PBM : h.grey() ? FT_PGM : FT_PPM;
  if (h.width < 0 || h.height < 0 || h.maxval < 0) return more ? CV_ERR_DAMAGED : CV_ERR_TRUNCATED;
  if (h.maxval == 0 || h.maxval > 65535) return CV_ERR_DAMAGED;
  if (!sizeAllowed(h.width, h.height))
    return h.width && h.height ? CV_ERR_TOO_LARGE : CV_ERR_DAMAGED;
  out.fileBpp = int16_t(h.bitmap() ? 1 : h.channels() * 8 * h.sampleBytes());
  return CV_OK;
}

int16_t allocFor(const Header& h, Image& img) {
  const int16_t rc = allocImage(img, h.width, h.height, h.bitmap() ? 1 : h.grey() ? 8 : 24);
  if (rc != CV_OK) return rc;
  if (h.bitmap()) {
    img.palette[0] = Rgbq{255, 255, 255, 0};  // 0 is white, 1 is black
    img.palette[1] = Rgbq{0, 0, 0, 0};
  } else if (h.grey()) {
    setGreyPalette(img);
  }
  return CV_OK;
}

// Sample values of at most 8 bits scaled to 0-255 (values above maxval count as maxval).
std::array<uint8_t, 256> scaleTable(int64_t maxval) {
  std::array<uint8_t, 256> t{};
  for (int v = 0; v < 256; ++v) t[size_t(v)] = scaled(v, maxval);
  return t;
}

// Built for the baseline processor and for AVX2 (whose byte shuffles reorder 3-byte pixels
// many at a time), the loader picking the one the machine runs.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define PNM_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define PNM_VECTOR_CLONES
#endif

// Swaps the first and third byte of n 3-byte pixels (R, G, B and B, G, R are each other's
// reverse), from src into dst; src and dst may be the same.
PNM_VECTOR_CLONES void swapOuterBytes(const uint8_t* src, uint8_t* dst, size_t n) {
  for (size_t i = 0; i < n; ++i, src += 3, dst += 3) {
    const uint8_t a = src[0], b = src[1], c = src[2];
    dst[0] = c;
    dst[1] = b;
    dst[2] = a;
  }
}

// Turns `rows` raw rows of 8-bit samples, already in place at the start of each picture row,
// into the picture's layout: R, G, B to B, G, R, and samples scaled when maxval is not 255.
void finishRawRows(Image& img, int y0, int rows, const Header& h, const uint8_t* table) {
  if (h.bitmap()) return;
  const bool identity = h.maxval == 255;
  for (int y = y0; y < y0 + rows; ++y) {
    uint8_t* p = img.row(y);
    if (h.grey()) {
      if (!identity)
        for (int x = 0; x < img.width; ++x) p[x] = table[p[x]];
    } else if (identity) {
      swapOuterBytes(p, p, size_t(img.width));
    } else {
      for (int x = 0; x < img.width; ++x, p += 3) {
        const uint8_t r = table[p[0]];
        p[1] = table[p[1]];
        p[0] = table[p[2]];
        p[2] = r;
      }
    }
  }
}

// Reads a PAM header line's word (WIDTH, TUPLTYPE, ...) and the rest of the line.
bool readPamLine(ByteReader& in, std::string& key, std::string& value) {
  std::string line;
  while (in.left()) {
    const char c = char(in.u8());
    if (c == '\n') break;
    line += c;
    if (line.size() > 256) return false;
  }
  if (!line.empty() && line[0] == '#') line.clear();
  const size_t start = line.find_first_not_of(" \t\r");
  if (start == std::string::npos) return key.clear(), value.clear(), true;
  const size_t end = line.find_first_of(" \t\r", start);
  key = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
  const size_t v =
      end == std::string::npos ? std::string::npos : line.find_first_not_of(" \t\r", end);
  value = v == std::string::npos ? std::string() : line.substr(v);
  while (!value.empty() && std::isspace(uint8_t(value.back()))) value.pop_back();
  return true;
}

int64_t pamNumber(const std::string& text) {
  if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), ::isdigit))
    return -1;
  return std::stoll(text);
}

// PAM: a header of named fields up to ENDHDR, then raw samples. Depth 1 and 3 are grey and
// RGB; depth 2 and 4 add alpha, which comes out straight in a 32-bit picture.
int16_t decodePam(ByteReader& in, const LoadRequest& request, Decoded& out) {
  int64_t width = -1, height = -1, depth = -1, maxval = -1;
  std::string key, value;
  bool ended = false;
  while (!ended && in.left()) {
    if (!readPamLine(in, key, value)) return CV_ERR_DAMAGED;
    if (key == "WIDTH")
      width = pamNumber(value);
    else if (key == "HEIGHT")
      height = pamNumber(value);
    else if (key == "DEPTH")
      depth = pamNumber(value);
    else if (key == "MAXVAL")
      maxval = pamNumber(value);
    else if (key == "ENDHDR")
      ended = true;
  }
  if (!ended) return CV_ERR_TRUNCATED;
  out.format = depth <= 2 ? FT_PGM : FT_PPM;
  if (width <= 0 || height <= 0 || depth < 1 || depth > 4 || maxval < 1 || maxval > 65535)
    return width < 0 || height < 0 || depth < 1 || depth > 4 || maxval < 1
               ? CV_ERR_DAMAGED
               : CV_ERR_UNSUPPORTED_FEATURE;
  if (!sizeAllowed(width, height)) return CV_ERR_TOO_LARGE;
  const int sampleBytes = maxval > 255 ? 2 : 1;
  const auto rowBytes = checkedMul(size_t(width), size_t(depth * sampleBytes));
  const auto need = rowBytes ? checkedMul(*rowBytes, size_t(height)) : std::nullopt;
  if (!need || *need > in.left()) return CV_ERR_TRUNCATED;
  const bool alpha = depth == 2 || depth == 4;
  const int bpp = alpha ? 32 : depth == 1 ? 8 : 24;
  const int16_t rc = allocImage(out.image, width, height, bpp);
  if (rc != CV_OK) return rc;
  if (bpp == 8) setGreyPalette(out.image);
  out.fileBpp = int16_t(depth * 8 * sampleBytes);
  Image& img = out.image;
  for (int y = 0; y < img.height; ++y) {
    uint8_t* row = img.row(y);
    for (int x = 0; x < img.width; ++x) {
      uint8_t s[4];
      for (int c = 0; c < depth; ++c)
        s[c] = scaled(sampleBytes == 2 ? in.u16be() : in.u8(), maxval);
      if (bpp == 8) {
        row[x] = s[0];
        continue;
      }
      uint8_t* p = row + x * (bpp / 8);
      const bool grey = depth <= 2;
      p[0] = grey ? s[0] : s[2], p[1] = grey ? s[0] : s[1], p[2] = s[0];
      if (alpha) p[3] = s[depth - 1];
    }
    if (request.progress && request.progress->rowsThenCancelled(y + 1, img.height))
      return CV_ERR_CANCELLED;
  }
  return CV_OK;
}

// Decodes from bytes in memory (every kind of file).
int16_t decodeMemory(const LoadRequest& request, Decoded& out) {
  ByteReader in(request.data, request.size);
  in.skip(1);
  Header h;
  h.kind = in.u8() - '0';
  if (h.kind == 7) return decodePam(in, request, out);
  h.width = readNumber(in);
  h.height = readNumber(in);
  h.maxval = h.bitmap() ? 1 : readNumber(in);
  int16_t rc = checkHeader(h, in.left() > 0, out);
  if (rc != CV_OK) return rc;
  if (!h.plain()) in.skip(1);  // the single white-space character before raw samples
  // Raw data must be all there before the picture is allocated.
  if (!h.plain()) {
    const auto need = checkedMul(h.rowBytes(), size_t(h.height));
    if (!need || *need > in.left()) return CV_ERR_TRUNCATED;
  } else if (in.left() < size_t(h.height)) {
    return CV_ERR_TRUNCATED;
  }
  rc = allocFor(h, out.image);
  if (rc != CV_OK) return rc;
  Image& img = out.image;
  const int channels = h.channels();
  const bool plain = h.plain();
  const int sampleBytes = h.sampleBytes();
  const auto table = scaleTable(h.maxval);
  auto sample = [&]() -> int64_t {
    if (plain) return readNumber(in);
    return sampleBytes == 2 ? in.u16be() : in.u8();
  };
  for (int y = 0; y < img.height; ++y) {
    uint8_t* row = img.row(y);
    if (!plain && sampleBytes == 1) {
      std::memcpy(row, in.take(h.rowBytes()), h.rowBytes());
      finishRawRows(img, y, 1, h, table.data());
    } else if (h.bitmap()) {
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
          row[channels == 1 ? x : x * 3 + 2 - c] = scaled(v, h.maxval);
        }
      }
    }
    if (request.progress && request.progress->rowsThenCancelled(y + 1, img.height))
      return CV_ERR_CANCELLED;
  }
  return CV_OK;
}

// Decodes from the open file: raw files of at most 8 bits a sample are read in blocks of rows
// straight into the picture; other kinds are read into memory first.
int16_t decodeFile(const LoadRequest& request, Decoded& out) {
  FILE* f = request.file;
  struct stat st {};
  if (::fstat(fileno(f), &st) != 0) return CV_ERR_FILE_READ;
  const size_t fileSize = size_t(st.st_size);
  Header h;
  if (std::getc(f) != 'P') return CV_ERR_DAMAGED;
  h.kind = std::getc(f) - '0';
  if (h.kind < 1 || h.kind > 7) return CV_ERR_DAMAGED;
  if (h.plain() || h.kind == 7 || readNumber(f) < 0 || readNumber(f) < 0 ||
      (!h.bitmap() && readNumber(f) > 255)) {
    // Plain text or 16-bit samples (or a header the memory decoder will judge): whole file.
    std::vector<uint8_t> bytes(fileSize);
    std::rewind(f);
    if (std::fread(bytes.data(), 1, fileSize, f) != fileSize)
      return std::ferror(f) ? CV_ERR_FILE_READ : CV_ERR_TRUNCATED;
    LoadRequest memory = request;
    memory.file = nullptr;
    memory.data = bytes.data();
    memory.size = bytes.size();
    return decodeMemory(memory, out);
  }
  std::rewind(f);
  std::getc(f);
  std::getc(f);
  h.width = readNumber(f);
  h.height = readNumber(f);
  h.maxval = h.bitmap() ? 1 : readNumber(f);
  const long headerEnd = std::ftell(f);
  int16_t rc = checkHeader(h, headerEnd >= 0 && size_t(headerEnd) < fileSize, out);
  if (rc != CV_OK) return rc;
  std::getc(f);  // the single white-space character before raw samples
  const size_t rowBytes = h.rowBytes();
  const auto need = checkedMul(rowBytes, size_t(h.height));
  if (!need || size_t(headerEnd) + 1 > fileSize || *need > fileSize - size_t(headerEnd) - 1)
    return CV_ERR_TRUNCATED;
  rc = allocFor(h, out.image);
  if (rc != CV_OK) return rc;
  Image& img = out.image;
  const auto table = scaleTable(h.maxval);
  const size_t stride = img.stride();
  // About 4 MiB a block: few system calls, and progress still moves.
  const int block = int(std::clamp<size_t>((size_t(4) << 20) / stride, 1, size_t(img.height)));
  for (int y = 0; y < img.height; y += block) {
    const int rows = std::min(block, img.height - y);
    if (stride == rowBytes) {
      const size_t n = rowBytes * size_t(rows);
      if (std::fread(img.row(y), 1, n, f) != n)
        return std::ferror(f) ? CV_ERR_FILE_READ : CV_ERR_TRUNCATED;
    } else {
      for (int j = 0; j < rows; ++j) {
        uint8_t* row = img.row(y + j);
        if (std::fread(row, 1, rowBytes, f) != rowBytes)
          return std::ferror(f) ? CV_ERR_FILE_READ : CV_ERR_TRUNCATED;
        std::memset(row + rowBytes, 0, stride - rowBytes);
      }
    }
    finishRawRows(img, y, rows, h, table.data());
    if (request.progress && request.progress->rowsThenCancelled(y + rows, img.height))
      return CV_ERR_CANCELLED;
  }
  return CV_OK;
}

}  // namespace

bool sniffPnm(const uint8_t* d, size_t n) {
  return n >= 3 && d[0] == 'P' && d[1] >= '1' && d[1] <= '7' && std::isspace(d[2]);
}

int16_t decodePnm(const LoadRequest& request, Decoded& out) {
  return request.file ? decodeFile(request, out) : decodeMemory(request, out);
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

std::string header(char kind, const Image& img, bool withMax) {
  std::string text = std::string("P") + kind + "\n" + std::to_string(img.width) + " " +
                     std::to_string(img.height) + "\n";
  if (withMax) text += "255\n";
  return text;
}

// One row as R, G, B bytes (alpha dropped, indexed pixels through the palette).
void rgbRow(const Image& img, const uint8_t* row, uint8_t* d) {
  const int w = img.width;
  if (img.bpp == 24) {
    swapOuterBytes(row, d, size_t(w));
  } else if (img.bpp == 32) {
    for (int x = 0; x < w; ++x, row += 4, d += 3) {
      d[0] = row[2];
      d[1] = row[1];
      d[2] = row[0];
    }
  } else {
    for (int x = 0; x < w; ++x, d += 3) {
      const Rgbq& c = img.palette[size_t(indexAt(row, x, img.bpp)) % img.palette.size()];
      d[0] = c.r;
      d[1] = c.g;
      d[2] = c.b;
    }
  }
}

}  // namespace

int16_t encodePnmTo(const EncodeRequest& request, const ByteSink& sink) {
  const SaveOptions& o = *request.options;
  const Image& img = *request.image;
  if (img.empty() || (img.bpp <= 8 && img.palette.empty())) return CV_ERR_NO_IMAGE;
  int16_t format = request.format;
  if (format == FT_PPM && request.options->fileType == FT_DEFAULT) {
    // ".pnm" and ".ppm" keep the picture's kind when it is black and white or grey.
    if (img.bpp == 1 && paletteIsGrey(img)) format = FT_PBM;
  }
  const bool ascii = (format == FT_PBM   ? o.pbmType
                      : format == FT_PGM ? o.pgmType
                                         : o.ppmType) == PNM_Ascii;
  const char kind = char('0' + (format == FT_PBM ? 1 : format == FT_PGM ? 2 : 3) + (ascii ? 0 : 3));
  const std::string head = header(kind, img, format != FT_PBM);
  if (!sink(reinterpret_cast<const uint8_t*>(head.data()), head.size())) return CV_ERR_FILE_WRITE;
  // Rows are gathered into a block of about 1 MiB before they go to the sink.
  std::vector<uint8_t> buf;
  constexpr size_t kBlock = size_t(1) << 20;
  buf.reserve(kBlock + size_t(img.width) * 3 + 64);
  auto flush = [&]() {
    const bool ok = buf.empty() || sink(buf.data(), buf.size());
    buf.clear();
    return ok;
  };
  std::string line;
  for (int y = 0; y < img.height; ++y) {
    const uint8_t* row = img.row(y);
    if (format == FT_PBM) {
      if (ascii) {
        line.clear();
        for (int x = 0; x < img.width; ++x) line += brightnessOf(img, row, x) < 128 ? "1 " : "0 ";
        line += '\n';
        buf.insert(buf.end(), line.begin(), line.end());
      } else {
        const size_t at = buf.size();
        buf.resize(at + size_t((img.width + 7) / 8), 0);
        for (int x = 0; x < img.width; ++x)
          if (brightnessOf(img, row, x) < 128)
            buf[at + (size_t(x) >> 3)] |= uint8_t(0x80 >> (x & 7));
      }
    } else if (format == FT_PGM) {
      if (ascii) {
        line.clear();
        for (int x = 0; x < img.width; ++x) line += std::to_string(brightnessOf(img, row, x)) + ' ';
        line += '\n';
        buf.insert(buf.end(), line.begin(), line.end());
      } else {
        for (int x = 0; x < img.width; ++x) buf.push_back(uint8_t(brightnessOf(img, row, x)));
      }
    } else {
      const size_t at = buf.size();
      buf.resize(at + size_t(img.width) * 3);
      rgbRow(img, row, buf.data() + at);
      if (ascii) {
        line.clear();
        for (size_t i = at; i < buf.size(); ++i) line += std::to_string(buf[i]) + ' ';
        line += '\n';
        buf.resize(at);
        buf.insert(buf.end(), line.begin(), line.end());
      }
    }
    if (buf.size() >= kBlock && !flush()) return CV_ERR_FILE_WRITE;
    if (request.progress) request.progress->rows(y + 1, img.height);
  }
  return flush() ? CV_OK : CV_ERR_FILE_WRITE;
}

int16_t encodePnm(const EncodeRequest& request, std::vector<uint8_t>& out) {
  out.clear();
  return encodePnmTo(request, [&out](const uint8_t* p, size_t n) {
    out.insert(out.end(), p, p + n);
    return true;
  });
}

}  // namespace rastcore
