// JPEG XL: files made here with libjxl's own encoder (lossless and lossy, alpha, grey, an
// orientation) are read by the engine and by djxl, whose PNG the engine's PNG reader gives
// back; both must agree, and lossless files must give back the picture encoded.
#include <gtest/gtest.h>
#include <jxl/encode.h>

#include <string>
#include <vector>

#include "formats_helpers.h"
#include "rastcore3.h"

using namespace fmt_test;

namespace {

constexpr int kWidth = 41, kHeight = 27;

struct JxlCase {
  const char* name;
  int channels;  // 1 grey, 3 RGB, 4 RGBA
  bool lossless;
  JxlOrientation orientation;
  int tolerance;  // against djxl
};

// Interleaved samples with a red block at the top left (grey: a white one).
std::vector<uint8_t> samples(int channels) {
  std::vector<uint8_t> v;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const bool block = x < 8 && y < 6;
      const uint8_t rgba[4] = {uint8_t(block ? 255 : x * 6), uint8_t(block ? 0 : y * 9),
                               uint8_t(block ? 0 : 90 + x + y), uint8_t(x < kWidth / 2 ? 255 : 70)};
      if (channels == 1)
        v.push_back(block ? 255 : uint8_t(x * 3 + y * 2));
      else
        v.insert(v.end(), rgba, rgba + channels);
    }
  return v;
}

std::vector<uint8_t> encodeJxl(const JxlCase& c) {
  JxlEncoder* enc = JxlEncoderCreate(nullptr);
  JxlBasicInfo info;
  JxlEncoderInitBasicInfo(&info);
  info.xsize = kWidth, info.ysize = kHeight;
  info.bits_per_sample = 8;
  info.num_color_channels = c.channels == 1 ? 1 : 3;
  info.alpha_bits = c.channels == 4 ? 8 : 0;
  info.num_extra_channels = c.channels == 4 ? 1 : 0;
  info.uses_original_profile = c.lossless;
  info.orientation = c.orientation;
  JxlEncoderSetBasicInfo(enc, &info);
  JxlColorEncoding colour;
  JxlColorEncodingSetToSRGB(&colour, c.channels == 1);
  JxlEncoderSetColorEncoding(enc, &colour);
  JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(enc, nullptr);
  if (c.lossless)
    JxlEncoderSetFrameLossless(settings, JXL_TRUE);
  else
    JxlEncoderSetFrameDistance(settings, 1.0f);
  const JxlPixelFormat format{uint32_t(c.channels), JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
  const std::vector<uint8_t> pixels = samples(c.channels);
  std::vector<uint8_t> out;
  if (JxlEncoderAddImageFrame(settings, &format, pixels.data(), pixels.size()) == JXL_ENC_SUCCESS) {
    JxlEncoderCloseInput(enc);
    out.resize(4096);
    uint8_t* next = out.data();
    size_t avail = out.size();
    JxlEncoderStatus status;
    while ((status = JxlEncoderProcessOutput(enc, &next, &avail)) == JXL_ENC_NEED_MORE_OUTPUT) {
      const size_t used = size_t(next - out.data());
      out.resize(out.size() * 2);
      next = out.data() + used;
      avail = out.size() - used;
    }
    out.resize(status == JXL_ENC_SUCCESS ? size_t(next - out.data()) : 0);
  }
  JxlEncoderDestroy(enc);
  return out;
}

// The samples as the engine's RGBA pixels, turned a quarter clockwise when asked.
Pixels expectedPixels(const JxlCase& c) {
  const std::vector<uint8_t> s = samples(c.channels);
  const bool turned = c.orientation == JXL_ORIENT_ROTATE_90_CW;
  Pixels p{turned ? kHeight : kWidth, turned ? kWidth : kHeight,
           std::vector<uint8_t>(size_t(kWidth) * kHeight * 4)};
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t* in = s.data() + (size_t(y) * kWidth + x) * size_t(c.channels);
      const int tx = turned ? kHeight - 1 - y : x, ty = turned ? x : y;
      uint8_t* o = p.rgba.data() + (size_t(ty) * p.width + tx) * 4;
      o[0] = in[0], o[1] = in[c.channels == 1 ? 0 : 1], o[2] = in[c.channels == 1 ? 0 : 2];
      o[3] = c.channels == 4 ? in[3] : 255;
    }
  return p;
}

