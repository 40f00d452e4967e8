// JPEG through libjpeg-turbo. libjpeg reports fatal errors by longjmp, so every call into it
// sits in a small C-style trampoline with no C++ object alive across the setjmp.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>

#include <jerror.h>
#include <jpeglib.h>

#include "fileformat/checked.h"
#include "fileformat/codec.h"
#include "fileformat/orientation.h"

namespace rastcore {
namespace {

// Progressive files with absurd scan counts decode for minutes; real files have a few dozen.
// Each scan visits every block of its components, so large pictures get fewer scans.
constexpr int kMaxScans = 1000, kMinScanCap = 64;
constexpr int64_t kScanBlockBudget = int64_t(1) << 25;

struct JpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
  bool truncated;
  bool outOfMemory;
  bool damaged;    // a scan without data, or more scans than the picture allows
  int scanCap;     // scans the picture may have
  int scanNumber;  // the scan being read, and where its entropy data started
  int64_t scanStart;
  const uint8_t* memoryStart;  // the bytes decoded, when reading from memory
  FILE* file;                  // the file decoded, when streaming
  Progress* progress;          // asked between input steps whether to stop
  bool cancelled;
};

// How far into the file libjpeg has read.
int64_t inputOffset(j_decompress_ptr cinfo, const JpegError& err) {
  const jpeg_source_mgr* src = cinfo->src;
  if (!src) return 0;
  if (err.memoryStart) return src->next_input_byte - err.memoryStart;
  const long at = err.file ? std::ftell(err.file) : -1;
  return at < 0 ? 0 : int64_t(at) - int64_t(src->bytes_in_buffer);
}

[[noreturn]] void failDamaged(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegError*>(cinfo->err);
  err->damaged = true;
  longjmp(err->jump, 1);
}

void onError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegError*>(cinfo->err);
  if (cinfo->err->msg_code == JERR_OUT_OF_MEMORY) err->outOfMemory = true;
  if (cinfo->err->msg_code == JERR_INPUT_EOF) err->truncated = true;
  longjmp(err->jump, 1);
}

void onMessage(j_common_ptr cinfo, int level) {
  // Warnings (level -1) are minor damage that libjpeg recovers from, except a premature end,
  // which would leave part of the picture grey: that is a truncated file. A scan that meets
  // a marker before any of its data adds nothing to the picture: that is damage.
  auto* err = reinterpret_cast<JpegError*>(cinfo->err);
  if (level >= 0 || !cinfo->is_decompressor) return;
  if (cinfo->err->msg_code == JWRN_JPEG_EOF) err->truncated = true;
  if (cinfo->err->msg_code == JWRN_HIT_MARKER && !err->truncated) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (inputOffset(d, *err) - err->scanStart <= 2) failDamaged(cinfo);
  }
}

// Called before each step of input; notes where every scan's data starts and stops files
// with more scans than their size allows.
void onProgress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  auto* err = reinterpret_cast<JpegError*>(cinfo->err);
  if (err->progress && err->progress->cancelled()) {
    err->cancelled = true;
    longjmp(err->jump, 1);
  }
  if (d->input_scan_number == err->scanNumber) return;
  if (d->input_scan_number > err->scanCap) failDamaged(cinfo);
  err->scanNumber = d->input_scan_number;
  err->scanStart = inputOffset(d, *err);
}

// The scans a picture may have: kScanBlockBudget block visits, within [kMinScanCap, kMaxScans].
int scanCapFor(const jpeg_decompress_struct& cinfo) {
  int64_t blocks = 0;
  for (int i = 0; i < cinfo.num_components; ++i)
    blocks += int64_t(cinfo.comp_info[i].width_in_blocks) * cinfo.comp_info[i].height_in_blocks;
  return int(
      std::clamp<int64_t>(kScanBlockBudget / std::max<int64_t>(blocks, 1), kMinScanCap, kMaxScans));
}

// Huffman-coded data spends at least one bit on every block of the first component (its DC
// value), so a file shorter than that cannot hold the picture it declares. Arithmetic coding
// has no such floor.
bool fileCanHold(const jpeg_decompress_struct& cinfo, int64_t fileSize) {
  if (cinfo.arith_code || fileSize < 0) return true;
  const jpeg_component_info& c = cinfo.comp_info[0];
  return fileSize >= int64_t(c.width_in_blocks) * c.height_in_blocks / 8;
}

