// The member table of KT482_Print as data: name, dispatch identifier, kind,
// parameters and result, in interface order. The late-bound call path
// (KT482_Print::Invoke) and scripting bindings are built on it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "kt482/export.h"

namespace kt482 {

enum class MemberKind { Method, PropertyGet, PropertyLet, PropertySet };

// I2 16-bit integer, R4 32-bit float, Bool, Text (UTF-8), Value (any
// Variant), Object (a drawing target reference), I4 32-bit integer.
enum class ParamType { None, I2, R4, Bool, Text, Value, Object, I4 };

enum class PassedBy { Value, Reference };
enum class Presence { Required, Optional };

struct ParamInfo {
    std::string_view name;
    ParamType type;
    PassedBy passed_by;
    Presence presence;
};

struct MemberInfo {
    std::string_view name;
    int32_t dispid;
    MemberKind kind;
    std::span<const ParamInfo> params;
    ParamType result;  // ParamType::None when nothing is returned
};

// All members in interface order.
KT482_API std::span<const MemberInfo> member_table();

// The host additions that late-bound calls reach (E_Image, ...): members
// beyond the interface's, apart from the table above.
KT482_API std::span<const MemberInfo> host_addition_table();

// The lookups below search the member table, then the host additions.

// The member of that name (letter case ignored) and kind, or nullptr.
KT482_API const MemberInfo* find_member(std::string_view name, MemberKind kind);

// The member of that dispatch identifier and kind, or nullptr.
KT482_API const MemberInfo* find_member(int32_t dispid, MemberKind kind);

// The dispatch identifier of a name, letter case ignored.
KT482_API std::optional<int32_t> dispid_of(std::string_view name);

}  // namespace kt482
