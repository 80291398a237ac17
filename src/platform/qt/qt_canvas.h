// The preview's canvas on Qt: a retained image of the page, drawn through a
// QtDrawSurface, and the widget that shows it.
//
// The image covers the largest extent set since the canvas was made, but
// never more than the desktop could show: memory follows the screen, not
// the paper. Drawing beyond it is clipped; the page is redrawn at every
// scroll, so what the widget shows is always in the image.
//
// The image is in device pixels of the screen: one point is 96/72
// device-independent pixels, times the screen's device pixel ratio, and the
// image carries that ratio so that Qt paints it at its logical size and the
// page stays sharp on high-density screens. It is Format_RGB32, which draws
// lines many times faster than Format_ARGB32.
//
// The view scale rides on the same ratio: the image's device pixel ratio is
// the screen's times the view scale, so that the painter enlarges the whole
// page (lines, text, pictures) while the surface draws in points as ever,
// and the widget shows one image pixel per device pixel of the screen.
//
// The canvas owns its image and outlives any window: the job keeps drawing
// into it after the preview window has been closed and destroyed. The widget
// therefore holds the canvas; the canvas only knows, through a guarded
// pointer, which widget (if any) shows it, to ask it for a repaint.
#pragma once

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

#include "platform/qt/qt_draw_surface.h"
#include "platform/window_toolkit.h"

namespace kt482 {

class QtCanvasWidget;

class QtCanvas final : public Canvas {
public:
    // The only unit the canvas offers: points.
    static constexpr int16_t kScaleModePoints = 2;
    static constexpr int16_t kFillTransparent = 1;

    // A canvas of width × height points for a screen with the given device
    // pixel ratio, filled with background; lines in draw mode 13 take the
    // foreground colour.
    QtCanvas(float width, float height, qreal devicePixelRatio, const QColor& background, const QColor& foreground);
    ~QtCanvas() override;

    QtCanvas(const QtCanvas&) = delete;
    QtCanvas& operator=(const QtCanvas&) = delete;

    // The retained image. The painter is ended first, so that the image can
    // be shown or copied; the next drawing call begins it again.
    const QImage& image();
    QColor background() const { return background_; }
    qreal devicePixelRatio() const { return devicePixelRatio_; }
    // The widget to repaint after drawing and to re-place after the extent
    // changed; null for none.
    void setView(QtCanvasWidget* view);

    Status Cls() override;
    float ScaleWidth() const override { return width_; }
    float ScaleHeight() const override { return height_; }
    Status ScaleWidth(float points) override;
    Status ScaleHeight(float points) override;
    int16_t ScaleMode() const override { return scaleMode_; }
    Status ScaleMode(int16_t mode) override;
    int16_t FillStyle() const override { return fillStyle_; }
    Status FillStyle(int16_t style) override;
    int16_t DrawMode() const override { return surface_.drawMode(); }
    int16_t DrawWidth() const override { return surface_.drawWidth(); }
    int16_t DrawStyle() const override { return static_cast<int16_t>(surface_.drawStyle()); }
    Status ColoredLine(float x1, float y1, float x2, float y2, uint32_t rgb) override;
    double ViewScale() const override { return viewScale_; }
    Status ViewScale(double scale) override;

    Status FontName(std::string_view face) override { return surface_.FontName(face); }
    Status FontSize(float points) override { return surface_.FontSize(points); }
    float FontSize() const override { return surface_.FontSize(); }
    Status FontBold(bool bold) override { return surface_.FontBold(bold); }
    Status FontUnderline(bool underline) override { return surface_.FontUnderline(underline); }
    Status CurrentX(float x) override { return surface_.CurrentX(x); }
    float CurrentX() const override { return surface_.CurrentX(); }
    Status CurrentY(float y) override { return surface_.CurrentY(y); }
    Status Print(std::string_view text, LineEnd end) override;
    float TextWidth(std::string_view text) override { return surface_.TextWidth(text); }
    Status DrawMode(int16_t mode) override { return surface_.DrawMode(mode); }
    Status DrawWidth(int16_t pixels) override { return surface_.DrawWidth(pixels); }
    Status DrawStyle(int16_t style) override { return surface_.DrawStyle(style); }
    Status Line(float x1, float y1, float x2, float y2) override;
    Status Color(uint32_t rgb) override { return surface_.Color(rgb); }
    Status FillRect(float x, float y, float width, float height) override;
    Status Image(float x, float y, float width, float height, const ImagePixels& picture) override;

private:
    // Device pixels an extent of points takes, rounded up.
    int pixels(float points) const;
    // The most device pixels of the image a screen can show.
    QSize largestShown() const;
    // Makes the image cover the extent as far as it can be shown; new area
    // gets the background.
    Status cover();
    // Begins the painter on the image if it is not active.
    Status painting();
    void repaintView();
    void extentChanged();

    qreal devicePixelRatio_;
    double viewScale_ = 1;
    QColor background_;
    QImage image_;
    QtDrawSurface surface_;
    float width_;
    float height_;
    int16_t scaleMode_ = kScaleModePoints;
    int16_t fillStyle_ = kFillTransparent;
    QPointer<QtCanvasWidget> view_;
};

// Shows a canvas's image from its top left corner, an image pixel to a
// device pixel of the screen; where the image does not reach, the background
// shows.
class QtCanvasWidget final : public QWidget {
public:
    QtCanvasWidget(std::shared_ptr<QtCanvas> canvas, QWidget* parent);
    ~QtCanvasWidget() override;

    const std::shared_ptr<QtCanvas>& canvas() const { return canvas_; }
    // Called when the canvas's extent changed, so that the owner can give
    // the widget its new size.
    std::function<void()> onExtentChanged;
    // Called for the wheel turned over the widget: its angle in eighths of
    // a degree, and whether Ctrl was held.
    std::function<void(QPoint delta, bool zoom)> onWheel;

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    std::shared_ptr<QtCanvas> canvas_;
};

}  // namespace kt482
