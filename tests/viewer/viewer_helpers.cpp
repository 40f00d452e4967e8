#include "viewer_helpers.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QSet>

#include "catalogue/database.h"

namespace glim::test {

namespace {

bool isPic(const QString& path) {
  return path.endsWith(QStringLiteral(".pic"), Qt::CaseInsensitive);
}

}  // namespace

bool writeCatalogue(const QString& catalogue, const QList<PictureRow>& rows) {
  catalogue::Database db = catalogue::Database::open(catalogue);
  if (!db.isOpen() || !db.execute(QStringLiteral("DELETE * FROM tbl1"))) return false;
  int id = 0;
  for (const PictureRow& row : rows) {
    QStringList fields{QStringLiteral("IDNumber"), QStringLiteral("Pathname"),
                       QStringLiteral("Extension")};
    QVariantList values{
        ++id, row.path,
        row.extension.isEmpty() ? QFileInfo(row.path).suffix().right(3).toLower() : row.extension};
    auto add = [&](const char* field, const QVariant& value) {
      if (!value.isValid()) return;
      fields << QString::fromLatin1(field);
      values << value;
    };
    add("NewFile", row.newFile);
    add("FileERROR", row.fileError);
    add("Width", row.width);
    add("Height", row.height);
    add("Class1", row.class1);
    add("Class4", row.class4);
    if (!row.status.isEmpty()) add("Status", row.status);
    const QString marks = QStringLiteral("?, ").repeated(int(fields.size())).chopped(2);
    if (!db.execute(QStringLiteral("INSERT INTO tbl1 (") + fields.join(QStringLiteral(", ")) +
                        QStringLiteral(") VALUES (") + marks + u')',
                    values))
      return false;
  }
  return true;
}

QVariant storedValue(const QString& catalogue, const QString& path, const QString& field) {
  catalogue::Database db = catalogue::Database::open(catalogue);
  return db.scalar(
      QStringLiteral("SELECT ") + field + QStringLiteral(" FROM tbl1 WHERE Pathname = ?"), {path});
}

int storedRowCount(const QString& catalogue) {
  catalogue::Database db = catalogue::Database::open(catalogue);
  return db.scalar(QStringLiteral("SELECT COUNT(*) FROM tbl1")).toInt();
}

QtPhoto::QtPhoto(QWidget* parent) : label_(new QLabel(parent)) {
  label_->setScaledContents(true);
  label_->setAutoFillBackground(true);
}

void QtPhoto::setFileName(const QString& path) {
  fileName_ = path;
  image_ = QImage();
  fileSize_ = 0;
  error_ = 0;
  if (path.isEmpty()) {
    label_->clear();
    return;
  }
  loads.append(path);
  if (!QFileInfo(path).isFile()) {
    error_ = -3;
    return;
  }
  QFile file(path);
  if (isPic(path) && file.open(QIODevice::ReadOnly)) {
    const QString wanted = QString::fromUtf8(file.readAll()).mid(9);
    if (password_ != wanted) {
      error_ = -22;
      return;
    }
    image_ = QImage(40, 30, QImage::Format_RGB32);
    image_.fill(Qt::blue);
  } else {
    QImageReader reader(path);
    image_ = reader.read();
    if (image_.isNull()) {
      error_ = reader.error() == QImageReader::UnsupportedFormatError ? -5 : -6;
      return;
    }
  }
  fileSize_ = QFileInfo(path).size();
  label_->setPixmap(QPixmap::fromImage(image_));
}

// Picture handles shared by all displays, as the engine's handles are.
QHash<qint32, QImage>& handles() {
  static QHash<qint32, QImage> made;
  return made;
}

qint32 QtPhoto::copyDib() {
  if (image_.isNull()) return 0;
  static qint32 next = 100;
  handles().insert(++next, image_);
  return next;
}

void QtPhoto::setHDib(qint32 dib) {
  image_ = handles().take(dib);
  label_->setPixmap(QPixmap::fromImage(image_));
}

void QtPhoto::saveFile() {
  if (failSaves || image_.isNull()) {
    error_ = -13;
  } else if (isPic(saveName_)) {
    error_ = writeProtectedPicture(saveName_, password_) ? 0 : -13;
  } else {
    error_ = image_.save(saveName_) ? 0 : -13;
  }
}

viewer::PictureMeasures QtPhoto::measures() const {
  QSet<QRgb> colours;
  const QImage rgb = image_.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x) colours.insert(line[x]);
  }
  const int bits = image_.isNull()            ? 0
                   : image_.hasAlphaChannel() ? 32
                   : image_.depth() == 32     ? 24
                                              : image_.depth();
  return {image_.width(), image_.height(), bits, fileSize_, colours.size()};
}

void QtPhoto::rubberBand(bool on, QPoint at) {
  banding = on;
  if (on) bandOrigin = bandCorner = at;
}

QList<QtPhoto*>& useQtPhotos() {
  static QList<QtPhoto*> made;
  made.clear();
  viewer::setPhotoFactory([](QWidget* parent, QString*) {
    auto photo = std::make_unique<QtPhoto>(parent);
    made.append(photo.get());
    return photo;
  });
  return made;
}

void useImagingControl() {
  viewer::setPhotoFactory({});
}

bool writeProtectedPicture(const QString& path, const QString& password) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  return file.write(QByteArrayLiteral("PASSWORD:") + password.toUtf8()) > 0;
}

}  // namespace glim::test
