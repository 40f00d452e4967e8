// WebP: the engine's files against dwebp, cwebp's and img2webp's files against dwebp, the
// lossless round trip, the quality option, animation frames as pages and hostile files.
// dwebp writes PNG, which the engine's PNG reader gives back for the comparison.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats_helpers.h"
#include "rastcore3.h"

using namespace fmt_test;

namespace {

constexpr int kWidth = 53, kHeight = 31;

std::string quote(const std::string& s) {
  return "'" + s + "'";
}

Pixels dwebpDecode(const std::string& webp) {
  const std::string png = webp + ".png";
  if (run("dwebp " + quote(webp) + " -o " + quote(png)) != 0) return {};
  CV_HANDLE h = load(png);
  Pixels p = pixelsOf(h);
  CV_DestroyInstance(h);
  return p;
}

std::string saveFrom(const Pixels* pixels, int bpp, const std::string& name, int quality,
                     bool lossless) {
  CV_HANDLE h = 0;
  CV_CreateInstance(&h);
  CV_SetHDib(h, pixels ? dibFromPixels(*pixels) : makeDib(kWidth, kHeight, bpp));
  const std::string file = tempDir() + "/" + name;
  CV_SetSaveFileName(h, file.c_str());
  CV_SetSaveWEBPQuality(h, int16_t(quality));
  CV_SetSaveWEBPLossless(h, lossless ? -1 : 0);
  CV_SaveFile(h);
  EXPECT_EQ(CV_GetImagError(h), 0) << name;
  CV_DestroyInstance(h);
  return file;
}

struct WriteCase {
  const char* name;
  int bpp;
  bool lossless;
};

class EngineWritesWebp : public testing::TestWithParam<WriteCase> {};

TEST_P(EngineWritesWebp, DwebpReadsWhatTheEngineReads) {
  const WriteCase& c = GetParam();
  CV_HANDLE src = 0;
  CV_CreateInstance(&src);
  CV_SetHDib(src, makeDib(kWidth, kHeight, c.bpp));
  const Pixels original = pixelsOf(src);
  CV_DestroyInstance(src);
  const std::string file = saveFrom(&original, 32, std::string(c.name) + ".webp", 90, c.lossless);

  CV_HANDLE back = load(file);
  ASSERT_EQ(CV_GetImagError(back), 0);
  EXPECT_EQ(CV_GetIFormat(back), FT_WEBP);
  const bool alpha = c.bpp == 32;
  EXPECT_EQ(CV_GetIPBitsPixel(back), alpha ? 32 : 24);
  const Pixels ours = pixelsOf(back);
  CV_DestroyInstance(back);
  if (c.lossless) {
    EXPECT_EQ(maxDifference(ours, original, true), 0);
  } else {
    EXPECT_LT(meanDifference(ours, original), 24.0);  // the pattern is all fine detail
    if (alpha)  // alpha is coded losslessly even in lossy files
      for (size_t i = 3; i < ours.rgba.size(); i += 4) ASSERT_EQ(ours.rgba[i], original.rgba[i]);
  }
  if (!haveProgram("dwebp")) GTEST_SKIP() << "dwebp not installed";
  EXPECT_EQ(maxDifference(ours, dwebpDecode(file), true), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, EngineWritesWebp,
    testing::Values(WriteCase{"lossy24", 24, false}, WriteCase{"lossless24", 24, true},
                    WriteCase{"lossy_alpha", 32, false}, WriteCase{"lossless_alpha", 32, true},
                    WriteCase{"lossless_indexed", 8, true}, WriteCase{"lossless_mono", 1, true}),
    [](const testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

TEST(WebpPeerFiles, CwebpFilesReadAsDwebpReadsThem) {
  if (!haveProgram("cwebp") || !haveProgram("dwebp")) GTEST_SKIP() << "cwebp/dwebp missing";
  CV_HANDLE src = 0;
  CV_CreateInstance(&src);
  CV_SetHDib(src, makeDib(kWidth, kHeight, 32));
  const std::string png = tempDir() + "/source.png";
  CV_SetSaveFileName(src, png.c_str());
  CV_SaveFile(src);
  ASSERT_EQ(CV_GetImagError(src), 0);
  CV_DestroyInstance(src);
  for (const char* options : {"-q 80", "-lossless", "-q 50 -alpha_q 50 -sharp_yuv",
                              "-q 75 -noalpha", "-near_lossless 60"}) {
    SCOPED_TRACE(options);
    const std::string webp = png + "." + std::to_string(std::string(options).size()) + ".webp";
    ASSERT_EQ(run("cwebp " + std::string(options) + " " + quote(png) + " -o " + quote(webp)), 0);
    CV_HANDLE ours = load(webp);
    ASSERT_EQ(CV_GetImagError(ours), 0);
    EXPECT_EQ(maxDifference(pixelsOf(ours), dwebpDecode(webp), true), 0);
    CV_DestroyInstance(ours);
  }
}

// Three frames of one colour each, the later ones transparent on their right half. The
// animation encoder stores the later frames as smaller rectangles blended onto the canvas, so
// the pages come out right only when the decoder composites as the format says.
TEST(WebpAnimation, FramesArePagesCompositedOnTheCanvas) {
  if (!haveProgram("img2webp")) GTEST_SKIP() << "img2webp not installed";
  const std::string dir = tempDir();
  const uint8_t colours[3][4] = {{200, 30, 30, 255}, {30, 200, 30, 255}, {30, 30, 200, 255}};
  std::vector<Pixels> expected;
  std::string frames;
  for (int f = 0; f < 3; ++f) {
    Pixels frame{kWidth, kHeight, std::vector<uint8_t>(size_t(kWidth) * kHeight * 4)};
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        uint8_t* p = frame.rgba.data() + (size_t(y) * kWidth + x) * 4;
        std::copy(colours[f], colours[f] + 4, p);
        if (f > 0 && x >= kWidth / 2) p[0] = p[1] = p[2] = p[3] = 0;
      }
    expected.push_back(frame);
    CV_HANDLE h = 0;
    CV_CreateInstance(&h);
    CV_SetHDib(h, dibFromPixels(frame));
    const std::string png = dir + "/frame" + std::to_string(f) + ".png";
    CV_SetSaveFileName(h, png.c_str());
    CV_SaveFile(h);
    ASSERT_EQ(CV_GetImagError(h), 0);
    CV_DestroyInstance(h);
    frames += " " + quote(png);
  }
  const std::string anim = dir + "/anim.webp";
  ASSERT_EQ(run("img2webp -lossless" + frames + " -o " + quote(anim)), 0);

  CV_HANDLE h = 0;
  CV_CreateInstance(&h);
  for (int page = 1; page <= 3; ++page) {
    SCOPED_TRACE(page);
    CV_SetPageNbr(h, int16_t(page));
    CV_SetFileName(h, anim.c_str());
    ASSERT_EQ(CV_GetImagError(h), 0);
    EXPECT_EQ(CV_GetNumPages(h), 3);
    EXPECT_EQ(maxDifference(pixelsOf(h), expected[size_t(page - 1)], true), 0);
  }
  CV_SetPageNbr(h, 4);
  CV_SetFileName(h, anim.c_str());
  EXPECT_EQ(CV_GetImagError(h), CV_ERR_NO_PAGE);
  EXPECT_EQ(CV_GetHDib(h), 0u);
  CV_DestroyInstance(h);
}

TEST(WebpWriter, QualityOptionAndCommandLine) {
  const std::string low = saveFrom(nullptr, 24, "low.webp", 10, false);
  const std::string high = saveFrom(nullptr, 24, "high.webp", 95, false);
  EXPECT_LT(readFile(low).size(), readFile(high).size());

  CV_HANDLE h = 0;
  CV_CreateInstance(&h);
  CV_SetSaveWEBPQuality(h, 0);
  EXPECT_EQ(CV_GetImagError(h), CV_ERR_UNSUPPORTED_OPTION);
  EXPECT_EQ(CV_GetSaveWEBPQuality(h), 75);
  CV_SetSaveFileType(h, FT_WEBP);
  EXPECT_EQ(CV_GetSaveFileType(h), FT_WEBP);
  CV_DestroyInstance(h);

  // Too large for the format: refused, nothing written.
  CV_CreateInstance(&h);
  CV_CreateDib(h, 17000, 2, 24, 0);
  const std::string wide = tempDir() + "/wide.webp";
  CV_SetSaveFileName(h, wide.c_str());
  CV_SaveFile(h);
  EXPECT_EQ(CV_GetImagError(h), CV_ERR_SAVE_FORMAT);
  EXPECT_TRUE(readFile(wide).empty());
  CV_DestroyInstance(h);
}

std::vector<uint8_t> le32(uint32_t v) {
  return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

// An extended-format file whose canvas claims width x height around a small real picture.
std::vector<uint8_t> withCanvas(const std::vector<uint8_t>& simple, uint32_t width, uint32_t height,
                                uint8_t flags) {
  std::vector<uint8_t> body = {'W', 'E', 'B', 'P', 'V', 'P', '8', 'X', 10, 0, 0, 0, flags, 0, 0, 0};
  for (uint32_t v : {width - 1, height - 1})
    body.insert(body.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)});
  body.insert(body.end(), simple.begin() + 12, simple.end());
  std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
  const std::vector<uint8_t> size = le32(uint32_t(body.size()));
  file.insert(file.end(), size.begin(), size.end());
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

TEST(WebpBadInput, TruncatedDamagedAndHugeFilesLeaveNoPicture) {
  const std::vector<uint8_t> whole = readFile(saveFrom(nullptr, 24, "small.webp", 80, true));
  ASSERT_GT(whole.size(), 40u);
  const std::vector<uint8_t> huge = withCanvas(whole, 65535, 65535, 0);
  ASSERT_LT(huge.size(), 8000u);
  std::vector<uint8_t> garbled = whole;
  for (size_t i = 30; i < garbled.size(); i += 5) garbled[i] ^= 0xA5;
  const std::vector<BadFile> cases = {
      {"declares 65535 x 65535", huge, CV_ERR_TOO_LARGE},
      {"canvas larger than its picture", withCanvas(whole, 200, 200, 0), 0},
      {"header only", std::vector<uint8_t>(whole.begin(), whole.begin() + 20), 0},
      {"cut short", std::vector<uint8_t>(whole.begin(), whole.end() - 9), CV_ERR_TRUNCATED},
      {"garbled", garbled, 0},
  };
  expectRefused(cases, "webp");
}

}  // namespace
