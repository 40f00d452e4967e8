// Round trips of every format and save option through the engine's flat interface, with
// pixels compared exactly for lossless formats and closely for lossy ones, and the options
// checked in the written bytes where other decoders see them.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>
#include <string>

#include "fileformat/codec.h"
#include "formats_helpers.h"
#include "rastcore3.h"

using namespace fmt_test;

namespace {

struct RoundTrip {
  const char* ext;
  int bpp;             // depth of the picture saved
  int16_t tif = 0;     // TIFF compression
  bool grey = false;   // grey-ramp palette
  bool alpha = false;  // 32-bit with varied alpha, which the format keeps
  int tolerance = 0;   // 0: exact
};

std::string name(const testing::TestParamInfo<RoundTrip>& info) {
  const RoundTrip& r = info.param;
  return std::string(r.ext) + "_" + std::to_string(r.bpp) +
         (r.tif ? "_tif" + std::to_string(r.tif) : "") + (r.grey ? "_grey" : "") +
         (r.alpha ? "_alpha" : "");
}

class FormatRoundTrip : public testing::TestWithParam<RoundTrip> {};

TEST_P(FormatRoundTrip, KeepsPixels) {
  const RoundTrip& r = GetParam();
  Instance src, back;
  CV_SetHDib(src, makeDib(53, 31, r.bpp, r.grey, r.alpha));
  ASSERT_EQ(CV_GetImagError(src), 0);
  const Pixels original = pixelsOf(src);
  const std::string path = tempDir() + "/picture." + r.ext;
  CV_SetSaveFileName(src, path.c_str());
  CV_SetSaveTIFCompression(src, r.tif);
  CV_SetSaveJPGChromFactor(src, 242);  // quality 95, full colour resolution: the pattern is busy
  CV_SetSaveJPGSubSampling(src, JPG_SubSampling444);
  CV_SaveFile(src);
  ASSERT_EQ(CV_GetImagError(src), 0) << CV_ErrorText(CV_GetImagError(src));
  CV_SetFileName(back, path.c_str());
  ASSERT_EQ(CV_GetImagError(back), 0) << CV_ErrorText(CV_GetImagError(back));
  const Pixels loaded = pixelsOf(back);
  ASSERT_EQ(loaded.width, 53);
  ASSERT_EQ(loaded.height, 31);
  if (r.tolerance == 0)
    EXPECT_EQ(maxDifference(original, loaded, r.alpha), 0);
  else
    EXPECT_LT(meanDifference(original, loaded), r.tolerance);
  EXPECT_EQ(CV_GetIFileSize(back), int32_t(readFile(path).size()));
}

INSTANTIATE_TEST_SUITE_P(
    Lossless, FormatRoundTrip,
    testing::Values(
        RoundTrip{"png", 1}, RoundTrip{"png", 4}, RoundTrip{"png", 8}, RoundTrip{"png", 24},
        RoundTrip{"png", 32, 0, false, true}, RoundTrip{"bmp", 1}, RoundTrip{"bmp", 4},
        RoundTrip{"bmp", 8}, RoundTrip{"bmp", 24}, RoundTrip{"bmp", 32, 0, false, true},
        RoundTrip{"tif", 1}, RoundTrip{"tif", 4}, RoundTrip{"tif", 8}, RoundTrip{"tif", 8, 0, true},
        RoundTrip{"tif", 24}, RoundTrip{"tif", 32, 0, false, true}, RoundTrip{"tif", 24, TIF_LZW},
        RoundTrip{"tif", 8, TIF_LZW}, RoundTrip{"tif", 24, TIF_PackBits},
        RoundTrip{"tif", 4, TIF_PackBits}, RoundTrip{"tif", 24, TIF_Deflate},
        RoundTrip{"tif", 32, TIF_Deflate, false, true}, RoundTrip{"gif", 1}, RoundTrip{"gif", 4},
        RoundTrip{"gif", 8}, RoundTrip{"pcx", 1, 0, true}, RoundTrip{"pcx", 4}, RoundTrip{"pcx", 8},
        RoundTrip{"pcx", 24}, RoundTrip{"tga", 1}, RoundTrip{"tga", 4}, RoundTrip{"tga", 8},
        RoundTrip{"tga", 24}, RoundTrip{"tga", 32, 0, false, true}, RoundTrip{"wpg", 1},
        RoundTrip{"wpg", 4}, RoundTrip{"wpg", 8}, RoundTrip{"ppm", 24}, RoundTrip{"pnm", 8},
        RoundTrip{"pgm", 8, 0, true}, RoundTrip{"pbm", 1, 0, true}, RoundTrip{"wmf", 24},
        RoundTrip{"wmf", 8}, RoundTrip{"pic", 8}, RoundTrip{"pic", 32, 0, false, true}),
    name);

INSTANTIATE_TEST_SUITE_P(Lossy, FormatRoundTrip,
                         testing::Values(RoundTrip{"jpg", 24, 0, false, false, 4},
                                         RoundTrip{"jpeg", 8, 0, true, false, 3},
                                         RoundTrip{"jif", 4, 0, false, false, 6},
                                         RoundTrip{"tif", 24, TIF_JPEG, false, false, 4},
                                         RoundTrip{"tif", 8, TIF_JPEG, true, false, 3},
                                         RoundTrip{"pic", 24, 0, false, false, 4}),
                         name);

// Saves a 24-bit test picture with options set by `setup` and returns the file's bytes.
std::vector<uint8_t> saveWith(const char* ext, void (*setup)(CV_HANDLE),
                              std::string* pathOut = nullptr, int bpp = 24) {
  Instance src;
  CV_SetHDib(src, makeDib(64, 48, bpp));
  const std::string path = tempDir() + "/opt." + ext;
  CV_SetSaveFileName(src, path.c_str());
  setup(src);
  CV_SaveFile(src);
  EXPECT_EQ(CV_GetImagError(src), 0) << CV_ErrorText(CV_GetImagError(src));
  if (pathOut) *pathOut = path;
  return readFile(path);
}

bool hasMarker(const std::vector<uint8_t>& b, uint8_t marker) {
  for (size_t i = 0; i + 1 < b.size(); ++i)
    if (b[i] == 0xFF && b[i + 1] == marker) return true;
  return false;
}

TEST(SaveOptions, JpegProgressiveBaselineAndGrey) {
  const auto baseline = saveWith("jpg", [](CV_HANDLE) {});
  EXPECT_TRUE(hasMarker(baseline, 0xC0));
  EXPECT_FALSE(hasMarker(baseline, 0xC2));
  const auto progressive = saveWith("jpg", [](CV_HANDLE h) { CV_SetSaveJPGProgressive(h, -1); });
  EXPECT_TRUE(hasMarker(progressive, 0xC2));
  std::string path;
  saveWith(
      "jpg", [](CV_HANDLE h) { CV_SetSaveJPGGrayscale(h, -1); }, &path);
  Instance grey;
  CV_SetFileName(grey, path.c_str());
  EXPECT_EQ(CV_GetIPBitsPixel(grey), 8);
  EXPECT_EQ(CV_GetIBPP(grey), 8);
}

TEST(SaveOptions, JpegQualityAndSubsamplingChangeTheFile) {
  const auto low = saveWith("jpg", [](CV_HANDLE h) { CV_SetSaveJPGChromFactor(h, 20); });
  const auto high = saveWith("jpg", [](CV_HANDLE h) { CV_SetSaveJPGChromFactor(h, 250); });
  EXPECT_LT(low.size(), high.size());
  // The SOF frame header names each component's sampling factors: 0x22 is 2x2 (4:2:0).
  auto lumaSampling = [](const std::vector<uint8_t>& b) {
    for (size_t i = 0; i + 11 < b.size(); ++i)
      if (b[i] == 0xFF && (b[i + 1] == 0xC0 || b[i + 1] == 0xC2)) return int(b[i + 11]);
    return -1;
  };
  EXPECT_EQ(lumaSampling(high), 0x22);
  const auto full =
      saveWith("jpg", [](CV_HANDLE h) { CV_SetSaveJPGSubSampling(h, JPG_SubSampling444); });
  EXPECT_EQ(lumaSampling(full), 0x11);
  const auto s422 =
      saveWith("jpg", [](CV_HANDLE h) { CV_SetSaveJPGSubSampling(h, JPG_SubSampling422); });
  EXPECT_EQ(lumaSampling(s422), 0x21);
}

TEST(SaveOptions, PngInterlaceFlag) {
  const auto plain = saveWith("png", [](CV_HANDLE) {});
  const auto interlaced = saveWith("png", [](CV_HANDLE h) { CV_SetSavePNGInterlaced(h, -1); });
  ASSERT_GT(plain.size(), 29u);
  EXPECT_EQ(plain[28], 0);  // IHDR interlace method
  EXPECT_EQ(interlaced[28], 1);
  std::string path;
  saveWith(
      "png", [](CV_HANDLE h) { CV_SetSavePNGInterlaced(h, -1); }, &path);
  Instance back;
  CV_SetFileName(back, path.c_str());
  Instance src;
  CV_SetHDib(src, makeDib(64, 48, 24));
  EXPECT_EQ(maxDifference(pixelsOf(src), pixelsOf(back), false), 0);
}

TEST(SaveOptions, GifVersionInterlaceAndTransparentColour) {
  const auto v89 = saveWith(
      "gif", [](CV_HANDLE) {}, nullptr, 8);
  EXPECT_EQ(std::string(v89.begin(), v89.begin() + 6), "GIF89a");
  const auto v87 = saveWith(
      "gif", [](CV_HANDLE h) { CV_SetSaveGIFType(h, GIF_87a); }, nullptr, 8);
  EXPECT_EQ(std::string(v87.begin(), v87.begin() + 6), "GIF87a");
  std::string path;
  saveWith(
      "gif",
      [](CV_HANDLE h) {
        CV_SetSaveGIFInterlaced(h, -1);
        CV_SetSaveGIFTransparent(h, -1);
        CV_SetSaveGIFTColor(h, 0x0BFF03);  // palette entry 0 of the test picture (R 3, G 255, B 11)
      },
      &path, 8);
  Instance back;
  CV_SetFileName(back, path.c_str());
  ASSERT_EQ(CV_GetImagError(back), 0);
  EXPECT_EQ(CV_GetIPBitsPixel(back), 32);  // transparency becomes alpha
  const Pixels px = pixelsOf(back);
  int clear = 0;
  for (size_t i = 3; i < px.rgba.size(); i += 4) clear += px.rgba[i] == 0;
  EXPECT_GT(clear, 0);
  Instance src;
  CV_SetHDib(src, makeDib(64, 48, 8));
  const Pixels original = pixelsOf(src);
  for (size_t i = 0; i < px.rgba.size(); i += 4)
    if (px.rgba[i + 3]) ASSERT_EQ(std::memcmp(&px.rgba[i], &original.rgba[i], 3), 0);
}

TEST(SaveOptions, EveryTiffCompressionTag) {
  const uint16_t expected[] = {
      COMPRESSION_NONE,      COMPRESSION_CCITTRLE,      COMPRESSION_CCITTFAX3,
      COMPRESSION_CCITTFAX4, COMPRESSION_LZW,           COMPRESSION_PACKBITS,
      COMPRESSION_JPEG,      COMPRESSION_ADOBE_DEFLATE, COMPRESSION_CCITTFAX3};
  TIFFSetWarningHandler(nullptr);
  for (int16_t option = 0; option <= 8; ++option) {
    SCOPED_TRACE(option);
    Instance src;
    CV_SetHDib(src, makeDib(40, 30, 24));
    const std::string path = tempDir() + "/c.tif";
    CV_SetSaveFileName(src, path.c_str());
    CV_SetSaveTIFCompression(src, option);
    CV_SaveFile(src);
    ASSERT_EQ(CV_GetImagError(src), 0);
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    uint16_t compression = 0, bps = 0;
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
    EXPECT_EQ(compression, expected[option]);
    const bool fax = option == 1 || option == 2 || option == 3 || option == 8;
    EXPECT_EQ(bps, fax ? 1 : 8);  // the fax schemes write the picture black and white
    if (option == 8) {
      uint32_t g3 = 0;
      TIFFGetField(tif, TIFFTAG_GROUP3OPTIONS, &g3);
      EXPECT_TRUE(g3 & GROUP3OPT_2DENCODING);
    }
    TIFFClose(tif);
    Instance back;
    CV_SetFileName(back, path.c_str());
    EXPECT_EQ(CV_GetImagError(back), 0);
    EXPECT_EQ(CV_GetIPBitsPixel(back), fax ? 1 : 24);
  }
}

TEST(SaveOptions, UnsupportedValuesAreRefusedAndKept) {
  Instance h;
  CV_SetSaveTIFCompression(h, 9);
  EXPECT_EQ(CV_GetImagError(h), CV_ERR_UNSUPPORTED_OPTION);
  EXPECT_EQ(CV_GetSaveTIFCompression(h), 0);
  CV_SetSaveFileType(h, 11);
  EXPECT_EQ(CV_GetImagError(h), CV_ERR_UNSUPPORTED_OPTION);
  CV_SetSaveJPGChromFactor(h, 0);
  EXPECT_EQ(CV_GetSaveJPGChromFactor(h), 30);
}

// The quality scale keeps its ends and its order, and the save dialog's default of 30 is
// ordinary photographic quality, not a badly spoilt picture.
TEST(SaveOptions, QualityFactorScale) {
  EXPECT_EQ(rastcore::jpegQualityFromFactor(1), 1);
  EXPECT_EQ(rastcore::jpegQualityFromFactor(30), 75);
  EXPECT_EQ(rastcore::jpegQualityFromFactor(255), 100);
  for (int f = 2; f <= 255; ++f)
    EXPECT_GE(rastcore::jpegQualityFromFactor(f), rastcore::jpegQualityFromFactor(f - 1));
}

TEST(SaveOptions, SaveFileTypeOverridesTheExtension) {
  Instance src;
  CV_SetHDib(src, makeDib(20, 10, 24));
  const std::string path = tempDir() + "/really_png.dat";
  CV_SetSaveFileName(src, path.c_str());
  CV_SetSaveFileType(src, FT_PNG);
  CV_SaveFile(src);
  ASSERT_EQ(CV_GetImagError(src), 0);
  Instance back;
  CV_SetFileName(back, path.c_str());
  EXPECT_EQ(CV_GetIFormat(back), FT_PNG);
  CV_SetSaveFileType(src, FT_LJP);
  CV_SaveFile(src);
  EXPECT_EQ(CV_GetImagError(src), CV_ERR_SAVE_FORMAT);
}

TEST(MultiPage, AppendCountAndChoosePage) {
  const std::string path = tempDir() + "/pages.tif";
  for (int bpp : {24, 8, 1}) {
    Instance src;
    CV_SetHDib(src, makeDib(30 + bpp, 20, bpp));
    CV_SetSaveFileName(src, path.c_str());
    CV_SetSaveMultiPage(src, -1);
    CV_SaveFile(src);
    ASSERT_EQ(CV_GetImagError(src), 0);
  }
  Instance h;
  int16_t pages = 0;
  CV_NumPages(h, path.c_str(), &pages);
  EXPECT_EQ(pages, 3);
  for (int page = 1; page <= 3; ++page) {
    CV_SetPageNbr(h, int16_t(page));
    CV_SetFileName(h, path.c_str());
    ASSERT_EQ(CV_GetImagError(h), 0);
    const int bpp = page == 1 ? 24 : page == 2 ? 8 : 1;
    EXPECT_EQ(CV_GetIWidth(h), 30 + bpp);
    EXPECT_EQ(CV_GetNumPages(h), 3);
    Instance ref;
    CV_SetHDib(ref, makeDib(30 + bpp, 20, bpp));
    EXPECT_EQ(maxDifference(pixelsOf(ref), pixelsOf(h), false), 0);
  }
  CV_SetPageNbr(h, 4);
  CV_SetFileName(h, path.c_str());
  EXPECT_EQ(CV_GetImagError(h), CV_ERR_NO_PAGE);
  EXPECT_EQ(CV_GetIWidth(h), 0);
  const std::string single = tempDir() + "/one.png";
  Instance src;
  CV_SetHDib(src, makeDib(5, 5, 24));
  CV_SetSaveFileName(src, single.c_str());
  CV_SaveFile(src);
  CV_NumPages(h, single.c_str(), &pages);
  EXPECT_EQ(pages, 1);
}

// ---- ePIC ----

std::string savePic(const char* password, int bpp = 24) {
  Instance src;
  CV_SetHDib(src, makeDib(48, 32, bpp));
  const std::string path = tempDir() + "/p.pic";
  if (password) CV_SetPICPassword(src, password);
  CV_SetSaveJPGChromFactor(src, 242);
  CV_SetSaveFileName(src, path.c_str());
  CV_SaveFile(src);
  EXPECT_EQ(CV_GetImagError(src), 0);
  return path;
}

TEST(Epic, ProtectedRoundTripAndWrongPassword) {
  const std::string path = savePic("s3cret-pass");
  struct Case {
    const char* password;
    int16_t error;
  } cases[] = {{"s3cret-pass", 0},         {"s3cret-p", 0},
               {"s3cret-pXYZ", 0},         {"s3cret-", CV_ERR_PASSWORD},
               {"wrong", CV_ERR_PASSWORD}, {"", CV_ERR_PASSWORD},
               {nullptr, CV_ERR_PASSWORD}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.password ? c.password : "(none)");
    CV_HANDLE h = load(path, c.password);
    EXPECT_EQ(CV_GetImagError(h), c.error);
    EXPECT_EQ(CV_GetIWidth(h), c.error ? 0 : 48);  // never a garbled picture
    EXPECT_EQ(CV_GetHDib(h) != 0, c.error == 0);
    CV_DestroyInstance(h);
  }
}

