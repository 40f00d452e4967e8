// Geometric kernels. Those that move whole pixels (flip, mirror, quarter turns, crop, nearest
// resize, tile, twist) keep the depth: 1 and 4-bit pictures are unpacked to bytes and packed
// again, and the loops are instantiated per pixel size so the inner copy is a fixed-size move.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <random>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "ops/kernels.h"
#include "ops/op_poll.h"
#include "ops/pixel.h"
#include "rastcore3_ops.h"

namespace rastcore::ops {
namespace {

template <int N>
inline void put(uint8_t* d, const uint8_t* s) {
  if constexpr (N == 1) {
    *d = *s;
  } else if constexpr (N == 3) {
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
  } else {
    std::memcpy(d, s, 4);
  }
}

// Calls f.template operator()<N>() for the picture's bytes per pixel (1, 3 or 4).
template <typename F>
auto byPixelSize(int bpp, F&& f) {
  switch (bpp) {
    case 8:
      return f.template operator()<1>();
    case 24:
      return f.template operator()<3>();
    default:
      return f.template operator()<4>();
  }
}

Image mirrorBytes(const Image& src) {
  Image out = makeLike(src);
  const int w = src.width;
  byPixelSize(src.bpp, [&]<int N>() {
    parallelRows(src.height, int64_t(src.stride()) * src.height, [&](int y0, int y1) {
      for (int y = y0; y < y1; ++y) {
        const uint8_t* s = src.row(y);
        uint8_t* d = out.row(y) + size_t(w - 1) * N;
        for (int x = 0; x < w; ++x, s += N, d -= N) put<N>(d, s);
      }
    });
  });
  return out;
}

// Quarter turns in tiles: the tile's source pixels are first copied row by row into a
// small buffer (sequential reads the prefetcher follows), then written out along the
// destination rows from that buffer, so neither side walks memory a row apart per pixel.
template <int N>
void turnBytes(const Image& src, Image& out, int turns) {
  const int sw = src.width, sh = src.height, dw = out.width, dh = out.height;
  if (turns == 2) {  // half turn: each row reversed, the rows in reverse order
    parallelRows(dh, int64_t(src.stride()) * sh, [&](int y0, int y1) {
      for (int y = y0; y < y1; ++y) {
        const uint8_t* s = src.row(sh - 1 - y) + size_t(sw - 1) * N;
        uint8_t* d = out.row(y);
        for (int x = 0; x < dw; ++x, d += N, s -= N) put<N>(d, s);
      }
    });
    return;
  }
  // Tiles of kRows destination rows by kCols destination columns (128 x 64 measured best).
  constexpr int kRows = 64, kCols = 128;
  parallelRows((dh + kRows - 1) / kRows, int64_t(src.stride()) * sh, [&](int t0, int t1) {
    std::vector<uint8_t> buf(size_t(kCols) * kRows * N + 1);  // + 1: see the 4-byte moves
    for (int ty = t0 * kRows; ty < std::min(dh, t1 * kRows); ty += kRows) {
      const int ny = std::min(kRows, dh - ty);
      for (int tx = 0; tx < dw; tx += kCols) {
        const int nx = std::min(kCols, dw - tx);
        // buf row i: the ny source pixels that become destination column tx + i.
        for (int i = 0; i < nx; ++i) {
          const uint8_t* s = turns == 1 ? src.row(tx + i) + size_t(sw - ty - ny) * N  // ccw
                                        : src.row(sh - 1 - tx - i) + size_t(ty) * N;  // cw
          std::memcpy(buf.data() + size_t(i) * kRows * N, s, size_t(ny) * N);
        }
        for (int j = 0; j < ny; ++j) {
          uint8_t* d = out.row(ty + j) + size_t(tx) * N;
          // Counter-clockwise: dst(x, y) = src(W-1-y, x), the buffer rows read backwards;
          // clockwise: dst(x, y) = src(y, H-1-x).
          const uint8_t* b = buf.data() + size_t(turns == 1 ? ny - 1 - j : j) * N;
          if constexpr (N == 3) {
            // 4-byte moves, each fourth byte overwritten by the next pixel; the last pixel of
            // the run is moved in 3 so nothing past the tile is touched.
            for (int i = 0; i + 1 < nx; ++i, d += 3, b += size_t(kRows) * 3) std::memcpy(d, b, 4);
            put<3>(d, b);
          } else {
            for (int i = 0; i < nx; ++i, d += N, b += size_t(kRows) * N) put<N>(d, b);
          }
        }
      }
    }
  });
}

Rgbq backgroundFor(const Image& img, Rgbq bg) {
  bg.reserved = 255;
  return bg;
}

// Bilinear fetch with the background outside the picture (edges blend into it).
template <int N>
inline void sampleBilinear(const Image& s, float fx, float fy, const uint8_t* bg, uint8_t* d) {
  const int x0 = int(std::floor(fx)), y0 = int(std::floor(fy));
  const float ax = fx - float(x0), ay = fy - float(y0);
  const uint8_t* p[4];
  const int xs[2] = {x0, x0 + 1}, ys[2] = {y0, y0 + 1};
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i) {
      const int x = xs[i], y = ys[j];
      p[j * 2 + i] =
          (x >= 0 && y >= 0 && x < s.width && y < s.height) ? s.row(y) + size_t(x) * N : bg;
    }
  const float w00 = (1 - ax) * (1 - ay), w10 = ax * (1 - ay), w01 = (1 - ax) * ay, w11 = ax * ay;
  for (int c = 0; c < N; ++c)
    d[c] = uint8_t(p[0][c] * w00 + p[1][c] * w10 + p[2][c] * w01 + p[3][c] * w11 + 0.5f);
}

// Separable resampling with a filter of the given support (in source pixels at scale 1).
struct Contrib {
  int first = 0;
  std::vector<int32_t> weights;  // fixed point, sum 1 << 14
};

// Weights w (summing to sum) from source position first on, in fixed point with an exact sum
// of 1 << 14, so flat areas stay flat.
Contrib fixedPoint(int first, const std::vector<double>& w, double sum) {
  Contrib c;
  c.first = first;
  c.weights.resize(w.size());
  int32_t total = 0;
  size_t biggest = 0;
  for (size_t k = 0; k < w.size(); ++k) {
    c.weights[k] = int32_t(std::lround(w[k] / sum * 16384.0));
    total += c.weights[k];
    if (c.weights[k] > c.weights[biggest]) biggest = k;
  }
  c.weights[biggest] += 16384 - total;
  // Trailing zero weights (a span ending on a pixel border) are dropped.
  while (c.weights.size() > 1 && c.weights.back() == 0) c.weights.pop_back();
  return c;
}

std::vector<Contrib> contributions(int srcLen, int dstLen, double support,
                                   double (*filter)(double)) {
  const double scale = double(dstLen) / srcLen;
  const double widen = scale < 1 ? 1 / scale : 1;  // on shrinking the filter covers more source
  const double radius = support * widen;
  std::vector<Contrib> out(static_cast<size_t>(dstLen));
  std::vector<double> w;
  for (int i = 0; i < dstLen; ++i) {
    const double centre = (i + 0.5) / scale - 0.5;
    int a = int(std::floor(centre - radius)) + 1, b = int(std::floor(centre + radius));
    a = std::max(a, 0);
    b = std::min(b, srcLen - 1);
    if (b < a) a = b = std::clamp(int(std::lround(centre)), 0, srcLen - 1);
    w.assign(size_t(b - a + 1), 0.0);
    double sum = 0;
    for (int j = a; j <= b; ++j) sum += w[size_t(j - a)] = filter((j - centre) / widen);
    if (sum == 0) {
      w.assign(w.size(), 0.0);
      w[0] = sum = 1;
    }
    out[size_t(i)] = fixedPoint(a, w, sum);
  }
  return out;
}

// Area averaging for shrinking: each output pixel is the mean of the source span it covers,
// pixels cut by the span's ends counted by the part inside it. Halving takes 2 x 2 blocks.
std::vector<Contrib> areaContributions(int srcLen, int dstLen) {
  const double step = double(srcLen) / dstLen;
  std::vector<Contrib> out(static_cast<size_t>(dstLen));
  std::vector<double> w;
  for (int i = 0; i < dstLen; ++i) {
    const double lo = i * step, hi = std::min(double(srcLen), (i + 1) * step);
    const int a = std::clamp(int(std::floor(lo)), 0, srcLen - 1);
    const int b = std::clamp(int(std::ceil(hi)) - 1, a, srcLen - 1);
    w.assign(size_t(b - a + 1), 0.0);
    double sum = 0;
    for (int j = a; j <= b; ++j)
      sum += w[size_t(j - a)] = std::max(0.0, std::min(hi, j + 1.0) - std::max(lo, double(j)));
    if (sum <= 0) {
      w.assign(w.size(), 0.0);
      w[0] = sum = 1;
    }
    out[size_t(i)] = fixedPoint(a, w, sum);
  }
  return out;
}

// The horizontal taps laid out flat with one count for every output pixel (shorter lists padded
// with zero weights, shifted to stay inside the row), so the inner loop has no indirection.
struct FlatTaps {
  int count = 0;
  std::vector<int32_t> first;
  std::vector<int16_t> weights;  // count per output pixel; each weight fits 16 bits
  // The same weights in pairs, (count + 1) / 2 per output pixel, the first of each pair in
  // the low 16 bits (an odd count ends with a zero weight), for multiply-and-add of pairs.
  std::vector<int32_t> pairs;
};

FlatTaps flatten(const std::vector<Contrib>& cs, int srcLen) {
  FlatTaps t;
  for (const Contrib& c : cs) t.count = std::max(t.count, int(c.weights.size()));
  t.count = std::min(t.count, srcLen);
  t.first.resize(cs.size());
  t.weights.assign(cs.size() * size_t(t.count), 0);
  for (size_t i = 0; i < cs.size(); ++i) {
    const int first = std::min(cs[i].first, srcLen - t.count);
    t.first[i] = first;
    for (size_t k = 0; k < cs[i].weights.size(); ++k)
      t.weights[i * size_t(t.count) + size_t(cs[i].first - first) + k] =
          int16_t(std::clamp(cs[i].weights[k], -32768, 32767));
  }
  const int half = (t.count + 1) / 2;
  t.pairs.assign(cs.size() * size_t(half), 0);
  for (size_t i = 0; i < cs.size(); ++i)
    for (int k = 0; k < t.count; ++k) {
      const uint32_t w = uint16_t(t.weights[i * size_t(t.count) + size_t(k)]);
      t.pairs[i * size_t(half) + size_t(k / 2)] |= int32_t(k % 2 ? w << 16 : w);
    }
  return t;
}

using Lane4 = int32_t __attribute__((vector_size(16)));
using Half4 = int16_t __attribute__((vector_size(8)));

// Each output row is made from the source rows its vertical taps name: first those rows are
// combined into one row of 16-bit samples at the source width (6 fractional bits, overshoot
// kept, nothing clipped), then that row is filtered horizontally into the output. No
// intermediate picture is kept, and the vertical pass, which runs over contiguous bytes, does
// the larger share of the work when shrinking.
template <int N>
[[gnu::always_inline]] inline void resampleBand(const Image& src, Image& out,
                                                const std::vector<Contrib>& cy, const FlatTaps& cx,
                                                int y0, int y1) {
  const size_t rowBytes = size_t(src.width) * N;
  constexpr size_t kChunk = 2048;  // bytes of a row summed at a time, kept in the first-level cache
  std::vector<int16_t> line(rowBytes + 4, 0);  // the padding lets the last pixel load 4 lanes
  std::vector<int32_t> acc(kChunk);
  const int count = cx.count;
  for (int y = y0; y < y1; ++y) {
    const Contrib& c = cy[size_t(y)];
    for (size_t i0 = 0; i0 < rowBytes; i0 += kChunk) {
      const size_t n = std::min(kChunk, rowBytes - i0);
      int32_t* a = acc.data();
      {
        const uint8_t* sp = src.row(c.first) + i0;
        const int32_t w = c.weights[0];
        for (size_t i = 0; i < n; ++i) a[i] = w * sp[i];
      }
      for (size_t k = 1; k < c.weights.size(); ++k) {
        const uint8_t* sp = src.row(c.first + int(k)) + i0;
        const int32_t w = c.weights[k];
        for (size_t i = 0; i < n; ++i) a[i] += w * sp[i];
      }
      int16_t* l = line.data() + i0;
      for (size_t i = 0; i < n; ++i) l[i] = int16_t(std::clamp((a[i] + 128) >> 8, -32768, 32767));
    }
    uint8_t* d = out.row(y);
#if defined(__SSE2__)
    // Two taps at a time: the samples of neighbouring taps interleaved channel by channel and
    // multiplied-and-added with their weight pair in one step (the fourth lane of a 3-byte
    // pixel carries the next pixel's blue and is dropped).
    const int half = (count + 1) / 2;
    const int32_t* wp = cx.pairs.data();
    for (int x = 0; x < out.width; ++x, d += N, wp += half) {
      const int16_t* p = line.data() + size_t(cx.first[size_t(x)]) * N;
      __m128i sum = _mm_set1_epi32(1 << 19);
      for (int k = 0; k < half; ++k, p += 2 * N) {
        const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + N));
        sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), _mm_set1_epi32(wp[k])));
      }
      sum = _mm_srai_epi32(sum, 20);
      const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(sum, sum), sum);
      const uint32_t px = uint32_t(_mm_cvtsi128_si32(bytes));
      std::memcpy(d, &px, N);
    }
