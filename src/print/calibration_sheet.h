// The alignment sheet a user measures a printer's offset on: crosshairs and
// millimetre rulers at known distances from the sheet's edges, printed
// without any offset, so that a ruler laid on the printed sheet tells how far
// the printer feeds off.
#pragma once

#include <string>

#include "kt482/failure.h"

namespace kt482 {

class Printer;

// Where the marks are, in millimetres from the sheet's top left corner: a
// crosshair this far in from each corner, and the rulers along this line
// across and down.
inline constexpr double kCrosshairInsetMm = 30.0;
inline constexpr double kRulerLineMm = 50.0;

// Draws the sheet on the printer's document, which must have its paper set
// and no page drawn yet; width and height are the sheet's in millimetres as
// printed, title names the queue. The caller ends the document.
Status draw_calibration_sheet(Printer& printer, double width_mm, double height_mm, const std::string& title);

}  // namespace kt482
