#include "fileformat/colors.h"

#include <algorithm>
#include <bit>
#include <thread>
#include <vector>

#include "fileformat/checked.h"

namespace rastcore {
namespace {

constexpr size_t kWords = (size_t(1) << 24) / 64;
constexpr int64_t kPixelsPerThread = 2'000'000;

void markRows(const Image& image, int y0, int y1, uint64_t* bits) {
  const int bytes = image.bpp / 8;
  for (int y = y0; y < y1; ++y) {
    const uint8_t* p = image.row(y);
    const uint8_t* end = p + size_t(image.width) * size_t(bytes);
    for (; p < end; p += bytes) {
      const uint32_t key = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
      bits[key >> 6] |= uint64_t(1) << (key & 63);
    }
  }
}

int64_t countIndexed(const Image& image) {
  // Only the entries that pixels use count, and equal entries count once.
  std::vector<bool> used(image.palette.size(), false);
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* row = image.row(y);
    for (int x = 0; x < image.width; ++x) {
      const size_t i = size_t(indexAt(row, x, image.bpp));
      if (i < used.size()) used[i] = true;
    }
  }
  std::vector<uint32_t> colors;
  for (size_t i = 0; i < used.size(); ++i)
    if (used[i]) {
      const Rgbq& c = image.palette[i];
      colors.push_back(uint32_t(c.b) | uint32_t(c.g) << 8 | uint32_t(c.r) << 16);
    }
  std::sort(colors.begin(), colors.end());
  return std::unique(colors.begin(), colors.end()) - colors.begin();
}

}  // namespace

int64_t countUniqueColors(const Image& image) {
  if (image.empty()) return 0;
  if (image.bpp <= 8) return countIndexed(image);
  const int64_t pixels = int64_t(image.width) * image.height;
  const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
  const int threads = int(std::clamp<int64_t>(pixels / kPixelsPerThread, 1, std::min(hw, 8u)));
  std::vector<std::vector<uint64_t>> sets(size_t(threads), std::vector<uint64_t>(kWords, 0));
  if (threads == 1) {
    markRows(image, 0, image.height, sets[0].data());
  } else {
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
      const int y0 = int(int64_t(image.height) * t / threads);
      const int y1 = int(int64_t(image.height) * (t + 1) / threads);
      workers.emplace_back(markRows, std::cref(image), y0, y1, sets[size_t(t)].data());
    }
    for (std::thread& w : workers) w.join();
  }
  int64_t count = 0;
  for (size_t i = 0; i < kWords; ++i) {
    uint64_t word = 0;
    for (const auto& s : sets) word |= s[i];
    count += std::popcount(word);
  }
  return count;
}

}  // namespace rastcore
