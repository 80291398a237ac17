#include "text/text_layout.h"

#include <algorithm>

namespace kt482::text {
namespace {

// Where a text stands in its box: how far its start lies from the origin,
// and the gap added after each cluster but the last.
struct Placement {
    double offset = 0;
    double gap = 0;
};

// Whether glyph i starts a cluster: the first glyph, or one of another
// cluster or face than the glyph before it.
bool starts_cluster(const std::vector<ShapedGlyph>& glyphs, std::size_t i)
{
    return i == 0 || glyphs[i].cluster != glyphs[i - 1].cluster || glyphs[i].face != glyphs[i - 1].face;
}

std::size_t cluster_count(const std::vector<ShapedGlyph>& glyphs)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < glyphs.size(); ++i)
        count += starts_cluster(glyphs, i) ? 1 : 0;
    return count;
}

double ems_of(const std::vector<ShapedGlyph>& glyphs, std::size_t end)
{
    double ems = 0;
    for (std::size_t i = 0; i < end; ++i)
        ems += static_cast<double>(glyphs[i].advance) / glyphs[i].face->units_per_em();
    return ems;
}

double length_of(const std::vector<ShapedGlyph>& glyphs, std::size_t end, double size, double scale)
{
    return ems_of(glyphs, end) * size * scale;
}

// Clipping keeps the clusters that end inside the box, in order.
void clip(std::vector<ShapedGlyph>& glyphs, const TextStyle& style, double length)
{
    // The length is summed afresh at each cluster's end, as a whole text's
    // is, so that a text that just fits is kept to the last bit.
    for (std::size_t start = 0; start < glyphs.size();) {
        std::size_t end = start + 1;
        while (end < glyphs.size() && !starts_cluster(glyphs, end))
            ++end;
        if (length_of(glyphs, end, style.size, style.horizontal_scale) > length) {
            glyphs.resize(start);
            return;
        }
        start = end;
    }
}

// Special case: a spread text of one cluster, or one that fills its box or
// more, is centred or starts at the box's start like any other.
Placement place_in(const TextBox& box, double length, std::size_t clusters)
{
    const double free = box.length - length;
    switch (box.align) {
    case Align::Start:
        return {};
    case Align::Centre:
        return {free / 2, 0};
    case Align::End:
        return {free, 0};
    case Align::Spread:
        if (clusters == 1)
            return {free / 2, 0};
        if (free <= 0)
            return {};
        return {0, free / static_cast<double>(clusters - 1)};
    }
    return {};
}

// Glyphs [first, end) of one face and orientation, from the pen at along.
void add_run(TextLayout& layout, const TextStyle& style, std::size_t first, double centre, double& along,
             const Placement& placement)
{
    const std::vector<PlacedGlyph>& glyphs = layout.glyphs;
    const FontFace* face = glyphs[first].face;
    const bool down = style.direction == Direction::Down;
    const bool upright = glyphs[first].upright;
    const double em = style.size / face->units_per_em();
    const double scale = em * style.horizontal_scale;
    GlyphRun run{face, Orientation::Across, along, layout.baseline, first, 0};
    if (down) {
        run.orientation = upright ? Orientation::Upright : Orientation::Turned;
        run.x = upright ? centre : turned_baseline(*face, style.size, centre);
        run.y = along;
    }
    std::size_t i = first;
    for (; i < glyphs.size() && glyphs[i].face == face && glyphs[i].upright == upright; ++i) {
        PlacedGlyph& g = layout.glyphs[i];
        if (i > first && g.cluster != glyphs[i - 1].cluster)
            along += placement.gap;
        g.pen = along;
        if (!down) {
            g.x = along + g.x_offset * scale;
            g.y = layout.baseline - g.y_offset * em;
        } else if (upright) {
            g.x = centre + g.x_offset * em;
            g.y = along - g.y_offset * scale;
        } else {
            g.x = along - run.y + g.x_offset * scale;
            g.y = -g.y_offset * em;
        }
        along += g.advance * scale;
    }
    run.count = i - first;
    layout.runs.push_back(run);
}

void place_runs(TextLayout& layout, const TextStyle& style, double x, double y, const Placement& placement)
{
    const bool down = style.direction == Direction::Down;
    const double centre = x + style.size / 2;
    double along = (down ? y : x) + placement.offset;
    for (std::size_t first = 0; first < layout.glyphs.size(); first += layout.runs.back().count) {
        // A gap separates the last cluster of a run from the next run's first.
        if (first > 0)
            along += placement.gap;
        add_run(layout, style, first, centre, along, placement);
    }
}

