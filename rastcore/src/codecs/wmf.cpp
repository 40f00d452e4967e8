// Windows metafiles. Reading plays a metafile onto a white picture: a placeable file's bounding
// box at 96 dots per inch, a plain file's window (one logical unit a pixel, at most 2048 pixels
// on the longer side). Device-independent bitmap records (StretchDIB, DIBStretchBlt,
// DIBBitBlt) and the common drawing records (pens with their widths, brushes, MoveTo/LineTo,
// Rectangle, RoundRect, Ellipse, Polygon, PolyPolygon, Polyline, Arc, Pie, Chord), clipping
// (IntersectClipRect, ExcludeClipRect), SaveDC and RestoreDC, and text (TextOut, ExtTextOut in
// the selected font at its escapement, through the system's fonts) are played; other records
// are skipped. Writing stores the picture as a placeable metafile holding one StretchDIB
// record.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "fileformat/bytes.h"
#include "fileformat/checked.h"
#include "fileformat/codec.h"
#include "fileformat/dib.h"
#include "fileformat/fonts.h"

namespace rastcore {
namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr int kMaxObjects = 1024;
enum : uint16_t {
  kEof = 0x0000,
  kSetWindowOrg = 0x020B,
  kSetWindowExt = 0x020C,
  kMoveTo = 0x0214,
  kLineTo = 0x0213,
  kRectangle = 0x041B,
  kRoundRect = 0x061C,
  kEllipse = 0x0418,
  kPolygon = 0x0324,
  kPolyline = 0x0325,
  kPolyPolygon = 0x0538,
  kArc = 0x0817,
  kPie = 0x081A,
  kChord = 0x0830,
  kIntersectClipRect = 0x0416,
  kExcludeClipRect = 0x0415,
  kSaveDc = 0x001E,
  kRestoreDc = 0x0127,
  kCreateFont = 0x02FB,
  kSetTextColor = 0x0209,
  kSetTextAlign = 0x012E,
  kTextOut = 0x0521,
  kExtTextOut = 0x0A32,
  kCreatePen = 0x02FA,
  kCreateBrush = 0x02FC,
  kSelectObject = 0x012D,
  kDeleteObject = 0x01F0,
  kStretchDib = 0x0F43,
  kDibStretchBlt = 0x0B41,
  kDibBitBlt = 0x0940,
};

struct GdiObject {
  enum Kind { None, Pen, Brush, Font, Other } kind = None;
  GdiObject() = default;
  GdiObject(Kind k, bool v, uint32_t c, int w) : kind(k), visible(v), color(c), width(w) {}
  bool visible = true;                // PS_NULL pens and BS_NULL brushes draw nothing
  uint32_t color = 0;                 // 0x00BBGGRR
  int width = 0;                      // pens, in logical units (0: one pixel); fonts: the height
  bool bold = false, italic = false;  // fonts
  int escapement = 0;                 // fonts: the baseline's angle in tenths of a degree
  std::string face;
};

constexpr int kMaxPenPixels = 256;
constexpr int64_t kMaxPlainSide = 2048;
// Beyond these a file is hostile rather than drawn: further excluded rectangles and saved
// states are ignored.
constexpr size_t kMaxExcluded = 256, kMaxSaved = 1024;

// The part of a box (inclusive corners) on the picture; empty when right < left.
struct Box {
  int left, top, right, bottom;
  bool empty() const { return right < left || bottom < top; }
  int64_t area() const { return empty() ? 0 : int64_t(right - left + 1) * (bottom - top + 1); }
  bool contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

// What SaveDC keeps and RestoreDC brings back: the mapping, the selected objects, the
// position, the clipping and the text settings.
struct DcState {
  double orgX = 0, orgY = 0, extX = 1, extY = 1;
  double scaleX = 1, scaleY = 1;  // picture pixels per logical unit
  GdiObject pen{GdiObject::Pen, true, 0, 0}, brush{GdiObject::Brush, true, 0xFFFFFF, 0};
  int curX = 0, curY = 0;
  int clipLeft = 0, clipTop = 0, clipRight = INT32_MAX, clipBottom = INT32_MAX;
  std::vector<Box> excluded;  // ExcludeClipRect's holes in the clip rectangle
  GdiObject font{GdiObject::Font, true, 0, 12};
  uint32_t textColor = 0;
  uint16_t textAlign = 0;
};

struct Player : DcState {
  explicit Player(Image& image) : img(image) {}
  Image& img;
  std::vector<GdiObject> objects;
  std::vector<DcState> saved;
  // Playing is done twice: first only counting (no pixels), then drawing. `work` counts every
  // point a line plots and every pixel a fill or bitmap covers, on the picture or off it, so
  // a small hostile file of many large fills or endless off-picture edges is refused before
  // any picture memory is taken; `landed` tells whether anything reached the picture at all.
  bool counting = false;
  bool landed = false;
  int64_t work = 0;

