// The host additions that late-bound calls reach: members beyond the
// interface's 47, listed apart so that the member table stays the
// interface's own. Same entry form as KT482_MEMBER_LIST.
#pragma once

#include "api/member_list.h"

namespace kt482::member_params {

inline constexpr std::array kImage{
    ParamInfo{"P_Start_Srow", R4, Val, Req}, ParamInfo{"P_Start_Scol", R4, Val, Req},
    ParamInfo{"P_End_Srow", R4, Val, Req},   ParamInfo{"P_End_Scol", R4, Val, Req},
    ParamInfo{"P_File", Text, Val, Req},     ParamInfo{"P_Fit", I2, Val, Opt}};
inline constexpr std::array kFill{ParamInfo{"P_Start_Srow", R4, Val, Req}, ParamInfo{"P_Start_Scol", R4, Val, Req},
                                  ParamInfo{"P_End_Srow", R4, Val, Req}, ParamInfo{"P_End_Scol", R4, Val, Req},
                                  ParamInfo{"P_Color", I4, Val, Req}};
inline constexpr std::array kColor{ParamInfo{"P_Color", I4, Val, Req}};
inline constexpr std::array kBarcode{
    ParamInfo{"P_Start_Srow", R4, Val, Req}, ParamInfo{"P_Start_Scol", R4, Val, Req},
    ParamInfo{"P_End_Srow", R4, Val, Req},   ParamInfo{"P_End_Scol", R4, Val, Req},
    ParamInfo{"P_Type", Text, Val, Req},     ParamInfo{"P_Data", Value, Val, Req},
    ParamInfo{"P_Options", Text, Val, Opt}};

}  // namespace kt482::member_params

#define KT482_HOST_ADDITION_LIST(X)                   \
    X(E_Image, 0x60030080, Method, kImage, None)      \
    X(E_Fill, 0x60030081, Method, kFill, None)        \
    X(E_Color, 0x60030082, Method, kColor, None)      \
    X(E_Barcode, 0x60030083, Method, kBarcode, None)  \
    X(E_NewDocument, 0x60030084, Method, kNone, None)
