#include "rastrel/rastrel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibrary>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QSaveFile>
#include <map>
#include <memory>
#include <vector>

namespace glim {

using namespace rastrel;

// The container side of one hosted control: its site (ambient user mode, position requests,
// repaint requests), its event sink and its property-notify sink.
class RastrelHost final : public IRastrelSite, public IRastrelEvents, public IPropertyNotifySink {
 public:
  explicit RastrelHost(RastrelControl* owner) : owner_(owner) {}
  void detach() { owner_ = nullptr; }

  HRESULT QueryInterface(const Guid& iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IRastrelSite)
      *out = static_cast<IRastrelSite*>(this);
    else if (iid == DIID_IRastrelEvents || iid == IID_IDispatch)
      *out = static_cast<IRastrelEvents*>(this);
    else if (iid == IID_IPropertyNotifySink)
      *out = static_cast<IPropertyNotifySink*>(this);
    else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    const uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT GetAmbientUserMode(bool* runMode) override {
    if (!runMode) return E_POINTER;
    *runMode = !owner_ || !owner_->designMode();
    return S_OK;
  }
  HRESULT OnPosRectChange(const QRect& rect) override {
    if (!owner_) return E_UNEXPECTED;
    // The control window fills the wrapper: the wrapper takes the new size and hands it on.
    owner_->QWidget::resize(rect.size());
    return S_OK;
  }
  HRESULT InvalidateControl() override {
    if (owner_) owner_->update();
    return S_OK;
  }

  HRESULT Invoke(DISPID id, const Variant* args, int n) override {
    if (!owner_) return S_OK;
    auto i2 = [&](int i) { return i < n ? qint16(args[i].whole()) : qint16(0); };
    auto i4 = [&](int i) { return i < n ? qint32(args[i].whole()) : qint32(0); };
    switch (id) {
      case eventid::Click:
        emit owner_->Click();
        break;
      case eventid::DblClick:
        emit owner_->DblClick();
        break;
      case eventid::MouseDown:
        emit owner_->MouseDown(i2(0), i2(1), i4(2), i4(3));
        break;
      case eventid::MouseMove:
        emit owner_->MouseMove(i2(0), i2(1), i4(2), i4(3));
        break;
      case eventid::MouseUp:
        emit owner_->MouseUp(i2(0), i2(1), i4(2), i4(3));
        break;
      case eventid::Notify:
        emit owner_->Notify();
        break;
      case eventid::Progress:
        emit owner_->Progress(i2(0), i2(1));
        break;
      case eventid::AsyncProgress:
        emit owner_->AsyncProgress(i2(0), i4(1), i4(2), n > 3 && args[3].toBool(), i4(4));
        break;
      default:
        break;
    }
    return S_OK;
  }

  HRESULT OnChanged(DISPID id) override {
    if (owner_) emit owner_->propertyChanged(id);
    return S_OK;
  }
  HRESULT OnRequestEdit(DISPID) override { return S_OK; }

