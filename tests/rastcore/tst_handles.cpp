// Picture handles, ownership between instances, colour counting, unloading and progress.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "formats_helpers.h"
#include "rastcore3.h"

using namespace fmt_test;

namespace {

TEST(Handles, CopyBelongsToCallerAndPutHandsItOver) {
  Instance a, b;
  CV_SetHDib(a, makeDib(21, 13, 8));
  CV_HDIB copy = 0;
  CV_CopyDib(a, &copy);
  ASSERT_NE(copy, 0u);
  EXPECT_EQ(CV_GetImagError(a), 0);
  EXPECT_GT(CV_DibSize(copy), 40u);
  CV_SetHDib(b, copy);
  ASSERT_EQ(CV_GetImagError(b), 0);
  EXPECT_EQ(CV_DibSize(copy), 0u);  // the receiving instance took it and released it
  EXPECT_EQ(maxDifference(pixelsOf(a), pixelsOf(b), true), 0);
  EXPECT_EQ(CV_GetIPBitsPixel(b), 8);
}

TEST(Handles, EngineHandleIsPackedBottomUpDib) {
  Instance a;
  CV_CreateDib(a, 3, 2, 24, 0x00332211);  // R 0x11, G 0x22, B 0x33
  ASSERT_EQ(CV_GetImagError(a), 0);
  const CV_HDIB dib = CV_GetHDib(a);
  const auto* d = static_cast<const uint8_t*>(CV_DibLock(dib));
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d[0], 40);
  EXPECT_EQ(d[4], 3);
  EXPECT_EQ(d[8], 2);
  EXPECT_EQ(d[14], 24);
  EXPECT_EQ(CV_DibSize(dib), 40u + 2 * 12);
  EXPECT_EQ(d[40], 0x33);
  EXPECT_EQ(d[41], 0x22);
  EXPECT_EQ(d[42], 0x11);
  EXPECT_EQ(CV_GetIPCreateWidth(a), 3);
  EXPECT_EQ(CV_GetIPCreateColor(a), 0x00332211u);
}

TEST(Handles, BadHandlesChangeNothing) {
  Instance a;
  CV_SetHDib(a, makeDib(10, 10, 24));
  const Pixels before = pixelsOf(a);
  CV_SetHDib(a, 0xDEADBEEF);
  EXPECT_EQ(CV_GetImagError(a), CV_ERR_BAD_HANDLE);
  const CV_HDIB junk = CV_DibAlloc(60);  // zeros: not a bitmap
  CV_SetHDib(a, junk);
  EXPECT_EQ(CV_GetImagError(a), CV_ERR_BAD_HANDLE);
  EXPECT_EQ(CV_DibSize(junk), 60u);  // refused handles stay the caller's
  CV_DibFree(junk);
  EXPECT_EQ(maxDifference(before, pixelsOf(a), true), 0);
  Instance empty;
  CV_HDIB none = 1;
  CV_CopyDib(empty, &none);
  EXPECT_EQ(none, 0u);
  EXPECT_EQ(CV_GetImagError(empty), CV_ERR_NO_IMAGE);
  EXPECT_EQ(CV_GetHDib(empty), 0u);
}

TEST(Handles, CreateDibDepthsAndRefusals) {
  struct Case {
    int32_t w, h;
    int16_t bits;
    int16_t error;
  } cases[] = {{4, 4, 1, 0},
               {4, 4, 4, 0},
               {4, 4, 8, 0},
               {4, 4, 24, 0},
               {4, 4, 32, 0},
               {4, 4, 16, CV_ERR_BAD_ARGUMENT},
               {0, 4, 24, CV_ERR_BAD_ARGUMENT},
               {70000, 4, 24, CV_ERR_TOO_LARGE},
               {60000, 60000, 24, CV_ERR_TOO_LARGE}};
  for (const Case& c : cases) {
    Instance a;
    CV_CreateDib(a, c.w, c.h, c.bits, 0xFFFFFF);
    EXPECT_EQ(CV_GetImagError(a), c.error) << c.w << "x" << c.h << "@" << c.bits;
    if (!c.error) {
      int32_t colors = 0;
      CV_UniqueColors(a, &colors);
      EXPECT_EQ(colors, 1);
      EXPECT_EQ(CV_GetIPBitsPixel(a), c.bits);
    }
  }
}

