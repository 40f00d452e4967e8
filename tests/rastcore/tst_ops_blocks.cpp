// Processing kernels on pictures larger than their tiles, bands and row chunks, so every block
// edge and the split across threads is crossed: quarter turns, rotation, resampling when
// shrinking, the rolling 3x3 filters and the table operations, each against a plain reference.
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

#include "tst_ops_support.h"

using namespace opstest;

namespace {

using Channel = uint8_t Rgbq::*;
constexpr Channel kChannels[] = {&Rgbq::b, &Rgbq::g, &Rgbq::r};

// A smooth picture with fine detail: random pixels would hide errors that mix up neighbours
// only slightly, a flat one errors in the weights.
Image photoLike(int w, int h, int16_t bpp) {
  Image img = randomImage(w, h, bpp, 99);
  if (bpp < 24) return img;
  const int n = bpp / 8;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = img.pixels.data() + size_t(y) * img.stride() + size_t(x) * n;
      p[0] = uint8_t(128 + 100 * std::sin(x * 0.05) * std::cos(y * 0.07) + (p[0] & 15));
      p[1] = uint8_t((x * 3 + y * 5) & 255);
      p[2] = uint8_t(p[2] / 2 + 64);
    }
  return img;
}

TEST(OpsBlocks, QuarterTurnsOfPicturesWiderThanATileMatchTheReference) {
  for (auto [bpp, w, h] : {std::tuple{int16_t(1), 150, 70}, std::tuple{int16_t(4), 70, 300},
                           std::tuple{int16_t(8), 150, 70}, std::tuple{int16_t(24), 70, 300},
                           std::tuple{int16_t(24), 150, 70}, std::tuple{int16_t(32), 70, 300}}) {
    const Image src = randomImage(w, h, bpp, 5);
    for (int angle : {90, -90, 180}) {
      Inst inst(src);
      CV_Rotate(inst.h, float(angle));
      ASSERT_EQ(inst.error(), 0);
      const Image& out = inst.image();
      ASSERT_EQ(out.bpp, bpp);
      ASSERT_EQ(out.width, angle == 180 ? src.width : src.height);
      for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
          const int sx = angle == 90 ? src.width - 1 - y : angle == -90 ? y : src.width - 1 - x;
          const int sy = angle == 90 ? x : angle == -90 ? src.height - 1 - x : src.height - 1 - y;
          ASSERT_EQ(key(colourAt(out, x, y)), key(colourAt(src, sx, sy)))
              << bpp << " bits, " << angle << " degrees, at " << x << "," << y;
        }
    }
  }
}

// Rotation by any angle against a double-precision bilinear reference, on pictures whose
// result spans many row bands and column blocks.
TEST(OpsBlocks, RotationAcrossBlocksMatchesTheBilinearReference) {
  const Rgbq back{60, 50, 40, 255};  // B, G, R of the OLE colour 0x003C3228
  for (int16_t bpp : {int16_t(24), int16_t(32)}) {
    const Image src = photoLike(700, 400, bpp);
    for (double angle : {30.0, -100.0}) {
      Inst inst(src);
      rastcore::instanceFor(inst.h)->backColor = 0x003C3228;
      CV_Rotate(inst.h, float(angle));
      ASSERT_EQ(inst.error(), 0);
      const int worst = worstRotationDifference(src, inst.image(), angle, back);
      EXPECT_LE(worst, 2) << bpp << " bits, " << angle << " degrees";
    }
  }
}

