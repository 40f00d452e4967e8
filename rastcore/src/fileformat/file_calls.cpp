// The file side of the flat interface: loading, image information, saving, picture handles
// and progress.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "acquire/polled.h"
#include "fileformat/bytes.h"
#include "fileformat/checked.h"
#include "fileformat/colors.h"
#include "fileformat/dib.h"
#include "fileformat/io.h"
#include "fileformat/load_save_steps.h"
#include "fileformat/read_ahead.h"
#include "instance.h"

using namespace rastcore;

namespace {

int16_t boolOut(bool v) {
  return v ? -1 : 0;
}

// Posts the progress message (and the asynchronous one with byte counts) to the control.
struct ProgressPoster {
  CV_HANDLE handle;
  Instance* inst;
  int64_t totalBytes;

  static void report(void* context, int pct) {
    auto* self = static_cast<ProgressPoster*>(context);
    ProgressState& p = self->inst->progress;
    if (!p.enabled || !p.post) return;
    p.pct = int16_t(std::clamp(pct, 0, 100));
    p.bytesTotal = int32_t(self->totalBytes);
    p.bytesDone = int32_t(self->totalBytes * p.pct / 100);
    if (p.progressMessage) p.post(p.context, self->handle, p.progressMessage);
    if (p.asyncMessage) p.post(p.context, self->handle, p.asyncMessage);
  }

  // The host's cancel request for the running step.
  static bool cancel(void* context) {
    auto* self = static_cast<ProgressPoster*>(context);
    return pollInstance(self->handle, self->inst->progress.id);
  }

  void begin(int16_t id) {
    ProgressState& p = inst->progress;
    p.id = id;
    p.pct = 0;
    p.done = false;
    p.asyncError = 0;
  }
  void end(int16_t error) {
    ProgressState& p = inst->progress;
    p.done = true;
    p.asyncError = error;
    p.bytesDone = p.bytesTotal = int32_t(totalBytes);
    if (p.enabled && p.post && p.asyncMessage) p.post(p.context, handle, p.asyncMessage);
  }
};

void releaseDib(uint32_t& handle) {
  if (handle) dibFree(handle);
  handle = 0;
}

// Replaces the picture (and what the file side knows about it) after a load.
void adoptLoaded(Instance& inst, Decoded& decoded, int64_t fileSize) {
  inst.image = std::move(decoded.image);
  inst.file.format = decoded.format;
  inst.file.fileBpp = decoded.fileBpp;
  inst.file.numPages = decoded.numPages;
  inst.file.resUnits = decoded.resUnits;
  inst.file.fileSize = int32_t(std::min<int64_t>(fileSize, INT32_MAX));
  inst.hasUndo = false;
  inst.undo = Image{};
}

void clearPicture(Instance& inst) {
  Decoded none;
  adoptLoaded(inst, none, 0);
  inst.file.numPages = 0;
}

// A cancelled load leaves the picture as it was, unless CancelRemove asks for none.
bool keepsPictureAfter(const Instance& inst, int16_t rc) {
  return rc == CV_ERR_CANCELLED && !inst.file.cancelRemove;
}

LoadOptions loadOptionsFor(const Instance& inst, Progress* progress) {
  LoadOptions o;
  o.page = inst.file.pageNbr > 0 ? inst.file.pageNbr - 1 : 0;
  o.password = inst.file.password;
  o.progress = progress;
  o.scaleDenominator = thumbnailDenominator(inst.file);
  return o;
}

int32_t resolution(const Instance& inst, double dpi) {
  if (inst.image.empty()) return 0;
  return int32_t(inst.file.resUnits == RES_Centimeter ? dpi / 2.54 + 0.5 : dpi + 0.5);
}

}  // namespace

#define WITH_INSTANCE(fallback)         \
  Instance* inst = instanceFor(handle); \
  if (!inst) return fallback;

#define BOOL_PROPERTY(Name, field)                  \
  void CV_Set##Name(CV_HANDLE handle, int16_t on) { \
    WITH_INSTANCE()                                 \
    inst->field = on != 0;                          \
  }                                                 \
  int16_t CV_Get##Name(CV_HANDLE handle) {          \
    WITH_INSTANCE(0)                                \
    return boolOut(inst->field);                    \
  }

// A 16-bit property whose setter accepts values in [lo, hi] and refuses others.
#define RANGE_PROPERTY(Name, field, lo, hi)            \
  void CV_Set##Name(CV_HANDLE handle, int16_t value) { \
    WITH_INSTANCE()                                    \
    if (value < (lo) || value > (hi))                  \
      inst->error = CV_ERR_UNSUPPORTED_OPTION;         \
    else                                               \
      inst->field = value;                             \
  }                                                    \
  int16_t CV_Get##Name(CV_HANDLE handle) {             \
    WITH_INSTANCE(0)                                   \
    return inst->field;                                \
  }

