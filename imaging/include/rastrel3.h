// Rastrel3: the imaging control's component interface as seen by its hosts.
//
// A host loads librastrel3.so at run time, resolves DllGetClassObject by name, asks it for the
// class factory of CLSID_Rastrel and creates control objects through it. A control object is
// reference counted (AddRef/Release) and hands out its interfaces through QueryInterface:
//   IRastrel          the dispatch interface: every member by DISPID through Invoke
//   IRastrelObject    the embedding side: container site, window, extent, event connections
//   IPersistPropertyBag, IPersistStreamInit   persistence of the design-time properties
// Interfaces are abstract C++ classes; host and library are built by the same compiler.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>

#include "rastrel3_dispids.h"

class QFont;
class QWidget;
class QPaintDevice;

namespace rastrel {

using HRESULT = int32_t;
using DISPID = int32_t;

// Result codes (automation conventions).
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = int32_t(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = int32_t(0x80004002);
inline constexpr HRESULT E_POINTER = int32_t(0x80004003);
inline constexpr HRESULT E_FAIL = int32_t(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = int32_t(0x8000FFFF);
inline constexpr HRESULT E_PENDING = int32_t(0x8000000A);  // the control is inside a long call
inline constexpr HRESULT E_INVALIDARG = int32_t(0x80070057);
inline constexpr HRESULT E_OUTOFMEMORY = int32_t(0x8007000E);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = int32_t(0x80020003);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = int32_t(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = int32_t(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = int32_t(0x80020006);
inline constexpr HRESULT DISP_E_EXCEPTION = int32_t(0x80020009);
inline constexpr HRESULT DISP_E_OVERFLOW = int32_t(0x8002000A);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = int32_t(0x8002000E);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = int32_t(0x8002000F);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = int32_t(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = int32_t(0x80040111);
inline constexpr HRESULT SELFREG_E_CLASS = int32_t(0x80040201);
inline constexpr HRESULT STG_E_READFAULT = int32_t(0x8003001E);
inline constexpr HRESULT STG_E_WRITEFAULT = int32_t(0x8003001D);
// Control errors: 0x80040000 plus the control error number.
inline constexpr HRESULT controlError(int number) {
  return int32_t(0x80040000u + unsigned(number));
}
inline constexpr int CTL_ERR_SETNOTSUPPORTED = 383;  // property is read-only
inline constexpr HRESULT CTL_E_SETNOTSUPPORTED = controlError(CTL_ERR_SETNOTSUPPORTED);

inline constexpr bool succeeded(HRESULT hr) {
  return hr >= 0;
}
inline constexpr bool failed(HRESULT hr) {
  return hr < 0;
}

struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0, data3 = 0;
  uint8_t data4[8] = {};
  bool operator==(const Guid&) const = default;
  // "{5D0E2B71-4A93-11D1-9E27-7E3A19C05D42}"
  QString toString() const {
    auto hex = [](uint64_t v, int digits) {
      return QStringLiteral("%1").arg(v, digits, 16, QLatin1Char('0')).toUpper();
    };
    QString s = u'{' + hex(data1, 8) + u'-' + hex(data2, 4) + u'-' + hex(data3, 4) + u'-';
    for (int i = 0; i < 8; ++i) s += hex(data4[i], 2) + (i == 1 ? QStringLiteral("-") : QString());
    return s + u'}';
  }
};

// ---- Identities ----
inline constexpr Guid LIBID_RASTREL3Lib = {
    0x6F14C3A0, 0x4A94, 0x11D1, {0x9E, 0x27, 0x7E, 0x3A, 0x19, 0xC0, 0x5D, 0x42}};
inline constexpr Guid CLSID_Rastrel = {
    0x5D0E2B71, 0x4A93, 0x11D1, {0x9E, 0x27, 0x7E, 0x3A, 0x19, 0xC0, 0x5D, 0x42}};
inline constexpr Guid CLSID_GenProps = {
    0x2B8E0F51, 0x52C7, 0x11D1, {0x9E, 0x33, 0x7E, 0x3A, 0x19, 0xC0, 0x5D, 0x42}};
inline constexpr Guid CLSID_MiscPpg = {
    0x8C1D64E1, 0x57AC, 0x11D1, {0x9E, 0x3C, 0x7E, 0x3A, 0x19, 0xC0, 0x5D, 0x42}};
inline constexpr Guid CLSID_PICViewPpg = {
    0xA4367D02, 0x57B8, 0x11D1, {0x9E, 0x3C, 0x7E, 0x3A, 0x19, 0xC0, 0x5D, 0x42}};
inline constexpr Guid CLSID_SavePpg = {
    0x51D24621, 0x57C3, 0x11D1, {0x9E, 0x3C, 0x7E, 0x3A, 0x19, 0xC0, 0x5D, 0x42}};
inline constexpr Guid CLSID_ViewPpg = {
    0xE72A15F1, 0x57DB, 0x11D1, {0x9E, 0x3D, 0x7E, 0x3A, 0x19, 0xC0, 0x5D, 0x42}};
inline constexpr Guid CLSID_DrawPpg = {
    0xE72A15F2, 0x57DB, 0x11D1, {0x9E, 0x3D, 0x7E, 0x3A, 0x19, 0xC0, 0x5D, 0x42}};

// Interface identities of this library (the standard ones keep their usual numbers).
inline constexpr Guid IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr Guid IID_IDispatch = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr Guid IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr Guid IID_IPropertyNotifySink = {
    0x9BFBBC02, 0xEFF1, 0x101A, {0x84, 0xED, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr Guid IID_IPersistPropertyBag = {
    0x37D84F60, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
inline constexpr Guid IID_IPersistStreamInit = {
    0x7FD52380, 0x4E07, 0x101B, {0xAE, 0x2D, 0x08, 0x00, 0x2B, 0x2E, 0xC7, 0x13}};
inline constexpr Guid IID_IPicture = {
    0x7BF80980, 0xBF32, 0x101A, {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};
inline constexpr Guid IID_IFont = {
    0xBEF6E002, 0xA874, 0x101A, {0x8B, 0xBA, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};
inline constexpr Guid IID_IRastrel = {
    0x6F14C3A1, 0x4A94, 0x11D1, {0x9E, 0x27, 0x7E, 0x3A, 0x19, 0xC0, 0x5D, 0x42}};
inline constexpr Guid DIID_IRastrelEvents = {
    0x6F14C3A2, 0x4A94, 0x11D1, {0x9E, 0x27, 0x7E, 0x3A, 0x19, 0xC0, 0x5D, 0x42}};
inline constexpr Guid IID_IRastrelObject = {
    0x6F14C3A3, 0x4A94, 0x11D1, {0x9E, 0x27, 0x7E, 0x3A, 0x19, 0xC0, 0x5D, 0x42}};
inline constexpr Guid IID_IRastrelSite = {
    0x6F14C3A4, 0x4A94, 0x11D1, {0x9E, 0x27, 0x7E, 0x3A, 0x19, 0xC0, 0x5D, 0x42}};

inline const QString kControlProgId = QStringLiteral("Rastrel.Rastrel.1");
inline const QString kControlVersionIndependentProgId = QStringLiteral("Rastrel.Rastrel");
inline const QString kControlClassName = QStringLiteral("Rastrel");
inline const QString kHelpFile = QStringLiteral("Rastrel3.hlp");

// ---- Interfaces ----

class IUnknown {
 public:
  virtual HRESULT QueryInterface(const Guid& iid, void** out) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

// A picture object (Picture, MouseIcon): a bitmap handle and its palette, as the engine knows
// them. Type 1 = bitmap.
class IPicture : public IUnknown {
 public:
  virtual HRESULT get_Handle(uint32_t* handle) = 0;
  virtual HRESULT get_hPal(uint32_t* palette) = 0;
  virtual HRESULT get_Type(int16_t* type) = 0;

 protected:
  ~IPicture() = default;
};

// A font object (Font).
class IFont : public IUnknown {
 public:
  virtual HRESULT get_Font(QFont* font) = 0;
  virtual HRESULT put_Font(const QFont& font) = 0;

 protected:
  ~IFont() = default;
};

}  // namespace rastrel

#include "rastrel3_variant.h"

namespace rastrel {

enum class InvokeKind : uint16_t { Method = 1, Get = 2, Put = 4, PutRef = 8 };

// What an Invoke that failed with a control error reports (the rich error information).
struct ExcepInfo {
  int32_t code = 0;  // the control error number (383)
  QString source;    // the control's class: "Rastrel"
  QString description;
  QString helpFile;  // "Rastrel3.hlp"
  uint32_t helpContext = 0;
  HRESULT scode = S_OK;
};

// Type information of one member, for hosts that enumerate the interface.
struct MemberInfo {
  const char* name = nullptr;
  DISPID dispid = 0;
  uint16_t kinds = 0;        // InvokeKind bits the member accepts
  VarType type = VT_EMPTY;   // property type or method result (VT_EMPTY: none)
  uint8_t argCount = 0;      // declared arguments (methods; puts take one value)
  uint8_t optionalFrom = 0;  // index of the first optional argument (== argCount: none)
  const VarType* argTypes = nullptr;
  bool readOnly = false;
  bool runModeOnly = false;  // a get fails with E_FAIL in design mode
};

// The dispatch interface IRastrel. Arguments are given in declared order (args[0] is the
// first); a method's [out] result comes back in *result. Puts take the new value as args[0].
// A missing optional argument is a VT_ERROR variant holding DISP_E_PARAMNOTFOUND.
class IRastrel : public IUnknown {
 public:
  virtual HRESULT GetIDOfName(const QString& name, DISPID* dispid) = 0;
  virtual HRESULT Invoke(DISPID dispid, InvokeKind kind, const Variant* args, int argCount,
                         Variant* result, ExcepInfo* excep) = 0;
  virtual int MemberCount() = 0;
  virtual HRESULT GetMemberInfo(int index, MemberInfo* info) = 0;

 protected:
  ~IRastrel() = default;
};

// An event sink of IRastrelEvents (dispatch events: Click, DblClick, MouseDown, MouseMove,
// MouseUp, Notify, Progress, AsyncProgress with the arguments in declared order).
class IRastrelEvents : public IUnknown {
 public:
  virtual HRESULT Invoke(DISPID dispid, const Variant* args, int argCount) = 0;

 protected:
  ~IRastrelEvents() = default;
};

class IPropertyNotifySink : public IUnknown {
 public:
  virtual HRESULT OnChanged(DISPID dispid) = 0;
  virtual HRESULT OnRequestEdit(DISPID dispid) = 0;

 protected:
  ~IPropertyNotifySink() = default;
};

// The container's side of an embedded control.
class IRastrelSite : public IUnknown {
 public:
  // Ambient user mode: *runMode true in run mode, false in design mode. A site that cannot
  // answer returns a failure code and the control assumes run mode.
  virtual HRESULT GetAmbientUserMode(bool* runMode) = 0;
  // The control asks to be given this position rectangle (in the parent's coordinates).
  virtual HRESULT OnPosRectChange(const QRect& rect) = 0;
  // The control asks to be repainted.
  virtual HRESULT InvalidateControl() = 0;

 protected:
  ~IRastrelSite() = default;
};

// The embedding side of a control object.
class IRastrelObject : public IUnknown {
 public:
  virtual HRESULT SetClientSite(IRastrelSite* site) = 0;
  // Creates the control window as a child of parent at rect (in-place activation) and returns
  // it. The window belongs to the control; a second call returns the same window.
  virtual HRESULT InPlaceActivate(QWidget* parent, const QRect& rect, QWidget** window) = 0;
  virtual HRESULT SetObjectRects(const QRect& rect) = 0;
  // Extent in HIMETRIC units (hundredths of a millimetre).
  virtual HRESULT GetExtent(QSize* himetric) = 0;
  virtual HRESULT SetExtent(const QSize& himetric) = 0;
  // Connects a sink for DIID_IRastrelEvents or IID_IPropertyNotifySink; sinks are called in
  // connection order.
  virtual HRESULT Advise(const Guid& iid, IUnknown* sink, uint32_t* cookie) = 0;
  virtual HRESULT Unadvise(uint32_t cookie) = 0;
  // S_OK when a design-time property change is not yet saved, S_FALSE otherwise.
  virtual HRESULT IsDirty() = 0;
  // Verb 0 (or -7): "&Properties", the property pages as tabs of one dialog.
  virtual HRESULT DoVerb(int32_t verb, QWidget* parent) = 0;

 protected:
  ~IRastrelObject() = default;
};

class IClassFactory : public IUnknown {
 public:
  virtual HRESULT CreateInstance(IUnknown* outer, const Guid& iid, void** out) = 0;
  virtual HRESULT LockServer(bool lock) = 0;

 protected:
  ~IClassFactory() = default;
};

// ---- Persistence ----

// A key-to-variant store held by the container. Read fills *value (coerced to the type of
// *value when it is not VT_EMPTY) or fails when the key is absent.
class IPropertyBag : public IUnknown {
 public:
  virtual HRESULT Read(const QString& name, Variant* value) = 0;
  virtual HRESULT Write(const QString& name, const Variant& value) = 0;

 protected:
  ~IPropertyBag() = default;
};

class IPersistPropertyBag : public IUnknown {
 public:
  virtual HRESULT InitNew() = 0;
  virtual HRESULT Load(IPropertyBag* bag) = 0;
  virtual HRESULT Save(IPropertyBag* bag, bool clearDirty, bool saveAllProperties) = 0;

 protected:
  ~IPersistPropertyBag() = default;
};

class IStream : public IUnknown {
 public:
  // Reads up to size bytes; *done tells how many came (fewer at the end of the stream).
  virtual HRESULT Read(void* data, uint32_t size, uint32_t* done) = 0;
  virtual HRESULT Write(const void* data, uint32_t size, uint32_t* done) = 0;

 protected:
  ~IStream() = default;
};

class IPersistStreamInit : public IUnknown {
 public:
  virtual HRESULT InitNew() = 0;
  virtual HRESULT Load(IStream* stream) = 0;
  virtual HRESULT Save(IStream* stream, bool clearDirty) = 0;
  virtual HRESULT GetSizeMax(uint64_t* size) = 0;  // E_NOTIMPL
  virtual HRESULT IsDirty() = 0;

 protected:
  ~IPersistStreamInit() = default;
};

// ---- Enumerations of the members the application uses ----
enum enumAutoSize : int16_t {
  ISIZE_CropImageToControl = 0,
  ISIZE_ResizeControl = 1,
  ISIZE_ResizeImage = 2,
  ISIZE_TileImage = 3,
  ISIZE_ResizePreserveAspect = 4,
  ISIZE_CropImage = 5,
};
enum enumScrollBars : int16_t { SB_None = 0, SB_Horizontal = 1, SB_Vertical = 2, SB_Both = 3 };
enum enumPalette : int16_t {
  IPAL_Optimized = 0,
  IPAL_Fixed = 1,
  IPAL_Gray = 2,
  IPAL_PalFile = 3,
  IPAL_UserDefined = 4,
  IPAL_OptimizedDither = 5,
  IPAL_GrayDither = 6,
  IPAL_PalFileDither = 7,
};
enum enumDithered : int16_t { DI_Nearest = 0, DI_Floyd = 1, DI_Ordered = 2, DI_Corvane = 3 };
enum enumPicDisplayMode : int16_t { DM_TrueColor = 0, DM_PaletteColor = 1, DM_VGAColor = 2 };
enum enumSaveTIFCompression : int16_t {
  TIF_Uncompressed = 0,
  TIF_CCITTRLE = 1,
  TIF_CCITTFAX3 = 2,
  TIF_CCITTFAX4 = 3,
  TIF_LZW = 4,
  TIF_PackBits = 5,
  TIF_JPEG = 6,
  TIF_Deflate = 7,
  TIF_CCITTFAX3_2D = 8,
};
enum enumSaveFileType : int16_t {
  FT_DEFAULT = 0,
  FT_TGA = 1,
  FT_PCX = 2,
  FT_GIF = 3,
  FT_TIF = 4,
  FT_BMP = 5,
  FT_WPG = 6,
  FT_JPG = 8,
  FT_PNG = 10,
  FT_PPM = 21,
  FT_PGM = 22,
  FT_PBM = 23,
  FT_DCX = 24,
  FT_EPIC = 25,
  FT_LJP = 29,
};
enum enumBorderType : int16_t { BT_None = 0, BT_Inset = 1, BT_Raised = 2, BT_Flat = 3 };
// Mouse event Button and Shift bits.
enum : int16_t { kButtonLeft = 1, kButtonRight = 2, kButtonMiddle = 4 };
enum : int16_t { kShiftMask = 1, kCtrlMask = 2, kAltMask = 4 };

// Window messages the engine posts for progress.
inline constexpr uint32_t kProgressMessage = 1028;       // WM_USER+4
inline constexpr uint32_t kAsyncProgressMessage = 1029;  // WM_USER+5

}  // namespace rastrel

// ---- Component entry points (C linkage, resolved by name) ----
extern "C" {
using RastrelGetClassObjectFn = rastrel::HRESULT (*)(const rastrel::Guid* clsid,
                                                     const rastrel::Guid* iid, void** out);
rastrel::HRESULT DllGetClassObject(const rastrel::Guid* clsid, const rastrel::Guid* iid,
                                   void** out);
// S_OK when no object and no server lock is alive, S_FALSE otherwise.
rastrel::HRESULT DllCanUnloadNow();
// Write and remove the entries of the per-user class registry file.
rastrel::HRESULT DllRegisterServer();
rastrel::HRESULT DllUnregisterServer();
// A 32-bit handle for a host's widget, as CreateCtlWindow takes for its parent (0 for none).
uint32_t RastrelWindowHandle(QWidget* widget);
// A 32-bit handle naming a paint device (a QPrinter, or any other device, such as a QImage or a
// QPdfWriter) for PrinterhDC: putting the handle there prints the picture on the device. The
// device must outlive the handle; RastrelReleaseDeviceHandle forgets it.
uint32_t RastrelDeviceHandle(QPaintDevice* device);
void RastrelReleaseDeviceHandle(uint32_t handle);
}

namespace rastrel {
// The per-user class registry file: $XDG_DATA_HOME (else ~/.local/share) + this name.
inline const QString kClassRegistryFile = QStringLiteral("classreg/classes.reg");
}  // namespace rastrel
