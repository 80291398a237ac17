#include "pdf/glyph_outline.h"

#include <hb.h>

#include "text/font_service.h"
#include "pdf/pdf_writer.h"

namespace kt482::pdf {
namespace {

struct Pen {
    GlyphOutline* outline;
    float x = 0;
    float y = 0;
    void add(GlyphOutline::Op op, std::initializer_list<float> points)
    {
        outline->ops.push_back(op);
        outline->points.insert(outline->points.end(), points);
    }
};

void move_to(hb_draw_funcs_t*, void* data, hb_draw_state_t*, float x, float y, void*)
{
    auto* pen = static_cast<Pen*>(data);
    pen->add(GlyphOutline::Op::Move, {x, y});
    pen->x = x, pen->y = y;
}

void line_to(hb_draw_funcs_t*, void* data, hb_draw_state_t*, float x, float y, void*)
{
    auto* pen = static_cast<Pen*>(data);
    pen->add(GlyphOutline::Op::Line, {x, y});
    pen->x = x, pen->y = y;
}

// A quadratic curve is the cubic whose controls lie two thirds of the way
// from each end to its control.
void quadratic_to(hb_draw_funcs_t*, void* data, hb_draw_state_t*, float cx, float cy, float x, float y, void*)
{
    auto* pen = static_cast<Pen*>(data);
    pen->add(GlyphOutline::Op::Curve, {pen->x + 2 * (cx - pen->x) / 3, pen->y + 2 * (cy - pen->y) / 3,
                                       x + 2 * (cx - x) / 3, y + 2 * (cy - y) / 3, x, y});
    pen->x = x, pen->y = y;
}

void cubic_to(hb_draw_funcs_t*, void* data, hb_draw_state_t*, float c1x, float c1y, float c2x, float c2y, float x,
              float y, void*)
{
    auto* pen = static_cast<Pen*>(data);
    pen->add(GlyphOutline::Op::Curve, {c1x, c1y, c2x, c2y, x, y});
    pen->x = x, pen->y = y;
}

void close_path(hb_draw_funcs_t*, void* data, hb_draw_state_t*, void*)
{
    static_cast<Pen*>(data)->add(GlyphOutline::Op::Close, {});
}

hb_draw_funcs_t* draw_funcs()
{
    static hb_draw_funcs_t* funcs = [] {
        hb_draw_funcs_t* f = hb_draw_funcs_create();
        hb_draw_funcs_set_move_to_func(f, move_to, nullptr, nullptr);
        hb_draw_funcs_set_line_to_func(f, line_to, nullptr, nullptr);
        hb_draw_funcs_set_quadratic_to_func(f, quadratic_to, nullptr, nullptr);
        hb_draw_funcs_set_cubic_to_func(f, cubic_to, nullptr, nullptr);
        hb_draw_funcs_set_close_path_func(f, close_path, nullptr, nullptr);
        hb_draw_funcs_make_immutable(f);
        return f;
    }();
    return funcs;
}

}  // namespace

GlyphOutline GlyphOutline::of(const text::FontFace& face, uint32_t glyph)
{
    GlyphOutline outline;
    Pen pen{&outline};
    hb_font_get_glyph_shape(face.hb_font(), glyph, draw_funcs(), &pen);
    return outline;
}

void GlyphOutline::append_fill(std::string& out, double x, double y, double size, int units_per_em) const
{
    if (ops.empty())
        return;
    const double scale = size / units_per_em;
    std::size_t at = 0;
    auto point = [&] {
        append_number(out, x + points[at] * scale);
        out.push_back(' ');
        append_number(out, y + points[at + 1] * scale);
        out.push_back(' ');
        at += 2;
    };
    for (const Op op : ops) {
        switch (op) {
        case Op::Move:
            point();
            out += "m\n";
            break;
        case Op::Line:
            point();
            out += "l\n";
            break;
        case Op::Curve:
            point(), point(), point();
            out += "c\n";
            break;
        case Op::Close:
            out += "h\n";
            break;
        }
    }
    // Non-zero winding, as glyphs are filled.
    out += "f\n";
}

}  // namespace kt482::pdf
