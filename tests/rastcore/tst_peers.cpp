// Differential tests against independent decoders and encoders installed in the test run:
// ImageMagick's convert and Pillow (python3-pil). Files the engine writes must decode in the
// peer to the same pixels, and files the peer writes must decode in the engine to the pixels
// the peer itself reads from them. A missing peer skips its rows.
//
// ImageMagick 6.9's own TGA files and 1-bit PCX files disagree with Pillow and with the
// format (it writes TGA rows top-first under a bottom-first header and reads 1-bit PCX against
// its palette), so those are checked against Pillow only.
#include <gtest/gtest.h>

#include <string>

#include "formats_helpers.h"
#include "rastcore3.h"

using namespace fmt_test;

namespace {

constexpr int kWidth = 53, kHeight = 31;
const char kPython[] = "/usr/bin/python3";

enum class Peer { Magick, Pillow };

struct Case {
  Peer peer;
  const char* ext;
  int bpp;              // depth of the picture the engine writes
  const char* options;  // peer options when the peer writes ("" for none)
  int tolerance;        // largest per-channel difference allowed (lossy formats)
  bool keepsPicture;    // a lossless round trip: the peer's pixels equal the original
};

std::string firstDifference(const Pixels& a, const Pixels& b) {
  for (size_t i = 0; i < a.rgba.size() && i < b.rgba.size(); ++i)
    if (a.rgba[i] != b.rgba[i])
      return "first difference at pixel " + std::to_string(i / 4) + " channel " +
             std::to_string(i % 4) + ": " + std::to_string(a.rgba[i]) + " vs " +
             std::to_string(b.rgba[i]);
  return "";
}

std::string quote(const std::string& s) {
  return "'" + s + "'";
}

bool runPython(const std::string& script, const std::string& scriptPath) {
  writeFile(scriptPath, std::vector<uint8_t>(script.begin(), script.end()));
  return run(std::string(kPython) + " " + quote(scriptPath)) == 0;
}

bool peerAvailable(Peer peer) {
  if (peer == Peer::Magick) return haveProgram("convert");
  return run(std::string(kPython) + " -c 'import PIL'") == 0;
}

// The peer's decode of a file as RGBA.
Pixels peerDecode(Peer peer, const std::string& file) {
  const std::string raw = file + ".rgba";
  if (peer == Peer::Magick) {
    // The density makes metafiles render at the 96 dots per inch they were written for.
    if (run("convert -density 96 " + quote(file + "[0]") + " -depth 8 " + quote("rgba:" + raw)) !=
        0)
      return {};
  } else {
    const std::string script = "from PIL import Image\nim = Image.open('" + file +
                               "').convert('RGBA')\nopen('" + raw +
                               "', 'wb').write(im.tobytes())\n";
    if (!runPython(script, file + ".py")) return {};
  }
  return readRawRgba(raw, kWidth, kHeight);
}

// The peer converts a PNG into the format of `target`. Pillow's options are a method chain
// ending in save('TARGET', ...), or nothing for a plain save.
bool peerEncode(Peer peer, const std::string& png, const std::string& target,
                const std::string& options) {
  if (peer == Peer::Magick)
    return run("convert " + quote(png) + " " + options + " " + quote(target)) == 0;
  std::string chain = options.empty() ? "save('TARGET')" : options;
  chain.replace(chain.find("TARGET"), 6, target);
  return runPython("from PIL import Image\nim = Image.open('" + png + "')\nim." + chain + "\n",
                   target + ".py");
}

std::string caseName(const testing::TestParamInfo<Case>& info) {
  std::string n = std::string(info.param.peer == Peer::Magick ? "magick_" : "pillow_") +
                  info.param.ext + "_" + std::to_string(info.param.bpp) + "_" +
                  std::to_string(info.index);
  for (char& c : n)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return n;
}

class EngineWritesPeerReads : public testing::TestWithParam<Case> {};

TEST_P(EngineWritesPeerReads, SamePixels) {
  const Case& c = GetParam();
  if (!peerAvailable(c.peer)) GTEST_SKIP() << "peer not installed";
  CV_HANDLE src = 0;
  CV_CreateInstance(&src);
  CV_SetHDib(src, makeDib(kWidth, kHeight, c.bpp, c.bpp == 1));
  const Pixels original = pixelsOf(src);
  const std::string file = tempDir() + "/engine." + c.ext;
  CV_SetSaveFileName(src, file.c_str());
  CV_SetSaveJPGChromFactor(src, 242);
  CV_SaveFile(src);
  ASSERT_EQ(CV_GetImagError(src), 0);
  CV_DestroyInstance(src);

  const Pixels theirs = peerDecode(c.peer, file);
  ASSERT_EQ(theirs.width, kWidth) << "the peer could not read " << file;
  CV_HANDLE back = load(file);
  ASSERT_EQ(CV_GetImagError(back), 0);
  EXPECT_LE(maxDifference(pixelsOf(back), theirs, false), c.tolerance);
  CV_DestroyInstance(back);
  if (c.keepsPicture) EXPECT_EQ(maxDifference(original, theirs, false), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Peers, EngineWritesPeerReads,
    testing::Values(
        Case{Peer::Magick, "png", 24, "", 0, true}, Case{Peer::Magick, "png", 8, "", 0, true},
        Case{Peer::Magick, "png", 1, "", 0, true}, Case{Peer::Magick, "jpg", 24, "", 2, false},
        Case{Peer::Magick, "bmp", 24, "", 0, true}, Case{Peer::Magick, "bmp", 4, "", 0, true},
        Case{Peer::Magick, "tif", 24, "", 0, true}, Case{Peer::Magick, "tif", 8, "", 0, true},
        Case{Peer::Magick, "gif", 8, "", 0, true}, Case{Peer::Magick, "gif", 24, "", 0, false},
        Case{Peer::Magick, "pcx", 24, "", 0, true}, Case{Peer::Magick, "pcx", 8, "", 0, true},
        Case{Peer::Magick, "pcx", 4, "", 0, true}, Case{Peer::Magick, "tga", 24, "", 0, true},
        Case{Peer::Magick, "tga", 8, "", 0, true}, Case{Peer::Magick, "wpg", 8, "", 0, true},
        Case{Peer::Magick, "wpg", 1, "", 0, true}, Case{Peer::Magick, "wpg", 4, "", 0, true},
        Case{Peer::Magick, "ppm", 24, "", 0, true}, Case{Peer::Magick, "pgm", 8, "", 0, false},
        Case{Peer::Magick, "pbm", 1, "", 0, true}, Case{Peer::Magick, "wmf", 24, "", 0, true},
        Case{Peer::Pillow, "png", 24, "", 0, true}, Case{Peer::Pillow, "png", 4, "", 0, true},
        Case{Peer::Pillow, "jpg", 24, "", 2, false}, Case{Peer::Pillow, "bmp", 8, "", 0, true},
        Case{Peer::Pillow, "bmp", 1, "", 0, true}, Case{Peer::Pillow, "tif", 24, "", 0, true},
        Case{Peer::Pillow, "gif", 8, "", 0, true}, Case{Peer::Pillow, "pcx", 24, "", 0, true},
        Case{Peer::Pillow, "pcx", 8, "", 0, true}, Case{Peer::Pillow, "tga", 24, "", 0, true},
        Case{Peer::Pillow, "tga", 8, "", 0, true}, Case{Peer::Pillow, "ppm", 24, "", 0, true},
        Case{Peer::Pillow, "pbm", 1, "", 0, true}),
    caseName);

class PeerWritesEngineReads : public testing::TestWithParam<Case> {};

TEST_P(PeerWritesEngineReads, SamePixels) {
  const Case& c = GetParam();
  if (!peerAvailable(c.peer)) GTEST_SKIP() << "peer not installed";
  // The peer starts from a PNG of the test picture.
  const std::string dir = tempDir();
  const std::string png = dir + "/source.png";
  CV_HANDLE src = 0;
  CV_CreateInstance(&src);
  CV_SetHDib(src, makeDib(kWidth, kHeight, c.bpp, c.bpp == 1));
  CV_SetSaveFileName(src, png.c_str());
  CV_SaveFile(src);
  CV_DestroyInstance(src);
  const std::string file = dir + "/peer." + c.ext;
  ASSERT_TRUE(peerEncode(c.peer, png, file, c.options)) << "the peer could not write " << file;
  const Pixels theirs = peerDecode(c.peer, file);
  ASSERT_EQ(theirs.width, kWidth);
  CV_HANDLE h = load(file);
  ASSERT_EQ(CV_GetImagError(h), 0) << CV_ErrorText(CV_GetImagError(h));
  const Pixels ours = pixelsOf(h);
  EXPECT_LE(maxDifference(ours, theirs, true), c.tolerance) << firstDifference(ours, theirs);
  CV_DestroyInstance(h);
}

INSTANTIATE_TEST_SUITE_P(
    Peers, PeerWritesEngineReads,
    testing::Values(
        Case{Peer::Magick, "jpg", 24, "-quality 90", 1, false},
        Case{Peer::Magick, "jpg", 24, "-interlace JPEG -quality 60", 1, false},
        Case{Peer::Magick, "jpg", 24, "-colorspace Gray", 1, false},
        Case{Peer::Magick, "jpg", 24, "-colorspace CMYK", 2, false},
        Case{Peer::Magick, "png", 24, "-interlace PNG", 0, false},
        Case{Peer::Magick, "png", 24, "-depth 16", 0, false},
        Case{Peer::Magick, "png", 24, "-alpha set -channel A -fx 'floor(i*255/w)/255' +channel", 0,
             false},
        // 16-bit grey: ImageMagick's reduction to 8 bits may round the other way.
        Case{Peer::Magick, "png", 24, "-colorspace Gray -depth 16", 1, false},
        Case{Peer::Magick, "png", 8, "", 0, false},
        Case{Peer::Magick, "tif", 24, "-compress lzw", 0, false},
        Case{Peer::Magick, "tif", 24, "-compress zip -depth 16", 0, false},
        Case{Peer::Magick, "tif", 24, "-compress jpeg", 2, false},
        Case{Peer::Magick, "tif", 24, "-define tiff:tile-geometry=16x16", 0, false},
        Case{Peer::Magick, "tif", 24, "-interlace plane", 0, false},
        Case{Peer::Magick, "tif", 24, "-colorspace CMYK -depth 8", 2, false},
        Case{Peer::Magick, "tif", 1, "-compress group4", 0, false},
        Case{Peer::Magick, "tif", 8, "-compress RLE", 0, false},
        Case{Peer::Magick, "gif", 24, "", 0, false},
        Case{Peer::Magick, "gif", 8, "-interlace GIF", 0, false},
        Case{Peer::Magick, "bmp", 24, "", 0, false},
        Case{Peer::Magick, "bmp", 8, "-compress RLE", 0, false},
        Case{Peer::Magick, "bmp", 24, "-define bmp:format=bmp2", 0, false},
        Case{Peer::Magick, "bmp", 24, "-define bmp:subtype=RGB565", 0, false},
        Case{Peer::Magick, "bmp", 24, "-alpha set -channel A -fx 'floor(j*255/h)/255' +channel", 0,
             false},
        Case{Peer::Magick, "pcx", 24, "", 0, false}, Case{Peer::Magick, "pcx", 8, "", 0, false},
        Case{Peer::Magick, "ppm", 24, "-compress none", 0, false},
        Case{Peer::Magick, "ppm", 24, "-depth 16", 0, false},
        Case{Peer::Magick, "pgm", 24, "", 0, false},
        Case{Peer::Magick, "pbm", 1, "-compress none", 0, false},
        Case{Peer::Magick, "pbm", 1, "", 0, false},
        Case{Peer::Pillow, "jpg", 24, "save('TARGET', quality=85, progressive=True)", 1, false},
        Case{Peer::Pillow, "png", 24, "convert('P').save('TARGET')", 0, false},
        Case{Peer::Pillow, "png", 24, "convert('LA').save('TARGET')", 0, false},
        Case{Peer::Pillow, "tif", 24, "save('TARGET', compression='tiff_lzw')", 0, false},
        Case{Peer::Pillow, "tif", 24, "save('TARGET', compression='tiff_deflate')", 0, false},
        Case{Peer::Pillow, "tif", 24, "save('TARGET', compression='packbits')", 0, false},
        Case{Peer::Pillow, "gif", 24, "", 0, false}, Case{Peer::Pillow, "bmp", 24, "", 0, false},
        Case{Peer::Pillow, "bmp", 8, "convert('P').save('TARGET')", 0, false},
        Case{Peer::Pillow, "pcx", 24, "", 0, false},
        Case{Peer::Pillow, "pcx", 24, "convert('1').save('TARGET')", 0, false},
        Case{Peer::Pillow, "pcx", 24, "convert('P').save('TARGET')", 0, false},
        Case{Peer::Pillow, "tga", 24, "save('TARGET', compression='tga_rle')", 0, false},
        Case{Peer::Pillow, "tga", 24, "convert('RGBA').save('TARGET')", 0, false},
        Case{Peer::Pillow, "tga", 24, "convert('P').save('TARGET')", 0, false},
        Case{Peer::Pillow, "tga", 24, "convert('L').save('TARGET')", 0, false},
        Case{Peer::Pillow, "tga", 24,
             "transpose(Image.FLIP_TOP_BOTTOM).save('TARGET', orientation=1)", 0, false},
        Case{Peer::Pillow, "ppm", 24, "", 0, false},
        Case{Peer::Pillow, "pgm", 24, "convert('L').save('TARGET')", 0, false}),
    caseName);

}  // namespace
