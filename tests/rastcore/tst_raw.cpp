// Camera raw through LibRaw: small DNG files made here (a Bayer mosaic of a known scene, with
// the camera's white balance and an orientation) must develop as dcraw_emu -w develops them,
// upright and with grey kept grey; damaged and hostile files leave no picture.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "formats_helpers.h"
#include "rastcore3.h"

using namespace fmt_test;

namespace {

constexpr int kWidth = 66, kHeight = 44;
constexpr int kWhite = 4095;
// The camera sees red at half and blue at 0.8 of green's strength; its as-shot neutral says so.
constexpr double kNeutral[3] = {0.5, 1.0, 0.8};

struct Dng {
  uint32_t width = kWidth, height = kHeight;
  uint16_t orientation = 1;
  size_t dataBytes = size_t(kWidth) * kHeight * 2;  // less than the picture needs: cut short
};

// The scene in linear light: a red block at the top left, a neutral grey block in the middle
// and a soft gradient elsewhere.
void sceneAt(int x, int y, double rgb[3]) {
  if (x < 16 && y < 12) {
    rgb[0] = 0.8, rgb[1] = 0.05, rgb[2] = 0.05;
  } else if (std::abs(x - kWidth / 2) < 8 && std::abs(y - kHeight / 2) < 8) {
    rgb[0] = rgb[1] = rgb[2] = 0.3;
  } else {
    rgb[0] = 0.1 + 0.5 * x / kWidth, rgb[1] = 0.2 + 0.4 * y / kHeight, rgb[2] = 0.35;
  }
}

struct TiffWriter {
  std::vector<uint8_t> bytes;
  struct Entry {
    uint16_t tag, type;
    uint32_t count;
    std::vector<uint8_t> value;
  };
  std::vector<Entry> entries;

  static void put16(std::vector<uint8_t>& v, uint32_t x) {
    v.insert(v.end(), {uint8_t(x), uint8_t(x >> 8)});
  }
  static void put32(std::vector<uint8_t>& v, uint32_t x) {
    v.insert(v.end(), {uint8_t(x), uint8_t(x >> 8), uint8_t(x >> 16), uint8_t(x >> 24)});
  }
  void shorts(uint16_t tag, std::vector<uint32_t> values) {
    Entry e{tag, 3, uint32_t(values.size()), {}};
    for (uint32_t v : values) put16(e.value, v);
    entries.push_back(e);
  }
  void longs(uint16_t tag, std::vector<uint32_t> values) {
    Entry e{tag, 4, uint32_t(values.size()), {}};
    for (uint32_t v : values) put32(e.value, v);
    entries.push_back(e);
  }
  void bytesTag(uint16_t tag, std::vector<uint8_t> values) {
    entries.push_back({tag, 1, uint32_t(values.size()), values});
  }
  void ascii(uint16_t tag, const std::string& text) {
    std::vector<uint8_t> v(text.begin(), text.end());
    v.push_back(0);
    entries.push_back({tag, 2, uint32_t(v.size()), v});
  }
  void rationals(uint16_t tag, uint16_t type, std::vector<double> values) {
    Entry e{tag, type, uint32_t(values.size()), {}};
    for (double v : values) {
      put32(e.value, uint32_t(int32_t(std::lround(v * 10000))));
      put32(e.value, 10000);
    }
    entries.push_back(e);
  }

