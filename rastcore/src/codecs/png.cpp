// PNG through libpng. As with JPEG, libpng's longjmp error path is confined to trampolines
// that keep no C++ object alive across the setjmp.
#include <csetjmp>
#include <cstring>
#include <new>

#include <sys/stat.h>

#include <png.h>

#include "fileformat/checked.h"
#include "fileformat/codec.h"

namespace rastcore {
namespace {

struct PngReader {
  const uint8_t* data;
  size_t size;
  size_t pos;
  FILE* file;
  bool truncated;
  bool rowsDone;  // every row was read: what follows the image data is not needed
};

void readBytes(png_structp png, png_bytep dst, png_size_t n) {
  auto* r = static_cast<PngReader*>(png_get_io_ptr(png));
  if (r->file) {
    if (std::fread(dst, 1, n, r->file) != n) {
      r->truncated = true;
      png_error(png, "truncated");
    }
    return;
  }
  if (n > r->size - r->pos) {
    r->truncated = true;
    png_error(png, "truncated");
  }
  std::memcpy(dst, r->data + r->pos, n);
  r->pos += n;
}

void onPngError(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

void onPngReadError(png_structp png, png_const_charp message) {
  // The image data ending before the picture does is a cut file, not damage.
  auto* r = static_cast<PngReader*>(png_get_io_ptr(png));
  if (r && message && std::strstr(message, "Not enough image data")) r->truncated = true;
  png_longjmp(png, 1);
}

// Deflate turns at most about 1032 bytes into one, so the file must hold at least that share
// of the rows it declares.
bool fileCanHold(png_structp png, png_infop info, int64_t fileSize) {
  if (fileSize < 0) return true;
  const uint64_t rowBytes = (uint64_t(png_get_image_width(png, info)) *
                                 png_get_bit_depth(png, info) * png_get_channels(png, info) +
                             7) /
                            8;
  return uint64_t(fileSize) >= (rowBytes + 1) * png_get_image_height(png, info) / 1100;
}

int64_t inputSize(const PngReader& r) {
  if (!r.file) return int64_t(r.size);
  struct stat st {};
  return ::fstat(fileno(r.file), &st) == 0 ? int64_t(st.st_size) : -1;
}
void onPngWarning(png_structp, png_const_charp) {}

struct PngLayout {
  int bpp;           // bits per pixel of the engine picture
  bool greyPalette;  // fill a grey ramp instead of reading PLTE
};

// Chooses the transformations that bring every PNG variant to an engine depth.
PngLayout setTransforms(png_structp png, png_infop info) {
  const int type = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  const bool trns = png_get_valid(png, info, PNG_INFO_tRNS);
  if (depth == 16) png_set_scale_16(png);  // rounds, where strip_16 would truncate
  if (type == PNG_COLOR_TYPE_PALETTE && !trns) {
    if (depth == 2) png_set_packing(png);
    return {depth == 2 ? 8 : depth, false};
  }
  if (type == PNG_COLOR_TYPE_GRAY && !trns) {
    if (depth == 2) png_set_expand_gray_1_2_4_to_8(png);
    return {depth == 2 || depth == 16 ? 8 : depth, true};
  }
  // Everything else becomes B, G, R(, A).
  png_set_expand(png);  // palette to RGB, grey below 8 bits to 8, tRNS to alpha
  if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_bgr(png);
  const bool alpha = trns || (type & PNG_COLOR_MASK_ALPHA);
  return {alpha ? 32 : 24, false};
}

void readPalette(png_structp png, png_infop info, Image& image) {
  png_colorp colors = nullptr;
  int count = 0;
  png_get_PLTE(png, info, &colors, &count);
  for (int i = 0; i < count && size_t(i) < image.palette.size(); ++i)
    image.palette[size_t(i)] = Rgbq{colors[i].blue, colors[i].green, colors[i].red, 0};
}

void readResolution(png_structp png, png_infop info, Decoded& out) {
  png_uint_32 rx = 0, ry = 0;
  int unit = 0;
  if (png_get_pHYs(png, info, &rx, &ry, &unit) && unit == PNG_RESOLUTION_METER && rx && ry) {
    out.image.xdpi = rx * 0.0254;
    out.image.ydpi = ry * 0.0254;
  }
}

int16_t readPng(png_structp png, png_infop info, PngReader* reader, Decoded* out,
                Progress* progress) {
  if (setjmp(png_jmpbuf(png))) {
    // Libraries and viewers read a picture whose rows are all there even when the end
    // chunk is missing or damaged, or bytes follow it.
    if (reader->rowsDone) {
      readResolution(png, info, *out);
      return CV_OK;
    }
    return reader->truncated ? CV_ERR_TRUNCATED : CV_ERR_DAMAGED;
  }
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (!sizeAllowed(width, height)) return CV_ERR_TOO_LARGE;
  if (!fileCanHold(png, info, inputSize(*reader))) return CV_ERR_TRUNCATED;
  out->fileBpp = int16_t(png_get_bit_depth(png, info) * png_get_channels(png, info));
  const PngLayout layout = setTransforms(png, info);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) > out->image.strideFor(int32_t(width), int16_t(layout.bpp)))
    return CV_ERR_DAMAGED;
  const int16_t rc = allocImage(out->image, width, height, layout.bpp);
  if (rc != CV_OK) return rc;
  if (layout.bpp <= 8)
    layout.greyPalette ? setGreyPalette(out->image) : readPalette(png, info, out->image);
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) {
      png_read_row(png, out->image.row(int(y)), nullptr);
      if (progress &&
          progress->rowsThenCancelled(int64_t(pass) * height + y + 1, int64_t(passes) * height))
        return CV_ERR_CANCELLED;
    }
  }
  reader->rowsDone = true;
  png_read_end(png, nullptr);
  readResolution(png, info, *out);
  return CV_OK;
}

