#include "formats_helpers.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace fmt_test {
namespace {

void put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(uint8_t(x)), v.push_back(uint8_t(x >> 8));
}
void put32(std::vector<uint8_t>& v, uint32_t x) {
  put16(v, x), put16(v, x >> 16);
}
uint32_t get32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

CV_HDIB toHandle(const std::vector<uint8_t>& bytes) {
  const CV_HDIB h = CV_DibAlloc(uint32_t(bytes.size()));
  std::memcpy(CV_DibLock(h), bytes.data(), bytes.size());
  return h;
}

struct TempRoot {
  std::string path;
  ~TempRoot() {
    if (!path.empty()) std::system(("rm -rf '" + path + "'").c_str());
  }
};
TempRoot g_root;

}  // namespace

CV_HDIB makeDib(int w, int h, int bpp, bool grey, bool alpha) {
  std::vector<uint8_t> d;
  const size_t stride = ((size_t(w) * bpp + 31) / 32) * 4;
  const int colors = bpp <= 8 ? 1 << bpp : 0;
  put32(d, 40), put32(d, uint32_t(w)), put32(d, uint32_t(h)), put16(d, 1), put16(d, uint32_t(bpp));
  put32(d, 0), put32(d, uint32_t(stride * h)), put32(d, 3780), put32(d, 3780),
      put32(d, uint32_t(colors)), put32(d, 0);
  for (int i = 0; i < colors; ++i) {
    if (grey) {
      const auto v = uint8_t(i * 255 / (colors - 1));
      d.insert(d.end(), {v, v, v, 0});
    } else {
      d.insert(d.end(), {uint8_t(i * 37 + 11), uint8_t(255 - i * 5), uint8_t(i * 97 + 3), 0});
    }
  }
  const size_t rows = d.size();
  d.resize(rows + stride * h, 0);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = d.data() + rows + size_t(h - 1 - y) * stride;  // bottom-up
    for (int x = 0; x < w; ++x) {
      const int v = (x * 7 + y * 13 + (x * y) % 5);
      if (bpp == 1)
        row[x >> 3] |= uint8_t(((v >> 2) & 1) << (7 - (x & 7)));
      else if (bpp == 4)
        row[x >> 1] |= uint8_t((v & 15) << ((x & 1) ? 0 : 4));
      else if (bpp == 8)
        row[x] = uint8_t(v);
      else {
        uint8_t* p = row + x * (bpp / 8);
        p[0] = uint8_t(x * 255 / (w > 1 ? w - 1 : 1)),
        p[1] = uint8_t(y * 255 / (h > 1 ? h - 1 : 1)), p[2] = uint8_t(v * 3);
        if (bpp == 32) p[3] = alpha ? uint8_t((x + y) % 3 == 0 ? 0 : 128 + (x % 128)) : 255;
      }
    }
  }
  return toHandle(d);
}

CV_HDIB dibFromPixels(const Pixels& px) {
  std::vector<uint8_t> d;
  put32(d, 40), put32(d, uint32_t(px.width)), put32(d, uint32_t(px.height)), put16(d, 1),
      put16(d, 32);
  put32(d, 0), put32(d, 0), put32(d, 3780), put32(d, 3780), put32(d, 0), put32(d, 0);
  for (int y = px.height - 1; y >= 0; --y)
    for (int x = 0; x < px.width; ++x) {
      const uint8_t* p = px.at(x, y);
      d.insert(d.end(), {p[2], p[1], p[0], p[3]});
    }
  return toHandle(d);
}

Pixels pixelsOf(CV_HANDLE handle) {
  Pixels out;
  const CV_HDIB dib = CV_GetHDib(handle);
  if (!dib) return out;
  const auto* d = static_cast<const uint8_t*>(CV_DibLock(dib));
  const int w = int(get32(d + 4)), h = int(get32(d + 8));
  const int bpp = d[14] | d[15] << 8;
  uint32_t colors = get32(d + 32);
  if (bpp <= 8 && colors == 0) colors = 1u << bpp;
  const uint8_t* palette = d + 40;
  const uint8_t* rows = palette + (bpp <= 8 ? colors * 4 : 0);
  const size_t stride = ((size_t(w) * bpp + 31) / 32) * 4;
  out.width = w, out.height = h;
  out.rgba.resize(size_t(w) * h * 4);
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = rows + size_t(h - 1 - y) * stride;
    for (int x = 0; x < w; ++x) {
      uint8_t* o = out.rgba.data() + (size_t(y) * w + x) * 4;
      if (bpp <= 8) {
        int i = bpp == 8   ? row[x]
                : bpp == 4 ? (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15
                           : (row[x >> 3] >> (7 - (x & 7))) & 1;
        const uint8_t* c = palette + i * 4;
        o[0] = c[2], o[1] = c[1], o[2] = c[0], o[3] = 255;
      } else {
        const uint8_t* p = row + x * (bpp / 8);
        o[0] = p[2], o[1] = p[1], o[2] = p[0], o[3] = bpp == 32 ? p[3] : 255;
      }
    }
  }
  return out;
}

