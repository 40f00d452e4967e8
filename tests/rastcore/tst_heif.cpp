// HEIC and AVIF: files made here with libheif's own encoders (x265, aom) are read by the
// engine and by heif-convert, whose PNG the engine's PNG reader gives back; both must agree.
// Also the transform properties (the picture comes out upright), alpha, 10-bit samples and
// damaged or hostile files.
#include <gtest/gtest.h>
#include <libheif/heif.h>

#include <cstring>
#include <string>
#include <vector>

#include "formats_helpers.h"
#include "rastcore3.h"

using namespace fmt_test;

namespace {

constexpr int kWidth = 40, kHeight = 24;

struct HeifCase {
  const char* name;
  heif_compression_format compression;
  int bits;  // 8 or 10
  bool alpha;
  heif_orientation orientation;
  int tolerance;  // against heif-convert: 10-bit samples round to 8 in two ways
};

// A picture with a red block at the top left, so that its orientation can be told.
uint16_t sampleAt(int x, int y, int c, int maxValue) {
  if (c < 3 && x < 8 && y < 6) return c == 0 ? uint16_t(maxValue) : 0;
  switch (c) {
    case 0:
      return uint16_t((x * maxValue) / (kWidth - 1));
    case 1:
      return uint16_t((y * maxValue) / (kHeight - 1));
    case 2:
      return uint16_t(maxValue / 2);
    default:
      return uint16_t(x < kWidth / 2 ? maxValue : maxValue / 3);
  }
}

struct Writer {
  static heif_error write(heif_context*, const void* data, size_t size, void* self) {
    auto* out = static_cast<std::vector<uint8_t>*>(self);
    out->insert(out->end(), static_cast<const uint8_t*>(data),
                static_cast<const uint8_t*>(data) + size);
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
  }
};

std::vector<uint8_t> encodeHeif(const HeifCase& c) {
  const int channels = c.alpha ? 4 : 3;
  const heif_chroma chroma =
      c.bits > 8
          ? (c.alpha ? heif_chroma_interleaved_RRGGBBAA_BE : heif_chroma_interleaved_RRGGBB_BE)
          : (c.alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
  heif_image* image = nullptr;
  heif_image_create(kWidth, kHeight, heif_colorspace_RGB, chroma, &image);
  heif_image_add_plane(image, heif_channel_interleaved, kWidth, kHeight, c.bits);
  int stride = 0;
  uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
  const int maxValue = (1 << c.bits) - 1;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      for (int ch = 0; ch < channels; ++ch) {
        const uint16_t v = sampleAt(x, y, ch, maxValue);
        if (c.bits > 8) {
          uint8_t* p = plane + size_t(y) * stride + size_t(x * channels + ch) * 2;
          p[0] = uint8_t(v >> 8), p[1] = uint8_t(v);
        } else {
          plane[size_t(y) * stride + size_t(x * channels + ch)] = uint8_t(v);
        }
      }
  // As heif-enc does: YCbCr coding (BT.601 matrix), full range.
  heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc();
  nclx->matrix_coefficients = heif_matrix_coefficients_ITU_R_BT_601_6;
  nclx->full_range_flag = 1;
  heif_image_set_nclx_color_profile(image, nclx);
  heif_nclx_color_profile_free(nclx);
  heif_context* ctx = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  heif_context_get_encoder_for_format(ctx, c.compression, &encoder);
  heif_encoder_set_lossy_quality(encoder, 90);
  heif_encoding_options* options = heif_encoding_options_alloc();
  options->image_orientation = c.orientation;
  const heif_error err = heif_context_encode_image(ctx, image, encoder, options, nullptr);
  std::vector<uint8_t> bytes;
  if (err.code == heif_error_Ok) {
    heif_writer writer{1, &Writer::write};
    heif_context_write(ctx, &writer, &bytes);
  }
  heif_encoding_options_free(options);
  heif_encoder_release(encoder);
  heif_image_release(image);
  heif_context_free(ctx);
  return bytes;
}

bool haveEncoder(heif_compression_format format) {
  const heif_encoder_descriptor* d = nullptr;
  return heif_context_get_encoder_descriptors(nullptr, format, nullptr, &d, 1) > 0;
}

const char* extensionFor(const HeifCase& c) {
  return c.compression == heif_compression_AV1 ? "avif" : "heic";
}

class HeifFiles : public testing::TestWithParam<HeifCase> {};

TEST_P(HeifFiles, MatchHeifConvertAndComeOutUpright) {
  const HeifCase& c = GetParam();
  if (!haveEncoder(c.compression)) GTEST_SKIP() << "libheif has no encoder for it";
  const std::vector<uint8_t> bytes = encodeHeif(c);
  ASSERT_FALSE(bytes.empty());
  const std::string file = tempDir() + "/" + c.name + "." + extensionFor(c);
  writeFile(file, bytes);

  CV_HANDLE ours = load(file);
  ASSERT_EQ(CV_GetImagError(ours), 0);
  EXPECT_EQ(CV_GetIFormat(ours), c.compression == heif_compression_AV1 ? FT_AVIF : FT_HEIC);
  EXPECT_EQ(CV_GetIPBitsPixel(ours), c.alpha ? 32 : 24);
  const Pixels mine = pixelsOf(ours);
  CV_DestroyInstance(ours);

  // Turned a quarter clockwise, the red block moves to the top right.
  const bool turned = c.orientation == heif_orientation_rotate_90_cw;
  ASSERT_EQ(mine.width, turned ? kHeight : kWidth);
  ASSERT_EQ(mine.height, turned ? kWidth : kHeight);
  const uint8_t* marker = mine.at(turned ? mine.width - 2 : 1, 1);
  EXPECT_GT(marker[0], 200);
  EXPECT_LT(marker[1], 60);
  if (c.alpha)
    EXPECT_GT(std::abs(int(mine.at(0, 0)[3]) - int(mine.at(mine.width - 1, mine.height - 1)[3])),
              100);

  if (!haveProgram("heif-convert")) GTEST_SKIP() << "heif-convert not installed";
  const std::string png = file + ".png";
  ASSERT_EQ(run("heif-convert '" + file + "' '" + png + "'"), 0);
  CV_HANDLE peer = load(png);
  ASSERT_EQ(CV_GetImagError(peer), 0);
  const Pixels theirs = pixelsOf(peer);
  CV_DestroyInstance(peer);
  EXPECT_LE(maxDifference(mine, theirs, c.alpha), c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, HeifFiles,
    testing::Values(
        HeifCase{"heic8", heif_compression_HEVC, 8, false, heif_orientation_normal, 0},
        HeifCase{"heic8_alpha", heif_compression_HEVC, 8, true, heif_orientation_normal, 0},
        HeifCase{"heic10_alpha", heif_compression_HEVC, 10, true, heif_orientation_normal, 1},
        HeifCase{"heic8_turned", heif_compression_HEVC, 8, false, heif_orientation_rotate_90_cw, 0},
        HeifCase{"avif8", heif_compression_AV1, 8, false, heif_orientation_normal, 0},
        HeifCase{"avif8_turned", heif_compression_AV1, 8, true, heif_orientation_rotate_90_cw, 0}),
    [](const testing::TestParamInfo<HeifCase>& info) { return std::string(info.param.name); });

// libheif 1.15 with Debian 12's aom cannot write 10-bit AVIF (aom asserts), so libavif's
// avifenc makes it from a 16-bit PNG that ImageMagick draws.
TEST(HeifTenBitAvif, MatchesHeifConvert) {
  if (!haveProgram("avifenc") || !haveProgram("convert") || !haveProgram("heif-convert"))
    GTEST_SKIP() << "avifenc, convert or heif-convert not installed";
  const std::string dir = tempDir();
  const std::string png = dir + "/deep.png", avif = dir + "/deep.avif", back = dir + "/back.png";
  ASSERT_EQ(run("convert -size 40x24 gradient:red-blue \\( -size 40x24 gradient:white-black \\) "
                "-alpha off -compose copy_opacity -composite -depth 16 '" +
                png + "'"),
            0);
  ASSERT_EQ(run("avifenc -d 10 '" + png + "' '" + avif + "'"), 0);
  ASSERT_EQ(run("heif-convert '" + avif + "' '" + back + "'"), 0);
  CV_HANDLE ours = load(avif), peer = load(back);
  ASSERT_EQ(CV_GetImagError(ours), 0);
  EXPECT_EQ(CV_GetIFormat(ours), FT_AVIF);
  EXPECT_EQ(CV_GetIBPP(ours), 40);
  EXPECT_LE(maxDifference(pixelsOf(ours), pixelsOf(peer), true), 1);
  CV_DestroyInstance(ours);
  CV_DestroyInstance(peer);
}

// Sets every ispe box (the declared picture size) to width x height.
void declareSize(std::vector<uint8_t>& bytes, uint32_t width, uint32_t height) {
  for (size_t i = 0; i + 16 <= bytes.size(); ++i) {
    if (std::memcmp(&bytes[i], "ispe", 4) != 0) continue;
    for (int k = 0; k < 4; ++k) {
      bytes[i + 8 + k] = uint8_t(width >> (24 - 8 * k));
      bytes[i + 12 + k] = uint8_t(height >> (24 - 8 * k));
    }
  }
}

TEST(HeifBadInput, DamagedTruncatedAndHugeFilesLeaveNoPicture) {
  const HeifCase c{"small", heif_compression_HEVC, 8, true, heif_orientation_normal, 0};
  if (!haveEncoder(c.compression)) GTEST_SKIP() << "libheif has no HEVC encoder";
  const std::vector<uint8_t> whole = encodeHeif(c);
  ASSERT_LT(whole.size(), 8000u);
  const std::string path = tempDir() + "/bad.heic";
  CV_HANDLE h = 0;
  CV_CreateInstance(&h);

  std::vector<uint8_t> huge = whole;
  declareSize(huge, 65535, 65535);
  std::vector<uint8_t> damaged = whole;
  for (size_t i = whole.size() / 2; i < whole.size(); i += 7) damaged[i] ^= 0x5A;
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    int16_t error;  // 0: any error
  } cases[] = {
      {"declares 65535 x 65535", huge, CV_ERR_TOO_LARGE},
      {"header only", std::vector<uint8_t>(whole.begin(), whole.begin() + 40), 0},
      {"cut in half", std::vector<uint8_t>(whole.begin(), whole.begin() + long(whole.size() / 2)),
       0},
      {"coded data garbled", damaged, 0},
  };
  for (const auto& bad : cases) {
    SCOPED_TRACE(bad.what);
    CV_SetHDib(h, makeDib(3, 3, 24));
    writeFile(path, bad.bytes);
    CV_SetFileName(h, path.c_str());
    const int16_t error = CV_GetImagError(h);
    if (bad.error) {
      EXPECT_EQ(error, bad.error);
    } else if (error == 0) {
      // libheif may decode garbled coded data into a (garbled) whole picture.
      EXPECT_EQ(CV_GetIWidth(h), kWidth);
      continue;
    }
    EXPECT_LT(error, 0);
    EXPECT_EQ(CV_GetHDib(h), 0u);
    EXPECT_EQ(CV_GetIWidth(h), 0);
  }
  CV_DestroyInstance(h);
}

TEST(HeifBadInput, HeifIsNotSaved) {
  CV_HANDLE h = 0;
  CV_CreateInstance(&h);
  CV_SetHDib(h, makeDib(8, 8, 24));
  const std::string path = tempDir() + "/out.heic";
  CV_SetSaveFileName(h, path.c_str());
  CV_SaveFile(h);
  EXPECT_EQ(CV_GetImagError(h), CV_ERR_SAVE_FORMAT);
  CV_DestroyInstance(h);
}

}  // namespace
