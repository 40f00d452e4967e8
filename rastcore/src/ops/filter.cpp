// Neighbourhood filters. They work on true-colour bytes: one row loop over the bytes of three
// rows, with neighbours N bytes apart (N = 3 or 4), so the compiler can vectorise the inner loop.
// Picture edges repeat their outermost pixels.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "ops/kernels.h"
#include "ops/op_poll.h"
#include "ops/pixel.h"
#include "rastcore3_ops.h"

namespace rastcore::ops {
namespace {

Image trueColourLike(const Image& src) {
  Image out = makeImage(src.width, src.height, src.bpp);
  out.palette.clear();
  out.xdpi = src.xdpi;
  out.ydpi = src.ydpi;
  return out;
}

// Row with one repeated pixel on each side, so the inner loops need no edge tests.
void paddedRow(const Image& s, int y, int n, std::vector<uint8_t>& buf) {
  const size_t bytes = size_t(s.width) * n;
  buf.resize(bytes + 2 * n);
  const uint8_t* r = s.row(std::clamp(y, 0, s.height - 1));
  std::memcpy(buf.data() + n, r, bytes);
  std::memcpy(buf.data(), r, n);
  std::memcpy(buf.data() + n + bytes, r + bytes - n, n);
}

// Runs f(up, mid, down, dst, bytes, n) for every row, where up/mid/down point at the first
// real byte of padded rows (index -n is the repeated left pixel).
template <typename F>
Image forRows3(const Image& src, int64_t cost, F f) {
  Image out = trueColourLike(src);
  const int n = src.bpp / 8;
  const size_t bytes = size_t(src.width) * n;
  parallelRows(src.height, int64_t(bytes) * src.height * cost, [&](int y0, int y1) {
    std::vector<uint8_t> a, b, c;
    for (int y = y0; y < y1; ++y) {
      paddedRow(src, y - 1, n, a);
      paddedRow(src, y, n, b);
      paddedRow(src, y + 1, n, c);
      f(a.data() + n, b.data() + n, c.data() + n, out.row(y), bytes, n);
    }
  });
  return out;
}

Image convolveTrue(const Image& src, const int* k, int divisor, int bias) {
  const float inv = 1.0f / float(divisor);
  const float fb = float(bias) + 0.5f;
  return forRows3(
      src, 9,
      [&](const uint8_t* a, const uint8_t* b, const uint8_t* c, uint8_t* d, size_t bytes, int n) {
        for (size_t i = 0; i < bytes; ++i) {
          const int s = k[0] * a[i - n] + k[1] * a[i] + k[2] * a[i + n] + k[3] * b[i - n] +
                        k[4] * b[i] + k[5] * b[i + n] + k[6] * c[i - n] + k[7] * c[i] +
                        k[8] * c[i + n];
          const float v = float(s) * inv + fb;
          d[i] = uint8_t(v <= 0.f ? 0 : v >= 255.f ? 255 : int(v));
        }
      });
}

inline uint8_t med3(uint8_t a, uint8_t b, uint8_t c) {
  return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

// Horizontal taps (a, b, a) over one row of bytes with neighbours n bytes apart, the outermost
// pixels repeated. The pointers are restrict-qualified and the values local, so the compiler
// knows the stores touch nothing else and vectorises the middle loop.
template <int A, int B>
RC3_VECTOR_CLONES void horizontalTaps(const uint8_t* __restrict p, uint16_t* __restrict h,
                                      size_t bytes, int n) {
  const size_t nn = std::min(size_t(n), bytes);
  for (size_t i = 0; i < nn; ++i)
    h[i] = uint16_t(A * p[i] + B * p[i] + A * (i + n < bytes ? p[i + n] : p[i]));
  for (size_t i = nn; i + n < bytes; ++i) h[i] = uint16_t(A * p[i - n] + B * p[i] + A * p[i + n]);
  for (size_t i = std::max(nn, bytes - std::min(bytes, size_t(n))); i < bytes; ++i)
    h[i] = uint16_t(A * p[i - n] + B * p[i] + A * p[i]);
}

// The vertical taps over three rows of horizontal sums, turned into output bytes.
template <int A, int B, typename Combine>
RC3_VECTOR_CLONES void combineRows(const uint16_t* __restrict a, const uint16_t* __restrict b,
                                   const uint16_t* __restrict c, const uint8_t* __restrict in,
                                   uint8_t* __restrict d, size_t bytes, Combine combine) {
  for (size_t i = 0; i < bytes; ++i) d[i] = combine(A * a[i] + B * b[i] + A * c[i], in[i]);
}

// Symmetric 3x3 filters that separate: horizontal sums of three rows (taps a, b, a) are kept
// in a rolling window, the vertical sum with the same taps gives the filter at each byte, and
// combine(sum, centre) turns it into the output byte. About half the work of a full 3x3 pass.
template <int A, int B, typename Combine>
Image separable3(const Image& src, Combine combine) {
  Image out = trueColourLike(src);
  const int n = src.bpp / 8;
  const size_t bytes = size_t(src.width) * n;
  auto horizontal = [&](int y, uint16_t* h) {
    horizontalTaps<A, B>(src.row(std::clamp(y, 0, src.height - 1)), h, bytes, n);
  };
  parallelRows(src.height, int64_t(bytes) * src.height * 6, [&](int y0, int y1) {
    std::vector<uint16_t> buf(bytes * 3);
    uint16_t* rows[3] = {buf.data(), buf.data() + bytes, buf.data() + 2 * bytes};
    horizontal(y0 - 1, rows[0]);
    horizontal(y0, rows[1]);
    for (int y = y0; y < y1; ++y) {
      horizontal(y + 1, rows[2]);
      combineRows<A, B>(rows[0], rows[1], rows[2], src.row(y), out.row(y), bytes, combine);
      std::swap(rows[0], rows[1]);
      std::swap(rows[1], rows[2]);
    }
  });
  return out;
}

}  // namespace

Image convolve3(const Image& img, const int* kernel, int divisor, int bias) {
  if (divisor == 0) fail(CV_ERR_BAD_ARGUMENT);
  const TrueColour src(img);
  return convolveTrue(*src, kernel, divisor, bias);
}

Image sharpen(const Image& img, int amount) {
  if (amount < 1 || amount > 100) fail(CV_ERR_BAD_ARGUMENT);
  // in + (in - mean of the 8 neighbours) * amount / 10, in 1/64 steps:
  // ((64 + 9n) * in - n * box sum) / 64.
  const int n = int(std::lround(amount * 64 / 80.0));
  const TrueColour src(img);
  return separable3<1, 1>(*src, [n](int box, int centre) {
    return clamp8(((64 + 9 * n) * centre - n * box + 32) >> 6);
  });
}

Image soften(const Image& img, int amount) {
  if (amount < 1 || amount > 100) fail(CV_ERR_BAD_ARGUMENT);
  // A blend of the picture with its 3x3 Gaussian: half at 5, fully blurred at 10; larger
  // amounts repeat the full blur once per further 10. Out of 640: t/10 of the Gaussian (whose
  // weights sum to 16) and the rest of the picture; x / 640 as (x * 3277) >> 21.
  const int t = std::min(amount, 10);  // tenths of the blur
  const TrueColour src(img);
  Image out = separable3<1, 2>(*src, [t](int gauss, int centre) {
    return uint8_t(((4 * t * gauss + 64 * (10 - t) * centre + 320) * 3277) >> 21);
  });
  for (int pass = 10; pass < amount; pass += 10)
    out = separable3<1, 2>(out, [](int gauss, int) { return uint8_t((gauss + 8) >> 4); });
  return out;
}

Image blur(const Image& img) {
  const TrueColour src(img);
  return separable3<1, 1>(*src, [](int box, int) { return uint8_t((box * 7282 + 32768) >> 16); });
}

Image emboss(const Image& img) {
  const int k[9] = {-2, -1, 0, -1, 1, 1, 0, 1, 2};
  const TrueColour src(img);
  return convolveTrue(*src, k, 1, 0);
}

Image outline(const Image& img) {
  const TrueColour srcHolder(img, false);
  const Image& src = *srcHolder;
  Image out = trueColourLike(src);
  auto lum = [](const uint8_t* p) { return (p[0] * 29 + p[1] * 150 + p[2] * 77) >> 8; };
  std::vector<int> rows[3];
  auto lumRow = [&](int y, std::vector<int>& r) {
    y = std::clamp(y, 0, src.height - 1);
    r.resize(size_t(src.width) + 2);
    const uint8_t* p = src.row(y);
    for (int x = 0; x < src.width; ++x) r[size_t(x) + 1] = lum(p + 3 * x);
    r[0] = r[1];
    r[size_t(src.width) + 1] = r[size_t(src.width)];
  };
  for (int y = 0; y < src.height; ++y) {
    pollRow();
    lumRow(y - 1, rows[0]);
    lumRow(y, rows[1]);
    lumRow(y + 1, rows[2]);
    uint8_t* d = out.row(y);
    for (int x = 1; x <= src.width; ++x) {
      const int* a = rows[0].data() + x;
      const int* b = rows[1].data() + x;
      const int* c = rows[2].data() + x;
      const int gx = (a[1] + 2 * b[1] + c[1]) - (a[-1] + 2 * b[-1] + c[-1]);
      const int gy = (c[-1] + 2 * c[0] + c[1]) - (a[-1] + 2 * a[0] + a[1]);
      const uint8_t v = clamp8(255 - int(std::sqrt(double(gx * gx + gy * gy))));
      d[3 * (x - 1)] = d[3 * (x - 1) + 1] = d[3 * (x - 1) + 2] = v;
    }
  }
  return out;
}

Image median3(const Image& img, bool onlyOutliers) {
  const TrueColour srcHolder(img);
  const Image& src = *srcHolder;
  return forRows3(
      src, 30,
      [&](const uint8_t* a, const uint8_t* b, const uint8_t* c, uint8_t* d, size_t bytes, int n) {
        for (size_t i = 0; i < bytes; ++i) {
          // Median of nine as the median of the column medians' max-of-mins etc. (exact).
          uint8_t lo[3], mi[3], hi[3];
          const uint8_t* r[3] = {a, b, c};
          for (int j = 0; j < 3; ++j) {
            const int k = j - 1;
            uint8_t x = r[0][i + k * n], y = r[1][i + k * n], z = r[2][i + k * n];
            if (x > y) std::swap(x, y);
            if (y > z) std::swap(y, z);
            if (x > y) std::swap(x, y);
            lo[j] = x;
            mi[j] = y;
            hi[j] = z;
          }
          const uint8_t maxLo = std::max({lo[0], lo[1], lo[2]});
          const uint8_t minHi = std::min({hi[0], hi[1], hi[2]});
          const uint8_t medMid = med3(mi[0], mi[1], mi[2]);
          const uint8_t m = med3(maxLo, medMid, minHi);
          if (onlyOutliers) {
            // A speck: brighter or darker than all eight neighbours by more than 24.
            const uint8_t v = b[i];
            int nmin = 255, nmax = 0;
            for (int dy = 0; dy < 3; ++dy)
              for (int dx = -1; dx <= 1; ++dx) {
                if (dy == 1 && dx == 0) continue;
                const int u = r[dy][i + dx * n];
                nmin = std::min(nmin, u);
                nmax = std::max(nmax, u);
              }
            d[i] = (v > nmax + 24 || v + 24 < nmin) ? m : v;
          } else {
            d[i] = m;
          }
        }
      });
}

Image morph3(const Image& img, bool dilate) {
  const TrueColour srcHolder(img);
  const Image& src = *srcHolder;
  return forRows3(
      src, 9,
      [&](const uint8_t* a, const uint8_t* b, const uint8_t* c, uint8_t* d, size_t bytes, int n) {
        for (size_t i = 0; i < bytes; ++i) {
          if (dilate) {
            d[i] = std::max(
                {a[i - n], a[i], a[i + n], b[i - n], b[i], b[i + n], c[i - n], c[i], c[i + n]});
          } else {
            d[i] = std::min(
                {a[i - n], a[i], a[i + n], b[i - n], b[i], b[i + n], c[i - n], c[i], c[i + n]});
          }
        }
      });
}

Image mosaic(const Image& img, int block) {
  if (block < 2 || block > 255) fail(CV_ERR_BAD_ARGUMENT);
  Image out = toTrueColor(img);
  const int n = out.bpp / 8;
  for (int by = 0; by < out.height; by += block) {
    pollRow();
    const int bh = std::min(block, out.height - by);
    for (int bx = 0; bx < out.width; bx += block) {
      const int bw = std::min(block, out.width - bx);
      uint64_t sum[4] = {};
      for (int y = by; y < by + bh; ++y) {
        const uint8_t* p = out.row(y) + size_t(bx) * n;
        for (int x = 0; x < bw * n; ++x) sum[x % n] += p[x];
      }
      const uint64_t cnt = uint64_t(bw) * bh;
      uint8_t avg[4];
      for (int k = 0; k < n; ++k) avg[k] = uint8_t((sum[k] + cnt / 2) / cnt);
      for (int y = by; y < by + bh; ++y) {
        uint8_t* p = out.row(y) + size_t(bx) * n;
        for (int x = 0; x < bw; ++x) std::memcpy(p + x * n, avg, size_t(n));
      }
    }
  }
  return out;
}

Image noise(const Image& img, int intensity, bool coloured, uint32_t seed) {
  if (intensity < 1 || intensity > 255) fail(CV_ERR_BAD_ARGUMENT);
  Image out = toTrueColor(img);
  const int n = out.bpp / 8;
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> dist(-intensity, intensity);
  for (int y = 0; y < out.height; ++y) {
    pollRow();
    uint8_t* p = out.row(y);
    for (int x = 0; x < out.width; ++x, p += n) {
      const int d = dist(rng);
      p[0] = clamp8(p[0] + d);
      p[1] = clamp8(p[1] + (coloured ? dist(rng) : d));
      p[2] = clamp8(p[2] + (coloured ? dist(rng) : d));
    }
  }
  return out;
}

Image diffuse(const Image& img, uint32_t seed) {
  const TrueColour srcHolder(img);
  const Image& src = *srcHolder;
  Image out = trueColourLike(src);
  const int n = src.bpp / 8;
  std::mt19937 rng(seed);
  for (int y = 0; y < src.height; ++y) {
    pollRow();
    uint8_t* d = out.row(y);
    for (int x = 0; x < src.width; ++x, d += n) {
      const uint32_t r = rng();
      const int sx = std::clamp(x + int(r % 5) - 2, 0, src.width - 1);
      const int sy = std::clamp(y + int((r / 5) % 5) - 2, 0, src.height - 1);
      std::memcpy(d, src.row(sy) + size_t(sx) * n, size_t(n));
    }
  }
  return out;
}

Image motionBlur(const Image& img, int length, int dx, int dy) {
  if (length < 1 || length > 100 || dx < -100 || dx > 100 || dy < -100 || dy > 100 ||
      (dx == 0 && dy == 0))
    fail(CV_ERR_BAD_ARGUMENT);
  const TrueColour srcHolder(img);
  const Image& src = *srcHolder;
  Image out = trueColourLike(src);
  const int n = src.bpp / 8;
  const double len = std::hypot(dx, dy);
  std::vector<std::pair<int, int>> steps;
  for (int i = 0; i <= length; ++i)
    steps.emplace_back(int(std::lround(dx / len * i)), int(std::lround(dy / len * i)));
  parallelRows(src.height, int64_t(src.width) * src.height * n * int64_t(steps.size()),
               [&](int y0, int y1) {
                 for (int y = y0; y < y1; ++y) {
                   uint8_t* d = out.row(y);
                   for (int x = 0; x < src.width; ++x, d += n) {
                     int sum[4] = {};
                     for (auto [ox, oy] : steps) {
                       const uint8_t* p = src.row(std::clamp(y + oy, 0, src.height - 1)) +
                                          size_t(std::clamp(x + ox, 0, src.width - 1)) * n;
                       for (int k = 0; k < n; ++k) sum[k] += p[k];
                     }
                     const int cnt = int(steps.size());
                     for (int k = 0; k < n; ++k) d[k] = uint8_t((sum[k] + cnt / 2) / cnt);
                   }
                 }
               });
  return out;
}

Image matrix(const Image& img, const int* kernel, int intensity, int divisor, int bias) {
  if (intensity < 0 || intensity > 100 || divisor == 0) fail(CV_ERR_BAD_ARGUMENT);
  const TrueColour srcHolder(img);
  const Image& src = *srcHolder;
  Image conv = convolveTrue(src, kernel, divisor, bias);
  if (intensity == 100) return conv;
  const size_t bytes = conv.pixels.size();
  for (size_t i = 0; i < bytes; ++i)
    conv.pixels[i] =
        uint8_t((conv.pixels[i] * intensity + src.pixels[i] * (100 - intensity) + 50) / 100);
  return conv;
}

Image buttonize(const Image& img, int style, int width, int intensity) {
  if (style < 0 || style > 1 || width < 1 || width > 100 || intensity < 1 || intensity > 100)
    fail(CV_ERR_BAD_ARGUMENT);
  Image out = toTrueColor(img);
  const int n = out.bpp / 8;
  const int bw = std::min({width, out.width / 2, out.height / 2});
  for (int y = 0; y < out.height; ++y) {
    pollRow();
    uint8_t* p = out.row(y);
    for (int x = 0; x < out.width; ++x, p += n) {
      const int l = x, t = y, r = out.width - 1 - x, b = out.height - 1 - y;
      const int m = std::min({l, t, r, b});
      if (m >= bw) continue;
      // The lit edges are the top and left; on the diagonal the nearer edge wins.
      const bool lit = (std::min(l, t) <= std::min(r, b));
      const bool brighten = (style == 0) == lit;
      for (int k = 0; k < 3; ++k)
        p[k] = brighten ? clamp8(p[k] + (255 - p[k]) * intensity / 100)
                        : clamp8(p[k] - p[k] * intensity / 100);
    }
  }
  return out;
}

Image merge(const Image& img, const Image& other, int style, int size, int pctHi, int pctLo,
            bool transparent, Rgbq transparentColor) {
  if (style < 0 || style > 3 || size < 0 || size > 100 || pctHi < 0 || pctHi > 100 || pctLo < 0 ||
      pctLo > 100)
    fail(CV_ERR_BAD_ARGUMENT);
  Image out = toTrueColor(img);
  const Image top = (other.width == img.width && other.height == img.height)
                        ? toTrueColor(other, false)
                        : toTrueColor(resampleBilinear(other, img.width, img.height), false);
  const int n = out.bpp / 8;
  const double ramp = std::max(0.01, (100 - size) / 100.0);  // size narrows the ramp
  for (int y = 0; y < out.height; ++y) {
    pollRow();
    uint8_t* p = out.row(y);
    const uint8_t* q = top.row(y);
    for (int x = 0; x < out.width; ++x, p += n, q += 3) {
      if (transparent && q[0] == transparentColor.b && q[1] == transparentColor.g &&
          q[2] == transparentColor.r)
        continue;
      double t = 0;  // 0 at the pctHi end, 1 at the pctLo end
      if (style == 1) t = out.width > 1 ? double(x) / (out.width - 1) : 0;
      if (style == 2) t = out.height > 1 ? double(y) / (out.height - 1) : 0;
      if (style == 3) {
        const double ux = (x + 0.5) / out.width - 0.5, uy = (y + 0.5) / out.height - 0.5;
        t = std::min(1.0, std::hypot(ux, uy) / 0.7071);
      }
      t = std::clamp((t - (1 - ramp) / 2) / ramp, 0.0, 1.0);
      const double pct = (pctHi + (pctLo - pctHi) * t) / 100.0;
      for (int k = 0; k < 3; ++k) p[k] = clamp8f(float(p[k] * (1 - pct) + q[k] * pct));
    }
  }
  return out;
}

}  // namespace rastcore::ops
