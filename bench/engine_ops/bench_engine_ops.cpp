// Times the engine's processing methods against ImageMagick (convert) and libvips (vips) on the
// same photographs in the same run. Each tool runs as its own process that reads a PPM, does one
// operation and writes a PPM; the table shows the best wall time of the runs and the peak
// resident memory of that process, and our ratios. A second column gives the engine's time for
// the operation alone (in process, without reading and writing the file).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fileformat/checked.h"
#include "image.h"
#include "instance.h"
#include "ops/op_by_name.h"
#include "rastcore3.h"
#include "rastcore3_ops.h"

namespace {

struct Run {
  double seconds = -1;  // < 0: the tool failed or is missing
  long peakKiB = 0;
};

// Runs argv as a child process; wall time and the child's peak resident set.
Run runDirect(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::fflush(stdout);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr))
      _exit(126);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  Run r;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.peakKiB = usage.ru_maxrss;
  }
  return r;
}

// A child's peak resident set includes what it had before exec, which is its parent's memory
// at fork: after this program has loaded a photograph, every child would look that large. So
// the children are started by a launcher forked at the very start, while this program is
// still small; it takes argument lists over a pipe and answers with the Run.
struct Launcher {
  int commands = -1, results = -1;
};
Launcher g_launcher;

bool readAll(int fd, void* data, size_t size) {
  auto* p = static_cast<char*>(data);
  while (size) {
    const ssize_t n = read(fd, p, size);
    if (n <= 0) return false;
    p += n;
    size -= size_t(n);
  }
  return true;
}

bool writeAll(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size) {
    const ssize_t n = write(fd, p, size);
    if (n <= 0) return false;
    p += n;
    size -= size_t(n);
  }
  return true;
}

void startLauncher() {
  int commands[2], results[2];
  if (pipe(commands) != 0 || pipe(results) != 0) return;
  if (fork() == 0) {
    close(commands[1]);
    close(results[0]);
    for (;;) {
      uint32_t size = 0;
      if (!readAll(commands[0], &size, sizeof size) || size == 0) _exit(0);
      std::string packed(size, '\0');
      if (!readAll(commands[0], packed.data(), size)) _exit(0);
      std::vector<std::string> argv;
      for (size_t at = 0; at < packed.size();) {
        const size_t end = packed.find('\0', at);
        argv.push_back(packed.substr(at, end - at));
        at = end + 1;
      }
      const Run r = runDirect(argv);
      if (!writeAll(results[1], &r, sizeof r)) _exit(0);
    }
  }
  close(commands[0]);
  close(results[1]);
  g_launcher = {commands[1], results[0]};
}

Run runProcess(const std::vector<std::string>& argv) {
  if (g_launcher.commands < 0) return runDirect(argv);
  std::string packed;
  for (const auto& a : argv) packed += a + '\0';
  const auto size = uint32_t(packed.size());
  Run r;
  if (!writeAll(g_launcher.commands, &size, sizeof size) ||
      !writeAll(g_launcher.commands, packed.data(), size) ||
      !readAll(g_launcher.results, &r, sizeof r))
    return Run{};
  return r;
}

Run best(const std::vector<std::string>& argv, int runs) {
  Run b;
  for (int i = 0; i < runs; ++i) {
    const Run r = runProcess(argv);
    if (r.seconds < 0) return r;
    if (b.seconds < 0 || r.seconds < b.seconds) b.seconds = r.seconds;
    b.peakKiB = std::max(b.peakKiB, r.peakKiB);
  }
  return b;
}

