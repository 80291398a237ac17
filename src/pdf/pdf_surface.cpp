#include "pdf/pdf_surface.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/units.h"
#include "pdf/pdf_document.h"
#include "pdf/pdf_writer.h"
#include "text/font_size_limit.h"

namespace kt482::pdf {
namespace {

using Glyphs = std::span<const PlacedGlyph>;

// The cluster starting at glyph i: glyphs [begin, end) of one face showing
// characters [first, last) of a text of chars characters (at least one
// character, where shaping gave the cluster none of its own).
struct Cluster {
    std::size_t begin;
    std::size_t end;
    std::size_t first;
    std::size_t last;

    std::size_t glyphs() const { return end - begin; }
    std::size_t length() const { return last - first; }
    bool one_to_one() const { return glyphs() == length(); }
    // The text of its k-th glyph: its own character where each glyph has
    // one, else all of them on the first glyph unless the cluster is marked
    // with them, and a zero-width space on the others (archivable files map
    // every code).
    std::u32string_view text_of(std::u32string_view chars, std::size_t k, bool marked) const
    {
        if (one_to_one())
            return chars.substr(first + k, 1);
        if (!marked && k == 0)
            return chars.substr(first, length());
        return U"\u200B";
    }
};

Cluster cluster_at(Glyphs glyphs, std::size_t i, std::size_t chars)
{
    std::size_t end = i + 1;
    while (end < glyphs.size() && glyphs[end].cluster == glyphs[i].cluster && glyphs[end].face == glyphs[i].face)
        ++end;
    const std::size_t first = std::min<std::size_t>(glyphs[i].cluster, chars);
    std::size_t last = end < glyphs.size() ? glyphs[end].cluster : chars;
    if (last <= first)
        last = std::min(first + 1, chars);
    return {i, end, first, last};
}

// The end of the run of a column's glyphs from i: one face, one orientation.
std::size_t run_end(Glyphs glyphs, std::size_t i)
{
    std::size_t end = i + 1;
    while (end < glyphs.size() && glyphs[end].face == glyphs[i].face && glyphs[end].upright == glyphs[i].upright)
        ++end;
    return end;
}

constexpr double kDashStep = 72.0 / 96.0;

void append_dash(std::string& out, LineStyle style)
{
    switch (style) {
    case LineStyle::Dash:
        out += "[9 4.5]0 d\n";
        break;
    case LineStyle::Dot:
        out += "[2.25 2.25]0 d\n";
        break;
    case LineStyle::DashDot:
        out += "[9 3 2.25 3]0 d\n";
        break;
    case LineStyle::DashDotDot:
        out += "[9 3 2.25 3 2.25 3]0 d\n";
        break;
    default:
        out += "[]0 d\n";
        break;
    }
}

// A glyph id as two bytes of a literal string: binary deflates better than
// hex. A carriage return is escaped, as a reader would take it for a line end.
void append_glyph(std::string& out, uint32_t glyph)
{
    for (const unsigned byte : {(glyph >> 8) & 0xFF, glyph & 0xFF}) {
        switch (byte) {
        case '(':
        case ')':
        case '\\':
            out.push_back('\\');
            out.push_back(static_cast<char>(byte));
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out.push_back(static_cast<char>(byte));
        }
    }
}

// Which colour an operator sets: the stroke's or the fill's.
enum class Paint { Stroke, Fill };

// A colour operator: grey when the three components agree.
void append_color(std::string& out, uint32_t rgb, Paint paint)
{
    const bool stroke = paint == Paint::Stroke;
    const uint32_t r = (rgb >> 16) & 0xFF;
    const uint32_t g = (rgb >> 8) & 0xFF;
    const uint32_t b = rgb & 0xFF;
    if (r == g && g == b) {
        append_number3(out, r / 255.0);
        out += stroke ? " G\n" : " g\n";
        return;
    }
    for (const uint32_t c : {r, g, b}) {
        append_number3(out, c / 255.0);
        out.push_back(' ');
    }
    out += stroke ? "RG\n" : "rg\n";
}

}  // namespace

// The show operators of a text object: font selections, text matrices and
// strings of glyph codes, inside arrays where glyphs move apart.
class ShowOperators {
public:
    ShowOperators(std::string& out, bool arrays) : out_(out), arrays_(arrays) {}