 private:
  ~RastrelHost() = default;
  RastrelControl* owner_;
  uint32_t refs_ = 1;
};

// ---- loading the library ----

namespace {
QString& libraryFolder() {
  static QString folder;
  return folder;
}
}  // namespace

void setRastrelFolder(const QString& folder) {
  libraryFolder() = folder;
}

// The running program's folder; an installed program finds the library in the prefix's
// library folder for Glimmora instead (GLIMMORA_LIBRARIES_FROM_BIN, relative to the program's
// folder, comes from the build's install folders).
QString defaultLibraryFolder() {
  const QString own = QCoreApplication::applicationDirPath();
  const QString installed = QDir::cleanPath(own + QStringLiteral("/" GLIMMORA_LIBRARIES_FROM_BIN));
  if (QFileInfo::exists(installed + QStringLiteral("/librastrel3.so"))) return installed;
  return own;
}

QString rastrelLibraryPath() {
  QString folder = libraryFolder();
  if (folder.isEmpty()) folder = defaultLibraryFolder();
  return QDir(folder).filePath(QStringLiteral("librastrel3.so"));
}

IClassFactory* rastrelClassFactory(const Guid& clsid, QString* error) {
  auto fail = [error](const QString& reason) -> IClassFactory* {
    if (error) *error = reason;
    return nullptr;
  };
  // A library stays loaded for the life of the process: objects and their windows live in it.
  // Deleting a QLibrary does not unload it, so the table owns its entries.
  static std::map<QString, std::unique_ptr<QLibrary>> libraries;
  const QString path = rastrelLibraryPath();
  std::unique_ptr<QLibrary>& library = libraries[path];
  if (!library) library = std::make_unique<QLibrary>(path);
  if (!library->isLoaded() && !library->load())
    return fail(QStringLiteral("The imaging control library %1 cannot be loaded: %2")
                    .arg(QDir::toNativeSeparators(path), library->errorString()));
  auto getClassObject =
      reinterpret_cast<RastrelGetClassObjectFn>(library->resolve("DllGetClassObject"));
  if (!getClassObject)
    return fail(QStringLiteral("%1 is not an imaging control library.")
                    .arg(QDir::toNativeSeparators(path)));
  void* factory = nullptr;
  const HRESULT hr = getClassObject(&clsid, &IID_IClassFactory, &factory);
  if (failed(hr) || !factory)
    return fail(QStringLiteral("The imaging control class is not available (error 0x%1).")
                    .arg(quint32(hr), 8, 16, QLatin1Char('0')));
  return static_cast<IClassFactory*>(factory);
}

RastrelControl* createRastrel(QWidget* parent, QString* error) {
  IClassFactory* factory = rastrelClassFactory(CLSID_Rastrel, error);
  if (!factory) return nullptr;
  void* object = nullptr;
  const HRESULT hr = factory->CreateInstance(nullptr, IID_IUnknown, &object);
  factory->Release();
  if (failed(hr) || !object) {
    if (error)
      *error = QStringLiteral("The imaging control cannot be created (error 0x%1).")
                   .arg(quint32(hr), 8, 16, QLatin1Char('0'));
    return nullptr;
  }
  auto* unknown = static_cast<IUnknown*>(object);
  auto* control = new RastrelControl(parent, unknown);
  unknown->Release();
  if (!control->dispatch_ || !control->object_) {
    if (error) *error = QStringLiteral("The imaging control lacks its dispatch interface.");
    delete control;
    return nullptr;
  }
  return control;
}

// ---- property files ----

namespace {

// A font object of the application's own, for fonts read back from a property file.
class StoredFont final : public IFont {
 public:
  explicit StoredFont(const QFont& font) : font_(font) {}
  HRESULT QueryInterface(const Guid& iid, void** out) override {
    if (!(iid == IID_IUnknown || iid == IID_IFont)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<IFont*>(this);
    AddRef();
    return S_OK;
  }
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    const uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT get_Font(QFont* font) override {
    *font = font_;
    return S_OK;
  }
  HRESULT put_Font(const QFont& font) override {
    font_ = font;
    return S_OK;
  }

 private:
  ~StoredFont() = default;
  QFont font_;
  uint32_t refs_ = 1;
};

// A property bag over a JSON object: name -> {"type": VarType, "value": ...}; fonts as
// {"type": 13, "font": "<description>"}. Other objects are not stored.
class JsonBag final : public IPropertyBag {
 public:
  explicit JsonBag(QJsonObject values = {}) : values_(std::move(values)) {}
  HRESULT QueryInterface(const Guid&, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }

  HRESULT Read(const QString& name, Variant* value) override {
    if (!values_.contains(name)) return E_INVALIDARG;
    const QJsonObject item = values_.value(name).toObject();
    const int type = item.value(QStringLiteral("type")).toInt(-1);
    const QJsonValue v = item.value(QStringLiteral("value"));
    Variant read;
    switch (type) {
      case VT_I2:
        read = Variant::i2(qint16(v.toInt()));
        break;
      case VT_I4:
        read = Variant::i4(qint32(v.toInteger()));
        break;
      case VT_UI4:
        read = Variant::ui4(quint32(v.toInteger()));
        break;
      case VT_BOOL:
        read = Variant::boolean(v.toBool());
        break;
      case VT_R4:
        read = Variant::r4(float(v.toDouble()));
        break;
      case VT_R8:
        read = Variant::r8(v.toDouble());
        break;
      case VT_BSTR:
        read = Variant::str(v.isNull() ? QString() : v.toString());
        break;
      case VT_UNKNOWN: {
        QFont font;
        if (!font.fromString(item.value(QStringLiteral("font")).toString())) return E_FAIL;
        auto* stored = new StoredFont(font);
        read = Variant::object(stored);
        stored->Release();
        break;
      }
      default:
        return DISP_E_TYPEMISMATCH;
    }
    if (value->isEmpty()) {
      *value = read;
      return S_OK;
    }
    return read.changeType(value->type(), value);
  }

