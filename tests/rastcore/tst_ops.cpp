// Processing kernels through the CV_* calls: each checked on every bit depth against a plain
// per-pixel reference, round trips that must give back the exact bytes, undo, and bad input.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <functional>

#include "ops/op_by_name.h"
#include "tst_ops_support.h"

using namespace opstest;

namespace {

using Op = std::function<void(CV_HANDLE)>;
// (x, y) of the result -> (x, y) of the source it must show.
using SourceOf = std::function<void(int x, int y, int w, int h, int& sx, int& sy)>;

struct GeometryCase {
  const char* name;
  Op op;
  bool swapsSize;
  SourceOf source;
};

const GeometryCase kGeometry[] = {
    {"Flip", CV_Flip, false,
     [](int x, int y, int, int h, int& sx, int& sy) { sx = x, sy = h - 1 - y; }},
    {"Mirror", CV_Mirror, false,
     [](int x, int y, int w, int, int& sx, int& sy) { sx = w - 1 - x, sy = y; }},
    {"Rotate90", [](CV_HANDLE h) { CV_Rotate(h, 90); }, true,
     [](int x, int y, int w, int, int& sx, int& sy) { sx = w - 1 - y, sy = x; }},
    {"RotateMinus90", [](CV_HANDLE h) { CV_Rotate(h, -90); }, true,
     [](int x, int y, int, int h, int& sx, int& sy) { sx = y, sy = h - 1 - x; }},
    {"Rotate180", [](CV_HANDLE h) { CV_Rotate(h, 180); }, false,
     [](int x, int y, int w, int h, int& sx, int& sy) { sx = w - 1 - x, sy = h - 1 - y; }},
    {"Rotate450", [](CV_HANDLE h) { CV_Rotate(h, 450); }, true,
     [](int x, int y, int w, int, int& sx, int& sy) { sx = w - 1 - y, sy = x; }},
    {"ResizeDouble", [](CV_HANDLE h) { CV_Resize(h, 2 * 13, 2 * 9); }, false,
     [](int x, int y, int, int, int& sx, int& sy) { sx = x / 2, sy = y / 2; }},
};

class Geometry : public ::testing::TestWithParam<std::tuple<int, int16_t>> {};

TEST_P(Geometry, MatchesPlainReferenceAndKeepsDepth) {
  const GeometryCase& c = kGeometry[std::get<0>(GetParam())];
  const int16_t bpp = std::get<1>(GetParam());
  const Image src = randomImage(13, 9, bpp);
  Inst inst(src);
  c.op(inst.h);
  ASSERT_EQ(inst.error(), 0) << c.name;
  const Image& out = inst.image();
  EXPECT_EQ(out.bpp, bpp) << c.name;
  EXPECT_EQ(CV_GetIPBitsPixel(inst.h), bpp);
  const int ew =
      c.swapsSize ? src.height : (std::string(c.name) == "ResizeDouble" ? 26 : src.width);
  const int eh =
      c.swapsSize ? src.width : (std::string(c.name) == "ResizeDouble" ? 18 : src.height);
  ASSERT_EQ(out.width, ew);
  ASSERT_EQ(out.height, eh);
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) {
      int sx, sy;
      c.source(x, y, src.width, src.height, sx, sy);
      ASSERT_EQ(key(colourAt(out, x, y)), key(colourAt(src, sx, sy)))
          << c.name << " at " << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(AllDepths, Geometry,
                         ::testing::Combine(::testing::Range(0, int(std::size(kGeometry))),
                                            ::testing::ValuesIn(allDepths())));

class Depth : public ::testing::TestWithParam<int16_t> {};
INSTANTIATE_TEST_SUITE_P(AllDepths, Depth, ::testing::ValuesIn(allDepths()));

TEST_P(Depth, RoundTripsGiveTheExactBytes) {
  const Image src = randomImage(17, 11, GetParam(), 3);
  const std::pair<const char*, std::vector<Op>> trips[] = {
      {"rotate 90 four times",
       {[](CV_HANDLE h) { CV_Rotate(h, 90); }, [](CV_HANDLE h) { CV_Rotate(h, 90); },
        [](CV_HANDLE h) { CV_Rotate(h, 90); }, [](CV_HANDLE h) { CV_Rotate(h, 90); }}},
      {"rotate -90 then 90",
       {[](CV_HANDLE h) { CV_Rotate(h, -90); }, [](CV_HANDLE h) { CV_Rotate(h, 90); }}},
      {"flip twice", {CV_Flip, CV_Flip}},
      {"mirror twice", {CV_Mirror, CV_Mirror}},
      {"negate twice", {CV_Negate, CV_Negate}},
  };
  for (const auto& [name, ops] : trips) {
    Inst inst(src);
    for (const Op& op : ops) op(inst.h);
    EXPECT_EQ(inst.error(), 0) << name;
    EXPECT_EQ(inst.image().pixels, src.pixels) << name;
    EXPECT_EQ(inst.image().palette, src.palette) << name;
  }
}

// Point operations: each channel through a function; alpha and indexed depths are kept.
TEST_P(Depth, PointOperationsMatchTheirFormula) {
  struct Case {
    const char* name;
    Op op;
    std::function<int(int)> f;
    int tolerance;
  };
  const Case cases[] = {
      {"Negate", CV_Negate, [](int v) { return 255 - v; }, 0},
      {"Brightness 40", [](CV_HANDLE h) { CV_Brightness(h, 40); },
       [](int v) { return std::min(255, v + 40); }, 0},
      {"Brightness -300 refused", [](CV_HANDLE h) { CV_Brightness(h, -300); },
       [](int v) { return v; }, 0},
      {"Gamma 2.2", [](CV_HANDLE h) { CV_Gamma(h, 2.2f); },
       [](int v) { return int(std::lround(255 * std::pow(v / 255.0, 1 / 2.2))); }, 1},
      {"Solarize 128", [](CV_HANDLE h) { CV_Solarize(h, 128); },
       [](int v) { return v > 128 ? 255 - v : v; }, 0},
  };
  const Image src = randomImage(9, 7, GetParam(), 11);
  for (const Case& c : cases) {
    Inst inst(src);
    c.op(inst.h);
    const Image& out = inst.image();
    ASSERT_EQ(out.bpp, src.bpp) << c.name;
    for (int y = 0; y < src.height; ++y)
      for (int x = 0; x < src.width; ++x) {
        const Rgbq a = colourAt(src, x, y), b = colourAt(out, x, y);
        EXPECT_NEAR(b.r, c.f(a.r), c.tolerance) << c.name;
        EXPECT_NEAR(b.g, c.f(a.g), c.tolerance) << c.name;
        EXPECT_NEAR(b.b, c.f(a.b), c.tolerance) << c.name;
        EXPECT_EQ(b.reserved, a.reserved) << c.name;
      }
  }
}

TEST_P(Depth, SharpenAtTenMatchesThePlainNeighbourhoodFormula) {
  const Image src = randomImage(8, 6, GetParam(), 5);
  Inst inst(src);
  CV_Sharpen(inst.h, 10);  // in + (in - mean of the 8 neighbours)
  ASSERT_EQ(inst.error(), 0);
  const Image& out = inst.image();
  EXPECT_GE(out.bpp, 24);
  auto at = [&](int x, int y) {
    return colourAt(src, std::clamp(x, 0, src.width - 1), std::clamp(y, 0, src.height - 1));
  };
  for (int y = 0; y < src.height; ++y)
    for (int x = 0; x < src.width; ++x)
      for (auto ch : {&Rgbq::b, &Rgbq::g, &Rgbq::r}) {
        int sum = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx)
            if (dx || dy) sum += at(x + dx, y + dy).*ch;
        const double v = 2.0 * (at(x, y).*ch) - sum / 8.0;
        EXPECT_NEAR(colourAt(out, x, y).*ch, std::clamp(v, 0.0, 255.0), 1.0);
      }
}

TEST_P(Depth, ResizeMethodsGiveTheAskedSize) {
  const Image src = randomImage(40, 30, GetParam());
  const std::pair<int16_t, int16_t> sizes[] = {{1, 1}, {37, 23}, {120, 90}, {40, 1}};
  for (auto [w, h] : sizes) {
    for (auto method : {CV_Resize, CV_Resample, CV_PICResize}) {
      Inst inst(src);
      method(inst.h, w, h);
      ASSERT_EQ(inst.error(), 0);
      EXPECT_EQ(CV_GetIWidth(inst.h), w);
      EXPECT_EQ(CV_GetIHeight(inst.h), h);
      EXPECT_EQ(CV_GetIPWidth(inst.h), w);
      EXPECT_EQ(CV_GetIPHeight(inst.h), h);
    }
  }
}

TEST_P(Depth, NeutralAdjustmentsChangeNothing) {
  const Image src = randomImage(15, 10, GetParam(), 9);
  const std::pair<const char*, Op> neutral[] = {
      {"Gamma 1.0", [](CV_HANDLE h) { CV_Gamma(h, 1.0f); }},
      {"Brightness 0", [](CV_HANDLE h) { CV_Brightness(h, 0); }},
      {"Contrast 0", [](CV_HANDLE h) { CV_Contrast(h, 0); }},
      {"AdjustRGB 0", [](CV_HANDLE h) { CV_AdjustRGB(h, 0, 0, 0, 0); }},
      {"Rotate 0", [](CV_HANDLE h) { CV_Rotate(h, 0); }},
      {"Rotate 360", [](CV_HANDLE h) { CV_Rotate(h, 360); }},
  };
  for (const auto& [name, op] : neutral) {
    Inst inst(src);
    op(inst.h);
    EXPECT_EQ(inst.error(), 0) << name;
    EXPECT_EQ(inst.image().pixels, src.pixels) << name;
    EXPECT_EQ(inst.image().palette, src.palette) << name;
  }
}

TEST_P(Depth, ColorDepthGivesItsDepthAndColourCountForEveryPaletteAndDither) {
  const Image src = randomImage(33, 21, GetParam(), 21);
  for (int16_t bits : {1, 4, 8})
    for (int16_t pal :
         {IPAL_Optimized, IPAL_Fixed, IPAL_Gray, IPAL_OptimizedDither, IPAL_GrayDither})
      for (int16_t dither : {DI_Nearest, DI_Floyd, DI_Ordered, DI_Corvane}) {
        Inst inst(src);
        CV_ColorDepth(inst.h, bits, pal, dither);
        ASSERT_EQ(inst.error(), 0) << bits << "/" << pal << "/" << dither;
        EXPECT_EQ(CV_GetIPBitsPixel(inst.h), bits);
        EXPECT_LE(distinctColours(inst.image()), size_t(1) << bits);
        EXPECT_EQ(CV_GetIPPalette(inst.h), pal);
        EXPECT_EQ(CV_GetIPDither(inst.h), dither);
      }
  for (int16_t bits : {24, 32}) {
    Inst inst(src);
    CV_ColorDepth(inst.h, bits, IPAL_OptimizedDither, DI_Nearest);
    ASSERT_EQ(inst.error(), 0);
    EXPECT_EQ(CV_GetIPBitsPixel(inst.h), bits);
    EXPECT_TRUE(sameColours(inst.image(), src) || src.bpp == 32);
  }
}

TEST_P(Depth, ColorDepthKeepsEveryColourWhenThePaletteCanHoldThem) {
  if (GetParam() > 8) GTEST_SKIP() << "only indexed pictures have few enough colours";
  const Image src = randomImage(20, 20, GetParam(), 4);
  for (int16_t dither : {DI_Nearest, DI_Floyd, DI_Corvane}) {
    Inst inst(src);
    CV_ColorDepth(inst.h, 8, IPAL_Optimized, dither);
    ASSERT_EQ(inst.error(), 0);
    EXPECT_TRUE(sameColours(inst.image(), src)) << dither;
  }
}

TEST(Ops, RotateByAnyAngleHoldsTheRotatedCorners) {
  const struct {
    int w, h;
    double angle;
    int ew, eh;
  } rows[] = {
      {100, 50, 45, 107, 107}, {100, 50, -45, 107, 107}, {64, 48, 30, 80, 74}, {10, 10, 1, 11, 11}};
  for (const auto& r : rows) {
    Inst inst(randomImage(r.w, r.h, 24));
    CV_Rotate(inst.h, r.angle);
    ASSERT_EQ(inst.error(), 0);
    EXPECT_EQ(CV_GetIWidth(inst.h), r.ew) << r.angle;
    EXPECT_EQ(CV_GetIHeight(inst.h), r.eh) << r.angle;
    EXPECT_DOUBLE_EQ(CV_GetIPRotateA(inst.h), r.angle);
  }
}

TEST(Ops, RotateFillsUncoveredCornersWithTheBackColour) {
  Image src = randomImage(40, 40, 24);
  Inst inst(src);
  rastcore::instanceFor(inst.h)->backColor = 0x00FF0000;  // blue as 0x00BBGGRR
  CV_Rotate(inst.h, 45);
  const Rgbq corner = colourAt(inst.image(), 0, 0);
  EXPECT_EQ(corner.b, 255);
  EXPECT_EQ(corner.g, 0);
  EXPECT_EQ(corner.r, 0);
}

TEST(Ops, ColorDepthEightFiveOneLeavesAtMost256Colours) {
  Inst inst(randomImage(64, 64, 24, 99));
  CV_ColorDepth(inst.h, 8, IPAL_OptimizedDither, DI_Floyd);
  ASSERT_EQ(inst.error(), 0);
  EXPECT_EQ(CV_GetIPBitsPixel(inst.h), 8);
  EXPECT_LE(distinctColours(inst.image()), 256u);
  CV_ColorDepth(inst.h, 1, IPAL_Fixed, DI_Nearest);
  EXPECT_EQ(CV_GetIPBitsPixel(inst.h), 1);
  EXPECT_LE(distinctColours(inst.image()), 2u);
}

TEST(Ops, FloydDitheringKeepsTheAverageBrightnessOfAGreyRamp) {
  Image ramp = randomImage(256, 16, 24);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 256; ++x) {
      uint8_t* p = ramp.pixels.data() + size_t(y) * ramp.stride() + 3 * size_t(x);
      p[0] = p[1] = p[2] = uint8_t(x);
    }
  for (int16_t dither : {DI_Floyd, DI_Ordered, DI_Corvane}) {
    Inst inst(ramp);
    CV_ColorDepth(inst.h, 1, IPAL_Gray, dither);
    ASSERT_EQ(inst.error(), 0);
    // Columns 64 wide: the share of white follows the grey level of the original.
    for (int band = 0; band < 4; ++band) {
      double sum = 0;
      for (int y = 0; y < 16; ++y)
        for (int x = band * 64; x < band * 64 + 64; ++x) sum += colourAt(inst.image(), x, y).r;
      const double mean = sum / (16 * 64), expected = band * 64 + 31.5;
      EXPECT_NEAR(mean, expected, 20) << "dither " << dither << " band " << band;
    }
  }
}

