// Regions (sets of picture pixels) and the sprite made from one: the state behind the Rgn*
// calls, and what drawing and the view ask of it.
#pragma once

#include <cstdint>
#include <vector>

#include "image.h"
#include "rastcore3.h"

namespace rastcore::region {

// A set of pixels: one byte per pixel of its bounding box (x, y, w, h), 1 inside.
struct Mask {
  int32_t x = 0, y = 0, w = 0, h = 0;
  std::vector<uint8_t> bits;
  bool empty() const { return w <= 0 || h <= 0; }
  bool contains(int32_t px, int32_t py) const {
    return px >= x && py >= y && px < x + w && py < y + h &&
           bits[size_t(py - y) * size_t(w) + size_t(px - x)];
  }
};

struct Sprite {
  bool active = false;
  int32_t x = 0, y = 0;  // top-left corner in picture pixels
  Image pixels;          // 32 bits, B, G, R, A
  Mask shape;            // which pixels belong to it, relative to (0, 0)
};

struct RegionState {
  bool enabled = false;
  bool exists = false;
  Mask region;
  // A polygon being made: the region before it, how it joins, its vertices and the picture size
  // it is clipped to. Adding a vertex only marks the region stale; it is made again when read,
  // so a freehand outline of many points costs one fill, not one per point.
  bool building = false;
  bool stale = false;
  Mask before;
  int16_t combine = 0;
  std::vector<int32_t> points;  // x0, y0, x1, y1, ...
  int32_t clipW = 0, clipH = 0;
  Sprite sprite;
};

// The region state of a live instance, its region up to date; null for an unknown handle.
RegionState* stateFor(CV_HANDLE h);

// The pixels drawing may change, or null when drawing is not confined (no enabled region).
const Mask* drawClip(CV_HANDLE h);

// The sprite's colour over picture pixel (x, y), when a sprite covers it.
bool spriteColour(CV_HANDLE h, int32_t x, int32_t y, Rgbq& colour);

// Mask arithmetic, exposed for the tests: pixel centres inside the shape, clipped to
// [0, clipW) x [0, clipH).
Mask rectangleMask(int64_t x, int64_t y, int64_t w, int64_t h, int32_t clipW, int32_t clipH);
Mask ellipseMask(int64_t x, int64_t y, int64_t w, int64_t h, int32_t clipW, int32_t clipH);
Mask polygonMask(const std::vector<int32_t>& xy, int32_t clipW, int32_t clipH);
// a joined with b by one of the RGN_* combinations, trimmed to its tight bounding box.
Mask combine(const Mask& a, const Mask& b, int16_t how);

}  // namespace rastcore::region
