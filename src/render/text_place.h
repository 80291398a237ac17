// Where a text record starts on its target, and moving the target's pen
// there: shared by the text records that place a text whole and those that
// fit or wrap it into a box.
#pragma once

#include "platform/draw_surface.h"

namespace kt482 {

struct TextPlace {
    float x;
    float y;
};

// A face named with "@" sets the texts after it top to bottom: the surface
// draws them down a column, and the texts are placed along rows instead of
// columns.
bool vertical_text();

// Horizontal text stands on the bottom of its row; a vertical column starts
// at the top left corner of its cell.
TextPlace text_place(float row, float col);

void move_to(DrawSurface& target, float x, float y);

// Moves to a distance after a text's place in its direction: to the right,
// or down for vertical text.
void move_along(DrawSurface& target, TextPlace at, double distance);

// The length in points of out_length columns (rows for vertical text).
double grid_length(float out_length);

}  // namespace kt482
