// The barcode record.
#pragma once

#include <string_view>

namespace kt482 {

// Draws the barcode that spec_and_data names ("CODE128;text=1 SLIP-0001")
// into the box between the two grid corners, given either way round: its
// bars and modules as black filled rectangles, the human-readable line in
// the current face. A box without area draws nothing; a record whose field
// does not read or whose data no longer encodes is a failure.
void ZZ100_Barcode(float start_row, float start_col, float end_row, float end_col, std::string_view spec_and_data);

}  // namespace kt482