    void font(int number, double size)
    {
        close();
        out_ += "/F" + std::to_string(number) + ' ';
        append_number(out_, size);
        out_ += " Tf\n";
    }
    // Starts a column's run at (x, y), y upwards.
    void place(text::Orientation orientation, double x, double y)
    {
        close();
        out_ += orientation == text::Orientation::Turned ? "0 -1 1 0 " : "1 0 0 1 ";
        append_number(out_, x);
        out_.push_back(' ');
        append_number(out_, y);
        out_ += " Tm\n";
    }
    void glyph(uint16_t code)
    {
        if (!open_)
            out_ += arrays_ ? "[(" : "(";
        open_ = true;
        append_glyph(out_, code);
    }
    // A move after the last glyph, in thousandths of an em: positive moves
    // left in a row, further down in a column.
    void move(double thousandths)
    {
        out_ += ")";
        append_number3(out_, thousandths);
        out_ += "(";
    }
    void close()
    {
        if (open_)
            out_ += arrays_ ? ")]TJ\n" : ")Tj\n";
        open_ = false;
    }

private:
    std::string& out_;
    bool arrays_;
    bool open_ = false;
};

static_assert(kDashStep * 12 == 9.0);

void PdfSurface::set_document(PdfDocument* document)
{
    draw_spread();
    document_ = document;
    stream_ = StreamState{};
}

void PdfSurface::set_resolution(int nominal_dpi, int device_dpi)
{
    nominal_dpi_ = nominal_dpi > 0 ? nominal_dpi : kNominalDpi;
    device_dpi_ = device_dpi > 0 ? device_dpi : 1200;
}

void PdfSurface::set_origin(double x, double y)
{
    origin_x_ = x;
    origin_y_ = y;
}

// A page's stream starts from the default state: nothing set yet but the
// move to the origin.
std::string& PdfSurface::content()
{
    std::string& out = document_->content();
    if (out.empty()) {
        stream_ = StreamState{};
        if (origin_x_ != 0 || origin_y_ != 0) {
            out += "1 0 0 1 ";
            append_number(out, origin_x_);
            out.push_back(' ');
            append_number(out, -origin_y_);
            out += " cm\n";
        }
    }
    return out;
}

bool PdfSurface::drawing() const
{
    return document_ && document_->page_open();
}

// Special case: blanks alone, not underlined, leave no mark on paper, and
// in the file they would only be stray blanks for readers (a printer's font
// reset prints one at the page's corner), so only the position moves.
void PdfSurface::print_text(std::string_view text)
{
    const text::TextLayout& layout = lay_out_at_pen(text, Unit::Points);
    const bool blank = text.find_first_not_of(' ') == std::string_view::npos && !font_underline();
    if (spread_open_)
        add_spread_piece(layout);
    else if (blank)
        ;
    else if (vertical())
        draw_column(layout.baseline, layout.glyphs, layout.chars);
    else
        draw_glyphs(pen_x(), layout.baseline, layout.glyphs, layout.chars);
    if (layout.underline)
        fill_underline(*layout.underline);
    advance_pen(layout);
}

// The rectangle as the layout gives it; only its thickness is kept from
// vanishing.
void PdfSurface::fill_underline(const text::Rect& line)
{
    std::string& out = content();
    document_->close_text();
    append_number(out, line.x);
    out.push_back(' ');
    append_number(out, document_->page_height() - line.y - line.height);
    out.push_back(' ');
    append_number(out, vertical() ? std::max(line.width, 0.01) : line.width);
    out.push_back(' ');
    append_number(out, vertical() ? line.height : std::max(line.height, 0.01));
    out += " re f\n";
}

// Stroke and fill, inside a saved state that the stroke's width and colour
// do not outlive.
bool PdfSurface::begin_bold(std::string& out)
{
    if (!font_bold() || text::drawn_face(style(text::TextSurface::Unit::Points))->is_bold())
        return false;
    document_->close_text();
    out += "q ";
    append_color(out, color_, Paint::Stroke);
    out += "2 Tr ";
    append_number(out, std::max(points() / 40.0, 0.01));
    out += " w\n";
    return true;
}

void PdfSurface::end_bold(std::string& out, bool synthetic, double scale_before)
{
    if (!synthetic)
        return;
    document_->close_text();
    out += "Q\n";
    // Q restores the font and the scaling of before the text object.
    stream_.font = 0;
    stream_.horizontal_scale = scale_before;
}

// Positions are taken as written (rounded, and clamped far off the page), so
// that the relative moves add up to exactly where each text stands. A move
// longer than a number may be starts a new text object placed from the
// origin: a clamped move would shift every later text.
void PdfSurface::move_text_to(std::string& out, double px, double py)
{
    if (document_->text_open() &&
        (std::abs(px - stream_.text_x) > kLargestPdfNumber || std::abs(py - stream_.text_y) > kLargestPdfNumber))
        document_->close_text();
    if (document_->text_open()) {
        append_number(out, px - stream_.text_x);
        out.push_back(' ');
        append_number(out, py - stream_.text_y);
    } else {
        document_->open_text();
        append_number(out, px);
        out.push_back(' ');
        append_number(out, py);
    }
    out += " Td\n";
    stream_.text_x = px;
    stream_.text_y = py;
}

void PdfSurface::select_font(ShowOperators& show, int font)
{
    if (stream_.font == font && stream_.font_twips == font_twips())
        return;
    show.font(font, points());
    stream_.font = font;
    stream_.font_twips = font_twips();
}

// Texts in a row share a text object, each placed relative to the one
// before. The font changes where a fallback face takes over, and a glyph whose
// shaped advance differs from its width moves the next one.
//
// Each glyph is shown by the code of its glyph and its own characters: one
// character where a cluster has as many glyphs as characters, all of them
// where one glyph shows several. A cluster otherwise (one character drawn as
// several glyphs) is marked content with its text. A character no face has
// is an empty glyph that carries its text, and the face's missing glyph
// drawn as a path over it, as readers leave that glyph blank.
void PdfSurface::draw_glyphs(double x, double baseline, Glyphs glyphs, std::u32string_view chars,
                             const std::vector<double>* spread_widths)
{
    std::string& out = content();
    apply_fill(out);
    const bool synthetic = begin_bold(out);
    const double scale_before = stream_.horizontal_scale;
    const double px = written_number(x);
    const double py = written_number(document_->page_height() - baseline);
    move_text_to(out, px, py);
    set_horizontal_scale(out, horizontal_scale());
    // A text with moves between its glyphs is written as arrays.
    bool adjusted = spread_widths != nullptr;
    for (const PlacedGlyph& g : glyphs)
        adjusted = adjusted || g.advance != g.face->advance(g.glyph) || g.glyph == 0;
    ShowOperators show(out, adjusted);
    const text::FontFace* in_face = nullptr;
    missing_.clear();
    for (std::size_t i = 0; i < glyphs.size();) {
        const Cluster c = cluster_at(glyphs, i, chars.size());
        const bool marked = !c.one_to_one() && (c.glyphs() > 1 || c.length() > kLongestGlyphText)
                            && !document_->actual_text_open();
        if (marked) {
            show.close();
            document_->begin_actual_text(chars.substr(c.first, c.length()), TextObject::KeepOpen);
        }
        for (std::size_t k = i; k < c.end; ++k) {
            const PlacedGlyph& g = glyphs[k];
            if (g.face != in_face) {
                in_face = g.face;
                select_font(show, document_->font_number(g.face));
            }
            uint32_t glyph = g.glyph;
            if (glyph == 0) {
                missing_.push_back({g.face, px + (g.pen - x), py, false});
                glyph = blank_glyph(*g.face);
            }
            const std::u32string_view text = c.text_of(chars, k - i, marked);
            if (spread_widths) {
                show_spread(show, g, glyph, text, (*spread_widths)[k], 1);
                continue;
            }
            show.glyph(document_->glyph_code(stream_.font, glyph, text));
            if (const int32_t width = g.face->advance(glyph); g.advance != width)
                show.move(-(g.advance - width) * 1000.0 / g.face->units_per_em());
        }
        if (marked) {
            show.close();
            document_->end_actual_text();
        }
        i = c.end;
    }
    show.close();
    end_bold(out, synthetic, scale_before);
    draw_missing(out);
}

// Tz: the glyphs, their advances and the moves between them narrowed, as
// the layout placed them.
void PdfSurface::set_horizontal_scale(std::string& out, double scale)
{
    if (stream_.horizontal_scale == scale)
        return;
    append_number(out, scale * 100);
    out += " Tz\n";
    stream_.horizontal_scale = scale;
}

// A spread glyph is as wide as a font unit can make it (a copy of the glyph
// that wide), the rest of the way to the next one a move: positive moves
// left across but further down a column (direction -1).
void PdfSurface::show_spread(ShowOperators& show, const PlacedGlyph& g, uint32_t glyph, std::u32string_view text,
                             double thousandths, int direction)
{
    const int font = stream_.font;
    const int32_t nominal = direction > 0 ? g.face->advance(glyph) : g.face->vertical_advance(glyph);
    const auto units = static_cast<int32_t>(std::lround(thousandths * g.face->units_per_em() / 1000));
    const bool copied = units != nominal && units >= 0 && units <= 0xFFFF && glyph != 0;
    const int32_t shown_units = copied ? units : nominal;
    const double shown = std::round(shown_units * 1e6 / g.face->units_per_em()) / 1000;
    show.glyph(copied ? document_->spread_glyph_code(font, glyph, text, static_cast<uint16_t>(units))
                      : document_->glyph_code(font, glyph, text));
    if (const double move = direction * (shown - thousandths); std::abs(move) >= 0.0005)
        show.move(move);
}

// An empty glyph to carry a missing character's text: one as wide as the
// missing glyph where the face has it, for readers to find no gap.
uint32_t PdfSurface::blank_glyph(const text::FontFace& face)
{
    if (auto found = blank_glyphs_.find(&face); found != blank_glyphs_.end())
        return found->second;
    uint32_t blank = 0;
    for (const char32_t c : {U'\u3000', U'\u2003', U' ', U'\u2002'}) {
        const uint32_t glyph = face.glyph(c);
        if (glyph != 0 && (blank == 0 || face.advance(glyph) == face.advance(0)))
            blank = glyph;
        if (blank != 0 && face.advance(blank) == face.advance(0))
            break;
    }
    blank_glyphs_.emplace(&face, blank);
    return blank;
}

Status PdfSurface::BeginSpreadText(std::string_view text)
{
    draw_spread();
    if (!document_ || !document_->page_open())
        return {};
    spread_open_ = true;
    spread_text_.clear();
    text::decode_utf8(text, spread_text_);
    return {};
}

Status PdfSurface::EndSpreadText()
{
    draw_spread();
    return {};
}

// A piece of a spread text starts at the pen: on its baseline across, at
// the top of its column down.
void PdfSurface::add_spread_piece(const text::TextLayout& layout)
{
    for (PlacedGlyph g : layout.glyphs) {
        g.cluster += static_cast<uint32_t>(spread_chars_.size());
        spread_glyphs_.push_back(g);
    }
    spread_chars_ += layout.chars;
    spread_pieces_.push_back(
        {vertical() ? layout.baseline : pen_x(), vertical() ? pen_y() : layout.baseline, layout.glyphs.size()});
}

// A spread text is one run whose glyphs reach each to the next, so that
// every reader finds the word recorded, not letters apart. Where that cannot
// be (a character drawn as several glyphs or none, or turned in a column),
// the characters are drawn where they stand and marked with the text as a
// whole.
void PdfSurface::draw_spread()
{
    if (!spread_open_)
        return;
    spread_open_ = false;
    if (!spread_pieces_.empty() && document_ && document_->page_open()) {
        if (spread_is_one_run())
            draw_spread_run();
        else
            draw_spread_pieces();
    }
    spread_chars_.clear();
    spread_glyphs_.clear();
    spread_pieces_.clear();
}

// Every piece one glyph on one line (baseline, or column's centre line), and
// every glyph one the face has, upright in a column.
bool PdfSurface::spread_is_one_run() const
{
    const SpreadPiece& front = spread_pieces_.front();
    bool run = true;
    for (const SpreadPiece& piece : spread_pieces_)
        run = run && piece.glyphs == 1 && (vertical() ? piece.x == front.x : piece.y == front.y);
    for (const PlacedGlyph& g : spread_glyphs_)
        run = run && g.glyph != 0 && (!vertical() || g.upright);
    // A text drawn in part (clipped, an ellipsis after it) reads as the
    // whole text, which only marked content can say.
    return run && spread_chars_ == spread_text_;
}

void PdfSurface::draw_spread_run()
{
    std::vector<double> widths;
    const double size = points();
    for (std::size_t i = 0; i < spread_pieces_.size(); ++i) {
        const PlacedGlyph& g = spread_glyphs_[i];
        const SpreadPiece& piece = spread_pieces_[i];
        double ems = static_cast<double>(g.advance) / g.face->units_per_em();
        // Tz narrows the widths written: they are given before it.
        if (i + 1 < spread_pieces_.size())
            ems = vertical() ? (spread_pieces_[i + 1].y - piece.y) / size
                            : (spread_pieces_[i + 1].x - piece.x) / size / horizontal_scale();
        widths.push_back(ems * 1000);
    }
    const SpreadPiece& front = spread_pieces_.front();
    if (!vertical()) {
        draw_glyphs(front.x, front.y, spread_glyphs_, spread_chars_, &widths);
        return;
    }
    // Readers box a glyph in a column by its em, whatever its advance, and
    // would find the characters apart: the column carries the label whole.
    document_->begin_actual_text(spread_text_, TextObject::Close);
    draw_column(front.x, spread_glyphs_, spread_chars_, &widths);
    document_->end_actual_text();
}

void PdfSurface::draw_spread_pieces()
{
    document_->begin_actual_text(spread_text_, TextObject::Close);
    std::size_t first = 0;
    for (const SpreadPiece& piece : spread_pieces_) {
        const Glyphs glyphs = Glyphs(spread_glyphs_).subspan(first, piece.glyphs);
        first += piece.glyphs;
        if (vertical())
            draw_column(piece.x, glyphs, spread_chars_);
        else
            draw_glyphs(piece.x, piece.y, glyphs, spread_chars_);
    }
    document_->end_actual_text();
}

// A column is a text object of its own. Each run of upright glyphs or of
// turned ones starts at the pen with a text matrix of its own; an upright
// glyph shaped off its vertical origin gets one too. A column with turned
// runs carries its text as the text readers extract: they would otherwise
// take its turned runs for lines of their own.
//
// Glyphs are shown by codes of their own text as in a row: each its
// character where a cluster has as many glyphs as characters, else the
// cluster's first glyph all of its characters and the others a zero-width
// space.
void PdfSurface::draw_column(double centre, Glyphs glyphs, std::u32string_view chars,
                             const std::vector<double>* spread_widths)
{
    std::string& out = content();
    document_->close_text();
    apply_fill(out);
    const bool synthetic = begin_bold(out);
    missing_.clear();
    column_texts(glyphs, chars);
    const bool mixed = std::any_of(glyphs.begin(), glyphs.end(), [](const PlacedGlyph& g) { return !g.upright; });
    // Inside a spread text's span already, the span gives the text.
    const bool marked = mixed && !document_->actual_text_open();
    if (marked)
        document_->begin_actual_text(chars, TextObject::Close);
    document_->open_text();
    // Columns are not condensed: a scaling left by an earlier text goes.
    const double scale_before = stream_.horizontal_scale;
    set_horizontal_scale(out, 1);
    ShowOperators show(out, true);
    for (std::size_t i = 0; i < glyphs.size();) {
        const PlacedGlyph& first = glyphs[i];
        select_font(show, document_->font_number(first.face, first.upright));
        const std::size_t end = run_end(glyphs, i);
        const Glyphs run = glyphs.subspan(i, end - i);
        if (first.upright)
            draw_upright(show, centre, run, i, spread_widths ? spread_widths->data() + i : nullptr);
        else
            draw_turned(show, text::turned_baseline(*first.face, points(), centre), run, i);
        show.close();
        i = end;
    }
    document_->close_text();
    if (marked)
        document_->end_actual_text();
    end_bold(out, synthetic, scale_before);
    draw_missing(out);
}

// The text each glyph of a column shows, kept in texts_ by glyph.
void PdfSurface::column_texts(Glyphs glyphs, std::u32string_view chars)
{
    texts_.assign(glyphs.size(), U"\u200B");
    for (std::size_t i = 0; i < glyphs.size();) {
        const Cluster c = cluster_at(glyphs, i, chars.size());
        for (std::size_t k = i; k < c.end; ++k)
            texts_[k] = c.text_of(chars, k - i, false);
        i = c.end;
    }
}

// Upright glyphs stand on the centre line at their vertical origins; the
// vertical font places each at its origin, so a glyph shaped off it, and the
// first after it, are placed by a text matrix of their own.
void PdfSurface::draw_upright(ShowOperators& show, double centre, Glyphs run, std::size_t base,
                              const double* spread_widths)
{
    const double height = document_->page_height();
    bool at_pen = false;
    for (std::size_t k = 0; k < run.size(); ++k) {
        const PlacedGlyph& g = run[k];
        const double scale = points() / g.face->units_per_em();
        int32_t ox = 0;
        int32_t oy = 0;
        g.face->vertical_origin(g.glyph, ox, oy);
        const double dx = (g.x_offset + ox) * scale;
        const double dy = (g.y_offset + oy) * scale;
        const bool off = dx != 0 || dy != 0;
        if (off || !at_pen)
            show.place(text::Orientation::Upright, centre + dx, height - (g.pen - dy));
        at_pen = !off;
        // A character no face has: an empty glyph carries its text and the
        // missing glyph is drawn over it, upright where it would stand (its
        // vertical origin at the pen).
        uint32_t shown = g.glyph;
        if (g.glyph == 0) {
            shown = blank_glyph(*g.face);
            missing_.push_back({g.face, centre + dx - ox * scale, height - (g.pen - dy) - oy * scale, false});
        }
        const std::u32string_view text = texts_[base + k];
        if (spread_widths) {
            show_spread(show, g, shown, text, spread_widths[k], -1);
            continue;
        }
        show.glyph(document_->glyph_code(stream_.font, shown, text));
        if (const int32_t nominal = g.face->vertical_advance(shown); g.advance != nominal)
            show.move((g.advance - nominal) * 1000.0 / g.face->units_per_em());
    }
}

// A turned run lies a quarter turn clockwise from its start, its baseline
// where the layout puts it.
void PdfSurface::draw_turned(ShowOperators& show, double baseline, Glyphs run, std::size_t base)
{
    const double height = document_->page_height();
    show.place(text::Orientation::Turned, baseline, height - run.front().pen);
    for (std::size_t k = 0; k < run.size(); ++k) {
        const PlacedGlyph& g = run[k];
        uint32_t shown = g.glyph;
        if (shown == 0) {
            shown = blank_glyph(*g.face);
            missing_.push_back({g.face, baseline, height - g.pen, true});
        }
        show.glyph(document_->glyph_code(stream_.font, shown, texts_[base + k]));
        if (const int32_t nominal = g.face->advance(shown); g.advance != nominal)
            show.move(-(g.advance - nominal) * 1000.0 / g.face->units_per_em());
    }
}

// The missing glyphs of the text just drawn, as paths.
void PdfSurface::draw_missing(std::string& out)
{
    if (missing_.empty())
        return;
    document_->close_text();
    for (const Missing& m : missing_) {
        auto outline = missing_outlines_.find(m.face);
        if (outline == missing_outlines_.end())
            outline = missing_outlines_.emplace(m.face, GlyphOutline::of(*m.face, 0)).first;
        if (!m.turned) {
            outline->second.append_fill(out, m.x, m.y, points(), m.face->units_per_em());
            continue;
        }
        // Turned a quarter clockwise with the run it stands in.
        out += "q 0 -1 1 0 ";
        append_number(out, m.x);
        out.push_back(' ');
        append_number(out, m.y);
        out += " cm\n";
        outline->second.append_fill(out, 0, 0, points(), m.face->units_per_em());
        out += "Q\n";
    }
    missing_.clear();
}

Status PdfSurface::DrawMode(int16_t mode)
{
    if (mode < 1 || mode > 16)
        return Failure(ErrorNumber::InvalidPropertyValue);
    draw_mode_ = mode;
    return {};
}

Status PdfSurface::DrawWidth(int16_t pixels)
{
    if (pixels < 1)
        return Failure(ErrorNumber::InvalidPropertyValue);
    draw_width_ = pixels;
    return {};
}

Status PdfSurface::DrawStyle(int16_t style)
{
    if (style < 0 || style > static_cast<int16_t>(LineStyle::InsideSolid))
        return Failure(ErrorNumber::InvalidPropertyValue);
    draw_style_ = style;
    return {};
}

void PdfSurface::apply_line_pen(std::string& out)
{
    const double width = std::max(draw_width_ * kPointsPerInch / nominal_dpi_, kPointsPerInch / device_dpi_);
    const int64_t stroke = draw_mode_ == kDrawModeWhite ? 0xFFFFFF : color_;
    const auto style = static_cast<LineStyle>(draw_style_);
    const bool dashed = style >= LineStyle::Dash && style <= LineStyle::DashDotDot && draw_width_ == 1;
    const int dash = dashed ? draw_style_ : 0;
    if (stream_.line_width != width) {
        append_number3(out, width);
        out += " w\n";
        stream_.line_width = width;
    }
    if (stream_.stroke != stroke) {
        append_color(out, static_cast<uint32_t>(stroke), Paint::Stroke);
        stream_.stroke = stroke;
    }
    const int cap = dashed ? 0 : 2;
    if (stream_.cap != cap) {
        out += cap == 2 ? "2 J\n" : "0 J\n";
        stream_.cap = cap;
    }
    if (stream_.dash != dash) {
        append_dash(out, static_cast<LineStyle>(dash));
        stream_.dash = dash;
    }
}

// A line of no length still marks its point: a square as wide as the pen.
Status PdfSurface::Line(float x1, float y1, float x2, float y2)
{
    if (!document_ || !document_->page_open())
        return Failure(ErrorNumber::InvalidCall, "Nothing is being drawn on");
    if (draw_style_ == static_cast<int16_t>(LineStyle::Invisible))
        return {};
    std::string& out = content();
    document_->close_text();
    const double height = document_->page_height();
    if (x1 == x2 && y1 == y2) {
        const double w = std::max(draw_width_ * kPointsPerInch / nominal_dpi_, kPointsPerInch / device_dpi_);
        out += "q ";
        append_color(out, draw_mode_ == kDrawModeWhite ? 0xFFFFFF : color_, Paint::Fill);
        append_number(out, x1 - w / 2);
        out.push_back(' ');
        append_number(out, height - y1 - w / 2);
        out.push_back(' ');
        append_number3(out, w);
        out.push_back(' ');
        append_number3(out, w);
        out += " re f Q\n";
        return {};
    }
    apply_line_pen(out);
    append_number(out, x1);
    out.push_back(' ');
    append_number(out, height - y1);
    out += " m ";
    append_number(out, x2);
    out.push_back(' ');
    append_number(out, height - y2);
    out += " l S\n";
    return {};
}

Status PdfSurface::Color(uint32_t rgb)
{
    if (rgb > 0xFFFFFF)
        return Failure(ErrorNumber::InvalidPropertyValue);
    color_ = rgb;
    return {};
}

void PdfSurface::apply_fill(std::string& out)
{
    if (stream_.fill == color_)
        return;
    append_color(out, color_, Paint::Fill);
    stream_.fill = color_;
}

Status PdfSurface::FillRect(float x, float y, float width, float height)
{
    if (!document_ || !document_->page_open())
        return Failure(ErrorNumber::InvalidCall, "Nothing is being drawn on");
    if (!(width > 0) || !(height > 0))
        return {};
    std::string& out = content();
    document_->close_text();
    apply_fill(out);
    append_number(out, x);
    out.push_back(' ');
    append_number(out, document_->page_height() - y - height);
    out.push_back(' ');
    append_number(out, width);
    out.push_back(' ');
    append_number(out, height);
    out += " re f\n";
    return {};
}

Status PdfSurface::Image(float x, float y, float width, float height, const ImagePixels& picture)
{
    if (!document_ || !document_->page_open())
        return Failure(ErrorNumber::InvalidCall, "Nothing is being drawn on");
    if (!(width > 0) || !(height > 0) || picture.width <= 0 || picture.height <= 0)
        return {};
    const int number = document_->image_number(picture);
    if (number == 0)
        return Failure(ErrorNumber::InvalidPicture);
    std::string& out = content();
    document_->close_text();
    out += "q ";
    append_number3(out, width);
    out += " 0 0 ";
    append_number3(out, height);
    out.push_back(' ');
    append_number3(out, x);
    out.push_back(' ');
    append_number3(out, document_->page_height() - y - height);
    out += " cm /Im" + std::to_string(number) + " Do Q\n";
    return {};
}

}  // namespace kt482::pdf
