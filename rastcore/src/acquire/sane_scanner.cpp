#include "acquire/sane_scanner.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "acquire/polled.h"
#include "fileformat/checked.h"
#include "rastcore3.h"

namespace rastcore {
namespace {

std::mutex g_saneMutex;

// sane_init to sane_exit; every SANE call of the process happens inside one.
class SaneSession {
 public:
  SaneSession() : lock_(g_saneMutex) { ok_ = sane_init(&version_, nullptr) == SANE_STATUS_GOOD; }
  ~SaneSession() {
    if (ok_) sane_exit();
  }
  SaneSession(const SaneSession&) = delete;
  SaneSession& operator=(const SaneSession&) = delete;
  bool ok() const { return ok_; }
  std::string versionText() const {
    return "SANE " + std::to_string(SANE_VERSION_MAJOR(version_)) + "." +
           std::to_string(SANE_VERSION_MINOR(version_)) + "." +
           std::to_string(SANE_VERSION_BUILD(version_));
  }

 private:
  std::lock_guard<std::mutex> lock_;
  SANE_Int version_ = 0;
  bool ok_ = false;
};

std::string text(SANE_String_Const s) {
  return s ? std::string(s) : std::string();
}

int16_t errorFor(SANE_Status status) {
  switch (status) {
    case SANE_STATUS_GOOD:
      return CV_OK;
    case SANE_STATUS_CANCELLED:
      return CV_ERR_CANCELLED;
    case SANE_STATUS_NO_MEM:
      return CV_ERR_OUT_OF_MEMORY;
    default:  // busy, jammed, no paper, cover open, I/O error, access denied, ...
      return CV_ERR_DEVICE_FAILED;
  }
}

// One frame as the device sent it.
struct Frame {
  SANE_Parameters params{};
  std::vector<uint8_t> bytes;
};

// The scan itself, on the worker thread. Only the two atomics are shared with the caller.
class ScanJob {
 public:
  explicit ScanJob(std::string device) : device_(std::move(device)) {}
  void run();
  void stop() { stopRequested_ = true; }
  int pct() const { return pct_; }
  int16_t error = CV_OK;
  Image image;

 private:
  int16_t readFrames(SANE_Handle handle);
  int16_t readFrame(SANE_Handle handle, Frame& frame, int frameIndex, int frameCount);
  int16_t assemble();
  double resolution(SANE_Handle handle) const;