TEST(Epic, FirstEightCharactersCountAsCharacters) {
  const std::string path = savePic("\xC3\xA9t\xC3\xA9-abcd-tail");  // "été-abcd" is 8 characters
  CV_HANDLE h = load(path, "\xC3\xA9t\xC3\xA9-abcdOTHER");
  EXPECT_EQ(CV_GetImagError(h), 0);
  CV_DestroyInstance(h);
  h = load(path, "\xC3\xA9t\xC3\xA9-abc");
  EXPECT_EQ(CV_GetImagError(h), CV_ERR_PASSWORD);
  CV_DestroyInstance(h);
}

TEST(Epic, ChangedBytesAreRefused) {
  const std::string path = savePic("password");
  const std::vector<uint8_t> good = readFile(path);
  for (size_t at : {size_t(8), size_t(20), size_t(60), good.size() / 2, good.size() - 1}) {
    SCOPED_TRACE(at);
    std::vector<uint8_t> bad = good;
    bad[at] ^= 0x40;
    writeFile(path, bad);
    CV_HANDLE h = load(path, "password");
    EXPECT_NE(CV_GetImagError(h), 0);
    EXPECT_EQ(CV_GetIWidth(h), 0);
    CV_DestroyInstance(h);
  }
}

TEST(Epic, UnprotectedLoadsWithAnyPassword) {
  const std::string path = savePic(nullptr);
  for (const char* pw : {"", "anything", "x"}) {
    CV_HANDLE h = load(path, pw);
    EXPECT_EQ(CV_GetImagError(h), 0);
    EXPECT_EQ(CV_GetIFormat(h), FT_EPIC);
    CV_DestroyInstance(h);
  }
}

TEST(Epic, ProgressiveOptionReachesThePayload) {
  Instance src;
  CV_SetHDib(src, makeDib(48, 32, 24));
  const std::string path = tempDir() + "/prog.pic";
  CV_SetSaveJPGProgressive(src, -1);
  CV_SetSaveFileName(src, path.c_str());
  CV_SaveFile(src);
  EXPECT_TRUE(hasMarker(readFile(path), 0xC2));
}

}  // namespace
