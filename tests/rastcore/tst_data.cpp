// Pictures written by other programs (tests/data/<format>/, each with a reference decoded by
// an independent decoder beside it as <name>.ref.ppm: ImageMagick, or Pillow for TGA), and small
// hand-made files for variants that no tool here writes: a 4-bit run-length BMP and a metafile of
// drawing records.
#include <dirent.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats_helpers.h"
#include "rastcore3.h"

using namespace fmt_test;

namespace {

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::vector<std::string> dataFiles() {
  std::vector<std::string> files;
  for (const std::string& folder : listDir(dataDir()))
    if (folder != "bombs")  // no pictures: tst_bombs replays them
      for (const std::string& name : listDir(dataDir() + "/" + folder))
        if (!endsWith(name, ".ref.ppm")) files.push_back(folder + "/" + name);
  return files;
}

class DataFile : public testing::TestWithParam<std::string> {};

TEST_P(DataFile, MatchesItsReference) {
  const std::string path = dataDir() + "/" + GetParam();
  const Pixels reference = readPpm(path + ".ref.ppm");
  ASSERT_GT(reference.width, 0) << "no reference for " << path;
  CV_HANDLE h = load(path);
  ASSERT_EQ(CV_GetImagError(h), 0) << CV_ErrorText(CV_GetImagError(h));
  const Pixels ours = pixelsOf(h);
  CV_DestroyInstance(h);
  ASSERT_EQ(ours.width, reference.width);
  ASSERT_EQ(ours.height, reference.height);
  // Transparent pixels carry no colour to compare. Most of these files hold 16-bit samples,
  // which decoders bring to 8 bits by rounding or by truncating, so one level either way is
  // allowed; the exact 8-bit cases are covered by the differential tests.
  const int tolerance = 1;
  int worst = 0;
  for (size_t i = 0; i < ours.rgba.size(); i += 4) {
    if (ours.rgba[i + 3] == 0) continue;
    for (int c = 0; c < 3; ++c)
      worst = std::max(worst, std::abs(ours.rgba[i + c] - reference.rgba[i + c]));
  }
  EXPECT_LE(worst, tolerance);
}

std::string fileName(const testing::TestParamInfo<std::string>& info) {
  std::string n = info.param;
  for (char& c : n)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return n;
}

INSTANTIATE_TEST_SUITE_P(Files, DataFile, testing::ValuesIn(dataFiles()), fileName);

void le16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(uint8_t(x)), v.push_back(uint8_t(x >> 8));
}
void le32(std::vector<uint8_t>& v, uint32_t x) {
  le16(v, x), le16(v, x >> 16);
}

TEST(HandMade, Rle4Bitmap) {
  // 7 x 2, 16 colours (entry i = grey 17 * i); bottom row: run of 4 pixels alternating 1 and 2,
  // then a literal 3, 4, 5; top row: a delta of 2 then a run of 3 pixels of 15.
  std::vector<uint8_t> rle = {4, 0x12, 0, 3, 0x34, 0x50, 0, 0, 0, 2, 2, 0, 3, 0xFF, 0, 1};
  std::vector<uint8_t> f = {'B', 'M'};
  le32(f, 0), le32(f, 0), le32(f, 14 + 40 + 64);
  le32(f, 40), le32(f, 7), le32(f, 2), le16(f, 1), le16(f, 4), le32(f, 2),
      le32(f, uint32_t(rle.size()));
  le32(f, 0), le32(f, 0), le32(f, 16), le32(f, 0);
  for (int i = 0; i < 16; ++i)
    f.insert(f.end(), {uint8_t(17 * i), uint8_t(17 * i), uint8_t(17 * i), 0});
  f.insert(f.end(), rle.begin(), rle.end());
  const std::string path = tempDir() + "/rle4.bmp";
  writeFile(path, f);
  CV_HANDLE h = load(path);
  ASSERT_EQ(CV_GetImagError(h), 0);
  EXPECT_EQ(CV_GetIPBitsPixel(h), 4);
  const Pixels px = pixelsOf(h);
  const int bottom[7] = {1, 2, 1, 2, 3, 4, 5}, top[7] = {0, 0, 15, 15, 15, 0, 0};
  for (int x = 0; x < 7; ++x) {
    EXPECT_EQ(px.at(x, 1)[0], 17 * bottom[x]) << x;
    EXPECT_EQ(px.at(x, 0)[0], 17 * top[x]) << x;
  }
  CV_DestroyInstance(h);
}

// A placeable metafile, 100 x 50 units at 100 units per inch (96 x 48 pixels), drawing a
// red rectangle with a blue outline and a green diagonal line.
std::vector<uint8_t> drawingMetafile() {
  std::vector<uint8_t> f;
  const uint16_t header[10] = {0xCDD7, 0x9AC6, 0, 0, 0, 100, 50, 100, 0, 0};
  uint16_t sum = 0;
  for (uint16_t v : header) le16(f, v), sum ^= v;
  le16(f, sum);
  le16(f, 1), le16(f, 9), le16(f, 0x300), le32(f, 0), le16(f, 2), le32(f, 8), le16(f, 0);
  auto record = [&](uint16_t function, std::vector<uint16_t> params) {
    le32(f, uint32_t(3 + params.size())), le16(f, function);
    for (uint16_t p : params) le16(f, p);
  };
  record(0x020B, {0, 0});                     // SetWindowOrg
  record(0x020C, {50, 100});                  // SetWindowExt (y, x)
  record(0x02FC, {0, 0x00FF, 0x0000, 0});     // CreateBrushIndirect: solid red
  record(0x02FA, {0, 1, 0, 0x0000, 0x00FF});  // CreatePenIndirect: solid blue
  record(0x012D, {0}), record(0x012D, {1});   // SelectObject brush, pen
  record(0x041B, {40, 60, 10, 20});           // Rectangle (bottom, right, top, left)
  record(0x02FA, {0, 1, 0, 0xFF00, 0x0000});  // green pen
  record(0x012D, {2});
  record(0x0214, {49, 0}), record(0x0213, {49, 99});  // MoveTo/LineTo along the bottom
  record(0x0000, {});
  return f;
}

TEST(HandMade, MetafileDrawingRecords) {
  const std::string path = tempDir() + "/drawing.wmf";
  writeFile(path, drawingMetafile());
  CV_HANDLE h = load(path);
  ASSERT_EQ(CV_GetImagError(h), 0) << CV_ErrorText(CV_GetImagError(h));
  EXPECT_EQ(CV_GetIFormat(h), FT_WMF);
  const Pixels px = pixelsOf(h);
  ASSERT_EQ(px.width, 96);
  ASSERT_EQ(px.height, 48);
  auto rgb = [&](int x, int y) {
    return px.at(x, y)[0] << 16 | px.at(x, y)[1] << 8 | px.at(x, y)[2];
  };
  EXPECT_EQ(rgb(38, 24), 0xFF0000);                    // inside the rectangle
  EXPECT_EQ(rgb(5, 5), 0xFFFFFF);                      // background
  EXPECT_EQ(rgb(int(20 * 0.96 + 0.5), 24), 0x0000FF);  // left edge drawn with the pen
  EXPECT_EQ(rgb(50, 47), 0x00FF00);                    // the line along the bottom
  CV_DestroyInstance(h);
}

}  // namespace
