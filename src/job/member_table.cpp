#include "kt482/member_table.h"

#include <array>

#include "job/name_text.h"

namespace kt482 {
namespace {

using enum MemberKind;
using enum ParamType;
constexpr PassedBy Val = PassedBy::Value;
constexpr PassedBy Ref = PassedBy::Reference;
constexpr Presence Req = Presence::Required;
constexpr Presence Opt = Presence::Optional;

constexpr std::array<ParamInfo, 0> kNone{};
constexpr std::array kObject{ParamInfo{"Object", Object, Val, Req}};
constexpr std::array kText{ParamInfo{"Text", Text, Val, Req}};
constexpr std::array kR4Ref{ParamInfo{"R4", R4, Ref, Req}};
constexpr std::array kI2{ParamInfo{"I2", I2, Val, Req}};
constexpr std::array kR4{ParamInfo{"R4", R4, Val, Req}};

constexpr std::array kStartEdit{
    ParamInfo{"P_CurrP", I2, Ref, Opt}, ParamInfo{"P_StartP", I2, Ref, Opt}, ParamInfo{"P_EndP", I2, Ref, Opt}};
constexpr std::array kChangePage{ParamInfo{"P_NewP", I2, Ref, Opt}};
constexpr std::array kSizeSet{ParamInfo{"P_Size", I2, Val, Req}, ParamInfo{"P_Orient", I2, Ref, Req},
                              ParamInfo{"P_Height", R4, Ref, Opt}, ParamInfo{"P_Width", R4, Ref, Opt}};
constexpr std::array kPageRange{ParamInfo{"P_StartP", I2, Ref, Opt}, ParamInfo{"P_EndP", I2, Ref, Opt}};
constexpr std::array kPrtDialog{ParamInfo{"P_Form", Object, Ref, Req}, ParamInfo{"P_PrinterName", Text, Ref, Opt},
                                ParamInfo{"P_Size", I2, Ref, Opt},     ParamInfo{"P_Orient", I2, Ref, Opt},
                                ParamInfo{"P_Height", R4, Ref, Opt},   ParamInfo{"P_Width", R4, Ref, Opt}};
constexpr std::array kDevice{ParamInfo{"P_PrinterName", Text, Ref, Opt}};
constexpr std::array kPitch{ParamInfo{"P_Row_Pitch", R4, Val, Req}, ParamInfo{"P_Col_Pitch", R4, Val, Req}};
constexpr std::array kFont{ParamInfo{"P_Font_Name", Text, Val, Req}, ParamInfo{"P_Font_Size", R4, Val, Req},
                           ParamInfo{"P_Font_Bold", Bool, Val, Req}, ParamInfo{"P_Row_Margin", R4, Val, Req}};
constexpr std::array kDrawStyle{ParamInfo{"P_Line_Style", I2, Val, Req}, ParamInfo{"P_Line_Width", I2, Val, Req}};
constexpr std::array kLine{ParamInfo{"P_Start_Srow", R4, Val, Req}, ParamInfo{"P_Start_Scol", R4, Val, Req},
                           ParamInfo{"P_End_Srow", R4, Val, Req}, ParamInfo{"P_End_Scol", R4, Val, Req}};
constexpr std::array kRules{ParamInfo{"P_SBase_Row", R4, Val, Req}, ParamInfo{"P_SBase_Col", R4, Val, Req},
                            ParamInfo{"P_CLine_Row", Text, Val, Req}, ParamInfo{"P_CLine_Col", Text, Val, Req}};
constexpr std::array kString{ParamInfo{"P_Data_Srow", R4, Val, Req}, ParamInfo{"P_Data_Scol", R4, Val, Req},
                             ParamInfo{"P_Data_str", Value, Val, Req}};
constexpr std::array kStringLength{ParamInfo{"P_Data_Srow", R4, Val, Req}, ParamInfo{"P_Data_Scol", R4, Val, Req},
                                   ParamInfo{"P_Data_str", Value, Val, Req}, ParamInfo{"P_Out_Length", R4, Val, Req}};
constexpr std::array kNumeric{ParamInfo{"P_Data_Srow", R4, Val, Req}, ParamInfo{"P_Data_Scol", R4, Val, Req},
                              ParamInfo{"P_Data_Num", Value, Val, Req}, ParamInfo{"P_Data_Format", Text, Val, Req}};

constexpr std::array kMembers{
    MemberInfo{"P_PRINT", 0x40030000, PropertyGet, kNone, Object},
    MemberInfo{"P_PRINT", 0x40030000, PropertySet, kObject, None},
    MemberInfo{"P_PREVIEW", 0x40030001, PropertyGet, kNone, Object},
    MemberInfo{"P_PREVIEW", 0x40030001, PropertySet, kObject, None},
    MemberInfo{"E_StartEdit", 0x60030011, Method, kStartEdit, None},
    MemberInfo{"E_ChangePage", 0x60030012, Method, kChangePage, None},
    MemberInfo{"E_EndEdit", 0x60030013, Method, kNone, None},
    MemberInfo{"V_Size_Set", 0x60030014, Method, kSizeSet, None},
    MemberInfo{"V_Preview", 0x60030015, Method, kPageRange, None},
    MemberInfo{"W_PrtDialog", 0x60030016, Method, kPrtDialog, I2},
    MemberInfo{"W_Device", 0x60030017, Method, kDevice, None},
    MemberInfo{"W_StartDoc", 0x60030018, Method, kSizeSet, None},
    MemberInfo{"W_Print", 0x60030019, Method, kPageRange, None},
    MemberInfo{"W_EndDoc", 0x6003001a, Method, kNone, None},
    MemberInfo{"P_Temp_Dir", 0x6803000d, PropertyLet, kText, None},
    MemberInfo{"P_Temp_Dir", 0x6803000d, PropertyGet, kNone, Text},
    MemberInfo{"P_Bairitu", 0x6803000c, PropertyLet, kR4Ref, None},
    MemberInfo{"P_Bairitu", 0x6803000c, PropertyGet, kNone, R4},
    MemberInfo{"P_CurrPage", 0x6803000b, PropertyGet, kNone, I2},
    MemberInfo{"P_Min_Page", 0x6803000a, PropertyGet, kNone, I2},
    MemberInfo{"P_Max_Page", 0x68030009, PropertyGet, kNone, I2},
    MemberInfo{"P_PRT_Copy", 0x68030008, PropertyLet, kI2, None},
    MemberInfo{"P_PRT_Copy", 0x68030008, PropertyGet, kNone, I2},
    MemberInfo{"P_CheckEnd", 0x68030007, PropertyGet, kNone, Bool},
    MemberInfo{"P_CheckData", 0x68030006, PropertyGet, kNone, Bool},
    MemberInfo{"P_PaperSize", 0x68030005, PropertyGet, kNone, I2},
    MemberInfo{"P_Orientation", 0x68030004, PropertyGet, kNone, I2},
    MemberInfo{"P_TopMargin", 0x68030003, PropertyLet, kR4, None},
    MemberInfo{"P_TopMargin", 0x68030003, PropertyGet, kNone, R4},
    MemberInfo{"P_LeftMargin", 0x68030002, PropertyLet, kR4, None},
    MemberInfo{"P_LeftMargin", 0x68030002, PropertyGet, kNone, R4},
    MemberInfo{"P_RowPitch", 0x68030001, PropertyGet, kNone, R4},
    MemberInfo{"P_ColPitch", 0x68030000, PropertyGet, kNone, R4},
    MemberInfo{"E_Pitch", 0x6003001b, Method, kPitch, None},
    MemberInfo{"E_Font", 0x6003001c, Method, kFont, None},
    MemberInfo{"E_DrawStyle", 0x6003001d, Method, kDrawStyle, None},
    MemberInfo{"E_Line", 0x6003001e, Method, kLine, None},
    MemberInfo{"E_Line_Hor", 0x6003001f, Method, kRules, None},
    MemberInfo{"E_Line_Vrt", 0x60030020, Method, kRules, None},
    MemberInfo{"E_Keisen", 0x60030021, Method, kLine, None},
    MemberInfo{"E_String", 0x60030022, Method, kString, None},
    MemberInfo{"E_String_Kin", 0x60030023, Method, kStringLength, None},
    MemberInfo{"E_String_Center", 0x60030024, Method, kStringLength, None},
    MemberInfo{"E_String_Right", 0x60030025, Method, kString, None},
    MemberInfo{"E_String_Left", 0x60030026, Method, kStringLength, None},
    MemberInfo{"E_Numeric", 0x60030027, Method, kNumeric, None},
    MemberInfo{"E_Clear", 0x60030028, Method, kNone, None},
};

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
