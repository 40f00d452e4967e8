#include "editing/editrules.h"

#include <cmath>

#include "base/keys.h"
#include "base/textnum.h"

namespace glim::editing {

namespace tn = glim::textnum;

std::optional<qint16> pixelsForPercent(int size, const QString& percentText) {
  const auto percent = tn::toDouble(percentText);
  if (!percent) return std::nullopt;
  return tn::toInt16(size * *percent / 100.0);
}

std::optional<qint16> heightForWidth(int width, double ratio) {
  if (!(ratio > 0.0)) return std::nullopt;
  return tn::toInt16(width / ratio);
}

std::optional<qint16> widthForHeight(int height, double ratio) {
  if (!(ratio > 0.0)) return std::nullopt;
  return tn::toInt16(height * ratio);
}

QString ratioText(int width, int height) {
  if (height == 0) return QStringLiteral("0");
  const QString text = tn::doubleText(static_cast<double>(width) / height);
  return text.size() > 8 ? tn::trim(text.left(8)) : text;
}

int percentLimit(int size) {
  for (int percent = 1; percent <= 20000; ++percent)
    if (static_cast<double>(size) * percent / 100.0 > kMaxSide) return percent;
  return 20000;
}

bool exceedsMemoryGuard(qint16 width, qint16 height) {
  return static_cast<qint32>(width) * static_cast<qint32>(height) >= kMaxResizePixels;
}

bool acceptsSizeKey(int character) {
  return (character >= '0' && character <= '9') || character == 8 || character == 9;
}

float gammaForScroll(int value) {
  if (value < 1100) return static_cast<float>(value / 1000.0);
  return static_cast<float>((value - 1000) / 100.0);
}

ColorDepthChoice colorDepthChoice(int depthIndex, int paletteIndex, int ditherIndex) {
  static constexpr int kBits[] = {24, 8, 4, 1};
  static constexpr int kPalettes[] = {0, 1, 2, 5, 6};
  ColorDepthChoice choice;
  if (depthIndex >= 0 && depthIndex < 4) choice.bits = kBits[depthIndex];
  if (paletteIndex >= 0 && paletteIndex < 5) choice.palette = kPalettes[paletteIndex];
  if (ditherIndex >= 0 && ditherIndex < 4) choice.dither = ditherIndex;
  return choice;
}

QString depthFrameCaption(int bitsPerPixel) {
  switch (bitsPerPixel) {
    case 24:
      return QStringLiteral("Current Depth = 24 bits");
    case 8:
      return QStringLiteral("Current Depth = 8 bits");
    case 4:
      return QStringLiteral("Current Depth = 4 bits");
    case 1:
      return QStringLiteral("Current Depth = 1 bit");
    default:
      return QStringLiteral("Color Options");
  }
}

const std::array<SaveFormat, 9>& saveFormats() {
  static const std::array<SaveFormat, 9> formats = {{
      {"Corvane Enhanced ePIC, (*.pic)", "pic", true, true},
      {"JIF compliant JPEG, (*.jpg)", "jpg", false, true},
      {"Windows or OS/2 Bitmap, (*.bmp)", "bmp", false, false},
      {"TIFF, (*.tif)", "tif", false, true},
      {"Portable Network Graphics, (*.png)", "png", false, true},
      {"Windows Metafile, (*.wmf)", "wmf", false, false},
      {"Zsoft Paintbrush, (*.pcx)", "pcx", false, false},
      {"Targa, (*.tga)", "tga", false, false},
      {"WordPerfect Bitmap, (*.wpg)", "wpg", false, false},
  }};
  return formats;
}

int formatIndexForName(const QString& fileName) {
  QString ext = tn::right(fileName, 3).toLower();
  if (ext == u"jif" || ext == u"peg") ext = QStringLiteral("jpg");
  const auto& formats = saveFormats();
  for (size_t i = 0; i < formats.size(); ++i)
    if (ext == QLatin1String(formats[i].extension)) return static_cast<int>(i);
  return 1;
}

const SaveFormat& saveFormatAt(int index) {
  const auto& formats = saveFormats();
  if (index < 0 || index >= static_cast<int>(formats.size())) return formats[1];
  return formats[static_cast<size_t>(index)];
}

QString withExtension(const QString& name, const QString& pictureName, const QString& extension) {
  QString base = tn::length(name) < 5 ? pictureName : name;
  const qsizetype dot = base.lastIndexOf(u'.');
  if (dot < 0) return base + u'.' + extension;
  return base.left(dot + 1) + extension;
}

PathParts splitPath(const QString& path) {
  const qsizetype slash = path.lastIndexOf(u'/');
  if (slash < 0) return {QString(), path};
  return {path.left(slash), path.mid(slash + 1)};
}

QString joinTarget(const QString& folder, const QString& name) {
  const QString separator = folder.endsWith(u'/') ? QString() : QStringLiteral("/");
  return folder + separator + tn::trim(name);
}

int qualityForSave(const QString& text) {
  const auto value = tn::toInt32(text);
  return value && *value >= 1 && *value <= 255 ? *value : 30;
}

namespace {

// A setting read as its "not stored" marker is written with the dialog's default.
QString storedOr(qint16 value, qint16 marker, const QString& key, const QString& fallback) {
  if (value != marker) return QString::number(value);
  keys::writeText(key, fallback);
  return fallback;
}

QString storedOr(const QString& value, const QString& key, const QString& fallback) {
  if (value != keys::kOptionNotStored) return value;
  keys::writeText(key, fallback);
  return fallback;
}

}  // namespace

SaveOptions loadSaveOptions() {
  const QString standard = QStringLiteral("Standard");
  SaveOptions o;
  o.picQuality = storedOr(keys::picQuality(), keys::kQualityNotStored, keys::kPicQuality,
                          QStringLiteral("30"));
  o.picOption = storedOr(keys::picOption(), keys::kPicOption, standard);
  o.jpgQuality = storedOr(keys::jpgQuality(), keys::kQualityNotStored, keys::kJpgQuality,
                          QStringLiteral("30"));
  o.jpgOption = storedOr(keys::jpgOption(), keys::kJpgOption, standard);
  o.tifCompression = storedOr(keys::tifCompression(), keys::kTifCompressionNotStored,
                              keys::kTifCompression, QStringLiteral("6"));
  o.pngOption = storedOr(keys::pngOption(), keys::kPngOption, QStringLiteral("NONInterlaced"));
  return o;
}

}  // namespace glim::editing
