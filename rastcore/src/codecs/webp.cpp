// WebP through libwebp. Still pictures (lossy, lossless, with or without alpha) decode
// straight into the engine's rows; animations go through libwebpdemux, which composites each
// frame onto the canvas as the format says, and every frame is a page. Saving writes one still
// picture, lossy at the quality asked for or lossless.
#include <cstring>
#include <memory>

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>

#include "fileformat/checked.h"
#include "fileformat/codec.h"

namespace rastcore {
namespace {

int16_t errorFor(VP8StatusCode status) {
  switch (status) {
    case VP8_STATUS_OK:
      return CV_OK;
    case VP8_STATUS_OUT_OF_MEMORY:
      return CV_ERR_OUT_OF_MEMORY;
    case VP8_STATUS_NOT_ENOUGH_DATA:
      return CV_ERR_TRUNCATED;
    case VP8_STATUS_UNSUPPORTED_FEATURE:
      return CV_ERR_UNSUPPORTED_FEATURE;
    default:
      return CV_ERR_DAMAGED;
  }
}

// The canvas size of an extended-format file, which libwebp would only call inconsistent when
// it is huge and the picture inside small; false when the file has no VP8X chunk.
bool extendedCanvas(const uint8_t* d, size_t n, uint32_t& width, uint32_t& height) {
  if (n < 30 || std::memcmp(d + 12, "VP8X", 4) != 0) return false;
  width = 1 + (uint32_t(d[24]) | uint32_t(d[25]) << 8 | uint32_t(d[26]) << 16);
  height = 1 + (uint32_t(d[27]) | uint32_t(d[28]) << 8 | uint32_t(d[29]) << 16);
  return true;
}

int16_t decodeStill(const LoadRequest& request, const WebPBitstreamFeatures& features,
                    Decoded& out) {
  if (request.page > 0) return CV_ERR_NO_PAGE;
  if (!sizeAllowed(features.width, features.height)) return CV_ERR_TOO_LARGE;
  const bool alpha = features.has_alpha;
  int16_t rc = allocImage(out.image, features.width, features.height, alpha ? 32 : 24);
  if (rc != CV_OK) return rc;
  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config)) return CV_ERR_INTERNAL;
  config.options.use_threads = 1;
  config.output.colorspace = alpha ? MODE_BGRA : MODE_BGR;
  config.output.is_external_memory = 1;
  config.output.u.RGBA.rgba = out.image.pixels.data();
  config.output.u.RGBA.stride = int(out.image.stride());
  config.output.u.RGBA.size = out.image.pixels.size();
  rc = errorFor(WebPDecode(request.data, request.size, &config));
  WebPFreeDecBuffer(&config.output);
  out.fileBpp = alpha ? 32 : 24;
  return rc;
}

struct DemuxFree {
  void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};
struct AnimFree {
  void operator()(WebPAnimDecoder* d) const { WebPAnimDecoderDelete(d); }
};

int16_t decodeAnimation(const LoadRequest& request, Decoded& out) {
  const WebPData data{request.data, request.size};
  // The demuxer reads the canvas size and frame count without taking the canvas's memory.
  WebPDemuxState state;
  const std::unique_ptr<WebPDemuxer, DemuxFree> demux(WebPDemuxPartial(&data, &state));
  if (!demux || state != WEBP_DEMUX_DONE)
    return state == WEBP_DEMUX_PARSED_HEADER || state == WEBP_DEMUX_PARSING_HEADER
               ? CV_ERR_TRUNCATED
               : CV_ERR_DAMAGED;
  const uint32_t width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
  const uint32_t height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
  const uint32_t frames = WebPDemuxGetI(demux.get(), WEBP_FF_FRAME_COUNT);
  if (!sizeAllowed(width, height)) return CV_ERR_TOO_LARGE;
  if (frames == 0) return CV_ERR_DAMAGED;
  if (uint32_t(request.page) >= frames) return CV_ERR_NO_PAGE;
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) return CV_ERR_INTERNAL;
  options.color_mode = MODE_BGRA;
  options.use_threads = 1;
  const std::unique_ptr<WebPAnimDecoder, AnimFree> anim(WebPAnimDecoderNew(&data, &options));
  if (!anim) return CV_ERR_DAMAGED;
  uint8_t* canvas = nullptr;
  int timestamp = 0;
  for (int frame = 0; frame <= request.page; ++frame) {
    if (!WebPAnimDecoderGetNext(anim.get(), &canvas, &timestamp)) return CV_ERR_DAMAGED;
    if (request.progress) request.progress->rows(frame + 1, request.page + 1);
  }
  const int16_t rc = allocImage(out.image, width, height, 32);
  if (rc != CV_OK) return rc;
  for (uint32_t y = 0; y < height; ++y)
    std::memcpy(out.image.row(int(y)), canvas + size_t(y) * width * 4, size_t(width) * 4);
  out.fileBpp = 32;
  out.numPages = int16_t(frames > INT16_MAX ? INT16_MAX : frames);
  return CV_OK;
}

