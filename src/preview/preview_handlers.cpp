#include "preview/preview_handlers.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "job/error_trap.h"
#include "job/job_state.h"
#include "job/number_text.h"
#include "platform/services.h"
#include "preview/v_preview.h"
#include "preview/v_size_set.h"
#include "preview/preview_state.h"
#include "preview/preview_geometry.h"
#include "preview/preview_printing.h"
#include "print/page_setup.h"
#include "base/paper_table.h"
#include "print/print_dialog_flow.h"
#include "render/grid_coordinates.h"

namespace kt482 {
namespace {

constexpr int kMinimumWidthTwips = 5500;
constexpr int kMinimumHeightTwips = 2000;

// A handler's failure is shown under the window's own title prefix; the
// box's result is not used. Nothing is thrown into the window's event loop.
template <class Body>
void guarded(Body&& body) noexcept
{
    trap(std::forward<Body>(body),
         [](const Failure& failure) { (void)show_failure(failure, kPreviewTitlePrefix); });
}

template <class Body>
void handler(std::string_view name, Body&& body) noexcept
{
    enter(name);
    guarded(std::forward<Body>(body));
}

// Redraws with the busy pointer; the pointer stays busy after a failure
// until a later redraw resets it.
void redraw_busy(PreviewWindow& w, int16_t page)
{
    w.set_busy(true);
    ZZ110_Preview(page);
    w.set_busy(false);
}

std::string zoom_text()
{
    return std::to_string(static_cast<long long>(round_half_up(static_cast<double>(job().Bairitu) * 100)));
}

std::string view_text(double scale)
{
    return "表示 " + std::to_string(static_cast<long long>(round_half_up(scale * 100))) + "%";
}

void set_top_below_canvas(PreviewWindow& w, PreviewControl control)
{
    const ControlRect data = w.geometry(PreviewControl::DATA);
    w.set_top(control, data.height + data.top + 1);
}

}  // namespace

PreviewWindow& PreviewHandlers::window()
{
    if (!window_)
        raise(Failure(ErrorNumber::ObjectNotSet));
    return *window_;
}

void PreviewHandlers::Form_Load() noexcept
{
    handler("Form_Load", [&] {
        PreviewWindow& w = window();
        for (PreviewControl bar : {PreviewControl::HSCROL, PreviewControl::VSCROL})
            w.set_scroll_range(bar, 0, 100, 10, 50);
        w.set_text(PreviewControl::ZOOM, zoom_text());
    });
}

void PreviewHandlers::Form_Resize() noexcept
{
    handler("Form_Resize", [&] {
        PreviewWindow& w = window();
        const int width = w.outer_width();
        const int height = w.outer_height();
        // Below the minimum the window is set back; the resize that follows
        // lays it out.
        if (width < kMinimumWidthTwips) {
            w.set_outer_width(kMinimumWidthTwips);
            return;
        }
        if (height < kMinimumHeightTwips) {
            w.set_outer_height(kMinimumHeightTwips);
            return;
        }
        const JobState& s = job();
        const CanvasRoom room = canvas_room(w, width, height);
        double available_height = room.height;
        double available_width = room.width;
        // The canvas never shows more than the rest of the page.
        const double scale = view_scale();
        const auto rest_width = static_cast<float>((s.PageWidth - s.ScrollX) * scale);
        const auto rest_height = static_cast<float>((s.PageHeight - s.ScrollY) * scale);
        if (!(rest_width > available_width))
            available_width = rest_width;
        if (!(rest_height > available_height))
            available_height = rest_height;
        w.set_height(PreviewControl::DATA, static_cast<float>(available_height));
        w.set_width(PreviewControl::DATA, static_cast<float>(available_width));

        for (PreviewControl control : {PreviewControl::TOP, PreviewControl::PREV, PreviewControl::LAST_PAGE,
                                       PreviewControl::CUR_PAGE, PreviewControl::NEXT, PreviewControl::BOTOM,
                                       PreviewControl::HSCROL})
            set_top_below_canvas(w, control);
        const ControlRect canvas = w.geometry(PreviewControl::DATA);
        // A canvas narrower than the bottom bar leaves no room for the bar.
        const float bar_width = canvas.width + canvas.left - w.geometry(PreviewControl::HSCROL).left;
        w.set_width(PreviewControl::HSCROL, bar_width > 0 ? bar_width : 0);
        w.set_left(PreviewControl::VSCROL, canvas.width + canvas.left + 1);
        w.set_height(PreviewControl::VSCROL, canvas.height);
    });
}

void PreviewHandlers::TOP_Click() noexcept
{
    handler("TOP_Click", [&] {
        const JobState& s = job();
        if (preview().PreviewPage == s.OutStartP)
            return;
        redraw_busy(window(), s.OutStartP);
    });
}

void PreviewHandlers::PREV_Click() noexcept
{
    handler("PREV_Click", [&] {
        const int16_t page = preview().PreviewPage;
        if (page <= job().OutStartP)
            return;
        redraw_busy(window(), static_cast<int16_t>(page - 1));
    });
}

void PreviewHandlers::NEXT_Click() noexcept
{
    handler("NEXT_Click", [&] {
        const int16_t page = preview().PreviewPage;
        if (page >= job().OutEndP)
            return;
        redraw_busy(window(), static_cast<int16_t>(page + 1));
    });
}

void PreviewHandlers::BOTOM_Click() noexcept
{
    handler("BOTOM_Click", [&] {
        const JobState& s = job();
        if (preview().PreviewPage == s.OutEndP)
            return;
        redraw_busy(window(), s.OutEndP);
    });
}

void PreviewHandlers::Print_Click() noexcept
{
    handler("印刷_Click", [&] { print_from_preview(window()); });
}

void PreviewHandlers::Close_Click() noexcept
{
    handler("終了_Click", [&] { window().close(); });
}

void PreviewHandlers::Settings_Click() noexcept
{
    handler("設定_Click", [&] {
        PreviewWindow& w = window();
        ZZ110_ShowPrint(&w, 0, kPrintSetupFlags);
        const JobState& s = job();
        if (s.PaperSize != kPaperUserDefined && !ZZ110_FRM_Layout()) {
            message_box().show(kPaperRefusedMessage, kMessageInformation, "KT482_Print : V_Size_Set");
            return;
        }
        redraw_busy(w, preview().PreviewPage);
    });
}

void PreviewHandlers::CUR_PAGE_GotFocus() noexcept
{
    guarded([&] {
        PreviewWindow* w = window_;
        if (!w)
            return;
        SavedPageText = w->text(PreviewControl::CUR_PAGE);
        w->select_text(PreviewControl::CUR_PAGE, 0, 4);
    });
}

void PreviewHandlers::CUR_PAGE_KeyPress(int key) noexcept
{
    guarded([&] {
        PreviewWindow* w = window_;
        if (w && key == kKeyEnter)
            w->set_focus(PreviewControl::Print);
    });
}

void PreviewHandlers::CUR_PAGE_LostFocus() noexcept
{
    bool unchanged = true;
    guarded([&] { unchanged = !window_ || window_->text(PreviewControl::CUR_PAGE) == SavedPageText; });
    if (unchanged)
        return;
    handler("CUR_PAGE_LostFocus", [&] {
        PreviewWindow& w = window();
        const std::string text = w.text(PreviewControl::CUR_PAGE);
        SavedPageText = text;
        const auto number = parse_number_text(text);
        if (!number) {
            message_box().show(kNotANumberMessage, kMessageExclamationOk, kPageBoxTitle);
            w.set_focus(PreviewControl::CUR_PAGE);
            return;
        }
        const int16_t page = must(to_i2(*number));
        const JobState& s = job();
        if (page < s.OutStartP || page > s.OutEndP) {
            message_box().show(kNoSuchPageMessage, kMessageExclamationOk, kPageBoxTitle);
            w.set_focus(PreviewControl::CUR_PAGE);
            return;
        }
        redraw_busy(w, page);
    });
}

void PreviewHandlers::HSCROL_Change() noexcept
{
    handler("HSCROL_Change", [&] {
        PreviewWindow& w = window();
        JobState& s = job();
        s.ScrollX = scroll_offset(s.PageWidth, shown_width(), w.scroll_value(PreviewControl::HSCROL));
        ZZ110_Preview(preview().PreviewPage);
    });
}

void PreviewHandlers::VSCROL_Change() noexcept
{
    handler("VSCROL_Change", [&] {
        PreviewWindow& w = window();
        JobState& s = job();
        s.ScrollY = scroll_offset(s.PageHeight, shown_height(), w.scroll_value(PreviewControl::VSCROL));
        ZZ110_Preview(preview().PreviewPage);
    });
}

void PreviewHandlers::ZOOM_Click() noexcept
{
    handler("ZOOM_Click", [&] { window().set_focus(PreviewControl::Print); });
}

void PreviewHandlers::ZOOM_KeyPress(int key) noexcept
{
    guarded([&] {
        PreviewWindow* w = window_;
        if (w && key == kKeyEnter)
            w->set_focus(PreviewControl::Print);
    });
}

void PreviewHandlers::ZOOM_LostFocus() noexcept
{
    handler("ZOOM_LostFocus", [&] {
        PreviewWindow& w = window();
        const auto number = parse_number_text(w.text(PreviewControl::ZOOM));
        if (!number)
            return;
        const float zoom = must(to_r4(*number));
        if (zoom > kMaximumZoom) {
            message_box().show(kZoomTooLargeMessage, kMessageExclamationOk, kZoomTitle);
            w.set_text(PreviewControl::ZOOM, zoom_text());
            return;
        }
        if (zoom < kMinimumZoom) {
            message_box().show(kZoomTooSmallMessage, kMessageExclamationOk, kZoomTitle);
            w.set_text(PreviewControl::ZOOM, zoom_text());
            return;
        }
        w.set_busy(true);
        job().Bairitu = zoom / 100;
        ZZ110_Preview(preview().PreviewPage);
        w.set_busy(false);
    });
}

// --- Keyboard, wheel and the canvas's context menu

void PreviewHandlers::Command(PreviewCommand command) noexcept
{
    switch (command) {
    case PreviewCommand::FirstPage: TOP_Click(); return;
    case PreviewCommand::PreviousPage: PREV_Click(); return;
    case PreviewCommand::NextPage: NEXT_Click(); return;
    case PreviewCommand::LastPage: BOTOM_Click(); return;
    case PreviewCommand::Print:
        // As a click: the box being left takes its text first.
        if (window_)
            window_->set_focus(PreviewControl::Print);
        Print_Click();
        return;
    case PreviewCommand::Close: Close_Click(); return;
    case PreviewCommand::SaveAsPdf: handler("PDF_Click", [&] { save_preview_as_pdf(window()); }); return;
    case PreviewCommand::FitWidth: handler("FitWidth_Click", [&] { fit(Fit::Width); }); return;
    case PreviewCommand::FitPage: handler("FitPage_Click", [&] { fit(Fit::WholePage); }); return;
    case PreviewCommand::ZoomIn:
    case PreviewCommand::ZoomOut:
        handler("VIEW_Step", [&] {
            view_at(zoom_step(view_scale() * 100, command == PreviewCommand::ZoomIn ? 1 : -1));
        });
        return;
    case PreviewCommand::ActualSize: handler("VIEW_Step", [&] { view_at(100); }); return;
    case PreviewCommand::ScrollUp:
    case PreviewCommand::ScrollDown:
    case PreviewCommand::ScrollLeft:
    case PreviewCommand::ScrollRight:
        handler("DATA_Scroll", [&] {
            const double step = kScrollLinePoints;
            const double dx = command == PreviewCommand::ScrollLeft ? -step
                              : command == PreviewCommand::ScrollRight ? step
                                                                       : 0;
            const double dy = command == PreviewCommand::ScrollUp ? -step
                              : command == PreviewCommand::ScrollDown ? step
                                                                      : 0;
            scroll_by(dx, dy);
        });
        return;
    }
}

void PreviewHandlers::DATA_Wheel(int delta_x, int delta_y, bool zoom) noexcept
{
    if (zoom) {
        // A fine-grained wheel reports parts of a notch: a step per notch.
        zoomWheel_ += delta_y;
        const int steps = zoomWheel_ / kWheelNotch;
        zoomWheel_ -= steps * kWheelNotch;
        if (steps == 0)
            return;
        handler("VIEW_Wheel", [&] {
            double percent = view_scale() * 100;
            for (int i = 0; i < std::abs(steps); ++i)
                percent = zoom_step(percent, steps);
            view_at(percent);
        });
        return;
    }
    handler("DATA_Wheel", [&] {
        // The wheel moves the window's points; the offsets are the page's.
        const double points_per_unit = kScrollLinePoints * kLinesPerNotch / kWheelNotch / view_scale();
        if (scroll_by(-delta_x * points_per_unit, -delta_y * points_per_unit) || delta_y == 0)
            return;
        // At the end of the page a further turn goes on to the next page,
        // at its top, or back to the previous one, at its bottom.
        PreviewWindow& w = window();
        JobState& s = job();
        const int16_t page = preview().PreviewPage;
        if (delta_y < 0 && page < s.OutEndP) {
            s.ScrollY = 0;
            w.show_scroll_value(PreviewControl::VSCROL, 0);
            redraw_busy(w, static_cast<int16_t>(page + 1));
        } else if (delta_y > 0 && page > s.OutStartP) {
            s.ScrollY = scrolled(0, s.PageHeight, s.PageHeight - shown_height());
            w.show_scroll_value(PreviewControl::VSCROL, s.ScrollY > 0 ? 100 : 0);
            redraw_busy(w, static_cast<int16_t>(page - 1));
        }
    });
}

double PreviewHandlers::view_scale()
{
    return window().canvas()->ViewScale();
}

float PreviewHandlers::shown_width()
{
    return static_cast<float>(window().geometry(PreviewControl::DATA).width / view_scale());
}

float PreviewHandlers::shown_height()
{
    return static_cast<float>(window().geometry(PreviewControl::DATA).height / view_scale());
}

// The canvas takes the room the scale gives it; the offsets stay within what
// that room leaves over, and the bars follow them.
void PreviewHandlers::show_at_scale(double scale)
{
    PreviewWindow& w = window();
    JobState& s = job();
    w.set_busy(true);
    check(w.canvas()->ViewScale(scale));
    w.set_text(PreviewControl::VIEW, view_text(scale));
    const CanvasRoom room = canvas_room(w, w.outer_width(), w.outer_height());
    s.ScrollX = scrolled(s.ScrollX, 0, static_cast<float>(s.PageWidth - room.width / scale));
    s.ScrollY = scrolled(s.ScrollY, 0, static_cast<float>(s.PageHeight - room.height / scale));
    Form_Resize();
    w.show_scroll_value(PreviewControl::HSCROL, bar_value(s.ScrollX, s.PageWidth - shown_width()));
    w.show_scroll_value(PreviewControl::VSCROL, bar_value(s.ScrollY, s.PageHeight - shown_height()));
    ZZ110_Preview(preview().PreviewPage);
    w.set_busy(false);
}

// A view scale chosen by the keys or the wheel; nothing happens when it is
// the one already shown. The view keeps its top left corner where the new
// scale leaves room for it, and the print magnification stays as it is.
void PreviewHandlers::view_at(double percent)
{
    const double scale = percent / 100;
    if (scale == view_scale())
        return;
    show_at_scale(scale);
}

// The largest view scale at which the page's width, or the whole page, fits
// the room the window gives the canvas, seen from the page's left (and top).
void PreviewHandlers::fit(Fit to)
{
    const bool whole_page = to == Fit::WholePage;
    PreviewWindow& w = window();
    JobState& s = job();
    const CanvasRoom room = canvas_room(w, w.outer_width(), w.outer_height());
    const int percent = fit_zoom(room.width, room.height, s.PageWidth, whole_page ? s.PageHeight : 0);
    s.ScrollX = 0;
    if (whole_page)
        s.ScrollY = 0;
    show_at_scale(percent / 100.0);
}

bool PreviewHandlers::scroll_by(double dx, double dy)
{
    PreviewWindow& w = window();
    JobState& s = job();
    const float overflow_x = s.PageWidth - shown_width();
    const float overflow_y = s.PageHeight - shown_height();
    const float x = scrolled(s.ScrollX, dx, overflow_x);
    const float y = scrolled(s.ScrollY, dy, overflow_y);
    if (x == s.ScrollX && y == s.ScrollY)
        return false;
    s.ScrollX = x;
    s.ScrollY = y;
    w.show_scroll_value(PreviewControl::HSCROL, bar_value(x, overflow_x));
    w.show_scroll_value(PreviewControl::VSCROL, bar_value(y, overflow_y));
    ZZ110_Preview(preview().PreviewPage);
    return true;
}

}  // namespace kt482
