#include "viewer/pictureinfo.h"

#include <QDir>

#include "base/textnum.h"

namespace glim::viewer {

QString ratioText(qint32 width, qint32 height) {
  if (height == 0) return QString();
  return textnum::doubleText(double(width) / double(height));
}

bool isBannerRatio(const QString& ratio) {
  const auto value = textnum::toDouble(ratio);
  return value && (*value > 2.499 || *value < 0.4);
}

CapturedTexts capturedTexts(const PictureMeasures& m) {
  CapturedTexts t;
  t.width = QString::number(m.width);
  t.height = QString::number(m.height);
  t.ratio = ratioText(m.width, m.height);
  t.bits = QString::number(m.bitsPerPixel);
  t.fileSize = QString::number(m.fileSize);
  t.colours = QString::number(m.colours);
  t.banner = isBannerRatio(t.ratio);
  return t;
}

QString fileNameNoPath(const QString& path) {
  const QString native = QDir::fromNativeSeparators(path);
  return textnum::left(native.mid(native.lastIndexOf(u'/') + 1), 20);
}

QString viewerCaptionFor(const QString& path) {
  return kViewerCaption + QStringLiteral("        ") + path;
}

}  // namespace glim::viewer