TEST(UniqueColors, CountsDistinctColoursAtEveryDepth) {
  Instance a;
  struct Case {
    int bpp;
    bool grey;
  } cases[] = {{1, false}, {4, false}, {8, false}, {8, true}, {24, false}, {32, false}};
  for (const Case& c : cases) {
    CV_SetHDib(a, makeDib(97, 61, c.bpp, c.grey));
    const Pixels px = pixelsOf(a);
    std::set<uint32_t> reference;
    for (size_t i = 0; i < px.rgba.size(); i += 4)
      reference.insert(px.rgba[i] << 16 | px.rgba[i + 1] << 8 | px.rgba[i + 2]);
    int32_t count = 0;
    CV_UniqueColors(a, &count);
    EXPECT_EQ(size_t(count), reference.size()) << c.bpp;
  }
}

TEST(UniqueColors, LargePictureMatchesReference) {
  // 2048 x 1536 with every pixel distinct in its low 21 bits: above the threaded threshold.
  Pixels px;
  px.width = 2048, px.height = 1536;
  px.rgba.resize(size_t(px.width) * px.height * 4);
  for (int y = 0; y < px.height; ++y)
    for (int x = 0; x < px.width; ++x) {
      const uint32_t v = uint32_t(y * px.width + x) % (1u << 21);
      uint8_t* p = &px.rgba[(size_t(y) * px.width + x) * 4];
      p[0] = uint8_t(v >> 16), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v), p[3] = uint8_t(x);
    }
  Instance a;
  CV_SetHDib(a, dibFromPixels(px));
  int32_t count = 0;
  CV_UniqueColors(a, &count);
  EXPECT_EQ(count, 1 << 21);  // 3 Mpixels fold onto 2^21 colours; alpha is ignored
}

TEST(UniqueColors, DuplicatePaletteEntriesCountOnce) {
  // An 8-bit picture whose palette repeats one colour under two indexes.
  std::vector<uint8_t> d(40 + 256 * 4 + 4 * 2, 0);
  d[0] = 40, d[4] = 4, d[8] = 2, d[12] = 1, d[14] = 8;
  d[40 + 4 * 1 + 2] = 200;  // entries 1 and 2 are the same red
  d[40 + 4 * 2 + 2] = 200;
  uint8_t* rows = d.data() + 40 + 1024;
  rows[0] = 1, rows[1] = 2, rows[2] = 0, rows[3] = 1;
  const CV_HDIB h = CV_DibAlloc(uint32_t(d.size()));
  std::memcpy(CV_DibLock(h), d.data(), d.size());
  Instance a;
  CV_SetHDib(a, h);
  int32_t count = 0;
  CV_UniqueColors(a, &count);
  EXPECT_EQ(count, 2);  // red and black
}

int openDescriptorsFor(const std::string& path) {
  int n = 0;
  DIR* d = opendir("/proc/self/fd");
  while (dirent* e = readdir(d)) {
    char target[PATH_MAX] = {};
    const std::string link = std::string("/proc/self/fd/") + e->d_name;
    if (readlink(link.c_str(), target, sizeof target - 1) > 0 && path == target) ++n;
  }
  closedir(d);
  return n;
}

TEST(Loading, EmptyNameUnloadsAndReleasesTheFile) {
  const std::string path = tempDir() + "/held.png";
  Instance a;
  CV_SetHDib(a, makeDib(30, 20, 24));
  CV_SetSaveFileName(a, path.c_str());
  CV_SaveFile(a);
  CV_SetFileName(a, path.c_str());
  ASSERT_EQ(CV_GetImagError(a), 0);
  EXPECT_EQ(CV_GetIFormat(a), FT_PNG);
  char buf[8];
  EXPECT_EQ(CV_GetFileName(a, buf, sizeof buf), int32_t(path.size()));
  EXPECT_EQ(std::string(buf), path.substr(0, 7));  // cut to the buffer, NUL-terminated
  EXPECT_EQ(openDescriptorsFor(path), 0);
  CV_SetFileName(a, "");
  EXPECT_EQ(CV_GetImagError(a), 0);
  EXPECT_EQ(CV_GetIWidth(a), 0);
  EXPECT_EQ(CV_GetIPBitsPixel(a), 0);
  EXPECT_EQ(CV_GetIFileSize(a), 0);
  EXPECT_EQ(CV_GetHDib(a), 0u);
  EXPECT_EQ(unlink(path.c_str()), 0);
}

