#include "region/region.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "ops/ops_state.h"
#include "ops/pixel.h"
#include "rastcore3_ops.h"
#include "region/per_instance.h"

using namespace rastcore;
using namespace rastcore::region;

namespace {

PerInstance<RegionState> g_regions;

constexpr int64_t kCoordLimit = 1000000;
constexpr size_t kMaxVertices = 4096;

bool coordOk(int64_t v) {
  return v >= -kCoordLimit && v <= kCoordLimit;
}

Mask blank(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  Mask m;
  if (x1 <= x0 || y1 <= y0) return m;
  m.x = int32_t(x0);
  m.y = int32_t(y0);
  m.w = int32_t(x1 - x0);
  m.h = int32_t(y1 - y0);
  m.bits.assign(size_t(m.w) * size_t(m.h), 0);
  return m;
}

// The mask cut down to the bounding box of its set pixels.
Mask trimmed(const Mask& m) {
  int32_t l = m.w, t = m.h, r = -1, b = -1;
  for (int32_t y = 0; y < m.h; ++y) {
    const uint8_t* row = m.bits.data() + size_t(y) * size_t(m.w);
    for (int32_t x = 0; x < m.w; ++x)
      if (row[x]) {
        l = std::min(l, x);
        r = std::max(r, x);
        t = std::min(t, y);
        b = std::max(b, y);
      }
  }
  if (r < 0) return Mask{};
  if (l == 0 && t == 0 && r == m.w - 1 && b == m.h - 1) return m;
  Mask out = blank(m.x + l, m.y + t, m.x + r + 1, m.y + b + 1);
  for (int32_t y = 0; y < out.h; ++y)
    std::copy_n(m.bits.data() + size_t(y + t) * size_t(m.w) + size_t(l), size_t(out.w),
                out.bits.data() + size_t(y) * size_t(out.w));
  return out;
}

void fail(CV_HANDLE h, int16_t code) {
  if (Instance* inst = instanceFor(h)) inst->error = code;
}

void rebuildPolygon(RegionState& st) {
  st.region = combine(st.before, polygonMask(st.points, st.clipW, st.clipH), st.combine);
  st.stale = false;
}

// Runs a region call with its instance and state; memory failures become an error number.
template <typename F>
void withRegion(CV_HANDLE h, F fn) {
  Instance* inst = instanceFor(h);
  RegionState* st = g_regions.get(h);
  if (!inst || !st) return;
  try {
    if (st->stale) rebuildPolygon(*st);
    inst->error = fn(*inst, *st);
  } catch (const std::bad_alloc&) {
    inst->error = CV_ERR_OUT_OF_MEMORY;
  } catch (const ops::OpFailure& e) {
    inst->error = e.code;
  }
}

void putPixel(Image& img, int x, int y, Rgbq c) {
  uint8_t* row = img.row(y);
  switch (img.bpp) {
    case 32:
      row[4 * x + 3] = c.reserved;
      [[fallthrough]];
    case 24: {
      uint8_t* p = row + size_t(x) * (img.bpp / 8);
      p[0] = c.b;
      p[1] = c.g;
      p[2] = c.r;
      return;
    }
    default: {
      const int index = ops::nearestIndex(img.palette, c);
      const int bits = img.bpp, perByte = 8 / bits;
      const int shift = 8 - bits * (x % perByte + 1);
      const uint8_t mask = uint8_t(((1 << bits) - 1) << shift);
      uint8_t& byte = row[x / perByte];
      byte = uint8_t((byte & ~mask) | ((index << shift) & mask));
    }
  }
}

}  // namespace

