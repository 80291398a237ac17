#include "render/fitted_text_handlers.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "base/utf8.h"
#include "job/error_trap.h"
#include "render/grid_coordinates.h"
#include "render/render_target.h"
#include "render/text_place.h"
#include "text/font_service.h"
#include "text/line_breaking.h"

namespace kt482 {
namespace {

constexpr std::string_view kEllipsis = "…";
// Widths are compared with this much room, so that a text scaled to its
// length exactly is not clipped by the last bit of a float.
constexpr double kWidthTolerance = 1e-3;
// Sizes are kept in twentieths of a point by every surface.
constexpr float kSizeStep = 0.05f;
constexpr int kMostSizeSteps = 40;  // 2 points

enum class BoxAlign { Start = 0, Centre = 1, End = 2 };

// The longest run of whole characters from the start of text that is no
// longer than limit in the target's current font.
std::string_view fitting_prefix(DrawSurface& target, std::string_view text, double limit)
{
    std::vector<std::size_t> ends;
    for (std::size_t at = 0; at < text.size();) {
        at += std::max<std::size_t>(1, utf8_sequence_length(text.substr(at)));
        ends.push_back(at);
    }
    // Widths grow with the characters taken: the longest that fits is found
    // by halving.
    std::size_t low = 0;
    std::size_t high = ends.size();
    while (low < high) {
        const std::size_t middle = (low + high + 1) / 2;
        if (target.TextWidth(text.substr(0, ends[middle - 1])) <= limit + kWidthTolerance)
            low = middle;
        else
            high = middle - 1;
    }
    return text.substr(0, low == 0 ? 0 : ends[low - 1]);
}

// Draws as much of text as fits in limit, then tail when some was left out.
// Readers of the output find the whole text, not what was drawn of it.
void print_clipped(DrawSurface& target, TextPlace at, std::string_view text, double limit,
                   std::string_view tail = {})
{
    move_to(target, at.x, at.y);
    if (target.TextWidth(text) <= limit + kWidthTolerance) {
        on_target(target.Print(text, LineEnd::Without));
        return;
    }
    const double room = tail.empty() ? limit : limit - target.TextWidth(tail);
    const std::string_view shown = fitting_prefix(target, text, std::max(room, 0.0));
    on_target(target.BeginSpreadText(text));
    on_target(target.Print(shown, LineEnd::Without));
    if (!tail.empty())
        on_target(target.Print(tail, LineEnd::Without));
    on_target(target.EndSpreadText());
}

// A text set smaller keeps its baseline across, and its column's centre
// line down.
TextPlace shrunk_place(TextPlace at, double size, double smaller)
{
    if (vertical_text())
        return {static_cast<float>(at.x + (size - smaller) / 2), at.y};
    const text::FontFace* face = text::FontService::shared().face(job().FontName);
    const double ascent = face ? static_cast<double>(face->ascender()) / face->units_per_em() : 0.88;
    return {at.x, static_cast<float>(at.y + (size - smaller) * ascent)};
}

void print_shrunk(DrawSurface& target, TextPlace at, std::string_view text, double limit, double width)
{
    const float size = target.FontSize();
    const float smallest = static_cast<float>(size * kSmallestShrink);
    const double ratio = std::max(limit / width, kSmallestShrink);
    float smaller = std::max(std::floor(static_cast<float>(size * ratio) / kSizeStep) * kSizeStep, smallest);
    on_target(target.FontSize(smaller));
    // Shaping need not scale exactly with the size: step down while the
    // text is still too long, a few steps at most. A surface that does not
    // take a size (one beyond its largest) keeps the text's width whatever
    // is asked, and stepping on would measure the text once for every
    // twentieth of a point down to half the size.
    for (int steps = 0; steps < kMostSizeSteps && target.TextWidth(text) > limit + kWidthTolerance &&
                        smaller - kSizeStep >= smallest;
         ++steps) {
        smaller -= kSizeStep;
        on_target(target.FontSize(smaller));
    }
    print_clipped(target, shrunk_place(at, size, target.FontSize()), text, limit);
    on_target(target.FontSize(size));
}

// False when the target cannot condense text. Vertical text is shrunk
// instead until the text layout condenses down a column.
bool print_condensed(DrawSurface& target, TextPlace at, std::string_view text, double limit, double width)
{
    if (vertical_text())
        return false;
    const auto ratio = static_cast<float>(std::max(limit / width, kNarrowestCondense));
    if (!target.HorizontalScale(ratio).ok())
        return false;
    print_clipped(target, at, text, limit);
    on_target(target.HorizontalScale(1));
    return true;
}

// How many lines a box holds whose height (width for vertical text) is
// extent lines, at least one, and no more than the text has: a box may be
// given taller than any paper, and only the lines drawn get a place. Counted
// in doubles, as the extent may be beyond any integer or not a number.
std::size_t lines_held(double extent, std::size_t wanted)
{
    const double held = std::floor(extent + kWidthTolerance);
    if (!(held >= 1))
        return std::min<std::size_t>(1, wanted);
    return held >= static_cast<double>(wanted) ? wanted : static_cast<std::size_t>(held);
}

// How long each line of a box is: across the box, or down it for vertical
// text.
double line_length(float top, float left, float bottom, float right)
{
    const JobState& s = job();
    if (vertical_text())
        return RowToY(s, bottom) - RowToY(s, top);
    return ColToX(s, right) - ColToX(s, left);
}

// The places of the first count lines of a box across, a row apart.
std::vector<TextPlace> places_across(float top, float left, float bottom, std::size_t count)
{
    std::vector<TextPlace> places;
    count = lines_held(bottom - top, count);
    places.reserve(count);
    for (std::size_t k = 0; k < count; ++k)
        places.push_back(text_place(top + static_cast<float>(k), left));
    return places;
}

// The places of the first count columns of a box down, from the right edge
// leftwards, a row pitch apart, each text centred in its column.
std::vector<TextPlace> places_down(DrawSurface& target, float top, float left, float right, std::size_t count)
{
    const JobState& s = job();
    const double pitch = static_cast<double>(s.RowPitch) * s.FontScale;
    const double width = ColToX(s, right) - ColToX(s, left);
    const double inset = (pitch - target.FontSize()) / 2;
    std::vector<TextPlace> places;
    count = lines_held(width / pitch, count);
    places.reserve(count);
    for (std::size_t k = 0; k < count; ++k)
        places.push_back({static_cast<float>(ColToX(s, right) - static_cast<double>(k + 1) * pitch + inset),
                          RowToY(s, top)});
    return places;
}

double aligned_offset(BoxAlign align, double free)
{
    if (free <= 0)
        return 0;
    switch (align) {
    case BoxAlign::Centre: return std::floor(free / 2);
    case BoxAlign::End: return free;
    case BoxAlign::Start: break;
    }
    return 0;
}

}  // namespace

void ZZ100_String_Fit(float row, float col, std::string_view data, float out_length, FitMode mode)
{
    enter("ZZ100_String_Fit");
    if (!InOutputRange() || data.empty())
        return;
    DrawSurface& target = current_target();
    const TextPlace at = text_place(row, col);
    const double limit = grid_length(out_length);
    const double width = target.TextWidth(data);
    if (width <= limit + kWidthTolerance) {
        print_clipped(target, at, data, limit);
        return;
    }
    switch (mode) {
    case FitMode::Condense:
        if (print_condensed(target, at, data, limit, width))
            return;
        [[fallthrough]];
    case FitMode::Shrink: print_shrunk(target, at, data, limit, width); return;
    case FitMode::Ellipsis: print_clipped(target, at, data, limit, kEllipsis); return;
    }
}

void ZZ100_String_Box(ObjectFields& self, float start_row, float start_col, float end_row, float end_col,
                      std::string_view field)
{
    enter("ZZ100_String_Box");
    if (!InOutputRange() || field.empty())
        return;
    const auto align = static_cast<BoxAlign>(std::clamp(field.front() - '0', 0, 2));
    const std::string_view text = field.substr(1);
    DrawSurface& target = current_target();
    const float top = std::min(start_row, end_row);
    const float bottom = std::max(start_row, end_row);
    const float left = std::min(start_col, end_col);
    const float right = std::max(start_col, end_col);
    const double length = line_length(top, left, bottom, right);
    const std::vector<std::string> lines =
        text::break_lines(text, length, [&](std::string_view piece) { return target.TextWidth(piece); });
    const std::vector<TextPlace> places = vertical_text() ? places_down(target, top, left, right, lines.size())
                                                          : places_across(top, left, bottom, lines.size());
    const std::size_t shown = places.size();
    for (std::size_t k = 0; k < shown; ++k) {
        if (lines[k].empty())
            continue;
        move_along(target, places[k], aligned_offset(align, length - target.TextWidth(lines[k])));
        on_target(target.Print(lines[k], LineEnd::Without));
    }
    if (shown < lines.size())
        note_warning(Failure(ErrorNumber::Overflow, "Overflow: the text does not fit its box; " + std::to_string(shown)
                                                        + " of its " + std::to_string(lines.size())
                                                        + " lines are drawn"),
                     self);
}

}  // namespace kt482