  HRESULT Write(const QString& name, const Variant& value) override {
    QJsonObject item{{QStringLiteral("type"), int(value.type())}};
    switch (value.type()) {
      case VT_I2:
      case VT_I4:
      case VT_UI4:
        item.insert(QStringLiteral("value"), qint64(value.whole()));
        break;
      case VT_BOOL:
        item.insert(QStringLiteral("value"), value.toBool());
        break;
      case VT_R4:
      case VT_R8:
        item.insert(QStringLiteral("value"), value.real());
        break;
      case VT_BSTR:
        item.insert(QStringLiteral("value"),
                    value.string().isNull() ? QJsonValue() : QJsonValue(value.string()));
        break;
      case VT_UNKNOWN:
      case VT_DISPATCH: {
        IFont* font = nullptr;
        if (!value.object() ||
            failed(value.object()->QueryInterface(IID_IFont, reinterpret_cast<void**>(&font))))
          return S_OK;  // pictures are not kept in files
        QFont f;
        font->get_Font(&f);
        font->Release();
        item.insert(QStringLiteral("type"), int(VT_UNKNOWN));
        item.insert(QStringLiteral("font"), f.toString());
        break;
      }
      default:
        return DISP_E_TYPEMISMATCH;
    }
    values_.insert(name, item);
    return S_OK;
  }
  const QJsonObject& values() const { return values_; }

 private:
  QJsonObject values_;
};

IPersistPropertyBag* persistOf(IRastrel* dispatch) {
  void* out = nullptr;
  if (!dispatch || failed(dispatch->QueryInterface(IID_IPersistPropertyBag, &out))) return nullptr;
  return static_cast<IPersistPropertyBag*>(out);
}

QString hex(HRESULT hr) {
  return QStringLiteral("0x%1").arg(quint32(hr), 8, 16, QLatin1Char('0'));
}

}  // namespace

bool RastrelControl::saveProperties(const QString& path, QString* error) {
  IPersistPropertyBag* persist = persistOf(dispatch_);
  if (!persist) return false;
  JsonBag bag;
  const HRESULT hr = persist->Save(&bag, true, true);
  persist->Release();
  if (failed(hr)) {
    if (error)
      *error = QStringLiteral("The control's properties cannot be saved (error %1).").arg(hex(hr));
    return false;
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(bag.values()).toJson()) < 0 ||
      !file.commit()) {
    if (error) *error = QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
    return false;
  }
  return true;
}

bool RastrelControl::loadProperties(const QString& path, QString* error) {
  QFile file(path);
  if (!file.exists()) return true;
  QJsonParseError parse{};
  const QJsonDocument doc = file.open(QIODevice::ReadOnly)
                                ? QJsonDocument::fromJson(file.readAll(), &parse)
                                : QJsonDocument();
  if (!doc.isObject()) {
    if (error) *error = QStringLiteral("%1 holds no stored control properties.").arg(path);
    return false;
  }
  IPersistPropertyBag* persist = persistOf(dispatch_);
  if (!persist) return false;
  JsonBag bag(doc.object());
  const HRESULT hr = persist->Load(&bag);
  persist->Release();
  if (failed(hr)) {
    if (error)
      *error = QStringLiteral("A property stored in %1 was refused (error %2).").arg(path, hex(hr));
    return false;
  }
  return true;
}

void RastrelControl::showPropertyPages() {
  if (object_) object_->DoVerb(0, window());
}

RastrelControl* createRastrel(QWidget* parent, const QString& propertyFile, QString* error) {
  RastrelControl* control = createRastrel(parent, error);
  if (control) control->loadProperties(propertyFile, error);
  return control;
}

// ---- the wrapper ----

RastrelControl::RastrelControl(QWidget* parent, IUnknown* control) : QWidget(parent) {
  control->QueryInterface(IID_IRastrel, reinterpret_cast<void**>(&dispatch_));
  control->QueryInterface(IID_IRastrelObject, reinterpret_cast<void**>(&object_));
  if (!dispatch_ || !object_) return;
  host_ = new RastrelHost(this);
  object_->SetClientSite(host_);
  uint32_t cookie = 0;
  object_->Advise(DIID_IRastrelEvents, static_cast<IRastrelEvents*>(host_), &cookie);
  object_->Advise(IID_IPropertyNotifySink, static_cast<IPropertyNotifySink*>(host_), &cookie);
  QWidget::resize(100, 100);
  object_->InPlaceActivate(this, rect(), &window_);
}

RastrelControl::~RastrelControl() {
  if (host_) host_->detach();
  if (object_) {
    object_->SetClientSite(nullptr);
    object_->Release();
  }
  if (dispatch_) dispatch_->Release();  // the last reference: the control object goes
  if (host_) host_->Release();
}

void RastrelControl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (object_) object_->SetObjectRects(rect());
}

