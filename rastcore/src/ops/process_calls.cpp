// The processing methods' CV_* entry points: each records its last arguments, then runs its
// effect through runTransform/runInPlace, which own undo and error reporting.
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

#include "ops/effects.h"
#include "ops/kernels.h"
#include "ops/op_poll.h"
#include "ops/ops_state.h"
#include "ops/pixel.h"
#include "rastcore3_ops.h"

namespace rastcore::ops {
namespace {

std::mutex g_stateMutex;
std::unordered_map<CV_HANDLE, std::unique_ptr<OpsState>> g_states;

// Matrix kernels and colour-depth bits are arguments without a last-argument property.
struct Extra {
  std::array<int, 9> kernel{0, 0, 0, 0, 1, 0, 0, 0, 0};
  int bits = 24;
};
std::unordered_map<CV_HANDLE, Extra> g_extra;

Extra& extraFor(CV_HANDLE h) {
  std::lock_guard lock(g_stateMutex);
  return g_extra[h];
}

int16_t setError(CV_HANDLE h, int16_t code) {
  if (Instance* inst = instanceFor(h)) inst->error = code;
  return code;
}

template <typename F>
void guarded(CV_HANDLE h, F&& f) {
  try {
    f();
  } catch (const OpFailure& e) {
    setError(h, e.code);
  } catch (const std::bad_alloc&) {
    setError(h, CV_ERR_OUT_OF_MEMORY);
  } catch (const std::length_error&) {
    setError(h, CV_ERR_TOO_LARGE);
  }
}

// Keeps the undo copy when undo is enabled and none is held yet.
void keepUndo(Instance& inst, const OpsState& st, Image& saved, bool& keep) {
  keep = st.undoProperty && !inst.hasUndo;
  if (keep) saved = inst.image;
}

EffectContext contextFor(CV_HANDLE h, Instance& inst, OpsState& st, const Image* other) {
  const Extra& x = extraFor(h);
  EffectContext ctx{st.last, backgroundOf(inst)};
  ctx.kernel = x.kernel;
  ctx.bits = x.bits;
  ctx.other = other;
  if (!st.view.filePalette.empty()) ctx.filePalette = &st.view.filePalette;
  ctx.seed = uint32_t(st.generation * 2654435761u);
  return ctx;
}

// Runs effect `effect` with the recorded arguments. While the host polls, an in-place effect
// works on a copy: the host may draw the picture meanwhile, and a cancel must find it whole.
void runEffect(CV_HANDLE h, int effect, const Image* other = nullptr) {
  if (effectIsInPlace(effect) && OpPoll::wanted(h)) {
    runTransform(h, [&](const Image& img, OpsState& st) {
      Image copy = copyImage(img);
      applyEffectInPlace(effect, copy, contextFor(h, *instanceFor(h), st, other));
      return copy;
    });
  } else if (effectIsInPlace(effect)) {
    runInPlace(h, [&](Image& img, OpsState& st) {
      Instance* inst = instanceFor(h);
      applyEffectInPlace(effect, img, contextFor(h, *inst, st, other));
    });
  } else {
    runTransform(h, [&](const Image& img, OpsState& st) {
      Instance* inst = instanceFor(h);
      return applyEffect(effect, img, contextFor(h, *inst, st, other));
    });
  }
}

// Records arguments in the last-argument properties, then runs the effect.
template <typename Record>
void method(CV_HANDLE h, int effect, Record record) {
  OpsState* st = opsStateFor(h);
  if (!st) return;
  record(st->last);
  runEffect(h, effect);
}

}  // namespace

OpsState* opsStateFor(CV_HANDLE handle) {
  if (!instanceFor(handle)) return nullptr;
  std::lock_guard lock(g_stateMutex);
  auto& slot = g_states[handle];
  if (!slot) {
    slot = std::make_unique<OpsState>();
    // Handles are never reused; drop the state of instances destroyed since.
    if (g_states.size() % 64 == 0) {
      for (auto it = g_states.begin(); it != g_states.end();) {
        if (it->first != handle && !instanceFor(it->first)) {
          g_extra.erase(it->first);
          it = g_states.erase(it);
        } else {
          ++it;
        }
      }
    }
  }
  return slot.get();
}

Rgbq backgroundOf(const Instance& inst) {
  return oleToRgbq(inst.backColor);
}

void runTransform(CV_HANDLE h, const std::function<Image(const Image&, OpsState&)>& transform) {
  Instance* inst = instanceFor(h);
  OpsState* st = opsStateFor(h);
  if (!inst || !st) return;
  if (inst->image.empty()) {
    inst->error = CV_ERR_NO_IMAGE;
    return;
  }
  guarded(h, [&] {
    Image out;
    {
      const OpPoll poll(h);
      out = transform(inst->image, *st);
    }
    if (st->undoProperty && !inst->hasUndo) {
      inst->undo = std::move(inst->image);
      inst->hasUndo = true;
    }
    inst->image = std::move(out);
    ++st->generation;
    inst->error = 0;
  });
}

void runInPlace(CV_HANDLE h, const std::function<void(Image&, OpsState&)>& change) {
  Instance* inst = instanceFor(h);
  OpsState* st = opsStateFor(h);
  if (!inst || !st) return;
  if (inst->image.empty()) {
    inst->error = CV_ERR_NO_IMAGE;
    return;
  }
  guarded(h, [&] {
    Image saved;
    bool keep;
    keepUndo(*inst, *st, saved, keep);
    change(inst->image, *st);
    if (keep) {
      inst->undo = std::move(saved);
      inst->hasUndo = true;
    }
    ++st->generation;
    inst->error = 0;
  });
}

void runCall(CV_HANDLE h, const std::function<int16_t(Instance&, OpsState&)>& fn) {
  Instance* inst = instanceFor(h);
  OpsState* st = opsStateFor(h);
  if (!inst || !st) return;
  guarded(h, [&] { inst->error = fn(*inst, *st); });
}

}  // namespace rastcore::ops