// The underline runs below the text across, along the column's right side
// down, from where the text starts to where it ends.
Rect underline_of(const TextLayout& layout, const TextStyle& style, double x, double y)
{
    const FontFace& face = *style.face;
    const double thickness = style.size * face.underline_thickness() / face.units_per_em();
    const double start = layout.glyphs.empty() ? 0 : layout.glyphs.front().pen;
    const double length = layout.advance - (start - (style.direction == Direction::Down ? y : x));
    if (style.direction == Direction::Down) {
        const double left =
            x + style.size - style.size * face.underline_position() / face.units_per_em() - thickness / 2;
        return {left, start, thickness, length};
    }
    const double top = layout.baseline - style.size * face.underline_position() / face.units_per_em() - thickness / 2;
    return {start, top, length, thickness};
}

// Shapes layout.chars and places the glyphs, reusing the layout's storage.
void place(TextLayout& layout, const TextStyle& style, double x, double y, const std::optional<TextBox>& box)
{
    layout.glyphs.clear();
    layout.runs.clear();
    layout.underline.reset();
    layout.horizontal_scale = style.horizontal_scale;
    const FontFace& face = *style.face;
    const bool down = style.direction == Direction::Down;
    layout.baseline = down ? x + style.size / 2 : y + style.size * face.ascender() / face.units_per_em();
    // A bold text is shaped in the bold weight where one is installed; it
    // keeps the regular face's baseline, so that it lines up with the
    // regular texts of its row.
    const FontFace* shaping = drawn_face(style);
    layout.synthetic_bold = style.weight == Weight::Bold && !shaping->is_bold();
    layout.bold_offset = style.size / 40;

    // Every text printed is laid out here: the shaped glyphs' storage is
    // kept for the thread's next text rather than allocated for each.
    thread_local std::vector<ShapedGlyph> shaped;
    shaped.clear();
    const std::u32string_view text = layout.chars;
    if (down)
        FontService::shared().shape_vertical(shaping, text, shaped);
    else
        FontService::shared().shape(shaping, text, shaped);
    if (box && box->overflow == Overflow::Clip)
        clip(shaped, style, box->length);
    layout.ems = ems_of(shaped, shaped.size());
    const double natural = layout.ems * style.size * style.horizontal_scale;
    const std::size_t clusters = cluster_count(shaped);
    const Placement placement = box ? place_in(*box, natural, clusters) : Placement{};

    layout.glyphs.reserve(shaped.size());
    for (const ShapedGlyph& g : shaped)
        layout.glyphs.push_back(PlacedGlyph{g});
    place_runs(layout, style, x, y, placement);
    const double gaps = clusters > 1 ? placement.gap * static_cast<double>(clusters - 1) : 0;
    layout.advance = shaped.empty() ? 0 : placement.offset + natural + gaps;
    if (style.underline == Underline::With && !shaped.empty())
        layout.underline = underline_of(layout, style, x, y);
}

}  // namespace

TextLayout lay_out(std::string_view text, const TextStyle& style, double x, double y,
                   const std::optional<TextBox>& box)
{
    TextLayout layout;
    lay_out(layout, text, style, x, y, box);
    return layout;
}

TextLayout lay_out(std::u32string_view text, const TextStyle& style, double x, double y,
                   const std::optional<TextBox>& box)
{
    TextLayout layout;
    layout.chars.assign(text);
    place(layout, style, x, y, box);
    return layout;
}

void lay_out(TextLayout& layout, std::string_view text, const TextStyle& style, double x, double y,
             const std::optional<TextBox>& box)
{
    layout.chars.clear();
    decode_utf8(text, layout.chars);
    place(layout, style, x, y, box);
}

const FontFace* drawn_face(const TextStyle& style)
{
    if (style.weight == Weight::Bold)
        return FontService::shared().bold_face(style.face);
    return style.face;
}

double measure(const FontFace* face, double size, Direction direction, std::string_view text, Weight weight)
{
    if (weight == Weight::Bold)
        face = FontService::shared().bold_face(face);
    if (direction == Direction::Down)
        return FontService::shared().column_length(face, size, text);
    return FontService::shared().text_width(face, size, text);
}

double turned_baseline(const FontFace& face, double size, double centre)
{
    const double em = size / face.units_per_em();
    return centre - (face.ascender() - face.descender()) * em / 2;
}

double line_spacing(const FontFace& face, double size)
{
    return size * (face.ascender() + face.descender() + face.line_gap()) / face.units_per_em();
}

}  // namespace kt482::text
