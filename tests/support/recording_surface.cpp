#include "support/recording_surface.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "job/number_text.h"

namespace kt482::test {
namespace {

std::string text_of(float value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

}  // namespace

Status RecordingSurface::record(const std::string& name, const std::string& arguments)
{
    if (name == failing_operation)
        return Failure(ErrorNumber::InvalidPropertyValue);
    log.push_back(arguments.empty() ? name : name + " " + arguments);
    return {};
}

Status RecordingSurface::Color(uint32_t rgb)
{
    char hex[8];
    std::snprintf(hex, sizeof hex, "%06X", static_cast<unsigned>(rgb));
    return record("Color", hex);
}

Status RecordingSurface::FillRect(float x, float y, float width, float height)
{
    return record("FillRect", text_of(x) + " " + text_of(y) + " " + text_of(width) + " " + text_of(height));
}

Status RecordingSurface::Image(float x, float y, float width, float height, const ImagePixels& picture)
{
    return record("Image", text_of(x) + " " + text_of(y) + " " + text_of(width) + " " + text_of(height) + " "
                               + std::to_string(picture.width) + "x"
                               + std::to_string(picture.height));
}

Status RecordingSurface::FontName(std::string_view face)
{
    return record("FontName", std::string(face));
}

Status RecordingSurface::FontSize(float points)
{
    Status status = record("FontSize", text_of(points));
    if (status)
        font_size_ = size_used(points);
    return status;
}

Status RecordingSurface::FontBold(bool bold)
{
    return record("FontBold", bold ? "1" : "0");
}

Status RecordingSurface::FontUnderline(bool underline)
{
    return record("FontUnderline", underline ? "1" : "0");
}

Status RecordingSurface::CurrentX(float x)
{
    x_ = x;
    return record("CurrentX", text_of(x));
}

Status RecordingSurface::CurrentY(float y)
{
    y_ = y;
    return record("CurrentY", text_of(y));
}

Status RecordingSurface::Print(std::string_view text, LineEnd end)
{
    Status status = record("Print", "\"" + std::string(text) + "\"" + (end == LineEnd::With ? " nl" : ""));
    if (!status)
        return status;
    x_ += TextWidth(text);
    if (end == LineEnd::With) {
        x_ = 0;
        y_ += font_size_;
    }
    return status;
}

float RecordingSurface::TextWidth(std::string_view text)
{
    return static_cast<float>(count_code_points(text)) * char_width;
}

Status RecordingSurface::DrawMode(int16_t mode)
{
    return record("DrawMode", std::to_string(mode));
}

Status RecordingSurface::DrawWidth(int16_t pixels)
{
    return record("DrawWidth", std::to_string(pixels));
}

Status RecordingSurface::DrawStyle(int16_t style)
{
    return record("DrawStyle", std::to_string(style));
}

Status RecordingSurface::Line(float x1, float y1, float x2, float y2)
{
    return record("Line", text_of(x1) + " " + text_of(y1) + " " + text_of(x2) + " " + text_of(y2));
}

Status RecordingSurface::ScaleModePoints()
{
    return record("ScaleMode", "points");
}

Status RecordingSurface::FillTransparent()
{
    return record("FillStyle", "transparent");
}

Status RecordingSurface::PaperSize(int16_t code)
{
    Status status = record("PaperSize", std::to_string(code));
    if (!status)
        return status;
    if (std::find(papers.begin(), papers.end(), code) == papers.end())
        return Failure(ErrorNumber::InvalidPropertyValue);
    paper_size_ = code;
    return status;
}

Status RecordingSurface::PageHeight(int32_t twips)
{
    return record("PageHeight", std::to_string(twips));
}

Status RecordingSurface::PageWidth(int32_t twips)
{
    return record("PageWidth", std::to_string(twips));
}

Status RecordingSurface::Orientation(int16_t orientation)
{
    return record("Orientation", std::to_string(orientation));
}

Status RecordingSurface::Copies(int16_t copies)
{
    if (copies < 1 || copies > 99)
        return Failure(ErrorNumber::InvalidPropertyValue);
    return record("Copies", std::to_string(copies));
}

Status RecordingSurface::Duplex(int16_t duplex)
{
    return record("Duplex", std::to_string(duplex));
}

Status RecordingSurface::PrintQuality(int16_t dpi)
{
    return record("PrintQuality", std::to_string(dpi));
}

Status RecordingSurface::NewPage()
{
    return record("NewPage", "");
}

Status RecordingSurface::EndDoc()
{
    Status status = record("EndDoc", "");
    if (status)
        last_output_ = "document " + std::to_string(++documents_);
    return status;
}

Status RecordingSurface::AbortDoc()
{
    return record("AbortDoc", "");
}

std::vector<std::string> RecordingSurface::only(std::string_view prefix) const
{
    std::vector<std::string> lines;
    for (const auto& line : log) {
        if (std::string_view(line).substr(0, prefix.size()) == prefix)
            lines.push_back(line);
    }
    return lines;
}

void RecordingSurface::NextDocumentProperties(const DocumentProperties& properties)
{
    document_properties.push_back(properties.title + "|" + properties.author + "|" + properties.subject
                  + "|" + properties.keywords + (properties.archive ? " archive" : ""));
}

}  // namespace kt482::test
