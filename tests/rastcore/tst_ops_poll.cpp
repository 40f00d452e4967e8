// Processing methods while the host polls (Multitask, or a cancel that is possible): every
// method gives the host its poll in the middle of its work, the picture the host sees from
// the poll is always the one before the method, results are byte for byte those of a run
// without polls, and a cancel at any poll leaves the picture and the undo copy as they were.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "fileformat/dib.h"
#include "ops/op_by_name.h"
#include "ops/op_poll.h"
#include "tst_ops_support.h"

using namespace opstest;

namespace {

// Each call compares the picture the host would draw with the one before the method.
struct Poll {
  CV_HANDLE h = 0;
  const Image* before = nullptr;
  int calls = 0;
  int cancelAt = 0;  // 0: never
  int16_t lastId = 0;
  int changedSeen = 0;  // calls that found the picture changed
};

int16_t watchingPoll(void* context, CV_HANDLE, int16_t id) {
  auto* poll = static_cast<Poll*>(context);
  poll->lastId = id;
  const Image& now = rastcore::instanceFor(poll->h)->image;
  if (now.pixels != poll->before->pixels || now.palette != poll->before->palette ||
      now.width != poll->before->width)
    ++poll->changedSeen;
  return ++poll->calls == poll->cancelAt ? 1 : 0;
}

// Workable arguments for the processing methods that take any.
const std::map<std::string, std::vector<std::string>> kArgs = {
    {"Sharpen", {"5"}},
    {"Soften", {"15"}},
    {"Rotate", {"33"}},
    {"Brightness", {"10"}},
    {"Contrast", {"-20"}},
    {"AdjustRGB", {"1", "10", "0", "-10"}},
    {"AdjustHSL", {"0", "40", "10", "5"}},
    {"Gamma", {"1.8"}},
    {"Solarize", {"100"}},
    {"Posterize", {"4"}},
    {"Parabolic", {"50"}},
    {"ColorDepth", {"4", "5", "1"}},
    {"ColorSeparation", {"3"}},
    {"Resize", {"90", "40"}},
    {"Resample", {"30", "20"}},
    {"PICResize", {"120", "120"}},
    {"Crop", {"1", "1", "50", "40"}},
    {"CropBorder", {"1", "1"}},
    {"AutoCrop", {"10"}},
    {"Mosaic", {"3"}},
    {"Noise", {"20", "1"}},
    {"MBlur", {"3", "1", "1"}},
    {"ReplaceColors", {"0", "0x808080", "0xFF"}},
    {"Twist", {"4", "3"}},
    {"Tile", {"130", "100"}},
    {"Area", {"8", "1", "1", "40", "30"}},
    {"Matrix", {"0", "-1", "0", "-1", "5", "-1", "0", "-1", "0", "80", "1", "0"}},
    {"Perspective", {"0", "30"}},
    {"Ripple", {"3", "2", "2"}},
    {"PWarp", {"2", "0", "60", "2", "58", "40", "0", "39"}},
    {"Swirl", {"120"}},
    {"Buttonize", {"1", "3", "40"}},
    {"Pinch", {"-50"}},
};

// The processing methods among the named operations (not undo, drawing or pictures by handle).
std::vector<std::string> processingMethods() {
  std::vector<std::string> names;
  for (const std::string& name : rastcore::namedOps())
    if (name != "Undo" && name != "UndoEnabled" && name != "Merge" && name != "Blend" &&
        name.rfind("Draw", 0) != 0)
      names.push_back(name);
  return names;
}

int16_t apply(CV_HANDLE h, const std::string& name) {
  const auto it = kArgs.find(name);
  return rastcore::applyNamedOp(h, name,
                                it == kArgs.end() ? std::vector<std::string>{} : it->second);
}

bool changesOnlyThePalette(const std::string& name) {
  static const std::vector<std::string> names = {
      "AdjustHSL", "AdjustRGB", "Brightness", "Contrast", "Gamma",
      "Negate",    "Parabolic", "Posterize",  "Solarize", "ReplaceColors"};
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool samePicture(const Image& a, const Image& b) {
  return a.width == b.width && a.height == b.height && a.bpp == b.bpp && a.pixels == b.pixels &&
         a.palette == b.palette;
}

// Every poll point asks the host, and bands of parallel loops are one row.
class OpsPoll : public ::testing::Test {
 protected:
  void SetUp() override { rastcore::ops::setFinePollingForTests(true); }
  void TearDown() override { rastcore::ops::setFinePollingForTests(false); }

  // An instance holding `picture` with the watching poll and Multitask on.
  static void watch(Inst& inst, Poll& poll, const Image& picture) {
    poll.h = inst.h;
    poll.before = &picture;
    CV_SetPollFunction(inst.h, &watchingPoll, &poll);
    CV_SetMultitask(inst.h, -1);
  }
};

TEST_F(OpsPoll, EveryMethodPollsMidwayShowsTheOldPictureAndGivesTheSameBytes) {
  for (const int16_t bpp : allDepths()) {
    const Image picture = randomImage(64, 48, bpp, 77);
    for (const std::string& name : processingMethods()) {
      Inst plain(picture);
      const int16_t plainError = apply(plain.h, name);
      Inst polled(picture);
      Poll poll;
      watch(polled, poll, picture);
      EXPECT_EQ(apply(polled.h, name), plainError) << name << " at " << bpp;
      EXPECT_TRUE(samePicture(polled.image(), plain.image())) << name << " at " << bpp;
      // Two polls at least: one after the first rows, so not only at the start or the end.
      // Point operations on an indexed picture change only its palette and need none.
      if (bpp > 8 || !changesOnlyThePalette(name))
        EXPECT_GE(poll.calls, 2) << name << " at " << bpp;
      EXPECT_EQ(poll.changedSeen, 0) << name << " at " << bpp;
      if (poll.calls > 0) EXPECT_EQ(poll.lastId, CV_PROGRESS_PROCESS) << name;
    }
  }
}

TEST_F(OpsPoll, CancelAtAnyPollLeavesPictureAndUndoAsTheyWere) {
  for (const int16_t bpp : {int16_t(4), int16_t(24), int16_t(32)}) {
    const Image picture = randomImage(64, 48, bpp, 78);
    for (const std::string& name : processingMethods()) {
      int calls = 0;
      {
        Inst inst(picture);
        Poll poll;
        watch(inst, poll, picture);
        apply(inst.h, name);
        calls = poll.calls;
      }
      if (bpp > 8 || !changesOnlyThePalette(name)) EXPECT_GE(calls, 2) << name << " at " << bpp;
      if (calls == 0) continue;  // nothing to cancel
      for (const int at : {1, (calls + 1) / 2, calls}) {
        Inst inst(picture);
        Poll poll;
        watch(inst, poll, picture);
        // Undo armed and then used: a method that ends would keep the undo copy, a cancelled
        // one must not.
        CV_SetUndoEnabled(inst.h, -1);
        CV_Undo(inst.h);
        poll.cancelAt = at;
        EXPECT_EQ(apply(inst.h, name), CV_ERR_CANCELLED) << name << " at poll " << at;
        EXPECT_EQ(poll.calls, at) << name << ": no poll after the cancel";
        EXPECT_TRUE(samePicture(inst.image(), picture)) << name << " at poll " << at;
        EXPECT_FALSE(rastcore::instanceFor(inst.h)->hasUndo) << name;
        // Usable at once: the same method then runs to its end.
        poll.cancelAt = 0;
        EXPECT_EQ(apply(inst.h, name), 0) << name;
        EXPECT_TRUE(rastcore::instanceFor(inst.h)->hasUndo) << name;
      }
    }
  }
}

TEST_F(OpsPoll, BlendWithAPictureByHandlePollsAndCancels) {
  const Image picture = randomImage(64, 48, 24, 79);
  const uint32_t other = rastcore::dibFromImage(randomImage(32, 24, 24, 80));
  ASSERT_NE(other, 0u);
  Inst plain(picture);
  CV_Blend(plain.h, other, 40);
  ASSERT_EQ(plain.error(), 0);
  Inst polled(picture);
  Poll poll;
  watch(polled, poll, picture);
  CV_Blend(polled.h, other, 40);
  EXPECT_EQ(polled.error(), 0);
  EXPECT_TRUE(samePicture(polled.image(), plain.image()));
  EXPECT_GE(poll.calls, 2);
  Inst cancelled(picture);
  Poll stop;
  watch(cancelled, stop, picture);
  stop.cancelAt = 2;
  CV_Blend(cancelled.h, other, 40);
  EXPECT_EQ(cancelled.error(), CV_ERR_CANCELLED);
  EXPECT_TRUE(samePicture(cancelled.image(), picture));
  CV_DibFree(other);
}

// The host is asked only when it wants polls: Multitask on, or CancelLoad on with a CancelMode.
TEST_F(OpsPoll, PollsOnlyWhileMultitaskOrACancelIsOn) {
  const Image picture = randomImage(64, 48, 24, 81);
  struct Case {
    bool multitask, cancelLoad;
    int16_t cancelMode;
    bool polls;
  };
  for (const Case c :
       {Case{false, false, 0, false}, Case{false, true, 0, false}, Case{false, false, 1, false},
        Case{false, true, 1, true}, Case{true, false, 0, true}}) {
    Inst inst(picture);
    Poll poll;
    watch(inst, poll, picture);
    CV_SetMultitask(inst.h, c.multitask ? -1 : 0);
    CV_SetCancelLoad(inst.h, c.cancelLoad ? -1 : 0);
    CV_SetCancelMode(inst.h, c.cancelMode);
    CV_Rotate(inst.h, 20);
    EXPECT_EQ(inst.error(), 0);
    EXPECT_EQ(poll.calls > 0, c.polls)
        << c.multitask << " " << c.cancelLoad << " " << c.cancelMode << ": " << poll.calls;
  }
}

}  // namespace