  std::string device_;
  std::vector<Frame> frames_;
  std::atomic<bool> stopRequested_{false};
  std::atomic<int> pct_{0};
};

void ScanJob::run() {
  const SaneSession session;
  if (!session.ok()) {
    error = CV_ERR_NO_DEVICE;
    return;
  }
  SANE_Handle handle = nullptr;
  const SANE_Status opened = sane_open(device_.c_str(), &handle);
  if (opened != SANE_STATUS_GOOD) {
    error = opened == SANE_STATUS_INVAL ? CV_ERR_NO_DEVICE : errorFor(opened);
    return;
  }
  error = readFrames(handle);
  const double dpi = resolution(handle);
  sane_cancel(handle);  // ends the scan in every case, as SANE asks
  sane_close(handle);
  if (error == CV_OK) error = assemble();
  if (error == CV_OK && dpi > 0) image.xdpi = image.ydpi = dpi;
  frames_.clear();
}

int16_t ScanJob::readFrames(SANE_Handle handle) {
  for (int index = 0;; ++index) {
    if (stopRequested_) return CV_ERR_CANCELLED;
    if (const SANE_Status started = sane_start(handle); started != SANE_STATUS_GOOD)
      return errorFor(started);
    Frame frame;
    if (sane_get_parameters(handle, &frame.params) != SANE_STATUS_GOOD) return CV_ERR_DEVICE_FAILED;
    const bool single =
        frame.params.format == SANE_FRAME_GRAY || frame.params.format == SANE_FRAME_RGB;
    if (const int16_t rc = readFrame(handle, frame, index, single ? 1 : 3); rc != CV_OK) return rc;
    frames_.push_back(std::move(frame));
    if (frames_.back().params.last_frame || frames_.size() >= 3) return CV_OK;
  }
}

int16_t ScanJob::readFrame(SANE_Handle handle, Frame& frame, int frameIndex, int frameCount) {
  const SANE_Parameters& p = frame.params;
  if (p.pixels_per_line <= 0 || p.bytes_per_line <= 0) return CV_ERR_DEVICE_FAILED;
  if (!sizeAllowed(p.pixels_per_line, std::max(p.lines, 1))) return CV_ERR_TOO_LARGE;
  // The most a picture of the engine's limit can take: 6 bytes a pixel (16-bit RGB).
  const int64_t limit = int64_t(CV_MAX_PIXELS) * 6;
  const int64_t expected = p.lines > 0 ? int64_t(p.bytes_per_line) * p.lines : 0;
  if (expected > limit) return CV_ERR_TOO_LARGE;
  try {
    frame.bytes.reserve(size_t(expected));
  } catch (const std::bad_alloc&) {
    return CV_ERR_OUT_OF_MEMORY;
  }
  uint8_t buffer[32768];
  for (;;) {
    if (stopRequested_) return CV_ERR_CANCELLED;
    SANE_Int got = 0;
    const SANE_Status status = sane_read(handle, buffer, SANE_Int(sizeof buffer), &got);
    if (status == SANE_STATUS_EOF) break;
    if (status != SANE_STATUS_GOOD) return errorFor(status);
    if (got < 0 || size_t(got) > sizeof buffer) return CV_ERR_DEVICE_FAILED;
    if (int64_t(frame.bytes.size()) + got > limit) return CV_ERR_TOO_LARGE;
    try {
      frame.bytes.insert(frame.bytes.end(), buffer, buffer + got);
    } catch (const std::bad_alloc&) {
      return CV_ERR_OUT_OF_MEMORY;
    }
    if (expected > 0) {
      const int64_t done = std::min<int64_t>(int64_t(frame.bytes.size()), expected);
      pct_ = int((frameIndex * 100 + done * 100 / expected) / frameCount);
    }
  }
  return CV_OK;
}

double ScanJob::resolution(SANE_Handle handle) const {
  for (SANE_Int i = 1;; ++i) {
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, i);
    if (!d) return 0;
    if (!d->name || std::strcmp(d->name, SANE_NAME_SCAN_RESOLUTION) != 0) continue;
    if (d->size != SANE_Int(sizeof(SANE_Word)) || !SANE_OPTION_IS_ACTIVE(d->cap)) return 0;
    SANE_Word value = 0;
    if (sane_control_option(handle, i, SANE_ACTION_GET_VALUE, &value, nullptr) != SANE_STATUS_GOOD)
      return 0;
    return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(value) : d->type == SANE_TYPE_INT ? value : 0;
  }
}

// One sample of a row at `depth` bits (1, 8 or 16; 16-bit samples in host order) as 8 bits.
uint8_t sample(const uint8_t* row, int index, int depth) {
  if (depth == 8) return row[index];
  uint16_t v;
  std::memcpy(&v, row + size_t(index) * 2, 2);
  return uint8_t(v >> 8);
}

int16_t ScanJob::assemble() {
  const SANE_Parameters& first = frames_.front().params;
  const int width = first.pixels_per_line, depth = first.depth;
  const size_t bpl = size_t(first.bytes_per_line);
  int64_t lines = INT64_MAX;
  for (const Frame& f : frames_) {
    if (f.params.pixels_per_line != width || f.params.depth != depth ||
        size_t(f.params.bytes_per_line) != bpl)
      return CV_ERR_DEVICE_FAILED;
    lines = std::min<int64_t>(lines, int64_t(f.bytes.size() / bpl));  // a partial row is dropped
  }
  if (lines <= 0) return CV_ERR_DEVICE_FAILED;
  const SANE_Frame format = first.format;
  const bool grey = format == SANE_FRAME_GRAY && frames_.size() == 1;
  if (depth == 1 && !grey) return CV_ERR_UNSUPPORTED_FEATURE;
  if (depth != 1 && depth != 8 && depth != 16) return CV_ERR_UNSUPPORTED_FEATURE;
  if (!grey && format != SANE_FRAME_RGB && frames_.size() != 3) return CV_ERR_DEVICE_FAILED;
  const int bpp = grey ? (depth == 1 ? 1 : 8) : 24;
  if (const int16_t rc = allocImage(image, width, lines, bpp); rc != CV_OK) return rc;
  if (bpp == 1) {
    image.palette = {Rgbq{255, 255, 255, 0}, Rgbq{0, 0, 0, 0}};  // SANE's lineart: 1 is black
  } else if (bpp == 8) {
    setGreyPalette(image);
  }
  const size_t needed = (size_t(width) * depth * (format == SANE_FRAME_RGB ? 3 : 1) + 7) / 8;
  if (bpl < needed) return CV_ERR_DEVICE_FAILED;
  for (int64_t y = 0; y < lines; ++y) {
    uint8_t* out = image.row(int(y));
    if (bpp == 1) {
      std::memcpy(out, frames_[0].bytes.data() + y * bpl, (size_t(width) + 7) / 8);
      continue;
    }
    if (bpp == 8) {
      const uint8_t* in = frames_[0].bytes.data() + y * bpl;
      for (int x = 0; x < width; ++x) out[x] = sample(in, x, depth);
      continue;
    }
    if (format == SANE_FRAME_RGB) {
      const uint8_t* in = frames_[0].bytes.data() + y * bpl;
      for (int x = 0; x < width; ++x)
        for (int c = 0; c < 3; ++c) out[x * 3 + 2 - c] = sample(in, x * 3 + c, depth);
      continue;
    }
    for (const Frame& f : frames_) {  // one frame per colour, in whatever order they came
      const int channel = f.params.format == SANE_FRAME_RED     ? 2
                          : f.params.format == SANE_FRAME_GREEN ? 1
                          : f.params.format == SANE_FRAME_BLUE  ? 0
                                                                : -1;
      if (channel < 0) return CV_ERR_DEVICE_FAILED;
      const uint8_t* in = f.bytes.data() + y * bpl;
      for (int x = 0; x < width; ++x) out[x * 3 + channel] = sample(in, x, depth);
    }
  }
  return CV_OK;
}

}  // namespace

