// Point operations. Each builds 256-entry tables once and applies them to the rows of a
// true-colour picture or to the palette of an indexed one (which keeps its depth).
#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>

#include "ops/kernels.h"
#include "ops/op_poll.h"
#include "ops/pixel.h"
#include "rastcore3_ops.h"

namespace rastcore::ops {
namespace {

using Table = std::array<uint8_t, 256>;

template <typename F>
Table makeTable(F f) {
  Table t;
  for (int v = 0; v < 256; ++v) t[size_t(v)] = f(v);
  return t;
}

void applyOne(Image& img, const Table& t) {
  applyTables(img, t.data(), t.data(), t.data());
}

// Per-channel histograms over the pixels (indexed pictures count each pixel's palette entry).
std::array<std::array<uint64_t, 256>, 3> histograms(const Image& img) {
  std::array<std::array<uint64_t, 256>, 3> h{};
  if (img.bpp <= 8) {
    const Image idx = img.bpp < 8 ? unpackIndexed(img) : Image();
    const Image& s = img.bpp < 8 ? idx : img;
    std::array<uint64_t, 256> count{};
    for (int y = 0; y < s.height; ++y) {
      pollRow();
      const uint8_t* r = s.row(y);
      for (int x = 0; x < s.width; ++x) ++count[r[x]];
    }
    for (size_t i = 0; i < s.palette.size(); ++i) {
      h[0][s.palette[i].b] += count[i];
      h[1][s.palette[i].g] += count[i];
      h[2][s.palette[i].r] += count[i];
    }
    return h;
  }
  const int n = img.bpp / 8;
  std::mutex merge;
  parallelRows(img.height, int64_t(img.width) * img.height * n, [&](int y0, int y1) {
    // Counts of this band in 32 bits (rows * width stays below 2^32 here), added at the end.
    // Neighbouring pixels, often of equal value, count into separate tables so that one
    // increment need not wait for the previous one.
    std::array<std::array<uint32_t, 256>, 6> local{};
    for (int y = y0; y < y1; ++y) {
      const uint8_t* p = img.row(y);
      int x = 0;
      for (; x + 2 <= img.width; x += 2, p += 2 * n) {
        ++local[0][p[0]];
        ++local[1][p[1]];
        ++local[2][p[2]];
        ++local[3][p[n]];
        ++local[4][p[n + 1]];
        ++local[5][p[n + 2]];
      }
      if (x < img.width) {
        ++local[0][p[0]];
        ++local[1][p[1]];
        ++local[2][p[2]];
      }
    }
    std::lock_guard lock(merge);
    for (size_t c = 0; c < 3; ++c)
      for (size_t v = 0; v < 256; ++v) h[c][v] += local[c][v] + local[c + 3][v];
  });
  return h;
}

void rgbToHsl(int r, int g, int b, float& h, float& s, float& l) {
  const float rf = r / 255.f, gf = g / 255.f, bf = b / 255.f;
  const float mx = std::max({rf, gf, bf}), mn = std::min({rf, gf, bf});
  l = (mx + mn) / 2;
  if (mx == mn) {
    h = s = 0;
    return;
  }
  const float d = mx - mn;
  s = l > 0.5f ? d / (2 - mx - mn) : d / (mx + mn);
  if (mx == rf)
    h = (gf - bf) / d + (gf < bf ? 6 : 0);
  else if (mx == gf)
    h = (bf - rf) / d + 2;
  else
    h = (rf - gf) / d + 4;
  h *= 60;
}

float hueToRgb(float p, float q, float t) {
  if (t < 0) t += 1;
  if (t > 1) t -= 1;
  if (t < 1.f / 6) return p + (q - p) * 6 * t;
  if (t < 0.5f) return q;
  if (t < 2.f / 3) return p + (q - p) * (2.f / 3 - t) * 6;
  return p;
}

void hslToRgb(float h, float s, float l, uint8_t& r, uint8_t& g, uint8_t& b) {
  if (s <= 0) {
    r = g = b = clamp8f(l * 255);
    return;
  }
  const float q = l < 0.5f ? l * (1 + s) : l + s - l * s, p = 2 * l - q, hh = h / 360.f;
  r = clamp8f(hueToRgb(p, q, hh + 1.f / 3) * 255);
  g = clamp8f(hueToRgb(p, q, hh) * 255);
  b = clamp8f(hueToRgb(p, q, hh - 1.f / 3) * 255);
}

// Calls f(b, g, r) on every colour: each palette entry, or each true-colour pixel.
template <typename F>
void forEachColour(Image& img, F f) {
  if (img.bpp <= 8) {
    for (auto& c : img.palette) f(c.b, c.g, c.r);
    return;
  }
  const int n = img.bpp / 8;
  parallelRows(img.height, int64_t(img.width) * img.height * 16, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      uint8_t* p = img.row(y);
      for (int x = 0; x < img.width; ++x, p += n) f(p[0], p[1], p[2]);
    }
  });
}

}  // namespace

