// Colour depth changes: palettes (median cut, fixed, grey, from a file) and the four ways of
// mapping pixels onto them (nearest, Floyd-Steinberg, ordered 8x8 Bayer, and our own
// serpentine Sierra-3 diffusion with damped error, DI_Corvane).
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "ops/kernels.h"
#include "ops/op_poll.h"
#include "ops/pixel.h"
#include "rastcore3_ops.h"

namespace rastcore::ops {
namespace {

// ---- median cut over a 5-5-5 histogram ----
struct Box {
  int lo[3], hi[3];  // inclusive cell bounds per channel (b, g, r), 0..31
  uint64_t count = 0;
};

inline int cell(int b, int g, int r) {
  return (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
}

void shrink(Box& box, const std::vector<uint32_t>& hist) {
  int lo[3] = {31, 31, 31}, hi[3] = {0, 0, 0};
  uint64_t count = 0;
  for (int r = box.lo[2]; r <= box.hi[2]; ++r)
    for (int g = box.lo[1]; g <= box.hi[1]; ++g)
      for (int b = box.lo[0]; b <= box.hi[0]; ++b) {
        const uint32_t c = hist[size_t(r << 10 | g << 5 | b)];
        if (!c) continue;
        count += c;
        const int v[3] = {b, g, r};
        for (int k = 0; k < 3; ++k) {
          lo[k] = std::min(lo[k], v[k]);
          hi[k] = std::max(hi[k], v[k]);
        }
      }
  box.count = count;
  if (count) {
    std::memcpy(box.lo, lo, sizeof lo);
    std::memcpy(box.hi, hi, sizeof hi);
  }
}

// Exact colours when the picture has at most `colours` of them; empty otherwise.
std::vector<Rgbq> exactColours(const Image& src, int colours) {
  std::unordered_map<uint32_t, int> seen;
  const int n = src.bpp / 8;
  for (int y = 0; y < src.height; ++y) {
    pollRow();
    const uint8_t* p = src.row(y);
    for (int x = 0; x < src.width; ++x, p += n) {
      seen.emplace(uint32_t(p[0] | p[1] << 8 | p[2] << 16), 0);
      if (int(seen.size()) > colours) return {};
    }
  }
  std::vector<Rgbq> pal;
  for (auto& [c, unused] : seen) pal.push_back({uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), 0});
  std::sort(pal.begin(), pal.end(), [](Rgbq a, Rgbq b) {
    return (a.r << 16 | a.g << 8 | a.b) < (b.r << 16 | b.g << 8 | b.b);
  });
  return pal;
}

std::vector<Rgbq> medianCut(const Image& src, int colours) {
  std::vector<uint32_t> hist(32768);
  std::vector<uint64_t> sums(32768 * 3);
  const int n = src.bpp / 8;
  for (int y = 0; y < src.height; ++y) {
    pollRow();
    const uint8_t* p = src.row(y);
    for (int x = 0; x < src.width; ++x, p += n) {
      const int c = cell(p[0], p[1], p[2]);
      ++hist[size_t(c)];
      sums[size_t(c) * 3] += p[0];
      sums[size_t(c) * 3 + 1] += p[1];
      sums[size_t(c) * 3 + 2] += p[2];
    }
  }
  std::vector<Box> boxes(1);
  boxes[0] = {{0, 0, 0}, {31, 31, 31}, 0};
  shrink(boxes[0], hist);
  while (int(boxes.size()) < colours) {
    // Split the box with the most pixels times its longest side, at its median.
    int best = -1;
    double bestScore = 0;
    for (size_t i = 0; i < boxes.size(); ++i) {
      const Box& b = boxes[i];
      const int side = std::max({b.hi[0] - b.lo[0], b.hi[1] - b.lo[1], b.hi[2] - b.lo[2]});
      const double score = double(b.count) * side;
      if (side > 0 && score > bestScore) {
        bestScore = score;
        best = int(i);
      }
    }
    if (best < 0) break;
    Box& b = boxes[size_t(best)];
    const int widths[3] = {(b.hi[0] - b.lo[0]) * 1, (b.hi[1] - b.lo[1]) * 1,
                           (b.hi[2] - b.lo[2]) * 1};
    const int axis = int(std::max_element(widths, widths + 3) - widths);
    std::vector<uint64_t> along(32);
    for (int r = b.lo[2]; r <= b.hi[2]; ++r)
      for (int g = b.lo[1]; g <= b.hi[1]; ++g)
        for (int bb = b.lo[0]; bb <= b.hi[0]; ++bb) {
          const int v[3] = {bb, g, r};
          along[size_t(v[axis])] += hist[size_t(r << 10 | g << 5 | bb)];
        }
    uint64_t acc = 0;
    int cut = b.lo[axis];
    for (int v = b.lo[axis]; v < b.hi[axis]; ++v) {
      acc += along[size_t(v)];
      cut = v;
      if (acc * 2 >= b.count) break;
    }
    Box upper = b;
    b.hi[axis] = cut;
    upper.lo[axis] = cut + 1;
    shrink(b, hist);
    shrink(upper, hist);
    if (upper.count) boxes.push_back(upper);
  }
  std::vector<Rgbq> pal;
  for (const Box& b : boxes) {
    uint64_t s[3] = {}, cnt = 0;
    for (int r = b.lo[2]; r <= b.hi[2]; ++r)
      for (int g = b.lo[1]; g <= b.hi[1]; ++g)
        for (int bb = b.lo[0]; bb <= b.hi[0]; ++bb) {
          const size_t c = size_t(r << 10 | g << 5 | bb);
          cnt += hist[c];
          for (int k = 0; k < 3; ++k) s[k] += sums[c * 3 + size_t(k)];
        }
    if (cnt)
      pal.push_back({uint8_t((s[0] + cnt / 2) / cnt), uint8_t((s[1] + cnt / 2) / cnt),
                     uint8_t((s[2] + cnt / 2) / cnt), 0});
  }
  return pal;
}

// Nearest-entry search over a palette sorted by green: the search walks outwards from the
// entry nearest in green and stops once green alone is farther than the best match.
class NearestFinder {
 public:
  explicit NearestFinder(const std::vector<Rgbq>& pal) {
    for (size_t i = 0; i < pal.size(); ++i) order_.push_back({pal[i], int(i)});
    std::sort(order_.begin(), order_.end(),
              [](const Entry& a, const Entry& b) { return a.c.g < b.c.g; });
  }
  int operator()(int b, int g, int r) const {
    size_t lo = 0, hi = order_.size();
    while (lo < hi) {  // first entry with green >= g
      const size_t mid = (lo + hi) / 2;
      if (order_[mid].c.g < g)
        lo = mid + 1;
      else
        hi = mid;
    }
    int best = order_.empty() ? 0 : order_[std::min(lo, order_.size() - 1)].index;
    int bestDist = INT32_MAX;
    auto consider = [&](const Entry& e) {
      const int dr = e.c.r - r, dg = e.c.g - g, db = e.c.b - b;
      const int d = 2 * dr * dr + 4 * dg * dg + 3 * db * db;
      if (d < bestDist || (d == bestDist && e.index < best)) {
        bestDist = d;
        best = e.index;
      }
    };
    for (size_t i = lo, j = lo; i < order_.size() || j > 0;) {
      bool progressed = false;
      if (i < order_.size()) {
        const int dg = order_[i].c.g - g;
        if (4 * dg * dg <= bestDist) {
          consider(order_[i++]);
          progressed = true;
        } else {
          i = order_.size();
        }
      }
      if (j > 0) {
        const int dg = order_[j - 1].c.g - g;
        if (4 * dg * dg <= bestDist) {
          consider(order_[--j]);
          progressed = true;
        } else {
          j = 0;
        }
      }
      if (!progressed) break;
    }
    return best;
  }

