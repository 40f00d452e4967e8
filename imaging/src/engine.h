// The engine calls the control forwards to.
//
// Every engine call the control uses is linked weakly: a member whose call the loaded engine
// does not export answers E_NOTIMPL through Invoke instead of keeping the library from loading.
// Calls of members that the engine headers do not declare are declared here in the engine's
// own conventions (CV_Get<Prop>/CV_Set<Prop>, CV_<Method>, 16-bit booleans, UTF-8 strings).
#pragma once

#include <cstdint>

// The interface first: the engine headers define macros of the same names as its enumerators.
#ifndef RASTREL_NO_WEAK
#include "rastrel3.h"
#endif
#include "rastcore3.h"
#include "rastcore3_ops.h"

extern "C" {
// Boolean properties
#define RASTREL_ENGINE_BOOL(X)                                                    \
  X(Persistence)                                                                  \
  X(PictureEnabled)                                                               \
  X(Notify) X(ShowHourglass) X(Multitask) X(Update) X(CancelLoad) X(CancelRemove) \
      X(PICCropEnabled) X(SaveToBuffer) X(RgnEnabled) X(PrinterBanding)
// 16-bit properties
#define RASTREL_ENGINE_I2(X) \
  X(MousePointer)            \
  X(BorderType)              \
  X(CancelMode) X(PICThumbnail) X(PICCropX) X(PICCropY) X(PICCropWidth) X(PICCropHeight)
// 32-bit properties
#define RASTREL_ENGINE_I4(X) \
  X(NotifyDelay) X(PrinterhDC) X(PrinterLeft) X(PrinterTop) X(PrinterWidth) X(PrinterHeight)
// String properties
#define RASTREL_ENGINE_STR(X)                                                             \
  X(LZWPassword)                                                                          \
  X(PFileName)                                                                            \
  X(FTPUserName) X(FTPPassword) X(ProxyServer) X(TwainProductFamily) X(TwainManufacturer) \
      X(TwainProductName) X(TwainVersionInfo)
// Read-only 32-bit values
#define RASTREL_ENGINE_RO_I4(X)                                                                   \
  X(ImagWidth)                                                                                    \
  X(ImagHeight)                                                                                   \
  X(FXWidth) X(FXHeight) X(Xpos) X(Ypos) X(RGBColorCount) X(IPPixelX) X(IPPixelY) X(RgnX) X(RgnY) \
      X(RgnWidth) X(RgnHeight) X(RgnSpriteX) X(RgnSpriteY)
#define RASTREL_ENGINE_RO_U4(X) X(PixelColor) X(SaveBufferHandle) X(HBmp) X(HPal) X(PRGBColors)
#define RASTREL_ENGINE_RO_I2(X) X(IPPalIndex) X(IPColorPlane)

#define RASTREL_DECLARE_BOOL(N)          \
  CV_API int16_t CV_Get##N(CV_HANDLE h); \
  CV_API void CV_Set##N(CV_HANDLE h, int16_t on);
#define RASTREL_DECLARE_I2(N)            \
  CV_API int16_t CV_Get##N(CV_HANDLE h); \
  CV_API void CV_Set##N(CV_HANDLE h, int16_t v);
#define RASTREL_DECLARE_I4(N)            \
  CV_API int32_t CV_Get##N(CV_HANDLE h); \
  CV_API void CV_Set##N(CV_HANDLE h, int32_t v);
#define RASTREL_DECLARE_STR(N)                                    \
  CV_API int32_t CV_Get##N(CV_HANDLE h, char* buf, int32_t size); \
  CV_API void CV_Set##N(CV_HANDLE h, const char* value);
#define RASTREL_DECLARE_RO_I4(N) CV_API int32_t CV_Get##N(CV_HANDLE h);
#define RASTREL_DECLARE_RO_U4(N) CV_API uint32_t CV_Get##N(CV_HANDLE h);
#define RASTREL_DECLARE_RO_I2(N) CV_API int16_t CV_Get##N(CV_HANDLE h);
RASTREL_ENGINE_BOOL(RASTREL_DECLARE_BOOL)
RASTREL_ENGINE_I2(RASTREL_DECLARE_I2)
RASTREL_ENGINE_I4(RASTREL_DECLARE_I4)
RASTREL_ENGINE_STR(RASTREL_DECLARE_STR)
RASTREL_ENGINE_RO_I4(RASTREL_DECLARE_RO_I4)
RASTREL_ENGINE_RO_U4(RASTREL_DECLARE_RO_U4)
RASTREL_ENGINE_RO_I2(RASTREL_DECLARE_RO_I2)

CV_API uint32_t CV_GetBackColor(CV_HANDLE h);
CV_API void CV_SetBackColor(CV_HANDLE h, uint32_t color);
CV_API void CV_DeleteSaveBuffer(CV_HANDLE h);
CV_API void CV_Paint(CV_HANDLE h, uint32_t* buffer, int32_t strideBytes, const CV_RECT* area);
CV_API void CV_BitmapToDib(CV_HANDLE h, uint32_t bitmap, uint32_t palette, CV_HDIB* dib);
CV_API void CV_DibUpdate(CV_HANDLE h);
CV_API void CV_DibSetPixel(CV_HANDLE h, int32_t x, int32_t y, uint32_t color);
CV_API void CV_DibGetPixel(CV_HANDLE h, int32_t x, int32_t y, uint32_t* color);
CV_API void CV_DibGetPalIndex(CV_HANDLE h, int32_t x, int32_t y, int16_t* index);
CV_API void CV_DibSetPalIndex(CV_HANDLE h, int32_t x, int32_t y, int16_t index);
CV_API void CV_RgnCreate(CV_HANDLE h, int16_t type, int32_t x, int32_t y, int32_t width,
                         int32_t height);
CV_API void CV_RgnDelete(CV_HANDLE h);
CV_API void CV_RgnAddPoint(CV_HANDLE h, int32_t x, int32_t y);
CV_API void CV_RgnCreateSprite(CV_HANDLE h);
CV_API void CV_RgnDeleteSprite(CV_HANDLE h);
CV_API void CV_RgnMoveSprite(CV_HANDLE h, int32_t x, int32_t y);
CV_API void CV_RgnPasteSprite(CV_HANDLE h);
CV_API void CV_Copy(CV_HANDLE h);
CV_API void CV_Paste(CV_HANDLE h);
}

// Generated at build time from the declarations above: "#pragma weak" for every engine call.
#ifndef RASTREL_NO_WEAK
#include "engine_weak.h"
#endif
