#include "platform/qt/qt_canvas.h"

#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/units.h"

namespace kt482 {
namespace {

// The canvas's logical resolution is kLogicalDpi (base/units.h). The painter
// multiplies by the image's device pixel ratio.
constexpr int kDotsPerMeter = 3780;  // 96 dpi

// The desktop's size where no screen tells it, in device-independent pixels.
constexpr int kFallbackDesktopPixels = 4096;

// Fill styles run from 0 (solid) to 7 (diagonal cross).
constexpr int16_t kLastFillStyle = 7;

}  // namespace

QtCanvas::QtCanvas(float width, float height, qreal devicePixelRatio, const QColor& background,
                   const QColor& foreground)
    : devicePixelRatio_(devicePixelRatio > 0 ? devicePixelRatio : 1.0),
      background_(background),
      width_(std::isfinite(width) ? width : 0),
      height_(std::isfinite(height) ? height : 0)
{
    surface_.setPenColor(foreground);
    (void)cover();
}

QtCanvas::~QtCanvas()
{
    surface_.end();
}

const QImage& QtCanvas::image()
{
    surface_.end();
    return image_;
}

void QtCanvas::setView(QtCanvasWidget* view)
{
    view_ = view;
}

int QtCanvas::pixels(float points) const
{
    if (!(points > 0))
        return 0;
    // A hair below the next whole pixel still counts as that pixel, so that
    // an extent which is a whole number of pixels does not gain one from
    // rounding noise.
    return static_cast<int>(std::ceil(points * kPixelsPerPoint * devicePixelRatio_ * viewScale_ - 1e-6));
}

// The widget never shows more than the desktop holds, so an image beyond it
// would hold pixels nobody sees: a 200-inch page would take gigabytes.
QSize QtCanvas::largestShown() const
{
    QSize desktop(kFallbackDesktopPixels, kFallbackDesktopPixels);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        desktop = screen->virtualSize();
    return {static_cast<int>(std::ceil(desktop.width() * devicePixelRatio_)),
            static_cast<int>(std::ceil(desktop.height() * devicePixelRatio_))};
}

Status QtCanvas::cover()
{
    const QSize most = largestShown();
    const int width = std::min(std::max(pixels(width_), image_.width()), most.width());
    const int height = std::min(std::max(pixels(height_), image_.height()), most.height());
    if (!image_.isNull() && width == image_.width() && height == image_.height())
        return {};
    surface_.end();
    QImage grown(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    if (grown.isNull())
        return Failure(ErrorNumber::OutOfMemory);
    grown.fill(background_);
    // The old image in the top left corner, row by row; both are RGB32.
    const qsizetype rowBytes = static_cast<qsizetype>(std::min(image_.width(), grown.width())) * 4;
    for (int y = 0; y < std::min(image_.height(), grown.height()); ++y)
        std::memcpy(grown.scanLine(y), image_.constScanLine(y), static_cast<size_t>(rowBytes));
    grown.setDevicePixelRatio(devicePixelRatio_ * viewScale_);
    grown.setDotsPerMeterX(kDotsPerMeter);
    grown.setDotsPerMeterY(kDotsPerMeter);
    image_ = std::move(grown);
    repaintView();
    return {};
}

Status QtCanvas::painting()
{
    if (surface_.isActive())
        return {};
    if (!surface_.begin(&image_))
        return Failure(ErrorNumber::InvalidCall, "The preview canvas cannot be drawn on");
    // The widget ends the painter to show the image, so the first drawing
    // since then is the one that makes the shown image stale.
    repaintView();
    return {};
}

void QtCanvas::repaintView()
{
    if (view_)
        view_->update();
}

void QtCanvas::extentChanged()
{
    if (view_ && view_->onExtentChanged)
        view_->onExtentChanged();
}

// The image keeps its size: it still covers every extent set since, which is
// all a later, larger extent needs to find.
Status QtCanvas::Cls()
{
    surface_.end();
    image_.fill(background_);
    repaintView();
    return {};
}

Status QtCanvas::ScaleWidth(float points)
{
    if (!std::isfinite(points))
        return Failure(ErrorNumber::InvalidPropertyValue);
    const float kept = width_;
    width_ = points;
    if (Status covered = cover(); !covered) {
        width_ = kept;
        return covered;
    }
    if (width_ != kept)
        extentChanged();
    return {};
}

Status QtCanvas::ScaleHeight(float points)
{
    if (!std::isfinite(points))
        return Failure(ErrorNumber::InvalidPropertyValue);
    const float kept = height_;
    height_ = points;
    if (Status covered = cover(); !covered) {
        height_ = kept;
        return covered;
    }
    if (height_ != kept)
        extentChanged();
    return {};
}

// The old image holds the page at the old scale, which no part of the new
// one can use: the image starts again at the extent, in the background.
Status QtCanvas::ViewScale(double scale)
{
    if (!(scale > 0) || !std::isfinite(scale))
        return Failure(ErrorNumber::InvalidPropertyValue);
    if (scale == viewScale_)
        return {};
    const double kept = viewScale_;
    surface_.end();
    QImage old = std::move(image_);
    image_ = QImage();
    viewScale_ = scale;
    if (Status covered = cover(); !covered) {
        viewScale_ = kept;
        image_ = std::move(old);
        return covered;
    }
    extentChanged();
    return {};
}

Status QtCanvas::ScaleMode(int16_t mode)
{
    if (mode != kScaleModePoints)
        return Failure(ErrorNumber::InvalidPropertyValue);
    scaleMode_ = mode;
    return {};
}

// Nothing the canvas draws is filled, so any style reads back as set and
// drawing stays as with transparent.
Status QtCanvas::FillStyle(int16_t style)
{
    if (style < 0 || style > kLastFillStyle)
        return Failure(ErrorNumber::InvalidPropertyValue);
    fillStyle_ = style;
    return {};
}

Status QtCanvas::Print(std::string_view text, LineEnd end)
{
    if (Status active = painting(); !active)
        return active;
    return surface_.Print(text, end);
}

Status QtCanvas::Line(float x1, float y1, float x2, float y2)
{
    if (Status active = painting(); !active)
        return active;
    return surface_.Line(x1, y1, x2, y2);
}

Status QtCanvas::FillRect(float x, float y, float width, float height)
{
    if (Status active = painting(); !active)
        return active;
    return surface_.FillRect(x, y, width, height);
}

Status QtCanvas::Image(float x, float y, float width, float height, const ImagePixels& picture)
{
    if (Status active = painting(); !active)
        return active;
    return surface_.Image(x, y, width, height, picture);
}

// The colour wins over the draw mode for this one line; width and style stay.
Status QtCanvas::ColoredLine(float x1, float y1, float x2, float y2, uint32_t rgb)
{
    if (Status active = painting(); !active)
        return active;
    const int16_t mode = surface_.drawMode();
    const QColor pen = surface_.penColor();
    const uint32_t color = surface_.color();
    (void)surface_.Color(0);
    (void)surface_.DrawMode(kDrawModePen);
    surface_.setPenColor(QColor::fromRgb(rgb & 0xFFFFFFu));
    const Status drawn = surface_.Line(x1, y1, x2, y2);
    surface_.setPenColor(pen);
    (void)surface_.DrawMode(mode);
    (void)surface_.Color(color);
    return drawn;
}

QtCanvasWidget::QtCanvasWidget(std::shared_ptr<QtCanvas> canvas, QWidget* parent)
    : QWidget(parent), canvas_(std::move(canvas))
{
    // Every pixel is painted from the image or the background.
    setAttribute(Qt::WA_OpaquePaintEvent);
    canvas_->setView(this);
}

QtCanvasWidget::~QtCanvasWidget()
{
    // The guarded pointer would clear itself, but only once QObject's
    // destructor runs, after this class is gone.
    canvas_->setView(nullptr);
}

void QtCanvasWidget::paintEvent(QPaintEvent* event)
{
    const QImage& image = canvas_->image();
    QPainter painter(this);
    // The image's own ratio includes the view scale; on the screen an image
    // pixel is a device pixel.
    const QSizeF size = QSizeF(image.size()) / canvas_->devicePixelRatio();
    // The background first, under the image's last partial pixel too when
    // the device pixel ratio is fractional.
    const QRect covered(0, 0, static_cast<int>(size.width()), static_cast<int>(size.height()));
    for (const QRect& r : event->region().subtracted(QRegion(covered)))
        painter.fillRect(r, canvas_->background());
    painter.drawImage(QRectF(QPointF(0, 0), size), image, QRectF(image.rect()));
}

void QtCanvasWidget::wheelEvent(QWheelEvent* event)
{
    if (!onWheel) {
        QWidget::wheelEvent(event);
        return;
    }
    event->accept();
    onWheel(event->angleDelta(), event->modifiers().testFlag(Qt::ControlModifier));
}

}  // namespace kt482