TEST(Ops, UndoAfterEachOperationRestoresTheExactPicture) {
  const std::pair<const char*, Op> ops[] = {
      {"Flip", CV_Flip},
      {"Mirror", CV_Mirror},
      {"Negate", CV_Negate},
      {"AutoContrast", CV_AutoContrast},
      {"Sharpen", [](CV_HANDLE h) { CV_Sharpen(h, 5); }},
      {"Soften", [](CV_HANDLE h) { CV_Soften(h, 5); }},
      {"Rotate 45", [](CV_HANDLE h) { CV_Rotate(h, 45); }},
      {"Rotate -90", [](CV_HANDLE h) { CV_Rotate(h, -90); }},
      {"Brightness", [](CV_HANDLE h) { CV_Brightness(h, 30); }},
      {"Contrast", [](CV_HANDLE h) { CV_Contrast(h, 40); }},
      {"AdjustRGB", [](CV_HANDLE h) { CV_AdjustRGB(h, 0, 10, -20, 30); }},
      {"Gamma", [](CV_HANDLE h) { CV_Gamma(h, 0.5f); }},
      {"ColorDepth", [](CV_HANDLE h) { CV_ColorDepth(h, 4, IPAL_OptimizedDither, DI_Floyd); }},
      {"Resize", [](CV_HANDLE h) { CV_Resize(h, 7, 5); }},
      {"Resample", [](CV_HANDLE h) { CV_Resample(h, 50, 40); }},
      {"PICResize", [](CV_HANDLE h) { CV_PICResize(h, 11, 3); }},
      {"Crop", [](CV_HANDLE h) { CV_Crop(h, 2, 3, 5, 4); }},
      {"Swirl", [](CV_HANDLE h) { CV_Swirl(h, 90); }},
  };
  const Image src = randomImage(21, 13, 24, 8);
  for (const auto& [name, op] : ops) {
    Inst inst(src);
    CV_SetUndoEnabled(inst.h, -1);
    op(inst.h);
    ASSERT_EQ(inst.error(), 0) << name;
    EXPECT_NE(inst.image().pixels, src.pixels) << name << " changed nothing";
    CV_Undo(inst.h);
    EXPECT_EQ(inst.error(), 0) << name;
    EXPECT_EQ(inst.image().pixels, src.pixels) << name;
    EXPECT_EQ(inst.image().width, src.width) << name;
    EXPECT_EQ(inst.image().bpp, src.bpp) << name;
  }
}