struct PngWriter {
  std::vector<uint8_t>* out;
  bool outOfMemory;
};

void writeBytes(png_structp png, png_bytep src, png_size_t n) {
  auto* w = static_cast<PngWriter*>(png_get_io_ptr(png));
  try {
    w->out->insert(w->out->end(), src, src + n);
  } catch (const std::bad_alloc&) {
    w->outOfMemory = true;
    png_error(png, "out of memory");
  }
}

void flushBytes(png_structp) {}

int16_t writePng(png_structp png, png_infop info, const Image* img, const SaveOptions* options,
                 PngWriter* writer, png_color* palette, Progress* progress) {
  if (setjmp(png_jmpbuf(png))) return writer->outOfMemory ? CV_ERR_OUT_OF_MEMORY : CV_ERR_INTERNAL;
  png_set_write_fn(png, writer, writeBytes, flushBytes);
  const int type = img->bpp <= 8    ? PNG_COLOR_TYPE_PALETTE
                   : img->bpp == 32 ? PNG_COLOR_TYPE_RGB_ALPHA
                                    : PNG_COLOR_TYPE_RGB;
  const int depth = img->bpp <= 8 ? img->bpp : 8;
  png_set_IHDR(png, info, png_uint_32(img->width), png_uint_32(img->height), depth, type,
               options->pngInterlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (img->bpp <= 8) {
    const size_t n = img->palette.size() > 256 ? 256 : img->palette.size();
    for (size_t i = 0; i < n; ++i)
      palette[i] = png_color{img->palette[i].r, img->palette[i].g, img->palette[i].b};
    png_set_PLTE(png, info, palette, int(n));
  }
  png_set_pHYs(png, info, png_uint_32(img->xdpi / 0.0254 + 0.5),
               png_uint_32(img->ydpi / 0.0254 + 0.5), PNG_RESOLUTION_METER);
  png_set_compression_level(png, 6);
  png_write_info(png, info);
  if (img->bpp > 8) png_set_bgr(png);
  const int passes = png_set_interlace_handling(png);
  for (int pass = 0; pass < passes; ++pass) {
    for (int y = 0; y < img->height; ++y) {
      png_write_row(png, img->row(y));
      if (progress)
        progress->rows(int64_t(pass) * img->height + y + 1, int64_t(passes) * img->height);
    }
  }
  png_write_end(png, info);
  return CV_OK;
}

}  // namespace

bool sniffPng(const uint8_t* d, size_t n) {
  return n >= 8 && std::memcmp(d, "\x89PNG\r\n\x1a\n", 8) == 0;
}

int16_t decodePng(const LoadRequest& request, Decoded& out) {
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngReadError, onPngWarning);
  if (!png) return CV_ERR_OUT_OF_MEMORY;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return CV_ERR_OUT_OF_MEMORY;
  }
  png_set_user_limits(png, CV_MAX_DIMENSION, CV_MAX_DIMENSION);
  png_set_chunk_malloc_max(png, 64u << 20);
  PngReader reader{request.data, request.size, 0, request.file, false, false};
  png_set_read_fn(png, &reader, readBytes);
  const int16_t rc = readPng(png, info, &reader, &out, request.progress);
  png_destroy_read_struct(&png, &info, nullptr);
  out.format = FT_PNG;
  return rc;
}

int16_t encodePng(const EncodeRequest& request, std::vector<uint8_t>& out) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
  if (!png) return CV_ERR_OUT_OF_MEMORY;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return CV_ERR_OUT_OF_MEMORY;
  }
  PngWriter writer{&out, false};
  png_color palette[256];
  const int16_t rc =
      writePng(png, info, request.image, request.options, &writer, palette, request.progress);
  png_destroy_write_struct(&png, &info);
  return rc;
}

}  // namespace rastcore
