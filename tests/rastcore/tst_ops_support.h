// Test support for the processing, view and drawing tests: pictures of every depth, a plain
// per-pixel reader written independently of the engine's own helpers, and an instance holding
// a given picture.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "image.h"
#include "instance.h"
#include "rastcore3.h"
#include "rastcore3_ops.h"

namespace opstest {

using rastcore::Image;
using rastcore::Rgbq;

inline const std::vector<int16_t>& allDepths() {
  static const std::vector<int16_t> d = {1, 4, 8, 24, 32};
  return d;
}

// A picture of random pixels (and a random palette for indexed depths).
inline Image randomImage(int w, int h, int16_t bpp, uint32_t seed = 7) {
  std::mt19937 rng(seed);
  Image img;
  img.width = w;
  img.height = h;
  img.bpp = bpp;
  img.pixels.resize(Image::strideFor(w, bpp) * size_t(h));
  for (auto& b : img.pixels) b = uint8_t(rng());
  if (bpp <= 8) {
    img.palette.resize(size_t(1) << bpp);
    for (auto& c : img.palette) c = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
  }
  // Padding bytes stay zero so whole-buffer comparisons are meaningful.
  const size_t used = (size_t(w) * bpp + 7) / 8;
  for (int y = 0; y < h; ++y)
    for (size_t i = used; i < Image::strideFor(w, bpp); ++i)
      img.pixels[size_t(y) * img.stride() + i] = 0;
  if (bpp < 8 && (w * bpp) % 8) {
    // Unused low bits of the last byte of each row are zero as well.
    const int bits = (w * bpp) % 8;
    for (int y = 0; y < h; ++y)
      img.pixels[size_t(y) * img.stride() + used - 1] &= uint8_t(0xFF << (8 - bits));
  }
  return img;
}

// Plain reader: the colour at (x, y), alpha 255 below 32 bits.
inline Rgbq colourAt(const Image& img, int x, int y) {
  const uint8_t* row = img.pixels.data() + size_t(y) * img.stride();
  if (img.bpp <= 8) {
    const int bitPos = x * img.bpp;
    const int byte = row[bitPos / 8];
    const int shift = 8 - img.bpp - bitPos % 8;
    const int index = (byte >> shift) & ((1 << img.bpp) - 1);
    Rgbq c = img.palette.at(size_t(index));
    c.reserved = 255;
    return c;
  }
  const int n = img.bpp / 8;
  const uint8_t* p = row + size_t(x) * n;
  return {p[0], p[1], p[2], uint8_t(n == 4 ? p[3] : 255)};
}

// Rotation by `angle` degrees against a plain double-precision bilinear reference: each result
// pixel centre is mapped back into the picture, `back` outside it. Returns the largest
// difference of any colour channel.
inline int worstRotationDifference(const Image& src, const Image& out, double angle, Rgbq back) {
  const double r = angle * M_PI / 180, c = std::cos(r), s = std::sin(r);
  auto at = [&](int x, int y) {
    return (x < 0 || y < 0 || x >= src.width || y >= src.height) ? back : colourAt(src, x, y);
  };
  int worst = 0;
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) {
      const double u = x + 0.5 - out.width / 2.0, v = y + 0.5 - out.height / 2.0;
      const double sx = u * c - v * s + src.width / 2.0 - 0.5;
      const double sy = u * s + v * c + src.height / 2.0 - 0.5;
      const int x0 = int(std::floor(sx)), y0 = int(std::floor(sy));
      const double ax = sx - x0, ay = sy - y0;
      for (auto ch : {&Rgbq::b, &Rgbq::g, &Rgbq::r}) {
        const double ref = (at(x0, y0).*ch * (1 - ax) + at(x0 + 1, y0).*ch * ax) * (1 - ay) +
                           (at(x0, y0 + 1).*ch * (1 - ax) + at(x0 + 1, y0 + 1).*ch * ax) * ay;
        worst = std::max(worst, std::abs(int(colourAt(out, x, y).*ch) - int(std::lround(ref))));
      }
    }
  return worst;
}

inline uint32_t key(Rgbq c) {
  return uint32_t(c.b) | uint32_t(c.g) << 8 | uint32_t(c.r) << 16 | uint32_t(c.reserved) << 24;
}

inline size_t distinctColours(const Image& img) {
  std::set<uint32_t> s;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) s.insert(key(colourAt(img, x, y)) & 0xFFFFFF);
  return s.size();
}

// True when both pictures show the same colours at every pixel.
inline bool sameColours(const Image& a, const Image& b) {
  if (a.width != b.width || a.height != b.height) return false;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      if (!(colourAt(a, x, y) == colourAt(b, x, y))) return false;
  return true;
}

// An engine instance holding a picture, destroyed at the end of the test.
struct Inst {
  CV_HANDLE h = 0;
  Inst() { CV_CreateInstance(&h); }
  explicit Inst(const Image& img) : Inst() { set(img); }
  ~Inst() { CV_DestroyInstance(h); }
  Inst(const Inst&) = delete;
  Inst& operator=(const Inst&) = delete;
  void set(const Image& img) { rastcore::instanceFor(h)->image = img; }
  Image& image() { return rastcore::instanceFor(h)->image; }
  int16_t error() const { return CV_GetImagError(h); }
};

// Binary PPM (P6) files, to hand pictures to independent tools.
inline bool writePpm(const std::string& path, const Image& img) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fprintf(f, "P6\n%d %d\n255\n", img.width, img.height);
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      const Rgbq c = colourAt(img, x, y);
      const uint8_t rgb[3] = {c.r, c.g, c.b};
      std::fwrite(rgb, 1, 3, f);
    }
  return std::fclose(f) == 0;
}

inline bool readPpm(const std::string& path, Image& img) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  int w = 0, h = 0, maxv = 0;
  const bool ok =
      std::fscanf(f, "P6 %d %d %d", &w, &h, &maxv) == 3 && maxv == 255 && std::fgetc(f) != EOF;
  if (!ok || w <= 0 || h <= 0) {
    std::fclose(f);
    return false;
  }
  img = Image{};
  img.width = w;
  img.height = h;
  img.bpp = 24;
  img.pixels.assign(Image::strideFor(w, 24) * size_t(h), 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t rgb[3];
      if (std::fread(rgb, 1, 3, f) != 3) {
        std::fclose(f);
        return false;
      }
      uint8_t* p = img.pixels.data() + size_t(y) * img.stride() + 3 * size_t(x);
      p[0] = rgb[2];
      p[1] = rgb[1];
      p[2] = rgb[0];
    }
  std::fclose(f);
  return true;
}

inline bool haveTool(const char* name) {
  const std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

}  // namespace opstest
