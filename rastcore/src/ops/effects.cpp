#include "ops/effects.h"

#include <cmath>

#include "ops/kernels.h"
#include "ops/pixel.h"

namespace rastcore::ops {

bool effectIsInPlace(int effect) {
  switch (effect) {
    case CV_IP_Flip:
    case CV_IP_Negate:
    case CV_IP_Brightness:
    case CV_IP_Contrast:
    case CV_IP_AdjustRGB:
    case CV_IP_AdjustHSL:
    case CV_IP_Gamma:
    case CV_IP_Solarize:
    case CV_IP_Posterize:
    case CV_IP_Parabolic:
    case CV_IP_AutoContrast:
    case CV_IP_Equalize:
    case CV_IP_ReplaceColors:
      return true;
    default:
      return false;
  }
}

bool effectKeepsSize(int effect) {
  switch (effect) {
    case CV_IP_None:
    case CV_IP_Crop:
    case CV_IP_Resize:
    case CV_IP_PICResize:
    case CV_IP_Resample:
    case CV_IP_Tile:
    case CV_IP_AutoCrop:
    case CV_IP_CropBorder:
    case CV_IP_Deskew:
    case CV_IP_ColorDepth:
    case CV_IP_ColorSeparation:
    case CV_IP_Zoom:
    case CV_IP_Undo:
      return false;
    default:
      return effect >= CV_IP_Mosaic && effect < CV_IP_DrawLine;
  }
}

void applyEffectInPlace(int effect, Image& img, const EffectContext& ctx) {
  const LastArgs& a = ctx.args;
  switch (effect) {
    case CV_IP_Flip:
      flipInPlace(img);
      break;
    case CV_IP_Negate:
      negateInPlace(img);
      break;
    case CV_IP_Brightness:
      brightnessInPlace(img, a.IPBrightnessI);
      break;
    case CV_IP_Contrast:
      contrastInPlace(img, a.IPContrastI);
      break;
    case CV_IP_AdjustRGB:
      adjustRgbInPlace(img, a.IPAdjustType, a.IPAdjustRed, a.IPAdjustGreen, a.IPAdjustBlue);
      break;
    case CV_IP_AdjustHSL:
      adjustHslInPlace(img, a.IPAdjustType, a.IPAdjustHue, a.IPAdjustSat, a.IPAdjustLum);
      break;
    case CV_IP_Gamma:
      gammaInPlace(img, a.IPGamma);
      break;
    case CV_IP_Solarize:
      solarizeInPlace(img, a.IPSolarize);
      break;
    case CV_IP_Posterize:
      posterizeInPlace(img, a.IPPosterize);
      break;
    case CV_IP_Parabolic:
      parabolicInPlace(img, a.IPParabolic);
      break;
    case CV_IP_AutoContrast:
      autoContrastInPlace(img);
      break;
    case CV_IP_Equalize:
      equalizeInPlace(img);
      break;
    case CV_IP_ReplaceColors:
      replaceColorsInPlace(img, oleToRgbq(a.IPColorFrom), oleToRgbq(a.IPColorTo),
                           oleToRgbq(a.IPColorReplace));
      break;
    default:
      fail(CV_ERR_BAD_ARGUMENT);
  }
}

Image applyEffect(int effect, const Image& img, const EffectContext& ctx) {
  if (effectIsInPlace(effect)) {
    Image out = img;
    applyEffectInPlace(effect, out, ctx);
    return out;
  }
  const LastArgs& a = ctx.args;
  const Rgbq bg = ctx.background;
  switch (effect) {
    case CV_IP_Mirror:
      return mirror(img);
    case CV_IP_Mosaic:
      return mosaic(img, a.IPMosaicB);
    case CV_IP_Noise:
      if (a.IPNoiseF < 0 || a.IPNoiseF > 1) fail(CV_ERR_BAD_ARGUMENT);
      return noise(img, a.IPNoiseI, a.IPNoiseF == 1, ctx.seed);
    case CV_IP_MBlur:
      return motionBlur(img, a.IPMBlurI, a.IPMBlurX, a.IPMBlurY);
    case CV_IP_Emboss:
      return emboss(img);
    case CV_IP_Crop:
      return crop(img, a.IPCropX, a.IPCropY, a.IPCropWidth, a.IPCropHeight);
    case CV_IP_Sharpen:
      return sharpen(img, a.IPSharpenI);
    case CV_IP_Soften:
      return soften(img, a.IPSoftenI);
    case CV_IP_Outline:
      return outline(img);
    case CV_IP_Rotate:
      return rotate(img, a.IPRotateA, bg);
    case CV_IP_Resize:
      return resizeNearest(img, a.IPWidth, a.IPHeight);
    case CV_IP_Resample:
      return resampleBilinear(img, a.IPWidth, a.IPHeight);
    case CV_IP_PICResize:
      return resampleLanczos(img, a.IPWidth, a.IPHeight);
    case CV_IP_ColorDepth:
      return colorDepth(img, ctx.bits, a.IPPalette, a.IPDither, ctx.filePalette);
    case CV_IP_Twist:
      return twist(img, a.IPTwistB, a.IPTwistR, ctx.seed);
    case CV_IP_Tile:
      return tile(img, a.IPTileWidth, a.IPTileHeight);
    case CV_IP_Matrix:
      return matrix(img, ctx.kernel.data(), a.IPMatrixI, a.IPMatrixD, a.IPMatrixV);
    case CV_IP_Merge:
    case CV_IP_Blend:
      if (!ctx.other) fail(CV_ERR_BAD_HANDLE);
      if (effect == CV_IP_Blend)
        return merge(img, *ctx.other, 0, 0, a.IPBlendPct, a.IPBlendPct, false, {});
      return merge(img, *ctx.other, a.IPMergeStyle, a.IPMergeSize, a.IPMergePctHi, a.IPMergePctLo,
                   a.IPTransparent != 0, oleToRgbq(a.IPTransparentColor));
    case CV_IP_Perspective:
      return perspective(img, a.IPPerspectiveType, a.IPPerspectivePct, bg);
    case CV_IP_Ripple:
      return ripple(img, a.IPRippleI, a.IPRippleF, a.IPRippleD, bg);
    case CV_IP_Blur:
      return blur(img);
    case CV_IP_Diffuse:
      return diffuse(img, ctx.seed);
    case CV_IP_PWarp: {
      const double q[8] = {double(a.IPPWarpX1), double(a.IPPWarpY1), double(a.IPPWarpX2),
                           double(a.IPPWarpY2), double(a.IPPWarpX3), double(a.IPPWarpY3),
                           double(a.IPPWarpX4), double(a.IPPWarpY4)};
      return pwarp(img, q, bg);
    }
    case CV_IP_Swirl:
      return swirl(img, a.IPSwirlD, bg);
    case CV_IP_Buttonize:
      return buttonize(img, a.IPButtonS, a.IPButtonW, a.IPButtonI);
    case CV_IP_Pinch:
      return pinch(img, a.IPPinchI, bg);
    case CV_IP_Dilate:
      return morph3(img, true);
    case CV_IP_Erode:
      return morph3(img, false);
    case CV_IP_ColorSeparation:
      return colorSeparation(img, a.IPSeparationType);
    case CV_IP_Median:
      return median3(img, false);
    case CV_IP_Despeckle:
      return median3(img, true);
    case CV_IP_Deskew: {
      const double angle = findSkew(img);
      return std::fabs(angle) < 0.01 ? img : rotate(img, angle, bg);
    }
    case CV_IP_AutoCrop:
      return autoCrop(img, a.IPCropPct);
    case CV_IP_CropBorder: {
      const int64_t x = a.IPBorderX, y = a.IPBorderY;
      if (x < 0 || y < 0 || 2 * x >= img.width || 2 * y >= img.height) fail(CV_ERR_BAD_ARGUMENT);
      return crop(img, x, y, img.width - 2 * x, img.height - 2 * y);
    }
    default:
      fail(CV_ERR_BAD_ARGUMENT);
  }
}

}  // namespace rastcore::ops
