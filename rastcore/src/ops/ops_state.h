// Per-instance state of the processing side: last arguments, undo arming, view, rubber band
// and drawing properties. Kept beside the instance table, keyed by the instance handle (handles
// are never reused), so the shared Instance stays the formats side's.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "image.h"
#include "instance.h"
#include "rastcore3_ops.h"

namespace rastcore::ops {

struct LastArgs {
#define RC3_LAST_FIELD(name, type) type name{};
  RC3_LAST_ARGUMENTS(RC3_LAST_FIELD)
#undef RC3_LAST_FIELD
};

struct ViewState {
  int16_t autoSize = ISIZE_ResizePreserveAspect;
  int16_t scrollBars = SB_None;
  int16_t smallChange = 8;
  int16_t largeChange = 0;  // 0: one page
  int32_t scrollX = 0, scrollY = 0;
  int32_t cropX = 0, cropY = 0;
  float zoom = 1.0f;
  int16_t palette = IPAL_Optimized;
  int16_t showDithered = DI_Floyd;
  int16_t displayMode = DM_TrueColor;
  bool managePalette = false;
  int16_t antialias = AA_Smooth;
  uintptr_t window = 0;
  bool runMode = true;
  int32_t clientW = 0, clientH = 0, barExtent = 0;
  std::string pfileName;          // PFileName: palette file for the palette choices
  std::vector<Rgbq> filePalette;  // its colours; empty when unset or unreadable
  // Display palette for DM_PaletteColor, kept while the picture stays the same.
  std::vector<Rgbq> displayPalette;
  uint64_t displayPaletteKey = 0;
};

struct RubberBand {
  bool active = false;
  bool negate = false;
  double ax = 0, ay = 0;  // anchor, picture coordinates
  double bx = 0, by = 0;  // free corner
};

struct DrawState {
  uint32_t fillColor = 0;
  int16_t fillStyle = FS_Transparent;
  int16_t mode = DM_CopyPen;
  int16_t style = DS_Solid;
  int16_t width = 1;
};

struct OpsState {
  LastArgs last;
  bool undoProperty = false;  // the value of UndoEnabled
  uint64_t generation = 1;    // bumped whenever the processing side changes the picture
  ViewState view;
  RubberBand band;
  DrawState draw;
};

// The processing state of an instance (created on first use); null for an unknown handle.
OpsState* opsStateFor(CV_HANDLE handle);

// Runs a picture operation for a CV_* call: checks the instance and picture, keeps the undo
// copy when armed, maps failures to ImagError and leaves the picture unchanged on failure.
// transform returns the new picture; inPlace changes it (and must validate before it writes).
void runTransform(CV_HANDLE h, const std::function<Image(const Image&, OpsState&)>& transform);
void runInPlace(CV_HANDLE h, const std::function<void(Image&, OpsState&)>& change);
// For calls that need neither: sets ImagError from fn's result (0 or an error number).
void runCall(CV_HANDLE h, const std::function<int16_t(Instance&, OpsState&)>& fn);

// The back colour of an instance as B, G, R.
Rgbq backgroundOf(const Instance& inst);

}  // namespace rastcore::ops

namespace rastcore::ops {
// The selected part of the picture (rubber band), for CopyRubberbandDib; throws OpFailure
// without a selection inside the picture.
Image rubberbandImage(CV_HANDLE h);
}  // namespace rastcore::ops
