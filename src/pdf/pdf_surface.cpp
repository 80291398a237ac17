#include "pdf/pdf_surface.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/units.h"
#include "pdf/pdf_document.h"
#include "pdf/pdf_writer.h"

namespace kt482::pdf {
namespace {

// The cluster starting at glyph i: glyphs [i, end) of one face showing
// characters [first, last) of a text of chars characters (at least one
// character, where shaping gave the cluster none of its own).
struct Cluster {
    std::size_t end;
    std::size_t first;
    std::size_t last;
};

Cluster cluster_at(const std::vector<ShapedGlyph>& glyphs, std::size_t i, std::size_t chars)
{
    std::size_t end = i + 1;
    while (end < glyphs.size() && glyphs[end].cluster == glyphs[i].cluster && glyphs[end].face == glyphs[i].face)
        ++end;
    const std::size_t first = std::min<std::size_t>(glyphs[i].cluster, chars);
    std::size_t last = end < glyphs.size() ? glyphs[end].cluster : chars;
    if (last <= first)
        last = std::min(first + 1, chars);
    return {end, first, last};
}

// Font sizes beyond this are no longer a size a form can use.
constexpr float kMaxFontPoints = 2048.0f;
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

// A colour operator: grey when the three components agree.
void append_color(std::string& out, uint32_t rgb, bool stroke)
{
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

static_assert(kDashStep * 12 == 9.0);

PdfSurface::PdfSurface() : face_(FontService::shared().face(face_name_)) {}

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

Status PdfSurface::FontName(std::string_view face)
{
    if (face.empty())
        return {};
    face_name_ = std::string(face);
    face_ = FontService::shared().face(face);
    vertical_ = is_vertical_name(face);
    return {};
}

// The size is kept in whole twips, as on every surface.
Status PdfSurface::FontSize(float points)
{
    if (!(points > 0.0f) || points > kMaxFontPoints)
        return Failure(ErrorNumber::InvalidPropertyValue);
    font_twips_ = std::max(1, static_cast<int>(std::lround(points * 20.0f)));
    return {};
}

float PdfSurface::FontSize() const
{
    return static_cast<float>(points_from_twips(font_twips_));
}

Status PdfSurface::FontBold(bool bold)
{
    bold_ = bold;
    return {};
}

Status PdfSurface::HorizontalScale(float ratio)
{
    if (vertical_ && ratio != 1.0f)
        return Failure(ErrorNumber::NotSupported);
    if (!(ratio > 0.0f) || ratio > 1.0f)
        return Failure(ErrorNumber::InvalidPropertyValue);
    horizontal_scale_ = ratio;
    return {};
}

Status PdfSurface::FontUnderline(bool underline)
{
    underline_ = underline;
    return {};
}

Status PdfSurface::CurrentX(float x)
{
    current_x_ = x;
    return {};
}

Status PdfSurface::CurrentY(float y)
{
    current_y_ = y;
    return {};
}

float PdfSurface::TextWidth(std::string_view text)
{
    if (!face_)
        return 0;
    if (vertical_)
        return static_cast<float>(FontService::shared().column_length(face_, points(), text));
    return static_cast<float>(FontService::shared().text_width(face_, points(), text) * horizontal_scale_);
}

Status PdfSurface::Print(std::string_view text, LineEnd end)
{
    if (!document_ || !document_->page_open())
        return Failure(ErrorNumber::InvalidCall, "Nothing is being drawn on");
    if (vertical_) {
        if (!text.empty() && face_)
            print_vertical(text);
        if (end == LineEnd::With && face_) {
            current_y_ = 0;
            current_x_ -= static_cast<float>(
                points() * (face_->ascender() + face_->descender() + face_->line_gap()) / face_->units_per_em());
        }
        return {};
    }
    if (!text.empty() && face_) {
        chars_.clear();
        decode_utf8(text, chars_);
        glyphs_.clear();
        FontService::shared().shape(face_, std::u32string_view(chars_), glyphs_);
        const double size = points();
        const double baseline = current_y_ + size * face_->ascender() / face_->units_per_em();
        double width = 0;
        for (const ShapedGlyph& g : glyphs_)
            width += static_cast<double>(g.advance) / g.face->units_per_em();
        width *= size * horizontal_scale_;
        if (spread_open_) {
            for (ShapedGlyph g : glyphs_) {
                g.cluster += static_cast<uint32_t>(spread_chars_.size());
                spread_glyphs_.push_back(g);
            }
            spread_chars_ += chars_;
            spread_pieces_.push_back({current_x_, baseline, glyphs_.size()});
        } else {
            draw_glyphs(current_x_, baseline, glyphs_);
        }
        if (underline_) {
            std::string& out = content();
            document_->close_text();
            const double thickness = size * face_->underline_thickness() / face_->units_per_em();
            const double top = baseline - size * face_->underline_position() / face_->units_per_em() - thickness / 2;
            append_number(out, current_x_);
            out.push_back(' ');
            append_number(out, document_->page_height() - top - thickness);
            out.push_back(' ');
            append_number(out, width);
            out.push_back(' ');
            append_number(out, std::max(thickness, 0.01));
            out += " re f\n";
        }
        current_x_ += static_cast<float>(width);
    }
    if (end == LineEnd::With && face_) {
        current_x_ = 0;
        current_y_ += static_cast<float>(points() * (face_->ascender() + face_->descender() + face_->line_gap())
                                        / face_->units_per_em());
    }
    return {};
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
void PdfSurface::draw_glyphs(double x, double baseline, const std::vector<ShapedGlyph>& glyphs,
                             const std::vector<double>* spread_widths)
{
    std::string& out = content();
    apply_fill(out);
    const bool synthetic = bold_ && !face_->is_bold();
    if (synthetic) {
        // Stroke and fill, inside a saved state that the stroke's width and
        // colour do not outlive.
        document_->close_text();
        out += "q ";
        append_color(out, color_, true);
        out += "2 Tr ";
        append_number(out, std::max(points() / 40.0, 0.01));
        out += " w\n";
    }
    // Positions are taken as written (rounded, and clamped far off the
    // page), so that the relative moves add up to exactly where each text
    // stands. A move longer than a number may be starts a new text object
    // placed from the origin: a clamped move would shift every later text.
    const double px = written_number(x);
    const double py = written_number(document_->page_height() - baseline);
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
    const double scale_before = stream_.horizontal_scale;
    if (stream_.horizontal_scale != horizontal_scale_) {
        append_number(out, horizontal_scale_ * 100);
        out += " Tz\n";
        stream_.horizontal_scale = horizontal_scale_;
    }

    // A text with moves between its glyphs is written as arrays.
    bool adjusted = spread_widths != nullptr;
    for (const ShapedGlyph& g : glyphs)
        adjusted = adjusted || g.advance != g.face->advance(g.glyph) || g.glyph == 0;
    const bool spans = !document_->actual_text_open();
    const FontFace* in_face = nullptr;
    int font = 0;
    bool in_string = false;
    auto close_string = [&] {
        if (in_string)
            out += adjusted ? ")]TJ\n" : ")Tj\n";
        in_string = false;
    };
    double pen = 0;  // ems from px
    missing_.clear();
    const std::u32string_view chars(chars_);
    for (std::size_t i = 0; i < glyphs.size();) {
        const auto [j, first, last] = cluster_at(glyphs, i, chars.size());
        const std::size_t count = j - i;
        const std::size_t length = last - first;
        const bool one_to_one = count == length;
        const bool marked = !one_to_one && (count > 1 || length > kLongestGlyphText) && spans;
        if (marked) {
            close_string();
            document_->begin_actual_text(chars.substr(first, length), true);
        }
        for (std::size_t k = i; k < j; ++k) {
            const ShapedGlyph& g = glyphs[k];
            // A spread glyph is as wide as a font unit can make it, the rest
            // of the way to the next one a move.
            const int32_t spread_units =
                spread_widths ? static_cast<int32_t>(std::lround((*spread_widths)[k] * g.face->units_per_em() / 1000))
                              : 0;
            const bool copied = spread_widths && spread_units != g.face->advance(g.glyph) && spread_units >= 0
                                && spread_units <= 0xFFFF && g.glyph != 0;
            if (g.face != in_face) {
                close_string();
                in_face = g.face;
                font = document_->font_number(g.face);
                if (stream_.font != font || stream_.font_twips != font_twips_) {
                    out += "/F" + std::to_string(font) + ' ';
                    append_number(out, points());
                    out += " Tf\n";
                    stream_.font = font;
                    stream_.font_twips = font_twips_;
                }
            }
            // A glyph whose text is its cluster's, given otherwise, maps to
            // a zero-width space: archivable files map every code.
            std::u32string_view text = U"\u200B";
            if (one_to_one)
                text = chars.substr(first + (k - i), 1);
            else if (!marked && k == i)
                text = chars.substr(first, length);
            uint32_t glyph = g.glyph;
            if (glyph == 0) {
                missing_.push_back({g.face, px + pen * points() * horizontal_scale_, py, false});
                glyph = blank_glyph(*g.face);
            }
            const int32_t width = g.face->advance(glyph);
            if (!in_string) {
                out += adjusted ? "[(" : "(";
                in_string = true;
            }
            append_glyph(out, copied ? document_->spread_glyph_code(font, glyph, text, static_cast<uint16_t>(spread_units))
                                     : document_->glyph_code(font, glyph, text));
            if (spread_widths) {
                const int32_t shown_units = copied ? spread_units : width;
                const double shown = std::round(shown_units * 1e6 / g.face->units_per_em()) / 1000;
                if (const double move = shown - (*spread_widths)[k]; std::abs(move) >= 0.0005) {
                    out += ")";
                    append_number3(out, move);
                    out += "(";
                }
                pen += (*spread_widths)[k] / 1000;
                continue;
            }
            if (g.advance != width) {
                out += ")";
                append_number3(out, -(g.advance - width) * 1000.0 / g.face->units_per_em());
                out += "(";
            }
            pen += static_cast<double>(g.advance) / g.face->units_per_em();
        }
        if (marked) {
            close_string();
            document_->end_actual_text();
        }
        i = j;
    }
    close_string();
    if (synthetic) {
        document_->close_text();
        out += "Q\n";
        // Q restores the font and the scaling of before the text object.
        stream_.font = 0;
        stream_.horizontal_scale = scale_before;
    }
    draw_missing(out);
}

// An empty glyph to carry a missing character's text: one as wide as the
// missing glyph where the face has it, for readers to find no gap.
uint32_t PdfSurface::blank_glyph(const FontFace& face)
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
    if (!document_ || !document_->page_open() || vertical_)
        return {};
    spread_open_ = true;
    spread_text_.clear();
    decode_utf8(text, spread_text_);
    return {};
}

Status PdfSurface::EndSpreadText()
{
    draw_spread();
    return {};
}

// A spread text is one run whose glyphs reach each to the next, so that
// every reader finds the word recorded, not letters apart. Where that cannot
// be (a character drawn as several glyphs or none), the characters are
// drawn where they stand and marked with the text as a whole.
void PdfSurface::draw_spread()
{
    if (!spread_open_)
        return;
    spread_open_ = false;
    if (!spread_pieces_.empty() && document_ && document_->page_open()) {
        bool run = true;
        for (const SpreadPiece& piece : spread_pieces_)
            run = run && piece.glyphs == 1 && piece.baseline == spread_pieces_.front().baseline;
        for (const ShapedGlyph& g : spread_glyphs_)
            run = run && g.glyph != 0;
        // A text drawn in part (clipped, an ellipsis after it) reads as the
        // whole text, which only marked content can say.
        run = run && spread_chars_ == spread_text_;
        chars_ = spread_chars_;
        if (run) {
            std::vector<double> widths;
            const double size = points();
            for (std::size_t i = 0; i < spread_pieces_.size(); ++i) {
                const ShapedGlyph& g = spread_glyphs_[i];
                // Tz scales the widths written, so they are given unscaled.
                const double ems = i + 1 < spread_pieces_.size()
                                       ? (spread_pieces_[i + 1].x - spread_pieces_[i].x) / size / horizontal_scale_
                                       : static_cast<double>(g.advance) / g.face->units_per_em();
                widths.push_back(ems * 1000);
            }
            draw_glyphs(spread_pieces_.front().x, spread_pieces_.front().baseline, spread_glyphs_, &widths);
        } else {
            document_->begin_actual_text(spread_text_, false);
            std::size_t first = 0;
            for (const SpreadPiece& piece : spread_pieces_) {
                glyphs_.assign(spread_glyphs_.begin() + static_cast<std::ptrdiff_t>(first),
                               spread_glyphs_.begin() + static_cast<std::ptrdiff_t>(first + piece.glyphs));
                first += piece.glyphs;
                draw_glyphs(piece.x, piece.baseline, glyphs_);
            }
            document_->end_actual_text();
        }
    }
    spread_chars_.clear();
    spread_glyphs_.clear();
    spread_pieces_.clear();
}

void PdfSurface::print_vertical(std::string_view text)
{
    chars_.clear();
    decode_utf8(text, chars_);
    glyphs_.clear();
    FontService::shared().shape_vertical(face_, std::u32string_view(chars_), glyphs_);
    const double size = points();
    double length = 0;
    for (const ShapedGlyph& g : glyphs_)
        length += static_cast<double>(g.advance) / g.face->units_per_em();
    length *= size;
    draw_column(current_x_ + size / 2, current_y_, glyphs_);
    if (underline_) {
        // The line of vertical text runs along the right side of its column.
        std::string& out = content();
        const double thickness = size * face_->underline_thickness() / face_->units_per_em();
        const double left = current_x_ + size - size * face_->underline_position() / face_->units_per_em()
                            - thickness / 2;
        append_number(out, left);
        out.push_back(' ');
        append_number(out, document_->page_height() - current_y_ - length);
        out.push_back(' ');
        append_number(out, std::max(thickness, 0.01));
        out.push_back(' ');
        append_number(out, length);
        out += " re f\n";
    }
    current_y_ += static_cast<float>(length);
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
void PdfSurface::draw_column(double centre, double top, const std::vector<ShapedGlyph>& glyphs)
{
    std::string& out = content();
    document_->close_text();
    apply_fill(out);
    const bool synthetic = bold_ && !face_->is_bold();
    if (synthetic) {
        out += "q ";
        append_color(out, color_, true);
        out += "2 Tr ";
        append_number(out, std::max(points() / 40.0, 0.01));
        out += " w\n";
    }
    missing_.clear();
    const std::u32string_view chars(chars_);
    texts_.assign(glyphs.size(), U"\u200B");
    for (std::size_t i = 0; i < glyphs.size();) {
        const auto [j, first, last] = cluster_at(glyphs, i, chars.size());
        if (j - i == last - first) {
            for (std::size_t k = i; k < j; ++k)
                texts_[k] = chars.substr(first + (k - i), 1);
        } else {
            texts_[i] = chars.substr(first, last - first);
        }
        i = j;
    }
    const bool mixed = std::any_of(glyphs.begin(), glyphs.end(), [](const ShapedGlyph& g) { return !g.upright; });
    // Inside a spread text's span already, the span gives the text.
    const bool marked = mixed && !document_->actual_text_open();
    if (marked)
        document_->begin_actual_text(chars, false);
    document_->open_text();
    // Columns are not condensed: a scaling left by an earlier text goes.
    const double scale_before = stream_.horizontal_scale;
    if (stream_.horizontal_scale != 1) {
        out += "100 Tz\n";
        stream_.horizontal_scale = 1;
    }
    const double size = points();
    const double height = document_->page_height();
    double pen = top;
    bool in_string = false;
    auto close_string = [&] {
        if (in_string)
            out += ")]TJ\n";
        in_string = false;
    };
    auto place = [&](bool upright, double x, double y) {
        close_string();
        out += upright ? "1 0 0 1 " : "0 -1 1 0 ";
        append_number(out, x);
        out.push_back(' ');
        append_number(out, height - y);
        out += " Tm\n";
    };
    auto select = [&](int font) {
        if (stream_.font != font || stream_.font_twips != font_twips_) {
            close_string();
            out += "/F" + std::to_string(font) + ' ';
            append_number(out, size);
            out += " Tf\n";
            stream_.font = font;
            stream_.font_twips = font_twips_;
        }
    };
    // A glyph and, when its shaped advance differs from the font's, the move
    // to the next: a positive adjustment moves left in horizontal text but
    // further down in vertical text.
    auto show = [&](std::size_t k, int font, uint32_t glyph, int32_t nominal, double sign) {
        const ShapedGlyph& g = glyphs[k];
        if (!in_string) {
            out += "[(";
            in_string = true;
        }
        append_glyph(out, document_->glyph_code(font, glyph, texts_[k]));
        if (g.advance != nominal) {
            out += ")";
            append_number3(out, sign * (g.advance - nominal) * 1000.0 / g.face->units_per_em());
            out += "(";
        }
    };

    std::size_t i = 0;
    while (i < glyphs.size()) {
        const ShapedGlyph& first = glyphs[i];
        const int font = document_->font_number(first.face, first.upright);
        select(font);
        if (first.upright) {
            bool at_pen = false;
            for (; i < glyphs.size() && glyphs[i].upright && glyphs[i].face == first.face; ++i) {
                const ShapedGlyph& g = glyphs[i];
                const double scale = size / g.face->units_per_em();
                int32_t ox = 0;
                int32_t oy = 0;
                g.face->vertical_origin(g.glyph, ox, oy);
                const double dx = (g.x_offset + ox) * scale;
                const double dy = (g.y_offset + oy) * scale;
                const bool off = dx != 0 || dy != 0;
                if (off || !at_pen)
                    place(true, centre + dx, pen - dy);
                at_pen = !off;
                // A character no face has: an empty glyph carries its text
                // and the missing glyph is drawn over it, upright where it
                // would stand (its vertical origin at the pen).
                uint32_t shown = g.glyph;
                if (g.glyph == 0) {
                    shown = blank_glyph(*g.face);
                    missing_.push_back({g.face, centre + dx - ox * scale, height - (pen - dy) - oy * scale, false});
                }
                show(i, font, shown, g.face->vertical_advance(shown), 1);
                pen += g.advance * scale;
            }
        } else {
            const double scale = size / first.face->units_per_em();
            const double baseline = centre - (first.face->ascender() - first.face->descender()) * scale / 2;
            place(false, baseline, pen);
            for (; i < glyphs.size() && !glyphs[i].upright && glyphs[i].face == first.face; ++i) {
                uint32_t shown = glyphs[i].glyph;
                if (shown == 0) {
                    shown = blank_glyph(*first.face);
                    missing_.push_back({first.face, baseline, height - pen, true});
                }
                show(i, font, shown, glyphs[i].face->advance(shown), -1);
                pen += glyphs[i].advance * scale;
            }
        }
        close_string();
    }
    document_->close_text();
    if (marked)
        document_->end_actual_text();
    if (synthetic) {
        out += "Q\n";
        stream_.font = 0;
        stream_.horizontal_scale = scale_before;
    }
    draw_missing(out);
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
        append_color(out, static_cast<uint32_t>(stroke), true);
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
        append_color(out, draw_mode_ == kDrawModeWhite ? 0xFFFFFF : color_, false);
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
    append_color(out, color_, false);
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
