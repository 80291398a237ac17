#include "kt482/member_table.h"

#include <array>

#include "api/member_list.h"
#include "job/name_text.h"

namespace kt482 {
namespace {

#define KT482_MEMBER_INFO(NAME, ID, KIND, PARAMS, RESULT) \
    MemberInfo{#NAME, ID, MemberKind::KIND, member_params::PARAMS, ParamType::RESULT},
constexpr std::array kMembers{KT482_MEMBER_LIST(KT482_MEMBER_INFO)};
#undef KT482_MEMBER_INFO

}  // namespace

std::span<const MemberInfo> member_table()
{
    return kMembers;
}

const MemberInfo* find_member(std::string_view name, MemberKind kind)
{
    for (const MemberInfo& m : kMembers) {
        if (m.kind == kind && equal_ignoring_case(m.name, name))
            return &m;
    }
    return nullptr;
}

const MemberInfo* find_member(int32_t dispid, MemberKind kind)
{
    for (const MemberInfo& m : kMembers) {
        if (m.kind == kind && m.dispid == dispid)
            return &m;
    }
    return nullptr;
}

std::optional<int32_t> dispid_of(std::string_view name)
{
    for (const MemberInfo& m : kMembers) {
        if (equal_ignoring_case(m.name, name))
            return m.dispid;
    }
    return std::nullopt;
}

}  // namespace kt482
