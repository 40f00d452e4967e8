// Where the picture lies in the control window: the one mapping between window and picture
// coordinates that drawing, scrolling and the rubber band share.
#pragma once

#include <cstdint>

#include "image.h"
#include "ops/ops_state.h"

namespace rastcore::view {

struct Layout {
  int32_t viewW = 0, viewH = 0;  // client area left for the picture (scroll bars taken off)
  bool hBar = false, vBar = false;
  bool scaled = true;  // shown at Zoom with scrolling (not fitted to the window)
  bool tiled = false;
  double sx = 1, sy = 1;               // window pixels per picture pixel
  double offX = 0, offY = 0;           // window position of picture point (originX, originY)
  int32_t originX = 0, originY = 0;    // CropX/CropY, clamped into the picture
  int64_t contentW = 0, contentH = 0;  // scaled picture size in window pixels
  int32_t maxScrollX = 0, maxScrollY = 0;

  void toPicture(double wx, double wy, double& px, double& py) const {
    px = originX + (wx - offX) / sx;
    py = originY + (wy - offY) / sy;
  }
  void toWindow(double px, double py, double& wx, double& wy) const {
    wx = offX + (px - originX) * sx;
    wy = offY + (py - originY) * sy;
  }
};

// Also clamps the view's scroll positions into range.
Layout computeLayout(const Image& img, ops::ViewState& view);

}  // namespace rastcore::view
