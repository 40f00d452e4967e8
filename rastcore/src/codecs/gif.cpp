// GIF through giflib: the first frame is read onto the logical screen (transparency turns the
// picture into 32-bit B,G,R,A); saving writes one frame, with an exact palette when the
// picture has at most 256 colours and giflib's median-cut quantiser otherwise.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>

#include <gif_lib.h>

#include "fileformat/checked.h"
#include "fileformat/codec.h"

namespace rastcore {
namespace {

constexpr int kInterlaceOffset[4] = {0, 4, 2, 1};
constexpr int kInterlaceStep[4] = {8, 8, 4, 2};
// Screens above this size must be mostly covered by their frame.
constexpr int64_t kBackgroundOnly = int64_t(1) << 24;

struct MemInput {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

int readInput(GifFileType* gif, GifByteType* buf, int n) {
  auto* in = static_cast<MemInput*>(gif->UserData);
  const size_t count = std::min(size_t(n < 0 ? 0 : n), in->size - in->pos);
  if (count) std::memcpy(buf, in->data + in->pos, count);
  in->pos += count;
  return int(count);
}

struct GifCloser {
  void operator()(GifFileType* g) const {
    int error = 0;
    DGifCloseFile(g, &error);
  }
};

struct FirstFrame {
  int transparent = -1;
};

// Skips to the first image descriptor, remembering its graphic control block.
int16_t seekFirstImage(GifFileType* gif, FirstFrame& frame) {
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) return CV_ERR_TRUNCATED;
    if (type == IMAGE_DESC_RECORD_TYPE)
      return DGifGetImageDesc(gif) == GIF_ERROR ? CV_ERR_DAMAGED : CV_OK;
    if (type == TERMINATE_RECORD_TYPE) return CV_ERR_DAMAGED;
    if (type != EXTENSION_RECORD_TYPE) continue;
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return CV_ERR_TRUNCATED;
    if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
      GraphicsControlBlock gcb;
      if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
        frame.transparent = gcb.TransparentColor;
    }
    while (block) {
      if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return CV_ERR_TRUNCATED;
    }
  }
}

}  // namespace

bool sniffGif(const uint8_t* d, size_t n) {
  return n >= 6 && (std::memcmp(d, "GIF87a", 6) == 0 || std::memcmp(d, "GIF89a", 6) == 0);
}

int16_t decodeGif(const LoadRequest& request, Decoded& out) {
  out.format = FT_GIF;
  MemInput in{request.data, request.size, 0};
  int error = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&in, readInput, &error));
  if (!gif) return CV_ERR_TRUNCATED;
  FirstFrame frame;
  int16_t rc = seekFirstImage(gif.get(), frame);
  if (rc != CV_OK) return rc;
  const GifImageDesc& desc = gif->Image;
  const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
  if (!map || desc.Width <= 0 || desc.Height <= 0) return CV_ERR_DAMAGED;
  const int64_t width = std::max<int64_t>(gif->SWidth, int64_t(desc.Left) + desc.Width);
  const int64_t height = std::max<int64_t>(gif->SHeight, int64_t(desc.Top) + desc.Height);
  if (!sizeAllowed(width, height) || !sizeAllowed(desc.Width, desc.Height)) return CV_ERR_TOO_LARGE;
  // An LZW code stands for at most 4096 pixels, so the file must hold that share of the frame.
  const int64_t framePixels = int64_t(desc.Width) * desc.Height;
  if (int64_t(in.size - in.pos) < framePixels / 4096) return CV_ERR_TRUNCATED;
  // A vast screen around a small frame is background, not picture.
  if (width * height > kBackgroundOnly && framePixels * 64 < width * height) return CV_ERR_DAMAGED;
  const bool alpha = frame.transparent >= 0 && frame.transparent < map->ColorCount;
  out.fileBpp = int16_t(map->BitsPerPixel);
  rc = allocImage(out.image, width, height, alpha ? 32 : 8);
  if (rc != CV_OK) return rc;
  Image& img = out.image;
  if (!alpha) {
    for (int i = 0; i < map->ColorCount && i < 256; ++i)
      img.palette[size_t(i)] =
          Rgbq{map->Colors[i].Blue, map->Colors[i].Green, map->Colors[i].Red, 0};
    const int background = gif->SBackGroundColor < map->ColorCount ? gif->SBackGroundColor : 0;
    if (background)
      for (int y = 0; y < img.height; ++y) std::memset(img.row(y), background, size_t(img.width));
  }
  std::vector<GifPixelType> line(size_t(desc.Width));
  auto storeRow = [&](int row) {
    const int y = desc.Top + row;
    uint8_t* dst = img.row(y) + size_t(desc.Left) * (alpha ? 4 : 1);
    for (int x = 0; x < desc.Width; ++x) {
      const int index = line[size_t(x)] < map->ColorCount ? line[size_t(x)] : 0;
      if (!alpha) {
        dst[x] = uint8_t(index);
      } else if (index != frame.transparent) {
        const GifColorType& c = map->Colors[index];
        uint8_t* p = dst + x * 4;
        p[0] = c.Blue, p[1] = c.Green, p[2] = c.Red, p[3] = 255;
      }
    }
  };
  int done = 0;
  const int passes = desc.Interlace ? 4 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    const int start = desc.Interlace ? kInterlaceOffset[pass] : 0;
    const int step = desc.Interlace ? kInterlaceStep[pass] : 1;
    for (int row = start; row < desc.Height; row += step) {
      if (DGifGetLine(gif.get(), line.data(), desc.Width) == GIF_ERROR) return CV_ERR_TRUNCATED;
      storeRow(row);
      if (request.progress) request.progress->rows(++done, desc.Height);
    }
  }
  return CV_OK;
}

