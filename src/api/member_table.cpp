#include "kt482/member_table.h"

#include <array>

#include "api/host_addition_list.h"
#include "job/name_text.h"

namespace kt482 {
namespace {

#define KT482_MEMBER_INFO(NAME, ID, KIND, PARAMS, RESULT) \
    MemberInfo{#NAME, ID, MemberKind::KIND, member_params::PARAMS, ParamType::RESULT},
constexpr std::array kMembers{KT482_MEMBER_LIST(KT482_MEMBER_INFO)};
constexpr std::array kHostAdditions{KT482_HOST_ADDITION_LIST(KT482_MEMBER_INFO)};
#undef KT482_MEMBER_INFO

// The member table, then the host additions.
template <class Match>
const MemberInfo* find_first(Match&& match)
{
    for (const auto& table : {std::span<const MemberInfo>(kMembers), std::span<const MemberInfo>(kHostAdditions)}) {
        for (const MemberInfo& m : table) {
            if (match(m))
                return &m;
        }
    }
    return nullptr;
}

}  // namespace

std::span<const MemberInfo> member_table()
{
    return kMembers;
}

std::span<const MemberInfo> host_addition_table()
{
    return kHostAdditions;
}

const MemberInfo* find_member(std::string_view name, MemberKind kind)
{
    return find_first([&](const MemberInfo& m) { return m.kind == kind && equal_ignoring_case(m.name, name); });
}

const MemberInfo* find_member(int32_t dispid, MemberKind kind)
{
    return find_first([&](const MemberInfo& m) { return m.kind == kind && m.dispid == dispid; });
}

std::optional<int32_t> dispid_of(std::string_view name)
{
    const MemberInfo* m = find_first([&](const MemberInfo& m) { return equal_ignoring_case(m.name, name); });
    return m ? std::optional<int32_t>(m->dispid) : std::nullopt;
}

}  // namespace kt482
