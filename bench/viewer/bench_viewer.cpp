// What paging costs in the viewer: the time from a move (the scroll bar set, as every key,
// button and slide show does) until the picture is painted, paging at one picture per second
// through 6000 x 4000 JPEGs and through 1600 x 1200 ones. Beside it, the engine's plain
// decode of the same file and djpeg's, measured in the same run; the pass without reading
// ahead (ReadAheadMiB = 0); the move that jumps to a picture nobody read ahead; and the memory
// the pictures read ahead held against their cap.
//
// Run: bench_viewer [pictures per size, default 10]   (offscreen: QT_QPA_PLATFORM=offscreen)
// Scripts read the lines "paging WxH: median N ms, p95 N ms, decode N ms".
#include <dlfcn.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "base/dialogs.h"
#include "base/forms.h"
#include "base/settings.h"
#include "catalogue/database.h"
#include "rastrel/rastrel.h"
#include "rastrel3_dispids.h"
#include "support/testenv.h"
#include "viewer/frmDBScreenTest.h"
// The interface first: the engine header defines macros of the same names as its enumerators.
// clang-format off
#include "rastcore3.h"
// clang-format on

using namespace glim;

namespace {

// A photograph-like picture: smooth gradients with fine noise, so the JPEG is of realistic size.
bool writeJpeg(const QString& path, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  QRandomGenerator random(42);
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) {
      const int n = int(random.bounded(24));
      line[x] = qRgb((x * 255 / width + n) & 255, (y * 255 / height + n) & 255,
                     ((x + y) * 255 / (width + height) + n) & 255);
    }
  }
  return image.save(path, "JPG", 90);
}

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t i = std::min(values.size() - 1, size_t(std::ceil(p * double(values.size())) - 1));
  return values[i];
}
double median(const std::vector<double>& values) {
  return percentile(values, 0.5);
}

double engineDecodeMs(const QString& path, int repeats) {
  CV_HANDLE handle = 0;
  CV_CreateInstance(&handle);
  std::vector<double> times;
  const QByteArray name = path.toLocal8Bit();
  for (int i = 0; i < repeats; ++i) {
    QElapsedTimer timer;
    timer.start();
    CV_SetFileName(handle, name.constData());
    times.push_back(double(timer.nsecsElapsed()) / 1e6);
    if (CV_GetImagError(handle) != 0) std::printf("engine error %d\n", CV_GetImagError(handle));
    CV_SetFileName(handle, "");
  }
  CV_DestroyInstance(handle);
  return median(times);
}

// djpeg decoding the same file to nothing, start-up included; 0 when djpeg is not installed.
double djpegMs(const QString& path, int repeats) {
  const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
  if (djpeg.isEmpty()) return 0;
  std::vector<double> times;
  for (int i = 0; i < repeats; ++i) {
    QElapsedTimer timer;
    timer.start();
    QProcess::execute(djpeg, {QStringLiteral("-outfile"), QStringLiteral("/dev/null"), path});
    times.push_back(double(timer.nsecsElapsed()) / 1e6);
  }
  return median(times);
}

bool writeRows(const QString& catalogue, const QStringList& paths) {
  catalogue::Database db = catalogue::Database::open(catalogue);
  if (!db.execute(QStringLiteral("DELETE * FROM tbl1"))) return false;
  int id = 0;
  for (const QString& path : paths)
    if (!db.execute(QStringLiteral("INSERT INTO tbl1 (IDNumber, Pathname, Extension) "
                                   "VALUES (?, ?, 'jpg')"),
                    {++id, path}))
      return false;
  return true;
}

// Lets the program run (timers, the read-ahead's thread) until `ms` after `since`.
void idleUntil(const QElapsedTimer& since, int ms) {
  const qint64 left = ms - since.elapsed();
  if (left <= 0) return;
  QEventLoop loop;
  QTimer::singleShot(int(left), &loop, &QEventLoop::quit);
  loop.exec();
}

