// The processing calls that take or give picture handles (the handle table is the formats
// side's): CopyRubberbandDib, Merge and Blend.
#include "fileformat/dib.h"
#include "ops/effects.h"
#include "ops/ops_state.h"
#include "ops/pixel.h"
#include "rastcore3_ops.h"

using namespace rastcore;
using namespace rastcore::ops;

namespace {

// Runs Merge or Blend with the picture behind `dib`; the handle stays the caller's.
void blendWith(CV_HANDLE h, uint32_t dib, int effect) {
  Instance* inst = instanceFor(h);
  if (!inst) return;
  Image other;
  if (dib == 0 || imageFromDib(dib, other) != 0 || other.empty()) {
    inst->error = CV_ERR_BAD_HANDLE;
    return;
  }
  runTransform(h, [&](const Image& img, OpsState& st) {
    EffectContext ctx{st.last, backgroundOf(*inst)};
    ctx.other = &other;
    return applyEffect(effect, img, ctx);
  });
}

}  // namespace

extern "C" {

uint32_t CV_GetCopyRubberbandDib(CV_HANDLE h) {
  Instance* inst = instanceFor(h);
  if (!inst) return 0;
  try {
    const uint32_t dib = dibFromImage(rubberbandImage(h));
    inst->error = dib ? 0 : CV_ERR_OUT_OF_MEMORY;
    return dib;
  } catch (const OpFailure& e) {
    inst->error = e.code;
  } catch (const std::bad_alloc&) {
    inst->error = CV_ERR_OUT_OF_MEMORY;
  }
  return 0;
}

void CV_Merge(CV_HANDLE h, uint32_t dib, int16_t style, int16_t size, int16_t pctHi, int16_t pctLo,
              int16_t transparent, uint32_t transparentColor) {
  OpsState* st = opsStateFor(h);
  if (!st) return;
  LastArgs& a = st->last;
  a.IPMerge = dib;
  a.IPMergeStyle = style;
  a.IPMergeSize = size;
  a.IPMergePctHi = pctHi;
  a.IPMergePctLo = pctLo;
  a.IPTransparent = transparent;
  a.IPTransparentColor = transparentColor;
  blendWith(h, dib, CV_IP_Merge);
}

void CV_Blend(CV_HANDLE h, uint32_t dib, int16_t pct) {
  OpsState* st = opsStateFor(h);
  if (!st) return;
  st->last.IPBlendPct = pct;
  blendWith(h, dib, CV_IP_Blend);
}

}  // extern "C"
