// The window toolkit behind the preview: one modal window with its controls,
// a canvas that keeps what is drawn on it, the busy pointer. Positions and
// sizes are in points, the window's outer size in twips (20 to the point).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "kt482/draw_surface.h"
#include "kt482/failure.h"

namespace kt482 {

// The controls of the preview window, in their creation order.
enum class PreviewControl {
    CUR_PAGE,   // text box, at most 4 characters: the page shown
    VSCROL,     // vertical scroll bar
    Settings,   // button "プリンタ設定"
    HSCROL,     // horizontal scroll bar
    DATA,       // the canvas
    BOTOM,      // button "＞|"
    NEXT,       // button "＞"
    PREV,       // button "＜"
    TOP,        // button "|＜"
    ZOOM,       // editable combo box: zoom in percent
    Close,      // button "終 了"
    Print,      // button "印　刷"
    LAST_PAGE,  // label "/" and the last page
    Label3,     // label "％"
    VIEW,       // label: the view scale, apart from the zoom box's print magnification
};

struct ControlRect {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
};

// The canvas: a drawing surface in points whose image is retained. Its
// extent is the canvas control's size; the retained image covers the largest
// extent set as far as the screen could show it (drawing beyond is lost), and
// the control shows it from its top left corner.
//
// The view scale enlarges or reduces everything the canvas shows, as a
// magnifying glass over the page would: a point drawn takes view scale
// points of the window. The extent stays in drawing points, so the control
// is extent × view scale points of the window. Nothing drawn depends on the
// view scale; it is the screen's business alone and never reaches a printer.
class Canvas : public DrawSurface {
public:
    // Fills the whole image with the window background colour.
    virtual Status Cls() = 0;
    virtual float ScaleWidth() const = 0;
    virtual float ScaleHeight() const = 0;
    virtual Status ScaleWidth(float points) = 0;
    virtual Status ScaleHeight(float points) = 0;
    // 2 points; the only unit the canvas offers.
    virtual int16_t ScaleMode() const = 0;
    virtual Status ScaleMode(int16_t mode) = 0;
    // 1 transparent.
    virtual int16_t FillStyle() const = 0;
    virtual Status FillStyle(int16_t style) = 0;
    virtual int16_t DrawMode() const = 0;
    virtual int16_t DrawWidth() const = 0;
    virtual int16_t DrawStyle() const = 0;
    using DrawSurface::DrawMode;
    using DrawSurface::DrawStyle;
    using DrawSurface::DrawWidth;
    // A line in a colour (0xRRGGBB) with the current width and style.
    virtual Status ColoredLine(float x1, float y1, float x2, float y2, uint32_t rgb) = 0;
    // 1 shows the page at its size. Changing it clears the image; the caller
    // redraws. Fails with 380 for a scale that is not a positive number.
    virtual double ViewScale() const = 0;
    virtual Status ViewScale(double scale) = 0;
};

// What the window's keyboard shortcuts and the canvas's context menu ask
// for.
enum class PreviewCommand {
    FirstPage,
    PreviousPage,
    NextPage,
    LastPage,
    ScrollUp,
    ScrollDown,
    ScrollLeft,
    ScrollRight,
    ZoomIn,
    ZoomOut,
    ActualSize,
    FitWidth,
    FitPage,
    Print,
    SaveAsPdf,
    Close,
};

// The wheel's unit: a notch is 120 eighths of a degree.
inline constexpr int kWheelNotch = 120;

// The handlers of the preview window; the toolkit calls them on the caller's
// thread, one at a time.
class PreviewWindow;

class PreviewWindowEvents {
public:
    virtual ~PreviewWindowEvents() = default;
    // The window the events come from; called once, before Form_Load.
    virtual void Attach(PreviewWindow& window) = 0;
    virtual void Form_Load() = 0;
    virtual void Form_Resize() = 0;
    virtual void TOP_Click() = 0;
    virtual void PREV_Click() = 0;
    virtual void NEXT_Click() = 0;
    virtual void BOTOM_Click() = 0;
    virtual void Print_Click() = 0;
    virtual void Close_Click() = 0;
    virtual void Settings_Click() = 0;
    virtual void CUR_PAGE_GotFocus() = 0;
    virtual void CUR_PAGE_KeyPress(int key) = 0;
    virtual void CUR_PAGE_LostFocus() = 0;
    virtual void HSCROL_Change() = 0;
    virtual void VSCROL_Change() = 0;
    virtual void ZOOM_Click() = 0;
    virtual void ZOOM_KeyPress(int key) = 0;
    virtual void ZOOM_LostFocus() = 0;
    // A keyboard shortcut or a choice from the canvas's context menu. The
    // shortcuts work wherever the focus is, except for keys the page box or
    // the zoom box use themselves while they have it.
    virtual void Command(PreviewCommand command) = 0;
    // The wheel turned over the canvas, in eighths of a degree (positive:
    // away from the user, or to the left); zoom when Ctrl was held.
    virtual void DATA_Wheel(int delta_x, int delta_y, bool zoom) = 0;
};

// The outer size a window can take on its screen, in twips.
struct OuterSize {
    int width = 0;
    int height = 0;
};

inline constexpr int kKeyEnter = 13;
inline constexpr int kMessageInformation = 64;

class PreviewWindow {
public:
    virtual ~PreviewWindow() = default;

