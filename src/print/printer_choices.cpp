#include "print/printer_choices.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <thread>

#include "base/units.h"
#include "job/error_trap.h"
#include "job/job_state.h"
#include "platform/printer.h"
#include "platform/services.h"
#include "print/calibration_sheet.h"
#include "print/printer_table.h"

namespace kt482 {
namespace {

// How often WaitForJob asks the print server while the job is not done.
constexpr std::chrono::milliseconds kJobPollInterval{250};

constexpr double kPointsPerMm = 72.0 / 25.4;

Printer& selected_printer()
{
    Printer* printer = job().PrinterObject.get();
    if (!printer)
        raise(Failure(ErrorNumber::ObjectNotSet));
    return *printer;
}

// A printer that cannot take the choice says which printer it was.
void check_choice(Status status)
{
    if (status || !status.failure().is(ErrorNumber::NotSupported))
        return check(status);
    raise(Failure(ErrorNumber::NotSupported, "The printer " + selected_printer().DeviceName() +
                                                 " has no paper sources or kinds to choose from"));
}

}  // namespace

void SetPrintOffset(ObjectFields& self, float x_mm, float y_mm)
{
    run_trapped(self, "SetPrintOffset", [&] {
        check(check_print_offset(x_mm, y_mm));
        Printer& printer = selected_printer();
        check(printer.PrintOffset(x_mm * kPointsPerMm, y_mm * kPointsPerMm));
        JobState& s = job();
        s.ChosenOffsetDevice = printer.DeviceName();
        s.ChosenOffsetX = x_mm;
        s.ChosenOffsetY = y_mm;
    });
}

// A sheet drawn in part would be sent as a sheet to measure: its document
// goes instead.
void PrintAlignmentSheet(ObjectFields& self, float width_mm, float height_mm)
{
    run_trapped(self, "PrintAlignmentSheet", [&] {
        Printer& printer = selected_printer();
        if (!(width_mm > 0) || !(height_mm > 0) || !std::isfinite(width_mm) || !std::isfinite(height_mm))
            raise(Failure(ErrorNumber::InvalidPropertyValue));
        if (Status drawn = draw_calibration_sheet(printer, width_mm, height_mm, printer.DeviceName()); !drawn) {
            (void)printer.AbortDoc();
            Failure failure = drawn.failure();
            failure.description = "The alignment sheet could not be drawn: " + failure.description;
            raise(failure);
        }
        job().PageStarted = true;
    });
}

void P_PRT_Source(ObjectFields& self, const std::string& name)
{
    run_trapped(self, "P_PRT_Source", [&] {
        check_choice(selected_printer().MediaSource(name));
        job().PRT_Source = name;
    });
}

void P_PRT_MediaType(ObjectFields& self, const std::string& name)
{
    run_trapped(self, "P_PRT_MediaType", [&] {
        check_choice(selected_printer().MediaType(name));
        job().PRT_MediaType = name;
    });
}

JobStatus job_status(ObjectFields& self, int32_t job_id)
{
    JobStatus status;
    run_trapped(self, "JobState", [&] { status = must(printer_system().job_status(job_id)); });
    return status;
}

// The job is asked about until it is final or the time is up; each question
// is bounded by the printer system, so the wait ends at most one question
// after the time.
bool wait_for_job(ObjectFields& self, int32_t job_id, float seconds)
{
    bool final = false;
    run_trapped(self, "WaitForJob", [&] {
        if (!(std::isfinite(seconds) && seconds >= 0))
            raise(Failure(ErrorNumber::InvalidCall, "The time to wait is a number of seconds, 0 or more"));
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                  std::chrono::duration<double>(std::min(seconds, 86400.0f)));
        for (;;) {
            final = job_state_is_final(must(printer_system().job_status(job_id)).state);
            if (final || std::chrono::steady_clock::now() >= deadline)
                return;
            std::this_thread::sleep_for(
                std::min<std::chrono::steady_clock::duration>(kJobPollInterval,
                                                              deadline - std::chrono::steady_clock::now()));
        }
    });
    return final;
}

void forget_printer_choices()
{
    JobState& s = job();
    s.ChosenOffsetDevice.clear();
    s.PRT_Source.clear();
    s.PRT_MediaType.clear();
}

namespace {

// The table's offset for a queue: none for the PDF printer, whose documents
// are moved only when asked.
std::optional<PrintOffset> table_offset(const std::string& device_name)
{
    const std::string path = printer_table_path();
    if (device_name == kPdfPrinterName || path.empty())
        return std::nullopt;
    const auto stored = stored_print_offset(path, device_name);
    if (stored)
        return *stored;
    // The table is the host's; its damage must not keep the printer from
    // printing, unmoved.
    (void)show_failure(stored.failure(), kMessageTitlePrefix);
    return std::nullopt;
}

}  // namespace

void apply_printer_choices(const std::string& device_name, Printer& printer)
{
    JobState& s = job();
    std::optional<PrintOffset> offset;
    if (s.ChosenOffsetDevice == device_name)
        offset = PrintOffset{s.ChosenOffsetX, s.ChosenOffsetY};
    else
        offset = table_offset(device_name);
    if (offset)
        (void)printer.PrintOffset(offset->x_mm * kPointsPerMm, offset->y_mm * kPointsPerMm);
    // Special case: a choice the newly selected printer does not offer is
    // dropped rather than refused; the host hears of it from P_PRT_Source.
    if (!s.PRT_Source.empty() && !printer.MediaSource(s.PRT_Source))
        s.PRT_Source.clear();
    if (!s.PRT_MediaType.empty() && !printer.MediaType(s.PRT_MediaType))
        s.PRT_MediaType.clear();
}

}  // namespace kt482
