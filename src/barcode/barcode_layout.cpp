#include "barcode/barcode_layout.h"

#include <algorithm>

namespace kt482 {
namespace {

// Maps the encoder's y to the page: the bars' part and the line's part each
// scaled on its own.
struct VerticalMap {
    float top;
    float bar_bottom;   // encoder units
    float bar_scale;    // points per unit above bar_bottom
    float label_scale;  // points per unit below it

    float operator()(float y) const
    {
        if (y <= bar_bottom)
            return top + y * bar_scale;
        return top + bar_bottom * bar_scale + (y - bar_bottom) * label_scale;
    }
};

BarcodePlacement place_square(const BarcodeShape& shape, const PointBox& box)
{
    const float box_width = box.right - box.left;
    const float box_height = box.bottom - box.top;
    const float scale = std::min(box_width / shape.width, box_height / shape.height);
    const float left = box.left + (box_width - shape.width * scale) / 2;
    const float top = box.top + (box_height - shape.height * scale) / 2;
    BarcodePlacement placement;
    placement.rects.reserve(shape.rects.size());
    for (const BarcodeRect& r : shape.rects)
        placement.rects.push_back({left + r.x * scale, top + r.y * scale, r.width * scale, r.height * scale});
    return placement;
}

}  // namespace

BarcodePlacement place_barcode(const BarcodeShape& shape, bool two_dimensional, const PointBox& box)
{
    if (two_dimensional)
        return place_square(shape, box);

    const float box_width = box.right - box.left;
    const float box_height = box.bottom - box.top;
    const float x_scale = box_width / shape.width;
    const float label_units = shape.height - shape.bar_bottom;
    VerticalMap map{box.top, shape.bar_bottom, box_height / shape.height, 0};
    float label_shrink = 1;
    if (label_units > 0 && shape.bar_bottom > 0) {
        float label_height = label_units * x_scale;
        if (label_height > box_height * kMaxLabelShare) {
            label_shrink = box_height * kMaxLabelShare / label_height;
            label_height = box_height * kMaxLabelShare;
        }
        map.bar_scale = (box_height - label_height) / shape.bar_bottom;
        map.label_scale = label_height / label_units;
    }

    BarcodePlacement placement;
    placement.rects.reserve(shape.rects.size());
    for (const BarcodeRect& r : shape.rects) {
        const float y1 = map(r.y);
        placement.rects.push_back({box.left + r.x * x_scale, y1, r.width * x_scale, map(r.y + r.height) - y1});
    }
    for (const BarcodeLabel& label : shape.labels) {
        placement.labels.push_back(
            {box.left + label.x * x_scale, map(label.baseline), label.size * x_scale * label_shrink, label.align,
             label.text});
    }
    return placement;
}

}  // namespace kt482
