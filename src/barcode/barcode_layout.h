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

// Japan Post's customer barcode is drawn at a size of a points, 8 to 11.5:
// long bars 3.6a/10 mm, semi-long ones 2.4a/10, timing bars 1.2a/10, every
// bar 0.6a/10 mm wide and one every 1.2a/10 mm. Off-size mail may be sorted
// by hand or returned.
inline constexpr float kPostalMinSize = 8;
inline constexpr float kPostalMaxSize = 11.5f;

// Draws the encoder's four-state bars to those dimensions. The box's height
// chooses the size: the largest whose long bars fit, at most kPostalMaxSize.
// The bars start at the box's top and left edge, after quiet_modules bar
// widths when a quiet zone is given (-1: none); the box's width is only a
// limit. A box lower than the smallest symbol, or narrower than the symbol at
// the size its height chose, is a failure (5) that says which.
Result<BarcodePlacement> place_postal_barcode(const BarcodeShape& shape, const PointBox& box, int quiet_modules);

}  // namespace kt482
