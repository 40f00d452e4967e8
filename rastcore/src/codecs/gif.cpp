// GIF through giflib: every frame is a page on the logical screen (transparency turns the
// picture into 32-bit B,G,R,A; later pages are the screen composed frame by frame); saving
// writes one frame, with an exact palette when the
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

// One frame as stored: where it goes, its colours and how it leaves the screen.
struct Frame {
  GifImageDesc desc{};
  const ColorMapObject* map = nullptr;
  int transparent = -1;
  int disposal = DISPOSAL_UNSPECIFIED;
  std::vector<GifPixelType> indices;  // desc.Width x desc.Height, only for frames drawn
};

// Reads the image data of the current frame into frame.indices, undoing interlacing.
int16_t readIndices(GifFileType* gif, Frame& frame, Progress* progress) {
  const GifImageDesc& d = frame.desc;
  frame.indices.assign(size_t(d.Width) * size_t(d.Height), 0);
  int done = 0;
  const int passes = d.Interlace ? 4 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    const int start = d.Interlace ? kInterlaceOffset[pass] : 0;
    const int step = d.Interlace ? kInterlaceStep[pass] : 1;
    for (int row = start; row < d.Height; row += step) {
      if (DGifGetLine(gif, frame.indices.data() + size_t(row) * size_t(d.Width), d.Width) ==
          GIF_ERROR)
        return CV_ERR_TRUNCATED;
      if (progress && progress->rowsThenCancelled(++done, d.Height)) return CV_ERR_CANCELLED;
    }
  }
  return CV_OK;
}

int16_t skipIndices(GifFileType* gif) {
  int size = 0;
  GifByteType* block = nullptr;
  if (DGifGetCode(gif, &size, &block) == GIF_ERROR) return CV_ERR_TRUNCATED;
  while (block)
    if (DGifGetCodeNext(gif, &block) == GIF_ERROR) return CV_ERR_TRUNCATED;
  return CV_OK;
}

// Walks every record: counts the frames, keeps frames 0..page with their data read.
int16_t readFrames(GifFileType* gif, const MemInput& in, int page, std::vector<Frame>& frames,
                   int& count, Progress* progress) {
  count = 0;
  GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) return count ? CV_OK : CV_ERR_TRUNCATED;
    if (type == TERMINATE_RECORD_TYPE) return count ? CV_OK : CV_ERR_DAMAGED;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return CV_ERR_TRUNCATED;
      if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4)
        DGifExtensionToGCB(block[0], block + 1, &gcb);
      while (block)
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return CV_ERR_TRUNCATED;
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(gif) == GIF_ERROR) return count ? CV_OK : CV_ERR_DAMAGED;
    Frame frame;
    frame.desc = gif->Image;
    // giflib frees the record's own colour map at the next record; its saved copy lasts.
    const ColorMapObject* local =
        gif->ImageCount > 0 ? gif->SavedImages[gif->ImageCount - 1].ImageDesc.ColorMap : nullptr;
    frame.map = gif->Image.ColorMap && local ? local : gif->SColorMap;
    frame.transparent = gcb.TransparentColor;
    frame.disposal = gcb.DisposalMode;
    gcb = GraphicsControlBlock{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    const GifImageDesc& d = frame.desc;
    if (!frame.map || d.Width <= 0 || d.Height <= 0) return count ? CV_OK : CV_ERR_DAMAGED;
    if (!sizeAllowed(d.Width, d.Height)) return count ? CV_OK : CV_ERR_TOO_LARGE;
    if (count <= page) {
      // An LZW code stands for at most 4096 pixels, so the file must hold that share.
      if (int64_t(in.size - in.pos) < int64_t(d.Width) * d.Height / 4096) return CV_ERR_TRUNCATED;
      const int16_t rc = readIndices(gif, frame, count == page ? progress : nullptr);
      if (rc != CV_OK) return rc;
      frames.push_back(std::move(frame));
    } else if (skipIndices(gif) != CV_OK) {
      return CV_OK;  // a cut frame after the one wanted only ends the count
    }
    if (++count == INT16_MAX) return CV_OK;
  }
}

Rgbq colorAt(const ColorMapObject* map, int index) {
  const GifColorType& c = map->Colors[index < map->ColorCount ? index : 0];
  return Rgbq{c.Blue, c.Green, c.Red, 255};
}

// The first frame as the format's own picture: 8-bit indexed on the screen's background, or
// 32-bit with transparent pixels where the frame has a transparent colour.
void drawFirstFrame(GifFileType* gif, const Frame& frame, Image& img) {
  const GifImageDesc& d = frame.desc;
  const ColorMapObject* map = frame.map;
  const bool alpha = img.bpp == 32;
  if (!alpha) {
    for (int i = 0; i < map->ColorCount && i < 256; ++i)
      img.palette[size_t(i)] =
          Rgbq{map->Colors[i].Blue, map->Colors[i].Green, map->Colors[i].Red, 0};
    const int background = gif->SBackGroundColor < map->ColorCount ? gif->SBackGroundColor : 0;
    if (background)
      for (int y = 0; y < img.height; ++y) std::memset(img.row(y), background, size_t(img.width));
  }
  for (int row = 0; row < d.Height; ++row) {
    const GifPixelType* line = frame.indices.data() + size_t(row) * size_t(d.Width);
    uint8_t* dst = img.row(d.Top + row) + size_t(d.Left) * (alpha ? 4 : 1);
    for (int x = 0; x < d.Width; ++x) {
      const int index = line[x] < map->ColorCount ? line[x] : 0;
      if (!alpha) {
        dst[x] = uint8_t(index);
      } else if (index != frame.transparent) {
        const Rgbq c = colorAt(map, index);
        std::memcpy(dst + x * 4, &c, 4);
      }
    }
  }
}

