#include "render/line_handlers.h"

#include "job/error_trap.h"
#include "render/grid_coordinates.h"
#include "render/render_target.h"
#include "render/rule_lists.h"

namespace kt482 {
namespace {

struct Corners {
    float x1, y1, x2, y2;
};

// The target points of two grid positions, computed y1, x1, y2, x2.
Corners corners(float start_row, float start_col, float end_row, float end_col)
{
    const JobState& s = job();
    Corners c{};
    c.y1 = RowToY(s, start_row);
    c.x1 = ColToX(s, start_col);
    c.y2 = RowToY(s, end_row);
    c.x2 = ColToX(s, end_col);
    return c;
}

}  // namespace

void ZZ100_DrawStyle(int16_t line_style, int16_t line_width)
{
    enter("ZZ100_DrawStyle");
    DrawSurface& target = current_target();
    // The printer gets a pen reset first, as its driver may keep a pen of
    // its own between pages.
    if (printer_is_target()) {
        on_target(target.DrawMode(kDrawModeWhite));
        on_target(target.DrawWidth(100));
        on_target(target.DrawStyle(static_cast<int16_t>(LineStyle::Invisible)));
    }
    on_target(target.DrawMode(kDrawModeBlack));
    on_target(target.DrawWidth(line_width));
    on_target(target.DrawStyle(line_style));
}

void ZZ100_Line(float start_row, float start_col, float end_row, float end_col)
{
    enter("ZZ100_Line");
    if (!InOutputRange())
        return;
    const Corners c = corners(start_row, start_col, end_row, end_col);
    on_target(current_target().Line(c.x1, c.y1, c.x2, c.y2));
}

void ZZ100_Line_Hor(float base_row, float base_col, std::string_view row_list, std::string_view col_range)
{
    enter("ZZ100_Line_Hor");
    if (!InOutputRange())
        return;
    const GridRange cols = parse_range(col_range, base_col);
    for_each_list_item(row_list, base_row, [&](float row) { ZZ100_Line(row, cols.first, row, cols.last); });
}

void ZZ100_Line_Vrt(float base_row, float base_col, std::string_view row_range, std::string_view col_list)
{
    enter("ZZ100_Line_Vrt");
    if (!InOutputRange())
        return;
    const GridRange rows = parse_range(row_range, base_row);
    for_each_list_item(col_list, base_col, [&](float col) { ZZ100_Line(rows.first, col, rows.last, col); });
}

void ZZ100_Keisen(float start_row, float start_col, float end_row, float end_col)
{
    enter("ZZ100_Keisen");
    if (!InOutputRange())
        return;
    const Corners c = corners(start_row, start_col, end_row, end_col);
    DrawSurface& target = current_target();
    on_target(target.Line(c.x1, c.y1, c.x1, c.y2));  // left
    on_target(target.Line(c.x1, c.y1, c.x2, c.y1));  // top
    on_target(target.Line(c.x1, c.y2, c.x2, c.y2));  // bottom
    on_target(target.Line(c.x2, c.y1, c.x2, c.y2));  // right
}

}  // namespace kt482
