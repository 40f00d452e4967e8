// The kernels against independent implementations: ImageMagick's convert on the same picture.
#include <unistd.h>

#include <cmath>
#include <functional>

#include "tst_ops_support.h"

using namespace opstest;

namespace {

std::string tempPath(const std::string& name) {
  return "/tmp/rc3ops_" + std::to_string(getpid()) + "_" + name;
}

// Runs `convert in.ppm <args> out.ppm` on src and returns the result.
bool convertWith(const Image& src, const std::string& args, Image& out) {
  const std::string in = tempPath("in.ppm"), res = tempPath("out.ppm");
  if (!writePpm(in, src)) return false;
  const std::string cmd = "convert " + in + " " + args + " " + res + " 2>/dev/null";
  const bool ok = std::system(cmd.c_str()) == 0 && readPpm(res, out);
  std::remove(in.c_str());
  std::remove(res.c_str());
  return ok;
}

struct PeerCase {
  const char* name;
  std::function<void(CV_HANDLE)> op;
  const char* args;
  int tolerance;  // per channel
  bool sizeOnly;  // the peer's filter differs; only the size must agree
};

const PeerCase kPeers[] = {
    {"flip", CV_Flip, "-flip", 0, false},
    {"mirror", CV_Mirror, "-flop", 0, false},
    {"negate", CV_Negate, "-negate", 0, false},
    {"rotate 90 clockwise", [](CV_HANDLE h) { CV_Rotate(h, -90); }, "-rotate 90", 0, false},
    {"rotate 90 counter-clockwise", [](CV_HANDLE h) { CV_Rotate(h, 90); }, "-rotate -90", 0, false},
    {"gamma 2.2", [](CV_HANDLE h) { CV_Gamma(h, 2.2f); }, "-gamma 2.2", 2, false},
    {"gamma 0.5", [](CV_HANDLE h) { CV_Gamma(h, 0.5f); }, "-gamma 0.5", 2, false},
    {"resize", [](CV_HANDLE h) { CV_Resize(h, 37, 23); }, "-sample 37x23!", 0, true},
    {"resample", [](CV_HANDLE h) { CV_Resample(h, 80, 50); }, "-resize 80x50!", 0, true},
    {"picresize", [](CV_HANDLE h) { CV_PICResize(h, 13, 61); }, "-resize 13x61!", 0, true},
};

class Peers : public ::testing::TestWithParam<std::tuple<int, int16_t>> {};

TEST_P(Peers, AgreeWithImageMagick) {
  if (!haveTool("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  const PeerCase& c = kPeers[std::get<0>(GetParam())];
  const Image src = randomImage(41, 27, std::get<1>(GetParam()), 12);
  Image theirs;
  ASSERT_TRUE(convertWith(src, c.args, theirs)) << c.name;
  Inst inst(src);
  c.op(inst.h);
  ASSERT_EQ(inst.error(), 0);
  const Image& ours = inst.image();
  ASSERT_EQ(ours.width, theirs.width) << c.name;
  ASSERT_EQ(ours.height, theirs.height) << c.name;
  if (c.sizeOnly) return;
  int worst = 0;
  for (int y = 0; y < ours.height; ++y)
    for (int x = 0; x < ours.width; ++x) {
      const Rgbq a = colourAt(ours, x, y), b = colourAt(theirs, x, y);
      worst = std::max({worst, std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
    }
  EXPECT_LE(worst, c.tolerance) << c.name;
}

INSTANTIATE_TEST_SUITE_P(AllDepths, Peers,
                         ::testing::Combine(::testing::Range(0, int(std::size(kPeers))),
                                            ::testing::ValuesIn(allDepths())));

}  // namespace