int64_t requestSize(const LoadRequest& request) {
  if (!request.file) return int64_t(request.size);
  struct stat st {};
  return ::fstat(fileno(request.file), &st) == 0 ? int64_t(st.st_size) : -1;
}

void initError(JpegError& err) {
  std::memset(&err, 0, sizeof err);
  jpeg_std_error(&err.mgr);
  err.mgr.error_exit = onError;
  err.mgr.emit_message = onMessage;
}

// Adobe CMYK JPEGs store inverted ink values.
void cmykRowToBgr(const uint8_t* cmyk, uint8_t* bgr, int width, bool inverted) {
  for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
    bgr[0] = uint8_t(y * k / 255);
    bgr[1] = uint8_t(m * k / 255);
    bgr[2] = uint8_t(c * k / 255);
  }
}

void setResolution(const jpeg_decompress_struct& cinfo, Decoded& out) {
  if (cinfo.density_unit == 1 || cinfo.density_unit == 2) {
    const double perInch = cinfo.density_unit == 2 ? 2.54 : 1.0;
    if (cinfo.X_density) out.image.xdpi = cinfo.X_density * perInch;
    if (cinfo.Y_density) out.image.ydpi = cinfo.Y_density * perInch;
    out.resUnits = cinfo.density_unit == 2 ? RES_Centimeter : RES_Inch;
  }
}

// The trampoline: returns a CV_* number. `cmykRow` is scratch for one CMYK row.
int16_t readJpeg(jpeg_decompress_struct* cinfo, JpegError* err, const LoadRequest* request,
                 Decoded* out, uint8_t** cmykRow) {
  if (setjmp(err->jump)) {
    if (err->cancelled) return CV_ERR_CANCELLED;
    if (err->outOfMemory) return CV_ERR_OUT_OF_MEMORY;
    return err->truncated && !err->damaged ? CV_ERR_TRUNCATED : CV_ERR_DAMAGED;
  }
  // The source managers report errors too, so they are set up under the setjmp.
  if (request->file)
    jpeg_stdio_src(cinfo, request->file);
  else
    jpeg_mem_src(cinfo, request->data, static_cast<unsigned long>(request->size));
  Progress* progress = request->progress;
  jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(cinfo, TRUE);
  for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next)
    if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 && !std::memcmp(m->data, "Exif\0\0", 6))
      out->orientation = int16_t(exifOrientation(m->data, m->data_length));
  if (!sizeAllowed(cinfo->image_width, cinfo->image_height)) return CV_ERR_TOO_LARGE;
  if (!fileCanHold(*cinfo, requestSize(*request))) return CV_ERR_TRUNCATED;
  err->scanCap = scanCapFor(*cinfo);
  err->scanNumber = cinfo->input_scan_number;
  err->scanStart = inputOffset(cinfo, *err);
  const J_COLOR_SPACE in = cinfo->jpeg_color_space;
  const bool cmyk = in == JCS_CMYK || in == JCS_YCCK;
  const bool grey = in == JCS_GRAYSCALE;
  cinfo->out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_EXT_BGR;
  const int denominator = request->scaleDenominator;
  if (denominator == 2 || denominator == 4 || denominator == 8) {  // thumbnails decode smaller
    cinfo->scale_num = 1;
    cinfo->scale_denom = unsigned(denominator);
  }
  out->fileBpp = int16_t(cinfo->num_components * 8);
  jpeg_start_decompress(cinfo);
  const int16_t rc =
      allocImage(out->image, cinfo->output_width, cinfo->output_height, grey ? 8 : 24);
  if (rc != CV_OK) return rc;
  if (grey) setGreyPalette(out->image);
  if (cmyk) {
    *cmykRow = static_cast<uint8_t*>(std::malloc(size_t(cinfo->output_width) * 4));
    if (!*cmykRow) return CV_ERR_OUT_OF_MEMORY;
  }
  const bool inverted = cinfo->saw_Adobe_marker;
  while (cinfo->output_scanline < cinfo->output_height) {
    const JDIMENSION y = cinfo->output_scanline;
    JSAMPROW row = cmyk ? *cmykRow : out->image.row(int(y));
    if (jpeg_read_scanlines(cinfo, &row, 1) != 1) return CV_ERR_TRUNCATED;
    if (cmyk) cmykRowToBgr(*cmykRow, out->image.row(int(y)), out->image.width, inverted);
    if (progress && progress->rowsThenCancelled(y + 1, cinfo->output_height))
      return CV_ERR_CANCELLED;
    if (err->truncated) return CV_ERR_TRUNCATED;
  }
  setResolution(*cinfo, *out);
  jpeg_finish_decompress(cinfo);
  return err->truncated ? CV_ERR_TRUNCATED : CV_OK;
}

