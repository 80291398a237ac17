// The target of the renderer and the output-range test.
#pragma once

#include "job/job_state.h"
#include "platform/draw_surface.h"

namespace kt482 {

// The printer when OutputTarget is 1, else the preview canvas. A missing
// target is a failure (ObjectNotSet).
DrawSurface& current_target();

bool printer_is_target();

// True when the page being drawn (OutPage) lies within OutStartP..OutEndP; it then marks the
// printer page as started.
bool InOutputRange();

// Raises the failure of a target operation.
void on_target(const Status& status);

}  // namespace kt482
