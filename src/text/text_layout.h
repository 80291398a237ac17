// Laying out a text: shaping it in a face and placing its glyphs, across or
// down a column, for every output to write out as it is. Surfaces only
// translate the runs into their own terms (PDF operators and a text layer,
// painter glyph runs); no surface shapes or places glyphs itself.
//
// Lengths come out in the unit the size goes in: points on paper, twips on a
// painter scaled to twips. y grows downwards. A text starts at its origin:
//   across  the origin is the top left of the text; the baseline lies one
//           ascent of the face below it, and the pen runs to the right;
//   down    the origin is the top left of a column one em wide; the pen runs
//           down the column's centre line. Upright glyphs (ideographs, kana,
//           full-width forms) stand on it in the face's vertical forms, turned
//           runs (Latin, half-width) lie a quarter turn clockwise with their
//           em box centred on the column.
//
// A box (optional) places the text along its line: at its start, centred,
// at its end, or spread so that the first cluster starts at the box's start
// and the last ends at its end; clipping drops the clusters that would end
// past the box. A horizontal scale below 1 condenses the text: every length
// along the line (advances, offsets, gaps) shrinks by it, and a writer draws
// each glyph narrowed by it in the line's direction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/font_service.h"

namespace kt482::text {

enum class Direction { Across, Down };

// How a run's glyphs stand: across a row, upright in a column, or turned a
// quarter clockwise in a column.
enum class Orientation { Across, Upright, Turned };

enum class Align { Start, Centre, End, Spread };
enum class Overflow { Show, Clip };
enum class Weight { Regular, Bold };
enum class Underline { Without, With };

// The length of the line a text is placed in, from the origin along the pen.
struct TextBox {
    double length = 0;
    Align align = Align::Start;
    Overflow overflow = Overflow::Show;
};

struct TextStyle {
    const FontFace* face = nullptr;  // never null for a layout
    double size = 0;                 // the em, in the unit of every length
    Direction direction = Direction::Across;
    Weight weight = Weight::Regular;
    Underline underline = Underline::Without;
    double horizontal_scale = 1;     // along the line; 1 is the face's own width
};

// A shaped glyph where it stands.
//
// pen is where the pen stands along the line as the glyph starts: its page
// x across, its page y down. (x, y) is where the glyph's horizontal origin
// lies: on the page across and upright; for a turned glyph, in its run's
// turned frame (x along the run from the run's start, y across it from the
// baseline), which a writer turns a quarter clockwise about the run's start.
// The shaped values (advance, offsets) stay in font units, for writers that
// state glyph widths in the font's terms.
//
// A glyph 0 shows a character no face has: a writer draws the face's missing
// glyph box where the glyph stands, upright or turned with its run.
struct PlacedGlyph : ShapedGlyph {
    double pen = 0;
    double x = 0;
    double y = 0;
};

// Consecutive glyphs of one face and one orientation. (x, y) is where the
// run's pen starts: on the baseline across; on the column's centre line
// upright; where the turned baseline starts for a turned run (the baseline
// runs down the column, left of the centre line by half the face's em box).
struct GlyphRun {
    const FontFace* face = nullptr;
    Orientation orientation = Orientation::Across;
    double x = 0;
    double y = 0;
    std::size_t first = 0;  // index into TextLayout::glyphs
    std::size_t count = 0;
};

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

struct TextLayout {
    std::u32string chars;            // the text decoded; clusters index it
    std::vector<PlacedGlyph> glyphs;
    std::vector<GlyphRun> runs;
    // How far the pen moves along the line from the origin: the text's width
    // across, its length down; 0 for an empty text. With a box, the end of
    // the last glyph placed.
    double advance = 0;
    // The glyphs' own advance in ems, without the box's offset and gaps and
    // at scale 1: a caller working in another unit than the layout's scales
    // it by its own size.
    double ems = 0;
    // Across: the baseline's y. Down: the column's centre line's x.
    double baseline = 0;
    // The underline's rectangle (below the text across, along the column's
    // right side down), when asked for and the text is not empty.
    std::optional<Rect> underline;
    // Bold on a face without a bold weight installed is drawn by a writer:
    // filled and stroked, or struck again bold_offset further along x. With
    // one installed, the glyphs are the bold face's and this stays false.
    bool synthetic_bold = false;
    double bold_offset = 0;          // 1/40 em
    double horizontal_scale = 1;
};

// Lays out text (UTF-8; invalid bytes become U+FFFD) from (x, y).
TextLayout lay_out(std::string_view text, const TextStyle& style, double x, double y,
                   const std::optional<TextBox>& box = std::nullopt);
// The same, for text decoded already; the layout keeps a copy.
TextLayout lay_out(std::u32string_view text, const TextStyle& style, double x, double y,
                   const std::optional<TextBox>& box = std::nullopt);
// The same into a layout whose storage is reused: a surface printing text
// after text allocates nothing once its layout has grown.
void lay_out(TextLayout& layout, std::string_view text, const TextStyle& style, double x, double y,
             const std::optional<TextBox>& box = std::nullopt);

// The face a style's glyphs are shaped in: its bold weight for a bold text
// when one is installed, else its face (then stroked bold).
const FontFace* drawn_face(const TextStyle& style);

// How long text is along its line in a face, size and weight (the advance
// of its layout at scale 1): its width across, its length down.
double measure(const FontFace* face, double size, Direction direction, std::string_view text,
               Weight weight = Weight::Regular);

// Where a turned run's baseline lies in a column whose centre line is at
// centre: left of it by half the face's em box (ascent and descent).
double turned_baseline(const FontFace& face, double size, double centre);

// The distance from one line to the next: ascent, descent and line gap. A
// column's next one stands this far to the left.
double line_spacing(const FontFace& face, double size);

}  // namespace kt482::text