#define STRING_PROPERTY(Name, field)                                \
  int32_t CV_Get##Name(CV_HANDLE handle, char* buf, int32_t size) { \
    WITH_INSTANCE(-1)                                               \
    return copyText(inst->field, buf, size);                        \
  }

extern "C" {

int16_t CV_GetFXError(CV_HANDLE handle) {
  return CV_GetImagError(handle);
}

void CV_SetFileName(CV_HANDLE handle, const char* fileName) {
  WITH_INSTANCE()
  const std::string name = fileName ? fileName : "";
  const std::string previousName = inst->file.fileName;
  inst->file.fileName = name;
  // A preview shown for this load is drawn while it runs and goes when it ends.
  struct DropPreview {
    Instance* inst;
    ~DropPreview() { inst->preview = Image{}; }
  } dropPreview{inst};
  if (name.empty()) {  // unload: the picture goes and no file stays open
    clearPicture(*inst);
    inst->error = CV_OK;
    return;
  }
  ProgressPoster poster{handle, inst, 0};
  Progress progress(&ProgressPoster::report, &poster, &ProgressPoster::cancel);
  poster.begin(kProgressLoad);
  Decoded decoded;
  int64_t fileSize = 0;
  const LoadOptions options = loadOptionsFor(*inst, &progress);
  ReadAheadPicture ready;
  int16_t rc;
  if (inst->readAhead && inst->readAhead->take(name, decodeOptionsOf(options), ready)) {
    // Read ahead: the load reports what the decode reported, in the same order.
    for (const int pct : ready.progress) progress(pct);
    decoded = std::move(ready.decoded);
    fileSize = ready.fileSize;
    rc = CV_OK;
  } else {
    rc = name.find("://") != std::string::npos
             ? CV_ERR_NOT_AVAILABLE  // no network loading on this platform
             : loadPictureFile(name, options, decoded, fileSize);
  }
  if (rc == CV_OK) rc = applyLoadCrop(inst->file, decoded.format, decoded.image);
  poster.totalBytes = fileSize;
  if (rc == CV_OK)
    adoptLoaded(*inst, decoded, fileSize);
  else if (keepsPictureAfter(*inst, rc))
    inst->file.fileName = previousName;
  else
    clearPicture(*inst);
  inst->error = rc;
  poster.end(rc);
}

STRING_PROPERTY(FileName, file.fileName)

void CV_ReadAhead(CV_HANDLE handle, const char* fileNames) {
  WITH_INSTANCE()
  std::vector<std::string> paths;
  const std::string names = fileNames ? fileNames : "";
  for (size_t start = 0; start < names.size();) {
    const size_t end = std::min(names.find('\n', start), names.size());
    const std::string path = names.substr(start, end - start);
    // Network names are not loaded; a name given twice is read once.
    if (!path.empty() && path.find("://") == std::string::npos &&
        std::find(paths.begin(), paths.end(), path) == paths.end())
      paths.push_back(path);
    start = end + 1;
  }
  inst->error = CV_OK;
  if (!inst->readAhead) {
    if (paths.empty()) return;
    inst->readAhead = std::make_unique<ReadAhead>();
    inst->readAhead->setLimit(inst->readAheadLimit);
  }
  inst->readAhead->want(std::move(paths), decodeOptionsOf(loadOptionsFor(*inst, nullptr)));
}

void CV_SetReadAheadLimit(CV_HANDLE handle, int32_t mebibytes) {
  WITH_INSTANCE()
  if (mebibytes < 0) {
    inst->error = CV_ERR_UNSUPPORTED_OPTION;
    return;
  }
  inst->readAheadLimit = int64_t(mebibytes) << 20;
  if (inst->readAhead) inst->readAhead->setLimit(inst->readAheadLimit);
}
int32_t CV_GetReadAheadLimit(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return int32_t(inst->readAheadLimit >> 20);
}
int32_t CV_GetReadAheadHeld(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->readAhead ? inst->readAhead->heldCount() : 0;
}
int32_t CV_GetReadAheadPeak(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  if (!inst->readAhead) return 0;
  return int32_t((inst->readAhead->peakBytes() + (1 << 20) - 1) >> 20);
}

void CV_LoadBuffer(CV_HANDLE handle, const void* data, int32_t size) {
  WITH_INSTANCE()
  ProgressPoster poster{handle, inst, size};
  Progress progress(&ProgressPoster::report, &poster, &ProgressPoster::cancel);
  poster.begin(kProgressLoad);
  Decoded decoded;
  int16_t rc = size < 0 ? CV_ERR_BAD_ARGUMENT
                        : loadPictureMemory(static_cast<const uint8_t*>(data), size_t(size),
                                            loadOptionsFor(*inst, &progress), decoded);
  if (rc == CV_OK) rc = applyLoadCrop(inst->file, decoded.format, decoded.image);
  if (rc == CV_OK) {
    inst->file.fileName.clear();
    adoptLoaded(*inst, decoded, size);
  } else if (!keepsPictureAfter(*inst, rc)) {
    inst->file.fileName.clear();
    clearPicture(*inst);
  }
  inst->error = rc;
  poster.end(rc);
}

void CV_SetPICPassword(CV_HANDLE handle, const char* password) {
  WITH_INSTANCE()
  inst->file.password = password ? password : "";
}
STRING_PROPERTY(PICPassword, file.password)

RANGE_PROPERTY(PageNbr, file.pageNbr, 0, INT16_MAX)

void CV_NumPages(CV_HANDLE handle, const char* fileName, int16_t* pages) {
  WITH_INSTANCE()
  int16_t count = 0;
  inst->error = countPages(fileName ? fileName : "", count);
  if (pages) *pages = count;
}

int32_t CV_GetIWidth(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->image.empty() ? 0 : inst->image.width;
}
int32_t CV_GetIHeight(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->image.empty() ? 0 : inst->image.height;
}
int16_t CV_GetIBPP(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->image.empty() ? 0 : inst->file.fileBpp ? inst->file.fileBpp : inst->image.bpp;
}
int16_t CV_GetIPBitsPixel(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->image.empty() ? 0 : inst->image.bpp;
}
int32_t CV_GetIFileSize(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->file.fileSize;
}
int16_t CV_GetIFormat(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->file.format;
}
int32_t CV_GetIResX(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return resolution(*inst, inst->image.xdpi);
}
int32_t CV_GetIResY(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return resolution(*inst, inst->image.ydpi);
}
int16_t CV_GetIResUnits(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->file.resUnits;
}
int16_t CV_GetNumPages(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->file.numPages;
}

void CV_UniqueColors(CV_HANDLE handle, int32_t* count) {
  WITH_INSTANCE()
  if (count) *count = 0;
  if (inst->image.empty()) {
    inst->error = CV_ERR_NO_IMAGE;
    return;
  }
  const int64_t n = countUniqueColors(inst->image);
  if (count) *count = int32_t(n);
  inst->error = CV_OK;
}

void CV_SetSaveFileName(CV_HANDLE handle, const char* fileName) {
  WITH_INSTANCE()
  inst->save.fileName = fileName ? fileName : "";
}
STRING_PROPERTY(SaveFileName, save.fileName)

void CV_SetSaveFileType(CV_HANDLE handle, int16_t type) {
  WITH_INSTANCE()
  const bool known = type == FT_DEFAULT || (type >= FT_TGA && type <= FT_JPG) || type == FT_PNG ||
                     (type >= FT_PPM && type <= FT_EPIC) || type == FT_LJP || type == FT_WEBP;
  if (!known)
    inst->error = CV_ERR_UNSUPPORTED_OPTION;
  else
    inst->save.fileType = type;
}
int16_t CV_GetSaveFileType(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->save.fileType;
}

void CV_SaveFile(CV_HANDLE handle) {
  WITH_INSTANCE()
  ProgressPoster poster{handle, inst, 0};
  Progress progress(&ProgressPoster::report, &poster, &ProgressPoster::cancel);
  poster.begin(kProgressSave);
  SaveOptions options = inst->save;
  options.password = inst->file.password;
  if (inst->save.toBuffer)
    saveToBuffer(*inst, &progress);
  else
    inst->error = savePicture(inst->image, options, &progress);
  poster.end(inst->error);
}

BOOL_PROPERTY(SaveMultiPage, save.multiPage)
RANGE_PROPERTY(SaveJPGChromFactor, save.jpgChromFactor, 1, 255)
RANGE_PROPERTY(SaveJPGLumFactor, save.jpgLumFactor, 0, 255)
BOOL_PROPERTY(SaveJPGProgressive, save.jpgProgressive)
BOOL_PROPERTY(SaveJPGGrayscale, save.jpgGrayscale)
RANGE_PROPERTY(SaveJPGSubSampling, save.jpgSubSampling, JPG_SubSampling420, JPG_SubSampling411)
BOOL_PROPERTY(SavePNGInterlaced, save.pngInterlaced)
BOOL_PROPERTY(SaveGIFInterlaced, save.gifInterlaced)
RANGE_PROPERTY(SaveGIFType, save.gifType, GIF_89a, GIF_87a)
BOOL_PROPERTY(SaveGIFTransparent, save.gifTransparent)
RANGE_PROPERTY(SaveTIFCompression, save.tifCompression, TIF_Uncompressed, TIF_CCITTFAX3_2D)
RANGE_PROPERTY(SavePBMType, save.pbmType, PNM_Binary, PNM_Ascii)
RANGE_PROPERTY(SavePGMType, save.pgmType, PNM_Binary, PNM_Ascii)
RANGE_PROPERTY(SavePPMType, save.ppmType, PNM_Binary, PNM_Ascii)
RANGE_PROPERTY(SaveWEBPQuality, save.webpQuality, 1, 100)
BOOL_PROPERTY(SaveWEBPLossless, save.webpLossless)
RANGE_PROPERTY(SaveLJPCompType, save.ljpCompType, INT16_MIN, INT16_MAX)
RANGE_PROPERTY(SaveLJPPrediction, save.ljpPrediction, INT16_MIN, INT16_MAX)
RANGE_PROPERTY(SaveLJPCompOrder, save.ljpCompOrder, INT16_MIN, INT16_MAX)
RANGE_PROPERTY(SaveLJPCompMethod, save.ljpCompMethod, INT16_MIN, INT16_MAX)

void CV_SetSaveGIFTColor(CV_HANDLE handle, uint32_t color) {
  WITH_INSTANCE()
  inst->save.gifTColor = color & 0x00FFFFFF;
}
uint32_t CV_GetSaveGIFTColor(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->save.gifTColor;
}

CV_HDIB CV_GetHDib(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  releaseDib(inst->dibHandle);
  if (!inst->image.empty()) inst->dibHandle = dibFromImage(inst->image);
  return inst->dibHandle;
}

void CV_SetHDib(CV_HANDLE handle, CV_HDIB dib) {
  WITH_INSTANCE()
  Image image;
  const int16_t rc = imageFromDib(dib, image);
  if (rc != CV_OK) {
    inst->error = rc;  // an unusable handle changes nothing; it stays the caller's
    return;
  }
  if (dib == inst->dibHandle) inst->dibHandle = 0;
  dibFree(dib);
  inst->image = std::move(image);
  inst->file.fileBpp = inst->image.bpp;
  inst->error = CV_OK;
}

void CV_CopyDib(CV_HANDLE handle, CV_HDIB* dib) {
  WITH_INSTANCE()
  if (dib) *dib = 0;
  if (inst->image.empty()) {
    inst->error = CV_ERR_NO_IMAGE;
    return;
  }
  const CV_HDIB copy = dibFromImage(inst->image);
  inst->error = copy ? CV_OK : CV_ERR_OUT_OF_MEMORY;
  if (dib) *dib = copy;
}

CV_HDIB CV_GetHDibUndo(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  releaseDib(inst->undoDibHandle);
  if (inst->hasUndo && !inst->undo.empty()) inst->undoDibHandle = dibFromImage(inst->undo);
  return inst->undoDibHandle;
}

void CV_CreateDib(CV_HANDLE handle, int32_t width, int32_t height, int16_t bits, uint32_t color) {
  WITH_INSTANCE()
  inst->createWidth = width, inst->createHeight = height, inst->createBits = bits;
  inst->createColor = color;
  Image image;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) {
    inst->error = CV_ERR_BAD_ARGUMENT;
    return;
  }
  if (width <= 0 || height <= 0) {
    inst->error = CV_ERR_BAD_ARGUMENT;
    return;
  }
  const int16_t rc = allocImage(image, width, height, bits);
  if (rc != CV_OK) {
    inst->error = rc;
    return;
  }
  fillNewPicture(image, color);
  inst->image = std::move(image);
  inst->file.fileBpp = int16_t(bits);
  inst->error = CV_OK;
}

int32_t CV_GetIPCreateWidth(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->createWidth;
}
int32_t CV_GetIPCreateHeight(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->createHeight;
}
int16_t CV_GetIPCreateBits(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->createBits;
}
uint32_t CV_GetIPCreateColor(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->createColor;
}

void CV_SetPostMessage(CV_HANDLE handle, CV_PostMessageFn post, void* context) {
  WITH_INSTANCE()
  inst->progress.post = post;
  inst->progress.context = context;
}
void CV_SetProgressMessages(CV_HANDLE handle, uint32_t progress, uint32_t asyncProgress) {
  WITH_INSTANCE()
  inst->progress.progressMessage = progress;
  inst->progress.asyncMessage = asyncProgress;
}
BOOL_PROPERTY(ProgressEnabled, progress.enabled)
int16_t CV_GetProgressId(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->progress.id;
}
int16_t CV_GetProgressPct(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->progress.pct;
}
int32_t CV_GetAsyncBytesProcessed(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->progress.bytesDone;
}
int32_t CV_GetAsyncTotalBytes(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->progress.bytesTotal;
}
int16_t CV_GetAsyncDone(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return boolOut(inst->progress.done);
}
int16_t CV_GetAsyncError(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->progress.asyncError;
}

}  // extern "C"
