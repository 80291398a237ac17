#include "platform/qt/qt_draw_surface.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QPagedPaintDevice>
#include <QPaintEngine>
#include <QPaintDevice>
#include <QPdfWriter>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVector>

#include <algorithm>
#include <cmath>

#include "platform/qt/qt_application.h"

namespace kt482 {
namespace {

constexpr double kTwipsPerPoint = 20.0;
constexpr double kTwipsPerInch = 1440.0;
// Font sizes beyond this are no longer a size a form can use.
constexpr float kMaxFontPoints = 2048.0f;

QString fromUtf8(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The default font of a new surface. QFont needs the application object, so
// this runs before the first font member is built.
QFont defaultFont()
{
    ensure_qt_application();
    QFont font(QString::fromUtf8("ＭＳ 明朝"));
    font.setPixelSize(210);  // 10.5 pt
    // Vertical hinting keeps baselines and horizontal strokes crisp but leaves
    // the advances at the font's design widths, whatever hinting the
    // machine's font configuration asks for, so that text widths scale with
    // the size instead of being rounded to whole twips per character.
    font.setHintingPreference(QFont::PreferVerticalHinting);
    return font;
}

// Dash patterns in steps of 1/96 inch, so that a dashed rule looks the same
// on the screen and on paper whatever the resolution; Qt's own patterns are
// in pen widths and shrink to a grey haze on a printer.
constexpr double kDashStepTwips = kTwipsPerInch / 96.0;

QVector<qreal> dashPattern(LineStyle style)
{
    switch (style) {
    case LineStyle::Dash:
        return {12, 6};
    case LineStyle::Dot:
        return {3, 3};
    case LineStyle::DashDot:
        return {12, 4, 3, 4};
    case LineStyle::DashDotDot:
        return {12, 4, 3, 4, 3, 4};
    default:
        return {};
    }
}

}  // namespace

QtDrawSurface::QtDrawSurface(QPaintDevice* device, int nominalDpi)
    : nominalDpi_(std::max(nominalDpi, 0)), font_(defaultFont()), fontTwips_(210), metrics_(font_)
{
    if (device)
        begin(device);
}

QtDrawSurface::~QtDrawSurface()
{
    end();
}

bool QtDrawSurface::begin(QPaintDevice* device)
{
    end();
    if (!device || !painter_.begin(device))
        return false;
    device_ = device;
    painter_.scale(device->logicalDpiX() / kTwipsPerInch, device->logicalDpiY() / kTwipsPerInch);
    // Text is antialiased; lines are not, so that a rule one pixel wide stays
    // one sharp pixel on the preview instead of two grey ones. Qt still
    // antialiases text it has to fill as outlines (very large sizes) as long
    // as text antialiasing is on. The PDF engine ignores both hints.
    painter_.setRenderHint(QPainter::TextAntialiasing, true);
    painter_.setRenderHint(QPainter::Antialiasing, false);
    applyFont();
    updateLinePen();
    penInUse_ = PenInUse::None;
    return true;
}

bool QtDrawSurface::end()
{
    const bool wasActive = painter_.isActive();
    if (wasActive)
        painter_.end();
    device_ = nullptr;
    penInUse_ = PenInUse::None;
    return wasActive;
}

bool QtDrawSurface::newPage()
{
    auto* paged = dynamic_cast<QPagedPaintDevice*>(device_);
    return paged && painter_.isActive() && paged->newPage();
}

void QtDrawSurface::setPenColor(const QColor& color)
{
    penColor_ = color;
    updateLinePen();
}

void QtDrawSurface::setNominalDpi(int dpi)
{
    nominalDpi_ = std::max(dpi, 0);
    updateLinePen();
}

Status QtDrawSurface::FontName(std::string_view face)
{
    if (face.empty())
        return {};
    font_.setFamily(fromUtf8(face));
    fontChanged();
    return {};
}

// The size is kept in whole twips and set as the font's pixel size: with the
// painter scaled to twips a pixel size is taken in logical units and mapped by
// the painter like any coordinate, whereas a point size would be converted
// with the device's resolution and rounded to its pixels.
Status QtDrawSurface::FontSize(float points)
{
    if (!(points > 0.0f) || points > kMaxFontPoints)
        return Failure(ErrorNumber::InvalidPropertyValue);
    const int twips = std::max(1, static_cast<int>(std::lround(points * kTwipsPerPoint)));
    if (twips == fontTwips_)
        return {};
    fontTwips_ = twips;
    font_.setPixelSize(twips);
    fontChanged();
    return {};
}

float QtDrawSurface::FontSize() const
{
    return static_cast<float>(fontTwips_ / kTwipsPerPoint);
}

Status QtDrawSurface::FontBold(bool bold)
{
    if (font_.bold() != bold) {
        font_.setBold(bold);
        fontChanged();
    }
    return {};
}

Status QtDrawSurface::FontUnderline(bool underline)
{
    if (font_.underline() != underline) {
        font_.setUnderline(underline);
        fontChanged();
    }
    return {};
}

void QtDrawSurface::fontChanged()
{
    metrics_ = QFontMetricsF(font_);
    if (painter_.isActive())
        applyFont();
}

// Most form fonts have no bold face, and Qt's raster engine does not embolden
// reliably under a scaled painter: with the twips scale it draws such a font
// regular, with a milder scale far too heavy. On a raster device such a font is
// therefore drawn regular and struck a second time a little to the right. The
// PDF engine emboldens correctly (and keeps the second pass out of the text a
// reader extracts), so paper devices get the bold font itself. A synthetic
// bold has the regular advances either way, so the metrics hold for both.
void QtDrawSurface::applyFont()
{
    overstrikeBold_ = font_.bold() && painter_.paintEngine()
                      && painter_.paintEngine()->type() == QPaintEngine::Raster && !hasBoldFace();
    if (!overstrikeBold_) {
        painter_.setFont(font_);
        return;
    }
    QFont regular = font_;
    regular.setBold(false);
    painter_.setFont(regular);
    // The second pass must not draw the underline again, one step further.
    overstrikeFont_ = regular;
    overstrikeFont_.setUnderline(false);
}

bool QtDrawSurface::hasBoldFace()
{
    const QString family = QFontInfo(font_).family();
    auto known = boldFaces_.constFind(family);
    if (known != boldFaces_.constEnd())
        return *known;
    bool bold = false;
    for (const QString& style : QFontDatabase::styles(family))
        bold = bold || QFontDatabase::weight(family, style) >= QFont::DemiBold;
    boldFaces_.insert(family, bold);
    return bold;
}

Status QtDrawSurface::CurrentX(float x)
{
    currentX_ = x;
    return {};
}

Status QtDrawSurface::CurrentY(float y)
{
    currentY_ = y;
    return {};
}

// The text's top is the top of the font's ascent, so its baseline lies one
// ascent below CurrentY. A line end moves down by the font's line spacing
// (ascent, descent and leading).
Status QtDrawSurface::Print(std::string_view text, LineEnd end)
{
    if (!painter_.isActive())
        return Failure(ErrorNumber::InvalidCall, "Nothing is being drawn on");
    const QString s = fromUtf8(text);
    if (!s.isEmpty()) {
        use(PenInUse::Text);
        const QPointF baseline(currentX_ * kTwipsPerPoint, currentY_ * kTwipsPerPoint + metrics_.ascent());
        painter_.drawText(baseline, s);
        if (overstrikeBold_)
            overstrike(baseline, s);
        currentX_ += static_cast<float>(metrics_.horizontalAdvance(s) / kTwipsPerPoint);
    }
    if (end == LineEnd::With) {
        currentX_ = 0;
        currentY_ += static_cast<float>(metrics_.lineSpacing() / kTwipsPerPoint);
    }
    return {};
}

// The second pass of a synthetic bold: 1/40 em to the right, about what the
// PDF engine does, but at least one device pixel, which is all that shows at
// screen resolution.
void QtDrawSurface::overstrike(const QPointF& baseline, const QString& text)
{
    const qreal step = std::max(fontTwips_ / 40.0, kTwipsPerInch / device_->logicalDpiX());
    if (font_.underline()) {
        const QFont drawn = painter_.font();
        painter_.setFont(overstrikeFont_);
        painter_.drawText(baseline + QPointF(step, 0), text);
        painter_.setFont(drawn);
    } else {
        painter_.drawText(baseline + QPointF(step, 0), text);
    }
}

float QtDrawSurface::TextWidth(std::string_view text)
{
    return static_cast<float>(metrics_.horizontalAdvance(fromUtf8(text)) / kTwipsPerPoint);
}

Status QtDrawSurface::DrawMode(int16_t mode)
{
    if (mode < 1 || mode > 16)
        return Failure(ErrorNumber::InvalidPropertyValue);
    drawMode_ = mode;
    updateLinePen();
    return {};
}

Status QtDrawSurface::DrawWidth(int16_t pixels)
{
    if (pixels < 1)
        return Failure(ErrorNumber::InvalidPropertyValue);
    drawWidth_ = pixels;
    updateLinePen();
    return {};
}

Status QtDrawSurface::DrawStyle(int16_t style)
{
    if (style < 0 || style > static_cast<int16_t>(LineStyle::InsideSolid))
        return Failure(ErrorNumber::InvalidPropertyValue);
    drawStyle_ = static_cast<LineStyle>(style);
    updateLinePen();
    return {};
}

// A line of no length still marks its point: a square as wide as the pen.
Status QtDrawSurface::Line(float x1, float y1, float x2, float y2)
{
    if (!painter_.isActive())
        return Failure(ErrorNumber::InvalidCall, "Nothing is being drawn on");
    if (drawStyle_ == LineStyle::Invisible)
        return {};
    use(PenInUse::Line);
    const QPointF from(x1 * kTwipsPerPoint, y1 * kTwipsPerPoint);
    const QPointF to(x2 * kTwipsPerPoint, y2 * kTwipsPerPoint);
    if (from == to) {
        const qreal w = linePen_.widthF();
        painter_.fillRect(QRectF(from.x() - w / 2, from.y() - w / 2, w, w), linePen_.color());
    } else {
        painter_.drawLine(from, to);
    }
    return {};
}

// The line pen from the draw mode, width and style.
//
// A pixel is one of the device's own unless a nominal resolution is set; a
// QPdfWriter, whose resolution means nothing on paper, takes kPdfPixelDpi. A
// line is never thinner than one pixel of the device actually drawn on, so a
// width of 1 always shows.
//
// Dashed and dotted styles apply to lines one pixel wide only; a wider line
// is drawn solid. Solid lines have square ends, so that the four sides of a
// box close at its corners; dashed lines have flat ends, which keep the gaps
// of their pattern open.
void QtDrawSurface::updateLinePen()
{
    if (penInUse_ == PenInUse::Line)
        penInUse_ = PenInUse::None;
    // The width depends on the device; begin() comes back here.
    if (!device_)
        return;

    QColor color = penColor_;
    if (drawMode_ == kDrawModeBlack)
        color = Qt::black;
    else if (drawMode_ == kDrawModeWhite)
        color = Qt::white;

    int dpi = nominalDpi_;
    if (dpi <= 0)
        dpi = dynamic_cast<QPdfWriter*>(device_) ? kPdfPixelDpi : device_->physicalDpiX();
    const double devicePixel = kTwipsPerInch / std::max(device_->logicalDpiX(), 1);
    const double widthTwips = std::max(drawWidth_ * kTwipsPerInch / std::max(dpi, 1), devicePixel);

    QPen pen(color, widthTwips, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    const bool dashed = drawStyle_ >= LineStyle::Dash && drawStyle_ <= LineStyle::DashDotDot;
    if (dashed && drawWidth_ == 1) {
        // Qt takes the pattern in pen widths.
        QVector<qreal> pattern = dashPattern(drawStyle_);
        for (qreal& step : pattern)
            step *= kDashStepTwips / widthTwips;
        pen.setDashPattern(pattern);
        pen.setCapStyle(Qt::FlatCap);
    }
    linePen_ = pen;
}

void QtDrawSurface::use(PenInUse pen)
{
    if (penInUse_ == pen)
        return;
    painter_.setPen(pen == PenInUse::Text ? textPen_ : linePen_);
    penInUse_ = pen;
}

}  // namespace kt482
