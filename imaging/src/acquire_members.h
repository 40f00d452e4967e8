// The members that bring a picture in from outside a file: the scanner (through the engine's
// SANE support, with the chooser here) and screen capture (through Qt).
#pragma once

#include "members.h"

namespace rastrel::impl {

HRESULT callTwainSelect(Control& c, const Member& m, const Variant* args, Variant* result);
HRESULT callTwainAcquire(Control& c, const Member& m, const Variant* args, Variant* result);
HRESULT callCapture(Control& c, const Member& m, const Variant* args, Variant* result);
HRESULT callCaptureWindow(Control& c, const Member& m, const Variant* args, Variant* result);

}  // namespace rastrel::impl
