// The view calls: view properties, drawing the picture into the control's buffer, scrolling
// and the rubber band. Nothing here changes the picture.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "fileformat/codec.h"
#include "fileformat/io.h"
#include "ops/kernels.h"
#include "ops/ops_state.h"
#include "ops/palfile.h"
#include "ops/pixel.h"
#include "rastcore3_names.h"
#include "rastcore3_ops.h"
#include "region/region.h"
#include "view/layout.h"
#include "view/window_state.h"

using namespace rastcore;
using namespace rastcore::ops;
using rastcore::view::Layout;

namespace {

constexpr uint32_t kWmSize = 0x0005, kWmHScroll = 0x0114, kWmVScroll = 0x0115;
constexpr uint32_t kWmMouseFirst = 0x0200, kWmMouseLast = 0x020D;

inline uint32_t rgb32(Rgbq c) {
  return 0xFF000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
}

// Runs fn(instance, state) for a view call; unknown handles are ignored.
template <typename F>
auto withView(CV_HANDLE h, F fn) {
  Instance* inst = instanceFor(h);
  OpsState* st = opsStateFor(h);
  using R = decltype(fn(*inst, *st));
  if (!inst || !st) return R{};
  return fn(*inst, *st);
}

template <typename T>
void setChecked(CV_HANDLE h, T& field, T value, bool valid) {
  if (Instance* inst = instanceFor(h)) {
    if (valid) field = value;
    inst->error = valid ? 0 : CV_ERR_BAD_ARGUMENT;
  }
}

int luminance(const Rgbq& c) {
  return 299 * c.r + 587 * c.g + 114 * c.b;
}

// The colour of the picture around (px, py) covering fx x fy picture pixels: one sample
// without antialiasing, bilinear when enlarging, a box of up to 4 x 4 samples when reducing,
// averaged or, for the favouring modes, the darkest or lightest of them.
Rgbq sampleAt(const Image& img, double px, double py, double fx, double fy, int antialias) {
  const int w = img.width, h = img.height;
  if (antialias == AA_None)
    return pixelAt(img, std::clamp(int(std::floor(px)), 0, w - 1),
                   std::clamp(int(std::floor(py)), 0, h - 1));
  if (fx <= 1 && fy <= 1) {
    const double x = px - 0.5, y = py - 0.5;
    const int x0 = std::clamp(int(std::floor(x)), 0, w - 1),
              y0 = std::clamp(int(std::floor(y)), 0, h - 1);
    const int x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
    const double ax = std::clamp(x - x0, 0.0, 1.0), ay = std::clamp(y - y0, 0.0, 1.0);
    const Rgbq a = pixelAt(img, x0, y0), b = pixelAt(img, x1, y0), c = pixelAt(img, x0, y1),
               d = pixelAt(img, x1, y1);
    auto mix = [&](uint8_t Rgbq::*ch) {
      return uint8_t(((a.*ch) * (1 - ax) + (b.*ch) * ax) * (1 - ay) +
                     ((c.*ch) * (1 - ax) + (d.*ch) * ax) * ay + 0.5);
    };
    return {mix(&Rgbq::b), mix(&Rgbq::g), mix(&Rgbq::r), 255};
  }
  const int nx = std::clamp(int(std::ceil(fx)), 1, 4), ny = std::clamp(int(std::ceil(fy)), 1, 4);
  int sb = 0, sg = 0, sr = 0;
  Rgbq chosen{};
  bool first = true;
  for (int j = 0; j < ny; ++j)
    for (int i = 0; i < nx; ++i) {
      const double x = px - fx / 2 + fx * (i + 0.5) / nx, y = py - fy / 2 + fy * (j + 0.5) / ny;
      const Rgbq c = pixelAt(img, std::clamp(int(x), 0, w - 1), std::clamp(int(y), 0, h - 1));
      sb += c.b;
      sg += c.g;
      sr += c.r;
      const bool better = antialias == AA_FavorBlack   ? luminance(c) < luminance(chosen)
                          : antialias == AA_FavorWhite ? luminance(c) > luminance(chosen)
                                                       : false;
      if (first || better) chosen = c;
      first = false;
    }
  if (antialias == AA_FavorBlack || antialias == AA_FavorWhite)
    return {chosen.b, chosen.g, chosen.r, 255};
  const int n = nx * ny;
  return {uint8_t((sb + n / 2) / n), uint8_t((sg + n / 2) / n), uint8_t((sr + n / 2) / n), 255};
}

// The picture pixels one window column (or row) shows: up to 4 taps, as sampleAt takes them.
struct Taps {
  bool inside = false;  // the window position falls on the picture
  int count = 0;
  int at[4] = {};
};

// Taps along one axis: window positions `first` .. first + n - 1, picture extent `size`,
// `origin` the crop, `viewSize` the client area; `toPicture` maps a window to a picture
// coordinate and `f` is the picture pixels per window pixel.
template <typename ToPicture>
std::vector<Taps> tapsAlong(int first, int n, int viewSize, int origin, int size, double f,
                            bool single, ToPicture toPicture) {
  std::vector<Taps> taps(size_t(std::max(n, 0)));
  const int count = single ? 1 : std::clamp(int(std::ceil(f)), 1, 4);
  for (int i = 0; i < n; ++i) {
    const int w = first + i;
    const double p = toPicture(w + 0.5);
    Taps& t = taps[size_t(i)];
    t.inside = w < viewSize && p >= origin && p < size;
    t.count = count;
    for (int k = 0; k < count; ++k)
      t.at[k] = single ? std::clamp(int(std::floor(p)), 0, size - 1)
                       : std::clamp(int(p - f / 2 + f * (k + 0.5) / count), 0, size - 1);
  }
  return taps;
}

// Averages the n x m taps of each window pixel of one row. The 4 x 4 box of a picture
// reduced four times or more is the common case and has its own loop the compiler unrolls.
template <int kTaps>
void averageRow(const uint8_t* const* lines, int rowTaps, const std::vector<Taps>& columns,
                const int* columnBytes, uint32_t bg, uint32_t* out) {
  for (size_t x = 0; x < columns.size(); ++x) {
    const Taps& tx = columns[x];
    if (!tx.inside) {
      out[x] = bg;
      continue;
    }
    const int colTaps = kTaps ? kTaps : tx.count;
    const int* at = columnBytes + x * 4;
    int sb = 0, sg = 0, sr = 0;
    for (int j = 0; j < (kTaps ? kTaps : rowTaps); ++j)
      for (int i = 0; i < colTaps; ++i) {
        const uint8_t* p = lines[j] + at[i];
        sb += p[0], sg += p[1], sr += p[2];
      }
    const int n = colTaps * (kTaps ? kTaps : rowTaps);
    out[x] = rgb32(
        {uint8_t((sb + n / 2) / n), uint8_t((sg + n / 2) / n), uint8_t((sr + n / 2) / n), 255});
  }
}

void drawTrueColourRow(const Image& img, const Taps& ty, const std::vector<Taps>& columns,
                       const int* columnBytes, uint32_t bg, uint32_t* out) {
  if (!ty.inside) {
    std::fill(out, out + columns.size(), bg);
    return;
  }
  const uint8_t* lines[4];
  for (int k = 0; k < ty.count; ++k) lines[k] = img.row(ty.at[k]);
  // Every column has the same tap count (tapsAlong gives one count per axis).
  if (ty.count == 4 && !columns.empty() && columns[0].count == 4)
    averageRow<4>(lines, 4, columns, columnBytes, bg, out);
  else
    averageRow<0>(lines, ty.count, columns, columnBytes, bg, out);
}

// Draws a true-colour picture that is shown reduced, or without antialiasing, with the
// samples sampleAt would take: where a window pixel samples depends on its column alone
// horizontally and its row alone vertically, so the taps are worked out once per column and
// once per row rather than for every pixel.
void drawTrueColour(const Image& img, const Layout& l, bool single, double fx, double fy,
                    const CV_RECT& area, uint32_t bg, uint32_t* buffer, int words) {
  const int w = area.right - area.left, h = area.bottom - area.top;
  const std::vector<Taps> columns =
      tapsAlong(area.left, w, l.viewW, l.originX, img.width, fx, single, [&](double wx) {
        double px, py;
        l.toPicture(wx, 0.5, px, py);
        return px;
      });
  const std::vector<Taps> rows =
      tapsAlong(area.top, h, l.viewH, l.originY, img.height, fy, single, [&](double wy) {
        double px, py;
        l.toPicture(0.5, wy, px, py);
        return py;
      });
  const int step = img.bpp / 8;
  std::vector<int> columnBytes(columns.size() * 4);
  for (size_t x = 0; x < columns.size(); ++x)
    for (int i = 0; i < columns[x].count; ++i)
      columnBytes[x * 4 + size_t(i)] = columns[x].at[i] * step;
  // Rows are independent: large areas are drawn in bands on the machine's cores.
  const int64_t work = int64_t(w) * h * (rows.empty() ? 1 : rows[0].count * columns[0].count);
  parallelRows(h, work, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y)
      drawTrueColourRow(img, rows[size_t(y)], columns, columnBytes.data(), bg,
                        buffer + size_t(y) * words);
  });
}