#else
    const int16_t* w = cx.weights.data();
    for (int x = 0; x < out.width; ++x, d += N, w += count) {
      const int16_t* p = line.data() + size_t(cx.first[size_t(x)]) * N;
      Lane4 sum = {1 << 19, 1 << 19, 1 << 19, 1 << 19};
      for (int k = 0; k < count; ++k, p += N) {
        Half4 v;
        std::memcpy(&v, p, sizeof v);
        sum += __builtin_convertvector(v, Lane4) * int32_t(w[k]);
      }
      sum >>= 20;
      for (int ch = 0; ch < N; ++ch) d[ch] = clamp8(sum[ch]);
    }
#endif
  }
}

// The bands are compiled twice, for the baseline processor and for one with AVX2 (wider
// vectors and a native 32-bit multiply), and the loader picks the one the machine runs.
RC3_VECTOR_CLONES void resampleBand3(const Image& src, Image& out, const std::vector<Contrib>& cy,
                                     const FlatTaps& cx, int y0, int y1) {
  resampleBand<3>(src, out, cy, cx, y0, y1);
}
RC3_VECTOR_CLONES void resampleBand4(const Image& src, Image& out, const std::vector<Contrib>& cy,
                                     const FlatTaps& cx, int y0, int y1) {
  resampleBand<4>(src, out, cy, cx, y0, y1);
}

