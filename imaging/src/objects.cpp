#include "objects.h"

#include <QHash>
#include <QPointer>
#include <cstring>

#include "engine.h"

namespace rastrel::impl {

HRESULT FontObject::QueryInterface(const Guid& iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IFont) {
    *out = static_cast<IFont*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT FontObject::get_Font(QFont* font) {
  if (!font) return E_POINTER;
  *font = font_;
  return S_OK;
}

HRESULT FontObject::put_Font(const QFont& font) {
  font_ = font;
  return S_OK;
}

HRESULT PictureObject::QueryInterface(const Guid& iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IPicture) {
    *out = static_cast<IPicture*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

PictureObject::~PictureObject() {
  if (owned_) CV_DibFree(bitmap_);
}

PictureObject* pictureFromFile(const QString& path, int16_t* error) {
  CV_HANDLE scratch = 0;
  CV_CreateInstance(&scratch);
  CV_SetFileName(scratch, path.toUtf8().constData());
  CV_HDIB dib = 0;
  *error = CV_GetImagError(scratch);
  if (*error == 0) {
    CV_CopyDib(scratch, &dib);
    *error = CV_GetImagError(scratch);
  }
  CV_DestroyInstance(scratch);
  if (*error == 0 && dib) return new PictureObject(dib, 0, true);
  if (dib) CV_DibFree(dib);
  if (*error == 0) *error = CV_ERR_NO_IMAGE;
  return nullptr;
}

uint32_t copyOfPicture(IUnknown* obj) {
  if (!obj) return 0;
  void* typed = nullptr;
  if (failed(obj->QueryInterface(IID_IPicture, &typed)) || !typed) return 0;
  auto* picture = static_cast<IPicture*>(typed);
  uint32_t handle = 0;
  const bool ok = succeeded(picture->get_Handle(&handle));
  picture->Release();
  const void* bytes = ok ? CV_DibLock(handle) : nullptr;
  const uint32_t size = bytes ? CV_DibSize(handle) : 0;
  if (size == 0) return 0;
  const CV_HDIB copy = CV_DibAlloc(size);
  void* target = copy ? CV_DibLock(copy) : nullptr;
  if (!target) return 0;
  std::memcpy(target, bytes, size);
  return copy;
}

HRESULT PictureObject::get_Handle(uint32_t* handle) {
  if (!handle) return E_POINTER;
  *handle = bitmap_;
  return S_OK;
}

HRESULT PictureObject::get_hPal(uint32_t* palette) {
  if (!palette) return E_POINTER;
  *palette = palette_;
  return S_OK;
}

HRESULT PictureObject::get_Type(int16_t* type) {
  if (!type) return E_POINTER;
  *type = 1;  // bitmap
  return S_OK;
}

bool fontOf(IUnknown* obj, QFont* font) {
  if (!obj) return false;
  IFont* f = nullptr;
  if (failed(obj->QueryInterface(IID_IFont, reinterpret_cast<void**>(&f))) || !f) return false;
  const bool ok = succeeded(f->get_Font(font));
  f->Release();
  return ok;
}

namespace {
struct HandleTable {
  QHash<uint32_t, QPointer<QWidget>> widgets;
  QHash<QWidget*, uint32_t> handles;
  uint32_t next = 0x10;
};
HandleTable& table() {
  static HandleTable t;
  return t;
}
}  // namespace

uint32_t windowHandle(QWidget* widget) {
  if (!widget) return 0;
  HandleTable& t = table();
  if (auto it = t.handles.constFind(widget); it != t.handles.constEnd() && t.widgets.value(*it))
    return *it;
  const uint32_t handle = t.next++;
  t.widgets.insert(handle, widget);
  t.handles.insert(widget, handle);
  QObject::connect(widget, &QObject::destroyed, [handle, widget] {
    table().widgets.remove(handle);
    table().handles.remove(widget);
  });
  return handle;
}

QWidget* widgetForHandle(uint32_t handle) {
  if (handle == 0) return nullptr;
  if (QWidget* w = table().widgets.value(handle)) return w;
  return QWidget::find(WId(handle));
}

namespace {
struct DeviceTable {
  QHash<uint32_t, QPaintDevice*> devices;
  uint32_t next = 0x40000000;  // apart from the window handles
};
DeviceTable& devices() {
  static DeviceTable t;
  return t;
}
}  // namespace

uint32_t deviceHandle(QPaintDevice* device) {
  if (!device) return 0;
  DeviceTable& t = devices();
  for (auto it = t.devices.cbegin(); it != t.devices.cend(); ++it)
    if (it.value() == device) return it.key();
  const uint32_t handle = t.next++;
  t.devices.insert(handle, device);
  return handle;
}

QPaintDevice* deviceForHandle(uint32_t handle) {
  return devices().devices.value(handle, nullptr);
}

void releaseDeviceHandle(uint32_t handle) {
  devices().devices.remove(handle);
}

}  // namespace rastrel::impl
