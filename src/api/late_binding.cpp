#include "api/late_binding.h"

#include <array>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <type_traits>
#include <utility>

#include "job/error_trap.h"
#include "api/host_addition_list.h"
#include "job/number_text.h"

namespace kt482 {
namespace {

// The arguments of one call, converted; a missing optional one is 0, the
// empty text or false.
class Arguments {
public:
    Arguments(const MemberInfo& member, const std::vector<Variant>& args) : member_(member), args_(args) {}

    int16_t i2(std::size_t i) const { return given(i) ? must(variant_to_i2(args_[i])) : int16_t{0}; }
    int32_t i4(std::size_t i) const { return given(i) ? must(variant_to_i4(args_[i])) : int32_t{0}; }
    float r4(std::size_t i) const { return given(i) ? must(variant_to_r4(args_[i])) : 0.0f; }
    bool boolean(std::size_t i) const { return given(i) ? must(variant_to_bool(args_[i])) : false; }
    std::string text(std::size_t i) const { return given(i) ? must(variant_to_text(args_[i])) : std::string(); }
    const Variant& value(std::size_t i) const { return i < args_.size() ? args_[i] : empty_; }

    // Converts every argument once, so that a mismatch is found before the
    // member runs.
    void check_all() const
    {
        for (std::size_t i = 0; i < member_.params.size(); ++i) {
            switch (member_.params[i].type) {
            case ParamType::I2: (void)i2(i); break;
            case ParamType::I4: (void)i4(i); break;
            case ParamType::R4: (void)r4(i); break;
            case ParamType::Bool: (void)boolean(i); break;
            case ParamType::Text: (void)text(i); break;
            default: break;
            }
        }
    }

private:
    bool given(std::size_t i) const { return i < args_.size() && !args_[i].is_empty(); }

    const MemberInfo& member_;
    const std::vector<Variant>& args_;
    Variant empty_;
};

bool count_fits(const MemberInfo& member, std::size_t count)
{
    std::size_t required = 0;
    for (const ParamInfo& p : member.params) {
        if (p.presence == Presence::Required)
            ++required;
    }
    return count >= required && count <= member.params.size();
}

bool late_bound_types(const MemberInfo& member)
{
    if (member.result == ParamType::Object)
        return false;
    for (const ParamInfo& p : member.params) {
        if (p.type == ParamType::Object)
            return false;
    }
    return true;
}

// The value passed for an object reference. Members with one are not
// called late-bound (late_bound_types), so it is never used.
struct NoObject {
    operator uintptr_t() const { return 0; }
    operator std::shared_ptr<DrawSurface>() const { return {}; }
};

template <ParamType T>
decltype(auto) argument(const Arguments& a, std::size_t i)
{
    if constexpr (T == ParamType::I2)
        return a.i2(i);
    else if constexpr (T == ParamType::I4)
        return a.i4(i);
    else if constexpr (T == ParamType::R4)
        return a.r4(i);
    else if constexpr (T == ParamType::Bool)
        return a.boolean(i);
    else if constexpr (T == ParamType::Text)
        return a.text(i);
    else if constexpr (T == ParamType::Value)
        return a.value(i);
    else
        return NoObject{};
}

// A job's state as one automation text: the state, then the reasons.
std::string job_status_text(const JobStatus& status)
{
    std::string text = status.state;
    for (const std::string& reason : status.reasons)
        text += " " + reason;
    return text;
}

// Runs a call and keeps its result when it has one an automation value can
// hold.
template <class Call>
void keep_result(Variant& result, Call&& call)
{
    using R = decltype(call());
    if constexpr (std::is_same_v<R, JobStatus>)
        result = Variant(job_status_text(call()));
    else if constexpr (std::is_void_v<R> || !std::is_constructible_v<Variant, R>)
        call();
    else
        result = Variant(call());
}

using Caller = void (*)(KT482_Print&, const Arguments&, Variant&);

// One caller per member, in the order of the member table and then of the
// host additions: the member named
// by the list entry, its arguments converted by the entry's parameter types.
#define KT482_MEMBER_CALLER(NAME, ID, KIND, PARAMS, RESULT)                                                    \
    [](KT482_Print& o, const Arguments& a, Variant& r) {                                                     \
        constexpr auto& params = member_params::PARAMS;                                                      \
        [&]<std::size_t... I>(std::index_sequence<I...>) {                                                   \
            keep_result(r, [&] { return o.NAME(argument<params[I].type>(a, I)...); });                       \
        }(std::make_index_sequence<params.size()>{});                                                        \
    },
constexpr Caller kCallers[]{KT482_MEMBER_LIST(KT482_MEMBER_CALLER) KT482_HOST_ADDITION_LIST(KT482_MEMBER_CALLER)};
#undef KT482_MEMBER_CALLER

}  // namespace

InvokeResult invoke_member(KT482_Print& object, ObjectFields& self, const MemberInfo& member,
                           const std::vector<Variant>& args) noexcept
{
    if (!count_fits(member, args.size()))
        return {InvokeStatus::BadParamCount, {}};
    if (!late_bound_types(member))
        return {InvokeStatus::NotSupported, {}};
    // The caller's index: the member's place in its table, the host
    // additions after the member table.
    const auto place = [&member](std::span<const MemberInfo> table) -> std::optional<std::size_t> {
        if (table.empty() || &member < table.data() || &member >= table.data() + table.size())
            return std::nullopt;
        return static_cast<std::size_t>(&member - table.data());
    };
    std::optional<std::size_t> index = place(member_table());
    if (!index) {
        if (auto extra = place(host_addition_table()))
            index = member_table().size() + *extra;
    }
    if (!index || *index >= std::size(kCallers))
        return {InvokeStatus::UnknownMember, {}};

    const Arguments arguments(member, args);
    InvokeResult result;
    const auto call = [&] {
        arguments.check_all();
        kCallers[*index](object, arguments, result.value);
    };
    if (member.kind == MemberKind::Method) {
        run_trapped(self, member.name, call);
    } else {
        // Accessors neither record their name nor show a message: a value
        // that does not convert is ignored, as the setters ignore one out of
        // range.
        trap(call, [](const Failure&) {});
    }
    return result;
}

}  // namespace kt482
