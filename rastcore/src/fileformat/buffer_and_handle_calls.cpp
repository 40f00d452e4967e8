// The rest of the loading, saving, information and picture-handle families: thumbnail and
// crop loading of JPEG and ePIC files, saving into a buffer, pixel access through the picture,
// and the bitmap and palette handles.
#include <algorithm>
#include <cstring>
#include <string>

#include "fileformat/bytes.h"
#include "fileformat/checked.h"
#include "fileformat/colors.h"
#include "fileformat/dib.h"
#include "fileformat/io.h"
#include "fileformat/load_save_steps.h"
#include "instance.h"
#include "rastcore3_ops.h"

using namespace rastcore;

namespace {

bool inside(const Image& image, int32_t x, int32_t y) {
  return !image.empty() && x >= 0 && y >= 0 && x < image.width && y < image.height;
}

int nearestIndex(const Image& image, uint32_t color) {
  const int r = int(color & 0xFF), g = int(color >> 8 & 0xFF), b = int(color >> 16 & 0xFF);
  int best = 0, bestDistance = INT32_MAX;
  for (size_t i = 0; i < image.palette.size(); ++i) {
    const Rgbq& c = image.palette[i];
    const int d = (c.r - r) * (c.r - r) + (c.g - g) * (c.g - g) + (c.b - b) * (c.b - b);
    if (d < bestDistance) bestDistance = d, best = int(i);
  }
  return best;
}

}  // namespace

namespace rastcore {

// The scale a JPEG or ePIC load uses for PICThumbnail (1/4, 1/16 or 1/64 of the area).
int thumbnailDenominator(const FileState& file) {
  return file.thumbnail == 1 ? 2 : file.thumbnail == 2 ? 4 : file.thumbnail == 3 ? 8 : 1;
}

// Applies PICCropEnabled to a JPEG or ePIC picture just loaded: the rectangle, clipped to the
// picture, becomes the picture; a rectangle outside it is an error.
int16_t applyLoadCrop(const FileState& file, int16_t format, Image& image) {
  if (!file.cropEnabled || (format != FT_JPG && format != FT_EPIC)) return CV_OK;
  const int x0 = std::max<int>(file.cropX, 0), y0 = std::max<int>(file.cropY, 0);
  const int x1 = std::min<int>(image.width, file.cropX + file.cropWidth);
  const int y1 = std::min<int>(image.height, file.cropY + file.cropHeight);
  if (x1 <= x0 || y1 <= y0) return CV_ERR_BAD_ARGUMENT;
  Image out;
  const int16_t rc = allocImage(out, x1 - x0, y1 - y0, image.bpp);
  if (rc != CV_OK) return rc;
  out.palette = image.palette;
  out.xdpi = image.xdpi, out.ydpi = image.ydpi;
  for (int y = y0; y < y1; ++y) {
    if (image.bpp >= 8) {
      const size_t bytes = size_t(image.bpp / 8);
      std::memcpy(out.row(y - y0), image.row(y) + size_t(x0) * bytes, size_t(x1 - x0) * bytes);
    } else {
      for (int x = x0; x < x1; ++x)
        setIndexAt(out.row(y - y0), x - x0, image.bpp, indexAt(image.row(y), x, image.bpp));
    }
  }
  image = std::move(out);
  return CV_OK;
}

// With SaveToBuffer on, SaveFile lands here: the encoded file goes into a new handle.
void saveToBuffer(Instance& inst, Progress* progress) {
  std::vector<uint8_t> bytes;
  SaveOptions options = inst.save;
  options.password = inst.file.password;
  inst.error = encodePicture(inst.image, options, progress, bytes);
  if (inst.error != CV_OK) return;
  const uint32_t block = bytes.size() <= UINT32_MAX ? dibAlloc(uint32_t(bytes.size())) : 0;
  if (!block) {
    inst.error = CV_ERR_OUT_OF_MEMORY;
    return;
  }
  std::memcpy(dibLock(block, nullptr), bytes.data(), bytes.size());
  dibFree(inst.save.bufferHandle);
  inst.save.bufferHandle = block;
}

}  // namespace rastcore

#define WITH_INSTANCE(fallback)         \
  Instance* inst = instanceFor(handle); \
  if (!inst) return fallback;

