#include "print/print_run.h"

#include "job/error_trap.h"
#include "job/job_state.h"
#include "print/pdf_file_choice.h"
#include "job/name_text.h"
#include "platform/services.h"
#include "render/page_out.h"

namespace kt482 {
namespace {

Printer& selected_printer()
{
    Printer* printer = job().PrinterObject.get();
    if (!printer)
        raise(Failure(ErrorNumber::ObjectNotSet));
    return *printer;
}

void break_page()
{
    check(selected_printer().NewPage());
    job().PageStarted = 0;
}

}  // namespace

void ZZ100_Device(std::string_view name)
{
    enter("ZZ100_Device");
    JobState& s = job();
    s.PrinterObject = nullptr;
    // A newly selected printer has no page open. The preview's drawing marks
    // its pages as started too, and its print button selects without ending
    // a document: without this its print run would begin with a blank sheet.
    s.PageStarted = 0;
    if (!without_trailing_blanks(name).empty())
        s.DeviceName.assign(name);
    for (const std::string& installed : must(printer_system().installed_printers())) {
        if (equal_ignoring_case(without_trailing_blanks(installed), s.DeviceName)) {
            s.PrinterObject = must(printer_system().open_printer(installed));
            break;
        }
    }
    s.OutputTarget = OutputTarget::Printer;
    // Special case: a name the list did not hold because the print server
    // left its printers out is reported, rather than taken as no printer.
    if (!s.PrinterObject)
        check(printer_system().listing_status());
}

void W_Device(ObjectFields& self, const std::string& P_PrinterName)
{
    run_trapped(self, "W_Device", [&] {
        ZZ100_EndDoc();
        ZZ100_Device(P_PrinterName);
    });
}

void W_Print(ObjectFields& self, int16_t P_StartP, int16_t P_EndP)
{
    run_trapped(self, "W_Print", [&] {
        JobState& s = job();
        if (P_StartP > P_EndP)
            return;
        const int16_t start = P_StartP == 0 || P_StartP < s.Min_Page ? s.Min_Page : P_StartP;
        s.OutStartP = start;
        const int16_t end = P_EndP == 0 || P_EndP > s.Max_Page ? s.Max_Page : P_EndP;
        s.OutEndP = end;
        // Nothing recorded: the range is 10000 to 0.
        if (start > end || start < 1)
            return;
        s.ScrollX = 0;
        s.ScrollY = 0;
        ZZ100_Print(self, start, end);
    });
}

void ZZ100_Print(ObjectFields& self, int16_t start, int16_t end, const PageProgress& progress)
{
    run_trapped(self, "ZZ100_Print", [&] {
        JobState& s = job();
        if (start > end)
            return;
        // A page of an earlier run in the same document is still open.
        if (s.OutputTarget == OutputTarget::Printer && s.PageStarted)
            break_page();
        for (int page = start; page <= end; ++page) {
            ZZ100_Page_Out(self, static_cast<int16_t>(page));
            s.PageStarted = 1;
            if (progress && !progress(page - start + 1, end - start + 1))
                return;
            if (s.OutputTarget == OutputTarget::Printer && page < s.OutEndP)
                break_page();
        }
    });
}

void ZZ100_EndDoc()
{
    enter("ZZ100_EndDoc");
    JobState& s = job();
    if (s.OutputTarget != OutputTarget::Printer || !s.PageStarted)
        return;
    // The document is over whether or not it could be ended: a printer that
    // matched no name, or an end that failed, is reported once, and must not
    // make every later selection fail on the same open page.
    s.PageStarted = 0;
    Printer& printer = selected_printer();
    check(printer.EndDoc());
    if (printer.DeviceName() == kPdfPrinterName)
        s.LastPdfPath = printer.LastOutput();
}

void W_EndDoc(ObjectFields& self)
{
    run_trapped(self, "W_EndDoc", [&] {
        // A document sent to the host's file, or failed, leaves the folder's
        // PDF printer selected again.
        struct GiveBack {
            ~GiveBack() { give_back_pdf_printer(); }
        } give_back;
        ZZ100_EndDoc();
        self.P_PRINT = nullptr;
    });
}

}  // namespace kt482