namespace rastcore::region {

RegionState* stateFor(CV_HANDLE h) {
  RegionState* st = g_regions.get(h);
  if (st && st->stale) {
    try {
      rebuildPolygon(*st);
    } catch (const std::bad_alloc&) {
      // The outline stays as last made; the failure shows at the next region call.
      st->stale = false;
    }
  }
  return st;
}

const Mask* drawClip(CV_HANDLE h) {
  RegionState* st = stateFor(h);
  return st && st->enabled && st->exists ? &st->region : nullptr;
}

bool spriteColour(CV_HANDLE h, int32_t x, int32_t y, Rgbq& colour) {
  RegionState* st = stateFor(h);
  if (!st || !st->sprite.active) return false;
  const Sprite& s = st->sprite;
  if (!s.shape.contains(x - s.x, y - s.y)) return false;
  colour = ops::pixelAt(s.pixels, x - s.x, y - s.y);
  return true;
}

Mask rectangleMask(int64_t x, int64_t y, int64_t w, int64_t h, int32_t clipW, int32_t clipH) {
  Mask m = blank(std::max<int64_t>(x, 0), std::max<int64_t>(y, 0), std::min<int64_t>(x + w, clipW),
                 std::min<int64_t>(y + h, clipH));
  std::fill(m.bits.begin(), m.bits.end(), 1);
  return m;
}

Mask ellipseMask(int64_t x, int64_t y, int64_t w, int64_t h, int32_t clipW, int32_t clipH) {
  Mask m = rectangleMask(x, y, w, h, clipW, clipH);
  if (m.empty()) return m;
  const double cx = x + w / 2.0, cy = y + h / 2.0, rx = w / 2.0, ry = h / 2.0;
  for (int32_t j = 0; j < m.h; ++j) {
    const double dy = (m.y + j + 0.5 - cy) / ry;
    for (int32_t i = 0; i < m.w; ++i) {
      const double dx = (m.x + i + 0.5 - cx) / rx;
      m.bits[size_t(j) * size_t(m.w) + size_t(i)] = dx * dx + dy * dy <= 1.0;
    }
  }
  return trimmed(m);
}

Mask polygonMask(const std::vector<int32_t>& xy, int32_t clipW, int32_t clipH) {
  const size_t n = xy.size() / 2;
  if (n < 3) return Mask{};
  int64_t l = INT64_MAX, t = INT64_MAX, r = INT64_MIN, b = INT64_MIN;
  for (size_t i = 0; i < n; ++i) {
    l = std::min<int64_t>(l, xy[2 * i]);
    r = std::max<int64_t>(r, xy[2 * i]);
    t = std::min<int64_t>(t, xy[2 * i + 1]);
    b = std::max<int64_t>(b, xy[2 * i + 1]);
  }
  Mask m = blank(std::max<int64_t>(l, 0), std::max<int64_t>(t, 0), std::min<int64_t>(r, clipW),
                 std::min<int64_t>(b, clipH));
  std::vector<double> xs;
  for (int32_t j = 0; j < m.h; ++j) {
    const double cy = m.y + j + 0.5;
    xs.clear();
    for (size_t i = 0; i < n; ++i) {
      const double ax = xy[2 * i], ay = xy[2 * i + 1];
      const double bx = xy[2 * ((i + 1) % n)], by = xy[2 * ((i + 1) % n) + 1];
      if ((ay <= cy) != (by <= cy)) xs.push_back(ax + (cy - ay) * (bx - ax) / (by - ay));
    }
    std::sort(xs.begin(), xs.end());
    for (size_t k = 0; k + 1 < xs.size(); k += 2) {
      // Pixels whose centres lie between the two crossings.
      const int64_t from = std::max<int64_t>(m.x, int64_t(std::ceil(xs[k] - 0.5)));
      const int64_t to = std::min<int64_t>(m.x + m.w, int64_t(std::ceil(xs[k + 1] - 0.5)));
      for (int64_t x = from; x < to; ++x) m.bits[size_t(j) * size_t(m.w) + size_t(x - m.x)] = 1;
    }
  }
  return trimmed(m);
}

Mask combine(const Mask& a, const Mask& b, int16_t how) {
  if (how == RGN_Replace) return b;
  int64_t x0, y0, x1, y1;
  if (how == RGN_And) {
    x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
  } else if (how == RGN_Diff) {
    x0 = a.x, y0 = a.y, x1 = a.x + a.w, y1 = a.y + a.h;
  } else {  // RGN_Or, RGN_Xor
    if (a.empty()) return b;
    if (b.empty()) return a;
    x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    x1 = std::max(a.x + a.w, b.x + b.w), y1 = std::max(a.y + a.h, b.y + b.h);
  }
  Mask out = blank(x0, y0, x1, y1);
  for (int32_t j = 0; j < out.h; ++j)
    for (int32_t i = 0; i < out.w; ++i) {
      const bool ina = a.contains(out.x + i, out.y + j), inb = b.contains(out.x + i, out.y + j);
      bool v;
      switch (how) {
        case RGN_And:
          v = ina && inb;
          break;
        case RGN_Diff:
          v = ina && !inb;
          break;
        case RGN_Xor:
          v = ina != inb;
          break;
        default:
          v = ina || inb;
          break;
      }
      out.bits[size_t(j) * size_t(out.w) + size_t(i)] = v;
    }
  return trimmed(out);
}

}  // namespace rastcore::region