// areaOnShrink: an axis that shrinks is area-averaged instead of filtered.
Image resampleSeparable(const Image& in, int64_t w, int64_t h, double support,
                        double (*filter)(double), bool areaOnShrink) {
  if (w <= 0 || h <= 0) fail(CV_ERR_BAD_ARGUMENT);
  const TrueColour srcHolder(in);
  const Image& src = *srcHolder;
  Image out = makeImage(w, h, src.bpp);
  out.palette.clear();
  out.xdpi = in.xdpi;
  out.ydpi = in.ydpi;
  const int n = src.bpp / 8;
  auto taps = [&](int srcLen, int dstLen) {
    return areaOnShrink && dstLen < srcLen ? areaContributions(srcLen, dstLen)
                                           : contributions(srcLen, dstLen, support, filter);
  };
  const FlatTaps cx = flatten(taps(src.width, int(w)), src.width);
  const auto cy = taps(src.height, int(h));
  int64_t verticalTaps = 0;
  for (const Contrib& c : cy) verticalTaps += int64_t(c.weights.size());
  const int64_t work = verticalTaps * src.width * n + int64_t(h) * w * n * cx.count;
  parallelRows(int(h), work, [&](int y0, int y1) {
    if (n == 3)
      resampleBand3(src, out, cy, cx, y0, y1);
    else
      resampleBand4(src, out, cy, cx, y0, y1);
  });
  return out;
}

