// Drawing on the picture. Every shape becomes two coverage masks over its bounding box, the
// fill and the pen, so each pixel is combined with the pen or the fill exactly once (raster
// operations such as XOR would otherwise cancel where thick strokes overlap).
#include <algorithm>
#include <cmath>
#include <vector>

#include "ops/ops_state.h"
#include "ops/pixel.h"
#include "rastcore3_names.h"
#include "rastcore3_ops.h"
#include "region/region.h"

using namespace rastcore;
using namespace rastcore::ops;

namespace {

struct Pt {
  double x, y;
};

struct Canvas {
  int x0 = 0, y0 = 0, w = 0, h = 0;  // bounding box clipped to the picture
  std::vector<uint8_t> fill, pen;
  bool inside(int x, int y) const { return x >= x0 && y >= y0 && x < x0 + w && y < y0 + h; }
  size_t at(int x, int y) const { return size_t(y - y0) * size_t(w) + size_t(x - x0); }
};

Canvas canvasFor(const Image& img, const std::vector<Pt>& pts, int penWidth) {
  double l = 1e18, t = 1e18, r = -1e18, b = -1e18;
  for (const Pt& p : pts) {
    l = std::min(l, p.x), t = std::min(t, p.y), r = std::max(r, p.x), b = std::max(b, p.y);
  }
  const int pad = penWidth / 2 + 2;
  Canvas c;
  c.x0 = std::clamp(int(std::floor(l)) - pad, 0, img.width);
  c.y0 = std::clamp(int(std::floor(t)) - pad, 0, img.height);
  const int x1 = std::clamp(int(std::ceil(r)) + pad + 1, 0, img.width);
  const int y1 = std::clamp(int(std::ceil(b)) + pad + 1, 0, img.height);
  c.w = std::max(0, x1 - c.x0);
  c.h = std::max(0, y1 - c.y0);
  c.fill.assign(size_t(c.w) * size_t(c.h), 0);
  c.pen.assign(size_t(c.w) * size_t(c.h), 0);
  return c;
}

// Even-odd scanline fill through pixel centres.
void fillPolygon(Canvas& c, const std::vector<Pt>& pts) {
  if (pts.size() < 3) return;
  std::vector<double> xs;
  for (int y = c.y0; y < c.y0 + c.h; ++y) {
    const double cy = y + 0.5;
    xs.clear();
    for (size_t i = 0; i < pts.size(); ++i) {
      const Pt a = pts[i], b = pts[(i + 1) % pts.size()];
      if ((a.y <= cy) != (b.y <= cy)) xs.push_back(a.x + (cy - a.y) * (b.x - a.x) / (b.y - a.y));
    }
    std::sort(xs.begin(), xs.end());
    for (size_t i = 0; i + 1 < xs.size(); i += 2) {
      const int from = std::max(c.x0, int(std::ceil(xs[i] - 0.5)));
      const int to = std::min(c.x0 + c.w - 1, int(std::ceil(xs[i + 1] - 0.5)) - 1);
      for (int x = from; x <= to; ++x) c.fill[c.at(x, y)] = 1;
    }
  }
}

// On/off lengths of the line styles, in pixels along the line.
std::vector<int> dashPattern(int style) {
  switch (style) {
    case DS_Dash:
      return {18, 6};
    case DS_Dot:
      return {3, 3};
    case DS_DashDot:
      return {9, 6, 3, 6};
    case DS_DashDotDot:
      return {9, 3, 3, 3, 3, 3};
    default:
      return {};
  }
}

void stamp(Canvas& c, int x, int y, int width) {
  const int r = (width - 1) / 2, r2 = width / 2;
  for (int dy = -r; dy <= r2; ++dy)
    for (int dx = -r; dx <= r2; ++dx) {
      if (width > 2 && dx * dx + dy * dy > (width * width) / 4 + 1) continue;
      if (c.inside(x + dx, y + dy)) c.pen[c.at(x + dx, y + dy)] = 1;
    }
}

void strokePath(Canvas& c, const std::vector<Pt>& pts, bool closed, int width, int style) {
  if (style == DS_Transparent || pts.empty()) return;
  const std::vector<int> pattern = dashPattern(style);
  int period = 0;
  for (int v : pattern) period += v;
  long along = 0;
  auto on = [&] {
    if (pattern.empty()) return true;
    long p = along % period;
    for (size_t i = 0; i < pattern.size(); ++i) {
      if (p < pattern[i]) return i % 2 == 0;
      p -= pattern[i];
    }
    return true;
  };
  const size_t segments = closed ? pts.size() : pts.size() - 1;
  if (pts.size() == 1) stamp(c, int(std::floor(pts[0].x)), int(std::floor(pts[0].y)), width);
  for (size_t i = 0; i < segments; ++i) {
    int x0 = int(std::floor(pts[i].x)), y0 = int(std::floor(pts[i].y));
    const Pt e = pts[(i + 1) % pts.size()];
    const int x1 = int(std::floor(e.x)), y1 = int(std::floor(e.y));
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
      if (on()) stamp(c, x0, y0, width);
      if (x0 == x1 && y0 == y1) break;
      ++along;
      const int e2 = 2 * err;
      if (e2 >= dy) {
        err += dy;
        x0 += sx;
      }
      if (e2 <= dx) {
        err += dx;
        y0 += sy;
      }
    }
  }
}

