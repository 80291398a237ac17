#include "preview/v_preview.h"

#include <string>

#include "job/error_trap.h"
#include "job/job_state.h"
#include "preview/preview_state.h"
#include "preview/preview_geometry.h"
#include "render/grid_coordinates.h"
#include "render/page_out.h"
#include "render/render_target.h"

namespace kt482 {
namespace {

constexpr uint32_t kFrameBlue = 0x0000FF;
constexpr double kFrameInset = 14.175;  // 5 mm at 2.835 points per millimetre
constexpr int16_t kScaleModePoints = 2;
constexpr int16_t kFillTransparent = 1;

// The canvas settings the frame changes, kept to be put back.
struct PenSettings {
    int16_t scale_mode;
    int16_t fill_style;
    int16_t draw_mode;
    int16_t draw_width;
    int16_t draw_style;
};

PreviewWindow& window()
{
    PreviewWindow* w = preview().window.get();
    if (!w)
        raise(Failure(ErrorNumber::ObjectNotSet));
    return *w;
}

void draw_frame(Canvas& canvas)
{
    const PenSettings kept{canvas.ScaleMode(), canvas.FillStyle(), canvas.DrawMode(), canvas.DrawWidth(),
                           canvas.DrawStyle()};
    on_target(canvas.ScaleMode(kScaleModePoints));
    on_target(canvas.FillStyle(kFillTransparent));
    on_target(canvas.DrawMode(kDrawModePen));
    on_target(canvas.DrawWidth(1));
    on_target(canvas.DrawStyle(static_cast<int16_t>(LineStyle::Dot)));

    const JobState& s = job();
    const float x1 = ColToX(s, 1);
    const float y1 = RowToY(s, 1);
    const auto x2 = static_cast<float>(round_half_up(canvas.ScaleWidth() - kFrameInset - s.ScrollX));
    const auto y2 = static_cast<float>(round_half_up(canvas.ScaleHeight() - kFrameInset - s.ScrollY));
    on_target(canvas.ColoredLine(x1, y1, x1, y2, kFrameBlue));  // left
    on_target(canvas.ColoredLine(x1, y1, x2, y1, kFrameBlue));  // top
    on_target(canvas.ColoredLine(x1, y2, x2, y2, kFrameBlue));  // bottom
    on_target(canvas.ColoredLine(x2, y1, x2, y2, kFrameBlue));  // right

    on_target(canvas.ScaleMode(kept.scale_mode));
    on_target(canvas.FillStyle(kept.fill_style));
    on_target(canvas.DrawMode(kept.draw_mode));
    on_target(canvas.DrawWidth(kept.draw_width));
    on_target(canvas.DrawStyle(kept.draw_style));
}

// The last four characters of four blanks and the number.
std::string page_box_text(int16_t page)
{
    const std::string text = "    " + std::to_string(page);
    return text.substr(text.size() - 4);
}

}  // namespace

void V_Preview(ObjectFields& self, int16_t P_StartP, int16_t P_EndP)
{
    run_trapped(self, "V_Preview", [&] {
        JobState& s = job();
        if (P_StartP > P_EndP)
            return;
        s.OutStartP = P_StartP >= s.Min_Page && P_StartP != 0 ? P_StartP : s.Min_Page;
        s.OutEndP = P_EndP <= s.Max_Page && P_EndP != 0 ? P_EndP : s.Max_Page;
        if (s.OutStartP > s.OutEndP || s.OutStartP < 1)
            return;
        // Without a window (no V_Size_Set since the last one closed) there
        // is nothing to draw on or show: said once, here, rather than by the
        // drawing and again by the showing.
        PreviewWindow& shown = window();
        s.ScrollX = 0;
        s.ScrollY = 0;
        ZZ110_Preview(s.OutStartP);
        // The window opens wide enough for the page at 100 %, as far as the
        // screen allows; its layout follows in the resize handler.
        const OuterSize size = opening_size(shown, s.PageWidth, s.PageHeight, shown.available_outer_size(),
                                            {shown.outer_width(), shown.outer_height()});
        if (size.width != shown.outer_width())
            shown.set_outer_width(size.width);
        if (size.height != shown.outer_height())
            shown.set_outer_height(size.height);
        enter("V_Preview");
        const Status status = shown.show_modal();
        close_preview_window();
        check(status);
        self.P_PREVIEW = nullptr;
    });
}

void ZZ110_Preview(int16_t page)
{
    PreviewState& p = preview();
    ObjectFields none;
    ObjectFields& owner = p.owner ? *p.owner : none;
    run_trapped(owner, "ZZ110_Preview", [&] {
        JobState& s = job();
        if (page < s.OutStartP || page > s.OutEndP)
            return;
        PreviewWindow& w = window();
        Canvas& canvas = *w.canvas();
        on_target(canvas.Cls());
        const float kept_height = canvas.ScaleHeight();
        const float kept_width = canvas.ScaleWidth();
        on_target(canvas.ScaleHeight(s.PageHeight));
        on_target(canvas.ScaleWidth(s.PageWidth));
        draw_frame(canvas);
        p.PreviewPage = page;
        ZZ100_Page_Out(owner, page);
        on_target(canvas.ScaleHeight(kept_height));
        on_target(canvas.ScaleWidth(kept_width));
        w.set_text(PreviewControl::LAST_PAGE, "/" + std::to_string(s.OutEndP));
        w.set_text(PreviewControl::CUR_PAGE, page_box_text(page));
    });
}

}  // namespace kt482
