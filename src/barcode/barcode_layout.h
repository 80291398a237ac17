// A barcode fitted into its box on the page, in points.
#pragma once

#include <string>
#include <vector>

#include "barcode/barcode_symbol.h"

namespace kt482 {

struct PointBox {
    float left, top, right, bottom;
};

struct PlacedLabel {
    // The point the alignment refers to (the text's centre, left end or
    // right end), the baseline and the size.
    float x;
    float baseline;
    float size;
    LabelAlign align;
    std::string text;
};

struct BarcodePlacement {
    std::vector<BarcodeRect> rects;
    std::vector<PlacedLabel> labels;
};

// The largest share of the box's height the human-readable line takes.
inline constexpr float kMaxLabelShare = 1.0f / 3;

// Fits shape into box (left < right, top < bottom). A linear code fills the
// whole box: its modules are stretched to the width and its bars to the
// height that the human-readable line leaves; the line keeps the encoder's
// proportion to the module width, yet takes at most kMaxLabelShare of the
// height. A two-dimensional code keeps square modules, as large as fit, and
// is centred.
BarcodePlacement place_barcode(const BarcodeShape& shape, bool two_dimensional, const PointBox& box);

}  // namespace kt482