double triangle(double x) {
  x = std::fabs(x);
  return x < 1 ? 1 - x : 0;
}

double lanczos3(double x) {
  x = std::fabs(x);
  if (x < 1e-9) return 1;
  if (x >= 3) return 0;
  const double px = M_PI * x;
  return 3 * std::sin(px) * std::sin(px / 3) / (px * px);
}

}  // namespace

void flipInPlace(Image& img) {
  const size_t stride = img.stride();
  std::vector<uint8_t> tmp(stride);
  for (int y = 0, z = img.height - 1; y < z; ++y, --z) {
    pollRow();
    std::memcpy(tmp.data(), img.row(y), stride);
    std::memcpy(img.row(y), img.row(z), stride);
    std::memcpy(img.row(z), tmp.data(), stride);
  }
}

Image mirror(const Image& img) {
  return withWholeBytes(img, mirrorBytes);
}

Image rotate90(const Image& img, int quarterTurnsCcw) {
  const int turns = ((quarterTurnsCcw % 4) + 4) % 4;
  if (turns == 0) return img;
  return withWholeBytes(img, [turns](const Image& src) {
    Image out = turns == 2 ? makeLike(src) : makeImage(src.height, src.width, src.bpp);
    out.palette = src.palette;
    out.xdpi = turns == 2 ? src.xdpi : src.ydpi;
    out.ydpi = turns == 2 ? src.ydpi : src.xdpi;
    byPixelSize(src.bpp, [&]<int N>() { turnBytes<N>(src, out, turns); });
    return out;
  });
}

