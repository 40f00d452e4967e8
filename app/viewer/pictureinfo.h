// What the viewer records about a picture the first time it shows it, and the texts of the
// information labels.
#pragma once

#include <QString>
#include <QtGlobal>

namespace glim::viewer {

// The measurements the picture control reports for the loaded picture.
struct PictureMeasures {
  qint32 width = 0;
  qint32 height = 0;
  qint32 bitsPerPixel = 0;
  qint64 fileSize = 0;
  qint64 colours = 0;
};

// The texts written into the bound boxes, and whether the banner box is to be checked.
struct CapturedTexts {
  QString width, height, ratio, bits, fileSize, colours;
  bool banner = false;
};

// Width over height in its default text form; empty when the height is 0.
QString ratioText(qint32 width, qint32 height);
// A ratio above 2.499 or below 0.4 marks a banner; an empty or non-numeric ratio does not.
bool isBannerRatio(const QString& ratio);
CapturedTexts capturedTexts(const PictureMeasures& measures);

// The first 20 characters of the file name without its folder.
QString fileNameNoPath(const QString& path);
inline const QString kViewerCaption = QStringLiteral("Glimmora 2000 Viewer");
// The caption while a picture is shown: the title, eight blanks, the full path.
QString viewerCaptionFor(const QString& path);

}  // namespace glim::viewer