void negateInPlace(Image& img) {
  applyOne(img, makeTable([](int v) { return uint8_t(255 - v); }));
}

void brightnessInPlace(Image& img, int value) {
  if (value < -255 || value > 255) fail(CV_ERR_BAD_ARGUMENT);
  applyOne(img, makeTable([value](int v) { return clamp8(v + value); }));
}

void contrastInPlace(Image& img, int value) {
  if (value < -100 || value > 100) fail(CV_ERR_BAD_ARGUMENT);
  // value 100 is a hard threshold at mid grey, -100 flattens everything to mid grey.
  const double f =
      value >= 0 ? (value == 100 ? 255.0 : 100.0 / (100.0 - value)) : (100.0 + value) / 100.0;
  applyOne(img, makeTable([f](int v) { return clamp8f(float((v - 127.5) * f + 127.5)); }));
}

void adjustRgbInPlace(Image& img, int type, int r, int g, int b) {
  if (type < 0 || type > 1) fail(CV_ERR_BAD_ARGUMENT);
  const int lim = type == 0 ? 255 : 100;
  for (int v : {r, g, b})
    if (v < -lim || v > lim) fail(CV_ERR_BAD_ARGUMENT);
  auto table = [type](int amount) {
    return makeTable([type, amount](int v) {
      return type == 0 ? clamp8(v + amount) : clamp8f(v * (100.f + amount) / 100.f);
    });
  };
  const Table tb = table(b), tg = table(g), tr = table(r);
  applyTables(img, tb.data(), tg.data(), tr.data());
}

void gammaInPlace(Image& img, double gamma) {
  if (!(gamma >= 0.01 && gamma <= 100.0)) fail(CV_ERR_BAD_ARGUMENT);
  const double e = 1.0 / gamma;
  applyOne(img, makeTable([e](int v) { return clamp8f(float(255.0 * std::pow(v / 255.0, e))); }));
}

void solarizeInPlace(Image& img, int threshold) {
  if (threshold < 0 || threshold > 255) fail(CV_ERR_BAD_ARGUMENT);
  applyOne(img, makeTable([threshold](int v) { return uint8_t(v > threshold ? 255 - v : v); }));
}

void posterizeInPlace(Image& img, int levels) {
  if (levels < 2 || levels > 255) fail(CV_ERR_BAD_ARGUMENT);
  applyOne(img, makeTable([levels](int v) {
             const int step = int(std::lround(v * (levels - 1) / 255.0));
             return uint8_t(step * 255 / (levels - 1));
           }));
}

void parabolicInPlace(Image& img, int intensity) {
  if (intensity < 0 || intensity > 100) fail(CV_ERR_BAD_ARGUMENT);
  applyOne(img, makeTable([intensity](int v) {
             const int p = 255 - 4 * v * (255 - v) / 255;
             return clamp8((v * (100 - intensity) + p * intensity + 50) / 100);
           }));
}

void autoContrastInPlace(Image& img) {
  // Each channel's 0.5% and 99.5% points become 0 and 255, so a few stray pixels do not pin
  // the range.
  const auto h = histograms(img);
  const uint64_t total = uint64_t(img.width) * img.height;
  const uint64_t clip = total / 200;
  Table t[3];
  for (int c = 0; c < 3; ++c) {
    int lo = 0, hi = 255;
    for (uint64_t acc = 0; lo < 255 && (acc += h[c][size_t(lo)]) <= clip;) ++lo;
    for (uint64_t acc = 0; hi > 0 && (acc += h[c][size_t(hi)]) <= clip;) --hi;
    if (hi <= lo) {
      t[c] = makeTable([](int v) { return uint8_t(v); });
    } else {
      t[c] = makeTable([lo, hi](int v) { return clamp8f(float((v - lo) * 255.0 / (hi - lo))); });
    }
  }
  applyTables(img, t[0].data(), t[1].data(), t[2].data());
}

