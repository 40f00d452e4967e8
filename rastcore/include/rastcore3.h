// rastcore3: the imaging engine's flat C interface.
//
// Conventions
// - Every call takes the engine instance handle first. Methods return nothing; success or
//   failure is read afterwards from CV_GetImagError (0 success, negative failure; the numbers
//   and their texts are in rastcore3_errors.h and CV_ErrorText). Property getters and setters
//   leave the error as it was, except that a setter given an unsupported value sets
//   CV_ERR_UNSUPPORTED_OPTION and keeps the old value.
// - Names: CV_Get<Prop>/CV_Set<Prop> for a property <Prop> of the control, CV_<Method> for a
//   method; read-only properties have no setter.
// - Strings go in as NUL-terminated UTF-8 (the control's "ANSI" conversion on this platform).
//   A string getter copies the value with its NUL into buf (at most size bytes, always
//   NUL-terminated when size > 0) and returns the value's length in bytes without the NUL,
//   so a caller may ask with size 0 first; it returns -1 when the engine holds no string.
// - Booleans travel as 16-bit automation booleans: getters return -1 for true and 0 for
//   false; setters take any non-zero value as true.
// - Colours are OLE colours 0x00BBGGRR.
//
// Pictures
// - A picture loaded from a file is held as 1, 4 or 8 bits per pixel with a palette, 24 bits,
//   or 32 bits (B, G, R, A) where the file carries transparency.
// - Size limit: a picture wider or taller than CV_MAX_DIMENSION pixels, or of more than
//   CV_MAX_PIXELS pixels, is refused with CV_ERR_TOO_LARGE before any pixel memory is taken.
//
// Picture handles (hDib)
// - A handle is a 32-bit number naming a packed device-independent bitmap in one process-wide
//   table: a 40-byte BITMAPINFOHEADER, the palette (4 bytes B, G, R, 0 per entry) and the rows
//   bottom-up, each padded to 4 bytes. CV_DibAlloc/CV_DibLock/CV_DibSize/CV_DibFree manage the
//   table's blocks as global memory would be managed.
// - A handle given to CV_SetHDib becomes the instance's: the engine frees it. A handle from
//   CV_CopyDib belongs to the caller until it gives it to some instance. Handles from
//   CV_GetHDib and CV_GetHDibUndo stay the engine's and are valid until the next call of the
//   same getter, a change of the picture, or the instance's destruction.
//
// Progress
// - CV_SetProgressMessages gives the engine the message numbers it posts (1028 for Progress,
//   1029 for AsyncProgress). The engine posts through the function given to
//   CV_SetPostMessage; the receiver should queue the message and answer it later, reading
//   CV_GetProgressId/CV_GetProgressPct or the asynchronous queries. Progress is posted during
//   long loads and saves while ProgressEnabled is true (the default).
#ifndef RASTCORE3_H
#define RASTCORE3_H

#include <stdint.h>

#include "rastcore3_errors.h"

#if defined(RASTCORE3_STATIC)
#define CV_API
#elif defined(RASTCORE3_BUILDING)
#define CV_API __attribute__((visibility("default")))
#else
#define CV_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t CV_HANDLE;
typedef uint32_t CV_HDIB;

#define CV_MAX_DIMENSION 65535
#define CV_MAX_PIXELS (1u << 28) /* 268 435 456 pixels, 1 GiB at 32 bits */

/* Format numbers: IFormat of a loaded file and SaveFileType (enumSaveFileType). */
#define FT_DEFAULT 0 /* save: choose the format from the file name's extension */
#define FT_TGA 1
#define FT_PCX 2
#define FT_GIF 3
#define FT_TIF 4
#define FT_BMP 5
#define FT_WPG 6
#define FT_WMF 7 /* the engine's own number for the Windows metafile */
#define FT_JPG 8
#define FT_PNG 10
#define FT_PPM 21
#define FT_PGM 22
#define FT_PBM 23
#define FT_DCX 24
#define FT_EPIC 25
#define FT_LJP 29
/* Formats beyond the control's list, read through their reference libraries. WebP is also
   written; the others are read only. */