void RastrelControl::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
}

void RastrelControl::setDesignMode(bool design) {
  designMode_ = design;
}

HRESULT RastrelControl::invoke(DISPID id, InvokeKind kind, std::initializer_list<Variant> args,
                               Variant* result, ExcepInfo* excep) {
  const std::vector<Variant> values(args);
  ExcepInfo info;
  lastResult_ = dispatch_
                    ? dispatch_->Invoke(id, kind, values.data(), int(values.size()), result, &info)
                    : E_UNEXPECTED;
  lastError_ = info;
  if (excep) *excep = info;
  return lastResult_;
}

Variant RastrelControl::get(DISPID id) {
  Variant v;
  invoke(id, InvokeKind::Get, {}, &v);
  return v;
}

bool RastrelControl::put(DISPID id, const Variant& value) {
  return succeeded(invoke(id, InvokeKind::Put, {value}, nullptr));
}

Variant RastrelControl::call(DISPID id, std::initializer_list<Variant> args) {
  Variant v;
  invoke(id, InvokeKind::Method, args, &v);
  return v;
}

qint32 RastrelControl::getI4(DISPID id) {
  Variant v = get(id), n;
  return succeeded(v.changeType(VT_I4, &n)) ? qint32(n.whole()) : 0;
}

bool RastrelControl::getBool(DISPID id) {
  return get(id).toBool();
}

QString RastrelControl::getString(DISPID id) {
  const Variant v = get(id);
  return v.type() == VT_BSTR ? v.string() : QString();
}

namespace {
Variant i2(qint16 v) {
  return Variant::i2(v);
}
Variant i4(qint32 v) {
  return Variant::i4(v);
}
Variant b(bool v) {
  return Variant::boolean(v);
}
Variant s(const QString& v) {
  return Variant::str(v);
}
}  // namespace

// Loading and information
QString RastrelControl::fileName() {
  return getString(dispid::FileName);
}
void RastrelControl::setFileName(const QString& path) {
  put(dispid::FileName, s(path));
}
qint16 RastrelControl::imagError() {
  return qint16(getI4(dispid::ImagError));
}
qint16 RastrelControl::fxError() {
  return qint16(getI4(dispid::FXError));
}
QString RastrelControl::picPassword() {
  return getString(dispid::PICPassword);
}
void RastrelControl::setPICPassword(const QString& p) {
  put(dispid::PICPassword, s(p));
}
qint16 RastrelControl::iWidth() {
  return qint16(getI4(dispid::IWidth));
}
qint16 RastrelControl::iHeight() {
  return qint16(getI4(dispid::IHeight));
}
qint16 RastrelControl::ibpp() {
  return qint16(getI4(dispid::IBPP));
}
qint16 RastrelControl::ipBitsPixel() {
  return qint16(getI4(dispid::IPBitsPixel));
}
qint32 RastrelControl::iFileSize() {
  return getI4(dispid::IFileSize);
}
qint16 RastrelControl::iFormat() {
  return qint16(getI4(dispid::IFormat));
}
qint32 RastrelControl::uniqueColors() {
  return qint32(call(dispid::UniqueColors).whole());
}
qint32 RastrelControl::numPages(const QString& path) {
  return qint32(call(dispid::NumPages, {s(path)}).whole());
}
void RastrelControl::readAhead(const QStringList& paths) {
  call(dispid::ReadAhead, {s(paths.join(QLatin1Char('\n')))});
}
bool RastrelControl::showPreview(const QString& path) {
  return call(dispid::ShowPreview, {s(path)}).toBool();
}
qint32 RastrelControl::readAheadLimit() {
  return getI4(dispid::ReadAheadLimit);
}
void RastrelControl::setReadAheadLimit(qint32 mebibytes) {
  put(dispid::ReadAheadLimit, i4(mebibytes));
}

