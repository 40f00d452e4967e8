// The variant that carries values through IRastrel::Invoke, events and persistence, with
// automation conventions: booleans are -1 (true) and 0 (false), strings may be null (distinct
// from empty), objects are reference counted IUnknown pointers.
// Included by rastrel3.h; do not include it alone.
#pragma once

#include <QString>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

namespace rastrel {

enum VarType : uint16_t {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,  // in type information: any type
  VT_UNKNOWN = 13,
  VT_UI1 = 17,
  VT_UI4 = 19,  // OLE colours
};

class Variant {
 public:
  Variant() = default;
  Variant(const Variant& o) : type_(o.type_), n_(o.n_), d_(o.d_), s_(o.s_), obj_(o.obj_) {
    if (obj_) obj_->AddRef();
  }
  Variant(Variant&& o) noexcept
      : type_(o.type_), n_(o.n_), d_(o.d_), s_(std::move(o.s_)), obj_(o.obj_) {
    o.obj_ = nullptr;
    o.type_ = VT_EMPTY;
  }
  Variant& operator=(Variant o) noexcept {
    swap(o);
    return *this;
  }
  ~Variant() {
    if (obj_) obj_->Release();
  }
  void swap(Variant& o) noexcept {
    std::swap(type_, o.type_);
    std::swap(n_, o.n_);
    std::swap(d_, o.d_);
    std::swap(s_, o.s_);
    std::swap(obj_, o.obj_);
  }

  static Variant i2(int16_t v) { return whole(VT_I2, v); }
  static Variant i4(int32_t v) { return whole(VT_I4, v); }
  static Variant ui1(uint8_t v) { return whole(VT_UI1, v); }
  static Variant ui4(uint32_t v) { return whole(VT_UI4, v); }
  static Variant boolean(bool v) { return whole(VT_BOOL, v ? -1 : 0); }
  static Variant r4(float v) { return real(VT_R4, v); }
  static Variant r8(double v) { return real(VT_R8, v); }
  static Variant str(const QString& v) {
    Variant r;
    r.type_ = VT_BSTR;
    r.s_ = v;
    return r;
  }
  static Variant null() {
    Variant r;
    r.type_ = VT_NULL;
    return r;
  }
  static Variant error(int32_t scode) { return whole(VT_ERROR, scode); }
  // A missing optional argument.
  static Variant missing() { return error(int32_t(0x80020004)); }
  // Takes a new reference to obj (nullptr gives the object kind holding no object).
  static Variant object(IUnknown* obj, VarType kind = VT_UNKNOWN) {
    Variant r;
    r.type_ = kind;
    r.obj_ = obj;
    if (obj) obj->AddRef();
    return r;
  }

  VarType type() const { return type_; }
  bool isEmpty() const { return type_ == VT_EMPTY; }
  bool isMissing() const { return type_ == VT_ERROR && n_ == int32_t(0x80020004); }
  bool isObject() const { return type_ == VT_UNKNOWN || type_ == VT_DISPATCH; }
  // Raw values; meaningful for the matching type only (use changeType to convert).
  int64_t whole() const { return n_; }
  double real() const { return d_; }
  const QString& string() const { return s_; }
  IUnknown* object() const { return obj_; }
  bool toBool() const { return type_ == VT_BOOL ? n_ != 0 : false; }

  // Converts to `to` with automation rules: numbers between numeric kinds with range checks
  // (DISP_E_OVERFLOW) and round-half-even from reals, booleans as -1/0 and any non-zero
  // number as true, numeric text parsed, numbers formatted. Objects convert only to object
  // kinds, and nothing converts to or from VT_EMPTY/VT_NULL except to itself
  // (DISP_E_TYPEMISMATCH). Returns S_OK and fills *out.
  int32_t changeType(VarType to, Variant* out) const {
    constexpr int32_t kMismatch = int32_t(0x80020005), kOverflow = int32_t(0x8002000A);
    if (to == type_ || to == VT_VARIANT) {
      *out = *this;
      return 0;
    }
    if (to == VT_UNKNOWN || to == VT_DISPATCH) {
      if (!isObject()) return kMismatch;
      *out = object(obj_, to);
      return 0;
    }
    if (isObject() || type_ == VT_EMPTY || type_ == VT_NULL || type_ == VT_ERROR) return kMismatch;
    double value = 0;
    if (type_ == VT_BSTR) {
      if (to == VT_BSTR) return 0;
      bool ok = false;
      const QString t = s_.trimmed();
      if (t.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0)
        value = -1, ok = true;
      else if (t.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0)
        value = 0, ok = true;
      else
        value = t.toDouble(&ok);
      if (!ok) return kMismatch;
    } else {
      value = (type_ == VT_R4 || type_ == VT_R8) ? d_ : double(n_);
    }
    switch (to) {
      case VT_BSTR:
        *out = str(type_ == VT_BOOL ? (n_ ? QStringLiteral("True") : QStringLiteral("False"))
                   : (type_ == VT_R4 || type_ == VT_R8)
                       ? QString::number(d_, 'g', type_ == VT_R4 ? 7 : 15)
                       : QString::number(n_));
        return 0;
      case VT_BOOL:
        *out = boolean(value != 0);
        return 0;
      case VT_R4:
        if (std::fabs(value) > double(std::numeric_limits<float>::max())) return kOverflow;
        *out = r4(float(value));
        return 0;
      case VT_R8:
        *out = r8(value);
        return 0;
      case VT_I2:
      case VT_I4:
      case VT_UI1:
      case VT_UI4: {
        if (!std::isfinite(value)) return kOverflow;
        const double rounded = std::nearbyint(value);  // default rounding: half to even
        const double lo = to == VT_I2 ? -32768.0 : to == VT_I4 ? -2147483648.0 : 0.0;
        const double hi = to == VT_I2    ? 32767.0
                          : to == VT_I4  ? 2147483647.0
                          : to == VT_UI1 ? 255.0
                                         : 4294967295.0;
        if (rounded < lo || rounded > hi) return kOverflow;
        *out = whole(to, int64_t(rounded));
        return 0;
      }
      default:
        return kMismatch;
    }
  }

  bool operator==(const Variant& o) const {
    return type_ == o.type_ && n_ == o.n_ && (d_ == o.d_ || (std::isnan(d_) && std::isnan(o.d_))) &&
           s_.isNull() == o.s_.isNull() && s_ == o.s_ && obj_ == o.obj_;
  }

 private:
  static Variant whole(VarType t, int64_t v) {
    Variant r;
    r.type_ = t;
    r.n_ = v;
    return r;
  }
  static Variant real(VarType t, double v) {
    Variant r;
    r.type_ = t;
    r.d_ = t == VT_R4 ? double(float(v)) : v;
    return r;
  }

  VarType type_ = VT_EMPTY;
  int64_t n_ = 0;
  double d_ = 0;
  QString s_;
  IUnknown* obj_ = nullptr;
};

}  // namespace rastrel