// Shrinking: Resample averages the source area each result pixel covers (2 x 2 blocks at
// half size), PICResize is Lanczos-3 widened by the reduction; both against double-precision
// references, at half size and at a ratio that cuts source pixels.
TEST(OpsBlocks, ShrinkingMatchesAreaAndLanczosReferencesAlongEachAxis) {
  const Image src = photoLike(640, 420, 24);
  auto lanczos3 = [](double t) {
    t = std::fabs(t);
    if (t < 1e-12) return 1.0;
    if (t >= 3) return 0.0;
    return 3 * std::sin(M_PI * t) * std::sin(M_PI * t / 3) / (M_PI * M_PI * t * t);
  };
  // The source pixels along one axis that result pixel i takes, with their weights.
  using Taps = std::vector<std::pair<int, double>>;
  auto nonZero = [](int srcLen, const std::function<double(int)>& weight) {
    Taps taps;
    for (int j = 0; j < srcLen; ++j)
      if (const double v = weight(j); v != 0) taps.emplace_back(j, v);
    return taps;
  };
  auto areaTaps = [&](int srcLen, int dstLen, int i) {
    const double step = double(srcLen) / dstLen, lo = i * step, hi = (i + 1) * step;
    return nonZero(srcLen, [=](int j) {
      return std::max(0.0, std::min(hi, j + 1.0) - std::max(lo, double(j)));
    });
  };
  // Along an axis that grows, Resample interpolates between the two nearest pixel centres.
  auto resampleTaps = [&](int srcLen, int dstLen, int i) {
    if (dstLen < srcLen) return areaTaps(srcLen, dstLen, i);
    const double centre = (i + 0.5) * srcLen / dstLen - 0.5;
    return nonZero(srcLen, [=](int j) { return std::max(0.0, 1 - std::fabs(j - centre)); });
  };
  auto lanczosTaps = [&](int srcLen, int dstLen, int i) {
    const double scale = std::min(1.0, double(dstLen) / srcLen);
    const double centre = (i + 0.5) * srcLen / dstLen - 0.5;
    return nonZero(srcLen, [=](int j) { return lanczos3((j - centre) * scale); });
  };
  using Weights = std::function<Taps(int, int, int)>;
  const std::tuple<const char*, void (*)(CV_HANDLE, int16_t, int16_t), Weights, double> methods[] =
      {
          {"Resample", CV_Resample, resampleTaps, 1.0},
          {"PICResize", CV_PICResize, lanczosTaps, 2.0},
      };
  for (const auto& [name, call, weights, tolerance] : methods) {
    // Half size, a ratio that cuts source pixels, and one axis growing while the other shrinks.
    for (auto [w, h] : {std::pair{320, 210}, std::pair{237, 155}, std::pair{800, 150}}) {
      Inst inst(src);
      call(inst.h, int16_t(w), int16_t(h));
      ASSERT_EQ(inst.error(), 0) << name;
      const Image& out = inst.image();
      ASSERT_EQ(out.width, w);
      ASSERT_EQ(out.height, h);
      std::vector<Taps> columns;
      for (int x = 0; x < w; ++x) columns.push_back(weights(src.width, w, x));
      double worst = 0;
      for (int y = 0; y < h; ++y) {
        const Taps rows = weights(src.height, h, y);
        for (int x = 0; x < w; ++x)
          for (Channel ch : kChannels) {
            double acc = 0, sum = 0;
            for (auto [j, wy] : rows) {
              double row = 0, rowSum = 0;
              for (auto [i, wx] : columns[size_t(x)]) {
                row += wx * colourAt(src, i, j).*ch;
                rowSum += wx;
              }
              acc += wy * row / rowSum;
              sum += wy;
            }
            const double ref = std::clamp(acc / sum, 0.0, 255.0);
            worst = std::max(worst, std::fabs(colourAt(out, x, y).*ch - ref));
          }
      }
      EXPECT_LE(worst, tolerance) << name << " to " << w << " x " << h;
    }
  }
}

// The 3x3 filters keep a rolling window of rows per thread: on a picture split across threads
// every row must still see its true neighbours.
TEST(OpsBlocks, SoftenAndSharpenAcrossThreadBandsMatchTheNeighbourhoodFormula) {
  const Image src = photoLike(801, 600, 24);
  Inst soft(src);
  CV_Soften(soft.h, 10);
  ASSERT_EQ(soft.error(), 0);
  Inst sharp(src);
  CV_Sharpen(sharp.h, 10);
  ASSERT_EQ(sharp.error(), 0);
  auto clamped = [&](int x, int y, Channel ch) {
    return colourAt(src, std::clamp(x, 0, src.width - 1), std::clamp(y, 0, src.height - 1)).*ch;
  };
  const int gauss[9] = {1, 2, 1, 2, 4, 2, 1, 2, 1};
  for (int y = 0; y < src.height; ++y)
    for (int x = 0; x < src.width; ++x)
      for (Channel ch : kChannels) {
        double g = 0, box = 0;
        for (int j = 0; j < 3; ++j)
          for (int i = 0; i < 3; ++i) {
            const int v = clamped(x + i - 1, y + j - 1, ch);
            g += gauss[j * 3 + i] * v;
            box += v;
          }
        ASSERT_NEAR(colourAt(soft.image(), x, y).*ch, g / 16, 0.51) << x << "," << y;
        // Sharpen 10: the centre plus its difference from the mean of the 8 neighbours.
        const double c = colourAt(src, x, y).*ch;
        const double sharpened = std::clamp(c + (c - (box - c) / 8), 0.0, 255.0);
        ASSERT_NEAR(colourAt(sharp.image(), x, y).*ch, sharpened, 1.0) << x << "," << y;
      }
}