#define BOOL_FIELD(Name, field)                     \
  int16_t CV_Get##Name(CV_HANDLE handle) {          \
    WITH_INSTANCE(0)                                \
    return inst->field ? -1 : 0;                    \
  }                                                 \
  void CV_Set##Name(CV_HANDLE handle, int16_t on) { \
    WITH_INSTANCE()                                 \
    inst->field = on != 0;                          \
  }

#define I2_FIELD(Name, field, lo, hi)                  \
  int16_t CV_Get##Name(CV_HANDLE handle) {             \
    WITH_INSTANCE(0)                                   \
    return inst->field;                                \
  }                                                    \
  void CV_Set##Name(CV_HANDLE handle, int16_t value) { \
    WITH_INSTANCE()                                    \
    if (value < (lo) || value > (hi))                  \
      inst->error = CV_ERR_UNSUPPORTED_OPTION;         \
    else                                               \
      inst->field = value;                             \
  }

#define STR_FIELD(Name, field)                                      \
  int32_t CV_Get##Name(CV_HANDLE handle, char* buf, int32_t size) { \
    WITH_INSTANCE(-1)                                               \
    return copyText(inst->field, buf, size);                        \
  }                                                                 \
  void CV_Set##Name(CV_HANDLE handle, const char* value) {          \
    WITH_INSTANCE()                                                 \
    inst->field = value ? value : "";                               \
  }