// Saving
QString RastrelControl::saveFileName() {
  return getString(dispid::SaveFileName);
}
void RastrelControl::setSaveFileName(const QString& p) {
  put(dispid::SaveFileName, s(p));
}
void RastrelControl::saveFile() {
  call(dispid::SaveFile);
}
qint16 RastrelControl::saveFileType() {
  return qint16(getI4(dispid::SaveFileType));
}
void RastrelControl::setSaveFileType(qint16 t) {
  put(dispid::SaveFileType, i2(t));
}
qint16 RastrelControl::saveJPGChromFactor() {
  return qint16(getI4(dispid::SaveJPGChromFactor));
}
void RastrelControl::setSaveJPGChromFactor(qint16 q) {
  put(dispid::SaveJPGChromFactor, i2(q));
}
bool RastrelControl::saveJPGProgressive() {
  return getBool(dispid::SaveJPGProgressive);
}
void RastrelControl::setSaveJPGProgressive(bool on) {
  put(dispid::SaveJPGProgressive, b(on));
}
bool RastrelControl::savePNGInterlaced() {
  return getBool(dispid::SavePNGInterlaced);
}
void RastrelControl::setSavePNGInterlaced(bool on) {
  put(dispid::SavePNGInterlaced, b(on));
}
qint16 RastrelControl::saveTIFCompression() {
  return qint16(getI4(dispid::SaveTIFCompression));
}
void RastrelControl::setSaveTIFCompression(qint16 c) {
  put(dispid::SaveTIFCompression, i2(c));
}

// Picture handles
qint32 RastrelControl::hDib() {
  return getI4(dispid::hDib);
}
void RastrelControl::setHDib(qint32 dib) {
  put(dispid::hDib, i4(dib));
}
qint32 RastrelControl::copyDib() {
  return qint32(call(dispid::CopyDib).whole());
}
qint32 RastrelControl::copyRubberbandDib() {
  return getI4(dispid::CopyRubberbandDib);
}
qint32 RastrelControl::picture() {
  const Variant v = get(dispid::Picture);
  auto* unknown = v.object();
  if (!unknown) return 0;
  IPicture* picture = nullptr;
  if (failed(unknown->QueryInterface(IID_IPicture, reinterpret_cast<void**>(&picture))) || !picture)
    return 0;
  uint32_t handle = 0;
  picture->get_Handle(&handle);
  picture->Release();
  return qint32(handle);
}

// Editing
bool RastrelControl::undoEnabled() {
  return getBool(dispid::UndoEnabled);
}
void RastrelControl::setUndoEnabled(bool on) {
  put(dispid::UndoEnabled, b(on));
}
void RastrelControl::undo() {
  call(dispid::Undo);
}
void RastrelControl::flip() {
  call(dispid::Flip);
}
void RastrelControl::mirror() {
  call(dispid::Mirror);
}
void RastrelControl::negate() {
  call(dispid::Negate);
}
void RastrelControl::autoContrast() {
  call(dispid::AutoContrast);
}
void RastrelControl::sharpen(qint16 a) {
  call(dispid::Sharpen, {i2(a)});
}
void RastrelControl::soften(qint16 a) {
  call(dispid::Soften, {i2(a)});
}
void RastrelControl::rotate(double degrees) {
  call(dispid::Rotate, {Variant::r8(degrees)});
}
void RastrelControl::brightness(qint16 v) {
  call(dispid::Brightness, {i2(v)});
}
void RastrelControl::contrast(qint16 v) {
  call(dispid::Contrast, {i2(v)});
}
void RastrelControl::adjustRGB(qint16 type, qint16 r, qint16 g, qint16 bl) {
  call(dispid::AdjustRGB, {i2(type), i2(r), i2(g), i2(bl)});
}
void RastrelControl::gamma(float v) {
  call(dispid::Gamma, {Variant::r4(v)});
}
void RastrelControl::colorDepth(qint16 bits, qint16 palette, qint16 dither) {
  call(dispid::ColorDepth, {i2(bits), i2(palette), i2(dither)});
}
void RastrelControl::resizeImage(qint16 w, qint16 h) {
  call(dispid::Resize, {i2(w), i2(h)});
}
void RastrelControl::resample(qint16 w, qint16 h) {
  call(dispid::Resample, {i2(w), i2(h)});
}
void RastrelControl::picResize(qint16 w, qint16 h) {
  call(dispid::PICResize, {i2(w), i2(h)});
}
void RastrelControl::crop(qint32 x, qint32 y, qint32 w, qint32 h) {
  call(dispid::Crop, {i4(x), i4(y), i4(w), i4(h)});
}

