#include "ops/pixel.h"

#include <sys/mman.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "ops/op_poll.h"
#include "rastcore3_errors.h"
#include "rastcore3_ops.h"

namespace rastcore::ops {

void fail(int16_t code) {
  throw OpFailure{code};
}

bool validDepth(int16_t bpp) {
  return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32;
}

std::vector<Rgbq> greyPalette(int n) {
  std::vector<Rgbq> pal(n);
  for (int i = 0; i < n; ++i) {
    const auto v = static_cast<uint8_t>(n == 1 ? 0 : i * 255 / (n - 1));
    pal[i] = {v, v, v, 0};
  }
  return pal;
}

namespace {

// Large pictures ask for huge pages before the first touch: far fewer page faults while the
// buffer is filled, and kernels that walk down columns (quarter turns, rotation) stay within
// the address cache.
void reserveRows(PixelBuffer& pixels, size_t bytes) {
  pixels.reserve(bytes);
  constexpr uintptr_t kHuge = uintptr_t(2) << 20;
  if (bytes < 4 * kHuge) return;
  const uintptr_t at = reinterpret_cast<uintptr_t>(pixels.data());
  const uintptr_t begin = (at + kHuge - 1) & ~(kHuge - 1), end = (at + bytes) & ~(kHuge - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace

Image makeImage(int64_t width, int64_t height, int16_t bpp) {
  if (width <= 0 || height <= 0 || !validDepth(bpp)) fail(CV_ERR_BAD_ARGUMENT);
  if (width > kMaxPixels || height > kMaxPixels || width * height > kMaxPixels)
    fail(CV_ERR_TOO_LARGE);
  const int64_t stride = int64_t(Image::strideFor(int32_t(width), bpp));
  if (stride * height > kMaxBytes) fail(CV_ERR_TOO_LARGE);
  Image img;
  img.width = int32_t(width);
  img.height = int32_t(height);
  img.bpp = bpp;
  try {
    const size_t bytes = size_t(stride * height);
    reserveRows(img.pixels, bytes);
    img.pixels.resize(bytes, 0);
  } catch (const std::bad_alloc&) {
    fail(CV_ERR_OUT_OF_MEMORY);
  }
  if (bpp <= 8) img.palette = greyPalette(1 << bpp);
  return img;
}

Image copyImage(const Image& img) {
  Image out;
  out.width = img.width;
  out.height = img.height;
  out.bpp = img.bpp;
  out.palette = img.palette;
  out.xdpi = img.xdpi;
  out.ydpi = img.ydpi;
  try {
    reserveRows(out.pixels, img.pixels.size());
    out.pixels.assign(img.pixels.begin(), img.pixels.end());
  } catch (const std::bad_alloc&) {
    fail(CV_ERR_OUT_OF_MEMORY);
  }
  return out;
}

Image makeLike(const Image& src) {
  Image img = makeImage(src.width, src.height, src.bpp);
  img.palette = src.palette;
  img.xdpi = src.xdpi;
  img.ydpi = src.ydpi;
  return img;
}

Image unpackIndexed(const Image& src) {
  Image out = makeImage(src.width, src.height, 8);
  out.palette = src.palette;
  out.xdpi = src.xdpi;
  out.ydpi = src.ydpi;
  const int w = src.width;
  parallelRows(src.height, int64_t(w) * src.height, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* s = src.row(y);
      uint8_t* d = out.row(y);
      if (src.bpp == 1) {
        for (int x = 0; x < w; ++x) d[x] = (s[x >> 3] >> (7 - (x & 7))) & 1;
      } else {
        for (int x = 0; x < w; ++x) d[x] = (s[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
      }
    }
  });
  return out;
}

Image packIndexed(const Image& src8, int16_t bits) {
  Image out = makeImage(src8.width, src8.height, bits);
  out.palette = src8.palette;
  out.palette.resize(size_t(1) << bits);
  out.xdpi = src8.xdpi;
  out.ydpi = src8.ydpi;
  const int w = src8.width;
  const uint8_t mask = uint8_t((1 << bits) - 1);
  parallelRows(src8.height, int64_t(w) * src8.height, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* s = src8.row(y);
      uint8_t* d = out.row(y);
      if (bits == 1) {
        for (int x = 0; x < w; ++x)
          if (s[x] & mask) d[x >> 3] |= uint8_t(0x80 >> (x & 7));
      } else {
        for (int x = 0; x < w; ++x) d[x >> 1] |= uint8_t((s[x] & mask) << ((x & 1) ? 0 : 4));
      }
    }
  });
  return out;
}

Image withWholeBytes(const Image& src, const std::function<Image(const Image&)>& fn) {
  if (src.bpp >= 8) return fn(src);
  return packIndexed(fn(unpackIndexed(src)), src.bpp);
}

Image toTrueColor(const Image& src, bool keepAlpha) {
  if (src.bpp == 24 || (src.bpp == 32 && keepAlpha)) return src;
  Image out = makeImage(src.width, src.height, 24);
  out.palette.clear();
  out.xdpi = src.xdpi;
  out.ydpi = src.ydpi;
  const Image idx = src.bpp < 8 ? unpackIndexed(src) : Image();
  const Image& s8 = src.bpp < 8 ? idx : src;
  const int w = src.width;
  parallelRows(src.height, int64_t(w) * src.height * 3, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* s = s8.row(y);
      uint8_t* d = out.row(y);
      if (s8.bpp == 8) {
        for (int x = 0; x < w; ++x) {
          const Rgbq c = s[x] < s8.palette.size() ? s8.palette[s[x]] : Rgbq{};
          d[3 * x] = c.b;
          d[3 * x + 1] = c.g;
          d[3 * x + 2] = c.r;
        }
      } else {  // 32 bits, alpha dropped
        for (int x = 0; x < w; ++x) {
          d[3 * x] = s[4 * x];
          d[3 * x + 1] = s[4 * x + 1];
          d[3 * x + 2] = s[4 * x + 2];
        }
      }
    }
  });
  return out;
}

