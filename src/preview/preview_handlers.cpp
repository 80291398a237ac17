#include "preview/preview_handlers.h"

#include <cmath>
#include <string>

#include "job/error_trap.h"
#include "job/job_state.h"
#include "job/number_text.h"
#include "platform/services.h"
#include "preview/preview_display.h"
#include "preview/preview_sizing.h"
#include "preview/preview_state.h"
#include "print/page_setup.h"
#include "print/paper_table.h"
#include "print/print_dialog_flow.h"
#include "print/print_run.h"
#include "render/grid_coordinates.h"

namespace kt482 {
namespace {

constexpr int kMinimumWidthTwips = 5500;
constexpr int kMinimumHeightTwips = 2000;

ObjectFields& owner()
{
    thread_local ObjectFields none;
    PreviewState& p = preview();
    return p.owner ? *p.owner : none;
}

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

// The part of the page that does not fit, scrolled to value percent.
float scroll_offset(float page_extent, float canvas_extent, int value)
{
    return static_cast<float>(round_half_up((static_cast<double>(page_extent) - canvas_extent) * value / 100));
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
        const ControlRect data = w.geometry(PreviewControl::DATA);
        double available_height = height / 20.0 - data.top - w.geometry(PreviewControl::HSCROL).height - 20;
        double available_width = width / 20.0 - data.left - w.geometry(PreviewControl::VSCROL).width - 8;
        // The canvas never shows more than the rest of the page.
        const float rest_width = s.PageWidth - s.ScrollX;
        const float rest_height = s.PageHeight - s.ScrollY;
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
    handler("印刷_Click", [&] {
        PreviewWindow& w = window();
        w.set_busy(true);
        ZZ100_Device("");
        ZZ100_PRT_Layout();
        JobState& s = job();
        s.ScrollX = 0;
        s.ScrollY = 0;
        ZZ100_Print(owner(), s.OutStartP, s.OutEndP);
        ZZ100_EndDoc();
        w.set_busy(false);
        w.close();
    });
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
        s.ScrollX = scroll_offset(s.PageWidth, w.geometry(PreviewControl::DATA).width,
                                  w.scroll_value(PreviewControl::HSCROL));
        ZZ110_Preview(preview().PreviewPage);
    });
}

void PreviewHandlers::VSCROL_Change() noexcept
{
    handler("VSCROL_Change", [&] {
        PreviewWindow& w = window();
        JobState& s = job();
        s.ScrollY = scroll_offset(s.PageHeight, w.geometry(PreviewControl::DATA).height,
                                  w.scroll_value(PreviewControl::VSCROL));
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
        if (zoom > 500) {
            message_box().show(kZoomTooLargeMessage, kMessageExclamationOk, kZoomTitle);
            w.set_text(PreviewControl::ZOOM, zoom_text());
            return;
        }
        if (zoom < 20) {
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

}  // namespace kt482