TEST(Ops, UndoReturnsToThePointWhereUndoWasArmed) {
  const Image src = randomImage(10, 10, 24, 2);
  Inst inst(src);
  CV_SetUndoEnabled(inst.h, -1);
  CV_Brightness(inst.h, 20);
  CV_Contrast(inst.h, 20);  // one command: brightness and contrast are undone together
  CV_Undo(inst.h);
  EXPECT_EQ(inst.image().pixels, src.pixels);
  CV_Undo(inst.h);
  EXPECT_EQ(inst.error(), CV_ERR_NO_UNDO);  // one level only

  CV_SetUndoEnabled(inst.h, -1);
  CV_Flip(inst.h);
  const Image flipped = inst.image();
  CV_SetUndoEnabled(inst.h, -1);  // the next command re-arms: only it is undone
  CV_Negate(inst.h);
  CV_Undo(inst.h);
  EXPECT_EQ(inst.image().pixels, flipped.pixels);

  CV_SetUndoEnabled(inst.h, 0);
  CV_Negate(inst.h);
  CV_Undo(inst.h);
  EXPECT_EQ(inst.error(), CV_ERR_NO_UNDO);
}

TEST(Ops, FailedOperationKeepsPictureAndUndoCopy) {
  const Image src = randomImage(10, 10, 8, 2);
  Inst inst(src);
  CV_SetUndoEnabled(inst.h, -1);
  CV_Flip(inst.h);
  const Image flipped = inst.image();
  CV_Resize(inst.h, 0, 10);
  EXPECT_EQ(inst.error(), CV_ERR_BAD_ARGUMENT);
  EXPECT_EQ(inst.image().pixels, flipped.pixels);
  CV_Undo(inst.h);
  EXPECT_EQ(inst.image().pixels, src.pixels);
}

