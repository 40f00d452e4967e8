// The portable-bitmap path the command-line tool and the benchmark use: raw files are read
// from the open file straight into the picture and written in blocks of rows. Files must read
// the same as the same bytes loaded from memory, follow their maxval, keep row padding clean,
// and refuse short or oversized files without a picture.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tst_ops_support.h"

using namespace opstest;
using namespace std::string_literals;

namespace {

std::string tempPath(const std::string& name) {
  return "/tmp/rc3_ops_ppm_" + std::to_string(::getpid()) + "_" + name;
}

bool writeBytes(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// Loads a file through CV_SetFileName and the same bytes through CV_LoadBuffer; both must
// give the same result. Returns the file's picture and error.
int16_t loadBoth(const std::string& bytes, Image& picture) {
  const std::string path = tempPath("load.ppm");
  EXPECT_TRUE(writeBytes(path, bytes));
  Inst fromFile, fromMemory;
  CV_SetFileName(fromFile.h, path.c_str());
  CV_LoadBuffer(fromMemory.h, bytes.data(), int32_t(bytes.size()));
  std::remove(path.c_str());
  EXPECT_EQ(fromFile.error(), fromMemory.error());
  EXPECT_EQ(fromFile.image().bpp, fromMemory.image().bpp);
  EXPECT_EQ(fromFile.image().pixels, fromMemory.image().pixels);
  EXPECT_EQ(fromFile.image().palette, fromMemory.image().palette);
  picture = fromFile.image();
  return fromFile.error();
}

TEST(OpsPpm, EveryDepthSavesAndReloadsWithItsColours) {
  for (int16_t bpp : allDepths()) {
    const Image src = randomImage(37, 23, bpp, 11);  // odd width: rows end in padding
    const std::string path = tempPath("every.ppm");
    Inst inst(src);
    CV_SetSaveFileName(inst.h, path.c_str());
    CV_SaveFile(inst.h);
    ASSERT_EQ(inst.error(), 0) << bpp;
    Inst back;
    CV_SetFileName(back.h, path.c_str());
    std::remove(path.c_str());
    ASSERT_EQ(back.error(), 0) << bpp;
    const Image& got = back.image();
    ASSERT_EQ(got.width, src.width);
    ASSERT_EQ(got.height, src.height);
    for (int y = 0; y < src.height; ++y) {
      for (int x = 0; x < src.width; ++x) {
        Rgbq want = colourAt(src, x, y);
        want.reserved = 255;  // PPM has no alpha
        ASSERT_EQ(key(colourAt(got, x, y)), key(want)) << bpp << " bits at " << x << "," << y;
      }
      if (got.bpp == 24) {
        for (size_t i = size_t(got.width) * 3; i < got.stride(); ++i)
          ASSERT_EQ(got.pixels[size_t(y) * got.stride() + i], 0);
      }
    }
  }
}

TEST(OpsPpm, RawSamplesFollowMaxvalAndCommentsAndReadAsFromMemory) {
  // 3 x 2 pixels, maxval 100, comments between the numbers.
  std::string bytes = "P6\n# made by hand\n3 # width\n2\n100\n";
  const uint8_t samples[] = {0, 50, 100, 100, 0, 25, 7, 8, 9, 200, 1, 99, 10, 20, 30, 40, 60, 80};
  bytes.append(reinterpret_cast<const char*>(samples), sizeof samples);
  Image img;
  ASSERT_EQ(loadBoth(bytes, img), 0);
  ASSERT_EQ(img.bpp, 24);
  for (int i = 0; i < 6; ++i) {
    const Rgbq c = colourAt(img, i % 3, i / 3);
    const uint8_t* s = samples + 3 * i;
    auto scaled = [](int v) { return v >= 100 ? 255 : (v * 255 + 50) / 100; };  // nearest level
    EXPECT_EQ(c.r, scaled(s[0])) << i;
    EXPECT_EQ(c.g, scaled(s[1])) << i;
    EXPECT_EQ(c.b, scaled(s[2])) << i;
  }
}

TEST(OpsPpm, GreyBitmapSixteenBitAndPlainFilesReadAsFromMemory) {
  Image img;
  // Raw grey, maxval 255.
  ASSERT_EQ(loadBoth(std::string("P5 4 1 255\n") + "\x00\x40\x80\xff"s, img), 0);
  EXPECT_EQ(img.bpp, 8);
  EXPECT_EQ(colourAt(img, 2, 0).r, 0x80);
  // Raw bitmap, 10 pixels a row: 1 is black.
  ASSERT_EQ(loadBoth(std::string("P4\n10 2\n") + "\xC0\x40\x00\x80"s, img), 0);
  EXPECT_EQ(img.bpp, 1);
  EXPECT_EQ(colourAt(img, 0, 0).r, 0);
  EXPECT_EQ(colourAt(img, 2, 0).r, 255);
  EXPECT_EQ(colourAt(img, 9, 0).r, 0);
  EXPECT_EQ(colourAt(img, 0, 1).r, 255);
  // 16-bit samples and plain text go through the whole-file decoder.
  ASSERT_EQ(loadBoth(std::string("P6 1 1 65535\n") + "\xff\xff\x80\x00\x00\x00"s, img), 0);
  EXPECT_EQ(colourAt(img, 0, 0).r, 255);
  EXPECT_EQ(colourAt(img, 0, 0).g, (0x8000 * 255 + 32767) / 65535);  // the nearest level
  EXPECT_EQ(colourAt(img, 0, 0).b, 0);
  ASSERT_EQ(loadBoth("P3\n2 1\n255\n1 2 3  250 251 252\n", img), 0);
  EXPECT_EQ(key(colourAt(img, 1, 0)) & 0xFFFFFF, 252u | 251u << 8 | 250u << 16);
}

TEST(OpsPpm, ShortOrOversizedFilesAreRefusedWithoutAPicture) {
  Image img;
  // One sample short, at the start of the data and in the header.
  EXPECT_EQ(loadBoth(std::string("P6 2 2 255\n") + std::string(11, '\x10'), img), CV_ERR_TRUNCATED);
  EXPECT_TRUE(img.empty());
  EXPECT_EQ(loadBoth("P6 2 2 255", img), CV_ERR_TRUNCATED);
  EXPECT_EQ(loadBoth("P6 2 2", img), CV_ERR_TRUNCATED);
  EXPECT_TRUE(img.empty());
  // A header naming more pixels than the engine takes is refused before anything is read.
  EXPECT_EQ(loadBoth("P6 200000 200000 255\n\x01\x02\x03", img), CV_ERR_TOO_LARGE);
  EXPECT_EQ(loadBoth("P6 0 5 255\n", img), CV_ERR_DAMAGED);
  EXPECT_EQ(loadBoth("P6 2 2 0\n", img), CV_ERR_DAMAGED);
  EXPECT_TRUE(img.empty());
}

TEST(OpsPpm, AFailedSaveLeavesNoFileBehind) {
  const Image src = randomImage(5, 4, 24, 2);
  Inst inst(src);
  const std::string path = tempPath("missing_dir") + "/out.ppm";
  CV_SetSaveFileName(inst.h, path.c_str());
  CV_SaveFile(inst.h);
  EXPECT_NE(inst.error(), 0);
  EXPECT_NE(::access(path.c_str(), F_OK), 0);
}

}  // namespace