// libjpeg's standard tables (JPEG Annex K), scaled per channel for the two factors.
const unsigned int kLumTable[64] = {16,  11,  10,  16,  24, 40, 51,  61,  12,  12,  14,  19,  26,
                                    58,  60,  55,  14,  13, 16, 24,  40,  57,  69,  56,  14,  17,
                                    22,  29,  51,  87,  80, 62, 18,  22,  37,  56,  68,  109, 103,
                                    77,  24,  35,  55,  64, 81, 104, 113, 92,  49,  64,  78,  87,
                                    103, 121, 120, 101, 72, 92, 95,  98,  112, 100, 103, 99};
const unsigned int kChromTable[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

struct WriteJob {
  const Image* image;
  const SaveOptions* options;
  Progress* progress;
  bool grey;    // write one grey component
  bool greyIn;  // the rows are already 8-bit grey
  uint8_t* buffer;
  unsigned long size;
};

void setSampling(jpeg_compress_struct* cinfo, int16_t mode) {
  int h = 2, v = 2;
  if (mode == JPG_SubSampling422) h = 2, v = 1;
  if (mode == JPG_SubSampling444) h = 1, v = 1;
  if (mode == JPG_SubSampling411) h = 4, v = 1;
  cinfo->comp_info[0].h_samp_factor = h;
  cinfo->comp_info[0].v_samp_factor = v;
}

int16_t writeJpeg(jpeg_compress_struct* cinfo, JpegError* err, WriteJob* job) {
  if (setjmp(err->jump)) return err->outOfMemory ? CV_ERR_OUT_OF_MEMORY : CV_ERR_INTERNAL;
  const Image& img = *job->image;
  jpeg_mem_dest(cinfo, &job->buffer, &job->size);
  cinfo->image_width = JDIMENSION(img.width);
  cinfo->image_height = JDIMENSION(img.height);
  cinfo->input_components = job->greyIn ? 1 : img.bpp / 8;
  cinfo->in_color_space = job->greyIn ? JCS_GRAYSCALE : img.bpp == 32 ? JCS_EXT_BGRX : JCS_EXT_BGR;
  jpeg_set_defaults(cinfo);
  if (job->grey && !job->greyIn) jpeg_set_colorspace(cinfo, JCS_GRAYSCALE);
  const int direct = job->options->jpgQuality;
  const int chrom = direct > 0 ? direct : jpegQualityFromFactor(job->options->jpgChromFactor);
  const int lum = direct > 0 ? direct
                  : job->options->jpgLumFactor > 0
                      ? jpegQualityFromFactor(job->options->jpgLumFactor)
                      : chrom;
  jpeg_add_quant_table(cinfo, 0, kLumTable, jpeg_quality_scaling(lum), TRUE);
  jpeg_add_quant_table(cinfo, 1, kChromTable, jpeg_quality_scaling(chrom), TRUE);
  if (!job->grey) setSampling(cinfo, job->options->jpgSubSampling);
  if (job->options->jpgProgressive) jpeg_simple_progression(cinfo);
  cinfo->optimize_coding = TRUE;
  cinfo->density_unit = 1;
  cinfo->X_density = UINT16(img.xdpi > 0 && img.xdpi < 65535 ? img.xdpi + 0.5 : 96);
  cinfo->Y_density = UINT16(img.ydpi > 0 && img.ydpi < 65535 ? img.ydpi + 0.5 : 96);
  jpeg_start_compress(cinfo, TRUE);
  while (cinfo->next_scanline < cinfo->image_height) {
    JSAMPROW row = const_cast<uint8_t*>(img.row(int(cinfo->next_scanline)));
    jpeg_write_scanlines(cinfo, &row, 1);
    if (job->progress) job->progress->rows(cinfo->next_scanline, cinfo->image_height);
  }
  jpeg_finish_compress(cinfo);
  return CV_OK;
}

}  // namespace