// A photograph-like test picture: smooth shapes and light falloff, fine texture and sensor
// grain, so neither flat areas nor pure noise dominate.
bool writePhoto(const std::string& path, int w, int h) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fprintf(f, "P6\n%d %d\n255\n", w, h);
  std::mt19937 rng(1234);
  std::normal_distribution<float> grain(0.f, 4.f);
  std::vector<uint8_t> row(size_t(w) * 3);
  for (int y = 0; y < h; ++y) {
    const float v = float(y) / h;
    for (int x = 0; x < w; ++x) {
      const float u = float(x) / w;
      const float vignette = 1.f - 0.5f * ((u - .5f) * (u - .5f) + (v - .5f) * (v - .5f));
      const float sky = 160 + 60 * std::sin(3.1f * u + 1.3f * v);
      const float hills = 90 + 70 * std::sin(11.f * u * u + 5.f * v) * std::cos(7.f * v);
      const float texture =
          20 * std::sin(200.f * u + 40 * std::sin(60.f * v)) * std::sin(150.f * v);
      const float r = (v < .4f ? sky * .7f : hills + texture) * vignette + grain(rng);
      const float g = (v < .4f ? sky * .85f : hills * 1.1f + texture * .8f) * vignette + grain(rng);
      const float b = (v < .4f ? sky : hills * .6f + texture * .5f) * vignette + grain(rng);
      row[3 * size_t(x)] = uint8_t(std::clamp(r, 0.f, 255.f));
      row[3 * size_t(x) + 1] = uint8_t(std::clamp(g, 0.f, 255.f));
      row[3 * size_t(x) + 2] = uint8_t(std::clamp(b, 0.f, 255.f));
    }
    std::fwrite(row.data(), 1, row.size(), f);
  }
  return std::fclose(f) == 0;
}

struct Case {
  const char* name;
  std::string ours;                   // --op argument of rastcore3-cli
  std::vector<std::string> magick;    // convert arguments between IN and OUT
  std::vector<std::string> vips;      // vips operation and arguments; IN OUT inserted after [0]
  std::vector<std::string> vipsTail;  // arguments after OUT
  const char* vipsOut = ".ppm";
};

std::vector<Case> cases(int w, int h) {
  const std::string hw = std::to_string(w / 2), hh = std::to_string(h / 2);
  return {
      {"rotate 90", "Rotate:-90", {"-rotate", "90"}, {"rot"}, {"d90"}},
      {"rotate 45", "Rotate:45", {"-rotate", "45"}, {"rotate"}, {"45"}},
      {"flip", "Flip", {"-flip"}, {"flip"}, {"vertical"}},
      {"sharpen", "Sharpen:5", {"-sharpen", "0x1"}, {"sharpen"}, {}},
      {"soften", "Soften:5", {"-blur", "0x1"}, {"gaussblur"}, {"1"}},
      {"gamma 2.2", "Gamma:2.2", {"-gamma", "2.2"}, {"gamma"}, {"--exponent", "2.2"}},
      {"brightness +20",
       "Brightness:20",
       {"-evaluate", "add", "8%"},
       {"linear"},
       {"1", "20", "--uchar"}},
      {"auto-contrast", "AutoContrast", {"-normalize"}, {"hist_equal"}, {}},
      {"FS to 256 colours",
       "ColorDepth:8,5,1",
       {"-dither", "FloydSteinberg", "-colors", "256"},
       {"pngsave"},
       {"--palette", "--colours", "256", "--dither", "1", "--compression", "0"},
       ".png"},
      {"resize 50% nearest",
       "Resize:" + hw + "," + hh,
       {"-sample", "50%"},
       {"resize"},
       {"0.5", "--kernel", "nearest"}},
      {"resize 50% bilinear",
       "Resample:" + hw + "," + hh,
       {"-filter", "Triangle", "-resize", "50%"},
       {"resize"},
       {"0.5", "--kernel", "linear"}},
      {"resize 50% lanczos",
       "PICResize:" + hw + "," + hh,
       {"-filter", "Lanczos", "-resize", "50%"},
       {"resize"},
       {"0.5", "--kernel", "lanczos3"}},
  };
}