void rotatedSize(int w, int h, double degrees, int64_t& outW, int64_t& outH) {
  const double r = degrees * M_PI / 180.0;
  const double c = std::fabs(std::cos(r)), s = std::fabs(std::sin(r));
  outW = std::max<int64_t>(1, int64_t(std::ceil(w * c + h * s - 1e-6)));
  outH = std::max<int64_t>(1, int64_t(std::ceil(w * s + h * c - 1e-6)));
}

// count output pixels of one row of a rotation, whose source position starts at (fx, fy) and
// steps by (stepX, stepY), in 16.16 fixed point. Everything the loop needs is a local, so the
// byte stores cannot make the compiler reload it.
template <int N>
void rotateSpan(const Image& src, uint8_t* __restrict d, int count, int64_t fx, int64_t fy,
                int64_t stepX, int64_t stepY, const uint8_t* __restrict bg) {
  const uint8_t* __restrict base = src.pixels.data();
  const size_t stride = src.stride();
  const uint64_t limX = uint64_t(src.width - 1), limY = uint64_t(src.height - 1);
  const int64_t sw = src.width, sh = src.height;
  for (int x = 0; x < count; ++x, d += N, fx += stepX, fy += stepY) {
    const int64_t ix = fx >> 16, iy = fy >> 16;
    if (uint64_t(ix) < limX && uint64_t(iy) < limY) {
      const uint32_t ax = uint32_t(fx >> 8) & 255, ay = uint32_t(fy >> 8) & 255;
      const uint8_t* p = base + size_t(iy) * stride + size_t(ix) * N;
      const uint8_t* q = p + stride;
      for (int k = 0; k < N; ++k) {
        const uint32_t top = p[k] * (256 - ax) + p[k + N] * ax;
        const uint32_t bottom = q[k] * (256 - ax) + q[k + N] * ax;
        d[k] = uint8_t((top * (256 - ay) + bottom * ay + 32768) >> 16);
      }
    } else if (ix < -1 || iy < -1 || ix >= sw || iy >= sh) {
      put<N>(d, bg);  // all four neighbours outside
    } else {
      sampleBilinear<N>(src, float(fx) / 65536.f, float(fy) / 65536.f, bg, d);
    }
  }
}

Image rotate(const Image& img, double degrees, Rgbq background) {
  if (!std::isfinite(degrees)) fail(CV_ERR_BAD_ARGUMENT);
  const double turns = degrees / 90.0;
  if (std::fabs(turns - std::round(turns)) < 1e-9) {
    return rotate90(img, int(std::fmod(std::round(turns), 4.0)));
  }
  int64_t ow, oh;
  rotatedSize(img.width, img.height, degrees, ow, oh);
  const TrueColour srcHolder(img);
  const Image& src = *srcHolder;
  Image out = makeImage(ow, oh, src.bpp);
  out.palette.clear();
  out.xdpi = img.xdpi;
  out.ydpi = img.ydpi;
  const double r = degrees * M_PI / 180.0;
  const double c = std::cos(r), s = std::sin(r);
  const double scx = src.width / 2.0, scy = src.height / 2.0;
  const double dcx = ow / 2.0, dcy = oh / 2.0;
  const Rgbq bq = backgroundFor(img, background);
  const uint8_t bg[4] = {bq.b, bq.g, bq.r, 255};
  // Source coordinates step by (c, s) along a row, in 16.16 fixed point; inside the picture
  // the four neighbours are read directly with 8-bit weights, near its edges through the
  // background-aware sampler, and far outside it the pixel is the background. The output is
  // walked in blocks of kBand rows by kSpan columns, so the source pixels a block reads (a
  // turned square) stay in the cache while the block's rows pass over them.
  const int64_t stepX = std::llround(double(c) * 65536), stepY = std::llround(double(s) * 65536);
  constexpr int kBand = 32, kSpan = 256;
  byPixelSize(src.bpp, [&]<int N>() {
    const int bands = (out.height + kBand - 1) / kBand;
    parallelRows(bands, int64_t(out.stride()) * out.height * 4, [&](int b0, int b1) {
      int64_t rowX[kBand], rowY[kBand];
      for (int band = b0; band < b1; ++band) {
        const int y0 = band * kBand, rows = std::min(kBand, out.height - y0);
        for (int j = 0; j < rows; ++j) {
          const double v = y0 + j + 0.5 - dcy, u0 = 0.5 - dcx;
          rowX[j] = std::llround((u0 * c - v * s + scx - 0.5) * 65536);
          rowY[j] = std::llround((u0 * s + v * c + scy - 0.5) * 65536);
        }
        for (int x0 = 0; x0 < out.width; x0 += kSpan) {
          const int x1 = std::min(out.width, x0 + kSpan);
          for (int j = 0; j < rows; ++j)
            rotateSpan<N>(src, out.row(y0 + j) + size_t(x0) * N, x1 - x0, rowX[j] + x0 * stepX,
                          rowY[j] + x0 * stepY, stepX, stepY, bg);
        }
      }
    });
  });
  return out;
}