namespace {

struct MemOutput {
  std::vector<uint8_t>* out;
  bool failed;
};

int writeOutput(GifFileType* gif, const GifByteType* buf, int n) {
  auto* o = static_cast<MemOutput*>(gif->UserData);
  try {
    o->out->insert(o->out->end(), buf, buf + n);
  } catch (const std::bad_alloc&) {
    o->failed = true;
    return 0;
  }
  return n;
}

struct Indexed {
  std::vector<uint8_t> pixels;  // one byte per pixel, top-down
  std::vector<GifColorType> colors;
  int transparent = -1;
};

// An exact palette when the picture has at most 256 colours (fully transparent pixels of a
// 32-bit picture sharing one extra entry); false when it has more.
bool exactPalette(const Image& img, Indexed& out) {
  std::unordered_map<uint32_t, uint8_t> seen;
  const size_t n = size_t(img.width) * size_t(img.height);
  out.pixels.resize(n);
  const int bytes = img.bpp / 8;
  constexpr uint32_t kClear = 0x1000000;
  for (int y = 0; y < img.height; ++y) {
    const uint8_t* p = img.row(y);
    for (int x = 0; x < img.width; ++x, p += bytes) {
      const uint32_t key =
          bytes == 4 && p[3] < 128 ? kClear : uint32_t(p[0]) | p[1] << 8 | p[2] << 16;
      auto it = seen.find(key);
      if (it == seen.end()) {
        if (seen.size() == 256) return false;
        it = seen.emplace(key, uint8_t(seen.size())).first;
        out.colors.push_back(GifColorType{uint8_t(key >> 16), uint8_t(key >> 8), uint8_t(key)});
        if (key == kClear) out.transparent = it->second;
      }
      out.pixels[size_t(y) * size_t(img.width) + size_t(x)] = it->second;
    }
  }
  return true;
}

int16_t quantise(const Image& img, Indexed& out) {
  const size_t n = size_t(img.width) * size_t(img.height);
  std::vector<uint8_t> r(n), g(n), b(n);
  const int bytes = img.bpp / 8;
  for (int y = 0; y < img.height; ++y) {
    const uint8_t* p = img.row(y);
    for (int x = 0; x < img.width; ++x, p += bytes) {
      const size_t i = size_t(y) * size_t(img.width) + size_t(x);
      b[i] = p[0], g[i] = p[1], r[i] = p[2];
    }
  }
  int count = 256;
  out.colors.assign(256, GifColorType{0, 0, 0});
  out.pixels.assign(n, 0);
  if (GifQuantizeBuffer(unsigned(img.width), unsigned(img.height), &count, r.data(), g.data(),
                        b.data(), out.pixels.data(), out.colors.data()) == GIF_ERROR)
    return CV_ERR_INTERNAL;
  out.colors.resize(size_t(std::max(count, 1)));
  return CV_OK;
}

int16_t indexPicture(const Image& img, Indexed& out) {
  if (img.bpp <= 8) {
    out.pixels.resize(size_t(img.width) * size_t(img.height));
    for (int y = 0; y < img.height; ++y)
      for (int x = 0; x < img.width; ++x)
        out.pixels[size_t(y) * size_t(img.width) + size_t(x)] =
            uint8_t(indexAt(img.row(y), x, img.bpp));
    for (const Rgbq& c : img.palette) out.colors.push_back(GifColorType{c.r, c.g, c.b});
    return CV_OK;
  }
  if (exactPalette(img, out)) return CV_OK;
  out = Indexed{};
  return quantise(img, out);
}

int nearestColor(const std::vector<GifColorType>& colors, uint32_t ole) {
  const int r = int(ole & 0xFF), g = int(ole >> 8 & 0xFF), b = int(ole >> 16 & 0xFF);
  int best = 0, bestDistance = INT32_MAX;
  for (size_t i = 0; i < colors.size(); ++i) {
    const int dr = colors[i].Red - r, dg = colors[i].Green - g, db = colors[i].Blue - b;
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) bestDistance = d, best = int(i);
  }
  return best;
}