// View
void RastrelControl::zoom(float factor) {
  call(dispid::Zoom, {Variant::r4(factor)});
}
qint16 RastrelControl::autoSize() {
  return qint16(getI4(dispid::AutoSize));
}
void RastrelControl::setAutoSize(qint16 mode) {
  put(dispid::AutoSize, i2(mode));
}
qint16 RastrelControl::scrollBars() {
  return qint16(getI4(dispid::ScrollBars));
}
void RastrelControl::setScrollBars(qint16 bars) {
  put(dispid::ScrollBars, i2(bars));
}
qint32 RastrelControl::scrollX() {
  return getI4(dispid::ScrollX);
}
void RastrelControl::setScrollX(qint32 x) {
  put(dispid::ScrollX, i4(x));
}
qint32 RastrelControl::scrollY() {
  return getI4(dispid::ScrollY);
}
void RastrelControl::setScrollY(qint32 y) {
  put(dispid::ScrollY, i4(y));
}
qint16 RastrelControl::paletteMode() {
  return qint16(getI4(dispid::Palette));
}
void RastrelControl::setPaletteMode(qint16 p) {
  put(dispid::Palette, i2(p));
}
qint16 RastrelControl::showDithered() {
  return qint16(getI4(dispid::ShowDithered));
}
void RastrelControl::setShowDithered(qint16 d) {
  put(dispid::ShowDithered, i2(d));
}
qint16 RastrelControl::displayMode() {
  return qint16(getI4(dispid::DisplayMode));
}
void RastrelControl::setDisplayMode(qint16 m) {
  put(dispid::DisplayMode, i2(m));
}
bool RastrelControl::managePalette() {
  return getBool(dispid::ManagePalette);
}
void RastrelControl::setManagePalette(bool on) {
  put(dispid::ManagePalette, b(on));
}
quint32 RastrelControl::backColor() {
  return quint32(get(dispid::BackColor).whole());
}
void RastrelControl::setBackColor(quint32 c) {
  put(dispid::BackColor, Variant::ui4(c));
}
bool RastrelControl::controlEnabled() {
  return getBool(dispid::Enabled);
}
void RastrelControl::setControlEnabled(bool on) {
  put(dispid::Enabled, b(on));
}
bool RastrelControl::oleDropAllowed() {
  return getBool(dispid::OLEDropAllowed);
}
void RastrelControl::setOLEDropAllowed(bool on) {
  put(dispid::OLEDropAllowed, b(on));
}
void RastrelControl::refresh() {
  call(dispid::Refresh);
}

// Rubber band
void RastrelControl::rubberBand(bool on, qint32 x, qint32 y, bool negate) {
  call(dispid::RubberBand, {b(on), i4(x), i4(y), b(negate)});
}
void RastrelControl::rubberbandUpdate(qint32 x, qint32 y) {
  call(dispid::RubberbandUpdate, {i4(x), i4(y)});
}
qint32 RastrelControl::rubberBandL() {
  return getI4(dispid::RubberBandL);
}
qint32 RastrelControl::rubberBandT() {
  return getI4(dispid::RubberBandT);
}
qint32 RastrelControl::rubberBandW() {
  return getI4(dispid::RubberBandW);
}
qint32 RastrelControl::rubberBandH() {
  return getI4(dispid::RubberBandH);
}

}  // namespace glim
