#include "job/late_binding.h"

#include <string>

#include "job/error_trap.h"
#include "job/number_text.h"

namespace kt482 {
namespace {

// The arguments of one call, converted; a missing optional one is 0, the
// empty text or false.
class Arguments {
public:
    Arguments(const MemberInfo& member, const std::vector<Variant>& args) : member_(member), args_(args) {}

    int16_t i2(std::size_t i) const { return given(i) ? must(variant_to_i2(args_[i])) : int16_t{0}; }
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

// Calls the member; false when it cannot be called late-bound.
bool call(KT482_Print& o, const MemberInfo& m, const Arguments& a, Variant& result)
{
    using K = MemberKind;
    const bool get = m.kind == K::PropertyGet;
    const bool let = m.kind == K::PropertyLet;
    switch (m.dispid) {
    case 0x60030011: o.E_StartEdit(a.i2(0), a.i2(1), a.i2(2)); return true;
    case 0x60030012: o.E_ChangePage(a.i2(0)); return true;
    case 0x60030013: o.E_EndEdit(); return true;
    case 0x60030014: o.V_Size_Set(a.i2(0), a.i2(1), a.r4(2), a.r4(3)); return true;
    case 0x60030015: o.V_Preview(a.i2(0), a.i2(1)); return true;
    case 0x60030017: o.W_Device(a.text(0)); return true;
    case 0x60030018: o.W_StartDoc(a.i2(0), a.i2(1), a.r4(2), a.r4(3)); return true;
    case 0x60030019: o.W_Print(a.i2(0), a.i2(1)); return true;
    case 0x6003001a: o.W_EndDoc(); return true;
    case 0x6803000d:
        if (get) result = o.P_Temp_Dir();
        if (let) o.P_Temp_Dir(a.text(0));
        return true;
    case 0x6803000c:
        if (get) result = o.P_Bairitu();
        if (let) o.P_Bairitu(a.r4(0));
        return true;
    case 0x6803000b: result = o.P_CurrPage(); return true;
    case 0x6803000a: result = o.P_Min_Page(); return true;
    case 0x68030009: result = o.P_Max_Page(); return true;
    case 0x68030008:
        if (get) result = o.P_PRT_Copy();
        if (let) o.P_PRT_Copy(a.i2(0));
        return true;
    case 0x68030007: result = o.P_CheckEnd(); return true;
    case 0x68030006: result = o.P_CheckData(); return true;
    case 0x68030005: result = o.P_PaperSize(); return true;
    case 0x68030004: result = o.P_Orientation(); return true;
    case 0x68030003:
        if (get) result = o.P_TopMargin();
        if (let) o.P_TopMargin(a.r4(0));
        return true;
    case 0x68030002:
        if (get) result = o.P_LeftMargin();
        if (let) o.P_LeftMargin(a.r4(0));
        return true;
    case 0x68030001: result = o.P_RowPitch(); return true;
    case 0x68030000: result = o.P_ColPitch(); return true;
    case 0x6003001b: o.E_Pitch(a.r4(0), a.r4(1)); return true;
    case 0x6003001c: o.E_Font(a.text(0), a.r4(1), a.boolean(2), a.r4(3)); return true;
    case 0x6003001d: o.E_DrawStyle(a.i2(0), a.i2(1)); return true;
    case 0x6003001e: o.E_Line(a.r4(0), a.r4(1), a.r4(2), a.r4(3)); return true;
    case 0x6003001f: o.E_Line_Hor(a.r4(0), a.r4(1), a.text(2), a.text(3)); return true;
    case 0x60030020: o.E_Line_Vrt(a.r4(0), a.r4(1), a.text(2), a.text(3)); return true;
    case 0x60030021: o.E_Keisen(a.r4(0), a.r4(1), a.r4(2), a.r4(3)); return true;
    case 0x60030022: o.E_String(a.r4(0), a.r4(1), a.value(2)); return true;
    case 0x60030023: o.E_String_Kin(a.r4(0), a.r4(1), a.value(2), a.r4(3)); return true;
    case 0x60030024: o.E_String_Center(a.r4(0), a.r4(1), a.value(2), a.r4(3)); return true;
    case 0x60030025: o.E_String_Right(a.r4(0), a.r4(1), a.value(2)); return true;
    case 0x60030026: o.E_String_Left(a.r4(0), a.r4(1), a.value(2), a.r4(3)); return true;
    case 0x60030027: o.E_Numeric(a.r4(0), a.r4(1), a.value(2), a.text(3)); return true;
    case 0x60030028: o.E_Clear(); return true;
    default: return false;
    }
}

}  // namespace

InvokeResult invoke_member(KT482_Print& object, ObjectFields& self, const MemberInfo& member,
                           const std::vector<Variant>& args)
{
    if (!count_fits(member, args.size()))
        return {InvokeStatus::BadParamCount, {}};
    if (!late_bound_types(member))
        return {InvokeStatus::NotSupported, {}};

    const Arguments arguments(member, args);
    InvokeResult result;
    bool called = true;
    run_trapped(self, member.name, [&] {
        arguments.check_all();
        called = call(object, member, arguments, result.value);
    });
    if (!called)
        result.status = InvokeStatus::NotSupported;
    return result;
}

}  // namespace kt482
