// The drawing target on Qt: a QPainter on any paint device (the preview's
// QImage, a QPdfWriter, a QPrinter).
//
// The painter is scaled once per page so that one logical unit is a twip
// (1/20 point): every coordinate and size of the interface is converted from
// points to twips, and fonts are sized in twips. Qt would otherwise round a
// font to whole device pixels (10.5 pt becomes 11 pt at 72 dpi); sized in
// twips a font is exact to 1/20 point on any device, and a high-resolution
// device draws as fast as with an unscaled painter.
//
// Text is laid out by the text layout that the PDF engine uses too, and
// drawn as glyph runs of the same font files at the positions it gives, so a
// text spread, centred or aligned right by its width stands at the same
// point on the screen and on paper.
//
// A face named with "@" sets texts vertically, as on the PDF surface:
// CurrentX is the left edge of a column one em wide, CurrentY the top of its
// first character.
//
// The current position, font and pen belong to the surface, not to the
// painter: they survive end() and begin() on another device, so a renderer
// can set them once and draw page after page.
//
// On a QImage, Format_ARGB32_Premultiplied or Format_RGB32 draws lines about
// fifteen times faster than Format_ARGB32.
#pragma once

#include <QColor>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QRawFont>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/draw_surface.h"
#include "text/font_service.h"
#include "text/text_layout.h"
#include "text/text_surface.h"

class QPaintDevice;
class QPointF;

namespace kt482 {

class QtDrawSurface final : public text::TextSurface {
public:
    // The resolution a QPdfWriter's pixels are taken at when no nominal one is
    // given: its own resolution is arbitrary, and a line one pixel wide
    // should print as it would on a common office laser printer.
    static constexpr int kPdfPixelDpi = 600;

    // Begins painting on device when one is given (see begin()). nominalDpi,
    // when positive, is the resolution DrawWidth's pixels refer to instead of
    // the device's own; a preview can pass the printer's resolution so that
    // its lines are as wide, relative to the page, as on paper.
    explicit QtDrawSurface(QPaintDevice* device = nullptr, int nominalDpi = 0);
    ~QtDrawSurface() override;

    QtDrawSurface(const QtDrawSurface&) = delete;
    QtDrawSurface& operator=(const QtDrawSurface&) = delete;

    // Begins the painter on device and sets it up for this surface: the twips
    // scale, the render hints, the current font and pen. Ends painting on the
    // previous device first. False when Qt cannot paint on device.
    bool begin(QPaintDevice* device);
    // Ends painting; the state of the surface is kept for the next begin().
    bool end();
    bool isActive() const { return painter_.isActive(); }
    // Starts the next page of a paged device (QPrinter, QPdfWriter); the
    // painter and its set-up carry over. False for other devices.
    bool newPage();

    QPainter* painter() { return &painter_; }
    QPaintDevice* device() const { return device_; }

    // The colour lines take in draw mode 13 (and the modes treated like it).
    void setPenColor(const QColor& color);
    QColor penColor() const { return penColor_; }

    void setNominalDpi(int dpi);
    int nominalDpi() const { return nominalDpi_; }

    float currentY() const { return current_y(); }
    // The state the interface sets but does not read back, so that a caller
    // can take a snapshot of it and set it again later.
    QString fontFamily() const { return QString::fromStdString(font_name()); }
    bool fontBold() const { return font_bold(); }
    bool fontUnderline() const { return font_underline(); }
    int16_t drawMode() const { return drawMode_; }
    int16_t drawWidth() const { return drawWidth_; }
    LineStyle drawStyle() const { return drawStyle_; }

    // Modes other than black, white and the pen's colour draw like the latter.
    Status DrawMode(int16_t mode) override;
    // Pixels of the nominal resolution, else of the device (a QPdfWriter's are
    // kPdfPixelDpi), but never less than one pixel of the device drawn on.
    Status DrawWidth(int16_t pixels) override;
    // Dashes and dots apply to lines one pixel wide; wider ones draw solid.
    Status DrawStyle(int16_t style) override;
    // Lines are not antialiased. A line of no length draws a square dot as
    // wide as the pen.
    Status Line(float x1, float y1, float x2, float y2) override;

    // A colour other than black takes the place of the draw modes' black
    // and of the pen's colour; white lines stay white.
    Status Color(uint32_t rgb) override;
    uint32_t color() const { return color_; }
    // Not antialiased, so that the edges of bars and cells stay sharp.
    Status FillRect(float x, float y, float width, float height) override;
    // Smoothly scaled. The last pictures drawn are kept converted, up to
    // kImageCacheBytes.
    Status Image(float x, float y, float width, float height, const ImagePixels& picture) override;
    static constexpr std::size_t kImageCacheBytes = 64u << 20;

private:
    // Which of the two pens the painter holds: text and lines differ in
    // colour, width and dashes, and switching only when the kind of output
    // changes keeps runs of text or of lines free of state changes.
    enum class PenInUse { None, Text, Line };

    // The face's glyphs at the current size, loaded once per face and size.
    const QRawFont& rawFont(const text::FontFace* face);
    bool drawing() const override;
    void print_text(std::string_view text) override;
    void drawRuns(const text::TextLayout& layout);
    void updateLinePen();
    void use(PenInUse pen);

    QPainter painter_;
    QPaintDevice* device_ = nullptr;
    int nominalDpi_ = 0;

    QHash<QPair<quintptr, int>, QRawFont> rawFonts_;

    int16_t drawMode_ = kDrawModePen;
    int16_t drawWidth_ = 1;
    LineStyle drawStyle_ = LineStyle::Solid;
    QColor penColor_ = Qt::black;
    QPen linePen_;
    QPen textPen_ = QPen(QColor(Qt::black));
    uint32_t color_ = 0;
    // Converted pictures by id, the most recently used last.
    std::vector<std::pair<uint64_t, QImage>> images_;
    PenInUse penInUse_ = PenInUse::None;
};

}  // namespace kt482
