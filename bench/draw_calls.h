// The calls the renderer makes on its target, captured once and replayed, so
// that a benchmark can draw a page's very primitives without the renderer;
// and a printer that draws on a Qt surface without a print job.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/printer.h"
#include "platform/qt/qt_draw_surface.h"

namespace kt482::bench {

// Every call of the drawing interface, the queries included, since drawing a
// page directly needs the same text widths.
enum class Op : uint8_t {
    FontName,
    FontSize,
    FontSizeQuery,
    FontBold,
    FontUnderline,
    CurrentX,
    CurrentXQuery,
    CurrentY,
    Print,
    TextWidth,
    DrawMode,
    DrawWidth,
    DrawStyle,
    Line,
};

struct Call {
    Op op;
    int16_t value = 0;  // bools, line ends, modes, widths and styles
    float x1 = 0;       // sizes and positions
    float y1 = 0;
    float x2 = 0;
    float y2 = 0;
    std::string text{};
};

// A printer drawing on a QtDrawSurface: what the renderer asks of a printer,
// without a print job behind it. Page setup is accepted and changes nothing;
// NewPage starts the next page of the surface's paged device.
class SurfacePrinter final : public Printer {
public:
    explicit SurfacePrinter(QtDrawSurface& surface) : surface_(surface) {}

    Status FontName(std::string_view face) override { return surface_.FontName(face); }
    Status FontSize(float points) override { return surface_.FontSize(points); }
    float FontSize() const override { return surface_.FontSize(); }
    Status FontBold(bool bold) override { return surface_.FontBold(bold); }
    Status FontUnderline(bool underline) override { return surface_.FontUnderline(underline); }
    Status CurrentX(float x) override { return surface_.CurrentX(x); }
    float CurrentX() const override { return surface_.CurrentX(); }
    Status CurrentY(float y) override { return surface_.CurrentY(y); }
    Status Print(std::string_view text, LineEnd end) override { return surface_.Print(text, end); }
    float TextWidth(std::string_view text) override { return surface_.TextWidth(text); }
    Status DrawMode(int16_t mode) override { return surface_.DrawMode(mode); }
    Status DrawWidth(int16_t pixels) override { return surface_.DrawWidth(pixels); }
    Status DrawStyle(int16_t style) override { return surface_.DrawStyle(style); }
    Status Line(float x1, float y1, float x2, float y2) override { return surface_.Line(x1, y1, x2, y2); }
    Status Color(uint32_t rgb) override { return surface_.Color(rgb); }
    Status FillRect(float x, float y, float w, float h) override { return surface_.FillRect(x, y, w, h); }
    Status Image(float x, float y, float w, float h, const kt482::ImagePixels& p) override
    {
        return surface_.Image(x, y, w, h, p);
    }

    std::string DeviceName() const override { return "bench surface"; }
    Status ScaleModePoints() override { return {}; }
    Status FillTransparent() override { return {}; }
    Status PaperSize(int16_t) override { return {}; }
    int16_t PaperSize() const override { return 9; }
    Status PageHeight(int32_t) override { return {}; }
    Status PageWidth(int32_t) override { return {}; }
    Status Orientation(int16_t) override { return {}; }
    Status Copies(int16_t) override { return {}; }
    Status Duplex(int16_t) override { return {}; }
    Status PrintQuality(int16_t) override { return {}; }
    Status NewPage() override;
    Status EndDoc() override { return {}; }
    Status AbortDoc() override { return {}; }
    std::string LastOutput() const override { return {}; }

private:
    QtDrawSurface& surface_;
};

// Passes every call on to a printer and keeps a copy of each drawing call.
class CapturingSurface final : public Printer {
public:
    explicit CapturingSurface(Printer& inner) : inner_(inner) {}

    // The queries are const on the interface but are calls all the same.
    mutable std::vector<Call> calls;

    Status FontName(std::string_view face) override;
    Status FontSize(float points) override;
    float FontSize() const override;
    Status FontBold(bool bold) override;
    Status FontUnderline(bool underline) override;
    Status CurrentX(float x) override;
    float CurrentX() const override;
    Status CurrentY(float y) override;
    Status Print(std::string_view text, LineEnd end) override;
    float TextWidth(std::string_view text) override;
    Status DrawMode(int16_t mode) override;
    Status DrawWidth(int16_t pixels) override;
    Status DrawStyle(int16_t style) override;
    Status Line(float x1, float y1, float x2, float y2) override;

    std::string DeviceName() const override { return inner_.DeviceName(); }
    Status ScaleModePoints() override { return inner_.ScaleModePoints(); }
    Status FillTransparent() override { return inner_.FillTransparent(); }
    Status PaperSize(int16_t code) override { return inner_.PaperSize(code); }
    int16_t PaperSize() const override { return inner_.PaperSize(); }
    Status PageHeight(int32_t twips) override { return inner_.PageHeight(twips); }
    Status PageWidth(int32_t twips) override { return inner_.PageWidth(twips); }
    Status Orientation(int16_t orientation) override { return inner_.Orientation(orientation); }
    Status Copies(int16_t copies) override { return inner_.Copies(copies); }
    Status Duplex(int16_t duplex) override { return inner_.Duplex(duplex); }
    Status PrintQuality(int16_t dpi) override { return inner_.PrintQuality(dpi); }
    Status NewPage() override { return inner_.NewPage(); }
    Status EndDoc() override { return inner_.EndDoc(); }
    Status AbortDoc() override { return inner_.AbortDoc(); }
    std::string LastOutput() const override { return inner_.LastOutput(); }

private:
    Printer& inner_;
};

// Makes the calls again, in order. False when the surface refused one.
bool replay(const std::vector<Call>& calls, DrawSurface& target);

}  // namespace kt482::bench
