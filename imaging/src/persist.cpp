#include "persist.h"

#include <QFont>
#include <QtEndian>
#include <cstring>

#include "control.h"
#include "members.h"
#include "objects.h"

namespace rastrel::impl {

namespace {

using P = Page;
namespace d = dispid;

const MapEntry kMap[] = {
    {"FileName", d::FileName, P::General},
    {"MouseIcon", d::MouseIcon, P::StockPicture},
    {"MousePointer", d::MousePointer, P::Misc, 0, 43, 99},
    {"Picture", d::Picture, P::StockPicture},
    {"Font", d::Font, P::StockFont},
    {"Enabled", d::Enabled, P::None},
    {"BackColor", d::BackColor, P::StockColor},
    {"AutoSize", d::AutoSize, P::General, 0, 5},
    {"BorderType", d::BorderType, P::View, 0, 3},
    {"ShowDithered", d::ShowDithered, P::View, 0, 3},
    {"ScrollBars", d::ScrollBars, P::View, 0, 3},
    {"ScrollBarLargeChange", d::ScrollBarLargeChange, P::View},
    {"ScrollBarSmallChange", d::ScrollBarSmallChange, P::View},
    {"Multitask", d::Multitask, P::Misc},
    {"CancelMode", d::CancelMode, P::Misc, 0, 9},
    {"CancelLoad", d::CancelLoad, P::Misc},
    {"CancelRemove", d::CancelRemove, P::Misc},
    {"Palette", d::Palette, P::View, 0, 7},
    {"ShowHourglass", d::ShowHourglass, P::Misc},
    {"LZWPassword", d::LZWPassword, P::None},
    {"PlaceHolder", d::FileName, P::General},
    {"PFileName", d::PFileName, P::View},
    {"PICPassword", d::PICPassword, P::Save},
    {"PrinterBanding", d::PrinterBanding, P::Misc},
    {"UndoEnabled", d::UndoEnabled, P::Misc},
    {"Update", d::Update, P::None},
    {"CropX", d::CropX, P::View},
    {"CropY", d::CropY, P::View},
    {"SaveGIFType", d::SaveGIFType, P::Save, 0, 1},
    {"SaveTIFCompression", d::SaveTIFCompression, P::Save, 0, 8},
    {"SavePNGInterlaced", d::SavePNGInterlaced, P::Save},
    {"SaveGIFInterlaced", d::SaveGIFInterlaced, P::Save},
    {"SaveGIFTransparent", d::SaveGIFTransparent, P::Save},
    {"SaveJPGProgressive", d::SaveJPGProgressive, P::Save},
    {"SaveJPGGrayscale", d::SaveJPGGrayscale, P::Save},
    {"SaveGIFTColor", d::SaveGIFTColor, P::StockColor},
    {"TwainProductName", d::TwainProductName, P::None},
    {"TwainProductFamily", d::TwainProductFamily, P::None},
    {"TwainManufacturer", d::TwainManufacturer, P::None},
    {"TwainVersionInfo", d::TwainVersionInfo, P::None},
    {"Notify", d::Notify, P::Misc},
    {"NotifyDelay", d::NotifyDelay, P::Misc},
    {"SavePBMType", d::SavePBMType, P::None, 0, 1},
    {"SavePGMType", d::SavePGMType, P::None, 0, 1},
    {"SavePPMType", d::SavePPMType, P::None, 0, 1},
    {"PageNbr", d::PageNbr, P::None},
    {"ProgressEnabled", d::ProgressEnabled, P::Misc},
    {"ManagePalette", d::ManagePalette, P::None},
    {"PictureEnabled", d::PictureEnabled, P::Misc},
    {"SaveJPGLumFactor", d::SaveJPGLumFactor, P::Save},
    {"SaveJPGChromFactor", d::SaveJPGChromFactor, P::Save},
    {"DisplayMode", d::DisplayMode, P::View, 0, 2},
    {"DrawStyle", d::DrawStyle, P::Draw, 0, 6},
    {"DrawWidth", d::DrawWidth, P::Draw},
    {"DrawFillColor", d::DrawFillColor, P::StockColor},
    {"DrawFillStyle", d::DrawFillStyle, P::Draw, 0, 7},
    {"DrawMode", d::DrawMode, P::Draw, 1, 16},
    {"PICThumbnail", d::PICThumbnail, P::PICView, 0, 3},
    {"PICCropEnabled", d::PICCropEnabled, P::PICView},
    {"PICCropX", d::PICCropX, P::PICView},
    {"PICCropY", d::PICCropY, P::PICView},
    {"PICCropWidth", d::PICCropWidth, P::PICView},
    {"PICCropHeight", d::PICCropHeight, P::PICView},
    {"Antialias", d::Antialias, P::View, 0, 3},
    {"OLEDropAllowed", d::OLEDropAllowed, P::None},
};
static_assert(std::size(kMap) == 65);

void append(QByteArray& out, const void* data, size_t size) {
  out.append(static_cast<const char*>(data), qsizetype(size));
}
template <class T>
void appendLE(QByteArray& out, T value) {
  T le = qToLittleEndian(value);
  append(out, &le, sizeof le);
}

HRESULT readExactly(IStream* stream, void* data, uint32_t size) {
  uint32_t done = 0;
  const HRESULT hr = stream->Read(data, size, &done);
  if (failed(hr)) return hr;
  return done == size ? S_OK : STG_E_READFAULT;
}
template <class T>
HRESULT readLE(IStream* stream, T* value) {
  T raw{};
  if (const HRESULT hr = readExactly(stream, &raw, sizeof raw); failed(hr)) return hr;
  *value = qFromLittleEndian(raw);
  return S_OK;
}

constexpr uint32_t kNullString = 0xFFFFFFFF;
constexpr uint32_t kMaxString = 1u << 20;  // a stored text longer than this is damage
enum : uint32_t { kNoObject = 0, kFontObject = 1 };

}  // namespace

bool MapEntry::accepts(const Variant& value) const {
  if (max < min) return true;
  Variant n;
  if (failed(value.changeType(VT_I4, &n))) return true;  // Invoke refuses the type itself
  const int64_t v = n.whole();
  return (v >= min && v <= max) || (extra >= 0 && v == extra);
}

std::span<const MapEntry> propertyMap() {
  return kMap;
}

QByteArray serializeVariant(const Variant& value) {
  QByteArray out;
  appendLE<uint16_t>(out, value.type());
  switch (value.type()) {
    case VT_I2:
    case VT_BOOL:
      appendLE<int16_t>(out, int16_t(value.whole()));
      break;
    case VT_I4:
    case VT_UI4:
    case VT_ERROR:
      appendLE<uint32_t>(out, uint32_t(value.whole()));
      break;
    case VT_R4: {
      const float f = float(value.real());
      uint32_t bits;
      std::memcpy(&bits, &f, sizeof bits);
      appendLE(out, bits);
      break;
    }
    case VT_R8: {
      const double r = value.real();
      uint64_t bits;
      std::memcpy(&bits, &r, sizeof bits);
      appendLE(out, bits);
      break;
    }
    case VT_BSTR: {
      if (value.string().isNull()) {
        appendLE<uint32_t>(out, kNullString);
        break;
      }
      appendLE<uint32_t>(out, uint32_t(value.string().size() * 2));
      for (QChar c : value.string()) appendLE<uint16_t>(out, c.unicode());
      break;
    }
    case VT_UNKNOWN:
    case VT_DISPATCH: {
      QFont font;
      if (fontOf(value.object(), &font)) {
        appendLE<uint32_t>(out, kFontObject);
        out += serializeVariant(Variant::str(font.toString()));
      } else {
        appendLE<uint32_t>(out, kNoObject);
      }
      break;
    }
    default:
      break;
  }
  return out;
}

HRESULT readI32(IStream* stream, int32_t* value) {
  return readLE(stream, value);
}

HRESULT readVariant(IStream* stream, Variant* value) {
  uint16_t tag = 0;
  if (const HRESULT hr = readLE(stream, &tag); failed(hr)) return hr;
  HRESULT hr = S_OK;
  switch (tag) {
    case VT_EMPTY:
      *value = Variant();
      return S_OK;
    case VT_NULL:
      *value = Variant::null();
      return S_OK;
    case VT_I2:
    case VT_BOOL: {
      int16_t v = 0;
      if (failed(hr = readLE(stream, &v))) return hr;
      *value = tag == VT_I2 ? Variant::i2(v) : Variant::boolean(v != 0);
      return S_OK;
    }
    case VT_I4:
    case VT_UI4:
    case VT_ERROR: {
      uint32_t v = 0;
      if (failed(hr = readLE(stream, &v))) return hr;
      *value = tag == VT_I4    ? Variant::i4(int32_t(v))
               : tag == VT_UI4 ? Variant::ui4(v)
                               : Variant::error(int32_t(v));
      return S_OK;
    }
    case VT_R4: {
      uint32_t bits = 0;
      if (failed(hr = readLE(stream, &bits))) return hr;
      float f;
      std::memcpy(&f, &bits, sizeof f);
      *value = Variant::r4(f);
      return S_OK;
    }
    case VT_R8: {
      uint64_t bits = 0;
      if (failed(hr = readLE(stream, &bits))) return hr;
      double r;
      std::memcpy(&r, &bits, sizeof r);
      *value = Variant::r8(r);
      return S_OK;
    }
    case VT_BSTR: {
      uint32_t bytes = 0;
      if (failed(hr = readLE(stream, &bytes))) return hr;
      if (bytes == kNullString) {
        *value = Variant::str(QString());
        return S_OK;
      }
      if (bytes % 2 != 0 || bytes > kMaxString) return E_INVALIDARG;
      QByteArray raw(qsizetype(bytes), '\0');
      if (failed(hr = readExactly(stream, raw.data(), bytes))) return hr;
      QString text(qsizetype(bytes / 2), Qt::Uninitialized);
      for (uint32_t i = 0; i < bytes / 2; ++i)
        text[qsizetype(i)] = QChar(qFromLittleEndian<uint16_t>(raw.constData() + 2 * size_t(i)));
      *value = Variant::str(text);
      return S_OK;
    }
    case VT_UNKNOWN:
    case VT_DISPATCH: {
      uint32_t kind = 0;
      if (failed(hr = readLE(stream, &kind))) return hr;
      if (kind == kNoObject) {
        *value = Variant::object(nullptr, VarType(tag));
        return S_OK;
      }
      if (kind != kFontObject) return E_INVALIDARG;
      Variant description;
      if (failed(hr = readVariant(stream, &description))) return hr;
      if (description.type() != VT_BSTR) return E_INVALIDARG;
      QFont font;
      if (!font.fromString(description.string())) return E_INVALIDARG;
      auto* object = new FontObject(font);
      *value = Variant::object(object, VarType(tag));
      object->Release();
      return S_OK;
    }
    default:
      return E_INVALIDARG;
  }
}

HRESULT writeBytes(IStream* stream, const QByteArray& bytes) {
  uint32_t done = 0;
  const HRESULT hr = stream->Write(bytes.constData(), uint32_t(bytes.size()), &done);
  if (failed(hr)) return hr;
  return done == uint32_t(bytes.size()) ? S_OK : STG_E_WRITEFAULT;
}

// ---- the control's persistence ----

namespace {

constexpr HRESULT CTL_E_INVALIDPROPERTYVALUE = controlError(380);

InvokeKind putKind(const Variant& value) {
  return value.isObject() ? InvokeKind::PutRef : InvokeKind::Put;
}

}  // namespace

HRESULT Control::putStored(const MapEntry& entry, const Variant& value) {
  if (!entry.accepts(value)) return CTL_E_INVALIDPROPERTYVALUE;
  // Colours were stored as 32-bit integers: their bits are the colour.
  const Member* m = findMember(entry.id);
  if (m && m->type == VT_UI4 && value.type() == VT_I4) {
    const Variant colour = Variant::ui4(uint32_t(int32_t(value.whole())));
    return Invoke(entry.id, InvokeKind::Put, &colour, 1, nullptr, nullptr);
  }
  return Invoke(entry.id, putKind(value), &value, 1, nullptr, nullptr);
}

HRESULT Control::Save(IPropertyBag* bag, bool clearDirty, bool) {
  if (!bag) return E_POINTER;
  HRESULT hr = bag->Write(QStringLiteral("_ExtentX"), Variant::i4(extent_.width()));
  if (succeeded(hr)) hr = bag->Write(QStringLiteral("_ExtentY"), Variant::i4(extent_.height()));
  Variant persistence;
  if (succeeded(hr))
    hr = Invoke(dispid::Persistence, InvokeKind::Get, nullptr, 0, &persistence, nullptr);
  if (succeeded(hr)) hr = bag->Write(QStringLiteral("Persistence"), persistence);
  if (failed(hr)) return hr;
  if (persistence.toBool()) {
    for (const MapEntry& entry : propertyMap()) {
      Variant value;
      if (failed(hr = Invoke(entry.id, InvokeKind::Get, nullptr, 0, &value, nullptr))) return hr;
      if (value.isObject()) {
        if (!value.object()) continue;  // a null object is not stored
        value = Variant::object(value.object(), VT_UNKNOWN);
      } else if (value.type() == VT_UI4) {
        value = Variant::i4(int32_t(value.whole()));
      }
      if (failed(hr = bag->Write(QString::fromLatin1(entry.name), value))) return hr;
    }
  }
  if (clearDirty) dirty_ = false;
  return S_OK;
}

HRESULT Control::Load(IPropertyBag* bag) {
  if (!bag) return E_POINTER;
  Variant x = Variant::i4(0), y = Variant::i4(0);
  if (succeeded(bag->Read(QStringLiteral("_ExtentX"), &x)) &&
      succeeded(bag->Read(QStringLiteral("_ExtentY"), &y)))
    SetExtent(QSize(int(x.whole()), int(y.whole())));
  Variant persistence = Variant::boolean(false);
  HRESULT hr = bag->Read(QStringLiteral("Persistence"), &persistence);
  if (hr == E_INVALIDARG) {  // not stored: the control's own value decides
    Invoke(dispid::Persistence, InvokeKind::Get, nullptr, 0, &persistence, nullptr);
  } else if (failed(hr) || failed(hr = Invoke(dispid::Persistence, InvokeKind::Put, &persistence, 1,
                                              nullptr, nullptr))) {
    return hr;
  }
  if (!persistence.toBool()) return S_OK;
  for (const MapEntry& entry : propertyMap()) {
    Variant value;
    hr = bag->Read(QString::fromLatin1(entry.name), &value);
    if (hr == E_INVALIDARG) continue;  // missing from the bag: the current value stays
    if (failed(hr) || failed(hr = putStored(entry, value))) return hr;
  }
  return S_OK;
}

HRESULT Control::Save(IStream* stream, bool clearDirty) {
  if (!stream) return E_POINTER;
  Variant persistence;
  HRESULT hr = Invoke(dispid::Persistence, InvokeKind::Get, nullptr, 0, &persistence, nullptr);
  if (failed(hr)) return hr;
  const bool on = persistence.toBool();
  QByteArray out = serializeVariant(Variant::i4(on ? -1 : 0));
  if (on) {
    QByteArray header;
    for (int32_t v : {kStreamVersion, int32_t(extent_.width()), int32_t(extent_.height())}) {
      const int32_t le = qToLittleEndian(v);
      header.append(reinterpret_cast<const char*>(&le), sizeof le);
    }
    out += header;
    for (const MapEntry& entry : propertyMap()) {
      Variant value;
      if (failed(hr = Invoke(entry.id, InvokeKind::Get, nullptr, 0, &value, nullptr))) return hr;
      out += serializeVariant(value);
    }
  }
  if (failed(hr = writeBytes(stream, out))) return hr;
  if (clearDirty) dirty_ = false;
  return S_OK;
}

HRESULT Control::Load(IStream* stream) {
  if (!stream) return E_POINTER;
  Variant stored, persistence;
  HRESULT hr = readVariant(stream, &stored);
  if (failed(hr)) return hr;
  if (failed(hr = stored.changeType(VT_BOOL, &persistence))) return hr;
  if (failed(hr = Invoke(dispid::Persistence, InvokeKind::Put, &persistence, 1, nullptr, nullptr)))
    return hr;
  if (!persistence.toBool()) return S_OK;
  int32_t version = 0;
  if (failed(hr = readI32(stream, &version))) return hr;
  if (version <= kStreamVersion) {  // later versions store no extent
    int32_t cx = 0, cy = 0;
    if (failed(hr = readI32(stream, &cx)) || failed(hr = readI32(stream, &cy))) return hr;
    if (failed(hr = SetExtent(QSize(cx, cy)))) return hr;
  }
  for (const MapEntry& entry : propertyMap()) {
    Variant value;
    if (failed(hr = readVariant(stream, &value))) return hr;
    // Pictures are stored as none (their handles do not outlive the process): putting none
    // would take away the picture FileName has just loaded.
    if (entry.page == Page::StockPicture && value.isObject() && !value.object()) continue;
    if (failed(hr = putStored(entry, value))) return hr;
  }
  return S_OK;
}

HRESULT Control::InitNew() {
  dirty_ = true;
  return S_OK;
}

HRESULT Control::GetSizeMax(uint64_t*) {
  return E_NOTIMPL;
}

}  // namespace rastrel::impl