Image crop(const Image& img, int64_t x, int64_t y, int64_t w, int64_t h) {
  if (w <= 0 || h <= 0 || x < 0 || y < 0 || x >= img.width || y >= img.height)
    fail(CV_ERR_BAD_ARGUMENT);
  w = std::min<int64_t>(w, img.width - x);
  h = std::min<int64_t>(h, img.height - y);
  return withWholeBytes(img, [&](const Image& src) {
    Image out = makeImage(w, h, src.bpp);
    out.palette = src.palette;
    out.xdpi = src.xdpi;
    out.ydpi = src.ydpi;
    const size_t n = size_t(w) * (src.bpp / 8), off = size_t(x) * (src.bpp / 8);
    for (int j = 0; j < h; ++j) {
      pollRow();
      std::memcpy(out.row(j), src.row(int(y) + j) + off, n);
    }
    return out;
  });
}

Image resizeNearest(const Image& img, int64_t w, int64_t h) {
  if (w <= 0 || h <= 0) fail(CV_ERR_BAD_ARGUMENT);
  makeImage(std::min<int64_t>(w, 1), std::min<int64_t>(h, 1), img.bpp);
  if (w * h > kMaxPixels || w > kMaxPixels || h > kMaxPixels) fail(CV_ERR_TOO_LARGE);
  return withWholeBytes(img, [&](const Image& src) {
    Image out = makeImage(w, h, src.bpp);
    out.palette = src.palette;
    out.xdpi = src.xdpi;
    out.ydpi = src.ydpi;
    std::vector<int> xmap(static_cast<size_t>(w));
    for (int64_t x = 0; x < w; ++x) xmap[size_t(x)] = int((2 * x + 1) * src.width / (2 * w));
    byPixelSize(src.bpp, [&]<int N>() {
      parallelRows(int(h), int64_t(out.stride()) * h, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
          const uint8_t* s = src.row(int((2 * int64_t(y) + 1) * src.height / (2 * h)));
          uint8_t* d = out.row(y);
          for (int x = 0; x < out.width; ++x, d += N) put<N>(d, s + size_t(xmap[size_t(x)]) * N);
        }
      });
    });
    return out;
  });
}

Image resampleBilinear(const Image& img, int64_t w, int64_t h) {
  return resampleSeparable(img, w, h, 1.0, triangle, true);
}

Image resampleLanczos(const Image& img, int64_t w, int64_t h) {
  return resampleSeparable(img, w, h, 3.0, lanczos3, false);
}

Image tile(const Image& img, int64_t w, int64_t h) {
  if (w <= 0 || h <= 0) fail(CV_ERR_BAD_ARGUMENT);
  return withWholeBytes(img, [&](const Image& src) {
    Image out = makeImage(w, h, src.bpp);
    out.palette = src.palette;
    const int n = src.bpp / 8;
    for (int y = 0; y < h; ++y) {
      pollRow();
      const uint8_t* s = src.row(y % src.height);
      uint8_t* d = out.row(y);
      for (int64_t x = 0; x < w; x += src.width) {
        const int64_t run = std::min<int64_t>(src.width, w - x);
        std::memcpy(d + x * n, s, size_t(run) * n);
      }
    }
    return out;
  });
}

