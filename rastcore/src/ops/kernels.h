// The processing kernels: plain functions over pictures, free of instance state. Each returns a
// new picture or changes the given one in place; on bad input they throw OpFailure (pixel.h) and
// leave their input untouched.
#pragma once

#include <cstdint>

#include "image.h"

namespace rastcore::ops {

// ---- geometry.cpp ----
void flipInPlace(Image& img);
Image mirror(const Image& img);
Image rotate90(const Image& img, int quarterTurnsCcw);  // any whole number, exact, any depth
// Any angle, counter-clockwise; the result holds every rotated corner. Multiples of 90 go to
// rotate90. Indexed pictures come back as 24 bits unless the angle is a multiple of 90.
Image rotate(const Image& img, double degrees, Rgbq background);
// The size rotate() gives.
void rotatedSize(int w, int h, double degrees, int64_t& outW, int64_t& outH);
Image crop(const Image& img, int64_t x, int64_t y, int64_t w, int64_t h);
Image resizeNearest(const Image& img, int64_t w, int64_t h);
// Bilinear along an axis that grows, the area average along one that shrinks.
Image resampleBilinear(const Image& img, int64_t w, int64_t h);
Image resampleLanczos(const Image& img, int64_t w, int64_t h);
Image tile(const Image& img, int64_t w, int64_t h);
Image twist(const Image& img, int blocks, int rotation, uint32_t seed);
// Bounding box of the part that differs from the corner colour by more than pct percent.
Image autoCrop(const Image& img, int pct);
// The skew angle in degrees (within +-10) that rotate() must take to straighten the picture.
double findSkew(const Image& img);

// ---- colour.cpp ----
void negateInPlace(Image& img);
void brightnessInPlace(Image& img, int value);
void contrastInPlace(Image& img, int value);
void adjustRgbInPlace(Image& img, int type, int r, int g, int b);
void gammaInPlace(Image& img, double gamma);
void solarizeInPlace(Image& img, int threshold);
void posterizeInPlace(Image& img, int levels);
void parabolicInPlace(Image& img, int intensity);
void autoContrastInPlace(Image& img);
void equalizeInPlace(Image& img);
void adjustHslInPlace(Image& img, int type, int hue, int sat, int lum);
void replaceColorsInPlace(Image& img, Rgbq from, Rgbq to, Rgbq replace);
// Grey picture (8 bits) of one channel or ink.
Image colorSeparation(const Image& img, int type);

// ---- filter.cpp (true-colour results) ----
// 3x3 convolution; weights row by row, result = sum / divisor + bias.
Image convolve3(const Image& img, const int* kernel, int divisor, int bias);
Image sharpen(const Image& img, int amount);
Image soften(const Image& img, int amount);
Image blur(const Image& img);
Image emboss(const Image& img);
Image outline(const Image& img);
Image median3(const Image& img, bool onlyOutliers);
Image morph3(const Image& img, bool dilate);
Image mosaic(const Image& img, int block);
Image noise(const Image& img, int intensity, bool coloured, uint32_t seed);
Image diffuse(const Image& img, uint32_t seed);
Image motionBlur(const Image& img, int length, int dx, int dy);
Image matrix(const Image& img, const int* kernel, int intensity, int divisor, int bias);
Image buttonize(const Image& img, int style, int width, int intensity);
// Blends other (resized to img's size) over img by a percentage map.
Image merge(const Image& img, const Image& other, int style, int size, int pctHi, int pctLo,
            bool transparent, Rgbq transparentColor);

// ---- warp.cpp (true-colour results, uncovered parts take the background) ----
Image swirl(const Image& img, double degrees, Rgbq background);
Image pinch(const Image& img, int intensity, Rgbq background);
Image ripple(const Image& img, int intensity, int frequency, int direction, Rgbq background);
Image perspective(const Image& img, int type, int pct, Rgbq background);
Image pwarp(const Image& img, const double* xy, Rgbq background);

// ---- quantize.cpp ----
Image colorDepth(const Image& img, int bits, int palette, int dither,
                 const std::vector<Rgbq>* filePalette);
// The palette a DM_PaletteColor display would use for img.
std::vector<Rgbq> optimizedPalette(const Image& img, int colours);
std::vector<Rgbq> fixedPalette(int bits);

}  // namespace rastcore::ops
