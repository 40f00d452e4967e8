#include "viewer/photo.h"

#include "base/appstate.h"

#include <QPointer>

#include "rastrel/rastrel.h"

namespace glim::viewer {

namespace {

Qt::MouseButton qtButton(qint16 button) {
  switch (button) {
    case 1:
      return Qt::LeftButton;
    case 2:
      return Qt::RightButton;
    case 4:
      return Qt::MiddleButton;
    default:
      return Qt::NoButton;
  }
}

// The imaging control behind the viewer's picture display.
class RastrelPhoto : public PhotoDisplay {
 public:
  explicit RastrelPhoto(RastrelControl* control) : control_(control) {
    connect(control, &RastrelControl::MouseDown, this,
            [this](qint16 button, qint16, qint32 x, qint32 y) {
              emit mouseDown(qtButton(button), QPoint(x, y));
            });
    connect(control, &RastrelControl::MouseMove, this,
            [this](qint16 button, qint16, qint32 x, qint32 y) {
              emit mouseMove(Qt::MouseButtons(qtButton(button)), QPoint(x, y));
            });
    connect(control, &RastrelControl::MouseUp, this,
            [this](qint16 button, qint16, qint32 x, qint32 y) {
              emit mouseUp(qtButton(button), QPoint(x, y));
            });
  }

  QWidget* widget() const override { return control_; }
  void setFileName(const QString& path) override {
    if (control_) control_->setFileName(path);
  }
  QString fileName() const override { return control_ ? control_->fileName() : QString(); }
  int imagError() const override { return control_ ? control_->imagError() : -1; }
  void setPicPassword(const QString& password) override {
    if (control_) control_->setPICPassword(password);
  }
  PictureMeasures measures() const override {
    if (!control_) return {};
    return {control_->iWidth(), control_->iHeight(), control_->ipBitsPixel(), control_->iFileSize(),
            control_->uniqueColors()};
  }
  PictureMeasures sizeMeasures() const override {
    if (!control_) return {};
    return {control_->iWidth(), control_->iHeight(), control_->ipBitsPixel(), control_->iFileSize(),
            0};
  }
  qint32 uniqueColors() const override { return control_ ? control_->uniqueColors() : 0; }
  void readAhead(const QStringList& paths) override {
    if (control_) control_->readAhead(paths);
  }
  void setReadAheadLimit(int mebibytes) override {
    if (control_) control_->setReadAheadLimit(mebibytes);
  }
  bool showPreview(const QString& path) override { return control_ && control_->showPreview(path); }
  int iWidth() const override { return control_ ? control_->iWidth() : 0; }
  int iHeight() const override { return control_ ? control_->iHeight() : 0; }
  qint32 hDib() const override { return control_ ? control_->hDib() : 0; }
  qint32 copyDib() override { return control_ ? control_->copyDib() : 0; }
  void setHDib(qint32 dib) override {
    if (control_) control_->setHDib(dib);
  }
  void setSaveFileName(const QString& path) override {
    if (control_) control_->setSaveFileName(path);
  }
  void saveFile() override {
    if (control_) control_->saveFile();
  }
  void setUndoEnabled(bool enabled) override {
    if (control_) control_->setUndoEnabled(enabled);
  }
  void zoom(double factor) override {
    if (control_) control_->zoom(float(factor));
  }
  void setScrollBars(ScrollBarsMode mode) override {
    if (control_) control_->setScrollBars(qint16(mode));
  }
  void setAutoSize(AutoSizeMode mode) override {
    if (control_) control_->setAutoSize(qint16(mode));
  }
  void applyPalette(const PaletteValues& values) override {
    if (!control_) return;
    control_->setManagePalette(values.managePalette);
    control_->setDisplayMode(qint16(values.displayMode));
    control_->setPaletteMode(qint16(values.palette));
    control_->setShowDithered(qint16(values.showDithered));
  }
  void refresh() override {
    if (control_) control_->refresh();
  }
  void rubberBand(bool on, QPoint at) override {
    if (control_) control_->rubberBand(on, at.x(), at.y());
  }
  void rubberbandUpdate(QPoint at) override {
    if (control_) control_->rubberbandUpdate(at.x(), at.y());
  }

 private:
  // The control belongs to its parent widget and may go first when the form closes.
  QPointer<RastrelControl> control_;
};

PhotoFactory& factorySlot() {
  static PhotoFactory factory;
  return factory;
}

}  // namespace

std::unique_ptr<PhotoDisplay> createPhoto(QWidget* parent, QString* error) {
  if (const PhotoFactory& factory = factorySlot()) return factory(parent, error);
  RastrelControl* control = createRastrel(parent, error);
  if (!control) return nullptr;
  return std::make_unique<RastrelPhoto>(control);
}

QString storedPropertiesFile(const QString& controlName) {
  return appState().ProgramFolder + QStringLiteral("frmDBScreenTest.") + controlName +
         QStringLiteral(".properties");
}

std::unique_ptr<PhotoDisplay> createPhoto(QWidget* parent, const QString& controlName,
                                          QString* error) {
  if (const PhotoFactory& factory = factorySlot()) return factory(parent, error);
  RastrelControl* control = createRastrel(parent, storedPropertiesFile(controlName), error);
  if (!control) return nullptr;
  return std::make_unique<RastrelPhoto>(control);
}

void setPhotoFactory(PhotoFactory factory) {
  factorySlot() = std::move(factory);
}

}  // namespace glim::viewer