Image twist(const Image& img, int blocks, int rotation, uint32_t seed) {
  if (blocks < 2 || blocks > 64 || rotation < 0 || rotation > 3) fail(CV_ERR_BAD_ARGUMENT);
  // Square tiles turn within themselves; the picture keeps its size and depth.
  const int side = std::max(1, std::min(img.width, img.height) / blocks);
  std::mt19937 rng(seed);
  return withWholeBytes(img, [&](const Image& src) {
    Image out = src;
    for (int ty = 0; ty + side <= src.height; ty += side) {
      pollRow();
      for (int tx = 0; tx + side <= src.width; tx += side) {
        const int turns = rotation == TWIST_Random ? int(rng() % 4) : rotation + 1;
        Image part = crop(src, tx, ty, side, side);
        Image turned = rotate90(part, turns);
        const int n = src.bpp / 8;
        for (int j = 0; j < side; ++j)
          std::memcpy(out.row(ty + j) + size_t(tx) * n, turned.row(j), size_t(side) * n);
      }
    }
    return out;
  });
}

Image autoCrop(const Image& img, int pct) {
  if (pct < 0 || pct > 100) fail(CV_ERR_BAD_ARGUMENT);
  const Rgbq corner = pixelAt(img, 0, 0);
  const int tol = pct * 255 / 100;
  auto differs = [&](int x, int y) {
    const Rgbq c = pixelAt(img, x, y);
    return std::abs(c.r - corner.r) > tol || std::abs(c.g - corner.g) > tol ||
           std::abs(c.b - corner.b) > tol;
  };
  int left = img.width, right = -1, top = img.height, bottom = -1;
  for (int y = 0; y < img.height; ++y) {
    pollRow();
    for (int x = 0; x < img.width; ++x)
      if (differs(x, y)) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  }
  if (right < 0) return img;  // one colour throughout: nothing to cut
  return crop(img, left, top, right - left + 1, bottom - top + 1);
}

double findSkew(const Image& img) {
  // Projection profile: the angle at which the dark pixels gather into the fewest rows gives
  // the largest sum of squared row counts. Searched on a reduced copy in 0.25 degree steps.
  const int64_t scale = std::max<int64_t>(1, std::max(img.width, img.height) / 800);
  const Image small = scale > 1 ? resizeNearest(img, std::max<int64_t>(1, img.width / scale),
                                                std::max<int64_t>(1, img.height / scale))
                                : img;
  std::vector<std::pair<float, float>> dark;
  int64_t sum = 0;
  for (int y = 0; y < small.height; ++y) {
    pollRow();
    for (int x = 0; x < small.width; ++x) {
      const Rgbq c = pixelAt(small, x, y);
      sum += (c.r * 3 + c.g * 6 + c.b) / 10;
    }
  }
  const int64_t mean = sum / (int64_t(small.width) * small.height);
  for (int y = 0; y < small.height; ++y)
    for (int x = 0; x < small.width; ++x) {
      const Rgbq c = pixelAt(small, x, y);
      if ((c.r * 3 + c.g * 6 + c.b) / 10 < mean * 2 / 3) dark.emplace_back(float(x), float(y));
    }
  if (dark.empty()) return 0;
  double bestAngle = 0, bestScore = -1;
  const int rows = small.width + small.height + 2;
  std::vector<int> profile(size_t(rows) * 2);
  for (double a = -10; a <= 10.0001; a += 0.25) {
    pollRow();
    const double t = std::tan(a * M_PI / 180);
    std::fill(profile.begin(), profile.end(), 0);
    for (auto [x, y] : dark) {
      const int r = int(std::lround(y - x * t)) + rows;
      if (r >= 0 && r < int(profile.size())) ++profile[size_t(r)];
    }
    double score = 0;
    for (int v : profile) score += double(v) * v;
    if (score > bestScore + 1e-9 ||
        (std::fabs(score - bestScore) < 1e-9 && std::fabs(a) < std::fabs(bestAngle))) {
      bestScore = score;
      bestAngle = a;
    }
  }
  return bestAngle;  // lines that fall to the right need a counter-clockwise turn of this angle
}

}  // namespace rastcore::ops