// Table operations on a 24-bit picture whose rows end in padding and on a 32-bit one: every
// sample follows the formula, alpha and the padding stay as they were.
void checkTableOperations(const Image& src) {
  const std::pair<const char*, std::function<void(CV_HANDLE)>> ops[] = {
      {"Gamma 2.2", [](CV_HANDLE h) { CV_Gamma(h, 2.2f); }},
      {"Brightness 20", [](CV_HANDLE h) { CV_Brightness(h, 20); }},
      {"AutoContrast", CV_AutoContrast},
  };
  // AutoContrast maps each channel's 0.5% and 99.5% points to 0 and 255.
  std::array<std::pair<int, int>, 3> range{};
  for (size_t c = 0; c < 3; ++c) {
    std::vector<int> values;
    for (int y = 0; y < src.height; ++y)
      for (int x = 0; x < src.width; ++x) values.push_back(colourAt(src, x, y).*kChannels[c]);
    std::sort(values.begin(), values.end());
    std::array<uint64_t, 256> hist{};
    for (int v : values) ++hist[size_t(v)];
    const uint64_t clip = values.size() / 200;
    int lo = 0, hi = 255;
    for (uint64_t acc = 0; lo < 255 && (acc += hist[size_t(lo)]) <= clip;) ++lo;
    for (uint64_t acc = 0; hi > 0 && (acc += hist[size_t(hi)]) <= clip;) --hi;
    range[c] = {lo, hi};
  }
  for (const auto& [name, op] : ops) {
    Inst inst(src);
    op(inst.h);
    ASSERT_EQ(inst.error(), 0) << name;
    const Image& out = inst.image();
    const std::string n = name;
    for (int y = 0; y < src.height; ++y) {
      for (int x = 0; x < src.width; ++x)
        for (size_t c = 0; c < 3; ++c) {
          const int v = colourAt(src, x, y).*kChannels[c];
          double ref;
          if (n == "Gamma 2.2") {
            ref = 255 * std::pow(v / 255.0, 1 / 2.2);
          } else if (n == "Brightness 20") {
            ref = std::min(255, v + 20);
          } else {
            const auto [lo, hi] = range[c];
            ref = std::clamp((v - lo) * 255.0 / (hi - lo), 0.0, 255.0);
          }
          ASSERT_NEAR(colourAt(out, x, y).*kChannels[c], ref, 0.51)
              << name << " at " << x << "," << y;
        }
      for (size_t i = size_t(src.width) * 3; src.bpp == 24 && i < src.stride(); ++i)
        ASSERT_EQ(out.pixels[size_t(y) * out.stride() + i], 0) << name << " row " << y;
      for (int x = 0; src.bpp == 32 && x < src.width; ++x)
        ASSERT_EQ(colourAt(out, x, y).reserved, colourAt(src, x, y).reserved) << name;
    }
  }
}

TEST(OpsBlocks, TableOperationsOnLargePicturesFollowTheirFormulaAndKeepAlphaAndPadding) {
  const Image rgb = photoLike(1001, 700, 24);
  ASSERT_NE(rgb.stride(), size_t(rgb.width) * 3);
  {
    SCOPED_TRACE("24 bits");
    checkTableOperations(rgb);
  }
  SCOPED_TRACE("32 bits");
  checkTableOperations(photoLike(333, 500, 32));
}

}  // namespace
