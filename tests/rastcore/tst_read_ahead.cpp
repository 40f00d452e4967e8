// Pictures read ahead on the background thread: a load that finds its picture there gives
// exactly what a plain load gives, and never a picture of a file that has changed since.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "formats_helpers.h"
#include "rastcore3.h"
#include "rastcore3_ops.h"

using namespace fmt_test;

namespace {

// Writes a picture of the given size whose pattern depends on `seed`.
std::string writePicture(const std::string& path, int width, int height, int seed = 0) {
  Instance maker;
  CV_CreateDib(maker, width, height, 24, 0x00102030u + uint32_t(seed));
  CV_DrawLine(maker, 0, seed % height, width - 1, height - 1 - seed % height, 0x000000FFu);
  CV_SetSaveFileName(maker, path.c_str());
  CV_SaveFile(maker);
  EXPECT_EQ(CV_GetImagError(maker), 0) << path;
  return path;
}

// The background thread works on its own; a test waits for the state it needs. The bound
// only keeps a broken build from hanging the suite.
bool waitForHeld(CV_HANDLE h, int count) {
  for (int i = 0; i < 120000 && CV_GetReadAheadHeld(h) != count; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return CV_GetReadAheadHeld(h) == count;
}

struct Loaded {
  int16_t error = 0;
  Pixels pixels;
  int32_t width = 0, height = 0, fileSize = 0, colors = 0;
  int16_t bpp = 0, format = 0, pages = 0;
};

Loaded loadInto(CV_HANDLE h, const std::string& path) {
  CV_SetFileName(h, path.c_str());
  Loaded l;
  l.error = CV_GetImagError(h);
  l.pixels = pixelsOf(h);
  l.width = CV_GetIWidth(h), l.height = CV_GetIHeight(h), l.fileSize = CV_GetIFileSize(h);
  l.bpp = CV_GetIBPP(h), l.format = CV_GetIFormat(h), l.pages = CV_GetNumPages(h);
  CV_UniqueColors(h, &l.colors);
  return l;
}

void expectSame(const Loaded& a, const Loaded& b) {
  EXPECT_EQ(a.error, b.error);
  EXPECT_EQ(a.pixels.rgba, b.pixels.rgba);
  EXPECT_EQ(a.width, b.width);
  EXPECT_EQ(a.height, b.height);
  EXPECT_EQ(a.fileSize, b.fileSize);
  EXPECT_EQ(a.colors, b.colors);
  EXPECT_EQ(a.bpp, b.bpp);
  EXPECT_EQ(a.format, b.format);
  EXPECT_EQ(a.pages, b.pages);
}

std::string names(const std::vector<std::string>& paths) {
  std::string joined;
  for (const std::string& p : paths) joined += (joined.empty() ? "" : "\n") + p;
  return joined;
}

struct Posted {
  std::vector<std::pair<uint32_t, int>> messages;
};
void record(void* context, CV_HANDLE handle, uint32_t message) {
  static_cast<Posted*>(context)->messages.emplace_back(
      message, message == 1028 ? CV_GetProgressPct(handle) : CV_GetAsyncTotalBytes(handle));
}

TEST(ReadAhead, TakenPictureIsTheLoadedOneWithTheSameProgress) {
  const std::string dir = tempDir();
  const std::string jpg = writePicture(dir + "/next.jpg", 640, 480, 3);
  const std::string png = writePicture(dir + "/prev.png", 300, 200, 5);
  Instance fresh, viewer;
  Posted plain, ahead;
  for (auto [h, posted] : {std::pair{fresh.h, &plain}, std::pair{viewer.h, &ahead}}) {
    CV_SetPostMessage(h, record, posted);
    CV_SetProgressMessages(h, 1028, 1029);
  }
  const Loaded expectedJpg = loadInto(fresh, jpg);
  const std::vector<std::pair<uint32_t, int>> jpgMessages = plain.messages;
  const Loaded expectedPng = loadInto(fresh, png);

  CV_ReadAhead(viewer, names({jpg, png}).c_str());
  EXPECT_EQ(CV_GetImagError(viewer), 0);
  ASSERT_TRUE(waitForHeld(viewer, 2));
  const Loaded gotJpg = loadInto(viewer, jpg);
  EXPECT_EQ(CV_GetReadAheadHeld(viewer), 1);  // taken, not decoded again
  expectSame(gotJpg, expectedJpg);
  EXPECT_EQ(ahead.messages, jpgMessages);
  expectSame(loadInto(viewer, png), expectedPng);
  EXPECT_EQ(CV_GetReadAheadHeld(viewer), 0);
  // The picture taken is the instance's own: editing it leaves a later load untouched.
  CV_DrawLine(viewer, 0, 0, 10, 10, 0x00FFFFFFu);
  expectSame(loadInto(viewer, png), expectedPng);
}

TEST(ReadAhead, ChangedReplacedTruncatedOrDeletedFilesAreNeverServedStale) {
  const std::string dir = tempDir();
  const std::string a = writePicture(dir + "/a.bmp", 200, 100, 1);
  const std::string b = writePicture(dir + "/b.bmp", 200, 100, 2);
  const std::string c = writePicture(dir + "/c.bmp", 200, 100, 3);
  const std::string d = writePicture(dir + "/d.bmp", 200, 100, 4);
  Instance viewer, fresh;
  CV_ReadAhead(viewer, names({a, b, c, d}).c_str());
  ASSERT_TRUE(waitForHeld(viewer, 4));

  // Rewritten in place with a picture of the same size, its modification time put back.
  struct stat before {};
  ASSERT_EQ(::stat(a.c_str(), &before), 0);
  const std::string other = writePicture(dir + "/other.bmp", 200, 100, 9);
  const std::vector<uint8_t> bytes = readFile(other);
  ASSERT_EQ(bytes.size(), size_t(before.st_size));
  {
    const int fd = ::open(a.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ::futimens(fd, times);
    ::close(fd);
  }
  expectSame(loadInto(viewer, a), loadInto(fresh, other));

  // Replaced by another file through a rename.
  ASSERT_EQ(::rename(other.c_str(), b.c_str()), 0);
  expectSame(loadInto(viewer, b), loadInto(fresh, b));

  // Truncated: the load reports what a plain load of the cut file reports.
  ASSERT_EQ(::truncate(c.c_str(), 500), 0);
  const Loaded cut = loadInto(viewer, c);
  EXPECT_NE(cut.error, 0);
  expectSame(cut, loadInto(fresh, c));

  // Deleted: not found, and no picture.
  ASSERT_EQ(::unlink(d.c_str()), 0);
  const Loaded gone = loadInto(viewer, d);
  EXPECT_EQ(gone.error, CV_ERR_FILE_NOT_FOUND);
  EXPECT_EQ(CV_GetIWidth(viewer), 0);
}

TEST(ReadAhead, FailedReadAheadGivesTheErrorOfAPlainLoad) {
  const std::string dir = tempDir();
  const std::string good = writePicture(dir + "/good.bmp", 64, 64);
  const std::string bad = dir + "/bad.jpg";
  writeFile(bad, {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1});
  const std::string missing = dir + "/missing.png";
  Instance viewer, fresh;
  // Tried in order: once the good picture is held, both failures were tried first.
  CV_ReadAhead(viewer, names({bad, missing, good}).c_str());
  ASSERT_TRUE(waitForHeld(viewer, 1));
  for (const std::string& path : {bad, missing}) {
    const Loaded plain = loadInto(fresh, path);
    EXPECT_NE(plain.error, 0) << path;
    expectSame(loadInto(viewer, path), plain);
  }
  expectSame(loadInto(viewer, good), loadInto(fresh, good));
}

TEST(ReadAhead, TheLimitHoldsAndDropsWhatIsNoLongerWanted) {
  const std::string dir = tempDir();
  std::vector<std::string> set;
  for (int i = 0; i < 30; ++i)  // about 0.7 MiB decoded each
    set.push_back(writePicture(dir + "/p" + std::to_string(i) + ".bmp", 600, 400, i));
  Instance viewer, fresh;
  EXPECT_EQ(CV_GetReadAheadLimit(viewer), 512);
  CV_SetReadAheadLimit(viewer, 2);
  EXPECT_EQ(CV_GetReadAheadLimit(viewer), 2);
  CV_SetReadAheadLimit(viewer, -1);
  EXPECT_EQ(CV_GetImagError(viewer), CV_ERR_UNSUPPORTED_OPTION);
  EXPECT_EQ(CV_GetReadAheadLimit(viewer), 2);
  // Paging through the whole set with every other picture wanted: never more than the
  // limit, and every picture is the right one.
  for (size_t i = 0; i < set.size(); ++i) {
    std::vector<std::string> next(set.begin() + long(i) + 1, set.end());
    CV_ReadAhead(viewer, names(next).c_str());
    ASSERT_TRUE(waitForHeld(viewer, int(std::min<size_t>(2, next.size()))));
    EXPECT_LE(CV_GetReadAheadPeak(viewer), 2);
    if (i + 1 < set.size()) expectSame(loadInto(viewer, set[i + 1]), loadInto(fresh, set[i + 1]));
  }
  // What is no longer near goes at once.
  CV_ReadAhead(viewer, names({set[0], set[1]}).c_str());
  ASSERT_TRUE(waitForHeld(viewer, 2));
  CV_ReadAhead(viewer, "");
  EXPECT_EQ(CV_GetReadAheadHeld(viewer), 0);
  // A lower limit lets go of the pictures beyond it; 0 turns reading ahead off.
  CV_ReadAhead(viewer, names({set[2], set[3]}).c_str());
  ASSERT_TRUE(waitForHeld(viewer, 2));
  CV_SetReadAheadLimit(viewer, 1);
  EXPECT_EQ(CV_GetReadAheadHeld(viewer), 1);
  CV_SetReadAheadLimit(viewer, 0);
  EXPECT_EQ(CV_GetReadAheadHeld(viewer), 0);
  expectSame(loadInto(viewer, set[2]), loadInto(fresh, set[2]));
}

TEST(ReadAhead, PictureLargerThanTheLimitIsLoadedAsUsual) {
  const std::string dir = tempDir();
  const std::string big = writePicture(dir + "/big.bmp", 1000, 1000);  // about 2.9 MiB
  const std::string small = writePicture(dir + "/small.bmp", 20, 20);
  Instance viewer, fresh;
  CV_SetReadAheadLimit(viewer, 1);
  CV_ReadAhead(viewer, names({big, small}).c_str());
  ASSERT_TRUE(waitForHeld(viewer, 1));  // only the small one
  EXPECT_LE(CV_GetReadAheadPeak(viewer), 1);
  expectSame(loadInto(viewer, big), loadInto(fresh, big));
  expectSame(loadInto(viewer, small), loadInto(fresh, small));
}

TEST(ReadAhead, OptionsOfTheLoadMustMatchAndOneShownPictureNeedsNothing) {
  const std::string dir = tempDir();
  const std::string jpg = writePicture(dir + "/photo.jpg", 320, 240, 7);
  Instance viewer, fresh;
  CV_ReadAhead(viewer, jpg.c_str());
  ASSERT_TRUE(waitForHeld(viewer, 1));
  // A thumbnail asked for after the read-ahead: the full picture held is not the answer.
  CV_SetPICThumbnail(viewer, 2);
  CV_SetPICThumbnail(fresh, 2);
  const Loaded small = loadInto(viewer, jpg);
  EXPECT_EQ(small.width, 80);
  expectSame(small, loadInto(fresh, jpg));
  // A set of one picture: nothing to read ahead, and the picture still loads.
  CV_ReadAhead(viewer, "");
  expectSame(loadInto(viewer, jpg), loadInto(fresh, jpg));
  // Reading ahead then going away mid-decode leaves nothing behind.
  {
    Instance brief;
    CV_ReadAhead(brief, names({jpg, jpg, "http://example.invalid/x.jpg", ""}).c_str());
  }
}

}  // namespace
