#include "control.h"

#include <QApplication>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <cstdint>

#include "cancelwatch.h"
#include "controlwindow.h"
#include "dibimage.h"
#include "members.h"
#include "objects.h"
#include "propertypages.h"

namespace rastrel::impl {

namespace {

constexpr uint32_t kButtonFace = 0x8000000F;  // the system button-face colour as an OLE colour
constexpr int kHimetricPerInch = 2540;
constexpr int kPixelsPerInch = 96;
// The engine asks between rows; the event loop runs at most this often (milliseconds), which
// keeps a window smooth without slowing a load.
constexpr int kPollIntervalMs = 15;

// Extents come from stored property streams, so any int must convert without overflow.
int toHimetric(int pixels) {
  return int(std::clamp<int64_t>(int64_t(pixels) * kHimetricPerInch / kPixelsPerInch, INT32_MIN,
                                 INT32_MAX));
}
int toPixels(int himetric) {
  return int((int64_t(himetric) * kPixelsPerInch + kHimetricPerInch / 2) / kHimetricPerInch);
}

template <class T>
T* as(Control* c) {
  return static_cast<T*>(c);
}

}  // namespace

// Construction order: font, engine instance, back colour, progress messages, enabled, no drop.
Control::Control() {
  addObject();
  font_ = QFont(QStringLiteral("Sans Serif"), 8);
  CV_CreateInstance(&engine_);
  CV_SetBackColor(engine_, kButtonFace);
  poster_ = std::make_unique<QObject>();
  CV_SetProgressMessages(engine_, kProgressMessage, kAsyncProgressMessage);
  CV_SetPostMessage(engine_, &Control::postFromEngine, this);
  CV_SetPollFunction(engine_, &Control::pollFromEngine, this);
  enabled_ = true;
  oleDrop_ = false;
}

Control::~Control() {
  CV_SetPostMessage(engine_, nullptr, nullptr);
  CV_SetPollFunction(engine_, nullptr, nullptr);
  CV_DestroyInstance(engine_);
  if (ControlWindow* w = window()) {
    if (oleDrop_) w->setDropTarget(false);
    // The window may be inside one of its own event handlers (a sink released the control
    // from an event): it goes once that handler has returned.
    w->detach();
    w->hide();
    w->deleteLater();
  }
  releaseAll();
  removeObject();
}

void Control::releaseAll() {
  for (const Sink& s : sinks_) s.sink->Release();
  sinks_.clear();
  if (mouseIcon_) mouseIcon_->Release();
  if (picture_) picture_->Release();
  if (site_) site_->Release();
  mouseIcon_ = picture_ = nullptr;
  site_ = nullptr;
}

// ---- IUnknown ----

HRESULT Control::QueryInterface(const Guid& iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IRastrel)
    *out = as<IRastrel>(this);
  else if (iid == IID_IRastrelObject)
    *out = as<IRastrelObject>(this);
  else if (iid == IID_IPersistPropertyBag)
    *out = as<IPersistPropertyBag>(this);
  else if (iid == IID_IPersistStreamInit)
    *out = as<IPersistStreamInit>(this);
  else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

uint32_t Control::AddRef() {
  return ++refs_;
}

uint32_t Control::Release() {
  const uint32_t left = --refs_;
  if (left == 0) delete this;
  return left;
}

// ---- IRastrel ----

HRESULT Control::GetIDOfName(const QString& name, DISPID* dispid) {
  if (!dispid) return E_POINTER;
  const Member* m = findMember(name);
  if (!m) return DISP_E_UNKNOWNNAME;
  *dispid = m->id;
  return S_OK;
}

int Control::MemberCount() {
  return int(members().size());
}

HRESULT Control::GetMemberInfo(int index, MemberInfo* info) {
  if (!info) return E_POINTER;
  if (index < 0 || index >= MemberCount()) return E_INVALIDARG;
  *info = members()[size_t(index)].info();
  return S_OK;
}

namespace {

// Converts one value to a declared type. Object types also take "nothing" (empty or null).
HRESULT convert(const Variant& value, VarType type, Variant* out) {
  if ((type == VT_DISPATCH || type == VT_UNKNOWN) &&
      (value.type() == VT_EMPTY || value.type() == VT_NULL)) {
    *out = Variant::object(nullptr, type);
    return S_OK;
  }
  return value.changeType(type, out);
}

}  // namespace

HRESULT Control::readOnlyError(ExcepInfo* excep) const {
  if (excep) {
    excep->code = CTL_ERR_SETNOTSUPPORTED;
    excep->source = kControlClassName;
    excep->description = QStringLiteral("Property is read-only");
    excep->helpFile = kHelpFile;
    excep->helpContext = CTL_ERR_SETNOTSUPPORTED;
    excep->scode = CTL_E_SETNOTSUPPORTED;
  }
  return CTL_E_SETNOTSUPPORTED;
}

HRESULT Control::Invoke(DISPID id, InvokeKind kind, const Variant* args, int argCount,
                        Variant* result, ExcepInfo* excep) {
  if (argCount < 0 || (argCount > 0 && !args)) return E_INVALIDARG;
  const Member* m = findMember(id);
  if (!m) return DISP_E_MEMBERNOTFOUND;
  Variant scratch;
  Variant& out = result ? *result : scratch;
  out = Variant();

  // A property called as a method is read, as automation clients do.
  if (kind == InvokeKind::Method && !(m->kinds & kMethod)) kind = InvokeKind::Get;
  // During a long call the event loop runs; the engine is in the middle of that call.
  if (inLongCall() && kind != InvokeKind::Get) return E_PENDING;

  switch (kind) {
    case InvokeKind::Get: {
      if (!(m->kinds & kGet)) return DISP_E_MEMBERNOTFOUND;
      if (argCount != 0) return DISP_E_BADPARAMCOUNT;
      if (m->runModeGet() && !runMode()) return E_FAIL;
      return m->get(*this, *m, nullptr, &out);
    }
    case InvokeKind::Put:
    case InvokeKind::PutRef: {
      if (m->kinds & kMethod) return DISP_E_MEMBERNOTFOUND;
      if (m->readOnly()) return readOnlyError(excep);
      if (!(m->kinds & uint16_t(kind))) return DISP_E_MEMBERNOTFOUND;
      if (argCount != 1) return DISP_E_BADPARAMCOUNT;
      Variant value;
      if (const HRESULT hr = convert(args[0], m->type, &value); failed(hr)) return hr;
      return m->put(*this, *m, &value, nullptr);
    }
    case InvokeKind::Method: {
      if (argCount < m->optionalFrom || argCount > m->argc) return DISP_E_BADPARAMCOUNT;
      std::array<Variant, 12> converted;
      for (int i = 0; i < m->argc; ++i) {
        if (i >= argCount || args[i].isMissing()) {
          if (i < m->optionalFrom) return DISP_E_PARAMNOTOPTIONAL;
          converted[size_t(i)] = Variant::missing();
          continue;
        }
        if (const HRESULT hr = convert(args[i], m->args[size_t(i)], &converted[size_t(i)]);
            failed(hr))
          return hr;
      }
      return m->call(*this, *m, converted.data(), &out);
    }
  }
  return DISP_E_MEMBERNOTFOUND;
}

// ---- container side ----

bool Control::runMode() const {
  bool run = true;
  if (site_ && failed(site_->GetAmbientUserMode(&run))) run = true;
  return run;
}

void Control::changed(DISPID id) {
  if (runMode()) return;
  dirty_ = true;
  notifySinks(id);
}

void Control::notifySinks(DISPID id) {
  std::vector<IPropertyNotifySink*> targets;
  for (const Sink& s : sinks_)
    if (s.iid == IID_IPropertyNotifySink) {
      s.sink->AddRef();
      targets.push_back(static_cast<IPropertyNotifySink*>(s.sink));
    }
  for (IPropertyNotifySink* sink : targets) {
    sink->OnChanged(id);
    sink->Release();
  }
}

void Control::fireEvent(DISPID id, std::initializer_list<Variant> args) {
  const std::vector<Variant> values(args);
  std::vector<IRastrelEvents*> targets;
  for (const Sink& s : sinks_)
    if (s.iid == DIID_IRastrelEvents) {
      s.sink->AddRef();
      targets.push_back(static_cast<IRastrelEvents*>(s.sink));
    }
  AddRef();  // a sink may release the control from its handler
  for (IRastrelEvents* sink : targets) {
    sink->Invoke(id, values.data(), int(values.size()));
    sink->Release();
  }
  Release();
}

void Control::requestRepaint() {
  if (site_) site_->InvalidateControl();
  if (ControlWindow* w = window()) w->update();
}

HRESULT Control::SetClientSite(IRastrelSite* site) {
  if (site) site->AddRef();
  if (site_) site_->Release();
  site_ = site;
  return S_OK;
}

HRESULT Control::Advise(const Guid& iid, IUnknown* sink, uint32_t* cookie) {
  if (!sink || !cookie) return E_POINTER;
  if (!(iid == DIID_IRastrelEvents || iid == IID_IPropertyNotifySink)) return E_NOINTERFACE;
  void* typed = nullptr;
  if (failed(sink->QueryInterface(iid, &typed)) || !typed) return E_NOINTERFACE;
  *cookie = nextCookie_++;
  sinks_.push_back({*cookie, iid, static_cast<IUnknown*>(typed)});
  return S_OK;
}

HRESULT Control::Unadvise(uint32_t cookie) {
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it)
    if (it->cookie == cookie) {
      IUnknown* sink = it->sink;
      sinks_.erase(it);
      sink->Release();
      return S_OK;
    }
  return int32_t(0x80040200);  // CONNECT_E_NOCONNECTION
}