#define FT_WEBP 40
#define FT_HEIC 41 /* HEIF with HEVC pictures */
#define FT_AVIF 42 /* HEIF with AV1 pictures */
#define FT_JXL 43
#define FT_RAW 44 /* camera raw: CR2, NEF, ARW, DNG, RAF, ORF, RW2 */
#define FT_ICO 45 /* Windows icon, read only */

/* enumSaveTIFCompression */
#define TIF_Uncompressed 0
#define TIF_CCITTRLE 1
#define TIF_CCITTFAX3 2
#define TIF_CCITTFAX4 3
#define TIF_LZW 4
#define TIF_PackBits 5
#define TIF_JPEG 6
#define TIF_Deflate 7
#define TIF_CCITTFAX3_2D 8

/* SaveJPGSubSampling: chroma subsampling of JPEG and ePIC saves. */
#define JPG_SubSampling420 0 /* default */
#define JPG_SubSampling422 1
#define JPG_SubSampling444 2
#define JPG_SubSampling411 3

/* SaveGIFType */
#define GIF_89a 0 /* default */
#define GIF_87a 1

/* SavePBMType, SavePGMType, SavePPMType */
#define PNM_Binary 0 /* default: raw samples (P4, P5, P6) */
#define PNM_Ascii 1  /* plain text samples (P1, P2, P3) */

/* IResUnits */
#define RES_None 0
#define RES_Inch 1 /* default when a file names no unit */
#define RES_Centimeter 2

/* ---- instances and errors ---- */
CV_API void CV_CreateInstance(CV_HANDLE* handle);
CV_API void CV_DestroyInstance(CV_HANDLE handle);
CV_API int16_t CV_GetImagError(CV_HANDLE handle); /* ImagError */
CV_API int16_t CV_GetFXError(CV_HANDLE handle);   /* FXError: the same value */
CV_API const char* CV_ErrorText(int16_t error);   /* never null */

/* ---- loading ---- */
/* Loads the file, replacing the picture; "" (or null) unloads the picture and releases the
   file. On failure the instance holds no picture and the error says why. */
CV_API void CV_SetFileName(CV_HANDLE handle, const char* fileName);
CV_API int32_t CV_GetFileName(CV_HANDLE handle, char* buf, int32_t size);
/* Read-ahead: the files named (separated by newlines, most wanted first) are decoded on a
   background thread with the instance's present load options (PageNbr, PICPassword,
   PICThumbnail), so that a later CV_SetFileName of one of them finds it decoded: it then
   gives the same picture, error and progress as a load, provided the file is unchanged (same
   size, times and inode; a changed file is loaded anew). Pictures not named in the latest
   call are dropped; "" stops and frees all. The pictures held never exceed the limit, in MiB
   (default 512; 0 turns reading ahead off); Held reports the pictures held now, Peak the
   most MiB held at once. Failures are not kept: the load reports them. */
CV_API void CV_ReadAhead(CV_HANDLE handle, const char* fileNames);
CV_API void CV_SetReadAheadLimit(CV_HANDLE handle, int32_t mebibytes);
CV_API int32_t CV_GetReadAheadLimit(CV_HANDLE handle);
CV_API int32_t CV_GetReadAheadHeld(CV_HANDLE handle);
CV_API int32_t CV_GetReadAheadPeak(CV_HANDLE handle);
/* Loads a picture from memory, as CV_SetFileName does from a file; FileName becomes "". */
CV_API void CV_LoadBuffer(CV_HANDLE handle, const void* data, int32_t size);
CV_API void CV_SetPICPassword(CV_HANDLE handle, const char* password);
CV_API int32_t CV_GetPICPassword(CV_HANDLE handle, char* buf, int32_t size);
/* The page the next load of a multi-page file takes, counted from 1 (0 also means the first). */
CV_API void CV_SetPageNbr(CV_HANDLE handle, int16_t page);
CV_API int16_t CV_GetPageNbr(CV_HANDLE handle);
/* Counts the pages of a file without loading it: 1 for single-picture formats, 0 and an error
   when the file cannot be read. */
CV_API void CV_NumPages(CV_HANDLE handle, const char* fileName, int16_t* pages);