 private:
  struct Entry {
    Rgbq c;
    int index;
  };
  std::vector<Entry> order_;
};

// Nearest palette entry for the colours of a 6-6-6 grid, so mapping a pixel is one lookup.
// Filled all at once across threads for the mappings that run in parallel, or cell by cell as
// colours turn up for error diffusion, which walks the picture in order and usually meets a
// small part of the grid (building all of it took longer than dithering a 2-megapixel photo).
class InverseMap {
 public:
  InverseMap(const std::vector<Rgbq>& p, bool lazy)
      : nearest_(p), table_(size_t(1) << 18, kUnknown) {
    if (lazy) return;
    parallelRows(64, int64_t(1) << 18 << 4, [&](int r0, int r1) {
      for (size_t i = size_t(r0) << 12; i < size_t(r1) << 12; ++i) table_[i] = find(i);
    });
  }
  // Not safe to call from several threads at once on a lazy map.
  uint8_t operator()(int b, int g, int r) const {
    const size_t i = size_t((r >> 2) << 12 | (g >> 2) << 6 | (b >> 2));
    if (table_[i] == kUnknown) table_[i] = find(i);
    return uint8_t(table_[i]);
  }

 private:
  static constexpr uint16_t kUnknown = 0xFFFF;
  uint16_t find(size_t i) const {
    const int r = int(i >> 12), g = int(i >> 6) & 63, b = int(i) & 63;
    return uint16_t(nearest_(b << 2 | b >> 4, g << 2 | g >> 4, r << 2 | r >> 4));
  }
  NearestFinder nearest_;
  mutable std::vector<uint16_t> table_;
};

constexpr uint8_t kBayer8[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};

// Maps src (C = 1 grey channel or C = 3 colour channels per pixel, rows of `width`) to indices.
template <int C, typename Nearest>
void mapPixels(const std::vector<uint8_t>& src, int width, int height, Image& out,
               const std::vector<Rgbq>& pal, int dither, int spread, Nearest nearest) {
  auto entry = [&](int i, int k) {
    const Rgbq& c = pal[size_t(i)];
    return C == 1 ? c.r : (k == 0 ? c.b : k == 1 ? c.g : c.r);
  };
  const size_t rowLen = size_t(width) * C;
  if (dither == DI_Nearest || dither == DI_Ordered) {
    parallelRows(height, int64_t(width) * height * 8, [&](int y0, int y1) {
      for (int y = y0; y < y1; ++y) {
        const uint8_t* s = src.data() + rowLen * size_t(y);
        uint8_t* d = out.row(y);
        for (int x = 0; x < width; ++x, s += C) {
          int v[3] = {s[0], s[C > 1 ? 1 : 0], s[C > 2 ? 2 : 0]};
          if (dither == DI_Ordered) {
            const int off = (kBayer8[y & 7][x & 7] * 2 - 63) * spread / 128;
            for (int k = 0; k < C; ++k) v[k] = std::clamp(v[k] + off, 0, 255);
          }
          d[x] = nearest(v);
        }
      }
    });
    return;
  }
  // Error diffusion, one row after another; errors kept for the next two rows.
  const bool sierra = dither == DI_Corvane;
  std::vector<int> err[3];
  for (auto& e : err) e.assign((size_t(width) + 4) * C, 0);
  for (int y = 0; y < height; ++y) {
    pollRow();
    const bool reverse = sierra && (y & 1);
    const uint8_t* s = src.data() + rowLen * size_t(y);
    uint8_t* d = out.row(y);
    for (int i = 0; i < width; ++i) {
      const int x = reverse ? width - 1 - i : i;
      const int dir = reverse ? -1 : 1;
      int v[3] = {0, 0, 0};
      for (int k = 0; k < C; ++k) {
        const int e = err[0][size_t(x + 2) * C + k];
        v[k] = std::clamp(s[size_t(x) * C + k] + (sierra ? e * 7 / 8 : e) / (sierra ? 32 : 16), 0,
                          255);
      }
      const int idx = nearest(v);
      d[x] = uint8_t(idx);
      for (int k = 0; k < C; ++k) {
        const int q = v[k] - entry(idx, k);
        auto add = [&](int row, int dx, int wgt) {
          err[row][size_t(x + 2 + dx * dir) * C + k] += q * wgt;
        };
        if (sierra) {
          add(0, 1, 5);
          add(0, 2, 3);
          add(1, -2, 2);
          add(1, -1, 4);
          add(1, 0, 5);
          add(1, 1, 4);
          add(1, 2, 2);
          add(2, -1, 2);
          add(2, 0, 3);
          add(2, 1, 2);
        } else {
          add(0, 1, 7);
          add(1, -1, 3);
          add(1, 0, 5);
          add(1, 1, 1);
        }
      }
    }
    std::swap(err[0], err[1]);
    std::swap(err[1], err[2]);
    std::fill(err[2].begin(), err[2].end(), 0);
  }
}

std::vector<uint8_t> packedChannels(const Image& src, bool grey) {
  const int n = src.bpp / 8;
  std::vector<uint8_t> out(size_t(src.width) * src.height * (grey ? 1 : 3));
  parallelRows(src.height, int64_t(src.width) * src.height * 3, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* p = src.row(y);
      uint8_t* d = out.data() + size_t(y) * src.width * (grey ? 1 : 3);
      for (int x = 0; x < src.width; ++x, p += n) {
        if (grey) {
          *d++ = uint8_t((p[0] * 29 + p[1] * 150 + p[2] * 77 + 128) >> 8);
        } else {
          *d++ = p[0];
          *d++ = p[1];
          *d++ = p[2];
        }
      }
    }
  });
  return out;
}

}  // namespace

