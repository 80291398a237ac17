#include "print/print_run.h"

#include "job/error_trap.h"
#include "job/job_state.h"
#include "print/pdf_file_choice.h"
#include "print/printer_choices.h"
#include "job/name_text.h"
#include "platform/services.h"
#include "render/page_out.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>

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

// The listed name of the installed printer that the device name stands for,
// or nothing. The PDF printer is found without asking the print server: no
// queue can have its name, as a queue's name has no blanks.
std::optional<std::string> installed_printer(std::string_view device_name)
{
    if (equal_ignoring_case(kPdfPrinterName, device_name))
        return std::string(kPdfPrinterName);
    for (const std::string& installed : must(printer_system().installed_printers())) {
        if (equal_ignoring_case(without_trailing_blanks(installed), device_name))
            return installed;
    }
    return std::nullopt;
}

// Makes the printer (none when the name matched no printer) the output target,
// for a new document.
void select_printer(std::string_view name, std::shared_ptr<Printer> printer)
{
    JobState& s = job();
    if (printer)
        apply_printer_choices(printer->DeviceName(), *printer);
    s.PrinterObject = std::move(printer);
    // A newly selected printer has no page open. The preview's drawing marks
    // its pages as started too, and its print button selects without ending
    // a document: without this its print run would begin with a blank sheet.
    s.PageStarted = 0;
    if (!without_trailing_blanks(name).empty())
        s.DeviceName.assign(name);
    s.OutputTarget = OutputTarget::Printer;
    // The path names only a file the new document writes.
    s.LastPdfPath.clear();
}

}  // namespace

void ZZ100_Device(std::string_view name)
{
    enter("ZZ100_Device");
    JobState& s = job();
    s.PrinterObject = nullptr;
    s.PageStarted = 0;
    if (!without_trailing_blanks(name).empty())
        s.DeviceName.assign(name);
    std::shared_ptr<Printer> printer;
    if (const auto installed = installed_printer(s.DeviceName))
        printer = must(printer_system().open_printer(*installed));
    const bool found = printer != nullptr;
    select_printer(name, std::move(printer));
    // Special case: a name the list did not hold because the print server
    // left its printers out is reported, rather than taken as no printer.
    if (!found)
        check(printer_system().listing_status());
}

void W_Device(ObjectFields& self, const std::string& P_PrinterName)
{
    run_trapped(self, "W_Device", [&] {
        ZZ100_EndDoc();
        enter("W_Device");
        const std::string name = without_trailing_blanks(P_PrinterName).empty() ? job().DeviceName : P_PrinterName;
        // Special case: a name that no installed printer has is reported here,
        // naming it, and the printer selected before stays selected; so does
        // one the print server did not answer for in time.
        const auto installed = installed_printer(name);
        if (!installed) {
            const Status listing = printer_system().listing_status();
            raise(Failure(ErrorNumber::PrinterError,
                          (listing ? std::string("No printer of that name is installed")
                                   : listing.failure().description) +
                              ": \"" + name + "\""));
        }
        forget_printer_choices();
        select_printer(P_PrinterName, must(printer_system().open_printer(*installed)));
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
    const Status ended = printer.EndDoc();
    s.LastJobId = ended ? printer.LastJobId() : 0;
    check(ended);
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
