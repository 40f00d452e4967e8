// What the control stores with its container: the property map (65 entries in the order the
// stream format depends on) and the serialized variant of the stream format.
#pragma once

#include <QByteArray>
#include <span>

#include "rastrel3.h"

namespace rastrel::impl {

enum class Page {
  General,
  Misc,
  View,
  Save,
  Draw,
  PICView,
  StockPicture,
  StockFont,
  StockColor,
  None
};

struct MapEntry {
  const char* name;           // the name stored in a property bag
  DISPID id;                  // the member whose value it carries
  Page page;                  // the property page that edits it
  int16_t min = 0, max = -1;  // valid values of an enumeration (max < min: any value)
  int16_t extra = -1;         // one more valid value outside min..max (MousePointer's 99)

  bool accepts(const Variant& value) const;
};

std::span<const MapEntry> propertyMap();

inline constexpr int32_t kStreamVersion = 0x0200;

// The serialized variant of the stream format, little-endian throughout:
//   uint16 type tag (the VarType number), then the value:
//   VT_EMPTY, VT_NULL           nothing
//   VT_I2, VT_BOOL              int16 (booleans -1/0)
//   VT_I4, VT_UI4, VT_ERROR     int32 / uint32
//   VT_R4, VT_R8                IEEE float32 / float64
//   VT_BSTR                     uint32 length in bytes, then UTF-16LE text; 0xFFFFFFFF: null
//   VT_UNKNOWN, VT_DISPATCH     uint32 object kind: 0 none, 1 font followed by its description
//                               as a serialized VT_BSTR; picture objects are stored as none
//                               (their handles do not outlive the process)
QByteArray serializeVariant(const Variant& value);
// Reads one variant from stream; STG_E_READFAULT when the stream ends early, E_INVALIDARG for
// an unknown tag or object kind.
HRESULT readVariant(IStream* stream, Variant* value);
HRESULT readI32(IStream* stream, int32_t* value);
HRESULT writeBytes(IStream* stream, const QByteArray& bytes);

}  // namespace rastrel::impl