bool hatchOn(int style, int x, int y) {
  switch (style) {
    case FS_Solid:
      return true;
    case FS_HorizontalLine:
      return y % 8 == 0;
    case FS_VerticalLine:
      return x % 8 == 0;
    case FS_UpwardDiagonal:
      return (x + y) % 8 == 0;
    case FS_DownwardDiagonal:
      return ((x - y) % 8 + 8) % 8 == 0;
    case FS_Cross:
      return x % 8 == 0 || y % 8 == 0;
    case FS_DiagonalCross:
      return (x + y) % 8 == 0 || ((x - y) % 8 + 8) % 8 == 0;
    default:
      return false;
  }
}

inline uint32_t rop(int mode, uint32_t d, uint32_t p, uint32_t mask) {
  uint32_t r;
  switch (mode) {
    case DM_Blackness:
      r = 0;
      break;
    case DM_NotMergePen:
      r = ~(d | p);
      break;
    case DM_MaskNotPen:
      r = d & ~p;
      break;
    case DM_NotCopyPen:
      r = ~p;
      break;
    case DM_MaskPenNot:
      r = p & ~d;
      break;
    case DM_Invert:
      r = ~d;
      break;
    case DM_XorPen:
      r = d ^ p;
      break;
    case DM_NotMaskPen:
      r = ~(d & p);
      break;
    case DM_MaskPen:
      r = d & p;
      break;
    case DM_NotXorPen:
      r = ~(d ^ p);
      break;
    case DM_Nop:
      r = d;
      break;
    case DM_MergeNotPen:
      r = d | ~p;
      break;
    case DM_MergePenNot:
      r = p | ~d;
      break;
    case DM_MergePen:
      r = d | p;
      break;
    case DM_Whiteness:
      r = ~0u;
      break;
    default:
      r = p;
      break;  // DM_CopyPen
  }
  return r & mask;
}

// Combines pen and fill into the picture under the draw mode; with clip, only inside it.
void apply(Image& img, const Canvas& c, uint32_t penOle, const DrawState& ds,
           const region::Mask* clip) {
  const Rgbq pen = oleToRgbq(penOle), fill = oleToRgbq(ds.fillColor);
  const bool indexed = img.bpp <= 8;
  const uint32_t penIdx = indexed ? uint32_t(nearestIndex(img.palette, pen)) : 0;
  const uint32_t fillIdx = indexed ? uint32_t(nearestIndex(img.palette, fill)) : 0;
  const uint32_t mask = indexed ? (1u << img.bpp) - 1 : 0xFFFFFFu;
  const uint32_t penRgb = uint32_t(pen.b) | uint32_t(pen.g) << 8 | uint32_t(pen.r) << 16;
  const uint32_t fillRgb = uint32_t(fill.b) | uint32_t(fill.g) << 8 | uint32_t(fill.r) << 16;
  for (int y = c.y0; y < c.y0 + c.h; ++y) {
    uint8_t* row = img.row(y);
    for (int x = c.x0; x < c.x0 + c.w; ++x) {
      const size_t i = c.at(x, y);
      if (clip && !clip->contains(x, y)) continue;
      const bool usePen = c.pen[i];
      if (!usePen && !(c.fill[i] && ds.fillStyle != FS_Transparent && hatchOn(ds.fillStyle, x, y)))
        continue;
      if (indexed) {
        const int shift = img.bpp == 8 ? 0 : img.bpp == 4 ? ((x & 1) ? 0 : 4) : 7 - (x & 7);
        uint8_t& byte = img.bpp == 8 ? row[x] : img.bpp == 4 ? row[x >> 1] : row[x >> 3];
        const uint32_t d = (byte >> shift) & mask;
        const uint32_t v = rop(ds.mode, d, usePen ? penIdx : fillIdx, mask);
        byte = uint8_t((byte & ~(mask << shift)) | (v << shift));
      } else {
        uint8_t* p = row + size_t(x) * (img.bpp / 8);
        const uint32_t d = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
        const uint32_t v = rop(ds.mode, d, usePen ? penRgb : fillRgb, mask);
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
        p[2] = uint8_t(v >> 16);
      }
    }
  }
}