/* Loading options. PICThumbnail (0 none, 1 a quarter, 2 a sixteenth, 3 a sixty-fourth of the
   area) and PICCropEnabled with PICCropX/Y/Width/Height (the rectangle kept, in pixels of the
   possibly reduced picture) apply to JPEG and ePIC files. CancelLoad and CancelMode are
   kept for the host, which answers the poll function (CV_SetPollFunction) with a cancel; a
   cancelled load keeps the picture it had, or with CancelRemove on leaves none.
   LZWPassword is kept and not needed (LZW needs no licence). FTPUserName, FTPPassword and
   ProxyServer are kept; a FileName naming a network address gives CV_ERR_NOT_AVAILABLE. */
CV_API void CV_SetPICThumbnail(CV_HANDLE handle, int16_t v);
CV_API int16_t CV_GetPICThumbnail(CV_HANDLE handle);
CV_API void CV_SetPICCropEnabled(CV_HANDLE handle, int16_t on);
CV_API int16_t CV_GetPICCropEnabled(CV_HANDLE handle);
CV_API void CV_SetPICCropX(CV_HANDLE handle, int16_t v);
CV_API int16_t CV_GetPICCropX(CV_HANDLE handle);
CV_API void CV_SetPICCropY(CV_HANDLE handle, int16_t v);
CV_API int16_t CV_GetPICCropY(CV_HANDLE handle);
CV_API void CV_SetPICCropWidth(CV_HANDLE handle, int16_t v);
CV_API int16_t CV_GetPICCropWidth(CV_HANDLE handle);
CV_API void CV_SetPICCropHeight(CV_HANDLE handle, int16_t v);
CV_API int16_t CV_GetPICCropHeight(CV_HANDLE handle);
CV_API void CV_SetCancelLoad(CV_HANDLE handle, int16_t on);
CV_API int16_t CV_GetCancelLoad(CV_HANDLE handle);
CV_API void CV_SetCancelRemove(CV_HANDLE handle, int16_t on);
CV_API int16_t CV_GetCancelRemove(CV_HANDLE handle);
CV_API void CV_SetCancelMode(CV_HANDLE handle, int16_t v);
CV_API int16_t CV_GetCancelMode(CV_HANDLE handle);
CV_API void CV_SetLZWPassword(CV_HANDLE handle, const char* value);
CV_API int32_t CV_GetLZWPassword(CV_HANDLE handle, char* buf, int32_t size);
CV_API void CV_SetFTPUserName(CV_HANDLE handle, const char* value);
CV_API int32_t CV_GetFTPUserName(CV_HANDLE handle, char* buf, int32_t size);
CV_API void CV_SetFTPPassword(CV_HANDLE handle, const char* value);
CV_API int32_t CV_GetFTPPassword(CV_HANDLE handle, char* buf, int32_t size);
CV_API void CV_SetProxyServer(CV_HANDLE handle, const char* value);
CV_API int32_t CV_GetProxyServer(CV_HANDLE handle, char* buf, int32_t size);

/* ---- image information (read-only) ---- */
CV_API int32_t CV_GetIWidth(CV_HANDLE handle);
CV_API int32_t CV_GetIHeight(CV_HANDLE handle);
CV_API int16_t CV_GetIBPP(CV_HANDLE handle);        /* bits per pixel as stored in the file */
CV_API int16_t CV_GetIPBitsPixel(CV_HANDLE handle); /* bits per pixel of the current picture */
CV_API int32_t CV_GetIFileSize(CV_HANDLE handle);   /* bytes of the loaded file, 0 if none */
CV_API int16_t CV_GetIFormat(CV_HANDLE handle);     /* FT_* of the loaded file, 0 if none */
CV_API int32_t CV_GetIResX(CV_HANDLE handle);       /* dots per IResUnits, rounded */
CV_API int32_t CV_GetIResY(CV_HANDLE handle);
CV_API int16_t CV_GetIResUnits(CV_HANDLE handle); /* RES_* */
CV_API int16_t CV_GetNumPages(CV_HANDLE handle);  /* pages of the loaded file */
CV_API int32_t CV_GetImagWidth(CV_HANDLE handle); /* the picture's size, as IWidth/IHeight */
CV_API int32_t CV_GetImagHeight(CV_HANDLE handle);
CV_API int32_t CV_GetFXWidth(CV_HANDLE handle);
CV_API int32_t CV_GetFXHeight(CV_HANDLE handle);
CV_API int32_t CV_GetRGBColorCount(CV_HANDLE handle); /* as UniqueColors */
/* The exact number of distinct colours of the current picture (alpha ignored). */
CV_API void CV_UniqueColors(CV_HANDLE handle, int32_t* count);

