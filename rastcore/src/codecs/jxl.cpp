// JPEG XL through libjxl: the first frame (composited, for animations), upright by the file's
// orientation, in sRGB, 8 bits per channel; grey pictures stay 8-bit grey, alpha is kept.
#include <cstring>
#include <memory>
#include <vector>

#include <jxl/decode.h>
#include <jxl/thread_parallel_runner.h>

#include "fileformat/checked.h"
#include "fileformat/codec.h"

namespace rastcore {
namespace {

struct DecoderFree {
  void operator()(JxlDecoder* d) const { JxlDecoderDestroy(d); }
};
struct RunnerFree {
  void operator()(void* r) const { JxlThreadParallelRunnerDestroy(r); }
};

struct JxlJob {
  explicit JxlJob(Decoded* decoded) : out(decoded) {}
  Decoded* out;
  JxlBasicInfo info{};
  JxlPixelFormat format{};
  std::vector<uint8_t> scratch;  // grey with alpha arrives as two channels
};

// Brings libjxl's R, G, B(, A) or grey rows to the engine's layout.
void finishRows(JxlJob& job) {
  Image& img = job.out->image;
  if (job.format.num_channels >= 3) {
    const int step = int(job.format.num_channels);
    for (int y = 0; y < img.height; ++y) {
      uint8_t* p = img.row(y);
      for (int x = 0; x < img.width; ++x, p += step) std::swap(p[0], p[2]);
    }
  } else if (job.format.num_channels == 2) {
    const uint8_t* s = job.scratch.data();
    for (int y = 0; y < img.height; ++y) {
      uint8_t* d = img.row(y);
      for (int x = 0; x < img.width; ++x, s += 2, d += 4) d[0] = d[1] = d[2] = s[0], d[3] = s[1];
    }
  }
}

int16_t prepareOutput(JxlDecoder* dec, JxlJob& job) {
  const bool alpha = job.info.alpha_bits > 0;
  const bool grey = job.info.num_color_channels == 1;
  const int bpp = grey && !alpha ? 8 : alpha ? 32 : 24;
  int16_t rc = allocImage(job.out->image, job.info.xsize, job.info.ysize, bpp);
  if (rc != CV_OK) return rc;
  Image& img = job.out->image;
  if (bpp == 8) setGreyPalette(img);
  job.format = {uint32_t(grey ? (alpha ? 2 : 1) : (alpha ? 4 : 3)), JXL_TYPE_UINT8,
                JXL_NATIVE_ENDIAN, grey && alpha ? 0 : img.stride()};
  size_t needed = 0;
  if (JxlDecoderImageOutBufferSize(dec, &job.format, &needed) != JXL_DEC_SUCCESS)
    return CV_ERR_DAMAGED;
  uint8_t* target = img.pixels.data();
  size_t size = img.pixels.size();
  if (job.format.num_channels == 2) {
    job.scratch.resize(needed);
    target = job.scratch.data();
    size = needed;
  }
  if (needed > size) return CV_ERR_DAMAGED;
  return JxlDecoderSetImageOutBuffer(dec, &job.format, target, size) == JXL_DEC_SUCCESS
             ? CV_OK
             : CV_ERR_DAMAGED;
}

int16_t onBasicInfo(JxlDecoder* dec, JxlJob& job) {
  if (JxlDecoderGetBasicInfo(dec, &job.info) != JXL_DEC_SUCCESS) return CV_ERR_DAMAGED;
  // Checked before libjxl takes any memory for the frames.
  if (!sizeAllowed(job.info.xsize, job.info.ysize)) return CV_ERR_TOO_LARGE;
  job.out->fileBpp =
      int16_t(job.info.bits_per_sample * job.info.num_color_channels + job.info.alpha_bits);
  return CV_OK;
}

// Pictures coded in the format's own colour space come out in sRGB; the others keep theirs.
void preferSrgb(JxlDecoder* dec, const JxlJob& job) {
  JxlColorEncoding srgb{};
  srgb.color_space = job.info.num_color_channels == 1 ? JXL_COLOR_SPACE_GRAY : JXL_COLOR_SPACE_RGB;
  srgb.white_point = JXL_WHITE_POINT_D65;
  srgb.primaries = JXL_PRIMARIES_SRGB;
  srgb.transfer_function = JXL_TRANSFER_FUNCTION_SRGB;
  srgb.rendering_intent = JXL_RENDERING_INTENT_PERCEPTUAL;
  JxlDecoderSetPreferredColorProfile(dec, &srgb);
}

int16_t runDecoder(JxlDecoder* dec, JxlJob& job) {
  for (;;) {
    int16_t rc = CV_OK;
    switch (JxlDecoderProcessInput(dec)) {
      case JXL_DEC_ERROR:
        return CV_ERR_DAMAGED;
      case JXL_DEC_NEED_MORE_INPUT:
        return CV_ERR_TRUNCATED;
      case JXL_DEC_BASIC_INFO:
        rc = onBasicInfo(dec, job);
        break;
      case JXL_DEC_COLOR_ENCODING:
        preferSrgb(dec, job);
        break;
      case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
        rc = prepareOutput(dec, job);
        break;
      case JXL_DEC_FULL_IMAGE:  // the first frame is the picture
        finishRows(job);
        return CV_OK;
      case JXL_DEC_SUCCESS:
        return CV_ERR_DAMAGED;  // ended without a frame
      default:
        break;
    }
    if (rc != CV_OK) return rc;
  }
}

}  // namespace

bool sniffJxl(const uint8_t* d, size_t n) {
  const JxlSignature s = JxlSignatureCheck(d, n);
  return s == JXL_SIG_CODESTREAM || s == JXL_SIG_CONTAINER;
}

int16_t decodeJxl(const LoadRequest& request, Decoded& out) {
  out.format = FT_JXL;
  if (request.size == 0) return CV_ERR_TRUNCATED;
  if (request.page > 0) return CV_ERR_NO_PAGE;
  const std::unique_ptr<JxlDecoder, DecoderFree> dec(JxlDecoderCreate(nullptr));
  const std::unique_ptr<void, RunnerFree> runner(
      JxlThreadParallelRunnerCreate(nullptr, JxlThreadParallelRunnerDefaultNumWorkerThreads()));
  if (!dec || !runner) return CV_ERR_OUT_OF_MEMORY;
  if (JxlDecoderSetParallelRunner(dec.get(), JxlThreadParallelRunner, runner.get()) !=
          JXL_DEC_SUCCESS ||
      JxlDecoderSubscribeEvents(dec.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                               JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
      JxlDecoderSetInput(dec.get(), request.data, request.size) != JXL_DEC_SUCCESS)
    return CV_ERR_INTERNAL;
  // The input stays open: with the whole file given, a request for more means it is cut short.
  JxlJob job(&out);
  const int16_t rc = runDecoder(dec.get(), job);
  if (rc == CV_OK && request.progress) (*request.progress)(100);
  return rc;
}

}  // namespace rastcore
