// The application's side of the imaging control: a QWidget that hosts one control object of
// librastrel3.so (loaded at run time, see setRastrelFolder) and reaches every member only
// through the control's dispatch entry, IRastrel::Invoke, by DISPID.
//
// Names: a property P has the getter p() and, unless read-only, the setter setP(); the getter
// name lower-cases the leading capital or acronym (FileName -> fileName(), IWidth -> iWidth(),
// PICPassword -> picPassword(), IPBitsPixel -> ipBitsPixel(), FXError -> fxError(),
// hDib -> hDib() and setHDib()). A method M is m(...) (Flip -> flip(), CopyDib -> copyDib(),
// UniqueColors -> uniqueColors()). Events keep their names as signals (MouseDown, ...).
// Where a name would hide a QWidget member the wrapper says so: Resize -> resizeImage(),
// Palette -> paletteMode()/setPaletteMode(), Enabled -> controlEnabled()/setControlEnabled().
// The wrapper's own geometry (the container's Left, Top, Width, Height) is the QWidget's.
// Enumerations are the named constants of rastrel3.h (rastrel::ISIZE_ResizeControl, ...).
// Any other member is reachable with get()/put()/call() by DISPID (rastrel::dispid::...).
//
// Failures: a failing Invoke (read-only put, design-mode get, wrong arguments) leaves the
// value unchanged, returns a zero value from a getter and is kept in lastResult(); engine
// errors never fail Invoke and are read from imagError(), as the control's contract says.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <initializer_list>

#include "rastrel3.h"

namespace glim {

class RastrelHost;

class RastrelControl : public QWidget {
  Q_OBJECT
 public:
  ~RastrelControl() override;

  // ---- generic access by DISPID ----
  rastrel::HRESULT invoke(rastrel::DISPID id, rastrel::InvokeKind kind,
                          std::initializer_list<rastrel::Variant> args, rastrel::Variant* result,
                          rastrel::ExcepInfo* excep = nullptr);
  rastrel::Variant get(rastrel::DISPID id);
  bool put(rastrel::DISPID id, const rastrel::Variant& value);
  rastrel::Variant call(rastrel::DISPID id, std::initializer_list<rastrel::Variant> args = {});
  // Result and error information of the last call through this wrapper.
  rastrel::HRESULT lastResult() const { return lastResult_; }
  const rastrel::ExcepInfo& lastError() const { return lastError_; }
  // The control object (not AddRef'ed), for persistence and tests.
  rastrel::IRastrel* dispatch() const { return dispatch_; }
  rastrel::IRastrelObject* object() const { return object_; }

  // The design-time properties stored in a property file (a JSON property bag: the extent,
  // "Persistence" and the property map, as the control's property-bag save writes them).
  // Saving writes the file through a temporary beside it; loading a missing file changes
  // nothing and succeeds. False with *error when the file cannot be read or written, or the
  // control refuses a stored value (the values put before it stay).
  bool saveProperties(const QString& path, QString* error = nullptr);
  bool loadProperties(const QString& path, QString* error = nullptr);
  // The control's "&Properties" verb: its property pages as tabs of one modal dialog.
  void showPropertyPages();

  // The container's ambient user mode (run mode by default; design mode for designers/tests).
  void setDesignMode(bool design);
  bool designMode() const { return designMode_; }

  // ---- loading and information ----
  QString fileName();
  void setFileName(const QString& path);  // loads it; "" unloads and releases the file
  qint16 imagError();                     // 0 success, negative failure, -22 ePIC password
  qint16 fxError();
  QString picPassword();
  void setPICPassword(const QString& password);
  qint16 iWidth();
  qint16 iHeight();
  qint16 ibpp();
  qint16 ipBitsPixel();
  qint32 iFileSize();
  qint16 iFormat();
  qint32 uniqueColors();
  qint32 numPages(const QString& path);
  // The pictures to be shown next, most wanted first; the control decodes them in the
  // background so that loading one of them is quick. An empty list stops it.
  void readAhead(const QStringList& paths);
  qint32 readAheadLimit();  // MiB the pictures read ahead may hold (0: off)
  void setReadAheadLimit(qint32 mebibytes);
  // Before loading `path`: shows a reduced decode of it at once when the picture is large and
  // shown reduced, while the full picture decodes in the background for the load that
  // follows. True when a preview is on screen.
  bool showPreview(const QString& path);

  // ---- saving ----
  QString saveFileName();
  void setSaveFileName(const QString& path);
  void saveFile();
  qint16 saveFileType();
  void setSaveFileType(qint16 type);  // rastrel::FT_*
  qint16 saveJPGChromFactor();
  void setSaveJPGChromFactor(qint16 quality);  // 1-255
  bool saveJPGProgressive();
  void setSaveJPGProgressive(bool on);
  bool savePNGInterlaced();
  void setSavePNGInterlaced(bool on);
  qint16 saveTIFCompression();
  void setSaveTIFCompression(qint16 compression);  // rastrel::TIF_*