HRESULT Control::IsDirty() {
  return dirty_ ? S_OK : S_FALSE;
}

// ---- window ----

ControlWindow* Control::window() const {
  return window_.data();
}

HRESULT Control::createWindow(QWidget* parent, const QRect& rect) {
  if (window()) return S_OK;
  if (!parent) return E_INVALIDARG;
  auto* w = new ControlWindow(this, parent);
  window_ = w;
  rect_ = rect;
  extent_ = QSize(toHimetric(rect.width()), toHimetric(rect.height()));
  w->setGeometry(rect);
  if (oleDrop_) w->setDropTarget(true);
  const bool run = runMode();
  CV_AttachWindow(engine_, windowHandle(w), windowHandle(w), run ? int16_t(-1) : int16_t(0));
  if (run) w->setEnabled(enabled_);
  w->syncScrollBars();
  w->show();
  return S_OK;
}

HRESULT Control::InPlaceActivate(QWidget* parent, const QRect& rect, QWidget** window) {
  const HRESULT hr = createWindow(parent, rect);
  if (window) *window = this->window();
  return hr;
}

HRESULT Control::SetObjectRects(const QRect& rect) {
  rect_ = rect;
  extent_ = QSize(toHimetric(rect.width()), toHimetric(rect.height()));
  if (ControlWindow* w = window()) w->setGeometry(rect);
  return S_OK;
}