TEST(Ops, BadArgumentsGiveAnErrorAndLeaveThePicture) {
  const struct {
    const char* name;
    Op op;
    int16_t error;
  } rows[] = {
      {"Resize 0 wide", [](CV_HANDLE h) { CV_Resize(h, 0, 5); }, CV_ERR_BAD_ARGUMENT},
      {"Resample negative", [](CV_HANDLE h) { CV_Resample(h, -4, 5); }, CV_ERR_BAD_ARGUMENT},
      {"PICResize negative", [](CV_HANDLE h) { CV_PICResize(h, 5, -1); }, CV_ERR_BAD_ARGUMENT},
      {"Tile overflowing", [](CV_HANDLE h) { CV_Tile(h, 32767, 32767); }, CV_ERR_TOO_LARGE},
      {"Gamma 0", [](CV_HANDLE h) { CV_Gamma(h, 0.0f); }, CV_ERR_BAD_ARGUMENT},
      {"Gamma negative", [](CV_HANDLE h) { CV_Gamma(h, -1.0f); }, CV_ERR_BAD_ARGUMENT},
      {"Gamma NaN", [](CV_HANDLE h) { CV_Gamma(h, std::nanf("")); }, CV_ERR_BAD_ARGUMENT},
      {"Rotate infinite", [](CV_HANDLE h) { CV_Rotate(h, INFINITY); }, CV_ERR_BAD_ARGUMENT},
      {"Sharpen 0", [](CV_HANDLE h) { CV_Sharpen(h, 0); }, CV_ERR_BAD_ARGUMENT},
      {"ColorDepth 7 bits", [](CV_HANDLE h) { CV_ColorDepth(h, 7, 0, 0); }, CV_ERR_BAD_ARGUMENT},
      {"ColorDepth palette 8", [](CV_HANDLE h) { CV_ColorDepth(h, 8, 8, 0); }, CV_ERR_BAD_ARGUMENT},
      {"ColorDepth dither 4", [](CV_HANDLE h) { CV_ColorDepth(h, 8, 0, 4); }, CV_ERR_BAD_ARGUMENT},
      {"ColorDepth palette file unset", [](CV_HANDLE h) { CV_ColorDepth(h, 8, IPAL_PalFile, 0); },
       CV_ERR_BAD_ARGUMENT},
      {"Crop outside", [](CV_HANDLE h) { CV_Crop(h, 50, 0, 5, 5); }, CV_ERR_BAD_ARGUMENT},
      {"Crop empty", [](CV_HANDLE h) { CV_Crop(h, 0, 0, 0, 5); }, CV_ERR_BAD_ARGUMENT},
      {"CropBorder too wide", [](CV_HANDLE h) { CV_CropBorder(h, 6, 0); }, CV_ERR_BAD_ARGUMENT},
      {"AdjustRGB type 5", [](CV_HANDLE h) { CV_AdjustRGB(h, 5, 0, 0, 0); }, CV_ERR_BAD_ARGUMENT},
      {"Twist rotation 9", [](CV_HANDLE h) { CV_Twist(h, 2, 9); }, CV_ERR_BAD_ARGUMENT},
      {"Area resize", [](CV_HANDLE h) { CV_Area(h, CV_IP_Resize, 0, 0, 3, 3); },
       CV_ERR_BAD_ARGUMENT},
      {"Matrix null", [](CV_HANDLE h) { CV_Matrix(h, nullptr, 100, 1, 0); }, CV_ERR_BAD_ARGUMENT},
      {"Blend bad handle", [](CV_HANDLE h) { CV_Blend(h, 0xDEADBEEF, 50); }, CV_ERR_BAD_HANDLE},
      {"No scanner connected", CV_TwainAcquire, CV_ERR_NO_DEVICE},  // the tests' SANE has none
      {"Screen unreadable", [](CV_HANDLE h) { CV_CaptureDib(h, 0); }, CV_ERR_SCREEN_DENIED},
      {"Capture bad handle", [](CV_HANDLE h) { CV_CaptureDib(h, 0xDEADBEEF); }, CV_ERR_BAD_HANDLE},
  };
  for (int16_t bpp : allDepths()) {
    const Image src = randomImage(10, 8, bpp);
    for (const auto& r : rows) {
      Inst inst(src);
      r.op(inst.h);
      EXPECT_EQ(inst.error(), r.error) << r.name << " at " << bpp;
      EXPECT_EQ(inst.image().pixels, src.pixels) << r.name;
      EXPECT_EQ(inst.image().width, src.width) << r.name;
    }
  }
}

