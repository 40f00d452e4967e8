// rastcore3-cli as users and scripts call it: the info line, conversions with options, the
// exit status and error text on failure, and the help.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "formats_helpers.h"
#include "rastcore3.h"

using namespace fmt_test;

namespace {

struct Result {
  int status = -1;
  std::string output;
};

// Runs the tool with arguments, capturing standard output and error together.
Result cli(const std::string& args) {
  Result r;
  FILE* pipe = popen((std::string(RASTCORE3_CLI) + " " + args + " 2>&1").c_str(), "r");
  char buf[4096];
  while (size_t n = fread(buf, 1, sizeof buf, pipe)) r.output.append(buf, n);
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string samplePng() {
  CV_HANDLE h = 0;
  CV_CreateInstance(&h);
  CV_SetHDib(h, makeDib(53, 31, 8));
  const std::string path = tempDir() + "/sample.png";
  CV_SetSaveFileName(h, path.c_str());
  CV_SaveFile(h);
  CV_DestroyInstance(h);
  return path;
}

TEST(Cli, InfoLinePerFile) {
  const std::string png = samplePng();
  const std::string missing = tempDir() + "/missing.png";
  const Result r = cli("info '" + png + "' '" + missing + "'");
  EXPECT_EQ(r.status, 1);  // one of the files failed
  const std::string size = std::to_string(readFile(png).size());
  EXPECT_NE(r.output.find(png + " width=53 height=31 bpp=8 size=" + size + " colors="),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find(" error=0\n"), std::string::npos);
  EXPECT_NE(r.output.find(missing + " width=0 height=0 bpp=0 size=0 colors=0 error=-3"),
            std::string::npos);
}

// --quality is the 1-100 scale of libjpeg's own tools: the tables the tool writes are those
// cjpeg -baseline writes at the same number (read back by Pillow).
TEST(Cli, QualityIsTheCommonScale) {
  if (!haveProgram("cjpeg") || run("/usr/bin/python3 -c 'import PIL'") != 0)
    GTEST_SKIP() << "cjpeg or Pillow not installed";
  const std::string png = samplePng();
  const std::string dir = tempDir();
  for (int q : {10, 75, 93}) {
    SCOPED_TRACE(q);
    const std::string ours = dir + "/ours" + std::to_string(q) + ".jpg";
    const std::string theirs = dir + "/theirs" + std::to_string(q) + ".jpg";
    ASSERT_EQ(cli("convert '" + png + "' " + ours + " --quality " + std::to_string(q)).status, 0);
    ASSERT_EQ(run("convert '" + png + "' ppm:- | cjpeg -baseline -quality " + std::to_string(q) +
                  " -outfile " + theirs),
              0);
    EXPECT_EQ(run("/usr/bin/python3 -c \"from PIL import Image; "
                  "a = Image.open('" +
                  ours + "').quantization; b = Image.open('" + theirs +
                  "').quantization; assert a[0] == b[0] and a[1] == b[1], (a, b)\""),
              0);
  }
}

TEST(Cli, ConvertWithOptions) {
  const std::string png = samplePng();
  const std::string dir = tempDir();
  EXPECT_EQ(cli("convert '" + png + "' " + dir + "/p.jpg --quality 90 --progressive").status, 0);
  const std::vector<uint8_t> jpg = readFile(dir + "/p.jpg");
  bool progressive = false;
  for (size_t i = 0; i + 1 < jpg.size(); ++i) progressive |= jpg[i] == 0xFF && jpg[i + 1] == 0xC2;
  EXPECT_TRUE(progressive);
  EXPECT_EQ(cli("convert '" + png + "' " + dir + "/f.tif --tif-compression 3").status, 0);
  CV_HANDLE h = load(dir + "/f.tif");
  EXPECT_EQ(CV_GetIPBitsPixel(h), 1);
  CV_DestroyInstance(h);
  EXPECT_EQ(cli("convert '" + png + "' " + dir + "/s.pic --password secret99").status, 0);
  EXPECT_EQ(cli("convert " + dir + "/s.pic " + dir + "/back.png --load-password secret99").status,
            0);
  const Result wrong = cli("convert " + dir + "/s.pic " + dir + "/no.png --load-password nope");
  EXPECT_EQ(wrong.status, 1);
  EXPECT_NE(wrong.output.find("error -22: wrong or missing password"), std::string::npos)
      << wrong.output;
}

TEST(Cli, ConvertToWebp) {
  const std::string png = samplePng();
  const std::string dir = tempDir();
  ASSERT_EQ(cli("convert '" + png + "' " + dir + "/l.webp --lossless").status, 0);
  ASSERT_EQ(cli("convert '" + png + "' " + dir + "/q5.webp --quality 5").status, 0);
  ASSERT_EQ(cli("convert '" + png + "' " + dir + "/q95.webp --quality 95").status, 0);
  EXPECT_LT(readFile(dir + "/q5.webp").size(), readFile(dir + "/q95.webp").size());
  CV_HANDLE original = load(png), lossless = load(dir + "/l.webp");
  EXPECT_EQ(CV_GetIFormat(lossless), FT_WEBP);
  EXPECT_EQ(maxDifference(pixelsOf(original), pixelsOf(lossless), true), 0);
  CV_DestroyInstance(original);
  CV_DestroyInstance(lossless);
}

TEST(Cli, FailuresExitWithTheErrorAndItsMeaning) {
  const std::string png = samplePng();
  const Result unknown = cli("convert '" + png + "' " + tempDir() + "/out.xyz");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.output.find("error -14"), std::string::npos) << unknown.output;
  const Result folder = cli("convert '" + png + "' /nonexistent-folder/out.png");
  EXPECT_NE(folder.output.find("error -13"), std::string::npos) << folder.output;
  EXPECT_EQ(cli("convert '" + png + "' x.png --quality 0").status, 2);
  EXPECT_EQ(cli("frobnicate").status, 2);
}

TEST(Cli, HelpNamesEveryOption) {
  const Result r = cli("--help");
  EXPECT_EQ(r.status, 0);
  for (const char* option :
       {"info", "convert", "--quality", "--progressive", "--grayscale", "--interlaced",
        "--lossless", "--tif-compression", "--password", "--load-password", "--op"})
    EXPECT_NE(r.output.find(option), std::string::npos) << option;
}

}  // namespace
