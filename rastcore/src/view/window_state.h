// What the engine keeps for the control's window: the stock window properties, the mouse
// position over the window and the printing properties.
#pragma once

#include <cstdint>

#include "rastcore3.h"

namespace rastcore::view {

struct WindowState {
  int16_t mousePointer = 0;
  int16_t borderType = 0;
  bool pictureEnabled = true;
  bool update = true;
  bool showHourglass = true;
  bool notify = false;
  int32_t notifyDelay = 0;
  bool persistence = true;
  bool multitask = false;
  // The picture pixel under the mouse at its last message; no position before the first.
  bool mouseKnown = false;
  int32_t mouseX = 0, mouseY = 0;
  int32_t printerDevice = 0;
  int32_t printerLeft = 0, printerTop = 0, printerWidth = 0, printerHeight = 0;
  bool printerBanding = false;
};

// The window state of a live instance; null for an unknown handle.
WindowState* windowStateFor(CV_HANDLE h);

}  // namespace rastcore::view
