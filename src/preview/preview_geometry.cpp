#include "preview/preview_geometry.h"

#include <algorithm>
#include <cmath>

#include "render/grid_coordinates.h"

namespace kt482 {
namespace {

// What the layout keeps for the window's frame, in points: 8 across and 20
// down, and the canvas's one-point gap to the bars beside and below it.
constexpr double kFrameWidth = 8;
constexpr double kFrameHeight = 20;
constexpr double kGap = 1;
constexpr double kTwipsPerPoint = 20;

}  // namespace

double zoom_step(double percent, int direction)
{
    // A zoom kept in single precision (0.8 is 80.0000012 %) is its entry.
    constexpr double kSame = 1e-4;
    if (direction > 0) {
        for (int step : kZoomSteps)
            if (step > percent + kSame)
                return step;
    } else if (direction < 0) {
        for (auto it = std::rbegin(kZoomSteps); it != std::rend(kZoomSteps); ++it)
            if (*it < percent - kSame)
                return *it;
    }
    return percent;
}

int fit_zoom(double room_width, double room_height, double page_width, double page_height)
{
    double scale = page_width > 0 ? room_width / page_width : kMaximumZoom / 100.0;
    if (page_height > 0)
        scale = std::min(scale, room_height / page_height);
    // A hair of tolerance: a page that fits exactly at 100 % stays at 100.
    const double percent = std::floor(scale * 100 + 1e-9);
    if (!(percent >= kMinimumZoom))
        return kMinimumZoom;
    return static_cast<int>(std::min<double>(percent, kMaximumZoom));
}

CanvasRoom canvas_room(const PreviewWindow& window, int outer_width, int outer_height)
{
    const ControlRect data = window.geometry(PreviewControl::DATA);
    return {outer_width / kTwipsPerPoint - data.left - window.geometry(PreviewControl::VSCROL).width - kFrameWidth,
            outer_height / kTwipsPerPoint - data.top - window.geometry(PreviewControl::HSCROL).height - kFrameHeight};
}

OuterSize opening_size(const PreviewWindow& window, float page_width, float page_height, OuterSize available,
                       OuterSize smallest)
{
    const ControlRect data = window.geometry(PreviewControl::DATA);
    const double width =
        page_width + data.left + window.geometry(PreviewControl::VSCROL).width + kFrameWidth + kGap;
    const double height =
        page_height + data.top + window.geometry(PreviewControl::HSCROL).height + kFrameHeight + kGap;
    auto fit = [](double points, int most, int least) {
        // Whole twips up, without the float noise of the control positions.
        double twips = std::ceil(points * kTwipsPerPoint - 1e-3);
        if (!(twips <= most))
            twips = most;
        return std::max(static_cast<int>(twips), least);
    };
    return {fit(width, available.width, smallest.width), fit(height, available.height, smallest.height)};
}

float scrolled(float offset, double delta, float overflow)
{
    const double limit = std::max<double>(overflow, 0);
    const double moved = std::clamp(std::round(offset + delta), 0.0, std::floor(limit + 0.5));
    return static_cast<float>(moved);
}

float scroll_offset(float page_extent, float canvas_extent, int value)
{
    return static_cast<float>(round_half_up((static_cast<double>(page_extent) - canvas_extent) * value / 100));
}

int bar_value(float offset, float overflow)
{
    if (!(overflow > 0))
        return 0;
    return std::clamp(static_cast<int>(round_half_up(100.0 * offset / overflow)), 0, 100);
}

}  // namespace kt482
