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
#define RASTREL_ENGINE_BOOL(X) X(CancelLoad) X(CancelRemove) X(PICCropEnabled) X(SaveToBuffer)
// 16-bit properties
#define RASTREL_ENGINE_I2(X) \
  X(CancelMode) X(PICThumbnail) X(PICCropX) X(PICCropY) X(PICCropWidth) X(PICCropHeight)
// String properties
#define RASTREL_ENGINE_STR(X)                                                                  \
  X(LZWPassword)                                                                               \
  X(PFileName)                                                                                 \
  X(FTPUserName)                                                                               \
  X(FTPPassword) X(ProxyServer) X(TwainProductFamily) X(TwainManufacturer) X(TwainProductName) \
      X(TwainVersionInfo)
// Read-only 32-bit values
#define RASTREL_ENGINE_RO_I4(X) \
  X(ImagWidth) X(ImagHeight) X(FXWidth) X(FXHeight) X(RGBColorCount) X(IPPixelX) X(IPPixelY)
#define RASTREL_ENGINE_RO_U4(X) X(SaveBufferHandle) X(HBmp) X(HPal) X(PRGBColors)
#define RASTREL_ENGINE_RO_I2(X) X(IPPalIndex)

#define RASTREL_DECLARE_BOOL(N)          \
  CV_API int16_t CV_Get##N(CV_HANDLE h); \
  CV_API void CV_Set##N(CV_HANDLE h, int16_t on);
#define RASTREL_DECLARE_I2(N)            \
  CV_API int16_t CV_Get##N(CV_HANDLE h); \
  CV_API void CV_Set##N(CV_HANDLE h, int16_t v);
#define RASTREL_DECLARE_STR(N)                                    \
  CV_API int32_t CV_Get##N(CV_HANDLE h, char* buf, int32_t size); \
  CV_API void CV_Set##N(CV_HANDLE h, const char* value);
#define RASTREL_DECLARE_RO_I4(N) CV_API int32_t CV_Get##N(CV_HANDLE h);
#define RASTREL_DECLARE_RO_U4(N) CV_API uint32_t CV_Get##N(CV_HANDLE h);
#define RASTREL_DECLARE_RO_I2(N) CV_API int16_t CV_Get##N(CV_HANDLE h);
RASTREL_ENGINE_BOOL(RASTREL_DECLARE_BOOL)
RASTREL_ENGINE_I2(RASTREL_DECLARE_I2)
RASTREL_ENGINE_STR(RASTREL_DECLARE_STR)
RASTREL_ENGINE_RO_I4(RASTREL_DECLARE_RO_I4)
RASTREL_ENGINE_RO_U4(RASTREL_DECLARE_RO_U4)
RASTREL_ENGINE_RO_I2(RASTREL_DECLARE_RO_I2)

CV_API void CV_DeleteSaveBuffer(CV_HANDLE h);
CV_API void CV_BitmapToDib(CV_HANDLE h, uint32_t bitmap, uint32_t palette, CV_HDIB* dib);
CV_API void CV_DibUpdate(CV_HANDLE h);
CV_API void CV_DibSetPixel(CV_HANDLE h, int32_t x, int32_t y, uint32_t color);
CV_API void CV_DibGetPixel(CV_HANDLE h, int32_t x, int32_t y, uint32_t* color);
CV_API void CV_DibGetPalIndex(CV_HANDLE h, int32_t x, int32_t y, int16_t* index);
CV_API void CV_DibSetPalIndex(CV_HANDLE h, int32_t x, int32_t y, int16_t index);
}

// Generated at build time from the declarations above: "#pragma weak" for every engine call.
#ifndef RASTREL_NO_WEAK
#include "engine_weak.h"
#endif
