#include "cli/output_commands.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "base/paper_table.h"
#include "kt482/kt482.h"
#include "print/printer_table.h"

namespace kt482::cli {
namespace {

// The library reports failures as messages; here each one becomes a line on
// standard error, and the object remembers the last for the exit status.
void report_messages_on_stderr()
{
    KT482_Print::SetMessageHandler([](const Message& m) {
        std::fprintf(stderr, "kt482: %.*s: %.*s\n", static_cast<int>(m.title.size()), m.title.data(),
                     static_cast<int>(m.text.size()), m.text.data());
        return 1;
    });
}

// Points the thread's job at the recorded pages: another process recorded
// them, so the page bounds come from the files present.
void adopt_folder(KT482_Print& job, const SpoolFolder& folder)
{
    job.P_Temp_Dir(folder.path);
    job.UseRecordedPages(static_cast<int16_t>(folder.pages.front()), static_cast<int16_t>(folder.pages.back()));
}

int status_of(const KT482_Print& job)
{
    return job.LastFailure().number == 0 ? 0 : 1;
}

constexpr int kRefused = 2;
constexpr float kMmPerInch = 25.4f;

// A choice the printer refuses as not its own is bad input (2); one the
// print server could not be asked about is a failure while printing (1).
int status_of_choice(const KT482_Print& job)
{
    const int32_t number = job.LastFailure().number;
    if (number == 0)
        return 0;
    return number == static_cast<int32_t>(ErrorNumber::InvalidPropertyValue) ||
                   number == static_cast<int32_t>(ErrorNumber::NotSupported)
               ? kRefused
               : 1;
}

// The printer's choices beyond the paper, made after it is selected.
int choose_for_printer(KT482_Print& job, const OutputOptions& options)
{
    if (options.offset_mm) {
        job.SetPrintOffset(options.offset_mm->first, options.offset_mm->second);
        if (int status = status_of_choice(job))
            return status;
    }
    if (!options.source.empty()) {
        job.P_PRT_Source(options.source);
        if (int status = status_of_choice(job))
            return status;
    }
    if (!options.media_type.empty()) {
        job.P_PRT_MediaType(options.media_type);
        if (int status = status_of_choice(job))
            return status;
    }
    return 0;
}

void start_document(KT482_Print& job, const OutputOptions& options)
{
    job.W_StartDoc(options.paper, options.orientation, options.height_mm / kMmPerInch, options.width_mm / kMmPerInch);
}

// Selects the printer with the options' source, kind and offset, and starts
// a document on it: the exit status, 0 when the document is open.
int open_document(KT482_Print& job, const std::string& printer, const OutputOptions& options)
{
    job.W_Device(printer);
    if (status_of(job))
        return 1;
    if (int status = choose_for_printer(job, options))
        return status;
    start_document(job, options);
    return status_of(job) ? 1 : 0;
}

int print_document(KT482_Print& job, const std::string& printer, const OutputOptions& options)
{
    if (int status = open_document(job, printer, options))
        return status;
    job.W_Print(options.first, options.last);
    job.W_EndDoc();
    return status_of(job);
}

}  // namespace

int write_pdf(const SpoolFolder& folder, const std::string& out, const OutputOptions& options, const PdfOptions& pdf)
{
    report_messages_on_stderr();
    KT482_Print job;
    adopt_folder(job, folder);
    if (!apply_pdf_options(job, pdf))
        return 1;
    std::error_code ec;
    const std::filesystem::path target = std::filesystem::absolute(out, ec);
    job.SetNextPdfPath(ec ? out : target.string());
    if (int status = print_document(job, "KT482 PDF", options); status)
        return status;
    if (job.LastPdfPath().empty()) {
        std::fprintf(stderr, "kt482: no page of %s in that range draws anything: %s not written\n",
                     folder.path.c_str(), out.c_str());
        return 1;
    }
    return 0;
}

int print_on(const SpoolFolder& folder, const std::string& printer, const OutputOptions& options)
{
    report_messages_on_stderr();
    KT482_Print job;
    adopt_folder(job, folder);
    return print_document(job, printer, options);
}

int show_preview(const SpoolFolder& folder, const OutputOptions& options)
{
    report_messages_on_stderr();
    KT482_Print job;
    adopt_folder(job, folder);
    job.V_Size_Set(options.paper, options.orientation, options.height_mm / kMmPerInch,
                   options.width_mm / kMmPerInch);
    if (status_of(job))
        return 1;
    job.V_Preview(options.first, options.last);
    return status_of(job);
}

// The sheet's size as printed, for the marks from its far edges.
std::pair<double, double> sheet_mm(const OutputOptions& options)
{
    double width = options.width_mm;
    double height = options.height_mm;
    if (const auto entry = paper_entry(options.paper)) {
        const PaperSizeMm size = paper_size_mm(*entry);
        width = size.width;
        height = size.height;
    }
    if (options.orientation == kOrientationLandscape)
        std::swap(width, height);
    return {width, height};
}

int print_calibration(const std::string& queue, const OutputOptions& options)
{
    report_messages_on_stderr();
    KT482_Print job;
    if (int status = open_document(job, queue, options))
        return status;
    const auto [width, height] = sheet_mm(options);
    job.PrintAlignmentSheet(static_cast<float>(width), static_cast<float>(height));
    if (status_of(job))
        return 1;
    job.W_EndDoc();
    if (status_of(job))
        return 1;
    std::printf("kt482: alignment sheet sent as job %d on %s\n", job.LastJobId(), queue.c_str());
    return 0;
}

int store_calibration(const std::string& queue, std::pair<float, float> offset_mm)
{
    const std::string path = printer_table_path();
    if (path.empty()) {
        std::fprintf(stderr, "kt482: neither XDG_CONFIG_HOME nor HOME is set: no printer table to write\n");
        return 1;
    }
    if (Status stored = store_print_offset(path, queue, {offset_mm.first, offset_mm.second}); !stored) {
        std::fprintf(stderr, "kt482: %s\n", stored.failure().description.c_str());
        return 1;
    }
    std::printf("kt482: offset %.2f,%.2f mm stored for %s in %s\n", offset_mm.first, offset_mm.second, queue.c_str(),
                path.c_str());
    return 0;
}

}  // namespace kt482::cli