extern "C" {

BOOL_FIELD(CancelLoad, file.cancelLoad)
BOOL_FIELD(CancelRemove, file.cancelRemove)
I2_FIELD(CancelMode, file.cancelMode, 0, 9)
STR_FIELD(LZWPassword, file.lzwPassword)
STR_FIELD(FTPUserName, file.ftpUserName)
STR_FIELD(FTPPassword, file.ftpPassword)
STR_FIELD(ProxyServer, file.proxyServer)
STR_FIELD(TwainProductFamily, file.twainProductFamily)
STR_FIELD(TwainManufacturer, file.twainManufacturer)
STR_FIELD(TwainProductName, file.twainProductName)
STR_FIELD(TwainVersionInfo, file.twainVersionInfo)
I2_FIELD(PICThumbnail, file.thumbnail, 0, 3)
BOOL_FIELD(PICCropEnabled, file.cropEnabled)
I2_FIELD(PICCropX, file.cropX, 0, INT16_MAX)
I2_FIELD(PICCropY, file.cropY, 0, INT16_MAX)
I2_FIELD(PICCropWidth, file.cropWidth, 0, INT16_MAX)
I2_FIELD(PICCropHeight, file.cropHeight, 0, INT16_MAX)
BOOL_FIELD(SaveToBuffer, save.toBuffer)

uint32_t CV_GetSaveBufferHandle(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->save.bufferHandle;
}

void CV_DeleteSaveBuffer(CV_HANDLE handle) {
  WITH_INSTANCE()
  dibFree(inst->save.bufferHandle);
  inst->save.bufferHandle = 0;
  inst->error = CV_OK;
}

int32_t CV_GetImagWidth(CV_HANDLE handle) {
  return CV_GetIWidth(handle);
}
int32_t CV_GetImagHeight(CV_HANDLE handle) {
  return CV_GetIHeight(handle);
}
int32_t CV_GetFXWidth(CV_HANDLE handle) {
  return CV_GetIWidth(handle);
}
int32_t CV_GetFXHeight(CV_HANDLE handle) {
  return CV_GetIHeight(handle);
}

int32_t CV_GetRGBColorCount(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return int32_t(countUniqueColors(inst->image));
}

uint32_t CV_GetHBmp(CV_HANDLE handle) {
  return CV_GetHDib(handle);
}

uint32_t CV_GetHPal(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  dibFree(inst->file.paletteHandle);
  inst->file.paletteHandle = 0;
  if (inst->image.empty() || inst->image.bpp > 8) return 0;
  const size_t bytes = inst->image.palette.size() * sizeof(Rgbq);
  inst->file.paletteHandle = dibAlloc(uint32_t(bytes));
  if (inst->file.paletteHandle)
    std::memcpy(dibLock(inst->file.paletteHandle, nullptr), inst->image.palette.data(), bytes);
  return inst->file.paletteHandle;
}

uint32_t CV_GetPRGBColors(CV_HANDLE handle) {
  return CV_GetHPal(handle);
}

void CV_BitmapToDib(CV_HANDLE handle, uint32_t bitmap, uint32_t palette, CV_HDIB* dib) {
  WITH_INSTANCE()
  if (dib) *dib = 0;
  Image image;
  inst->error = imageFromDib(bitmap, image);
  if (inst->error != CV_OK) return;
  // A palette block (as HPal gives) replaces the bitmap's own colours.
  uint32_t size = 0;
  if (const uint8_t* colors = palette ? dibLock(palette, &size) : nullptr) {
    const size_t n = std::min(image.palette.size(), size_t(size) / sizeof(Rgbq));
    std::memcpy(image.palette.data(), colors, n * sizeof(Rgbq));
  }
  const CV_HDIB copy = dibFromImage(image);
  inst->error = copy ? CV_OK : CV_ERR_OUT_OF_MEMORY;
  if (dib) *dib = copy;
}

void CV_DibUpdate(CV_HANDLE handle) {
  WITH_INSTANCE()
  // The caller changed the bytes behind the engine's hDib: the picture takes them over.
  Image image;
  inst->error = inst->dibHandle ? imageFromDib(inst->dibHandle, image) : CV_ERR_BAD_HANDLE;
  if (inst->error == CV_OK) inst->image = std::move(image);
}

void CV_DibGetPixel(CV_HANDLE handle, int32_t x, int32_t y, uint32_t* color) {
  WITH_INSTANCE()
  inst->file.pixelX = x, inst->file.pixelY = y;
  if (color) *color = 0;
  if (!inside(inst->image, x, y)) {
    inst->error = inst->image.empty() ? CV_ERR_NO_IMAGE : CV_ERR_BAD_ARGUMENT;
    return;
  }
  const Image& img = inst->image;
  Rgbq c;
  if (img.bpp <= 8) {
    c = img.palette[size_t(indexAt(img.row(y), x, img.bpp)) % img.palette.size()];
  } else {
    const uint8_t* p = img.row(y) + size_t(x) * size_t(img.bpp / 8);
    c = Rgbq{p[0], p[1], p[2], 0};
  }
  if (color) *color = uint32_t(c.r) | uint32_t(c.g) << 8 | uint32_t(c.b) << 16;
  inst->error = CV_OK;
}

void CV_DibSetPixel(CV_HANDLE handle, int32_t x, int32_t y, uint32_t color) {
  WITH_INSTANCE()
  inst->file.pixelX = x, inst->file.pixelY = y;
  if (!inside(inst->image, x, y)) {
    inst->error = inst->image.empty() ? CV_ERR_NO_IMAGE : CV_ERR_BAD_ARGUMENT;
    return;
  }
  Image& img = inst->image;
  if (img.bpp <= 8) {
    setIndexAt(img.row(y), x, img.bpp, nearestIndex(img, color));
  } else {
    uint8_t* p = img.row(y) + size_t(x) * size_t(img.bpp / 8);
    p[0] = uint8_t(color >> 16), p[1] = uint8_t(color >> 8), p[2] = uint8_t(color);
  }
  inst->error = CV_OK;
}

void CV_DibGetPalIndex(CV_HANDLE handle, int32_t x, int32_t y, int16_t* index) {
  WITH_INSTANCE()
  inst->file.pixelX = x, inst->file.pixelY = y;
  if (index) *index = 0;
  if (!inside(inst->image, x, y) || inst->image.bpp > 8) {
    inst->error = inst->image.empty() ? CV_ERR_NO_IMAGE : CV_ERR_BAD_ARGUMENT;
    return;
  }
  inst->file.palIndex = int16_t(indexAt(inst->image.row(y), x, inst->image.bpp));
  if (index) *index = inst->file.palIndex;
  inst->error = CV_OK;
}

void CV_DibSetPalIndex(CV_HANDLE handle, int32_t x, int32_t y, int16_t index) {
  WITH_INSTANCE()
  inst->file.pixelX = x, inst->file.pixelY = y, inst->file.palIndex = index;
  if (!inside(inst->image, x, y) || inst->image.bpp > 8 || index < 0 ||
      size_t(index) >= inst->image.palette.size()) {
    inst->error = inst->image.empty() ? CV_ERR_NO_IMAGE : CV_ERR_BAD_ARGUMENT;
    return;
  }
  setIndexAt(inst->image.row(y), x, inst->image.bpp, index);
  inst->error = CV_OK;
}

int32_t CV_GetIPPixelX(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->file.pixelX;
}
int32_t CV_GetIPPixelY(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->file.pixelY;
}
int16_t CV_GetIPPalIndex(CV_HANDLE handle) {
  WITH_INSTANCE(0)
  return inst->file.palIndex;
}

}  // extern "C"