// The factor scale runs 1-255 and the program's save dialog starts at 30, so 30 is made the
// ordinary photographic quality (libjpeg's 75): 1-30 climb evenly from 1 to 75 and 30-255
// from 75 to 100. A straight scaling would turn the dialog's default into quality 12 and
// visibly spoil every picture saved with it.
int jpegQualityFromFactor(int factor) {
  factor = std::clamp(factor, 1, 255);
  if (factor <= 30) return 1 + ((factor - 1) * 74 + 14) / 29;
  return 75 + ((factor - 30) * 25 + 112) / 225;
}

bool sniffJpeg(const uint8_t* d, size_t n) {
  return n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF;
}

namespace {

bool readJpegSize(jpeg_decompress_struct* cinfo, JpegError* err, FILE* file, int32_t* width,
                  int32_t* height) {
  if (setjmp(err->jump)) return false;
  jpeg_stdio_src(cinfo, file);
  jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
  if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return false;
  int orientation = 1;
  for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next)
    if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 && !std::memcmp(m->data, "Exif\0\0", 6))
      orientation = exifOrientation(m->data, m->data_length);
  const bool turned = orientation >= 5 && orientation <= 8;  // a quarter turn swaps the sides
  *width = int32_t(turned ? cinfo->image_height : cinfo->image_width);
  *height = int32_t(turned ? cinfo->image_width : cinfo->image_height);
  return true;
}

}  // namespace

bool jpegPictureSize(FILE* file, int32_t& width, int32_t& height) {
  jpeg_decompress_struct cinfo;
  JpegError err;
  initError(err);
  cinfo.err = &err.mgr;
  jpeg_create_decompress(&cinfo);
  const bool ok = readJpegSize(&cinfo, &err, file, &width, &height);
  jpeg_destroy_decompress(&cinfo);
  return ok && width > 0 && height > 0;
}

int16_t decodeJpeg(const LoadRequest& request, Decoded& out) {
  out.format = FT_JPG;
  if (!request.file && request.size == 0) return CV_ERR_TRUNCATED;
  jpeg_decompress_struct cinfo;
  JpegError err;
  initError(err);
  cinfo.err = &err.mgr;
  jpeg_create_decompress(&cinfo);
  jpeg_progress_mgr monitor{};
  monitor.progress_monitor = onProgress;
  cinfo.progress = &monitor;
  err.scanCap = kMaxScans;
  err.memoryStart = request.file ? nullptr : request.data;
  err.file = request.file;
  err.progress = request.progress;
  uint8_t* cmykRow = nullptr;
  const int16_t rc = readJpeg(&cinfo, &err, &request, &out, &cmykRow);
  jpeg_destroy_decompress(&cinfo);
  std::free(cmykRow);
  out.format = FT_JPG;
  return rc;
}

// Writes `image` as JPEG with the quality, progression, grey and subsampling options.
int16_t encodeJpegImage(const Image& source, const SaveOptions& options, Progress* progress,
                        std::vector<uint8_t>& out) {
  const bool greyIndexed =
      source.bpp == 8 && paletteIsGrey(source) && source.palette.size() == 256 && [&] {
        for (int i = 0; i < 256; ++i)
          if (source.palette[i].r != i) return false;
        return true;
      }();
  Image converted;
  const Image* img = &source;
  if (source.bpp <= 8 && !greyIndexed) {
    converted = toTrueColor(source, false);
    if (converted.empty()) return CV_ERR_OUT_OF_MEMORY;
    img = &converted;
  }
  WriteJob job{img,         &options, progress, options.jpgGrayscale || greyIndexed,
               greyIndexed, nullptr,  0};
  jpeg_compress_struct cinfo;
  JpegError err;
  initError(err);
  cinfo.err = &err.mgr;
  jpeg_create_compress(&cinfo);
  int16_t rc = writeJpeg(&cinfo, &err, &job);
  jpeg_destroy_compress(&cinfo);
  if (rc == CV_OK) {
    try {
      out.assign(job.buffer, job.buffer + job.size);
    } catch (const std::bad_alloc&) {
      rc = CV_ERR_OUT_OF_MEMORY;
    }
  }
  std::free(job.buffer);
  return rc;
}

int16_t encodeJpeg(const EncodeRequest& request, std::vector<uint8_t>& out) {
  return encodeJpegImage(*request.image, *request.options, request.progress, out);
}

}  // namespace rastcore
