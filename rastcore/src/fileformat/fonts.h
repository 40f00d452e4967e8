// Text drawn with the system's fonts (fontconfig finds the face, FreeType draws it), for
// pictures that carry text, such as metafiles.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "image.h"

namespace rastcore {

struct TextStyle {
  std::string face;  // a family name; empty or unknown gives the system's sans-serif face
  int pixelHeight = 12;
  bool bold = false, italic = false;
  uint32_t color = 0;  // 0x00BBGGRR
  double angle = 0;    // of the baseline, in radians counter-clockwise on the screen
};

// Whether a pixel of the picture may be drawn.
using PixelVisible = std::function<bool(int x, int y)>;

// Draws Latin-1 text on a 24-bit picture with its baseline starting at (x, baseline) and
// running at the style's angle, blending the glyphs' coverage into the pixels `visible`
// allows. Returns the advance in pixels, or -1 when no font can be loaded.
int drawText(Image& image, int x, int baseline, const std::string& text, const TextStyle& style,
             const PixelVisible& visible);

// The advance (along the baseline) and the ascent of the text in pixels, without drawing; -1
// when no font loads.
int measureText(const std::string& text, const TextStyle& style, int* ascent);

}  // namespace rastcore
