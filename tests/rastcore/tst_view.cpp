// The view: where the picture lands in the control window for each AutoSize mode, zoom and
// scrolling, the scroll bars, palette displays, and the rubber band in picture pixels.
#include <algorithm>
#include <cmath>
#include <vector>

#include "ops/ops_state.h"
#include "tst_ops_support.h"
#include "view/layout.h"

using namespace opstest;

namespace {

struct Window {
  int w, h;
  std::vector<uint32_t> px;
  Window(int w_, int h_) : w(w_), h(h_), px(size_t(w_) * h_) {}
  uint32_t at(int x, int y) const { return px[size_t(y) * w + x]; }
};

uint32_t rgb32(Rgbq c) {
  return 0xFF000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
}

Window render(CV_HANDLE h, int w, int hgt, int barExtent = 0) {
  CV_SetClientSize(h, w, hgt, barExtent);
  Window win(w, hgt);
  const CV_RECT all{0, 0, w, hgt};
  CV_Draw(h, win.px.data(), w * 4, &all);
  return win;
}

constexpr uint32_t kBack = 0x00102030;  // OLE 0x00BBGGRR: r=0x30 g=0x20 b=0x10
constexpr uint32_t kBack32 = 0xFF302010;

Inst& prepared(Inst& inst, int16_t autoSize) {
  rastcore::instanceFor(inst.h)->backColor = kBack;
  CV_SetAntialias(inst.h, AA_None);
  CV_SetAutoSize(inst.h, autoSize);
  return inst;
}

TEST(View, EachAutoSizeModePlacesThePicture) {
  const Image pic = randomImage(20, 10, 24, 5);
  const struct {
    int16_t mode;
    int winX, winY, picX, picY;  // window pixel -> picture pixel (-1: back colour)
  } rows[] = {
      {ISIZE_CropImageToControl, 0, 0, 0, 0},
      {ISIZE_CropImageToControl, 19, 9, 19, 9},
      {ISIZE_CropImageToControl, 25, 5, -1, -1},
      {ISIZE_ResizeControl, 7, 3, 7, 3},
      {ISIZE_ResizeImage, 79, 39, 19, 9},  // 80 x 40 window: 4 x 4 per pixel
      {ISIZE_ResizeImage, 8, 4, 2, 1},
      {ISIZE_ResizePreserveAspect, 0, 0, -1, -1},  // 80 x 40 fits in 80 x 60 with 10 above
      {ISIZE_ResizePreserveAspect, 0, 10, 0, 0},
      {ISIZE_ResizePreserveAspect, 79, 49, 19, 9},
      {ISIZE_ResizePreserveAspect, 40, 55, -1, -1},
      {ISIZE_TileImage, 23, 14, 3, 4},
      {ISIZE_CropImage, 30, 25, 0, 0},  // smaller than the window: centred
  };
  for (const auto& r : rows) {
    Inst inst(pic);
    prepared(inst, r.mode);
    const int h = r.mode == ISIZE_ResizeImage ? 40 : 60;
    const Window win = render(inst.h, 80, h);
    const uint32_t expected = r.picX < 0 ? kBack32 : rgb32(colourAt(pic, r.picX, r.picY));
    EXPECT_EQ(win.at(r.winX, r.winY), expected)
        << "mode " << r.mode << " at " << r.winX << "," << r.winY;
  }
}

TEST(View, ZoomAndScrollShowTheRightPart) {
  const Image pic = randomImage(40, 40, 8, 6);
  Inst inst(pic);
  prepared(inst, ISIZE_ResizePreserveAspect);
  CV_SetScrollBars(inst.h, SB_Both);
  CV_Zoom(inst.h, 2.0f);
  CV_SetClientSize(inst.h, 50, 50, 0);
  CV_SetScrollX(inst.h, 10);
  CV_SetScrollY(inst.h, 1000);  // clamped to the end
  EXPECT_EQ(CV_GetScrollX(inst.h), 10);
  EXPECT_EQ(CV_GetScrollY(inst.h), 30);
  const Window win = render(inst.h, 50, 50);
  EXPECT_EQ(win.at(0, 0), rgb32(colourAt(pic, 5, 15)));
  EXPECT_EQ(win.at(49, 49), rgb32(colourAt(pic, 29, 39)));
  EXPECT_FLOAT_EQ(CV_GetIPZoomF(inst.h), 2.0f);
}

TEST(View, ScrollBarsAppearOnlyWhereThePictureIsLarger) {
  const struct {
    int w, h;
    int16_t bars;
    bool hVisible, vVisible;
  } rows[] = {
      {600, 200, SB_Both, true, false},  // zoom 2 of 600 x 200 in 800 x 600: horizontal only
      {600, 400, SB_Both, true, true},   {600, 400, SB_Horizontal, true, false},
      {300, 200, SB_Both, false, false}, {600, 400, SB_None, false, false},
  };
  for (const auto& r : rows) {
    Inst inst(randomImage(r.w, r.h, 24));
    CV_SetScrollBars(inst.h, r.bars);
    CV_Zoom(inst.h, 2.0f);
    CV_SetClientSize(inst.h, 800, 600, 16);
    CV_SCROLLINFO hi, vi;
    CV_GetScrollInfo(inst.h, 0, &hi);
    CV_GetScrollInfo(inst.h, 1, &vi);
    EXPECT_EQ(hi.visible != 0, r.hVisible) << r.w << "x" << r.h;
    EXPECT_EQ(vi.visible != 0, r.vVisible) << r.w << "x" << r.h;
    if (hi.visible) {
      EXPECT_EQ(hi.maximum, 2 * r.w - (vi.visible ? 800 - 16 : 800));
    }
  }
}

TEST(View, ScrollMessagesMoveByTheirSteps) {
  Inst inst(randomImage(300, 300, 24));
  prepared(inst, ISIZE_CropImageToControl);
  CV_SetScrollBars(inst.h, SB_Both);
  CV_SetScrollBarSmallChange(inst.h, 7);
  CV_SetClientSize(inst.h, 100, 100, 0);
  const struct {
    uint32_t wParam;
    int expected;
  } steps[] = {{1, 7}, {1, 14}, {0, 7}, {3, 107}, {7, 200}, {2, 100}, {(150u << 16) | 5, 150},
               {6, 0}};
  for (const auto& s : steps) {
    EXPECT_EQ(CV_WindowMessage(inst.h, 0, 0x0114, s.wParam, 0), 0);
    EXPECT_EQ(CV_GetScrollX(inst.h), s.expected) << s.wParam;
  }
  EXPECT_EQ(CV_WindowMessage(inst.h, 0, 0x0201, 0, 0), -1);  // mouse messages are not the engine's
}

TEST(View, CropOriginMovesTheShownPart) {
  const Image pic = randomImage(30, 30, 4, 8);
  Inst inst(pic);
  prepared(inst, ISIZE_CropImageToControl);
  CV_SetCropX(inst.h, 10);
  CV_SetCropY(inst.h, 5);
  const Window win = render(inst.h, 40, 40);
  EXPECT_EQ(win.at(0, 0), rgb32(colourAt(pic, 10, 5)));
  EXPECT_EQ(win.at(20, 24), kBack32);
}

TEST(View, ResizeControlAsksForTheZoomedPictureSize) {
  Inst inst(randomImage(120, 80, 24));
  CV_SetAutoSize(inst.h, ISIZE_ResizeControl);
  CV_Zoom(inst.h, 0.5f);
  CV_SetClientSize(inst.h, 10, 10, 0);
  CV_RECT r;
  CV_GetControlRect(inst.h, &r);
  EXPECT_EQ(r.right - r.left, 60);
  EXPECT_EQ(r.bottom - r.top, 40);
  CV_SetAutoSize(inst.h, ISIZE_ResizePreserveAspect);
  CV_GetControlRect(inst.h, &r);
  EXPECT_EQ(r.right, 10);
}

TEST(View, PaletteDisplaysShowOnlyTheirColours) {
  const Image pic = randomImage(30, 20, 24, 3);
  Inst inst(pic);
  prepared(inst, ISIZE_CropImageToControl);
  CV_SetDisplayMode(inst.h, DM_VGAColor);
  CV_SetShowDithered(inst.h, DI_Floyd);
  const Window win = render(inst.h, 30, 20);
  std::set<uint32_t> seen(win.px.begin(), win.px.end());
  EXPECT_LE(seen.size(), 16u);
  CV_SetDisplayMode(inst.h, DM_PaletteColor);
  CV_SetPalette(inst.h, IPAL_Gray);
  const Window grey = render(inst.h, 30, 20);
  for (uint32_t p : grey.px) EXPECT_EQ(p & 0xFF, (p >> 8) & 0xFF);
  CV_SetDisplayMode(inst.h, 9);
  EXPECT_EQ(inst.error(), CV_ERR_BAD_ARGUMENT);
  EXPECT_EQ(CV_GetDisplayMode(inst.h), DM_PaletteColor);
}

TEST(View, RubberBandAfterZoomNamesTheRightPicturePixels) {
  const Image pic = randomImage(100, 80, 24, 14);
  Inst inst(pic);
  prepared(inst, ISIZE_CropImageToControl);
  CV_SetScrollBars(inst.h, SB_Both);
  CV_Zoom(inst.h, 2.0f);
  CV_SetClientSize(inst.h, 100, 100, 0);
  CV_SetScrollX(inst.h, 10);
  CV_SetScrollY(inst.h, 6);
  CV_RubberBand(inst.h, -1, 20, 10, 0);  // picture (15, 8)
  CV_RubberbandUpdate(inst.h, 60, 50);   // picture (35, 28)
  EXPECT_EQ(CV_GetRubberBandL(inst.h), 15);
  EXPECT_EQ(CV_GetRubberBandT(inst.h), 8);
  EXPECT_EQ(CV_GetRubberBandW(inst.h), 20);
  EXPECT_EQ(CV_GetRubberBandH(inst.h), 20);

  // The selection stays on the same picture pixels when the view changes afterwards.
  CV_Zoom(inst.h, 1.0f);
  CV_SetAutoSize(inst.h, ISIZE_ResizeControl);
  const CV_HDIB dib = CV_GetCopyRubberbandDib(inst.h);
  ASSERT_EQ(inst.error(), 0);
  ASSERT_NE(dib, 0u);
  Inst other;
  CV_SetHDib(other.h, dib);
  ASSERT_EQ(other.error(), 0);
  const Image& part = other.image();
  ASSERT_EQ(part.width, 20);
  ASSERT_EQ(part.height, 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x)
      ASSERT_EQ(key(colourAt(part, x, y)), key(colourAt(pic, 15 + x, 8 + y)));
}

TEST(View, RubberBandDraggedBackwardsOrBeyondThePictureIsClipped) {
  Inst inst(randomImage(50, 40, 8));
  prepared(inst, ISIZE_CropImageToControl);
  CV_SetClientSize(inst.h, 200, 200, 0);
  CV_RubberBand(inst.h, -1, 30, 30, -1);
  CV_RubberbandUpdate(inst.h, -20, 150);
  EXPECT_EQ(CV_GetRubberBandL(inst.h), 0);
  EXPECT_EQ(CV_GetRubberBandT(inst.h), 30);
  EXPECT_EQ(CV_GetRubberBandW(inst.h), 30);
  EXPECT_EQ(CV_GetRubberBandH(inst.h), 10);
  CV_RubberBand(inst.h, 0, 0, 0, 0);
  EXPECT_EQ(CV_GetRubberBandW(inst.h), 0);
  EXPECT_EQ(CV_GetCopyRubberbandDib(inst.h), 0u);
  EXPECT_EQ(inst.error(), CV_ERR_NO_SELECTION);
}

TEST(View, NegatingRubberBandInvertsItsOutline) {
  const Image pic = randomImage(30, 30, 24, 2);
  Inst inst(pic);
  prepared(inst, ISIZE_CropImageToControl);
  const Window plain = render(inst.h, 30, 30);
  CV_RubberBand(inst.h, -1, 5, 5, -1);
  CV_RubberbandUpdate(inst.h, 15, 12);
  const Window banded = render(inst.h, 30, 30);
  EXPECT_EQ(banded.at(5, 5), 0xFF000000u | (~plain.at(5, 5) & 0xFFFFFF));
  EXPECT_EQ(banded.at(14, 8), 0xFF000000u | (~plain.at(14, 8) & 0xFFFFFF));
  EXPECT_EQ(banded.at(10, 8), plain.at(10, 8));  // inside is untouched
}

TEST(View, DrawingWithoutAPictureFillsTheBackColour) {
  Inst inst;
  rastcore::instanceFor(inst.h)->backColor = kBack;
  const Window win = render(inst.h, 8, 8);
  for (uint32_t p : win.px) EXPECT_EQ(p, kBack32);
}

// Thin dark lines on a light ground, reduced four times: averaging greys them, favouring black
// keeps them whole, favouring white drops them.
TEST(View, AntialiasModesWhenReducing) {
  Image pic;
  pic.width = 40;
  pic.height = 40;
  pic.bpp = 24;
  pic.pixels.assign(Image::strideFor(40, 24) * size_t(40), 0xFF);
  for (int y = 0; y < 40; ++y)
    for (int x = 1; x < 40; x += 4) {
      uint8_t* p = pic.pixels.data() + size_t(y) * pic.stride() + 3 * size_t(x);
      p[0] = p[1] = p[2] = 0;
    }
  const struct {
    int16_t mode;
    uint32_t expected;
  } rows[] = {{AA_FavorBlack, 0xFF000000u}, {AA_FavorWhite, 0xFFFFFFFFu}, {AA_Smooth, 0xFFBFBFBFu}};
  for (const auto& r : rows) {
    Inst inst(pic);
    CV_SetAutoSize(inst.h, ISIZE_ResizeImage);
    CV_SetAntialias(inst.h, r.mode);
    ASSERT_EQ(inst.error(), 0);
    ASSERT_EQ(CV_GetAntialias(inst.h), r.mode);
    const Window win = render(inst.h, 10, 10);
    for (int y = 0; y < 10; ++y)
      for (int x = 1; x < 9; ++x) ASSERT_EQ(win.at(x, y), r.expected) << r.mode << " at " << x;
  }
  Inst inst(pic);
  CV_SetAntialias(inst.h, 4);  // no such mode: refused, the old one kept
  EXPECT_EQ(inst.error(), CV_ERR_BAD_ARGUMENT);
  EXPECT_EQ(CV_GetAntialias(inst.h), AA_Smooth);
}

// A true-colour picture shown reduced, against a plain per-pixel reading of the rule: each
// window pixel averages up to 4 x 4 picture pixels spread over the area it covers (one pixel,
// the one under its centre, without antialiasing). The larger window is drawn in bands on
// several threads.
TEST(View, ReducedTrueColourPicturesSampleAsTheRuleSays) {
  struct Case {
    int picW, picH, winW, winH;
  };
  for (const Case c : {Case{997, 613, 161, 133}, Case{2893, 1711, 640, 397}})
    for (const int16_t bpp : {24, 32})
      for (const int16_t mode : {AA_Smooth, AA_None}) {
        const Image pic = randomImage(c.picW, c.picH, bpp, 11);
        Inst inst(pic);
        rastcore::instanceFor(inst.h)->backColor = kBack;
        CV_SetAutoSize(inst.h, ISIZE_ResizePreserveAspect);
        CV_SetAntialias(inst.h, mode);
        const Window win = render(inst.h, c.winW, c.winH);
        const rastcore::view::Layout l =
            rastcore::view::computeLayout(pic, rastcore::ops::opsStateFor(inst.h)->view);
        const double fx = 1 / l.sx, fy = 1 / l.sy;
        for (int wy = 0; wy < win.h; ++wy)
          for (int wx = 0; wx < win.w; ++wx) {
            double px, py;
            l.toPicture(wx + 0.5, wy + 0.5, px, py);
            uint32_t expected = kBack32;
            if (px >= 0 && py >= 0 && px < pic.width && py < pic.height) {
              const int nx = mode == AA_None ? 1 : std::clamp(int(std::ceil(fx)), 1, 4);
              const int ny = mode == AA_None ? 1 : std::clamp(int(std::ceil(fy)), 1, 4);
              int sum[3] = {};
              for (int j = 0; j < ny; ++j)
                for (int i = 0; i < nx; ++i) {
                  const double x = mode == AA_None ? px : px - fx / 2 + fx * (i + 0.5) / nx;
                  const double y = mode == AA_None ? py : py - fy / 2 + fy * (j + 0.5) / ny;
                  const Rgbq c = colourAt(pic, std::clamp(int(std::floor(x)), 0, pic.width - 1),
                                          std::clamp(int(std::floor(y)), 0, pic.height - 1));
                  sum[0] += c.b, sum[1] += c.g, sum[2] += c.r;
                }
              const int n = nx * ny;
              expected = rgb32({uint8_t((sum[0] + n / 2) / n), uint8_t((sum[1] + n / 2) / n),
                                uint8_t((sum[2] + n / 2) / n), 255});
            }
            ASSERT_EQ(win.at(wx, wy), expected)
                << bpp << " bits, mode " << mode << " at " << wx << "," << wy;
          }
      }
}

TEST(View, PartialRepaintMatchesTheSameRectangleOfAFullOne) {
  const Image pic = randomImage(64, 48, 32, 9);
  Inst inst(pic);
  CV_SetAutoSize(inst.h, ISIZE_ResizePreserveAspect);
  CV_SetAntialias(inst.h, AA_Smooth);
  const Window full = render(inst.h, 100, 90);
  const CV_RECT part{13, 17, 61, 40};
  std::vector<uint32_t> buf(size_t(48) * 23);
  CV_Draw(inst.h, buf.data(), 48 * 4, &part);
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 48; ++x) ASSERT_EQ(buf[size_t(y) * 48 + x], full.at(13 + x, 17 + y));
}

}  // namespace
