// The layout commands: each appends one record to the current page.
#pragma once

#include <cstdint>
#include <string>

#include "job/object_fields.h"
#include "kt482/variant.h"

namespace kt482 {

void E_Pitch(ObjectFields& self, float P_Row_Pitch, float P_Col_Pitch);
void E_Font(ObjectFields& self, const std::string& P_Font_Name, float P_Font_Size, bool P_Font_Bold,
            float P_Row_Margin);
void E_DrawStyle(ObjectFields& self, int16_t P_Line_Style, int16_t P_Line_Width);
void E_Line(ObjectFields& self, float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol);
void E_Line_Hor(ObjectFields& self, float P_SBase_Row, float P_SBase_Col, const std::string& P_CLine_Row,
                const std::string& P_CLine_Col);
void E_Line_Vrt(ObjectFields& self, float P_SBase_Row, float P_SBase_Col, const std::string& P_CLine_Row,
                const std::string& P_CLine_Col);
void E_Keisen(ObjectFields& self, float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol);
void E_String(ObjectFields& self, float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str);
void E_String_Kin(ObjectFields& self, float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str,
                  float P_Out_Length);
void E_String_Center(ObjectFields& self, float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str,
                     float P_Out_Length);
void E_String_Right(ObjectFields& self, float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str);
void E_String_Left(ObjectFields& self, float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str,
                   float P_Out_Length);
void E_Numeric(ObjectFields& self, float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_Num,
               const std::string& P_Data_Format);

// Host additions: a picture file in a box, a filled box, the colour of the
// texts and lines recorded after it. Colours are 0xRRGGBB.
void E_Image(ObjectFields& self, float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol,
             const std::string& P_File, int16_t P_Fit);
void E_Fill(ObjectFields& self, float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol,
            int32_t P_Color);
void E_Color(ObjectFields& self, int32_t P_Color);

// Host addition: an amount laid out with a picture whose last character ends
// at the left edge of column P_End_Scol. A picture with more than three
// sections or an unclosed quote is refused (5) and nothing is recorded.
void E_Numeric_Right(ObjectFields& self, float P_Data_Srow, float P_End_Scol, const Variant& P_Data_Num,
                     const std::string& P_Data_Format);
// Host additions: a text fitted to P_Out_Length columns (P_Mode 0 shrunk, 1
// condensed, 2 clipped with "…"), and a text wrapped into a box (P_Align 0
// start, 1 centre, 2 end). A length that is not above 0, a box without
// width or height, or a mode or alignment out of range is refused (5) and
// nothing is recorded.
void E_String_Fit(ObjectFields& self, float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str,
                  float P_Out_Length, int16_t P_Mode);
void E_String_Box(ObjectFields& self, float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol,
                  const Variant& P_Data_str, int16_t P_Align);

// A colour's field: six hex digits RRGGBB.
std::string color_field(uint32_t rgb);

// The value field of a numeric record: a number with four decimals, a text
// that is not a number unchanged.
std::string numeric_value_text(const Variant& value);

}  // namespace kt482
