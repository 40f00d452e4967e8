// Camera raw files (CR2, NEF, ARW, DNG, RAF, ORF, RW2 and the others LibRaw knows) through
// LibRaw: demosaiced with the camera's white balance into 8-bit sRGB, as dcraw_emu -w gives
// them, turned upright by the file's orientation.
#include <cstring>
#include <memory>

#include <libraw/libraw.h>

#include "fileformat/bytes.h"
#include "fileformat/checked.h"
#include "fileformat/codec.h"

namespace rastcore {
namespace {

int16_t errorFor(int code) {
  switch (code) {
    case LIBRAW_SUCCESS:
      return CV_OK;
    case LIBRAW_FILE_UNSUPPORTED:
      return CV_ERR_UNKNOWN_FORMAT;
    case LIBRAW_NOT_IMPLEMENTED:
      return CV_ERR_UNSUPPORTED_FEATURE;
    case LIBRAW_UNSUFFICIENT_MEMORY:
      return CV_ERR_OUT_OF_MEMORY;
    case LIBRAW_CANCELLED_BY_CALLBACK:
      return CV_ERR_CANCELLED;
    case LIBRAW_IO_ERROR:
      return CV_ERR_TRUNCATED;
    default:
      return CV_ERR_DAMAGED;
  }
}

struct RawJob {
  Progress* progress = nullptr;
  int16_t dataError = CV_OK;  // what LibRaw met while reading (it goes on with zeros otherwise)
};

// LibRaw reports bad data and carries on; a damaged file must not become a picture.
void onDataError(void* context, const char*, const int offset) {
  auto* job = static_cast<RawJob*>(context);
  if (job->dataError == CV_OK) job->dataError = offset < 0 ? CV_ERR_TRUNCATED : CV_ERR_DAMAGED;
}

// The stages are single bits in processing order, up to LIBRAW_PROGRESS_STRETCH (bit 19).
int onProgress(void* context, LibRaw_progress stage, int, int) {
  auto* job = static_cast<RawJob*>(context);
  if (job->progress && stage <= LIBRAW_PROGRESS_STRETCH) {
    int bit = 0;
    for (unsigned s = stage; s > 1; s >>= 1) ++bit;
    (*job->progress)(bit * 100 / 20);
  }
  return 0;
}

struct ImageFree {
  void operator()(libraw_processed_image_t* image) const { LibRaw::dcraw_clear_mem(image); }
};

int16_t copyProcessed(const libraw_processed_image_t& img, Image& out) {
  if (img.type != LIBRAW_IMAGE_BITMAP || img.bits != 8 || (img.colors != 3 && img.colors != 1))
    return CV_ERR_UNSUPPORTED_FEATURE;
  const size_t pixels = size_t(img.width) * img.height;
  if (size_t(img.data_size) < pixels * img.colors) return CV_ERR_DAMAGED;
  const int16_t rc = allocImage(out, img.width, img.height, 24);
  if (rc != CV_OK) return rc;
  const uint8_t* src = img.data;
  for (int y = 0; y < out.height; ++y) {
    uint8_t* d = out.row(y);
    for (int x = 0; x < out.width; ++x, src += img.colors, d += 3) {
      d[0] = src[img.colors == 3 ? 2 : 0];
      d[1] = src[img.colors == 3 ? 1 : 0];
      d[2] = src[0];
    }
  }
  return CV_OK;
}

int16_t develop(LibRaw& raw, const LoadRequest& request, RawJob& job, Decoded& out) {
  int16_t rc = errorFor(raw.open_buffer(const_cast<uint8_t*>(request.data), request.size));
  // Checked before LibRaw takes the sensor data's memory. LibRaw refuses sizes past its own
  // limit as an unsupported file but keeps what the file declared, so such a file is reported
  // as too large, which it is.
  const libraw_image_sizes_t& s = raw.imgdata.sizes;
  const auto tooLarge = [](int64_t w, int64_t h) { return w > 0 && h > 0 && !sizeAllowed(w, h); };
  if (tooLarge(s.raw_width, s.raw_height) || tooLarge(s.width, s.height)) return CV_ERR_TOO_LARGE;
  if (rc != CV_OK) return rc;
  if (!sizeAllowed(s.width, s.height)) return CV_ERR_DAMAGED;
  if (request.page > 0) return CV_ERR_NO_PAGE;
  raw.imgdata.params.use_camera_wb = 1;
  raw.imgdata.params.output_bps = 8;
  if ((rc = errorFor(raw.unpack())) != CV_OK || job.dataError) return rc ? rc : job.dataError;
  if ((rc = errorFor(raw.dcraw_process())) != CV_OK || job.dataError)
    return rc ? rc : job.dataError;
  int code = LIBRAW_SUCCESS;
  const std::unique_ptr<libraw_processed_image_t, ImageFree> image(raw.dcraw_make_mem_image(&code));
  if (!image) return code != LIBRAW_SUCCESS ? errorFor(code) : CV_ERR_OUT_OF_MEMORY;
  out.fileBpp = int16_t(raw.imgdata.color.raw_bps ? raw.imgdata.color.raw_bps : 16);
  return copyProcessed(*image, out.image);
}

bool isTiffHeader(const uint8_t* d, size_t n) {
  return n >= 4 && ((d[0] == 'I' && d[1] == 'I' && d[2] == 42 && d[3] == 0) ||
                    (d[0] == 'M' && d[1] == 'M' && d[2] == 0 && d[3] == 42));
}

bool hasOwnSignature(const uint8_t* d, size_t n) {
  if (n >= 15 && std::memcmp(d, "FUJIFILMCCD-RAW", 15) == 0) return true;
  return n >= 4 && (std::memcmp(d, "IIRO", 4) == 0 || std::memcmp(d, "IIRS", 4) == 0 ||
                    std::memcmp(d, "MMOR", 4) == 0 || std::memcmp(d, "IIU\0", 4) == 0);
}

// Tags and values that only camera raw files carry: the DNG version, a colour filter array or
// linear raw photometric interpretation, and the camera makers' own raw compressions.
constexpr uint16_t kTagCompression = 0x0103, kTagPhotometric = 0x0106, kTagSubIfds = 0x014A,
                   kTagDngVersion = 0xC612;

bool isRawCompression(uint32_t c) {
  switch (c) {
    case 32767:  // Sony
    case 32769:  // packed
    case 32770:  // Samsung
    case 32772:
    case 34713:  // Nikon
    case 65000:  // Kodak
    case 65535:  // Pentax
      return true;
    default:
      return false;
  }
}

// Walks the directories the bytes hold (the chain from the header and the sub-directories
// they name, a bounded number of each) looking for what marks raw sensor data.
class RawMarkers {
 public:
  RawMarkers(const uint8_t* d, size_t n) : in_(d, n), big_(d[0] == 'M') {}