TEST(Ops, OperationsWithoutAPictureReportIt) {
  Inst inst;
  for (const Op& op : {Op(CV_Flip), Op(CV_Negate), Op([](CV_HANDLE h) { CV_Rotate(h, 90); }),
                       Op([](CV_HANDLE h) { CV_ColorDepth(h, 8, 5, 1); }),
                       Op([](CV_HANDLE h) { CV_Resample(h, 5, 5); }), Op(CV_Undo)}) {
    op(inst.h);
    EXPECT_LT(inst.error(), 0);
  }
  CV_Flip(inst.h);
  EXPECT_EQ(inst.error(), CV_ERR_NO_IMAGE);
  CV_Flip(987654);  // an unknown instance: nothing happens
  EXPECT_EQ(CV_GetImagError(987654), CV_ERR_BAD_INSTANCE);
}

// Every named operation, with workable arguments, on every depth: no failure, and the picture
// reports the depth it has.
TEST(Ops, EveryNamedOperationRunsOnEveryDepth) {
  const std::map<std::string, std::vector<std::string>> args = {
      {"UndoEnabled", {"-1"}},
      {"Sharpen", {"5"}},
      {"Soften", {"15"}},
      {"Rotate", {"33"}},
      {"Brightness", {"10"}},
      {"Contrast", {"-20"}},
      {"AdjustRGB", {"1", "10", "0", "-10"}},
      {"AdjustHSL", {"0", "40", "10", "5"}},
      {"Gamma", {"1.8"}},
      {"Solarize", {"100"}},
      {"Posterize", {"4"}},
      {"Parabolic", {"50"}},
      {"ColorDepth", {"4", "5", "2"}},
      {"ColorSeparation", {"3"}},
      {"Resize", {"9", "4"}},
      {"Resample", {"30", "20"}},
      {"PICResize", {"12", "12"}},
      {"Crop", {"1", "1", "5", "5"}},
      {"CropBorder", {"1", "1"}},
      {"AutoCrop", {"10"}},
      {"Mosaic", {"3"}},
      {"Noise", {"20", "1"}},
      {"MBlur", {"3", "1", "1"}},
      {"ReplaceColors", {"0", "0x808080", "0xFF"}},
      {"Twist", {"2", "3"}},
      {"Tile", {"30", "30"}},
      {"Area", {"8", "1", "1", "4", "4"}},
      {"Matrix", {"0", "-1", "0", "-1", "5", "-1", "0", "-1", "0", "80", "1", "0"}},
      {"Perspective", {"0", "30"}},
      {"Ripple", {"3", "2", "2"}},
      {"PWarp", {"2", "0", "15", "2", "14", "10", "0", "9"}},
      {"Swirl", {"120"}},
      {"Buttonize", {"1", "3", "40"}},
      {"Pinch", {"-50"}},
      {"DrawLine", {"0", "0", "9", "7", "255"}},
      {"DrawCircle", {"5", "5", "4", "0xFF00"}},
      {"DrawArc", {"0", "0", "10", "8", "10", "4", "5", "0", "0"}},
      {"DrawPie", {"0", "0", "10", "8", "10", "4", "5", "0", "0"}},
      {"DrawCurve", {"0", "0", "3", "9", "6", "-3", "9", "7", "0xFFFFFF"}},
      {"DrawRoundRect", {"1", "1", "9", "7", "3", "3", "0x123456"}},
      {"DrawFillColor", {"0xFF"}},
      {"DrawFillStyle", {"6"}},
      {"DrawMode", {"7"}},
      {"DrawStyle", {"2"}},
      {"DrawWidth", {"3"}},
  };
  for (int16_t bpp : allDepths()) {
    for (const std::string& name : rastcore::namedOps()) {
      if (name == "Undo" || name == "Merge" || name == "Blend") continue;
      Inst inst(randomImage(16, 10, bpp, 77));
      const auto it = args.find(name);
      const int16_t err = rastcore::applyNamedOp(
          inst.h, name, it == args.end() ? std::vector<std::string>{} : it->second);
      EXPECT_EQ(err, 0) << name << " at " << bpp;
      const Image& out = inst.image();
      EXPECT_EQ(CV_GetIPBitsPixel(inst.h), out.bpp) << name;
      EXPECT_EQ(out.pixels.size(), Image::strideFor(out.width, out.bpp) * size_t(out.height))
          << name;
      EXPECT_EQ(out.palette.size(), out.bpp <= 8 ? size_t(1) << out.bpp : 0u) << name;
    }
  }
}

