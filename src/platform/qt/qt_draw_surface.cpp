#include "platform/qt/qt_draw_surface.h"

#include <QGlyphRun>
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

#include "base/units.h"
#include "platform/qt/qt_application.h"
#include "text/text_layout.h"

namespace kt482 {
namespace {

// The bytes of a font file, read once for every size of it.
QByteArray fontData(const text::FontFace* face)
{
    static QHash<QString, QByteArray> files;
    const QString key = QString::fromStdString(face->path()) + QLatin1Char('\n') + QString::number(face->index());
    auto found = files.constFind(key);
    if (found != files.constEnd())
        return *found;
    const std::string bytes = face->standalone_file();
    const QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    files.insert(key, data);
    return data;
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
    : nominalDpi_(std::max(nominalDpi, 0))
{
    ensure_qt_application();
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

const QRawFont& QtDrawSurface::rawFont(const text::FontFace* face)
{
    const QPair<quintptr, int> key(reinterpret_cast<quintptr>(face), font_twips());
    auto found = rawFonts_.find(key);
    if (found == rawFonts_.end())
        found = rawFonts_.insert(key, QRawFont(fontData(face), font_twips(), QFont::PreferNoHinting));
    return *found;
}

bool QtDrawSurface::drawing() const
{
    return painter_.isActive();
}

// Laid out in twips, the painter's unit.
void QtDrawSurface::print_text(std::string_view text)
{
    const text::TextLayout& layout = lay_out_at_pen(text, Unit::Twips);
    use(PenInUse::Text);
    drawRuns(layout);
    if (layout.underline) {
        const text::Rect& line = *layout.underline;
        painter_.fillRect(QRectF(line.x, line.y, line.width, line.height), textPen_.color());
    }
    advance_pen(layout);
}

// A glyph run per run of the layout; a turned run is drawn under a quarter
// turn about its start, a condensed one under a horizontal scaling about its
// start (its glyphs' places given before the scaling). Bold on a face
// without a bold weight is each run struck a second time to the right, but
// at least one device pixel, which is all that shows at screen resolution.
void QtDrawSurface::drawRuns(const text::TextLayout& layout)
{
    const qreal devicePixel = kTwipsPerInch / std::max(device_->logicalDpiX(), 1);
    const qreal step = layout.synthetic_bold ? std::max(layout.bold_offset, devicePixel) : 0;
    QList<quint32> indexes;
    QList<QPointF> positions;
    for (const text::GlyphRun& run : layout.runs) {
        indexes.clear();
        positions.clear();
        const double scale = layout.horizontal_scale;
        const bool condensed = scale != 1 && run.orientation == text::Orientation::Across && run.count > 0;
        const double start = condensed ? layout.glyphs[run.first].x : 0;
        for (std::size_t i = run.first; i < run.first + run.count; ++i) {
            indexes.append(layout.glyphs[i].glyph);
            const double x = layout.glyphs[i].x;
            positions.append(QPointF(condensed ? start + (x - start) / scale : x, layout.glyphs[i].y));
        }
        QGlyphRun glyphs;
        glyphs.setRawFont(rawFont(run.face));
        glyphs.setGlyphIndexes(indexes);
        glyphs.setPositions(positions);
        const bool turned = run.orientation == text::Orientation::Turned;
        if (turned || condensed)
            painter_.save();
        if (turned) {
            painter_.translate(run.x, run.y);
            painter_.rotate(90);
        } else if (condensed) {
            painter_.translate(start, 0);
            painter_.scale(scale, 1);
            painter_.translate(-start, 0);
        }
        painter_.drawGlyphRun(QPointF(0, 0), glyphs);
        if (step > 0)
            painter_.drawGlyphRun(QPointF(step, 0), glyphs);
        if (turned || condensed)
            painter_.restore();
    }
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
    if (drawMode_ == kDrawModeWhite)
        color = Qt::white;
    else if (color_ != 0)
        color = QColor::fromRgb(color_);
    else if (drawMode_ == kDrawModeBlack)
        color = Qt::black;

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

namespace kt482 {
namespace {

// The picture as Qt draws it: grey or RGB when opaque, else premultiplied
// ARGB. A copy, so that it outlives the call.
QImage toQImage(const ImagePixels& picture)
{
    const int w = picture.width;
    const int h = picture.height;
    const auto pixels = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    const auto channels = static_cast<std::size_t>(picture.channels);
    if (w <= 0 || h <= 0 || (channels != 1 && channels != 3) || picture.pixels.size() != pixels * channels
        || (!picture.alpha.empty() && picture.alpha.size() != pixels))
        return {};
    if (picture.alpha.empty()) {
        const QImage view(picture.pixels.data(), w, h, static_cast<qsizetype>(w * channels),
                          channels == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
        return view.copy();
    }
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        for (int x = 0; x < w; ++x) {
            const std::size_t i = row + static_cast<std::size_t>(x);
            const uint8_t* p = picture.pixels.data() + i * channels;
            const int r = p[0];
            const int g = channels == 3 ? p[1] : r;
            const int b = channels == 3 ? p[2] : r;
            line[x] = qRgba(r, g, b, picture.alpha[i]);
        }
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace

Status QtDrawSurface::Color(uint32_t rgb)
{
    if (rgb > 0xFFFFFF)
        return Failure(ErrorNumber::InvalidPropertyValue);
    color_ = rgb;
    textPen_.setColor(QColor::fromRgb(rgb));
    if (penInUse_ == PenInUse::Text)
        penInUse_ = PenInUse::None;
    updateLinePen();
    return {};
}

Status QtDrawSurface::FillRect(float x, float y, float width, float height)
{
    if (!painter_.isActive())
        return Failure(ErrorNumber::InvalidCall, "Nothing is being drawn on");
    if (!(width > 0) || !(height > 0))
        return {};
    painter_.fillRect(QRectF(x * kTwipsPerPoint, y * kTwipsPerPoint, width * kTwipsPerPoint, height * kTwipsPerPoint),
                      QColor::fromRgb(color_));
    return {};
}

Status QtDrawSurface::Image(float x, float y, float width, float height, const ImagePixels& picture)
{
    if (!painter_.isActive())
        return Failure(ErrorNumber::InvalidCall, "Nothing is being drawn on");
    if (!(width > 0) || !(height > 0))
        return {};
    auto found = std::find_if(images_.begin(), images_.end(), [&](const auto& e) { return e.first == picture.id; });
    if (found == images_.end()) {
        QImage image = toQImage(picture);
        if (image.isNull())
            return Failure(ErrorNumber::InvalidPicture);
        std::size_t kept = static_cast<std::size_t>(image.sizeInBytes());
        for (const auto& e : images_)
            kept += static_cast<std::size_t>(e.second.sizeInBytes());
        while (!images_.empty() && kept > kImageCacheBytes) {
            kept -= static_cast<std::size_t>(images_.front().second.sizeInBytes());
            images_.erase(images_.begin());
        }
        images_.emplace_back(picture.id, std::move(image));
        found = images_.end() - 1;
    } else if (found != images_.end() - 1) {
        std::rotate(found, found + 1, images_.end());
        found = images_.end() - 1;
    }
    painter_.save();
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter_.drawImage(QRectF(x * kTwipsPerPoint, y * kTwipsPerPoint, width * kTwipsPerPoint, height * kTwipsPerPoint),
                       found->second);
    painter_.restore();
    penInUse_ = PenInUse::None;
    return {};
}

}  // namespace kt482
