#include "render/grid_coordinates.h"

#include <cmath>

#include "base/units.h"

namespace kt482 {

double round_half_up(double value)
{
    return std::floor(value + 0.5);
}

// Whole points by the factor the grid has always used, 2.835, not the exact
// 72 / 25.4 of base/units.h: forms were laid out on these rounded points, and
// the exact factor would move some margins a point (at 0.5-point ties).
float MmToPoints(float mm)
{
    return static_cast<float>(round_half_up(static_cast<double>(mm) * 2.835));
}

float ColToX(const JobState& s, float col)
{
    const double margin = MmToPoints(s.LeftMargin);
    return static_cast<float>(
        round_half_up(margin + (static_cast<double>(col) - 1) * s.ColPitch * s.FontScale - s.ScrollX));
}

float RowToY(const JobState& s, float row)
{
    const double margin = MmToPoints(s.TopMargin);
    return static_cast<float>(
        round_half_up(margin + (static_cast<double>(row) - 1) * s.RowPitch * s.FontScale - s.ScrollY));
}

float RowToTextY(const JobState& s, float row)
{
    double offset = 0;
    if (s.FontSize < s.RowPitch) {
        // The free height is compared as a 32-bit float.
        const float free_height = static_cast<float>(static_cast<double>(s.RowPitch) - s.FontSize);
        offset = free_height > s.RowMargin ? static_cast<double>(free_height) - s.RowMargin : free_height;
    }
    const double margin = MmToPoints(s.TopMargin);
    return static_cast<float>(round_half_up(
        margin + ((static_cast<double>(row) - 1) * s.RowPitch + offset) * s.FontScale - s.ScrollY));
}

float InchToMm(float inches)
{
    return static_cast<float>(round_half_up(millimetres_from_inches(static_cast<double>(inches)) * 1000) / 1000);
}

}  // namespace kt482
