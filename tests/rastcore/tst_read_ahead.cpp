// Pictures read ahead on the background thread: a load that finds its picture there gives
// exactly what a plain load gives, and never a picture of a file that has changed since.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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

// What the window shows, as 0xFFRRGGBB pixels.
std::vector<uint32_t> drawn(CV_HANDLE h, int width, int height) {
  std::vector<uint32_t> out(size_t(width) * height);
  const CV_RECT all{0, 0, width, height};
  CV_Draw(h, out.data(), width * 4, &all);
  return out;
}

int meanChannelDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  int64_t sum = 0;
  for (size_t i = 0; i < a.size(); ++i)
    for (const int shift : {0, 8, 16})
      sum += std::abs(int(a[i] >> shift & 0xFF) - int(b[i] >> shift & 0xFF));
  return int(sum / int64_t(a.size() * 3));
}

// A window fitted to a 200 x 150 client, as the viewer shows pictures.
void fitToWindow(CV_HANDLE h) {
  CV_SetAutoSize(h, ISIZE_ResizePreserveAspect);
  CV_SetClientSize(h, 200, 150, 16);
}

TEST(ReadAhead, PreviewStandsInUntilTheLoadTakesTheFullDecode) {
  const std::string dir = tempDir();
  const std::string big = writePicture(dir + "/big.jpg", 1600, 1200, 9);
  const std::string other = writePicture(dir + "/other.bmp", 200, 150, 4);
  Instance viewer, fresh;
  fitToWindow(viewer);
  fitToWindow(fresh);
  loadInto(viewer, dir + "/missing.jpg");
  const int16_t before = CV_GetImagError(viewer);
  ASSERT_NE(before, 0);
  ASSERT_EQ(CV_ShowPreview(viewer, big.c_str()), 1);
  EXPECT_EQ(CV_GetImagError(viewer), before);  // the preview is no load
  const std::vector<uint32_t> preview = drawn(viewer, 200, 150);
  const Loaded loaded = loadInto(viewer, big);
  expectSame(loaded, loadInto(fresh, big));
  // The full picture came from the background decode, and it replaced the preview.
  EXPECT_GE(CV_GetReadAheadPeak(viewer), 1);
  const std::vector<uint32_t> full = drawn(viewer, 200, 150);
  EXPECT_LE(meanChannelDifference(preview, full), 2);
  EXPECT_EQ(drawn(fresh, 200, 150), full);
  // A preview goes with the next load, whatever it loads, or when dropped.
  ASSERT_EQ(CV_ShowPreview(viewer, big.c_str()), 1);
  expectSame(loadInto(viewer, other), loadInto(fresh, other));
  EXPECT_EQ(drawn(viewer, 200, 150), drawn(fresh, 200, 150));
  ASSERT_EQ(CV_ShowPreview(viewer, big.c_str()), 1);
  EXPECT_EQ(CV_ShowPreview(viewer, ""), 0);
  EXPECT_EQ(drawn(viewer, 200, 150), drawn(fresh, 200, 150));
}

TEST(ReadAhead, PreviewOnlyWherePaysAndNeverStale) {
  const std::string dir = tempDir();
  const std::string big = writePicture(dir + "/big.jpg", 1600, 1200, 2);
  const std::string png = writePicture(dir + "/big.png", 1600, 1200, 2);
  Instance viewer, fresh;
  fitToWindow(viewer);
  fitToWindow(fresh);
  // Not a JPEG, no file, shown more than half its size, shown at its own size, or reading
  // ahead off: no preview, and loads are as usual.
  EXPECT_EQ(CV_ShowPreview(viewer, png.c_str()), 0);
  EXPECT_EQ(CV_ShowPreview(viewer, (dir + "/none.jpg").c_str()), 0);
  CV_SetClientSize(viewer, 1000, 800, 16);
  EXPECT_EQ(CV_ShowPreview(viewer, big.c_str()), 0);
  fitToWindow(viewer);
  CV_SetAutoSize(viewer, ISIZE_CropImage);
  EXPECT_EQ(CV_ShowPreview(viewer, big.c_str()), 0);
  fitToWindow(viewer);
  CV_SetReadAheadLimit(viewer, 0);
  EXPECT_EQ(CV_ShowPreview(viewer, big.c_str()), 0);
  CV_SetReadAheadLimit(viewer, 512);
  // A file replaced after its preview was shown loads as it is now.
  ASSERT_EQ(CV_ShowPreview(viewer, big.c_str()), 1);
  writePicture(dir + "/big.new.jpg", 1600, 1200, 7);
  ASSERT_EQ(std::rename((dir + "/big.new.jpg").c_str(), big.c_str()), 0);
  expectSame(loadInto(viewer, big), loadInto(fresh, big));
  // A damaged JPEG: no preview, or one that goes; the load reports what a plain load does.
  const std::string cut = dir + "/cut.jpg";
  {
    std::vector<char> bytes(4096);
    FILE* in = std::fopen(big.c_str(), "rb");
    ASSERT_TRUE(in);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), in));
    std::fclose(in);
    FILE* out = std::fopen(cut.c_str(), "wb");
    ASSERT_TRUE(out);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
  }
  CV_ShowPreview(viewer, cut.c_str());
  expectSame(loadInto(viewer, cut), loadInto(fresh, cut));
  EXPECT_EQ(drawn(viewer, 200, 150), drawn(fresh, 200, 150));
}

}  // namespace
