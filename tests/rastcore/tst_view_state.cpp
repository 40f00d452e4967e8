// The window state the engine keeps for the control: back colour and PictureEnabled in what is
// drawn, the picture pixel under the mouse, the property ranges, pasting a DIB, and a text for
// every error number the engine's headers name.
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "fileformat/dib.h"
#include "tst_ops_support.h"

using namespace opstest;

namespace {

std::vector<uint32_t> render(CV_HANDLE h, int w, int hgt) {
  CV_SetClientSize(h, w, hgt, 0);
  std::vector<uint32_t> px(size_t(w) * hgt);
  const CV_RECT all{0, 0, w, hgt};
  CV_Draw(h, px.data(), w * 4, &all);
  return px;
}

TEST(ViewState, BackColourFillsWhatThePictureLeavesAndPictureEnabledHidesIt) {
  Inst inst(randomImage(10, 10, 24, 3));
  CV_SetAutoSize(inst.h, ISIZE_CropImageToControl);
  CV_SetAntialias(inst.h, AA_None);
  CV_SetBackColor(inst.h, 0x000000FF);  // red
  ASSERT_EQ(inst.error(), 0);
  EXPECT_EQ(CV_GetBackColor(inst.h), 0x000000FFu);
  std::vector<uint32_t> px = render(inst.h, 20, 10);
  EXPECT_EQ(px[15], 0xFFFF0000u);
  EXPECT_EQ(px[0], 0xFF000000u | (key(colourAt(inst.image(), 0, 0)) & 0xFFFFFF));

  CV_SetPictureEnabled(inst.h, 0);
  EXPECT_EQ(CV_GetPictureEnabled(inst.h), 0);
  px = render(inst.h, 20, 10);
  for (uint32_t p : px) ASSERT_EQ(p, 0xFFFF0000u);

  // The button-face system colour is known; an unknown high byte is refused.
  CV_SetBackColor(inst.h, 0x8000000F);
  EXPECT_EQ(inst.error(), 0);
  px = render(inst.h, 20, 10);
  EXPECT_EQ(px[0], 0xFFF0F0F0u);
  CV_SetBackColor(inst.h, 0x12345678);
  EXPECT_EQ(inst.error(), CV_ERR_BAD_ARGUMENT);
  EXPECT_EQ(CV_GetBackColor(inst.h), 0x8000000Fu);
}

TEST(ViewState, MouseMessagesNameThePicturePixelUnderThePointer) {
  Image img = randomImage(20, 10, 8, 4);
  Inst inst(img);
  EXPECT_EQ(CV_GetPixelColor(inst.h), 0xFFFFFFFFu);  // no position yet
  CV_SetAutoSize(inst.h, ISIZE_CropImageToControl);
  CV_SetClientSize(inst.h, 100, 100, 0);
  CV_Zoom(inst.h, 4.0f);
  const auto point = [](int x, int y) {
    return intptr_t(uint16_t(x) | uint32_t(uint16_t(y)) << 16);
  };
  EXPECT_EQ(CV_WindowMessage(inst.h, 0, 0x200, 0, point(13, 37)), -1);  // left to the control
  EXPECT_EQ(CV_GetXpos(inst.h), 3);
  EXPECT_EQ(CV_GetYpos(inst.h), 9);
  const Rgbq c = colourAt(img, 3, 9);
  EXPECT_EQ(CV_GetPixelColor(inst.h), uint32_t(c.r) | uint32_t(c.g) << 8 | uint32_t(c.b) << 16);
  CV_WindowMessage(inst.h, 0, 0x201, 1, point(90, 90));  // beyond the picture
  EXPECT_EQ(CV_GetXpos(inst.h), 22);
  EXPECT_EQ(CV_GetPixelColor(inst.h), 0xFFFFFFFFu);
  CV_WindowMessage(inst.h, 0, 0x200, 0, point(-8, 2));  // signed coordinates
  EXPECT_EQ(CV_GetXpos(inst.h), -2);
}

TEST(ViewState, PropertiesKeepTheirRanges) {
  Inst inst;
  EXPECT_EQ(CV_GetPersistence(inst.h), -1);
  EXPECT_EQ(CV_GetUpdate(inst.h), -1);
  EXPECT_EQ(CV_GetShowHourglass(inst.h), -1);
  EXPECT_EQ(CV_GetNotify(inst.h), 0);
  const struct {
    void (*set)(CV_HANDLE, int16_t);
    int16_t (*get)(CV_HANDLE);
    int16_t good, bad;
  } shorts[] = {
      {CV_SetMousePointer, CV_GetMousePointer, 43, 44},
      {CV_SetMousePointer, CV_GetMousePointer, 99, -1},
      {CV_SetBorderType, CV_GetBorderType, 3, 4},
  };
  for (const auto& r : shorts) {
    r.set(inst.h, r.good);
    EXPECT_EQ(inst.error(), 0);
    r.set(inst.h, r.bad);
    EXPECT_EQ(inst.error(), CV_ERR_BAD_ARGUMENT);
    EXPECT_EQ(r.get(inst.h), r.good);
  }
  const struct {
    void (*set)(CV_HANDLE, int32_t);
    int32_t (*get)(CV_HANDLE);
    int32_t good, bad;
  } longs[] = {
      {CV_SetNotifyDelay, CV_GetNotifyDelay, 250, -1},
      {CV_SetPrinterLeft, CV_GetPrinterLeft, 100, -5},
      {CV_SetPrinterWidth, CV_GetPrinterWidth, 0, -1},
  };
  for (const auto& r : longs) {
    r.set(inst.h, r.good);
    EXPECT_EQ(inst.error(), 0);
    r.set(inst.h, r.bad);
    EXPECT_EQ(inst.error(), CV_ERR_BAD_ARGUMENT);
    EXPECT_EQ(r.get(inst.h), r.good);
  }
  CV_ColorSeparation(inst.h, 4);  // fails without a picture but keeps its argument
  EXPECT_EQ(CV_GetIPColorPlane(inst.h), 4);
}

TEST(ViewState, PasteTakesADibAndRefusesNothingOrGarbage) {
  const Image first = randomImage(6, 5, 24, 1);
  Inst inst(first);
  CV_PasteDib(inst.h, 0);
  EXPECT_EQ(inst.error(), CV_ERR_CLIPBOARD_EMPTY);
  EXPECT_EQ(inst.image().pixels, first.pixels);

  const CV_HDIB junk = CV_DibAlloc(16);
  CV_PasteDib(inst.h, junk);
  EXPECT_EQ(inst.error(), CV_ERR_BAD_HANDLE);
  EXPECT_NE(CV_DibLock(junk), nullptr);  // still the caller's
  CV_DibFree(junk);
  EXPECT_EQ(inst.image().pixels, first.pixels);

  const Image second = randomImage(9, 4, 8, 2);
  CV_SetUndoEnabled(inst.h, -1);
  CV_PasteDib(inst.h, rastcore::dibFromImage(second));
  ASSERT_EQ(inst.error(), 0);
  EXPECT_TRUE(sameColours(inst.image(), second));
  EXPECT_EQ(CV_GetIPBitsPixel(inst.h), 8);
  CV_Undo(inst.h);
  EXPECT_EQ(inst.image().pixels, first.pixels);

  Inst empty;  // a paste into an empty instance gives it a picture
  CV_PasteDib(empty.h, rastcore::dibFromImage(second));
  EXPECT_EQ(empty.error(), 0);
  EXPECT_EQ(CV_GetIWidth(empty.h), 9);
}

// Every error number of the engine's one table has its own text.
TEST(ViewState, EveryErrorNumberHasAText) {
  const std::string unknown = CV_ErrorText(-32000);
  std::set<int> numbers;
  for (const char* header : {"rastcore3_errors.h"}) {
    std::ifstream in(std::string(GLIMMORA_SOURCE_DIR) + "/rastcore/include/" + header);
    ASSERT_TRUE(in) << header;
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    static const std::regex define(R"(#define\s+(CV_ERR)_\w+\s*\\?\s*\(\s*(-\d+)\s*\))");
    for (auto it = std::sregex_iterator(s.begin(), s.end(), define); it != std::sregex_iterator();
         ++it)
      numbers.insert(std::stoi((*it)[2]));
  }
  EXPECT_GE(numbers.size(), 24u);
  EXPECT_TRUE(numbers.count(-207));
  std::set<std::string> texts;
  for (int n : numbers) {
    const std::string t = CV_ErrorText(int16_t(n));
    EXPECT_NE(t, unknown) << n;
    texts.insert(t);
  }
  EXPECT_EQ(texts.size(), numbers.size());  // no two numbers share a text
}

}  // namespace