  // Header, the pixel data at offset 8, then the one IFD and the values that do not fit in it.
  std::vector<uint8_t> finish(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out = {'I', 'I', 42, 0};
    const uint32_t ifdOffset = uint32_t(8 + data.size());
    put32(out, ifdOffset);
    out.insert(out.end(), data.begin(), data.end());
    uint32_t extra = ifdOffset + 2 + uint32_t(entries.size()) * 12 + 4;
    std::vector<uint8_t> ifd, tail;
    put16(ifd, uint32_t(entries.size()));
    for (const Entry& e : entries) {
      put16(ifd, e.tag), put16(ifd, e.type), put32(ifd, e.count);
      if (e.value.size() <= 4) {
        std::vector<uint8_t> v = e.value;
        v.resize(4, 0);
        ifd.insert(ifd.end(), v.begin(), v.end());
      } else {
        put32(ifd, extra + uint32_t(tail.size()));
        tail.insert(tail.end(), e.value.begin(), e.value.end());
        if (tail.size() & 1) tail.push_back(0);
      }
    }
    put32(ifd, 0);
    out.insert(out.end(), ifd.begin(), ifd.end());
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
  }
};

// A DNG of an RGGB mosaic, 12 bits in 16-bit samples, whose camera sees sRGB primaries.
std::vector<uint8_t> makeDng(const Dng& d) {
  std::vector<uint8_t> data;
  const int cfa[4] = {0, 1, 1, 2};
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      double rgb[3];
      sceneAt(x, y, rgb);
      const int c = cfa[(y & 1) * 2 + (x & 1)];
      TiffWriter::put16(data, uint32_t(std::lround(rgb[c] * kNeutral[c] * kWhite)));
    }
  data.resize(d.dataBytes);
  TiffWriter t;
  t.longs(0x00FE, {0});
  t.longs(0x0100, {d.width});
  t.longs(0x0101, {d.height});
  t.shorts(0x0102, {16});
  t.shorts(0x0103, {1});
  t.shorts(0x0106, {32803});  // colour filter array
  t.ascii(0x010F, "Glimmora");
  t.ascii(0x0110, "Test Camera");
  t.longs(0x0111, {8});
  t.shorts(0x0112, {d.orientation});
  t.shorts(0x0115, {1});
  t.longs(0x0116, {d.height});
  t.longs(0x0117, {uint32_t(size_t(d.width) * d.height * 2)});
  t.shorts(0x011C, {1});
  t.shorts(0x828D, {2, 2});
  t.bytesTag(0x828E, {0, 1, 1, 2});
  t.bytesTag(0xC612, {1, 4, 0, 0});
  t.ascii(0xC614, "Glimmora Test Camera");
  t.longs(0xC61D, {kWhite});
  // XYZ (D65) to the camera's (here: linear sRGB) values.
  t.rationals(0xC621, 10,
              {3.2406, -1.5372, -0.4986, -0.9689, 1.8758, 0.0415, 0.0557, -0.2040, 1.0570});
  t.rationals(0xC628, 5, {kNeutral[0], kNeutral[1], kNeutral[2]});
  t.shorts(0xC65A, {21});  // D65
  return t.finish(data);
}

class RawFiles : public testing::TestWithParam<int> {};

TEST_P(RawFiles, DevelopAsDcrawEmuUprightWithCameraWhiteBalance) {
  const int orientation = GetParam();
  Dng dng;
  dng.orientation = uint16_t(orientation);
  const std::string file = tempDir() + "/camera.dng";
  writeFile(file, makeDng(dng));

  Instance h;
  CV_SetFileName(h, file.c_str());
  ASSERT_EQ(CV_GetImagError(h), 0);
  EXPECT_EQ(CV_GetIFormat(h), FT_RAW);
  EXPECT_EQ(CV_GetIPBitsPixel(h), 24);
  const Pixels ours = pixelsOf(h);
  const bool turned = orientation == 6 || orientation == 8;
  ASSERT_EQ(ours.width, turned ? kHeight : kWidth);
  ASSERT_EQ(ours.height, turned ? kWidth : kHeight);

  // The red block sits top left in the scene; turned a quarter clockwise (6) it is top right.
  const int bx = orientation == 6 ? ours.width - 5 : orientation == 3 ? ours.width - 5 : 4;
  const int by = orientation == 3 ? ours.height - 5 : 4;
  const uint8_t* red = ours.at(bx, by);
  EXPECT_GT(red[0], 2 * red[1]) << "red block not where the orientation puts it";
  // The camera's white balance makes the grey block grey although the sensor saw it tinted.
  const uint8_t* grey = ours.at(ours.width / 2, ours.height / 2);
  EXPECT_LE(std::abs(grey[0] - grey[1]), 6);
  EXPECT_LE(std::abs(grey[2] - grey[1]), 6);

  if (!haveProgram("dcraw_emu")) GTEST_SKIP() << "dcraw_emu not installed";
  ASSERT_EQ(run("dcraw_emu -w '" + file + "'"), 0);
  EXPECT_EQ(maxDifference(ours, readPpm(file + ".ppm"), false), 0);
}

