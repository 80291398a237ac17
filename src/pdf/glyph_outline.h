// A glyph's outline as a path of the content stream, for glyphs that cannot
// be shown as text: the face's missing glyph, which readers leave blank when
// it is shown and which archived files must not show.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kt482::text {
class FontFace;
}  // namespace kt482::text

namespace kt482::pdf {

// Points in font units, y up; cubic curves only (quadratic ones raised).
struct GlyphOutline {
    enum class Op : uint8_t { Move, Line, Curve, Close };
    std::vector<Op> ops;
    std::vector<float> points;  // x, y pairs: one for Move and Line, three for Curve

    static GlyphOutline of(const text::FontFace& face, uint32_t glyph);

    // Appends the filled path scaled to size points, its origin at (x, y) in
    // page coordinates (y up).
    void append_fill(std::string& out, double x, double y, double size, int units_per_em) const;
};

}  // namespace kt482::pdf
