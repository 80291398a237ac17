#include "barcode/barcode_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

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

constexpr double kPointsPerMm = 72 / 25.4;

// Each dimension of the postal symbol in millimetres per point of size.
constexpr double kPostalLong = 0.36;
constexpr double kPostalTrack = 0.12;  // the timing bar, and each part above or below it
constexpr double kPostalBarWidth = 0.06;
constexpr double kPostalPitch = 0.12;

Failure postal_refused(const std::string& reason)
{
    return Failure(ErrorNumber::InvalidCall, "Invalid procedure call or argument: POSTAL " + reason);
}

std::string millimetres(double points)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f mm", points / kPointsPerMm);
    return text;
}

// One bar of the symbol in the encoder's units: its left edge and whether it
// reaches above and below the timing track.
struct PostalBar {
    float x;
    bool ascends;
    bool descends;
};

// The encoder draws a bar as one rectangle per row; the bars are their
// unions, left to right.
std::vector<PostalBar> postal_bars(const BarcodeShape& shape)
{
    float top = shape.rects.front().y;
    float bottom = top;
    std::map<float, std::pair<float, float>> extents;
    for (const BarcodeRect& r : shape.rects) {
        top = std::min(top, r.y);
        bottom = std::max(bottom, r.y + r.height);
        auto [it, added] = extents.try_emplace(r.x, r.y, r.y + r.height);
        if (!added)
            it->second = {std::min(it->second.first, r.y), std::max(it->second.second, r.y + r.height)};
    }
    const float slack = (bottom - top) / 100;
    std::vector<PostalBar> bars;
    for (const auto& [x, extent] : extents)
        bars.push_back({x, extent.first <= top + slack, extent.second >= bottom - slack});
    return bars;
}

}  // namespace

Result<BarcodePlacement> place_postal_barcode(const BarcodeShape& shape, const PointBox& box, int quiet_modules)
{
    if (shape.rects.empty())
        return postal_refused("gave an empty drawing");
    const std::vector<PostalBar> bars = postal_bars(shape);
    const double box_height = static_cast<double>(box.bottom) - box.top;
    const double box_width = static_cast<double>(box.right) - box.left;
    const double fitting_size = box_height / (kPostalLong * kPointsPerMm);
    // A hair of rounding below the smallest size still prints within the
    // tolerance (3.40 mm for the 3.60 mm bar).
    if (fitting_size < kPostalMinSize * 0.999)
        return postal_refused("box is " + millimetres(box_height) + " high; the barcode needs at least " +
                              millimetres(kPostalMinSize * kPostalLong * kPointsPerMm));
    const double size = std::min<double>(fitting_size, kPostalMaxSize);
    // Each dimension in points is its millimetres per point of size times this.
    const double unit = size * kPointsPerMm;
    const double pitch = kPostalPitch * unit;
    const double bar_width = kPostalBarWidth * unit;
    const double track = kPostalTrack * unit;

    // The encoder puts a bar on every second module, after the quiet zone.
    const double module = shape.rects.front().width;
    const double lead = quiet_modules >= 0 ? bars.front().x / module * bar_width : 0.0;
    const double needed = lead + static_cast<double>(bars.size() - 1) * pitch + bar_width;
    if (needed > box_width + 0.01) {
        char at_size[48];
        std::snprintf(at_size, sizeof at_size, " wide; the barcode at %.1f points needs ", size);
        return postal_refused("box is " + millimetres(box_width) + at_size + millimetres(needed));
    }

    BarcodePlacement placement;
    placement.rects.reserve(bars.size());
    for (const PostalBar& bar : bars) {
        const double slot = std::round((bar.x - bars.front().x) / (2 * module));
        const double x = box.left + lead + slot * pitch;
        const double top = box.top + (bar.ascends ? 0.0 : track);
        const double bottom = box.top + (bar.descends ? 3 * track : 2 * track);
        placement.rects.push_back({static_cast<float>(x), static_cast<float>(top), static_cast<float>(bar_width),
                                   static_cast<float>(bottom - top)});
    }
    return placement;
}

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
