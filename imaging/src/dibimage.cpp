#include "dibimage.h"

#include <QByteArray>
#include <QtEndian>
#include <cstring>

namespace rastrel::impl {

namespace {

constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kFileHeaderSize = 14;

uint32_t le32(const uchar* p) {
  return qFromLittleEndian<uint32_t>(p);
}

}  // namespace

// A packed DIB becomes a BMP file once the 14-byte file header (with the offset of the rows)
// is put in front of it, and Qt reads BMP files.
QImage imageFromDib(CV_HDIB dib) {
  if (!dib) return QImage();
  const auto* data = static_cast<const uchar*>(CV_DibLock(dib));
  const uint32_t size = CV_DibSize(dib);
  if (!data || size < kInfoHeaderSize) return QImage();
  const uint32_t headerSize = le32(data);
  if (headerSize < 12 || headerSize > size) return QImage();
  uint32_t bits = 0, colours = 0, compression = 0;
  if (headerSize == 12) {
    bits = qFromLittleEndian<uint16_t>(data + 10);
  } else {
    bits = qFromLittleEndian<uint16_t>(data + 14);
    compression = le32(data + 16);
    colours = le32(data + 32);
  }
  if (bits <= 8 && colours == 0) colours = 1u << bits;
  const uint32_t entry = headerSize == 12 ? 3 : 4;
  // Bit-field masks follow a 40-byte header when the compression says so.
  const uint32_t masks = (headerSize == 40 && (compression == 3 || compression == 6)) ? 12 : 0;
  const uint64_t offset =
      uint64_t(kFileHeaderSize) + headerSize + masks + uint64_t(colours) * entry;
  if (offset > uint64_t(size) + kFileHeaderSize) return QImage();
  QByteArray file(int(kFileHeaderSize), '\0');
  file[0] = 'B';
  file[1] = 'M';
  qToLittleEndian<uint32_t>(size + kFileHeaderSize, file.data() + 2);
  qToLittleEndian<uint32_t>(uint32_t(offset), file.data() + 10);
  file.append(reinterpret_cast<const char*>(data), qsizetype(size));
  return QImage::fromData(file, "BMP");
}

CV_HDIB dibFromImage(const QImage& image) {
  if (image.isNull()) return 0;
  const bool alpha = image.hasAlphaChannel();
  const QImage src = image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  const int w = src.width(), h = src.height(), bytes = alpha ? 4 : 3;
  const uint64_t stride = (uint64_t(w) * bytes + 3) / 4 * 4;
  const uint64_t total = kInfoHeaderSize + stride * uint64_t(h);
  if (total > 0x7FFFFFFFu) return 0;
  const CV_HDIB dib = CV_DibAlloc(uint32_t(total));
  auto* out = dib ? static_cast<uchar*>(CV_DibLock(dib)) : nullptr;
  if (!out) return 0;
  qToLittleEndian<uint32_t>(kInfoHeaderSize, out);
  qToLittleEndian<int32_t>(w, out + 4);
  qToLittleEndian<int32_t>(h, out + 8);  // positive: rows bottom-up
  qToLittleEndian<uint16_t>(1, out + 12);
  qToLittleEndian<uint16_t>(uint16_t(bytes * 8), out + 14);
  qToLittleEndian<uint32_t>(uint32_t(stride * uint64_t(h)), out + 20);
  const int dpmX = src.dotsPerMeterX() > 0 ? src.dotsPerMeterX() : 3780;
  const int dpmY = src.dotsPerMeterY() > 0 ? src.dotsPerMeterY() : 3780;
  qToLittleEndian<int32_t>(dpmX, out + 24);
  qToLittleEndian<int32_t>(dpmY, out + 28);
  for (int y = 0; y < h; ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(src.constScanLine(y));
    uchar* row = out + kInfoHeaderSize + stride * uint64_t(h - 1 - y);
    for (int x = 0; x < w; ++x) {
      const QRgb p = line[x];
      uchar* d = row + size_t(x) * bytes;
      d[0] = uchar(qBlue(p));
      d[1] = uchar(qGreen(p));
      d[2] = uchar(qRed(p));
      if (alpha) d[3] = uchar(qAlpha(p));
    }
  }
  return dib;
}

}  // namespace rastrel::impl