Rgbq pixelAt(const Image& img, int x, int y) {
  const uint8_t* r = img.row(y);
  switch (img.bpp) {
    case 1:
    case 4:
    case 8: {
      int i = img.bpp == 8   ? r[x]
              : img.bpp == 4 ? (r[x >> 1] >> ((x & 1) ? 0 : 4)) & 15
                             : (r[x >> 3] >> (7 - (x & 7))) & 1;
      Rgbq c = size_t(i) < img.palette.size() ? img.palette[i] : Rgbq{};
      c.reserved = 255;
      return c;
    }
    case 24:
      return {r[3 * x], r[3 * x + 1], r[3 * x + 2], 255};
    default:
      return {r[4 * x], r[4 * x + 1], r[4 * x + 2], r[4 * x + 3]};
  }
}

Rgbq oleToRgbq(uint32_t ole) {
  if (ole & 0x80000000u) {
    // System colours: the window colour is white; everything else reads as the button face.
    ole = (ole & 0xFF) == 5 ? 0x00FFFFFFu : 0x00F0F0F0u;
  }
  return {uint8_t(ole >> 16), uint8_t(ole >> 8), uint8_t(ole), 255};
}

int nearestIndex(const std::vector<Rgbq>& pal, Rgbq c) {
  int best = 0;
  int bestDist = 1 << 30;
  for (size_t i = 0; i < pal.size(); ++i) {
    const int db = pal[i].b - c.b, dg = pal[i].g - c.g, dr = pal[i].r - c.r;
    const int d = 2 * dr * dr + 4 * dg * dg + 3 * db * db;
    if (d < bestDist) {
      bestDist = d;
      best = int(i);
      if (d == 0) break;
    }
  }
  return best;
}

