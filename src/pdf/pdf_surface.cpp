#include "pdf/pdf_surface.h"

#include <algorithm>
#include <cmath>

#include "pdf/pdf_document.h"
#include "pdf/pdf_writer.h"

namespace kt482::pdf {
namespace {

// Font sizes beyond this are no longer a size a form can use.
constexpr float kMaxFontPoints = 2048.0f;
constexpr double kDashStep = 72.0 / 96.0;

void appendDash(std::string& out, LineStyle style)
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
void appendGlyph(std::string& out, uint32_t glyph)
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

}  // namespace

static_assert(kDashStep * 12 == 9.0);

PdfSurface::PdfSurface() : face_(FontService::shared().face(faceName_)) {}

void PdfSurface::setDocument(PdfDocument* document)
{
    document_ = document;
    stream_ = StreamState{};
}

void PdfSurface::setResolution(int nominalDpi, int deviceDpi)
{
    nominalDpi_ = nominalDpi > 0 ? nominalDpi : kNominalDpi;
    deviceDpi_ = deviceDpi > 0 ? deviceDpi : 1200;
}

void PdfSurface::setOrigin(double x, double y)
{
    originX_ = x;
    originY_ = y;
}

// A page's stream starts from the default state: nothing set yet but the
// move to the origin.
std::string& PdfSurface::content()
{
    std::string& out = document_->content();
    if (out.empty()) {
        stream_ = StreamState{};
        if (originX_ != 0 || originY_ != 0) {
            out += "1 0 0 1 ";
            append_number(out, originX_);
            out.push_back(' ');
            append_number(out, -originY_);
            out += " cm\n";
        }
    }
    return out;
}

Status PdfSurface::FontName(std::string_view face)
{
    if (face.empty())
        return {};
    faceName_ = std::string(face);
    face_ = FontService::shared().face(face);
    return {};
}

// The size is kept in whole twips, as on every surface.
Status PdfSurface::FontSize(float points)
{
    if (!(points > 0.0f) || points > kMaxFontPoints)
        return Failure(ErrorNumber::InvalidPropertyValue);
    fontTwips_ = std::max(1, static_cast<int>(std::lround(points * 20.0f)));
    return {};
}

float PdfSurface::FontSize() const
{
    return static_cast<float>(fontTwips_ / 20.0);
}

Status PdfSurface::FontBold(bool bold)
{
    bold_ = bold;
    return {};
}

Status PdfSurface::FontUnderline(bool underline)
{
    underline_ = underline;
    return {};
}

Status PdfSurface::CurrentX(float x)
{
    currentX_ = x;
    return {};
}

Status PdfSurface::CurrentY(float y)
{
    currentY_ = y;
    return {};
}

float PdfSurface::TextWidth(std::string_view text)
{
    if (!face_)
        return 0;
    return static_cast<float>(FontService::shared().textWidth(face_, points(), text));
}

Status PdfSurface::Print(std::string_view text, LineEnd end)
{
    if (!document_ || !document_->pageOpen())
        return Failure(ErrorNumber::InvalidCall, "Nothing is being drawn on");
    if (!text.empty() && face_) {
        glyphs_.clear();
        FontService::shared().shape(face_, text, glyphs_);
        const double size = points();
        const double baseline = currentY_ + size * face_->ascender() / face_->unitsPerEm();
        double width = 0;
        for (const ShapedGlyph& g : glyphs_)
            width += static_cast<double>(g.advance) / g.face->unitsPerEm();
        width *= size;
        drawGlyphs(currentX_, baseline, glyphs_);
        if (underline_) {
            std::string& out = content();
            document_->closeText();
            const double thickness = size * face_->underlineThickness() / face_->unitsPerEm();
            const double top = baseline - size * face_->underlinePosition() / face_->unitsPerEm() - thickness / 2;
            append_number(out, currentX_);
            out.push_back(' ');
            append_number(out, document_->pageHeight() - top - thickness);
            out.push_back(' ');
            append_number(out, width);
            out.push_back(' ');
            append_number(out, std::max(thickness, 0.01));
            out += " re f\n";
        }
        currentX_ += static_cast<float>(width);
    }
    if (end == LineEnd::With && face_) {
        currentX_ = 0;
        currentY_ += static_cast<float>(points() * (face_->ascender() + face_->descender() + face_->lineGap())
                                        / face_->unitsPerEm());
    }
    return {};
}

// Texts in a row share a text object, each placed relative to the one
// before. The font changes where a fallback face takes over, and a glyph whose
// shaped advance differs from its width moves the next one.
void PdfSurface::drawGlyphs(double x, double baseline, const std::vector<ShapedGlyph>& glyphs)
{
    std::string& out = content();
    const bool synthetic = bold_ && !face_->isBold();
    if (synthetic) {
        // Stroke and fill, inside a saved state that the stroke's width and
        // colour do not outlive.
        document_->closeText();
        out += "q 0 G 2 Tr ";
        append_number(out, std::max(points() / 40.0, 0.01));
        out += " w\n";
    }
    // Positions are rounded as written, so that the relative moves add up
    // to exactly the position asked for.
    const double px = std::round(x * 100) / 100;
    const double py = std::round((document_->pageHeight() - baseline) * 100) / 100;
    if (document_->textOpen()) {
        append_number(out, px - stream_.textX);
        out.push_back(' ');
        append_number(out, py - stream_.textY);
    } else {
        document_->openText();
        append_number(out, px);
        out.push_back(' ');
        append_number(out, py);
    }
    out += " Td\n";
    stream_.textX = px;
    stream_.textY = py;

    // A text with moves between its glyphs is written as arrays.
    bool adjusted = false;
    for (const ShapedGlyph& g : glyphs)
        adjusted = adjusted || g.advance != g.face->advance(g.glyph);
    const FontFace* inFace = nullptr;
    int font = 0;
    bool inString = false;
    for (const ShapedGlyph& g : glyphs) {
        if (g.face != inFace) {
            if (inString)
                out += adjusted ? ")]TJ\n" : ")Tj\n";
            inString = false;
            inFace = g.face;
            font = document_->fontNumber(g.face);
            if (stream_.font != font || stream_.fontTwips != fontTwips_) {
                out += "/F" + std::to_string(font) + ' ';
                append_number(out, points());
                out += " Tf\n";
                stream_.font = font;
                stream_.fontTwips = fontTwips_;
            }
        }
        const int32_t width = g.face->advance(g.glyph);
        if (!inString) {
            out += adjusted ? "[(" : "(";
            inString = true;
        }
        document_->useGlyph(font, g.glyph, g.text);
        appendGlyph(out, g.glyph);
        if (g.advance != width) {
            out += ")";
            append_number3(out, -(g.advance - width) * 1000.0 / g.face->unitsPerEm());
            out += "(";
        }
    }
    if (inString)
        out += adjusted ? ")]TJ\n" : ")Tj\n";
    if (synthetic) {
        document_->closeText();
        out += "Q\n";
        // Q restores the font of before the text object.
        stream_.font = 0;
    }
}

Status PdfSurface::DrawMode(int16_t mode)
{
    if (mode < 1 || mode > 16)
        return Failure(ErrorNumber::InvalidPropertyValue);
    drawMode_ = mode;
    return {};
}

Status PdfSurface::DrawWidth(int16_t pixels)
{
    if (pixels < 1)
        return Failure(ErrorNumber::InvalidPropertyValue);
    drawWidth_ = pixels;
    return {};
}

Status PdfSurface::DrawStyle(int16_t style)
{
    if (style < 0 || style > static_cast<int16_t>(LineStyle::InsideSolid))
        return Failure(ErrorNumber::InvalidPropertyValue);
    drawStyle_ = style;
    return {};
}

void PdfSurface::applyLinePen(std::string& out)
{
    const double width = std::max(drawWidth_ * 72.0 / nominalDpi_, 72.0 / deviceDpi_);
    const int gray = drawMode_ == kDrawModeWhite ? 1 : 0;
    const auto style = static_cast<LineStyle>(drawStyle_);
    const bool dashed = style >= LineStyle::Dash && style <= LineStyle::DashDotDot && drawWidth_ == 1;
    const int dash = dashed ? drawStyle_ : 0;
    if (stream_.lineWidth != width) {
        append_number3(out, width);
        out += " w\n";
        stream_.lineWidth = width;
    }
    if (stream_.gray != gray) {
        out += gray ? "1 G\n" : "0 G\n";
        stream_.gray = gray;
    }
    const int cap = dashed ? 0 : 2;
    if (stream_.cap != cap) {
        out += cap == 2 ? "2 J\n" : "0 J\n";
        stream_.cap = cap;
    }
    if (stream_.dash != dash) {
        appendDash(out, static_cast<LineStyle>(dash));
        stream_.dash = dash;
    }
}

// A line of no length still marks its point: a square as wide as the pen.
Status PdfSurface::Line(float x1, float y1, float x2, float y2)
{
    if (!document_ || !document_->pageOpen())
        return Failure(ErrorNumber::InvalidCall, "Nothing is being drawn on");
    if (drawStyle_ == static_cast<int16_t>(LineStyle::Invisible))
        return {};
    std::string& out = content();
    document_->closeText();
    const double height = document_->pageHeight();
    if (x1 == x2 && y1 == y2) {
        const double w = std::max(drawWidth_ * 72.0 / nominalDpi_, 72.0 / deviceDpi_);
        out += drawMode_ == kDrawModeWhite ? "q 1 g " : "q 0 g ";
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
    applyLinePen(out);
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

}  // namespace kt482::pdf