/* ---- saving ---- */
CV_API void CV_SetSaveFileName(CV_HANDLE handle, const char* fileName);
CV_API int32_t CV_GetSaveFileName(CV_HANDLE handle, char* buf, int32_t size);
CV_API void CV_SetSaveFileType(CV_HANDLE handle, int16_t type); /* FT_* */
CV_API int16_t CV_GetSaveFileType(CV_HANDLE handle);
/* Writes the picture to SaveFileName through a temporary file beside it that is renamed into
   place, so a failed save leaves any existing file untouched. */
CV_API void CV_SaveFile(CV_HANDLE handle);
/* SaveToBuffer true: SaveFile writes the file's bytes into a block of the handle table instead
   of a file (SaveFileName still chooses the format unless SaveFileType does); SaveBufferHandle
   names it (read with CV_DibLock/CV_DibSize) until DeleteSaveBuffer or the next buffer save. */
CV_API void CV_SetSaveToBuffer(CV_HANDLE handle, int16_t on);
CV_API int16_t CV_GetSaveToBuffer(CV_HANDLE handle);
CV_API uint32_t CV_GetSaveBufferHandle(CV_HANDLE handle);
CV_API void CV_DeleteSaveBuffer(CV_HANDLE handle);
/* TIFF only: true appends the picture as a new page when the target already exists. */
CV_API void CV_SetSaveMultiPage(CV_HANDLE handle, int16_t on);
CV_API int16_t CV_GetSaveMultiPage(CV_HANDLE handle);

/* JPEG and ePIC. The factors are quality values 1-255 (higher is better, 255 is the best):
   ChromFactor for the colour channels, LumFactor for brightness; LumFactor 0 (the default)
   follows ChromFactor. 1-30 map evenly onto libjpeg qualities 1-75 and 30-255 onto 75-100;
   ChromFactor defaults to 30 (libjpeg quality 75). */
CV_API void CV_SetSaveJPGChromFactor(CV_HANDLE handle, int16_t factor);
CV_API int16_t CV_GetSaveJPGChromFactor(CV_HANDLE handle);
CV_API void CV_SetSaveJPGLumFactor(CV_HANDLE handle, int16_t factor);
CV_API int16_t CV_GetSaveJPGLumFactor(CV_HANDLE handle);
CV_API void CV_SetSaveJPGProgressive(CV_HANDLE handle, int16_t on);
CV_API int16_t CV_GetSaveJPGProgressive(CV_HANDLE handle);
CV_API void CV_SetSaveJPGGrayscale(CV_HANDLE handle, int16_t on);
CV_API int16_t CV_GetSaveJPGGrayscale(CV_HANDLE handle);
CV_API void CV_SetSaveJPGSubSampling(CV_HANDLE handle, int16_t mode); /* JPG_SubSampling* */
CV_API int16_t CV_GetSaveJPGSubSampling(CV_HANDLE handle);

/* PNG, GIF, TIFF, portable bitmaps. */
CV_API void CV_SetSavePNGInterlaced(CV_HANDLE handle, int16_t on);
CV_API int16_t CV_GetSavePNGInterlaced(CV_HANDLE handle);
CV_API void CV_SetSaveGIFInterlaced(CV_HANDLE handle, int16_t on);
CV_API int16_t CV_GetSaveGIFInterlaced(CV_HANDLE handle);
CV_API void CV_SetSaveGIFType(CV_HANDLE handle, int16_t type); /* GIF_89a, GIF_87a */
CV_API int16_t CV_GetSaveGIFType(CV_HANDLE handle);
/* Transparency needs GIF89a: a GIF87a save ignores it. */
CV_API void CV_SetSaveGIFTransparent(CV_HANDLE handle, int16_t on);
CV_API int16_t CV_GetSaveGIFTransparent(CV_HANDLE handle);
CV_API void CV_SetSaveGIFTColor(CV_HANDLE handle, uint32_t color); /* OLE colour */
CV_API uint32_t CV_GetSaveGIFTColor(CV_HANDLE handle);
/* TIF_*. The fax schemes (1, 2, 3, 8) store one bit per pixel: the picture is written as
   black and white (threshold at half brightness). TIF_JPEG stores 8-bit grey or 24-bit
   colour: indexed pictures are expanded first. */