using namespace rastcore;
using namespace rastcore::ops;

extern "C" {

// ---- undo ----

int16_t CV_GetUndoEnabled(CV_HANDLE h) {
  OpsState* st = opsStateFor(h);
  return st && st->undoProperty ? -1 : 0;
}

void CV_SetUndoEnabled(CV_HANDLE h, int16_t on) {
  runCall(h, [on](Instance& inst, OpsState& st) -> int16_t {
    st.undoProperty = on != 0;
    inst.hasUndo = false;
    inst.undo = Image{};
    if (st.undoProperty && !inst.image.empty()) {
      inst.undo = inst.image;  // the undo point is the picture as it is now
      inst.hasUndo = true;
    }
    return 0;
  });
}

void CV_Undo(CV_HANDLE h) {
  runCall(h, [](Instance& inst, OpsState& st) -> int16_t {
    if (!inst.hasUndo || inst.undo.empty()) return CV_ERR_NO_UNDO;
    inst.image = std::move(inst.undo);
    inst.undo = Image{};
    inst.hasUndo = false;
    ++st.generation;
    return 0;
  });
}

// ---- methods without arguments ----
void CV_Flip(CV_HANDLE h) {
  method(h, CV_IP_Flip, [](LastArgs&) {});
}
void CV_Mirror(CV_HANDLE h) {
  method(h, CV_IP_Mirror, [](LastArgs&) {});
}
void CV_Negate(CV_HANDLE h) {
  method(h, CV_IP_Negate, [](LastArgs&) {});
}
void CV_AutoContrast(CV_HANDLE h) {
  method(h, CV_IP_AutoContrast, [](LastArgs&) {});
}
void CV_Equalize(CV_HANDLE h) {
  method(h, CV_IP_Equalize, [](LastArgs&) {});
}
void CV_Blur(CV_HANDLE h) {
  method(h, CV_IP_Blur, [](LastArgs&) {});
}
void CV_Emboss(CV_HANDLE h) {
  method(h, CV_IP_Emboss, [](LastArgs&) {});
}
void CV_Outline(CV_HANDLE h) {
  method(h, CV_IP_Outline, [](LastArgs&) {});
}
void CV_Median(CV_HANDLE h) {
  method(h, CV_IP_Median, [](LastArgs&) {});
}
void CV_Despeckle(CV_HANDLE h) {
  method(h, CV_IP_Despeckle, [](LastArgs&) {});
}
void CV_Dilate(CV_HANDLE h) {
  method(h, CV_IP_Dilate, [](LastArgs&) {});
}
void CV_Erode(CV_HANDLE h) {
  method(h, CV_IP_Erode, [](LastArgs&) {});
}
void CV_Diffuse(CV_HANDLE h) {
  method(h, CV_IP_Diffuse, [](LastArgs&) {});
}
void CV_Deskew(CV_HANDLE h) {
  method(h, CV_IP_Deskew, [](LastArgs&) {});
}

// ---- methods with arguments ----
void CV_Sharpen(CV_HANDLE h, int16_t amount) {
  method(h, CV_IP_Sharpen, [=](LastArgs& a) { a.IPSharpenI = amount; });
}
void CV_Soften(CV_HANDLE h, int16_t amount) {
  method(h, CV_IP_Soften, [=](LastArgs& a) { a.IPSoftenI = amount; });
}
void CV_Rotate(CV_HANDLE h, double degrees) {
  method(h, CV_IP_Rotate, [=](LastArgs& a) { a.IPRotateA = degrees; });
}
void CV_Brightness(CV_HANDLE h, int16_t value) {
  method(h, CV_IP_Brightness, [=](LastArgs& a) { a.IPBrightnessI = value; });
}
void CV_Contrast(CV_HANDLE h, int16_t value) {
  method(h, CV_IP_Contrast, [=](LastArgs& a) { a.IPContrastI = value; });
}
void CV_AdjustRGB(CV_HANDLE h, int16_t type, int16_t red, int16_t green, int16_t blue) {
  method(h, CV_IP_AdjustRGB, [=](LastArgs& a) {
    a.IPAdjustType = type;
    a.IPAdjustRed = red;
    a.IPAdjustGreen = green;
    a.IPAdjustBlue = blue;
  });
}
void CV_AdjustHSL(CV_HANDLE h, int16_t type, int16_t hue, int16_t sat, int16_t lum) {
  method(h, CV_IP_AdjustHSL, [=](LastArgs& a) {
    a.IPAdjustType = type;
    a.IPAdjustHue = hue;
    a.IPAdjustSat = sat;
    a.IPAdjustLum = lum;
  });
}
void CV_Gamma(CV_HANDLE h, float gamma) {
  method(h, CV_IP_Gamma, [=](LastArgs& a) { a.IPGamma = gamma; });
}
void CV_Solarize(CV_HANDLE h, int16_t threshold) {
  method(h, CV_IP_Solarize, [=](LastArgs& a) { a.IPSolarize = threshold; });
}
void CV_Posterize(CV_HANDLE h, int16_t levels) {
  method(h, CV_IP_Posterize, [=](LastArgs& a) { a.IPPosterize = levels; });
}
void CV_Parabolic(CV_HANDLE h, int16_t intensity) {
  method(h, CV_IP_Parabolic, [=](LastArgs& a) { a.IPParabolic = intensity; });
}
void CV_ColorDepth(CV_HANDLE h, int16_t bits, int16_t palette, int16_t dither) {
  if (!opsStateFor(h)) return;
  extraFor(h).bits = bits;
  method(h, CV_IP_ColorDepth, [=](LastArgs& a) {
    a.IPPalette = palette;
    a.IPDither = dither;
  });
}
void CV_ColorSeparation(CV_HANDLE h, int16_t type) {
  method(h, CV_IP_ColorSeparation, [=](LastArgs& a) { a.IPSeparationType = type; });
}
void CV_Resize(CV_HANDLE h, int16_t width, int16_t height) {
  method(h, CV_IP_Resize, [=](LastArgs& a) {
    a.IPWidth = width;
    a.IPHeight = height;
  });
}
void CV_Resample(CV_HANDLE h, int16_t width, int16_t height) {
  method(h, CV_IP_Resample, [=](LastArgs& a) {
    a.IPWidth = width;
    a.IPHeight = height;
  });
}
void CV_PICResize(CV_HANDLE h, int16_t width, int16_t height) {
  method(h, CV_IP_PICResize, [=](LastArgs& a) {
    a.IPWidth = width;
    a.IPHeight = height;
  });
}
void CV_Crop(CV_HANDLE h, int32_t x, int32_t y, int32_t width, int32_t height) {
  method(h, CV_IP_Crop, [=](LastArgs& a) {
    a.IPCropX = x;
    a.IPCropY = y;
    a.IPCropWidth = width;
    a.IPCropHeight = height;
  });
}
void CV_CropBorder(CV_HANDLE h, int32_t x, int32_t y) {
  method(h, CV_IP_CropBorder, [=](LastArgs& a) {
    a.IPBorderX = x;
    a.IPBorderY = y;
  });
}
void CV_AutoCrop(CV_HANDLE h, int16_t pct) {
  method(h, CV_IP_AutoCrop, [=](LastArgs& a) { a.IPCropPct = pct; });
}
void CV_Mosaic(CV_HANDLE h, int16_t blockSize) {
  method(h, CV_IP_Mosaic, [=](LastArgs& a) { a.IPMosaicB = blockSize; });
}
void CV_Noise(CV_HANDLE h, int16_t intensity, int16_t flag) {
  method(h, CV_IP_Noise, [=](LastArgs& a) {
    a.IPNoiseI = intensity;
    a.IPNoiseF = flag;
  });
}
void CV_MBlur(CV_HANDLE h, int16_t intensity, int16_t dx, int16_t dy) {
  method(h, CV_IP_MBlur, [=](LastArgs& a) {
    a.IPMBlurI = intensity;
    a.IPMBlurX = dx;
    a.IPMBlurY = dy;
  });
}
void CV_ReplaceColors(CV_HANDLE h, uint32_t from, uint32_t to, uint32_t replace) {
  method(h, CV_IP_ReplaceColors, [=](LastArgs& a) {
    a.IPColorFrom = from;
    a.IPColorTo = to;
    a.IPColorReplace = replace;
  });
}
void CV_Twist(CV_HANDLE h, int16_t blocks, int16_t rotation) {
  method(h, CV_IP_Twist, [=](LastArgs& a) {
    a.IPTwistB = blocks;
    a.IPTwistR = rotation;
  });
}
void CV_Tile(CV_HANDLE h, int16_t width, int16_t height) {
  method(h, CV_IP_Tile, [=](LastArgs& a) {
    a.IPTileWidth = width;
    a.IPTileHeight = height;
  });
}
void CV_Matrix(CV_HANDLE h, const int16_t* kernel, int16_t intensity, int16_t divisor,
               int16_t bias) {
  if (!opsStateFor(h)) return;
  if (!kernel) {
    setError(h, CV_ERR_BAD_ARGUMENT);
    return;
  }
  Extra& x = extraFor(h);
  for (int i = 0; i < 9; ++i) x.kernel[size_t(i)] = kernel[i];
  method(h, CV_IP_Matrix, [=](LastArgs& a) {
    a.IPMatrixI = intensity;
    a.IPMatrixD = divisor;
    a.IPMatrixV = bias;
  });
}
void CV_Perspective(CV_HANDLE h, int16_t type, int16_t pct) {
  method(h, CV_IP_Perspective, [=](LastArgs& a) {
    a.IPPerspectiveType = type;
    a.IPPerspectivePct = pct;
  });
}
void CV_Ripple(CV_HANDLE h, int16_t intensity, int16_t frequency, int16_t direction) {
  method(h, CV_IP_Ripple, [=](LastArgs& a) {
    a.IPRippleI = intensity;
    a.IPRippleF = frequency;
    a.IPRippleD = direction;
  });
}
void CV_PWarp(CV_HANDLE h, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
              int32_t x4, int32_t y4) {
  method(h, CV_IP_PWarp, [=](LastArgs& a) {
    a.IPPWarpX1 = x1, a.IPPWarpY1 = y1, a.IPPWarpX2 = x2, a.IPPWarpY2 = y2;
    a.IPPWarpX3 = x3, a.IPPWarpY3 = y3, a.IPPWarpX4 = x4, a.IPPWarpY4 = y4;
  });
}
void CV_Swirl(CV_HANDLE h, double degrees) {
  method(h, CV_IP_Swirl, [=](LastArgs& a) { a.IPSwirlD = degrees; });
}
void CV_Buttonize(CV_HANDLE h, int16_t style, int16_t width, int16_t intensity) {
  method(h, CV_IP_Buttonize, [=](LastArgs& a) {
    a.IPButtonS = style;
    a.IPButtonW = width;
    a.IPButtonI = intensity;
  });
}
void CV_Pinch(CV_HANDLE h, int16_t intensity) {
  method(h, CV_IP_Pinch, [=](LastArgs& a) { a.IPPinchI = intensity; });
}

void CV_Area(CV_HANDLE h, int16_t effect, int32_t x, int32_t y, int32_t width, int32_t height) {
  OpsState* st = opsStateFor(h);
  if (!st) return;
  st->last.IPArea = effect;
  st->last.IPAreaX = x;
  st->last.IPAreaY = y;
  st->last.IPAreaWidth = width;
  st->last.IPAreaHeight = height;
  if (!effectKeepsSize(effect) || effect == CV_IP_Merge || effect == CV_IP_Blend) {
    setError(h, CV_ERR_BAD_ARGUMENT);
    return;
  }
  runTransform(h, [&](const Image& img, OpsState& s) {
    Instance* inst = instanceFor(h);
    const Image part = crop(img, x, y, width, height);  // validates and clips the rectangle
    Image done = applyEffect(effect, part, contextFor(h, *inst, s, nullptr));
    // Paste back; a result of another depth turns the whole picture into that kind.
    Image base = img;
    if (done.bpp != img.bpp || (done.bpp <= 8 && done.palette != img.palette)) {
      base = toTrueColor(img);
      done = toTrueColor(done);
      if (base.bpp != done.bpp) {
        base = toTrueColor(base, false);
        done = toTrueColor(done, false);
      }
    }
    if (base.bpp < 8) {
      Image b8 = unpackIndexed(base), d8 = unpackIndexed(done);
      for (int j = 0; j < d8.height; ++j)
        std::memcpy(b8.row(y + j) + x, d8.row(j), size_t(d8.width));
      return packIndexed(b8, base.bpp);
    }
    const int n = base.bpp / 8;
    for (int j = 0; j < done.height; ++j)
      std::memcpy(base.row(y + j) + size_t(x) * n, done.row(j), size_t(done.width) * n);
    return base;
  });
}

// ---- last arguments ----
#define RC3_DEFINE_LAST_ARGUMENT(name, type) \
  type CV_Get##name(CV_HANDLE h) {           \
    OpsState* st = opsStateFor(h);           \
    return st ? st->last.name : type{};      \
  }
RC3_LAST_ARGUMENTS(RC3_DEFINE_LAST_ARGUMENT)
#undef RC3_DEFINE_LAST_ARGUMENT

}  // extern "C"
