// The renderer's handlers of pictures, fills and colour.
#pragma once

#include <cstdint>
#include <string_view>

#include "job/object_fields.h"

namespace kt482 {

// The picture of an image record's last field ("<fit><absolute path>") in
// the box between two grid corners. A picture that cannot be loaded any
// more is reported and skipped; the page goes on.
void ZZ100_Image(ObjectFields& self, float start_row, float start_col, float end_row, float end_col,
                 std::string_view fit_and_path);
void ZZ100_Fill(float start_row, float start_col, float end_row, float end_col, uint32_t rgb);
void ZZ100_Color(uint32_t rgb);

// Before and after each page: black again when the page set a colour.
void reset_page_color();

// A colour field's value; TypeMismatch unless six hex digits.
uint32_t color_of_field(std::string_view field);

}  // namespace kt482
