// The preview window on Qt widgets: a modal QDialog without an owner, with
// its controls placed absolutely, in points.
//
// Points and pixels. The window's unit is the point, and one point is 96/72
// of Qt's device-independent pixels whatever the screen's logical DPI says;
// Qt scales those pixels to a high-density screen by itself. Positions and
// sizes are kept as set, as floats, and read back exactly; the widgets get
// them rounded to whole pixels edge by edge, so that controls which touch in
// points touch on the screen. The controls' font, "ＭＳ ゴシック" 9 pt, is sized
// in the same pixels (12) so that text keeps its proportion to the controls.
//
// The outer size. The window's outer size in twips is its client area (the
// dialog's own size) and a frame of 8 × 20 points around it: the allowance
// the window's layout makes for the frame, so that the layout fills the
// client area exactly. The real frame differs from one window manager to the
// next, is not known before the window is shown, and not at all offscreen.
// A size set is kept in twips and reads back as set; a size from elsewhere
// (the user dragging the frame, the window manager) reads back as its
// pixels × 15 and the frame.
//
// Opening. The window opens centred over the host's active window, if there
// is one, else on its screen, and within the screen's available area.
//
// Keys, wheel and menu. Window shortcuts run Command(): PageDown and PageUp
// page, Ctrl+Home and Ctrl+End go to the first and last page, the arrow
// keys scroll, Ctrl++ and Ctrl+- step the zoom, Ctrl+0 is 100 %, Ctrl+P
// prints, Escape closes. A key the focused control uses itself (arrows and
// Home/End in the page box's and zoom box's text, Up/Down and PageUp/PageDown
// in the zoom list, the arrows and page keys of a scroll bar) stays with it.
// The wheel over the canvas runs DATA_Wheel, and so does the wheel over a
// scroll bar (across for the horizontal one); the canvas's context menu
// offers fit width, whole page and saving as PDF.
//
// Progress. show_progress() shows a modal QProgressDialog once a run has
// taken half a second (see set_progress_delay for tests); it lets the
// application's events through at every page.
//
// Events. Attach and Form_Load run once in create_preview_window, followed
// by the first Form_Resize, which also answers any size Form_Load set. Every
// later change of the outer size runs Form_Resize; one made while
// Form_Resize is running (a minimum enforced, say) runs it again right after
// the running one returns, instead of inside it. A resize handler that
// changes the size every time is stopped after a few rounds.
//
// Showing. show_modal() runs the dialog's modal loop and fails at once,
// without showing anything, where nobody could see the window: no display
// named, or Qt on its offscreen or minimal platform (see set_preview_driver
// for tests). Enter does nothing to the window itself, Escape runs the Close
// command; its close box closes it without a handler.
//
// Focus. The window tracks which control has the focus itself, so that the
// focus handlers run in the same order whether or not Qt can deliver focus
// events at that moment (a hidden or inactive window gets none). set_focus()
// runs the lost-focus handler of the control left, then the got-focus
// handler of the one entered, both before it returns; then it hands the
// focus to Qt. Focus moved by the user (click, Tab) goes the same way when
// Qt reports it. Focus leaving the window altogether runs no handler.
#pragma once

#include <QMetaObject>

#include <array>
#include <functional>
#include <memory>

#include "platform/window_toolkit.h"

class QDialog;
class QImage;
class QMenu;
class QProgressDialog;
class QSize;
class QWidget;

namespace kt482 {

class QtCanvas;
class QtCanvasWidget;

inline constexpr int kPreviewControlCount = static_cast<int>(PreviewControl::VIEW) + 1;

class QtPreviewWindow final : public PreviewWindow {
public:
    // Builds the dialog and its controls; the events hear of the window in
    // load().
    explicit QtPreviewWindow(PreviewWindowEvents& events);
    ~QtPreviewWindow() override;

    QtPreviewWindow(const QtPreviewWindow&) = delete;
    QtPreviewWindow& operator=(const QtPreviewWindow&) = delete;

    // Attaches the events to the window, runs Form_Load and the first
    // Form_Resize.
    void load();