HRESULT Control::GetExtent(QSize* himetric) {
  if (!himetric) return E_POINTER;
  *himetric = extent_;
  return S_OK;
}

HRESULT Control::SetExtent(const QSize& himetric) {
  if (himetric.width() < 0 || himetric.height() < 0) return E_INVALIDARG;
  extent_ = himetric;
  const QSize pixels(toPixels(himetric.width()), toPixels(himetric.height()));
  if (pixels != rect_.size()) {
    rect_.setSize(pixels);
    if (ControlWindow* w = window()) w->resize(pixels);
  }
  return S_OK;
}

void Control::viewChanged() {
  ControlWindow* w = window();
  if (!w) return;
  // With Update false the window keeps what it shows until Update, Refresh or Paint.
  if (CV_GetUpdate(engine_) == 0) return;
  w->syncScrollBars();
  w->update();
  checkPositionRect();
}

Control::BusyCursor::BusyCursor(const Control& control) {
  shown_ = qobject_cast<QApplication*>(QCoreApplication::instance()) &&
           CV_GetShowHourglass(control.engine()) != 0;
  if (shown_) QApplication::setOverrideCursor(Qt::WaitCursor);
}

Control::BusyCursor::~BusyCursor() {
  if (shown_) QApplication::restoreOverrideCursor();
}

Control::LongCall::LongCall(Control& control)
    : control_(control), busy_(control), outermost_(control.longCalls_ == 0) {
  control_.AddRef();  // a host's event handler may release the control meanwhile
  ++control_.longCalls_;
  if (!outermost_) return;
  control_.cancelRequested_ = false;
  control_.lastPoll_.invalidate();
}

Control::LongCall::~LongCall() {
  --control_.longCalls_;
  if (outermost_) control_.cancelWatch_.reset();
  control_.Release();
}

