// Pictures crossing between the engine's DIB handles and Qt: the clipboard, printing and the
// custom mouse pointer.
#pragma once

#include <QImage>

#include "engine.h"

namespace rastrel::impl {

// The picture a DIB handle holds (any depth the engine writes), or a null image.
QImage imageFromDib(CV_HDIB dib);
// A new DIB handle (the caller's) holding the image as 24 bits, or 32 bits when it has an alpha
// channel; 0 when the image is null or memory runs out.
CV_HDIB dibFromImage(const QImage& image);

}  // namespace rastrel::impl
