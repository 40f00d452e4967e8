#include "view/layout.h"

#include <algorithm>
#include <cmath>

namespace rastcore::view {

Layout computeLayout(const Image& img, ops::ViewState& v) {
  Layout l;
  l.viewW = std::max(0, v.clientW);
  l.viewH = std::max(0, v.clientH);
  if (img.empty()) {
    v.scrollX = v.scrollY = 0;
    return l;
  }
  l.originX = std::clamp(v.cropX, 0, img.width - 1);
  l.originY = std::clamp(v.cropY, 0, img.height - 1);
  const int32_t w = img.width - l.originX, h = img.height - l.originY;
  const bool zoomed = std::fabs(v.zoom - 1.0f) > 1e-6f;
  l.scaled = zoomed || v.autoSize == ISIZE_CropImageToControl ||
             v.autoSize == ISIZE_ResizeControl || v.autoSize == ISIZE_CropImage;
  l.tiled = !zoomed && v.autoSize == ISIZE_TileImage;
  if (l.tiled) l.scaled = false;
  if (l.scaled) {
    l.sx = l.sy = v.zoom;
    l.contentW = std::llround(w * double(v.zoom));
    l.contentH = std::llround(h * double(v.zoom));
    // A bar takes room from the other direction, which may then need its own bar too.
    for (int pass = 0; pass < 2; ++pass) {
      l.hBar = (v.scrollBars & SB_Horizontal) && l.contentW > l.viewW;
      l.vBar = (v.scrollBars & SB_Vertical) && l.contentH > l.viewH;
      l.viewW = std::max(0, v.clientW - (l.vBar ? v.barExtent : 0));
      l.viewH = std::max(0, v.clientH - (l.hBar ? v.barExtent : 0));
    }
    l.maxScrollX = int32_t(std::max<int64_t>(0, l.contentW - l.viewW));
    l.maxScrollY = int32_t(std::max<int64_t>(0, l.contentH - l.viewH));
    v.scrollX = std::clamp(v.scrollX, 0, l.maxScrollX);
    v.scrollY = std::clamp(v.scrollY, 0, l.maxScrollY);
    l.offX = -v.scrollX;
    l.offY = -v.scrollY;
    // The cropping mode shows a picture smaller than the window in its middle.
    if (v.autoSize == ISIZE_CropImage && !zoomed) {
      if (l.contentW < l.viewW) l.offX = (l.viewW - l.contentW) / 2;
      if (l.contentH < l.viewH) l.offY = (l.viewH - l.contentH) / 2;
    }
    return l;
  }
  v.scrollX = v.scrollY = 0;
  if (l.tiled || l.viewW == 0 || l.viewH == 0) {
    l.contentW = w;
    l.contentH = h;
    return l;
  }
  if (v.autoSize == ISIZE_ResizeImage) {
    l.sx = double(l.viewW) / w;
    l.sy = double(l.viewH) / h;
    l.contentW = l.viewW;
    l.contentH = l.viewH;
  } else {  // ISIZE_ResizePreserveAspect: fitted and centred
    const double s = std::min(double(l.viewW) / w, double(l.viewH) / h);
    l.sx = l.sy = s;
    l.contentW = std::llround(w * s);
    l.contentH = std::llround(h * s);
    l.offX = (l.viewW - l.contentW) / 2.0;
    l.offY = (l.viewH - l.contentH) / 2.0;
  }
  return l;
}

}  // namespace rastcore::view
