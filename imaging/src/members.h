// The dispatch table of IRastrel: one declarative entry per member with its name, DISPID,
// kinds, types, flags and handlers. Invoke checks kinds, argument counts and types, read-only
// and design-mode rules against the entry before any handler runs.
#pragma once

#include <array>
#include <span>

#include "rastrel3.h"

namespace rastrel::impl {

class Control;
struct Member;

// Arguments arrive already converted to the declared types; a missing optional argument is
// Variant::missing().
using Handler = HRESULT (*)(Control& control, const Member& member, const Variant* args,
                            Variant* result);

enum MemberFlag : uint8_t {
  ReadOnly = 1,    // a put fails with control error 383
  RunModeGet = 2,  // a get fails with E_FAIL while the container is in design mode
};

inline constexpr uint16_t kGet = uint16_t(InvokeKind::Get);
inline constexpr uint16_t kPut = uint16_t(InvokeKind::Put);
inline constexpr uint16_t kPutRef = uint16_t(InvokeKind::PutRef);
inline constexpr uint16_t kMethod = uint16_t(InvokeKind::Method);

struct Member {
  const char* name = nullptr;
  DISPID id = 0;
  VarType type = VT_EMPTY;  // property type or method result
  uint16_t kinds = 0;
  uint8_t flags = 0;
  Handler get = nullptr;
  Handler put = nullptr;  // put and putref
  Handler call = nullptr;
  std::array<VarType, 12> args{};
  uint8_t argc = 0;
  uint8_t optionalFrom = 0;

  bool readOnly() const { return flags & ReadOnly; }
  bool runModeGet() const { return flags & RunModeGet; }
  MemberInfo info() const;
};

std::span<const Member> members();
const Member* findMember(DISPID id);
const Member* findMember(const QString& name);  // without regard to case

}  // namespace rastrel::impl