int16_t Control::pollFromEngine(void* context, CV_HANDLE, int16_t progressId) {
  return static_cast<Control*>(context)->poll(progressId) ? 1 : 0;
}

bool Control::poll(int16_t progressId) {
  if (!inLongCall() || polling_ || !qobject_cast<QApplication*>(QCoreApplication::instance()))
    return cancelRequested_;
  // CancelLoad with CancelMode stops loads, scans and processing methods; never a save, which
  // would leave a half-written file.
  const bool cancellable = progressId == CV_PROGRESS_LOAD || progressId == CV_PROGRESS_SCAN ||
                           progressId == CV_PROGRESS_PROCESS;
  const int16_t mode =
      cancellable && CV_GetCancelLoad(engine_) != 0 ? CV_GetCancelMode(engine_) : 0;
  const bool multitask = CV_GetMultitask(engine_) != 0;
  if (mode == kCancelNone && !multitask && progressId != CV_PROGRESS_SCAN) return false;
  if (lastPoll_.isValid() && lastPoll_.elapsed() < kPollIntervalMs) return cancelRequested_;
  lastPoll_.start();
  if (!cancelWatch_) cancelWatch_ = std::make_unique<CancelWatch>(mode, multitask);
  polling_ = true;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  polling_ = false;
  cancelRequested_ = cancelRequested_ || cancelWatch_->cancelRequested();
  return cancelRequested_;
}

HRESULT Control::printTo(QPaintDevice* device) {
  CV_HDIB dib = 0;
  CV_CopyDib(engine_, &dib);
  if (!dib) return S_OK;  // no picture: ImagError says so
  const QImage image = imageFromDib(dib);
  CV_DibFree(dib);
  if (image.isNull()) return E_OUTOFMEMORY;
  const int left = CV_GetPrinterLeft(engine_), top = CV_GetPrinterTop(engine_);
  QSizeF size(CV_GetPrinterWidth(engine_), CV_GetPrinterHeight(engine_));
  if (size.isEmpty()) {
    // Fit the page from (left, top) on, keeping the picture's proportions.
    size = QSizeF(image.size())
               .scaled(
                   QSizeF(std::max(1, device->width() - left), std::max(1, device->height() - top)),
                   Qt::KeepAspectRatio);
  }
  QPainter painter;
  if (!painter.begin(device)) return E_FAIL;
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const QRectF target(QPointF(left, top), size);
  if (CV_GetPrinterBanding(engine_) != 0) {
    // Bands of rows, each drawn on its own, so the device never takes the whole page at once.
    constexpr int kBandRows = 64;
    const double scale = size.height() / image.height();
    for (int y = 0; y < image.height(); y += kBandRows) {
      const int rows = std::min(kBandRows, image.height() - y);
      painter.drawImage(
          QRectF(target.left(), target.top() + y * scale, target.width(), rows * scale),
          image.copy(0, y, image.width(), rows));
    }
  } else {
    painter.drawImage(target, image);
  }
  return painter.end() ? S_OK : E_FAIL;
}

bool Control::customCursor(QCursor* cursor) const {
  if (!mouseIcon_) return false;
  void* typed = nullptr;
  if (failed(mouseIcon_->QueryInterface(IID_IPicture, &typed)) || !typed) return false;
  auto* picture = static_cast<IPicture*>(typed);
  uint32_t handle = 0;
  const bool ok = succeeded(picture->get_Handle(&handle));
  picture->Release();
  QImage image = ok ? imageFromDib(handle) : QImage();
  if (image.isNull()) return false;
  // Any picture may be the icon; a pointer stays pointer-sized.
  constexpr int kLargestPointer = 64;
  if (image.width() > kLargestPointer || image.height() > kLargestPointer)
    image = image.scaled(kLargestPointer, kLargestPointer, Qt::KeepAspectRatio,
                         Qt::SmoothTransformation);
  *cursor = QCursor(QPixmap::fromImage(image));
  return true;
}

void Control::checkPositionRect() {
  if (!site_ || !window()) return;
  CV_RECT r{};
  CV_GetControlRect(engine_, &r);
  const QSize wanted(r.right - r.left, r.bottom - r.top);
  if (wanted.isEmpty() || wanted == rect_.size()) return;
  site_->OnPosRectChange(QRect(rect_.topLeft(), wanted));
}

