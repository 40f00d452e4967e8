// The acquisition side of the flat interface: scanners through SANE, pictures captured by the
// host, and the host's poll function that makes long steps cancellable.
#include <algorithm>
#include <cstring>
#include <string>

#include "acquire/polled.h"
#include "acquire/sane_scanner.h"
#include "fileformat/bytes.h"
#include "fileformat/dib.h"
#include "instance.h"
#include "ops/ops_state.h"
#include "rastcore3_ops.h"

using namespace rastcore;

namespace {

// A scanned or captured picture replaces the current one as a loaded file does.
void adoptAcquired(CV_HANDLE handle, Instance& inst, Image&& image) {
  inst.image = std::move(image);
  inst.file.fileName.clear();
  inst.file.format = 0;  // no file format
  inst.file.fileBpp = inst.image.bpp;
  inst.file.numPages = 1;
  inst.file.resUnits = RES_Inch;
  inst.file.fileSize = 0;
  inst.hasUndo = false;
  inst.undo = Image{};
  if (ops::OpsState* st = ops::opsStateFor(handle)) ++st->generation;
}

// Progress of a scan, posted from the calling thread as loads post theirs.
class ScanProgress {
 public:
  ScanProgress(CV_HANDLE handle, Instance& inst) : handle_(handle), inst_(inst) {
    ProgressState& p = inst_.progress;
    p.id = CV_PROGRESS_SCAN;
    p.pct = 0;
    p.done = false;
    p.asyncError = 0;
    p.bytesDone = p.bytesTotal = 0;
  }
  void report(int pct) {
    ProgressState& p = inst_.progress;
    if (pct == last_ || !p.enabled || !p.post) return;
    last_ = pct;
    p.pct = int16_t(std::clamp(pct, 0, 100));
    if (p.progressMessage) p.post(p.context, handle_, p.progressMessage);
    if (p.asyncMessage) p.post(p.context, handle_, p.asyncMessage);
  }
  void end(int16_t error) {
    ProgressState& p = inst_.progress;
    p.done = true;
    p.asyncError = error;
    if (p.enabled && p.post && p.asyncMessage) p.post(p.context, handle_, p.asyncMessage);
  }

 private:
  CV_HANDLE handle_;
  Instance& inst_;
  int last_ = -1;
};

const ScanSource* findSource(const std::vector<ScanSource>& sources, const std::string& name) {
  const auto it = std::find_if(sources.begin(), sources.end(),
                               [&](const ScanSource& s) { return s.name == name; });
  return it == sources.end() ? nullptr : &*it;
}

void choose(Instance& inst, const ScanSource& source, const std::string& version) {
  inst.scanSource = source.name;
  inst.file.twainManufacturer = source.vendor;
  inst.file.twainProductName = source.model;
  inst.file.twainProductFamily = source.type;
  inst.file.twainVersionInfo = version;
}

// The scanners, asking the poll function while SANE looks for them.
int16_t findSources(CV_HANDLE handle, std::vector<ScanSource>& sources, std::string& version) {
  return listScanSources(sources, version,
                         [handle](int) { return pollInstance(handle, CV_PROGRESS_SCAN); });
}

}  // namespace

#define WITH_INSTANCE(fallback)         \
  Instance* inst = instanceFor(handle); \
  if (!inst) return fallback;

extern "C" {

void CV_SetPollFunction(CV_HANDLE handle, CV_PollFn poll, void* context) {
  WITH_INSTANCE()
  inst->pollFn = poll;
  inst->pollContext = context;
}

int32_t CV_TwainSources(CV_HANDLE handle, char* buf, int32_t size) {
  WITH_INSTANCE(-1)
  std::vector<ScanSource> sources;
  std::string version;
  const int16_t rc = findSources(handle, sources, version);
  if (!(inst = instanceFor(handle))) return -1;  // the host's events may have destroyed it
  inst->error = rc;
  std::string lines;
  for (const ScanSource& s : sources)
    lines += s.name + '\t' + s.vendor + '\t' + s.model + '\t' + s.type + '\n';
  return copyText(lines, buf, size);
}

void CV_SetTwainSource(CV_HANDLE handle, const char* name) {
  WITH_INSTANCE()
  const std::string wanted = name ? name : "";
  if (wanted.empty()) {
    inst->error = CV_ERR_CANCELLED;
    return;
  }
  std::vector<ScanSource> sources;
  std::string version;
  const int16_t rc = findSources(handle, sources, version);
  if (!(inst = instanceFor(handle))) return;
  const ScanSource* source = rc == CV_OK ? findSource(sources, wanted) : nullptr;
  if (source) choose(*inst, *source, version);
  inst->error = source ? CV_OK : CV_ERR_NO_DEVICE;
}

int32_t CV_GetTwainSource(CV_HANDLE handle, char* buf, int32_t size) {
  WITH_INSTANCE(-1)
  return copyText(inst->scanSource, buf, size);
}

void CV_TwainSelect(CV_HANDLE handle) {
  WITH_INSTANCE()
  std::vector<ScanSource> sources;
  std::string version;
  const int16_t rc = findSources(handle, sources, version);
  if (!(inst = instanceFor(handle))) return;
  if (rc == CV_OK) {
    const ScanSource* chosen = findSource(sources, inst->scanSource);
    choose(*inst, chosen ? *chosen : sources.front(), version);
  }
  inst->error = rc;
}

void CV_TwainAcquire(CV_HANDLE handle) {
  WITH_INSTANCE()
  std::string device = inst->scanSource;
  if (device.empty()) {  // nothing chosen yet: the first scanner, chosen from now on
    CV_TwainSelect(handle);
    if (!(inst = instanceFor(handle)) || inst->error != CV_OK) return;
    device = inst->scanSource;
  }
  ScanProgress progress(handle, *inst);
  Image image;
  const int16_t rc = scanPage(device, image, [&](int pct) {
    progress.report(pct);
    return pollInstance(handle, CV_PROGRESS_SCAN);
  });
  if (!(inst = instanceFor(handle))) return;
  if (rc == CV_OK) {
    adoptAcquired(handle, *inst, std::move(image));
    progress.report(100);  // the last wait may have ended before any report of the end
  }
  inst->error = rc;
  progress.end(rc);
}

void CV_CaptureDib(CV_HANDLE handle, CV_HDIB dib) {
  WITH_INSTANCE()
  if (dib == 0) {
    inst->error = CV_ERR_SCREEN_DENIED;
    return;
  }
  Image image;
  if (const int16_t rc = takeDib(*inst, dib, image); rc != CV_OK) {
    inst->error = rc;
    return;
  }
  adoptAcquired(handle, *inst, std::move(image));
  inst->error = CV_OK;
}

}  // extern "C"
