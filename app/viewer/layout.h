// Where and how large the viewer draws its picture: the normal layout of the picture area,
// sizing and centring the picture control, the zoom steps and the full-screen switch. Plain
// arithmetic, so that the form only applies the results to its widgets.
#pragma once

#include <QRect>
#include <QString>
#include <array>

namespace glim::viewer {

// The picture area of the viewer, kept in AppState (AreaLeft/Top/Width/Height).
struct PictureArea {
  float left = 178.228f;
  float top = 8.129f;
  qint16 width = 0;
  qint16 height = 0;
  friend bool operator==(const PictureArea&, const PictureArea&) = default;
};
PictureArea areaFromState();
void storeArea(const PictureArea& area);

// A control's geometry in (fractional) pixels, as the layout rules compute it.
struct Geometry {
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;
  // Whole pixels for the widget; halves round away from zero.
  QRect toRect() const;
  static Geometry fromRect(const QRect& rect);
  friend bool operator==(const Geometry&, const Geometry&) = default;
};

// The control's scroll-bar modes, numbered as the control numbers them.
enum class ScrollBarsMode { None = 0, Horizontal = 1, Vertical = 2, Both = 3 };

// The fixed corner of the normal picture area and the margins the form keeps around it.
inline constexpr double kNormalLeft = 178.228;
inline constexpr double kNormalTop = 8.129;
inline constexpr int kRightMargin = 186;
inline constexpr int kBottomMargin = 32;

struct NormalLayout {
  Geometry photo;
  qint16 areaWidth = 0;
  qint16 areaHeight = 0;
};
// The control fills the form's client area beside the panels; the area takes its size.
NormalLayout normalLayout(int formScaleWidth, int formScaleHeight);
int centredFormLeft(int screenWidth, int formWidth);

// Centres a control of the given size in the area. The vertical formula subtracts the area's
// top and adds 12, which is how pictures have always been placed in this viewer.
Geometry centredGeometry(const PictureArea& area, double width, double height);

// A stored size fits when both sides are strictly smaller than the area; a picture exactly as
// large as the area does not fit and is cut instead of centred.
bool fitsArea(const PictureArea& area, qint16 width, qint16 height);
// The control at the area's corner, each side cut down to the area where it is not smaller.
Geometry cutToArea(const PictureArea& area, double width, double height);

// What a move shows: the stored size centred when it fits, else cut to the area.
Geometry pictureGeometry(const PictureArea& area, qint16 storedWidth, qint16 storedHeight);

// The twelve zoom commands, in menu order.
struct ZoomStep {
  const char* command;
  const char* caption;
  double factor;
};
extern const std::array<ZoomStep, 12> kZoomSteps;
// Reducing zooms centre the picture again afterwards.
bool isReducingZoom(double factor);

struct ZoomLayout {
  Geometry photo;
  ScrollBarsMode scrollBars = ScrollBarsMode::None;
};
// The control's geometry and scroll bars for a zoom by `factor` of the stored picture size:
// scroll bars appear once the zoomed picture reaches the area's width or height.
ZoomLayout zoomLayout(const PictureArea& area, qint16 storedWidth, qint16 storedHeight,
                      double factor);

// What the full-screen switch saves and restores exactly.
struct NormalViewState {
  QRect photo;
  QRect background;
  PictureArea area;
};
PictureArea fullScreenArea(const QSize& screen);

// The palette values of the picture control for a palette or a true-colour display.
struct PaletteValues {
  bool managePalette = false;
  int displayMode = 0;
  int palette = 0;
  int showDithered = 0;
};
PaletteValues paletteValues(bool paletteDisplay);

}  // namespace glim::viewer
