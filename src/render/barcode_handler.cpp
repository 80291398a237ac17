#include "render/barcode_handler.h"

#include <algorithm>
#include <string>
#include <utility>

#include "barcode/barcode_layout.h"
#include "barcode/barcode_request.h"
#include "barcode/barcode_symbol.h"
#include "job/error_trap.h"
#include "render/grid_coordinates.h"
#include "render/render_target.h"

namespace kt482 {
namespace {

// The share of the size above the baseline, for placing a line by its
// baseline with a target that places texts by their top.
constexpr float kLabelAscent = 0.88f;

void draw_labels(DrawSurface& target, const BarcodePlacement& placement)
{
    if (placement.labels.empty())
        return;
    const JobState& s = job();
    for (const PlacedLabel& label : placement.labels) {
        on_target(target.FontSize(label.size));
        const float width = target.TextWidth(label.text);
        float x = label.x;
        if (label.align == LabelAlign::Centre)
            x -= width / 2;
        else if (label.align == LabelAlign::Right)
            x -= width;
        on_target(target.CurrentX(x));
        on_target(target.CurrentY(label.baseline - label.size * kLabelAscent));
        on_target(target.Print(label.text, LineEnd::Without));
    }
    // Back to the size the font record set, for the texts that follow.
    if (s.FontSize > 0)
        on_target(target.FontSize(static_cast<float>(static_cast<double>(s.Bairitu) * s.FontSize)));
}

}  // namespace

void ZZ100_Barcode(float start_row, float start_col, float end_row, float end_col, std::string_view spec_and_data)
{
    enter("ZZ100_Barcode");
    const std::size_t blank = spec_and_data.find(' ');
    if (blank == std::string_view::npos)
        raise(Failure(ErrorNumber::TypeMismatch));
    if (!InOutputRange())
        return;
    const BarcodeSpec spec = must(parse_barcode_spec_text(spec_and_data.substr(0, blank)));
    const BarcodeShape shape = must(encode_barcode(spec, spec_and_data.substr(blank + 1)));

    const JobState& s = job();
    const float x1 = ColToX(s, start_col);
    const float x2 = ColToX(s, end_col);
    const float y1 = RowToY(s, start_row);
    const float y2 = RowToY(s, end_row);
    const PointBox box{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    if (!(box.right > box.left) || !(box.bottom > box.top))
        return;
    BarcodePlacement placement;
    if (spec.type == BarcodeType::Postal) {
        // A postal barcode is drawn to the post's own dimensions; a box that
        // cannot hold it leaves the barcode out and the rest of the page on.
        Result<BarcodePlacement> postal = place_postal_barcode(shape, box, spec.quiet);
        if (!postal)
            leave_out(postal.failure());
        placement = std::move(postal.value());
    } else {
        placement = place_barcode(shape, is_two_dimensional(spec.type), box);
    }

    // Barcodes are black whatever colour the page has set.
    DrawSurface& target = current_target();
    if (s.PageColor != 0)
        on_target(target.Color(0));
    for (const BarcodeRect& r : placement.rects)
        on_target(target.FillRect(r.x, r.y, r.width, r.height));
    draw_labels(target, placement);
    if (s.PageColor != 0)
        on_target(target.Color(s.PageColor));
}

}  // namespace kt482
