// The drawing surface on a PDF document: text as glyphs of the embedded
// fonts, lines as stroked paths, in points from the top left corner of the
// page.
//
// A text's top is the top of its face's ascent, so its baseline lies one
// ascent below CurrentY; a line end moves down by the face's line spacing.
// Widths come from the font service, the same on every surface. A bold text
// is set in its face's bold weight where one is installed (a CFF-based face
// embeds as a CIDFontType0C font); on a face without one it fills and
// strokes the regular outlines, 1/40 em wider.
//
// Line widths are pixels of the nominal resolution (600 dpi unless set), but
// never less than one dot of the device resolution. Dashed and dotted styles
// apply to lines one pixel wide, in steps of 1/96 inch; wider ones are solid.
// Solid lines have square ends so that the sides of a box close; dashed ones
// flat ends, which keep their gaps open.
//
// A face named with "@" sets texts vertically: CurrentX is the left edge of a
// column one em wide and CurrentY the top of its first character; Print moves
// CurrentY down by the text's length and a line end starts the next column to
// the left at the top. Upright glyphs are written in a vertical font resource
// (Identity-V with vertical metrics), turned runs in the horizontal one with
// a text matrix turned a quarter clockwise, their em box centred on the
// column; a column with turned runs carries its text as the text to extract.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/units.h"
#include "kt482/draw_surface.h"
#include "pdf/glyph_outline.h"
#include "text/font_service.h"
#include "text/text_layout.h"
#include "text/text_surface.h"

namespace kt482::pdf {

class PdfDocument;
class ShowOperators;
using text::PlacedGlyph;

class PdfSurface final : public text::TextSurface {
public:
    static constexpr int kNominalDpi = 600;

    // The document drawn on; null while there is none (drawing then fails).
    // The surface's state (font, position, pen) stays across documents.
    void set_document(PdfDocument* document);
    PdfDocument* document() const { return document_; }
    // The resolution DrawWidth's pixels are in, and that of the device (the
    // thinnest line); 0 keeps the defaults (600 and 1200).
    void set_resolution(int nominal_dpi, int device_dpi);
    // Where (0, 0) lies on the page, in points from its top left corner: the
    // corner of a printer's printable area.
    void set_origin(double x, double y);

    // The state the interface sets but does not read back (the text's, see
    // TextSurface).
    int16_t draw_mode() const { return draw_mode_; }
    int16_t draw_width() const { return draw_width_; }
    int16_t draw_style() const { return draw_style_; }

    // Condensed text (HorizontalScale) is written with the text state's
    // horizontal scaling (Tz): readers extract its characters unchanged.
    Status DrawMode(int16_t mode) override;
    Status DrawWidth(int16_t pixels) override;
    Status DrawStyle(int16_t style) override;
    Status Line(float x1, float y1, float x2, float y2) override;
    Status BeginSpreadText(std::string_view text) override;
    Status EndSpreadText() override;
    // Colours go in as DeviceGray when red, green and blue are equal, else
    // as DeviceRGB. Lines in draw mode 16 stay white.
    Status Color(uint32_t rgb) override;
    uint32_t color() const { return color_; }
    Status FillRect(float x, float y, float width, float height) override;
    // Each picture is stored once per document, however many pages show it.
    Status Image(float x, float y, float width, float height, const ImagePixels& picture) override;

private:
    // A glyph showing more characters than this has them as marked content
    // instead: a reader's map takes only so many.
    static constexpr std::size_t kLongestGlyphText = 32;
    // A missing glyph of a text drawn: its face, where its origin lies on
    // the page (points, y up) and whether it is turned with a vertical
    // text's Latin run.
    struct Missing {
        const text::FontFace* face;
        double x;
        double y;
        bool turned;
    };

    // What the open page's content stream has set, so that runs of text or
    // lines repeat no state.
    struct StreamState {
        int font = 0;
        int font_twips = 0;
        double line_width = -1;
        int cap = -1;
        int dash = -1;
        int64_t stroke = -1;  // 0xRRGGBB of the stroke colour; -1 unset
        int64_t fill = 0;     // of the fill colour, black at the start
        // Where the last text started, for the next one in the same text
        // object to move relative to it.
        double text_x = 0;
        double text_y = 0;
        double horizontal_scale = 1;  // Tz / 100
    };

    using Glyphs = std::span<const PlacedGlyph>;

    bool drawing() const override;
    void print_text(std::string_view text) override;
    std::string& content();
    void fill_underline(const text::Rect& line);
    // Synthetic bold around a text: whether begun, to end it.
    bool begin_bold(std::string& out);
    void end_bold(std::string& out, bool synthetic, double scale_before);
    void set_horizontal_scale(std::string& out, double scale);
    void move_text_to(std::string& out, double px, double py);
    void select_font(ShowOperators& show, int font);
    // spread_widths: each glyph's advance in thousandths of an em, shown so
    // wide through a copy of its glyph; none: the shaped advances.
    void draw_glyphs(double x, double baseline, Glyphs glyphs, std::u32string_view chars,
                     const std::vector<double>* spread_widths = nullptr);
    void show_spread(ShowOperators& show, const PlacedGlyph& g, uint32_t glyph, std::u32string_view text,
                     double thousandths, int direction);
    void add_spread_piece(const text::TextLayout& layout);
    void draw_spread();
    bool spread_is_one_run() const;
    void draw_spread_run();
    void draw_spread_pieces();
    void draw_missing(std::string& out);
    void draw_column(double centre, Glyphs glyphs, std::u32string_view chars,
                     const std::vector<double>* spread_widths = nullptr);
    void column_texts(Glyphs glyphs, std::u32string_view chars);
    void draw_upright(ShowOperators& show, double centre, Glyphs run, std::size_t base, const double* spread_widths);
    void draw_turned(ShowOperators& show, double baseline, Glyphs run, std::size_t base);
    void apply_line_pen(std::string& out);
    uint32_t blank_glyph(const text::FontFace& face);
    // Sets the fill colour to the current colour when it is not already.
    void apply_fill(std::string& out);

    PdfDocument* document_ = nullptr;
    StreamState stream_;

    double origin_x_ = 0;
    double origin_y_ = 0;
    int nominal_dpi_ = kNominalDpi;
    int device_dpi_ = 1200;
    int16_t draw_mode_ = kDrawModePen;
    int16_t draw_width_ = 1;
    int16_t draw_style_ = 0;
    uint32_t color_ = 0;

    std::vector<std::u32string_view> texts_;  // a column's text by glyph
    std::vector<Missing> missing_;
    std::unordered_map<const text::FontFace*, GlyphOutline> missing_outlines_;
    std::unordered_map<const text::FontFace*, uint32_t> blank_glyphs_;

    // A spread text is drawn when it ends, each glyph then reaching to the
    // next: its characters as printed, their glyphs, clusters counted in
    // spread_chars_. A piece starts at x on its baseline y across, at the top
    // y of a column whose centre line is x down.
    struct SpreadPiece {
        double x;
        double y;
        std::size_t glyphs;  // how many of spread_glyphs_, from the piece before's
    };
    bool spread_open_ = false;
    std::u32string spread_text_;
    std::u32string spread_chars_;
    std::vector<PlacedGlyph> spread_glyphs_;
    std::vector<SpreadPiece> spread_pieces_;
};

}  // namespace kt482::pdf