  // ---- picture handles ----
  qint32 hDib();
  void setHDib(qint32 dib);  // the control takes the handle over
  qint32 copyDib();          // a new handle; pass it on to some control's setHDib
  qint32 copyRubberbandDib();
  // The handle of the Picture object (the engine's bitmap), 0 when the control has none.
  qint32 picture();

  // ---- editing ----
  bool undoEnabled();
  void setUndoEnabled(bool on);
  void undo();
  void flip();
  void mirror();
  void negate();
  void autoContrast();
  void sharpen(qint16 amount);
  void soften(qint16 amount);
  void rotate(double degrees);
  void brightness(qint16 value);
  void contrast(qint16 value);
  void adjustRGB(qint16 type, qint16 red, qint16 green, qint16 blue);
  void gamma(float value);
  void colorDepth(qint16 bitsPerPixel, qint16 palette, qint16 dither);
  void resizeImage(qint16 width, qint16 height);  // Resize
  void resample(qint16 width, qint16 height);
  void picResize(qint16 width, qint16 height);
  void crop(qint32 x, qint32 y, qint32 width, qint32 height);

  // ---- view ----
  void zoom(float factor);
  qint16 autoSize();
  void setAutoSize(qint16 mode);  // rastrel::ISIZE_*
  qint16 scrollBars();
  void setScrollBars(qint16 bars);  // rastrel::SB_*
  qint32 scrollX();
  void setScrollX(qint32 x);
  qint32 scrollY();
  void setScrollY(qint32 y);
  qint16 paletteMode();                 // Palette
  void setPaletteMode(qint16 palette);  // rastrel::IPAL_*
  qint16 showDithered();
  void setShowDithered(qint16 dither);
  qint16 displayMode();
  void setDisplayMode(qint16 mode);
  bool managePalette();
  void setManagePalette(bool on);
  quint32 backColor();
  void setBackColor(quint32 oleColor);
  bool controlEnabled();  // Enabled
  void setControlEnabled(bool on);
  bool oleDropAllowed();
  void setOLEDropAllowed(bool on);
  void refresh();

  // ---- rubber band (window pixels) ----
  void rubberBand(bool on, qint32 x = 0, qint32 y = 0, bool negate = false);
  void rubberbandUpdate(qint32 x, qint32 y);
  qint32 rubberBandL();
  qint32 rubberBandT();
  qint32 rubberBandW();
  qint32 rubberBandH();

 signals:
  // Button: 1 left, 2 right, 4 middle; Shift: 1 Shift + 2 Ctrl + 4 Alt; X, Y: window pixels.
  void MouseDown(qint16 button, qint16 shift, qint32 x, qint32 y);
  void MouseMove(qint16 button, qint16 shift, qint32 x, qint32 y);
  void MouseUp(qint16 button, qint16 shift, qint32 x, qint32 y);
  void Click();
  void DblClick();
  void Notify();
  void Progress(qint16 id, qint16 pctDone);
  void AsyncProgress(qint16 id, qint32 bytesProcessed, qint32 totalBytes, bool done, qint32 error);
  // A property-changed notice from the control (sent in design mode, and for Enabled).
  void propertyChanged(qint32 dispid);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  friend RastrelControl* createRastrel(QWidget* parent, QString* error);
  friend class RastrelHost;
  RastrelControl(QWidget* parent, rastrel::IUnknown* control);
  qint32 getI4(rastrel::DISPID id);
  bool getBool(rastrel::DISPID id);
  QString getString(rastrel::DISPID id);

  rastrel::IRastrel* dispatch_ = nullptr;
  rastrel::IRastrelObject* object_ = nullptr;
  RastrelHost* host_ = nullptr;  // site and sinks
  QWidget* window_ = nullptr;
  bool designMode_ = false;
  rastrel::HRESULT lastResult_ = 0;
  rastrel::ExcepInfo lastError_;
};

// Creates a control in parent from librastrel3.so in the folder setRastrelFolder names. Returns
// nullptr with the reason in *error when the library cannot be loaded or refuses to create the
// control.
RastrelControl* createRastrel(QWidget* parent, QString* error = nullptr);
// The same, then restores the properties stored in propertyFile (see loadProperties); a
// missing file leaves the control's initial values. A stored value the control refuses does
// not cost the control: it is returned with the values put before, and *error says why.
RastrelControl* createRastrel(QWidget* parent, const QString& propertyFile, QString* error);

// The loaded library's class object for a CLSID (AddRef'ed), or nullptr with *error.
rastrel::IClassFactory* rastrelClassFactory(const rastrel::Guid& clsid, QString* error = nullptr);
// The library file createRastrel loads.
QString rastrelLibraryPath();
// The folder librastrel3.so is loaded from; empty (the rule) means the running program's own
// folder, or for a program installed under a prefix, that prefix's library folder for Glimmora.
void setRastrelFolder(const QString& folder);

}  // namespace glim
