// What the viewer asks of its picture control (Photo1, Photo2). The viewer talks to the
// imaging control only through this, so the form does not depend on how the control is
// hosted, and a test can put its own picture display in its place.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "viewer/layout.h"
#include "viewer/pictureinfo.h"

class QWidget;

namespace glim::viewer {

// The control's AutoSize modes used by the viewer.
enum class AutoSizeMode { CropImageToControl = 0, ResizeControl = 1, ResizePreserveAspect = 4 };

// The picture password error of the imaging control.
inline constexpr int kWrongPassword = -22;

class PhotoDisplay : public QObject {
  Q_OBJECT
 public:
  ~PhotoDisplay() override = default;

  // The control's window, a child of the viewer's picture area.
  virtual QWidget* widget() const = 0;

  // Loads the named file, replacing the picture; an empty name unloads it.
  virtual void setFileName(const QString& path) = 0;
  virtual QString fileName() const = 0;
  // Result of the last operation: 0 success, negative failure, -22 wrong picture password.
  virtual int imagError() const = 0;
  virtual void setPicPassword(const QString& password) = 0;

  // The loaded picture's measurements (IWidth, IHeight, IPBitsPixel, IFileSize, UniqueColors).
  virtual PictureMeasures measures() const = 0;
  // The same without counting colours (colours 0), which costs a pass over the picture; the
  // count on its own.
  virtual PictureMeasures sizeMeasures() const {
    PictureMeasures m = measures();
    m.colours = 0;
    return m;
  }
  virtual qint32 uniqueColors() const { return measures().colours; }
  virtual int iWidth() const = 0;
  virtual int iHeight() const = 0;
  // The displayed picture's handle, 0 when there is none.
  virtual qint32 hDib() const = 0;
  // CopyDib: a new handle to a copy of the displayed picture (0 when none is shown), for
  // another display's setHDib, which takes the handle over and shows that picture.
  virtual qint32 copyDib() = 0;
  virtual void setHDib(qint32 dib) = 0;

  virtual void setSaveFileName(const QString& path) = 0;
  virtual void saveFile() = 0;
  virtual void setUndoEnabled(bool enabled) = 0;

  virtual void zoom(double factor) = 0;
  virtual void setScrollBars(ScrollBarsMode mode) = 0;
  virtual void setAutoSize(AutoSizeMode mode) = 0;
  virtual void applyPalette(const PaletteValues& values) = 0;
  virtual void refresh() = 0;

  // The pictures likely to be shown next, most likely first: the control decodes them in the
  // background. An empty list stops it. The limit is in MiB (0: no reading ahead).
  virtual void readAhead(const QStringList& paths) { Q_UNUSED(paths); }
  virtual void setReadAheadLimit(int mebibytes) { Q_UNUSED(mebibytes); }
  // Just before loading `path`: a display that can shows a reduced copy of it at once while
  // the full picture decodes. True when it did.
  virtual bool showPreview(const QString& path) {
    Q_UNUSED(path);
    return false;
  }

  // Rubber-band selection in window pixels.
  virtual void rubberBand(bool on, QPoint at = {}) = 0;
  virtual void rubberbandUpdate(QPoint at) = 0;

 signals:
  void mouseDown(Qt::MouseButton button, QPoint at);
  void mouseMove(Qt::MouseButtons buttons, QPoint at);
  void mouseUp(Qt::MouseButton button, QPoint at);
};

// Makes a picture control in `parent`; nullptr with `error` set when the control cannot be
// made (the library is missing or refuses to create it).
using PhotoFactory = std::function<std::unique_ptr<PhotoDisplay>(QWidget* parent, QString* error)>;
std::unique_ptr<PhotoDisplay> createPhoto(QWidget* parent, QString* error);
// The same for a named control of the viewer form: the imaging control is created with the
// properties stored with the form, "<program folder>frmDBScreenTest.<name>.properties"
// (a missing file leaves the control's initial values).
std::unique_ptr<PhotoDisplay> createPhoto(QWidget* parent, const QString& controlName,
                                          QString* error);
QString storedPropertiesFile(const QString& controlName);
// Replaces how controls are made (tests); an empty factory goes back to the imaging control.
void setPhotoFactory(PhotoFactory factory);

}  // namespace glim::viewer
