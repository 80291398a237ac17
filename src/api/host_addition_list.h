// The host additions that late-bound calls reach: members beyond the
// interface's 47, listed apart so that the member table stays the
// interface's own. Same entry form as KT482_MEMBER_LIST. The texts that end
// at a column or fit a box take their dispids from 0x60030090 on, the
// stationery's and the print server's jobs' from 0x600300A0 on.
//
// JobState gives late-bound callers one text: the job's state, then its
// printer's reasons, separated by blanks ("stopped media-empty paused").
// The PDF protection members (from 0x600300B0 on) name their parameters as
// in C++, which is also how Python takes them by keyword, as do the members
// for a spool recorded elsewhere and the alignment sheet (from 0x600300C0 on).
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
inline constexpr std::array kNumericRight{
    ParamInfo{"P_Data_Srow", R4, Val, Req}, ParamInfo{"P_End_Scol", R4, Val, Req},
    ParamInfo{"P_Data_Num", Value, Val, Req}, ParamInfo{"P_Data_Format", Text, Val, Req}};
inline constexpr std::array kStringFit{ParamInfo{"P_Data_Srow", R4, Val, Req}, ParamInfo{"P_Data_Scol", R4, Val, Req},
                                       ParamInfo{"P_Data_str", Value, Val, Req},
                                       ParamInfo{"P_Out_Length", R4, Val, Req}, ParamInfo{"P_Mode", I2, Val, Req}};
inline constexpr std::array kStringBox{
    ParamInfo{"P_Start_Srow", R4, Val, Req}, ParamInfo{"P_Start_Scol", R4, Val, Req},
    ParamInfo{"P_End_Srow", R4, Val, Req},   ParamInfo{"P_End_Scol", R4, Val, Req},
    ParamInfo{"P_Data_str", Value, Val, Req}, ParamInfo{"P_Align", I2, Val, Req}};

inline constexpr std::array kOffset{ParamInfo{"x_mm", R4, Val, Req}, ParamInfo{"y_mm", R4, Val, Req}};
inline constexpr std::array kFile{ParamInfo{"file", Text, Val, Req}};
inline constexpr std::array kName{ParamInfo{"name", Text, Val, Req}};
inline constexpr std::array kJobId{ParamInfo{"job_id", I4, Val, Req}};
inline constexpr std::array kInclude{ParamInfo{"include", Bool, Val, Req}};
inline constexpr std::array kJobWait{ParamInfo{"job_id", I4, Val, Req}, ParamInfo{"seconds", R4, Val, Req}};

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

inline constexpr std::array kRecordedPages{ParamInfo{"first", I2, Val, Req}, ParamInfo{"last", I2, Val, Req}};
inline constexpr std::array kSheetSize{ParamInfo{"width_mm", R4, Val, Req}, ParamInfo{"height_mm", R4, Val, Req}};

}  // namespace kt482::member_params

#define KT482_HOST_ADDITION_LIST(X)                                   \
    X(E_Image, 0x60030080, Method, kImage, None)                      \
    X(E_Fill, 0x60030081, Method, kFill, None)                        \
    X(E_Color, 0x60030082, Method, kColor, None)                      \
    X(E_Barcode, 0x60030083, Method, kBarcode, None)                  \
    X(E_NewDocument, 0x60030084, Method, kNone, None)                 \
    X(E_Numeric_Right, 0x60030090, Method, kNumericRight, None)       \
    X(E_String_Fit, 0x60030091, Method, kStringFit, None)             \
    X(E_String_Box, 0x60030092, Method, kStringBox, None)             \
    X(SetPrintOffset, 0x600300A0, Method, kOffset, None)              \
    X(V_Background, 0x600300A1, Method, kFile, None)                  \
    X(P_PRT_Source, 0x600300A2, PropertyGet, kNone, Text)             \
    X(P_PRT_Source, 0x600300A2, PropertyLet, kName, None)             \
    X(P_PRT_MediaType, 0x600300A3, PropertyGet, kNone, Text)          \
    X(P_PRT_MediaType, 0x600300A3, PropertyLet, kName, None)          \
    X(LastJobId, 0x600300A4, Method, kNone, I4)                       \
    X(JobState, 0x600300A5, Method, kJobId, Text)                     \
    X(WaitForJob, 0x600300A6, Method, kJobWait, Bool)                 \
    X(V_BackgroundInPdf, 0x600300A7, Method, kInclude, None)          \
    X(AttachFile, 0x600300B0, Method, kAttachFile, None)              \
    X(ClearAttachments, 0x600300B1, Method, kNone, None)              \
    X(SetPdfEncryption, 0x600300B2, Method, kPdfEncryption, None)     \
    X(SetPdfSignature, 0x600300B3, Method, kPdfSignature, None)       \
    X(SetPdfSignatureBox, 0x600300B4, Method, kPdfSignatureBox, None) \
    X(SetPdfTimestamp, 0x600300B5, Method, kPdfTimestamp, None)       \
    X(UseRecordedPages, 0x600300C0, Method, kRecordedPages, None)     \
    X(PrintAlignmentSheet, 0x600300C1, Method, kSheetSize, None)
