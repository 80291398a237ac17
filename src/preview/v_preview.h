// Showing recorded pages in the preview window.
#pragma once

#include <cstdint>

#include "job/object_fields.h"

namespace kt482 {

// Draws the first page of the range and shows the window modally; returns
// when the user has closed it, at once for an empty range.
void V_Preview(ObjectFields& self, int16_t P_StartP, int16_t P_EndP);

// Draws one page of the range into the canvas: the page's frame of 5 mm
// inside the paper, then its records; updates the page box and the label.
void ZZ110_Preview(int16_t page);

}  // namespace kt482
