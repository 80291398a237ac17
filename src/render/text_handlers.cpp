#include "render/text_handlers.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "job/error_trap.h"
#include "job/number_picture.h"
#include "job/number_text.h"
#include "render/grid_coordinates.h"
#include "render/half_width_cells.h"
#include "render/render_target.h"
#include "render/text_place.h"

namespace kt482 {
namespace {

constexpr std::string_view kPrinterResetFace = "ＭＳ 明朝";
constexpr float kPrinterResetSize = 8;

// Widths and free spaces are whole points in 16 bits, halves to even. A text
// or box wider than that is wider than any paper: it is left out, and the
// page goes on.
int whole_points(double value)
{
    return whole_points_or_leave_out(value);
}

// The space left in a box of out_length columns (rows for vertical text) by
// a text w points long.
int free_space(float out_length, int w)
{
    return whole_points(grid_length(out_length) - w);
}

// Vertical text spread over its rows: each character at its place down the
// column, the gaps as in a row.
void print_spread_down(DrawSurface& target, TextPlace at, std::string_view data, int gap, int rem)
{
    double y = at.y;
    int i = 1;
    while (!data.empty()) {
        const std::size_t size = std::max<std::size_t>(1, utf8_sequence_length(data));
        const std::string_view c = data.substr(0, size);
        move_to(target, at.x, static_cast<float>(y));
        on_target(target.Print(c, LineEnd::Without));
        y += target.TextWidth(c) + gap + (i <= rem ? 1 : 0);
        data.remove_prefix(size);
        ++i;
    }
}

// The characters of vertical text that fit in a column of out_length rows,
// taken in order until the first that does not.
std::string fit_to_rows(DrawSurface& target, std::string_view data, int rows)
{
    const JobState& s = job();
    const double limit = static_cast<double>(rows) * s.RowPitch * s.FontScale;
    double length = 0;
    std::size_t fitting = 0;
    while (fitting < data.size()) {
        const std::size_t size = std::max<std::size_t>(1, utf8_sequence_length(data.substr(fitting)));
        length += target.TextWidth(data.substr(fitting, size));
        if (length > limit)
            break;
        fitting += size;
    }
    return std::string(data.substr(0, fitting));
}

// A blank printed at the origin makes the printer take up the reset face.
void reset_printer_font(DrawSurface& target, bool face_given, bool size_given)
{
    on_target(target.FontUnderline(false));
    if (face_given)
        on_target(target.FontName(kPrinterResetFace));
    if (size_given)
        on_target(target.FontSize(kPrinterResetSize));
    move_to(target, 0, 0);
    on_target(target.Print(" ", LineEnd::Without));
    move_to(target, 0, 0);
}

}  // namespace

void ZZ100_Pitch(float row_pitch, float col_pitch)
{
    enter("ZZ100_Pitch");
    JobState& s = job();
    s.RowPitch = row_pitch != 0 ? row_pitch : 15;
    s.ColPitch = col_pitch != 0 ? col_pitch : 6;
    s.MeasuredFontSize = 0;
    s.FontScale = s.Bairitu;
}

void ZZ100_Font(std::string_view font_name, float font_size, bool bold, float row_margin)
{
    enter("ZZ100_Font");
    JobState& s = job();
    if (!font_name.empty())
        s.FontName.assign(font_name);
    if (font_size > 0)
        s.FontSize = font_size;
    s.FontBold = bold;
    s.RowMargin = row_margin;

    DrawSurface& target = current_target();
    if (printer_is_target())
        reset_printer_font(target, !font_name.empty(), font_size > 0);
    on_target(target.FontName(s.FontName));
    on_target(target.FontSize(static_cast<float>(static_cast<double>(s.Bairitu) * s.FontSize)));

    // Only the first font after a pitch record measures the magnification
    // the target really applies; later fonts keep the grid as it is.
    if (s.MeasuredFontSize == 0) {
        if (s.FontSize == 0)
            raise(Failure(ErrorNumber::DivisionByZero));
        const double used = target.FontSize();
        s.FontScale = static_cast<float>(round_half_up(used * 1000 / s.FontSize) / 1000);
        s.MeasuredFontSize = s.FontSize;
    }
    on_target(target.FontBold(s.FontBold));
}

void ZZ100_String(float row, float col, std::string_view data)
{
    enter("ZZ100_String");
    if (!InOutputRange())
        return;
    const TextPlace at = text_place(row, col);
    DrawSurface& target = current_target();
    move_to(target, at.x, at.y);
    on_target(target.Print(data, LineEnd::With));
}

void ZZ100_String_Kin(float row, float col, std::string_view data, float out_length)
{
    enter("ZZ100_String_Kin");
    if (!InOutputRange() || data.empty())
        return;
    const TextPlace at = text_place(row, col);
    DrawSurface& target = current_target();
    const int n = static_cast<int>(count_code_points(data));
    const int w = whole_points(target.TextWidth(data));
    const int free = free_space(out_length, w);
    move_to(target, at.x, at.y);

    // Special case: a single character is centred, overhanging when too wide.
    if (n == 1) {
        move_along(target, at, static_cast<float>(free) / 2);
        on_target(target.Print(data, LineEnd::With));
        return;
    }
    // A text that fills the box or overflows it is drawn without gaps, from
    // the box's left edge.
    if (free <= 0) {
        on_target(target.Print(data, LineEnd::With));
        return;
    }
    const int gap = free / (n - 1);
    const int rem = free - gap * (n - 1);
    on_target(target.BeginSpreadText(data));
    if (vertical_text()) {
        print_spread_down(target, at, data, gap, rem);
        on_target(target.EndSpreadText());
        return;
    }
    move_to(target, at.x, at.y);
    int i = 1;
    while (!data.empty()) {
        const std::size_t size = std::max<std::size_t>(1, utf8_sequence_length(data));
        on_target(target.Print(data.substr(0, size), LineEnd::Without));
        data.remove_prefix(size);
        on_target(target.CurrentX(target.CurrentX() + static_cast<float>(gap + (i <= rem ? 1 : 0))));
        ++i;
    }
    on_target(target.EndSpreadText());
}

void ZZ100_String_Center(float row, float col, std::string_view data, float out_length)
{
    enter("ZZ100_String_Center");
    if (!InOutputRange() || data.empty())
        return;
    const TextPlace at = text_place(row, col);
    DrawSurface& target = current_target();
    const int w = whole_points(target.TextWidth(data));
    const int free = free_space(out_length, w);
    move_along(target, at, std::floor(free / 2.0));
    on_target(target.Print(data, LineEnd::Without));
}

void ZZ100_String_Right(float row, float col, std::string_view data)
{
    enter("ZZ100_String_Right");
    if (!InOutputRange() || data.empty())
        return;
    const TextPlace at = text_place(row, col);
    DrawSurface& target = current_target();
    const int w = whole_points(target.TextWidth(data));
    move_along(target, at, -static_cast<float>(w));
    on_target(target.Print(data, LineEnd::Without));
}

void ZZ100_String_Left(float row, float col, std::string_view data, float out_length)
{
    enter("ZZ100_String_Left");
    if (!InOutputRange())
        return;
    const int cells = whole_points_or_leave_out(out_length);
    if (vertical_text())
        ZZ100_String(row, col, fit_to_rows(current_target(), data, cells));
    else
        ZZ100_String(row, col, FitToCells(data, cells));
}

void ZZ100_Numeric(float row, float col, std::string_view value, std::string_view format)
{
    enter("ZZ100_Numeric");
    if (!InOutputRange())
        return;
    const std::string formatted = format_number_text(value, format);
    const std::size_t k = count_code_points(format);
    const std::string field = right_aligned_field(formatted, k);
    if (k == 0 || count_code_points(formatted) <= k) {
        ZZ100_String(row, col, field);
        return;
    }
    // An amount is never cut: one longer than its field is drawn whole,
    // ending where the field would end, so it extends to the left (upwards in vertical text).
    enter("ZZ100_String");
    if (!InOutputRange())
        return;
    const TextPlace at = text_place(row, col);
    DrawSurface& target = current_target();
    if (vertical_text()) {
        // Ending where the field would end, down the column.
        const double field_end = static_cast<double>(at.y) + target.TextWidth(field);
        move_to(target, at.x, static_cast<float>(field_end - target.TextWidth(formatted)));
    } else {
        const double field_end = static_cast<double>(at.x) + target.TextWidth(field);
        move_to(target, static_cast<float>(field_end - target.TextWidth(formatted)), at.y);
    }
    on_target(target.Print(formatted, LineEnd::With));
}

void ZZ100_Numeric_Right(float row, float end_col, std::string_view value, std::string_view format)
{
    enter("ZZ100_Numeric_Right");
    if (!InOutputRange())
        return;
    const std::string formatted = format_number_text(value, format);
    // Special case: a blank section (a zero left blank) draws nothing.
    if (formatted.empty())
        return;
    const TextPlace at = text_place(row, end_col);
    DrawSurface& target = current_target();
    // The exact width, not whole points: amounts of one column end together
    // whatever their characters.
    move_along(target, at, -static_cast<double>(target.TextWidth(formatted)));
    on_target(target.Print(formatted, LineEnd::Without));
}

std::string right_aligned_field(std::string_view text, std::size_t k)
{
    std::size_t n = count_code_points(text);
    if (n <= k)
        return std::string(k - n, ' ') + std::string(text);
    // Drop the leading characters that do not fit.
    while (n > k && !text.empty()) {
        text.remove_prefix(std::max<std::size_t>(1, utf8_sequence_length(text)));
        --n;
    }
    return std::string(text);
}

}  // namespace kt482
