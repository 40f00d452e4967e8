// rastcore3 processing, undo, view, rubber band and drawing calls.
//
// Every call takes the engine instance handle first. Methods return nothing: their success is
// read afterwards from CV_GetImagError (0 success, negative failure). A failing method leaves the
// picture exactly as it was. Colours are OLE colours 0x00BBGGRR; a colour with the high bit set is
// a system colour (only the button face, 0x8000000F, and the window colour, 0x80000005, are known;
// other system colours read as the button face). Booleans are automation booleans: true = -1
// (any non-zero value is taken as true), false = 0.
//
// Picture coordinates are picture pixels from the top-left corner; window coordinates are pixels
// of the control window's client area from its top-left corner.
#ifndef RASTCORE3_OPS_H
#define RASTCORE3_OPS_H

#include <stdint.h>

#include "rastcore3.h"

// Errors are the numbers of the engine's one table (rastcore3_errors.h).

// enumAutoSize
#define ISIZE_CropImageToControl 0
#define ISIZE_ResizeControl 1
#define ISIZE_ResizeImage 2
#define ISIZE_TileImage 3
#define ISIZE_ResizePreserveAspect 4
#define ISIZE_CropImage 5
// enumScrollBars
#define SB_None 0
#define SB_Horizontal 1
#define SB_Vertical 2
#define SB_Both 3
// enumPalette
#define IPAL_Optimized 0
#define IPAL_Fixed 1
#define IPAL_Gray 2
#define IPAL_PalFile 3
#define IPAL_UserDefined 4
#define IPAL_OptimizedDither 5
#define IPAL_GrayDither 6
#define IPAL_PalFileDither 7
// enumDithered. DI_Corvane is this engine's own error diffusion: serpentine scanning with the
// Sierra-3 weights, errors damped to 7/8, so large flat areas stay calm and show no worms.
#define DI_Nearest 0
#define DI_Floyd 1
#define DI_Ordered 2
#define DI_Corvane 3
// enumPicDisplayMode: DM_PaletteColor shows the picture as a 256-colour display would (palette
// from Palette, dithering from ShowDithered); DM_VGAColor with the 16 VGA colours.
#define DM_TrueColor 0
#define DM_PaletteColor 1
#define DM_VGAColor 2
// Antialias: smooth the picture when it is shown smaller or larger than its size. Reducing
// with AA_FavorBlack keeps the darkest of the pixels a screen pixel covers (thin dark lines on
// a light ground stay visible), with AA_FavorWhite the lightest; enlarging smooths as AA_Smooth.
#define AA_None 0
#define AA_Smooth 1
#define AA_FavorBlack 2
#define AA_FavorWhite 3
// Twist rotation of each block
#define TWIST_90 0
#define TWIST_180 1
#define TWIST_270 2
#define TWIST_Random 3
// Fill style of drawn shapes
#define FS_Solid 0
#define FS_Transparent 1
#define FS_HorizontalLine 2
#define FS_VerticalLine 3
#define FS_UpwardDiagonal 4
#define FS_DownwardDiagonal 5
#define FS_Cross 6
#define FS_DiagonalCross 7
// Line style of drawn shapes
#define DS_Solid 0
#define DS_Dash 1
#define DS_Dot 2
#define DS_DashDot 3
#define DS_DashDotDot 4
#define DS_Transparent 5
#define DS_InsideSolid 6
// Draw mode: how the pen combines with the picture (1-16, the classic binary raster operations).
#define DM_Blackness 1
#define DM_NotMergePen 2
#define DM_MaskNotPen 3
#define DM_NotCopyPen 4
#define DM_MaskPenNot 5
#define DM_Invert 6
#define DM_XorPen 7
#define DM_NotMaskPen 8
#define DM_MaskPen 9
#define DM_NotXorPen 10
#define DM_Nop 11
#define DM_MergeNotPen 12
#define DM_CopyPen 13
#define DM_MergePenNot 14
#define DM_MergePen 15
#define DM_Whiteness 16