bool coordsValid(std::initializer_list<int64_t> values) {
  for (int64_t v : values)
    if (v < -1000000 || v > 1000000) return false;
  return true;
}

// Draws the outline (closed or open) and, when fillable, the inside of pts.
void drawShape(CV_HANDLE h, std::vector<Pt> pts, bool closed, bool fillable, uint32_t color) {
  runInPlace(h, [&](Image& img, OpsState& st) {
    const DrawState& ds = st.draw;
    Canvas c = canvasFor(img, pts, ds.width);
    if (c.w == 0 || c.h == 0) return;
    if (fillable && ds.fillStyle != FS_Transparent) fillPolygon(c, pts);
    strokePath(c, pts, closed, ds.width, ds.style);
    apply(img, c, color, ds, region::drawClip(h));
  });
}

std::vector<Pt> ellipsePoints(double cx, double cy, double rx, double ry, double a0, double a1) {
  // Counter-clockwise on screen from a0 to a1 (radians, y up as seen).
  while (a1 <= a0) a1 += 2 * M_PI;
  const int n = std::max(8, int(std::ceil((a1 - a0) * std::max(rx, ry) / 2)));
  std::vector<Pt> pts;
  for (int i = 0; i <= n; ++i) {
    const double a = a0 + (a1 - a0) * i / n;
    pts.push_back({cx + rx * std::cos(a), cy - ry * std::sin(a)});
  }
  return pts;
}

void arcOrPie(CV_HANDLE h, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
              int32_t x4, int32_t y4, uint32_t color, bool pie) {
  if (!coordsValid({x1, y1, x2, y2, x3, y3, x4, y4}) || x1 == x2 || y1 == y2) {
    if (Instance* i = instanceFor(h)) i->error = CV_ERR_BAD_ARGUMENT;
    return;
  }
  const double cx = (x1 + x2) / 2.0, cy = (y1 + y2) / 2.0;
  const double rx = std::abs(x2 - x1) / 2.0, ry = std::abs(y2 - y1) / 2.0;
  const double a0 = std::atan2(-(y3 - cy), x3 - cx), a1 = std::atan2(-(y4 - cy), x4 - cx);
  std::vector<Pt> pts = ellipsePoints(cx, cy, rx, ry, a0, a1);
  if (pie) pts.push_back({cx, cy});
  drawShape(h, pts, pie, pie, color);
}

template <typename T>
void setDrawProp(CV_HANDLE h, T DrawState::*field, T value, bool valid) {
  OpsState* st = opsStateFor(h);
  Instance* inst = instanceFor(h);
  if (!st || !inst) return;
  if (valid) st->draw.*field = value;
  inst->error = valid ? 0 : CV_ERR_BAD_ARGUMENT;
}

template <typename T>
T getDrawProp(CV_HANDLE h, T DrawState::*field) {
  OpsState* st = opsStateFor(h);
  return st ? st->draw.*field : T{};
}