int16_t writeGif(GifFileType* gif, const Image& img, const SaveOptions& o, Indexed& ix,
                 Progress* progress) {
  int bits = 1;
  while ((1 << bits) < int(ix.colors.size())) ++bits;
  ix.colors.resize(size_t(1) << bits, GifColorType{0, 0, 0});
  ColorMapObject* map = GifMakeMapObject(1 << bits, ix.colors.data());
  if (!map) return CV_ERR_OUT_OF_MEMORY;
  const bool gif89 = o.gifType == GIF_89a;
  if (gif89 && o.gifTransparent && ix.transparent < 0)
    ix.transparent = nearestColor(ix.colors, o.gifTColor);
  EGifSetGifVersion(gif, gif89);
  int rc = EGifPutScreenDesc(gif, img.width, img.height, bits, 0, map);
  if (rc != GIF_ERROR && gif89 && ix.transparent >= 0) {
    GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, ix.transparent};
    GifByteType ext[4];
    const size_t len = EGifGCBToExtension(&gcb, ext);
    rc = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(len), ext);
  }
  if (rc != GIF_ERROR)
    rc = EGifPutImageDesc(gif, 0, 0, img.width, img.height, o.gifInterlaced, nullptr);
  GifFreeMapObject(map);
  if (rc == GIF_ERROR) return CV_ERR_INTERNAL;
  int done = 0;
  const int passes = o.gifInterlaced ? 4 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    const int start = o.gifInterlaced ? kInterlaceOffset[pass] : 0;
    const int step = o.gifInterlaced ? kInterlaceStep[pass] : 1;
    for (int y = start; y < img.height; y += step) {
      if (EGifPutLine(gif, ix.pixels.data() + size_t(y) * size_t(img.width), img.width) ==
          GIF_ERROR)
        return CV_ERR_INTERNAL;
      if (progress) progress->rows(++done, img.height);
    }
  }
  return CV_OK;
}

}  // namespace

int16_t encodeGif(const EncodeRequest& request, std::vector<uint8_t>& out) {
  const Image& img = *request.image;
  if (img.width > 65535 || img.height > 65535) return CV_ERR_TOO_LARGE;
  Indexed ix;
  int16_t rc;
  try {
    rc = indexPicture(img, ix);
  } catch (const std::bad_alloc&) {
    return CV_ERR_OUT_OF_MEMORY;
  }
  if (rc != CV_OK) return rc;
  MemOutput sink{&out, false};
  int error = 0;
  GifFileType* gif = EGifOpen(&sink, writeOutput, &error);
  if (!gif) return CV_ERR_INTERNAL;
  rc = writeGif(gif, img, *request.options, ix, request.progress);
  if (EGifCloseFile(gif, &error) == GIF_ERROR && rc == CV_OK) rc = CV_ERR_INTERNAL;
  if (sink.failed) rc = CV_ERR_OUT_OF_MEMORY;
  return rc;
}

}  // namespace rastcore

namespace rastcore {

int16_t toIndexed8(const Image& image, Image& out) {
  Indexed ix;
  int16_t rc;
  try {
    rc = indexPicture(image, ix);
  } catch (const std::bad_alloc&) {
    return CV_ERR_OUT_OF_MEMORY;
  }
  if (rc != CV_OK) return rc;
  rc = allocImage(out, image.width, image.height, 8);
  if (rc != CV_OK) return rc;
  out.xdpi = image.xdpi, out.ydpi = image.ydpi;
  for (size_t i = 0; i < ix.colors.size() && i < 256; ++i)
    out.palette[i] = Rgbq{ix.colors[i].Blue, ix.colors[i].Green, ix.colors[i].Red, 0};
  for (int y = 0; y < image.height; ++y)
    std::memcpy(out.row(y), ix.pixels.data() + size_t(y) * size_t(image.width),
                size_t(image.width));
  return CV_OK;
}

}  // namespace rastcore