int maxDifference(const Pixels& a, const Pixels& b, bool withAlpha) {
  if (a.width != b.width || a.height != b.height || a.rgba.size() != b.rgba.size()) return -1;
  int worst = 0;
  for (size_t i = 0; i < a.rgba.size(); ++i) {
    if (!withAlpha && i % 4 == 3) continue;
    worst = std::max(worst, std::abs(int(a.rgba[i]) - int(b.rgba[i])));
  }
  return worst;
}

double meanDifference(const Pixels& a, const Pixels& b) {
  if (a.rgba.size() != b.rgba.size() || a.rgba.empty()) return 1e9;
  double sum = 0;
  for (size_t i = 0; i < a.rgba.size(); ++i)
    if (i % 4 != 3) sum += std::abs(int(a.rgba[i]) - int(b.rgba[i]));
  return sum / (a.rgba.size() * 3 / 4);
}

std::string tempDir() {
  if (g_root.path.empty()) {
    char tmpl[] = "/tmp/rastcore-test-XXXXXX";
    g_root.path = mkdtemp(tmpl);
  }
  static int counter = 0;
  const std::string dir = g_root.path + "/" + std::to_string(++counter);
  mkdir(dir.c_str(), 0755);
  return dir;
}

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<std::string> listDir(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..")) names.push_back(e->d_name);
    closedir(d);
  }
  return names;
}

bool haveProgram(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

int run(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str());
}

Pixels readPpm(const std::string& path) {
  Pixels out;
  const std::vector<uint8_t> b = readFile(path);
  int w = 0, h = 0, maxval = 0, consumed = 0;
  if (b.size() < 2 || std::sscanf(reinterpret_cast<const char*>(b.data()), "P6 %d %d %d%n", &w, &h,
                                  &maxval, &consumed) != 3)
    return out;
  const size_t start = size_t(consumed) + 1;
  if (maxval != 255 || b.size() < start + size_t(w) * h * 3) return out;
  out.width = w, out.height = h;
  out.rgba.resize(size_t(w) * h * 4);
  for (size_t i = 0; i < size_t(w) * h; ++i) {
    std::memcpy(&out.rgba[i * 4], &b[start + i * 3], 3);
    out.rgba[i * 4 + 3] = 255;
  }
  return out;
}

Pixels readRawRgba(const std::string& path, int w, int h) {
  Pixels out;
  std::vector<uint8_t> b = readFile(path);
  if (b.size() != size_t(w) * h * 4) return out;
  out.width = w, out.height = h, out.rgba = std::move(b);
  return out;
}

std::string dataDir() {
  return std::string(GLIMMORA_SOURCE_DIR) + "/tests/data";
}

CV_HANDLE load(const std::string& path, const char* password) {
  CV_HANDLE h = 0;
  CV_CreateInstance(&h);
  if (password) CV_SetPICPassword(h, password);
  CV_SetFileName(h, path.c_str());
  return h;
}

void expectRefused(const std::vector<BadFile>& files, const std::string& extension) {
  const std::string path = tempDir() + "/bad." + extension;
  Instance h;
  for (const BadFile& bad : files) {
    SCOPED_TRACE(bad.what);
    CV_SetHDib(h, makeDib(3, 3, 24));
    writeFile(path, bad.bytes);
    CV_SetFileName(h, path.c_str());
    if (bad.error)
      EXPECT_EQ(CV_GetImagError(h), bad.error);
    else
      EXPECT_LT(CV_GetImagError(h), 0);
    EXPECT_EQ(CV_GetHDib(h), 0u);
    EXPECT_EQ(CV_GetIWidth(h), 0);
  }
}

}  // namespace fmt_test