// Reduces the drawn area to the colours of a palette display, as that display would show it.
void toDisplayPalette(const Image& img, ViewState& v, uint64_t key, uint32_t* buf, int w, int h,
                      int strideWords) {
  std::vector<Rgbq> pal;
  if (v.displayMode == DM_VGAColor) {
    pal = fixedPalette(4);
  } else if (v.palette == IPAL_Gray || v.palette == IPAL_GrayDither) {
    pal = greyPalette(256);
  } else if (v.palette == IPAL_Optimized || v.palette == IPAL_OptimizedDither) {
    if (v.displayPaletteKey != key) {
      v.displayPalette = optimizedPalette(img, 256);
      v.displayPaletteKey = key;
    }
    pal = v.displayPalette;
  } else if (!v.filePalette.empty()) {
    pal = v.filePalette;
  } else {
    pal = fixedPalette(8);
  }
  Image area = makeImage(w, h, 24);
  area.palette.clear();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t p = buf[size_t(y) * strideWords + x];
      uint8_t* d = area.row(y) + 3 * x;
      d[0] = uint8_t(p);
      d[1] = uint8_t(p >> 8);
      d[2] = uint8_t(p >> 16);
    }
  const Image mapped = colorDepth(area, 8, IPAL_PalFile, v.showDithered, &pal);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      buf[size_t(y) * strideWords + x] = rgb32(mapped.palette[mapped.row(y)[x]]);
}