namespace {

// parallelRows while the host polls: the threads take bands of rows in turn, and the calling
// thread gives the host its poll between its bands and while it waits for the others. A
// cancel stops every thread at its next band; the rows already written belong to a picture
// that is then thrown away.
void polledRows(OpPoll& poll, int threads, int count, int64_t work,
                const std::function<void(int, int)>& fn) {
  const int band = OpPoll::bandRows(count, work, threads);
  std::atomic<int> next{0};
  std::atomic<bool> stop{false};
  std::mutex mutex;
  std::condition_variable finished;
  int running = threads - 1;
  const auto take = [&] {
    while (!stop.load(std::memory_order_relaxed)) {
      const int y0 = next.fetch_add(band, std::memory_order_relaxed);
      if (y0 >= count) break;
      fn(y0, std::min(count, y0 + band));
    }
  };
  std::vector<std::thread> pool;
  pool.reserve(size_t(std::max(0, threads - 1)));
  for (int t = 1; t < threads; ++t)
    pool.emplace_back([&] {
      take();
      const std::lock_guard lock(mutex);
      --running;
      finished.notify_all();
    });
  std::exception_ptr error;
  bool cancelled = false;
  try {
    {
      // Only this thread polls, between bands: the kernel's own row loops inside fn do not.
      const SuspendPoll quiet;
      for (;;) {
        const int y0 = next.fetch_add(band, std::memory_order_relaxed);
        if (y0 >= count) break;
        fn(y0, std::min(count, y0 + band));
        if (poll.due() && poll.askNow()) {
          cancelled = true;
          break;
        }
      }
    }
    // While the others end their last bands the host keeps its poll; and it has one in each
    // call that is due for one, whichever thread ran the bands.
    std::unique_lock lock(mutex);
    while (!cancelled) {
      const bool done = running == 0;
      lock.unlock();
      cancelled = poll.due() && poll.askNow();
      lock.lock();
      if (done) break;
      finished.wait_until(lock, poll.nextDue());
    }
  } catch (...) {
    error = std::current_exception();
  }
  stop = true;
  for (auto& th : pool) th.join();
  if (error) std::rethrow_exception(error);
  if (cancelled) fail(CV_ERR_CANCELLED);
}

}  // namespace

void parallelRows(int count, int64_t work, const std::function<void(int, int)>& fn) {
  constexpr int64_t kWorkPerThread = int64_t(1) << 20;
  const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
  int threads = int(std::min<int64_t>({int64_t(hw), work / kWorkPerThread, int64_t(count)}));
  if (OpPoll* poll = OpPoll::current(); poll && count > 1) {
    polledRows(*poll, std::max(threads, 1), count, work, fn);
    return;
  }
  if (threads <= 1) {
    fn(0, count);
    return;
  }
  std::vector<std::thread> pool;
  pool.reserve(threads - 1);
  const int chunk = (count + threads - 1) / threads;
  for (int t = 1; t < threads; ++t) {
    const int a = t * chunk, b = std::min(count, a + chunk);
    if (a < b) pool.emplace_back(fn, a, b);
  }
  fn(0, std::min(count, chunk));
  for (auto& th : pool) th.join();
}

namespace {

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && \
    !defined(__SANITIZE_ADDRESS__)
#define RC3_BYTE_PERMUTE 1
// 64 bytes at a time through byte permutes (AVX-512 VBMI): each permute looks up 128 table
// entries by the low 7 bits of every byte, and the top bit picks which half applies. Rows of
// 3 or 4-byte pixels use one table per channel, chosen byte by byte with masks that repeat
// every 3 (or 1) blocks. Bytes past the last whole block go through the plain loop.
struct PermuteTable {
  __m512i lo0, lo1, hi0, hi1;
};

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline PermuteTable loadTable(
    const uint8_t* t) {
  return {_mm512_loadu_si512(t), _mm512_loadu_si512(t + 64), _mm512_loadu_si512(t + 128),
          _mm512_loadu_si512(t + 192)};
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512i lookUp(const PermuteTable& t,
                                                                             __m512i v) {
  const __m512i lo = _mm512_permutex2var_epi8(t.lo0, v, t.lo1);
  const __m512i hi = _mm512_permutex2var_epi8(t.hi0, v, t.hi1);
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), lo, hi);
}

