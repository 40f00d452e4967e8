#include "ops/palfile.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace rastcore::ops {
namespace {

constexpr size_t kMaxFile = 1 << 20;  // palette files are small; refuse anything large

bool parseJasc(const std::string& text, std::vector<Rgbq>& pal) {
  std::istringstream in(text);
  std::string magic, version;
  int count = 0;
  if (!(in >> magic >> version >> count) || magic != "JASC-PAL" || count < 1 || count > 256)
    return false;
  for (int i = 0; i < count; ++i) {
    int r, g, b;
    if (!(in >> r >> g >> b) || r < 0 || r > 255 || g < 0 || g > 255 || b < 0 || b > 255)
      return false;
    pal.push_back({uint8_t(b), uint8_t(g), uint8_t(r), 0});
  }
  return true;
}

uint32_t le32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

bool parseRiff(const std::string& data, std::vector<Rgbq>& pal) {
  const auto* d = reinterpret_cast<const uint8_t*>(data.data());
  if (data.size() < 12 || std::memcmp(d, "RIFF", 4) || std::memcmp(d + 8, "PAL ", 4)) return false;
  size_t pos = 12;
  while (pos + 8 <= data.size()) {
    const uint32_t size = le32(d + pos + 4);
    if (size > data.size() - pos - 8) return false;
    if (!std::memcmp(d + pos, "data", 4)) {
      if (size < 4) return false;
      const int count = d[pos + 10] | d[pos + 11] << 8;
      if (count < 1 || count > 256 || size_t(count) * 4 + 4 > size) return false;
      for (int i = 0; i < count; ++i) {
        const uint8_t* e = d + pos + 12 + 4 * i;
        pal.push_back({e[2], e[1], e[0], 0});
      }
      return true;
    }
    pos += 8 + size + (size & 1);
  }
  return false;
}

}  // namespace

bool readPaletteFile(const std::string& path, std::vector<Rgbq>& pal) {
  pal.clear();
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::string data;
  data.resize(kMaxFile + 1);
  f.read(data.data(), std::streamsize(data.size()));
  data.resize(size_t(f.gcount()));
  if (data.size() > kMaxFile) return false;
  const bool ok = parseRiff(data, pal) || (pal.clear(), parseJasc(data, pal));
  if (!ok) pal.clear();
  return ok;
}

}  // namespace rastcore::ops
