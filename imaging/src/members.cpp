#include "members.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QHash>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <initializer_list>
#include <limits>
#include <tuple>
#include <type_traits>
#include <utility>

#include "acquire_members.h"
#include "control.h"
#include "controlwindow.h"
#include "dibimage.h"
#include "engine.h"
#include "objects.h"

namespace rastrel::impl {

namespace {

// ---- value conversion between variants and the engine's C types ----

template <class T>
Variant toVariant(VarType type, T value) {
  switch (type) {
    case VT_BOOL:
      return Variant::boolean(value != 0);
    case VT_I2:
      // Wider engine values (picture sizes up to 65535) saturate rather than wrap.
      return Variant::i2(int16_t(std::clamp<int64_t>(int64_t(value), -32768, 32767)));
    case VT_UI4:
      return Variant::ui4(uint32_t(value));
    case VT_R4:
      return Variant::r4(float(value));
    case VT_R8:
      return Variant::r8(double(value));
    default:
      return Variant::i4(int32_t(value));
  }
}

// One argument in the engine's C type. Strings go to the engine as UTF-8.
template <class A>
struct Arg {
  explicit Arg(const Variant& v)
      : value(v.type() == VT_R4 || v.type() == VT_R8 ? A(v.real()) : A(v.whole())) {}
  A get() const { return value; }
  A value;
};
template <>
struct Arg<const char*> {
  explicit Arg(const Variant& v) : bytes(v.string().toUtf8()) {}
  const char* get() const { return bytes.constData(); }
  QByteArray bytes;
};

// A missing optional argument stands for zero (false, 0).
inline Variant orZero(const Variant& v) {
  return v.isMissing() ? Variant::i4(0) : v;
}

template <class F>
struct EngineCall;
template <class... P>
struct EngineCall<void (*)(CV_HANDLE, P...)> {
  static constexpr size_t argCount = sizeof...(P);
};

template <class... P, size_t... I>
void callWith(void (*fn)(CV_HANDLE, P...), CV_HANDLE h, const Variant* args,
              std::index_sequence<I...>) {
  std::tuple<Arg<std::remove_cv_t<P>>...> converted{Arg<std::remove_cv_t<P>>(orZero(args[I]))...};
  fn(h, std::get<I>(converted).get()...);
}

QString engineString(int32_t (*getter)(CV_HANDLE, char*, int32_t), CV_HANDLE h) {
  const int32_t length = getter(h, nullptr, 0);
  if (length < 0) return QString();  // the engine holds no string: a null string
  QByteArray buf(length + 1, '\0');
  getter(h, buf.data(), buf.size());
  return QString::fromUtf8(buf.constData(), qstrnlen(buf.constData(), buf.size()));
}

// Failed loads, for bug reports: QT_LOGGING_RULES="rastrel.load=true".
Q_LOGGING_CATEGORY(lcLoad, "rastrel.load", QtWarningMsg)

// ---- handlers ----

// Pattern 1: engine-held property get.
template <auto Getter>
HRESULT getProp(Control& c, const Member& m, const Variant*, Variant* result) {
  *result = toVariant(m.type, Getter(c.engine()));
  return S_OK;
}

// Pattern 2: engine-held property put, then a change notification.
template <auto Setter>
HRESULT putProp(Control& c, const Member& m, const Variant* args, Variant*) {
  callWith(Setter, c.engine(), args, std::make_index_sequence<1>());
  c.changed(m.id);
  return S_OK;
}

// Pattern 5: strings.
template <auto Getter>
HRESULT getString(Control& c, const Member& m, const Variant*, Variant* result) {
  *result = Variant::str(engineString(Getter, c.engine()));
  return S_OK;
}

template <auto Setter>
HRESULT putString(Control& c, const Member& m, const Variant* args, Variant*) {
  Setter(c.engine(), args[0].string().toUtf8().constData());
  c.changed(m.id);
  return S_OK;
}

// Pattern 4: a method; the engine reports its own failure through ImagError. The view
// follows whatever the method did to the picture. Methods that may take long show the wait
// cursor (ShowHourglass); the quick ones, called on every mouse move, do not.
template <auto Fn>
HRESULT callQuick(Control& c, const Member&, const Variant* args, Variant*) {
  callWith(Fn, c.engine(), args, std::make_index_sequence<EngineCall<decltype(Fn)>::argCount>());
  c.viewChanged();
  return S_OK;
}

template <auto Fn>
HRESULT callMethod(Control& c, const Member& m, const Variant* args, Variant* r) {
  const Control::BusyCursor busy(c);
  return callQuick<Fn>(c, m, args, r);
}

// A method that may run long enough to want the event loop (saving).
template <auto Fn>
HRESULT callLong(Control& c, const Member& m, const Variant* args, Variant* r) {
  const Control::LongCall call(c);
  return callQuick<Fn>(c, m, args, r);
}

// A processing method: the engine polls while it works (as Multitask and CancelLoad ask), and
// the view follows once the call has ended, when the container may be called again.
template <auto Fn>
HRESULT callOperation(Control& c, const Member&, const Variant* args, Variant*) {
  {
    const Control::LongCall call(c);
    callWith(Fn, c.engine(), args, std::make_index_sequence<EngineCall<decltype(Fn)>::argCount>());
  }
  c.viewChanged();
  return S_OK;
}

// ---- special cases ----

HRESULT putFileName(Control& c, const Member& m, const Variant* args, Variant*) {
  {
    const Control::LongCall call(c);
    CV_SetFileName(c.engine(), args[0].string().toUtf8().constData());
  }
  if (const int16_t error = CV_GetImagError(c.engine()); error != 0)
    qCInfo(lcLoad).nospace() << "loading " << args[0].string() << " failed: error " << error << " ("
                             << CV_ErrorText(error) << ")";
  c.changed(m.id);
  c.pictureLoaded();
  return S_OK;
}

// ReadAhead(names): the pictures the host will show next, separated by newlines, most
// wanted first; the engine decodes them in the background. Nothing on screen changes.
HRESULT callReadAhead(Control& c, const Member&, const Variant* args, Variant*) {
  CV_ReadAhead(c.engine(), args[0].string().toUtf8().constData());
  return S_OK;
}

// ShowPreview(name): before a load of `name`, shows a reduced decode of it at once while the
// engine decodes the full picture on its read-ahead thread; the load that follows takes it
// from there and replaces the preview. Only for a window on screen, and not while loads may
// be cancelled or are to keep the window responsive (the wait for the full decode does not
// poll). True when a preview was shown.
HRESULT callShowPreview(Control& c, const Member&, const Variant* args, Variant* r) {
  ControlWindow* w = c.window();
  const bool polled = CV_GetCancelLoad(c.engine()) != 0 || CV_GetMultitask(c.engine()) != 0;
  const bool shown = w && w->isVisible() && !c.inLongCall() && !polled &&
                     CV_ShowPreview(c.engine(), args[0].string().toUtf8().constData()) != 0;
  if (shown) w->repaint();
  if (r) *r = Variant::boolean(shown);
  return S_OK;
}

HRESULT putHDib(Control& c, const Member& m, const Variant* args, Variant*) {
  CV_SetHDib(c.engine(), CV_HDIB(args[0].whole()));
  c.changed(m.id);
  c.pictureLoaded();
  return S_OK;
}

HRESULT getEnabled(Control& c, const Member&, const Variant*, Variant* result) {
  *result = Variant::boolean(c.enabled());
  return S_OK;
}
HRESULT putEnabled(Control& c, const Member&, const Variant* args, Variant*) {
  c.setEnabled(args[0].toBool());
  return S_OK;
}
HRESULT getOleDrop(Control& c, const Member&, const Variant*, Variant* result) {
  *result = Variant::boolean(c.oleDropAllowed());
  return S_OK;
}
HRESULT putOleDrop(Control& c, const Member& m, const Variant* args, Variant*) {
  c.setOleDropAllowed(args[0].toBool());
  c.changed(m.id);
  return S_OK;
}

// ManagePalette and BorderType: pattern 2, then the container repaints the control.
template <auto Setter>
HRESULT putAndRepaint(Control& c, const Member& m, const Variant* args, Variant* r) {
  putProp<Setter>(c, m, args, r);
  c.requestRepaint();
  return S_OK;
}

// CropX and CropY: pattern 2, then ScrollBars is set again so the scroll ranges follow.
template <auto Setter>
HRESULT putCrop(Control& c, const Member& m, const Variant* args, Variant* r) {
  putProp<Setter>(c, m, args, r);
  CV_SetScrollBars(c.engine(), CV_GetScrollBars(c.engine()));
  c.viewChanged();
  return S_OK;
}

// View properties: pattern 2, and the window shows the new view.
template <auto Setter>
HRESULT putView(Control& c, const Member& m, const Variant* args, Variant* r) {
  putProp<Setter>(c, m, args, r);
  c.viewChanged();
  return S_OK;
}

HRESULT getImagId(Control& c, const Member&, const Variant*, Variant* result) {
  *result = Variant::i4(int32_t(c.engine()));
  return S_OK;
}

HRESULT getHwnd(Control& c, const Member&, const Variant*, Variant* result) {
  *result = Variant::i4(int32_t(windowHandle(c.window())));
  return S_OK;
}

HRESULT getFont(Control& c, const Member&, const Variant*, Variant* result) {
  FontObject* font = new FontObject(c.font());
  *result = Variant::object(font, VT_DISPATCH);
  font->Release();
  return S_OK;
}
HRESULT putFont(Control& c, const Member& m, const Variant* args, Variant*) {
  QFont font;
  if (!fontOf(args[0].object(), &font)) return DISP_E_TYPEMISMATCH;
  c.setFont(font);
  c.changed(m.id);
  return S_OK;
}

HRESULT getMouseIcon(Control& c, const Member&, const Variant*, Variant* result) {
  *result = Variant::object(c.mouseIcon(), VT_DISPATCH);
  return S_OK;
}
HRESULT putMouseIcon(Control& c, const Member& m, const Variant* args, Variant*) {
  c.setMouseIcon(args[0].object());
  c.changed(m.id);
  return S_OK;
}

// Picture get: a new bitmap picture over the engine's bitmap and palette (not owned), or no
// object when the engine holds no bitmap.
HRESULT getPicture(Control& c, const Member&, const Variant*, Variant* result) {
  const uint32_t bitmap = CV_GetHBmp(c.engine());
  if (bitmap == 0) {
    *result = Variant::object(nullptr, VT_DISPATCH);
    return S_OK;
  }
  PictureObject* picture = new PictureObject(bitmap, CV_GetHPal(c.engine()));
  *result = Variant::object(picture, VT_DISPATCH);
  picture->Release();
  return S_OK;
}
// Picture put: the control shows a copy of the given picture (the object stays its owner's);
// no object leaves the control without a picture. An object whose handle no longer holds a
// picture (one that outlived its control) changes nothing shown.
HRESULT putPicture(Control& c, const Member& m, const Variant* args, Variant*) {
  IUnknown* object = args[0].object();
  c.setStoredPicture(object);
  if (!object) {
    CV_SetFileName(c.engine(), "");
  } else if (const uint32_t copy = copyOfPicture(object)) {
    CV_SetHDib(c.engine(), CV_HDIB(copy));
  }
  c.changed(m.id);
  c.pictureLoaded();
  return S_OK;
}

HRESULT callRefresh(Control& c, const Member&, const Variant*, Variant*) {
  if (ControlWindow* w = c.window()) w->repaint();
  return S_OK;
}
HRESULT callAbout(Control& c, const Member&, const Variant*, Variant*) {
  c.showAbout();
  return S_OK;
}

HRESULT callCreateCtlWindow(Control& c, const Member&, const Variant* args, Variant*) {
  if (c.hasWindow()) return S_OK;
  QWidget* parent = widgetForHandle(uint32_t(args[0].whole()));
  if (!parent) return E_INVALIDARG;
  const int left = int(args[1].whole()), top = int(args[2].whole());
  return c.createWindow(parent, QRect(left, top, int(args[3].whole()), int(args[4].whole())));
}

HRESULT callNumPages(Control& c, const Member&, const Variant* args, Variant* result) {
  int16_t pages = 0;
  CV_NumPages(c.engine(), args[0].string().toUtf8().constData(), &pages);
  *result = Variant::i4(pages);  // widened to 32 bits
  return S_OK;
}

HRESULT callUniqueColors(Control& c, const Member&, const Variant*, Variant* result) {
  int32_t count = 0;
  CV_UniqueColors(c.engine(), &count);
  *result = Variant::i4(count);
  return S_OK;
}

HRESULT callCopyDib(Control& c, const Member&, const Variant*, Variant* result) {
  CV_HDIB dib = 0;
  CV_CopyDib(c.engine(), &dib);
  *result = Variant::i4(int32_t(dib));
  return S_OK;
}

HRESULT callBitmapToDib(Control& c, const Member&, const Variant* args, Variant* result) {
  CV_HDIB dib = 0;
  CV_BitmapToDib(c.engine(), uint32_t(args[0].whole()), uint32_t(orZero(args[1]).whole()), &dib);
  *result = Variant::i4(int32_t(dib));
  return S_OK;
}

HRESULT callDibGetPixel(Control& c, const Member&, const Variant* args, Variant* result) {
  uint32_t color = 0;
  CV_DibGetPixel(c.engine(), int32_t(args[0].whole()), int32_t(args[1].whole()), &color);
  *result = Variant::ui4(color);
  return S_OK;
}

HRESULT callDibGetPalIndex(Control& c, const Member&, const Variant* args, Variant* result) {
  int16_t index = 0;
  CV_DibGetPalIndex(c.engine(), int32_t(args[0].whole()), int32_t(args[1].whole()), &index);
  *result = Variant::i2(index);
  return S_OK;
}

// LoadBuffer and LoadBlob: a picture file held in a memory block of the handle table.
HRESULT callLoadBuffer(Control& c, const Member&, const Variant* args, Variant*) {
  const Control::LongCall call(c);
  const CV_HDIB block = CV_HDIB(args[0].whole());
  const void* data = CV_DibLock(block);
  const int64_t available = data ? CV_DibSize(block) : 0;
  const int64_t wanted = args[1].isMissing() ? available : std::max<int64_t>(0, args[1].whole());
  // An unknown block reaches the engine as no data: its error goes to ImagError.
  CV_LoadBuffer(c.engine(), data, int32_t(std::min(wanted, available)));
  c.pictureLoaded();
  return S_OK;
}

// Matrix(intensity, divisor, bias, k1..k9): the 3x3 kernel row by row.
HRESULT callMatrix(Control& c, const Member&, const Variant* args, Variant*) {
  int16_t kernel[9];
  for (int i = 0; i < 9; ++i) kernel[i] = int16_t(args[3 + i].whole());
  {
    const Control::LongCall call(c);
    CV_Matrix(c.engine(), kernel, int16_t(args[0].whole()), int16_t(args[1].whole()),
              int16_t(args[2].whole()));
  }
  c.viewChanged();
  return S_OK;
}

// DrawPolygon(points, color): points as text "x0,y0,x1,y1,..." (commas or blanks).
HRESULT callDrawPolygon(Control& c, const Member&, const Variant* args, Variant*) {
  std::vector<int32_t> xy;
  const QStringList parts =
      args[0].string().split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
  for (const QString& p : parts) {
    bool ok = false;
    const int v = p.toInt(&ok);
    if (!ok) return DISP_E_TYPEMISMATCH;
    xy.push_back(v);
  }
  if (xy.size() % 2 != 0) return E_INVALIDARG;
  CV_DrawPolygon(c.engine(), xy.data(), int32_t(xy.size() / 2), uint32_t(args[1].whole()));
  c.viewChanged();
  return S_OK;
}

HRESULT callPaint(Control& c, const Member&, const Variant*, Variant*) {
  // Paint draws the picture into the control window now, also while Update is false (device
  // contexts are not handed over on this platform; printing goes through PrinterhDC).
  if (ControlWindow* w = c.window()) {
    w->syncScrollBars();
    w->repaint();
  }
  return S_OK;
}

// MousePointer: pattern 2, and the window shows the new pointer at once.
HRESULT putMousePointer(Control& c, const Member& m, const Variant* args, Variant* r) {
  putProp<&CV_SetMousePointer>(c, m, args, r);
  if (ControlWindow* w = c.window()) w->applyCursor();
  return S_OK;
}

// Update: pattern 2; turning it on again shows the changes made meanwhile.
HRESULT putUpdate(Control& c, const Member& m, const Variant* args, Variant* r) {
  putProp<&CV_SetUpdate>(c, m, args, r);
  c.viewChanged();
  return S_OK;
}

// Copy: the rubber-band selection when there is one, else the whole picture, to the clipboard.
HRESULT callCopy(Control& c, const Member&, const Variant*, Variant*) {
  const Control::BusyCursor busy(c);
  CV_HDIB dib = 0;
  if (CV_GetRubberBandW(c.engine()) > 0 && CV_GetRubberBandH(c.engine()) > 0)
    dib = CV_GetCopyRubberbandDib(c.engine());
  else
    CV_CopyDib(c.engine(), &dib);
  if (!dib) return S_OK;  // ImagError says why
  const QImage image = imageFromDib(dib);
  CV_DibFree(dib);
  if (image.isNull()) return E_OUTOFMEMORY;
  QGuiApplication::clipboard()->setImage(image);
  return S_OK;
}

// Paste: the clipboard's picture replaces the control's; without one, ImagError says so and
// the picture stays.
HRESULT callPaste(Control& c, const Member&, const Variant*, Variant*) {
  const Control::BusyCursor busy(c);
  const QImage image = QGuiApplication::clipboard()->image();
  const CV_HDIB dib = dibFromImage(image);
  if (!image.isNull() && !dib) return E_OUTOFMEMORY;
  CV_PasteDib(c.engine(), dib);
  if (dib && CV_GetImagError(c.engine()) != 0) CV_DibFree(dib);  // refused: still ours
  c.pictureLoaded();
  return S_OK;
}

// PrinterhDC put: a device handle from RastrelDeviceHandle prints the picture on that device in
// the PrinterLeft/Top/Width/Height rectangle; 0 only clears the property.
HRESULT putPrinterhDC(Control& c, const Member& m, const Variant* args, Variant*) {
  const uint32_t handle = uint32_t(args[0].whole());
  QPaintDevice* device = deviceForHandle(handle);
  if (handle != 0 && !device) return E_INVALIDARG;
  CV_SetPrinterhDC(c.engine(), int32_t(handle));
  c.changed(m.id);
  if (!device) return S_OK;
  const Control::BusyCursor busy(c);
  return c.printTo(device);
}

// IPEffect: the put is accepted and ignored; the get answers IP_None.
HRESULT getIPEffect(Control&, const Member&, const Variant*, Variant* result) {
  *result = Variant::i2(0);
  return S_OK;
}
HRESULT putIgnored(Control&, const Member&, const Variant*, Variant*) {
  return S_OK;
}

HRESULT getCopyRubberbandDib(Control& c, const Member&, const Variant*, Variant* result) {
  *result = Variant::i4(int32_t(CV_GetCopyRubberbandDib(c.engine())));
  return S_OK;
}

// ---- table builders ----

constexpr Member prop(const char* name, DISPID id, VarType type, uint8_t flags, Handler get,
                      Handler put, uint16_t putKinds = kPut) {
  Member m;
  m.name = name;
  m.id = id;
  m.type = type;
  m.flags = put ? flags : uint8_t(flags | ReadOnly);
  m.kinds = uint16_t(kGet | (put ? putKinds : 0));
  m.get = get;
  m.put = put;
  return m;
}

constexpr Member method(const char* name, DISPID id, Handler call,
                        std::initializer_list<VarType> args = {}, VarType result = VT_EMPTY,
                        int optionalFrom = -1) {
  Member m;
  m.name = name;
  m.id = id;
  m.type = result;
  m.kinds = kMethod;
  m.call = call;
  for (VarType t : args) m.args[m.argc++] = t;
  m.optionalFrom = uint8_t(optionalFrom < 0 ? m.argc : optionalFrom);
  return m;
}

constexpr VarType I2 = VT_I2, I4 = VT_I4, R4 = VT_R4, R8 = VT_R8, BOOL = VT_BOOL, BSTR = VT_BSTR,
                  COLOR = VT_UI4, OBJ = VT_DISPATCH;
constexpr uint8_t RUN = RunModeGet;

#define PROP(N, T) prop(#N, dispid::N, T, 0, &getProp<&CV_Get##N>, &putProp<&CV_Set##N>)
#define PROP_RUN(N, T) prop(#N, dispid::N, T, RUN, &getProp<&CV_Get##N>, &putProp<&CV_Set##N>)
#define VIEW(N, T) prop(#N, dispid::N, T, 0, &getProp<&CV_Get##N>, &putView<&CV_Set##N>)
#define RO(N, T) prop(#N, dispid::N, T, 0, &getProp<&CV_Get##N>, nullptr)
#define RO_RUN(N, T) prop(#N, dispid::N, T, RUN, &getProp<&CV_Get##N>, nullptr)
#define STR(N) prop(#N, dispid::N, BSTR, 0, &getString<&CV_Get##N>, &putString<&CV_Set##N>)
#define METHOD(N, ...) method(#N, dispid::N, &callMethod<&CV_##N>, {__VA_ARGS__})
#define QUICK(N, ...) method(#N, dispid::N, &callQuick<&CV_##N>, {__VA_ARGS__})
#define OPERATION(N, ...) method(#N, dispid::N, &callOperation<&CV_##N>, {__VA_ARGS__})

const Member kMembers[] = {
    // Stock and window
    prop("Font", dispid::Font, OBJ, 0, &getFont, &putFont, kPut | kPutRef),
    prop("hWnd", dispid::hWnd, I4, 0, &getHwnd, nullptr),
    prop("MousePointer", dispid::MousePointer, I2, 0, &getProp<&CV_GetMousePointer>,
         &putMousePointer),
    prop("MouseIcon", dispid::MouseIcon, OBJ, 0, &getMouseIcon, &putMouseIcon, kPut | kPutRef),
    prop("Picture", dispid::Picture, OBJ, 0, &getPicture, &putPicture, kPut | kPutRef),
    prop("Enabled", dispid::Enabled, BOOL, 0, &getEnabled, &putEnabled),
    VIEW(BackColor, COLOR),
    method("Refresh", dispid::Refresh, &callRefresh),
    method("About", dispid::About, &callAbout),
    prop("OLEDropAllowed", dispid::OLEDropAllowed, BOOL, 0, &getOleDrop, &putOleDrop),
    prop("BorderType", dispid::BorderType, I2, 0, &getProp<&CV_GetBorderType>,
         &putAndRepaint<&CV_SetBorderType>),
    method("CreateCtlWindow", dispid::CreateCtlWindow, &callCreateCtlWindow, {I4, I4, I4, I4, I4}),
    prop("ImagID", dispid::ImagID, I4, RUN, &getImagId, nullptr),
    PROP(Persistence, BOOL),
    VIEW(PictureEnabled, BOOL),
    PROP(Notify, BOOL),
    PROP(NotifyDelay, I4),
    PROP(ProgressEnabled, BOOL),
    PROP(ShowHourglass, BOOL),
    PROP(Multitask, BOOL),
    prop("Update", dispid::Update, BOOL, 0, &getProp<&CV_GetUpdate>, &putUpdate),

    // Image information
    RO_RUN(IWidth, I2),
    RO_RUN(IHeight, I2),
    RO_RUN(IBPP, I2),
    RO_RUN(IFormat, I2),
    RO_RUN(IFileSize, I4),
    RO(IResX, I4),
    RO(IResY, I4),
    RO(IResUnits, I2),
    RO_RUN(ImagWidth, I2),
    RO_RUN(ImagHeight, I2),
    RO_RUN(FXWidth, I2),
    RO_RUN(FXHeight, I2),
    RO_RUN(PixelColor, COLOR),
    RO_RUN(Xpos, I2),
    RO_RUN(Ypos, I2),
    RO_RUN(FXError, I2),
    RO_RUN(ImagError, I2),
    PROP(PageNbr, I2),
    method("NumPages", dispid::NumPages, &callNumPages, {BSTR}, I4),
    method("UniqueColors", dispid::UniqueColors, &callUniqueColors, {}, I4),
    RO(RGBColorCount, I4),
    RO_RUN(IPBitsPixel, I2),

    // Loading
    prop("FileName", dispid::FileName, BSTR, 0, &getString<&CV_GetFileName>, &putFileName),
    PROP(CancelLoad, BOOL),
    PROP(CancelMode, I2),
    PROP(CancelRemove, BOOL),
    STR(LZWPassword),
    STR(PICPassword),
    STR(PFileName),
    method("LoadBlob", dispid::LoadBlob, &callLoadBuffer, {I4, I4}, VT_EMPTY, 1),
    method("LoadBuffer", dispid::LoadBuffer, &callLoadBuffer, {I4, I4}, VT_EMPTY, 1),
    STR(FTPUserName),
    STR(FTPPassword),
    STR(ProxyServer),
    PROP(PICThumbnail, I2),
    PROP(PICCropEnabled, BOOL),
    PROP(PICCropX, I2),
    PROP(PICCropY, I2),
    PROP(PICCropWidth, I2),
    PROP(PICCropHeight, I2),

    // Saving
    prop("SaveFileName", dispid::SaveFileName, BSTR, RUN, &getString<&CV_GetSaveFileName>,
         &putString<&CV_SetSaveFileName>),
    method("SaveFile", dispid::SaveFile, &callLong<&CV_SaveFile>),
    PROP(SaveFileType, I2),
    PROP(SaveMultiPage, BOOL),
    PROP(SaveToBuffer, BOOL),
    RO(SaveBufferHandle, I4),
    METHOD(DeleteSaveBuffer),
    PROP(SaveGIFInterlaced, BOOL),
    PROP(SaveGIFType, I2),
    PROP(SaveGIFTransparent, BOOL),
    PROP(SaveGIFTColor, COLOR),
    PROP(SavePNGInterlaced, BOOL),
    PROP(SaveJPGProgressive, BOOL),
    PROP(SaveJPGGrayscale, BOOL),
    PROP(SaveJPGLumFactor, I2),
    PROP(SaveJPGChromFactor, I2),
    PROP(SaveJPGSubSampling, I2),
    PROP(SaveTIFCompression, I2),
    PROP(SavePBMType, I2),
    PROP(SavePGMType, I2),
    PROP(SavePPMType, I2),
    PROP(SaveLJPCompMethod, I2),
    PROP(SaveLJPCompOrder, I2),
    PROP(SaveLJPPrediction, I2),
    PROP(SaveLJPCompType, I2),
    PROP(SaveWEBPQuality, I2),
    PROP(SaveWEBPLossless, BOOL),

    // View
    VIEW(AutoSize, I2),
    VIEW(ScrollBars, I2),
    VIEW(ScrollBarSmallChange, I2),
    VIEW(ScrollBarLargeChange, I2),
    VIEW(ScrollX, I4),
    VIEW(ScrollY, I4),
    prop("CropX", dispid::CropX, I4, 0, &getProp<&CV_GetCropX>, &putCrop<&CV_SetCropX>),
    prop("CropY", dispid::CropY, I4, 0, &getProp<&CV_GetCropY>, &putCrop<&CV_SetCropY>),
    QUICK(Zoom, R4),
    VIEW(Palette, I2),
    VIEW(ShowDithered, I2),
    VIEW(DisplayMode, I2),
    prop("ManagePalette", dispid::ManagePalette, BOOL, 0, &getProp<&CV_GetManagePalette>,
         &putAndRepaint<&CV_SetManagePalette>),
    VIEW(Antialias, I2),
    method("Paint", dispid::Paint, &callPaint),

    // Image handles
    prop("hBmp", dispid::hBmp, I4, RUN, &getProp<&CV_GetHBmp>, nullptr),
    prop("hPal", dispid::hPal, I4, RUN, &getProp<&CV_GetHPal>, nullptr),
    prop("hDib", dispid::hDib, I4, RUN, &getProp<&CV_GetHDib>, &putHDib),
    prop("hDibUndo", dispid::hDibUndo, I4, RUN, &getProp<&CV_GetHDibUndo>, nullptr),
    method("CopyDib", dispid::CopyDib, &callCopyDib, {}, I4),
    METHOD(CreateDib, I4, I4, I2, COLOR),
    method("BitmapToDib", dispid::BitmapToDib, &callBitmapToDib, {I4, I4}, I4, 1),
    METHOD(DibUpdate),
    QUICK(DibSetPixel, I4, I4, COLOR),
    method("DibGetPixel", dispid::DibGetPixel, &callDibGetPixel, {I4, I4}, COLOR),
    method("DibGetPalIndex", dispid::DibGetPalIndex, &callDibGetPalIndex, {I4, I4}, I2),
    QUICK(DibSetPalIndex, I4, I4, I2),
    RO(PRGBColors, I4),

    // Processing methods
    METHOD(Undo),
    PROP(UndoEnabled, BOOL),
    OPERATION(Mosaic, I2),
    OPERATION(Noise, I2, I2),
    OPERATION(MBlur, I2, I2, I2),
    OPERATION(Brightness, I2),
    OPERATION(Contrast, I2),
    OPERATION(Flip),
    OPERATION(Mirror),
    OPERATION(Negate),
    OPERATION(Emboss),
    OPERATION(ReplaceColors, COLOR, COLOR, COLOR),
    OPERATION(Crop, I4, I4, I4, I4),
    OPERATION(Sharpen, I2),
    OPERATION(Soften, I2),
    OPERATION(Outline),
    OPERATION(Equalize),
    OPERATION(Rotate, R8),
    OPERATION(Resize, I2, I2),
    OPERATION(PICResize, I2, I2),
    OPERATION(ColorDepth, I2, I2, I2),
    OPERATION(Twist, I2, I2),
    OPERATION(Tile, I2, I2),
    OPERATION(Area, I2, I4, I4, I4, I4),
    method("Matrix", dispid::Matrix, &callMatrix, {I2, I2, I2, I2, I2, I2, I2, I2, I2, I2, I2, I2}),
    OPERATION(Merge, I4, I2, I2, I2, I2, BOOL, COLOR),
    OPERATION(Perspective, I2, I2),
    OPERATION(Ripple, I2, I2, I2),
    OPERATION(AdjustRGB, I2, I2, I2, I2),
    OPERATION(AdjustHSL, I2, I2, I2, I2),
    OPERATION(Gamma, R4),
    OPERATION(AutoContrast),
    OPERATION(Solarize, I2),
    OPERATION(Posterize, I2),
    OPERATION(Parabolic, I2),
    OPERATION(Blur),
    OPERATION(Diffuse),
    OPERATION(Blend, I4, I2),
    OPERATION(PWarp, I4, I4, I4, I4, I4, I4, I4, I4),
    OPERATION(Swirl, R8),
    OPERATION(Buttonize, I2, I2, I2),
    OPERATION(Pinch, I2),
    OPERATION(Resample, I2, I2),
    OPERATION(Dilate),
    OPERATION(Erode),
    OPERATION(ColorSeparation, I2),
    OPERATION(Median),
    OPERATION(Despeckle),
    OPERATION(Deskew),
    OPERATION(AutoCrop, I2),
    OPERATION(CropBorder, I4, I4),

    // Last-argument properties
    RO_RUN(IPSharpenI, I2),
    RO_RUN(IPSoftenI, I2),
    RO_RUN(IPMosaicB, I2),
    RO_RUN(IPBrightnessI, I2),
    RO_RUN(IPContrastI, I2),
    RO_RUN(IPCropX, I4),
    RO_RUN(IPCropY, I4),
    RO_RUN(IPCropWidth, I4),
    RO_RUN(IPCropHeight, I4),
    RO_RUN(IPHeight, I2),
    RO_RUN(IPWidth, I2),
    RO_RUN(IPRippleI, I2),
    RO_RUN(IPRippleF, I2),
    RO_RUN(IPRippleD, I2),
    RO_RUN(IPNoiseI, I2),
    RO_RUN(IPNoiseF, I2),
    RO_RUN(IPTwistB, I2),
    RO_RUN(IPTwistR, I2),
    RO_RUN(IPMBlurI, I2),
    RO_RUN(IPMBlurX, I2),
    RO_RUN(IPMBlurY, I2),
    RO_RUN(IPColorFrom, COLOR),
    RO_RUN(IPColorTo, COLOR),
    RO_RUN(IPColorReplace, COLOR),
    RO_RUN(IPMatrixI, I2),
    RO_RUN(IPMatrixD, I2),
    RO_RUN(IPMatrixV, I2),
    RO_RUN(IPArea, I2),
    RO_RUN(IPAreaX, I4),
    RO_RUN(IPAreaY, I4),
    RO_RUN(IPAreaWidth, I4),
    RO_RUN(IPAreaHeight, I4),
    RO_RUN(IPZoomF, R4),
    RO_RUN(IPRotateA, R8),
    RO_RUN(IPPalette, I2),
    RO_RUN(IPDither, I2),
    RO_RUN(IPMerge, I4),
    RO_RUN(IPMergeStyle, I2),
    RO_RUN(IPMergeSize, I2),
    RO_RUN(IPMergePctHi, I2),
    RO_RUN(IPMergePctLo, I2),
    RO_RUN(IPTransparent, BOOL),
    RO_RUN(IPTransparentColor, COLOR),
    RO_RUN(IPTileWidth, I2),
    RO_RUN(IPTileHeight, I2),
    RO_RUN(IPPerspectiveType, I2),
    RO_RUN(IPPerspectivePct, I2),
    RO_RUN(IPCreateWidth, I4),
    RO_RUN(IPCreateHeight, I4),
    RO_RUN(IPCreateBits, I2),
    RO_RUN(IPCreateColor, COLOR),
    RO_RUN(IPAdjustType, I2),
    RO_RUN(IPAdjustRed, I2),
    RO_RUN(IPAdjustGreen, I2),
    RO_RUN(IPAdjustBlue, I2),
    RO_RUN(IPAdjustHue, I2),
    RO_RUN(IPAdjustSat, I2),
    RO_RUN(IPAdjustLum, I2),
    RO_RUN(IPGamma, R4),
    RO_RUN(IPPosterize, I2),
    RO_RUN(IPSolarize, I2),
    RO_RUN(IPParabolic, I2),
    RO_RUN(IPBlendPct, I2),
    RO_RUN(IPPWarpX1, I4),
    RO_RUN(IPPWarpX2, I4),
    RO_RUN(IPPWarpX3, I4),
    RO_RUN(IPPWarpX4, I4),
    RO_RUN(IPPWarpY1, I4),
    RO_RUN(IPPWarpY2, I4),
    RO_RUN(IPPWarpY3, I4),
    RO_RUN(IPPWarpY4, I4),
    RO_RUN(IPSwirlD, R8),
    RO_RUN(IPButtonS, I2),
    RO_RUN(IPButtonW, I2),
    RO_RUN(IPButtonI, I2),
    RO_RUN(IPPinchI, I2),
    RO_RUN(IPSeparationType, I2),
    RO_RUN(IPPixelX, I4),
    RO_RUN(IPPixelY, I4),
    RO_RUN(IPPalIndex, I2),
    RO_RUN(IPColorPlane, I2),
    RO_RUN(IPCropPct, I2),
    RO_RUN(IPBorderX, I4),
    RO_RUN(IPBorderY, I4),
    prop("IPEffect", dispid::IPEffect, I2, 0, &getIPEffect, &putIgnored),

    // Drawing
    PROP(DrawFillColor, COLOR),
    PROP(DrawFillStyle, I2),
    PROP(DrawMode, I2),
    PROP(DrawStyle, I2),
    PROP(DrawWidth, I2),
    METHOD(DrawLine, I4, I4, I4, I4, COLOR),
    METHOD(DrawArc, I4, I4, I4, I4, I4, I4, I4, I4, COLOR),
    METHOD(DrawCurve, I4, I4, I4, I4, I4, I4, I4, I4, COLOR),
    METHOD(DrawPie, I4, I4, I4, I4, I4, I4, I4, I4, COLOR),
    METHOD(DrawRoundRect, I4, I4, I4, I4, I4, I4, COLOR),
    method("DrawPolygon", dispid::DrawPolygon, &callDrawPolygon, {BSTR, COLOR}),
    METHOD(DrawCircle, I4, I4, I4, COLOR),
    METHOD(DrawText, I4, I4, BSTR, COLOR),

    // Regions and sprites
    PROP(RgnEnabled, BOOL),
    RO_RUN(RgnX, I4),
    RO_RUN(RgnY, I4),
    RO_RUN(RgnWidth, I4),
    RO_RUN(RgnHeight, I4),
    RO_RUN(RgnSpriteX, I4),
    RO_RUN(RgnSpriteY, I4),
    METHOD(RgnCreate, I2, I4, I4, I4, I4),
    METHOD(RgnDelete),
    QUICK(RgnAddPoint, I4, I4),
    METHOD(RgnCreateSprite),
    METHOD(RgnDeleteSprite),
    QUICK(RgnMoveSprite, I4, I4),
    METHOD(RgnPasteSprite),

    // Rubber band
    method("RubberBand", dispid::RubberBand, &callQuick<&CV_RubberBand>, {BOOL, I4, I4, BOOL},
           VT_EMPTY, 1),
    QUICK(RubberbandUpdate, I4, I4),
    RO_RUN(RubberBandL, I4),
    RO_RUN(RubberBandT, I4),
    RO_RUN(RubberBandW, I4),
    RO_RUN(RubberBandH, I4),
    prop("CopyRubberbandDib", dispid::CopyRubberbandDib, I4, RUN, &getCopyRubberbandDib, nullptr),

    // Printing
    prop("PrinterhDC", dispid::PrinterhDC, I4, RUN, &getProp<&CV_GetPrinterhDC>, &putPrinterhDC),
    PROP_RUN(PrinterLeft, I4),
    PROP_RUN(PrinterTop, I4),
    PROP_RUN(PrinterWidth, I4),
    PROP_RUN(PrinterHeight, I4),
    PROP(PrinterBanding, BOOL),

    // Clipboard and capture
    method("Copy", dispid::Copy, &callCopy),
    method("Paste", dispid::Paste, &callPaste),
    method("Capture", dispid::Capture, &callCapture),
    method("CaptureWindow", dispid::CaptureWindow, &callCaptureWindow, {I4}),

    // Scanner
    method("TwainSelect", dispid::TwainSelect, &callTwainSelect),
    method("TwainAcquire", dispid::TwainAcquire, &callTwainAcquire),
    STR(TwainProductFamily),
    STR(TwainManufacturer),
    STR(TwainProductName),
    STR(TwainVersionInfo),

    // Read-ahead
    method("ReadAhead", dispid::ReadAhead, &callReadAhead, {BSTR}),
    PROP(ReadAheadLimit, I4),
    method("ShowPreview", dispid::ShowPreview, &callShowPreview, {BSTR}, BOOL),
};

#undef PROP
#undef PROP_RUN
#undef VIEW
#undef RO
#undef RO_RUN
#undef STR
#undef METHOD
#undef QUICK

}  // namespace

MemberInfo Member::info() const {
  MemberInfo i;
  i.name = name;
  i.dispid = id;
  i.kinds = kinds;
  i.type = type;
  i.argCount = argc;
  i.optionalFrom = optionalFrom;
  i.argTypes = args.data();
  i.readOnly = readOnly();
  i.runModeOnly = runModeGet();
  return i;
}

std::span<const Member> members() {
  return kMembers;
}

const Member* findMember(DISPID id) {
  static const QHash<DISPID, const Member*> byId = [] {
    QHash<DISPID, const Member*> h;
    for (const Member& m : kMembers) h.insert(m.id, &m);
    return h;
  }();
  return byId.value(id, nullptr);
}

const Member* findMember(const QString& name) {
  static const QHash<QString, const Member*> byName = [] {
    QHash<QString, const Member*> h;
    for (const Member& m : kMembers) h.insert(QString::fromLatin1(m.name).toLower(), &m);
    return h;
  }();
  return byName.value(name.toLower(), nullptr);
}

}  // namespace rastrel::impl
