// The codec registry's common types: what a decoder gets and gives back, what an encoder gets.
// Decoders and encoders return a CV_* error number (0 on success) and never throw.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "fileformat/file_state.h"
#include "image.h"

namespace rastcore {

// Reports a percentage to the instance's progress sink; calls only when the value changes.
// It also carries the host's cancel request: codecs ask cancelled() between rows or scans and
// then stop with CV_ERR_CANCELLED. Once true it stays true.
class Progress {
 public:
  using Fn = void (*)(void* context, int pct);
  using CancelFn = bool (*)(void* context);
  Progress() = default;
  Progress(Fn fn, void* context, CancelFn cancel = nullptr)
      : fn_(fn), cancel_(cancel), context_(context) {}
  // Each new percentage also gives the host its poll, which lets its window work during a
  // save too (encoders never stop on a cancel).
  void operator()(int pct) {
    if (pct == last_) return;
    last_ = pct;
    if (fn_) fn_(context_, pct);
    cancelled();
  }
  void rows(int64_t done, int64_t total) { (*this)(total > 0 ? int(done * 100 / total) : 100); }
  bool cancelled() {
    if (!cancelled_ && cancel_) cancelled_ = cancel_(context_);
    return cancelled_;
  }
  // rows(), then whether to stop: the form the row loops use.
  bool rowsThenCancelled(int64_t done, int64_t total) {
    rows(done, total);
    return cancelled();
  }

 private:
  Fn fn_ = nullptr;
  CancelFn cancel_ = nullptr;
  void* context_ = nullptr;
  int last_ = -1;
  bool cancelled_ = false;
};

// The file to decode: always its bytes in memory, or (for the streaming decoders, JPEG and
// PNG) an open file positioned at its start, so a large file is not held twice.
struct LoadRequest {
  const uint8_t* data = nullptr;
  size_t size = 0;
  FILE* file = nullptr;  // when set, data/size hold only the first bytes (for sniffing)
  int page = 0;          // page to decode, from 0
  std::string password;  // ePIC password
  Progress* progress = nullptr;
  int scaleDenominator = 1;  // JPEG and ePIC: decode at 1/1, 1/2, 1/4 or 1/8 of the size
};

struct Decoded {
  Image image;
  int16_t format = 0;   // FT_*
  int16_t fileBpp = 0;  // bits per pixel as stored
  int16_t numPages = 1;
  int16_t resUnits = RES_Inch;
  int16_t orientation = 1;  // as recorded by a camera (1 to 8); the loader turns the picture
};

struct EncodeRequest {
  const Image* image = nullptr;
  int16_t format = 0;  // FT_* being written (one encoder serves PBM, PGM and PPM)
  const SaveOptions* options = nullptr;
  const std::vector<uint8_t>* existing = nullptr;  // the target's bytes, for TIFF appends
  Progress* progress = nullptr;
};

using DecodeFn = int16_t (*)(const LoadRequest&, Decoded&);
using EncodeFn = int16_t (*)(const EncodeRequest&, std::vector<uint8_t>& out);
using SniffFn = bool (*)(const uint8_t* data, size_t size);

struct Codec {
  int16_t format;  // FT_*
  const char* name;
  const char* extensions;  // lower case, separated by spaces, without dots
  SniffFn sniff;           // null: recognised by extension only
  DecodeFn decode;         // null: cannot be read
  EncodeFn encode;         // null: cannot be written
  bool streams;            // decode reads LoadRequest::file when it is set
};

// Every codec, in sniffing order.
const std::vector<Codec>& codecs();
const Codec* codecForFormat(int16_t format);
const Codec* codecForExtension(const std::string& lowerExtension);
const Codec* sniffCodec(const uint8_t* data, size_t size);

// Codec entry points, one pair per format file.
#define RASTCORE_CODEC(name)                                      \
  bool sniff##name(const uint8_t* data, size_t size);             \
  int16_t decode##name(const LoadRequest& request, Decoded& out); \
  int16_t encode##name(const EncodeRequest& request, std::vector<uint8_t>& out);
RASTCORE_CODEC(Jpeg)
RASTCORE_CODEC(Png)
RASTCORE_CODEC(Tiff)
RASTCORE_CODEC(Gif)
RASTCORE_CODEC(Bmp)
RASTCORE_CODEC(Pcx)
RASTCORE_CODEC(Tga)
RASTCORE_CODEC(Wpg)
RASTCORE_CODEC(Pnm)
RASTCORE_CODEC(Wmf)
RASTCORE_CODEC(Epic)
RASTCORE_CODEC(Heif)
RASTCORE_CODEC(Webp)
RASTCORE_CODEC(Raw)
RASTCORE_CODEC(Jxl)
#undef RASTCORE_CODEC
#define RASTCORE_CODEC(name)                          \
  bool sniff##name(const uint8_t* data, size_t size); \
  int16_t decode##name(const LoadRequest& request, Decoded& out);
RASTCORE_CODEC(Dcx)  // read only
RASTCORE_CODEC(Ico)
RASTCORE_CODEC(Wpg2)
#undef RASTCORE_CODEC
bool sniffAvif(const uint8_t* data, size_t size);  // AVIF decodes through decodeHeif
// TIFF-based camera raw known by its contents rather than its extension.
bool sniffRawContent(const uint8_t* data, size_t size);

class ByteReader;
// WPG's file signature, either version, and its variable-length numbers (record lengths).
bool sniffWpgHeader(const uint8_t* data, size_t size);
uint32_t readWpgNumber(ByteReader& in);

// Takes encoded bytes as they are made; false when they cannot be stored.
using ByteSink = std::function<bool(const uint8_t* data, size_t size)>;
// PNM encoding in blocks of rows to a sink (encodePnm collects them), so a large picture is
// written without a whole encoded copy in memory.
int16_t encodePnmTo(const EncodeRequest& request, const ByteSink& sink);

// JPEG quality 1-100 from an engine quality factor 1-255.
int jpegQualityFromFactor(int factor);
int16_t encodeJpegImage(const Image& image, const SaveOptions& options, Progress* progress,
                        std::vector<uint8_t>& out);
// The size of a JPEG file's picture as a load gives it (turned as its Exif orientation asks),
// read from its header alone. False when the file is not a readable JPEG.
bool jpegPictureSize(FILE* file, int32_t& width, int32_t& height);

// An 8-bit indexed copy of a picture: its own palette for indexed pictures, an exact palette
// for pictures of at most 256 colours, median-cut quantisation otherwise.
int16_t toIndexed8(const Image& image, Image& out);

int16_t countTiffPages(const uint8_t* data, size_t size, int16_t& pages);
int16_t countGifPages(const uint8_t* data, size_t size, int16_t& pages);
int16_t countWebpPages(const uint8_t* data, size_t size, int16_t& pages);
int16_t countDcxPages(const uint8_t* data, size_t size, int16_t& pages);
int16_t countIcoPages(const uint8_t* data, size_t size, int16_t& pages);

}  // namespace rastcore