CV_API void CV_SetSaveTIFCompression(CV_HANDLE handle, int16_t compression);
CV_API int16_t CV_GetSaveTIFCompression(CV_HANDLE handle);
CV_API void CV_SetSavePBMType(CV_HANDLE handle, int16_t type); /* PNM_* */
CV_API int16_t CV_GetSavePBMType(CV_HANDLE handle);
CV_API void CV_SetSavePGMType(CV_HANDLE handle, int16_t type);
CV_API int16_t CV_GetSavePGMType(CV_HANDLE handle);
CV_API void CV_SetSavePPMType(CV_HANDLE handle, int16_t type);
CV_API int16_t CV_GetSavePPMType(CV_HANDLE handle);
/* WebP: lossy at SaveWEBPQuality 1-100 (the scale of the WebP tools; default 75), or lossless
   when SaveWEBPLossless is true. Alpha is written when some pixel is not opaque. */
CV_API void CV_SetSaveWEBPQuality(CV_HANDLE handle, int16_t quality);
CV_API int16_t CV_GetSaveWEBPQuality(CV_HANDLE handle);
CV_API void CV_SetSaveWEBPLossless(CV_HANDLE handle, int16_t on);
CV_API int16_t CV_GetSaveWEBPLossless(CV_HANDLE handle);

/* Lossless JPEG options are kept for the control's property pages; saving FT_LJP is not
   supported by this engine and gives CV_ERR_SAVE_FORMAT. */
CV_API void CV_SetSaveLJPCompType(CV_HANDLE handle, int16_t value);
CV_API int16_t CV_GetSaveLJPCompType(CV_HANDLE handle);
CV_API void CV_SetSaveLJPPrediction(CV_HANDLE handle, int16_t value);
CV_API int16_t CV_GetSaveLJPPrediction(CV_HANDLE handle);
CV_API void CV_SetSaveLJPCompOrder(CV_HANDLE handle, int16_t value);
CV_API int16_t CV_GetSaveLJPCompOrder(CV_HANDLE handle);
CV_API void CV_SetSaveLJPCompMethod(CV_HANDLE handle, int16_t value);
CV_API int16_t CV_GetSaveLJPCompMethod(CV_HANDLE handle);

/* ---- picture handles ---- */
CV_API CV_HDIB CV_GetHDib(CV_HANDLE handle);            /* 0 when there is no picture */
CV_API void CV_SetHDib(CV_HANDLE handle, CV_HDIB dib);  /* the instance takes the handle over */
CV_API void CV_CopyDib(CV_HANDLE handle, CV_HDIB* dib); /* 0 and an error when no picture */
CV_API CV_HDIB CV_GetHDibUndo(CV_HANDLE handle);        /* 0 when no undo copy is held */
/* Replaces the picture by a new one filled with the colour; bits 1, 4, 8 (grey palette for 8,
   the standard 16 colours for 4, black and white for 1; the nearest entry is taken), 24 or 32. */
CV_API void CV_CreateDib(CV_HANDLE handle, int32_t width, int32_t height, int16_t bits,
                         uint32_t color);
CV_API int32_t CV_GetIPCreateWidth(CV_HANDLE handle);
CV_API int32_t CV_GetIPCreateHeight(CV_HANDLE handle);
CV_API int16_t CV_GetIPCreateBits(CV_HANDLE handle);
CV_API uint32_t CV_GetIPCreateColor(CV_HANDLE handle);

/* hBmp is on this platform the picture's packed DIB (the same handle as CV_GetHDib gives);
   hPal and PRGBColors a block of the palette's B, G, R, 0 entries (0 for true colour), valid
   until the next call of either. BitmapToDib copies a bitmap handle (with an optional palette
   block) into a new DIB owned by the caller. DibUpdate makes the picture take over changes the
   caller made in the bytes of the engine's hDib. Pixel calls use picture pixels, top row 0;
   colours are OLE colours; a set on an indexed picture takes the nearest palette entry. */