  // Picture coordinates, kept within int range whatever the mapping.
  static int toInt(double v) { return int(std::lround(std::clamp(v, -268435456.0, 268435456.0))); }
  int px(double x) const { return toInt((x - orgX) * scaleX); }
  int py(double y) const { return toInt((y - orgY) * scaleY); }

  Box clip(int l, int t, int r, int b) const {
    return {std::max(std::min(l, r), std::max(clipLeft, 0)),
            std::max(std::min(t, b), std::max(clipTop, 0)),
            std::min(std::max(l, r), std::min(clipRight, img.width - 1)),
            std::min(std::max(t, b), std::min(clipBottom, img.height - 1))};
  }

  // The pen's width in pixels, from its logical width through the current mapping.
  int penPixels() const {
    const double w = std::abs(pen.width * scaleX);
    return std::clamp(int(std::lround(w)), 1, kMaxPenPixels);
  }

  bool visible(int x, int y) const {
    if (x < clipLeft || y < clipTop || x > clipRight || y > clipBottom) return false;
    if (x < 0 || y < 0 || x >= img.width || y >= img.height) return false;
    for (const Box& hole : excluded)
      if (hole.contains(x, y)) return false;
    return true;
  }
  // Counts pixels to draw, each dearer when many holes are checked for it.
  void charge(int64_t pixels) { work += pixels * (1 + int64_t(excluded.size()) / 8); }
  void plot(int x, int y, uint32_t c) {
    if (!visible(x, y)) return;
    uint8_t* p = img.row(y) + x * 3;
    p[0] = uint8_t(c >> 16), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c);
  }
  void line(int x0, int y0, int x1, int y1) {
    if (!pen.visible) return;
    const int thick = penPixels();
    const int lo = -(thick - 1) / 2, hi = thick / 2;
    charge((std::max(std::abs(int64_t(x1) - x0), std::abs(int64_t(y1) - y0)) + 1) * thick +
           int64_t(thick) * thick);
    if (clip(x0 + lo, y0 + lo, x1 + hi, y1 + hi).empty() &&
        clip(x0 + lo, y1 + lo, x1 + hi, y0 + hi).empty())
      return;
    landed = true;
    if (counting) return;
    // A wide pen covers a square of its width at every point of the line: the whole square at
    // the start, then at each step only the column and the row the square moves into, so a
    // line costs its length times the width, not times the width squared.
    const uint32_t c = pen.color;
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (int j = lo; j <= hi; ++j) span(y0 + j, x0 + lo, x0 + hi, c);
    while (x0 != x1 || y0 != y1) {
      const int e2 = 2 * err;
      const bool stepX = e2 >= dy, stepY = e2 <= dx;
      if (stepX) err += dy, x0 += sx;
      if (stepY) err += dx, y0 += sy;
      if (stepX)
        for (int j = lo; j <= hi; ++j) plot(x0 + (sx > 0 ? hi : lo), y0 + j, c);
      if (stepY) span(y0 + (sy > 0 ? hi : lo), x0 + lo, x0 + hi, c);
    }
  }
  void span(int y, int x0, int x1, uint32_t c) {
    if (y < std::max(0, clipTop) || y >= img.height || y > clipBottom) return;
    x0 = std::max({x0, 0, clipLeft}), x1 = std::min({x1, img.width - 1, clipRight});
    for (int x = x0; x <= x1; ++x) plot(x, y, c);
  }
  using Ring = std::vector<std::pair<int, int>>;
  // Even-odd scan-line fill of a polygon in picture pixels, then its outline.
  void polygon(const Ring& pts, bool closed, bool fill) { polygons({pts}, closed, fill); }
  // Several rings filled together (a ring inside another leaves a hole), then each outline.
  void polygons(const std::vector<Ring>& rings, bool closed, bool fill) {
    int l = INT32_MAX, t = INT32_MAX, r = INT32_MIN, b = INT32_MIN;
    size_t points = 0;
    for (const Ring& ring : rings)
      for (auto& p : ring)
        l = std::min(l, p.first), r = std::max(r, p.first), t = std::min(t, p.second),
        b = std::max(b, p.second), ++points;
    if (points == 0) return;
    if (fill && brush.visible && points >= 3) {
      const Box box = clip(l, t, r, b);
      charge(box.area());
      landed = landed || !box.empty();
      if (!counting && !box.empty()) fillPolygons(rings, box);
    }
    for (const Ring& pts : rings) {
      if (pts.empty()) continue;
      for (size_t i = 0; i + 1 < pts.size(); ++i)
        line(pts[i].first, pts[i].second, pts[i + 1].first, pts[i + 1].second);
      if (closed) line(pts.back().first, pts.back().second, pts[0].first, pts[0].second);
    }
  }
  void fillPolygons(const std::vector<Ring>& rings, const Box& box) {
    std::vector<int> xs;
    for (int y = box.top; y <= box.bottom; ++y) {
      xs.clear();
      for (const Ring& pts : rings)
        for (size_t i = 0; i < pts.size(); ++i) {
          auto [xa, ya] = pts[i];
          auto [xb, yb] = pts[(i + 1) % pts.size()];
          if ((ya <= y && yb > y) || (yb <= y && ya > y))
            xs.push_back(xa + int((int64_t(y) - ya) * (xb - xa) / (yb - ya)));
        }
      std::sort(xs.begin(), xs.end());
      for (size_t i = 0; i + 1 < xs.size(); i += 2) span(y, xs[i], xs[i + 1], brush.color);
    }
  }
  // Points of the ellipse in the box from the start point's angle to the end point's,
  // counter-clockwise on the screen as the format draws arcs; a full turn when they meet.
  Ring arcPoints(int l, int t, int r, int b, int xs, int ys, int xe, int ye) const {
    const double cx = (l + r) / 2.0, cy = (t + b) / 2.0;
    const double rx = std::abs(r - l) / 2.0, ry = std::abs(b - t) / 2.0;
    const double a0 = std::atan2(-(ys - cy), xs - cx);
    double a1 = std::atan2(-(ye - cy), xe - cx);
    while (a1 <= a0) a1 += 2 * M_PI;
    const int steps = std::max(2, int((a1 - a0) / (M_PI / 60)));
    Ring pts;
    for (int i = 0; i <= steps; ++i) {
      const double a = a0 + (a1 - a0) * i / steps;
      pts.emplace_back(int(std::lround(cx + rx * std::cos(a))),
                       int(std::lround(cy - ry * std::sin(a))));
    }
    return pts;
  }
  // A rectangle with its corners rounded by quarters of an ellipse of the given size.
  void roundRect(int l, int t, int r, int b, double cornerWidth, double cornerHeight) {
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    const double rx = std::min(cornerWidth, double(r - l)) / 2;
    const double ry = std::min(cornerHeight, double(b - t)) / 2;
    if (rx < 1 || ry < 1) return polygon({{l, t}, {r, t}, {r, b}, {l, b}}, true, true);
    const double centres[4][2] = {
        {r - rx, t + ry}, {l + rx, t + ry}, {l + rx, b - ry}, {r - rx, b - ry}};
    Ring pts;
    for (int corner = 0; corner < 4; ++corner)
      for (int i = 0; i <= 30; ++i) {
        const double a = (corner * 90 + i * 3) * M_PI / 180;
        pts.emplace_back(int(std::lround(centres[corner][0] + rx * std::cos(a))),
                         int(std::lround(centres[corner][1] - ry * std::sin(a))));
      }
    polygon(pts, true, true);
  }
  void ellipse(int l, int t, int r, int b) {
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    const double cx = (l + r) / 2.0, cy = (t + b) / 2.0, rx = (r - l) / 2.0, ry = (b - t) / 2.0;
    if (rx <= 0 || ry <= 0) return;
    std::vector<std::pair<int, int>> pts;
    for (int i = 0; i < 360; i += 3) {
      const double a = i * M_PI / 180;
      pts.emplace_back(int(std::lround(cx + rx * std::cos(a))),
                       int(std::lround(cy + ry * std::sin(a))));
    }
    polygon(pts, true, true);
  }
  void addObject(const GdiObject& o) {
    for (auto& slot : objects)
      if (slot.kind == GdiObject::None) {
        slot = o;
        return;
      }
    if (objects.size() < kMaxObjects) objects.push_back(o);
  }
  void select(uint16_t index) {
    if (index >= objects.size()) return;
    if (objects[index].kind == GdiObject::Pen) pen = objects[index];
    if (objects[index].kind == GdiObject::Brush) brush = objects[index];
    if (objects[index].kind == GdiObject::Font) font = objects[index];
  }
  // Text at a reference point in picture pixels, placed by the text alignment (left, centre
  // or right; top, baseline or bottom) along and across its baseline, which the font's
  // escapement turns about the reference point.
  void text(int x, int y, const std::string& s) {
    if (s.empty()) return;
    TextStyle style;
    style.face = font.face;
    style.pixelHeight = std::clamp(int(std::lround(std::abs(font.width * scaleY))), 1, 2048);
    style.bold = font.bold, style.italic = font.italic, style.color = textColor;
    // A mapping that mirrors one axis turns the other way on the picture.
    style.angle = (font.escapement % 3600) * M_PI / 1800 * (scaleX * scaleY < 0 ? -1 : 1);
    charge(int64_t(style.pixelHeight) * style.pixelHeight * int64_t(s.size()));
    landed = true;  // the glyphs' place is only known by drawing them
    if (counting) return;
    int ascent = 0;
    const int advance = measureText(s, style, &ascent);
    if (advance < 0) return;
    const int horizontal = textAlign & 6, vertical = textAlign & 24;
    const double along = horizontal == 6 ? -advance / 2.0 : horizontal == 2 ? -advance : 0;
    const int descent = style.pixelHeight - ascent;
    const double down = vertical == 24 ? 0 : vertical == 8 ? -descent : ascent;
    const double c = std::cos(style.angle), sn = std::sin(style.angle);
    const int startX = int(std::lround(x + along * c + down * sn));
    const int startY = int(std::lround(y - along * sn + down * c));
    drawText(img, startX, startY, s, style, [this](int px, int py) { return visible(px, py); });
  }
  // Draws a packed DIB stretched into the destination rectangle (nearest neighbour).
  void dib(const uint8_t* data, size_t size, int dx, int dy, int dw, int dh) {
    const int x0 = px(dx), y0 = py(dy);
    int w = toInt(dw * scaleX), h = toInt(dh * scaleY);
    const bool flipX = w < 0, flipY = h < 0;
    w = std::abs(w), h = std::abs(h);
    if (w == 0 || h == 0) return;
    // Only the destination pixels inside the picture are visited.
    const int yFirst = std::max(flipY ? y0 - h + 1 : y0, 0);
    const int yLast = std::min(flipY ? y0 : y0 + h - 1, img.height - 1);
    const int xFirst = std::max(flipX ? x0 - w + 1 : x0, 0);
    const int xLast = std::min(flipX ? x0 : x0 + w - 1, img.width - 1);
    if (yFirst > yLast || xFirst > xLast) return;
    charge(int64_t(yLast - yFirst + 1) * (xLast - xFirst + 1) + int64_t(size));
    landed = true;
    if (counting) return;
    Decoded decoded;
    if (decodePackedDib(data, size, 0, decoded) != CV_OK) return;
    const Image src = toTrueColor(decoded.image, false);
    if (src.empty()) return;
    for (int ty = yFirst; ty <= yLast; ++ty) {
      const int y = flipY ? y0 - ty : ty - y0;
      const uint8_t* srow = src.row(int(int64_t(y) * src.height / h));
      for (int tx = xFirst; tx <= xLast; ++tx) {
        if (!visible(tx, ty)) continue;
        const int x = flipX ? x0 - tx : tx - x0;
        std::memcpy(img.row(ty) + tx * 3, srow + int64_t(x) * src.width / w * 3, 3);
      }
    }
  }
};

int16_t i16(ByteReader& in) {
  return int16_t(in.u16le());
}

Player makePlayer(Image& img, int left, int top, int right, int bottom) {
  Player p(img);
  p.orgX = std::min(left, right), p.orgY = std::min(top, bottom);
  p.scaleX = double(img.width) / std::max(1, std::abs(right - left));
  p.scaleY = double(img.height) / std::max(1, std::abs(bottom - top));
  return p;
}

void playRecord(Player& p, uint16_t function, ByteReader in) {
  switch (function) {
    case kSetWindowOrg:
      p.orgY = i16(in), p.orgX = i16(in);
      break;
    case kSetWindowExt: {
      const double ey = i16(in), ex = i16(in);
      if (ex != 0 && ey != 0) {
        p.scaleX = p.img.width / ex, p.scaleY = p.img.height / ey;
        p.extX = ex, p.extY = ey;
      }
      break;
    }
    case kMoveTo:
      p.curY = p.py(i16(in)), p.curX = p.px(i16(in));
      break;
    case kLineTo: {
      const int y = p.py(i16(in)), x = p.px(i16(in));
      p.line(p.curX, p.curY, x, y);
      p.curX = x, p.curY = y;
      break;
    }
    case kRoundRect: {
      const double ch = std::abs(i16(in) * p.scaleY), cw = std::abs(i16(in) * p.scaleX);
      const int b = p.py(i16(in)), r = p.px(i16(in)), t = p.py(i16(in)), l = p.px(i16(in));
      if (in.ok()) p.roundRect(l, t, r, b, cw, ch);
      break;
    }
    case kRectangle:
    case kEllipse: {
      const int b = p.py(i16(in)), r = p.px(i16(in)), t = p.py(i16(in)), l = p.px(i16(in));
      if (function == kEllipse)
        p.ellipse(l, t, r, b);
      else
        p.polygon({{l, t}, {r, t}, {r, b}, {l, b}}, true, true);
      break;
    }
    case kPolyPolygon: {
      const int count = std::min<int>(in.u16le(), int(in.left() / 2));
      std::vector<int> sizes;
      for (int i = 0; i < count; ++i) sizes.push_back(in.u16le());
      std::vector<Player::Ring> rings;
      for (int n : sizes) {
        Player::Ring ring;
        for (int i = 0; i < n && in.left() >= 4; ++i) {
          const int x = p.px(i16(in));
          ring.emplace_back(x, p.py(i16(in)));
        }
        rings.push_back(std::move(ring));
      }
      p.polygons(rings, true, true);
      break;
    }
    case kArc:
    case kPie:
    case kChord: {
      const int ye = p.py(i16(in)), xe = p.px(i16(in)), ys = p.py(i16(in)), xs = p.px(i16(in));
      const int b = p.py(i16(in)), r = p.px(i16(in)), t = p.py(i16(in)), l = p.px(i16(in));
      if (!in.ok()) break;
      Player::Ring pts = p.arcPoints(l, t, r, b, xs, ys, xe, ye);
      if (function == kPie)
        pts.emplace_back(int(std::lround((l + r) / 2.0)), int(std::lround((t + b) / 2.0)));
      p.polygon(pts, function != kArc, function != kArc);
      break;
    }
    case kIntersectClipRect: {
      const int b = p.py(i16(in)), r = p.px(i16(in)), t = p.py(i16(in)), l = p.px(i16(in));
      if (!in.ok()) break;
      // The clip excludes the right and bottom edges, as the rectangle does.
      p.clipLeft = std::max(p.clipLeft, std::min(l, r));
      p.clipTop = std::max(p.clipTop, std::min(t, b));
      p.clipRight = std::min(p.clipRight, std::max(l, r) - 1);
      p.clipBottom = std::min(p.clipBottom, std::max(t, b) - 1);
      break;
    }
    case kExcludeClipRect: {
      const int b = p.py(i16(in)), r = p.px(i16(in)), t = p.py(i16(in)), l = p.px(i16(in));
      const Box hole{std::min(l, r), std::min(t, b), std::max(l, r) - 1, std::max(t, b) - 1};
      if (in.ok() && !hole.empty() && p.excluded.size() < kMaxExcluded) p.excluded.push_back(hole);
      break;
    }
    case kSaveDc:
      if (p.saved.size() < kMaxSaved) p.saved.push_back(p);
      break;
    case kRestoreDc: {
      // Negative: that many states back; positive: the state of that number, counting from 1.
      const int n = i16(in);
      const int64_t target = n < 0 ? int64_t(p.saved.size()) + n : int64_t(n) - 1;
      if (!in.ok() || n == 0 || target < 0 || target >= int64_t(p.saved.size())) break;
      static_cast<DcState&>(p) = std::move(p.saved[size_t(target)]);
      p.saved.resize(size_t(target));
      break;
    }
    case kCreateFont: {
      GdiObject f{GdiObject::Font, true, 0, std::abs(i16(in))};
      in.skip(2);  // width
      f.escapement = i16(in);
      in.skip(2);  // orientation: the glyphs turn with the baseline
      f.bold = i16(in) >= 600;
      f.italic = in.u8() != 0;
      in.skip(7);
      const size_t n = std::min<size_t>(in.left(), 32);
      const uint8_t* name = in.take(n);
      if (name)
        f.face.assign(reinterpret_cast<const char*>(name),
                      strnlen(reinterpret_cast<const char*>(name), n));
      if (f.width == 0) f.width = 12;
      p.addObject(f);
      break;
    }
    case kSetTextColor:
      p.textColor = in.u32le() & 0xFFFFFF;
      break;
    case kSetTextAlign:
      p.textAlign = in.u16le();
      break;
    case kTextOut: {
      const uint16_t n = in.u16le();
      const uint8_t* s = in.take(n + (n & 1));
      const int y = p.py(i16(in)), x = p.px(i16(in));
      if (s && in.ok()) p.text(x, y, std::string(reinterpret_cast<const char*>(s), n));
      break;
    }
    case kExtTextOut: {
      const int y = p.py(i16(in)), x = p.px(i16(in));
      const uint16_t n = in.u16le(), options = in.u16le();
      if (options & 0x0006) in.skip(8);  // the clipping or opaque rectangle
      const uint8_t* s = in.take(n);
      if (s) p.text(x, y, std::string(reinterpret_cast<const char*>(s), n));
      break;
    }
    case kPolygon:
    case kPolyline: {
      const int n = std::min<int>(in.u16le(), int(in.left() / 4));
      std::vector<std::pair<int, int>> pts;
      for (int i = 0; i < n; ++i) {
        const int x = p.px(i16(in));
        pts.emplace_back(x, p.py(i16(in)));
      }
      p.polygon(pts, function == kPolygon, function == kPolygon);
      break;
    }
    case kCreatePen: {
      const uint16_t style = in.u16le();
      const int width = std::abs(i16(in));
      in.skip(2);
      p.addObject({GdiObject::Pen, (style & 0x0F) != 5, in.u32le() & 0xFFFFFF, width});
      break;
    }
    case kCreateBrush: {
      const uint16_t style = in.u16le();
      p.addObject({GdiObject::Brush, style != 1, in.u32le() & 0xFFFFFF, 0});
      break;
    }
    case kSelectObject:
      p.select(in.u16le());
      break;
    case kDeleteObject: {
      const uint16_t index = in.u16le();
      if (index < p.objects.size()) p.objects[index] = GdiObject{};
      break;
    }
    case kStretchDib: {
      in.skip(4 + 2 + 8);  // raster operation, colour usage, source rectangle
      const int dh = i16(in), dw = i16(in), dy = i16(in), dx = i16(in);
      p.dib(in.data() + in.pos(), in.left(), dx, dy, dw, dh);
      break;
    }
    case kDibStretchBlt: {
      in.skip(4 + 8);
      const int dh = i16(in), dw = i16(in), dy = i16(in), dx = i16(in);
      p.dib(in.data() + in.pos(), in.left(), dx, dy, dw, dh);
      break;
    }
    case kDibBitBlt: {
      in.skip(4 + 4);
      const int h = i16(in), w = i16(in), dy = i16(in), dx = i16(in);
      p.dib(in.data() + in.pos(), in.left(), dx, dy, w, h);
      break;
    }
    default:
      // Other objects still take a slot in the object table.
      if (function == 0x00F7 || function == 0x01F9 || function == 0x06FF || function == 0x0142 ||
          function == 0x01F9)
        p.addObject({GdiObject::Other, false, 0, 0});
      break;
  }
}

// Plays the records after the headers; stops with CV_ERR_DAMAGED once the work passes the
// limit.
int16_t playRecords(ByteReader in, size_t start, Player& player, int64_t workLimit,
                    Progress* progress) {
  in.seek(start + 18);
  while (in.left() >= 6) {
    const size_t start = in.pos();
    const uint32_t words = in.u32le();
    const uint16_t function = in.u16le();
    if (function == kEof) return CV_OK;
    if (words < 3 || words > in.size() / 2) return CV_ERR_DAMAGED;
    const size_t end = start + size_t(words) * 2;
    if (end > in.size()) return CV_ERR_TRUNCATED;
    playRecord(player, function, ByteReader(in.data() + in.pos(), end - in.pos()));
    if (player.work > workLimit) return CV_ERR_DAMAGED;
    in.seek(end);
    if (progress) progress->rows(int64_t(end), int64_t(in.size()));
  }
  return CV_ERR_TRUNCATED;  // no end-of-file record
}

// A metafile header without the placeable header before it: memory or disk metafile, nine
// words, Windows 2 or 3.
bool plainHeader(const uint8_t* d, size_t n) {
  if (n < 18) return false;
  const int type = d[0] | d[1] << 8, words = d[2] | d[3] << 8, version = d[4] | d[5] << 8;
  return (type == 1 || type == 2) && words == 9 && (version == 0x0100 || version == 0x0300);
}

// The window a plain metafile sets before it draws: its origin and extent.
bool findWindow(const uint8_t* data, size_t size, int& left, int& top, int& right, int& bottom) {
  ByteReader in(data, size);
  in.seek(18);
  int orgX = 0, orgY = 0, extX = 0, extY = 0;
  while (in.left() >= 6) {
    const size_t start = in.pos();
    const uint32_t words = in.u32le();
    const uint16_t function = in.u16le();
    if (function == kEof || words < 3 || words > size / 2 || start + size_t(words) * 2 > size)
      break;
    if (function == kSetWindowOrg) orgY = i16(in), orgX = i16(in);
    if (function == kSetWindowExt) extY = i16(in), extX = i16(in);
    in.seek(start + size_t(words) * 2);
  }
  if (extX == 0 || extY == 0) return false;
  left = orgX, top = orgY, right = orgX + extX, bottom = orgY + extY;
  return true;
}

}  // namespace

