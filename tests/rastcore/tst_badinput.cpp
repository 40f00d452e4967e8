// Damaged, truncated, empty and hostile files of every format, and saves that cannot
// succeed: each gives an error number, leaves no picture behind and destroys nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>
#include <string>
#include <vector>

#include "formats_helpers.h"
#include "rastcore3.h"

using namespace fmt_test;

namespace {

const char* const kFormats[] = {"jpg", "png", "tif", "gif", "bmp", "pcx", "tga",
                                "wpg", "wmf", "ppm", "pgm", "pbm", "pic"};

std::string validFile(const std::string& ext, int bpp = 24) {
  Instance src;
  CV_SetHDib(src, makeDib(45, 29, bpp));
  const std::string path = tempDir() + "/valid." + ext;
  CV_SetSaveFileName(src, path.c_str());
  CV_SaveFile(src);
  EXPECT_EQ(CV_GetImagError(src), 0) << ext;
  return path;
}

// Either a clean failure (error, no picture) or a whole picture.
void expectConsistent(CV_HANDLE h) {
  if (CV_GetImagError(h) != 0) {
    EXPECT_LT(CV_GetImagError(h), 0);
    EXPECT_EQ(CV_GetIWidth(h), 0);
    EXPECT_EQ(CV_GetHDib(h), 0u);
  } else {
    EXPECT_GT(CV_GetIWidth(h), 0);
    EXPECT_NE(CV_GetHDib(h), 0u);
  }
}

class EveryFormat : public testing::TestWithParam<const char*> {};

TEST_P(EveryFormat, TruncatedFilesAreRefused) {
  const std::string ext = GetParam();
  const std::string path = validFile(ext);
  const std::vector<uint8_t> whole = readFile(path);
  const std::string cut = tempDir() + "/cut." + ext;
  Instance h;
  for (size_t length : {size_t(0), size_t(1), size_t(10), whole.size() / 2, whole.size() - 1}) {
    SCOPED_TRACE(length);
    CV_SetHDib(h, makeDib(3, 3, 24));  // a previous picture must not survive a failed load
    writeFile(cut, std::vector<uint8_t>(whole.begin(), whole.begin() + long(length)));
    CV_SetFileName(h, cut.c_str());
    if (length <= whole.size() / 2) EXPECT_NE(CV_GetImagError(h), 0);
    expectConsistent(h);
  }
  EXPECT_EQ(CV_GetImagError((CV_SetFileName(h, path.c_str()), h)), 0);
}

TEST_P(EveryFormat, DamagedBytesNeverCrash) {
  const std::string ext = GetParam();
  const std::vector<uint8_t> whole = readFile(validFile(ext, ext == std::string("wpg") ? 8 : 24));
  const std::string bad = tempDir() + "/bad." + ext;
  std::mt19937 random(1234);
  Instance h;
  for (int round = 0; round < 60; ++round) {
    std::vector<uint8_t> bytes = whole;
    const int changes = 1 + round % 8;
    for (int i = 0; i < changes; ++i) bytes[random() % bytes.size()] = uint8_t(random());
    writeFile(bad, bytes);
    CV_SetFileName(h, bad.c_str());
    expectConsistent(h);
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormat, testing::ValuesIn(kFormats));

void le16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(uint8_t(x)), v.push_back(uint8_t(x >> 8));
}
void le32(std::vector<uint8_t>& v, uint32_t x) {
  le16(v, x), le16(v, x >> 16);
}

std::vector<uint8_t> bytesOf(const std::string& text) {
  return {text.begin(), text.end()};
}

TEST(HostileFiles, HugeDimensionsAreRefusedBeforeAllocating) {
  std::vector<uint8_t> bmp = {'B', 'M'};
  le32(bmp, 0), le32(bmp, 0), le32(bmp, 54), le32(bmp, 40), le32(bmp, 60000), le32(bmp, 60000);
  le16(bmp, 1), le16(bmp, 24);
  bmp.resize(80, 0);
  std::vector<uint8_t> tga = {0, 0,    2,    0,    0,    0,  0,    0, 0, 0, 0,
                              0, 0xFF, 0xFF, 0xFF, 0xFF, 24, 0x20, 1, 2, 3};
  std::vector<uint8_t> gif = bytesOf("GIF89a");
  le16(gif, 65535), le16(gif, 65535), gif.insert(gif.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255});
  gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 2, 0x4C, 0x01, 0, 0x3B});
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {{"huge.bmp", bmp},
               {"huge.tga", tga},
               {"huge.gif", gif},
               {"huge.ppm", bytesOf("P6 60000 60000 255\nabc")},
               {"wide.pgm", bytesOf("P5 70000 1 255\nabc")}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = tempDir() + "/" + c.name;
    writeFile(path, c.bytes);
    CV_HANDLE h = load(path);
    EXPECT_EQ(CV_GetImagError(h), CV_ERR_TOO_LARGE);
    EXPECT_EQ(CV_GetIWidth(h), 0);
    CV_DestroyInstance(h);
  }
}

