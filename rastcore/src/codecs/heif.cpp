// HEIF (HEIC) and AVIF through libheif: the primary picture, upright (libheif applies the
// file's rotation, mirroring and crop), 8 or more bits per channel brought to 8, with alpha.
// The EXIF orientation some cameras add as well is not applied again: the format says the
// transform properties alone decide.
#include <cstring>
#include <memory>

#include <libheif/heif.h>

#include "fileformat/checked.h"
#include "fileformat/codec.h"

namespace rastcore {
namespace {

struct ContextFree {
  void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleFree {
  void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageFree {
  void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsFree {
  void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

bool isBrand(const uint8_t* p, const char* brand) {
  return std::memcmp(p, brand, 4) == 0;
}

// The ftyp box's major brand and (as far as the bytes reach) its compatible brands.
bool hasFtypBrand(const uint8_t* d, size_t n, const char* const* brands, bool compatibleToo) {
  if (n < 12 || std::memcmp(d + 4, "ftyp", 4) != 0) return false;
  const size_t boxSize = (size_t(d[0]) << 24) | (size_t(d[1]) << 16) | (size_t(d[2]) << 8) | d[3];
  for (const char* const* b = brands; *b; ++b)
    if (isBrand(d + 8, *b)) return true;
  if (!compatibleToo) return false;
  const size_t end = boxSize < n ? boxSize : n;
  for (size_t at = 16; at + 4 <= end; at += 4)
    for (const char* const* b = brands; *b; ++b)
      if (isBrand(d + at, *b)) return true;
  return false;
}

const char* const kAvifBrands[] = {"avif", "avis", nullptr};
const char* const kHeicBrands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx",
                                   "hevm", "hevs", "mif1", "msf1", nullptr};
const char* const kGenericBrands[] = {"mif1", "msf1", nullptr};

int16_t errorFor(const heif_error& err) {
  switch (err.code) {
    case heif_error_Ok:
      return CV_OK;
    case heif_error_Memory_allocation_error:
      return CV_ERR_OUT_OF_MEMORY;
    case heif_error_Unsupported_filetype:
    case heif_error_Unsupported_feature:
      return CV_ERR_UNSUPPORTED_FEATURE;
    case heif_error_Invalid_input:
      return err.subcode == heif_suberror_End_of_data ? CV_ERR_TRUNCATED : CV_ERR_DAMAGED;
    case heif_error_Usage_error:
      return CV_ERR_INTERNAL;
    default:
      return CV_ERR_DAMAGED;
  }
}

// Alpha stored premultiplied is divided out: the engine's pictures carry straight alpha.
void unpremultiply(uint8_t* bgra, int width) {
  for (int x = 0; x < width; ++x, bgra += 4) {
    const unsigned a = bgra[3];
    if (a == 0 || a == 255) continue;
    for (int c = 0; c < 3; ++c) {
      const unsigned v = (bgra[c] * 255u + a / 2) / a;
      bgra[c] = uint8_t(v > 255 ? 255 : v);
    }
  }
}

// 8-bit interleaved R, G, B(, A) rows to the engine's B, G, R(, A).
void copyRows8(const uint8_t* src, int srcStride, int channels, Image& image) {
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* s = src + size_t(y) * size_t(srcStride);
    uint8_t* d = image.row(y);
    for (int x = 0; x < image.width; ++x, s += channels, d += channels) {
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
      if (channels == 4) d[3] = s[3];
    }
  }
}

// Little-endian samples of `bits` bits, rounded to 8.
void copyRowsHigh(const uint8_t* src, int srcStride, int channels, int bits, Image& image) {
  const uint32_t maxIn = (1u << bits) - 1;
  auto to8 = [maxIn](const uint8_t* p) {
    const uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8;
    return uint8_t(((v > maxIn ? maxIn : v) * 255u + maxIn / 2) / maxIn);
  };
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* s = src + size_t(y) * size_t(srcStride);
    uint8_t* d = image.row(y);
    for (int x = 0; x < image.width; ++x, s += channels * 2, d += channels) {
      d[0] = to8(s + 4);
      d[1] = to8(s + 2);
      d[2] = to8(s);
      if (channels == 4) d[3] = to8(s + 6);
    }
  }
}

int16_t decodePrimary(heif_context* ctx, const LoadRequest& request, Decoded& out) {
  heif_image_handle* rawHandle = nullptr;
  int16_t rc = errorFor(heif_context_get_primary_image_handle(ctx, &rawHandle));
  std::unique_ptr<heif_image_handle, HandleFree> handle(rawHandle);
  if (rc != CV_OK) return rc;
  if (!sizeAllowed(heif_image_handle_get_width(handle.get()),
                   heif_image_handle_get_height(handle.get())))
    return CV_ERR_TOO_LARGE;
  const bool alpha = heif_image_handle_has_alpha_channel(handle.get());
  const int bits = heif_image_handle_get_luma_bits_per_pixel(handle.get());
  const bool high = bits > 8;
  const heif_chroma chroma =
      high ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
           : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
  std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
  if (!options) return CV_ERR_OUT_OF_MEMORY;
  heif_image* rawImage = nullptr;
  rc = errorFor(
      heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, chroma, options.get()));
  std::unique_ptr<heif_image, ImageFree> image(rawImage);
  if (rc != CV_OK) return rc;
  const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
  const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
  int srcStride = 0;
  const uint8_t* src =
      heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &srcStride);
  const int planeBits = heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved);
  if (!src || planeBits <= 0 || planeBits > 16 || (planeBits > 8) != high) return CV_ERR_DAMAGED;
  const int channels = alpha ? 4 : 3;
  rc = allocImage(out.image, width, height, alpha ? 32 : 24);
  if (rc != CV_OK) return rc;
  if (size_t(srcStride) < size_t(width) * size_t(channels) * (high ? 2 : 1)) return CV_ERR_DAMAGED;
  if (high)
    copyRowsHigh(src, srcStride, channels, planeBits, out.image);
  else
    copyRows8(src, srcStride, channels, out.image);
  if (alpha && heif_image_handle_is_premultiplied_alpha(handle.get()))
    for (int y = 0; y < out.image.height; ++y) unpremultiply(out.image.row(y), out.image.width);
  out.fileBpp = int16_t(bits > 0 ? bits * channels : channels * 8);
  if (request.progress) (*request.progress)(100);
  return CV_OK;
}

}  // namespace

bool sniffAvif(const uint8_t* d, size_t n) {
  return hasFtypBrand(d, n, kAvifBrands, false) ||
         (hasFtypBrand(d, n, kGenericBrands, false) && hasFtypBrand(d, n, kAvifBrands, true));
}

bool sniffHeif(const uint8_t* d, size_t n) {
  return !sniffAvif(d, n) && hasFtypBrand(d, n, kHeicBrands, false);
}

// Serves both HEIC and AVIF; the format reported follows the file's brands.
int16_t decodeHeif(const LoadRequest& request, Decoded& out) {
  out.format = sniffAvif(request.data, request.size) ? FT_AVIF : FT_HEIC;
  if (request.size == 0) return CV_ERR_TRUNCATED;
  std::unique_ptr<heif_context, ContextFree> ctx(heif_context_alloc());
  if (!ctx) return CV_ERR_OUT_OF_MEMORY;
  heif_context_set_maximum_image_size_limit(ctx.get(), CV_MAX_DIMENSION);
  int16_t rc = errorFor(
      heif_context_read_from_memory_without_copy(ctx.get(), request.data, request.size, nullptr));
  if (rc == CV_OK) rc = decodePrimary(ctx.get(), request, out);
  return rc;
}

}  // namespace rastcore