extern "C" {

void CV_RgnCreate(CV_HANDLE h, int16_t type, int32_t x, int32_t y, int32_t width, int32_t height) {
  withRegion(h, [&](Instance& inst, RegionState& st) -> int16_t {
    const int16_t shape = type & 0x0F, how = type & 0xF0;
    if ((type & ~0xFF) != 0 || shape > RGN_Polygon || how > RGN_Xor || !coordOk(x) || !coordOk(y) ||
        !coordOk(width) || !coordOk(height) || (shape != RGN_Polygon && (width < 0 || height < 0)))
      return CV_ERR_BAD_ARGUMENT;
    if (inst.image.empty()) return CV_ERR_NO_IMAGE;
    const Image& img = inst.image;
    const Mask held = st.exists ? st.region : Mask{};
    if (shape == RGN_Polygon) {
      st.before = held;
      st.combine = how;
      st.points = {x, y};
      st.building = true;
      st.clipW = img.width;
      st.clipH = img.height;
      rebuildPolygon(st);
    } else {
      const Mask m = shape == RGN_Ellipse
                         ? ellipseMask(x, y, width, height, img.width, img.height)
                         : rectangleMask(x, y, width, height, img.width, img.height);
      st.region = combine(held, m, how);
      st.building = false;
      st.before = Mask{};
      st.points.clear();
    }
    st.exists = true;
    return 0;
  });
}

void CV_RgnAddPoint(CV_HANDLE h, int32_t x, int32_t y) {
  Instance* inst = instanceFor(h);
  RegionState* st = g_regions.get(h);  // no rebuild: the point only extends the outline
  if (!inst || !st) return;
  if (!st->building) {
    inst->error = CV_ERR_NO_SELECTION;
  } else if (!coordOk(x) || !coordOk(y) || st->points.size() / 2 >= kMaxVertices) {
    inst->error = CV_ERR_BAD_ARGUMENT;
  } else {
    st->points.push_back(x);
    st->points.push_back(y);
    st->stale = true;
    inst->error = 0;
  }
}

void CV_RgnDelete(CV_HANDLE h) {
  withRegion(h, [&](Instance&, RegionState& st) -> int16_t {
    st.exists = st.building = false;
    st.region = st.before = Mask{};
    st.points.clear();
    return 0;
  });
}

int16_t CV_GetRgnEnabled(CV_HANDLE h) {
  RegionState* st = stateFor(h);
  return st && st->enabled ? -1 : 0;
}
void CV_SetRgnEnabled(CV_HANDLE h, int16_t on) {
  withRegion(h, [&](Instance&, RegionState& st) -> int16_t {
    st.enabled = on != 0;
    return 0;
  });
}

int32_t CV_GetRgnX(CV_HANDLE h) {
  RegionState* st = stateFor(h);
  return st && st->exists ? st->region.x : 0;
}
int32_t CV_GetRgnY(CV_HANDLE h) {
  RegionState* st = stateFor(h);
  return st && st->exists ? st->region.y : 0;
}
int32_t CV_GetRgnWidth(CV_HANDLE h) {
  RegionState* st = stateFor(h);
  return st && st->exists ? st->region.w : 0;
}
int32_t CV_GetRgnHeight(CV_HANDLE h) {
  RegionState* st = stateFor(h);
  return st && st->exists ? st->region.h : 0;
}

void CV_RgnCreateSprite(CV_HANDLE h) {
  withRegion(h, [&](Instance& inst, RegionState& st) -> int16_t {
    if (inst.image.empty()) return CV_ERR_NO_IMAGE;
    // The region as it lies on the picture now (the picture may have shrunk since).
    const Mask shape = st.exists ? combine(st.region,
                                           rectangleMask(0, 0, inst.image.width, inst.image.height,
                                                         inst.image.width, inst.image.height),
                                           RGN_And)
                                 : Mask{};
    if (shape.empty()) return CV_ERR_NO_SELECTION;
    Sprite s;
    s.pixels = ops::makeImage(shape.w, shape.h, 32);
    s.shape = shape;
    s.shape.x = s.shape.y = 0;
    s.x = shape.x;
    s.y = shape.y;
    for (int32_t j = 0; j < shape.h; ++j)
      for (int32_t i = 0; i < shape.w; ++i)
        if (s.shape.contains(i, j)) {
          const Rgbq c = ops::pixelAt(inst.image, shape.x + i, shape.y + j);
          uint8_t* p = s.pixels.row(j) + 4 * size_t(i);
          p[0] = c.b;
          p[1] = c.g;
          p[2] = c.r;
          p[3] = c.reserved;
        }
    s.active = true;
    st.sprite = std::move(s);
    return 0;
  });
}

void CV_RgnDeleteSprite(CV_HANDLE h) {
  withRegion(h, [&](Instance&, RegionState& st) -> int16_t {
    st.sprite = Sprite{};
    return 0;
  });
}

void CV_RgnMoveSprite(CV_HANDLE h, int32_t x, int32_t y) {
  withRegion(h, [&](Instance&, RegionState& st) -> int16_t {
    if (!st.sprite.active) return CV_ERR_NO_SELECTION;
    if (!coordOk(x) || !coordOk(y)) return CV_ERR_BAD_ARGUMENT;
    st.sprite.x = x;
    st.sprite.y = y;
    return 0;
  });
}

void CV_RgnPasteSprite(CV_HANDLE h) {
  RegionState* st = stateFor(h);
  if (!st) return;
  if (!st->sprite.active) return fail(h, CV_ERR_NO_SELECTION);
  const Sprite& s = st->sprite;
  ops::runInPlace(h, [&](Image& img, ops::OpsState&) {
    const int32_t x0 = std::max(0, -s.x), y0 = std::max(0, -s.y);
    const int64_t x1 = std::min<int64_t>(s.shape.w, int64_t(img.width) - s.x);
    const int64_t y1 = std::min<int64_t>(s.shape.h, int64_t(img.height) - s.y);
    for (int32_t j = y0; j < y1; ++j)
      for (int32_t i = x0; i < x1; ++i)
        if (s.shape.contains(i, j)) putPixel(img, s.x + i, s.y + j, ops::pixelAt(s.pixels, i, j));
  });
}

int32_t CV_GetRgnSpriteX(CV_HANDLE h) {
  RegionState* st = stateFor(h);
  return st && st->sprite.active ? st->sprite.x : 0;
}
int32_t CV_GetRgnSpriteY(CV_HANDLE h) {
  RegionState* st = stateFor(h);
  return st && st->sprite.active ? st->sprite.y : 0;
}

}  // extern "C"
