#include "viewer/layout.h"

#include <algorithm>
#include <cmath>

#include "base/appstate.h"

namespace glim::viewer {

PictureArea areaFromState() {
  const AppState& s = appState();
  return {s.AreaLeft, s.AreaTop, s.AreaWidth, s.AreaHeight};
}

void storeArea(const PictureArea& area) {
  AppState& s = appState();
  s.AreaLeft = area.left;
  s.AreaTop = area.top;
  s.AreaWidth = area.width;
  s.AreaHeight = area.height;
}

QRect Geometry::toRect() const {
  return QRect(int(std::lround(left)), int(std::lround(top)), int(std::lround(width)),
               int(std::lround(height)));
}

Geometry Geometry::fromRect(const QRect& rect) {
  return {double(rect.left()), double(rect.top()), double(rect.width()), double(rect.height())};
}

NormalLayout normalLayout(int formScaleWidth, int formScaleHeight) {
  // The area's size is a 16-bit field; a window smaller than the margins leaves an empty area.
  const int width = std::clamp(formScaleWidth - kRightMargin, 0, 32767);
  const int height = std::clamp(formScaleHeight - kBottomMargin, 0, 32767);
  NormalLayout layout;
  layout.photo = {kNormalLeft, kNormalTop, double(width), double(height)};
  layout.areaWidth = qint16(width);
  layout.areaHeight = qint16(height);
  return layout;
}

int centredFormLeft(int screenWidth, int formWidth) {
  return (screenWidth - formWidth) / 2;
}

Geometry centredGeometry(const PictureArea& area, double width, double height) {
  return {(area.width - width) / 2 + area.left, (area.height - height) / 2 - area.top + 12, width,
          height};
}

bool fitsArea(const PictureArea& area, qint16 width, qint16 height) {
  return width < area.width && height < area.height;
}

Geometry cutToArea(const PictureArea& area, double width, double height) {
  return {area.left, area.top, std::min<double>(width, area.width),
          std::min<double>(height, area.height)};
}

Geometry pictureGeometry(const PictureArea& area, qint16 storedWidth, qint16 storedHeight) {
  if (fitsArea(area, storedWidth, storedHeight))
    return centredGeometry(area, storedWidth, storedHeight);
  return cutToArea(area, storedWidth, storedHeight);
}

const std::array<ZoomStep, 12> kZoomSteps = {{
    {"mnuZoomOneTenth", "10%", 0.1},
    {"mnuZoom25Percent", "25%", 0.25},
    {"mnuZoom33Percent", "33%", 0.333},
    {"mnuZoom50Percent", "50%", 0.5},
    {"mnuZoom75Percent", "75%", 0.751},
    {"mnuUnzoom", "100%  (Original Size)", 1.0},
    {"mnuZoom125Percent", "125%", 1.25},
    {"mnuZoom150Percent", "150%", 1.5},
    {"mnuZoom2X", "200%", 2.0},
    {"mnuZoom3X", "300%", 3.0},
    {"mnuZoom5X", "500%", 5.0},
    {"mnuZoom10X", "1000%", 10.0},
}};

bool isReducingZoom(double factor) {
  return factor < 1.0;
}

ZoomLayout zoomLayout(const PictureArea& area, qint16 storedWidth, qint16 storedHeight,
                      double factor) {
  const double w = storedWidth * factor;
  const double h = storedHeight * factor;
  const bool tooWide = w >= area.width;
  const bool tooHigh = h >= area.height;
  if (!tooWide && !tooHigh) return {centredGeometry(area, w, h), ScrollBarsMode::None};
  ZoomLayout layout;
  layout.photo = cutToArea(area, w, h);
  layout.scrollBars = tooWide && tooHigh ? ScrollBarsMode::Both
                      : tooWide          ? ScrollBarsMode::Horizontal
                                         : ScrollBarsMode::Vertical;
  return layout;
}

PictureArea fullScreenArea(const QSize& screen) {
  return {0.0f, 0.0f, qint16(std::clamp(screen.width(), 0, 32767)),
          qint16(std::clamp(screen.height(), 0, 32767))};
}

PaletteValues paletteValues(bool paletteDisplay) {
  // DM_PaletteColor = 1, IPAL_OptimizedDither = 5, DI_Corvane = 3; DM_TrueColor = 0,
  // IPAL_Optimized = 0, DI_Floyd = 1.
  if (paletteDisplay) return {true, 1, 5, 3};
  return {false, 0, 0, 1};
}

}  // namespace glim::viewer
