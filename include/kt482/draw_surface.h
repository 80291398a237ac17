// A drawing target: the printer page or the preview canvas, in points (1/72
// inch) from the top left corner of its drawing area, x to the right and y
// downwards.
//
// A target keeps a current position, a current font and a current pen between
// calls; the renderer sets them and relies on them staying as set, from one
// record, page and rendering to the next. Setters fail with
// InvalidPropertyValue (380) on values the target cannot take.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "kt482/export.h"
#include "kt482/failure.h"

namespace kt482 {

enum class LineEnd { Without, With };

// Draw modes: 1 every line black, 16 every line white, 13 the pen's colour.
inline constexpr int16_t kDrawModeBlack = 1;
inline constexpr int16_t kDrawModeWhite = 16;
inline constexpr int16_t kDrawModePen = 13;

// Line styles: 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot,
// 5 invisible, 6 solid drawn inside the outline.
enum class LineStyle : int16_t {
    Solid = 0,
    Dash = 1,
    Dot = 2,
    DashDot = 3,
    DashDotDot = 4,
    Invisible = 5,
    InsideSolid = 6,
};

// A decoded picture handed to DrawSurface::Image: rows from the top, eight
// bits a sample. The spans stay valid for the call only.
struct ImagePixels {
    // The same for every use of one picture file (path and file identity) in
    // this process, never 0: a surface may keep what it made of a picture
    // under it, as the PDF does to store each picture once per document.
    uint64_t id = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t channels = 0;                // 1 grey or 3 RGB
    std::span<const uint8_t> pixels;     // width * height * channels
    std::span<const uint8_t> alpha;      // width * height, or empty when opaque
    // The file unchanged when it is a JPEG, which a PDF carries as it is:
    // its components (1, 3 or 4), and whether its CMYK samples are stored
    // inverted (as Adobe applications write them).
    std::span<const uint8_t> jpeg;
    int32_t jpeg_components = 0;
    bool jpeg_inverted = false;
};

class KT482_API DrawSurface {
public:
    virtual ~DrawSurface() = default;

    // The face for later text output. "ＭＳ 明朝" and "ＭＳ ゴシック" are always known.
    virtual Status FontName(std::string_view face) = 0;
    // The size in points for later text output.
    virtual Status FontSize(float points) = 0;
    // The size the target really uses, which may differ from the one asked.
    virtual float FontSize() const = 0;
    virtual Status FontBold(bool bold) = 0;
    // The printer's text attribute that its font reset clears (underline).
    virtual Status FontUnderline(bool underline) = 0;

    // Where the next text starts; after Print without a line end, just right
    // of the text printed.
    virtual Status CurrentX(float x) = 0;
    virtual float CurrentX() const = 0;
    // The top of the next text.
    virtual Status CurrentY(float y) = 0;

    // Draws text (UTF-8) in the current font and the target's text colour,
    // its top left corner at (CurrentX, CurrentY), and advances CurrentX by
    // its width; with a line end the position then moves to the next line.
    virtual Status Print(std::string_view text, LineEnd end) = 0;
    // The width in points by which Print would advance for text.
    virtual float TextWidth(std::string_view text) = 0;

    virtual Status DrawMode(int16_t mode) = 0;
    // Line width in device pixels of the target (printer dots, screen pixels).
    virtual Status DrawWidth(int16_t pixels) = 0;
    virtual Status DrawStyle(int16_t style) = 0;
    // A straight line with the current pen, in the current draw mode.
    virtual Status Line(float x1, float y1, float x2, float y2) = 0;

    // A text drawn in pieces (spread over its box): what is drawn until
    // EndSpreadText is that text for readers of the output, who find it
    // whole. Targets without a text layer ignore both.
    virtual Status BeginSpreadText(std::string_view /*text*/) { return {}; }
    virtual Status EndSpreadText() { return {}; }
    // ---- Host additions. The defaults ignore them, so a surface written
    // before them still draws everything else.

    // The colour (0xRRGGBB) of later texts, of lines not drawn white, and of
    // FillRect. Every page starts black: the renderer sets black again
    // before a page that needs it.
    virtual Status Color(uint32_t rgb)
    {
        (void)rgb;
        return {};
    }
    // Fills the rectangle, its top left corner at (x, y), in the current
    // colour, with exact edges (no antialiasing, no outline).
    virtual Status FillRect(float x, float y, float width, float height)
    {
        (void)x, (void)y, (void)width, (void)height;
        return {};
    }
    // Draws the picture stretched to the rectangle, its top left corner at
    // (x, y); transparent parts leave what lies below visible.
    virtual Status Image(float x, float y, float width, float height, const ImagePixels& picture)
    {
        (void)x, (void)y, (void)width, (void)height, (void)picture;
        return {};
    }
    // The width of later texts along their line as a ratio to the face's own
    // (1; below 1 condensed), glyphs and advances alike; TextWidth measures
    // at it. A target that cannot condense refuses any ratio but 1 with
    // NotSupported (438), and the renderer shrinks the text instead.
    virtual Status HorizontalScale(float ratio)
    {
        return ratio == 1.0f ? Status{} : Status(Failure(ErrorNumber::NotSupported));
    }
};

}  // namespace kt482