// Returns the bytes done (a multiple of 64); step is 3 or 4 bytes a pixel (alpha kept).
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) size_t permuteRow(
    uint8_t* p, size_t n, int step, const uint8_t* tb, const uint8_t* tg, const uint8_t* tr) {
  const PermuteTable b = loadTable(tb), g = loadTable(tg), r = loadTable(tr);
  const bool one = tb == tg && tg == tr && step == 3;
  // Channel masks of the block starting at byte 64 * k, for k mod 3 (3-byte pixels).
  __mmask64 blue[3], green[3], red[3];
  for (int k = 0; k < 3; ++k) {
    blue[k] = green[k] = red[k] = 0;
    for (int i = 0; i < 64; ++i) {
      const int c = (64 * k + i) % step;
      const __mmask64 bit = __mmask64(1) << i;
      if (c == 0)
        blue[k] |= bit;
      else if (c == 1)
        green[k] |= bit;
      else if (c == 2)
        red[k] |= bit;
    }
  }
  // Stop on a pixel boundary: 3 blocks hold 64 whole 3-byte pixels.
  const size_t group = one || step == 4 ? 64 : 192;
  const size_t end = n - n % group;
  size_t i = 0;
  for (int k = 0; i < end; i += 64, k = k == 2 ? 0 : k + 1) {
    const __m512i v = _mm512_loadu_si512(p + i);
    __m512i out;
    if (one) {
      out = lookUp(b, v);
    } else {
      const int phase = step == 3 ? k : 0;
      out = _mm512_mask_blend_epi8(blue[phase], v, lookUp(b, v));
      out = _mm512_mask_blend_epi8(green[phase], out, lookUp(g, v));
      out = _mm512_mask_blend_epi8(red[phase], out, lookUp(r, v));
    }
    _mm512_storeu_si512(p + i, out);
  }
  return i;
}

bool canPermuteBytes() {
  static const bool ok = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                         __builtin_cpu_supports("avx512vbmi");
  return ok;
}
#endif

// One table over every byte of a row (24-bit rows hold only colour samples).
void tableBytes(uint8_t* __restrict p, size_t n, const uint8_t* __restrict t) {
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const uint8_t a = t[p[i]], b = t[p[i + 1]], c = t[p[i + 2]], d = t[p[i + 3]];
    p[i] = a;
    p[i + 1] = b;
    p[i + 2] = c;
    p[i + 3] = d;
  }
  for (; i < n; ++i) p[i] = t[p[i]];
}

// A table per channel over the pixels of a row, `step` bytes apart (alpha left alone).
void tablePixels(uint8_t* __restrict p, int w, int step, const uint8_t* __restrict tb,
                 const uint8_t* __restrict tg, const uint8_t* __restrict tr) {
  for (int x = 0; x < w; ++x, p += step) {
    const uint8_t b = tb[p[0]], g = tg[p[1]], r = tr[p[2]];
    p[0] = b;
    p[1] = g;
    p[2] = r;
  }
}

}  // namespace

void applyTables(Image& img, const uint8_t* tb, const uint8_t* tg, const uint8_t* tr) {
  if (img.bpp <= 8) {
    for (auto& c : img.palette) {
      c.b = tb[c.b];
      c.g = tg[c.g];
      c.r = tr[c.r];
    }
    return;
  }
  const int bpp = img.bpp / 8;
  const int w = img.width;
  const bool oneTable = tb == tg && tg == tr;
  const size_t rowBytes = size_t(w) * size_t(bpp);
#ifdef RC3_BYTE_PERMUTE
  const bool permute = canPermuteBytes();
#else
  const bool permute = false;
#endif
  parallelRows(img.height, int64_t(rowBytes) * img.height, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      uint8_t* row = img.row(y);
      size_t done = 0;
#ifdef RC3_BYTE_PERMUTE
      if (permute) done = permuteRow(row, rowBytes, bpp, tb, tg, tr);
#endif
      if (oneTable && bpp == 3)
        tableBytes(row + done, rowBytes - done, tb);
      else
        tablePixels(row + done, w - int(done / size_t(bpp)), bpp, tb, tg, tr);
    }
  });
  (void)permute;
}

}  // namespace rastcore::ops
