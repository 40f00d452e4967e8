// The control's window state held by the engine, the mouse position it reports, and pasting.
#include "view/window_state.h"

#include "fileformat/dib.h"
#include "ops/ops_state.h"
#include "ops/pixel.h"
#include "rastcore3_ops.h"
#include "region/per_instance.h"

using namespace rastcore;
using rastcore::view::WindowState;

namespace {

PerInstance<WindowState> g_windows;

// Sets a field when valid; sets ImagError to 0 or CV_ERR_BAD_ARGUMENT.
template <typename T, typename V>
void setField(CV_HANDLE h, T WindowState::*field, V value, bool valid) {
  Instance* inst = instanceFor(h);
  WindowState* w = view::windowStateFor(h);
  if (!inst || !w) return;
  if (valid) w->*field = T(value);
  inst->error = valid ? 0 : CV_ERR_BAD_ARGUMENT;
}

template <typename T>
T field(CV_HANDLE h, T WindowState::*f) {
  WindowState* w = view::windowStateFor(h);
  return w ? w->*f : T{};
}

int16_t boolOut(bool v) {
  return v ? -1 : 0;
}

}  // namespace

namespace rastcore::view {
WindowState* windowStateFor(CV_HANDLE h) {
  return g_windows.get(h);
}
}  // namespace rastcore::view

#define RC3_BOOL_MEMBER(Name, member)                 \
  int16_t CV_Get##Name(CV_HANDLE h) {                 \
    return boolOut(field(h, &WindowState::member));   \
  }                                                   \
  void CV_Set##Name(CV_HANDLE h, int16_t on) {        \
    setField(h, &WindowState::member, on != 0, true); \
  }

extern "C" {

uint32_t CV_GetBackColor(CV_HANDLE h) {
  Instance* inst = instanceFor(h);
  return inst ? inst->backColor : 0;
}

void CV_SetBackColor(CV_HANDLE h, uint32_t color) {
  Instance* inst = instanceFor(h);
  if (!inst) return;
  // An OLE colour, or a system colour by its index.
  const bool valid = (color >> 24) == 0 || ((color >> 24) == 0x80 && (color & 0x00FFFFFF) <= 0x18);
  if (valid) inst->backColor = color;
  inst->error = valid ? 0 : CV_ERR_BAD_ARGUMENT;
}

int16_t CV_GetMousePointer(CV_HANDLE h) {
  return field(h, &WindowState::mousePointer);
}
void CV_SetMousePointer(CV_HANDLE h, int16_t pointer) {
  setField(h, &WindowState::mousePointer, pointer,
           (pointer >= 0 && pointer <= 43) || pointer == 99);
}
int16_t CV_GetBorderType(CV_HANDLE h) {
  return field(h, &WindowState::borderType);
}
void CV_SetBorderType(CV_HANDLE h, int16_t type) {
  setField(h, &WindowState::borderType, type, type >= 0 && type <= 3);
}

RC3_BOOL_MEMBER(PictureEnabled, pictureEnabled)
RC3_BOOL_MEMBER(Update, update)
RC3_BOOL_MEMBER(ShowHourglass, showHourglass)
RC3_BOOL_MEMBER(Notify, notify)
RC3_BOOL_MEMBER(Persistence, persistence)
RC3_BOOL_MEMBER(Multitask, multitask)
RC3_BOOL_MEMBER(PrinterBanding, printerBanding)

int32_t CV_GetNotifyDelay(CV_HANDLE h) {
  return field(h, &WindowState::notifyDelay);
}
void CV_SetNotifyDelay(CV_HANDLE h, int32_t milliseconds) {
  setField(h, &WindowState::notifyDelay, milliseconds, milliseconds >= 0 && milliseconds <= 600000);
}

int32_t CV_GetXpos(CV_HANDLE h) {
  return field(h, &WindowState::mouseX);
}
int32_t CV_GetYpos(CV_HANDLE h) {
  return field(h, &WindowState::mouseY);
}
uint32_t CV_GetPixelColor(CV_HANDLE h) {
  Instance* inst = instanceFor(h);
  WindowState* w = view::windowStateFor(h);
  if (!inst || !w || !w->mouseKnown) return 0xFFFFFFFFu;
  const Image& img = inst->image;
  if (img.empty() || w->mouseX < 0 || w->mouseY < 0 || w->mouseX >= img.width ||
      w->mouseY >= img.height)
    return 0xFFFFFFFFu;
  const Rgbq c = ops::pixelAt(img, w->mouseX, w->mouseY);
  return uint32_t(c.r) | uint32_t(c.g) << 8 | uint32_t(c.b) << 16;
}

int16_t CV_GetIPColorPlane(CV_HANDLE h) {
  ops::OpsState* st = ops::opsStateFor(h);
  return st ? st->last.IPSeparationType : 0;
}

int32_t CV_GetPrinterhDC(CV_HANDLE h) {
  return field(h, &WindowState::printerDevice);
}
void CV_SetPrinterhDC(CV_HANDLE h, int32_t device) {
  setField(h, &WindowState::printerDevice, device, true);
}
int32_t CV_GetPrinterLeft(CV_HANDLE h) {
  return field(h, &WindowState::printerLeft);
}
void CV_SetPrinterLeft(CV_HANDLE h, int32_t v) {
  setField(h, &WindowState::printerLeft, v, v >= 0);
}
int32_t CV_GetPrinterTop(CV_HANDLE h) {
  return field(h, &WindowState::printerTop);
}
void CV_SetPrinterTop(CV_HANDLE h, int32_t v) {
  setField(h, &WindowState::printerTop, v, v >= 0);
}
int32_t CV_GetPrinterWidth(CV_HANDLE h) {
  return field(h, &WindowState::printerWidth);
}
void CV_SetPrinterWidth(CV_HANDLE h, int32_t v) {
  setField(h, &WindowState::printerWidth, v, v >= 0);
}
int32_t CV_GetPrinterHeight(CV_HANDLE h) {
  return field(h, &WindowState::printerHeight);
}
void CV_SetPrinterHeight(CV_HANDLE h, int32_t v) {
  setField(h, &WindowState::printerHeight, v, v >= 0);
}

void CV_PasteDib(CV_HANDLE h, CV_HDIB dib) {
  Instance* inst = instanceFor(h);
  ops::OpsState* st = ops::opsStateFor(h);
  if (!inst || !st) return;
  if (dib == 0) {
    inst->error = CV_ERR_CLIPBOARD_EMPTY;
    return;
  }
  Image image;
  if (const int16_t rc = takeDib(*inst, dib, image); rc != CV_OK) {
    inst->error = rc;
    return;
  }
  // A paste is undone as a processing method is.
  if (st->undoProperty && !inst->hasUndo && !inst->image.empty()) {
    inst->undo = std::move(inst->image);
    inst->hasUndo = true;
  }
  inst->image = std::move(image);
  inst->file.fileBpp = inst->image.bpp;
  ++st->generation;
  inst->error = CV_OK;
}

}  // extern "C"