void drawBand(const Layout& l, const RubberBand& band, uint32_t* buf, int strideWords,
              const CV_RECT& area, const Image& img) {
  double x0, y0, x1, y1;
  l.toWindow(std::clamp(std::min(band.ax, band.bx), 0.0, double(img.width)),
             std::clamp(std::min(band.ay, band.by), 0.0, double(img.height)), x0, y0);
  l.toWindow(std::clamp(std::max(band.ax, band.bx), 0.0, double(img.width)),
             std::clamp(std::max(band.ay, band.by), 0.0, double(img.height)), x1, y1);
  const int l0 = int(std::lround(x0)), t0 = int(std::lround(y0));
  const int r0 = std::max(l0, int(std::lround(x1)) - 1),
            b0 = std::max(t0, int(std::lround(y1)) - 1);
  auto plot = [&](int x, int y, int along) {
    if (x < area.left || y < area.top || x >= area.right || y >= area.bottom) return;
    uint32_t& p = buf[size_t(y - area.top) * strideWords + (x - area.left)];
    if (band.negate)
      p = 0xFF000000u | (~p & 0x00FFFFFFu);
    else
      p = ((along / 4) & 1) ? 0xFFFFFFFFu : 0xFF000000u;
  };
  for (int x = l0; x <= r0; ++x) {
    plot(x, t0, x);
    if (b0 != t0) plot(x, b0, x);
  }
  for (int y = t0 + 1; y < b0; ++y) {
    plot(l0, y, y);
    if (r0 != l0) plot(r0, y, y);
  }
}

// Picture coordinates of a window point under the current layout.
void pictureAt(Instance& inst, OpsState& st, int32_t x, int32_t y, double& px, double& py) {
  const Layout l = view::computeLayout(inst.image, st.view);
  l.toPicture(x, y, px, py);
}

int32_t bandEdge(const OpsState& st, const Image& img, bool vertical, bool far) {
  const RubberBand& b = st.band;
  if (!b.active || img.empty()) return 0;
  const double lo = vertical ? std::min(b.ay, b.by) : std::min(b.ax, b.bx);
  const double hi = vertical ? std::max(b.ay, b.by) : std::max(b.ax, b.bx);
  const int limit = vertical ? img.height : img.width;
  const int a = std::clamp(int(std::lround(lo)), 0, limit);
  const int z = std::clamp(int(std::lround(hi)), 0, limit);
  return far ? z - a : a;
}