void Control::pictureLoaded() {
  viewChanged();
  ControlWindow* w = window();
  if (!w) return;
  Variant notify, delay;
  const Member* n = findMember(dispid::Notify);
  const Member* d = findMember(dispid::NotifyDelay);
  if (succeeded(n->get(*this, *n, nullptr, &notify)) && notify.toBool() &&
      succeeded(d->get(*this, *d, nullptr, &delay)))
    w->startNotifyTimer(int(delay.whole()));
}

void Control::setEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  if (runMode())
    if (ControlWindow* w = window()) w->setEnabled(on);
  notifySinks(dispid::Enabled);
}

void Control::setOleDropAllowed(bool on) {
  oleDrop_ = on;
  if (runMode())
    if (ControlWindow* w = window()) w->setDropTarget(on);
}

void Control::setFont(const QFont& font) {
  font_ = font;
  if (ControlWindow* w = window()) w->setFont(font);
}

void Control::setMouseIcon(IUnknown* icon) {
  if (icon) icon->AddRef();
  if (mouseIcon_) mouseIcon_->Release();
  mouseIcon_ = icon;
}

void Control::setStoredPicture(IUnknown* picture) {
  if (picture) picture->AddRef();
  if (picture_) picture_->Release();
  picture_ = picture;
}

void Control::showAbout() {
  QMessageBox::about(QApplication::activeWindow(), QStringLiteral("About Rastrel3"),
                     QStringLiteral("Rastrel3 imaging control, version 1.0\n"
                                    "Shows, transforms and saves pictures for its host."));
}

int16_t Control::propertyI2(DISPID id) {
  Variant value, number;
  if (failed(Invoke(id, InvokeKind::Get, nullptr, 0, &value, nullptr))) return 0;
  if (failed(value.changeType(VT_I2, &number))) return 0;
  return int16_t(number.whole());
}

void Control::loadDroppedFile(const QString& path) {
  const Variant name = Variant::str(path);
  Invoke(dispid::FileName, InvokeKind::Put, &name, 1, nullptr, nullptr);
}

// ---- engine notifications ----

// The engine may post from a worker thread: the message is queued to this control's thread.
void Control::postFromEngine(void* context, CV_HANDLE, uint32_t message) {
  auto* control = static_cast<Control*>(context);
  QMetaObject::invokeMethod(
      control->poster_.get(), [control, message] { control->engineMessage(message); },
      Qt::QueuedConnection);
}

void Control::engineMessage(uint32_t message) {
  if (message == kProgressMessage) {
    if (CV_GetImagError(engine_) == CV_ERR_CANCELLED) return;
    // Nor once the user asked for the cancel that the engine has yet to act on.
    if (cancelWatch_ && cancelWatch_->cancelRequested()) return;
    const int16_t id = CV_GetProgressId(engine_);
    const int16_t pct = CV_GetProgressPct(engine_);
    fireEvent(eventid::Progress, {Variant::i2(id), Variant::i2(pct)});
  } else if (message == kAsyncProgressMessage) {
    const CV_HANDLE h = engine_;
    fireEvent(eventid::AsyncProgress,
              {Variant::i2(CV_GetProgressId(h)), Variant::i4(CV_GetAsyncBytesProcessed(h)),
               Variant::i4(CV_GetAsyncTotalBytes(h)), Variant::boolean(CV_GetAsyncDone(h) != 0),
               Variant::i4(CV_GetAsyncError(h))});  // widened from 16
  }
}

// ---- verbs ----

// Verb 0 ("&Properties") and the standard properties verb (-7) open the property pages as
// tabs of one modal dialog.
HRESULT Control::DoVerb(int32_t verb, QWidget* parent) {
  if (verb != 0 && verb != -7) return E_NOTIMPL;
  AddRef();
  {
    auto dialog = createPropertyDialog(this, parent);
    dialog->exec();
  }
  Release();
  return S_OK;
}

// ---- object count ----

namespace {
std::atomic<int> g_objects{0};
std::atomic<int> g_locks{0};
}  // namespace

void addObject() {
  ++g_objects;
}
void removeObject() {
  --g_objects;
}
void lockServer(bool lock) {
  lock ? ++g_locks : --g_locks;
}
bool serverInUse() {
  return g_objects > 0 || g_locks > 0;
}

}  // namespace rastrel::impl
