#include "print/print_dialog_flow.h"

#include <cmath>

#include "base/paper_table.h"
#include "job/error_trap.h"
#include "job/job_state.h"
#include "job/name_text.h"
#include "job/printer_fields.h"
#include "platform/services.h"
#include "print/page_setup.h"
#include "print/print_run.h"

namespace kt482 {
namespace {

PrintDialogRequest request_from_job(PreviewWindow* owner, uintptr_t owner_window, uint32_t flags)
{
    const JobState& s = job();
    PrintDialogRequest r;
    r.owner = owner;
    r.owner_window = owner_window;
    r.flags = flags;
    give_printer_fields(s, r);
    if (s.PaperSize == kPaperUserDefined) {
        r.page_height = s.PageHeight;
        r.page_width = s.PageWidth;
    }
    r.media_source = s.PRT_Source;
    r.media_type = s.PRT_MediaType;
    r.paper_choices = [](const std::string& device_name) { return printer_system().paper_choices(device_name); };
    return r;
}

// Another printer than the current one brings its driver, port and further
// setting; with several of the same name the last one listed wins.
void take_driver_of_chosen_printer(const std::string& current)
{
    JobState& s = job();
    if (current == s.DeviceName)
        return;
    auto installed = printer_system().installed_printers();
    if (!installed)
        return;
    for (const std::string& name : *installed) {
        if (ascii_upper_case(name) != s.DeviceName)
            continue;
        auto settings = printer_system().printer_settings(name);
        if (!settings)
            continue;
        s.Port = settings->port;
        s.PrinterOption = settings->option;
        s.DriverName = settings->driver_name;
    }
}

}  // namespace

int16_t ZZ110_ShowPrint(PreviewWindow* owner, uintptr_t owner_window, uint32_t flags)
{
    enter("ZZ110_ShowPrint");
    const PrintDialogResult chosen = must(print_dialog().run(request_from_job(owner, owner_window, flags)));
    if (!chosen.confirmed)
        return 0;

    // What the dialog returns is taken field by field; none of it fails.
    JobState& s = job();
    const std::string current = s.PrinterObject ? s.PrinterObject->DeviceName() : s.DeviceName;
    if (!chosen.device_name.empty())
        s.DeviceName = ascii_upper_case(chosen.device_name);
    take_driver_of_chosen_printer(current);
    s.PaperSize = chosen.paper_size;
    s.Orientation = chosen.orientation;
    s.PRT_Copy = chosen.copies;
    s.Duplex = chosen.duplex;
    // The printer is handed the source and kind when it is selected next,
    // which checks them against what it offers.
    s.PRT_Source = chosen.media_source;
    s.PRT_MediaType = chosen.media_type;
    if (s.PaperSize == kPaperUserDefined && std::isfinite(chosen.page_height) && std::isfinite(chosen.page_width)) {
        s.PageHeight = chosen.page_height;
        s.PageWidth = chosen.page_width;
    }
    return 1;
}

int16_t W_PrtDialog(ObjectFields& self, uintptr_t P_Form, const std::string& P_PrinterName, int16_t P_Size,
                    int16_t P_Orient, float P_Height, float P_Width)
{
    int16_t result = 0;
    run_trapped(self, "W_PrtDialog", [&] {
        ZZ100_EndDoc();
        self.P_PRINT = nullptr;
        JobState& s = job();
        if (!without_trailing_blanks(P_PrinterName).empty())
            s.DeviceName = P_PrinterName;
        apply_paper_arguments(P_Size, P_Orient, P_Height, P_Width);
        result = ZZ110_ShowPrint(nullptr, P_Form, kPrintSetupFlags);
        ZZ100_Device(s.DeviceName);
        ZZ100_PRT_Layout();
        self.P_PRINT = s.PrinterObject;
    });
    return result;
}

}  // namespace kt482
