#include "api/class_lifecycle.h"

#include "base/units.h"
#include "job/error_trap.h"
#include "job/job_state.h"
#include "job/printer_fields.h"
#include "platform/services.h"
#include "preview/preview_state.h"

namespace kt482 {
namespace {

void take_printer_settings(JobState& s, const PrinterSettings& p)
{
    take_printer_fields(s, p);
    s.PRT_Copy = p.copies;
    s.PrinterOption = p.option;
    s.PageHeight = static_cast<float>(points_from_twips(p.page_height_twips));
    s.PageWidth = static_cast<float>(points_from_twips(p.page_width_twips));
    s.FontName = p.font_name;
    s.FontSize = p.font_size;
    s.FontBold = p.font_bold;
}

}  // namespace

void Class_Initialize(ObjectFields& self)
{
    run_trapped(self, "Class_Initialize", [&] {
        JobState& s = job();
        auto settings = printer_system().default_printer_settings();
        if (settings)
            take_printer_settings(s, *settings);
        set_fixed_defaults(s);
        if (!settings)
            raise(settings.failure());
    });
}

void Class_Terminate(ObjectFields& self)
{
    if (!job_state_alive())
        return;
    JobState& s = job();
    enter("Class_Terminate");
    s.PrinterObject.reset();
    // A preview window made by this object would report to it: it goes too.
    forget_preview_owner(self);
}

}  // namespace kt482
