// Small reference-counted objects the control hands out: the font and picture objects, and
// the process-wide table of window handles (hWnd, CreateCtlWindow's parent).
#pragma once

#include <QFont>
#include <QWidget>
#include <atomic>

#include "rastrel3.h"

namespace rastrel::impl {

template <class Interface>
class RefCounted : public Interface {
 public:
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    const uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~RefCounted() = default;

 private:
  std::atomic<uint32_t> refs_{1};
};

// The Font property's object. Another font object given to Font is read through IFont.
class FontObject final : public RefCounted<IFont> {
 public:
  explicit FontObject(const QFont& font) : font_(font) {}
  HRESULT QueryInterface(const Guid& iid, void** out) override;
  HRESULT get_Font(QFont* font) override;
  HRESULT put_Font(const QFont& font) override;

 private:
  QFont font_;
};

// A bitmap picture over a DIB handle and its palette. Over the engine's own handles (the
// Picture property) it does not own them; made from a file it owns its DIB and frees it.
class PictureObject final : public RefCounted<IPicture> {
 public:
  PictureObject(uint32_t bitmap, uint32_t palette, bool owned = false)
      : bitmap_(bitmap), palette_(palette), owned_(owned) {}
  HRESULT QueryInterface(const Guid& iid, void** out) override;
  HRESULT get_Handle(uint32_t* handle) override;
  HRESULT get_hPal(uint32_t* palette) override;
  HRESULT get_Type(int16_t* type) override;

 private:
  ~PictureObject() override;

  uint32_t bitmap_;
  uint32_t palette_;
  bool owned_;
};

// A picture object holding the picture of a file, read by a scratch engine instance as the
// control reads files; nullptr with the engine's error number in *error when it cannot be read.
PictureObject* pictureFromFile(const QString& path, int16_t* error);

// A new DIB handle (the caller's) with a copy of a picture object's bitmap; 0 when obj is none
// or its handle holds no picture any more.
uint32_t copyOfPicture(IUnknown* obj);

// The font of a font object, false when obj is none.
bool fontOf(IUnknown* obj, QFont* font);

// A 32-bit handle naming a widget within the process (0 for none); the same widget keeps its
// handle while it lives.
uint32_t windowHandle(QWidget* widget);
// The widget a handle names: one from windowHandle(), else a native window id of the process.
QWidget* widgetForHandle(uint32_t handle);

// Handles naming paint devices (PrinterhDC), in a range of their own; 0 for none.
uint32_t deviceHandle(QPaintDevice* device);
QPaintDevice* deviceForHandle(uint32_t handle);
void releaseDeviceHandle(uint32_t handle);

}  // namespace rastrel::impl
