// The line style record and the four line records.
#pragma once

#include <cstdint>
#include <string_view>

namespace kt482 {

void ZZ100_DrawStyle(int16_t line_style, int16_t line_width);
void ZZ100_Line(float start_row, float start_col, float end_row, float end_col);
void ZZ100_Line_Hor(float base_row, float base_col, std::string_view row_list, std::string_view col_range);
void ZZ100_Line_Vrt(float base_row, float base_col, std::string_view row_range, std::string_view col_list);
void ZZ100_Keisen(float start_row, float start_col, float end_row, float end_col);

}  // namespace kt482