    virtual ControlRect geometry(PreviewControl control) const = 0;
    virtual void set_left(PreviewControl control, float points) = 0;
    virtual void set_top(PreviewControl control, float points) = 0;
    virtual void set_width(PreviewControl control, float points) = 0;
    virtual void set_height(PreviewControl control, float points) = 0;

    // The window's outer size in twips. Every change is followed by a resize
    // event, also one made by the resize handler itself.
    virtual int outer_width() const = 0;
    virtual int outer_height() const = 0;
    virtual void set_outer_width(int twips) = 0;
    virtual void set_outer_height(int twips) = 0;

    // Text of a text box or combo box, caption of a label or button (UTF-8).
    virtual std::string text(PreviewControl control) const = 0;
    virtual void set_text(PreviewControl control, const std::string& text) = 0;
    virtual void select_text(PreviewControl control, int start, int length) = 0;
    // Moves the focus; the lost-focus handler of the control left runs.
    virtual void set_focus(PreviewControl control) = 0;

    virtual void set_scroll_range(PreviewControl bar, int minimum, int maximum, int small_change,
                                  int large_change) = 0;
    virtual int scroll_value(PreviewControl bar) const = 0;
    // Moves a bar's thumb without a change event: the view was moved by
    // other means and the bar only follows.
    virtual void show_scroll_value(PreviewControl bar, int value) = 0;

    // The largest outer size the window can take on the screen it is on.
    virtual OuterSize available_outer_size() const = 0;

    // Asks the user for a PDF file to write, starting at suggested_name;
    // empty when the user cancels.
    virtual std::string choose_pdf_file(const std::string& suggested_name) = 0;
    // Progress of a long run: done of total pages. A run that goes on for
    // more than about half a second shows it in a modal dialog with a cancel
    // button, and the window keeps answering meanwhile. False once the user
    // has cancelled. end_progress() takes the dialog away.
    virtual bool show_progress(int done, int total) = 0;
    virtual void end_progress() = 0;

    virtual std::shared_ptr<Canvas> canvas() = 0;

    // The application's mouse pointer: busy (hourglass) or the default.
    virtual void set_busy(bool busy) = 0;

    // Shows the window modally without an owner; returns when it has been
    // closed. Fails at once, without waiting, when nobody can see it.
    virtual Status show_modal() = 0;
    // Closes the window; a running modal show returns.
    virtual void close() = 0;
};

class WindowToolkit {
public:
    virtual ~WindowToolkit() = default;

    // Creates (loads) the preview window: the controls exist with their
    // initial properties, events.Attach() and then events.Form_Load() have run.
    virtual Result<std::unique_ptr<PreviewWindow>> create_preview_window(PreviewWindowEvents& events) = 0;
};

}  // namespace kt482
