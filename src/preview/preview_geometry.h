// The arithmetic of the preview window's view: the steps of the zoom list,
// the zoom that fits the page, the size the window opens at, and how far the
// wheel and the arrow keys move the page.
#pragma once

#include "base/zoom_steps.h"
#include "platform/window_toolkit.h"

namespace kt482 {


// A notch of the wheel moves the page three lines of 16 points; an arrow key
// one line.
inline constexpr float kScrollLinePoints = 16;
inline constexpr int kLinesPerNotch = 3;

// The list's next step above percent (direction > 0) or below it
// (direction < 0); percent itself, unchanged, when the list has none.
double zoom_step(double percent, int direction);

// The largest whole percent within the zoom limits at which page × percent / 100
// fits into room. A page height of 0 fits the width alone.
int fit_zoom(double room_width, double room_height, double page_width, double page_height);

// The room the window's layout gives the canvas at an outer size (twips):
// the canvas's largest width and height in points.
struct CanvasRoom {
    double width = 0;
    double height = 0;
};
CanvasRoom canvas_room(const PreviewWindow& window, int outer_width, int outer_height);

// The outer size (twips) that shows a page of width × height points whole
// at 100 %, within available and never below the window's first size.
OuterSize opening_size(const PreviewWindow& window, float page_width, float page_height, OuterSize available,
                       OuterSize smallest);

// The part of the page that does not fit, scrolled to value percent of the
// bar, in whole points.
float scroll_offset(float page_extent, float canvas_extent, int value);

// The thumb position, 0 to 100, that an offset within the overflow gives.
int bar_value(float offset, float overflow);

// The scroll offset after moving by delta points, within 0..overflow, in
// whole points.
float scrolled(float offset, double delta, float overflow);

}  // namespace kt482
