// Build-time tool: draws the program's stock pictures into the program folder.
//   make_stock_pictures OUTPUT_FOLDER
// starterpic.jpg is made exactly 8794 bytes (the size its catalogue row records) by padding
// the JPEG with a comment segment.
#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

namespace {

QImage canvas(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::white);
  return image;
}

QImage starter() {
  QImage image = canvas(320, 320);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, 220);
  sky.setColorAt(0, QColor(40, 90, 170));
  sky.setColorAt(1, QColor(250, 190, 120));
  p.fillRect(0, 0, 320, 220, sky);
  QRadialGradient sun(230, 120, 40);
  sun.setColorAt(0, QColor(255, 250, 210));
  sun.setColorAt(1, QColor(250, 160, 60));
  p.setBrush(sun);
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(230, 120), 40, 40);
  QLinearGradient sea(0, 220, 0, 320);
  sea.setColorAt(0, QColor(30, 80, 120));
  sea.setColorAt(1, QColor(10, 30, 60));
  p.fillRect(0, 220, 320, 100, sea);
  p.setBrush(QColor(30, 40, 30));
  p.drawPolygon(QPolygonF({{0, 230}, {70, 150}, {130, 200}, {180, 160}, {260, 230}}));
  return image;
}

QImage notice(const QString& line1, const QString& line2, QColor ink) {
  QImage image = canvas(320, 240);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(image.rect(), QColor(236, 236, 236));
  p.setPen(QPen(ink, 6));
  p.drawRect(image.rect().adjusted(3, 3, -4, -4));
  QFont font = p.font();
  font.setPixelSize(26);
  font.setBold(true);
  p.setFont(font);
  p.drawText(QRect(0, 60, 320, 50), Qt::AlignCenter, line1);
  font.setPixelSize(16);
  font.setBold(false);
  p.setFont(font);
  p.setPen(QColor(60, 60, 60));
  p.drawText(QRect(10, 120, 300, 60), Qt::AlignCenter | Qt::TextWordWrap, line2);
  return image;
}

QImage splash() {
  QImage image = starter();
  QPainter p(&image);
  QFont font = p.font();
  font.setPixelSize(40);
  font.setBold(true);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(0, 240, 320, 60), Qt::AlignCenter, QStringLiteral("Glimmora"));
  return image;
}

QImage eye(int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  QPainterPath lid;
  lid.moveTo(4, 32);
  lid.quadTo(32, 4, 60, 32);
  lid.quadTo(32, 60, 4, 32);
  p.setPen(QPen(QColor(20, 40, 80), 3));
  p.setBrush(Qt::white);
  p.drawPath(lid);
  p.setBrush(QColor(40, 120, 200));
  p.drawEllipse(QPointF(32, 32), 12, 12);
  p.setBrush(Qt::black);
  p.drawEllipse(QPointF(32, 32), 5, 5);
  return image;
}

QByteArray jpeg(const QImage& image, int quality) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPEG", quality);
  return bytes;
}

// Pads a JPEG to an exact size with a comment segment after the start marker.
bool exactSizeJpeg(const QImage& image, int size, QByteArray* out) {
  for (int q = 95; q >= 5; --q) {
    QByteArray bytes = jpeg(image, q);
    const int pad = size - static_cast<int>(bytes.size());
    if (pad < 4 || pad - 2 > 65535) continue;
    const int len = pad - 2;
    QByteArray segment;
    segment.append(char(0xFF)).append(char(0xFE));
    segment.append(char((len >> 8) & 0xFF)).append(char(len & 0xFF));
    segment.append(QByteArray(len - 2, ' '));
    bytes.insert(2, segment);
    *out = bytes;
    return true;
  }
  return false;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) return 2;
  const QString dir = QString::fromLocal8Bit(argv[1]) + u'/';
  QByteArray starterBytes;
  bool ok = exactSizeJpeg(starter(), 8794, &starterBytes) &&
            writeFile(dir + "starterpic.jpg", starterBytes);
  ok = ok && writeFile(dir + "splash.jpg", jpeg(splash(), 90));
  ok = ok && writeFile(dir + "ImageMissing.jpg",
                       jpeg(notice(QStringLiteral("Image Missing"),
                                   QStringLiteral("The picture file could not be found."),
                                   QColor(180, 120, 0)),
                            90));
  ok = ok && writeFile(dir + "DamagedImage.jpg",
                       jpeg(notice(QStringLiteral("Damaged Image"),
                                   QStringLiteral("The picture file could not be read."),
                                   QColor(170, 30, 30)),
                            90));
  ok = ok && eye(64).save(dir + "Eye.ico", "ICO") && eye(128).save(dir + "Eye.png", "PNG");
  if (!ok) std::fprintf(stderr, "make_stock_pictures: could not write the pictures\n");
  return ok ? 0 : 1;
}