bool sniffWmf(const uint8_t* d, size_t n) {
  return (n >= 4 &&
          uint32_t(d[0] | d[1] << 8 | d[2] << 16 | uint32_t(d[3]) << 24) == kPlaceableKey) ||
         plainHeader(d, n);
}

int16_t decodeWmf(const LoadRequest& request, Decoded& out) {
  out.format = FT_WMF;
  ByteReader in(request.data, request.size);
  int left = 0, top = 0, right = 0, bottom = 0;
  int64_t width = 0, height = 0;
  size_t recordsStart = 22;
  if (in.u32le() == kPlaceableKey) {
    in.u16le();
    left = i16(in), top = i16(in), right = i16(in), bottom = i16(in);
    const int inch = in.u16le();
    in.skip(4 + 2);
    const uint16_t type = in.u16le(), headerWords = in.u16le();
    if (!in.ok()) return CV_ERR_TRUNCATED;
    if ((type != 1 && type != 2) || headerWords != 9 || inch == 0) return CV_ERR_DAMAGED;
    width = int64_t(std::abs(right - left)) * 96 / inch;
    height = int64_t(std::abs(bottom - top)) * 96 / inch;
  } else {
    if (!plainHeader(request.data, request.size)) return CV_ERR_UNSUPPORTED_FEATURE;
    if (!findWindow(request.data, request.size, left, top, right, bottom)) return CV_ERR_DAMAGED;
    recordsStart = 0;
    // One logical unit a pixel, large windows (twips, hundredths of millimetres) scaled down.
    width = std::abs(right - left), height = std::abs(bottom - top);
    const int64_t longer = std::max(width, height);
    if (longer > kMaxPlainSide)
      width = std::max<int64_t>(1, width * kMaxPlainSide / longer),
      height = std::max<int64_t>(1, height * kMaxPlainSide / longer);
  }
  if (!sizeAllowed(width, height)) return width && height ? CV_ERR_TOO_LARGE : CV_ERR_DAMAGED;
  // Drawing may cover the frame a few times over; more than that is no real picture.
  const int64_t workLimit = 4 * width * height + (int64_t(1) << 24);
  Image frame;
  frame.width = int32_t(width), frame.height = int32_t(height), frame.bpp = 24;
  Player counter = makePlayer(frame, left, top, right, bottom);
  counter.counting = true;
  int16_t rc = playRecords(in, recordsStart, counter, workLimit, nullptr);
  if (rc != CV_OK) return rc;
  if (!counter.landed) return CV_ERR_DAMAGED;  // nothing drawn on the picture
  rc = allocImage(out.image, width, height, 24);
  if (rc != CV_OK) return rc;
  out.fileBpp = 24;
  std::memset(out.image.pixels.data(), 0xFF, out.image.pixels.size());
  Player player = makePlayer(out.image, left, top, right, bottom);
  return playRecords(in, recordsStart, player, workLimit, request.progress);
}