    ControlRect geometry(PreviewControl control) const override;
    void set_left(PreviewControl control, float points) override;
    void set_top(PreviewControl control, float points) override;
    void set_width(PreviewControl control, float points) override;
    void set_height(PreviewControl control, float points) override;

    int outer_width() const override { return outerWidth_; }
    int outer_height() const override { return outerHeight_; }
    void set_outer_width(int twips) override;
    void set_outer_height(int twips) override;

    std::string text(PreviewControl control) const override;
    void set_text(PreviewControl control, const std::string& text) override;
    void select_text(PreviewControl control, int start, int length) override;
    void set_focus(PreviewControl control) override;

    void set_scroll_range(PreviewControl bar, int minimum, int maximum, int small_change,
                          int large_change) override;
    int scroll_value(PreviewControl bar) const override;
    void show_scroll_value(PreviewControl bar, int value) override;

    OuterSize available_outer_size() const override;
    std::string choose_pdf_file(const std::string& suggested_name) override;
    bool show_progress(int done, int total) override;
    void end_progress() override;

    std::shared_ptr<Canvas> canvas() override;

    void set_busy(bool busy) override;

    Status show_modal() override;
    void close() override;

    QDialog* dialog() const;
    // The window whose dialog this is; null for any other dialog.
    static QtPreviewWindow* of(QDialog* dialog);
    QWidget* widget(PreviewControl control) const { return widgets_[index(control)]; }
    // The control that has the focus as far as the handlers know.
    PreviewControl focused() const { return focused_; }
    // The canvas's context menu.
    QMenu* contextMenu() const { return menu_; }
    // The progress dialog of the run going on; null when there is none.
    QProgressDialog* progressDialog() const { return progress_; }

private:
    class Dialog;
    class PageBox;
    class ZoomBox;

    static constexpr int index(PreviewControl control) { return static_cast<int>(control); }

    void createControls();
    void createShortcuts();
    void createContextMenu();
    void placeForShowing();
    void place(PreviewControl control);
    void setOuterSize(int widthTwips, int heightTwips);
    void dialogResized(const QSize& size);
    void resized();
    void focusChanged(QWidget* now);
    void moveFocus(PreviewControl target);
    bool controlOf(const QWidget* widget, PreviewControl& control) const;

    PreviewWindowEvents& events_;
    std::unique_ptr<Dialog> dialog_;
    std::array<QWidget*, kPreviewControlCount> widgets_{};
    std::array<ControlRect, kPreviewControlCount> rects_{};
    std::shared_ptr<QtCanvas> canvas_;
    QtCanvasWidget* canvasWidget_ = nullptr;
    QMetaObject::Connection focusConnection_;
    QMenu* menu_ = nullptr;
    QProgressDialog* progress_ = nullptr;

    int outerWidth_ = 0;   // twips
    int outerHeight_ = 0;  // twips
    // Whether size changes wait for the first Form_Resize after Form_Load.
    bool loading_ = true;
    bool inResize_ = false;
    bool resizePending_ = false;
    // Set while the window itself resizes the dialog, whose resize event
    // then has nothing new to report.
    bool applyingSize_ = false;
    PreviewControl focused_ = PreviewControl::Print;
    bool busy_ = false;
};

class QtWindowToolkit final : public WindowToolkit {
public:
    Result<std::unique_ptr<PreviewWindow>> create_preview_window(PreviewWindowEvents& events) override;
};

std::unique_ptr<WindowToolkit> make_qt_window_toolkit();

// The dialog of a preview window made by the Qt toolkit, for dialogs it owns;
// null for any other window.
QWidget* qtPreviewDialog(PreviewWindow* window);

// A stand-in for the user, for tests and screenshots: while a driver is set,
// show_modal() runs the modal loop even where nobody can see the window, and
// calls the driver with the dialog once the loop has started. The driver
// clicks, types and resizes as it likes and must in the end close the window
// (directly or through a handler, at once or from a timer). An empty
// function removes the driver.
void set_preview_driver(std::function<void(QDialog&)> driver);

// How long a run goes before its progress shows, in milliseconds (500); for
// tests.
void set_progress_delay(int milliseconds);

}  // namespace kt482
