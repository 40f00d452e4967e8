// Test files and peer pixels made by Python scripts, compared with the engine's pixels.
#include "peer_scripts_helpers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "formats_helpers.h"
#include "rastcore3.h"

namespace fmt_test {
namespace {

const char kPython[] = "/usr/bin/python3";

// Functions the scripts share: ref() writes the peer's pixels of a picture as "W H\n" and
// R, G, B, A bytes; pattern() is a picture whose quadrants and corners tell every turn apart.
const char kPrelude[] = R"(
from PIL import Image, ImageOps
import struct, subprocess, sys, zlib
def ref(path, im):
    im = im.convert('RGBA')
    with open(path, 'wb') as f:
        f.write(b'%d %d\n' % im.size + im.tobytes())
def pattern(w=40, h=24, mode='RGB'):
    im = Image.new(mode, (w, h))
    px = im.load()
    for y in range(h):
        for x in range(w):
            px[x, y] = (x * 255 // w, y * 255 // h, 255 if x < w // 2 else 40) + ((200,) if mode == 'RGBA' else ())
    return im
)";

Pixels readReference(const std::string& path) {
  Pixels p;
  const std::vector<uint8_t> b = readFile(path);
  int consumed = 0;
  if (b.empty() || std::sscanf(reinterpret_cast<const char*>(b.data()), "%d %d\n%n", &p.width,
                               &p.height, &consumed) != 2)
    return {};
  p.rgba.assign(b.begin() + consumed, b.end());
  if (p.rgba.size() != size_t(p.width) * p.height * 4) return {};
  return p;
}

}  // namespace

bool havePillow() {
  return run(std::string(kPython) + " -c 'import PIL'") == 0;
}

bool runScript(const std::string& dir, const std::string& body) {
  const std::string script = std::string(kPrelude) + "d = '" + dir + "'\n" + body;
  const std::string path = dir + "/make.py";
  writeFile(path, std::vector<uint8_t>(script.begin(), script.end()));
  return std::system((std::string(kPython) + " '" + path + "'").c_str()) == 0;
}

void expectMatches(const std::string& file, const std::string& reference, int tolerance, int page) {
  SCOPED_TRACE(file + " page " + std::to_string(page));
  const Pixels theirs = readReference(reference);
  ASSERT_GT(theirs.width, 0) << "no reference " << reference;
  CV_HANDLE h = 0;
  CV_CreateInstance(&h);
  CV_SetPageNbr(h, int16_t(page + 1));  // pages count from 1
  CV_SetFileName(h, file.c_str());
  ASSERT_EQ(CV_GetImagError(h), 0) << CV_ErrorText(CV_GetImagError(h));
  const Pixels ours = pixelsOf(h);
  CV_DestroyInstance(h);
  ASSERT_EQ(ours.width, theirs.width);
  ASSERT_EQ(ours.height, theirs.height);
  int worst = 0, worstAlpha = 0;
  for (size_t i = 0; i < ours.rgba.size(); i += 4) {
    worstAlpha = std::max(worstAlpha, std::abs(ours.rgba[i + 3] - theirs.rgba[i + 3]));
    if (theirs.rgba[i + 3] == 0) continue;
    for (int c = 0; c < 3; ++c)
      worst = std::max(worst, std::abs(ours.rgba[i + c] - theirs.rgba[i + c]));
  }
  EXPECT_LE(worst, tolerance);
  EXPECT_EQ(worstAlpha, 0);
}

}  // namespace fmt_test
