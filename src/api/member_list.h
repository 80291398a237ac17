// The one list of KT482_Print's members: name, dispatch identifier, kind,
// parameters and result, in interface order. The member table and the
// late-bound dispatch are both expanded from it, so a member's identifier,
// kind and the function it calls cannot drift apart.
#pragma once

#include <array>

#include "kt482/member_table.h"

namespace kt482::member_params {

using enum ParamType;
inline constexpr PassedBy Val = PassedBy::Value;
inline constexpr PassedBy Ref = PassedBy::Reference;
inline constexpr Presence Req = Presence::Required;
inline constexpr Presence Opt = Presence::Optional;

inline constexpr std::array<ParamInfo, 0> kNone{};
inline constexpr std::array kObject{ParamInfo{"Object", Object, Val, Req}};
inline constexpr std::array kText{ParamInfo{"Text", Text, Val, Req}};
inline constexpr std::array kR4Ref{ParamInfo{"R4", R4, Ref, Req}};
inline constexpr std::array kI2{ParamInfo{"I2", I2, Val, Req}};
inline constexpr std::array kR4{ParamInfo{"R4", R4, Val, Req}};

inline constexpr std::array kStartEdit{
    ParamInfo{"P_CurrP", I2, Ref, Opt}, ParamInfo{"P_StartP", I2, Ref, Opt}, ParamInfo{"P_EndP", I2, Ref, Opt}};
inline constexpr std::array kChangePage{ParamInfo{"P_NewP", I2, Ref, Opt}};
inline constexpr std::array kSizeSet{ParamInfo{"P_Size", I2, Val, Req}, ParamInfo{"P_Orient", I2, Ref, Req},
                                     ParamInfo{"P_Height", R4, Ref, Opt}, ParamInfo{"P_Width", R4, Ref, Opt}};
inline constexpr std::array kPageRange{ParamInfo{"P_StartP", I2, Ref, Opt}, ParamInfo{"P_EndP", I2, Ref, Opt}};
inline constexpr std::array kPrtDialog{
    ParamInfo{"P_Form", Object, Ref, Req}, ParamInfo{"P_PrinterName", Text, Ref, Opt},
    ParamInfo{"P_Size", I2, Ref, Opt},     ParamInfo{"P_Orient", I2, Ref, Opt},
    ParamInfo{"P_Height", R4, Ref, Opt},   ParamInfo{"P_Width", R4, Ref, Opt}};
inline constexpr std::array kDevice{ParamInfo{"P_PrinterName", Text, Ref, Opt}};
inline constexpr std::array kPitch{ParamInfo{"P_Row_Pitch", R4, Val, Req}, ParamInfo{"P_Col_Pitch", R4, Val, Req}};
inline constexpr std::array kFont{ParamInfo{"P_Font_Name", Text, Val, Req}, ParamInfo{"P_Font_Size", R4, Val, Req},
                                  ParamInfo{"P_Font_Bold", Bool, Val, Req}, ParamInfo{"P_Row_Margin", R4, Val, Req}};
inline constexpr std::array kDrawStyle{ParamInfo{"P_Line_Style", I2, Val, Req},
                                       ParamInfo{"P_Line_Width", I2, Val, Req}};
inline constexpr std::array kLine{ParamInfo{"P_Start_Srow", R4, Val, Req}, ParamInfo{"P_Start_Scol", R4, Val, Req},
                                  ParamInfo{"P_End_Srow", R4, Val, Req}, ParamInfo{"P_End_Scol", R4, Val, Req}};
inline constexpr std::array kRules{ParamInfo{"P_SBase_Row", R4, Val, Req}, ParamInfo{"P_SBase_Col", R4, Val, Req},
                                   ParamInfo{"P_CLine_Row", Text, Val, Req}, ParamInfo{"P_CLine_Col", Text, Val, Req}};
inline constexpr std::array kString{ParamInfo{"P_Data_Srow", R4, Val, Req}, ParamInfo{"P_Data_Scol", R4, Val, Req},
                                    ParamInfo{"P_Data_str", Value, Val, Req}};
inline constexpr std::array kStringLength{
    ParamInfo{"P_Data_Srow", R4, Val, Req}, ParamInfo{"P_Data_Scol", R4, Val, Req},
    ParamInfo{"P_Data_str", Value, Val, Req}, ParamInfo{"P_Out_Length", R4, Val, Req}};
inline constexpr std::array kNumeric{ParamInfo{"P_Data_Srow", R4, Val, Req}, ParamInfo{"P_Data_Scol", R4, Val, Req},
                                     ParamInfo{"P_Data_Num", Value, Val, Req},
                                     ParamInfo{"P_Data_Format", Text, Val, Req}};

}  // namespace kt482::member_params