CV_API uint32_t CV_GetHBmp(CV_HANDLE handle);
CV_API uint32_t CV_GetHPal(CV_HANDLE handle);
CV_API uint32_t CV_GetPRGBColors(CV_HANDLE handle);
CV_API void CV_BitmapToDib(CV_HANDLE handle, uint32_t bitmap, uint32_t palette, CV_HDIB* dib);
CV_API void CV_DibUpdate(CV_HANDLE handle);
CV_API void CV_DibGetPixel(CV_HANDLE handle, int32_t x, int32_t y, uint32_t* color);
CV_API void CV_DibSetPixel(CV_HANDLE handle, int32_t x, int32_t y, uint32_t color);
CV_API void CV_DibGetPalIndex(CV_HANDLE handle, int32_t x, int32_t y, int16_t* index);
CV_API void CV_DibSetPalIndex(CV_HANDLE handle, int32_t x, int32_t y, int16_t index);
CV_API int32_t CV_GetIPPixelX(CV_HANDLE handle); /* last x and y of the pixel calls */
CV_API int32_t CV_GetIPPixelY(CV_HANDLE handle);
CV_API int16_t CV_GetIPPalIndex(CV_HANDLE handle);

/* The handle table: allocate a zeroed block, reach its bytes, its size, free it. */
CV_API CV_HDIB CV_DibAlloc(uint32_t size);
CV_API void* CV_DibLock(CV_HDIB dib);    /* null for an unknown handle */
CV_API uint32_t CV_DibSize(CV_HDIB dib); /* 0 for an unknown handle */
CV_API void CV_DibFree(CV_HDIB dib);

/* ---- progress ---- */
typedef void (*CV_PostMessageFn)(void* context, CV_HANDLE handle, uint32_t message);
CV_API void CV_SetPostMessage(CV_HANDLE handle, CV_PostMessageFn post, void* context);
CV_API void CV_SetProgressMessages(CV_HANDLE handle, uint32_t progress, uint32_t asyncProgress);
CV_API void CV_SetProgressEnabled(CV_HANDLE handle, int16_t on);
CV_API int16_t CV_GetProgressEnabled(CV_HANDLE handle);
#define CV_PROGRESS_LOAD 1
#define CV_PROGRESS_SAVE 2
#define CV_PROGRESS_SCAN 3
#define CV_PROGRESS_PROCESS 4 /* a processing method; polled only, no Progress is posted */
CV_API int16_t CV_GetProgressId(CV_HANDLE handle);  /* CV_PROGRESS_* */
CV_API int16_t CV_GetProgressPct(CV_HANDLE handle); /* 0-100 */
CV_API int32_t CV_GetAsyncBytesProcessed(CV_HANDLE handle);
CV_API int32_t CV_GetAsyncTotalBytes(CV_HANDLE handle);
CV_API int16_t CV_GetAsyncDone(CV_HANDLE handle);
CV_API int16_t CV_GetAsyncError(CV_HANDLE handle);

/* ---- cancel and multitask ----
   The host's poll function is called on the calling thread between the rows or scans of a
   long load, between rows of a save and between the waits of a scan, with the step's
   CV_PROGRESS_* number. Processing methods (rotate, resize, filters, colour depth, ...) call
   it every few milliseconds with CV_PROGRESS_PROCESS, but only while Multitask is on or
   CancelLoad is on with a CancelMode; they then build their result beside the picture, so
   the picture drawn meanwhile is the one before the method. A nonzero answer cancels the
   step: it ends with CV_ERR_CANCELLED, which leaves the picture as it was (a load with
   CancelRemove on leaves no picture; a processing method never removes it, and keeps the
   undo copy as it was). The host may run its event loop inside and draw from there, but must
   not call this instance otherwise. */
typedef int16_t (*CV_PollFn)(void* context, CV_HANDLE handle, int16_t progressId);
CV_API void CV_SetPollFunction(CV_HANDLE handle, CV_PollFn poll, void* context);

#ifdef __cplusplus
}
#endif

#endif
