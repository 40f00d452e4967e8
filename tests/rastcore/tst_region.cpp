// Regions and sprites: the shapes and their combinations, drawing confined to a region on every
// depth, sprites shown over the picture, moved and pasted (undoable), and refusals.
#include <cmath>

#include "region/region.h"
#include "tst_ops_support.h"

using namespace opstest;
using rastcore::region::Mask;

namespace {

int countSet(const Mask& m) {
  int n = 0;
  for (int32_t y = m.y; y < m.y + m.h; ++y)
    for (int32_t x = m.x; x < m.x + m.w; ++x) n += m.contains(x, y);
  return n;
}

Image grey(int w, int h, int16_t bpp) {
  Image img = randomImage(w, h, bpp);
  std::fill(img.pixels.begin(), img.pixels.end(), 0);
  if (bpp <= 8) {
    img.palette.assign(size_t(1) << bpp, Rgbq{0, 0, 0, 0});
    img.palette[1] = Rgbq{255, 255, 255, 0};
  }
  return img;
}

uint32_t rgbAt(const Image& img, int x, int y) {
  return key(colourAt(img, x, y)) & 0xFFFFFF;
}

struct Geometry {
  int32_t x, y, w, h;
};
Geometry regionOf(CV_HANDLE h) {
  return {CV_GetRgnX(h), CV_GetRgnY(h), CV_GetRgnWidth(h), CV_GetRgnHeight(h)};
}

TEST(Region, ShapesCoverThePixelsWhoseCentresTheyHold) {
  const Mask r = rastcore::region::rectangleMask(2, 3, 5, 4, 100, 100);
  EXPECT_EQ(countSet(r), 20);
  EXPECT_TRUE(r.contains(2, 3));
  EXPECT_TRUE(r.contains(6, 6));
  EXPECT_FALSE(r.contains(7, 6));

  // A polygon along the same edges is the same set of pixels.
  const Mask p = rastcore::region::polygonMask({2, 3, 7, 3, 7, 7, 2, 7}, 100, 100);
  EXPECT_EQ(countSet(p), 20);
  EXPECT_EQ(p.x, 2);
  EXPECT_EQ(p.w, 5);

  const Mask e = rastcore::region::ellipseMask(0, 0, 40, 20, 100, 100);
  EXPECT_NEAR(countSet(e), M_PI * 20 * 10, M_PI * 20 * 10 * 0.03);
  EXPECT_EQ(e.w, 40);
  EXPECT_TRUE(e.contains(20, 10));
  EXPECT_FALSE(e.contains(0, 0));
  for (int y = 0; y < 20; ++y)  // symmetric left to right
    for (int x = 0; x < 20; ++x) ASSERT_EQ(e.contains(x, y), e.contains(39 - x, y));

  // Clipped to the picture; a shape wholly outside is empty.
  EXPECT_EQ(countSet(rastcore::region::rectangleMask(-5, -5, 10, 10, 100, 100)), 25);
  EXPECT_TRUE(rastcore::region::rectangleMask(200, 0, 10, 10, 100, 100).empty());
}

TEST(Region, CombinationsJoinTheRegionAndTheShape) {
  // Two 10 x 10 squares overlapping in a 5 x 10 strip.
  const struct {
    int16_t how;
    int count;
    Geometry box;
  } rows[] = {
      {RGN_Replace, 100, {5, 0, 10, 10}}, {RGN_Or, 150, {0, 0, 15, 10}},
      {RGN_And, 50, {5, 0, 5, 10}},       {RGN_Diff, 50, {0, 0, 5, 10}},
      {RGN_Xor, 100, {0, 0, 15, 10}},
  };
  for (const auto& r : rows) {
    Inst inst(grey(30, 20, 24));
    CV_RgnCreate(inst.h, RGN_Rectangle, 0, 0, 10, 10);
    CV_RgnCreate(inst.h, int16_t(RGN_Rectangle | r.how), 5, 0, 10, 10);
    ASSERT_EQ(inst.error(), 0) << r.how;
    const Geometry g = regionOf(inst.h);
    EXPECT_EQ(g.x, r.box.x) << r.how;
    EXPECT_EQ(g.y, r.box.y) << r.how;
    EXPECT_EQ(g.w, r.box.w) << r.how;
    EXPECT_EQ(g.h, r.box.h) << r.how;
    EXPECT_EQ(countSet(rastcore::region::stateFor(inst.h)->region), r.count) << r.how;
  }
}

TEST(Region, PolygonGrowsWithEachPointAndCanCutAHole) {
  Inst inst(grey(40, 40, 24));
  CV_RgnCreate(inst.h, RGN_Rectangle, 0, 0, 40, 40);
  CV_RgnCreate(inst.h, RGN_Polygon | RGN_Diff, 10, 10, 0, 0);
  EXPECT_EQ(CV_GetRgnWidth(inst.h), 40);  // one vertex cuts nothing yet
  CV_RgnAddPoint(inst.h, 30, 10);
  CV_RgnAddPoint(inst.h, 30, 30);
  CV_RgnAddPoint(inst.h, 10, 30);
  ASSERT_EQ(inst.error(), 0);
  const Mask& m = rastcore::region::stateFor(inst.h)->region;
  EXPECT_EQ(countSet(m), 40 * 40 - 20 * 20);
  EXPECT_FALSE(m.contains(20, 20));
  EXPECT_TRUE(m.contains(5, 20));

  CV_RgnCreate(inst.h, RGN_Ellipse, 0, 0, 8, 8);  // a new shape ends the polygon
  CV_RgnAddPoint(inst.h, 1, 1);
  EXPECT_EQ(inst.error(), CV_ERR_NO_SELECTION);
  EXPECT_EQ(CV_GetRgnWidth(inst.h), 8);
  CV_RgnDelete(inst.h);
  EXPECT_EQ(CV_GetRgnWidth(inst.h), 0);
  EXPECT_EQ(CV_GetRgnX(inst.h), 0);
}

TEST(Region, BadArgumentsLeaveTheRegionAsItWas) {
  Inst inst(grey(20, 20, 8));
  CV_RgnCreate(inst.h, RGN_Rectangle, 1, 2, 3, 4);
  const int16_t bad[] = {3, RGN_Rectangle | 0x50, 0x100, -1};
  for (int16_t type : bad) {
    CV_RgnCreate(inst.h, type, 0, 0, 5, 5);
    EXPECT_EQ(inst.error(), CV_ERR_BAD_ARGUMENT) << type;
  }
  CV_RgnCreate(inst.h, RGN_Ellipse, 0, 0, -5, 5);
  EXPECT_EQ(inst.error(), CV_ERR_BAD_ARGUMENT);
  CV_RgnCreate(inst.h, RGN_Rectangle, 2000000000, 0, 5, 5);
  EXPECT_EQ(inst.error(), CV_ERR_BAD_ARGUMENT);
  const Geometry g = regionOf(inst.h);
  EXPECT_EQ(g.x, 1);
  EXPECT_EQ(g.y, 2);
  EXPECT_EQ(g.w, 3);
  EXPECT_EQ(g.h, 4);

  CV_RgnCreate(inst.h, RGN_Polygon, 0, 0, 0, 0);
  for (int i = 1; i < 4096; ++i) CV_RgnAddPoint(inst.h, i % 20, i % 7);
  EXPECT_EQ(inst.error(), 0);
  CV_RgnAddPoint(inst.h, 1, 1);
  EXPECT_EQ(inst.error(), CV_ERR_BAD_ARGUMENT);

  Inst empty;
  CV_RgnCreate(empty.h, RGN_Rectangle, 0, 0, 5, 5);
  EXPECT_EQ(empty.error(), CV_ERR_NO_IMAGE);
  EXPECT_EQ(CV_GetRgnWidth(empty.h), 0);
  CV_RgnCreate(12345, RGN_Rectangle, 0, 0, 5, 5);  // no such instance: nothing happens
}

class RegionDepth : public ::testing::TestWithParam<int16_t> {};
INSTANTIATE_TEST_SUITE_P(AllDepths, RegionDepth, ::testing::ValuesIn(allDepths()));

TEST_P(RegionDepth, EnabledRegionConfinesDrawing) {
  const Image src = grey(40, 30, GetParam());
  Inst inst(src);
  CV_RgnCreate(inst.h, RGN_Ellipse, 5, 5, 20, 16);
  CV_SetDrawFillStyle(inst.h, FS_Solid);
  CV_SetDrawFillColor(inst.h, 0x00FFFFFF);
  CV_SetDrawWidth(inst.h, 3);

  // Not enabled: the whole square is drawn.
  CV_DrawRoundRect(inst.h, 0, 0, 40, 30, 0, 0, 0x00FFFFFF);
  EXPECT_EQ(rgbAt(inst.image(), 1, 1), 0xFFFFFFu);

  inst.set(src);
  CV_SetRgnEnabled(inst.h, -1);
  EXPECT_EQ(CV_GetRgnEnabled(inst.h), -1);
  CV_DrawRoundRect(inst.h, 0, 0, 40, 30, 0, 0, 0x00FFFFFF);
  CV_DrawText(inst.h, 0, 0, "########", 0x00FFFFFF);
  ASSERT_EQ(inst.error(), 0);
  const Mask& m = rastcore::region::stateFor(inst.h)->region;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x)
      ASSERT_EQ(rgbAt(inst.image(), x, y), m.contains(x, y) ? 0xFFFFFFu : 0u) << x << "," << y;
  EXPECT_EQ(inst.image().bpp, GetParam());
}