void equalizeInPlace(Image& img) {
  // One table from the histogram of the brightest channel of each pixel keeps the hues.
  std::array<uint64_t, 256> hist{};
  const TrueColour probeHolder(img, false);
  const Image& probe = *probeHolder;
  for (int y = 0; y < probe.height; ++y) {
    pollRow();
    const uint8_t* p = probe.row(y);
    for (int x = 0; x < probe.width; ++x, p += 3) ++hist[std::max({p[0], p[1], p[2]})];
  }
  const uint64_t total = uint64_t(img.width) * img.height;
  uint64_t first = 0;
  for (uint64_t v : hist)
    if (v) {
      first = v;
      break;
    }
  Table t;
  uint64_t acc = 0;
  for (int v = 0; v < 256; ++v) {
    acc += hist[size_t(v)];
    t[size_t(v)] =
        total == first ? uint8_t(v) : clamp8f(float((acc - first) * 255.0 / (total - first)));
  }
  applyOne(img, t);
}

void adjustHslInPlace(Image& img, int type, int hue, int sat, int lum) {
  if (type < 0 || type > 1 || sat < -100 || sat > 100 || lum < -100 || lum > 100)
    fail(CV_ERR_BAD_ARGUMENT);
  if (type == 0 && (hue < -180 || hue > 180)) fail(CV_ERR_BAD_ARGUMENT);
  if (type == 1 && (hue < 0 || hue > 359 || sat < 0)) fail(CV_ERR_BAD_ARGUMENT);
  forEachColour(img, [=](uint8_t& b, uint8_t& g, uint8_t& r) {
    float h, s, l;
    rgbToHsl(r, g, b, h, s, l);
    if (type == 0) {
      h = std::fmod(h + hue + 360.f, 360.f);
      s = std::clamp(s + sat / 100.f, 0.f, 1.f);
    } else {
      h = float(hue);
      s = sat / 100.f;
    }
    l = std::clamp(l + lum / 100.f, 0.f, 1.f);
    hslToRgb(h, s, l, r, g, b);
  });
}

void replaceColorsInPlace(Image& img, Rgbq from, Rgbq to, Rgbq replace) {
  const Rgbq lo{std::min(from.b, to.b), std::min(from.g, to.g), std::min(from.r, to.r), 0};
  const Rgbq hi{std::max(from.b, to.b), std::max(from.g, to.g), std::max(from.r, to.r), 0};
  forEachColour(img, [&](uint8_t& b, uint8_t& g, uint8_t& r) {
    if (b >= lo.b && b <= hi.b && g >= lo.g && g <= hi.g && r >= lo.r && r <= hi.r) {
      b = replace.b;
      g = replace.g;
      r = replace.r;
    }
  });
}

Image colorSeparation(const Image& img, int type) {
  if (type < 0 || type > 6) fail(CV_ERR_BAD_ARGUMENT);
  const TrueColour srcHolder(img, false);
  const Image& src = *srcHolder;
  Image out = makeImage(img.width, img.height, 8);
  out.xdpi = img.xdpi;
  out.ydpi = img.ydpi;
  parallelRows(src.height, int64_t(src.width) * src.height * 3, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* p = src.row(y);
      uint8_t* d = out.row(y);
      for (int x = 0; x < src.width; ++x, p += 3) {
        const int b = p[0], g = p[1], r = p[2];
        const int k = 255 - std::max({r, g, b});
        int v;
        switch (type) {
          case 0:
            v = r;
            break;
          case 1:
            v = g;
            break;
          case 2:
            v = b;
            break;
          // Inks are shown as the paper would look with only that ink: dark where it lies.
          case 3:
            v = k == 255 ? 255 : 255 - (255 - r - k) * 255 / (255 - k);
            break;
          case 4:
            v = k == 255 ? 255 : 255 - (255 - g - k) * 255 / (255 - k);
            break;
          case 5:
            v = k == 255 ? 255 : 255 - (255 - b - k) * 255 / (255 - k);
            break;
          default:
            v = 255 - k;
            break;
        }
        d[x] = clamp8(v);
      }
    }
  });
  return out;
}

}  // namespace rastcore::ops
