#include "preview/v_size_set.h"

#include "job/error_trap.h"
#include "job/job_state.h"
#include "platform/services.h"
#include "preview/preview_handlers.h"
#include "preview/preview_state.h"
#include "print/page_setup.h"
#include "base/paper_table.h"
#include "render/grid_coordinates.h"

namespace kt482 {
namespace {

float millimetres(const PaperEntry& entry, double value)
{
    return entry.unit == PaperUnit::Inch ? InchToMm(static_cast<float>(value)) : static_cast<float>(value);
}

void create_window_if_none(ObjectFields& self)
{
    PreviewState& p = preview();
    if (p.window)
        return;
    p.owner = &self;
    p.handlers = std::make_unique<PreviewHandlers>();
    p.window = must(window_toolkit().create_preview_window(*p.handlers));
}

}  // namespace

void V_Size_Set(ObjectFields& self, int16_t P_Size, int16_t P_Orient, float P_Height, float P_Width)
{
    JobState& s = job();
    s.PreviewCanvas = nullptr;
    self.P_PREVIEW = nullptr;
    run_trapped(self, "V_Size_Set", [&] {
        // Unlike the printing methods, 0 means A4 landscape here.
        s.PaperSize = P_Size != 0 ? P_Size : 9;
        s.Orientation = P_Orient != 0 ? P_Orient : kOrientationLandscape;
        if (s.PaperSize == kPaperUserDefined)
            apply_paper_arguments(0, 0, P_Height, P_Width);
        create_window_if_none(self);
        s.PreviewCanvas = preview().window->canvas();
        self.P_PREVIEW = s.PreviewCanvas;
        s.OutputTarget = OutputTarget::Preview;
        if (s.PaperSize == kPaperUserDefined)
            return;
        const bool laid_out = ZZ110_FRM_Layout();
        self.Answer = laid_out;
        if (!laid_out)
            self.Answer = message_box().show(kPaperRefusedMessage, kMessageInformation, "KT482_Print : V_Size_Set");
    });
}

bool ZZ110_FRM_Layout()
{
    enter("ZZ110_FRM_Layout");
    JobState& s = job();
    const auto entry = paper_entry(s.PaperSize);
    if (!entry)
        return false;
    const float a = millimetres(*entry, entry->width);
    const float b = millimetres(*entry, entry->height);
    if (!(a > 0))
        return false;
    const bool landscape = s.Orientation == kOrientationLandscape || s.Orientation == 0;
    s.PageHeight = MmToPoints(landscape ? a : b);
    s.PageWidth = MmToPoints(landscape ? b : a);
    return true;
}

}  // namespace kt482
