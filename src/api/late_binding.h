// Late-bound calls: a member of the table invoked with automation values.
#pragma once

#include <vector>

#include "job/object_fields.h"
#include "kt482/kt482_print.h"

namespace kt482 {

// Checks the argument count, converts the arguments to the member's
// parameter types and calls it. A conversion failure (a text that is not a
// number, a number out of range) is reported like a failure of a method; a
// property accessor ignores the value without a word.
InvokeResult invoke_member(KT482_Print& object, ObjectFields& self, const MemberInfo& member,
                           const std::vector<Variant>& args) noexcept;

}  // namespace kt482