INSTANTIATE_TEST_SUITE_P(Orientations, RawFiles, testing::Values(1, 3, 6));

TEST(RawFiles, TiffBasedRawIsTakenByItsExtensionAndTiffStaysTiff) {
  const std::vector<uint8_t> dng = makeDng(Dng{});
  const std::string dir = tempDir();
  for (const char* ext : {"nef", "cr2", "arw", "DNG"}) {
    const std::string file = dir + "/camera." + ext;
    writeFile(file, dng);
    Instance h;
    CV_SetFileName(h, file.c_str());
    EXPECT_EQ(CV_GetImagError(h), 0) << ext;
    EXPECT_EQ(CV_GetIFormat(h), FT_RAW) << ext;
  }
  // A plain TIFF the engine wrote is still read as TIFF whatever reads it first.
  Instance src;
  CV_SetHDib(src, makeDib(20, 10, 24));
  const std::string tif = dir + "/plain.tif";
  CV_SetSaveFileName(src, tif.c_str());
  CV_SaveFile(src);
  Instance back;
  CV_SetFileName(back, tif.c_str());
  EXPECT_EQ(CV_GetImagError(back), 0);
  EXPECT_EQ(CV_GetIFormat(back), FT_TIF);
}

// A picture in memory has no extension: a TIFF-based raw file is known by its contents (here
// its DNG version tag, as deep in the file as the buffer goes) and develops as the same file
// loaded by name; a plain TIFF in memory is still TIFF.
TEST(RawFiles, BufferLoadsKnowRawByContent) {
  const std::vector<uint8_t> dng = makeDng(Dng{});
  const std::string file = tempDir() + "/camera.dng";
  writeFile(file, dng);
  Instance byName;
  CV_SetFileName(byName, file.c_str());
  ASSERT_EQ(CV_GetImagError(byName), 0);
  Instance inMemory;
  CV_LoadBuffer(inMemory, dng.data(), int32_t(dng.size()));
  ASSERT_EQ(CV_GetImagError(inMemory), 0);
  EXPECT_EQ(CV_GetIFormat(inMemory), FT_RAW);
  EXPECT_EQ(maxDifference(pixelsOf(inMemory), pixelsOf(byName), false), 0);

  Instance src;
  CV_SetHDib(src, makeDib(20, 10, 24));
  const std::string tif = tempDir() + "/plain.tif";
  CV_SetSaveFileName(src, tif.c_str());
  CV_SaveFile(src);
  const std::vector<uint8_t> plain = readFile(tif);
  Instance back;
  CV_LoadBuffer(back, plain.data(), int32_t(plain.size()));
  EXPECT_EQ(CV_GetImagError(back), 0);
  EXPECT_EQ(CV_GetIFormat(back), FT_TIF);
}

TEST(RawBadInput, CutShortHugeAndDamagedFilesLeaveNoPicture) {
  Dng huge;
  huge.width = huge.height = 65535;
  huge.dataBytes = 600;
  Dng cut;
  cut.dataBytes = size_t(kWidth) * kHeight;
  std::vector<uint8_t> garbled = makeDng(Dng{});
  garbled.resize(garbled.size() / 3);
  const std::vector<BadFile> cases = {
      {"declares 65535 x 65535", makeDng(huge), CV_ERR_TOO_LARGE},
      {"pixel data cut short", makeDng(cut), 0},
      {"file cut to a third", garbled, 0},
      {"header only", std::vector<uint8_t>{'I', 'I', 42, 0, 8, 0, 0, 0}, 0},
  };
  for (const BadFile& bad : cases) EXPECT_LT(bad.bytes.size(), 12000u) << bad.what;
  expectRefused(cases, "dng");
}

}  // namespace
