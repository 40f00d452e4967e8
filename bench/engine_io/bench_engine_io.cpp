// Loads and saves a large JPEG and PNG and counts their colours with the engine, and runs the
// peer tools on the same files in the same run: djpeg/cjpeg (libjpeg-turbo) and ImageMagick's
// convert and identify -format %k. Prints the median time of each, the peak memory of a load
// (measured in a separate process for every tool) and the engine's ratios. Then HEIC, AVIF,
// WebP and JPEG XL decodes beside each library's own command-line decoder (--formats-only 1
// runs only these).
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "rastcore3.h"

extern char** environ;

namespace {

struct Measure {
  double seconds = 0;
  long peakKb = 0;
  bool ok = true;
};

int g_runs = 3;

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Runs a command line through /bin/sh, timing it and reading its peak memory.
Measure runProcess(const std::string& command) {
  Measure m;
  std::vector<double> times;
  for (int i = 0; i < g_runs; ++i) {
    const std::string line = "exec " + command + " >/dev/null 2>&1";
    const char* argv[] = {"/bin/sh", "-c", line.c_str(), nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
      m.ok = false;
      return m;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    times.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    m.peakKb = std::max(m.peakKb, usage.ru_maxrss);
    m.ok = m.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  m.seconds = median(times);
  return m;
}

Measure timeInProcess(const std::function<bool()>& work) {
  Measure m;
  std::vector<double> times;
  for (int i = 0; i < g_runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    m.ok = work() && m.ok;
    times.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  m.seconds = median(times);
  return m;
}

// A photograph-like picture: smooth light, coloured shapes and fine grain, so that it has
// millions of colours and compresses as a photograph does.
CV_HDIB makePhoto(int w, int h) {
  const size_t stride = ((size_t(w) * 24 + 31) / 32) * 4;
  const size_t size = 40 + stride * size_t(h);
  const CV_HDIB dib = CV_DibAlloc(uint32_t(size));
  auto* d = static_cast<uint8_t*>(CV_DibLock(dib));
  const uint32_t header[] = {
      40, uint32_t(w), uint32_t(h), 1 | 24 << 16, 0, uint32_t(stride * h), 3780, 3780, 0, 0};
  std::memcpy(d, header, sizeof header);
  uint32_t seed = 12345;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = d + 40 + size_t(h - 1 - y) * stride;
    for (int x = 0; x < w; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int grain = int(seed >> 28) - 8;
      const double fx = double(x) / w, fy = double(y) / h;
      const double light = 0.5 + 0.5 * std::sin(fx * 3.1 + fy * 2.3);
      const double blob = std::sin(fx * 17.0) * std::cos(fy * 11.0);
      const int r = int(40 + 170 * light + 40 * blob) + grain;
      const int g = int(60 + 120 * fy + 50 * std::sin(fx * 29.0 + fy * 5.0)) + grain;
      const int b = int(90 + 110 * (1 - light) + 30 * blob * fy) + grain;
      row[x * 3 + 0] = uint8_t(std::clamp(b, 0, 255));
      row[x * 3 + 1] = uint8_t(std::clamp(g, 0, 255));
      row[x * 3 + 2] = uint8_t(std::clamp(r, 0, 255));
    }
  }
  return dib;
}

bool haveProgram(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

void printRow(const char* task, const Measure& ours, const char* peer, const Measure& theirs) {
  if (!theirs.ok) {
    std::printf("%-28s engine %8.3f s   %-30s (not run)\n", task, ours.seconds, peer);
    return;
  }
  std::printf("%-28s engine %8.3f s   %-30s %8.3f s   ratio %6.2fx %s\n", task, ours.seconds, peer,
              theirs.seconds, theirs.seconds / ours.seconds,
              ours.seconds <= theirs.seconds ? "(engine faster)" : "(engine slower)");
}

void printMemory(const std::string& jpg, const std::string& png, double decodedMb, bool djpeg,
                 bool magick) {
  std::printf("peak memory of a load, separate process (decoded picture %.1f MiB):\n", decodedMb);
  const std::string cli = RASTCORE3_CLI;
  const std::vector<std::pair<std::string, std::string>> tools = {
      {"engine JPEG (cli info)", cli + " info '" + jpg + "'"},
      {"engine PNG (cli info)", cli + " info '" + png + "'"},
      {"djpeg", djpeg ? "djpeg -outfile /dev/null '" + jpg + "'" : ""},
      {"convert JPEG null:", magick ? "convert '" + jpg + "' null:" : ""},
      {"convert PNG null:", magick ? "convert '" + png + "' null:" : ""}};
  const int saved = g_runs;
  g_runs = 1;
  for (const auto& [name, cmd] : tools) {
    if (cmd.empty()) continue;
    const Measure m = runProcess(cmd);
    std::printf("  %-24s %8.1f MiB  (%.2fx the decoded picture)%s\n", name.c_str(),
                m.peakKb / 1024.0, m.peakKb / 1024.0 / decodedMb, m.ok ? "" : "  FAILED");
  }
  g_runs = saved;
  std::printf("\n");
}

// The command-line decoders do the same decode and write as little as they can: dwebp
// nothing, heif-convert planar Y4M (no conversion to RGB, so it does less than the engine),
// djxl a PPM into memory-backed /dev/shm.
void benchLibraryFormats(const std::string& dir, const std::string& png,
                         const std::function<Measure(const std::string&)>& timeLoad) {
  const std::string scratch = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : dir;
  struct Format {
    const char* name;
    const char* encoder;  // makes the file from the PNG
    std::string file;
    const char* peer;
    std::string peerCommand;
  };
  const std::vector<Format> formats = {
      {"HEIC decode", "heif-enc", dir + "/photo.heic", "heif-convert -> Y4M", ""},
      {"AVIF decode", "heif-enc", dir + "/photo.avif", "heif-convert -> Y4M", ""},
      {"WebP decode", "cwebp", dir + "/photo.webp", "dwebp (no output)", ""},
      {"JPEG XL decode", "cjxl", dir + "/photo.jxl", "djxl -> PPM", ""}};
  const std::vector<std::string> make = {
      "heif-enc -q 85 '" + png + "' -o '" + formats[0].file + "'",
      "heif-enc -A -q 85 -p speed=9 '" + png + "' -o '" + formats[1].file + "'",
      "cwebp -q 85 '" + png + "' -o '" + formats[2].file + "'",
      "cjxl '" + png + "' '" + formats[3].file + "' -d 1"};
  const std::vector<std::string> decode = {
      "heif-convert '" + formats[0].file + "' " + scratch + "/rastcore-bench.y4m",
      "heif-convert '" + formats[1].file + "' " + scratch + "/rastcore-bench.y4m",
      "dwebp '" + formats[2].file + "'",
      "djxl '" + formats[3].file + "' " + scratch + "/rastcore-bench.ppm"};
  std::printf("\nformats read through their libraries (files made by the libraries' encoders):\n");
  for (size_t i = 0; i < formats.size(); ++i) {
    const Format& f = formats[i];
    if (!haveProgram(f.encoder) || std::system((make[i] + " >/dev/null 2>&1").c_str()) != 0) {
      std::printf("%-28s (%s could not make the file)\n", f.name, f.encoder);
      continue;
    }
    const Measure ours = timeLoad(f.file);
    if (!ours.ok) {
      std::printf("%-28s engine FAILED to load %s\n", f.name, f.file.c_str());
      continue;
    }
    printRow(f.name, ours, f.peer, runProcess(decode[i]));
  }
  std::remove((scratch + "/rastcore-bench.y4m").c_str());
  std::remove((scratch + "/rastcore-bench.ppm").c_str());
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = "/tmp";
  int width = 6000, height = 4000;
  bool skipPngEncode = false, formatsOnly = false, jpegOnly = false;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--runs") g_runs = std::max(1, std::atoi(argv[i + 1]));
    if (a == "--workdir") dir = argv[i + 1];
    if (a == "--width") width = std::atoi(argv[i + 1]);
    if (a == "--height") height = std::atoi(argv[i + 1]);
    if (a == "--skip-png-encode") skipPngEncode = std::atoi(argv[i + 1]) != 0;
    if (a == "--formats-only") formatsOnly = std::atoi(argv[i + 1]) != 0;
    if (a == "--jpeg-only") jpegOnly = std::atoi(argv[i + 1]) != 0;
  }
  dir += "/rastcore-bench-io";
  mkdir(dir.c_str(), 0755);
  const std::string jpg = dir + "/photo.jpg", png = dir + "/photo.png", ppm = dir + "/photo.ppm";
  const std::string out = dir + "/out";
  const double decodedMb = double(width) * height * 3 / (1 << 20);
  // The files are made in a child process, so that this process stays small while the peak
  // memory of the tools is measured (a spawned process starts from its parent's high-water mark).
  const pid_t maker = fork();
  if (maker == 0) {
    CV_HANDLE m = 0;
    CV_CreateInstance(&m);
    CV_SetHDib(m, makePhoto(width, height));
    CV_SetSaveJPGChromFactor(m, 230);  // quality 90
    for (const std::string& f : {jpg, png, ppm}) {
      if (jpegOnly && f != jpg) continue;
      CV_SetSaveFileName(m, f.c_str());
      CV_SaveFile(m);
      if (CV_GetImagError(m) != 0) {
        std::fprintf(stderr, "cannot write %s: %s\n", f.c_str(), CV_ErrorText(CV_GetImagError(m)));
        _exit(1);
      }
    }
    _exit(0);
  }
  int made = 0;
  waitpid(maker, &made, 0);
  if (!WIFEXITED(made) || WEXITSTATUS(made) != 0) return 1;
  std::printf("picture %dx%d (decoded %.1f MiB), %d runs each, median times\n\n", width, height,
              decodedMb, g_runs);
  const bool djpeg = haveProgram("djpeg"), cjpeg = haveProgram("cjpeg"),
             magick = haveProgram("convert"), jpegtran = haveProgram("jpegtran"),
             pillow = std::system("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") == 0;
  // The same picture as a progressive file, whose decoder keeps every coefficient.
  const std::string progressive = dir + "/photo_progressive.jpg";
  const bool haveProgressive =
      jpegtran && std::system(("jpegtran -progressive -outfile '" + progressive + "' '" + jpg +
                               "' >/dev/null 2>&1")
                                  .c_str()) == 0;
  if (!jpegOnly && !formatsOnly) printMemory(jpg, png, decodedMb, djpeg, magick);
  auto pillowLoad = [](const std::string& f) {
    return "/usr/bin/python3 -c \"from PIL import Image; Image.MAX_IMAGE_PIXELS = None; "
           "Image.open('" +
           f + "').load()\"";
  };

  CV_HANDLE h = 0;
  CV_CreateInstance(&h);
  CV_SetSaveJPGChromFactor(h, 230);
  // Each timed load starts from an empty instance, as the first view of a picture does; the
  // previous picture is released outside the timing.
  auto load = [&](const std::string& f) {
    return [&h, f] {
      CV_SetFileName(h, f.c_str());
      return CV_GetImagError(h) == 0;
    };
  };
  auto timeLoad = [&](const std::string& f) {
    Measure m;
    std::vector<double> times;
    for (int i = 0; i < g_runs; ++i) {
      CV_SetFileName(h, "");
      const auto start = std::chrono::steady_clock::now();
      m.ok = load(f)() && m.ok;
      times.push_back(
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    m.seconds = median(times);
    return m;
  };
  auto save = [&](const std::string& f) {
    return [&h, f] {
      CV_SetSaveFileName(h, f.c_str());
      CV_SaveFile(h);
      return CV_GetImagError(h) == 0;
    };
  };
  const Measure none{0, 0, false};
  auto peer = [&](bool have, const std::string& cmd) { return have ? runProcess(cmd) : none; };
  if (formatsOnly) {
    benchLibraryFormats(dir, png, timeLoad);
    CV_DestroyInstance(h);
    return 0;
  }

  const Measure jpegLoad = timeLoad(jpg);
  printRow("JPEG decode", jpegLoad, "djpeg", peer(djpeg, "djpeg -outfile /dev/null '" + jpg + "'"));
  printRow("JPEG decode", jpegLoad,
           "convert JPEG null:", peer(magick, "convert '" + jpg + "' null:"));
  printRow("JPEG decode", jpegLoad, "Pillow open+load", peer(pillow, pillowLoad(jpg)));
  if (haveProgressive) {
    const Measure progressiveLoad = timeLoad(progressive);
    printRow("progressive JPEG decode", progressiveLoad, "djpeg",
             peer(djpeg, "djpeg -outfile /dev/null '" + progressive + "'"));
    printRow("progressive JPEG decode", progressiveLoad, "Pillow open+load",
             peer(pillow, pillowLoad(progressive)));
  }
  if (jpegOnly) {
    CV_DestroyInstance(h);
    return 0;
  }
  const Measure jpegSave = timeInProcess(save(out + ".jpg"));
  printRow("JPEG encode (quality 90)", jpegSave, "cjpeg (from PPM)",
           peer(cjpeg, "cjpeg -quality 90 -optimize -outfile " + out + "_c.jpg '" + ppm + "'"));
  printRow("JPEG encode (quality 90)", jpegSave, "convert PPM -> JPEG",
           peer(magick, "convert '" + ppm + "' -quality 90 " + out + "_m.jpg"));
  const Measure pngLoad = timeLoad(png);
  printRow("PNG decode", pngLoad, "convert PNG null:", peer(magick, "convert '" + png + "' null:"));
  printRow("PNG decode", pngLoad, "Pillow open+load", peer(pillow, pillowLoad(png)));
  if (!skipPngEncode) {
    const Measure pngSave = timeInProcess(save(out + ".png"));
    printRow("PNG encode", pngSave, "convert PPM -> PNG",
             peer(magick, "convert '" + ppm + "' " + out + "_m.png"));
  }

  int32_t colors = 0;
  const Measure count = timeInProcess([&] {
    CV_UniqueColors(h, &colors);
    return CV_GetImagError(h) == 0;
  });
  std::printf("\ncolours: %d\n", colors);
  const Measure identify = peer(magick, "identify -format %k '" + png + "'");
  const Measure imDecode = peer(magick, "convert '" + png + "' null:");
  printRow("colour count (with decode)", Measure{count.seconds + pngLoad.seconds, 0, true},
           "identify -format %k", identify);
  if (identify.ok && imDecode.ok)
    printRow("colour count (count only)", count, "identify %k minus its decode",
             Measure{std::max(1e-6, identify.seconds - imDecode.seconds), 0, true});
  benchLibraryFormats(dir, png, timeLoad);

  CV_DestroyInstance(h);
  return 0;
}