// The engine's own 5 x 7 font for printable ASCII, one byte per row, bit 4 the leftmost column.
// Each glyph takes a 6 x 8 cell, so characters and lines keep one column and one row apart.
constexpr uint8_t kFont[95][7] = {
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},  // ' '
    {0x04, 0x04, 0x04, 0x04, 0x04, 0x00, 0x04},  // '!'
    {0x0A, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00},  // '"'
    {0x0A, 0x1F, 0x0A, 0x0A, 0x0A, 0x1F, 0x0A},  // '#'
    {0x04, 0x0F, 0x14, 0x0E, 0x05, 0x1E, 0x04},  // '$'
    {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03},  // '%'
    {0x0C, 0x12, 0x14, 0x08, 0x15, 0x12, 0x0D},  // '&'
    {0x04, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00},  // "'"
    {0x02, 0x04, 0x08, 0x08, 0x08, 0x04, 0x02},  // '('
    {0x08, 0x04, 0x02, 0x02, 0x02, 0x04, 0x08},  // ')'
    {0x00, 0x04, 0x15, 0x0E, 0x15, 0x04, 0x00},  // '*'
    {0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00},  // '+'
    {0x00, 0x00, 0x00, 0x00, 0x0C, 0x04, 0x08},  // ','
    {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00},  // '-'
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C},  // '.'
    {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00},  // '/'
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},  // '0'
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},  // '1'
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},  // '2'
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},  // '3'
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},  // '4'
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},  // '5'
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},  // '6'
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},  // '7'
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},  // '8'
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},  // '9'
    {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00},  // ':'
    {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x04, 0x08},  // ';'
    {0x02, 0x04, 0x08, 0x10, 0x08, 0x04, 0x02},  // '<'
    {0x00, 0x00, 0x1F, 0x00, 0x1F, 0x00, 0x00},  // '='
    {0x08, 0x04, 0x02, 0x01, 0x02, 0x04, 0x08},  // '>'
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04},  // '?'
    {0x0E, 0x11, 0x01, 0x0D, 0x15, 0x15, 0x0E},  // '@'
    {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},  // 'A'
    {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E},  // 'B'
    {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E},  // 'C'
    {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C},  // 'D'
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F},  // 'E'
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10},  // 'F'
    {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F},  // 'G'
    {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},  // 'H'
    {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E},  // 'I'
    {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C},  // 'J'
    {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11},  // 'K'
    {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F},  // 'L'
    {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11},  // 'M'
    {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11},  // 'N'
    {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E},  // 'O'
    {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10},  // 'P'
    {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D},  // 'Q'
    {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11},  // 'R'
    {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E},  // 'S'
    {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04},  // 'T'
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E},  // 'U'
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04},  // 'V'
    {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A},  // 'W'
    {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11},  // 'X'
    {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04},  // 'Y'
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F},  // 'Z'
    {0x0E, 0x08, 0x08, 0x08, 0x08, 0x08, 0x0E},  // '['
    {0x00, 0x10, 0x08, 0x04, 0x02, 0x01, 0x00},  // '\\'
    {0x0E, 0x02, 0x02, 0x02, 0x02, 0x02, 0x0E},  // ']'
    {0x04, 0x0A, 0x11, 0x00, 0x00, 0x00, 0x00},  // '^'
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F},  // '_'
    {0x08, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00},  // '`'
    {0x00, 0x00, 0x0E, 0x01, 0x0F, 0x11, 0x0F},  // 'a'
    {0x10, 0x10, 0x16, 0x19, 0x11, 0x11, 0x1E},  // 'b'
    {0x00, 0x00, 0x0E, 0x10, 0x10, 0x11, 0x0E},  // 'c'
    {0x01, 0x01, 0x0D, 0x13, 0x11, 0x11, 0x0F},  // 'd'
    {0x00, 0x00, 0x0E, 0x11, 0x1F, 0x10, 0x0E},  // 'e'
    {0x06, 0x09, 0x08, 0x1C, 0x08, 0x08, 0x08},  // 'f'
    {0x00, 0x0F, 0x11, 0x11, 0x0F, 0x01, 0x0E},  // 'g'
    {0x10, 0x10, 0x16, 0x19, 0x11, 0x11, 0x11},  // 'h'
    {0x04, 0x00, 0x0C, 0x04, 0x04, 0x04, 0x0E},  // 'i'
    {0x02, 0x00, 0x06, 0x02, 0x02, 0x12, 0x0C},  // 'j'
    {0x10, 0x10, 0x12, 0x14, 0x18, 0x14, 0x12},  // 'k'
    {0x0C, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E},  // 'l'
    {0x00, 0x00, 0x1A, 0x15, 0x15, 0x11, 0x11},  // 'm'
    {0x00, 0x00, 0x16, 0x19, 0x11, 0x11, 0x11},  // 'n'
    {0x00, 0x00, 0x0E, 0x11, 0x11, 0x11, 0x0E},  // 'o'
    {0x00, 0x00, 0x1E, 0x11, 0x1E, 0x10, 0x10},  // 'p'
    {0x00, 0x00, 0x0D, 0x13, 0x0F, 0x01, 0x01},  // 'q'
    {0x00, 0x00, 0x16, 0x19, 0x10, 0x10, 0x10},  // 'r'
    {0x00, 0x00, 0x0E, 0x10, 0x0E, 0x01, 0x1E},  // 's'
    {0x08, 0x08, 0x1C, 0x08, 0x08, 0x09, 0x06},  // 't'
    {0x00, 0x00, 0x11, 0x11, 0x11, 0x13, 0x0D},  // 'u'
    {0x00, 0x00, 0x11, 0x11, 0x11, 0x0A, 0x04},  // 'v'
    {0x00, 0x00, 0x11, 0x11, 0x15, 0x15, 0x0A},  // 'w'
    {0x00, 0x00, 0x11, 0x0A, 0x04, 0x0A, 0x11},  // 'x'
    {0x00, 0x00, 0x11, 0x11, 0x0F, 0x01, 0x0E},  // 'y'
    {0x00, 0x00, 0x1F, 0x02, 0x04, 0x08, 0x1F},  // 'z'
    {0x02, 0x04, 0x04, 0x08, 0x04, 0x04, 0x02},  // '{'
    {0x04, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04},  // '|'
    {0x08, 0x04, 0x04, 0x02, 0x04, 0x04, 0x08},  // '}'
    {0x00, 0x00, 0x08, 0x15, 0x02, 0x00, 0x00},  // '~'

};