  bool found() {
    in_.seek(4);
    std::vector<uint32_t> pending{u32()};
    for (int visited = 0; !pending.empty() && visited < 32; ++visited) {
      const uint32_t offset = pending.back();
      pending.pop_back();
      if (offset < 8 || !in_.seek(offset)) continue;
      const uint16_t entries = u16();
      for (int i = 0; i < entries && i < 512 && in_.ok(); ++i) {
        const size_t at = in_.pos();
        const uint16_t tag = u16(), type = u16();
        const uint32_t count = u32();
        const uint32_t value = type == 3 ? u16() : u32();
        if (tag == kTagDngVersion) return true;
        if (tag == kTagPhotometric && (value == 32803 || value == 34892)) return true;
        if (tag == kTagCompression && isRawCompression(value)) return true;
        if (tag == kTagSubIfds && (type == 4 || type == 13)) subDirectories(count, value, pending);
        in_.seek(at + 12);
      }
      if (in_.ok() && pending.size() < 64) pending.push_back(u32());  // the next in the chain
    }
    return false;
  }

 private:
  void subDirectories(uint32_t count, uint32_t value, std::vector<uint32_t>& pending) {
    if (count == 1) return pending.push_back(value);
    const size_t back = in_.pos();
    if (in_.seek(value))
      for (uint32_t i = 0; i < count && i < 8 && in_.ok(); ++i) pending.push_back(u32());
    in_.seek(back);
  }
  uint16_t u16() { return big_ ? in_.u16be() : in_.u16le(); }
  uint32_t u32() { return big_ ? in_.u32be() : in_.u32le(); }

  ByteReader in_;
  bool big_;
};

}  // namespace

// Fujifilm, Olympus and Panasonic files carry signatures of their own; the TIFF-based ones
// (CR2, NEF, ARW, DNG) look like TIFF and are taken as raw when their extension says so.
bool sniffRaw(const uint8_t* d, size_t n) {
  return hasOwnSignature(d, n) || isTiffHeader(d, n);
}

// Without an extension (a picture in memory) a TIFF-based raw file is known by its contents:
// Canon's signature after the header, or the marks of sensor data in its directories.
bool sniffRawContent(const uint8_t* d, size_t n) {
  if (hasOwnSignature(d, n)) return true;
  if (!isTiffHeader(d, n) || n < 8) return false;
  if (n >= 10 && d[8] == 'C' && d[9] == 'R') return true;
  return RawMarkers(d, n).found();
}

int16_t decodeRaw(const LoadRequest& request, Decoded& out) {
  out.format = FT_RAW;
  if (request.size == 0) return CV_ERR_TRUNCATED;
  // LibRaw's object holds its tables inline (hundreds of KiB): never on the stack.
  const auto raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
  RawJob job{request.progress};
  raw->set_dataerror_handler(onDataError, &job);
  raw->set_progress_handler(onProgress, &job);
  const int16_t rc = develop(*raw, request, job, out);
  if (rc == CV_OK && request.progress) (*request.progress)(100);
  return rc;
}

}  // namespace rastcore