int64_t peakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

struct Group {
  const char* name;
  int width, height;
  int first = 0, count = 0;  // positions in the set
  QString path;              // the first file, for the plain decodes
};

// Notes when the picture control's window has finished its first paint since arm(): for a
// picture painted first from a preview, that is before the move returns, while the full
// picture still decodes.
class PaintWatch final : public QObject {
 public:
  explicit PaintWatch(QWidget* control) : control_(control) { qApp->installEventFilter(this); }
  ~PaintWatch() override { qApp->removeEventFilter(this); }
  void arm(const QElapsedTimer* clock) {
    clock_ = clock;
    firstMs_ = -1;
  }
  double firstMs() const { return firstMs_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Paint || painting_ || firstMs_ >= 0 || !clock_) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || (widget != control_ && !control_->isAncestorOf(widget))) return false;
    painting_ = true;
    watched->event(event);  // painted here, so that the time is taken when it is done
    painting_ = false;
    firstMs_ = double(clock_->nsecsElapsed()) / 1e6;
    return true;
  }

 private:
  QWidget* control_;
  const QElapsedTimer* clock_ = nullptr;
  double firstMs_ = -1;
  bool painting_ = false;
};

struct Pass {
  std::vector<double> moves;  // paging one picture at a time, both ways
  std::vector<double> firstShowings;
  std::vector<double> paints;  // of each move, the painting
  std::vector<double> cpu;     // of each move, the time the program's own thread ran
  double jump = 0;             // the move into the group from elsewhere
  double jumpOnScreen = 0;     // ... until the picture (or its preview) was on screen
};

double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

int engineHandle();

// Pages through each group at one picture per second: a jump to its first picture from the
// far end of the set, forward to its last (first showings), back to its first (later
// showings).
std::vector<Pass> pageThrough(const std::vector<Group>& groups, int32_t (*peakOf)(CV_HANDLE),
                              int32_t* peak) {
  auto* viewer = forms::get<frmDBScreenTest>();
  viewer->resize(1024, 768);
  viewer->show();
  QCoreApplication::processEvents();
  QScrollBar* bar = viewer->HScrollPictureMove();
  Pass* pass = nullptr;
  PaintWatch watch(viewer->Photo1()->widget());
  double onScreen = 0;
  auto moveTo = [&](int position) {
    QElapsedTimer clock;
    clock.start();
    watch.arm(&clock);
    const double cpu0 = threadCpuMs();
    bar->setValue(position);
    const qint64 moved = clock.nsecsElapsed();
    // Painted: what the move asked to be drawn is drawn, before anything else runs.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    pass->paints.push_back(double(clock.nsecsElapsed() - moved) / 1e6);
    pass->cpu.push_back(threadCpuMs() - cpu0);
    onScreen = watch.firstMs() >= 0 ? std::min(watch.firstMs(), ms) : ms;
    idleUntil(clock, 1000);
    return ms;
  };
  std::vector<Pass> passes;
  for (const Group& g : groups) {
    passes.emplace_back();
    pass = &passes.back();
    // From the far end of the set, whose neighbours are not this group's first picture.
    moveTo(bar->maximum());
    pass->jump = moveTo(g.first);
    pass->jumpOnScreen = onScreen;
    pass->paints.clear();
    pass->cpu.clear();
    for (int i = 1; i < g.count; ++i) {
      const double ms = moveTo(g.first + i);
      pass->moves.push_back(ms);
      pass->firstShowings.push_back(ms);
    }
    for (int i = g.count - 2; i >= 0; --i) pass->moves.push_back(moveTo(g.first + i));
  }
  if (peakOf && peak) *peak = peakOf(CV_HANDLE(engineHandle()));
  viewer->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return passes;
}