TEST_P(RegionDepth, SpriteShowsOverThePictureAndPastesWhereItWasMoved) {
  Image src = grey(30, 20, GetParam());
  Inst inst(src);
  // A white 4 x 3 block at (2, 2) becomes the sprite.
  CV_SetDrawFillStyle(inst.h, FS_Solid);
  CV_SetDrawFillColor(inst.h, 0x00FFFFFF);
  CV_DrawRoundRect(inst.h, 2, 2, 6, 5, 0, 0, 0x00FFFFFF);
  src = inst.image();
  CV_RgnCreate(inst.h, RGN_Rectangle, 2, 2, 4, 3);
  CV_RgnCreateSprite(inst.h);
  ASSERT_EQ(inst.error(), 0);
  EXPECT_EQ(CV_GetRgnSpriteX(inst.h), 2);
  EXPECT_EQ(CV_GetRgnSpriteY(inst.h), 2);
  CV_RgnMoveSprite(inst.h, 20, 10);
  EXPECT_EQ(CV_GetRgnSpriteX(inst.h), 20);

  // Shown in the window (actual size at the top left) but not in the picture.
  CV_SetAutoSize(inst.h, ISIZE_CropImageToControl);
  CV_SetAntialias(inst.h, AA_None);
  CV_SetClientSize(inst.h, 30, 20, 0);
  std::vector<uint32_t> win(30 * 20);
  const CV_RECT all{0, 0, 30, 20};
  CV_Draw(inst.h, win.data(), 30 * 4, &all);
  EXPECT_EQ(win[10 * 30 + 20], 0xFFFFFFFFu);
  EXPECT_EQ(win[12 * 30 + 23], 0xFFFFFFFFu);
  EXPECT_EQ(win[13 * 30 + 23], 0xFF000000u);  // below the sprite
  EXPECT_EQ(inst.image().pixels, src.pixels);

  CV_SetUndoEnabled(inst.h, -1);
  CV_RgnPasteSprite(inst.h);
  ASSERT_EQ(inst.error(), 0);
  for (int y = 10; y < 13; ++y)
    for (int x = 20; x < 24; ++x) EXPECT_EQ(rgbAt(inst.image(), x, y), 0xFFFFFFu);
  EXPECT_EQ(rgbAt(inst.image(), 24, 10), 0u);
  EXPECT_EQ(rgbAt(inst.image(), 3, 3), 0xFFFFFFu);  // the original stays
  CV_Undo(inst.h);
  EXPECT_EQ(inst.image().pixels, src.pixels);

  // Partly beyond the picture: only the part over it is pasted.
  CV_RgnMoveSprite(inst.h, 28, -1);
  CV_RgnPasteSprite(inst.h);
  ASSERT_EQ(inst.error(), 0);
  EXPECT_EQ(rgbAt(inst.image(), 29, 0), 0xFFFFFFu);
  EXPECT_EQ(rgbAt(inst.image(), 29, 1), 0xFFFFFFu);
  EXPECT_EQ(rgbAt(inst.image(), 29, 2), 0u);
}