int reportEncodeProgress(int percent, const WebPPicture* picture) {
  if (auto* progress = static_cast<Progress*>(picture->user_data)) (*progress)(percent);
  return 1;
}

int16_t encodeError(WebPEncodingError error) {
  switch (error) {
    case VP8_ENC_ERROR_OUT_OF_MEMORY:
    case VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY:
      return CV_ERR_OUT_OF_MEMORY;
    case VP8_ENC_ERROR_BAD_DIMENSION:
      return CV_ERR_SAVE_FORMAT;
    default:
      return CV_ERR_INTERNAL;
  }
}

struct PictureFree {
  void operator()(WebPPicture* p) const { WebPPictureFree(p); }
};
struct WriterClear {
  void operator()(WebPMemoryWriter* w) const { WebPMemoryWriterClear(w); }
};

// Fills the WebP picture from 24- or 32-bit engine rows (alpha kept only when some pixel uses it).
bool importPicture(const Image& img, WebPPicture& picture) {
  const int stride = int(img.stride());
  if (img.bpp == 24) return WebPPictureImportBGR(&picture, img.pixels.data(), stride);
  if (hasTransparency(img)) return WebPPictureImportBGRA(&picture, img.pixels.data(), stride);
  return WebPPictureImportBGRX(&picture, img.pixels.data(), stride);
}

}  // namespace

bool sniffWebp(const uint8_t* d, size_t n) {
  return n >= 12 && std::memcmp(d, "RIFF", 4) == 0 && std::memcmp(d + 8, "WEBP", 4) == 0;
}

int16_t countWebpPages(const uint8_t* data, size_t size, int16_t& pages) {
  pages = 0;
  WebPBitstreamFeatures features;
  const int16_t rc = errorFor(WebPGetFeatures(data, size, &features));
  if (rc != CV_OK) return rc;
  if (!features.has_animation) {
    pages = 1;
    return CV_OK;
  }
  const WebPData whole{data, size};
  WebPDemuxState state;
  const std::unique_ptr<WebPDemuxer, DemuxFree> demux(WebPDemuxPartial(&whole, &state));
  if (!demux || state != WEBP_DEMUX_DONE) return CV_ERR_DAMAGED;
  const uint32_t frames = WebPDemuxGetI(demux.get(), WEBP_FF_FRAME_COUNT);
  if (frames == 0) return CV_ERR_DAMAGED;
  pages = int16_t(frames > INT16_MAX ? INT16_MAX : frames);
  return CV_OK;
}

int16_t decodeWebp(const LoadRequest& request, Decoded& out) {
  out.format = FT_WEBP;
  if (request.size == 0) return CV_ERR_TRUNCATED;
  uint32_t canvasWidth = 0, canvasHeight = 0;
  if (extendedCanvas(request.data, request.size, canvasWidth, canvasHeight) &&
      !sizeAllowed(canvasWidth, canvasHeight))
    return CV_ERR_TOO_LARGE;
  WebPBitstreamFeatures features;
  const int16_t rc = errorFor(WebPGetFeatures(request.data, request.size, &features));
  if (rc != CV_OK) return rc;
  if (features.has_animation) return decodeAnimation(request, out);
  return decodeStill(request, features, out);
}

int16_t encodeWebp(const EncodeRequest& request, std::vector<uint8_t>& out) {
  const SaveOptions& options = *request.options;
  Image converted;
  const Image* img = request.image;
  if (img->bpp <= 8) {
    converted = toTrueColor(*img, false);
    if (converted.empty()) return CV_ERR_OUT_OF_MEMORY;
    img = &converted;
  }
  if (img->width > WEBP_MAX_DIMENSION || img->height > WEBP_MAX_DIMENSION)
    return CV_ERR_SAVE_FORMAT;
  WebPConfig config;
  if (!WebPConfigInit(&config)) return CV_ERR_INTERNAL;
  config.quality = float(options.webpQuality);
  config.lossless = options.webpLossless ? 1 : 0;
  config.exact = config.lossless;  // lossless keeps the colour of transparent pixels too
  config.thread_level = 1;
  if (!WebPValidateConfig(&config)) return CV_ERR_BAD_ARGUMENT;

  WebPPicture picture;
  if (!WebPPictureInit(&picture)) return CV_ERR_INTERNAL;
  const std::unique_ptr<WebPPicture, PictureFree> pictureOwner(&picture);
  picture.width = img->width;
  picture.height = img->height;
  picture.use_argb = config.lossless;
  if (!importPicture(*img, picture)) return CV_ERR_OUT_OF_MEMORY;
  WebPMemoryWriter writer;
  WebPMemoryWriterInit(&writer);
  const std::unique_ptr<WebPMemoryWriter, WriterClear> writerOwner(&writer);
  picture.writer = WebPMemoryWrite;
  picture.custom_ptr = &writer;
  picture.progress_hook = reportEncodeProgress;
  picture.user_data = request.progress;
  if (!WebPEncode(&config, &picture)) return encodeError(picture.error_code);
  out.assign(writer.mem, writer.mem + writer.size);
  return CV_OK;
}

}  // namespace rastcore
