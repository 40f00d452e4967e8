// Drawing on the picture: pen, fill and draw modes on every depth.
#include <cmath>

#include "tst_ops_support.h"

using namespace opstest;

namespace {

Image solid(int w, int h, int16_t bpp) {
  Image img = randomImage(w, h, bpp);
  std::fill(img.pixels.begin(), img.pixels.end(), 0);
  if (bpp <= 8) {
    // Black, white, red, green, blue first; the rest grey.
    img.palette.assign(size_t(1) << bpp, Rgbq{128, 128, 128, 0});
    const Rgbq first[] = {
        {0, 0, 0, 0}, {255, 255, 255, 0}, {0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}};
    for (size_t i = 0; i < std::min(img.palette.size(), std::size(first)); ++i)
      img.palette[i] = first[i];
  }
  return img;
}

int countColour(const Image& img, uint32_t rgb) {
  int n = 0;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) n += (key(colourAt(img, x, y)) & 0xFFFFFF) == rgb;
  return n;
}

class DrawDepth : public ::testing::TestWithParam<int16_t> {};
INSTANTIATE_TEST_SUITE_P(AllDepths, DrawDepth, ::testing::ValuesIn(allDepths()));

TEST_P(DrawDepth, LineCoversItsPixelsOnly) {
  Inst inst(solid(20, 10, GetParam()));
  CV_DrawLine(inst.h, 2, 4, 17, 4, 0x00FFFFFF);
  ASSERT_EQ(inst.error(), 0);
  EXPECT_EQ(countColour(inst.image(), 0xFFFFFF), 16);
  for (int x = 2; x <= 17; ++x) EXPECT_EQ(key(colourAt(inst.image(), x, 4)) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(inst.image().bpp, GetParam());
}

TEST_P(DrawDepth, XorTwiceRestoresThePictureEvenWithThickOverlappingStrokes) {
  const Image src = randomImage(40, 30, GetParam(), 3);
  Inst inst(src);
  CV_SetDrawMode(inst.h, DM_XorPen);
  CV_SetDrawWidth(inst.h, 5);
  CV_SetDrawFillStyle(inst.h, FS_Cross);
  CV_SetDrawFillColor(inst.h, 0x00123456);
  const int32_t poly[] = {3, 3, 35, 5, 20, 25, 5, 20};
  for (int pass = 0; pass < 2; ++pass) {
    CV_DrawPolygon(inst.h, poly, 4, 0x00FF00FF);
    CV_DrawCurve(inst.h, 0, 0, 40, 0, 0, 30, 40, 30, 0x0000FFFF);
    CV_DrawCircle(inst.h, 20, 15, 9, 0x00ABCDEF);
    ASSERT_EQ(inst.error(), 0);
  }
  EXPECT_EQ(inst.image().pixels, src.pixels);
}

TEST_P(DrawDepth, FilledShapesCoverTheirArea) {
  Inst inst(solid(60, 60, GetParam()));
  CV_SetDrawFillStyle(inst.h, FS_Solid);
  CV_SetDrawFillColor(inst.h, 0x00FFFFFF);
  const int32_t square[] = {10, 10, 30, 10, 30, 30, 10, 30};
  CV_DrawPolygon(inst.h, square, 4, 0x00FFFFFF);
  EXPECT_EQ(countColour(inst.image(), 0xFFFFFF), 21 * 21);  // outline through both edges
  inst.set(solid(60, 60, GetParam()));
  CV_SetDrawFillStyle(inst.h, FS_Solid);
  CV_SetDrawFillColor(inst.h, 0x00FFFFFF);
  CV_DrawCircle(inst.h, 30, 30, 20, 0x00FFFFFF);
  const double area = M_PI * 20 * 20;
  EXPECT_NEAR(countColour(inst.image(), 0xFFFFFF), area, area * 0.08);
  EXPECT_EQ(key(colourAt(inst.image(), 30, 30)) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(key(colourAt(inst.image(), 5, 5)) & 0xFFFFFF, 0u);
}

TEST(Draw, PenColourOnAnIndexedPictureTakesTheNearestEntry) {
  Inst inst(solid(10, 10, 8));
  CV_DrawLine(inst.h, 0, 0, 9, 0, 0x000000F0);  // nearly pure red
  EXPECT_EQ(inst.image().row(0)[3], 2);         // the palette's red
  EXPECT_EQ(inst.image().palette.size(), 256u);
}

TEST(Draw, DashedLineLeavesGaps) {
  Inst inst(solid(60, 3, 24));
  CV_SetDrawStyle(inst.h, DS_Dash);
  CV_DrawLine(inst.h, 0, 1, 59, 1, 0x00FFFFFF);
  const int lit = countColour(inst.image(), 0xFFFFFF);
  EXPECT_GT(lit, 30);
  EXPECT_LT(lit, 60);
}

TEST(Draw, PieAndArcStayInsideTheirBox) {
  Inst inst(solid(50, 50, 24));
  CV_SetDrawFillStyle(inst.h, FS_Solid);
  CV_SetDrawFillColor(inst.h, 0x00FFFFFF);
  // The quarter from the right (3 o'clock) counter-clockwise to the top (12 o'clock).
  CV_DrawPie(inst.h, 10, 10, 40, 40, 45, 25, 25, 0, 0x00FFFFFF);
  ASSERT_EQ(inst.error(), 0);
  EXPECT_EQ(key(colourAt(inst.image(), 32, 18)) & 0xFFFFFF, 0xFFFFFFu);  // upper right
  EXPECT_EQ(key(colourAt(inst.image(), 18, 32)) & 0xFFFFFF, 0u);         // lower left
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 50; ++x)
      if (x < 9 || y < 9 || x > 41 || y > 41) {
        ASSERT_EQ(key(colourAt(inst.image(), x, y)) & 0xFFFFFF, 0u);
      }
}

TEST(Draw, BadDrawArgumentsAreRefused) {
  const Image src = solid(10, 10, 24);
  Inst inst(src);
  const int32_t one[] = {1, 1};
  CV_DrawPolygon(inst.h, one, 1, 0xFF);
  EXPECT_EQ(inst.error(), CV_ERR_BAD_ARGUMENT);
  CV_DrawPolygon(inst.h, nullptr, 3, 0xFF);
  EXPECT_EQ(inst.error(), CV_ERR_BAD_ARGUMENT);
  CV_DrawCircle(inst.h, 5, 5, -2, 0xFF);
  EXPECT_EQ(inst.error(), CV_ERR_BAD_ARGUMENT);
  CV_DrawLine(inst.h, 0, 0, 2000000000, 5, 0xFF);
  EXPECT_EQ(inst.error(), CV_ERR_BAD_ARGUMENT);
  CV_SetDrawWidth(inst.h, 0);
  EXPECT_EQ(inst.error(), CV_ERR_BAD_ARGUMENT);
  EXPECT_EQ(CV_GetDrawWidth(inst.h), 1);
  CV_SetDrawMode(inst.h, 17);
  EXPECT_EQ(CV_GetDrawMode(inst.h), DM_CopyPen);
  EXPECT_EQ(inst.image().pixels, src.pixels);
  Inst empty;
  CV_DrawLine(empty.h, 0, 0, 5, 5, 0);
  EXPECT_EQ(empty.error(), CV_ERR_NO_IMAGE);
}

TEST(Draw, ShapesFarOutsideThePictureChangeNothing) {
  const Image src = randomImage(10, 10, 4);
  Inst inst(src);
  CV_DrawCircle(inst.h, 500, 500, 30, 0xFFFFFF);
  CV_DrawLine(inst.h, -50, -50, -10, 200, 0xFFFFFF);
  EXPECT_EQ(inst.error(), 0);
  EXPECT_EQ(inst.image().pixels, src.pixels);
}

TEST(Draw, TextDrawsGlyphsInCellsAndScales) {
  Inst inst(solid(40, 20, 24));
  CV_DrawText(inst.h, 1, 1, "I", 0x00FFFFFF);
  ASSERT_EQ(inst.error(), 0);
  // "I": a bar of 3 on top and bottom and a stem of 5 between: 11 pixels.
  EXPECT_EQ(countColour(inst.image(), 0xFFFFFF), 11);
  EXPECT_EQ(key(colourAt(inst.image(), 3, 4)) & 0xFFFFFF, 0xFFFFFFu);
  inst.set(solid(40, 20, 24));
  CV_SetDrawWidth(inst.h, 2);
  CV_DrawText(inst.h, 1, 1, "I", 0x00FFFFFF);
  EXPECT_EQ(countColour(inst.image(), 0xFFFFFF), 44);
  const Image before = randomImage(40, 20, 8, 1);
  inst.set(before);
  CV_SetDrawMode(inst.h, DM_XorPen);
  CV_DrawText(inst.h, 0, 0, "Ab\n#~", 0x00FFFFFF);
  EXPECT_NE(inst.image().pixels, before.pixels);
  CV_DrawText(inst.h, 0, 0, "Ab\n#~", 0x00FFFFFF);
  EXPECT_EQ(inst.image().pixels, before.pixels);
}

}  // namespace