TEST(Ops, NamedOperationsRefuseUnknownNamesAndBadNumbers) {
  Inst inst(randomImage(8, 8, 24));
  const Image before = inst.image();
  const struct {
    const char* name;
    std::vector<std::string> args;
    int16_t error;
  } rows[] = {
      {"Rotate", {"45"}, 0},
      {"Rotate", {}, -11},
      {"NoSuchOp", {}, -11},
      {"Resize", {"70000", "5"}, CV_ERR_BAD_ARGUMENT},
      {"Resize", {"5x", "5"}, CV_ERR_BAD_ARGUMENT},
      {"Gamma", {"nan"}, CV_ERR_BAD_ARGUMENT},
  };
  for (const auto& r : rows) {
    Inst fresh(before);
    EXPECT_EQ(rastcore::applyNamedOp(fresh.h, r.name, r.args), r.error) << r.name;
    EXPECT_EQ(fresh.error(), r.error) << r.name;
    if (r.error) {
      EXPECT_EQ(fresh.image().pixels, before.pixels) << r.name;
    }
  }
}

TEST(Ops, AreaRunsAnEffectOnlyInsideTheRectangle) {
  const Image src = randomImage(12, 10, 24, 31);
  Inst inst(src);
  CV_Area(inst.h, CV_IP_Negate, 2, 3, 4, 5);
  ASSERT_EQ(inst.error(), 0);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x) {
      const bool inside = x >= 2 && x < 6 && y >= 3 && y < 8;
      const Rgbq a = colourAt(src, x, y), b = colourAt(inst.image(), x, y);
      EXPECT_EQ(b.r, inside ? 255 - a.r : a.r);
    }
  EXPECT_EQ(CV_GetIPArea(inst.h), CV_IP_Negate);
  EXPECT_EQ(CV_GetIPAreaWidth(inst.h), 4);
}

