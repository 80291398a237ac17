// The target of the renderer and the output-range test.
#pragma once

#include "job/error_trap.h"
#include "job/job_state.h"
#include "platform/draw_surface.h"
#include "text/font_size_limit.h"

namespace kt482 {

// Points beyond which a coordinate leaves every surface's drawable range: far
// larger than any paper (a 200-inch page is 14,400 points), yet small enough
// for every surface to represent exactly.
inline constexpr float kMaxDrawablePoints = 1e6f;
// A font size from which a text is left out like an item placed beyond the
// drawable range: a number run wild (a scale times a size), not a size a form
// asked for. Sizes between the surfaces' own limit (text::kMaxFontPoints) and
// this one are passed on, and the surface refuses them as an invalid value,
// which the form's author is told; the two limits mean different things.
inline constexpr float kRunawayFontPoints = 1e4f;
static_assert(kRunawayFontPoints >= text::kMaxFontPoints);

// The printer when OutputTarget is Printer, else the preview canvas, seen through a
// guard: an item whose position or font size is not finite or lies beyond
// the limits above is skipped instead of passed on (a line with such an end,
// a text placed there or drawn in such a size), and everything else goes
// through unchanged. A missing target is a failure (ObjectNotSet).
DrawSurface& current_target();

bool printer_is_target();

// True when the page being drawn (OutPage) lies within OutStartP..OutEndP; it then marks the
// printer page as started.
bool InOutputRange();

// Raises the failure of a target operation.
void on_target(const Status& status);

// Thrown by a handler whose item is sized beyond any paper (a text wider
// than the 16-bit width counts hold): the page replay leaves that item out,
// reports it once per run of pages and goes on with the next record.
class ItemLeftOut : public RaisedFailure {
public:
    using RaisedFailure::RaisedFailure;
};

[[noreturn]] void leave_out(Failure failure);

// value as a whole number of points in 16 bits (halves to even); beyond that
// range the item is left out (error 6).
int16_t whole_points_or_leave_out(double value);

}  // namespace kt482