void badArgument(CV_HANDLE h) {
  if (Instance* i = instanceFor(h)) i->error = CV_ERR_BAD_ARGUMENT;
}

}  // namespace

extern "C" {

uint32_t CV_GetDrawFillColor(CV_HANDLE h) {
  return getDrawProp(h, &DrawState::fillColor);
}
void CV_SetDrawFillColor(CV_HANDLE h, uint32_t color) {
  setDrawProp(h, &DrawState::fillColor, color, true);
}
int16_t CV_GetDrawFillStyle(CV_HANDLE h) {
  return getDrawProp(h, &DrawState::fillStyle);
}
void CV_SetDrawFillStyle(CV_HANDLE h, int16_t style) {
  setDrawProp(h, &DrawState::fillStyle, style,
              CV_IsNamedValue(CV_DrawFillStyleNames, CV_NAMES_COUNT(CV_DrawFillStyleNames), style));
}
int16_t CV_GetDrawMode(CV_HANDLE h) {
  return getDrawProp(h, &DrawState::mode);
}
void CV_SetDrawMode(CV_HANDLE h, int16_t mode) {
  setDrawProp(h, &DrawState::mode, mode,
              CV_IsNamedValue(CV_DrawModeNames, CV_NAMES_COUNT(CV_DrawModeNames), mode));
}
int16_t CV_GetDrawStyle(CV_HANDLE h) {
  return getDrawProp(h, &DrawState::style);
}
void CV_SetDrawStyle(CV_HANDLE h, int16_t style) {
  setDrawProp(h, &DrawState::style, style,
              CV_IsNamedValue(CV_DrawStyleNames, CV_NAMES_COUNT(CV_DrawStyleNames), style));
}
int16_t CV_GetDrawWidth(CV_HANDLE h) {
  return getDrawProp(h, &DrawState::width);
}
void CV_SetDrawWidth(CV_HANDLE h, int16_t width) {
  setDrawProp(h, &DrawState::width, width, width >= 1 && width <= 100);
}

void CV_DrawLine(CV_HANDLE h, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color) {
  if (!coordsValid({x1, y1, x2, y2})) return badArgument(h);
  drawShape(h, {{x1 + 0.5, y1 + 0.5}, {x2 + 0.5, y2 + 0.5}}, false, false, color);
}

void CV_DrawCircle(CV_HANDLE h, int32_t cx, int32_t cy, int32_t radius, uint32_t color) {
  if (!coordsValid({cx, cy, radius}) || radius < 0) return badArgument(h);
  std::vector<Pt> pts = ellipsePoints(cx + 0.5, cy + 0.5, radius, radius, 0, 2 * M_PI);
  pts.pop_back();
  drawShape(h, pts, true, true, color);
}

void CV_DrawArc(CV_HANDLE h, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                int32_t x4, int32_t y4, uint32_t color) {
  arcOrPie(h, x1, y1, x2, y2, x3, y3, x4, y4, color, false);
}

void CV_DrawPie(CV_HANDLE h, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                int32_t x4, int32_t y4, uint32_t color) {
  arcOrPie(h, x1, y1, x2, y2, x3, y3, x4, y4, color, true);
}

void CV_DrawCurve(CV_HANDLE h, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3,
                  int32_t y3, int32_t x4, int32_t y4, uint32_t color) {
  if (!coordsValid({x1, y1, x2, y2, x3, y3, x4, y4})) return badArgument(h);
  const Pt p[4] = {
      {x1 + 0.5, y1 + 0.5}, {x2 + 0.5, y2 + 0.5}, {x3 + 0.5, y3 + 0.5}, {x4 + 0.5, y4 + 0.5}};
  const double len = std::hypot(p[1].x - p[0].x, p[1].y - p[0].y) +
                     std::hypot(p[2].x - p[1].x, p[2].y - p[1].y) +
                     std::hypot(p[3].x - p[2].x, p[3].y - p[2].y);
  const int n = std::clamp(int(len / 2), 8, 4096);
  std::vector<Pt> pts;
  for (int i = 0; i <= n; ++i) {
    const double t = double(i) / n, u = 1 - t;
    const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    pts.push_back({a * p[0].x + b * p[1].x + c * p[2].x + d * p[3].x,
                   a * p[0].y + b * p[1].y + c * p[2].y + d * p[3].y});
  }
  drawShape(h, pts, false, false, color);
}

void CV_DrawRoundRect(CV_HANDLE h, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                      int32_t cornerWidth, int32_t cornerHeight, uint32_t color) {
  if (!coordsValid({x1, y1, x2, y2, cornerWidth, cornerHeight}) || cornerWidth < 0 ||
      cornerHeight < 0)
    return badArgument(h);
  const double l = std::min(x1, x2) + 0.5, r = std::max(x1, x2) - 0.5;
  const double t = std::min(y1, y2) + 0.5, b = std::max(y1, y2) - 0.5;
  const double rx = std::min(cornerWidth / 2.0, (r - l) / 2),
               ry = std::min(cornerHeight / 2.0, (b - t) / 2);
  std::vector<Pt> pts;
  auto corner = [&](double cx, double cy, double a0) {
    const auto q = ellipsePoints(cx, cy, rx, ry, a0, a0 + M_PI / 2);
    pts.insert(pts.end(), q.begin(), q.end());
  };
  corner(r - rx, t + ry, 0);
  corner(l + rx, t + ry, M_PI / 2);
  corner(l + rx, b - ry, M_PI);
  corner(r - rx, b - ry, 3 * M_PI / 2);
  drawShape(h, pts, true, true, color);
}

void CV_DrawPolygon(CV_HANDLE h, const int32_t* xy, int32_t count, uint32_t color) {
  if (!xy || count < 2 || count > 4096) return badArgument(h);
  std::vector<Pt> pts;
  for (int32_t i = 0; i < count; ++i) {
    if (!coordsValid({xy[2 * i], xy[2 * i + 1]})) return badArgument(h);
    pts.push_back({xy[2 * i] + 0.5, xy[2 * i + 1] + 0.5});
  }
  drawShape(h, pts, true, true, color);
}

void CV_DrawText(CV_HANDLE h, int32_t x, int32_t y, const char* text, uint32_t color) {
  if (!text || !coordsValid({x, y})) return badArgument(h);
  runInPlace(h, [&](Image& img, OpsState& st) {
    const DrawState& ds = st.draw;
    const int scale = ds.width;
    // Bounding box of all lines, so the canvas covers the text.
    int cols = 0, lines = 1, col = 0;
    for (const char* p = text; *p; ++p) {
      if (*p == '\n') {
        ++lines;
        col = 0;
      } else {
        cols = std::max(cols, ++col);
      }
    }
    const std::vector<Pt> box = {{double(x), double(y)},
                                 {double(x) + 6.0 * scale * cols, double(y) + 8.0 * scale * lines}};
    Canvas c = canvasFor(img, box, 1);
    if (c.w == 0 || c.h == 0) return;
    int cx = x, cy = y;
    for (const char* p = text; *p; ++p) {
      if (*p == '\n') {
        cx = x;
        cy += 8 * scale;
        continue;
      }
      const unsigned char ch = static_cast<unsigned char>(*p);
      const uint8_t* glyph = kFont[(ch >= 32 && ch < 127) ? ch - 32 : '?' - 32];
      for (int row = 0; row < 7; ++row)
        for (int bit = 0; bit < 5; ++bit) {
          if (!(glyph[row] & (0x10 >> bit))) continue;
          for (int dy = 0; dy < scale; ++dy)
            for (int dx = 0; dx < scale; ++dx) {
              const int px = cx + bit * scale + dx, py = cy + row * scale + dy;
              if (c.inside(px, py)) c.pen[c.at(px, py)] = 1;
            }
        }
      cx += 6 * scale;
    }
    apply(img, c, color, ds, region::drawClip(h));
  });
}

}  // extern "C"