// X(name, dispatch identifier, kind, parameters, result) for every member.
#define KT482_MEMBER_LIST(X)                                      \
    X(P_PRINT, 0x40030000, PropertyGet, kNone, Object)            \
    X(P_PRINT, 0x40030000, PropertySet, kObject, None)            \
    X(P_PREVIEW, 0x40030001, PropertyGet, kNone, Object)          \
    X(P_PREVIEW, 0x40030001, PropertySet, kObject, None)          \
    X(E_StartEdit, 0x60030011, Method, kStartEdit, None)          \
    X(E_ChangePage, 0x60030012, Method, kChangePage, None)        \
    X(E_EndEdit, 0x60030013, Method, kNone, None)                 \
    X(V_Size_Set, 0x60030014, Method, kSizeSet, None)             \
    X(V_Preview, 0x60030015, Method, kPageRange, None)            \
    X(W_PrtDialog, 0x60030016, Method, kPrtDialog, I2)            \
    X(W_Device, 0x60030017, Method, kDevice, None)                \
    X(W_StartDoc, 0x60030018, Method, kSizeSet, None)             \
    X(W_Print, 0x60030019, Method, kPageRange, None)              \
    X(W_EndDoc, 0x6003001a, Method, kNone, None)                  \
    X(P_Temp_Dir, 0x6803000d, PropertyLet, kText, None)           \
    X(P_Temp_Dir, 0x6803000d, PropertyGet, kNone, Text)           \
    X(P_Bairitu, 0x6803000c, PropertyLet, kR4Ref, None)           \
    X(P_Bairitu, 0x6803000c, PropertyGet, kNone, R4)              \
    X(P_CurrPage, 0x6803000b, PropertyGet, kNone, I2)             \
    X(P_Min_Page, 0x6803000a, PropertyGet, kNone, I2)             \
    X(P_Max_Page, 0x68030009, PropertyGet, kNone, I2)             \
    X(P_PRT_Copy, 0x68030008, PropertyLet, kI2, None)             \
    X(P_PRT_Copy, 0x68030008, PropertyGet, kNone, I2)             \
    X(P_CheckEnd, 0x68030007, PropertyGet, kNone, Bool)           \
    X(P_CheckData, 0x68030006, PropertyGet, kNone, Bool)          \
    X(P_PaperSize, 0x68030005, PropertyGet, kNone, I2)            \
    X(P_Orientation, 0x68030004, PropertyGet, kNone, I2)          \
    X(P_TopMargin, 0x68030003, PropertyLet, kR4, None)            \
    X(P_TopMargin, 0x68030003, PropertyGet, kNone, R4)            \
    X(P_LeftMargin, 0x68030002, PropertyLet, kR4, None)           \
    X(P_LeftMargin, 0x68030002, PropertyGet, kNone, R4)           \
    X(P_RowPitch, 0x68030001, PropertyGet, kNone, R4)             \
    X(P_ColPitch, 0x68030000, PropertyGet, kNone, R4)             \
    X(E_Pitch, 0x6003001b, Method, kPitch, None)                  \
    X(E_Font, 0x6003001c, Method, kFont, None)                    \
    X(E_DrawStyle, 0x6003001d, Method, kDrawStyle, None)          \
    X(E_Line, 0x6003001e, Method, kLine, None)                    \
    X(E_Line_Hor, 0x6003001f, Method, kRules, None)               \
    X(E_Line_Vrt, 0x60030020, Method, kRules, None)               \
    X(E_Keisen, 0x60030021, Method, kLine, None)                  \
    X(E_String, 0x60030022, Method, kString, None)                \
    X(E_String_Kin, 0x60030023, Method, kStringLength, None)      \
    X(E_String_Center, 0x60030024, Method, kStringLength, None)   \
    X(E_String_Right, 0x60030025, Method, kString, None)          \
    X(E_String_Left, 0x60030026, Method, kStringLength, None)     \
    X(E_Numeric, 0x60030027, Method, kNumeric, None)              \
    X(E_Clear, 0x60030028, Method, kNone, None)
