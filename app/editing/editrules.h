// The arithmetic and text rules of the editing dialogs, decided without a window: resize
// sizes and limits, the gamma scale, colour-depth choices, and the save-as formats, names
// and stored options.
#pragma once

#include <QString>
#include <array>
#include <optional>

namespace glim::editing {

// ---- Resize ----

// Pictures of this many pixels or more are refused before resizing.
inline constexpr qint32 kMaxResizePixels = 14'500'001;
// The largest width or height the engine accepts from a 16-bit size.
inline constexpr int kMaxSide = 32767;

enum class ResizeMethod { Resize = 1, Resample = 2, PicResize = 3 };

// size × percent / 100 as a 16-bit whole number (halves to even); nothing when the percent
// text is not numeric or the result leaves the 16-bit range.
std::optional<qint16> pixelsForPercent(int size, const QString& percentText);
// The other side of a size with the aspect ratio kept (width / ratio or height × ratio).
std::optional<qint16> heightForWidth(int width, double ratio);
std::optional<qint16> widthForHeight(int height, double ratio);
// width / height with up to 15 significant digits, cut to its first 8 characters.
QString ratioText(int width, int height);
// The first percentage (1..20000) at which size × percentage / 100 exceeds the largest side;
// percentage boxes are held below it so that no box asks for more than the engine takes.
int percentLimit(int size);
// Width × height reaches the memory guard (computed in 32 bits as the sizes are 16-bit).
bool exceedsMemoryGuard(qint16 width, qint16 height);
// Only digits, Backspace and Tab reach the size boxes.
bool acceptsSizeKey(int character);

// ---- Colour adjustments ----

// The gamma scroll value (100..2000) as the gamma passed to the picture:
// below 1100 it is v / 1000, from 1100 on (v - 1000) / 100.
float gammaForScroll(int value);
inline constexpr int kGammaInitial = 1100;

struct ColorDepthChoice {
  int bits = 24;
  int palette = 5;
  int dither = 0;
};
// From the three lists' indexes (-1 when nothing is selected).
ColorDepthChoice colorDepthChoice(int depthIndex, int paletteIndex, int ditherIndex);
QString depthFrameCaption(int bitsPerPixel);

// ---- Saving in other formats ----

struct SaveFormat {
  const char* caption;
  const char* extension;
  bool password;  // the password box is enabled
  bool options;   // the options button is enabled
};
const std::array<SaveFormat, 9>& saveFormats();
// The format list index for a picture's file name; jif and peg count as jpg; unknown → 1.
int formatIndexForName(const QString& fileName);
// The format of a list index; no selection (-1) or out of range counts as index 1.
const SaveFormat& saveFormatAt(int index);
// Gives `name` the extension: a name shorter than 5 characters is first reset to the picture's
// own name; the text after the last dot is replaced, and a name without a dot gets "." and
// the extension appended.
QString withExtension(const QString& name, const QString& pictureName, const QString& extension);
// Splits a path at its last separator: folder (without the separator) and name.
struct PathParts {
  QString folder;
  QString name;
};
PathParts splitPath(const QString& path);
// folder + separator (unless it ends in one) + the trimmed name.
QString joinTarget(const QString& folder, const QString& name);
// A stored quality as passed to the picture: its value when 1..255, else 30.
int qualityForSave(const QString& text);

// The six stored save options, read with their "not stored" markers; missing values are
// written back with their defaults at once (a stored compression of 4 counts as missing).
struct SaveOptions {
  QString jpgQuality, picQuality;  // "1".."255"
  QString jpgOption, picOption;    // "Standard" or "Progressive"
  QString tifCompression;          // "0","1","2","3","5","6","7"
  QString pngOption;               // "Interlaced" or "NONInterlaced"
};
SaveOptions loadSaveOptions();

}  // namespace glim::editing
