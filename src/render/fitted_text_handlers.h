// The texts fitted to a length or wrapped into a box.
#pragma once

#include <string_view>

#include "job/object_fields.h"

namespace kt482 {

// How a text longer than its length is made to fit.
enum class FitMode : int16_t {
    Shrink = 0,    // a smaller size, down to kSmallestShrink of it, then clipped
    Condense = 1,  // narrower glyphs (長体), down to kNarrowestCondense, then clipped
    Ellipsis = 2,  // clipped, ending with "…"
};

inline constexpr double kSmallestShrink = 0.5;
inline constexpr double kNarrowestCondense = 0.5;

// The text within out_length columns from its place (rows down for vertical
// text). Readers of the output find the whole text, whatever was drawn.
void ZZ100_String_Fit(float row, float col, std::string_view data, float out_length, FitMode mode);

// The text wrapped into the box's lines, one a row from the first row down
// (for vertical text, one a row pitch from the right column leftwards), each
// aligned: 0 start, 1 centre, 2 end. Lines that do not fit are left out and
// noted as a warning (6 Overflow) in self's LastFailure, without a message.
// field is the alignment's digit followed by the text.
void ZZ100_String_Box(ObjectFields& self, float start_row, float start_col, float end_row, float end_col,
                      std::string_view field);

}  // namespace kt482