TEST(Ops, ColorDepthWithAPaletteFileUsesItsColours) {
  const std::string jasc = "/tmp/rc3ops_" + std::to_string(::getpid()) + ".pal";
  {
    std::ofstream f(jasc);
    f << "JASC-PAL\n0100\n4\n255 0 0\n0 255 0\n0 0 255\n10 20 30\n";
  }
  for (int16_t pal : {IPAL_PalFile, IPAL_PalFileDither, IPAL_UserDefined}) {
    Inst inst(randomImage(20, 20, 24, 6));
    CV_SetPFileName(inst.h, jasc.c_str());
    ASSERT_EQ(inst.error(), 0);
    CV_ColorDepth(inst.h, 8, pal, DI_Nearest);
    ASSERT_EQ(inst.error(), 0);
    std::set<uint32_t> allowed = {0xFF0000, 0x00FF00, 0x0000FF, 0x0A141E};
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x) {
        const Rgbq c = colourAt(inst.image(), x, y);
        EXPECT_TRUE(allowed.count(uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b)) << pal;
      }
  }
  std::ofstream(jasc) << "not a palette";
  Inst inst(randomImage(5, 5, 24));
  CV_SetPFileName(inst.h, jasc.c_str());
  EXPECT_EQ(inst.error(), CV_ERR_BAD_ARGUMENT);
  CV_ColorDepth(inst.h, 8, IPAL_PalFile, DI_Nearest);
  EXPECT_EQ(inst.error(), CV_ERR_BAD_ARGUMENT);
  std::remove(jasc.c_str());
}

// Rotation by any angle against a plain double-precision bilinear reference: each result pixel
// centre mapped back into the picture, the background outside it.
TEST_P(Depth, RotateByAnyAngleMatchesAPlainBilinearReference) {
  const Image src = randomImage(23, 17, GetParam(), 41);
  const Rgbq back{30, 20, 10, 255};  // B, G, R of the OLE colour 0x001E140A
  for (double angle : {30.0, -137.5, 1.0}) {
    Inst inst(src);
    rastcore::instanceFor(inst.h)->backColor = 0x001E140A;
    CV_Rotate(inst.h, angle);
    ASSERT_EQ(inst.error(), 0);
    const int worst = worstRotationDifference(src, inst.image(), angle, back);
    EXPECT_LE(worst, 2) << angle;
  }
}

