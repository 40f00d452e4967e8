// Helpers for the engine's format tests: synthetic pictures given to the engine as packed
// DIBs, pixels read back from the engine through its picture handle (parsed here, apart from
// the engine's own code), temporary folders and peer tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rastcore3.h"

namespace fmt_test {

// An engine instance for the length of a test.
struct Instance {
  CV_HANDLE h = 0;
  Instance() { CV_CreateInstance(&h); }
  ~Instance() { CV_DestroyInstance(h); }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;
  operator CV_HANDLE() const { return h; }
};

// R, G, B, A per pixel, rows top-down.
struct Pixels {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
  const uint8_t* at(int x, int y) const { return rgba.data() + (size_t(y) * width + x) * 4; }
};

// A packed DIB of the given depth with a varied pattern: indexed depths get a palette of
// distinct colours (grey ramp when `grey`), 32-bit pictures varied alpha when `alpha`.
CV_HDIB makeDib(int width, int height, int bpp, bool grey = false, bool alpha = true);
// A packed DIB from RGBA pixels (32-bit).
CV_HDIB dibFromPixels(const Pixels& pixels);

// The instance's picture as RGBA (empty when it has none).
Pixels pixelsOf(CV_HANDLE handle);

// Largest per-channel difference over R, G, B (and A when withAlpha); -1 on a size mismatch.
int maxDifference(const Pixels& a, const Pixels& b, bool withAlpha);
double meanDifference(const Pixels& a, const Pixels& b);

// A fresh temporary folder, removed at the end of the test program.
std::string tempDir();
std::vector<uint8_t> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

// A damaged or hostile file and the error number it must give (0: any error).
struct BadFile {
  const char* what;
  std::vector<uint8_t> bytes;
  int16_t error;
};
// Loads each file, as bad.<extension>, over a picture: each gives its error and leaves no
// picture behind.
void expectRefused(const std::vector<BadFile>& files, const std::string& extension);
std::vector<std::string> listDir(const std::string& dir);

bool haveProgram(const std::string& name);
int run(const std::string& command);
// Reads a binary PPM (P6) or PAM-free raw RGB file written by a peer tool.
Pixels readPpm(const std::string& path);
Pixels readRawRgba(const std::string& path, int width, int height);

// The source folder of test data.
std::string dataDir();

// Loads a file into a fresh instance; returns the handle (the caller destroys it).
CV_HANDLE load(const std::string& path, const char* password = nullptr);

}  // namespace fmt_test