class JxlFiles : public testing::TestWithParam<JxlCase> {};

TEST_P(JxlFiles, MatchDjxlAndTheEncodedPicture) {
  const JxlCase& c = GetParam();
  const std::vector<uint8_t> bytes = encodeJxl(c);
  ASSERT_FALSE(bytes.empty());
  const std::string file = tempDir() + "/" + c.name + ".jxl";
  writeFile(file, bytes);

  CV_HANDLE ours = load(file);
  ASSERT_EQ(CV_GetImagError(ours), 0);
  EXPECT_EQ(CV_GetIFormat(ours), FT_JXL);
  EXPECT_EQ(CV_GetIPBitsPixel(ours), c.channels == 1 ? 8 : c.channels == 4 ? 32 : 24);
  const Pixels mine = pixelsOf(ours);
  CV_DestroyInstance(ours);
  const Pixels expected = expectedPixels(c);
  ASSERT_EQ(mine.width, expected.width);
  ASSERT_EQ(mine.height, expected.height);
  if (c.lossless)
    EXPECT_EQ(maxDifference(mine, expected, true), 0);
  else
    EXPECT_LT(meanDifference(mine, expected), 3.0);

  if (!haveProgram("djxl")) GTEST_SKIP() << "djxl not installed";
  const std::string png = file + ".png";
  ASSERT_EQ(run("djxl '" + file + "' '" + png + "'"), 0);
  CV_HANDLE peer = load(png);
  ASSERT_EQ(CV_GetImagError(peer), 0);
  EXPECT_LE(maxDifference(mine, pixelsOf(peer), true), c.tolerance);
  CV_DestroyInstance(peer);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, JxlFiles,
    testing::Values(JxlCase{"lossless_rgb", 3, true, JXL_ORIENT_IDENTITY, 0},
                    JxlCase{"lossless_rgba", 4, true, JXL_ORIENT_IDENTITY, 0},
                    JxlCase{"lossless_grey", 1, true, JXL_ORIENT_IDENTITY, 0},
                    JxlCase{"lossless_turned", 4, true, JXL_ORIENT_ROTATE_90_CW, 0},
                    JxlCase{"lossy_rgb", 3, false, JXL_ORIENT_IDENTITY, 1},
                    JxlCase{"lossy_rgba_turned", 4, false, JXL_ORIENT_ROTATE_90_CW, 1}),
    [](const testing::TestParamInfo<JxlCase>& info) { return std::string(info.param.name); });

// A 1 KiB bare codestream whose size header declares 65535 x 65535, with default metadata.
std::vector<uint8_t> hugeCodestream() {
  uint64_t bits = 0;
  int used = 0;
  const auto put = [&](uint64_t value, int count) {
    bits |= value << used;
    used += count;
  };
  put(0, 1);                      // not a small size
  put(2, 2), put(65535 - 1, 18);  // height: the 18-bit form, stored less one
  put(0, 3);                      // no fixed aspect ratio
  put(2, 2), put(65535 - 1, 18);  // width
  put(1, 1);                      // all image metadata default
  std::vector<uint8_t> out = {0xFF, 0x0A};
  for (int i = 0; i < 8; ++i) out.push_back(uint8_t(bits >> (8 * i)));
  out.resize(1024, 0);
  return out;
}

TEST(JxlBadInput, TruncatedDamagedAndHugeFilesLeaveNoPicture) {
  const std::vector<uint8_t> whole = encodeJxl(JxlCase{"small", 3, true, JXL_ORIENT_IDENTITY, 0});
  ASSERT_GT(whole.size(), 30u);
  std::vector<uint8_t> garbled = whole;
  for (size_t i = 12; i < garbled.size(); i += 3) garbled[i] ^= 0x3C;
  const std::vector<BadFile> cases = {
      {"declares 65535 x 65535", hugeCodestream(), CV_ERR_TOO_LARGE},
      {"signature only", std::vector<uint8_t>(whole.begin(), whole.begin() + 2), CV_ERR_TRUNCATED},
      {"cut short", std::vector<uint8_t>(whole.begin(), whole.end() - whole.size() / 3),
       CV_ERR_TRUNCATED},
      {"garbled", garbled, 0},
  };
  expectRefused(cases, "jxl");
}

}  // namespace
