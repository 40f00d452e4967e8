#include "fileformat/fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <tuple>

namespace rastcore {
namespace {

// The font file fontconfig picks for a family and style (cached: matching is slow).
std::string fontFile(const TextStyle& style) {
  static std::mutex lock;
  static std::map<std::tuple<std::string, bool, bool>, std::string> cache;
  const std::lock_guard<std::mutex> guard(lock);
  const auto key = std::make_tuple(style.face, style.bold, style.italic);
  if (auto it = cache.find(key); it != cache.end()) return it->second;
  std::string file;
  if (FcInit()) {
    FcPattern* pattern = FcPatternCreate();
    const std::string family = style.face.empty() ? "sans-serif" : style.face;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, style.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, style.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
      FcChar8* path = nullptr;
      if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path)
        file = reinterpret_cast<const char*>(path);
      FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
  }
  cache[key] = file;
  return file;
}

// One FreeType face for one call; FreeType objects are not shared between threads.
class Face {
 public:
  explicit Face(const TextStyle& style) {
    const std::string file = fontFile(style);
    if (file.empty() || FT_Init_FreeType(&library_) != 0) return;
    if (FT_New_Face(library_, file.c_str(), 0, &face_) != 0) {
      face_ = nullptr;
      return;
    }
    FT_Set_Pixel_Sizes(face_, 0, FT_UInt(std::clamp(style.pixelHeight, 1, 2048)));
  }
  ~Face() {
    if (face_) FT_Done_Face(face_);
    if (library_) FT_Done_FreeType(library_);
  }
  Face(const Face&) = delete;
  Face& operator=(const Face&) = delete;
  FT_Face get() const { return face_; }

 private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

uint8_t blend(uint8_t under, uint8_t over, int coverage) {
  return uint8_t((under * (255 - coverage) + over * coverage + 127) / 255);
}

}  // namespace

int drawText(Image& image, int x, int baseline, const std::string& text, const TextStyle& style,
             const PixelVisible& visible) {
  const Face face(style);
  if (!face.get()) return -1;
  const uint8_t r = uint8_t(style.color), g = uint8_t(style.color >> 8),
                b = uint8_t(style.color >> 16);
  // FreeType's y axis points up; the pen runs in 26.6 fixed point so a turned baseline keeps
  // its slope from glyph to glyph.
  const bool turned = style.angle != 0;
  const FT_Fixed cosine = FT_Fixed(std::lround(std::cos(style.angle) * 65536.0));
  const FT_Fixed sine = FT_Fixed(std::lround(std::sin(style.angle) * 65536.0));
  FT_Matrix turn{cosine, -sine, sine, cosine};
  FT_Vector pen{0, 0};
  for (unsigned char c : text) {
    if (turned) {  // the glyph placed at the pen's fraction of a pixel, turned
      FT_Vector fraction{pen.x & 63, pen.y & 63};
      FT_Set_Transform(face.get(), &turn, &fraction);
    }
    if (FT_Load_Char(face.get(), c, FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot glyph = face.get()->glyph;
    const FT_Bitmap& bitmap = glyph->bitmap;
    const int originX = x + int(pen.x >> 6), originY = baseline - int(pen.y >> 6);
    if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
      for (unsigned row = 0; row < bitmap.rows; ++row) {
        const int y = originY - glyph->bitmap_top + int(row);
        if (y < 0 || y >= image.height) continue;
        const uint8_t* src = bitmap.buffer + ptrdiff_t(row) * bitmap.pitch;
        for (unsigned col = 0; col < bitmap.width; ++col) {
          const int px = originX + glyph->bitmap_left + int(col);
          if (px < 0 || px >= image.width || src[col] == 0 || !visible(px, y)) continue;
          uint8_t* p = image.row(y) + px * 3;
          p[0] = blend(p[0], b, src[col]), p[1] = blend(p[1], g, src[col]),
          p[2] = blend(p[2], r, src[col]);
        }
      }
    }
    if (turned)
      pen.x += glyph->advance.x, pen.y += glyph->advance.y;
    else
      pen.x += glyph->advance.x & ~FT_Pos(63);  // whole pixels, as measureText counts them
  }
  if (!turned) return int(pen.x >> 6);
  return int(std::lround(std::hypot(double(pen.x), double(pen.y)) / 64));
}

int measureText(const std::string& text, const TextStyle& style, int* ascent) {
  const Face face(style);
  if (!face.get()) return -1;
  if (ascent) *ascent = int(face.get()->size->metrics.ascender >> 6);
  int advance = 0;
  for (unsigned char c : text)
    if (FT_Load_Char(face.get(), c, FT_LOAD_DEFAULT) == 0)
      advance += int(face.get()->glyph->advance.x >> 6);
  return advance;
}

}  // namespace rastcore