int16_t listScanSources(std::vector<ScanSource>& sources, std::string& versionText,
                        const ScanPoll& poll) {
  sources.clear();
  bool found = false;
  std::vector<ScanSource> list;
  std::string version;
  runWhilePolling(
      [&] {
        const SaneSession session;
        if (!session.ok()) return;
        version = session.versionText();
        const SANE_Device** devices = nullptr;
        // Local devices only: asking the network would wait on every host the backends know.
        if (sane_get_devices(&devices, SANE_TRUE) != SANE_STATUS_GOOD || !devices) return;
        for (const SANE_Device** d = devices; *d; ++d)
          list.push_back(
              {text((*d)->name), text((*d)->vendor), text((*d)->model), text((*d)->type)});
        found = true;
      },
      [&] { return poll(0); }, [] {});
  if (!found || list.empty()) return CV_ERR_NO_DEVICE;
  sources = std::move(list);
  versionText = std::move(version);
  return CV_OK;
}

int16_t scanPage(const std::string& deviceName, Image& out, const ScanPoll& poll) {
  ScanJob job(deviceName);
  bool cancelled = false;
  runWhilePolling([&] { job.run(); }, [&] { return cancelled = poll(job.pct()); },
                  [&] { job.stop(); });
  if (job.error == CV_OK && cancelled) return CV_ERR_CANCELLED;  // asked for at the very end
  if (job.error == CV_OK) out = std::move(job.image);
  return job.error;
}

}  // namespace rastcore
