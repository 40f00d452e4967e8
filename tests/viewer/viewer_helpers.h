// Helpers of the viewer's window tests: a catalogue of real picture files written by the test,
// and a picture display that reads pictures with Qt's readers and records what the viewer
// asked of it, for runs where the imaging control cannot be loaded.
#pragma once

#include <QImage>
#include <QLabel>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "viewer/photo.h"

namespace glim::test {

// One tbl1 row; fields left invalid keep the table's defaults.
struct PictureRow {
  QString path;
  QString extension{};
  QVariant newFile{};
  QVariant fileError{};
  QVariant width{};
  QVariant height{};
  QVariant class1{};
  QVariant class4{};
  QString status{};
};

// Empties tbl1 of the catalogue file and writes the rows in order (IDNumber 1, 2, ...).
bool writeCatalogue(const QString& catalogue, const QList<PictureRow>& rows);
// A row's field, read straight from the file; invalid when the row is gone.
QVariant storedValue(const QString& catalogue, const QString& path, const QString& field);
int storedRowCount(const QString& catalogue);

// A ".pic" file (in any case) is a protected test picture: saving one writes the password
// the display holds, and loading one needs that same password (else error -22).
class QtPhoto : public viewer::PhotoDisplay {
 public:
  explicit QtPhoto(QWidget* parent);

  QWidget* widget() const override { return label_; }
  void setFileName(const QString& path) override;
  QString fileName() const override { return fileName_; }
  int imagError() const override { return error_; }
  void setPicPassword(const QString& password) override { password_ = password; }
  viewer::PictureMeasures measures() const override;
  int iWidth() const override { return image_.width(); }
  int iHeight() const override { return image_.height(); }
  qint32 hDib() const override { return image_.isNull() ? 0 : 1; }
  qint32 copyDib() override;
  void setHDib(qint32 dib) override;
  void setSaveFileName(const QString& path) override { saveName_ = path; }
  void saveFile() override;
  void setUndoEnabled(bool) override {}
  void zoom(double factor) override { zooms.append(factor); }
  void setScrollBars(viewer::ScrollBarsMode mode) override { scrollBars = mode; }
  void setAutoSize(viewer::AutoSizeMode) override {}
  void applyPalette(const viewer::PaletteValues&) override {}
  void refresh() override { label_->update(); }
  void rubberBand(bool on, QPoint at) override;
  void rubberbandUpdate(QPoint at) override { bandCorner = at; }

  // What the viewer did with the display.
  QStringList loads;
  QList<double> zooms;
  viewer::ScrollBarsMode scrollBars = viewer::ScrollBarsMode::None;
  bool banding = false;
  QPoint bandOrigin;
  QPoint bandCorner;
  // Every save fails with the control's write error.
  bool failSaves = false;

 private:
  QLabel* label_;
  QString fileName_;
  QString password_;
  QString saveName_;
  QImage image_;
  qint64 fileSize_ = 0;
  int error_ = 0;
};

// Puts QtPhoto in place of the imaging control for the viewers made from now on; returns the
// displays it made (Photo1 first).
QList<QtPhoto*>& useQtPhotos();
void useImagingControl();

// A protected test picture for QtPhoto: a ".pic" file whose text is "PASSWORD:" + password.
bool writeProtectedPicture(const QString& path, const QString& password);

}  // namespace glim::test