// The engine's time for the operation alone: the picture is loaded once and each run works on
// a fresh copy.
// Columns: "op only" our operation in process (and "cpu" its processor seconds); per tool the best
// wall time and peak memory of its whole run; IM/us and vips/us the ratios of whole runs; IMop and
// vipsop the peers' operation time (run less read-and-write) over ours; "mem x" our peak over the
// decoded size, and "net x" the same without the tool's start-up footprint (libraries and
// runtime, measured by running it with --help), which dominates for small pictures.
double cpuSeconds() {
  struct rusage u {};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// --polled: the operation runs as under a host that polls (Multitask on, a poll function that
// never cancels), to time the polled path against the plain one.
bool g_polled = false;
int16_t neverCancel(void*, CV_HANDLE, int16_t) {
  return 0;
}

// Best wall time of the operation alone; cpu receives the processor time (all threads) of
// that run, which a busy machine disturbs less than the wall time.
double opOnly(const rastcore::Image& photo, const std::string& op, int runs, double& cpu) {
  const size_t colon = op.find(':');
  const std::string name = op.substr(0, colon);
  std::vector<std::string> args;
  if (colon != std::string::npos) {
    std::string rest = op.substr(colon + 1);
    size_t p;
    while ((p = rest.find(',')) != std::string::npos) {
      args.push_back(rest.substr(0, p));
      rest = rest.substr(p + 1);
    }
    args.push_back(rest);
  }
  double bestTime = -1;
  for (int i = 0; i < runs; ++i) {
    CV_HANDLE h;
    CV_CreateInstance(&h);
    // The copy is allocated as a decoded picture is (huge pages for large pictures).
    rastcore::Image copy;
    if (rastcore::allocImage(copy, photo.width, photo.height, photo.bpp) != 0) return -1;
    std::memcpy(copy.pixels.data(), photo.pixels.data(), photo.pixels.size());
    copy.palette = photo.palette;
    rastcore::instanceFor(h)->image = std::move(copy);
    if (g_polled) {
      CV_SetPollFunction(h, &neverCancel, nullptr);
      CV_SetMultitask(h, -1);
    }
    const double cpu0 = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const int16_t err = rastcore::applyNamedOp(h, name, args);
    const double t =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double c = cpuSeconds() - cpu0;
    CV_DestroyInstance(h);
    if (err) return -1;
    if (bestTime < 0 || t < bestTime) {
      bestTime = t;
      cpu = c;
    }
  }
  return bestTime;
}

std::string cell(const Run& r) {
  char buf[64];
  if (r.seconds < 0) return "      n/a        ";
  std::snprintf(buf, sizeof buf, "%7.3f s %5ld MB", r.seconds, r.peakKiB / 1024);
  return buf;
}

// The peer's time for the operation alone, estimated as its run less its read-and-write run,
// over ours measured in process.
std::string opRatio(const Run& peer, const Run& peerBase, double ours) {
  char buf[32];
  if (peer.seconds < 0 || peerBase.seconds < 0 || ours <= 0) return "   n/a";
  std::snprintf(buf, sizeof buf, "%6.1f", std::max(0.0, peer.seconds - peerBase.seconds) / ours);
  return buf;
}

std::string ratio(const Run& peer, const Run& ours) {
  char buf[32];
  if (peer.seconds < 0 || ours.seconds <= 0) return "   n/a";
  std::snprintf(buf, sizeof buf, "%6.2f", peer.seconds / ours.seconds);
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  startLauncher();
  int runs = 3;
  bool quick = false, large = false, oursOnly = false;
  std::string only;
  std::string dir = "/tmp/rc3_bench_ops";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--quick")
      quick = true;
    else if (a == "--runs" && i + 1 < argc)
      runs = std::max(1, std::atoi(argv[++i]));
    else if (a == "--workdir" && i + 1 < argc)
      dir = argv[++i];
    else if (a == "--large")
      large = true;
    else if (a == "--ours-only")
      oursOnly = true;
    else if (a == "--only" && i + 1 < argc)
      only = argv[++i];
    else if (a == "--polled")
      g_polled = true;
    else {
      std::printf(
          "usage: %s [--quick | --large] [--runs N] [--workdir DIR] [--ours-only] [--only TEXT]\n"
          "          [--polled]\n"
          "  --quick      only the 1600 x 1200 picture; --large only the 6000 x 4000 one\n"
          "  --ours-only  skip the peers (their columns read n/a)\n"
          "  --only TEXT  only the operations whose name contains TEXT\n"
          "  --polled     the operations alone as under a host that polls (Multitask on)\n",
          argv[0]);
      return a == "--help" ? 0 : 2;
    }
  }
  runProcess({"mkdir", "-p", dir});
  const std::string magick = access("/usr/bin/convert", X_OK) == 0 ? "/usr/bin/convert" : "convert";
  std::vector<std::pair<int, int>> sizes = {{1600, 1200}, {6000, 4000}};
  if (quick) sizes = {{1600, 1200}};
  if (large) sizes = {{6000, 4000}};
  for (auto [w, h] : sizes) {
    const std::string in = dir + "/photo_" + std::to_string(w) + "x" + std::to_string(h) + ".ppm";
    if (access(in.c_str(), R_OK) != 0 && !writePhoto(in, w, h)) {
      std::fprintf(stderr, "cannot write %s\n", in.c_str());
      return 1;
    }
    CV_HANDLE loader;
    CV_CreateInstance(&loader);
    CV_SetFileName(loader, in.c_str());
    if (CV_GetImagError(loader) != 0) {
      std::fprintf(stderr, "the engine cannot read %s\n", in.c_str());
      return 1;
    }
    const rastcore::Image photo = rastcore::instanceFor(loader)->image;
    CV_DestroyInstance(loader);
    const double decodedMB = double(photo.pixels.size()) / (1024 * 1024);
    std::printf("\n%d x %d photograph, decoded %.0f MB, best of %d runs, %ld cores\n", w, h,
                decodedMB, runs, sysconf(_SC_NPROCESSORS_ONLN));
    const Run baseOurs = best({RASTCORE3_CLI, "convert", in, dir + "/copy.ppm"}, runs);
    const Run idleOurs = best({RASTCORE3_CLI, "--help"}, 1);
    const Run skipped;
    const Run baseMagick = oursOnly ? skipped : best({magick, in, dir + "/copy.ppm"}, runs);
    const Run baseVips = oursOnly ? skipped : best({"vips", "copy", in, dir + "/copy.ppm"}, runs);
    std::printf("read+write only:     ours %s   convert %s   vips %s\n", cell(baseOurs).c_str(),
                cell(baseMagick).c_str(), cell(baseVips).c_str());
    std::printf("start-up footprint of rastcore3-cli: %ld MB\n", idleOurs.peakKiB / 1024);
    std::printf("%-20s %9s %6s | %-17s | %-17s | %-17s | %6s %6s | %6s %6s | %5s %5s\n",
                "operation", "op only", "cpu", "rastcore3-cli", "convert", "vips", "IM/us",
                "vips/us", "IMop", "vipsop", "mem x", "net x");
    // The resizes write a quarter of the picture, so for them a peer's read-and-write time is
    // taken from its nearest-neighbour resize (the same read and write, next to no work
    // between) rather than from its full-size copy.
    Run sampleMagick = baseMagick, sampleVips = baseVips;
    for (const Case& c : cases(w, h)) {
      if (!only.empty() && std::string(c.name).find(only) == std::string::npos) continue;
      const Run ours =
          best({RASTCORE3_CLI, "convert", in, dir + "/ours.ppm", "--op", c.ours}, runs);
      std::vector<std::string> im = {magick, in};
      im.insert(im.end(), c.magick.begin(), c.magick.end());
      im.push_back(dir + "/magick.ppm");
      const Run theirs = oursOnly ? skipped : best(im, runs);
      std::vector<std::string> vv = {"vips", c.vips[0], in, dir + "/vips" + c.vipsOut};
      vv.insert(vv.end(), c.vipsTail.begin(), c.vipsTail.end());
      const Run vips = oursOnly ? skipped : best(vv, runs);
      const bool resize = std::string(c.name).rfind("resize", 0) == 0;
      if (std::string(c.name) == "resize 50% nearest") {
        if (theirs.seconds >= 0) sampleMagick = theirs;
        if (vips.seconds >= 0) sampleVips = vips;
      }
      const bool resampled = resize && std::string(c.name) != "resize 50% nearest";
      double cpu = 0;
      const double alone = opOnly(photo, c.ours, runs, cpu);
      std::printf("%-20s %7.3f s %6.3f | %s | %s | %s | %s %s | %s %s | %5.2f %5.2f\n", c.name,
                  alone, cpu, cell(ours).c_str(), cell(theirs).c_str(), cell(vips).c_str(),
                  ratio(theirs, ours).c_str(), ratio(vips, ours).c_str(),
                  opRatio(theirs, resampled ? sampleMagick : baseMagick, alone).c_str(),
                  opRatio(vips, resampled ? sampleVips : baseVips, alone).c_str(),
                  ours.peakKiB / 1024.0 / decodedMB,
                  (ours.peakKiB - idleOurs.peakKiB) / 1024.0 / decodedMB);
      std::fflush(stdout);
    }
  }
  return 0;
}