#ifdef __cplusplus
extern "C" {
#endif

typedef struct CV_RECT {
  int32_t left, top, right, bottom;  // right and bottom exclusive
} CV_RECT;

typedef struct CV_SCROLLINFO {
  int16_t visible;      // 1 when the control shows this scroll bar
  int32_t maximum;      // positions run from 0 to maximum
  int32_t page;         // window pixels visible along this axis
  int32_t position;     // ScrollX or ScrollY
  int32_t smallChange;  // ScrollBarSmallChange
  int32_t largeChange;  // ScrollBarLargeChange, or the page when that is 0
} CV_SCROLLINFO;

// ---- Window and drawing the picture ----

// The control window was created (window given twice, then the run-mode flag).
CV_API void CV_AttachWindow(CV_HANDLE h, uintptr_t window, uintptr_t parent, int16_t runMode);
// The control window's client area is clientWidth x clientHeight; a scroll bar, when shown, takes
// barExtent pixels of it. Call on every resize; CV_GetScrollInfo then tells which bars to show.
CV_API void CV_SetClientSize(CV_HANDLE h, int32_t clientWidth, int32_t clientHeight,
                             int32_t barExtent);
CV_API void CV_GetScrollInfo(CV_HANDLE h, int16_t vertical, CV_SCROLLINFO* info);
// Renders the part `area` (window coordinates) of the control window into buffer, whose first
// pixel is area's top-left corner and whose rows lie strideBytes apart. Pixels are 32-bit
// 0xFFRRGGBB (the layout of QImage::Format_RGB32). Places the picture does not cover get the back
// colour. Honours AutoSize, Zoom, ScrollX/Y, CropX/Y, DisplayMode, Palette, ShowDithered, Antialias
// and PictureEnabled, and draws the sprite and the rubber band.
CV_API void CV_Draw(CV_HANDLE h, uint32_t* buffer, int32_t strideBytes, const CV_RECT* area);
// Before loading a large JPEG that will be shown reduced to fit the window (AutoSize
// ISIZE_ResizeImage or ISIZE_ResizePreserveAspect, Zoom 1, no crop, no PICThumbnail or
// PICCrop, the first page): starts its full decode on the read-ahead thread and decodes a
// copy reduced by libjpeg's DCT scaling, no smaller than the window shows it, which CV_Draw
// then shows in the picture's place until the next CV_SetFileName ends. That load takes the
// full decode from the read-ahead thread, so the window shows the picture about twice as
// soon and the load costs no more. Returns 1 when a preview is shown; 0 when it would not
// pay (already read ahead, shown less than halved, another format, reading ahead off or the
// picture larger than its limit) or the file cannot be read, which the load then reports.
// ImagError is left as it was; fileName "" drops a preview.
CV_API int16_t CV_ShowPreview(CV_HANDLE h, const char* fileName);
// The client size the control window should have: with ISIZE_ResizeControl the zoomed picture
// size, otherwise the current client size. The control asks its container for it when it differs.
CV_API void CV_GetControlRect(CV_HANDLE h, CV_RECT* rect);
// Maps a window point to picture coordinates under the current view (may lie outside the picture).
CV_API void CV_WindowToPicture(CV_HANDLE h, int32_t x, int32_t y, double* px, double* py);
// Window messages the engine handles itself: WM_SIZE (5), WM_HSCROLL (0x114), WM_VSCROLL (0x115)
// with the classic scroll codes (0 line up, 1 line down, 2 page up, 3 page down, 4/5 thumb to
// HIWORD(wParam), 6 top, 7 bottom). Returns 0 when consumed, -1 otherwise. The mouse messages
// (0x200..0x20D, signed 16-bit x and y in lParam) are not consumed; the engine notes the picture
// pixel under the mouse from them (Xpos, Ypos, PixelColor).
CV_API int32_t CV_WindowMessage(CV_HANDLE h, uintptr_t window, uint32_t message, uintptr_t wParam,
                                intptr_t lParam);

// ---- View properties ----
CV_API int16_t CV_GetAutoSize(CV_HANDLE h);
CV_API void CV_SetAutoSize(CV_HANDLE h, int16_t mode);
CV_API int16_t CV_GetScrollBars(CV_HANDLE h);
CV_API void CV_SetScrollBars(CV_HANDLE h, int16_t bars);
CV_API int16_t CV_GetScrollBarSmallChange(CV_HANDLE h);
CV_API void CV_SetScrollBarSmallChange(CV_HANDLE h, int16_t value);
CV_API int16_t CV_GetScrollBarLargeChange(CV_HANDLE h);
CV_API void CV_SetScrollBarLargeChange(CV_HANDLE h, int16_t value);
CV_API int32_t CV_GetScrollX(CV_HANDLE h);
CV_API void CV_SetScrollX(CV_HANDLE h, int32_t x);
CV_API int32_t CV_GetScrollY(CV_HANDLE h);
CV_API void CV_SetScrollY(CV_HANDLE h, int32_t y);
CV_API int32_t CV_GetCropX(CV_HANDLE h);
CV_API void CV_SetCropX(CV_HANDLE h, int32_t x);
CV_API int32_t CV_GetCropY(CV_HANDLE h);
CV_API void CV_SetCropY(CV_HANDLE h, int32_t y);
// Display zoom (1.0 = actual size). Any zoom other than 1.0 shows the picture at that scale with
// scrolling, whatever AutoSize fits; AutoSize's fitting modes apply at 1.0. Range 0.01 to 100.
CV_API void CV_Zoom(CV_HANDLE h, float factor);
CV_API int16_t CV_GetPalette(CV_HANDLE h);
CV_API void CV_SetPalette(CV_HANDLE h, int16_t palette);
CV_API int16_t CV_GetShowDithered(CV_HANDLE h);
CV_API void CV_SetShowDithered(CV_HANDLE h, int16_t dither);
CV_API int16_t CV_GetDisplayMode(CV_HANDLE h);
CV_API void CV_SetDisplayMode(CV_HANDLE h, int16_t mode);
CV_API int16_t CV_GetManagePalette(CV_HANDLE h);
CV_API void CV_SetManagePalette(CV_HANDLE h, int16_t on);
CV_API int16_t CV_GetAntialias(CV_HANDLE h);
CV_API void CV_SetAntialias(CV_HANDLE h, int16_t mode);

// PFileName: a palette file (JASC "JASC-PAL" text or RIFF "PAL ") whose colours IPAL_PalFile,
// IPAL_PalFileDither and IPAL_UserDefined use, for ColorDepth and for palette displays. An
// unreadable file gives CV_ERR_BAD_ARGUMENT and leaves no palette. The getter copies the
// name as the engine's other string getters do and returns its length.
CV_API void CV_SetPFileName(CV_HANDLE h, const char* fileName);
CV_API int32_t CV_GetPFileName(CV_HANDLE h, char* buf, int32_t size);

// ---- Rubber band (selection kept in picture pixels) ----

// on true: start a selection at window point (x, y); negate true draws it by inverting the
// picture, false with a black-and-white dotted line. on false: end and clear the selection.
CV_API void CV_RubberBand(CV_HANDLE h, int16_t on, int32_t x, int32_t y, int16_t negate);
// Moves the free corner to window point (x, y).
CV_API void CV_RubberbandUpdate(CV_HANDLE h, int32_t x, int32_t y);
CV_API int32_t CV_GetRubberBandL(CV_HANDLE h);
CV_API int32_t CV_GetRubberBandT(CV_HANDLE h);
CV_API int32_t CV_GetRubberBandW(CV_HANDLE h);
CV_API int32_t CV_GetRubberBandH(CV_HANDLE h);
// A new picture handle (the caller's) holding the selected part of the picture; 0 and an error
// when there is no selection inside the picture.
CV_API uint32_t CV_GetCopyRubberbandDib(CV_HANDLE h);

// ---- Undo ----
CV_API int16_t CV_GetUndoEnabled(CV_HANDLE h);
// true: keeps a copy of the picture as it is now, the undo point (one level); while enabled, a
// processing method run when no copy is held first keeps one. Each put of true moves the undo
// point, so a command that arms undo and then runs several methods (brightness, then contrast)
// is undone as a whole. false: drops any kept copy.
CV_API void CV_SetUndoEnabled(CV_HANDLE h, int16_t on);
// Restores the kept copy and drops it.
CV_API void CV_Undo(CV_HANDLE h);

// ---- Processing methods ----
// Each works on every bit depth. Point operations on 1, 4 and 8-bit pictures change the palette
// and keep the depth; filters and smooth resampling turn such pictures into 24 bits (IPBitsPixel
// says what the picture is afterwards). 32-bit pictures keep their alpha channel.

CV_API void CV_Flip(CV_HANDLE h);    // top to bottom
CV_API void CV_Mirror(CV_HANDLE h);  // left to right
CV_API void CV_Negate(CV_HANDLE h);
CV_API void CV_AutoContrast(CV_HANDLE h);  // stretch each channel's 0.5%..99.5% range to 0..255
CV_API void CV_Equalize(CV_HANDLE h);      // histogram equalisation of the brightness
CV_API void CV_Sharpen(CV_HANDLE h, int16_t amount);  // 1..100
CV_API void CV_Soften(CV_HANDLE h, int16_t amount);   // 1..100
CV_API void CV_Blur(CV_HANDLE h);                     // 3x3 box blur
CV_API void CV_Emboss(CV_HANDLE h);
CV_API void CV_Outline(CV_HANDLE h);    // edges (Sobel magnitude), dark lines on white
CV_API void CV_Median(CV_HANDLE h);     // 3x3 median per channel
CV_API void CV_Despeckle(CV_HANDLE h);  // median applied only where a pixel stands out
CV_API void CV_Dilate(CV_HANDLE h);     // 3x3 maximum
CV_API void CV_Erode(CV_HANDLE h);      // 3x3 minimum
CV_API void CV_Diffuse(CV_HANDLE h);    // each pixel swapped with a random neighbour within 2
// Any angle in degrees, counter-clockwise for positive angles. The picture grows to hold the
// rotated corners; uncovered parts take the back colour. Multiples of 90 are exact and lossless.
CV_API void CV_Rotate(CV_HANDLE h, double degrees);
CV_API void CV_Deskew(CV_HANDLE h);  // finds a skew of up to 10 degrees and rotates it away
CV_API void CV_Brightness(CV_HANDLE h, int16_t value);  // -255..255 added to each channel
CV_API void CV_Contrast(CV_HANDLE h, int16_t value);    // -100..100 around the middle grey
// type 0: values -255..255 added to the channels; type 1: percentages -100..100 of each channel.
CV_API void CV_AdjustRGB(CV_HANDLE h, int16_t type, int16_t red, int16_t green, int16_t blue);
// type 0: hue turned by -180..180 degrees, saturation and lightness shifted by -100..100 percent
// points; type 1: hue set to 0..359 and saturation to 0..100 (colourise), lightness shifted.
CV_API void CV_AdjustHSL(CV_HANDLE h, int16_t type, int16_t hue, int16_t sat, int16_t lum);
CV_API void CV_Gamma(CV_HANDLE h, float gamma);  // out = 255 * (in / 255)^(1 / gamma); 0.01..100
CV_API void CV_Solarize(CV_HANDLE h, int16_t threshold);   // 0..255: values above are inverted
CV_API void CV_Posterize(CV_HANDLE h, int16_t levels);     // 2..255 levels per channel
CV_API void CV_Parabolic(CV_HANDLE h, int16_t intensity);  // 0..100 blend with 255-4v(255-v)/255
// 1, 4, 8, 24 or 32 bits; palette of enumPalette (ignored for 24 and 32); dither of enumDithered.
CV_API void CV_ColorDepth(CV_HANDLE h, int16_t bits, int16_t palette, int16_t dither);
// type 0..2: the red, green or blue channel as grey; 3..5: cyan, magenta, yellow ink; 6: black.
CV_API void CV_ColorSeparation(CV_HANDLE h, int16_t type);
CV_API void CV_Resize(CV_HANDLE h, int16_t width, int16_t height);     // nearest neighbour
CV_API void CV_Resample(CV_HANDLE h, int16_t width, int16_t height);   // bilinear (area on shrink)
CV_API void CV_PICResize(CV_HANDLE h, int16_t width, int16_t height);  // Lanczos-3
CV_API void CV_Crop(CV_HANDLE h, int32_t x, int32_t y, int32_t width, int32_t height);
CV_API void CV_CropBorder(CV_HANDLE h, int32_t x,
                          int32_t y);  // x from left and right, y top/bottom
// Cuts away borders of the corner colour; pct 0..100 is the colour tolerance.
CV_API void CV_AutoCrop(CV_HANDLE h, int16_t pct);
CV_API void CV_Mosaic(CV_HANDLE h, int16_t blockSize);  // 2..255
// intensity 1..255; flag 0 the same noise on every channel, 1 independent (coloured) noise.
CV_API void CV_Noise(CV_HANDLE h, int16_t intensity, int16_t flag);
// Motion blur over intensity 1..100 pixels along the direction (dx, dy), each -100..100.
CV_API void CV_MBlur(CV_HANDLE h, int16_t intensity, int16_t dx, int16_t dy);
// Colours from..to (each channel within the range) become replace.
CV_API void CV_ReplaceColors(CV_HANDLE h, uint32_t from, uint32_t to, uint32_t replace);
// The picture is cut into blocks x blocks tiles (2..64), each turned by the twist rotation.
CV_API void CV_Twist(CV_HANDLE h, int16_t blocks, int16_t rotation);
// A new picture of width x height filled with copies of the picture.
CV_API void CV_Tile(CV_HANDLE h, int16_t width, int16_t height);
// Runs the processing effect `effect` (CV_IP_*) with its last arguments on a rectangle only.
CV_API void CV_Area(CV_HANDLE h, int16_t effect, int32_t x, int32_t y, int32_t width,
                    int32_t height);
// 3x3 convolution: kernel (9 values, row by row) / divisor + bias, blended with the picture by
// intensity 0..100 percent.
CV_API void CV_Matrix(CV_HANDLE h, const int16_t* kernel, int16_t intensity, int16_t divisor,
                      int16_t bias);
// Blends the picture `dib` (resampled to this size; the handle stays the caller's) over this one.
// style 0: uniform pctHi; 1: left pctHi to right pctLo; 2: top to bottom; 3: centre pctHi to
// edges pctLo. size 0..100 narrows the ramp. transparent true: pixels of transparentColor in dib
// are left out.
CV_API void CV_Merge(CV_HANDLE h, uint32_t dib, int16_t style, int16_t size, int16_t pctHi,
                     int16_t pctLo, int16_t transparent, uint32_t transparentColor);
CV_API void CV_Blend(CV_HANDLE h, uint32_t dib, int16_t pct);  // uniform blend, 0..100
// type 0..3: the top, bottom, left or right edge narrowed by pct 1..99.
CV_API void CV_Perspective(CV_HANDLE h, int16_t type, int16_t pct);
// intensity 1..100 pixels, frequency 1..100 waves across, direction 0 horizontal 1 vertical 2 both
CV_API void CV_Ripple(CV_HANDLE h, int16_t intensity, int16_t frequency, int16_t direction);
// Maps the picture onto the quadrilateral (x1,y1) top-left, (x2,y2) top-right, (x3,y3)
// bottom-right, (x4,y4) bottom-left, in a picture of the same size.
CV_API void CV_PWarp(CV_HANDLE h, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3,
                     int32_t y3, int32_t x4, int32_t y4);
CV_API void CV_Swirl(CV_HANDLE h, double degrees);  // twist at the centre, -3600..3600
// style 0 raised, 1 sunken; bevel width 1..100 pixels; intensity 1..100.
CV_API void CV_Buttonize(CV_HANDLE h, int16_t style, int16_t width, int16_t intensity);
CV_API void CV_Pinch(CV_HANDLE h, int16_t intensity);  // -100 (bulge) .. 100 (pinch)

// ---- Last arguments (read-only; the argument last given to each method) ----
// clang-format off
#define RC3_LAST_ARGUMENTS(X) \
  X(IPSharpenI, int16_t) \
  X(IPSoftenI, int16_t) \
  X(IPMosaicB, int16_t) \
  X(IPBrightnessI, int16_t) \
  X(IPContrastI, int16_t) \
  X(IPCropX, int32_t) \
  X(IPCropY, int32_t) \
  X(IPCropWidth, int32_t) \
  X(IPCropHeight, int32_t) \
  X(IPHeight, int16_t) \
  X(IPWidth, int16_t) \
  X(IPRippleI, int16_t) \
  X(IPRippleF, int16_t) \
  X(IPRippleD, int16_t) \
  X(IPNoiseI, int16_t) \
  X(IPNoiseF, int16_t) \
  X(IPTwistB, int16_t) \
  X(IPTwistR, int16_t) \
  X(IPMBlurI, int16_t) \
  X(IPMBlurX, int16_t) \
  X(IPMBlurY, int16_t) \
  X(IPColorFrom, uint32_t) \
  X(IPColorTo, uint32_t) \
  X(IPColorReplace, uint32_t) \
  X(IPMatrixI, int16_t) \
  X(IPMatrixD, int16_t) \
  X(IPMatrixV, int16_t) \
  X(IPArea, int16_t) \
  X(IPAreaX, int32_t) \
  X(IPAreaY, int32_t) \
  X(IPAreaWidth, int32_t) \
  X(IPAreaHeight, int32_t) \
  X(IPZoomF, float) \
  X(IPRotateA, double) \
  X(IPPalette, int16_t) \
  X(IPDither, int16_t) \
  X(IPMerge, uint32_t) \
  X(IPMergeStyle, int16_t) \
  X(IPMergeSize, int16_t) \
  X(IPMergePctHi, int16_t) \
  X(IPMergePctLo, int16_t) \
  X(IPTransparent, int16_t) \
  X(IPTransparentColor, uint32_t) \
  X(IPTileWidth, int16_t) \
  X(IPTileHeight, int16_t) \
  X(IPPerspectiveType, int16_t) \
  X(IPPerspectivePct, int16_t) \
  X(IPAdjustType, int16_t) \
  X(IPAdjustRed, int16_t) \
  X(IPAdjustGreen, int16_t) \
  X(IPAdjustBlue, int16_t) \
  X(IPAdjustHue, int16_t) \
  X(IPAdjustSat, int16_t) \
  X(IPAdjustLum, int16_t) \
  X(IPGamma, float) \
  X(IPPosterize, int16_t) \
  X(IPSolarize, int16_t) \
  X(IPParabolic, int16_t) \
  X(IPBlendPct, int16_t) \
  X(IPPWarpX1, int32_t) \
  X(IPPWarpX2, int32_t) \
  X(IPPWarpX3, int32_t) \
  X(IPPWarpX4, int32_t) \
  X(IPPWarpY1, int32_t) \
  X(IPPWarpY2, int32_t) \
  X(IPPWarpY3, int32_t) \
  X(IPPWarpY4, int32_t) \
  X(IPSwirlD, double) \
  X(IPButtonS, int16_t) \
  X(IPButtonW, int16_t) \
  X(IPButtonI, int16_t) \
  X(IPPinchI, int16_t) \
  X(IPSeparationType, int16_t) \
  X(IPCropPct, int16_t) \
  X(IPBorderX, int32_t) \
  X(IPBorderY, int32_t)
// clang-format on

#define RC3_DECLARE_LAST_ARGUMENT(name, type) CV_API type CV_Get##name(CV_HANDLE h);
RC3_LAST_ARGUMENTS(RC3_DECLARE_LAST_ARGUMENT)
#undef RC3_DECLARE_LAST_ARGUMENT

// Effect codes for CV_Area (IP_None = 0 ... IP_AutoCrop = 57). Effects that change the picture
// size (rotate by other than 180, resizing, tiling, cropping) are refused by CV_Area.
#define CV_IP_None 0
#define CV_IP_Mosaic 1
#define CV_IP_Noise 2
#define CV_IP_MBlur 3
#define CV_IP_Brightness 4
#define CV_IP_Contrast 5
#define CV_IP_Flip 6
#define CV_IP_Mirror 7
#define CV_IP_Negate 8
#define CV_IP_Emboss 9
#define CV_IP_ReplaceColors 10
#define CV_IP_Crop 11
#define CV_IP_Sharpen 12
#define CV_IP_Soften 13
#define CV_IP_Outline 14
#define CV_IP_Equalize 15
#define CV_IP_Rotate 16
#define CV_IP_Resize 17
#define CV_IP_PICResize 18
#define CV_IP_ColorDepth 19
#define CV_IP_Twist 20
#define CV_IP_Tile 21
#define CV_IP_Matrix 22
#define CV_IP_Merge 23
#define CV_IP_Perspective 24
#define CV_IP_Ripple 25
#define CV_IP_AdjustRGB 26
#define CV_IP_AdjustHSL 27
#define CV_IP_Gamma 28
#define CV_IP_AutoContrast 29
#define CV_IP_Solarize 30
#define CV_IP_Posterize 31
#define CV_IP_Parabolic 32
#define CV_IP_Blur 33
#define CV_IP_Diffuse 34
#define CV_IP_Blend 35
#define CV_IP_PWarp 36
#define CV_IP_Swirl 37
#define CV_IP_Buttonize 38
#define CV_IP_Pinch 39
#define CV_IP_Resample 40
#define CV_IP_Dilate 41
#define CV_IP_Erode 42
#define CV_IP_ColorSeparation 43
#define CV_IP_Median 44
#define CV_IP_Despeckle 45
#define CV_IP_Deskew 46
#define CV_IP_CropBorder 47
#define CV_IP_Zoom 48
#define CV_IP_Undo 49
#define CV_IP_DrawLine 50
#define CV_IP_DrawArc 51
#define CV_IP_DrawCurve 52
#define CV_IP_DrawPie 53
#define CV_IP_DrawRoundRect 54
#define CV_IP_DrawPolygon 55
#define CV_IP_DrawCircle 56
#define CV_IP_AutoCrop 57

// ---- Drawing on the picture (picture coordinates) ----
CV_API uint32_t CV_GetDrawFillColor(CV_HANDLE h);
CV_API void CV_SetDrawFillColor(CV_HANDLE h, uint32_t color);
CV_API int16_t CV_GetDrawFillStyle(CV_HANDLE h);  // FS_*, default FS_Transparent
CV_API void CV_SetDrawFillStyle(CV_HANDLE h, int16_t style);
CV_API int16_t CV_GetDrawMode(CV_HANDLE h);  // DM_Blackness..DM_Whiteness, default DM_CopyPen
CV_API void CV_SetDrawMode(CV_HANDLE h, int16_t mode);
CV_API int16_t CV_GetDrawStyle(CV_HANDLE h);  // DS_*, default DS_Solid
CV_API void CV_SetDrawStyle(CV_HANDLE h, int16_t style);
CV_API int16_t CV_GetDrawWidth(CV_HANDLE h);  // pen width 1..100, default 1
CV_API void CV_SetDrawWidth(CV_HANDLE h, int16_t width);

CV_API void CV_DrawLine(CV_HANDLE h, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                        uint32_t color);
// Circle of centre (cx, cy) and the given radius, outlined with the pen and filled by the fill.
CV_API void CV_DrawCircle(CV_HANDLE h, int32_t cx, int32_t cy, int32_t radius, uint32_t color);
// Arc and pie of the ellipse in the box (x1,y1)-(x2,y2), counter-clockwise from the ray towards
// (x3,y3) to the ray towards (x4,y4); the pie also draws both radii and is filled.
CV_API void CV_DrawArc(CV_HANDLE h, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3,
                       int32_t y3, int32_t x4, int32_t y4, uint32_t color);
CV_API void CV_DrawPie(CV_HANDLE h, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3,
                       int32_t y3, int32_t x4, int32_t y4, uint32_t color);
// Cubic Bezier curve from (x1,y1) to (x4,y4) with control points (x2,y2) and (x3,y3).
CV_API void CV_DrawCurve(CV_HANDLE h, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3,
                         int32_t y3, int32_t x4, int32_t y4, uint32_t color);
// Rectangle (x1,y1)-(x2,y2) with corners rounded by an ellipse of cornerWidth x cornerHeight.
CV_API void CV_DrawRoundRect(CV_HANDLE h, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                             int32_t cornerWidth, int32_t cornerHeight, uint32_t color);
// Closed polygon through count points (xy holds x0, y0, x1, y1, ...), 2..4096 points.
CV_API void CV_DrawPolygon(CV_HANDLE h, const int32_t* xy, int32_t count, uint32_t color);
// Text in the engine's built-in 5x7 font (6x8 cells), each font pixel DrawWidth x DrawWidth
// picture pixels, top-left at (x, y); ANSI text, "\n" starts a new line, the draw mode applies.
CV_API void CV_DrawText(CV_HANDLE h, int32_t x, int32_t y, const char* text, uint32_t color);

// ---- Regions and sprites (picture coordinates) ----
// A region is a set of picture pixels, kept clipped to the picture it was made on. RgnCreate's
// type is a shape plus a combination: the shape (RGN_Rectangle, RGN_Ellipse inscribed in the
// box, RGN_Polygon) is made from the box (x, y, width, height), and the combination says how it
// joins the region held so far. RGN_Polygon starts a polygon at (x, y) (width and height are not
// used); each RgnAddPoint adds a vertex and the region follows the closed polygon at once
// (pixels whose centres lie inside, even-odd). RgnX/Y/Width/Height are the region's bounding box
// (all 0 without a region). A region can be empty (width and height 0).
// With RgnEnabled true, drawing (the Draw* calls) changes only pixels inside the region.
#define RGN_Rectangle 0
#define RGN_Ellipse 1
#define RGN_Polygon 2
#define RGN_Replace 0x00  // the shape replaces the region
#define RGN_Or 0x10       // union
#define RGN_And 0x20      // intersection
#define RGN_Diff 0x30     // the region less the shape
#define RGN_Xor 0x40      // pixels in exactly one of them
CV_API void CV_RgnCreate(CV_HANDLE h, int16_t type, int32_t x, int32_t y, int32_t width,
                         int32_t height);
CV_API void CV_RgnAddPoint(CV_HANDLE h, int32_t x, int32_t y);  // 4096 vertices at most
CV_API void CV_RgnDelete(CV_HANDLE h);
CV_API int16_t CV_GetRgnEnabled(CV_HANDLE h);
CV_API void CV_SetRgnEnabled(CV_HANDLE h, int16_t on);
CV_API int32_t CV_GetRgnX(CV_HANDLE h);
CV_API int32_t CV_GetRgnY(CV_HANDLE h);
CV_API int32_t CV_GetRgnWidth(CV_HANDLE h);
CV_API int32_t CV_GetRgnHeight(CV_HANDLE h);
// A sprite is a copy of the picture's pixels under the region. It is shown over the picture by
// CV_Draw at its position (the region's top-left corner at first) without changing the picture;
// RgnMoveSprite moves its top-left corner to (x, y); RgnPasteSprite writes it into the picture
// there (a picture operation: undo applies; the sprite stays); RgnDeleteSprite drops it.
// Without a region (or with an empty one) RgnCreateSprite fails with CV_ERR_NO_SELECTION,
// as do moving and pasting without a sprite. A region or sprite call on an instance without a
// picture fails with CV_ERR_NO_IMAGE.
CV_API void CV_RgnCreateSprite(CV_HANDLE h);
CV_API void CV_RgnDeleteSprite(CV_HANDLE h);
CV_API void CV_RgnMoveSprite(CV_HANDLE h, int32_t x, int32_t y);
CV_API void CV_RgnPasteSprite(CV_HANDLE h);
CV_API int32_t CV_GetRgnSpriteX(CV_HANDLE h);
CV_API int32_t CV_GetRgnSpriteY(CV_HANDLE h);

// ---- Control window state the engine keeps for the control ----
// BackColor: fills what the picture does not cover, in the window and in rotations. Any OLE
// colour (0x00BBGGRR) or system colour (0x80000000 | index, index 0..0x18).
CV_API uint32_t CV_GetBackColor(CV_HANDLE h);
CV_API void CV_SetBackColor(CV_HANDLE h, uint32_t color);
// MousePointer: 0..43 the standard pointers, 99 the control's MouseIcon. BorderType: 0 none,
// 1 inset, 2 raised, 3 flat.
CV_API int16_t CV_GetMousePointer(CV_HANDLE h);
CV_API void CV_SetMousePointer(CV_HANDLE h, int16_t pointer);
CV_API int16_t CV_GetBorderType(CV_HANDLE h);
CV_API void CV_SetBorderType(CV_HANDLE h, int16_t type);
// PictureEnabled false: CV_Draw shows only the back colour. Update false: the control does not
// repaint after each change (Refresh and Paint still do). ShowHourglass true (the default): the
// control shows the wait cursor while a call runs. Notify true: after a picture is loaded the
// control fires Notify once NotifyDelay milliseconds (0..600000) have passed. Persistence true
// (the default): the control's properties are stored with its form. Multitask is the host's
// (it lets its window work inside the poll function, CV_SetPollFunction); processing methods
// call that function only while Multitask is on or a cancel is possible.
CV_API int16_t CV_GetPictureEnabled(CV_HANDLE h);
CV_API void CV_SetPictureEnabled(CV_HANDLE h, int16_t on);
CV_API int16_t CV_GetUpdate(CV_HANDLE h);
CV_API void CV_SetUpdate(CV_HANDLE h, int16_t on);
CV_API int16_t CV_GetShowHourglass(CV_HANDLE h);
CV_API void CV_SetShowHourglass(CV_HANDLE h, int16_t on);
CV_API int16_t CV_GetNotify(CV_HANDLE h);
CV_API void CV_SetNotify(CV_HANDLE h, int16_t on);
CV_API int32_t CV_GetNotifyDelay(CV_HANDLE h);
CV_API void CV_SetNotifyDelay(CV_HANDLE h, int32_t milliseconds);
CV_API int16_t CV_GetPersistence(CV_HANDLE h);
CV_API void CV_SetPersistence(CV_HANDLE h, int16_t on);
CV_API int16_t CV_GetMultitask(CV_HANDLE h);
CV_API void CV_SetMultitask(CV_HANDLE h, int16_t on);
// The mouse over the window (from the mouse messages given to CV_WindowMessage): Xpos and Ypos
// are the picture pixel under it (they may lie outside the picture), PixelColor that pixel's
// OLE colour, or 0xFFFFFFFF when the pointer is not over the picture.
CV_API int32_t CV_GetXpos(CV_HANDLE h);
CV_API int32_t CV_GetYpos(CV_HANDLE h);
CV_API uint32_t CV_GetPixelColor(CV_HANDLE h);
// The colour plane the last ColorSeparation extracted (its type argument).
CV_API int16_t CV_GetIPColorPlane(CV_HANDLE h);

// ---- Printing ----
// PrinterhDC names the device the control prints on (0 none). PrinterLeft/Top/Width/Height are
// the rectangle the picture takes on the page, in device pixels; a width or height of 0 fits the
// picture to the page keeping its proportions. PrinterBanding true: the picture goes to the
// device in bands of rows, so no full-page copy is made.
CV_API int32_t CV_GetPrinterhDC(CV_HANDLE h);
CV_API void CV_SetPrinterhDC(CV_HANDLE h, int32_t device);
CV_API int32_t CV_GetPrinterLeft(CV_HANDLE h);
CV_API void CV_SetPrinterLeft(CV_HANDLE h, int32_t v);
CV_API int32_t CV_GetPrinterTop(CV_HANDLE h);
CV_API void CV_SetPrinterTop(CV_HANDLE h, int32_t v);
CV_API int32_t CV_GetPrinterWidth(CV_HANDLE h);
CV_API void CV_SetPrinterWidth(CV_HANDLE h, int32_t v);
CV_API int32_t CV_GetPrinterHeight(CV_HANDLE h);
CV_API void CV_SetPrinterHeight(CV_HANDLE h, int32_t v);
CV_API int16_t CV_GetPrinterBanding(CV_HANDLE h);
CV_API void CV_SetPrinterBanding(CV_HANDLE h, int16_t on);

// ---- Clipboard ----
// The control owns the clipboard; the engine takes a pasted picture as a DIB handle. A handle
// replaces the picture (the engine takes it over; undo applies as for a processing method);
// 0 means the clipboard holds no picture: CV_ERR_CLIPBOARD_EMPTY, nothing changed. A handle that
// holds no usable bitmap: CV_ERR_BAD_HANDLE, nothing changed, the handle stays the caller's.
CV_API void CV_PasteDib(CV_HANDLE h, CV_HDIB dib);

// ---- Scanner (SANE) ----
// The scanners found, one line each: "name\tvendor\tmodel\ttype\n", returned as string
// getters return theirs (length without the NUL). None: CV_ERR_NO_DEVICE. Device discovery runs
// on a thread of its own while the poll function is asked (see CV_SetPollFunction).
CV_API int32_t CV_TwainSources(CV_HANDLE h, char* buf, int32_t size);
// Chooses the scanner by device name and fills the four Twain texts from it (vendor, model,
// type, SANE version). An unknown name: CV_ERR_NO_DEVICE; "" means the user chose none:
// CV_ERR_CANCELLED. Either way the former choice stays.
CV_API void CV_SetTwainSource(CV_HANDLE h, const char* name);
CV_API int32_t CV_GetTwainSource(CV_HANDLE h, char* buf, int32_t size);  // "" before a choice
// Chooses without asking: the chosen scanner while it is connected, else the first found.
CV_API void CV_TwainSelect(CV_HANDLE h);
// Scans one page with the scanner's default options from the chosen scanner (none chosen: the
// first found) into the picture, as a load does (undo and file facts cleared, FileName "").
// The device is read on a thread of its own; between waits the engine posts CV_PROGRESS_SCAN
// progress and asks the poll function, whose cancel stops the scanner (CV_ERR_CANCELLED).
// Failures (CV_ERR_NO_DEVICE, CV_ERR_DEVICE_FAILED, CV_ERR_CANCELLED, ...) change nothing.
CV_API void CV_TwainAcquire(CV_HANDLE h);

// ---- Screen capture ----
// The control reads the screen; the engine takes the captured picture as a DIB handle, which
// replaces the picture as a load does (the engine takes the handle over). 0 means the screen
// could not be read: CV_ERR_SCREEN_DENIED, nothing changed. A handle without a usable bitmap:
// CV_ERR_BAD_HANDLE, nothing changed, the handle stays the caller's.
CV_API void CV_CaptureDib(CV_HANDLE h, CV_HDIB dib);

// The scanner source's product family, manufacturer, product name and version texts.
CV_API void CV_SetTwainProductFamily(CV_HANDLE h, const char* value);
CV_API int32_t CV_GetTwainProductFamily(CV_HANDLE h, char* buf, int32_t size);
CV_API void CV_SetTwainManufacturer(CV_HANDLE h, const char* value);
CV_API int32_t CV_GetTwainManufacturer(CV_HANDLE h, char* buf, int32_t size);
CV_API void CV_SetTwainProductName(CV_HANDLE h, const char* value);
CV_API int32_t CV_GetTwainProductName(CV_HANDLE h, char* buf, int32_t size);
CV_API void CV_SetTwainVersionInfo(CV_HANDLE h, const char* value);
CV_API int32_t CV_GetTwainVersionInfo(CV_HANDLE h, char* buf, int32_t size);

#ifdef __cplusplus
}
#endif

#endif
