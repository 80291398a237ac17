#include "draw_calls.h"

#include <benchmark/benchmark.h>

namespace kt482::bench {

Status SurfacePrinter::NewPage()
{
    if (!surface_.newPage())
        return Failure(ErrorNumber::InvalidCall, "The device has no next page");
    return {};
}

Status CapturingSurface::FontName(std::string_view face)
{
    calls.push_back({.op = Op::FontName, .text = std::string(face)});
    return inner_.FontName(face);
}

Status CapturingSurface::FontSize(float points)
{
    calls.push_back({.op = Op::FontSize, .x1 = points});
    return inner_.FontSize(points);
}

float CapturingSurface::FontSize() const
{
    calls.push_back({.op = Op::FontSizeQuery});
    return inner_.FontSize();
}

Status CapturingSurface::FontBold(bool bold)
{
    calls.push_back({.op = Op::FontBold, .value = bold});
    return inner_.FontBold(bold);
}

Status CapturingSurface::FontUnderline(bool underline)
{
    calls.push_back({.op = Op::FontUnderline, .value = underline});
    return inner_.FontUnderline(underline);
}

Status CapturingSurface::CurrentX(float x)
{
    calls.push_back({.op = Op::CurrentX, .x1 = x});
    return inner_.CurrentX(x);
}

float CapturingSurface::CurrentX() const
{
    calls.push_back({.op = Op::CurrentXQuery});
    return inner_.CurrentX();
}

Status CapturingSurface::CurrentY(float y)
{
    calls.push_back({.op = Op::CurrentY, .y1 = y});
    return inner_.CurrentY(y);
}

Status CapturingSurface::Print(std::string_view text, LineEnd end)
{
    calls.push_back({.op = Op::Print, .value = end == LineEnd::With, .text = std::string(text)});
    return inner_.Print(text, end);
}

float CapturingSurface::TextWidth(std::string_view text)
{
    calls.push_back({.op = Op::TextWidth, .text = std::string(text)});
    return inner_.TextWidth(text);
}

Status CapturingSurface::DrawMode(int16_t mode)
{
    calls.push_back({.op = Op::DrawMode, .value = mode});
    return inner_.DrawMode(mode);
}

Status CapturingSurface::DrawWidth(int16_t pixels)
{
    calls.push_back({.op = Op::DrawWidth, .value = pixels});
    return inner_.DrawWidth(pixels);
}

Status CapturingSurface::DrawStyle(int16_t style)
{
    calls.push_back({.op = Op::DrawStyle, .value = style});
    return inner_.DrawStyle(style);
}

Status CapturingSurface::Line(float x1, float y1, float x2, float y2)
{
    calls.push_back({.op = Op::Line, .x1 = x1, .y1 = y1, .x2 = x2, .y2 = y2});
    return inner_.Line(x1, y1, x2, y2);
}

bool replay(const std::vector<Call>& calls, DrawSurface& target)
{
    bool ok = true;
    for (const Call& c : calls) {
        Status status;
        switch (c.op) {
        case Op::FontName: status = target.FontName(c.text); break;
        case Op::FontSize: status = target.FontSize(c.x1); break;
        case Op::FontSizeQuery: benchmark::DoNotOptimize(target.FontSize()); break;
        case Op::FontBold: status = target.FontBold(c.value != 0); break;
        case Op::FontUnderline: status = target.FontUnderline(c.value != 0); break;
        case Op::CurrentX: status = target.CurrentX(c.x1); break;
        case Op::CurrentXQuery: benchmark::DoNotOptimize(target.CurrentX()); break;
        case Op::CurrentY: status = target.CurrentY(c.y1); break;
        case Op::Print: status = target.Print(c.text, c.value ? LineEnd::With : LineEnd::Without); break;
        case Op::TextWidth: benchmark::DoNotOptimize(target.TextWidth(c.text)); break;
        case Op::DrawMode: status = target.DrawMode(c.value); break;
        case Op::DrawWidth: status = target.DrawWidth(c.value); break;
        case Op::DrawStyle: status = target.DrawStyle(c.value); break;
        case Op::Line: status = target.Line(c.x1, c.y1, c.x2, c.y2); break;
        }
        ok = ok && status.ok();
    }
    return ok;
}

}  // namespace kt482::bench