// A later page: the frames before it drawn onto the screen in turn, each leaving it as its
// disposal says (kept, its area cleared, or the screen restored to what it was before it),
// as a 32-bit picture.
void composeFrames(GifFileType* gif, const std::vector<Frame>& frames, Image& img) {
  const ColorMapObject* global = gif->SColorMap ? gif->SColorMap : frames[0].map;
  const bool firstAlpha = frames[0].transparent >= 0;
  const Rgbq background = firstAlpha ? Rgbq{0, 0, 0, 0} : colorAt(global, gif->SBackGroundColor);
  for (int y = 0; y < img.height; ++y) {
    uint8_t* row = img.row(y);
    for (int x = 0; x < img.width; ++x) std::memcpy(row + x * 4, &background, 4);
  }
  PixelBuffer saved;
  for (size_t i = 0; i < frames.size(); ++i) {
    const Frame& f = frames[i];
    const GifImageDesc& d = f.desc;
    if (f.disposal == DISPOSE_PREVIOUS && i + 1 < frames.size()) saved = img.pixels;
    for (int row = 0; row < d.Height; ++row) {
      const GifPixelType* line = f.indices.data() + size_t(row) * size_t(d.Width);
      uint8_t* dst = img.row(d.Top + row) + size_t(d.Left) * 4;
      for (int x = 0; x < d.Width; ++x)
        if (line[x] != f.transparent) {
          const Rgbq c = colorAt(f.map, line[x]);
          std::memcpy(dst + x * 4, &c, 4);
        }
    }
    if (i + 1 == frames.size()) break;
    if (f.disposal == DISPOSE_BACKGROUND) {
      const Rgbq clear =
          f.transparent >= 0 ? Rgbq{0, 0, 0, 0} : colorAt(global, gif->SBackGroundColor);
      for (int row = 0; row < d.Height; ++row) {
        uint8_t* dst = img.row(d.Top + row) + size_t(d.Left) * 4;
        for (int x = 0; x < d.Width; ++x) std::memcpy(dst + x * 4, &clear, 4);
      }
    } else if (f.disposal == DISPOSE_PREVIOUS) {
      img.pixels = saved;
    }
  }
}

}  // namespace

bool sniffGif(const uint8_t* d, size_t n) {
  return n >= 6 && (std::memcmp(d, "GIF87a", 6) == 0 || std::memcmp(d, "GIF89a", 6) == 0);
}

int16_t countGifPages(const uint8_t* data, size_t size, int16_t& pages) {
  pages = 0;
  MemInput in{data, size, 0};
  int error = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&in, readInput, &error));
  if (!gif) return CV_ERR_TRUNCATED;
  std::vector<Frame> frames;
  int count = 0;
  const int16_t rc = readFrames(gif.get(), in, -1, frames, count, nullptr);
  pages = int16_t(count);
  return rc;
}

// Every frame is a page: page 0 is the first frame as stored, later pages the screen after
// the frames up to them.
int16_t decodeGif(const LoadRequest& request, Decoded& out) {
  out.format = FT_GIF;
  MemInput in{request.data, request.size, 0};
  int error = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&in, readInput, &error));
  if (!gif) return CV_ERR_TRUNCATED;
  std::vector<Frame> frames;
  int count = 0;
  int16_t rc = readFrames(gif.get(), in, request.page, frames, count, request.progress);
  if (rc != CV_OK) return rc;
  out.numPages = int16_t(count);
  if (request.page >= count) return CV_ERR_NO_PAGE;
  int64_t width = gif->SWidth, height = gif->SHeight;
  for (const Frame& f : frames) {
    width = std::max<int64_t>(width, int64_t(f.desc.Left) + f.desc.Width);
    height = std::max<int64_t>(height, int64_t(f.desc.Top) + f.desc.Height);
  }
  if (!sizeAllowed(width, height)) return CV_ERR_TOO_LARGE;
  // A vast screen around a small first frame is background, not picture.
  const int64_t firstPixels = int64_t(frames[0].desc.Width) * frames[0].desc.Height;
  if (width * height > kBackgroundOnly && firstPixels * 64 < width * height) return CV_ERR_DAMAGED;
  out.fileBpp = int16_t(frames.back().map->BitsPerPixel);
  if (request.page == 0) {
    const Frame& f = frames[0];
    const bool alpha = f.transparent >= 0 && f.transparent < f.map->ColorCount;
    rc = allocImage(out.image, width, height, alpha ? 32 : 8);
    if (rc == CV_OK) drawFirstFrame(gif.get(), f, out.image);
    return rc;
  }
  rc = allocImage(out.image, width, height, 32);
  if (rc == CV_OK) composeFrames(gif.get(), frames, out.image);
  return rc;
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