TEST(Region, SpriteKeepsTheRegionsShapeAndItsCallsNeedOne) {
  Inst inst(randomImage(20, 20, 24, 9));
  CV_RgnMoveSprite(inst.h, 1, 1);
  EXPECT_EQ(inst.error(), CV_ERR_NO_SELECTION);
  CV_RgnPasteSprite(inst.h);
  EXPECT_EQ(inst.error(), CV_ERR_NO_SELECTION);
  CV_RgnCreateSprite(inst.h);  // no region
  EXPECT_EQ(inst.error(), CV_ERR_NO_SELECTION);
  CV_RgnCreate(inst.h, RGN_Rectangle, 50, 50, 5, 5);  // empty: outside the picture
  CV_RgnCreateSprite(inst.h);
  EXPECT_EQ(inst.error(), CV_ERR_NO_SELECTION);

  const Image before = inst.image();
  CV_RgnCreate(inst.h, RGN_Ellipse, 0, 0, 10, 10);
  CV_RgnCreateSprite(inst.h);
  CV_RgnMoveSprite(inst.h, 10, 10);
  CV_RgnPasteSprite(inst.h);
  ASSERT_EQ(inst.error(), 0);
  const Mask& m = rastcore::region::stateFor(inst.h)->region;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      const Rgbq want =
          colourAt(before, m.contains(x, y) ? x : x + 10, m.contains(x, y) ? y : y + 10);
      ASSERT_EQ(key(colourAt(inst.image(), x + 10, y + 10)), key(want)) << x << "," << y;
    }
  CV_RgnDeleteSprite(inst.h);
  EXPECT_EQ(inst.error(), 0);
  CV_RgnPasteSprite(inst.h);
  EXPECT_EQ(inst.error(), CV_ERR_NO_SELECTION);
}

}  // namespace
