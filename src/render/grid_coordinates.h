// Grid positions to target points. Rows and columns are 1-based 32-bit
// floats; results are whole points held in 32-bit floats. Magnification
// (FontScale) applies to pitches, never to margins or scroll offsets.
#pragma once

#include "job/job_state.h"

namespace kt482 {

// Halves up, also below zero: floor(value + 0.5). 2.5 gives 3, -2.5 gives -2.
double round_half_up(double value);

// Millimetres to whole points at 2.835 points per millimetre.
float MmToPoints(float mm);
// Left edge of a column.
float ColToX(const JobState& s, float col);
// Top edge of a row; for lines and boxes.
float RowToY(const JobState& s, float row);
// Top of a text in a row: the text keeps RowMargin free above the row's
// bottom edge when the row has room for it.
float RowToTextY(const JobState& s, float row);
// Inches to millimetres, to 0.001 mm.
float InchToMm(float inches);

}  // namespace kt482
