// The host additions that late-bound calls reach: members beyond the
// interface's 47, listed apart so that the member table stays the
// interface's own. Same entry form as KT482_MEMBER_LIST. The PDF
// protection members' parameters are named as in C++, which is also how
// Python takes them by keyword.
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
inline constexpr std::array kAttachFile{ParamInfo{"path", Text, Val, Req}, ParamInfo{"mime_type", Text, Val, Req},
                                        ParamInfo{"relationship", Text, Val, Req},
                                        ParamInfo{"description", Text, Val, Opt}};
inline constexpr std::array kPdfEncryption{ParamInfo{"user_password", Text, Val, Req},
                                           ParamInfo{"owner_password", Text, Val, Req},
                                           ParamInfo{"permissions", I4, Val, Req}};
inline constexpr std::array kPdfSignature{
    ParamInfo{"pkcs12_file", Text, Val, Req}, ParamInfo{"password", Text, Val, Req},
    ParamInfo{"reason", Text, Val, Req}, ParamInfo{"location", Text, Val, Req}};
inline constexpr std::array kPdfSignatureBox{ParamInfo{"page", I2, Val, Req}, ParamInfo{"r1", R4, Val, Req},
                                             ParamInfo{"c1", R4, Val, Req},   ParamInfo{"r2", R4, Val, Req},
                                             ParamInfo{"c2", R4, Val, Req},   ParamInfo{"picture", Text, Val, Opt}};
inline constexpr std::array kPdfTimestamp{ParamInfo{"tsa_url", Text, Val, Req}};

}  // namespace kt482::member_params

#define KT482_HOST_ADDITION_LIST(X)                                   \
    X(E_Image, 0x60030080, Method, kImage, None)                      \
    X(E_Fill, 0x60030081, Method, kFill, None)                        \
    X(E_Color, 0x60030082, Method, kColor, None)                      \
    X(E_Barcode, 0x60030083, Method, kBarcode, None)                  \
    X(AttachFile, 0x600300B0, Method, kAttachFile, None)              \
    X(ClearAttachments, 0x600300B1, Method, kNone, None)              \
    X(SetPdfEncryption, 0x600300B2, Method, kPdfEncryption, None)     \
    X(SetPdfSignature, 0x600300B3, Method, kPdfSignature, None)       \
    X(SetPdfSignatureBox, 0x600300B4, Method, kPdfSignatureBox, None) \
    X(SetPdfTimestamp, 0x600300B5, Method, kPdfTimestamp, None)
