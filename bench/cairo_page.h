// The dense form's page drawn with cairo's PDF surface, the glyphs the font
// service shapes shown with cairo_show_glyphs from the same font files: a
// native peer of the PDF printer in the printing benchmark.
#pragma once

#include <string>
#include <vector>

#include "draw_calls.h"

namespace kt482::bench {

// Draws the calls as one page, pages times, into a new PDF at path (A4).
// False when cairo reports a failure.
bool draw_into_cairo_pdf(const std::vector<Call>& calls, int pages, const std::string& path);

}  // namespace kt482::bench