int engineHandle() {
  auto* viewer = forms::get<frmDBScreenTest>();
  auto* control =
      viewer->Photo1() ? qobject_cast<RastrelControl*>(viewer->Photo1()->widget()) : nullptr;
  return control ? int(control->get(rastrel::dispid::ImagID).whole()) : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int perSize = argc > 1 ? std::max(3, atoi(argv[1])) : 10;
  test::TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;

  std::vector<Group> groups = {{"6000x4000", 6000, 4000, 0, 0, {}},
                               {"1600x1200", 1600, 1200, 0, 0, {}}};
  // A small picture first, so that every group is entered by a jump from elsewhere.
  const QString folder = env.folder(QStringLiteral("pics"));
  QStringList paths{folder + QStringLiteral("/start.jpg")};
  writeJpeg(paths.front(), 64, 48);
  for (Group& g : groups) {
    g.first = int(paths.size());
    g.count = perSize;
    // Copies of one picture: every file is decoded in full, and generating stays quick.
    for (int i = 0; i < perSize; ++i) {
      const QString path = folder + QStringLiteral("/%1_%2.jpg").arg(QLatin1String(g.name)).arg(i);
      if (i == 0 && !writeJpeg(path, g.width, g.height)) return 1;
      if (i == 0) g.path = path;
      if (i > 0) QFile::copy(g.path, path);
      paths << path;
    }
  }

  using PeakFn = int32_t (*)(CV_HANDLE);
  const auto peakOf = reinterpret_cast<PeakFn>(dlsym(RTLD_DEFAULT, "CV_GetReadAheadPeak"));
  std::vector<Pass> off, on;
  int32_t peak = 0;
  int64_t rssOff = 0;
  for (const bool readAhead : {false, true}) {
    // Each pass starts from a catalogue whose rows were never shown.
    if (!writeRows(env.catalogue(), paths)) return 1;
    settings::write(settings::kSettings, QStringLiteral("ReadAheadMiB"),
                    readAhead ? QStringLiteral("512") : QStringLiteral("0"));
    auto* viewer = forms::get<frmDBScreenTest>();
    if (!viewer->Photo1()) {
      std::printf("the imaging control could not be loaded\n");
      return 1;
    }
    (readAhead ? on : off) = pageThrough(groups, peakOf, readAhead ? &peak : nullptr);
    if (!readAhead) rssOff = peakRssMiB();
  }

  for (size_t i = 0; i < groups.size(); ++i) {
    const Group& g = groups[i];
    const double decode = engineDecodeMs(g.path, 5);
    const double djpeg = djpegMs(g.path, 5);
    std::printf("paging %s: median %.0f ms, p95 %.0f ms, decode %.0f ms\n", g.name,
                median(on[i].moves), percentile(on[i].moves, 0.95), decode);
    std::printf(
        "  read-ahead on:  first showings median %.1f ms; jump: on screen %.1f ms (%.2f x "
        "decode), full picture %.1f ms (%.2f x decode)\n",
        median(on[i].firstShowings), on[i].jumpOnScreen, on[i].jumpOnScreen / decode, on[i].jump,
        on[i].jump / decode);
    std::printf(
        "  of a move (median), on / off: painting %.1f / %.1f ms; the program's thread "
        "busy %.1f / %.1f ms\n",
        median(on[i].paints), median(off[i].paints), median(on[i].cpu), median(off[i].cpu));
    std::printf(
        "  read-ahead off: median %.1f ms (%.2f x decode), p95 %.1f ms, first showings median "
        "%.1f ms\n",
        median(off[i].moves), median(off[i].moves) / decode, percentile(off[i].moves, 0.95),
        median(off[i].firstShowings));
    std::printf("  decode: engine %.1f ms, djpeg %.1f ms (process start included)\n", decode,
                djpeg);
  }
  std::printf(
      "memory: read-ahead peak %d MiB (cap 512 MiB); process peak RSS %lld MiB without "
      "read-ahead, %lld MiB after the pass with it\n",
      int(peak), (long long)rssOff, (long long)peakRssMiB());
  return 0;
}