void scrollBy(ViewState& v, bool vertical, int code, int thumb, const Layout& l) {
  int32_t& pos = vertical ? v.scrollY : v.scrollX;
  const int32_t page = vertical ? l.viewH : l.viewW;
  const int32_t large = v.largeChange > 0 ? v.largeChange : std::max(1, page);
  switch (code) {
    case 0:
      pos -= v.smallChange;
      break;
    case 1:
      pos += v.smallChange;
      break;
    case 2:
      pos -= large;
      break;
    case 3:
      pos += large;
      break;
    case 4:
    case 5:
      pos = thumb;
      break;
    case 6:
      pos = 0;
      break;
    case 7:
      pos = vertical ? l.maxScrollY : l.maxScrollX;
      break;
    default:
      break;
  }
  pos = std::clamp(pos, 0, vertical ? l.maxScrollY : l.maxScrollX);
}

// Whether a preview of `name` can stand in for its picture: the window shows the picture
// fitted to it, and the file is a JPEG whose picture size is `width` x `height`.
bool previewable(const Instance& inst, const ViewState& v, const std::string& name, int32_t& width,
                 int32_t& height) {
  const FileState& f = inst.file;
  const bool fitted = v.autoSize == ISIZE_ResizeImage || v.autoSize == ISIZE_ResizePreserveAspect;
  if (!fitted || std::fabs(v.zoom - 1.0f) > 1e-6f || v.cropX != 0 || v.cropY != 0 ||
      v.clientW <= 0 || v.clientH <= 0 || f.thumbnail != 0 || f.cropEnabled || f.pageNbr > 1 ||
      inst.readAheadLimit <= 0 || (inst.readAhead && inst.readAhead->holdsOrDecodes(name)))
    return false;
  const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(name.c_str(), "rb"), &std::fclose);
  uint8_t head[3] = {};
  if (!file || std::fread(head, 1, 3, file.get()) != 3 || !sniffJpeg(head, 3)) return false;
  std::rewind(file.get());
  return jpegPictureSize(file.get(), width, height);
}

// The largest DCT scaling denominator (8, 4 or 2) whose decode still has at least the pixels
// the window shows; 1 when the picture is not shown at half its size or less.
int previewDenominator(const ViewState& v, int32_t width, int32_t height) {
  double shownW = v.clientW, shownH = v.clientH;
  if (v.autoSize == ISIZE_ResizePreserveAspect) {
    const double s = std::min(double(v.clientW) / width, double(v.clientH) / height);
    shownW = width * s;
    shownH = height * s;
  }
  for (const int d : {8, 4, 2})
    if ((width + d - 1) / d >= std::ceil(shownW) && (height + d - 1) / d >= std::ceil(shownH))
      return d;
  return 1;
}

}  // namespace

