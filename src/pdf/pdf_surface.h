// The drawing surface on a PDF document: text as glyphs of the embedded
// fonts, lines as stroked paths, in points from the top left corner of the
// page.
//
// A text's top is the top of its face's ascent, so its baseline lies one
// ascent below CurrentY; a line end moves down by the face's line spacing.
// Widths come from the font service, the same on every surface. Bold on a
// face without a bold weight fills and strokes the outlines, 1/40 em wider.
//
// Line widths are pixels of the nominal resolution (600 dpi unless set), but
// never less than one dot of the device resolution. Dashed and dotted styles
// apply to lines one pixel wide, in steps of 1/96 inch; wider ones are solid.
// Solid lines have square ends so that the sides of a box close; dashed ones
// flat ends, which keep their gaps open.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/font_service.h"
#include "platform/draw_surface.h"

namespace kt482::pdf {

class PdfDocument;

class PdfSurface final : public DrawSurface {
public:
    static constexpr int kNominalDpi = 600;

    PdfSurface();

    // The document drawn on; null while there is none (drawing then fails).
    // The surface's state (font, position, pen) stays across documents.
    void setDocument(PdfDocument* document);
    PdfDocument* document() const { return document_; }
    // The resolution DrawWidth's pixels are in, and that of the device (the
    // thinnest line); 0 keeps the defaults (600 and 1200).
    void setResolution(int nominalDpi, int deviceDpi);
    // Where (0, 0) lies on the page, in points from its top left corner: the
    // corner of a printer's printable area.
    void setOrigin(double x, double y);

    // The state the interface sets but does not read back.
    const std::string& fontName() const { return faceName_; }
    bool fontBold() const { return bold_; }
    bool fontUnderline() const { return underline_; }
    float currentY() const { return currentY_; }
    int16_t drawMode() const { return drawMode_; }
    int16_t drawWidth() const { return drawWidth_; }
    int16_t drawStyle() const { return drawStyle_; }

    Status FontName(std::string_view face) override;
    Status FontSize(float points) override;
    float FontSize() const override;
    Status FontBold(bool bold) override;
    Status FontUnderline(bool underline) override;
    Status CurrentX(float x) override;
    float CurrentX() const override { return currentX_; }
    Status CurrentY(float y) override;
    Status Print(std::string_view text, LineEnd end) override;
    float TextWidth(std::string_view text) override;
    Status DrawMode(int16_t mode) override;
    Status DrawWidth(int16_t pixels) override;
    Status DrawStyle(int16_t style) override;
    Status Line(float x1, float y1, float x2, float y2) override;

private:
    // What the open page's content stream has set, so that runs of text or
    // lines repeat no state.
    struct StreamState {
        int font = 0;
        int fontTwips = 0;
        double lineWidth = -1;
        int cap = -1;
        int dash = -1;
        int gray = -1;
        // Where the last text started, for the next one in the same text
        // object to move relative to it.
        double textX = 0;
        double textY = 0;
    };

    double points() const { return fontTwips_ / 20.0; }
    std::string& content();
    void drawGlyphs(double x, double baseline, const std::vector<ShapedGlyph>& glyphs);
    void applyLinePen(std::string& out);

    PdfDocument* document_ = nullptr;
    StreamState stream_;

    std::string faceName_ = "ＭＳ 明朝";
    const FontFace* face_ = nullptr;
    int fontTwips_ = 210;
    bool bold_ = false;
    bool underline_ = false;
    float currentX_ = 0;
    float currentY_ = 0;

    double originX_ = 0;
    double originY_ = 0;
    int nominalDpi_ = kNominalDpi;
    int deviceDpi_ = 1200;
    int16_t drawMode_ = kDrawModePen;
    int16_t drawWidth_ = 1;
    int16_t drawStyle_ = 0;

    std::vector<ShapedGlyph> glyphs_;
};

}  // namespace kt482::pdf
