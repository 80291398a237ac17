// The pitch and font records and the six text records.
#pragma once

#include <string_view>

namespace kt482 {

void ZZ100_Pitch(float row_pitch, float col_pitch);
void ZZ100_Font(std::string_view font_name, float font_size, bool bold, float row_margin);
void ZZ100_String(float row, float col, std::string_view data);
void ZZ100_String_Kin(float row, float col, std::string_view data, float out_length);
void ZZ100_String_Center(float row, float col, std::string_view data, float out_length);
void ZZ100_String_Right(float row, float col, std::string_view data);
void ZZ100_String_Left(float row, float col, std::string_view data, float out_length);
void ZZ100_Numeric(float row, float col, std::string_view value, std::string_view format);
// The formatted amount ends at the left edge of end_col (at the top of the
// row for vertical text), measured in the face: its width is the width of
// the characters it has, however many cells a picture would count for them.
void ZZ100_Numeric_Right(float row, float end_col, std::string_view value, std::string_view format);

// The last k characters of k blanks followed by text: text right-aligned in
// a field of k characters, or cut to its last k.
std::string right_aligned_field(std::string_view text, std::size_t k);

}  // namespace kt482
