#include "cairo_page.h"

#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <map>
#include <memory>

#include "text/font_service.h"

namespace kt482::bench {
namespace {

constexpr double kA4Width = 595.2756;
constexpr double kA4Height = 841.8898;

// cairo font faces of the font service's files, made once.
class CairoFonts {
public:
    CairoFonts() { FT_Init_FreeType(&library_); }
    ~CairoFonts()
    {
        for (auto& [face, font] : fonts_)
            cairo_font_face_destroy(font);
        for (FT_Face face : faces_)
            FT_Done_Face(face);
        FT_Done_FreeType(library_);
    }
    cairo_font_face_t* face(const text::FontFace* face)
    {
        auto found = fonts_.find(face);
        if (found != fonts_.end())
            return found->second;
        FT_Face ft = nullptr;
        if (FT_New_Face(library_, face->path().c_str(), face->index(), &ft) != 0)
            return nullptr;
        faces_.push_back(ft);
        cairo_font_face_t* font = cairo_ft_font_face_create_for_ft_face(ft, 0);
        fonts_.emplace(face, font);
        return font;
    }

private:
    FT_Library library_ = nullptr;
    std::vector<FT_Face> faces_;
    std::map<const text::FontFace*, cairo_font_face_t*> fonts_;
};

// The renderer's calls on a cairo context, as the PDF printer draws them.
struct CairoPage {
    CairoPage(cairo_t* context, CairoFonts& faces) : cr(context), fonts(faces) {}

    cairo_t* cr;
    CairoFonts& fonts;
    const text::FontFace* face = text::FontService::shared().face("ＭＳ 明朝");
    double size = 10.5;
    double x = 0;
    double y = 0;
    int width = 1;
    int style = 0;
    std::vector<text::ShapedGlyph> shaped;
    std::vector<cairo_glyph_t> glyphs;

    void print(const std::string& text)
    {
        shaped.clear();
        text::FontService::shared().shape(face, text, shaped);
        const double baseline = y + size * face->ascender() / face->units_per_em();
        std::size_t start = 0;
        while (start < shaped.size()) {
            const text::FontFace* runFace = shaped[start].face;
            glyphs.clear();
            for (; start < shaped.size() && shaped[start].face == runFace; ++start) {
                glyphs.push_back({shaped[start].glyph, x, baseline});
                x += size * shaped[start].advance / runFace->units_per_em();
            }
            cairo_set_font_face(cr, fonts.face(runFace));
            cairo_set_font_size(cr, size);
            cairo_show_glyphs(cr, glyphs.data(), static_cast<int>(glyphs.size()));
        }
    }

    void line(const Call& c)
    {
        static const double kDash[] = {9, 4.5};
        static const double kDot[] = {2.25, 2.25};
        cairo_set_line_width(cr, std::max(width * 72.0 / 600, 0.06));
        const bool dashed = width == 1 && (style == 1 || style == 2);
        cairo_set_dash(cr, style == 1 ? kDash : kDot, dashed ? 2 : 0, 0);
        cairo_set_line_cap(cr, dashed ? CAIRO_LINE_CAP_BUTT : CAIRO_LINE_CAP_SQUARE);
        cairo_move_to(cr, c.x1, c.y1);
        cairo_line_to(cr, c.x2, c.y2);
        cairo_stroke(cr);
    }

    void draw(const std::vector<Call>& calls)
    {
        for (const Call& c : calls) {
            switch (c.op) {
            case Op::FontName: face = text::FontService::shared().face(c.text); break;
            case Op::FontSize: size = c.x1; break;
            case Op::CurrentX: x = c.x1; break;
            case Op::CurrentY: y = c.y1; break;
            case Op::Print: print(c.text); break;
            case Op::DrawWidth: width = c.value; break;
            case Op::DrawStyle: style = c.value; break;
            case Op::Line: line(c); break;
            default: break;
            }
        }
    }
};

}  // namespace

bool draw_into_cairo_pdf(const std::vector<Call>& calls, int pages, const std::string& path)
{
    static CairoFonts fonts;
    cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), kA4Width, kA4Height);
    cairo_t* cr = cairo_create(surface);
    CairoPage page(cr, fonts);
    for (int i = 0; i < pages; ++i) {
        page.draw(calls);
        cairo_show_page(cr);
    }
    const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const bool finished = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok && finished;
}

}  // namespace kt482::bench