std::vector<Rgbq> optimizedPalette(const Image& img, int colours) {
  const TrueColour srcHolder(img);
  const Image& src = *srcHolder;
  std::vector<Rgbq> pal = exactColours(src, colours);
  return pal.empty() ? medianCut(src, colours) : pal;
}

std::vector<Rgbq> fixedPalette(int bits) {
  if (bits == 1) return {{0, 0, 0, 0}, {255, 255, 255, 0}};
  if (bits == 4) {
    // The 16 VGA colours in their usual order.
    static const uint32_t vga[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                     0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                     0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    std::vector<Rgbq> pal;
    for (uint32_t c : vga) pal.push_back({uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 0});
    return pal;
  }
  // 6x6x6 colour cube and 40 further greys.
  std::vector<Rgbq> pal;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        pal.push_back({uint8_t(b * 51), uint8_t(g * 51), uint8_t(r * 51), 0});
  for (int i = 1; pal.size() < 256; ++i) {
    const auto v = uint8_t(i * 255 / 41);
    pal.push_back({v, v, v, 0});
  }
  return pal;
}

Image colorDepth(const Image& img, int bits, int palette, int dither,
                 const std::vector<Rgbq>* filePalette) {
  if (palette < IPAL_Optimized || palette > IPAL_PalFileDither || dither < DI_Nearest ||
      dither > DI_Corvane || !validDepth(int16_t(bits)))
    fail(CV_ERR_BAD_ARGUMENT);
  if (bits == 24 || bits == 32) {
    const TrueColour tHolder(img, bits == 32);
    const Image& t = *tHolder;
    if (t.bpp == bits) return t;
    // 24 to 32 bits: opaque alpha.
    Image out = makeImage(t.width, t.height, 32);
    out.palette.clear();
    out.xdpi = t.xdpi;
    out.ydpi = t.ydpi;
    for (int y = 0; y < t.height; ++y) {
      pollRow();
      const uint8_t* s = t.row(y);
      uint8_t* d = out.row(y);
      for (int x = 0; x < t.width; ++x) {
        d[4 * x] = s[3 * x];
        d[4 * x + 1] = s[3 * x + 1];
        d[4 * x + 2] = s[3 * x + 2];
        d[4 * x + 3] = 255;
      }
    }
    return out;
  }
  const int colours = 1 << bits;
  const bool grey = palette == IPAL_Gray || palette == IPAL_GrayDither;
  if ((palette == IPAL_OptimizedDither || palette == IPAL_GrayDither ||
       palette == IPAL_PalFileDither) &&
      dither == DI_Nearest)
    dither = DI_Floyd;  // the dithering palettes dither even when no style is named
  std::vector<Rgbq> pal;
  const TrueColour srcHolder(img);
  const Image& src = *srcHolder;
  bool exact = false;  // the palette holds every colour of the picture
  switch (palette) {
    case IPAL_Optimized:
    case IPAL_OptimizedDither:
      pal = exactColours(src, colours);
      exact = !pal.empty();
      if (!exact) pal = medianCut(src, colours);
      break;
    case IPAL_Fixed:
      pal = fixedPalette(bits);
      break;
    case IPAL_Gray:
    case IPAL_GrayDither:
      pal = greyPalette(colours);
      break;
    default:
      if (!filePalette || filePalette->empty()) fail(CV_ERR_BAD_ARGUMENT);
      pal = *filePalette;
      if (int(pal.size()) > colours) pal.resize(size_t(colours));
      break;
  }
  Image out = makeImage(img.width, img.height, 8);
  out.xdpi = img.xdpi;
  out.ydpi = img.ydpi;
  const std::vector<uint8_t> chans = packedChannels(src, grey);
  if (grey) {
    const int n = colours;
    mapPixels<1>(chans, src.width, src.height, out, pal, dither, 255 / (n - 1),
                 [n](const int* v) { return uint8_t((v[0] * (n - 1) + 127) / 255); });
  } else {
    const InverseMap inv(pal, dither != DI_Nearest && dither != DI_Ordered);
    std::unordered_map<uint32_t, uint8_t> index;
    if (exact)
      for (size_t i = 0; i < pal.size(); ++i)
        index.emplace(uint32_t(pal[i].b | pal[i].g << 8 | pal[i].r << 16), uint8_t(i));
    const int spread = std::max(8, int(256 / std::cbrt(double(pal.size()))));
    mapPixels<3>(chans, src.width, src.height, out, pal, dither, spread, [&](const int* v) {
      if (exact) {
        const auto it = index.find(uint32_t(v[0] | v[1] << 8 | v[2] << 16));
        if (it != index.end()) return it->second;
      }
      return inv(v[0], v[1], v[2]);
    });
  }
  out.palette = pal;
  out.palette.resize(size_t(bits == 8 ? 256 : colours));
  return bits == 8 ? out : packIndexed(out, int16_t(bits));
}

}  // namespace rastcore::ops