extern "C" {

// ---- window ----

void CV_AttachWindow(CV_HANDLE h, uintptr_t window, uintptr_t, int16_t runMode) {
  withView(h, [&](Instance&, OpsState& st) {
    st.view.window = window;
    st.view.runMode = runMode != 0;
    return 0;
  });
}

void CV_SetClientSize(CV_HANDLE h, int32_t clientWidth, int32_t clientHeight, int32_t barExtent) {
  withView(h, [&](Instance& inst, OpsState& st) {
    st.view.clientW = std::max(0, clientWidth);
    st.view.clientH = std::max(0, clientHeight);
    st.view.barExtent = std::max(0, barExtent);
    view::computeLayout(inst.image, st.view);
    return 0;
  });
}

void CV_GetScrollInfo(CV_HANDLE h, int16_t vertical, CV_SCROLLINFO* info) {
  if (!info) return;
  *info = CV_SCROLLINFO{};
  withView(h, [&](Instance& inst, OpsState& st) {
    const Layout l = view::computeLayout(inst.image, st.view);
    info->visible = vertical ? l.vBar : l.hBar;
    info->maximum = vertical ? l.maxScrollY : l.maxScrollX;
    info->page = vertical ? l.viewH : l.viewW;
    info->position = vertical ? st.view.scrollY : st.view.scrollX;
    info->smallChange = st.view.smallChange;
    info->largeChange = st.view.largeChange > 0 ? st.view.largeChange : std::max(1, info->page);
    return 0;
  });
}

void CV_Draw(CV_HANDLE h, uint32_t* buffer, int32_t strideBytes, const CV_RECT* area) {
  if (!buffer || !area || area->right <= area->left || area->bottom <= area->top ||
      strideBytes < 4 * (area->right - area->left))
    return;
  withView(h, [&](Instance& inst, OpsState& st) {
    const int w = area->right - area->left, hgt = area->bottom - area->top;
    const int words = strideBytes / 4;
    const uint32_t bg = rgb32(backgroundOf(inst));
    // A picture being loaded shows as its preview, laid out as the picture will be.
    const Image& img = inst.preview.empty() ? inst.image : inst.preview;
    ViewState& v = st.view;
    const Layout l = view::computeLayout(img, v);
    const int antialias = l.sx != 1.0 || l.sy != 1.0 ? v.antialias : AA_None;
    const view::WindowState* ws = view::windowStateFor(h);
    const bool shown = !img.empty() && (!ws || ws->pictureEnabled);
    // A sprite shows over the picture without being part of it.
    const region::RegionState* rs = region::stateFor(h);
    const region::Sprite* sprite = rs && rs->sprite.active ? &rs->sprite : nullptr;
    const double fx = 1 / l.sx, fy = 1 / l.sy;
    const bool favouring = antialias == AA_FavorBlack || antialias == AA_FavorWhite;
    const bool quick = shown && !l.tiled && !sprite && (img.bpp == 24 || img.bpp == 32) &&
                       (antialias == AA_None || ((fx > 1 || fy > 1) && !favouring));
    if (quick) drawTrueColour(img, l, antialias == AA_None, fx, fy, *area, bg, buffer, words);
    for (int y = 0; y < hgt && !quick; ++y) {
      uint32_t* row = buffer + size_t(y) * words;
      const int wy = area->top + y;
      for (int x = 0; x < w; ++x) {
        const int wx = area->left + x;
        if (!shown || wx >= l.viewW || wy >= l.viewH) {
          row[x] = bg;
          continue;
        }
        double px, py;
        l.toPicture(wx + 0.5, wy + 0.5, px, py);
        if (l.tiled) {
          const int tw = img.width - l.originX, th = img.height - l.originY;
          px = l.originX + std::fmod(std::fmod(px - l.originX, tw) + tw, tw);
          py = l.originY + std::fmod(std::fmod(py - l.originY, th) + th, th);
        }
        if (px < l.originX || py < l.originY || px >= img.width || py >= img.height) {
          row[x] = bg;
          continue;
        }
        if (sprite) {
          const int32_t sx = int32_t(std::floor(px)) - sprite->x,
                        sy = int32_t(std::floor(py)) - sprite->y;
          if (sprite->shape.contains(sx, sy)) {
            row[x] = rgb32(pixelAt(sprite->pixels, sx, sy));
            continue;
          }
        }
        row[x] = rgb32(sampleAt(img, px, py, fx, fy, antialias));
      }
    }
    if (shown && v.displayMode != DM_TrueColor) {
      try {
        const uint64_t key = st.generation ^ uint64_t(uintptr_t(img.pixels.data())) ^
                             (uint64_t(img.width) << 40) ^ (uint64_t(img.height) << 20) ^
                             uint64_t(img.bpp);
        toDisplayPalette(img, v, key, buffer, w, hgt, words);
      } catch (...) {
        // A display that cannot be reduced shows true colour.
      }
    }
    if (st.band.active && shown) drawBand(l, st.band, buffer, words, *area, img);
    return 0;
  });
}

int16_t CV_ShowPreview(CV_HANDLE h, const char* fileName) {
  return withView(h, [&](Instance& inst, OpsState& st) -> int16_t {
    inst.preview = Image{};
    const std::string name = fileName ? fileName : "";
    int32_t width = 0, height = 0;
    if (name.empty() || !previewable(inst, st.view, name, width, height)) return 0;
    const int denominator = previewDenominator(st.view, width, height);
    // The full picture must fit the read-ahead's limit, or the load would decode it again.
    if (denominator < 2 || int64_t(width) * height * 4 > inst.readAheadLimit) return 0;
    const int16_t error = inst.error;
    CV_ReadAhead(h, name.c_str());
    inst.error = error;
    LoadOptions options;
    options.scaleDenominator = denominator;
    Decoded decoded;
    int64_t fileSize = 0;
    if (loadPictureFile(name, options, decoded, fileSize) != CV_OK) return 0;
    inst.preview = std::move(decoded.image);
    return 1;
  });
}

void CV_GetControlRect(CV_HANDLE h, CV_RECT* rect) {
  if (!rect) return;
  *rect = CV_RECT{};
  withView(h, [&](Instance& inst, OpsState& st) {
    const Layout l = view::computeLayout(inst.image, st.view);
    rect->right = st.view.clientW;
    rect->bottom = st.view.clientH;
    if (st.view.autoSize == ISIZE_ResizeControl && !inst.image.empty()) {
      rect->right = int32_t(std::min<int64_t>(l.contentW, INT32_MAX));
      rect->bottom = int32_t(std::min<int64_t>(l.contentH, INT32_MAX));
    }
    return 0;
  });
}

void CV_WindowToPicture(CV_HANDLE h, int32_t x, int32_t y, double* px, double* py) {
  double a = 0, b = 0;
  withView(h, [&](Instance& inst, OpsState& st) {
    pictureAt(inst, st, x, y, a, b);
    return 0;
  });
  if (px) *px = a;
  if (py) *py = b;
}

int32_t CV_WindowMessage(CV_HANDLE h, uintptr_t, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) {
  return withView(h, [&](Instance& inst, OpsState& st) -> int32_t {
    if (message == kWmSize) {
      st.view.clientW = int32_t(lParam & 0xFFFF);
      st.view.clientH = int32_t((lParam >> 16) & 0xFFFF);
      view::computeLayout(inst.image, st.view);
      return 0;
    }
    if (message >= kWmMouseFirst && message <= kWmMouseLast) {
      // The picture pixel under the mouse, for Xpos, Ypos and PixelColor; the message itself
      // is left to the control.
      if (view::WindowState* ws = view::windowStateFor(h)) {
        double px, py;
        pictureAt(inst, st, int16_t(lParam & 0xFFFF), int16_t((lParam >> 16) & 0xFFFF), px, py);
        ws->mouseKnown = true;
        ws->mouseX = int32_t(std::clamp(std::floor(px), -2e9, 2e9));
        ws->mouseY = int32_t(std::clamp(std::floor(py), -2e9, 2e9));
      }
      return -1;
    }
    if (message == kWmHScroll || message == kWmVScroll) {
      const Layout l = view::computeLayout(inst.image, st.view);
      scrollBy(st.view, message == kWmVScroll, int(wParam & 0xFFFF), int((wParam >> 16) & 0xFFFF),
               l);
      return 0;
    }
    return -1;
  });
}

// ---- view properties ----

int16_t CV_GetAutoSize(CV_HANDLE h) {
  return withView(h, [](Instance&, OpsState& s) { return s.view.autoSize; });
}
void CV_SetAutoSize(CV_HANDLE h, int16_t mode) {
  if (OpsState* s = opsStateFor(h))
    setChecked(h, s->view.autoSize, mode,
               mode >= ISIZE_CropImageToControl && mode <= ISIZE_CropImage);
}
int16_t CV_GetScrollBars(CV_HANDLE h) {
  return withView(h, [](Instance&, OpsState& s) { return s.view.scrollBars; });
}
void CV_SetScrollBars(CV_HANDLE h, int16_t bars) {
  if (OpsState* s = opsStateFor(h)) {
    setChecked(h, s->view.scrollBars, bars, bars >= SB_None && bars <= SB_Both);
    view::computeLayout(instanceFor(h)->image, s->view);
  }
}
int16_t CV_GetScrollBarSmallChange(CV_HANDLE h) {
  return withView(h, [](Instance&, OpsState& s) { return s.view.smallChange; });
}
void CV_SetScrollBarSmallChange(CV_HANDLE h, int16_t value) {
  if (OpsState* s = opsStateFor(h)) setChecked(h, s->view.smallChange, value, value >= 1);
}
int16_t CV_GetScrollBarLargeChange(CV_HANDLE h) {
  return withView(h, [](Instance&, OpsState& s) { return s.view.largeChange; });
}
void CV_SetScrollBarLargeChange(CV_HANDLE h, int16_t value) {
  if (OpsState* s = opsStateFor(h)) setChecked(h, s->view.largeChange, value, value >= 0);
}
int32_t CV_GetScrollX(CV_HANDLE h) {
  return withView(h, [](Instance&, OpsState& s) { return s.view.scrollX; });
}
void CV_SetScrollX(CV_HANDLE h, int32_t x) {
  withView(h, [&](Instance& inst, OpsState& s) {
    s.view.scrollX = x;
    view::computeLayout(inst.image, s.view);  // clamps into range
    inst.error = 0;
    return 0;
  });
}
int32_t CV_GetScrollY(CV_HANDLE h) {
  return withView(h, [](Instance&, OpsState& s) { return s.view.scrollY; });
}
void CV_SetScrollY(CV_HANDLE h, int32_t y) {
  withView(h, [&](Instance& inst, OpsState& s) {
    s.view.scrollY = y;
    view::computeLayout(inst.image, s.view);
    inst.error = 0;
    return 0;
  });
}
int32_t CV_GetCropX(CV_HANDLE h) {
  return withView(h, [](Instance&, OpsState& s) { return s.view.cropX; });
}
void CV_SetCropX(CV_HANDLE h, int32_t x) {
  if (OpsState* s = opsStateFor(h)) setChecked(h, s->view.cropX, x, x >= 0);
}
int32_t CV_GetCropY(CV_HANDLE h) {
  return withView(h, [](Instance&, OpsState& s) { return s.view.cropY; });
}
void CV_SetCropY(CV_HANDLE h, int32_t y) {
  if (OpsState* s = opsStateFor(h)) setChecked(h, s->view.cropY, y, y >= 0);
}
void CV_Zoom(CV_HANDLE h, float factor) {
  withView(h, [&](Instance& inst, OpsState& s) {
    s.last.IPZoomF = factor;
    if (!(factor >= 0.01f && factor <= 100.0f)) {
      inst.error = CV_ERR_BAD_ARGUMENT;
      return 0;
    }
    // Keep the picture point at the middle of the window in the middle.
    const Layout before = view::computeLayout(inst.image, s.view);
    double cx, cy;
    before.toPicture(before.viewW / 2.0, before.viewH / 2.0, cx, cy);
    s.view.zoom = factor;
    const Layout after = view::computeLayout(inst.image, s.view);
    if (after.scaled && before.scaled) {
      s.view.scrollX = int32_t(std::lround((cx - after.originX) * factor - after.viewW / 2.0));
      s.view.scrollY = int32_t(std::lround((cy - after.originY) * factor - after.viewH / 2.0));
    } else {
      s.view.scrollX = s.view.scrollY = 0;
    }
    view::computeLayout(inst.image, s.view);
    inst.error = 0;
    return 0;
  });
}
int16_t CV_GetPalette(CV_HANDLE h) {
  return withView(h, [](Instance&, OpsState& s) { return s.view.palette; });
}
void CV_SetPalette(CV_HANDLE h, int16_t palette) {
  if (OpsState* s = opsStateFor(h))
    setChecked(h, s->view.palette, palette,
               palette >= IPAL_Optimized && palette <= IPAL_PalFileDither);
}
int16_t CV_GetShowDithered(CV_HANDLE h) {
  return withView(h, [](Instance&, OpsState& s) { return s.view.showDithered; });
}
void CV_SetShowDithered(CV_HANDLE h, int16_t dither) {
  if (OpsState* s = opsStateFor(h))
    setChecked(h, s->view.showDithered, dither, dither >= DI_Nearest && dither <= DI_Corvane);
}
int16_t CV_GetDisplayMode(CV_HANDLE h) {
  return withView(h, [](Instance&, OpsState& s) { return s.view.displayMode; });
}
void CV_SetDisplayMode(CV_HANDLE h, int16_t mode) {
  if (OpsState* s = opsStateFor(h))
    setChecked(h, s->view.displayMode, mode, mode >= DM_TrueColor && mode <= DM_VGAColor);
}
int16_t CV_GetManagePalette(CV_HANDLE h) {
  return withView(h, [](Instance&, OpsState& s) { return int16_t(s.view.managePalette ? -1 : 0); });
}
void CV_SetManagePalette(CV_HANDLE h, int16_t on) {
  if (OpsState* s = opsStateFor(h)) setChecked(h, s->view.managePalette, on != 0, true);
}
int16_t CV_GetAntialias(CV_HANDLE h) {
  return withView(h, [](Instance&, OpsState& s) { return s.view.antialias; });
}
void CV_SetAntialias(CV_HANDLE h, int16_t mode) {
  if (OpsState* s = opsStateFor(h))
    setChecked(h, s->view.antialias, mode,
               CV_IsNamedValue(CV_AntialiasNames, CV_NAMES_COUNT(CV_AntialiasNames), mode) != 0);
}

void CV_SetPFileName(CV_HANDLE h, const char* fileName) {
  withView(h, [&](Instance& inst, OpsState& s) {
    s.view.pfileName = fileName ? fileName : "";
    s.view.filePalette.clear();
    inst.error = 0;
    if (!s.view.pfileName.empty() && !readPaletteFile(s.view.pfileName, s.view.filePalette))
      inst.error = CV_ERR_BAD_ARGUMENT;
    return 0;
  });
}

int32_t CV_GetPFileName(CV_HANDLE h, char* buf, int32_t size) {
  return withView(h, [&](Instance&, OpsState& s) -> int32_t {
    const std::string& v = s.view.pfileName;
    if (buf && size > 0) {
      const size_t n = std::min(v.size(), size_t(size - 1));
      std::memcpy(buf, v.data(), n);
      buf[n] = '\0';
    }
    return int32_t(v.size());
  });
}

// ---- rubber band ----

void CV_RubberBand(CV_HANDLE h, int16_t on, int32_t x, int32_t y, int16_t negate) {
  withView(h, [&](Instance& inst, OpsState& s) {
    s.band = RubberBand{};
    inst.error = 0;
    if (!on) return 0;
    if (inst.image.empty()) {
      inst.error = CV_ERR_NO_IMAGE;
      return 0;
    }
    s.band.active = true;
    s.band.negate = negate != 0;
    pictureAt(inst, s, x, y, s.band.ax, s.band.ay);
    s.band.bx = s.band.ax;
    s.band.by = s.band.ay;
    return 0;
  });
}

void CV_RubberbandUpdate(CV_HANDLE h, int32_t x, int32_t y) {
  withView(h, [&](Instance& inst, OpsState& s) {
    if (!s.band.active) {
      inst.error = CV_ERR_NO_SELECTION;
      return 0;
    }
    pictureAt(inst, s, x, y, s.band.bx, s.band.by);
    inst.error = 0;
    return 0;
  });
}

int32_t CV_GetRubberBandL(CV_HANDLE h) {
  return withView(h, [](Instance& i, OpsState& s) { return bandEdge(s, i.image, false, false); });
}
int32_t CV_GetRubberBandT(CV_HANDLE h) {
  return withView(h, [](Instance& i, OpsState& s) { return bandEdge(s, i.image, true, false); });
}
int32_t CV_GetRubberBandW(CV_HANDLE h) {
  return withView(h, [](Instance& i, OpsState& s) { return bandEdge(s, i.image, false, true); });
}
int32_t CV_GetRubberBandH(CV_HANDLE h) {
  return withView(h, [](Instance& i, OpsState& s) { return bandEdge(s, i.image, true, true); });
}

}  // extern "C"

namespace rastcore::ops {

// The selected part of the picture, for CopyRubberbandDib; fails without a selection.
Image rubberbandImage(CV_HANDLE h) {
  Instance* inst = instanceFor(h);
  OpsState* st = opsStateFor(h);
  if (!inst || !st) fail(CV_ERR_BAD_INSTANCE);
  if (inst->image.empty()) fail(CV_ERR_NO_IMAGE);
  const int32_t l = bandEdge(*st, inst->image, false, false),
                t = bandEdge(*st, inst->image, true, false);
  const int32_t w = bandEdge(*st, inst->image, false, true),
                hh = bandEdge(*st, inst->image, true, true);
  if (!st->band.active || w <= 0 || hh <= 0) fail(CV_ERR_NO_SELECTION);
  return crop(inst->image, l, t, w, hh);
}

}  // namespace rastcore::ops
