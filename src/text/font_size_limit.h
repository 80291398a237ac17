// The largest font size a surface draws in. Every surface refuses a larger
// one (InvalidPropertyValue), so that a text is measured and drawn alike on
// the preview and on paper up to the same size: 2048 points is well past any
// size a form can use, and small enough that a glyph's outline in twips stays
// within what a painter and a PDF reader take exactly.
#pragma once

namespace kt482::text {

inline constexpr float kMaxFontPoints = 2048.0f;

}  // namespace kt482::text
