// Cancelling long loads in the engine: every decoder with a row or scan loop stops when the
// host's poll asks, the picture stays as it was (or goes, with CancelRemove), and a poll that
// never asks changes nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "formats_helpers.h"
#include "rastcore3.h"

namespace {

struct Poll {
  int calls = 0;
  int cancelAt = 0;  // 0: never
  int16_t lastId = 0;
};

int16_t countingPoll(void* context, CV_HANDLE, int16_t id) {
  auto* poll = static_cast<Poll*>(context);
  poll->lastId = id;
  return ++poll->calls == poll->cancelAt ? 1 : 0;
}

struct Format {
  const char* name;
  int16_t type;
  bool progressive;
  const char* extension;
};

const Format kFormats[] = {
    {"JPEG", FT_JPG, false, "jpg"}, {"progressive JPEG", FT_JPG, true, "jpg"},
    {"PNG", FT_PNG, false, "png"},  {"BMP", FT_BMP, false, "bmp"},
    {"GIF", FT_GIF, false, "gif"},  {"PCX", FT_PCX, false, "pcx"},
    {"TGA", FT_TGA, false, "tga"},  {"TIFF", FT_TIF, false, "tif"},
    {"PPM", FT_PPM, false, "ppm"},
};

// The format's file in a scratch folder.
std::string written(const Format& f, const std::vector<uint8_t>& bytes) {
  const std::string dir = ::testing::TempDir() + "rastcore_cancel";
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/" + f.name + "." + f.extension;
  if (FILE* out = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
  }
  return path;
}

// A 400 x 300 picture encoded by the engine itself.
std::vector<uint8_t> encoded(const Format& f) {
  fmt_test::Instance inst;
  CV_SetHDib(inst, fmt_test::makeDib(400, 300, 24, false, false));
  CV_SetSaveToBuffer(inst, -1);
  CV_SetSaveFileType(inst, f.type);
  CV_SetSaveJPGProgressive(inst, f.progressive ? -1 : 0);
  CV_SaveFile(inst);
  const CV_HDIB block = CV_GetSaveBufferHandle(inst);
  const auto* bytes = static_cast<const uint8_t*>(CV_DibLock(block));
  return bytes ? std::vector<uint8_t>(bytes, bytes + CV_DibSize(block)) : std::vector<uint8_t>();
}

// An instance holding an 8 x 6 picture, with the counting poll.
struct Holder {
  fmt_test::Instance inst;
  Poll poll;
  Holder() {
    CV_SetHDib(inst, fmt_test::makeDib(8, 6, 24, false, false));
    CV_SetPollFunction(inst, &countingPoll, &poll);
  }
};

}  // namespace

TEST(Cancel, EveryRowLoopStopsAndKeepsThePicture) {
  for (const Format& f : kFormats) {
    const std::vector<uint8_t> bytes = encoded(f);
    ASSERT_FALSE(bytes.empty()) << f.name;
    const std::string file = written(f, bytes);
    {
      Holder h;  // the poll answers at its first question
      h.poll.cancelAt = 1;
      CV_SetFileName(h.inst, file.c_str());
      EXPECT_EQ(CV_GetImagError(h.inst), CV_ERR_CANCELLED) << f.name;
      EXPECT_EQ(h.poll.lastId, CV_PROGRESS_LOAD) << f.name;
      EXPECT_EQ(CV_GetIWidth(h.inst), 8) << f.name;
      EXPECT_EQ(CV_GetIHeight(h.inst), 6) << f.name;
    }
    {
      Holder h;
      h.poll.cancelAt = 1;
      CV_SetCancelRemove(h.inst, -1);
      CV_SetFileName(h.inst, file.c_str());
      EXPECT_EQ(CV_GetImagError(h.inst), CV_ERR_CANCELLED) << f.name;
      EXPECT_EQ(CV_GetIWidth(h.inst), 0) << f.name;
    }
    {
      Holder h;  // asked, never cancelling: the load is whole
      CV_SetFileName(h.inst, file.c_str());
      EXPECT_EQ(CV_GetImagError(h.inst), CV_OK) << f.name;
      EXPECT_EQ(CV_GetIWidth(h.inst), 400) << f.name;
      EXPECT_GE(h.poll.calls, 1) << f.name;
    }
  }
}

// A cancelled file load keeps the former picture's file name with the picture; a cancelled
// load from memory keeps the picture too.
TEST(Cancel, KeepsTheFormerNameAndPicture) {
  const std::vector<uint8_t> png = encoded(kFormats[2]);
  const std::string first = written({"first", FT_PNG, false, "png"}, png);
  const std::string second = written({"second", FT_PNG, false, "png"}, png);
  Holder h;
  CV_SetFileName(h.inst, first.c_str());
  ASSERT_EQ(CV_GetImagError(h.inst), CV_OK);
  h.poll.calls = 0;
  h.poll.cancelAt = 2;
  CV_SetFileName(h.inst, second.c_str());
  EXPECT_EQ(CV_GetImagError(h.inst), CV_ERR_CANCELLED);
  char name[1024] = {};
  CV_GetFileName(h.inst, name, sizeof name);
  EXPECT_EQ(std::string(name), first);
  EXPECT_EQ(CV_GetIWidth(h.inst), 400);
  h.poll.calls = 0;
  CV_LoadBuffer(h.inst, png.data(), int32_t(png.size()));
  EXPECT_EQ(CV_GetImagError(h.inst), CV_ERR_CANCELLED);
  CV_GetFileName(h.inst, name, sizeof name);
  EXPECT_EQ(std::string(name), first);
  EXPECT_EQ(CV_GetIWidth(h.inst), 400);
  std::filesystem::remove_all(::testing::TempDir() + "rastcore_cancel");
}

// Saving asks too (so a host may keep its window working) but is never cut short.
TEST(Cancel, SavingAsksButFinishes) {
  Holder h;
  CV_SetHDib(h.inst, fmt_test::makeDib(400, 300, 24, false, false));
  h.poll.cancelAt = 1;
  CV_SetSaveToBuffer(h.inst, -1);
  CV_SetSaveFileType(h.inst, FT_PNG);
  CV_SaveFile(h.inst);
  EXPECT_EQ(CV_GetImagError(h.inst), CV_OK);
  EXPECT_GE(h.poll.calls, 1);
  EXPECT_EQ(h.poll.lastId, CV_PROGRESS_SAVE);
  EXPECT_GT(CV_DibSize(CV_GetSaveBufferHandle(h.inst)), 0u);
}