TEST(HostileFiles, EachFailureHasItsOwnNumber) {
  const std::string dir = tempDir();
  writeFile(dir + "/empty.jpg", {});
  writeFile(dir + "/text.png", bytesOf("this is not a picture at all"));
  writeFile(dir + "/short.png", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0});
  struct Case {
    std::string path;
    int16_t error;
  } cases[] = {{dir + "/missing.png", CV_ERR_FILE_NOT_FOUND},
               {dir + "/nofolder/missing.png", CV_ERR_FILE_NOT_FOUND},
               {dir, CV_ERR_FILE_READ},
               {dir + "/empty.jpg", CV_ERR_TRUNCATED},
               {dir + "/text.png", CV_ERR_UNKNOWN_FORMAT},
               {dir + "/short.png", CV_ERR_TRUNCATED}};
  for (const Case& c : cases) {
    CV_HANDLE h = load(c.path);
    EXPECT_EQ(CV_GetImagError(h), c.error) << c.path;
    CV_DestroyInstance(h);
  }
}

TEST(FailedSaves, MissingFolderLeavesNothing) {
  Instance h;
  CV_SetHDib(h, makeDib(10, 10, 24));
  const std::string dir = tempDir();
  const std::string target = dir + "/no/such/folder/out.png";
  CV_SetSaveFileName(h, target.c_str());
  CV_SaveFile(h);
  EXPECT_EQ(CV_GetImagError(h), CV_ERR_FILE_WRITE);
  EXPECT_TRUE(listDir(dir).empty());
}

TEST(FailedSaves, ExistingFileSurvivesAFailedSave) {
  const std::string dir = tempDir();
  const std::string target = dir + "/keep.png";
  writeFile(target, bytesOf("precious"));
  Instance h;
  CV_SetHDib(h, makeDib(10, 10, 24));
  CV_SetSaveFileName(h, target.c_str());
  CV_SetSaveFileType(h, FT_LJP);
  CV_SaveFile(h);
  EXPECT_EQ(CV_GetImagError(h), CV_ERR_SAVE_FORMAT);
  EXPECT_EQ(readFile(target), bytesOf("precious"));
  Instance empty;
  CV_SetSaveFileName(empty, target.c_str());
  CV_SaveFile(empty);
  EXPECT_EQ(CV_GetImagError(empty), CV_ERR_NO_IMAGE);
  EXPECT_EQ(readFile(target), bytesOf("precious"));
  CV_SetSaveFileName(h, (dir + "/unknown.xyz").c_str());
  CV_SetSaveFileType(h, FT_DEFAULT);
  CV_SaveFile(h);
  EXPECT_EQ(CV_GetImagError(h), CV_ERR_SAVE_FORMAT);
  CV_SetSaveFileName(h, "");
  CV_SaveFile(h);
  EXPECT_EQ(CV_GetImagError(h), CV_ERR_NO_FILENAME);
  EXPECT_EQ(listDir(dir), std::vector<std::string>{"keep.png"});  // no temporary files left
}

TEST(FailedSaves, ReplacingKeepsPermissionsAndLeavesNoTemporaryFile) {
  const std::string dir = tempDir();
  const std::string target = dir + "/replace.bmp";
  writeFile(target, bytesOf("old"));
  chmod(target.c_str(), 0640);
  Instance h;
  CV_SetHDib(h, makeDib(10, 10, 24));
  CV_SetSaveFileName(h, target.c_str());
  CV_SaveFile(h);
  ASSERT_EQ(CV_GetImagError(h), 0);
  struct stat st {};
  stat(target.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_NE(readFile(target), bytesOf("old"));
  EXPECT_EQ(listDir(dir).size(), 1u);
}

TEST(FailedSaves, SavingWithoutAnInstanceOrPicture) {
  CV_SaveFile(0xFFFFFF);  // an unknown instance is ignored without a crash
  EXPECT_EQ(CV_GetImagError(0xFFFFFF), CV_ERR_BAD_INSTANCE);
}

}  // namespace