int16_t encodeWmf(const EncodeRequest& request, std::vector<uint8_t>& out) {
  const Image& src = *request.image;
  if (src.width > 32767 || src.height > 32767) return CV_ERR_TOO_LARGE;
  Image tc;
  const Image* img = &src;
  if (src.bpp == 32) {  // metafile readers ignore DIB alpha; write plain colour
    tc = toTrueColor(src, false);
    if (tc.empty()) return CV_ERR_OUT_OF_MEMORY;
    img = &tc;
  }
  std::vector<uint8_t> dib;
  int16_t rc = packDib(*img, dib);
  if (rc != CV_OK) return rc;
  dib.resize(dib.size() + (dib.size() & 1));
  const size_t dibRecordWords = (6 + 4 + 2 + 16 + dib.size()) / 2;
  if (dibRecordWords > UINT32_MAX / 4) return CV_ERR_TOO_LARGE;
  out.clear();
  ByteWriter w(out);
  // Placeable header at 96 units per inch; its checksum is the XOR of its first ten words.
  const uint16_t words[10] = {0xCDD7, 0x9AC6, 0, 0, 0, uint16_t(img->width), uint16_t(img->height),
                              96,     0,      0};
  uint16_t checksum = 0;
  for (uint16_t v : words) w.u16le(v), checksum ^= v;
  w.u16le(checksum);
  const size_t headerAt = w.size();
  const uint32_t records[3] = {5, 5, 3};  // window origin, window extent, end
  const uint32_t totalWords = 9 + records[0] + records[1] + uint32_t(dibRecordWords) + records[2];
  w.u16le(1), w.u16le(9), w.u16le(0x0300), w.u32le(totalWords), w.u16le(0);
  w.u32le(uint32_t(dibRecordWords)), w.u16le(0);
  (void)headerAt;
  w.u32le(5), w.u16le(kSetWindowOrg), w.u16le(0), w.u16le(0);
  w.u32le(5), w.u16le(kSetWindowExt), w.u16le(uint32_t(img->height)), w.u16le(uint32_t(img->width));
  w.u32le(uint32_t(dibRecordWords)), w.u16le(kStretchDib);
  w.u32le(0x00CC0020);  // SRCCOPY
  w.u16le(0);           // DIB_RGB_COLORS
  w.u16le(uint32_t(img->height)), w.u16le(uint32_t(img->width)), w.u16le(0), w.u16le(0);
  w.u16le(uint32_t(img->height)), w.u16le(uint32_t(img->width)), w.u16le(0), w.u16le(0);
  w.bytes(dib.data(), dib.size());
  w.u32le(3), w.u16le(kEof);
  return CV_OK;
}

}  // namespace rastcore
