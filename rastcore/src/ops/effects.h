// One dispatcher from effect codes (CV_IP_*) to kernels, used by the CV_* methods and by Area,
// which runs an effect with its last arguments on part of the picture.
#pragma once

#include <array>
#include <cstdint>

#include "image.h"
#include "ops/ops_state.h"

namespace rastcore::ops {

struct EffectContext {
  const LastArgs& args;
  Rgbq background;
  std::array<int, 9> kernel{};                     // Matrix
  int bits = 24;                                   // ColorDepth
  const Image* other = nullptr;                    // Merge, Blend
  const std::vector<Rgbq>* filePalette = nullptr;  // ColorDepth with a palette file
  uint32_t seed = 1;
};

// True when the effect changes its picture in place (point operations and flips); it then
// validates its arguments before it writes.
bool effectIsInPlace(int effect);
void applyEffectInPlace(int effect, Image& img, const EffectContext& ctx);
Image applyEffect(int effect, const Image& img, const EffectContext& ctx);
// True when the effect keeps the picture's size (Area can run only those).
bool effectKeepsSize(int effect);

}  // namespace rastcore::ops