TEST(Loading, ResolutionFromTheFile) {
  Instance a;
  CV_SetHDib(a, makeDib(10, 10, 24));  // 3780 pixels per metre = 96 dpi
  const std::string path = tempDir() + "/r.png";
  CV_SetSaveFileName(a, path.c_str());
  CV_SaveFile(a);
  Instance b;
  CV_SetFileName(b, path.c_str());
  EXPECT_EQ(CV_GetIResX(b), 96);
  EXPECT_EQ(CV_GetIResY(b), 96);
  EXPECT_EQ(CV_GetIResUnits(b), RES_Inch);
}

struct Posted {
  std::vector<std::pair<uint32_t, int16_t>> messages;
  CV_HANDLE handle = 0;
};

void record(void* context, CV_HANDLE handle, uint32_t message) {
  auto* p = static_cast<Posted*>(context);
  p->handle = handle;
  p->messages.emplace_back(message,
                           message == 1028 ? CV_GetProgressPct(handle) : CV_GetAsyncDone(handle));
}

TEST(Progress, PostedDuringLoadAndSave) {
  Instance a;
  Posted posted;
  CV_SetPostMessage(a, record, &posted);
  CV_SetProgressMessages(a, 1028, 1029);
  CV_SetHDib(a, makeDib(400, 300, 24));
  const std::string path = tempDir() + "/big.png";
  CV_SetSaveFileName(a, path.c_str());
  CV_SaveFile(a);
  EXPECT_EQ(CV_GetProgressId(a), 2);
  ASSERT_FALSE(posted.messages.empty());
  posted.messages.clear();
  CV_SetFileName(a, path.c_str());
  EXPECT_EQ(CV_GetProgressId(a), 1);
  EXPECT_EQ(posted.handle, a.h);
  int last = -1, progressCount = 0;
  for (auto [message, value] : posted.messages)
    if (message == 1028) {
      EXPECT_GE(value, last);
      last = value, ++progressCount;
    }
  EXPECT_GT(progressCount, 10);
  EXPECT_EQ(last, 100);
  EXPECT_EQ(posted.messages.back().first, 1029u);
  EXPECT_EQ(CV_GetAsyncDone(a), -1);
  EXPECT_EQ(CV_GetAsyncTotalBytes(a), CV_GetIFileSize(a));
  posted.messages.clear();
  CV_SetProgressEnabled(a, 0);
  CV_SetFileName(a, path.c_str());
  EXPECT_TRUE(posted.messages.empty());
}

TEST(Errors, EveryNumberHasItsOwnText) {
  std::set<std::string> texts;
  for (int16_t e = 0; e >= CV_ERR_PASSWORD; --e) {
    const std::string text = CV_ErrorText(e);
    EXPECT_NE(text, "unknown error") << e;
    EXPECT_TRUE(texts.insert(text).second) << e;
  }
  EXPECT_STREQ(CV_ErrorText(-999), "unknown error");
  EXPECT_EQ(CV_GetImagError(0xFFFFFFF0), CV_ERR_BAD_INSTANCE);
}

}  // namespace