// 3x3 filters against plain per-pixel references over the clamped neighbourhood.
TEST_P(Depth, NeighbourhoodFiltersMatchPlainReferences) {
  using Window = std::array<int, 9>;  // row by row, centre at 4
  const std::pair<const char*, std::function<double(const Window&)>> filters[] = {
      {"Median",
       [](Window w) {
         std::sort(w.begin(), w.end());
         return double(w[4]);
       }},
      {"Dilate", [](const Window& w) { return double(*std::max_element(w.begin(), w.end())); }},
      {"Erode", [](const Window& w) { return double(*std::min_element(w.begin(), w.end())); }},
      {"Blur",
       [](const Window& w) {
         double s = 0;
         for (int v : w) s += v;
         return s / 9;
       }},
      {"Soften:10",
       [](const Window& w) {
         const int k[9] = {1, 2, 1, 2, 4, 2, 1, 2, 1};
         double s = 0;
         for (int i = 0; i < 9; ++i) s += k[i] * w[size_t(i)];
         return s / 16;
       }},
  };
  const Image src = randomImage(11, 9, GetParam(), 17);
  for (const auto& [name, f] : filters) {
    Inst inst(src);
    const std::string n = name;
    const size_t colon = n.find(':');
    const std::vector<std::string> args = colon == std::string::npos
                                              ? std::vector<std::string>{}
                                              : std::vector<std::string>{n.substr(colon + 1)};
    ASSERT_EQ(rastcore::applyNamedOp(inst.h, n.substr(0, colon), args), 0) << name;
    const Image& out = inst.image();
    for (int y = 0; y < src.height; ++y)
      for (int x = 0; x < src.width; ++x)
        for (auto ch : {&Rgbq::b, &Rgbq::g, &Rgbq::r}) {
          Window w;
          for (int j = 0; j < 3; ++j)
            for (int i = 0; i < 3; ++i)
              w[size_t(j * 3 + i)] = colourAt(src, std::clamp(x + i - 1, 0, src.width - 1),
                                              std::clamp(y + j - 1, 0, src.height - 1)).*
                                     ch;
          ASSERT_NEAR(colourAt(out, x, y).*ch, f(w), 0.51) << name << " at " << x << "," << y;
        }
  }
}

// Enlarging with Resample is bilinear interpolation between pixel centres, edges repeated;
// PICResize is Lanczos-3, checked against a plain double-precision two-pass reference.
TEST_P(Depth, ResamplingMatchesPlainReferences) {
  const Image src = randomImage(9, 7, GetParam(), 23);
  const int w = 20, h = 17;
  auto clampAt = [&](int x, int y, uint8_t Rgbq::*ch) {
    return double(colourAt(src, std::clamp(x, 0, src.width - 1), std::clamp(y, 0, src.height - 1)).*
                  ch);
  };
  Inst bilinear(src);
  CV_Resample(bilinear.h, w, h);
  ASSERT_EQ(bilinear.error(), 0);
  Inst lanczos(src);
  CV_PICResize(lanczos.h, w, h);
  ASSERT_EQ(lanczos.error(), 0);
  auto lanczos3 = [](double t) {
    t = std::fabs(t);
    if (t < 1e-12) return 1.0;
    if (t >= 3) return 0.0;
    return 3 * std::sin(M_PI * t) * std::sin(M_PI * t / 3) / (M_PI * M_PI * t * t);
  };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double sx = (x + 0.5) * src.width / w - 0.5, sy = (y + 0.5) * src.height / h - 0.5;
      for (auto ch : {&Rgbq::b, &Rgbq::g, &Rgbq::r}) {
        const int x0 = int(std::floor(sx)), y0 = int(std::floor(sy));
        const double ax = sx - x0, ay = sy - y0;
        const double bl =
            (clampAt(x0, y0, ch) * (1 - ax) + clampAt(x0 + 1, y0, ch) * ax) * (1 - ay) +
            (clampAt(x0, y0 + 1, ch) * (1 - ax) + clampAt(x0 + 1, y0 + 1, ch) * ax) * ay;
        EXPECT_NEAR(colourAt(bilinear.image(), x, y).*ch, bl, 1.0);
        // Weights over the taps inside the picture, normalised (the edges are not padded).
        double acc = 0, wsum = 0;
        for (int j = int(std::floor(sy)) - 2; j <= int(std::floor(sy)) + 3; ++j) {
          if (j < 0 || j >= src.height) continue;
          double row = 0, rsum = 0;
          for (int i = int(std::floor(sx)) - 2; i <= int(std::floor(sx)) + 3; ++i) {
            if (i < 0 || i >= src.width) continue;
            row += lanczos3(i - sx) * clampAt(i, j, ch);
            rsum += lanczos3(i - sx);
          }
          acc += lanczos3(j - sy) * row / rsum;
          wsum += lanczos3(j - sy);
        }
        EXPECT_NEAR(colourAt(lanczos.image(), x, y).*ch, std::clamp(acc / wsum, 0.0, 255.0), 2.0);
      }
    }
}

}  // namespace