namespace {

TEST(LoadOptions, ThumbnailAndCropOfJpeg) {
  Instance src;
  CV_SetHDib(src, makeDib(160, 96, 24));
  const std::string path = tempDir() + "/big.jpg";
  CV_SetSaveFileName(src, path.c_str());
  CV_SaveFile(src);
  struct Case {
    int16_t thumbnail;
    int32_t width, height;
  } cases[] = {{0, 160, 96}, {1, 80, 48}, {2, 40, 24}, {3, 20, 12}};
  for (const Case& c : cases) {
    Instance h;
    CV_SetPICThumbnail(h, c.thumbnail);
    CV_SetFileName(h, path.c_str());
    ASSERT_EQ(CV_GetImagError(h), 0);
    EXPECT_EQ(CV_GetIWidth(h), c.width);
    EXPECT_EQ(CV_GetIHeight(h), c.height);
  }
  Instance crop;
  CV_SetPICCropEnabled(crop, -1);
  CV_SetPICCropX(crop, 10), CV_SetPICCropY(crop, 20), CV_SetPICCropWidth(crop, 30),
      CV_SetPICCropHeight(crop, 500);
  CV_SetFileName(crop, path.c_str());
  ASSERT_EQ(CV_GetImagError(crop), 0);
  EXPECT_EQ(CV_GetIWidth(crop), 30);
  EXPECT_EQ(CV_GetIHeight(crop), 76);  // clipped to the picture
  CV_SetPICCropX(crop, 1000);
  CV_SetFileName(crop, path.c_str());
  EXPECT_EQ(CV_GetImagError(crop), CV_ERR_BAD_ARGUMENT);
  EXPECT_EQ(CV_GetIWidth(crop), 0);
}

TEST(SaveToBuffer, HoldsTheFileBytes) {
  Instance a;
  CV_SetHDib(a, makeDib(30, 20, 8));
  CV_SetSaveToBuffer(a, -1);
  CV_SetSaveFileName(a, "in-memory.png");
  CV_SaveFile(a);
  ASSERT_EQ(CV_GetImagError(a), 0);
  const uint32_t block = CV_GetSaveBufferHandle(a);
  ASSERT_NE(block, 0u);
  EXPECT_FALSE(readFile("in-memory.png").size());  // nothing written to disk
  Instance b;
  CV_LoadBuffer(b, CV_DibLock(block), int32_t(CV_DibSize(block)));
  ASSERT_EQ(CV_GetImagError(b), 0);
  EXPECT_EQ(CV_GetIFormat(b), FT_PNG);
  EXPECT_EQ(maxDifference(pixelsOf(a), pixelsOf(b), true), 0);
  CV_DeleteSaveBuffer(a);
  EXPECT_EQ(CV_GetSaveBufferHandle(a), 0u);
  EXPECT_EQ(CV_DibSize(block), 0u);
}

TEST(PixelAccess, GetSetAndDibUpdate) {
  Instance a;
  CV_CreateDib(a, 4, 3, 24, 0x000000);
  CV_DibSetPixel(a, 2, 1, 0x00123456);
  uint32_t color = 0;
  CV_DibGetPixel(a, 2, 1, &color);
  EXPECT_EQ(color, 0x00123456u);
  EXPECT_EQ(CV_GetIPPixelX(a), 2);
  CV_DibGetPixel(a, 4, 0, &color);
  EXPECT_EQ(CV_GetImagError(a), CV_ERR_BAD_ARGUMENT);
  // Change the engine's DIB bytes directly, then let the picture take them over.
  const CV_HDIB dib = CV_GetHDib(a);
  auto* bytes = static_cast<uint8_t*>(CV_DibLock(dib));
  bytes[40 + 2 * 12 + 0] = 0xFF;  // bottom-up: the last stored row is picture row 0; B of x 0
  CV_DibUpdate(a);
  ASSERT_EQ(CV_GetImagError(a), 0);
  CV_DibGetPixel(a, 0, 0, &color);
  EXPECT_EQ(color, 0x00FF0000u);

  Instance p;
  CV_CreateDib(p, 4, 4, 4, 0xFFFFFF);
  CV_DibSetPalIndex(p, 1, 1, 9);
  int16_t index = 0;
  CV_DibGetPalIndex(p, 1, 1, &index);
  EXPECT_EQ(index, 9);
  CV_DibSetPalIndex(p, 1, 1, 16);
  EXPECT_EQ(CV_GetImagError(p), CV_ERR_BAD_ARGUMENT);
  const uint32_t pal = CV_GetHPal(p);
  ASSERT_EQ(CV_DibSize(pal), 16u * 4);
  EXPECT_EQ(static_cast<const uint8_t*>(CV_DibLock(pal))[15 * 4], 255);  // entry 15 is white
  EXPECT_EQ(CV_GetHPal(a), 0u);
}

}  // namespace
